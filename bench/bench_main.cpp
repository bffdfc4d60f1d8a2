// velmora-bench: times the table layer against plain SQL on the same files.
//
//   velmora-bench                              generates a large and a small
//                                              folder in a temporary folder
//   velmora-bench <large-folder> [<small-folder>]
//
// The large folder (about 1,000,000 phase rows) is used for the timings, the
// small one (about 10,000 phase rows) only for the memory comparison. Folders
// given on the command line are written to (answers and selection marks
// change); generated ones are removed at the end.
//
// Each figure is the median of many repetitions of one user action through
// the table layer, next to the median of the same work done with prepared
// QSqlQuery statements on separate connections to the same files (same
// driver, same SQLite, same durability settings). The direct side is what the
// layer costs at least; the ratio is what the layer adds on top.
//
// The sheet figures (answer_click, phase_move, area_change) drive the real
// main window on the offscreen platform: log in, open an existing evaluation
// on the sheet, then click item answers, move along the phases and choose
// other areas. Each is timed up to the moment the event queue is empty again
// (repaints included). Their "direct" side is the table-layer work alone
// underneath the action, on tables of their own with no widgets attached.
//
// Peak memory is read from a fresh child process per folder running the same
// workload through the layer (the bench binary re-executed with a hidden
// argument), so that the two figures do not share anything.
//
// Always exits 0: this is a measurement, the "bench check" lines say how it
// compares with the targets.

#include "datafolder.h"
#include "errors.h"
#include "evaluations.h"
#include "gendata.h"
#include "access.h"
#include "mainwindow.h"
#include "nursery.h"
#include "phases.h"
#include "prints.h"
#include "scoring.h"
#include "scripteddialogs.h"
#include "table.h"

#include <QApplication>
#include <QCoreApplication>
#include <QGroupBox>
#include <QRadioButton>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTextStream>

#include <algorithm>
#include <memory>
#include <vector>

using velmora::store::DataFolder;
using velmora::store::DbError;
using velmora::store::Table;
namespace scoring = velmora::scoring;

namespace {

// ------------------------------------------------------------------ settings

constexpr int areaSelectReps = 500;
constexpr int answerPostReps = 200;
constexpr int childFollowReps = 500;
constexpr int clearSelReps = 20;
constexpr int answerClickReps = 200;
constexpr int phaseMoveReps = 500;
constexpr int areaChangeReps = 300;
constexpr int warmupReps = 5;
// The memory workload repeats the same loops, fewer times for the posts.
constexpr int memoryAnswerPostReps = 50;

constexpr qint64 largePhaseRows = 1000000;
constexpr qint64 smallPhaseRows = 10000;

constexpr double ratioLimit = 3.0;
constexpr double memoryRatioLimit = 1.2;
constexpr double medianLimitUs = 16000.0;
constexpr double clearSelLimitUs = 100000.0;

const char* const workloadArg = "--memory-workload";

QTextStream& out()
{
    static QTextStream s(stdout);
    return s;
}

void say(const QString& line)
{
    out() << line << Qt::endl;
}

// What the workloads need to know of a folder to pick evaluations, areas and
// nurseries that exist.
struct FolderFacts
{
    int evaluations = 0;
    int areas = 0;
    int nurseries = 0;
    qint64 phases = 0;
};

// Which evaluation, area, phase and item repetition `rep` works on. Both sides
// of a figure run the same sequence.
int evaluationFor(int rep, const FolderFacts& f) { return 1 + int((qint64(rep) * 7919 + 13) % f.evaluations); }
int areaFor(int rep, const FolderFacts& f) { return 1 + (rep * 3) % f.areas; }
int itemFor(int rep) { return scoring::FirstItem + rep % scoring::ItemCount; }
int nurseryFor(const FolderFacts& f) { return 1 + 6 % f.nurseries; }

QString phaseFilter(int v, int a) { return QStringLiteral("(Id_Valutazione=%1) and (Id_Area=%2)").arg(v).arg(a); }

scoring::Answer nextAnswer(scoring::Answer a)
{
    return scoring::Answer((int(a) + 1) % scoring::AnswerCount);
}

// ------------------------------------------------------------------ the layer

void filterTo(Table& t, const QString& text)
{
    t.setFiltered(false);
    t.setFilter(text);
    t.setFiltered(true);
}

scoring::AnswerLists listsOf(const Table& t)
{
    return {t.asString(QStringLiteral("Si")), t.asString(QStringLiteral("No")), t.asString(QStringLiteral("AVolte")),
            t.asString(QStringLiteral("NonSo"))};
}

// The tables the program keeps open once the user has logged in.
struct Session
{
    DataFolder folder;
    Table nurseries{QStringLiteral("Tbl_AnagNido")};
    Table educators{QStringLiteral("Tbl_AnagEdu")};
    Table children{QStringLiteral("Tbl_AnagBimbi")};
    Table evaluations{QStringLiteral("Tbl_Valutazioni")};
    Table staff{QStringLiteral("Tbl_Personale")};
    Table roles{QStringLiteral("Tbl_Ruoli")};
    Table areas{QStringLiteral("Tbl_Aree")};
    Table phases{QStringLiteral("Tbl_FasiVal")};
    Table copy{QStringLiteral("Tbl_FasiValCopia")}; // the copy cursor the area totals are computed with

    explicit Session(const QString& path) : folder(path) {}

    void login()
    {
        const auto bind = [this](Table& t, const char* file, const char* index) {
            t.setDataFolder(&folder);
            t.setTableName(QString::fromLatin1(file));
            t.setIndexName(QString::fromLatin1(index));
        };
        bind(nurseries, "AnagNido.db", "Nominativo");
        bind(educators, "AnagEdu.db", "Cognome-Nome");
        bind(children, "AnagBimbi.DB", "Cognome-Nome");
        bind(evaluations, "Valutaz.db", "");
        bind(staff, "Personale.db", "");
        bind(roles, "Ruoli.db", "");
        bind(areas, "Aree.db", "");
        bind(phases, "FasiVal.db", "NumeroFase");
        for (Table* t : {&nurseries, &educators, &children, &evaluations, &staff, &roles, &areas, &phases})
            t->open();
    }

