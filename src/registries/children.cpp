#include "children.h"
#include "mainwindow.h"

namespace velmora {

ChildrenScreen::ChildrenScreen(TFrm_Main& main)
    : QObject(&main), m(main)
{
}

} // namespace velmora
