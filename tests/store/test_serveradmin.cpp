// The administrator's steps on a server: a data folder imported into the
// server's tables and exported back, every row and Id kept; the steps
// refused while a program works on the database, and programs refused while
// they run. Only on the test server (test_serveradmin_server).
#include "schema.h"
#include "serveradmin.h"
#include "serverlocks.h"
#include "storefixture.h"

#include <QTemporaryDir>

using namespace storetest;

namespace {

// Every row of every table as the table layer gives it, by table then Id.
QStringList everyRow(DataFolder& folder)
{
    QStringList rows;
    for (const TableDef& def : schema()) {
        Table t(def.fileName);
        t.setDataFolder(&folder);
        t.setTableName(def.fileName);
        t.open();
        QMap<qint64, QString> byId;
        for (t.first(); !t.isEof(); t.next()) {
            QStringList values;
            for (const FieldDef& f : def.fields)
                if (!f.perProgram)
                    values << f.name + QLatin1Char('=') + t.value(f.name).toString();
            byId.insert(t.value(QStringLiteral("Id")).toLongLong(), def.name + QLatin1Char(' ') + values.join(QLatin1Char('|')));
        }
        t.close();
        rows << byId.values();
    }
    return rows;
}

qint64 count(DataFolder& folder, const QString& table)
{
    QSqlDatabase db = folder.connection(schema().constFirst().fileName);
    QSqlQuery q(db);
    if (!q.exec(QStringLiteral("SELECT COUNT(*) FROM %1").arg(quoted(table))) || !q.next())
        qFatal("count failed: %s", qPrintable(q.lastError().text()));
    return q.value(0).toLongLong();
}

} // namespace

class TestServerAdmin : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void importExportRoundTrip();
    void importCutsLongTexts();
    void importDropsNulCharacters();
    void refusedWhileAProgramRuns();
    void importRefusedIntoDatabaseWithRows();
    void importRefusesAFolderWithoutTheFiles();
};

void TestServerAdmin::initTestCase()
{
    if (!onServer())
        QSKIP("SKIP: solo sul server di prova (test_serveradmin_server)");
    STORETEST_REQUIRE_ENGINE();
}

