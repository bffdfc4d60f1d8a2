#pragma once
#include <QString>
#include <stdexcept>

#include "serverline.h"

class QSqlError;

namespace velmora::store {

// An error of the table engine: a filter it cannot read, an unknown field or
// index, a refused change, a failed SQLite statement. Its message is Italian
// and is what the user sees; the operation that raised it stops there.
//
// `cause` tells the caller what kind of trouble it is, so that start-up can
// offer to put a damaged file back, and a screen can offer to refresh after
// a change made by another user.
class DbError : public std::runtime_error
{
public:
    enum class Cause {
        Refused,     // the layer refused the operation (bad value, filter, read-only table, ...)
        Changed,     // the record was changed or deleted by another program since it was read
        ReadOnly,    // the file or the data folder cannot be written
        DiskFull,    // no room left on the disk
        Locked,      // another program holds the file
        Damaged,     // the file is not a database, or its content is damaged
        Missing,     // the file is not in the data folder
        CannotOpen,  // the file is there but cannot be opened
        InputOutput, // the disk or the network share did not answer
        Engine,      // any other failure of the engine
    };

    explicit DbError(const QString& message, Cause cause = Cause::Refused)
        : std::runtime_error(message.toStdString()), m_message(message), m_cause(cause) {}
    const QString& message() const { return m_message; }
    Cause cause() const { return m_cause; }
    // The table file the engine failed on ("FasiVal.db"), when known: a
    // damaged one is marked for the full check at the next start.
    const QString& fileName() const { return m_fileName; }
    void setFileName(const QString& fileName) { m_fileName = fileName; }

private:
    QString m_message;
    Cause m_cause;
    QString m_fileName;
};

// Turns a failure of the SQLite engine on the file `filePath` into the error
// the user reads: an Italian sentence that names the file and the cause
// (read-only folder or file, full disk, file held by another program,
// damaged file, missing file, ...), followed on a second line by the
// engine's words in Italian ("Dettaglio: il file non è un database"). The
// engine's own English text goes to the log (standard error), never to the
// user. Every failed open, statement and commit of the table layer goes
// through here.
//
// On a server (`engine` PostgreSQL) the error's code is the SQLSTATE, and
// `filePath` the name of the table file the statement worked on (the table
// of that name in the server's database): the same causes and sentences
// follow from it (a lock waited for too long is "bloccato", a refused
// privilege "accesso negato", a lost connection a failure of the network).
DbError engineError(const QSqlError& error, const QString& filePath, Engine engine = Engine::SQLite);

// Why a connection to a server could not be made, in Italian (the
// "Dettaglio:" of the message): a server that does not answer told apart
// from a password that was not given, a user or password not accepted, a
// connection the server's pg_hba.conf does not let in, a server without TLS
// while the line asks for it, a database that is not there. The driver gives
// no code for a failed connection, only libpq's words (some in the language
// of the computer or of the server), which are read here.
QString connectionFailure(const QSqlError& error);

// The Italian sentence for a missing table file of the data folder.
DbError missingFileError(const QString& fileName, const QString& folderPath);

// Thrown by an event reaction to cancel, silently, the insertion or deletion
// that raised it. The table object catches it and is left as it was before.
class Abort
{
};

} // namespace velmora::store
