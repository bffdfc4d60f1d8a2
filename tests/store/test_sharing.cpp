// Several programs on one server at once: what another program stores
// arrives in the open tables of this one, and a connection cut by a server
// restart is opened again without losing what was typed.
//
// These tests restart and stop their server, so they start one of their own
// (tests/server/pgserver.sh) instead of the suite's shared one.

#include "serverlocks.h"
#include "storefixture.h"
#include "upgrade.h"

#include <QElapsedTimer>
#include <QProcess>
#include <QThread>
#include <QSignalSpy>
#include <QSqlError>
#include <QTest>

using namespace storetest;

namespace {

// Every selected row of field `name`, read as a grid reads it: without
// moving the cursor.
QStringList column(const Table& t, const QString& name)
{
    QStringList out;
    const int field = t.findField(name);
    for (int row = 0; row < t.rowCount(); ++row)
        out << t.valueAt(row, field).toString();
    return out;
}

} // namespace

class TestSharing : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void init();
    void cleanup();

    void othersChangesArrive();
    void editingIsNotDisturbed();
    void burstOfPosts();
    void triggersLaidAndAdded();
    void restartInTheMiddle();
    void programLockTakenAgain();
    void idleThroughRestart();
    void marksKeptThroughRestart();
    void serverAway();
    void twoProcesses();
    void marksOfTwoProcesses();

private:
    void server(const char* verb);
    std::unique_ptr<Folder> m_f;
    QString m_dir;
};

// A table of `fileName` opened through `folder`: the other program's view.
static std::unique_ptr<Table> openOn(DataFolder& folder, const QString& fileName)
{
    auto t = std::make_unique<Table>(fileName);
    t->setDataFolder(&folder);
    t->setTableName(fileName);
    t->open();
    return t;
}

void TestSharing::server(const char* verb)
{
    QProcess p;
    p.setProcessChannelMode(QProcess::ForwardedChannels);
    p.start(QStringLiteral("bash"), {QStringLiteral(PGSERVER_SH), QString::fromLatin1(verb), m_dir});
    QVERIFY(p.waitForFinished(120000));
    QVERIFY2(p.exitCode() == 0, verb);
    if (qstrcmp(verb, "restart") != 0 && qstrcmp(verb, "up") != 0)
        return;
    // The tests' own connection was cut with the others'.
    QSqlDatabase db = adminConnection();
    db.close();
    QVERIFY(db.open());
}

void TestSharing::initTestCase()
{
    if (!onServer())
        QSKIP("SKIP: solo sul server di prova");
    const QString why = serverMissing();
    if (!why.isEmpty())
        QSKIP(qPrintable(QStringLiteral("SKIP: ") + why));
    m_dir = QStringLiteral("/tmp/velmora-pgsharing-%1").arg(QCoreApplication::applicationPid());
    server("start");
    qputenv("VELMORA_TEST_SERVER", QStringLiteral("host=%1 dbname=velmora_test user=velmora").arg(m_dir).toUtf8());
    adminConnection();
}

void TestSharing::cleanupTestCase()
{
    if (m_dir.isEmpty())
        return;
    QSqlDatabase::database(QStringLiteral("storetest-admin"), false).close();
    QSqlDatabase::removeDatabase(QStringLiteral("storetest-admin"));
    QProcess::execute(QStringLiteral("bash"), {QStringLiteral(PGSERVER_SH), QStringLiteral("stop"), m_dir});
}

void TestSharing::init()
{
    m_f = std::make_unique<Folder>();
}

void TestSharing::cleanup()
{
    m_f.reset();
}

