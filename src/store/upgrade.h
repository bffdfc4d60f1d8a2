#pragma once
#include <QString>
#include <functional>

namespace velmora::store {

class DataFolder;

// Brings every table file of the folder up to the current schema version by
// the steps of schemaSteps() (schema.h) that its recorded version
// (`PRAGMA user_version`) has not had yet, then records the current version
// in it. Reading the version is all it costs a folder that is up to date.
//
// Each step asks first whether the file already has what the step adds
// (folders laid before the versions were recorded are at version 0 but may
// hold every step), so a file is written only for a change it lacks. The
// 1.02 upgrade, the attendance column of the children, is announced: before
// it a warning box says the upgrade is needed, after it another that it is
// done. A failing step is passed over in silence and the file keeps its
// version, so the next start tries again (and warns again). A file that
// cannot be read (missing, empty, damaged, without its table, held by another
// program) is left alone in silence: that is no older layout, and the folder
// check tells it. `warning` shows a warning box with one OK button.
void AggiornaSchema(DataFolder& folder, const std::function<void(const QString&)>& warning);

extern const char* const upgradeNeededText;
extern const char* const upgradeDoneText;

} // namespace velmora::store