void TestServerAdmin::importExportRoundTrip()
{
    // A folder of one computer, with gaps in its Ids (a deleted child).
    Folder local(-1, Engine::SQLite);
    {
        auto nidi = local.table(QStringLiteral("AnagNido.db"));
        nidi->open();
        addRow(*nidi, {{"Nome", "Il Girasole"}, {"Citta", "Forlì"}, {"Provincia", "FC"}});
        auto bimbi = local.table(QStringLiteral("AnagBimbi.DB"));
        bimbi->open();
        addRow(*bimbi, {{"Id_Nido", 1}, {"Nome", "Anna"}, {"Cognome", "Rossi"}, {"DataDiNascita", QDate(2025, 3, 4)},
                        {"Sesso", "F"}, {"Note", "allergia\nal latte"}, {"Frequenza", true}});
        addRow(*bimbi, {{"Id_Nido", 1}, {"Nome", "Luca"}, {"Cognome", "Bianchi"}, {"Frequenza", false}});
        addRow(*bimbi, {{"Id_Nido", 1}, {"Nome", "Ugo"}, {"Cognome", "Neri"}, {"DataDiNascita", QDate(2024, 12, 31)}});
        bimbi->first();
        bimbi->next();
        bimbi->remove();
        auto val = local.table(QStringLiteral("Valutaz.db"));
        val->open();
        addRow(*val, {{"Id_Bimbo", 3}, {"DataValutazione", QDate(2026, 5, 2)}, {"MesiBimbo", 16}});
    }
    // Rows are copied many to a statement: two whole batches and a short
    // last one, with empty and filled answer lists.
    {
        QList<QVariantList> phases;
        for (int i = 0; i < 450; ++i)
            phases << QVariantList{1, 1 + i % 10, 1 + i % 14, i % 3 ? QVariant(QStringLiteral("1,2,%1").arg(3 + i % 9)) : QVariant(),
                                   i % 4 ? QVariant() : QVariant(QStringLiteral("4"))};
        bulk(local.folder(), QStringLiteral("FasiVal.db"),
             QStringLiteral("INSERT INTO \"FasiVal\" (\"Id_Valutazione\", \"Id_Area\", \"NumFase\", \"Si\", \"No\") VALUES (?, ?, ?, ?, ?)"),
             phases);
    }
    const QStringList before = everyRow(local.folder());
    local->closeAll();

    Folder server(-1, Engine::PostgreSQL); // as "velmora-server crea" leaves it
    const AdminReport imported = importFolder(server.folder(), local.path());
    QVERIFY2(imported.ok, qPrintable(imported.lines.join(QLatin1Char('\n'))));
    QVERIFY(imported.lines.contains(QStringLiteral("AnagBimbi: 2 righe importate; conteggio uguale, 2 righe campione uguali.")));
    QVERIFY2(imported.lines.contains(QStringLiteral("AnagNido: 1 riga importata; conteggio uguale, 1 riga campione uguale.")),
             qPrintable(imported.lines.join(QLatin1Char('\n'))));
    QVERIFY(imported.lines.join(QLatin1Char('\n')).contains(QStringLiteral("FasiVal: 450 righe importate")));
    QCOMPARE(everyRow(server.folder()), before);

    // A new record after the import gets an Id past every imported one.
    {
        auto bimbi = server.table(QStringLiteral("AnagBimbi.DB"));
        bimbi->open();
        QCOMPARE(addRow(*bimbi, {{"Id_Nido", 1}, {"Nome", "Eva"}, {"Cognome", "Verdi"}}), 4);
        auto delete_ = server.table(QStringLiteral("AnagBimbi.DB"));
        delete_->open();
        QVERIFY(delete_->locate(QStringLiteral("Id"), 4));
        delete_->remove();
    }

    // Back to a new folder of one computer: the same rows, the same Ids.
    QTemporaryDir out;
    const QString target = out.path() + QStringLiteral("/db");
    const AdminReport exported = exportFolder(server.folder(), target);
    QVERIFY2(exported.ok, qPrintable(exported.lines.join(QLatin1Char('\n'))));
    QVERIFY(exported.lines.contains(QStringLiteral("AnagNido: 1 riga esportata.")));
    QVERIFY(exported.lines.contains(QStringLiteral("AnagBimbi: 2 righe esportate.")));
    {
        DataFolder back(target);
        back.setClock(testNow);
        QCOMPARE(everyRow(back), before);
        // Id 4 was handed out on the server (and deleted): not given again.
        {
            Table bimbi(QStringLiteral("AnagBimbi.DB"));
            bimbi.setDataFolder(&back);
            bimbi.setTableName(QStringLiteral("AnagBimbi.DB"));
            bimbi.open();
            QCOMPARE(addRow(bimbi, {{"Id_Nido", 1}, {"Nome", "Ivo"}, {"Cognome", "Gialli"}}), 5);
        }
        back.closeAll();
    }
    // An existing folder is never written over.
    const AdminReport again = exportFolder(server.folder(), target);
    QVERIFY(!again.ok);
    QVERIFY(again.lines.join(QLatin1Char('\n')).contains(QStringLiteral("esiste già")));
}

void TestServerAdmin::importCutsLongTexts()
{
    // SQLite keeps a text longer than its column; the server would refuse it.
    Folder local(-1, Engine::SQLite);
    {
        QSqlDatabase db = local->connection(QStringLiteral("AnagEdu.db"));
        exec(db, QStringLiteral("INSERT INTO \"AnagEdu\" (\"Id\", \"Id_Nido\", \"Nome\", \"Cognome\") "
                                "VALUES (9, 1, 'Mariaconcettina', 'Abbondanza-Buonaiuti')"));
    }
    local->closeAll();
    Folder server(-1, Engine::PostgreSQL);
    const AdminReport r = importFolder(server.folder(), local.path());
    QVERIFY2(r.ok, qPrintable(r.lines.join(QLatin1Char('\n'))));
    const QString said = r.lines.join(QLatin1Char('\n'));
    QVERIFY2(said.contains(QStringLiteral("AnagEdu, Id 9, campo Cognome: 20 caratteri tagliati a 15 (\"Abbondanza-Buon\")")),
             qPrintable(said));
    QVERIFY(!said.contains(QStringLiteral("campo Nome:"))); // 15 characters: it fits
    auto edu = server.table(QStringLiteral("AnagEdu.db"));
    edu->open();
    QVERIFY(edu->locate(QStringLiteral("Id"), 9));
    QCOMPARE(edu->asString(QStringLiteral("Cognome")), QStringLiteral("Abbondanza-Buon"));
}

