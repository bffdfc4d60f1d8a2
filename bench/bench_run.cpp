// The whole run: lays the folders it was not given, runs every figure on the
// large one, the memory comparison and the prints, then the check lines.

#include "bench_common.h"
#include "bench_reports.h"
#include "bench_sheet.h"
#include "bench_table.h"
#include "gendata.h"
#include "serveradmin.h"
#include "upgrade.h"

#include <QDir>
#include <QElapsedTimer>
#include <QCoreApplication>
#include <QFile>
#include <QSqlDatabase>
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

// Every figure of the layer and of the sheet on `folder`, whose facts it
// reads into `facts`.
void timeFigures(const QString& folder, FolderFacts& facts, std::vector<Figure>& figures)
{
    try {
        Direct d(folder);
        facts = d.facts();
        {
            QSqlQuery v(d.fasi());
            v.exec(d.server() ? QStringLiteral("SELECT current_setting('server_version')") : QStringLiteral("SELECT sqlite_version()"));
            v.next();
            if (d.server())
                say(QStringLiteral("# server %1: %2 evaluations, %3 phase rows; direct side: prepared QSqlQuery statements"
                                   " (QPSQL, PostgreSQL %4) on separate connections")
                        .arg(folder).arg(facts.evaluations).arg(facts.phases).arg(v.value(0).toString()));
            else
                say(QStringLiteral("# folder %1: %2 evaluations, %3 phase rows; direct side: prepared QSqlQuery statements"
                                   " (QSQLITE, SQLite %4) on separate connections, journal_mode=DELETE, synchronous=FULL")
                        .arg(folder).arg(facts.evaluations).arg(facts.phases).arg(v.value(0).toString()));
        }
        Session s(folder);
        QElapsedTimer t;
        // As the program's start-up: a folder of an older schema version
        // (one laid before the partial index of the selection marks) is
        // brought up to date once; nothing to do afterwards.
        t.start();
        velmora::store::AggiornaSchema(s.folder, [](const QString&) {});
        say(QStringLiteral("# schema brought up to date: %1 ms").arg(t.elapsed()));
        t.start();
        s.login();
        say(QStringLiteral("# tables opened (eight tables, phases with no filter): %1 ms").arg(t.elapsed()));
        // The phases are filtered from now on, as the program does after login.
        filterTo(s.phases, QStringLiteral("Id_Valutazione=%1").arg(evaluationFor(0, facts)));

        figures.push_back(benchAreaSelect(s, d, facts));
        printFigure(figures.back());
        figures.push_back(benchAnswerPost(s, d, facts));
        printFigure(figures.back());
        figures.push_back(benchChildFollow(s, d, facts));
        printFigure(figures.back());
        figures.push_back(benchClearSel(s, d, facts));
        printFigure(figures.back());
        benchSheet(folder, s, d, facts, figures);
    } catch (const DbError& e) {
        say(QStringLiteral("# error: %1").arg(e.message()));
    }
}

