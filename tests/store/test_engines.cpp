// The choice of the engine and what only a server has: the connection line,
// the server's error codes told as the same Italian causes, two programs on
// one database at once, the selection marks each program keeps for itself,
// and the case-blind order, the same as on one computer.
//
// The line and the error codes are pure and run in both runs; the rest needs
// the test server and runs in test_engines_server (in the SQLite run it says
// SKIP).

#include "storefixture.h"
#include "upgrade.h"

#include <QRegularExpression>
#include <QSqlError>
#include <QTest>

#include <algorithm>

using namespace storetest;

// A test of what only a server has: skipped on the SQLite run; on the server
// run, a fresh folder in m_f.
#define REQUIRE_SERVER()                                                    \
    do {                                                                    \
        if (!onServer())                                                    \
            QSKIP("SKIP: solo sul server di prova (test_engines_server)"); \
        m_f = std::make_unique<Folder>();                                   \
    } while (false)

class TestEngines : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void serverLine_data();
    void serverLine();
    void badServerLine_data();
    void badServerLine();
    void chooseEngine();

    void serverErrors_data();
    void serverErrors();
    void connectionFailures_data();
    void connectionFailures();

    void layout();
    void upgradeOnServer();
    void twoProgramsSeeEachOthersPosts();
    void lostUpdateRefused();
    void lockWaitEndsLocked();
    void marksBelongToOneProgram();
    void caseBlindOrderAsOnOneComputer();

private:
    std::unique_ptr<Folder> m_f;
};

void TestEngines::initTestCase()
{
    STORETEST_REQUIRE_ENGINE();
}

void TestEngines::init()
{
    // The pure cases need no folder; the server ones make theirs.
    m_f.reset();
}

void TestEngines::cleanup()
{
    m_f.reset();
}

// ---------------------------------------------------------------- the line

void TestEngines::serverLine_data()
{
    QTest::addColumn<QString>("line");
    QTest::addColumn<QString>("host");
    QTest::addColumn<int>("port");
    QTest::addColumn<QString>("dbname");
    QTest::addColumn<QString>("user");
    QTest::addColumn<QString>("password");
    QTest::addColumn<QStringList>("options");

    QTest::newRow("plain") << "host=srv dbname=nido user=ada" << "srv" << -1 << "nido" << "ada" << "" << QStringList();
    QTest::newRow("spaces around =") << "  host = srv   port= 5433 dbname =nido  " << "srv" << 5433 << "nido" << "" << ""
                                     << QStringList();
    QTest::newRow("quoted with spaces") << "dbname='asilo nido' user='Ada Rossi'" << "" << -1 << "asilo nido" << "Ada Rossi"
                                        << "" << QStringList();
    // \' and \\ inside quotes, as libpq reads them.
    QTest::newRow("escaped quote") << R"(dbname=nido password='l\'al\\tro')" << "" << -1 << "nido" << "" << R"(l'al\tro)"
                                   << QStringList();
    QTest::newRow("socket folder") << "host=/tmp/pg dbname=nido" << "/tmp/pg" << -1 << "nido" << "" << "" << QStringList();
    // Everything else travels as the driver's connect options, quoted.
    QTest::newRow("tls and timeout") << "host=srv dbname=nido sslmode=verify-full connect_timeout=5"
                                     << "srv" << -1 << "nido" << "" << ""
                                     << QStringList{"sslmode='verify-full'", "connect_timeout='5'"};
    QTest::newRow("options with spaces") << "dbname=nido options='-c search_path=nido2'" << "" << -1 << "nido" << "" << ""
                                         << QStringList{"options='-c search_path=nido2'"};
}

void TestEngines::serverLine()
{
    QFETCH(QString, line);
    const ServerLine l = parseServerLine(line);
    QTEST(l.host, "host");
    QTEST(l.port, "port");
    QTEST(l.dbname, "dbname");
    QTEST(l.user, "user");
    QTEST(l.password, "password");
    QTEST(l.options, "options");
}

