// Failures of the engine told to the user in Italian: a file that cannot be
// written, a full disk, a file held by another program, a damaged or missing
// file. The message names the file and the cause and gives the engine's
// words in Italian as a detail (its English text goes to the log only); a refused post leaves the record being edited with what
// was typed, and posting again once the trouble is gone stores it.
//
// Tests run as root in CI, where file permissions stop nothing: the engine is
// made to refuse by its own means (query_only, max_page_count, a lock held by
// a second connection, bytes written over the file).

#include "storefixture.h"

#include <QDir>
#include <QFile>
#include <QTemporaryFile>
#include <QTest>

using namespace velmora::store;
using namespace storetest;

Q_DECLARE_METATYPE(velmora::store::DbError::Cause)

namespace {

// A connection of its own to one file of the folder, as another program
// would have it.
class OtherProgram
{
public:
    explicit OtherProgram(const QString& filePath)
    {
        m_db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_name);
        m_db.setDatabaseName(filePath);
        m_db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=0"));
        if (!m_db.open())
            qFatal("cannot open %s", qPrintable(filePath));
    }
    ~OtherProgram()
    {
        m_db.close();
        m_db = QSqlDatabase();
        QSqlDatabase::removeDatabase(m_name);
    }
    void run(const QString& sql) { exec(m_db, sql); }

private:
    QString m_name = QStringLiteral("other-program");
    QSqlDatabase m_db;
};

struct Caught
{
    QString message;
    QString fileName;
    DbError::Cause cause = DbError::Cause::Refused;
    bool thrown = false;
};

Caught caught(const std::function<void()>& f)
{
    Caught c;
    try {
        f();
    } catch (const DbError& e) {
        c.message = e.message();
        c.fileName = e.fileName();
        c.cause = e.cause();
        c.thrown = true;
    }
    return c;
}

} // namespace

class TestErrors : public QObject
{
    Q_OBJECT

private slots:
    void refusedPostKeepsTheRecord_data();
    void refusedPostKeepsTheRecord();
    void readOnlyFolder();
    void damagedOrMissingFile_data();
    void damagedOrMissingFile();
};

void TestErrors::refusedPostKeepsTheRecord_data()
{
    QTest::addColumn<QString>("fault");
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("detail");
    QTest::addColumn<DbError::Cause>("cause");

    QTest::newRow("file read-only") << "readonly"
        << "Impossibile salvare in AnagBimbi.DB: il file è in sola lettura."
        << "tentativo di scrivere in un database in sola lettura" << DbError::Cause::ReadOnly;
    QTest::newRow("disk full") << "full"
        << "Impossibile salvare in AnagBimbi.DB: il disco è pieno."
        << "il database o il disco è pieno" << DbError::Cause::DiskFull;
    QTest::newRow("locked by another program") << "locked"
        << "Il file AnagBimbi.DB è bloccato da un altro programma. Riprovare tra qualche istante."
        << "il database è bloccato" << DbError::Cause::Locked;
}

void TestErrors::refusedPostKeepsTheRecord()
{
    QFETCH(QString, fault);
    QFETCH(QString, message);
    QFETCH(QString, detail);
    QFETCH(DbError::Cause, cause);

    Folder f;
    f->setBusyTimeout(0); // a held file is refused at once, not after seconds
    auto t = f.table(QStringLiteral("AnagBimbi.DB"));
    t->open();
    const qint64 id = addRow(*t, {{"Id_Nido", 1}, {"Nome", QStringLiteral("Anna")}});

    QSqlDatabase db = f->connection(QStringLiteral("AnagBimbi.DB"));
    std::unique_ptr<OtherProgram> other;
    if (fault == QLatin1String("readonly")) {
        exec(db, QStringLiteral("PRAGMA query_only=1"));
    } else if (fault == QLatin1String("full")) {
        QSqlQuery q(db);
        QVERIFY(q.exec(QStringLiteral("PRAGMA page_count")) && q.next());
        const int pages = q.value(0).toInt();
        q.finish();
        exec(db, QStringLiteral("PRAGMA max_page_count=%1").arg(pages));
    } else {
        other = std::make_unique<OtherProgram>(f->filePath(QStringLiteral("AnagBimbi.DB")));
        other->run(QStringLiteral("BEGIN EXCLUSIVE"));
    }

    // A note long enough to need pages of its own.
    const QString note = QString(20000, QLatin1Char('n'));
    t->edit();
    t->setValue(QStringLiteral("Nome"), QStringLiteral("Annalisa"));
    t->setValue(QStringLiteral("Note"), note);
    const Caught c = caught([&] { t->post(); });
    QVERIFY(c.thrown);
    QCOMPARE(c.message.section(QLatin1Char('\n'), 0, 0), message);
    QCOMPARE(c.message.section(QLatin1Char('\n'), 1), QStringLiteral("Dettaglio: ") + detail);
    QCOMPARE(c.fileName, QStringLiteral("AnagBimbi.DB"));
    QCOMPARE(c.cause, cause);

    QCOMPARE(t->state(), Table::State::Edit);
    QVERIFY(t->isModified());
    QCOMPARE(t->asString(QStringLiteral("Nome")), QStringLiteral("Annalisa"));
    QCOMPARE(t->asString(QStringLiteral("Note")), note);

    // The trouble gone, the same post stores what was typed.
    if (fault == QLatin1String("readonly"))
        exec(db, QStringLiteral("PRAGMA query_only=0"));
    else if (fault == QLatin1String("full"))
        exec(db, QStringLiteral("PRAGMA max_page_count=1073741823"));
    else
        other->run(QStringLiteral("ROLLBACK"));
    t->post();
    QCOMPARE(t->state(), Table::State::Browse);
    QCOMPARE(readColumn(f.path(), QStringLiteral("AnagBimbi.DB"), QStringLiteral("AnagBimbi"), QStringLiteral("Nome")),
             QStringList{"Annalisa"});
    QCOMPARE(t->value(QStringLiteral("Id")).toLongLong(), id);
}

