#include "foldercheck.h"
#include "datafolder.h"
#include "errors.h"
#include "schema.h"
#include "sharedfiles.h"

#include <QAtomicInt>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMutex>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryFile>

#include <optional>

namespace velmora::store {

namespace {

QAtomicInt s_serial;

const char* const restoreAdvice =
    "Rimettere il file da una copia giornaliera o reinstallare la cartella dati.";

QString withDetail(const QString& message, const QString& detail)
{
    return detail.isEmpty() ? message : message + QStringLiteral("\nDettaglio: ") + detail;
}

FolderProblem damaged(const QString& fileName, const QString& detail)
{
    return {FolderProblem::Kind::Damaged, fileName,
            withDetail(QStringLiteral("Il file %1 della cartella dati è danneggiato. %2")
                           .arg(fileName, QString::fromUtf8(restoreAdvice)),
                       detail)};
}

FolderProblem missing(const QString& fileName)
{
    return {FolderProblem::Kind::FileMissing, fileName,
            QStringLiteral("Il file %1 manca nella cartella dati. %2").arg(fileName, QString::fromUtf8(restoreAdvice))};
}

// A failure of the engine while reading a file, as a problem of the folder.
FolderProblem fromEngine(const QString& fileName, const DbError& e)
{
    const QString detail = e.message().section(QStringLiteral("\nDettaglio: "), 1);
    switch (e.cause()) {
    case DbError::Cause::Damaged:
        return damaged(fileName, detail);
    case DbError::Cause::Missing:
        return missing(fileName);
    case DbError::Cause::ReadOnly:
        return {FolderProblem::Kind::FileReadOnly, fileName, e.message()};
    default:
        return {FolderProblem::Kind::Unreadable, fileName, e.message()};
    }
}

// Runs `sql` and gives column `col` of every row; throws DbError naming the
// file, also for a damaged page met while stepping through the rows.
QStringList column(QSqlDatabase& db, const QString& sql, int col = 0)
{
    QSqlQuery q(db);
    q.setForwardOnly(true);
    if (!q.exec(sql)) {
        const DbError e = engineError(q.lastError(), db.databaseName());
        q.finish();
        throw e;
    }
    QStringList out;
    while (q.next())
        out << q.value(col).toString();
    if (q.lastError().isValid()) {
        const DbError e = engineError(q.lastError(), db.databaseName());
        q.finish();
        throw e;
    }
    q.finish();
    return out;
}

} // namespace

std::optional<FolderProblem> checkTableFile(const QString& path, const TableDef& def, int busyTimeout, CheckDepth depth)
{
    const QString fileName = def.fileName;
    const QFileInfo info(path);
    if (!info.exists())
        return missing(fileName);
    if (!info.isFile())
        return damaged(fileName, QStringLiteral("al posto del file c'è una cartella"));
    // SQLite takes an empty file for an empty database: for a table file it
    // is damage (a copy cut short), not a folder to be laid again.
    if (info.size() == 0)
        return damaged(fileName, QStringLiteral("il file è vuoto"));

    const QString name = QStringLiteral("velmora-check-%1").arg(s_serial.fetchAndAddRelaxed(1));
    std::optional<FolderProblem> problem;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        db.setDatabaseName(path);
        db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=%1").arg(busyTimeout));
        try {
            if (!db.open())
                throw engineError(db.lastError(), path);
            // Reading the schema reads the file's first page: a file that is
            // not a database fails here. The engine's check reads every page.
            const QStringList verdict = depth == CheckDepth::Pages ? column(db, QStringLiteral("PRAGMA quick_check"))
                                                                   : QStringList{QStringLiteral("ok")};
            if (verdict != QStringList{QStringLiteral("ok")}) {
                // The engine's English findings go to the log; the user reads
                // how many there are.
                for (const QString& v : verdict.mid(0, 20))
                    qWarning("Velmora: %s: %s", qUtf8Printable(path), qUtf8Printable(v));
                problem = damaged(fileName, verdict.size() == 1
                                                ? QStringLiteral("il controllo delle pagine ha trovato un errore")
                                                : QStringLiteral("il controllo delle pagine ha trovato %1 errori")
                                                      .arg(verdict.size() >= 100 ? QStringLiteral("almeno 100")
                                                                                 : QString::number(verdict.size())));
            } else {
                const QStringList columns = column(db, QStringLiteral("PRAGMA table_info(%1)").arg(quoted(def.name)), 1);
                if (columns.isEmpty()) {
                    problem = damaged(fileName, QStringLiteral("manca la tabella %1").arg(def.name));
                } else {
                    // A file of an older schema version lacks the fields
                    // later steps add: the upgrade adds them, that is no damage.
                    const QStringList recorded = column(db, QStringLiteral("PRAGMA user_version"));
                    const int version = recorded.isEmpty() ? 0 : recorded.constFirst().toInt();
                    for (const FieldDef& f : fieldsAt(def, version)) {
                        if (columns.contains(f.name, Qt::CaseInsensitive))
                            continue;
                        problem = damaged(fileName, QStringLiteral("nella tabella %1 manca il campo %2").arg(def.name, f.name));
                        break;
                    }
                }
            }
        } catch (const DbError& e) {
            problem = fromEngine(fileName, e);
        }
        db.close();
    }
    QSqlDatabase::removeDatabase(name);
    return problem;
}

