// The educators, roles and areas registries. Each one is a group box laid over
// the list screen: opening it makes its table writable and locks the list
// screen's navigation, its "Esci" saves what is pending, makes the table
// read-only again and unlocks the navigation.
#include "staff.h"
#include "records.h"
#include "dataedits.h"
#include "datagrid.h"
#include "datanavigator.h"
#include "builders.h"
#include "keyboard.h"
#include "maskedinput.h"
#include "registry.h"
#include "datamodule.h"
#include "dialogs.h"

#include <QEvent>
#include <QFocusEvent>
#include <QGroupBox>
#include <QLabel>
#include <QToolButton>

namespace velmora {

namespace {

using B = DataNavigator::Button;
const QList<B> registryButtons = {B::First, B::Prior, B::Next, B::Last, B::Insert, B::Delete, B::Edit, B::Post, B::Cancel};

DataGrid* grid(QGroupBox* box, const char* name, store::Table* table, Dialogs* dialogs, const QRect& rect)
{
    auto* g = new DataGrid(box);
    g->setObjectName(QString::fromLatin1(name));
    g->setGeometry(rect);
    g->setTable(table);
    g->setDialogs(dialogs);
    return g;
}

DataNavigator* navigator(QGroupBox* box, const char* name, store::Table* table, Dialogs* dialogs, int top,
                         const QStringList& hints)
{
    auto* n = new DataNavigator(box);
    n->setObjectName(QString::fromLatin1(name));
    n->setGeometry(8, top, 468, 18);
    n->setTable(table);
    n->setDialogs(dialogs);
    n->setVisibleButtons(registryButtons);
    for (int i = 0; i < registryButtons.size(); ++i)
        n->setHint(registryButtons[i], hints.value(i));
    return n;
}

QToolButton* exitButton(QGroupBox* box, const char* name, const QRect& rect)
{
    return speedButton(box, name, QStringLiteral("Esci"), QStringLiteral("Esci"), rect, Glyph::Esci);
}

} // namespace

StaffRegistries::StaffRegistries(DataModule& d, QGroupBox* educators, QGroupBox* roles, QGroupBox* areas,
                                 QObject* parent)
    : QObject(parent), GB_AnagraficaEducatrici(educators), GB_AnagraficaRuoli(roles), GB_AnagraficaAree(areas),
      data(d)
{
    // How an educator is named in every list, and the defaults of a new one.
    data.Tbl_AnagEdu.addCalculatedField(QStringLiteral("Nominativo"), store::FieldType::String, 50);
    data.Tbl_AnagEdu.addCalculatedField(QStringLiteral("Resp"), store::FieldType::String, 2);
    data.Tbl_AnagEdu.setDisplayLabel(QStringLiteral("Resp"), QStringLiteral("Responsabile"));
    data.Tbl_AnagEdu.setReaction(store::Table::Reaction::OnCalcFields, this, [this](store::Table& t) { Tbl_AnagEduCalcFields(t); });
    data.Tbl_AnagEdu.setReaction(store::Table::Reaction::OnNewRecord, this, [this](store::Table& t) { Tbl_AnagEduNewRecord(t); });

    // The area's label is a calculated field: it has to be there before the
    // table first opens.
    data.Tbl_Aree.addCalculatedField(QStringLiteral("AreaCombo"), store::FieldType::String, 50);
    data.Tbl_Aree.setReaction(store::Table::Reaction::OnCalcFields, this, [this](store::Table& t) { Tbl_AreeCalcFields(t); });
    data.Tbl_Aree.setReaction(store::Table::Reaction::OnNewRecord, this, [this](store::Table& t) { Tbl_AreeNewRecord(t); });
    data.Tbl_Ruoli.setReaction(store::Table::Reaction::OnNewRecord, this, [this](store::Table& t) { Tbl_RuoliNewRecord(t); });

    buildEducators();
    buildRoles();
    buildAreas();
}

void StaffRegistries::buildEducators()
{
    QGroupBox* box = GB_AnagraficaEducatrici;
    box->setTitle(QStringLiteral("Inserimento anagrafica educatrici"));
    Dialogs* d = &data.dialogs;
    store::Table* t = &data.Tbl_AnagEdu;

    DBGrid3 = grid(box, "DBGrid3", t, d, QRect(8, 16, 473, 233));
    DBGrid3->addColumn(QStringLiteral("Nominativo"), QStringLiteral("Nominativo"), 343);
    DBGrid3->addColumn(QStringLiteral("Resp"), QStringLiteral("Responsabile"), 82);
    DBNavigator3 = navigator(box, "DBNavigator3", t, d, 250,
                             {QStringLiteral("Prima anagrafica"), QStringLiteral("Anagrafica precedente"),
                              QStringLiteral("Anagrafica successivo"), QStringLiteral("Ultima anagrafica"),
                              QStringLiteral("Inserisci angrafica"), QStringLiteral("Cancella anagrafica"),
                              QStringLiteral("Modifica anagrafica"), QStringLiteral("Salva modifiche"),
                              QStringLiteral("Cancella modifiche")});
    connect(DBGrid3, &DataGrid::deleteKeyPressed, DBNavigator3, [this] { DBNavigator3->trigger(DataNavigator::Button::Delete); });

    DBEdit7 = labelledEdit(box, "DBEdit7", QStringLiteral("Nome"), t, "Nome", d, QRect(16, 294, 130, 24));
    DBEdit8 = labelledEdit(box, "DBEdit8", QStringLiteral("Cognome"), t, "Cognome", d, QRect(160, 294, 130, 24));
    DBEdit9 = labelledEdit(box, "DBEdit9", QStringLiteral("Password"), t, "Password", d, QRect(304, 294, 130, 24));
    maskWithAsterisks(DBEdit9); // one '*' per character
    DBEdit9->installEventFilter(this);

    DBCheckBox1 = new DataCheckBox(
        QStringLiteral("L'utente è un utente Responsabile (potrà quindi inserire le varie anagrafiche)"), box);
    DBCheckBox1->setObjectName(QStringLiteral("DBCheckBox1"));
    DBCheckBox1->setGeometry(16, 330, 473, 17);
    DBCheckBox1->setDataSource(t, QStringLiteral("Responsabile"));
    DBCheckBox1->setDialogs(d);

    SpeedButton1 = exitButton(box, "SpeedButton1", QRect(436, 273, 55, 55));
    data.onEvent(SpeedButton1, &QToolButton::clicked, this, &StaffRegistries::SpeedButton1Click);

    // The plain password edit lies beneath the masked one until the masked
    // one hands the typing over to it. It is made last, as it comes last in
    // the box's Tab order.
    DBEdit24 = labelledEdit(box, "DBEdit24", QString(), t, "Password", d, QRect(304, 294, 130, 24));
    DBEdit24->stackUnder(DBEdit9);
    DBEdit24->installEventFilter(this);

    // The masked password edit right after the surname; the plain one, to
    // which the masked one hands the focus, is the last of the box, so Tab
    // goes on from it past the box, and Shift+Tab from it comes back to
    // "Esci" and the check box.
    setTabChain({DBGrid3, DBNavigator3, DBEdit7, DBEdit8, DBEdit9, DBCheckBox1, SpeedButton1, DBEdit24});
}

void StaffRegistries::buildRoles()
{
    QGroupBox* box = GB_AnagraficaRuoli;
    box->setTitle(QStringLiteral("Gestione ruoli"));
    Dialogs* d = &data.dialogs;
    store::Table* t = &data.Tbl_Ruoli;

    DBGrid8 = grid(box, "DBGrid8", t, d, QRect(8, 16, 473, 137));
    DBGrid8->addColumn(QStringLiteral("Ruolo"), QStringLiteral("Ruolo"), 431);
    DBNavigator8 = navigator(box, "DBNavigator8", t, d, 154, {});
    connect(DBGrid8, &DataGrid::deleteKeyPressed, DBNavigator8, [this] { DBNavigator8->trigger(DataNavigator::Button::Delete); });
    DBEdit14 = labelledEdit(box, "DBEdit14", QStringLiteral("Descrizione ruolo"), t, "Ruolo", d, QRect(16, 200, 457, 24));
    SpeedButton5 = exitButton(box, "SpeedButton5", QRect(428, 227, 55, 55));
    data.onEvent(SpeedButton5, &QToolButton::clicked, this, &StaffRegistries::SpeedButton5Click);
    setTabChain({DBGrid8, DBNavigator8, DBEdit14, SpeedButton5});
}

void StaffRegistries::buildAreas()
{
    QGroupBox* box = GB_AnagraficaAree;
    box->setTitle(QStringLiteral("Gestione aree"));
    Dialogs* d = &data.dialogs;
    store::Table* t = &data.Tbl_Aree;

    DBGrid9 = grid(box, "DBGrid9", t, d, QRect(8, 16, 473, 137));
    DBGrid9->addColumn(QStringLiteral("AreaBreve"), QStringLiteral("Abbreviazione"));
    DBGrid9->addColumn(QStringLiteral("Area"), QStringLiteral("Area"), 346);
    DBNavigator9 = navigator(box, "DBNavigator9", t, d, 154,
                             {QStringLiteral("Prima area"), QStringLiteral("Area precedente"),
                              QStringLiteral("Area successiva"), QStringLiteral("Ultima area"),
                              QStringLiteral("Inserisci area"), QStringLiteral("Cancella area"),
                              QStringLiteral("Modifica area"), QStringLiteral("Salva modifiche"),
                              QStringLiteral("Cancella modifiche")});
    connect(DBGrid9, &DataGrid::deleteKeyPressed, DBNavigator9, [this] { DBNavigator9->trigger(DataNavigator::Button::Delete); });
    DBEdit15 = labelledEdit(box, "DBEdit15", QStringLiteral("Descrizione area"), t, "Area", d, QRect(16, 200, 457, 24));
    DBEdit16 = labelledEdit(box, "DBEdit16", QStringLiteral("Abbreviazione area"), t, "AreaBreve", d, QRect(16, 240, 105, 24));
    SpeedButton6 = exitButton(box, "SpeedButton6", QRect(428, 227, 55, 55));
    data.onEvent(SpeedButton6, &QToolButton::clicked, this, &StaffRegistries::SpeedButton6Click);
    setTabChain({DBGrid9, DBNavigator9, DBEdit15, DBEdit16, SpeedButton6});
}

// ---------------------------------------------------------------- educators

void StaffRegistries::ToolButton3Click()
{
    data.guarded([&] {
        DBEdit7Tag = 1;
        DBEdit24Tag = 1;
        apriRegistro(data, GB_AnagraficaEducatrici, data.Tbl_AnagEdu);
    });
}

void StaffRegistries::SpeedButton1Click()
{
    data.guarded([&] {
        // A refused date or number still in its box keeps the registry open.
        store::Table& t = data.Tbl_AnagEdu;
        if (!salvaRegistro(GB_AnagraficaEducatrici, t))
            return;

        // The table shows the current nursery's educators only; the nursery is
        // checked anyway, so that no other nursery's responsible can count.
        bool ok = false;
        const int nursery = data.IdNidoCorrente.trimmed().toInt(&ok);
        bool responsible = false;
        if (t.isOpen()) {
            t.disableControls();
            try {
                for (t.first(); !t.isEof(); t.next())
                    if (t.asBoolean(QStringLiteral("Responsabile"))
                        && t.asInteger(QStringLiteral("Id_Nido")) == (ok ? nursery : 0))
                        responsible = true;
            } catch (...) {
                t.enableControls();
                throw;
            }
            t.enableControls();
        }
        if (!responsible) {
            data.dialogs.warning(QStringLiteral("Attenzione! Non è stato impostato nessun responsabile!"));
            return;
        }

        chiudiRegistro(data, GB_AnagraficaEducatrici, t);
        DBEdit7Tag = 0;
        DBEdit24Tag = 0;
    });
}

void StaffRegistries::Tbl_AnagEduCalcFields(store::Table& t)
{
    const bool responsible = t.asBoolean(QStringLiteral("Responsabile"));
    const QString name = t.asString(QStringLiteral("Cognome")) + QLatin1Char(' ') + t.asString(QStringLiteral("Nome"));
    t.setValue(QStringLiteral("Nominativo"), responsible ? QStringLiteral("*") + name : name);
    t.setValue(QStringLiteral("Resp"), responsible ? QStringLiteral("Si") : QStringLiteral("No"));
}

void StaffRegistries::Tbl_AnagEduNewRecord(store::Table& t)
{
    bool ok = false;
    const int nursery = data.IdNidoCorrente.trimmed().toInt(&ok);
    t.setValue(QStringLiteral("Id_Nido"), ok ? nursery : 0);
    t.setValue(QStringLiteral("Responsabile"), false);
    // Only while the educators registry is open: the focus goes to the name,
    // and the password of the new educator shows plainly.
    if (DBEdit7Tag == 1)
        DBEdit7->setFocus(Qt::OtherFocusReason);
    if (DBEdit24Tag == 1)
        DBEdit24->raise();
}

void StaffRegistries::DBEdit9Enter()
{
    DBEdit24->raise();
    DBEdit24->setFocus(Qt::OtherFocusReason);
}

void StaffRegistries::DBEdit24Exit()
{
    DBEdit9->raise();
}

bool StaffRegistries::plainPasswordInFront() const
{
    const QObjectList& kids = DBEdit9->parentWidget()->children();
    return kids.indexOf(DBEdit24) > kids.indexOf(DBEdit9);
}

bool StaffRegistries::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == DBEdit9 && event->type() == QEvent::FocusIn)
        DBEdit9Enter();
    else if (watched == DBEdit24 && event->type() == QEvent::FocusOut) {
        // Leaving the edit, not the window: another window, a pop-up menu or
        // a box taking the focus for a while leaves the plain edit in front.
        const Qt::FocusReason reason = static_cast<QFocusEvent*>(event)->reason();
        if (reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason)
            DBEdit24Exit();
    }
    return QObject::eventFilter(watched, event);
}