    // The area total of the selected phases, through the copy cursor, from
    // the highest phase number down.
    qint64 areaTotal()
    {
        copy.bindLike(phases);
        copy.open();
        copy.last();
        scoring::AreaTotal total;
        while (!copy.isBof()) {
            total.add(copy.asInteger(QStringLiteral("NumFase")), scoring::phaseScore(listsOf(copy)));
            copy.prior();
        }
        copy.close();
        return total.totalHundredths();
    }

    qint64 areaSelect(int v, int a, qint64* readChars)
    {
        filterTo(phases, phaseFilter(v, a));
        phases.first();
        qint64 chars = 0;
        while (!phases.isEof()) {
            const scoring::AnswerLists l = listsOf(phases);
            chars += l.si.size() + l.no.size() + l.aVolte.size() + l.nonSo.size();
            phases.next();
        }
        if (readChars)
            *readChars = chars;
        return areaTotal();
    }

    // Selects the phases of (v, a) and goes to the phase `rep` picks; returns
    // its lists with one item flipped to the next answer.
    scoring::AnswerLists prepareAnswer(int rep, int v, int a)
    {
        filterTo(phases, phaseFilter(v, a));
        const int n = phases.recordCount();
        phases.first();
        for (int i = 0; i < rep % std::max(1, n); ++i)
            phases.next();
        const scoring::AnswerLists l = listsOf(phases);
        const int item = itemFor(rep);
        return scoring::withAnswer(l, item, nextAnswer(scoring::answerOf(l, item)));
    }

    qint64 answerPost(const scoring::AnswerLists& lists)
    {
        phases.edit();
        phases.setValue(QStringLiteral("Si"), lists.si);
        phases.setValue(QStringLiteral("No"), lists.no);
        phases.setValue(QStringLiteral("AVolte"), lists.aVolte);
        phases.setValue(QStringLiteral("NonSo"), lists.nonSo);
        phases.post();
        return areaTotal();
    }

    // What the children's list does while the user moves along it.
    void followChildren(int nursery)
    {
        evaluations.afterScroll = [this](Table& t) {
            const QString v = QString::number(t.asInteger(QStringLiteral("Id")));
            filterTo(staff, QStringLiteral("Id_Valutazione=") + v);
            filterTo(phases, QStringLiteral("Id_Valutazione=") + v);
        };
        children.afterScroll = [this](Table& t) {
            filterTo(evaluations, QStringLiteral("Id_Bimbo=") + QString::number(t.asInteger(QStringLiteral("Id"))));
        };
        filterTo(children, QStringLiteral("Id_Nido=%1 and (frequenza is null or frequenza = True)").arg(nursery));
    }

    void stopFollowing()
    {
        children.afterScroll = nullptr;
        evaluations.afterScroll = nullptr;
    }

    // One step along the children, back to the first after the last.
    void nextChild()
    {
        if (children.recNo() + 1 >= children.recordCount())
            children.first();
        else
            children.next();
    }

    void clearSelection()
    {
        Table t(QStringLiteral("Tbl_ValutazCopia"));
        t.setDataFolder(&folder);
        t.setTableName(QStringLiteral("Valutaz.db"));
        t.open();
        t.setAll(QStringLiteral("Sel"), false);
        t.close();
    }
};

// ------------------------------------------------------------------ direct SQL

QVariant storedList(const QString& list)
{
    return list.isEmpty() ? QVariant() : QVariant(list);
}

class Direct
{
public:
    explicit Direct(const QString& path)
    {
        static int serial = 0;
        const QString tag = QStringLiteral("velmora-bench-direct-%1").arg(++serial);
        for (const char* file : {"FasiVal.db", "Valutaz.db", "Personale.db", "AnagBimbi.DB", "Aree.db", "AnagNido.db"}) {
            const QString name = tag + QLatin1Char('-') + QString::fromLatin1(file);
            QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
            db.setDatabaseName(DataFolder(path).filePath(QString::fromLatin1(file)));
            db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=5000"));
            if (!db.open())
                throw DbError(db.lastError().text());
            // The same durability as the table layer's connections.
            run(db, QStringLiteral("PRAGMA journal_mode=DELETE"));
            run(db, QStringLiteral("PRAGMA synchronous=FULL"));
            m_names << name;
        }
        m_phasesOf = prepare(fasi(), QStringLiteral(
            "SELECT \"Id\", \"NumFase\", \"Si\", \"No\", \"NonSo\", \"AVolte\" FROM \"FasiVal\""
            " WHERE \"Id_Valutazione\" = ? AND \"Id_Area\" = ? ORDER BY \"NumFase\", \"Id\""));
        m_update = prepare(fasi(), QStringLiteral(
            "UPDATE \"FasiVal\" SET \"Si\" = ?, \"No\" = ?, \"NonSo\" = ?, \"AVolte\" = ? WHERE \"Id\" = ?"));
        m_evalsOfChild = prepare(db(1), QStringLiteral(
            "SELECT \"Id\", \"Id_Bimbo\", \"DataValutazione\", \"MesiBimbo\", \"Sel\" FROM \"Valutaz\""
            " WHERE \"Id_Bimbo\" = ? ORDER BY \"Id\""));
        m_staffOf = prepare(db(2), QStringLiteral(
            "SELECT \"Id\", \"Id_Educatrice\", \"Id_Valutazione\", \"Id_Ruolo\", \"Note\" FROM \"Personale\""
            " WHERE \"Id_Valutazione\" = ? ORDER BY \"Id\""));
        m_phasesOfEval = prepare(fasi(), QStringLiteral(
            "SELECT \"Id\", \"Id_Valutazione\", \"Id_Area\", \"NumFase\", \"Si\", \"No\", \"NonSo\", \"AVolte\""
            " FROM \"FasiVal\" WHERE \"Id_Valutazione\" = ? ORDER BY \"NumFase\", \"Id\""));
        m_clearSel = prepare(db(1), QStringLiteral("UPDATE \"Valutaz\" SET \"Sel\" = 0 WHERE \"Sel\" IS NOT 0"));
    }

