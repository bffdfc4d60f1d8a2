// The installer that lays a data folder, and the schema upgrade that brings a
// folder of any earlier schema version up to date (the first step: children
// tables laid before the attendance column existed).
// The expected layout is written out here as literal text, so that a change
// to the table definitions shows up as a failure rather than being followed.

#include "storefixture.h"
#include "scripteddialogs.h"
#include "scripteddialogs_qtest.h"
#include "foldercheck.h"
#include "schema.h"
#include "upgrade.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTest>

using namespace velmora::store;
using namespace storetest;

namespace {

const char* const neededText =
    "I Database sono attualmente aggiornati alla versione 1.02.Per proseguire è necessario effettuare "
    "l'upgrade alla versione 1.12!\nCliccando sul tasto Ok l'upgrade verrà effettuato in modo automatico";
const char* const doneText = "Aggiornamento completato";

// Runs `fn` with a connection of its own to one file, outside the table layer.
template <typename Fn>
void withFile(const QString& filePath, Fn fn)
{
    const QString name = QStringLiteral("test_upgrade_raw");
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        db.setDatabaseName(filePath);
        QVERIFY(db.open());
        fn(db);
        db.close();
    }
    QSqlDatabase::removeDatabase(name);
}

QStringList queryColumn(QSqlDatabase& db, const QString& sql, int column = 0)
{
    QStringList out;
    QSqlQuery q(db);
    if (!q.exec(sql))
        qFatal("%s: %s", qPrintable(sql), qPrintable(q.lastError().text()));
    while (q.next())
        out << q.value(column).toString();
    return out;
}

// "name TYPE" for every column of `table`, in stored order.
QStringList columnsOf(QSqlDatabase& db, const QString& table)
{
    QStringList out;
    QSqlQuery q(db);
    if (!q.exec(QStringLiteral("PRAGMA table_info(\"%1\")").arg(table)))
        qFatal("table_info failed");
    while (q.next())
        out << q.value(1).toString() + QLatin1Char(' ') + q.value(2).toString().toUpper();
    return out;
}

QStringList collect(std::function<void(const std::function<void(const QString&)>&)> run)
{
    QStringList shown;
    run([&](const QString& text) { shown << text; });
    return shown;
}

} // namespace

class TestUpgrade : public QObject
{
    Q_OBJECT

private slots:
    void layout_data();
    void layout();
    void namedIndexes_data();
    void namedIndexes();
    void defaultRows();
    void olderLayoutLacksAttendance();
    void refusesExistingFolder_data();
    void refusesExistingFolder();
    void filesFoundWithoutRegardToCase();

    void upgradeOlderFolder();
    void upgradeSpeaksInWarningBoxes();
    void upgradeFailureWarnsAgain();
    void currentFolderSaysNothing();
    void selectionIndex();
    void everyVersionComesUpToDate_data();
    void everyVersionComesUpToDate();
    void checkExpectsFieldsOfVersion_data();
    void checkExpectsFieldsOfVersion();
};

void TestUpgrade::layout_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<QString>("table");
    QTest::addColumn<QStringList>("columns");

    QTest::newRow("AnagNido") << "AnagNido.db" << "AnagNido"
        << QStringList{"Id INTEGER", "Nome VARCHAR(200)", "Indirizzo VARCHAR(150)", "Cap VARCHAR(5)",
                       "Citta VARCHAR(50)", "Provincia VARCHAR(4)", "Telefono VARCHAR(15)", "Fax VARCHAR(15)"};
    QTest::newRow("AnagEdu") << "AnagEdu.db" << "AnagEdu"
        << QStringList{"Id INTEGER", "Id_Nido INTEGER", "Nome VARCHAR(15)", "Cognome VARCHAR(15)",
                       "Password VARCHAR(10)", "Responsabile BOOLEAN"};
    QTest::newRow("AnagBimbi") << "AnagBimbi.DB" << "AnagBimbi"
        << QStringList{"Id INTEGER", "Id_Nido INTEGER", "Nome VARCHAR(15)", "Cognome VARCHAR(15)",
                       "DataDiNascita DATE", "Sesso VARCHAR(1)", "Note TEXT", "Frequenza BOOLEAN"};
    QTest::newRow("Valutaz") << "Valutaz.db" << "Valutaz"
        << QStringList{"Id INTEGER", "Id_Bimbo INTEGER", "DataValutazione DATE", "MesiBimbo INTEGER", "Sel BOOLEAN"};
    QTest::newRow("Ruoli") << "Ruoli.db" << "Ruoli" << QStringList{"Id INTEGER", "Ruolo VARCHAR(30)"};
    QTest::newRow("Aree") << "Aree.db" << "Aree"
        << QStringList{"Id INTEGER", "Area VARCHAR(50)", "AreaBreve VARCHAR(2)"};
    QTest::newRow("Personale") << "Personale.db" << "Personale"
        << QStringList{"Id INTEGER", "Id_Educatrice INTEGER", "Id_Valutazione INTEGER", "Id_Ruolo INTEGER", "Note TEXT"};
    QTest::newRow("FasiVal") << "FasiVal.db" << "FasiVal"
        << QStringList{"Id INTEGER", "Id_Valutazione INTEGER", "Id_Area INTEGER", "NumFase INTEGER",
                       "Si VARCHAR(50)", "No VARCHAR(50)", "NonSo VARCHAR(50)", "AVolte VARCHAR(50)"};
}