// SQLite keeps the character U+0000 inside a text (older versions of the
// program stored it as typed); the server refuses it. The import leaves it
// out and says where.
void TestServerAdmin::importDropsNulCharacters()
{
    Folder local(-1, Engine::SQLite);
    {
        QSqlDatabase db = local->connection(QStringLiteral("AnagBimbi.DB"));
        QSqlQuery q(db);
        QVERIFY(q.prepare(QStringLiteral("INSERT INTO \"AnagBimbi\" (\"Id\", \"Id_Nido\", \"Nome\", \"Note\") VALUES (3, 1, ?, ?)")));
        q.addBindValue(QStringLiteral("Anna"));
        q.addBindValue(QStringLiteral("allergia") + QChar(0) + QStringLiteral(" al latte"));
        QVERIFY2(q.exec(), qPrintable(q.lastError().text()));
    }
    local->closeAll();
    Folder server(-1, Engine::PostgreSQL);
    const AdminReport r = importFolder(server.folder(), local.path());
    const QString said = r.lines.join(QLatin1Char('\n'));
    QVERIFY2(r.ok, qPrintable(said));
    QVERIFY2(said.contains(QStringLiteral("caratteri nulli (U+0000), che il server non accetta, importati senza (1):\n"
                                          "AnagBimbi, Id 3, campo Note")),
             qPrintable(said));
    QCOMPARE(readColumn(server, QStringLiteral("AnagBimbi.DB"), QStringLiteral("AnagBimbi"), QStringLiteral("Note")),
             QStringList{"allergia al latte"});
}

void TestServerAdmin::refusedWhileAProgramRuns()
{
    Folder local(-1, Engine::SQLite);
    local->closeAll();
    Folder server(-1, Engine::PostgreSQL);
    {
        // A program at work holds the shared lock: import and set-up wait for it.
        auto program = server.otherProgram();
        QString why;
        QVERIFY2(holdProgramLock(*program, &why), qPrintable(why));
        // A second program may run beside it.
        auto second = server.otherProgram();
        QVERIFY(holdProgramLock(*second));
        const AdminReport r = importFolder(server.folder(), local.path());
        QVERIFY(!r.ok);
        QVERIFY2(r.lines.join(QLatin1Char('\n')).contains(QStringLiteral("altri programmi Velmora")),
                 qPrintable(r.lines.join(QLatin1Char('\n'))));
        QCOMPARE(count(server.folder(), QStringLiteral("AnagNido")), qint64(0));
        QCOMPARE(count(server.folder(), QStringLiteral("Aree")), qint64(defaultAreaCount));
        QVERIFY(!createServerTables(server.folder()).ok);
        // A program that finds older tables may not upgrade them meanwhile.
        QVERIFY(!takeExclusiveLock(*second, &why));
    }
    // The programs have ended (their connections closed): the import runs,
    // as soon as the server has ended their sessions.
    QTRY_VERIFY_WITH_TIMEOUT(importFolder(server.folder(), local.path()).ok, 10000);

    // While the administrator's step holds the exclusive lock, a program is refused.
    QVERIFY(takeExclusiveLock(server.folder()));
    {
        auto program = server.otherProgram();
        QString why;
        QVERIFY(!holdProgramLock(*program, &why));
        QVERIFY2(why.contains(QStringLiteral("velmora-server")), qPrintable(why));
    }
    releaseExclusiveLock(server.folder());
    auto program = server.otherProgram();
    QVERIFY(holdProgramLock(*program));
}

void TestServerAdmin::importRefusedIntoDatabaseWithRows()
{
    Folder local(-1, Engine::SQLite);
    local->closeAll();
    Folder server(-1, Engine::PostgreSQL);
    {
        auto nidi = server.table(QStringLiteral("AnagNido.db"));
        nidi->open();
        addRow(*nidi, {{"Nome", "Già qui"}});
    }
    const AdminReport r = importFolder(server.folder(), local.path());
    QVERIFY(!r.ok);
    QVERIFY2(r.lines.join(QLatin1Char('\n')).contains(QStringLiteral("La tabella AnagNido")),
             qPrintable(r.lines.join(QLatin1Char('\n'))));
    QCOMPARE(count(server.folder(), QStringLiteral("AnagNido")), qint64(1));
}

void TestServerAdmin::importRefusesAFolderWithoutTheFiles()
{
    QTemporaryDir empty;
    Folder server(-1, Engine::PostgreSQL);
    const AdminReport r = importFolder(server.folder(), empty.path());
    QVERIFY(!r.ok);
    QVERIFY(r.lines.join(QLatin1Char('\n')).contains(QStringLiteral("manca il file")));
}

QTEST_MAIN(TestServerAdmin)
#include "test_serveradmin.moc"
