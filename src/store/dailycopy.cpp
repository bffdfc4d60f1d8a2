#include "dailycopy.h"
#include "datafolder.h"
#include "errors.h"
#include "foldercheck.h"
#include "schema.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSqlDatabase>
#include <QSqlDriver>
#include <QThread>
#include <QSqlError>
#include <QTemporaryFile>

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
    QStringList damaged;
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
            if (e.cause() == DbError::Cause::Damaged)
                damaged << e.message();
            fail(def.fileName, e.message());
            return false;
        }
        if (!from) {
            fail(def.fileName, QStringLiteral("la connessione al file non è di SQLite."));
            return false;
        }
        const QString copy = QDir(staging).filePath(def.fileName);
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
    if (!QDir().mkpath(copiesRoot)) {
        d->error = cannotCreate(copiesRoot);
        return;
    }
    // A copy cut short by an earlier crash is dropped.
    for (const QString& e : root.entryList({QStringLiteral(".*") + QString::fromLatin1(stagingSuffix)},
                                           QDir::Dirs | QDir::Hidden | QDir::NoDotAndDotDot))
        QDir(root.filePath(e)).removeRecursively();
    d->name = now.toString(QString::fromLatin1(copyNameFormat));
    d->staging = root.filePath(QLatin1Char('.') + d->name + QString::fromLatin1(stagingSuffix));
    if (!QDir().mkpath(d->staging))
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
        if (damagedSource)
            d->damaged << why;
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
                    if (problem->kind == FolderProblem::Kind::Damaged)
                        d->damaged << problem->message;
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

QString copiaGiornaliera(DataFolder& folder, const QString& copiesRoot, const QDateTime& now, int keep,
                         QStringList* damaged)
{
    DailyCopy copy(folder, copiesRoot, now, keep);
    while (!copy.step())
        QThread::msleep(0);
    return copy.finish(damaged);
}

QString ripristinaDaCopia(DataFolder& folder, const QString& copiesRoot, const QString& fileName, QString* fromCopy)
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
            const QString candidate = findFile(QDir(copiesRoot).filePath(c), def->fileName);
            if (!candidate.isEmpty() && !checkTableFile(candidate, *def, folder.busyTimeout())) {
                source = candidate;
                copy = c;
                break;
            }
        }
        if (source.isEmpty())
            return QStringLiteral("Nessuna copia giornaliera contiene un file %1 integro: reinstallare la cartella dati.")
                .arg(def->fileName);

        // Nothing of this program may keep the damaged file open while it
        // is replaced.
        folder.closeAll();
        const QString existing = folder.filePath(def->fileName);
        const QString target = existing.isEmpty() ? QDir(folder.path()).filePath(def->fileName) : existing;
        const QString failed = QStringLiteral("Impossibile rimettere il file %1 dalla copia del %2: ").arg(def->fileName, copy);

        // The copy, written beside the target under a temporary name and
        // synced to disk.
        QTemporaryFile temp(QDir(folder.path()).filePath(QLatin1Char('.') + def->fileName + QStringLiteral(".ripristino-XXXXXX")));
        temp.setAutoRemove(true);
        QFile in(source);
        if (!temp.open() || !in.open(QIODevice::ReadOnly))
            return failed + QStringLiteral("la cartella dati non si può scrivere.");
        for (;;) {
            const QByteArray chunk = in.read(1 << 20);
            if (chunk.isEmpty())
                break;
            if (temp.write(chunk) != chunk.size())
                return failed + QStringLiteral("scrittura non riuscita (disco pieno?).");
        }
        if (in.error() != QFileDevice::NoError)
            return failed + QStringLiteral("la copia non si può leggere.");
        if (!syncFile(temp))
            return failed + QStringLiteral("scrittura non riuscita (disco pieno?).");
        temp.close();

        // A journal left beside the damaged file would be played into the
        // restored one on its first use: it goes first.
        for (const char* suffix : {"-journal", "-wal", "-shm"}) {
            const QString side = target + QString::fromLatin1(suffix);
            if (QFileInfo::exists(side) && !QFile::remove(side))
                return failed + QStringLiteral("impossibile togliere il file %1.").arg(QFileInfo(side).fileName());
        }
        std::error_code ec;
        std::filesystem::rename(fsPath(temp.fileName()), fsPath(target), ec);
        if (ec)
            return failed + QString::fromLocal8Bit(ec.message().c_str());
        temp.setAutoRemove(false); // it is the table file now
        syncDirectory(folder.path());
        if (fromCopy)
            *fromCopy = copy;
        return QString();
    } catch (const std::exception& e) {
        return QStringLiteral("Ripristino dalla copia giornaliera non riuscito: %1").arg(QString::fromLocal8Bit(e.what()));
    } catch (...) {
        return QStringLiteral("Ripristino dalla copia giornaliera non riuscito.");
    }
}

} // namespace velmora::store
