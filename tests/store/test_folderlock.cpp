// One copy of the program per data folder: a second lock on the folder is
// refused, in this process or in another, with a message saying who holds
// it; a holder that ends, however it ends (killed without any cleanup
// included), leaves the folder free for the next. The lock file and its note
// take the folder's group and shared mode whatever the umask, so that every
// account of the group can take the lock in turn.

#include "folderlock.h"
#include "sharedfiles.h"
#include "storefixture.h"

#include <QCoreApplication>
#include <QDir>
#include <QProcess>
#include <QSysInfo>
#include <QTemporaryFile>
#include <QTest>

#include <sys/stat.h>
#include <unistd.h>

using namespace velmora::store;
using namespace storetest;

namespace {

const int waitMs = 30000;

// Starts the helper on `folder` and returns its first line.
QString startHolder(QProcess& p, const QString& folder)
{
    p.setProgram(QStringLiteral(LOCK_HOLDER));
    p.setArguments({folder});
    p.start();
    if (!p.waitForStarted(waitMs))
        return QStringLiteral("not started: ") + p.errorString();
    while (!p.canReadLine()) {
        if (!p.waitForReadyRead(waitMs))
            return QStringLiteral("no answer: ") + QString::fromLocal8Bit(p.readAllStandardError());
    }
    return QString::fromUtf8(p.readLine()).trimmed();
}

} // namespace

class TestFolderLock : public QObject
{
    Q_OBJECT

private slots:
    void secondLockInTheSameProgramIsRefused();
    void anotherProgramIsRefused();
    void lockOfAKilledProgramIsFree();
    void holderNamedWithoutItsNote();
    void lockFilesTakeTheFolderMode_data();
    void lockFilesTakeTheFolderMode();
    void journalsTakeTheirFileMode();
    void unavailable();
};

void TestFolderLock::secondLockInTheSameProgramIsRefused()
{
    Folder f;
    auto first = std::make_unique<FolderLock>(f.path());
    first->setClock(testNow);
    QCOMPARE(first->acquire(), FolderLock::Result::Acquired);
    QVERIFY(first->isHeld());
    QCOMPARE(first->acquire(), FolderLock::Result::Acquired); // already held

    FolderLock second(f.path());
    QString message;
    QCOMPARE(second.acquire(&message), FolderLock::Result::InUse);
    QVERIFY(!second.isHeld());
    QVERIFY2(message.startsWith(QStringLiteral("La cartella dati \"%1\" è già in uso da un altro programma Velmora (")
                                    .arg(QDir::toNativeSeparators(f.path()))),
             qPrintable(message));
    QVERIFY2(message.contains(QStringLiteral("sul computer %1").arg(QSysInfo::machineHostName())), qPrintable(message));
    QVERIFY2(message.contains(QStringLiteral("dalle 10:30 del 15/06/2026")), qPrintable(message));
    QVERIFY2(message.contains(QStringLiteral("processo %1").arg(QCoreApplication::applicationPid())), qPrintable(message));

    // The tables of the folder are untouched by the lock.
    auto t = f.table(QStringLiteral("Ruoli.db"));
    t->open();
    addRow(*t, {{"Ruolo", QStringLiteral("Cuoca")}});

    // Released (here by its end), the folder is free again.
    first.reset();
    QCOMPARE(second.acquire(&message), FolderLock::Result::Acquired);
    second.release();
    QCOMPARE(second.acquire(), FolderLock::Result::Acquired);
}

void TestFolderLock::anotherProgramIsRefused()
{
    Folder f;
    FolderLock mine(f.path());
    QCOMPARE(mine.acquire(), FolderLock::Result::Acquired);

    QProcess other;
    const QString answer = startHolder(other, f.path());
    QVERIFY2(answer.startsWith(QStringLiteral("REFUSED La cartella dati")), qPrintable(answer));
    QVERIFY(other.waitForFinished(waitMs));
    QCOMPARE(other.exitCode(), 1);

    // Given back, the other program takes it, and this one is refused.
    mine.release();
    QProcess again;
    QCOMPARE(startHolder(again, f.path()), QStringLiteral("HELD"));
    QString message;
    QCOMPARE(mine.acquire(&message), FolderLock::Result::InUse);
    QVERIFY2(message.contains(QStringLiteral("processo %1").arg(again.processId())), qPrintable(message));
    again.closeWriteChannel(); // the holder ends normally
    QVERIFY(again.waitForFinished(waitMs));
    QCOMPARE(mine.acquire(), FolderLock::Result::Acquired);
}