// Each file, spelled as the program spells it, holds its one table.
void TestUpgrade::layout()
{
    QFETCH(QString, file);
    QFETCH(QString, table);
    QFETCH(QStringList, columns);

    Folder f;
    QVERIFY(QDir(f.path()).entryList(QDir::Files).contains(file));
    QCOMPARE(QDir(f.path()).entryList(QDir::Files).size(), 8);
    withFile(QDir(f.path()).filePath(file), [&](QSqlDatabase& db) {
        QCOMPARE(queryColumn(db, QStringLiteral("SELECT name FROM sqlite_master WHERE type IN ('table','view') "
                                                "AND name NOT LIKE 'sqlite_%'")),
                 QStringList{table});
        QCOMPARE(columnsOf(db, table), columns);
        // Id numbers itself from 1.
        QSqlQuery q(db);
        QVERIFY(q.exec(QStringLiteral("SELECT pk FROM pragma_table_info('%1') WHERE name = 'Id'").arg(table)));
        QVERIFY(q.next());
        QCOMPARE(q.value(0).toInt(), 1);
        QCOMPARE(queryColumn(db, QStringLiteral("PRAGMA integrity_check")), QStringList{"ok"});
    });
}

void TestUpgrade::namedIndexes_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<QString>("index");
    QTest::addColumn<QStringList>("columns");
    QTest::newRow("Nominativo") << "AnagNido.db" << "Nominativo" << QStringList{"Nome"};
    QTest::newRow("educators Cognome-Nome") << "AnagEdu.db" << "Cognome-Nome" << QStringList{"Cognome", "Nome"};
    QTest::newRow("children Cognome-Nome") << "AnagBimbi.DB" << "Cognome-Nome" << QStringList{"Cognome", "Nome"};
    QTest::newRow("children Nome-Cognome") << "AnagBimbi.DB" << "Nome-Cognome" << QStringList{"Nome", "Cognome"};
    QTest::newRow("NumeroFase") << "FasiVal.db" << "NumeroFase" << QStringList{"NumFase"};
}

void TestUpgrade::namedIndexes()
{
    QFETCH(QString, file);
    QFETCH(QString, index);
    QFETCH(QStringList, columns);

    Folder f;
    withFile(QDir(f.path()).filePath(file), [&](QSqlDatabase& db) {
        QCOMPARE(queryColumn(db, QStringLiteral("SELECT name FROM pragma_index_info('%1') ORDER BY seqno").arg(index)),
                 columns);
    });
    // And the table layer orders by it.
    auto t = f.table(file);
    t->setIndexName(index);
    t->open();
    QCOMPARE(t->indexName(), index);
}

