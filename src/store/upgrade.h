#pragma once
#include <QString>
#include <functional>

namespace velmora::store {

class DataFolder;

// The one schema change the program makes: children tables laid before the
// attendance column existed get it. Probes for the column; when the probe
// finds the table without it, warns, adds the column and warns again that the
// upgrade is done. A failing upgrade statement is passed over in silence, so
// the next start probes and warns again. A file that cannot be probed (empty,
// damaged, without the table, held by another program) is left alone in
// silence: that is no older layout, and the folder check tells it.
// `warning` shows a warning box with one OK button.
void AggiornaSchema(DataFolder& folder, const std::function<void(const QString&)>& warning);

// Adds the partial index on the evaluations' selection mark
// (selectionIndexStatement) to a folder laid without it, so that clearing the
// marks at login does not read every evaluation. It changes no stored value
// and no reader's result; a folder or file that cannot be written (read-only,
// held by another program) is left as it is, in silence, and the next start
// tries again.
void ensureSelectionIndex(DataFolder& folder);

extern const char* const upgradeNeededText;
extern const char* const upgradeDoneText;

// The column the upgrade adds, and its table: a folder without it has the
// older layout, which is no damage.
extern const char* const upgradedTable;
extern const char* const upgradedColumn;

} // namespace velmora::store