// A program killed while holding the folder (no cleanup of any kind) leaves
// it free: the next program takes it at once.
void TestFolderLock::lockOfAKilledProgramIsFree()
{
    Folder f;
    QProcess holder;
    QCOMPARE(startHolder(holder, f.path()), QStringLiteral("HELD"));
    FolderLock mine(f.path());
    QCOMPARE(mine.acquire(), FolderLock::Result::InUse);

    holder.kill(); // SIGKILL
    QVERIFY(holder.waitForFinished(waitMs));
    QCOMPARE(holder.exitStatus(), QProcess::CrashExit);
    // Its note is still there, but decides nothing.
    QVERIFY(QFile::exists(QDir(f.path()).filePath(QString::fromLatin1(FolderLock::infoFileName))));

    QString message;
    QCOMPARE(mine.acquire(&message), FolderLock::Result::Acquired);
    QVERIFY2(message.isEmpty(), qPrintable(message));
    // And it is held against the next one.
    QProcess next;
    QVERIFY(startHolder(next, f.path()).startsWith(QStringLiteral("REFUSED")));
    QVERIFY(next.waitForFinished(waitMs));
}

// The note gone (removed by hand, or unreadable), the refusal still names
// the holder: the system says which process holds the lock, whose it is and
// since when.
void TestFolderLock::holderNamedWithoutItsNote()
{
    Folder f;
    QProcess holder;
    QCOMPARE(startHolder(holder, f.path()), QStringLiteral("HELD"));
    QVERIFY(QFile::remove(QDir(f.path()).filePath(QString::fromLatin1(FolderLock::infoFileName))));
    FolderLock mine(f.path());
    QString message;
    QCOMPARE(mine.acquire(&message), FolderLock::Result::InUse);
    QVERIFY2(message.contains(QStringLiteral("(sul computer %1, dall'utente %2, dalle ")
                                  .arg(QSysInfo::machineHostName(), currentAccount())),
             qPrintable(message));
    QVERIFY2(message.contains(QStringLiteral("del %1").arg(QDate::currentDate().toString(QStringLiteral("dd/MM/yyyy"))))
                 || message.contains(QStringLiteral("del %1").arg(QDate::currentDate().addDays(-1).toString(QStringLiteral("dd/MM/yyyy")))),
             qPrintable(message));
    QVERIFY2(message.contains(QStringLiteral("processo %1)").arg(holder.processId())), qPrintable(message));
    holder.kill();
    QVERIFY(holder.waitForFinished(waitMs));
}

void TestFolderLock::lockFilesTakeTheFolderMode_data()
{
    QTest::addColumn<int>("folderMode");
    QTest::addColumn<int>("fileMode");
    QTest::newRow("installed, private to the group") << 02770 << 0660;
    QTest::newRow("older install, readable by all") << 02775 << 0664;
    QTest::newRow("build folder") << 0755 << 0644;
}

