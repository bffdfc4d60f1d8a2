#include "dailycopy.h"
#include "datafolder.h"
#include "errors.h"
#include "foldercheck.h"
#include "schema.h"

#include <QAtomicInt>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryFile>

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

QAtomicInt s_serial;

const char* const copyNameFormat = "yyyy-MM-dd_HHmm";
const char* const stagingSuffix = ".parziale";

bool isCopyName(const QString& name)
{
    static const QRegularExpression pattern(QStringLiteral("^\\d{4}-\\d{2}-\\d{2}_\\d{4}$"));
    return pattern.match(name).hasMatch()
        && QDateTime::fromString(name, QString::fromLatin1(copyNameFormat)).isValid();
}

// Writes a consistent snapshot of the database `source` into `target` (a new
// file) with VACUUM INTO, through a connection of its own.
QString vacuumInto(const QString& source, const QString& target, int busyTimeout)
{
    const QString name = QStringLiteral("velmora-copy-%1").arg(s_serial.fetchAndAddRelaxed(1));
    QString error;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        db.setDatabaseName(source);
        db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=%1").arg(busyTimeout));
        if (!db.open()) {
            error = engineError(db.lastError(), source).message();
        } else {
            QSqlQuery q(db);
            if (!q.prepare(QStringLiteral("VACUUM INTO ?"))) {
                error = engineError(q.lastError(), source).message();
            } else {
                q.addBindValue(QDir::toNativeSeparators(target));
                if (!q.exec())
                    error = engineError(q.lastError(), source).message();
            }
            q.finish();
        }
        db.close();
    }
    QSqlDatabase::removeDatabase(name);
    return error;
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

QString copiaGiornaliera(const DataFolder& folder, const QString& copiesRoot, const QDateTime& now, int keep)
{
    try {
        QDir root(copiesRoot);
        const QString today = now.date().toString(QStringLiteral("yyyy-MM-dd"));
        const QStringList copies = copieGiornaliere(copiesRoot);
        for (const QString& c : copies)
            if (c.startsWith(today))
                return QString();

        if (!QDir().mkpath(copiesRoot))
            return QStringLiteral("Copia giornaliera dei dati non riuscita: impossibile creare la cartella \"%1\".")
                .arg(QDir::toNativeSeparators(copiesRoot));
        // A copy cut short by an earlier crash is dropped.
        for (const QString& e : root.entryList({QStringLiteral(".*") + QString::fromLatin1(stagingSuffix)},
                                               QDir::Dirs | QDir::Hidden | QDir::NoDotAndDotDot))
            QDir(root.filePath(e)).removeRecursively();

        const QString name = now.toString(QString::fromLatin1(copyNameFormat));
        const QString staging = root.filePath(QLatin1Char('.') + name + QString::fromLatin1(stagingSuffix));
        if (!QDir().mkpath(staging))
            return QStringLiteral("Copia giornaliera dei dati non riuscita: impossibile creare la cartella \"%1\".")
                .arg(QDir::toNativeSeparators(staging));
        for (const TableDef& def : schema()) {
            const QString source = folder.filePath(def.fileName);
            QString error;
            if (source.isEmpty())
                error = QStringLiteral("Il file %1 manca nella cartella dati.").arg(def.fileName);
            else
                error = vacuumInto(source, QDir(staging).filePath(def.fileName), folder.busyTimeout());
            if (!error.isEmpty()) {
                QDir(staging).removeRecursively();
                return QStringLiteral("Copia giornaliera dei dati non riuscita (file %1): %2").arg(def.fileName, error);
            }
        }
        if (!root.rename(QFileInfo(staging).fileName(), name)) {
            QDir(staging).removeRecursively();
            return QStringLiteral("Copia giornaliera dei dati non riuscita: impossibile creare la cartella \"%1\".")
                .arg(QDir::toNativeSeparators(root.filePath(name)));
        }

        // Only once the new copy is whole do the oldest go.
        QStringList rest = copieGiornaliere(copiesRoot);
        rest.removeOne(name);
        for (qsizetype i = std::max(keep, 1) - 1; i < rest.size(); ++i)
            QDir(root.filePath(rest[i])).removeRecursively();
        return QString();
    } catch (const std::exception& e) {
        return QStringLiteral("Copia giornaliera dei dati non riuscita: %1").arg(QString::fromLocal8Bit(e.what()));
    } catch (...) {
        return QStringLiteral("Copia giornaliera dei dati non riuscita.");
    }
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
