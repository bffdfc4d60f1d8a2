#include "errors.h"

#include <QDir>
#include <QFileInfo>
#include <QSqlError>

namespace velmora::store {

namespace {

// SQLite's primary result codes that a user can meet.
enum : int {
    sqliteError = 1,
    sqlitePerm = 3,
    sqliteBusy = 5,
    sqliteLocked = 6,
    sqliteNoMem = 7,
    sqliteReadOnly = 8,
    sqliteIoErr = 10,
    sqliteCorrupt = 11,
    sqliteFull = 13,
    sqliteCantOpen = 14,
    sqliteAuth = 23,
    sqliteNotADb = 26,
};

// Extended codes of SQLITE_READONLY that say more than the primary one.
enum : int {
    readOnlyDbMoved = sqliteReadOnly | (4 << 8),   // the file was moved or deleted while open
    readOnlyDirectory = sqliteReadOnly | (6 << 8), // the journal cannot be made in the folder
};

bool folderWritable(const QString& filePath)
{
    const QFileInfo dir(QFileInfo(filePath).absolutePath());
    return dir.isDir() && dir.isWritable();
}

// Some drivers leave the code out; the engine's English text still says it.
int codeFromText(const QString& text)
{
    static const struct { const char* text; int code; } known[] = {
        {"readonly database", sqliteReadOnly},
        {"database or disk is full", sqliteFull},
        {"database is locked", sqliteBusy},
        {"database table is locked", sqliteLocked},
        {"file is not a database", sqliteNotADb},
        {"disk image is malformed", sqliteCorrupt},
        {"unable to open database file", sqliteCantOpen},
        {"disk i/o error", sqliteIoErr},
        {"out of memory", sqliteNoMem},
    };
    for (const auto& k : known)
        if (text.contains(QLatin1String(k.text), Qt::CaseInsensitive))
            return k.code;
    return 0;
}

// The engine's words in Italian, for the causes a user can meet; the
// English text itself goes to the log.
QString italianDetail(int code, const QString& english)
{
    switch (code & 0xff) {
    case sqliteReadOnly:
        return QStringLiteral("tentativo di scrivere in un database in sola lettura");
    case sqliteFull:
        return QStringLiteral("il database o il disco è pieno");
    case sqliteBusy:
        return QStringLiteral("il database è bloccato");
    case sqliteLocked:
        return QStringLiteral("una tabella del database è bloccata");
    case sqliteNotADb:
        return QStringLiteral("il file non è un database");
    case sqliteCorrupt:
        return QStringLiteral("l'immagine del database sul disco è danneggiata");
    case sqliteCantOpen:
        return QStringLiteral("impossibile aprire il file del database");
    case sqliteIoErr:
        return QStringLiteral("errore di lettura o di scrittura sul disco");
    case sqliteNoMem:
        return QStringLiteral("memoria esaurita");
    case sqlitePerm:
    case sqliteAuth:
        return QStringLiteral("accesso negato");
    case sqliteError:
        if (english.startsWith(QLatin1String("no such table"), Qt::CaseInsensitive))
            return QStringLiteral("manca una tabella");
        if (english.startsWith(QLatin1String("no such column"), Qt::CaseInsensitive))
            return QStringLiteral("manca un campo");
        [[fallthrough]];
    default:
        return code ? QStringLiteral("errore del motore del database (codice %1)").arg(code)
                    : QStringLiteral("errore del motore del database");
    }
}

} // namespace

DbError engineError(const QSqlError& error, const QString& filePath)
{
    const QString detail = error.databaseText().isEmpty() ? error.text().trimmed() : error.databaseText().trimmed();
    bool ok = false;
    int code = error.nativeErrorCode().toInt(&ok);
    if (!ok || code == 0)
        code = codeFromText(detail);
    const int primary = code & 0xff;
    const QString file = filePath.isEmpty() ? QStringLiteral("(sconosciuto)") : QFileInfo(filePath).fileName();

    QString message;
    DbError::Cause cause = DbError::Cause::Engine;
    switch (primary) {
    case sqliteReadOnly:
        if (code == readOnlyDbMoved) {
            cause = DbError::Cause::Missing;
            message = QStringLiteral("Impossibile salvare in %1: il file è stato spostato o cancellato mentre il programma lo usava.").arg(file);
        } else {
            cause = DbError::Cause::ReadOnly;
            // A plain code does not say which of the two: the folder is asked.
            const bool folder = code == readOnlyDirectory || !folderWritable(filePath);
            message = folder ? QStringLiteral("Impossibile salvare in %1: la cartella dati è in sola lettura.").arg(file)
                             : QStringLiteral("Impossibile salvare in %1: il file è in sola lettura.").arg(file);
        }
        break;
    case sqliteFull:
        cause = DbError::Cause::DiskFull;
        message = QStringLiteral("Impossibile salvare in %1: il disco è pieno.").arg(file);
        break;
    case sqliteBusy:
    case sqliteLocked:
        cause = DbError::Cause::Locked;
        message = QStringLiteral("Il file %1 è bloccato da un altro programma. Riprovare tra qualche istante.").arg(file);
        break;
    case sqliteNotADb:
        cause = DbError::Cause::Damaged;
        message = QStringLiteral("Il file %1 della cartella dati è danneggiato: non è un database leggibile.").arg(file);
        break;
    case sqliteCorrupt:
        cause = DbError::Cause::Damaged;
        message = QStringLiteral("Il file %1 della cartella dati è danneggiato: il suo contenuto non è integro.").arg(file);
        break;
    case sqliteCantOpen:
        if (!filePath.isEmpty() && !folderWritable(filePath)) {
            // Writing needs a journal beside the file, and a file that is
            // not there yet must be made: a folder that cannot be written
            // refuses both this way on some systems.
            cause = DbError::Cause::ReadOnly;
            message = QStringLiteral("Impossibile salvare in %1: la cartella dati è in sola lettura.").arg(file);
        } else if (!filePath.isEmpty() && !QFileInfo::exists(filePath)) {
            cause = DbError::Cause::Missing;
            message = QStringLiteral("Il file %1 manca nella cartella dati.").arg(file);
        } else {
            cause = DbError::Cause::CannotOpen;
            message = QStringLiteral("Impossibile aprire il file %1 della cartella dati.").arg(file);
        }
        break;
    case sqliteIoErr:
        cause = DbError::Cause::InputOutput;
        message = QStringLiteral("Errore di lettura o di scrittura sul file %1: il disco o la cartella di rete non risponde.").arg(file);
        break;
    case sqliteNoMem:
        message = QStringLiteral("Memoria insufficiente per lavorare sul file %1.").arg(file);
        break;
    case sqlitePerm:
    case sqliteAuth:
        cause = DbError::Cause::ReadOnly;
        message = QStringLiteral("Accesso negato al file %1.").arg(file);
        break;
    case sqliteError:
        if (detail.startsWith(QLatin1String("no such table"), Qt::CaseInsensitive)
            || detail.startsWith(QLatin1String("no such column"), Qt::CaseInsensitive)) {
            cause = DbError::Cause::Damaged;
            message = QStringLiteral("Il file %1 della cartella dati non ha la struttura che il programma si aspetta.").arg(file);
            break;
        }
        [[fallthrough]];
    default:
        message = QStringLiteral("Errore del database sul file %1.").arg(file);
        break;
    }
    if (!detail.isEmpty()) {
        qWarning("Velmora: %s: %s (codice SQLite %d)", qUtf8Printable(filePath.isEmpty() ? file : filePath),
                 qUtf8Printable(detail), code);
        message += QStringLiteral("\nDettaglio: ") + italianDetail(code, detail);
    }
    DbError e(message, cause);
    if (!filePath.isEmpty())
        e.setFileName(file);
    return e;
}

DbError missingFileError(const QString& fileName, const QString& folderPath)
{
    return DbError(QStringLiteral("Il file %1 manca nella cartella dati \"%2\".")
                       .arg(fileName, QDir::toNativeSeparators(folderPath)),
                   DbError::Cause::Missing);
}

} // namespace velmora::store