// What one program adds, changes and deletes shows in the other's open
// table within a second, its current record kept; tables of another
// folder on the same server say nothing to it.
void TestSharing::othersChangesArrive()
{
    auto other = m_f->otherProgram();
    auto mine = m_f->table(QStringLiteral("AnagBimbi.DB"));
    mine->open();
    addRow(*mine, {{"Id_Nido", 1}, {"Nome", "Anna"}});
    addRow(*mine, {{"Id_Nido", 1}, {"Nome", "Bruno"}});

    const std::unique_ptr<Table> theirsTable = openOn(*other, QStringLiteral("AnagBimbi.DB"));
    Table& theirs = *theirsTable;
    QVERIFY(theirs.locate(QStringLiteral("Nome"), QStringLiteral("Bruno")));
    QSignalSpy repaint(&theirs, &Table::dataSetChanged);

    addRow(*mine, {{"Id_Nido", 1}, {"Nome", "Carla"}});
    QTRY_COMPARE_WITH_TIMEOUT(column(theirs, QStringLiteral("Nome")), (QStringList{"Anna", "Bruno", "Carla"}), 1000);
    QVERIFY(repaint.count() >= 1);
    QCOMPARE(theirs.asString(QStringLiteral("Nome")), QStringLiteral("Bruno"));

    QVERIFY(mine->locate(QStringLiteral("Nome"), QStringLiteral("Anna")));
    mine->edit();
    mine->setValue(QStringLiteral("Note"), QStringLiteral("allergia al latte"));
    mine->post();
    QTRY_COMPARE_WITH_TIMEOUT(column(theirs, QStringLiteral("Note")).first(), QStringLiteral("allergia al latte"), 1000);

    QVERIFY(mine->locate(QStringLiteral("Nome"), QStringLiteral("Carla")));
    QVERIFY(mine->remove());
    QTRY_COMPARE_WITH_TIMEOUT(column(theirs, QStringLiteral("Nome")), (QStringList{"Anna", "Bruno"}), 1000);
    QCOMPARE(theirs.asString(QStringLiteral("Nome")), QStringLiteral("Bruno"));

    // Another folder's table of the same name, and this program's own posts.
    Folder elsewhere;
    auto foreign = elsewhere.table(QStringLiteral("AnagBimbi.DB"));
    foreign->open();
    QSignalSpy mineRepaint(mine.get(), &Table::dataSetChanged);
    const int before = repaint.count();
    addRow(*foreign, {{"Id_Nido", 1}, {"Nome", "Straniero"}});
    QTest::qWait(300);
    QCOMPARE(repaint.count(), before);
    QCOMPARE(mineRepaint.count(), 0);
    QCOMPARE(column(theirs, QStringLiteral("Nome")), (QStringList{"Anna", "Bruno"}));
}

// A record being edited keeps what was typed while others post; the rows
// they added show once it is cancelled or posted.
void TestSharing::editingIsNotDisturbed()
{
    auto other = m_f->otherProgram();
    auto mine = m_f->table(QStringLiteral("AnagBimbi.DB"));
    mine->open();
    addRow(*mine, {{"Id_Nido", 1}, {"Nome", "Anna"}});
    addRow(*mine, {{"Id_Nido", 1}, {"Nome", "Bruno"}});
    const std::unique_ptr<Table> theirsTable = openOn(*other, QStringLiteral("AnagBimbi.DB"));
    Table& theirs = *theirsTable;
    QVERIFY(theirs.locate(QStringLiteral("Nome"), QStringLiteral("Bruno")));

    for (const char* end : {"cancel", "post"}) {
        theirs.edit();
        theirs.setValue(QStringLiteral("Nome"), QStringLiteral("Bruna"));
        const int rows = theirs.rowCount();
        addRow(*mine, {{"Id_Nido", 1}, {"Nome", end}});
        QTest::qWait(300);
        QCOMPARE(theirs.state(), Table::State::Edit);
        QCOMPARE(theirs.asString(QStringLiteral("Nome")), QStringLiteral("Bruna"));
        QCOMPARE(theirs.rowCount(), rows);

        if (qstrcmp(end, "cancel") == 0) {
            theirs.cancel();
            QTRY_COMPARE_WITH_TIMEOUT(column(theirs, QStringLiteral("Nome")), (QStringList{"Anna", "Bruno", "cancel"}), 1000);
            QCOMPARE(theirs.asString(QStringLiteral("Nome")), QStringLiteral("Bruno"));
        } else {
            theirs.post();
            QTRY_COMPARE_WITH_TIMEOUT(column(theirs, QStringLiteral("Nome")),
                                      (QStringList{"Anna", "Bruna", "cancel", "post"}), 1000);
            QCOMPARE(theirs.asString(QStringLiteral("Nome")), QStringLiteral("Bruna"));
        }
    }
    mine->refresh();
    QCOMPARE(walkForward(*mine, QStringLiteral("Nome")), (QStringList{"Anna", "Bruna", "cancel", "post"}));
}

