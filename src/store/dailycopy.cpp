#include "dailycopy.h"
#include "datafolder.h"
#include "errors.h"
#include "foldercheck.h"
#include "schema.h"
#include "sharedfiles.h"

#include <QAtomicInt>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSqlDatabase>
#include <QSqlDriver>
#include <QThread>
#include <QSqlError>
#include <QSqlQuery>

#include <sqlite3.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <system_error>

#ifdef Q_OS_WIN
#include <io.h>
#else
#include <fcntl.h>
#include <unistd.h>
#endif

namespace velmora::store {

namespace {

const char* const copyNameFormat = "yyyy-MM-dd_HHmm";
const char* const stagingSuffix = ".parziale";

bool isCopyName(const QString& name)
{
    static const QRegularExpression pattern(QStringLiteral("^\\d{4}-\\d{2}-\\d{2}_\\d{4}$"));
    return pattern.match(name).hasMatch()
        && QDateTime::fromString(name, QString::fromLatin1(copyNameFormat)).isValid();
}

// The engine's failure on `path` as the user reads it.
QString engineMessage(sqlite3* db, int code, const QString& path)
{
    const QString text = db ? QString::fromUtf8(sqlite3_errmsg(db)) : QString::fromUtf8(sqlite3_errstr(code));
    return engineError(QSqlError(text, text, QSqlError::StatementError, QString::number(code)), path).message();
}

// Flushes a file's data to the disk, so that a rename that follows never
// lands before it.
bool syncFile(QFile& f)
{
    if (!f.flush())
        return false;
#ifdef Q_OS_WIN
    return _commit(f.handle()) == 0;
#else
    return ::fsync(f.handle()) == 0;
#endif
}

// Makes a rename in `dir` durable (POSIX; Windows keeps renames itself).
void syncDirectory(const QString& dir)
{
#ifndef Q_OS_WIN
    const int fd = ::open(QFile::encodeName(dir).constData(), O_RDONLY);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
#else
    Q_UNUSED(dir);
#endif
}

std::filesystem::path fsPath(const QString& path)
{
#ifdef Q_OS_WIN
    return std::filesystem::path(path.toStdWString());
#else
    return std::filesystem::path(QFile::encodeName(path).toStdString());
#endif
}

// The file spelled `fileName` without regard to case in `dir`, or empty.
QString findFile(const QString& dir, const QString& fileName)
{
    const QDir d(dir);
    if (d.exists(fileName))
        return d.filePath(fileName);
    for (const QString& e : d.entryList(QDir::Files))
        if (e.compare(fileName, Qt::CaseInsensitive) == 0)
            return d.filePath(e);
    return QString();
}

} // namespace

QStringList copieGiornaliere(const QString& copiesRoot)
{
    QStringList names;
    for (const QString& e : QDir(copiesRoot).entryList(QDir::Dirs | QDir::NoDotAndDotDot))
        if (isCopyName(e))
            names << e;
    // The names sort as the moments they stand for.
    std::sort(names.begin(), names.end(), std::greater<QString>());
    return names;
}

// ---------------------------------------------------------------- the day's copy

namespace {

// The SQLite connection under a Qt one: the online backup reads the file
// through the program's own connection, so that the program's posts update
// the copy under way instead of making it start again.
sqlite3* handleOf(const QSqlDatabase& db)
{
    const QVariant v = db.driver() ? db.driver()->handle() : QVariant();
    if (v.isValid() && qstrcmp(v.typeName(), "sqlite3*") == 0)
        return *static_cast<sqlite3* const*>(v.constData());
    return nullptr;
}

QString failed(const QString& what)
{
    return QStringLiteral("Copia giornaliera dei dati non riuscita: %1").arg(what);
}

QString cannotCreate(const QString& dir)
{
    return failed(QStringLiteral("impossibile creare la cartella \"%1\".").arg(QDir::toNativeSeparators(dir)));
}

} // namespace

struct DailyCopy::State
{
    DataFolder* folder = nullptr;
    QString root;
    QString name;    // the copy folder's name, the moment it stands for
    QString staging; // where it is laid until whole
    int keep = 10;
    int busyTimeout = 5000;
    bool due = false;
    bool placed = false;
    QString error;
    QStringList damaged;      // messages
    QStringList damagedFiles; // the files they name
    size_t file = 0; // the table file being copied, in schema order
    sqlite3* target = nullptr;
    sqlite3_backup* backup = nullptr;
    int restarts = 0;
    int lastRemaining = -1;

