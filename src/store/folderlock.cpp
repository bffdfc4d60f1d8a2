#include "folderlock.h"
#include "errors.h"
#include "sharedfiles.h"

#include <QAtomicInt>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMutex>
#include <QSet>
#include <QSqlError>
#include <QSqlQuery>
#include <QSysInfo>

#ifdef Q_OS_UNIX
#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace velmora::store {

const char* const FolderLock::lockFileName = "velmora.lock";
const char* const FolderLock::infoFileName = "velmora.lock.info";

namespace {

QAtomicInt s_serial;

// The folders held by a FolderLock of this process. A second lock on one of
// them opens no file at all: on POSIX systems closing any descriptor of the
// lock file would drop the locks this process holds on it.
QMutex s_heldMutex;
QSet<QString> s_held;

QString heldKey(const QString& folder)
{
    const QString canonical = QFileInfo(folder).canonicalFilePath();
    return canonical.isEmpty() ? QDir::cleanPath(folder) : canonical;
}

bool heldHere(const QString& folder)
{
    QMutexLocker lock(&s_heldMutex);
    return s_held.contains(heldKey(folder));
}

// How the lock file can be used by this account.
enum class LockFile { Usable, FolderNotWritable, FileNotWritable };

// Makes the lock file when missing, with the folder's group and shared mode
// (SQLite would make it 0644 whatever the umask, and no other account of
// the group could then take the lock). A lock file of this account left
// with another mode by an older version is given the shared one.
LockFile prepareLockFile(const QString& folder, const QString& path)
{
#ifdef Q_OS_UNIX
    const QByteArray name = QFile::encodeName(path);
    const int fd = createSharedFile(path);
    if (fd >= 0) {
        ::close(fd); // no lock of this process is on the file: closing drops nothing
        return LockFile::Usable;
    }
    if (errno != EEXIST)
        return LockFile::FolderNotWritable;
    if (::access(name.constData(), R_OK | W_OK) != 0)
        return LockFile::FileNotWritable;
    struct stat st;
    if (::stat(name.constData(), &st) == 0 && st.st_uid == ::geteuid())
        shareNewFile(path, folder);
    return LockFile::Usable;
#else
    Q_UNUSED(folder);
    Q_UNUSED(path);
    return LockFile::Usable;
#endif
}

#ifdef Q_OS_UNIX
// The process that holds SQLite's write lock on `path` (the byte SQLite
// locks for a write transaction), or 0: asked of the system, for a holder
// that left no note. Only for a file this process holds no lock on.
pid_t lockHolderPid(const QString& path)
{
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return 0;
    struct flock fl = {};
    fl.l_type = F_WRLCK;
    fl.l_whence = SEEK_SET;
    fl.l_start = 0x40000001; // SQLite's RESERVED_BYTE: PENDING_BYTE + 1
    fl.l_len = 1;
    const int rc = ::fcntl(fd, F_GETLK, &fl);
    ::close(fd);
    return rc == 0 && fl.l_type != F_UNLCK ? fl.l_pid : 0;
}

// When the process `pid` of this computer started, from /proc.
QDateTime processStart(pid_t pid)
{
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    QFile boot(QStringLiteral("/proc/stat"));
    if (!stat.open(QIODevice::ReadOnly) || !boot.open(QIODevice::ReadOnly))
        return QDateTime();
    const QByteArray line = stat.readAll();
    const QList<QByteArray> fields = line.mid(line.lastIndexOf(')') + 2).split(' ');
    if (fields.size() < 20)
        return QDateTime();
    const qint64 ticks = fields[19].toLongLong();
    qint64 btime = 0;
    for (const QByteArray& l : boot.readAll().split('\n'))
        if (l.startsWith("btime "))
            btime = l.mid(6).trimmed().toLongLong();
    const long hz = ::sysconf(_SC_CLK_TCK);
    if (btime <= 0 || hz <= 0)
        return QDateTime();
    return QDateTime::fromSecsSinceEpoch(btime + ticks / hz);
}
#endif

} // namespace

FolderLock::FolderLock(const QString& folderPath)
    : m_folder(QDir::cleanPath(folderPath))
{
}