// A folder that cannot be written refuses every post with its own message.
// Permissions stop nobody running as root: then there is nothing to see.
void TestErrors::readOnlyFolder()
{
    Folder f;
    auto t = f.table(QStringLiteral("Ruoli.db"));
    t->open();
    QFile::Permissions before = QFile::permissions(f.path());
    QVERIFY(QFile::setPermissions(f.path(), QFile::ReadOwner | QFile::ExeOwner));
    const bool writable = QTemporaryFile(f.path() + QStringLiteral("/probe-XXXXXX")).open();
    if (writable) {
        QFile::setPermissions(f.path(), before);
        QSKIP("file permissions do not apply to this user");
    }
    t->append();
    t->setValue(QStringLiteral("Ruolo"), QStringLiteral("Cuoca"));
    const Caught c = caught([&] { t->post(); });
    QFile::setPermissions(f.path(), before);
    QCOMPARE(c.message.section(QLatin1Char('\n'), 0, 0),
             QStringLiteral("Impossibile salvare in Ruoli.db: la cartella dati è in sola lettura."));
    QCOMPARE(c.cause, DbError::Cause::ReadOnly);
    QCOMPARE(t->state(), Table::State::Insert);
    t->post();
}

void TestErrors::damagedOrMissingFile_data()
{
    QTest::addColumn<QString>("fault");
    QTest::addColumn<QString>("message");
    QTest::addColumn<DbError::Cause>("cause");

    QTest::newRow("not a database") << "garbage"
        << "Il file FasiVal.db della cartella dati è danneggiato: non è un database leggibile."
        << DbError::Cause::Damaged;
    QTest::newRow("table pages overwritten") << "malformed"
        << "Il file FasiVal.db della cartella dati è danneggiato: il suo contenuto non è integro."
        << DbError::Cause::Damaged;
    QTest::newRow("a page in the middle overwritten") << "middle"
        << "Il file FasiVal.db della cartella dati è danneggiato: il suo contenuto non è integro."
        << DbError::Cause::Damaged;
    QTest::newRow("zero length") << "empty"
        << "Il file FasiVal.db della cartella dati è danneggiato: non contiene la tabella FasiVal."
        << DbError::Cause::Damaged;
    QTest::newRow("missing") << "missing"
        << "Il file FasiVal.db manca nella cartella dati \"%1\"."
        << DbError::Cause::Missing;
}

// A file that cannot be read refuses the open, and the table stays closed.
void TestErrors::damagedOrMissingFile()
{
    QFETCH(QString, fault);
    QFETCH(QString, message);
    QFETCH(DbError::Cause, cause);

    Folder f;
    // Enough records for the table to span many pages.
    QList<QVariantList> phases;
    for (int i = 1; i <= 800; ++i)
        phases << QVariantList{1, 1, i, QStringLiteral("-01-02-03-04-05-06-07-08-09-10-11-12-13-14-15-16")};
    bulk(f.folder(), QStringLiteral("FasiVal.db"),
         QStringLiteral("INSERT INTO FasiVal (Id_Valutazione, Id_Area, NumFase, Si) VALUES (?, ?, ?, ?)"), phases);
    f->closeAll();
    const QString file = f->filePath(QStringLiteral("FasiVal.db"));
    if (fault == QLatin1String("garbage")) {
        overwriteFile(file, 0, QByteArray(4096, 'x'));
    } else if (fault == QLatin1String("malformed")) {
        // Page 2 is the root of the table, laid first after the schema.
        overwriteFile(file, 4096, QByteArray(4096, '\xff'));
    } else if (fault == QLatin1String("middle")) {
        // The first records read well; the damage is met further on, in a
        // leaf page of the table (its first byte 0x0D) halfway through them.
        QFile in(file);
        QVERIFY(in.open(QIODevice::ReadOnly));
        const QByteArray bytes = in.readAll();
        in.close();
        QList<qint64> leaves;
        for (qint64 page = 1; page * 4096 < bytes.size(); ++page)
            if (bytes.at(page * 4096) == '\x0d')
                leaves << page;
        QVERIFY(leaves.size() > 10);
        overwriteFile(file, leaves[leaves.size() / 2] * 4096, QByteArray(4096, '\xff'));
    } else if (fault == QLatin1String("empty")) {
        QFile out(file);
        QVERIFY(out.open(QIODevice::WriteOnly | QIODevice::Truncate));
    } else {
        QVERIFY(QFile::remove(file));
    }

    auto t = f.table(QStringLiteral("FasiVal.db"));
    const Caught c = caught([&] { t->open(); });
    QVERIFY(c.thrown);
    QCOMPARE(c.message.section(QLatin1Char('\n'), 0, 0),
             message.contains(QLatin1String("%1")) ? message.arg(QDir::toNativeSeparators(f.path())) : message);
    QCOMPARE(c.cause, cause);
    QVERIFY(!t->isOpen());
}

QTEST_GUILESS_MAIN(TestErrors)
#include "test_errors.moc"
