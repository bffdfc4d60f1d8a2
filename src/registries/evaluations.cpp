#include "evaluations.h"
#include "mainwindow.h"

namespace velmora {

EvaluationsScreen::EvaluationsScreen(TFrm_Main& main)
    : QObject(&main), m(main)
{
}

} // namespace velmora