// The large folder's rows on a server: a schema of their own in the
// database of `lineText`, laid and filled by the administrator's import, and
// a folder holding only the server.conf that names it, which the session,
// the direct side and the real window all open as an installed program
// would. The schema is dropped at the end.
class ServerCopy
{
public:
    ServerCopy(const QString& lineText, const QString& sqliteFolder)
    {
        using namespace velmora::store;
        if (!m_dir.isValid()) {
            m_problem = QStringLiteral("cannot create a temporary folder: ") + m_dir.errorString();
            return;
        }
        try {
            const ServerLine line = parseServerLine(lineText);
            for (const QString& o : line.options)
                if (o.startsWith(QLatin1String("options=")))
                    throw DbError(QStringLiteral("the line has options= of its own; the benchmark sets the search path with it"));
            m_schema = QStringLiteral("velmora_bench_%1").arg(QCoreApplication::applicationPid());
            {
                QSqlDatabase admin = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), m_admin);
                line.apply(admin);
                if (!admin.open())
                    throw DbError(admin.lastError().text());
                Direct::run(admin, QStringLiteral("SET client_min_messages = warning"));
                Direct::run(admin, QStringLiteral("DROP SCHEMA IF EXISTS %1 CASCADE").arg(m_schema));
                Direct::run(admin, QStringLiteral("CREATE SCHEMA %1").arg(m_schema));
                m_made = true;
            }
            const QString text = lineText + QStringLiteral(" options='-c search_path=%1'").arg(m_schema);
            QFile conf(m_dir.filePath(serverFileName()));
            if (!conf.open(QIODevice::WriteOnly) || conf.write((text + QLatin1Char('\n')).toUtf8()) < 0)
                throw DbError(QStringLiteral("cannot write ") + conf.fileName());
            conf.close();
            QElapsedTimer t;
            t.start();
            DataFolder server(m_dir.path(), parseServerLine(text));
            const AdminReport r = importFolder(server, sqliteFolder);
            for (const QString& l : r.lines)
                say(QStringLiteral("#   import: ") + l);
            if (!r.ok)
                throw DbError(QStringLiteral("the import failed"));
            say(QStringLiteral("# server: %1 imported into schema %2 of %3 in %4 s")
                    .arg(sqliteFolder, m_schema, line.describe(), num(t.elapsed() / 1000.0, 1)));
        } catch (const DbError& e) {
            m_problem = e.message();
        }
    }
    ~ServerCopy()
    {
        if (m_made) {
            QSqlDatabase admin = QSqlDatabase::database(m_admin, false);
            QSqlQuery(admin).exec(QStringLiteral("DROP SCHEMA IF EXISTS %1 CASCADE").arg(m_schema));
            admin.close();
        }
        QSqlDatabase::removeDatabase(m_admin);
    }
    QString problem() const { return m_problem; }
    QString folder() const { return m_dir.path(); }

private:
    QTemporaryDir m_dir{QDir::temp().filePath(QStringLiteral("velmora-bench-server-XXXXXX"))};
    QString m_admin = QStringLiteral("velmora-bench-admin");
    QString m_schema;
    QString m_problem;
    bool m_made = false;
};

const Figure* findFigure(const std::vector<Figure>& figures, const QString& name)
{
    for (const Figure& f : figures)
        if (f.name == name)
            return &f;
    return nullptr;
}

// Both engines side by side: each figure's medians, the server's ratio to
// SQLite, and the statements the layer sent for one action on each. A
// network adds one round trip per statement: `at_1ms_us` is the server's
// median with 1 ms added per statement, what a user waits for with the
// server a millisecond away.
void compareEngines(const std::vector<Figure>& sqlite, const std::vector<Figure>& server,
                    const std::vector<ReportFigure>& sqlitePrints, const std::vector<ReportFigure>& serverPrints)
{
    say(QStringLiteral("# both engines (medians in microseconds; statements per action): figure sqlite_us server_us"
                       " server/sqlite statements_sqlite statements_server at_1ms_us"));
    const QStringList interactions = {QStringLiteral("login"), QStringLiteral("open_sheet"), QStringLiteral("answer_click"),
                                      QStringLiteral("phase_move"), QStringLiteral("area_change")};
    for (const Figure& a : sqlite) {
        const Figure* b = findFigure(server, a.name);
        if (!b)
            continue;
        const double atOneMs = b->layerMedian() + 1000.0 * b->sentMedian();
        say(QStringLiteral("bench engines %1 sqlite_us=%2 server_us=%3 ratio=%4 statements_sqlite=%5 statements_server=%6 at_1ms_us=%7")
                .arg(a.name, num(a.layerMedian()), num(b->layerMedian()),
                     num(a.layerMedian() > 0 ? b->layerMedian() / a.layerMedian() : 0.0, 2), num(a.sentMedian(), 0),
                     num(b->sentMedian(), 0), num(atOneMs)));
        if (interactions.contains(a.name))
            check(a.name + QStringLiteral("_server_frame"), atOneMs <= medianLimitUs,
                  QStringLiteral("server_us=%1 statements=%2 at_1ms_us=%3 limit=%4")
                      .arg(num(b->layerMedian()), num(b->sentMedian(), 0), num(atOneMs), num(medianLimitUs, 0)));
    }
    for (const ReportFigure& a : sqlitePrints)
        for (const ReportFigure& b : serverPrints)
            if (a.name == b.name) {
                const double atOneMs = median(b.ready) + 1000.0 * median(b.sent);
                say(QStringLiteral("bench engines %1 sqlite_us=%2 server_us=%3 ratio=%4 statements_sqlite=%5 statements_server=%6 at_1ms_us=%7")
                        .arg(a.name, num(median(a.ready)), num(median(b.ready)),
                             num(median(a.ready) > 0 ? median(b.ready) / median(a.ready) : 0.0, 2),
                             num(median(a.sent), 0), num(median(b.sent), 0), num(atOneMs)));
            }
}

} // namespace

