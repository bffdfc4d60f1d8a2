#pragma once
#include <QString>
#include <QStringList>

namespace velmora::store {

class DataFolder;

// What the administrator's tool does on a server's database (`server` is a
// DataFolder on a server). Each step that rewrites the tables runs under the
// exclusive lock (serverlocks.h), so it is refused while a program works on
// the database, and programs are refused while it runs.

// The outcome of a step: `ok`, and the Italian lines to show the
// administrator (what was done, or why not).
struct AdminReport
{
    bool ok = false;
    QStringList lines;
};

// Lays the tables, their indexes, the schema versions and the installation
// rows (layServerTables) in an empty database.
AdminReport createServerTables(DataFolder& server);

// Copies every row of the eight files of the SQLite data folder `dbFolder`
// into the server's tables, keeping every Id, and advances each table's Id
// counter past them. The tables are laid first when the database has none;
// a database whose tables hold more than an installation's rows is refused.
// Texts longer than their column on the server are cut to it and each cut is
// reported. Afterwards the rows of each table are counted on both sides and
// a sample of them compared, and the report says so. All in one transaction:
// a failure leaves the database as it was.
AdminReport importFolder(DataFolder& server, const QString& dbFolder);

// Writes the server's rows into a new SQLite data folder `target` (of the
// current schema, same Ids). An existing `target` is never touched.
AdminReport exportFolder(DataFolder& server, const QString& target);

// Whether the server answers, its tables' schema version, and whether this
// account may read and write each table; one Italian line for each.
AdminReport checkServer(DataFolder& server);

} // namespace velmora::store
