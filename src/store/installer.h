#pragma once
#include <QString>

namespace velmora::store {

enum class Layout {
    Current, // the eight tables as the program uses them
    Older,   // release 1.02's (schema version 0): children without the attendance
             // column, evaluations without the index of their marks
};

// Lays a new data folder at `path` with the eight tables, their indexes and
// the rows that come with an installation (developmental areas and staff
// roles). An existing folder is never touched: the call fails instead. The
// folder is laid beside `path` and renamed into place, so a failure never
// leaves half a folder behind. Returns an empty string on success, otherwise
// the reason in Italian.
QString layDataFolder(const QString& path, Layout layout = Layout::Current);

// The same, with the tables as they stood at a schema version (schema.h):
// the upgrade's tests start from every earlier one.
QString layDataFolder(const QString& path, int schemaVersion);

class DataFolder;

// Lays the eight tables, their indexes, the table of schema versions and the
// installation rows in the database of a server folder (`folder.isServer()`),
// in its current schema, in one transaction: either everything is there
// afterwards or nothing. Refuses a database that holds any of the tables
// already. Returns an empty string on success, otherwise the reason in
// Italian.
QString layServerTables(DataFolder& folder, int schemaVersion = -1);

// The tables of the schema that the database of a server folder lacks (in
// its current schema), by name; empty when every one is there. Throws
// DbError when the server cannot be asked.
QStringList missingServerTables(DataFolder& folder);

// The rows an installation starts with: {Area, AreaBreve} and roles.
struct DefaultArea
{
    const char* area;
    const char* code;
};
extern const DefaultArea defaultAreas[];
extern const int defaultAreaCount;
extern const char* const defaultRoles[];
extern const int defaultRoleCount;

} // namespace velmora::store