// Eight areas and five roles come with an installation; the rest is empty.
void TestUpgrade::defaultRows()
{
    Folder f;
    auto aree = f.table(QStringLiteral("Aree.db"));
    aree->open();
    QCOMPARE(aree->recordCount(), 8);
    QSet<QString> codes;
    for (aree->first(); !aree->isEof(); aree->next()) {
        QVERIFY(!aree->asString(QStringLiteral("Area")).isEmpty());
        const QString code = aree->asString(QStringLiteral("AreaBreve"));
        QCOMPARE(code.size(), 2);
        codes.insert(code);
    }
    QCOMPARE(codes.size(), 8); // distinct codes
    QCOMPARE(walkForward(*aree, QStringLiteral("Id")), (QStringList{"1", "2", "3", "4", "5", "6", "7", "8"}));

    auto ruoli = f.table(QStringLiteral("Ruoli.db"));
    ruoli->open();
    QCOMPARE(ruoli->recordCount(), 5);
    QCOMPARE(walkForward(*ruoli, QStringLiteral("Id")), (QStringList{"1", "2", "3", "4", "5"}));
    for (ruoli->first(); !ruoli->isEof(); ruoli->next())
        QVERIFY(!ruoli->asString(QStringLiteral("Ruolo")).isEmpty());

    for (const char* file : {"AnagNido.db", "AnagEdu.db", "AnagBimbi.DB", "Valutaz.db", "Personale.db", "FasiVal.db"}) {
        auto t = f.table(QString::fromLatin1(file));
        t->open();
        QVERIFY2(t->isEmpty(), file);
    }

    // The first record added to an empty table is number 1.
    auto nido = f.table(QStringLiteral("AnagNido.db"));
    nido->open();
    QCOMPARE(addRow(*nido, {{"Nome", "Il Girasole"}}), 1);
}

void TestUpgrade::olderLayoutLacksAttendance()
{
    Folder f(Layout::Older);
    withFile(QDir(f.path()).filePath(QStringLiteral("AnagBimbi.DB")), [&](QSqlDatabase& db) {
        QCOMPARE(columnsOf(db, QStringLiteral("AnagBimbi")),
                 (QStringList{"Id INTEGER", "Id_Nido INTEGER", "Nome VARCHAR(15)", "Cognome VARCHAR(15)",
                              "DataDiNascita DATE", "Sesso VARCHAR(1)", "Note TEXT"}));
    });
    withFile(QDir(f.path()).filePath(QStringLiteral("AnagEdu.db")), [&](QSqlDatabase& db) {
        QCOMPARE(columnsOf(db, QStringLiteral("AnagEdu")).size(), 6);
    });
    // The table layer will not open it as it is.
    auto t = f.table(QStringLiteral("AnagBimbi.DB"));
    bool threw = false;
    try {
        t->open();
    } catch (const DbError& e) {
        threw = true;
        QVERIFY(e.message().contains(QLatin1String("Frequenza")));
    }
    QVERIFY(threw);
}

void TestUpgrade::refusesExistingFolder_data()
{
    QTest::addColumn<QString>("what");
    QTest::newRow("empty folder") << "empty";
    QTest::newRow("folder with a file") << "file inside";
    QTest::newRow("laid folder with data") << "laid";
    QTest::newRow("plain file at the path") << "plain file";
}

void TestUpgrade::refusesExistingFolder()
{
    QFETCH(QString, what);
    QTemporaryDir tmp;
    const QString path = tmp.path() + QStringLiteral("/Dati");
    QByteArray marker("contenuto dell'utente");

    if (what == QLatin1String("plain file")) {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(marker);
    } else if (what == QLatin1String("laid")) {
        QCOMPARE(layDataFolder(path), QString());
        DataFolder df(path);
        Table t;
        t.setDataFolder(&df);
        t.setTableName(QStringLiteral("AnagNido.db"));
        t.open();
        addRow(t, {{"Nome", "Il Girasole"}});
        t.close();
    } else {
        QVERIFY(QDir().mkpath(path));
        if (what == QLatin1String("file inside")) {
            QFile file(path + QStringLiteral("/AnagBimbi.DB"));
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(marker);
        }
    }
    const QStringList before = QDir(path).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden);
    const QStringList parentBefore = QDir(tmp.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden);

    const QString err = layDataFolder(path);
    QVERIFY(!err.isEmpty());
    QVERIFY2(err.contains(QLatin1String("esiste")), qPrintable(err));

    QCOMPARE(QDir(path).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden), before);
    // Nothing left beside it either.
    QCOMPARE(QDir(tmp.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden), parentBefore);
    if (what == QLatin1String("plain file") || what == QLatin1String("file inside")) {
        QFile file(what == QLatin1String("plain file") ? path : path + QStringLiteral("/AnagBimbi.DB"));
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), marker);
    }
    if (what == QLatin1String("laid"))
        QCOMPARE(readColumn(path, QStringLiteral("AnagNido.db"), QStringLiteral("AnagNido"), QStringLiteral("Nome")),
                 QStringList{"Il Girasole"});
}