QList<FolderProblem> checkDataFolder(const DataFolder& folder, CheckDepth depth)
{
    QList<FolderProblem> problems;
    const QString shown = QDir::toNativeSeparators(folder.path());
    if (!folder.exists()) {
        problems.append({FolderProblem::Kind::FolderMissing, QString(),
                         QStringLiteral("La cartella dati \"%1\" non esiste. Reinstallare la cartella dati o "
                                        "rimetterla da una copia giornaliera.")
                             .arg(shown)});
        return problems;
    }
    // Only writing tells whether the folder can be written (network shares
    // and access lists answer permission questions unreliably). SQLite needs
    // it for the journal of every change.
    {
        QTemporaryFile probe(QDir(folder.path()).filePath(QStringLiteral(".velmora-prova-XXXXXX")));
        if (!probe.open())
            problems.append({FolderProblem::Kind::FolderReadOnly, QString(),
                             QStringLiteral("La cartella dati \"%1\" è in sola lettura: il programma non potrà salvare "
                                            "nulla. Chiedere all'amministratore il permesso di scrittura sulla cartella.")
                                 .arg(shown)});
    }
    for (const TableDef& def : schema()) {
        const QString path = folder.filePath(def.fileName);
        if (path.isEmpty()) {
            problems.append(missing(def.fileName));
            continue;
        }
        // A file this account may not read and write (one made by another
        // account without the group's permissions) is no damage: it is said
        // with its owner and the command that opens it to the group.
        if (QFileInfo(path).isFile() && (!QFileInfo(path).isReadable() || !QFileInfo(path).isWritable())) {
            problems.append({FolderProblem::Kind::FileReadOnly, def.fileName,
                             QStringLiteral("Il file %1 della cartella dati non si può %2 da questo utente (%3): "
                                            "appartiene all'utente %4, gruppo \"%5\", con i permessi %6.")
                                 .arg(def.fileName,
                                      QFileInfo(path).isReadable() ? QStringLiteral("scrivere")
                                                                   : QStringLiteral("aprire"),
                                      currentAccount(), ownerOf(path), groupOf(path), permissionText(path))});
            continue;
        }
        if (std::optional<FolderProblem> p = checkTableFile(path, def, folder.busyTimeout(), depth)) {
            problems.append(*p);
            continue;
        }
        // Asked of the file system, without opening the file: on POSIX
        // systems closing any handle on a database file drops the locks
        // SQLite holds on it in this process.
        if (!QFileInfo(path).isWritable())
            problems.append({FolderProblem::Kind::FileReadOnly, def.fileName,
                             QStringLiteral("Il file %1 della cartella dati è in sola lettura: le modifiche non potranno "
                                            "essere salvate. Togliere la sola lettura dal file o chiedere "
                                            "all'amministratore il permesso di scrittura.")
                                 .arg(def.fileName)});
    }
    return problems;
}

const char* const markFileName = "velmora.verifica";

namespace {

QMutex s_markMutex; // the daily copy marks from a thread of its own

QString markPath(const QString& folderPath)
{
    return QDir(folderPath).filePath(QString::fromLatin1(markFileName));
}

QStringList readMark(const QString& folderPath)
{
    QFile in(markPath(folderPath));
    if (!in.open(QIODevice::ReadOnly | QIODevice::Text))
        return {};
    QStringList out;
    for (const QString& line : QString::fromUtf8(in.readAll()).split(QLatin1Char('\n')))
        if (!line.trimmed().isEmpty() && !out.contains(line.trimmed(), Qt::CaseInsensitive))
            out << line.trimmed();
    return out;
}

// Writes the mark whole (aside, then renamed), or removes it when empty.
bool writeMark(const QString& folderPath, const QStringList& files)
{
    const QString path = markPath(folderPath);
    if (files.isEmpty())
        return !QFileInfo::exists(path) || QFile::remove(path);
    const QString temp = path + QStringLiteral(".nuovo");
    QFile::remove(temp);
    QFile out(temp);
#ifdef Q_OS_UNIX
    const int fd = createSharedFile(temp);
    if (fd < 0 || !out.open(fd, QIODevice::WriteOnly, QFileDevice::AutoCloseHandle))
        return false;
#else
    if (!out.open(QIODevice::WriteOnly))
        return false;
#endif
    const QByteArray bytes = (files.join(QLatin1Char('\n')) + QLatin1Char('\n')).toUtf8();
    const bool ok = out.write(bytes) == bytes.size() && out.flush();
    out.close();
    if (!ok) {
        QFile::remove(temp);
        return false;
    }
    QFile::remove(path);
    return QFile::rename(temp, path);
}

} // namespace

bool segnaDaVerificare(const QString& folderPath, const QString& fileName)
{
    QMutexLocker lock(&s_markMutex);
    QStringList files = readMark(folderPath);
    if (files.contains(fileName, Qt::CaseInsensitive))
        return true;
    files << fileName;
    return writeMark(folderPath, files);
}

QStringList daVerificare(const QString& folderPath)
{
    QMutexLocker lock(&s_markMutex);
    return readMark(folderPath);
}

void verificato(const QString& folderPath, const QString& fileName)
{
    QMutexLocker lock(&s_markMutex);
    QStringList files = readMark(folderPath);
    files.removeIf([&](const QString& f) { return f.compare(fileName, Qt::CaseInsensitive) == 0; });
    writeMark(folderPath, files);
}

} // namespace velmora::store
