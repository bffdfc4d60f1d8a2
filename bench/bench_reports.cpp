// The report figures: report_sheet, report_profile, report_compare_1 and
// report_compare_N (N profiles, up to 100, as many as the folder gives),
// each timed from the click to the preview and to the last page painted
// into a PDF.

#include "bench_reports.h"
#include "bench_sheet.h"

#include <QDate>
#include <QDir>
#include <QTemporaryDir>

#include <functional>

namespace bench {

namespace {

constexpr int reportReps = 5;
constexpr int sheetPhasesPerArea = 14;


// Rows written through a connection of their own, as another program would.
struct Writer
{
    explicit Writer(const QString& folder) : owned(openFolder(folder)), df(*owned) {}
    int add(const QString& file, const QVariantMap& values) { return velmora::store::appendRecord(df, file, values); }
    std::unique_ptr<DataFolder> owned;
    DataFolder& df;
};

ReportFigure timeReport(Sheet& sh, const QString& name, const QString& pdf, const std::function<void()>& click)
{
    ReportFigure f{name, {}, {}, {}, 0};
    sh.dlg.pdfPath = pdf;
    for (int rep = 0; rep < reportReps + 1; ++rep) {
        sh.dlg.readyUs = 0;
        sh.dlg.written = false;
        sh.dlg.clock.start();
        click();
        const double total = sh.dlg.clock.us();
        const double sent = sh.dlg.clock.sent();
        settle();
        if (!sh.dlg.written) {
            reportDialogs(sh.dlg, name);
            say(QStringLiteral("#   %1: WARNING nothing was printed").arg(name));
            break;
        }
        if (rep == 0)
            continue; // the first run warms the fonts and the chart code
        f.ready.push_back(sh.dlg.readyUs);
        f.total.push_back(total);
        f.sent.push_back(sent);
    }
    sh.dlg.pdfPath.clear();
    f.pages = sh.dlg.pages;
    say(QStringLiteral("bench %1 ready_us=%2 total_us=%3 pages=%4 pdf_kb=%5 statements=%6")
            .arg(name, num(median(f.ready)), num(median(f.total)))
            .arg(f.pages)
            .arg(QFileInfo(pdf).size() / 1024)
            .arg(num(median(f.sent), 0)));
    return f;
}

// Marks `count` evaluations of `children` as the user does, in the window's
// own program (on a server the marks belong to the program that set them):
// the first of each child, then the second of each, and so on. Returns how
// many were marked.
int markEvaluations(velmora::TFrm_Main& w, const QList<int>& children, int count)
{
    Table t;
    t.bindLike(w.Data.Tbl_Valutazioni);
    t.open();
    int marked = 0;
    for (int round = 0; marked < count; ++round) {
        const int before = marked;
        for (int child : children) {
            if (marked == count)
                break;
            filterTo(t, QStringLiteral("Id_Bimbo=%1").arg(child));
            if (t.recordCount() <= round)
                continue;
            t.first();
            for (int k = 0; k < round; ++k)
                t.next();
            t.edit();
            t.setValue(QStringLiteral("Sel"), true);
            t.post();
            ++marked;
        }
        if (marked == before)
            break;
    }
    t.close();
    w.Data.Tbl_Valutazioni.refresh();
    return marked;
}

} // namespace

std::vector<ReportFigure> benchReports(const QString& folder, std::vector<std::pair<QString, bool>>& checks)
{
    Sheet sh;
    QString problem = sh.start(folder);
    if (!problem.isEmpty()) {
        say(QStringLiteral("# reports: %1; no report figures").arg(problem));
        return {};
    }
    velmora::TFrm_Main& w = *sh.w;
    QList<int> children, areas;
    for (w.Data.Tbl_AnagBimbi.first(); !w.Data.Tbl_AnagBimbi.isEof(); w.Data.Tbl_AnagBimbi.next())
        children << w.Data.Tbl_AnagBimbi.asInteger(QStringLiteral("Id"));
    for (w.Data.Tbl_Aree.first(); !w.Data.Tbl_Aree.isEof(); w.Data.Tbl_Aree.next())
        areas << w.Data.Tbl_Aree.asInteger(QStringLiteral("Id"));
    if (children.isEmpty() || areas.isEmpty()) {
        say(QStringLiteral("# reports: no child listed or no area; no report figures"));
        return {};
    }

    // A long evaluation of the first child: every area at 14 phases.
    Writer writer(folder);
    const int evaluation = writer.add(QStringLiteral("Valutaz.db"), {{"Id_Bimbo", children[0]},
                                                                     {"DataValutazione", QDate(2026, 3, 2)},
                                                                     {"MesiBimbo", 30}});
    static const char* const answers[][4] = {{"1,2,3,4,5,6,7,8", "9", "10", "11"},
                                             {"1,2,3,4,5", "6,7", "8,9", ""},
                                             {"1,2,3,4,5,6,7,8,9,10,11", "", "", ""}};
    for (int area : areas)
        for (int phase = 1; phase <= sheetPhasesPerArea; ++phase) {
            const auto& a = answers[(area + phase) % 3];
            writer.add(QStringLiteral("FasiVal.db"), {{"Id_Valutazione", evaluation}, {"Id_Area", area}, {"NumFase", phase},
                                                      {"Si", a[0]}, {"No", a[1]}, {"AVolte", a[2]}, {"NonSo", a[3]}});
        }
    w.Data.Tbl_AnagBimbi.locate(QStringLiteral("Id"), children[0]);
    w.Data.Tbl_Valutazioni.refresh();
    if (!w.Data.Tbl_Valutazioni.locate(QStringLiteral("Id"), evaluation)) {
        say(QStringLiteral("# reports: the new evaluation is not listed; no report figures"));
        return {};
    }
    say(QStringLiteral("# reports: evaluation %1 of child %2 with %3 areas x %4 phases; nursery of %5 children")
            .arg(evaluation).arg(children[0]).arg(areas.size()).arg(sheetPhasesPerArea).arg(children.size()));

    QTemporaryDir out(QDir::temp().filePath(QStringLiteral("velmora-bench-pdf-XXXXXX")));
    std::vector<ReportFigure> figures;
    figures.push_back(timeReport(sh, QStringLiteral("report_sheet"), out.filePath(QStringLiteral("scheda.pdf")),
                                 [&] { w.prints().SpeedButton10Click(); }));
    figures.push_back(timeReport(sh, QStringLiteral("report_profile"), out.filePath(QStringLiteral("grafico.pdf")),
                                 [&] { w.prints().SpeedButton8Click(); }));

    markEvaluations(w, {children[0]}, 1);
    figures.push_back(timeReport(sh, QStringLiteral("report_compare_1"), out.filePath(QStringLiteral("confronto1.pdf")),
                                 [&] { w.prints().Btn_ConfrontoMultiploClick(); }));
    const int marked = 1 + markEvaluations(w, children.mid(1), 99);
    say(QStringLiteral("# reports: %1 evaluations selected over the listed children").arg(marked));
    // Up to 100 profiles: a small folder has fewer children to select, and
    // the figure is named after what was printed.
    figures.push_back(timeReport(sh, QStringLiteral("report_compare_%1").arg(marked),
                                 out.filePath(QStringLiteral("confronto-molti.pdf")),
                                 [&] { w.prints().Btn_ConfrontoMultiploClick(); }));

    const ReportFigure& one = figures[2];
    const ReportFigure& hundred = figures[3];
    const double readyRatio = median(one.ready) > 0 ? median(hundred.ready) / median(one.ready) : 0.0;
    const double totalRatio = median(one.total) > 0 ? median(hundred.total) / median(one.total) : 0.0;
    say(QStringLiteral("bench report_compare_ratio ready=%1 total=%2 (%3 profiles against 1)")
            .arg(num(readyRatio, 2), num(totalRatio, 2))
            .arg(marked));
    for (const ReportFigure& f : figures)
        checks.push_back({f.name + QStringLiteral("_ready"), !f.ready.empty() && median(f.ready) < reportReadyLimitUs});
    return figures;
}

} // namespace bench
