#pragma once
// The two sides every figure compares: the tables the program keeps open,
// driven through the table layer (Session), and the same work done with
// prepared QSqlQuery statements on connections of their own (Direct). Then
// the table-layer figures and the peak memory workload (bench_table.cpp).

#include "bench_common.h"
#include "datafolder.h"

#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>

#include <algorithm>
#include <vector>

namespace bench {

// ------------------------------------------------------------------ the layer

// The tables the program keeps open once the user has logged in.
struct Session
{
    std::unique_ptr<DataFolder> owned;
    DataFolder& folder;
    Table nurseries{QStringLiteral("Tbl_AnagNido")};
    Table educators{QStringLiteral("Tbl_AnagEdu")};
    Table children{QStringLiteral("Tbl_AnagBimbi")};
    Table evaluations{QStringLiteral("Tbl_Valutazioni")};
    Table staff{QStringLiteral("Tbl_Personale")};
    Table roles{QStringLiteral("Tbl_Ruoli")};
    Table areas{QStringLiteral("Tbl_Aree")};
    Table phases{QStringLiteral("Tbl_FasiVal")};
    Table copy{QStringLiteral("Tbl_FasiValCopia")}; // the copy cursor the area totals are computed with

    explicit Session(const QString& path) : owned(openFolder(path)), folder(*owned) {}

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
        copy.bindLike(phases, Table::CopyRows::Shown);
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
        evaluations.setReaction(Table::Reaction::AfterScroll, this, [this](Table& t) {
            const QString v = QString::number(t.asInteger(QStringLiteral("Id")));
            filterTo(staff, QStringLiteral("Id_Valutazione=") + v);
            filterTo(phases, QStringLiteral("Id_Valutazione=") + v);
        });
        children.setReaction(Table::Reaction::AfterScroll, this, [this](Table& t) {
            filterTo(evaluations, QStringLiteral("Id_Bimbo=") + QString::number(t.asInteger(QStringLiteral("Id"))));
        });
        filterTo(children, QStringLiteral("Id_Nido=%1 and (frequenza is null or frequenza = True)").arg(nursery));
    }

    void stopFollowing()
    {
        children.setReaction(Table::Reaction::AfterScroll, this, nullptr);
        evaluations.setReaction(Table::Reaction::AfterScroll, this, nullptr);
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
        t.setAllUnread(QStringLiteral("Sel"), false);
    }
};

// ------------------------------------------------------------------ direct SQL

inline QVariant storedList(const QString& list)
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
        // On the server run, the same tables through connections of QPSQL
        // to the server the folder's line names.
        const velmora::store::EngineChoice choice = velmora::store::chooseEngine(path, QString(), QString());
        m_server = choice.engine == velmora::store::Engine::PostgreSQL;
        const auto connect = [&](const QString& name, const QString& file) {
            QSqlDatabase db = QSqlDatabase::addDatabase(m_server ? QStringLiteral("QPSQL") : QStringLiteral("QSQLITE"), name);
            if (m_server) {
                choice.line.apply(db);
            } else {
                db.setDatabaseName(DataFolder(path).filePath(file));
                db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=5000"));
            }
            if (!db.open())
                throw DbError(db.lastError().text());
            m_names << name;
            return db;
        };
        for (const char* file : {"FasiVal.db", "Valutaz.db", "Personale.db", "AnagBimbi.DB", "Aree.db", "AnagNido.db"}) {
            QSqlDatabase db = connect(tag + QLatin1Char('-') + QString::fromLatin1(file), QString::fromLatin1(file));
            // The same durability as the table layer's connections.
            if (!m_server) {
                run(db, QStringLiteral("PRAGMA journal_mode=DELETE"));
                run(db, QStringLiteral("PRAGMA synchronous=FULL"));
            }
        }
        // The marks are set through a connection of their own, as by
        // another program: both sides then clear them with the pages of
        // their own connection's cache changed under them alike.
        connect(tag + QStringLiteral("-marker"), QStringLiteral("Valutaz.db"));
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
        m_clearSel = prepare(db(1), m_server ? QStringLiteral("UPDATE \"Valutaz\" SET \"Sel\" = false WHERE \"Sel\"")
                                             : QStringLiteral("UPDATE \"Valutaz\" SET \"Sel\" = 0 WHERE \"Sel\" IS NOT 0"));
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
        QSqlQuery q = prepare(db(3), m_server ? QStringLiteral(
            "SELECT \"Id\" FROM \"AnagBimbi\" WHERE \"Id_Nido\" = ? AND (\"Frequenza\" IS NULL OR \"Frequenza\")"
            " ORDER BY lower(\"Cognome\"), lower(\"Nome\"), \"Id\"") : QStringLiteral(
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

    // Marks marksPerClear evaluations spread over the table as selected, as
    // a person marks some for a comparison print, so that clearing has work.
    void markSome(int rep, int evaluations)
    {
        QSqlQuery q(db(6));
        q.prepare(m_server ? QStringLiteral("UPDATE \"Valutaz\" SET \"Sel\" = true WHERE \"Id\" % ? = ?")
                           : QStringLiteral("UPDATE \"Valutaz\" SET \"Sel\" = 1 WHERE \"Id\" % ? = ?"));
        const int step = std::max(1, evaluations / marksPerClear);
        q.bindValue(0, step);
        q.bindValue(1, rep % step);
        exec(q);
    }

    qint64 selected()
    {
        return scalar(db(1), m_server ? QStringLiteral("SELECT COUNT(*) FROM \"Valutaz\" WHERE \"Sel\"")
                                      : QStringLiteral("SELECT COUNT(*) FROM \"Valutaz\" WHERE \"Sel\" <> 0"));
    }

    bool server() const { return m_server; }

private:
    bool m_server = false;
    QStringList m_names;
    QSqlQuery m_phasesOf, m_update, m_evalsOfChild, m_staffOf, m_phasesOfEval, m_clearSel;
};

// ------------------------------------------------------------------ the layer's figures

Figure benchAreaSelect(Session& s, Direct& d, const FolderFacts& facts);
Figure benchAnswerPost(Session& s, Direct& d, const FolderFacts& facts);
Figure benchChildFollow(Session& s, Direct& d, const FolderFacts& facts);
Figure benchClearSel(Session& s, Direct& d, const FolderFacts& facts);

// ------------------------------------------------------------------ memory

// The child side: log in, open the phases with no filter, then the same loops
// as the timings, through the layer only.
int runWorkload(const QString& path, const FolderFacts& facts);

// Runs the workload on `path` in a fresh child process (this program with
// the hidden workload argument) and returns its peak memory in kB, 0 when it
// gave none.
qint64 measureInChild(const QString& path, const FolderFacts& facts);

} // namespace bench