    ~Direct()
    {
        for (QSqlQuery* q : {&m_phasesOf, &m_update, &m_evalsOfChild, &m_staffOf, &m_phasesOfEval, &m_clearSel})
            *q = QSqlQuery();
        for (const QString& name : std::as_const(m_names)) {
            QSqlDatabase::database(name, false).close();
            QSqlDatabase::removeDatabase(name);
        }
    }

    QSqlDatabase db(int i) const { return QSqlDatabase::database(m_names[i], false); }
    QSqlDatabase fasi() const { return db(0); }

    static void run(QSqlDatabase db, const QString& sql)
    {
        QSqlQuery q(db);
        if (!q.exec(sql))
            throw DbError(q.lastError().text());
    }

    static QSqlQuery prepare(QSqlDatabase db, const QString& sql)
    {
        QSqlQuery q(db);
        q.setForwardOnly(true);
        if (!q.prepare(sql))
            throw DbError(q.lastError().text() + QStringLiteral(" — ") + sql);
        return q;
    }

    static void exec(QSqlQuery& q)
    {
        if (!q.exec())
            throw DbError(q.lastError().text());
    }

    static qint64 scalar(QSqlDatabase db, const QString& sql)
    {
        QSqlQuery q(db);
        if (!q.exec(sql) || !q.next())
            throw DbError(q.lastError().text());
        return q.value(0).toLongLong();
    }

    FolderFacts facts() const
    {
        FolderFacts f;
        f.evaluations = int(scalar(db(1), QStringLiteral("SELECT MAX(\"Id\") FROM \"Valutaz\"")));
        f.areas = int(scalar(db(4), QStringLiteral("SELECT COUNT(*) FROM \"Aree\"")));
        f.nurseries = int(scalar(db(5), QStringLiteral("SELECT COUNT(*) FROM \"AnagNido\"")));
        f.phases = scalar(fasi(), QStringLiteral("SELECT COUNT(*) FROM \"FasiVal\""));
        return f;
    }

    struct Phase
    {
        qint64 id;
        int numFase;
        scoring::AnswerLists lists;
    };

    // The phases of (v, a) in phase order.
    std::vector<Phase> phasesOf(int v, int a)
    {
        m_phasesOf.bindValue(0, v);
        m_phasesOf.bindValue(1, a);
        exec(m_phasesOf);
        std::vector<Phase> rows;
        while (m_phasesOf.next())
            rows.push_back({m_phasesOf.value(0).toLongLong(), m_phasesOf.value(1).toInt(),
                            {m_phasesOf.value(2).toString(), m_phasesOf.value(3).toString(),
                             m_phasesOf.value(5).toString(), m_phasesOf.value(4).toString()}});
        m_phasesOf.finish();
        return rows;
    }

    static qint64 totalOf(const std::vector<Phase>& rows)
    {
        scoring::AreaTotal total;
        for (auto it = rows.rbegin(); it != rows.rend(); ++it)
            total.add(it->numFase, scoring::phaseScore(it->lists));
        return total.totalHundredths();
    }

    qint64 areaSelect(int v, int a) { return totalOf(phasesOf(v, a)); }

    struct PendingAnswer
    {
        qint64 id = 0;
        scoring::AnswerLists lists;
    };

    PendingAnswer prepareAnswer(int rep, int v, int a)
    {
        const std::vector<Phase> rows = phasesOf(v, a);
        if (rows.empty())
            return {};
        const Phase& p = rows[size_t(rep) % rows.size()];
        const int item = itemFor(rep);
        return {p.id, scoring::withAnswer(p.lists, item, nextAnswer(scoring::answerOf(p.lists, item)))};
    }

    qint64 answerPost(const PendingAnswer& p, int v, int a)
    {
        m_update.bindValue(0, storedList(p.lists.si));
        m_update.bindValue(1, storedList(p.lists.no));
        m_update.bindValue(2, storedList(p.lists.nonSo));
        m_update.bindValue(3, storedList(p.lists.aVolte));
        m_update.bindValue(4, p.id);
        exec(m_update);
        m_update.finish();
        return areaSelect(v, a);
    }

    // The children of a nursery as the layer lists them.
    std::vector<int> childrenOf(int nursery)
    {
        QSqlQuery q = prepare(db(3), QStringLiteral(
            "SELECT \"Id\" FROM \"AnagBimbi\" WHERE \"Id_Nido\" = ? AND (\"Frequenza\" IS NULL OR \"Frequenza\" = 1)"
            " ORDER BY \"Cognome\" COLLATE NOCASE, \"Nome\" COLLATE NOCASE, \"Id\""));
        q.bindValue(0, nursery);
        exec(q);
        std::vector<int> ids;
        while (q.next())
            ids.push_back(q.value(0).toInt());
        return ids;
    }

    static int readAll(QSqlQuery& q, int columns)
    {
        int rows = 0;
        while (q.next()) {
            for (int i = 0; i < columns; ++i)
                (void)q.value(i);
            ++rows;
        }
        return rows;
    }

    // Evaluations of the child, then staff and phases of its first one.
    int followChild(int childId)
    {
        m_evalsOfChild.bindValue(0, childId);
        exec(m_evalsOfChild);
        int first = 0;
        int rows = 0;
        if (m_evalsOfChild.next()) {
            first = m_evalsOfChild.value(0).toInt();
            for (int i = 1; i < 5; ++i)
                (void)m_evalsOfChild.value(i);
            rows = 1 + readAll(m_evalsOfChild, 5);
        }
        m_evalsOfChild.finish();
        m_staffOf.bindValue(0, first);
        exec(m_staffOf);
        rows += readAll(m_staffOf, 5);
        m_staffOf.finish();
        m_phasesOfEval.bindValue(0, first);
        exec(m_phasesOfEval);
        rows += readAll(m_phasesOfEval, 8);
        m_phasesOfEval.finish();
        return rows;
    }

    void clearSelection()
    {
        exec(m_clearSel);
        m_clearSel.finish();
    }

