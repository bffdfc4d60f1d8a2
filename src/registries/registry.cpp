#include "registry.h"
#include "dataedits.h"
#include "datamodule.h"
#include "keyboard.h"

#include <QGroupBox>

namespace velmora {

void apriRegistro(DataModule& data, QGroupBox* box, store::Table& table)
{
    box->show();
    box->raise();
    DataModule::ImpostaSolaLettura(table, false);
    data.AbilitaNavigazione(false);
    // The keys go to the box now in front, from its first control, rather
    // than stay on the list under it.
    focusInto(box);
}

bool salvaRegistro(QGroupBox* box, store::Table& table)
{
    if (!commitPendingEdits(box))
        return false;
    if (table.state() == store::Table::State::Edit || table.state() == store::Table::State::Insert)
        table.post();
    return true;
}

void chiudiRegistro(DataModule& data, QGroupBox* box, store::Table& table, bool readOnlyAgain)
{
    box->hide();
    if (readOnlyAgain)
        DataModule::ImpostaSolaLettura(table, true);
    data.AbilitaNavigazione(true);
}

} // namespace velmora