// Thirty posts in a row, adds and changes: the other program ends with
// every one of them.
void TestSharing::burstOfPosts()
{
    auto other = m_f->otherProgram();
    auto mine = m_f->table(QStringLiteral("AnagEdu.db"));
    mine->open();
    const std::unique_ptr<Table> theirsTable = openOn(*other, QStringLiteral("AnagEdu.db"));
    Table& theirs = *theirsTable;

    QStringList expected;
    for (int i = 0; i < 20; ++i) {
        addRow(*mine, {{"Id_Nido", 1}, {"Nome", QStringLiteral("Edu %1").arg(i)}});
        expected << QStringLiteral("Edu %1").arg(i);
    }
    for (int i = 0; i < 10; ++i) {
        QVERIFY(mine->locate(QStringLiteral("Nome"), expected[i * 2]));
        mine->edit();
        mine->setValue(QStringLiteral("Nome"), expected[i * 2] + QStringLiteral(" bis"));
        mine->post();
        expected[i * 2] += QStringLiteral(" bis");
    }
    QTRY_COMPARE_WITH_TIMEOUT(column(theirs, QStringLiteral("Nome")), expected, 1000);
}

// Tables laid today announce their changes; tables laid before get the
// trigger from the upgrade, once.
void TestSharing::triggersLaidAndAdded()
{
    const auto count = [](const QString& schemaName) {
        QSqlQuery q(adminConnection());
        q.prepare(QStringLiteral("SELECT count(*) FROM pg_trigger t JOIN pg_class c ON c.oid = t.tgrelid "
                                 "JOIN pg_namespace n ON n.oid = c.relnamespace WHERE n.nspname = ? AND t.tgname = ?"));
        q.addBindValue(schemaName);
        q.addBindValue(notifyTriggerName());
        if (!q.exec() || !q.next())
            qFatal("%s", qPrintable(q.lastError().text()));
        return q.value(0).toInt();
    };
    QCOMPARE(count(m_f->schemaName()), int(schema().size()));

    Folder older(2);
    QCOMPARE(count(older.schemaName()), 0);
    AggiornaSchema(older.folder(), [](const QString&) {});
    QCOMPARE(count(older.schemaName()), int(schema().size()));
    AggiornaSchema(older.folder(), [](const QString&) {});
    QCOMPARE(count(older.schemaName()), int(schema().size()));

    auto other = older.otherProgram();
    auto mine = older.table(QStringLiteral("AnagBimbi.DB"));
    mine->open();
    const std::unique_ptr<Table> theirsTable = openOn(*other, QStringLiteral("AnagBimbi.DB"));
    Table& theirs = *theirsTable;
    addRow(*mine, {{"Id_Nido", 1}, {"Nome", "Anna"}});
    QTRY_COMPARE_WITH_TIMEOUT(column(theirs, QStringLiteral("Nome")), QStringList{"Anna"}, 1000);
}

// The shared lock of the programs goes with a connection the server cut:
// the reconnection takes it again, so the administrator's import stays
// refused while this program runs.
void TestSharing::programLockTakenAgain()
{
    auto other = m_f->otherProgram();
    QVERIFY(holdProgramLock(m_f->folder()));
    auto t = m_f->table(QStringLiteral("AnagBimbi.DB"));
    t->open();
    const std::unique_ptr<Table> theirsTable = openOn(*other, QStringLiteral("AnagBimbi.DB"));
    Table& theirs = *theirsTable;
    QVERIFY(!takeExclusiveLock(*other));

    server("restart");
    t->refresh();
    theirs.refresh(); // the administrator's side connects again too
    QCOMPARE(m_f->folder().reconnections(), 1);
    QCOMPARE(other->reconnections(), 1);
    QString why;
    QVERIFY2(!takeExclusiveLock(*other, &why), "the import could start while a program runs");
    QVERIFY2(why.contains(QStringLiteral("altri programmi Velmora")), qPrintable(why));
}

