#include "registry.h"
#include "dataedits.h"
#include "datamodule.h"

#include <QGroupBox>

namespace velmora {

void apriRegistro(DataModule& data, QGroupBox* box, store::Table& table)
{
    box->show();
    box->raise();
    DataModule::ImpostaSolaLettura(table, false);
    data.AbilitaNavigazione(false);
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
