// The nursery registry and the new-nursery operation. Every new nursery gets
// a first responsible educator, "Admin", so somebody can log in to it.
#include "nursery.h"
#include "builders.h"
#include "dataedits.h"
#include "datagrid.h"
#include "datamodule.h"
#include "datanavigator.h"
#include "dialogs.h"
#include "inserimentonido.h"
#include "keyboard.h"
#include "registry.h"

#include <QGroupBox>
#include <QLabel>
#include <QToolButton>

namespace velmora {

NurseryRegistry::NurseryRegistry(DataModule& d, QGroupBox* box, QObject* parent)
    : QObject(parent), GB_AnagraficaNido(box), data(d)
{
    box->setTitle(QStringLiteral("Inserimento anagrafica nido"));

    DBGrid2 = new DataGrid(box);
    DBGrid2->setObjectName(QStringLiteral("DBGrid2"));
    DBGrid2->setGeometry(8, 16, 513, 137);
    DBGrid2->setTable(&data.Tbl_AnagNido);
    DBGrid2->setDialogs(&data.dialogs);
    DBGrid2->addColumn(QStringLiteral("Nome"), QStringLiteral("Nome"), 221);
    DBGrid2->addColumn(QStringLiteral("Indirizzo"), QStringLiteral("Indirizzo"), 193);
    // Whole rows are chosen, and a row indicator marks the current one.
    DBGrid2->setRowIndicator(true);

    DBNavigator2 = new DataNavigator(box);
    DBNavigator2->setObjectName(QStringLiteral("DBNavigator2"));
    DBNavigator2->setGeometry(8, 154, 511, 18);
    DBNavigator2->setTable(&data.Tbl_AnagNido);
    DBNavigator2->setDialogs(&data.dialogs);
    using B = DataNavigator::Button;
    DBNavigator2->setVisibleButtons({B::First, B::Prior, B::Next, B::Last, B::Edit, B::Post, B::Cancel});
    DBNavigator2->setHint(B::First, QStringLiteral("Primo anagrafica"));
    DBNavigator2->setHint(B::Prior, QStringLiteral("Anagrafica precedente"));
    DBNavigator2->setHint(B::Next, QStringLiteral("Anagrafica successivo"));
    DBNavigator2->setHint(B::Last, QStringLiteral("Ultimo anagrafica"));
    DBNavigator2->setHint(B::Edit, QStringLiteral("Modifica anagrafica"));
    DBNavigator2->setHint(B::Post, QStringLiteral("Salva modifiche"));
    DBNavigator2->setHint(B::Cancel, QStringLiteral("Cancella modifiche"));

    const NurseryEdits e = layNurseryEdits(box, data.Tbl_AnagNido, data.dialogs, NurseryEdits::Registry);
    DBEdit1 = e.DBEdit1;
    DBEdit2 = e.DBEdit2;
    DBEdit23 = e.DBEdit23;
    DBEdit3 = e.DBEdit3;
    DBEdit4 = e.DBEdit4;
    DBEdit5 = e.DBEdit5;
    DBEdit6 = e.DBEdit6;

    SpeedButton11 = speedButton(box, "SpeedButton11", QStringLiteral("Nuovo"), QStringLiteral("Inserisci un nuovo nido"),
                                QRect(407, 275, 55, 55), Glyph::Nuovo);
    SpeedButton3 = speedButton(box, "SpeedButton3", QStringLiteral("Esci"), QStringLiteral("Esci"), QRect(468, 275, 55, 55),
                               Glyph::Esci);
    data.onEvent(SpeedButton11, &QToolButton::clicked, this, &NurseryRegistry::SpeedButton11Click);
    data.onEvent(SpeedButton3, &QToolButton::clicked, this, &NurseryRegistry::SpeedButton3Click);

    setTabChain({DBEdit1, DBEdit2, DBEdit23, DBEdit3, DBEdit4, DBEdit5, DBEdit6, DBGrid2, DBNavigator2, SpeedButton11,
                 SpeedButton3});
}

void NurseryRegistry::ToolButton1Click()
{
    data.guarded([&] {
        // The nursery follow-up rests while the registry moves the cursor.
        data.registroNidiAperto = true;
        apriRegistro(data, GB_AnagraficaNido, data.Tbl_AnagNido);
    });
}

void NurseryRegistry::SpeedButton3Click()
{
    data.guarded([&] {
        // A refused date or number still in its box keeps the registry open.
        if (!salvaRegistro(GB_AnagraficaNido, data.Tbl_AnagNido))
            return;
        // The cursor stays where the registry left it: the current nursery
        // does not change here, and a logout makes the nursery under the
        // cursor the current one.
        data.registroNidiAperto = false;
        // The nurseries stay writable: only the start-up's first nursery
        // makes them read-only again.
        chiudiRegistro(data, GB_AnagraficaNido, data.Tbl_AnagNido, false);
    });
}

void NurseryRegistry::SpeedButton11Click()
{
    data.guarded([&] {
        if (!data.Tbl_AnagNido.append())
            return;
        if (!m_inserimentoNido)
            m_inserimentoNido = new TFrm_InserimentoNido(data.Tbl_AnagNido, data.dialogs, GB_AnagraficaNido->window());
        if (data.dialogs.execForm(*m_inserimentoNido) != QDialog::Accepted) {
            data.Tbl_AnagNido.cancel();
            return;
        }
        data.Tbl_AnagNido.post();
        // The new nursery holds the largest key: keys only ever grow. The walk
        // leaves the cursor on the last nursery by name, where the registry
        // shows it; a logout makes that nursery the current one.
        store::Table& nidi = data.Tbl_AnagNido;
        int nursery = 1;
        for (nidi.first(); !nidi.isEof(); nidi.next())
            nursery = std::max(nursery, nidi.asInteger(QStringLiteral("Id")));

        data.ImpostaSolaLettura(data.Tbl_AnagEdu, false);
        data.Tbl_AnagEdu.append();
        data.Tbl_AnagEdu.setValue(QStringLiteral("Id_Nido"), nursery);
        data.Tbl_AnagEdu.setValue(QStringLiteral("Nome"), QStringLiteral("Admin"));
        data.Tbl_AnagEdu.setValue(QStringLiteral("Cognome"), QStringLiteral("Admin"));
        data.Tbl_AnagEdu.setValue(QStringLiteral("Password"), QStringLiteral("Kemlo"));
        data.Tbl_AnagEdu.setValue(QStringLiteral("Responsabile"), true);
        data.Tbl_AnagEdu.post();
        data.ImpostaSolaLettura(data.Tbl_AnagEdu, true);
        data.dialogs.information(QStringLiteral("E' stata creata un anagrafica educatrice di nome \"Admin\" con password "
                                             "\"Kemlo\" che è attualmente la responsabile del nido."));
    });
}

} // namespace velmora
