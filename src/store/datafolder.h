#pragma once
#include <QDateTime>
#include <QHash>
#include <QList>
#include <QPointer>
#include <QSet>
#include <QSqlQuery>
#include <QSqlDatabase>
#include <QString>
#include <QVariant>

#include "errors.h"
#include "serverline.h"

#include <functional>
#include <memory>

class QSqlError;

namespace velmora::store {

class Table;

// The folder that holds the table files. Files are found by name without
// regard to case. Every file gets one SQLite connection, opened on first use
// and shared by all table objects and copy cursors over that file, so that a
// copy cursor costs no connection of its own and never waits on a lock held
// by its twin.
//
// On a server (useServer), each file of the folder is the table of the same
// name in one database, and the program holds ONE connection for all of
// them: connection() gives it whatever the file. The folder itself then only
// holds the line that says where the server is.
class DataFolder
{
public:
    explicit DataFolder(const QString& path);
    // The same folder with its tables on the server of `line`.
    DataFolder(const QString& path, const ServerLine& line);
    ~DataFolder();
    DataFolder(const DataFolder&) = delete;
    DataFolder& operator=(const DataFolder&) = delete;

    QString path() const { return m_path; }
    bool exists() const;

    // The path of the file spelled `fileName` without regard to case, or an
    // empty string when the folder holds no such file.
    QString filePath(const QString& fileName) const;

    // The connection to a file of the folder; throws DbError when the file is
    // missing or cannot be opened (the message names the file and the cause).
    QSqlDatabase connection(const QString& fileName);

    Engine engine() const { return m_engine; }
    bool isServer() const { return m_engine == Engine::PostgreSQL; }
    const ServerLine& serverLine() const { return m_line; }

    // A failure of the engine on `fileName` told in Italian, naming the file
    // (the table on a server) and the cause.
    DbError error(const QSqlError& error, const QString& fileName) const;

    // On a server, a field kept per program instead of in the table (the
    // selection marks, see FieldDef::perProgram): this program's marks of
    // table `tableName` live in a temporary table of its connection,
    // `markTable(tableName)` ("Id", "Segno"), and the value it gave every
    // record at once (a login clears the marks) in the one row of
    // `markTable(tableName + "_tutti")`. Other programs see neither.
    QString markTable(const QString& tableName) const;
    // This program's marks are kept in memory as well, as they stand in its
    // mark tables, so that a new connection (a server restart) gets them
    // back: the table layer tells each change once it is committed. `ids`
    // got `value`; every record at once got `value` (the marks by Id go).
    void rememberMarks(const QString& tableName, const QList<qint64>& ids, const QVariant& value);
    void rememberAllMarks(const QString& tableName, const QVariant& value);

    // How long a statement waits for a file held by another program before
    // it fails with "bloccato da un altro programma" (on a server: for a
    // record another program is saving). Applies to connections opened
    // afterwards; 5 seconds unless set.
    void setBusyTimeout(int milliseconds) { m_busyTimeout = milliseconds; }
    int busyTimeout() const { return m_busyTimeout; }

    // The present moment as the program sees it, used where the layer needs
    // today's date (two-digit years typed into a date). The program sets its
    // own clock; tests set a fixed one. Unset, it is the system clock.
    void setClock(std::function<QDateTime()> clock) { m_clock = std::move(clock); }
    QDate today() const;

    // A prepared statement on the connection of a file, kept for the life of
    // the folder and shared by every cursor over that file. Callers execute,
    // read and finish it before running any code of their caller.
    QSqlQuery& statement(const QString& fileName, const QString& sql);

    // Whether a table object has found every field it needs in the file.
    bool isChecked(const QString& fileName) const { return m_checked.contains(fileName.toLower()); }
    void setChecked(const QString& fileName) { m_checked.insert(fileName.toLower()); }

    // How many writes table objects of this folder have made to a file: a
    // table whose rows were read at the same count holds what this program
    // last stored. On one computer, writes of other programs are not
    // counted; on a server, each change another program announces counts.
    quint64 writes(const QString& fileName) const { return m_writes.value(fileName.toLower()); }
    void noteWrite(const QString& fileName) { ++m_writes[fileName.toLower()]; }

    // Closes every connection (before files are copied or removed). Table
    // objects over this folder must be closed first.
    void closeAll();

    // On a server, the changes other programs make arrive: every table
    // announces its changes (see notifyStatements), the folder listens on
    // the channel of each table an open table object is over, and tells
    // those table objects (Table::othersChanged), which read their rows
    // again as soon as they are not being edited. What this program's own
    // connection announced is not told. Table objects watch while open.
    void watch(Table* table);
    void unwatch(Table* table);

    // On a server, whether `error` means the connection is gone (the server
    // restarted, the network dropped it): its SQLSTATE says so, or, when it
    // has none, one more statement fails the same way.
    bool connectionLost(const QSqlError& error);
    // Opens the server connection again after it was lost: its settings,
    // this program's mark tables laid again with the marks it had set, the
    // channels it listened to, and every kept statement prepared again in
    // place (references callers hold stay valid). What other programs
    // announced meanwhile was not heard: every file counts as written and
    // the watched tables read their rows again. Throws DbError, saying the
    // server does not answer, when it cannot.
    void reconnect();
    // How many times the connection was opened again.
    int reconnections() const { return m_reconnections; }
    // Whether this program holds the server's shared lock of the programs
    // (serverlocks.h): a reconnection takes it again, since the server lets
    // a lock go with the connection that held it.
    void setHoldsProgramLock(bool held) { m_holdsProgramLock = held; }
    bool holdsProgramLock() const { return m_holdsProgramLock; }
    // What a write that failed because the connection was lost tells the
    // user once the connection is back: nothing of it was stored, save again.
    DbError lostWriteError(const QString& fileName) const;

private:
    QSqlDatabase serverConnection();
    void openSession(QSqlDatabase& db);
    void layMarks(QSqlDatabase& db);
    void notified(const QString& channel, const QVariant& payload);

    QString m_path;
    Engine m_engine = Engine::SQLite;
    ServerLine m_line;
    QString m_serverConnection; // its name, once open
    int m_busyTimeout = 5000;
    std::function<QDateTime()> m_clock;
    QHash<QString, QString> m_connections; // lower-case file name -> connection name
    QHash<QString, QHash<QString, QSqlQuery>> m_statements;
    QSet<QString> m_checked; // lower-case file names
    QHash<QString, quint64> m_writes; // lower-case file name -> writes made
    std::unique_ptr<QObject> m_listener; // receives the server's announcements
    QList<QPointer<Table>> m_watched;
    QSet<QString> m_channels; // those listened to
    bool m_holdsProgramLock = false;
    QString m_schemaName;     // the schema of this program's tables on the server
    int m_reconnections = 0;
    struct Marks
    {
        QHash<qint64, QVariant> byId;
        bool allSet = false;
        QVariant all;
    };
    QHash<QString, Marks> m_marks; // table name -> this program's marks
};

// Runs one statement on `db`; throws DbError naming the file and the cause.
void exec(QSqlDatabase& db, const QString& sql);

// The statements this program has sent to its engine so far: queries run,
// transactions begun and ended, listening begun and, on a server, statements
// prepared (each a round trip there). What a user's action costs over a
// network is the difference before and after it; the benchmark reads it.
qint64 statementsSent();
// Counts `n` more statements sent (the layer calls it where it sends one).
void countStatements(int n = 1);

} // namespace velmora::store
