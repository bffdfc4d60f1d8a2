#pragma once
#include <QString>

namespace velmora::store {

enum class Layout {
    Current, // the eight tables as the program uses them
    Older,   // children without the attendance column, as before the upgrade
};

// Lays a new data folder at `path` with the eight tables, their indexes and
// the rows that come with an installation (developmental areas and staff
// roles). An existing folder is never touched: the call fails instead. The
// folder is laid beside `path` and renamed into place, so a failure never
// leaves half a folder behind. Returns an empty string on success, otherwise
// the reason in Italian.
QString layDataFolder(const QString& path, Layout layout = Layout::Current);

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