// The server restarts under an open table: the next read is made again on
// a new connection; a post cut by it keeps the record being edited, says
// so, and the second post stores it, once.
void TestSharing::restartInTheMiddle()
{
    auto other = m_f->otherProgram();
    auto t = m_f->table(QStringLiteral("AnagBimbi.DB"));
    t->open();
    addRow(*t, {{"Id_Nido", 1}, {"Nome", "Anna"}});
    addRow(*t, {{"Id_Nido", 1}, {"Nome", "Bruno"}});
    const std::unique_ptr<Table> theirsTable = openOn(*other, QStringLiteral("AnagBimbi.DB"));
    Table& theirs = *theirsTable;

    server("restart");
    t->refresh();
    QCOMPARE(walkForward(*t, QStringLiteral("Nome")), (QStringList{"Anna", "Bruno"}));
    QCOMPARE(m_f->folder().reconnections(), 1);

    // A post cut by a restart is refused, the record still being edited
    // with what was typed; the next post stores it.
    const auto postThroughRestart = [&](Table::State state, const QString& typed, const QStringList& stored) {
        server("restart");
        try {
            t->post();
            QFAIL("a post on a lost connection was reported stored");
        } catch (const DbError& e) {
            QVERIFY2(e.message().startsWith(QStringLiteral("Collegamento al server perso e ripristinato")),
                     qPrintable(e.message()));
        }
        QCOMPARE(t->state(), state);
        QCOMPARE(t->asString(QStringLiteral("Nome")), typed);
        t->post();
        QCOMPARE(readColumn(*m_f, QStringLiteral("AnagBimbi.DB"), QStringLiteral("AnagBimbi"), QStringLiteral("Nome")), stored);
    };
    t->first();
    t->edit();
    t->setValue(QStringLiteral("Nome"), QStringLiteral("Annalisa"));
    postThroughRestart(Table::State::Edit, QStringLiteral("Annalisa"), {"Annalisa", "Bruno"});
    if (QTest::currentTestFailed())
        return;

    QVERIFY(t->append());
    t->setValue(QStringLiteral("Id_Nido"), 1);
    t->setValue(QStringLiteral("Nome"), QStringLiteral("Carla"));
    postThroughRestart(Table::State::Insert, QStringLiteral("Carla"), {"Annalisa", "Bruno", "Carla"});
    if (QTest::currentTestFailed())
        return;

    // The other program, idle through all of it, reads again at its next
    // statement, listens again, and hears the posts after.
    theirs.refresh();
    QCOMPARE(column(theirs, QStringLiteral("Nome")), (QStringList{"Annalisa", "Bruno", "Carla"}));
    addRow(*t, {{"Id_Nido", 1}, {"Nome", "Dario"}});
    QTRY_COMPARE_WITH_TIMEOUT(column(theirs, QStringLiteral("Nome")), (QStringList{"Annalisa", "Bruno", "Carla", "Dario"}), 1000);
}

// A program sits idle, its tables open, while the server restarts and
// another program posts: it heard nothing of that post, so once its next
// statement opens the connection again every table of it counts as
// changed. The open table reads its rows again by itself, and a copy cursor
// opened before that does not take over the old rows it shows.
void TestSharing::idleThroughRestart()
{
    auto other = m_f->otherProgram();
    auto mine = m_f->table(QStringLiteral("AnagBimbi.DB"));
    mine->open();
    addRow(*mine, {{"Id_Nido", 1}, {"Nome", "Anna"}});
    addRow(*mine, {{"Id_Nido", 1}, {"Nome", "Bruno"}});
    const std::unique_ptr<Table> idleTable = openOn(*other, QStringLiteral("AnagBimbi.DB"));
    Table& idle = *idleTable;
    QVERIFY(idle.locate(QStringLiteral("Nome"), QStringLiteral("Bruno")));
    QCOMPARE(column(idle, QStringLiteral("Nome")), (QStringList{"Anna", "Bruno"}));

    server("restart");
    mine->refresh(); // a read: made again on a new connection
    addRow(*mine, {{"Id_Nido", 1}, {"Nome", "Carla"}});
    QCOMPARE(m_f->folder().reconnections(), 1);
    QCOMPARE(other->reconnections(), 0);

    // Its next statement is on another file: the connection is opened again.
    const std::unique_ptr<Table> educators = openOn(*other, QStringLiteral("AnagEdu.db"));
    QCOMPARE(other->reconnections(), 1);
    Table copy;
    copy.bindLike(idle, Table::CopyRows::Shown);
    copy.open();
    QCOMPARE(walkForward(copy, QStringLiteral("Nome")), (QStringList{"Anna", "Bruno", "Carla"}));
    QTRY_COMPARE_WITH_TIMEOUT(column(idle, QStringLiteral("Nome")), (QStringList{"Anna", "Bruno", "Carla"}), 1000);
    QCOMPARE(idle.asString(QStringLiteral("Nome")), QStringLiteral("Bruno"));

    // It listens again: the posts after arrive as before.
    addRow(*mine, {{"Id_Nido", 1}, {"Nome", "Dario"}});
    QTRY_COMPARE_WITH_TIMEOUT(column(idle, QStringLiteral("Nome")), (QStringList{"Anna", "Bruno", "Carla", "Dario"}), 1000);
}

