// The nursery registry and the new-nursery operation. Every new nursery gets
// a first responsible educator, "Admin", so somebody can log in to it.
#include "datagrid.h"
#include "builders.h"
#include "dataedits.h"
#include "datanavigator.h"
#include "inserimentonido.h"
#include "mainwindow.h"

#include <QGroupBox>
#include <QLabel>
#include <QToolButton>

namespace velmora {

void TFrm_Main::buildNurseryRegistry()
{
    QGroupBox* box = GB_AnagraficaNido;
    box->setTitle(QStringLiteral("Inserimento anagrafica nido"));

    DBGrid2 = new DataGrid(box);
    DBGrid2->setObjectName(QStringLiteral("DBGrid2"));
    DBGrid2->setGeometry(8, 16, 513, 137);
    DBGrid2->setTable(&Tbl_AnagNido);
    DBGrid2->setDialogs(&m_dialogs);
    DBGrid2->addColumn(QStringLiteral("Nome"), QStringLiteral("Nome"), 221);
    DBGrid2->addColumn(QStringLiteral("Indirizzo"), QStringLiteral("Indirizzo"), 193);

    DBNavigator2 = new DataNavigator(box);
    DBNavigator2->setObjectName(QStringLiteral("DBNavigator2"));
    DBNavigator2->setGeometry(8, 154, 511, 18);
    DBNavigator2->setTable(&Tbl_AnagNido);
    DBNavigator2->setDialogs(&m_dialogs);
    using B = DataNavigator::Button;
    DBNavigator2->setVisibleButtons({B::First, B::Prior, B::Next, B::Last, B::Edit, B::Post, B::Cancel});
    DBNavigator2->setHint(B::First, QStringLiteral("Primo anagrafica"));
    DBNavigator2->setHint(B::Prior, QStringLiteral("Anagrafica precedente"));
    DBNavigator2->setHint(B::Next, QStringLiteral("Anagrafica successivo"));
    DBNavigator2->setHint(B::Last, QStringLiteral("Ultimo anagrafica"));
    DBNavigator2->setHint(B::Edit, QStringLiteral("Modifica anagrafica"));
    DBNavigator2->setHint(B::Post, QStringLiteral("Salva modifiche"));
    DBNavigator2->setHint(B::Cancel, QStringLiteral("Cancella modifiche"));

    Reg_DBEdit1 = labelledEdit(box, "DBEdit1", QStringLiteral("Nome"), &Tbl_AnagNido, "Nome", &m_dialogs, QRect(16, 200, 505, 21));
    Reg_DBEdit2 = labelledEdit(box, "DBEdit2", QStringLiteral("Indirizzo"), &Tbl_AnagNido, "Indirizzo", &m_dialogs, QRect(16, 248, 241, 21));
    Reg_DBEdit23 = labelledEdit(box, "DBEdit23", QStringLiteral("Città"), &Tbl_AnagNido, "Citta", &m_dialogs, QRect(272, 248, 137, 21));
    Reg_DBEdit3 = labelledEdit(box, "DBEdit3", QStringLiteral("Cap"), &Tbl_AnagNido, "Cap", &m_dialogs, QRect(420, 248, 48, 21));
    Reg_DBEdit4 = labelledEdit(box, "DBEdit4", QStringLiteral("Provincia"), &Tbl_AnagNido, "Provincia", &m_dialogs, QRect(480, 248, 32, 21));
    Reg_DBEdit5 = labelledEdit(box, "DBEdit5", QStringLiteral("Telefono"), &Tbl_AnagNido, "Telefono", &m_dialogs, QRect(16, 296, 109, 21));
    Reg_DBEdit6 = labelledEdit(box, "DBEdit6", QStringLiteral("Fax"), &Tbl_AnagNido, "Fax", &m_dialogs, QRect(136, 296, 109, 21));

    Reg_SpeedButton11 = hintedButton(box, "SpeedButton11", QStringLiteral("Nuovo"), QStringLiteral("Inserisci un nuovo nido"), QRect(407, 275, 55, 55));
    Reg_SpeedButton3 = hintedButton(box, "SpeedButton3", QStringLiteral("Esci"), QStringLiteral("Esci"), QRect(468, 275, 55, 55));
    connect(Reg_SpeedButton11, &QToolButton::clicked, this, &TFrm_Main::SpeedButton11Click);
    connect(Reg_SpeedButton3, &QToolButton::clicked, this, &TFrm_Main::SpeedButton3Click);

    QWidget* order[] = {Reg_DBEdit1, Reg_DBEdit2, Reg_DBEdit23, Reg_DBEdit3, Reg_DBEdit4, Reg_DBEdit5, Reg_DBEdit6, DBGrid2, DBNavigator2};
    for (size_t i = 0; i + 1 < std::size(order); ++i)
        QWidget::setTabOrder(order[i], order[i + 1]);
    connect(ToolButton1, &QToolButton::clicked, this, &TFrm_Main::ToolButton1Click);
}

void TFrm_Main::ToolButton1Click()
{
    guarded([&] {
        GB_AnagraficaNido->show();
        GB_AnagraficaNido->raise();
        Tbl_AnagNido.tag = 1;
        ImpostaSolaLettura(Tbl_AnagNido, false);
        AbilitaNavigazione(false);
    });
}

void TFrm_Main::SpeedButton3Click()
{
    guarded([&] {
        // A refused date or number still in its box keeps the registry open.
        if (!commitPendingEdits(GB_AnagraficaNido))
            return;
        if (Tbl_AnagNido.state() == store::Table::State::Edit || Tbl_AnagNido.state() == store::Table::State::Insert)
            Tbl_AnagNido.post();
        GB_AnagraficaNido->hide();
        // Back on the current nursery, quietly (the follow reaction is still
        // held): the prints' heading and the way out read it there.
        const int current = IdNidoCorrente.trimmed().toInt();
        if (current != 0 && Tbl_AnagNido.asInteger(QStringLiteral("Id")) != current)
            Tbl_AnagNido.locate(QStringLiteral("Id"), current);
        Tbl_AnagNido.tag = 0;
        AbilitaNavigazione(true);
    });
}

void TFrm_Main::SpeedButton11Click()
{
    guarded([&] {
        if (!Tbl_AnagNido.append())
            return;
        if (!m_inserimentoNido)
            m_inserimentoNido = new TFrm_InserimentoNido(Tbl_AnagNido, m_dialogs, this);
        if (m_dialogs.execForm(*m_inserimentoNido) != QDialog::Accepted) {
            Tbl_AnagNido.cancel();
            return;
        }
        Tbl_AnagNido.post();
        // The new nursery holds the largest key: keys only ever grow.
        const int nursery = std::max(1, Tbl_AnagNido.asInteger(QStringLiteral("Id")));

        ImpostaSolaLettura(Tbl_AnagEdu, false);
        Tbl_AnagEdu.append();
        Tbl_AnagEdu.setValue(QStringLiteral("Id_Nido"), nursery);
        Tbl_AnagEdu.setValue(QStringLiteral("Nome"), QStringLiteral("Admin"));
        Tbl_AnagEdu.setValue(QStringLiteral("Cognome"), QStringLiteral("Admin"));
        Tbl_AnagEdu.setValue(QStringLiteral("Password"), QStringLiteral("Kemlo"));
        Tbl_AnagEdu.setValue(QStringLiteral("Responsabile"), true);
        Tbl_AnagEdu.post();
        ImpostaSolaLettura(Tbl_AnagEdu, true);
        m_dialogs.information(QStringLiteral("E' stata creata un anagrafica educatrice di nome \"Admin\" con password "
                                             "\"Kemlo\" che è attualmente la responsabile del nido."));
    });
}

} // namespace velmora