void TestEngines::badServerLine_data()
{
    QTest::addColumn<QString>("line");
    QTest::addColumn<QString>("says");

    QTest::newRow("empty") << "   " << "è vuota";
    QTest::newRow("unknown keyword") << "hots=srv dbname=nido" << "la parola chiave \"hots\" non è conosciuta";
    QTest::newRow("no =") << "host srv dbname=nido" << "dopo \"host\" manca \"=\"";
    QTest::newRow("open quote") << "dbname='nido user=ada" << "il valore di \"dbname\" apre un apice che non chiude";
    QTest::newRow("no database") << "host=srv user=ada" << "manca il nome del database (dbname=...)";
    QTest::newRow("bad port") << "port=54x dbname=nido" << "la porta \"54x\" non è un numero tra 1 e 65535";
    QTest::newRow("semicolon") << "dbname=nido application_name='a;b'" << "il valore di \"application_name\" non può contenere \";\"";
    QTest::newRow("nothing before =") << "=srv dbname=nido" << "manca una parola chiave prima di \"=\"";
}

void TestEngines::badServerLine()
{
    QFETCH(QString, line);
    QFETCH(QString, says);
    try {
        parseServerLine(line);
        QFAIL("the line was accepted");
    } catch (const DbError& e) {
        QVERIFY2(e.message().startsWith(QLatin1String("La riga di collegamento al server")), qPrintable(e.message()));
        QVERIFY2(e.message().endsWith(says + QLatin1Char('.')), qPrintable(e.message()));
    }
}

// The option, then the environment, then the folder's file; none is SQLite.
// A password never reaches the message of a refused line.
void TestEngines::chooseEngine()
{
    QTemporaryDir dir;
    QCOMPARE(velmora::store::chooseEngine(dir.path(), QString(), QString()).engine, Engine::SQLite);

    QFile conf(QDir(dir.path()).filePath(QStringLiteral("server.conf")));
    QVERIFY(conf.open(QIODevice::WriteOnly));
    conf.write("# il server della rete dei nidi\n\n  host=srv dbname=file user=ada\n");
    conf.close();
    EngineChoice c = velmora::store::chooseEngine(dir.path(), QString(), QString());
    QCOMPARE(c.engine, Engine::PostgreSQL);
    QCOMPARE(c.line.dbname, QStringLiteral("file"));
    QCOMPARE(c.source, QStringLiteral("il file server.conf della cartella dati"));
    QCOMPARE(c.line.describe(), QStringLiteral("database file sul server srv"));

    c = velmora::store::chooseEngine(dir.path(), QString(), QStringLiteral("dbname=ambiente"));
    QCOMPARE(c.line.dbname, QStringLiteral("ambiente"));
    c = velmora::store::chooseEngine(dir.path(), QStringLiteral("dbname=opzione port=5433"), QStringLiteral("dbname=ambiente"));
    QCOMPARE(c.line.dbname, QStringLiteral("opzione"));
    QCOMPARE(c.source, QStringLiteral("l'opzione --server"));

    try {
        velmora::store::chooseEngine(dir.path(), QStringLiteral("dbname=x password=segreta hots=y"), QString());
        QFAIL("the line was accepted");
    } catch (const DbError& e) {
        QVERIFY2(!e.message().contains(QLatin1String("segreta")), qPrintable(e.message()));
    }
}

// ---------------------------------------------------------------- errors

