#pragma once
#include <QObject>

namespace velmora {

class TFrm_Main;

// Builds and runs the educators, roles and areas registries: its controls live on the
// main window's list screen, its handlers work on the main window's tables.
class StaffRegistries : public QObject
{
    Q_OBJECT

public:
    explicit StaffRegistries(TFrm_Main& main);

private:
    TFrm_Main& m;
};

} // namespace velmora