FolderLock::~FolderLock()
{
    release();
}

FolderLock::Result FolderLock::acquire(QString* message)
{
    if (m_held)
        return Result::Acquired;
    const QString shown = QDir::toNativeSeparators(m_folder);
    auto unavailable = [&](const QString& why) {
        if (message)
            *message = QStringLiteral("Impossibile riservare la cartella dati \"%1\" a questo programma: %2")
                           .arg(shown, why);
        return Result::Unavailable;
    };
    auto inUse = [&] {
        if (message) {
            const QString holder = holderText();
            *message = QStringLiteral("La cartella dati \"%1\" è già in uso da un altro programma Velmora%2. "
                                      "Chiudere quel programma e riprovare: la stessa cartella dati non può essere "
                                      "usata da due programmi insieme.")
                           .arg(shown, holder.isEmpty() ? QStringLiteral(" (non si sa di chi: il programma non ha "
                                                                         "lasciato il suo nome)")
                                                        : QStringLiteral(" (%1)").arg(holder));
        }
        return Result::InUse;
    };
    if (!QFileInfo(m_folder).isDir())
        return unavailable(QStringLiteral("la cartella non esiste."));
    if (heldHere(m_folder))
        return inUse();

    const QString path = QDir(m_folder).filePath(QString::fromLatin1(lockFileName));
    switch (prepareLockFile(m_folder, path)) {
    case LockFile::Usable:
        break;
    case LockFile::FolderNotWritable:
        return unavailable(QStringLiteral("la cartella è in sola lettura per l'utente %1.\n\n%2")
                               .arg(currentAccount(), comeOttenereScrittura(m_folder)));
    case LockFile::FileNotWritable: {
        const QString holder = holderText();
        return unavailable(QStringLiteral("il file %1 appartiene all'utente %2 con i permessi %3, e l'utente %4 non lo "
                                          "può scrivere.%5\n\n%6")
                               .arg(QString::fromLatin1(lockFileName), ownerOf(path), permissionText(path),
                                    currentAccount(),
                                    holder.isEmpty() ? QString()
                                                     : QStringLiteral(" La cartella è ora in uso da un altro "
                                                                      "programma Velmora (%1).").arg(holder),
                                    comeOttenereScrittura(path)));
    }
    }

    auto engineTrouble = [&](const DbError& e) {
        if (e.cause() == DbError::Cause::ReadOnly)
            return unavailable(QStringLiteral("la cartella è in sola lettura per l'utente %1.\n\n%2")
                                   .arg(currentAccount(), comeOttenereScrittura(m_folder)));
        return unavailable(QStringLiteral("il file %1 non si può usare.\n%2").arg(QString::fromLatin1(lockFileName), e.message()));
    };
    m_connection = QStringLiteral("velmora-lock-%1").arg(s_serial.fetchAndAddRelaxed(1));
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_connection);
    db.setDatabaseName(path);
    // Refused at once: waiting would only make the second program slower to
    // say that the folder is in use.
    db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=0"));
    if (!db.open()) {
        const DbError e = engineError(db.lastError(), path);
        db = QSqlDatabase();
        closeConnection();
        return engineTrouble(e);
    }
    QSqlQuery begin(db);
    if (!begin.exec(QStringLiteral("BEGIN IMMEDIATE"))) {
        const DbError e = engineError(begin.lastError(), path);
        begin = QSqlQuery();
        db = QSqlDatabase();
        closeConnection();
        if (e.cause() != DbError::Cause::Locked)
            return engineTrouble(e);
        return inUse();
    }
    m_held = true;
    {
        QMutexLocker lock(&s_heldMutex);
        s_held.insert(heldKey(m_folder));
    }
    writeNote();
    return Result::Acquired;
}