void TestEngines::serverErrors_data()
{
    QTest::addColumn<QString>("state");
    QTest::addColumn<int>("cause");
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("detail");

    using C = DbError::Cause;
    const QString locked = QStringLiteral("Il file Valutaz.db è bloccato da un altro programma. Riprovare tra qualche istante.");
    QTest::newRow("lock timeout") << "55P03" << int(C::Locked) << locked << "il database è bloccato";
    QTest::newRow("deadlock") << "40P01" << int(C::Locked) << locked << "il database è bloccato";
    QTest::newRow("statement timeout") << "57014" << int(C::Locked) << locked << "il database è bloccato";
    // Read as a number, 42501 & 0xff is SQLite's "busy": it is a privilege.
    QTest::newRow("permission") << "42501" << int(C::ReadOnly) << "Accesso negato al file Valutaz.db." << "accesso negato";
    QTest::newRow("read-only server") << "25006" << int(C::ReadOnly)
                                      << "Impossibile salvare in Valutaz.db: il database del server è in sola lettura."
                                      << "tentativo di scrivere in un database in sola lettura";
    QTest::newRow("duplicate key") << "23505" << int(C::Engine) << "Errore del database sul file Valutaz.db."
                                   << "un valore è già presente in un campo che non ammette doppioni";
    QTest::newRow("text too long") << "22001" << int(C::Engine) << "Errore del database sul file Valutaz.db."
                                   << "un testo è più lungo del suo campo";
    const QString network = QStringLiteral("Errore di comunicazione con il server sul file Valutaz.db: il server o la rete non risponde.");
    QTest::newRow("connection lost") << "08006" << int(C::InputOutput) << network << "il collegamento con il server si è interrotto";
    QTest::newRow("server shut down") << "57P01" << int(C::InputOutput) << network << "il collegamento con il server si è interrotto";
    QTest::newRow("disk full") << "53100" << int(C::DiskFull) << "Impossibile salvare in Valutaz.db: il disco è pieno."
                               << "il database o il disco è pieno";
    QTest::newRow("no table") << "42P01" << int(C::Damaged)
                              << "Il file Valutaz.db della cartella dati non ha la struttura che il programma si aspetta."
                              << "manca una tabella";
    QTest::newRow("data corrupted") << "XX001" << int(C::Damaged)
                                    << "Il file Valutaz.db della cartella dati è danneggiato: il suo contenuto non è integro."
                                    << "l'immagine del database sul disco è danneggiata";
    QTest::newRow("password refused") << "28P01" << int(C::CannotOpen)
                                      << "Impossibile collegarsi al server per il file Valutaz.db: nome utente o password non accettati."
                                      << "accesso negato";
    QTest::newRow("unknown") << "0A000" << int(C::Engine) << "Errore del database sul file Valutaz.db."
                             << "errore del motore del database (codice 0A000)";
}

void TestEngines::serverErrors()
{
    QFETCH(QString, state);
    QFETCH(int, cause);
    QFETCH(QString, message);
    QFETCH(QString, detail);
    const QSqlError error(QStringLiteral("driver text"), QStringLiteral("ERROR: something in English"),
                          QSqlError::StatementError, state);
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("^Velmora: Valutaz.db: .*SQLSTATE ") + state));
    const DbError e = engineError(error, QStringLiteral("Valutaz.db"), Engine::PostgreSQL);
    QCOMPARE(int(e.cause()), cause);
    QCOMPARE(e.message(), message + QStringLiteral("\nDettaglio: ") + detail);
    QCOMPARE(e.fileName(), QStringLiteral("Valutaz.db"));
}

// A connection that fails carries no code, only libpq's words (the server's
// in its own language): the ones an administrator meets setting up a server
// are told apart, and only a server away is said not to answer.
void TestEngines::connectionFailures_data()
{
    QTest::addColumn<QString>("words");
    QTest::addColumn<QString>("detail");

    const QString at = QStringLiteral("connection to server at \"127.0.0.1\", port 5432 failed: ");
    const QString away = QStringLiteral("il server non risponde o ha rifiutato il collegamento");
    const QString password = QStringLiteral("nome utente o password non accettati");
    const QString hba = QStringLiteral("il server non accetta questo collegamento: il suo file pg_hba.conf non ammette "
                                       "questo computer, utente o database, o lo ammette solo con un collegamento cifrato "
                                       "(sslmode=require nella riga)");
    // No password= in the line and no readable ~/.pgpass: the server did answer.
    QTest::newRow("no password") << at + "fe_sendauth: no password supplied\n"
                                 << "manca la password: va scritta nella riga di collegamento (password=...) oppure nel "
                                    "file .pgpass della cartella personale dell'utente, leggibile solo da lui (chmod 600)";
    QTest::newRow("wrong password") << at + "FATAL:  password authentication failed for user \"nido_rete1\"\n" << password;
    QTest::newRow("wrong password, server in Italian")
        << at + "FATAL:  autenticazione con password fallita per l'utente \"nido_rete1\"\n" << password;
    QTest::newRow("without TLS, refused by pg_hba.conf")
        << at + "FATAL:  pg_hba.conf rejects connection for host \"127.0.0.1\", user \"nido_rete1\", "
                "database \"velmora_rete1\", no encryption\n"
        << hba;
    QTest::newRow("no pg_hba.conf line")
        << at + "FATAL:  no pg_hba.conf entry for host \"192.168.1.7\", user \"nido_rete1\", database \"velmora_rete1\", SSL encryption\n"
        << hba;
    const QString noTls = QStringLiteral("il server non accetta collegamenti cifrati (TLS), che la riga chiede con sslmode");
    QTest::newRow("server without TLS") << at + "server does not support SSL, but SSL was required\n" << noTls;
    QTest::newRow("server without TLS, computer in Italian")
        << QStringLiteral("connessione al server su \"127.0.0.1\", porta 5432 non riuscita: il server non supporta SSL, "
                          "ma SSL è stato richiesto\n")
        << noTls;
    QTest::newRow("no such database") << at + "FATAL:  database \"velmora_rete2\" does not exist\n"
                                      << "il database indicato dalla riga (dbname=...) non esiste sul server";
    QTest::newRow("nobody listening") << at + "Connection refused\n\tIs the server running on that host and accepting TCP/IP connections?\n"
                                      << away;
    QTest::newRow("unknown host") << "could not translate host name \"srv.nido.lan\" to address: Name or service not known\n"
                                  << away;
}

