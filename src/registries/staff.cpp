#include "staff.h"
#include "mainwindow.h"

namespace velmora {

StaffRegistries::StaffRegistries(TFrm_Main& main)
    : QObject(&main), m(main)
{
}

} // namespace velmora