// Files copied from another system may be spelled in any case.
void TestUpgrade::filesFoundWithoutRegardToCase()
{
    Folder f;
    // Respell two files on disk.
    DataFolder& df = f.folder();
    df.closeAll();
    QVERIFY(QFile::rename(f.path() + QStringLiteral("/AnagBimbi.DB"), f.path() + QStringLiteral("/anagbimbi.db")));
    QVERIFY(QFile::rename(f.path() + QStringLiteral("/Aree.db"), f.path() + QStringLiteral("/AREE.DB")));

    QCOMPARE(df.filePath(QStringLiteral("AnagBimbi.DB")), f.path() + QStringLiteral("/anagbimbi.db"));
    QCOMPARE(df.filePath(QStringLiteral("anagbimbi.db")), f.path() + QStringLiteral("/anagbimbi.db"));
    QCOMPARE(df.filePath(QStringLiteral("aree.db")), f.path() + QStringLiteral("/AREE.DB"));
    QCOMPARE(df.filePath(QStringLiteral("Nessuno.db")), QString());

    {
        auto t = f.table(QStringLiteral("AnagBimbi.DB"));
        t->open();
        addRow(*t, {{"Nome", "Anna"}});
    }
    {
        // Another spelling reaches the same file and the same records.
        auto t = f.table(QStringLiteral("ANAGBIMBI.db"));
        t->open();
        QCOMPARE(walkForward(*t, QStringLiteral("Nome")), QStringList{"Anna"});
        auto a = f.table(QStringLiteral("aree.db"));
        a->open();
        QCOMPARE(a->recordCount(), 8);
    }
    // No second file was made under the program's spelling.
    QVERIFY(!QFileInfo::exists(f.path() + QStringLiteral("/AnagBimbi.DB")));
    QCOMPARE(QDir(f.path()).entryList(QDir::Files).size(), 8);
}

void TestUpgrade::upgradeSpeaksInWarningBoxes()
{
    // Wired as the program wires it: each message is a warning box with one
    // OK button, in this order and with these exact words.
    Folder f(Layout::Older);
    velmora::ScriptedDialogs dialogs;
    dialogs.expectMessage(velmora::BoxType::Warning, QString::fromUtf8(neededText));
    dialogs.expectMessage(velmora::BoxType::Warning, QString::fromUtf8(doneText));
    AggiornaSchema(f.folder(), [&](const QString& text) { dialogs.warning(text); });
    VERIFY_DIALOGS(dialogs);
    QCOMPARE(dialogs.shown().size(), 2);
    QCOMPARE(dialogs.shown().at(0).buttons, velmora::Buttons(velmora::Button::Ok));
}