void TestEngines::connectionFailures()
{
    QFETCH(QString, words);
    QFETCH(QString, detail);
    const QSqlError error(QStringLiteral("Unable to connect"), words, QSqlError::ConnectionError);
    QCOMPARE(connectionFailure(error), detail);
}

// ---------------------------------------------------------------- on the server

// The tables, indexes and versions a new database is laid with.
void TestEngines::layout()
{
    REQUIRE_SERVER();
    QSqlDatabase db = adminConnection();
    QSqlQuery q(db);
    QVERIFY(q.exec(QStringLiteral("SELECT \"Tabella\", \"Versione\" FROM %1.\"velmora_versione\" ORDER BY 1")
                       .arg(quoted(m_f->schemaName()))));
    QStringList versions;
    while (q.next())
        versions << q.value(0).toString() + QLatin1Char('=') + q.value(1).toString();
    QStringList expected;
    for (const TableDef& def : schema())
        expected << def.name + QLatin1Char('=') + QString::number(currentSchemaVersion());
    std::sort(expected.begin(), expected.end());
    QCOMPARE(versions, expected);

    // The named indexes order lower() of the texts, then Id.
    QVERIFY(q.exec(QStringLiteral("SELECT indexdef FROM pg_indexes WHERE schemaname = '%1' AND indexname = 'AnagBimbi_Cognome-Nome'")
                       .arg(m_f->schemaName())));
    QVERIFY(q.next());
    QVERIFY2(q.value(0).toString().endsWith(QLatin1String("(lower((\"Cognome\")::text), lower((\"Nome\")::text), \"Id\")")),
             qPrintable(q.value(0).toString()));

    // A second lay on the same database is refused, changing nothing.
    const QString again = layServerTables(m_f->folder());
    QCOMPARE(again, QStringLiteral("Il database del server contiene già la tabella AnagNido: non viene modificato."));
    QCOMPARE(readColumn(*m_f, QStringLiteral("Ruoli.db"), QStringLiteral("Ruoli"), QStringLiteral("Id")).size(),
             defaultRoleCount);
}

