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

struct ServerCause
{
    DbError::Cause cause;
    QString message; // %1 is the file
    QString detail;
};

// The SQLSTATE of a server's error read as the cause a user can meet, in the
// words the same cause has on one computer. Classes first, then the codes
// that say more than their class.
ServerCause serverCause(const QString& state)
{
    using C = DbError::Cause;
    const QString cls = state.left(2);
    const QString locked = QStringLiteral("Il file %1 è bloccato da un altro programma. Riprovare tra qualche istante.");
    if (state == QLatin1String("55P03") || state == QLatin1String("40P01") || state == QLatin1String("57014")
        || state == QLatin1String("40001"))
        return {C::Locked, locked, QStringLiteral("il database è bloccato")};
    if (state == QLatin1String("42501"))
        return {C::ReadOnly, QStringLiteral("Accesso negato al file %1."), QStringLiteral("accesso negato")};
    if (state == QLatin1String("25006"))
        return {C::ReadOnly, QStringLiteral("Impossibile salvare in %1: il database del server è in sola lettura."),
                QStringLiteral("tentativo di scrivere in un database in sola lettura")};
    if (cls == QLatin1String("28"))
        return {C::CannotOpen, QStringLiteral("Impossibile collegarsi al server per il file %1: nome utente o password non accettati."),
                QStringLiteral("accesso negato")};
    if (cls == QLatin1String("08") || state == QLatin1String("57P01") || state == QLatin1String("57P02")
        || state == QLatin1String("57P03"))
        return {C::InputOutput,
                QStringLiteral("Errore di comunicazione con il server sul file %1: il server o la rete non risponde."),
                QStringLiteral("il collegamento con il server si è interrotto")};
    if (state == QLatin1String("53100"))
        return {C::DiskFull, QStringLiteral("Impossibile salvare in %1: il disco è pieno."),
                QStringLiteral("il database o il disco è pieno")};
    if (state == QLatin1String("53200"))
        return {C::Engine, QStringLiteral("Memoria insufficiente per lavorare sul file %1."), QStringLiteral("memoria esaurita")};
    if (state == QLatin1String("42P01") || state == QLatin1String("42703"))
        return {C::Damaged, QStringLiteral("Il file %1 della cartella dati non ha la struttura che il programma si aspetta."),
                state == QLatin1String("42P01") ? QStringLiteral("manca una tabella") : QStringLiteral("manca un campo")};
    if (state == QLatin1String("XX001") || state == QLatin1String("XX002"))
        return {C::Damaged, QStringLiteral("Il file %1 della cartella dati è danneggiato: il suo contenuto non è integro."),
                QStringLiteral("l'immagine del database sul disco è danneggiata")};
    if (state == QLatin1String("22001"))
        return {C::Engine, QStringLiteral("Errore del database sul file %1."), QStringLiteral("un testo è più lungo del suo campo")};
    if (state == QLatin1String("23505"))
        return {C::Engine, QStringLiteral("Errore del database sul file %1."), QStringLiteral("un valore è già presente in un campo che non ammette doppioni")};
    if (cls == QLatin1String("23"))
        return {C::Engine, QStringLiteral("Errore del database sul file %1."), QStringLiteral("un vincolo del database non è rispettato")};
    if (cls == QLatin1String("58"))
        return {C::InputOutput, QStringLiteral("Errore di lettura o di scrittura sul file %1: il disco del server non risponde."),
                QStringLiteral("errore di lettura o di scrittura sul disco")};
    if (state.isEmpty())
        return {C::CannotOpen, QStringLiteral("Impossibile collegarsi al server per il file %1."),
                QStringLiteral("il server non risponde o ha rifiutato il collegamento")};
    return {C::Engine, QStringLiteral("Errore del database sul file %1."),
            QStringLiteral("errore del motore del database (codice %1)").arg(state)};
}

DbError serverError(const QSqlError& error, const QString& fileName)
{
    const QString detail = error.databaseText().isEmpty() ? error.text().trimmed() : error.databaseText().trimmed();
    const QString state = error.nativeErrorCode().trimmed();
    const QString file = fileName.isEmpty() ? QStringLiteral("(sconosciuto)") : fileName;
    const ServerCause c = serverCause(state);
    QString message = c.message.arg(file);
    if (!detail.isEmpty() || !state.isEmpty()) {
        qWarning("Velmora: %s: %s (SQLSTATE %s)", qUtf8Printable(file), qUtf8Printable(detail), qUtf8Printable(state));
        message += QStringLiteral("\nDettaglio: ") + c.detail;
    }
    DbError e(message, c.cause);
    if (!fileName.isEmpty())
        e.setFileName(file);
    return e;
}

} // namespace

QString connectionFailure(const QSqlError& error)
{
    const QString text = error.databaseText() + QLatin1Char('\n') + error.driverText();
    const auto has = [&](const char* words) { return text.contains(QLatin1String(words), Qt::CaseInsensitive); };
    // libpq's own words for these are English in every language.
    if (has("no password supplied"))
        return QStringLiteral("manca la password: va scritta nella riga di collegamento (password=...) oppure nel file "
                              ".pgpass della cartella personale dell'utente, leggibile solo da lui (chmod 600)");
    if (error.nativeErrorCode().startsWith(QLatin1String("28")) || has("authentication") || has("autenticazione"))
        return QStringLiteral("nome utente o password non accettati");
    if (has("pg_hba.conf"))
        return QStringLiteral("il server non accetta questo collegamento: il suo file pg_hba.conf non ammette "
                              "questo computer, utente o database, o lo ammette solo con un collegamento cifrato "
                              "(sslmode=require nella riga)");
    if (has("server does not support SSL") || has("il server non supporta SSL"))
        return QStringLiteral("il server non accetta collegamenti cifrati (TLS), che la riga chiede con sslmode");
    if (has("database \"") && (has("does not exist") || has("non esiste")))
        return QStringLiteral("il database indicato dalla riga (dbname=...) non esiste sul server");
    return QStringLiteral("il server non risponde o ha rifiutato il collegamento");
}

DbError engineError(const QSqlError& error, const QString& filePath, Engine engine)
{
    if (engine == Engine::PostgreSQL)
        return serverError(error, filePath);
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
