#include "phases.h"
#include "mainwindow.h"

namespace velmora {

PhasesScreen::PhasesScreen(TFrm_Main& main)
    : QObject(&main), m(main)
{
}

} // namespace velmora