// The marks live in tables of the connection, which a server restart takes
// away: this program's marks are laid again into the new connection, so a
// read made again after the restart shows every one of them, whether set one
// by one, to a whole selection or to every record at once (the login). A
// mark whose post the restart cut is stored by the next post.
void TestSharing::marksKeptThroughRestart()
{
    auto t = m_f->table(QStringLiteral("Valutaz.db"));
    t->open();
    for (int i = 1; i <= 5; ++i)
        addRow(*t, {{"Id_Bimbo", 7}, {"MesiBimbo", 10 + i}});
    // A folder brought along its stored marks: the login hides them.
    adminExec(QStringLiteral("UPDATE %1.\"Valutaz\" SET \"Sel\" = TRUE WHERE \"Id\" = 5").arg(quoted(m_f->schemaName())));
    t->refresh();
    QCOMPARE(column(*t, QStringLiteral("Sel")), (QStringList{"", "", "", "", "true"}));
    t->setAll(QStringLiteral("Sel"), false);
    QVERIFY(t->locate(QStringLiteral("Id"), 1));
    t->edit();
    t->setValue(QStringLiteral("Sel"), true);
    t->post();
    t->setFiltered(false);
    t->setFilter(QStringLiteral("MesiBimbo >= 13 AND MesiBimbo <= 14"));
    t->setFiltered(true);
    t->setAll(QStringLiteral("Sel"), true);
    t->setFiltered(false);
    const QStringList marked = {"true", "false", "true", "true", "false"};
    QCOMPARE(column(*t, QStringLiteral("Sel")), marked);

    server("restart");
    t->refresh();
    QCOMPARE(m_f->folder().reconnections(), 1);
    QCOMPARE(column(*t, QStringLiteral("Sel")), marked);

    // A mark cut by the restart: nothing stored, saved again, kept after.
    QVERIFY(t->locate(QStringLiteral("Id"), 2));
    t->edit();
    t->setValue(QStringLiteral("Sel"), true);
    server("restart");
    QVERIFY_THROWS_EXCEPTION(DbError, t->post());
    QCOMPARE(t->state(), Table::State::Edit);
    t->post();
    server("restart");
    t->refresh();
    QCOMPARE(column(*t, QStringLiteral("Sel")), (QStringList{"true", "true", "true", "true", "false"}));

    // The filter on the mark finds them; the stored column is untouched.
    t->setFilter(QStringLiteral("Sel = True"));
    t->setFiltered(true);
    QCOMPARE(walkForward(*t, QStringLiteral("Id")), (QStringList{"1", "2", "3", "4"}));
    QCOMPARE(readColumn(*m_f, QStringLiteral("Valutaz.db"), QStringLiteral("Valutaz"), QStringLiteral("Sel")),
             (QStringList{"<null>", "<null>", "<null>", "<null>", "1"}));
}

