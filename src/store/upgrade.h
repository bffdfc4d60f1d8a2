#pragma once
#include <QString>
#include <functional>

namespace velmora::store {

class DataFolder;

// The one schema change the program makes: children tables laid before the
// attendance column existed get it. Probes for the column; when the probe
// fails, warns, adds the column and warns again that the upgrade is done. A
// failing upgrade statement is passed over in silence, so the next start
// probes and warns again. `warning` shows a warning box with one OK button.
void AggiornaSchema(DataFolder& folder, const std::function<void(const QString&)>& warning);

extern const char* const upgradeNeededText;
extern const char* const upgradeDoneText;

} // namespace velmora::store