// -------------------------------------------------------------------- roles

void StaffRegistries::ToolButton7Click()
{
    data.guarded([&] {
        apriRegistro(data, GB_AnagraficaRuoli, data.Tbl_Ruoli);
    });
}

void StaffRegistries::SpeedButton5Click()
{
    data.guarded([&] {
        // A refused date or number still in its box keeps the registry open.
        if (!salvaRegistro(GB_AnagraficaRuoli, data.Tbl_Ruoli))
            return;
        chiudiRegistro(data, GB_AnagraficaRuoli, data.Tbl_Ruoli);
    });
}

void StaffRegistries::Tbl_RuoliNewRecord(store::Table&)
{
    DBEdit14->setFocus(Qt::OtherFocusReason);
}

// -------------------------------------------------------------------- areas

void StaffRegistries::ToolButton9Click()
{
    data.guarded([&] {
        apriRegistro(data, GB_AnagraficaAree, data.Tbl_Aree);
    });
}

void StaffRegistries::SpeedButton6Click()
{
    data.guarded([&] {
        // A refused date or number still in its box keeps the registry open.
        if (!salvaRegistro(GB_AnagraficaAree, data.Tbl_Aree))
            return;
        chiudiRegistro(data, GB_AnagraficaAree, data.Tbl_Aree);
    });
}

void StaffRegistries::Tbl_AreeNewRecord(store::Table&)
{
    DBEdit15->setFocus(Qt::OtherFocusReason);
}

void StaffRegistries::Tbl_AreeCalcFields(store::Table& t)
{
    t.setValue(QStringLiteral("AreaCombo"), records::etichettaArea(t));
}

} // namespace velmora