void TestUpgrade::upgradeOlderFolder()
{
    Folder f(Layout::Older);
    // Children recorded before the upgrade, written as the older program did.
    bulk(f.folder(), QStringLiteral("AnagBimbi.DB"),
         QStringLiteral("INSERT INTO AnagBimbi (Id_Nido, Nome, Cognome) VALUES (?, ?, ?)"),
         {{1, QStringLiteral("Anna"), QStringLiteral("Rossi")},
          {1, QStringLiteral("Bruno"), QStringLiteral("Bianchi")},
          {2, QStringLiteral("Carla"), QStringLiteral("Verdi")}});

    const QStringList shown = collect([&](const auto& warn) { AggiornaSchema(f.folder(), warn); });
    QCOMPARE(shown, (QStringList{QString::fromUtf8(neededText), QString::fromUtf8(doneText)}));

    withFile(QDir(f.path()).filePath(QStringLiteral("AnagBimbi.DB")), [&](QSqlDatabase& db) {
        QVERIFY(columnsOf(db, QStringLiteral("AnagBimbi")).last().startsWith(QLatin1String("Frequenza ")));
        QCOMPARE(queryColumn(db, QStringLiteral("SELECT count(*) FROM AnagBimbi WHERE Frequenza IS NULL")),
                 QStringList{"3"});
    });

    // The table layer opens it now, and the attendance filter keeps the old
    // children of the nursery.
    auto t = f.table(QStringLiteral("AnagBimbi.DB"));
    t->setFilter(QStringLiteral("Id_Nido=1 and (frequenza is null or frequenza = True)"));
    t->setFiltered(true);
    t->open();
    QCOMPARE(walkForward(*t, QStringLiteral("Nome")), (QStringList{"Anna", "Bruno"}));
    QVERIFY(t->isNull(QStringLiteral("Frequenza")));
    t->first();
    t->edit();
    t->setValue(QStringLiteral("Frequenza"), false);
    t->post();
    QCOMPARE(walkForward(*t, QStringLiteral("Nome")), QStringList{"Bruno"}); // Anna no longer attends
    t->close();

    // A second run says nothing.
    QCOMPARE(collect([&](const auto& warn) { AggiornaSchema(f.folder(), warn); }), QStringList{});
    // Nor does a run on a fresh connection to the same folder.
    DataFolder again(f.path());
    QCOMPARE(collect([&](const auto& warn) { AggiornaSchema(again, warn); }), QStringList{});
}

// When the upgrade statement fails only the first warning is shown, and the
// next start probes and warns again. Here the children table has been
// replaced by a view, so the probe fails and ALTER TABLE cannot add a column.
void TestUpgrade::upgradeFailureWarnsAgain()
{
    Folder f(Layout::Older);
    f.folder().closeAll();
    withFile(QDir(f.path()).filePath(QStringLiteral("AnagBimbi.DB")), [&](QSqlDatabase& db) {
        for (const char* sql : {"ALTER TABLE AnagBimbi RENAME TO Bimbi_Vecchi",
                                "INSERT INTO Bimbi_Vecchi (Id_Nido, Nome) VALUES (1, 'Anna')",
                                "CREATE VIEW AnagBimbi AS SELECT * FROM Bimbi_Vecchi"}) {
            QSqlQuery q(db);
            QVERIFY2(q.exec(QString::fromLatin1(sql)), qPrintable(q.lastError().text()));
        }
    });

    for (int run = 0; run < 2; ++run) {
        DataFolder df(f.path());
        QCOMPARE(collect([&](const auto& warn) { AggiornaSchema(df, warn); }),
                 QStringList{QString::fromUtf8(neededText)});
    }
    withFile(QDir(f.path()).filePath(QStringLiteral("AnagBimbi.DB")), [&](QSqlDatabase& db) {
        QCOMPARE(queryColumn(db, QStringLiteral("SELECT Nome FROM AnagBimbi")), QStringList{"Anna"});
        QCOMPARE(queryColumn(db, QStringLiteral("PRAGMA integrity_check")), QStringList{"ok"});
    });
}

void TestUpgrade::currentFolderSaysNothing()
{
    Folder f;
    QCOMPARE(collect([&](const auto& warn) { AggiornaSchema(f.folder(), warn); }), QStringList{});
    withFile(QDir(f.path()).filePath(QStringLiteral("AnagBimbi.DB")), [&](QSqlDatabase& db) {
        QCOMPARE(columnsOf(db, QStringLiteral("AnagBimbi")).count(QStringLiteral("Frequenza BOOLEAN")), 1);
    });
}