// A database laid at release 1.02's layout comes up to date as a folder of
// files does: the attendance column, the marks' index, the versions.
void TestEngines::upgradeOnServer()
{
    if (!onServer())
        QSKIP("SKIP: solo sul server di prova (test_engines_server)");
    Folder older(0, Engine::PostgreSQL);
    {
        auto t = older.table(QStringLiteral("AnagBimbi.DB"));
        QVERIFY_THROWS_EXCEPTION(DbError, t->open()); // no Frequenza yet
    }
    QSqlDatabase db = adminConnection();
    QSqlQuery q(db);
    QVERIFY(q.exec(QStringLiteral("INSERT INTO %1.\"AnagBimbi\" (\"Nome\") VALUES ('Anna')").arg(quoted(older.schemaName()))));
    QStringList warnings;
    AggiornaSchema(older.folder(), [&](const QString& w) { warnings << w; });
    QCOMPARE(warnings.size(), 2);
    QCOMPARE(warnings.constLast(), QStringLiteral("Aggiornamento completato"));
    auto t = older.table(QStringLiteral("AnagBimbi.DB"));
    t->open();
    QCOMPARE(walkForward(*t, QStringLiteral("Nome")), QStringList{"Anna"});
    QVERIFY(t->isNull(QStringLiteral("Frequenza")));
    QVERIFY(q.exec(QStringLiteral("SELECT count(*) FROM %1.\"velmora_versione\" WHERE \"Versione\" = %2")
                       .arg(quoted(older.schemaName()))
                       .arg(currentSchemaVersion())));
    QVERIFY(q.next());
    QCOMPARE(q.value(0).toInt(), int(schema().size()));
    QVERIFY(q.exec(QStringLiteral("SELECT 1 FROM pg_indexes WHERE schemaname = '%1' AND indexname = 'ix_Valutaz_Sel'")
                       .arg(older.schemaName())));
    QVERIFY(q.next());
    // Up to date, a second start changes and announces nothing.
    warnings.clear();
    AggiornaSchema(older.folder(), [&](const QString& w) { warnings << w; });
    QVERIFY(warnings.isEmpty());
}

// Two programs are two connections: what one posts, the other reads once it
// reads again; nothing is kept from the other's connection.
void TestEngines::twoProgramsSeeEachOthersPosts()
{
    REQUIRE_SERVER();
    auto otherFolder = m_f->otherProgram();
    auto mine = m_f->table(QStringLiteral("AnagBimbi.DB"));
    Table theirs;
    theirs.setDataFolder(otherFolder.get());
    theirs.setTableName(QStringLiteral("AnagBimbi.DB"));
    mine->setIndexName(QStringLiteral("Cognome-Nome"));
    theirs.setIndexName(QStringLiteral("Cognome-Nome"));
    mine->open();
    theirs.open();

    addRow(*mine, {{"Id_Nido", 1}, {"Nome", "Anna"}, {"Cognome", "Rossi"}, {"Frequenza", true}});
    QCOMPARE(theirs.recordCount(), 0); // not read again yet
    theirs.refresh();
    QCOMPARE(walkForward(theirs, QStringLiteral("Nome")), QStringList{"Anna"});
    QCOMPARE(theirs.value(QStringLiteral("Frequenza")), QVariant(true));

    addRow(theirs, {{"Id_Nido", 1}, {"Nome", "Luca"}, {"Cognome", "Bianchi"}});
    theirs.first();
    theirs.edit();
    theirs.setValue(QStringLiteral("Note"), QStringLiteral("allergia al latte"));
    theirs.post();

    mine->refresh();
    QCOMPARE(walkForward(*mine, QStringLiteral("Cognome")), (QStringList{"Bianchi", "Rossi"}));
    mine->first();
    QCOMPARE(mine->asString(QStringLiteral("Note")), QStringLiteral("allergia al latte"));
    // Each program's new Ids come from the one identity of the table.
    QCOMPARE(readColumn(*m_f, QStringLiteral("AnagBimbi.DB"), QStringLiteral("AnagBimbi"), QStringLiteral("Id")),
             (QStringList{"1", "2"}));
}