    // Marks a tenth of the evaluations as selected, so that clearing has work.
    void markSome(int rep)
    {
        QSqlQuery q(db(1));
        q.prepare(QStringLiteral("UPDATE \"Valutaz\" SET \"Sel\" = 1 WHERE \"Id\" % 10 = ?"));
        q.bindValue(0, rep % 10);
        exec(q);
    }

    qint64 selected()
    {
        return scalar(db(1), QStringLiteral("SELECT COUNT(*) FROM \"Valutaz\" WHERE \"Sel\" <> 0"));
    }

private:
    QStringList m_names;
    QSqlQuery m_phasesOf, m_update, m_evalsOfChild, m_staffOf, m_phasesOfEval, m_clearSel;
};

// ------------------------------------------------------------------ timing

class Stopwatch
{
public:
    void start() { m_t.start(); }
    double us() const { return m_t.nsecsElapsed() / 1000.0; }

private:
    QElapsedTimer m_t;
};

double median(std::vector<double> v)
{
    if (v.empty())
        return 0.0;
    std::sort(v.begin(), v.end());
    const size_t n = v.size();
    return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2.0;
}

double percentile(std::vector<double> v, double p)
{
    if (v.empty())
        return 0.0;
    std::sort(v.begin(), v.end());
    return v[std::min(v.size() - 1, size_t(p * double(v.size() - 1) + 0.5))];
}

struct Figure
{
    explicit Figure(const QString& n, double limit = medianLimitUs) : name(n), limitUs(limit) {}
    QString name;
    double limitUs;
    std::vector<double> layer;
    std::vector<double> direct;
    double layerMedian() const { return median(layer); }
    double directMedian() const { return median(direct); }
    double ratio() const { return directMedian() > 0 ? layerMedian() / directMedian() : 0.0; }
};

QString num(double v, int decimals = 1) { return QString::number(v, 'f', decimals); }

void printFigure(const Figure& f)
{
    say(QStringLiteral("bench %1 median_us=%2 direct_us=%3 ratio=%4")
            .arg(f.name, num(f.layerMedian()), num(f.directMedian()), num(f.ratio(), 2)));
    say(QStringLiteral("#   %1: %2 repetitions; layer p10/p90 %3/%4 us, direct p10/p90 %5/%6 us")
            .arg(f.name)
            .arg(f.layer.size())
            .arg(num(percentile(f.layer, 0.1)), num(percentile(f.layer, 0.9)), num(percentile(f.direct, 0.1)),
                 num(percentile(f.direct, 0.9))));
}

Figure benchAreaSelect(Session& s, Direct& d, const FolderFacts& facts)
{
    Figure f(QStringLiteral("area_select"));
    std::vector<qint64> layerTotals, directTotals;
    Stopwatch w;
    for (int rep = -warmupReps; rep < areaSelectReps; ++rep) {
        const int r = rep < 0 ? 1000 - rep : rep;
        const int v = evaluationFor(r, facts), a = areaFor(r, facts);
        w.start();
        const qint64 total = s.areaSelect(v, a, nullptr);
        const double us = w.us();
        if (rep >= 0) {
            f.layer.push_back(us);
            layerTotals.push_back(total);
        }
    }
    for (int rep = -warmupReps; rep < areaSelectReps; ++rep) {
        const int r = rep < 0 ? 1000 - rep : rep;
        const int v = evaluationFor(r, facts), a = areaFor(r, facts);
        w.start();
        const qint64 total = d.areaSelect(v, a);
        const double us = w.us();
        if (rep >= 0) {
            f.direct.push_back(us);
            directTotals.push_back(total);
        }
    }
    int differ = 0;
    for (size_t i = 0; i < layerTotals.size(); ++i)
        differ += layerTotals[i] != directTotals[i];
    if (differ)
        say(QStringLiteral("#   area_select: WARNING %1 area totals differ between the layer and direct SQL").arg(differ));
    else
        say(QStringLiteral("#   area_select: all %1 area totals agree (e.g. %2)").arg(layerTotals.size()).arg(num(layerTotals[0] / 100.0, 2)));
    return f;
}

Figure benchAnswerPost(Session& s, Direct& d, const FolderFacts& facts)
{
    Figure f(QStringLiteral("answer_post"));
    Stopwatch w;
    int unchanged = 0, outOfStep = 0;
    for (int rep = -warmupReps; rep < answerPostReps; ++rep) {
        const int r = rep < 0 ? 2000 - rep : rep;
        const int v = evaluationFor(r, facts), a = areaFor(r, facts);
        const scoring::AnswerLists lists = s.prepareAnswer(r, v, a);
        const qint64 stored = d.areaSelect(v, a);
        w.start();
        const qint64 total = s.answerPost(lists);
        const double us = w.us();
        // The new total must be what plain SQL now reads from the file.
        outOfStep += total != d.areaSelect(v, a);
        unchanged += total == stored;
        if (rep >= 0)
            f.layer.push_back(us);
    }
    for (int rep = -warmupReps; rep < answerPostReps; ++rep) {
        const int r = rep < 0 ? 2000 - rep : rep;
        const int v = evaluationFor(r, facts), a = areaFor(r, facts);
        const Direct::PendingAnswer p = d.prepareAnswer(r, v, a);
        w.start();
        (void)d.answerPost(p, v, a);
        const double us = w.us();
        if (rep >= 0)
            f.direct.push_back(us);
    }
    // A flipped answer does not always move the total (e.g. "Non so" to
    // "Non esiste"); a total that disagrees with the file is what matters.
    say(QStringLiteral("#   answer_post: %1 posts; %2 totals out of step with the file%3; %4 left the total unchanged")
            .arg(answerPostReps + warmupReps)
            .arg(outOfStep)
            .arg(outOfStep ? QStringLiteral(" (WARNING)") : QString())
            .arg(unchanged));
    return f;
}

Figure benchChildFollow(Session& s, Direct& d, const FolderFacts& facts)
{
    Figure f(QStringLiteral("child_follow"));
    const int nursery = nurseryFor(facts);
    s.followChildren(nursery);
    const std::vector<int> ids = d.childrenOf(nursery);
    Stopwatch w;
    for (int rep = -warmupReps; rep < childFollowReps; ++rep) {
        w.start();
        s.nextChild();
        const double us = w.us();
        if (rep >= 0)
            f.layer.push_back(us);
    }
    const int listed = s.children.recordCount();
    s.stopFollowing();
    size_t pos = 0;
    for (int rep = -warmupReps; rep < childFollowReps; ++rep) {
        pos = (pos + 1) % std::max<size_t>(1, ids.size());
        w.start();
        (void)d.followChild(ids.empty() ? 0 : ids[pos]);
        const double us = w.us();
        if (rep >= 0)
            f.direct.push_back(us);
    }
    say(QStringLiteral("#   child_follow: nursery %1, %2 children listed by the layer, %3 by direct SQL")
            .arg(nursery).arg(listed).arg(ids.size()));
    return f;
}

Figure benchClearSel(Session& s, Direct& d)
{
    Figure f(QStringLiteral("clear_sel"), clearSelLimitUs);
    Stopwatch w;
    int left = 0;
    for (int rep = 0; rep < clearSelReps; ++rep) {
        d.markSome(rep);
        w.start();
        s.clearSelection();
        f.layer.push_back(w.us());
        left += d.selected() != 0;
    }
    for (int rep = 0; rep < clearSelReps; ++rep) {
        d.markSome(rep);
        w.start();
        d.clearSelection();
        f.direct.push_back(w.us());
    }
    if (left)
        say(QStringLiteral("#   clear_sel: WARNING %1 clears through the layer left marks behind").arg(left));
    return f;
}

// ------------------------------------------------------------------ the sheet

// Everything an action on the window leaves for the event loop (repaints,
// deferred layout) is part of what the user waits for.
void settle()
{
    QCoreApplication::processEvents();
}

void reportDialogs(const velmora::ScriptedDialogs& dlg, const QString& when)
{
    const QStringList failures = dlg.failures();
    if (!failures.isEmpty())
        say(QStringLiteral("#   sheet: WARNING %1 unexpected box(es) %2: %3")
                .arg(failures.size())
                .arg(when, failures.first()));
}

// The scripted dialogs, and for the prints: every print set-up is confirmed
// at once and the previewed pages are painted into a PDF file, so that a
// print is timed from the click to the moment its preview could show
// (`readyUs`) and up to the last page painted.
struct BenchDialogs : velmora::ScriptedDialogs
{
    QString pdfPath;  // prints go into this file while it is set
    Stopwatch clock;  // started by the caller at the click
    double readyUs = 0;
    int pages = 0;
    bool written = false;