// Clearing the selection marks goes through the partial index of the marked
// evaluations: laid with a new folder, added at start-up to a folder without
// it (once the file can be written), and the marks end as if every one had
// been set false, unset ones included.
void TestUpgrade::selectionIndex()
{
    Folder f;
    const QString valutaz = QDir(f.path()).filePath(QStringLiteral("Valutaz.db"));
    const QString indexQuery = QStringLiteral("SELECT sql FROM sqlite_master WHERE name = 'ix_Valutaz_Sel'");
    f.folder().closeAll();
    withFile(valutaz, [&](QSqlDatabase& db) {
        QCOMPARE(queryColumn(db, indexQuery).size(), 1);
        QSqlQuery q(db);
        // As a folder at version 1, laid before the index came.
        QVERIFY(q.exec(QStringLiteral("DROP INDEX ix_Valutaz_Sel")));
        QVERIFY(q.exec(QStringLiteral("PRAGMA user_version = 1")));
        QVERIFY(q.exec(QStringLiteral("INSERT INTO Valutaz (Id_Bimbo, Sel) VALUES (1, 1), (1, NULL), (2, 0), (2, 1)")));
    });

    // Held by another program: left alone (after the busy timeout), and the
    // next start adds it.
    {
        DataFolder df(f.path());
        df.setBusyTimeout(50);
        QSqlDatabase holder = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("test_upgrade_holder"));
        holder.setDatabaseName(valutaz);
        QVERIFY(holder.open());
        QSqlQuery(holder).exec(QStringLiteral("BEGIN EXCLUSIVE"));
        QCOMPARE(collect([&](const auto& warn) { AggiornaSchema(df, warn); }), QStringList{});
        QSqlQuery(holder).exec(QStringLiteral("ROLLBACK"));
        holder.close();
        holder = QSqlDatabase();
        QSqlDatabase::removeDatabase(QStringLiteral("test_upgrade_holder"));
        df.closeAll();
        withFile(valutaz, [&](QSqlDatabase& db) { QCOMPARE(queryColumn(db, indexQuery).size(), 0); });
    }
    {
        DataFolder df(f.path());
        QCOMPARE(collect([&](const auto& warn) { AggiornaSchema(df, warn); }), QStringList{});
        AggiornaSchema(df, [](const QString&) {}); // a folder that has it stays as it is
        df.closeAll();
    }
    withFile(valutaz, [&](QSqlDatabase& db) {
        QCOMPARE(queryColumn(db, indexQuery).size(), 1);
        QCOMPARE(queryColumn(db, QStringLiteral("PRAGMA user_version")), QStringList{QString::number(currentSchemaVersion())});
        // The statement clearing the marks, the value written into it, uses
        // it from its first preparation on.
        QSqlQuery plan(db);
        QVERIFY(plan.exec(QStringLiteral("EXPLAIN QUERY PLAN UPDATE \"Valutaz\" SET \"Sel\" = 0 WHERE \"Sel\" IS NOT 0")));
        QStringList details;
        while (plan.next())
            details << plan.value(3).toString();
        QVERIFY2(details.join(QLatin1Char(' ')).contains(QLatin1String("ix_Valutaz_Sel")), qPrintable(details.join(QLatin1Char(' '))));
    });

    auto t = f.table(QStringLiteral("Valutaz.db"));
    t->open();
    t->setAll(QStringLiteral("Sel"), false);
    t->close();
    f.folder().closeAll();
    withFile(valutaz, [&](QSqlDatabase& db) {
        QCOMPARE(queryColumn(db, QStringLiteral("SELECT quote(Sel) FROM Valutaz ORDER BY Id")),
                 (QStringList{"0", "0", "0", "0"}));
        QCOMPARE(queryColumn(db, QStringLiteral("PRAGMA integrity_check")), QStringList{"ok"});
    });
}

// What a file holds that a reader of its layout can see: every table and
// index statement, and the version recorded.
QStringList layoutOf(const QString& filePath)
{
    QStringList out;
    withFile(filePath, [&](QSqlDatabase& db) {
        out = queryColumn(db, QStringLiteral("SELECT type || ' ' || name || ': ' || sql FROM sqlite_master "
                                             "WHERE name NOT LIKE 'sqlite_%' ORDER BY type, name"));
        out << QStringLiteral("version ") + queryColumn(db, QStringLiteral("PRAGMA user_version")).join(QString());
    });
    return out;
}

void TestUpgrade::everyVersionComesUpToDate_data()
{
    QTest::addColumn<int>("version");
    for (int v = 0; v <= currentSchemaVersion(); ++v)
        QTest::addRow("from version %d", v) << v;
}