// Both edit the same record: the second post is refused with the message of
// one computer, keeps what was typed, and refresh shows what the first stored.
void TestEngines::lostUpdateRefused()
{
    REQUIRE_SERVER();
    auto otherFolder = m_f->otherProgram();
    auto mine = m_f->table(QStringLiteral("AnagEdu.db"));
    mine->open();
    addRow(*mine, {{"Id_Nido", 1}, {"Nome", "Ada"}, {"Cognome", "Neri"}});
    Table theirs;
    theirs.setDataFolder(otherFolder.get());
    theirs.setTableName(QStringLiteral("AnagEdu.db"));
    theirs.open();

    mine->edit();
    mine->setValue(QStringLiteral("Cognome"), QStringLiteral("Verdi"));
    theirs.edit();
    theirs.setValue(QStringLiteral("Nome"), QStringLiteral("Adele"));
    theirs.post();

    try {
        mine->post();
        QFAIL("the post overwrote the other program's change");
    } catch (const DbError& e) {
        QCOMPARE(e.cause(), DbError::Cause::Changed);
        QVERIFY2(e.message().startsWith(QStringLiteral("Il record è stato modificato da un altro utente")), qPrintable(e.message()));
    }
    QCOMPARE(mine->state(), Table::State::Edit);
    QCOMPARE(mine->asString(QStringLiteral("Cognome")), QStringLiteral("Verdi"));
    // The refused transaction left nothing behind on the connection: a
    // refresh reads, and a new edit of what is stored goes through.
    mine->refresh();
    QCOMPARE(mine->asString(QStringLiteral("Nome")), QStringLiteral("Adele"));
    QCOMPARE(mine->asString(QStringLiteral("Cognome")), QStringLiteral("Neri"));
    mine->edit();
    mine->setValue(QStringLiteral("Cognome"), QStringLiteral("Verdi"));
    mine->post();
    QCOMPARE(readColumn(*m_f, QStringLiteral("AnagEdu.db"), QStringLiteral("AnagEdu"), QStringLiteral("Nome")),
             QStringList{"Adele"});
    QCOMPARE(readColumn(*m_f, QStringLiteral("AnagEdu.db"), QStringLiteral("AnagEdu"), QStringLiteral("Cognome")),
             QStringList{"Verdi"});
}

// A record another program is saving is waited for up to the timeout, then
// the post is refused as locked, and goes through once the other is done.
void TestEngines::lockWaitEndsLocked()
{
    REQUIRE_SERVER();
    m_f->folder().setBusyTimeout(300);
    auto t = m_f->table(QStringLiteral("Ruoli.db"));
    t->open();
    t->edit();
    t->setValue(QStringLiteral("Ruolo"), QStringLiteral("Coordinatrice"));

    QSqlDatabase other = adminConnection();
    QVERIFY(other.transaction());
    QSqlQuery hold(other);
    QVERIFY2(hold.exec(QStringLiteral("SELECT 1 FROM %1.\"Ruoli\" WHERE \"Id\" = 1 FOR UPDATE").arg(quoted(m_f->schemaName()))),
             qPrintable(hold.lastError().text()));
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("SQLSTATE 55P03")));
    try {
        t->post();
        QFAIL("the post did not wait for the lock");
    } catch (const DbError& e) {
        QCOMPARE(e.cause(), DbError::Cause::Locked);
        QCOMPARE(e.message(), QStringLiteral("Il file Ruoli.db è bloccato da un altro programma. Riprovare tra qualche istante."
                                             "\nDettaglio: il database è bloccato"));
    }
    QCOMPARE(t->state(), Table::State::Edit);
    QVERIFY(other.rollback());
    t->post();
    QCOMPARE(readColumn(*m_f, QStringLiteral("Ruoli.db"), QStringLiteral("Ruoli"), QStringLiteral("Ruolo")).constFirst(),
             QStringLiteral("Coordinatrice"));
}