    void fail(const QString& fileName, const QString& why)
    {
        error = QStringLiteral("Copia giornaliera dei dati non riuscita (file %1): %2").arg(fileName, why);
    }

    void closeFile()
    {
        if (backup)
            sqlite3_backup_finish(backup);
        backup = nullptr;
        if (target)
            sqlite3_close_v2(target);
        target = nullptr;
    }

    // Begins the copy of the current file; false after a failure.
    bool open(const TableDef& def)
    {
        const QString source = folder->filePath(def.fileName);
        if (source.isEmpty()) {
            fail(def.fileName, QStringLiteral("Il file %1 manca nella cartella dati.").arg(def.fileName));
            return false;
        }
        sqlite3* from = nullptr;
        try {
            from = handleOf(folder->connection(def.fileName));
        } catch (const DbError& e) {
            if (e.cause() == DbError::Cause::Damaged) {
                damaged << e.message();
                damagedFiles << def.fileName;
            }
            fail(def.fileName, e.message());
            return false;
        }
        if (!from) {
            fail(def.fileName, QStringLiteral("la connessione al file non è di SQLite."));
            return false;
        }
        const QString copy = QDir(staging).filePath(def.fileName);
        // Made first with the folder's group and shared mode: SQLite would
        // make it 0644 whatever the umask.
        const int made = createSharedFile(copy);
        if (made >= 0)
            ::close(made);
        const int rc = sqlite3_open_v2(QFile::encodeName(copy).constData(), &target,
                                       SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
        if (rc == SQLITE_OK)
            backup = sqlite3_backup_init(target, "main", from, "main");
        if (!backup) {
            fail(def.fileName, engineMessage(target, rc == SQLITE_OK ? sqlite3_errcode(target) : rc, copy));
            closeFile();
            return false;
        }
        restarts = 0;
        lastRemaining = -1;
        return true;
    }
};

DailyCopy::DailyCopy(DataFolder& folder, const QString& copiesRoot, const QDateTime& now, int keep)
    : d(std::make_unique<State>())
{
    d->folder = &folder;
    d->root = copiesRoot;
    d->keep = std::max(keep, 1);
    d->busyTimeout = folder.busyTimeout();
    const QString today = now.date().toString(QStringLiteral("yyyy-MM-dd"));
    for (const QString& c : copieGiornaliere(copiesRoot))
        if (c.startsWith(today))
            return; // made already today
    d->due = true;
    QDir root(copiesRoot);
    if (!makeSharedPath(copiesRoot)) {
        d->error = cannotCreate(copiesRoot);
        return;
    }
    // A copy cut short by an earlier crash is dropped.
    for (const QString& e : root.entryList({QStringLiteral(".*") + QString::fromLatin1(stagingSuffix)},
                                           QDir::Dirs | QDir::Hidden | QDir::NoDotAndDotDot))
        QDir(root.filePath(e)).removeRecursively();
    d->name = now.toString(QString::fromLatin1(copyNameFormat));
    d->staging = root.filePath(QLatin1Char('.') + d->name + QString::fromLatin1(stagingSuffix));
    if (!makeSharedPath(d->staging))
        d->error = cannotCreate(d->staging);
}

DailyCopy::~DailyCopy()
{
    d->closeFile();
    // A copy not made whole is not left behind.
    if (d->due && !d->placed && !d->staging.isEmpty())
        QDir(d->staging).removeRecursively();
}

bool DailyCopy::step()
{
    constexpr int pagesPerSlice = 256;          // about a megabyte: a few milliseconds
    constexpr int restartsBeforeOneGo = 8;       // another program keeps writing the file
    const QList<TableDef>& files = schema();
    if (!d->due || !d->error.isEmpty() || d->file >= size_t(files.size()))
        return true;
    const TableDef& def = files[qsizetype(d->file)];
    if (!d->backup && !d->open(def))
        return true;
    const int rc = sqlite3_backup_step(d->backup, d->restarts < restartsBeforeOneGo ? pagesPerSlice : -1);
    if (rc == SQLITE_OK || rc == SQLITE_BUSY || rc == SQLITE_LOCKED) {
        // Held by a post of another program: the next slice comes later.
        // A change made by another program starts the file again, which
        // shows as a step that left no fewer pages to copy.
        const int remaining = sqlite3_backup_remaining(d->backup);
        if (rc == SQLITE_OK && d->lastRemaining >= 0 && remaining >= d->lastRemaining)
            ++d->restarts;
        d->lastRemaining = remaining;
        return false;
    }
    if (rc != SQLITE_DONE) {
        const bool damagedSource = rc == SQLITE_CORRUPT || rc == SQLITE_NOTADB;
        const QString why = engineMessage(d->target, rc, damagedSource ? d->folder->filePath(def.fileName)
                                                                         : QDir(d->staging).filePath(def.fileName));
        if (damagedSource) {
            d->damaged << why;
            d->damagedFiles << def.fileName;
        }
        d->fail(def.fileName, why);
        d->closeFile();
        return true;
    }
    d->backup = sqlite3_backup_finish(d->backup) == SQLITE_OK ? nullptr : d->backup;
    if (d->backup) {
        d->fail(def.fileName, engineMessage(d->target, sqlite3_errcode(d->target), QDir(d->staging).filePath(def.fileName)));
        d->backup = nullptr;
        d->closeFile();
        return true;
    }
    if (sqlite3_close_v2(d->target) != SQLITE_OK)
        d->fail(def.fileName, engineMessage(nullptr, SQLITE_IOERR, QDir(d->staging).filePath(def.fileName)));
    d->target = nullptr;
    ++d->file;
    return !d->error.isEmpty() || d->file >= size_t(files.size());
}

QString DailyCopy::finish(QStringList* damaged)
{
    if (!d->due)
        return QString();
    try {
        if (d->error.isEmpty())
            for (const TableDef& def : schema()) {
                // Every page of the copy is read, not of the file in use: the
                // copy is that file page for page, so a damaged file shows in
                // it, and the program's posts never wait on the check.
                const QString copy = QDir(d->staging).filePath(def.fileName);
                if (const auto problem = checkTableFile(copy, def, d->busyTimeout, CheckDepth::Pages)) {
                    if (problem->kind == FolderProblem::Kind::Damaged) {
                        d->damaged << problem->message;
                        d->damagedFiles << def.fileName;
                    }
                    d->fail(def.fileName, problem->message);
                    break;
                }
            }
        if (damaged)
            *damaged << d->damaged;
        if (!d->error.isEmpty()) {
            QDir(d->staging).removeRecursively();
            return d->error;
        }
        QDir root(d->root);
        if (!root.rename(QFileInfo(d->staging).fileName(), d->name)) {
            QDir(d->staging).removeRecursively();
            return cannotCreate(root.filePath(d->name));
        }
        d->placed = true;

        // Only once the new copy is whole do the oldest go.
        QStringList rest = copieGiornaliere(d->root);
        rest.removeOne(d->name);
        for (qsizetype i = d->keep - 1; i < rest.size(); ++i)
            QDir(root.filePath(rest[i])).removeRecursively();
        return QString();
    } catch (const std::exception& e) {
        return failed(QString::fromLocal8Bit(e.what()));
    } catch (...) {
        return QStringLiteral("Copia giornaliera dei dati non riuscita.");
    }
}

QStringList DailyCopy::damagedFiles() const
{
    return d->damagedFiles;
}

QString copiaGiornaliera(DataFolder& folder, const QString& copiesRoot, const QDateTime& now, int keep,
                         QStringList* damaged)
{
    DailyCopy copy(folder, copiesRoot, now, keep);
    while (!copy.step())
        QThread::msleep(0);
    return copy.finish(damaged);
}

QString quandoCopia(const QString& copyName)
{
    const QDateTime when = QDateTime::fromString(copyName, QString::fromLatin1(copyNameFormat));
    if (!when.isValid())
        return copyName;
    return QStringLiteral("le %1 del %2").arg(when.toString(QStringLiteral("HH:mm")),
                                              when.toString(QStringLiteral("dd/MM/yyyy")));
}

namespace {

// Rows of the table `def` in the file at `path`; -1 when it cannot be read.
qint64 rowsIn(const QString& path, const TableDef& def, int busyTimeout)
{
    static QAtomicInt serial;
    const QString name = QStringLiteral("velmora-rows-%1").arg(serial.fetchAndAddRelaxed(1));
    qint64 rows = -1;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        db.setDatabaseName(path);
        db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=%1;QSQLITE_OPEN_READONLY").arg(busyTimeout));
        if (db.open()) {
            QSqlQuery q(db);
            if (q.exec(QStringLiteral("SELECT count(*) FROM %1").arg(quoted(def.name))) && q.next())
                rows = q.value(0).toLongLong();
        }
        db.close();
    }
    QSqlDatabase::removeDatabase(name);
    return rows;
}

// Moves `from` into the folder `to` under the same name: a rename, or a
// copy and a removal across disks. Never removes `from` before its copy is
// whole.
bool moveInto(const QString& from, const QString& to)
{
    const QString target = QDir(to).filePath(QFileInfo(from).fileName());
    std::error_code ec;
    std::filesystem::rename(fsPath(from), fsPath(target), ec);
    if (!ec)
        return true;
    if (!QFile::copy(from, target))
        return false;
    return QFile::remove(from);
}

// A table file of `folder` other than `except` to take the owner, group and
// mode from: its sound neighbour.
QString neighbourOf(const DataFolder& folder, const QString& except)
{
    for (const TableDef& def : schema()) {
        if (def.fileName.compare(except, Qt::CaseInsensitive) == 0)
            continue;
        const QString p = folder.filePath(def.fileName);
        if (!p.isEmpty())
            return p;
    }
    return QString();
}

// Puts the file `source` in the place of the table file `def` of `folder`.
// The new file is written beside it under a temporary name, synced, given
// the owner, group and mode of a neighbour, and renamed into place; before
// that the file it replaces, with any journal beside it, is moved into
// `aside` (made when needed): nothing of the data folder is ever deleted.
// `keptAside` receives the folder when something was moved there.
QString putBack(DataFolder& folder, const QString& source, const TableDef& def, const QString& aside,
                const QString& failed, bool* keptAside)
{
    folder.closeAll();
    const QString existing = folder.filePath(def.fileName);
    const QString target = existing.isEmpty() ? QDir(folder.path()).filePath(def.fileName) : existing;
    const QString neighbour = neighbourOf(folder, def.fileName);

    const QString tempPath = QDir(folder.path()).filePath(QStringLiteral(".%1.ripristino-%2")
                                                               .arg(def.fileName)
                                                               .arg(QCoreApplication::applicationPid()));
    QFile::remove(tempPath);
    QFile temp(tempPath);
#ifdef Q_OS_UNIX
    const int fd = createSharedFile(tempPath);
    if (fd < 0 || !temp.open(fd, QIODevice::WriteOnly, QFileDevice::AutoCloseHandle))
        return failed + QStringLiteral("la cartella dati non si può scrivere.");
#else
    if (!temp.open(QIODevice::WriteOnly))
        return failed + QStringLiteral("la cartella dati non si può scrivere.");
#endif
    auto drop = [&](const QString& why) {
        temp.close();
        QFile::remove(tempPath);
        return failed + why;
    };
    QFile in(source);
    if (!in.open(QIODevice::ReadOnly))
        return drop(QStringLiteral("la copia non si può leggere."));
    for (;;) {
        const QByteArray chunk = in.read(1 << 20);
        if (chunk.isEmpty())
            break;
        if (temp.write(chunk) != chunk.size())
            return drop(QStringLiteral("scrittura non riuscita (disco pieno?)."));
    }
    if (in.error() != QFileDevice::NoError)
        return drop(QStringLiteral("la copia non si può leggere."));
    if (!syncFile(temp))
        return drop(QStringLiteral("scrittura non riuscita (disco pieno?)."));
#ifdef Q_OS_UNIX
    // The owner (for an administrator), group and mode of the sound files
    // beside it, so that every account of the group opens it as before.
    if (!neighbour.isEmpty())
        shareLike(temp.handle(), neighbour);
#endif
    temp.close();

    // The file replaced, and a journal beside it (which would otherwise be
    // played into the restored file on its first use), are kept aside.
    QStringList sides;
    for (const QString& side : {target, target + QStringLiteral("-journal"), target + QStringLiteral("-wal"),
                                target + QStringLiteral("-shm")})
        if (QFileInfo::exists(side))
            sides << side;
    QStringList moved;
    if (!sides.isEmpty()) {
        if (!makeSharedPath(aside)) {
            QFile::remove(tempPath);
            return failed + QStringLiteral("impossibile creare la cartella \"%1\".").arg(QDir::toNativeSeparators(aside));
        }
        for (const QString& side : sides) {
            if (!moveInto(side, aside)) {
                // What was moved goes back: the folder stays as it was.
                for (const QString& m : moved)
                    moveInto(QDir(aside).filePath(QFileInfo(m).fileName()), QFileInfo(m).absolutePath());
                QFile::remove(tempPath);
                return failed + QStringLiteral("impossibile spostare il file %1 in \"%2\".")
                                    .arg(QFileInfo(side).fileName(), QDir::toNativeSeparators(aside));
            }
            moved << side;
        }
        if (keptAside)
            *keptAside = true;
    }
    std::error_code ec;
    std::filesystem::rename(fsPath(tempPath), fsPath(target), ec);
    if (ec) {
        for (const QString& m : moved)
            moveInto(QDir(aside).filePath(QFileInfo(m).fileName()), QFileInfo(m).absolutePath());
        QFile::remove(tempPath);
        return failed + QString::fromLocal8Bit(ec.message().c_str());
    }
    syncDirectory(folder.path());
    return QString();
}

QString asideFolder(const QString& copiesRoot, const char* kind, const QDateTime& now)
{
    const QDateTime when = now.isValid() ? now : QDateTime::currentDateTime();
    return QDir(copiesRoot).filePath(QString::fromLatin1(kind) + QLatin1Char('/')
                                     + when.toString(QStringLiteral("yyyy-MM-dd_HHmmss")));
}

// The sentence of a restore that failed on an exception, said from inside
// the handler that caught it: nothing of a restore ever throws to its caller.
QString restoreFailure()
{
    try {
        throw;
    } catch (const std::exception& e) {
        return QStringLiteral("Ripristino dalla copia giornaliera non riuscito: %1").arg(QString::fromLocal8Bit(e.what()));
    } catch (...) {
        return QStringLiteral("Ripristino dalla copia giornaliera non riuscito.");
    }
}

} // namespace

QList<CopiaSana> copieSane(const QString& copiesRoot, const QString& fileName, int busyTimeout)
{
    QList<CopiaSana> out;
    const TableDef* def = tableForFile(fileName);
    if (!def)
        return out;
    for (const QString& c : copieGiornaliere(copiesRoot)) {
        const QString candidate = findFile(QDir(copiesRoot).filePath(c), def->fileName);
        if (candidate.isEmpty() || checkTableFile(candidate, *def, busyTimeout))
            continue;
        out.append({c, QDateTime::fromString(c, QString::fromLatin1(copyNameFormat)), rowsIn(candidate, *def, busyTimeout)});
    }
    return out;
}

int copiaPiuRicca(const QList<CopiaSana>& copies)
{
    int best = -1;
    for (int i = 1; i < copies.size(); ++i)
        if (copies[i].righe > copies.first().righe && (best < 0 || copies[i].righe > copies[best].righe))
            best = i;
    return best;
}

QString ripristinaDaCopia(DataFolder& folder, const QString& copiesRoot, const QString& fileName, QString* fromCopy,
                          const QString& copyName, QString* keptAside, const QDateTime& now)
{
    try {
        const TableDef* def = tableForFile(fileName);
        if (!def)
            return QStringLiteral("\"%1\" non è un file della cartella dati.").arg(fileName);
        if (!folder.exists())
            return QStringLiteral("La cartella dati \"%1\" non esiste.").arg(QDir::toNativeSeparators(folder.path()));

        QString source;
        QString copy;
        for (const QString& c : copieGiornaliere(copiesRoot)) {
            if (!copyName.isEmpty() && c != copyName)
                continue;
            const QString candidate = findFile(QDir(copiesRoot).filePath(c), def->fileName);
            if (!candidate.isEmpty() && !checkTableFile(candidate, *def, folder.busyTimeout())) {
                source = candidate;
                copy = c;
                break;
            }
        }
        if (source.isEmpty())
            return copyName.isEmpty()
                       ? QStringLiteral("Nessuna copia giornaliera contiene un file %1 integro: reinstallare la cartella dati.")
                             .arg(def->fileName)
                       : QStringLiteral("La copia giornaliera \"%1\" non contiene un file %2 integro.").arg(copyName, def->fileName);

        const QString aside = asideFolder(copiesRoot, "danneggiati", now);
        bool moved = false;
        const QString failed = putBack(folder, source, *def, aside,
                                       QStringLiteral("Impossibile rimettere il file %1 dalla copia del %2: ").arg(def->fileName, copy),
                                       &moved);
        if (!failed.isEmpty())
            return failed;
        if (fromCopy)
            *fromCopy = copy;
        if (keptAside)
            *keptAside = moved ? aside : QString();
        return QString();
    } catch (...) {
        return restoreFailure();
    }
}

QString ripristinaCopia(DataFolder& folder, const QString& copiesRoot, const QString& copyName, QString* keptAside,
                        const QDateTime& now)
{
    try {
        if (!folder.exists())
            return QStringLiteral("La cartella dati \"%1\" non esiste.").arg(QDir::toNativeSeparators(folder.path()));
        if (!copieGiornaliere(copiesRoot).contains(copyName))
            return QStringLiteral("La copia giornaliera \"%1\" non c'è in \"%2\".")
                .arg(copyName, QDir::toNativeSeparators(copiesRoot));
        // Every file of the copy is read before any file of the folder is
        // touched: a copy with one damaged file puts nothing back.
        const QString dir = QDir(copiesRoot).filePath(copyName);
        QList<QPair<const TableDef*, QString>> sources;
        for (const TableDef& def : schema()) {
            const QString f = findFile(dir, def.fileName);
            if (f.isEmpty())
                return QStringLiteral("La copia giornaliera \"%1\" non contiene il file %2.").arg(copyName, def.fileName);
            if (const auto problem = checkTableFile(f, def, folder.busyTimeout()))
                return QStringLiteral("La copia giornaliera \"%1\" non si può usare: %2").arg(copyName, problem->message);
            sources.append({&def, f});
        }
        const QString aside = asideFolder(copiesRoot, "sostituiti", now);
        bool moved = false;
        for (const auto& [def, f] : sources) {
            const QString failed = putBack(folder, f, *def, aside,
                                           QStringLiteral("Impossibile rimettere il file %1 dalla copia del %2: ")
                                               .arg(def->fileName, copyName),
                                           &moved);
            if (!failed.isEmpty())
                return failed;
        }
        if (keptAside)
            *keptAside = moved ? aside : QString();
        return QString();
    } catch (...) {
        return restoreFailure();
    }
}

} // namespace velmora::store