// A folder laid at any earlier version ends, after the upgrade, with exactly
// the layout of a folder laid today, its rows kept; only the 1.02 step is
// told to the user. The folder check finds nothing wrong before or after.
void TestUpgrade::everyVersionComesUpToDate()
{
    QFETCH(int, version);
    // The steps are numbered one by one, each on a table of the schema, and
    // a field a step adds is one of that table's fields.
    for (int i = 0; i < schemaSteps().size(); ++i) {
        const SchemaStep& step = schemaSteps().at(i);
        QCOMPARE(step.version, i + 1);
        const TableDef* def = tableNamed(step.table);
        QVERIFY2(def, qPrintable(step.table));
        if (step.kind == SchemaStep::Kind::AddField)
            QVERIFY2(def->fieldIndex(step.object) >= 0, qPrintable(step.object));
    }

    Folder today;
    Folder f(version);
    QVERIFY(checkDataFolder(f.folder()).isEmpty());
    bulk(f.folder(), QStringLiteral("AnagBimbi.DB"), QStringLiteral("INSERT INTO AnagBimbi (Id_Nido, Nome) VALUES (?, ?)"),
         {{1, QStringLiteral("Anna")}, {1, QStringLiteral("Bruno")}});

    QStringList expected;
    for (const SchemaStep& step : schemaSteps())
        if (step.version > version && step.announced)
            expected << QString::fromUtf8(neededText) << QString::fromUtf8(doneText);
    QCOMPARE(collect([&](const auto& warn) { AggiornaSchema(f.folder(), warn); }), expected);
    f->closeAll();
    today->closeAll();

    for (const TableDef& def : schema())
        QCOMPARE(layoutOf(QDir(f.path()).filePath(def.fileName)), layoutOf(QDir(today.path()).filePath(def.fileName)));
    QVERIFY(checkDataFolder(f.folder()).isEmpty());
    auto t = f.table(QStringLiteral("AnagBimbi.DB"));
    t->open();
    QCOMPARE(walkForward(*t, QStringLiteral("Nome")), (QStringList{"Anna", "Bruno"}));
    t->close();
    f->closeAll();

    // Up to date, the next start only reads: the files stay byte for byte.
    QMap<QString, QByteArray> before;
    for (const TableDef& def : schema()) {
        QFile in(QDir(f.path()).filePath(def.fileName));
        QVERIFY(in.open(QIODevice::ReadOnly));
        before.insert(def.fileName, in.readAll());
    }
    DataFolder again(f.path());
    QCOMPARE(collect([&](const auto& warn) { AggiornaSchema(again, warn); }), QStringList{});
    again.closeAll();
    for (const TableDef& def : schema()) {
        QFile in(QDir(f.path()).filePath(def.fileName));
        QVERIFY(in.open(QIODevice::ReadOnly));
        QVERIFY2(in.readAll() == before.value(def.fileName), qPrintable(def.fileName));
    }
}

void TestUpgrade::checkExpectsFieldsOfVersion_data()
{
    QTest::addColumn<int>("recorded");
    QTest::addColumn<bool>("damaged");
    // A children table without the attendance column is the 1.02 layout at
    // version 0 (folders laid before versions were recorded say 0 too), and
    // a damaged file at any version that has the column.
    QTest::newRow("version 0") << 0 << false;
    for (int v = 1; v <= currentSchemaVersion(); ++v)
        QTest::addRow("version %d", v) << v << true;
}

// The folder check asks of each file the fields its recorded version has.
void TestUpgrade::checkExpectsFieldsOfVersion()
{
    QFETCH(int, recorded);
    QFETCH(bool, damaged);
    Folder f(Layout::Older);
    f->closeAll();
    withFile(QDir(f.path()).filePath(QStringLiteral("AnagBimbi.DB")), [&](QSqlDatabase& db) {
        QVERIFY(QSqlQuery(db).exec(QStringLiteral("PRAGMA user_version = %1").arg(recorded)));
    });
    const QList<FolderProblem> problems = checkDataFolder(f.folder());
    if (!damaged) {
        QVERIFY(problems.isEmpty());
        return;
    }
    QCOMPARE(problems.size(), 1);
    QCOMPARE(problems.first().kind, FolderProblem::Kind::Damaged);
    QCOMPARE(problems.first().fileName, QStringLiteral("AnagBimbi.DB"));
    QVERIFY2(problems.first().message.contains(QLatin1String("manca il campo Frequenza")), qPrintable(problems.first().message));
}

QTEST_GUILESS_MAIN(TestUpgrade)
#include "test_upgrade.moc"