// A server that stays away: reads and posts say it does not answer, the
// record typed stays being edited, and it is stored once the server is back.
void TestSharing::serverAway()
{
    auto t = m_f->table(QStringLiteral("AnagBimbi.DB"));
    t->open();
    addRow(*t, {{"Id_Nido", 1}, {"Nome", "Anna"}});
    t->first();
    t->edit();
    t->setValue(QStringLiteral("Nome"), QStringLiteral("Zoe"));

    server("down");
    auto reader = m_f->table(QStringLiteral("AnagBimbi.DB"));
    for (int attempt = 0; attempt < 2; ++attempt) {
        try {
            t->post();
            QFAIL("a post with the server away was reported stored");
        } catch (const DbError& e) {
            QCOMPARE(e.cause(), DbError::Cause::CannotOpen);
            QVERIFY2(e.message().contains(QStringLiteral("il server non risponde")), qPrintable(e.message()));
        }
        QCOMPARE(t->state(), Table::State::Edit);
        QCOMPARE(t->asString(QStringLiteral("Nome")), QStringLiteral("Zoe"));
        QVERIFY_THROWS_EXCEPTION(DbError, reader->open());
        QVERIFY(!reader->isOpen());
    }

    server("up");
    t->post();
    QCOMPARE(t->state(), Table::State::Browse);
    QCOMPARE(readColumn(*m_f, QStringLiteral("AnagBimbi.DB"), QStringLiteral("AnagBimbi"), QStringLiteral("Nome")),
             QStringList{"Zoe"});
}

namespace {

// A second program, driven through its standard input (sharing_probe.cpp).
class Probe
{
public:
    explicit Probe(const QString& line)
    {
        m_p.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        m_p.start(QStringLiteral(SHARING_PROBE), {line});
        if (!m_p.waitForStarted())
            qFatal("sharing_probe did not start");
    }
    ~Probe()
    {
        m_p.closeWriteChannel();
        if (!m_p.waitForFinished(10000))
            m_p.kill();
    }

    // Sends one command; its one-line answer.
    QString ask(const QString& command)
    {
        m_p.write(command.toUtf8() + '\n');
        while (!m_p.canReadLine())
            if (!m_p.waitForReadyRead(10000))
                return QStringLiteral("(nessuna risposta)");
        return QString::fromUtf8(m_p.readLine()).trimmed();
    }

    // The answer to `command`, once it is `expected` or a second has gone.
    QString within(const QString& command, const QString& expected)
    {
        QElapsedTimer clock;
        clock.start();
        QString seen;
        do {
            seen = ask(command);
            if (seen == expected)
                break;
            QThread::msleep(20);
        } while (clock.elapsed() < 1000);
        return seen;
    }

    // The names its table shows, once they are `expected` or a second has gone.
    QString listWithin(const QString& expected)
    {
        return within(QStringLiteral("list"), QStringLiteral("righe ") + expected);
    }

private:
    QProcess m_p;
};

} // namespace

// Two programs on two computers are two processes: each sees what the other
// posts within a second; both edit different records and both are stored;
// both edit the same record and the second post is refused with the message
// of one computer, nothing overwritten.
void TestSharing::twoProcesses()
{
    const QString line = qEnvironmentVariable("VELMORA_TEST_SERVER")
        + QStringLiteral(" options='-c search_path=%1'").arg(m_f->schemaName());
    Probe one(line);
    Probe two(line);

    QCOMPARE(one.ask(QStringLiteral("add Anna")), QStringLiteral("ok 1"));
    QCOMPARE(two.ask(QStringLiteral("add Bruno")), QStringLiteral("ok 2"));
    QCOMPARE(one.listWithin(QStringLiteral("Anna,Bruno")), QStringLiteral("righe Anna,Bruno"));
    QCOMPARE(two.listWithin(QStringLiteral("Anna,Bruno")), QStringLiteral("righe Anna,Bruno"));

    for (const char* cmd : {"begin 1", "set Annalisa"})
        QCOMPARE(one.ask(QString::fromLatin1(cmd)), QStringLiteral("ok"));
    for (const char* cmd : {"begin 2", "set Bruna"})
        QCOMPARE(two.ask(QString::fromLatin1(cmd)), QStringLiteral("ok"));
    QCOMPARE(one.ask(QStringLiteral("post")), QStringLiteral("ok"));
    QCOMPARE(two.ask(QStringLiteral("post")), QStringLiteral("ok"));
    QCOMPARE(one.listWithin(QStringLiteral("Annalisa,Bruna")), QStringLiteral("righe Annalisa,Bruna"));
    QCOMPARE(two.listWithin(QStringLiteral("Annalisa,Bruna")), QStringLiteral("righe Annalisa,Bruna"));

    for (const char* cmd : {"begin 1", "set Uno"})
        QCOMPARE(one.ask(QString::fromLatin1(cmd)), QStringLiteral("ok"));
    for (const char* cmd : {"begin 1", "set Due"})
        QCOMPARE(two.ask(QString::fromLatin1(cmd)), QStringLiteral("ok"));
    QCOMPARE(one.ask(QStringLiteral("post")), QStringLiteral("ok"));
    const QString refused = two.ask(QStringLiteral("post"));
    QVERIFY2(refused.startsWith(QStringLiteral("errore Il record è stato modificato da un altro utente")), qPrintable(refused));
    QCOMPARE(two.ask(QStringLiteral("cancel")), QStringLiteral("ok"));
    QCOMPARE(two.listWithin(QStringLiteral("Uno,Bruna")), QStringLiteral("righe Uno,Bruna"));
    QCOMPARE(readColumn(*m_f, QStringLiteral("AnagBimbi.DB"), QStringLiteral("AnagBimbi"), QStringLiteral("Nome")),
             (QStringList{"Uno", "Bruna"}));
}