// Whatever the umask (here one that would give nothing to the group), the
// lock file and its note get the folder's group and the mode the folder
// gives; a lock file of this account left with another mode by an older
// version is given it too.
void TestFolderLock::lockFilesTakeTheFolderMode()
{
    QFETCH(int, folderMode);
    QFETCH(int, fileMode);
    Folder f;
    const QByteArray dir = QFile::encodeName(f.path());
    QCOMPARE(::chmod(dir.constData(), mode_t(folderMode)), 0);
    const QString lockPath = QDir(f.path()).filePath(QString::fromLatin1(FolderLock::lockFileName));
    const QString notePath = QDir(f.path()).filePath(QString::fromLatin1(FolderLock::infoFileName));
    struct stat folder;
    QCOMPARE(::stat(dir.constData(), &folder), 0);
    auto modeOf = [](const QString& path) {
        struct stat st;
        return ::stat(QFile::encodeName(path).constData(), &st) == 0 ? int(st.st_mode & 07777) : -1;
    };
    auto groupOf = [](const QString& path) {
        struct stat st;
        return ::stat(QFile::encodeName(path).constData(), &st) == 0 ? st.st_gid : gid_t(-1);
    };
    const mode_t before = ::umask(077);
    for (int round = 0; round < 2; ++round) {
        FolderLock lock(f.path());
        QCOMPARE(lock.acquire(), FolderLock::Result::Acquired);
        QCOMPARE(modeOf(lockPath), fileMode);
        QCOMPARE(modeOf(notePath), fileMode);
        QCOMPARE(groupOf(lockPath), folder.st_gid);
        QCOMPARE(groupOf(notePath), folder.st_gid);
        lock.release();
        // As an older version left it.
        QCOMPARE(::chmod(QFile::encodeName(lockPath).constData(), 0600), 0);
    }
    ::umask(before);
}

// SQLite's journals, which the program never makes itself, take the mode of
// their table file whatever the umask, and the folder's group from its
// set-group bit: the table files' 0660 reaches them.
void TestFolderLock::journalsTakeTheirFileMode()
{
    Folder f;
    const QString file = f->filePath(QStringLiteral("Ruoli.db"));
    QCOMPARE(::chmod(QFile::encodeName(file).constData(), 0660), 0);
    const mode_t before = ::umask(077);
    QSqlDatabase db = f->connection(QStringLiteral("Ruoli.db"));
    exec(db, QStringLiteral("BEGIN"));
    exec(db, QStringLiteral("INSERT INTO Ruoli (Ruolo) VALUES ('Cuoca')"));
    struct stat st;
    const int found = ::stat(QFile::encodeName(file + QStringLiteral("-journal")).constData(), &st);
    exec(db, QStringLiteral("COMMIT"));
    ::umask(before);
    QCOMPARE(found, 0);
    QCOMPARE(int(st.st_mode & 07777), 0660);
}

void TestFolderLock::unavailable()
{
    QTemporaryDir tmp;
    FolderLock missing(tmp.filePath(QStringLiteral("db")));
    QString message;
    QCOMPARE(missing.acquire(&message), FolderLock::Result::Unavailable);
    QCOMPARE(message, QStringLiteral("Impossibile riservare la cartella dati \"%1\" a questo programma: la cartella non esiste.")
                          .arg(QDir::toNativeSeparators(tmp.filePath(QStringLiteral("db")))));

    // A folder that cannot be written cannot be locked either. Permissions
    // stop nobody running as root: then there is nothing more to see.
    Folder f;
    const QFile::Permissions before = QFile::permissions(f.path());
    QVERIFY(QFile::setPermissions(f.path(), QFile::ReadOwner | QFile::ExeOwner));
    if (QTemporaryFile(f.path() + QStringLiteral("/probe-XXXXXX")).open()) {
        QFile::setPermissions(f.path(), before);
        QSKIP("file permissions do not apply to this user");
    }
    FolderLock readOnly(f.path());
    const FolderLock::Result result = readOnly.acquire(&message);
    QFile::setPermissions(f.path(), before);
    QCOMPARE(result, FolderLock::Result::Unavailable);
    QVERIFY2(message.startsWith(QStringLiteral("Impossibile riservare la cartella dati \"%1\" a questo programma: la "
                                               "cartella è in sola lettura per l'utente %2.\n\nChiedere a chi amministra")
                                    .arg(QDir::toNativeSeparators(f.path()), currentAccount())),
             qPrintable(message));
}

QTEST_GUILESS_MAIN(TestFolderLock)
#include "test_folderlock.moc"
