// The whole run: lays the folders it was not given, runs every figure on the
// large one, the memory comparison and the prints, then the check lines.

#include "bench_common.h"
#include "bench_reports.h"
#include "bench_sheet.h"
#include "bench_table.h"
#include "gendata.h"

#include <QDir>
#include <QElapsedTimer>
#include <QTemporaryDir>

#include <memory>

namespace bench {

namespace {

bool generateInto(const QString& path, qint64 phaseRows)
{
    velmora::gendata::Report r;
    const QString problem =
        velmora::gendata::generate(path, velmora::gendata::shapeForPhaseRows(phaseRows), velmora::gendata::defaultSeed, &r);
    if (!problem.isEmpty()) {
        say(QStringLiteral("#   could not generate %1: %2").arg(path, problem));
        return false;
    }
    say(QStringLiteral("# generated %1: %2 evaluations, %3 phase rows in %4 ms")
            .arg(path)
            .arg(r.evaluations)
            .arg(r.phases)
            .arg(r.milliseconds));
    return true;
}

} // namespace

int runBench(const QStringList& args)
{
    QElapsedTimer whole;
    whole.start();
    std::unique_ptr<QTemporaryDir> temp;
    QString large = args.value(0);
    QString small = args.value(1);
    for (const QString& given : {large, small}) {
        if (!given.isEmpty() && DataFolder(given).filePath(QStringLiteral("FasiVal.db")).isEmpty()) {
            say(QStringLiteral("# %1 is not a data folder").arg(given));
            return 0;
        }
    }
    if (large.isEmpty() || small.isEmpty()) {
        temp = std::make_unique<QTemporaryDir>(QDir::temp().filePath(QStringLiteral("velmora-bench-XXXXXX")));
        if (!temp->isValid()) {
            say(QStringLiteral("# cannot create a temporary folder: %1").arg(temp->errorString()));
            return 0;
        }
        if (large.isEmpty()) {
            large = temp->filePath(QStringLiteral("large"));
            if (!generateInto(large, largePhaseRows))
                return 0;
        }
        small = temp->filePath(QStringLiteral("small"));
        if (!generateInto(small, smallPhaseRows))
            return 0;
    }

    std::vector<Figure> figures;
    FolderFacts largeFacts, smallFacts;
    try {
        {
            Direct ds(small);
            smallFacts = ds.facts();
        }
        Direct d(large);
        largeFacts = d.facts();
        {
            QSqlQuery v(d.fasi());
            v.exec(QStringLiteral("SELECT sqlite_version()"));
            v.next();
            say(QStringLiteral("# large folder %1: %2 evaluations, %3 phase rows; direct side: prepared QSqlQuery statements"
                               " (QSQLITE, SQLite %4) on separate connections, journal_mode=DELETE, synchronous=FULL")
                    .arg(large).arg(largeFacts.evaluations).arg(largeFacts.phases).arg(v.value(0).toString()));
        }
        Session s(large);
        QElapsedTimer t;
        t.start();
        s.login();
        say(QStringLiteral("# login (eight tables opened, phases with no filter): %1 ms").arg(t.elapsed()));
        // The phases are filtered from now on, as the program does after login.
        filterTo(s.phases, QStringLiteral("Id_Valutazione=%1").arg(evaluationFor(0, largeFacts)));

        figures.push_back(benchAreaSelect(s, d, largeFacts));
        printFigure(figures.back());
        figures.push_back(benchAnswerPost(s, d, largeFacts));
        printFigure(figures.back());
        figures.push_back(benchChildFollow(s, d, largeFacts));
        printFigure(figures.back());
        figures.push_back(benchClearSel(s, d));
        printFigure(figures.back());
        benchSheet(large, s, d, largeFacts, figures);
    } catch (const DbError& e) {
        say(QStringLiteral("# error: %1").arg(e.message()));
    }

    const qint64 smallKb = measureInChild(small, smallFacts);
    say(QStringLiteral("bench peak_rss_kb rows=%1 kb=%2").arg(smallFacts.phases).arg(smallKb));
    const qint64 largeKb = measureInChild(large, largeFacts);
    say(QStringLiteral("bench peak_rss_kb rows=%1 kb=%2").arg(largeFacts.phases).arg(largeKb));

    // The screen figures measure what a person waits for (the handler, its
    // repaint and the event loop) against the table work alone: their ratio
    // shows what the widgets add, and their target is one frame.
    const QStringList screenFigures = {QStringLiteral("answer_click"), QStringLiteral("phase_move"), QStringLiteral("area_change")};
    for (const Figure& f : figures) {
        if (!screenFigures.contains(f.name))
            check(f.name + QStringLiteral("_ratio"), f.ratio() <= ratioLimit,
                  QStringLiteral("ratio=%1 limit=%2").arg(num(f.ratio(), 2), num(ratioLimit, 0)));
        check(f.name + QStringLiteral("_median"), f.layerMedian() < f.limitUs,
              QStringLiteral("median_us=%1 limit=%2").arg(num(f.layerMedian()), num(f.limitUs, 0)));
    }
    const double memRatio = smallKb > 0 ? double(largeKb) / double(smallKb) : 0.0;
    check(QStringLiteral("memory_ratio"), smallKb > 0 && largeKb > 0 && memRatio <= memoryRatioLimit,
          QStringLiteral("ratio=%1 limit=%2 kb_10k=%3 kb_1m=%4")
              .arg(num(memRatio, 3), num(memoryRatioLimit, 1))
              .arg(smallKb)
              .arg(largeKb));
    std::vector<std::pair<QString, bool>> reportChecks;
    benchReports(large, reportChecks);
    for (const auto& [name, ok] : reportChecks)
        check(name, ok, QStringLiteral("limit_us=%1").arg(num(reportReadyLimitUs, 0)));
    say(QStringLiteral("# whole run: %1 s").arg(num(whole.elapsed() / 1000.0, 1)));
    return 0;
}

} // namespace bench