int runBench(const QStringList& args, const QString& serverLine)
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
        Direct ds(small);
        smallFacts = ds.facts();
    } catch (const DbError& e) {
        say(QStringLiteral("# error: %1").arg(e.message()));
    }
    timeFigures(large, largeFacts, figures);

    const qint64 smallKb = measureInChild(small, smallFacts);
    say(QStringLiteral("bench peak_rss_kb rows=%1 kb=%2").arg(smallFacts.phases).arg(smallKb));
    const qint64 largeKb = measureInChild(large, largeFacts);
    say(QStringLiteral("bench peak_rss_kb rows=%1 kb=%2").arg(largeFacts.phases).arg(largeKb));

    // The screen figures measure what a person waits for (the handler, its
    // repaint and the event loop) against the table work alone: their ratio
    // shows what the widgets add, and their target is one frame.
    const QStringList screenFigures = {QStringLiteral("answer_click"), QStringLiteral("phase_move"), QStringLiteral("area_change"),
                                       QStringLiteral("login"), QStringLiteral("open_sheet"),
                                       QStringLiteral("startup")};
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
    const std::vector<ReportFigure> prints = benchReports(large, reportChecks);
    for (const auto& [name, ok] : reportChecks)
        check(name, ok, QStringLiteral("limit_us=%1").arg(num(reportReadyLimitUs, 0)));

    if (!serverLine.isEmpty()) {
        // The same figures again with the tables on the server.
        say(QStringLiteral("# ---- server"));
        ServerCopy copy(serverLine, large);
        if (!copy.problem().isEmpty()) {
            say(QStringLiteral("# server: %1; no server figures").arg(copy.problem()));
        } else {
            std::vector<Figure> serverFigures;
            FolderFacts serverFacts;
            timeFigures(copy.folder(), serverFacts, serverFigures);
            std::vector<std::pair<QString, bool>> serverChecks;
            const std::vector<ReportFigure> serverPrints = benchReports(copy.folder(), serverChecks);
            for (const auto& [name, ok] : serverChecks)
                check(name + QStringLiteral("_server"), ok, QStringLiteral("limit_us=%1").arg(num(reportReadyLimitUs, 0)));
            compareEngines(figures, serverFigures, prints, serverPrints);
        }
    }
    say(QStringLiteral("# whole run: %1 s").arg(num(whole.elapsed() / 1000.0, 1)));
    return 0;
}