// Who holds the folder, for the message of a program refused later: written
// aside and renamed over the old note, with the folder's group and mode, so
// that the next account of the group can replace it in turn.
void FolderLock::writeNote()
{
    const QDateTime since = m_clock ? m_clock() : QDateTime::currentDateTime();
    const QString text = QStringLiteral("computer=%1\nutente=%2\nprocesso=%3\ndal=%4\n")
                             .arg(QSysInfo::machineHostName(), currentAccount(),
                                  QString::number(QCoreApplication::applicationPid()), since.toString(Qt::ISODate));
    const QString note = QDir(m_folder).filePath(QString::fromLatin1(infoFileName));
#ifdef Q_OS_UNIX
    const QString temp = note + QStringLiteral(".%1").arg(QCoreApplication::applicationPid());
    ::unlink(QFile::encodeName(temp).constData());
    const int fd = createSharedFile(temp);
    if (fd < 0)
        return; // a note that cannot be written only makes a vaguer message
    const QByteArray bytes = text.toUtf8();
    const bool written = ::write(fd, bytes.constData(), size_t(bytes.size())) == bytes.size();
    ::close(fd);
    if (!written || ::rename(QFile::encodeName(temp).constData(), QFile::encodeName(note).constData()) != 0)
        ::unlink(QFile::encodeName(temp).constData());
#else
    QFile out(note);
    if (out.open(QIODevice::WriteOnly | QIODevice::Truncate))
        out.write(text.toUtf8());
#endif
}

void FolderLock::release()
{
    if (m_held) {
        m_held = false;
        QFile::remove(QDir(m_folder).filePath(QString::fromLatin1(infoFileName)));
        QSqlDatabase db = QSqlDatabase::database(m_connection, false);
        QSqlQuery(db).exec(QStringLiteral("ROLLBACK"));
        QMutexLocker lock(&s_heldMutex);
        s_held.remove(heldKey(m_folder));
    }
    closeConnection();
}

void FolderLock::closeConnection()
{
    if (m_connection.isEmpty())
        return;
    {
        QSqlDatabase db = QSqlDatabase::database(m_connection, false);
        db.close();
    }
    QSqlDatabase::removeDatabase(m_connection);
    m_connection.clear();
}

QString FolderLock::holderText() const
{
    QHash<QString, QString> fields;
    QFile info(QDir(m_folder).filePath(QString::fromLatin1(infoFileName)));
    if (info.open(QIODevice::ReadOnly | QIODevice::Text)) {
        for (const QString& line : QString::fromUtf8(info.read(4096)).split(QLatin1Char('\n'))) {
            const qsizetype eq = line.indexOf(QLatin1Char('='));
            if (eq > 0)
                fields.insert(line.left(eq), line.mid(eq + 1).trimmed());
        }
    }
#ifdef Q_OS_UNIX
    // No note (not written, removed, unreadable): the system says which
    // process of this computer holds the lock, its account and its start.
    if (fields.value(QStringLiteral("utente")).isEmpty() && !heldHere(m_folder)) {
        if (const pid_t pid = lockHolderPid(QDir(m_folder).filePath(QString::fromLatin1(lockFileName)))) {
            fields.clear();
            fields.insert(QStringLiteral("computer"), QSysInfo::machineHostName());
            const QString owner = ownerOf(QStringLiteral("/proc/%1").arg(pid));
            if (!owner.isEmpty())
                fields.insert(QStringLiteral("utente"), owner);
            const QDateTime since = processStart(pid);
            if (since.isValid())
                fields.insert(QStringLiteral("dal"), since.toString(Qt::ISODate));
            fields.insert(QStringLiteral("processo"), QString::number(pid));
        }
    }
#endif
    QStringList parts;
    if (!fields.value(QStringLiteral("computer")).isEmpty())
        parts << QStringLiteral("sul computer %1").arg(fields.value(QStringLiteral("computer")));
    if (!fields.value(QStringLiteral("utente")).isEmpty())
        parts << QStringLiteral("dall'utente %1").arg(fields.value(QStringLiteral("utente")));
    const QDateTime since = QDateTime::fromString(fields.value(QStringLiteral("dal")), Qt::ISODate);
    if (since.isValid())
        parts << QStringLiteral("dalle %1 del %2").arg(since.toString(QStringLiteral("HH:mm")),
                                                        since.toString(QStringLiteral("dd/MM/yyyy")));
    if (!fields.value(QStringLiteral("processo")).isEmpty())
        parts << QStringLiteral("processo %1").arg(fields.value(QStringLiteral("processo")));
    return parts.join(QStringLiteral(", "));
}

} // namespace velmora::store