// Two programs mark evaluations as the evaluations screen does: each sees
// its own marks only, a login clears the marks of the program that logs in
// and no other, and a mark of one program never makes the other's post of
// the same evaluation refused. The stored marks are never written.
void TestSharing::marksOfTwoProcesses()
{
    {
        auto t = m_f->table(QStringLiteral("Valutaz.db"));
        t->open();
        for (int i = 1; i <= 3; ++i)
            addRow(*t, {{"Id_Bimbo", 7}, {"MesiBimbo", 10 + i}});
    }
    const QString line = qEnvironmentVariable("VELMORA_TEST_SERVER")
        + QStringLiteral(" options='-c search_path=%1'").arg(m_f->schemaName());
    Probe a(line);
    Probe b(line);
    const QString ok = QStringLiteral("ok");

    for (const char* cmd : {"login", "mark 1", "mark 2"})
        QCOMPARE(a.ask(QString::fromLatin1(cmd)), ok);
    QCOMPARE(b.ask(QStringLiteral("mark 3")), ok);
    QCOMPARE(b.ask(QStringLiteral("evaluations")), QStringLiteral("valutazioni 1:11,2:12,3:13*"));
    QCOMPARE(b.ask(QStringLiteral("login")), ok);
    QCOMPARE(b.ask(QStringLiteral("evaluations")), QStringLiteral("valutazioni 1:11,2:12,3:13"));
    QCOMPARE(b.ask(QStringLiteral("mark 1")), ok);
    QCOMPARE(b.ask(QStringLiteral("evaluations")), QStringLiteral("valutazioni 1:11*,2:12,3:13"));
    QCOMPARE(a.ask(QStringLiteral("evaluations")), QStringLiteral("valutazioni 1:11*,2:12*,3:13"));

    // Each edits evaluations the other marked or unmarked: no conflict.
    QCOMPARE(a.ask(QStringLiteral("months 3 30")), ok);
    QCOMPARE(a.ask(QStringLiteral("months 1 31")), ok);
    QCOMPARE(b.ask(QStringLiteral("months 2 22")), ok);
    // Each reads the other's posts again, its own marks kept.
    QCOMPARE(a.within(QStringLiteral("evaluations"), QStringLiteral("valutazioni 1:31*,2:22*,3:30")),
             QStringLiteral("valutazioni 1:31*,2:22*,3:30"));
    QCOMPARE(b.within(QStringLiteral("evaluations"), QStringLiteral("valutazioni 1:31*,2:22,3:30")),
             QStringLiteral("valutazioni 1:31*,2:22,3:30"));

    // A's second login clears A's marks alone.
    QCOMPARE(a.ask(QStringLiteral("login")), ok);
    QCOMPARE(a.ask(QStringLiteral("evaluations")), QStringLiteral("valutazioni 1:31,2:22,3:30"));
    QCOMPARE(b.ask(QStringLiteral("evaluations")), QStringLiteral("valutazioni 1:31*,2:22,3:30"));
    QCOMPARE(readColumn(*m_f, QStringLiteral("Valutaz.db"), QStringLiteral("Valutaz"), QStringLiteral("Sel")),
             (QStringList{"<null>", "<null>", "<null>"}));
}

QTEST_GUILESS_MAIN(TestSharing)
#include "test_sharing.moc"