int runSizes(const Arguments& given)
{
    QElapsedTimer whole;
    whole.start();
    QTemporaryDir temp(QDir::temp().filePath(QStringLiteral("velmora-bench-XXXXXX")));
    struct Run
    {
        QString label;
        QString folder;
        FolderFacts facts;
        std::vector<Figure> figures;
        qint64 kb = 0;
    };
    std::vector<Run> runs;
    for (int i = 0; i < given.sizes.size(); ++i) {
        Run r;
        r.label = given.sizeLabels[i];
        r.folder = given.sizeFolders.value(r.label);
        if (r.folder.isEmpty()) {
            if (!temp.isValid()) {
                say(QStringLiteral("# cannot create a temporary folder: %1").arg(temp.errorString()));
                return 0;
            }
            r.folder = temp.filePath(r.label);
            if (!generateInto(r.folder, given.sizes[i]))
                return 0;
        } else if (DataFolder(r.folder).filePath(QStringLiteral("FasiVal.db")).isEmpty()) {
            say(QStringLiteral("# %1 is not a data folder").arg(r.folder));
            return 0;
        }
        say(QStringLiteral("# ---- size %1").arg(r.label));
        timeFigures(r.folder, r.facts, r.figures);
        r.kb = measureInChild(r.folder, r.facts);
        say(QStringLiteral("bench peak_rss_kb rows=%1 kb=%2").arg(r.facts.phases).arg(r.kb));
        runs.push_back(std::move(r));
    }

    // Side by side: each figure at every size and its ratio to the first.
    const Run& base = runs.front();
    const Run& top = runs.back();
    const auto find = [](const Run& r, const QString& name) -> const Figure* {
        for (const Figure& f : r.figures)
            if (f.name == name)
                return &f;
        return nullptr;
    };
    QStringList head{QStringLiteral("figure")};
    for (const Run& r : runs)
        head << r.label + QStringLiteral("_us");
    for (size_t i = 1; i < runs.size(); ++i)
        head << runs[i].label + QStringLiteral("/") + base.label;
    say(QStringLiteral("# side by side (medians in microseconds): ") + head.join(QLatin1Char(' ')));
    for (const Figure& f : base.figures) {
        QStringList line{f.name};
        for (const Run& r : runs) {
            const Figure* g = find(r, f.name);
            line << (g ? num(g->layerMedian()) : QStringLiteral("-"));
        }
        for (size_t i = 1; i < runs.size(); ++i) {
            const Figure* g = find(runs[i], f.name);
            line << (g && f.layerMedian() > 0 ? num(g->layerMedian() / f.layerMedian(), 2) : QStringLiteral("-"));
        }
        say(QStringLiteral("bench scale ") + line.join(QLatin1Char(' ')));
    }
    {
        QStringList line{QStringLiteral("peak_rss_kb")};
        for (const Run& r : runs)
            line << QString::number(r.kb);
        for (size_t i = 1; i < runs.size(); ++i)
            line << (base.kb > 0 ? num(double(runs[i].kb) / double(base.kb), 3) : QStringLiteral("-"));
        say(QStringLiteral("bench scale ") + line.join(QLatin1Char(' ')));
    }

    // The checks, on the largest size against the smallest. answer_post and
    // answer_click wait for the disk sync of their commit, which moves from
    // run to run whatever the size: their lines say so.
    const QStringList interactive = {QStringLiteral("area_select"),  QStringLiteral("answer_post"),
                                     QStringLiteral("child_follow"), QStringLiteral("clear_sel"),
                                     QStringLiteral("answer_click"), QStringLiteral("phase_move"),
                                     QStringLiteral("area_change"),  QStringLiteral("login"),
                                     QStringLiteral("open_sheet"),   QStringLiteral("startup")};
    const QStringList synced = {QStringLiteral("answer_post"), QStringLiteral("answer_click")};
    // Where the same work done with plain SQLite grows too (a deeper B-tree,
    // marks spread over more pages, a longer sync), the layer passes when
    // it grows no more than a tenth beyond the engine: what it adds itself
    // stays the same.
    for (const QString& name : interactive) {
        const Figure* a = find(base, name);
        const Figure* b = find(top, name);
        const double ratio = a && b && a->layerMedian() > 0 ? b->layerMedian() / a->layerMedian() : 0.0;
        const double engine = a && b && a->directMedian() > 0 ? b->directMedian() / a->directMedian() : 0.0;
        const bool ok = a && b && (ratio <= scaleLimit || (engine > 0 && ratio <= engine * scaleOverEngineLimit));
        check(name + QStringLiteral("_scale"), ok,
              QStringLiteral("%1_us=%2 %3_us=%4 ratio=%5 limit=%6 engine_ratio=%7%8")
                  .arg(base.label, a ? num(a->layerMedian()) : QStringLiteral("-"), top.label,
                       b ? num(b->layerMedian()) : QStringLiteral("-"), num(ratio, 2), num(scaleLimit, 1),
                       engine > 0 ? num(engine, 2) : QStringLiteral("-"),
                       synced.contains(name) ? QStringLiteral(" (bound by the disk sync)") : QString()));
    }
    if (const Figure* f = find(top, QStringLiteral("area_select")))
        check(QStringLiteral("area_select_direct"), f->ratio() <= areaSelectDirectLimit,
              QStringLiteral("size=%1 ratio=%2 limit=%3").arg(top.label, num(f->ratio(), 2), num(areaSelectDirectLimit, 1)));
    const double memRatio = base.kb > 0 ? double(top.kb) / double(base.kb) : 0.0;
    check(QStringLiteral("memory_scale"), base.kb > 0 && top.kb > 0 && memRatio <= scaleMemoryLimit,
          QStringLiteral("kb_%1=%2 kb_%3=%4 ratio=%5 limit=%6")
              .arg(base.label).arg(base.kb).arg(top.label).arg(top.kb)
              .arg(num(memRatio, 3), num(scaleMemoryLimit, 1)));
    say(QStringLiteral("# whole run: %1 s").arg(num(whole.elapsed() / 1000.0, 1)));
    return 0;
}

} // namespace bench