    bool printSetup(const velmora::print::Document& doc) override
    {
        if (pdfPath.isEmpty())
            return ScriptedDialogs::printSetup(doc);
        readyUs = clock.us();
        return true;
    }
    void preview(const velmora::print::Document& doc) override
    {
        if (pdfPath.isEmpty())
            return ScriptedDialogs::preview(doc);
        pages = doc.pageCount();
        written = doc.writePdf(pdfPath);
    }
};

// The real window, logged in, with an existing evaluation open on the sheet.
struct Sheet
{
    QTemporaryDir programDir{QDir::temp().filePath(QStringLiteral("velmora-bench-prog-XXXXXX"))};
    BenchDialogs dlg;
    std::unique_ptr<velmora::TFrm_Main> w;
    int evaluation = 0;
    int area = 0;

    // Empty when the window is up and logged in; otherwise what went wrong.
    QString start(const QString& folder)
    {
        if (!programDir.isValid())
            return QStringLiteral("cannot create a program folder: ") + programDir.errorString();
        const QString db = programDir.filePath(QStringLiteral("db"));
        if (!QFile::link(QFileInfo(folder).absoluteFilePath(), db))
            return QStringLiteral("cannot link %1 to %2").arg(db, folder);
        QElapsedTimer t;
        t.start();
        w = std::make_unique<velmora::TFrm_Main>(programDir.path(), dlg);
        reportDialogs(dlg, QStringLiteral("at start-up"));
        if (w->shouldEnd())
            return QStringLiteral("the window ended at start-up");
        w->resize(1024, 768);
        w->show();
        settle();
        say(QStringLiteral("# sheet: window built and shown in %1 ms").arg(t.elapsed()));

        // Log in as the first educator of the current nursery.
        t.start();
        if (!w->Data.Tbl_AnagEdu.isOpen() || w->Data.Tbl_AnagEdu.isEmpty())
            return QStringLiteral("no educator in the current nursery");
        w->Data.Tbl_AnagEdu.first();
        dlg.expectInput(QStringLiteral("Password"), w->Data.Tbl_AnagEdu.asString(QStringLiteral("Password")), true);
        w->Access->DBLookupListBox1DblClick();
        settle();
        reportDialogs(dlg, QStringLiteral("at login"));
        if (!dlg.done() || w->accessPanelInFront())
            return QStringLiteral("the login did not go through");
        say(QStringLiteral("# sheet: login in %1 ms").arg(t.elapsed()));
        return QString();
    }