// The selection marks are each program's own: another program's mark is not
// seen, is not cleared by this one's login, and never makes a post refused.
void TestEngines::marksBelongToOneProgram()
{
    REQUIRE_SERVER();
    auto otherFolder = m_f->otherProgram();
    auto mine = m_f->table(QStringLiteral("Valutaz.db"));
    mine->open();
    for (int i = 1; i <= 3; ++i)
        addRow(*mine, {{"Id_Bimbo", 7}, {"MesiBimbo", 10 + i}});
    Table theirs;
    theirs.setDataFolder(otherFolder.get());
    theirs.setTableName(QStringLiteral("Valutaz.db"));
    // The login of each program clears its marks.
    mine->setAll(QStringLiteral("Sel"), false);
    theirs.setAllUnread(QStringLiteral("Sel"), false);
    theirs.open();

    // They read evaluation 2; then I mark it.
    QVERIFY(theirs.locate(QStringLiteral("Id"), 2));
    QVERIFY(mine->locate(QStringLiteral("Id"), 2));
    mine->edit();
    mine->setValue(QStringLiteral("Sel"), true);
    mine->post();

    // Their edit of the same evaluation is no conflict: my mark is not theirs.
    theirs.edit();
    theirs.setValue(QStringLiteral("MesiBimbo"), 20);
    theirs.post();
    QCOMPARE(theirs.value(QStringLiteral("Sel")), QVariant(false));

    // Their login clears their marks, not mine; my filter finds my mark.
    theirs.setAllUnread(QStringLiteral("Sel"), false);
    mine->setFiltered(false);
    mine->setFilter(QStringLiteral("Sel = True"));
    mine->setFiltered(true);
    QCOMPARE(walkForward(*mine, QStringLiteral("Id")), QStringList{"2"});
    QCOMPARE(mine->asString(QStringLiteral("MesiBimbo")), QStringLiteral("20"));
    theirs.refresh();
    theirs.setFiltered(false);
    theirs.setFilter(QStringLiteral("Sel"));
    theirs.setFiltered(true);
    QCOMPARE(theirs.recordCount(), 0);

    // They mark two of a selection at once; I still see only mine.
    theirs.setFiltered(false);
    theirs.setFilter(QStringLiteral("MesiBimbo > 12"));
    theirs.setFiltered(true);
    theirs.setAll(QStringLiteral("Sel"), true);
    QCOMPARE(walkForward(theirs, QStringLiteral("Sel")), (QStringList{"True", "True"}));
    mine->refresh();
    QCOMPARE(walkForward(*mine, QStringLiteral("Id")), QStringList{"2"});

    // My next login clears mine; the stored marks were never written.
    mine->setFiltered(false);
    mine->setAll(QStringLiteral("Sel"), false);
    QCOMPARE(walkForward(*mine, QStringLiteral("Sel")), (QStringList{"False", "False", "False"}));
    QCOMPARE(readColumn(*m_f, QStringLiteral("Valutaz.db"), QStringLiteral("Valutaz"), QStringLiteral("Sel")),
             (QStringList{"<null>", "<null>", "<null>"}));
}

// The named indexes order texts as SQLite's NOCASE does: A-Z folded, every
// other character by its code point (accents after z, an apostrophe before
// the letters), ties by Id. The same rows give the same walk on both engines.
void TestEngines::caseBlindOrderAsOnOneComputer()
{
    REQUIRE_SERVER();
    Folder local(-1, Engine::SQLite);
    const QStringList names = {
        "zoe", "Zoe", "Àlvaro", "alberto", "Alberto", "ALBERTO", "D'Angelo", "d'angelo", "Dangelo", "D Angelo",
        "Èmile", "émile", "Emile", "Ñandú", "nandu", "Öhlin", "oehlin", "O'Brien", "o'brien", "Obrien",
        "_under", "[quadra", "~tilde", "123", "Été", "ete", "Éte", "ß", "ss", "Ärzte", "arzte", "Zürich", "zurich",
    };
    auto walk = [&](Folder& f) {
        auto t = f.table(QStringLiteral("AnagNido.db"));
        t->setIndexName(QStringLiteral("Nominativo"));
        t->open();
        for (const QString& n : names)
            addRow(*t, {{"Nome", n}});
        t->refresh();
        QStringList out = walkForward(*t, QStringLiteral("Nome"));
        // And a filter compares texts as written, on both.
        t->setFiltered(false);
        t->setFilter(QStringLiteral("Nome = 'alberto' or Nome = 'Éte'"));
        t->setFiltered(true);
        out << QStringLiteral("|") << walkForward(*t, QStringLiteral("Nome"));
        return out;
    };
    const QStringList onSQLite = walk(local);
    const QStringList onServer = walk(*m_f);
    QCOMPARE(onServer, onSQLite);
    // And it is the case-blind order, not the server's language's.
    QVERIFY(onSQLite.indexOf(QStringLiteral("alberto")) < onSQLite.indexOf(QStringLiteral("zoe")));
    QVERIFY(onSQLite.indexOf(QStringLiteral("zoe")) < onSQLite.indexOf(QStringLiteral("Àlvaro")));
    QCOMPARE(onSQLite.mid(onSQLite.indexOf(QStringLiteral("|"))), (QStringList{"|", "alberto", "Éte"}));
}

QTEST_GUILESS_MAIN(TestEngines)
#include "test_engines.moc"
