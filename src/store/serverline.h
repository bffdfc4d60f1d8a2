#pragma once
#include <QString>
#include <QStringList>

class QSqlDatabase;

namespace velmora::store {

// Where the data are: the SQLite files of the data folder (one computer, the
// default), or the tables of one database on a PostgreSQL server (several
// computers at once).
enum class Engine { SQLite, PostgreSQL };

// A connection line in libpq's words ("host=srv dbname=nido user=ada
// sslmode=require"): `keyword=value` pairs separated by spaces, a value in
// single quotes when it holds spaces (\' and \\ inside them).
struct ServerLine
{
    QString host;
    int port = -1;
    QString dbname;
    QString user;
    QString password;
    // Every other keyword, "key='value'" each, in the order written, as
    // QSqlDatabase::setConnectOptions takes them (joined by ';').
    QStringList options;

    bool isEmpty() const { return host.isEmpty() && dbname.isEmpty() && user.isEmpty() && options.isEmpty() && port < 0; }
    // The settings of a QPSQL connection.
    void apply(QSqlDatabase& db) const;
    // Where the data are, for the user (no password): "velmora su srv:5432".
    QString describe() const;
};

// Reads a connection line; throws DbError with an Italian message naming
// what it cannot read (an unknown keyword, a quote left open, ...).
ServerLine parseServerLine(const QString& line);

// The file of a data folder that holds the line.
QString serverFileName();

// The engine a data folder's data live on, and the line when a server.
struct EngineChoice
{
    Engine engine = Engine::SQLite;
    ServerLine line;
    QString source; // where the line came from, in Italian; empty for SQLite
};

// The line given on the command line (`--server`), else the environment
// variable VELMORA_SERVER (`environment`), else the first line of
// `<folder>/server.conf` that is not blank nor a '#' comment; none of them
// is SQLite on the folder's files, as always. Throws DbError for a line it
// cannot read or a server.conf it cannot read.
EngineChoice chooseEngine(const QString& folderPath, const QString& option, const QString& environment);
// The same, reading VELMORA_SERVER itself.
EngineChoice chooseEngine(const QString& folderPath, const QString& option = QString());

} // namespace velmora::store