    // Empty when the sheet is open; otherwise what went wrong.
    QString open(const QString& folder)
    {
        const QString problem = start(folder);
        if (!problem.isEmpty())
            return problem;
        QElapsedTimer t;

        // The first child with an evaluation.
        velmora::store::Table& children = w->Data.Tbl_AnagBimbi;
        velmora::store::Table& evaluations = w->Data.Tbl_Valutazioni;
        bool found = false;
        for (children.first(); !children.isEof() && !children.isEmpty(); children.next()) {
            filterTo(evaluations, QStringLiteral("Id_Bimbo=") + children.asString(QStringLiteral("Id")));
            if (!evaluations.isEmpty()) {
                found = true;
                break;
            }
        }
        if (!found)
            return QStringLiteral("no child of the current nursery has an evaluation");
        evaluations.first();
        evaluation = evaluations.asInteger(QStringLiteral("Id"));

        t.start();
        w->Evaluations->Modifica1Click();
        settle();
        reportDialogs(dlg, QStringLiteral("opening the evaluation"));
        if (w->GB_Valutazione->isHidden())
            return QStringLiteral("the sheet did not open");
        area = w->Phases->chiaveArea().toInt();
        say(QStringLiteral("# sheet: evaluation %1 of child %2 opened in %3 ms; area %4 chosen, %5 phases listed")
                .arg(evaluation)
                .arg(children.asString(QStringLiteral("Id")))
                .arg(t.elapsed())
                .arg(area)
                .arg(w->Data.Tbl_FasiVal.recordCount()));
        if (w->Data.Tbl_FasiVal.recordCount() < 2)
            return QStringLiteral("the chosen area lists fewer than two phases");
        return QString();
    }
};

// An evaluation other than `v` for the direct sides, so that they never write
// the rows the window shows.
int otherEvaluation(int v, const FolderFacts& f)
{
    return f.evaluations > 1 ? 1 + (v % f.evaluations) : v;
}

// Moves `t` one step, bouncing at either end; `forward` keeps the direction.
void bounce(Table& t, bool& forward)
{
    const int n = t.recordCount();
    const int at = t.recNo();
    if (forward && at + 1 >= n)
        forward = false;
    else if (!forward && at <= 0)
        forward = true;
    if (forward)
        t.next();
    else
        t.prior();
}

Figure benchAnswerClick(Sheet& sh, Session& s, const FolderFacts& facts)
{
    std::vector<double> handler;
    Figure f(QStringLiteral("answer_click"));
    velmora::TFrm_Main& w = *sh.w;
    velmora::PhasesScreen& ph = *w.Phases;
    Stopwatch sw;
    int notStored = 0;
    for (int rep = -warmupReps; rep < answerClickReps; ++rep) {
        const int item = itemFor(rep + warmupReps);
        const int target = (ph.itemIndex(item) + 1) % velmora::PhasesScreen::Answers;
        QRadioButton* button = ph.Risposte[size_t(item - 1)][size_t(target)];
        sw.start();
        button->click();
        handler.push_back(sw.us());
        settle();
        const double us = sw.us();
        notStored += int(scoring::answerOf(listsOf(w.Data.Tbl_FasiVal), item)) != target;
        if (rep >= 0)
            f.layer.push_back(us);
    }
    reportDialogs(sh.dlg, QStringLiteral("while clicking answers"));

    // Underneath: edit, set the four lists, post, and the area total through
    // the copy cursor, on the same phase shape of another evaluation.
    filterTo(s.phases, phaseFilter(otherEvaluation(sh.evaluation, facts), sh.area));
    s.phases.first();
    for (int rep = -warmupReps; rep < answerClickReps; ++rep) {
        const int item = itemFor(rep + warmupReps);
        const scoring::AnswerLists before = listsOf(s.phases);
        const scoring::AnswerLists lists =
            scoring::withAnswer(before, item, nextAnswer(scoring::answerOf(before, item)));
        sw.start();
        (void)s.answerPost(lists);
        const double us = sw.us();
        if (rep >= 0)
            f.direct.push_back(us);
    }
    say(QStringLiteral("#   answer_click: %1 clicks on evaluation %2 area %3; %4 did not store the clicked answer%5")
            .arg(answerClickReps + warmupReps)
            .arg(sh.evaluation)
            .arg(sh.area)
            .arg(notStored)
            .arg(notStored ? QStringLiteral(" (WARNING)") : QString()));
    say(QStringLiteral("#   answer_click: median %1 us in the click itself, the rest in the event loop")
            .arg(num(median(handler))));
    return f;
}

Figure benchPhaseMove(Sheet& sh, Session& s, const FolderFacts& facts)
{
    std::vector<double> handler;
    Figure f(QStringLiteral("phase_move"));
    velmora::TFrm_Main& w = *sh.w;
    velmora::PhasesScreen& ph = *w.Phases;
    Stopwatch sw;
    bool forward = true;
    int mismatched = 0;
    for (int rep = -warmupReps; rep < phaseMoveReps; ++rep) {
        sw.start();
        bounce(w.Data.Tbl_FasiVal, forward);
        handler.push_back(sw.us());
        settle();
        const double us = sw.us();
        // The groups must show the answers of the phase now current.
        const scoring::AnswerLists l = listsOf(w.Data.Tbl_FasiVal);
        for (int item = scoring::FirstItem; item < scoring::FirstItem + scoring::ItemCount; ++item)
            if (int(scoring::answerOf(l, item)) != ph.itemIndex(item)) {
                ++mismatched;
                break;
            }
        if (rep >= 0)
            f.layer.push_back(us);
    }
    reportDialogs(sh.dlg, QStringLiteral("while moving along the phases"));

    filterTo(s.phases, phaseFilter(otherEvaluation(sh.evaluation, facts), sh.area));
    s.phases.first();
    forward = true;
    qint64 chars = 0;
    for (int rep = -warmupReps; rep < phaseMoveReps; ++rep) {
        sw.start();
        bounce(s.phases, forward);
        const scoring::AnswerLists l = listsOf(s.phases);
        const double us = sw.us();
        chars += l.si.size() + l.no.size() + l.aVolte.size() + l.nonSo.size();
        if (rep >= 0)
            f.direct.push_back(us);
    }
    say(QStringLiteral("#   phase_move: %1 moves over %2 phases; %3 left the groups out of step with the phase%4")
            .arg(phaseMoveReps + warmupReps)
            .arg(w.Data.Tbl_FasiVal.recordCount())
            .arg(mismatched)
            .arg(mismatched ? QStringLiteral(" (WARNING)") : QString()));
    say(QStringLiteral("#   phase_move: median %1 us in the move itself, the rest in the event loop")
            .arg(num(median(handler))));
    return f;
}

Figure benchAreaChange(Sheet& sh, Session& s, Direct& d, const FolderFacts& facts)
{
    std::vector<double> handler, key;
    Figure f(QStringLiteral("area_change"));
    velmora::TFrm_Main& w = *sh.w;
    velmora::PhasesScreen& ph = *w.Phases;
    Stopwatch sw;
    int differ = 0;
    int current = ph.chiaveArea().toInt();
    const auto nextArea = [&facts](int a) { return 1 + a % std::max(1, facts.areas); };
    for (int rep = -warmupReps; rep < areaChangeReps; ++rep) {
        const int a = nextArea(current);
        sw.start();
        ph.ImpostaChiaveArea(a);
        key.push_back(sw.us());
        ph.CB_AreaCloseUp();
        handler.push_back(sw.us());
        settle();
        const double us = sw.us();
        current = a;
        // The total the sheet now shows must be what plain SQL reads.
        const qint64 shown = qRound64(ph.CalcolaTotaleArea(false) * 100.0);
        differ += shown != d.areaSelect(sh.evaluation, a) || ph.chiaveArea().toInt() != a;
        if (rep >= 0)
            f.layer.push_back(us);
    }
    reportDialogs(sh.dlg, QStringLiteral("while changing areas"));

    const int v2 = otherEvaluation(sh.evaluation, facts);
    current = sh.area;
    for (int rep = -warmupReps; rep < areaChangeReps; ++rep) {
        const int a = nextArea(current);
        sw.start();
        filterTo(s.phases, phaseFilter(v2, a));
        (void)s.areaTotal();
        const double us = sw.us();
        current = a;
        if (rep >= 0)
            f.direct.push_back(us);
    }
    say(QStringLiteral("#   area_change: %1 changes over %2 areas; %3 left a total or key out of step%4")
            .arg(areaChangeReps + warmupReps)
            .arg(facts.areas)
            .arg(differ)
            .arg(differ ? QStringLiteral(" (WARNING)") : QString()));
    say(QStringLiteral("#   area_change: median %1 us to set the key, %2 us up to the end of the close-up,"
                       " the rest in the event loop")
            .arg(num(median(key)), num(median(handler))));
    return f;
}

void benchSheet(const QString& folder, Session& s, Direct& d, const FolderFacts& facts, std::vector<Figure>& figures)
{
    Sheet sh;
    const QString problem = sh.open(folder);
    if (!problem.isEmpty()) {
        say(QStringLiteral("# sheet: %1; no sheet figures").arg(problem));
        return;
    }
    figures.push_back(benchAnswerClick(sh, s, facts));
    printFigure(figures.back());
    figures.push_back(benchPhaseMove(sh, s, facts));
    printFigure(figures.back());
    figures.push_back(benchAreaChange(sh, s, d, facts));
    printFigure(figures.back());
}

// ------------------------------------------------------------------ reports

constexpr int reportReps = 5;
constexpr double reportReadyLimitUs = 1000000.0; // ready for the preview within a second
constexpr int sheetPhasesPerArea = 14;

struct ReportFigure
{
    QString name;
    std::vector<double> ready; // click to print set-up: laid out, ready for the preview
    std::vector<double> total; // click to the last page painted into the PDF
    int pages = 0;
};

// Rows written through a connection of their own, as another program would.
struct Writer
{
    explicit Writer(const QString& folder) : df(folder) {}
    int add(const QString& file, const QVariantMap& values) { return velmora::store::appendRecord(df, file, values); }
    // Marks `count` evaluations of `children`: the first of each child,
    // then the second of each, and so on. Returns how many were marked.
    int markEvaluations(const QList<int>& children, int count)
    {
        Table t;
        t.setDataFolder(&df);
        t.setTableName(QStringLiteral("Valutaz.db"));
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
        return marked;
    }
    DataFolder df;
};

ReportFigure timeReport(Sheet& sh, const QString& name, const QString& pdf, const std::function<void()>& click)
{
    ReportFigure f{name, {}, {}, 0};
    sh.dlg.pdfPath = pdf;
    for (int rep = 0; rep < reportReps + 1; ++rep) {
        sh.dlg.readyUs = 0;
        sh.dlg.written = false;
        sh.dlg.clock.start();
        click();
        const double total = sh.dlg.clock.us();
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
    }
    sh.dlg.pdfPath.clear();
    f.pages = sh.dlg.pages;
    say(QStringLiteral("bench %1 ready_us=%2 total_us=%3 pages=%4 pdf_kb=%5")
            .arg(name, num(median(f.ready)), num(median(f.total)))
            .arg(f.pages)
            .arg(QFileInfo(pdf).size() / 1024));
    return f;
}

// The four prints through the real window: the sheet of an evaluation with
// every area at 14 phases, its profile chart, and the comparison of one and
// of a hundred selected evaluations, each laid out and painted into a PDF.
void benchReports(const QString& folder, std::vector<std::pair<QString, bool>>& checks)
{
    Sheet sh;
    QString problem = sh.start(folder);
    if (!problem.isEmpty()) {
        say(QStringLiteral("# reports: %1; no report figures").arg(problem));
        return;
    }
    velmora::TFrm_Main& w = *sh.w;
    QList<int> children, areas;
    for (w.Data.Tbl_AnagBimbi.first(); !w.Data.Tbl_AnagBimbi.isEof(); w.Data.Tbl_AnagBimbi.next())
        children << w.Data.Tbl_AnagBimbi.asInteger(QStringLiteral("Id"));
    for (w.Data.Tbl_Aree.first(); !w.Data.Tbl_Aree.isEof(); w.Data.Tbl_Aree.next())
        areas << w.Data.Tbl_Aree.asInteger(QStringLiteral("Id"));
    if (children.isEmpty() || areas.isEmpty()) {
        say(QStringLiteral("# reports: no child listed or no area; no report figures"));
        return;
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
        return;
    }
    say(QStringLiteral("# reports: evaluation %1 of child %2 with %3 areas x %4 phases; nursery of %5 children")
            .arg(evaluation).arg(children[0]).arg(areas.size()).arg(sheetPhasesPerArea).arg(children.size()));

    QTemporaryDir out(QDir::temp().filePath(QStringLiteral("velmora-bench-pdf-XXXXXX")));
    std::vector<ReportFigure> figures;
    figures.push_back(timeReport(sh, QStringLiteral("report_sheet"), out.filePath(QStringLiteral("scheda.pdf")),
                                 [&] { w.Reports->SpeedButton10Click(); }));
    figures.push_back(timeReport(sh, QStringLiteral("report_profile"), out.filePath(QStringLiteral("grafico.pdf")),
                                 [&] { w.Reports->SpeedButton8Click(); }));

    writer.markEvaluations({children[0]}, 1);
    figures.push_back(timeReport(sh, QStringLiteral("report_compare_1"), out.filePath(QStringLiteral("confronto1.pdf")),
                                 [&] { w.Reports->Btn_ConfrontoMultiploClick(); }));
    const int marked = 1 + writer.markEvaluations(children.mid(1), 99);
    say(QStringLiteral("# reports: %1 evaluations selected over the listed children").arg(marked));
    figures.push_back(timeReport(sh, QStringLiteral("report_compare_100"), out.filePath(QStringLiteral("confronto100.pdf")),
                                 [&] { w.Reports->Btn_ConfrontoMultiploClick(); }));

    const ReportFigure& one = figures[2];
    const ReportFigure& hundred = figures[3];
    const double readyRatio = median(one.ready) > 0 ? median(hundred.ready) / median(one.ready) : 0.0;
    const double totalRatio = median(one.total) > 0 ? median(hundred.total) / median(one.total) : 0.0;
    say(QStringLiteral("bench report_compare_ratio ready=%1 total=%2 (100 profiles against 1)")
            .arg(num(readyRatio, 2), num(totalRatio, 2)));
    for (const ReportFigure& f : figures)
        checks.push_back({f.name + QStringLiteral("_ready"), !f.ready.empty() && median(f.ready) < reportReadyLimitUs});
}

// ------------------------------------------------------------------ memory

qint64 peakRssKb()
{
    QFile f(QStringLiteral("/proc/self/status"));
    if (!f.open(QIODevice::ReadOnly))
        return -1;
    const QList<QByteArray> lines = f.readAll().split('\n');
    for (const QByteArray& line : lines)
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').value(0).toLongLong();
    return -1;
}

// The child side: log in, open the phases with no filter, then the same loops
// as the timings, through the layer only.
int runWorkload(const QString& path, const FolderFacts& facts)
{
    try {
        Session s(path);
        s.login();
        // The phases were opened with no filter; from now on they are filtered.
        filterTo(s.phases, QStringLiteral("Id_Valutazione=%1").arg(evaluationFor(0, facts)));
        for (int rep = 0; rep < areaSelectReps; ++rep)
            s.areaSelect(evaluationFor(rep, facts), areaFor(rep, facts), nullptr);
        for (int rep = 0; rep < memoryAnswerPostReps; ++rep) {
            const int v = evaluationFor(rep, facts), a = areaFor(rep, facts);
            s.answerPost(s.prepareAnswer(rep, v, a));
        }
        s.followChildren(nurseryFor(facts));
        for (int rep = 0; rep < childFollowReps; ++rep)
            s.nextChild();
        s.stopFollowing();
    } catch (const DbError& e) {
        QTextStream(stderr) << "workload: " << e.message() << '\n';
        return 1;
    }
    out() << "vmhwm_kb=" << peakRssKb() << Qt::endl;
    return 0;
}

qint64 measureInChild(const QString& path, const FolderFacts& facts)
{
    QProcess p;
    p.setProcessChannelMode(QProcess::SeparateChannels);
    p.start(QCoreApplication::applicationFilePath(),
            {QString::fromLatin1(workloadArg), path, QString::number(facts.evaluations), QString::number(facts.areas),
             QString::number(facts.nurseries)});
    if (!p.waitForFinished(300000)) {
        p.kill();
        p.waitForFinished();
        say(QStringLiteral("#   memory workload on %1 did not finish").arg(path));
        return 0;
    }
    const QString text = QString::fromLocal8Bit(p.readAllStandardOutput());
    const QString err = QString::fromLocal8Bit(p.readAllStandardError()).trimmed();
    if (!err.isEmpty())
        say(QStringLiteral("#   memory workload: %1").arg(err));
    for (const QString& line : text.split(QLatin1Char('\n')))
        if (line.startsWith(QLatin1String("vmhwm_kb=")))
            return line.mid(9).toLongLong();
    say(QStringLiteral("#   memory workload on %1 gave no figure (exit %2)").arg(path).arg(p.exitCode()));
    return 0;
}

// ------------------------------------------------------------------ main

void check(const QString& name, bool ok, const QString& detail)
{
    say(QStringLiteral("bench check %1 %2 %3").arg(name, ok ? QStringLiteral("ok") : QStringLiteral("FAIL"), detail));
}

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

} // namespace

