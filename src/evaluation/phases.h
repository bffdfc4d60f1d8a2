#pragma once
#include <QObject>

namespace velmora {

class TFrm_Main;

// The lower box of the evaluation sheet: the area chooser with the area
// total, the phases of the chosen area and the answers to their items.
class PhasesScreen : public QObject
{
    Q_OBJECT

public:
    explicit PhasesScreen(TFrm_Main& main);

private:
    TFrm_Main& m;
};

} // namespace velmora