int main(int argc, char** argv)
{
    // The memory workload needs no screen; the timings drive the real window
    // on the offscreen platform unless another one is asked for.
    const bool workload = argc > 1 && QLatin1String(argv[1]) == QLatin1String(workloadArg);
    if (!workload && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    std::unique_ptr<QCoreApplication> app = workload ? std::make_unique<QCoreApplication>(argc, argv)
                                                     : std::make_unique<QApplication>(argc, argv);
    const QStringList args = app->arguments().mid(1);
    if (workload) {
        if (args.size() != 5)
            return 2;
        FolderFacts f;
        f.evaluations = std::max(1, args[2].toInt());
        f.areas = std::max(1, args[3].toInt());
        f.nurseries = std::max(1, args[4].toInt());
        return runWorkload(args[1], f);
    }
    if (args.value(0) == QLatin1String("--reports") && args.size() == 2) {
        // Only the prints, on a folder laid before (it gains an evaluation
        // and selection marks).
        std::vector<std::pair<QString, bool>> checks;
        benchReports(args[1], checks);
        for (const auto& [name, ok] : checks)
            check(name, ok, QStringLiteral("limit_us=%1").arg(num(reportReadyLimitUs, 0)));
        return 0;
    }
    if (args.size() > 2 || args.value(0).startsWith(QLatin1String("-"))) {
        QTextStream(stderr) << "Uso: velmora-bench [<cartella-grande> [<cartella-piccola>]]\n"
                               "       velmora-bench --reports <cartella>\n";
        return 0;
    }
    return runBench(args);
}
