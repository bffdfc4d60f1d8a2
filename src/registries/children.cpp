// The children list of the list screen and the children registry. The list
// shows the children of the current nursery, all of them or only those who
// attend, by surname or by first name; its current child is the one the
// evaluations and the prints work on. The registry, open to responsible
// educators only, adds, changes and deletes children.
#include "children.h"

#include "datagrid.h"
#include "dataedits.h"
#include "datanavigator.h"
#include "errors.h"
#include "builders.h"
#include "datamodule.h"
#include "dialogs.h"
#include "keyboard.h"
#include "registry.h"

#include <QEvent>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QPainter>
#include <QRadioButton>
#include <QToolButton>

namespace velmora {

namespace {

// The pale blue of the children who do not attend.
const QColor notAttendingColour(230, 239, 247);

// The dotted frame that marks a cell.
void focusFrame(QPainter* painter, const QRect& rect)
{
    painter->save();
    painter->setBrush(Qt::NoBrush);
    painter->setPen(QPen(Qt::black, 1, Qt::DotLine));
    painter->drawRect(rect.adjusted(0, 0, -1, -1));
    painter->restore();
}

} // namespace

ChildrenScreen::ChildrenScreen(DataModule& d, QWidget* Pnl_Bambini, DataNavigator* DBNavigator1,
                               QGroupBox* GB_AnagraficaBimbi, QObject* parent)
    : QObject(parent), Pnl_Bambini(Pnl_Bambini), DBNavigator1(DBNavigator1), GB_AnagraficaBimbi(GB_AnagraficaBimbi),
      data(d)
{
    // The attendance column is calculated: it has to exist before the table first opens.
    data.Tbl_AnagBimbi.addCalculatedField(QStringLiteral("Freq"), store::FieldType::String, 2);
    data.Tbl_AnagBimbi.setReaction(store::Table::Reaction::OnCalcFields, this, [this](store::Table& t) { Tbl_AnagBimbiCalcFields(t); });
    data.Tbl_AnagBimbi.setReaction(store::Table::Reaction::AfterScroll, this, [this](store::Table&) { Tbl_AnagBimbiAfterScroll(); });
    data.Tbl_AnagBimbi.setReaction(store::Table::Reaction::OnNewRecord, this, [this](store::Table& t) { Tbl_AnagBimbiNewRecord(t); });

    buildList();
    buildRegistry();
}

QList<QWidget*> ChildrenScreen::tabChain() const
{
    return {DBGrid1, DBNavigator1, RB_Cognome, RB_Nome, RadioButton2, Rb_Freq, DBMemo1};
}

void ChildrenScreen::focusList()
{
    DBGrid1->setFocus(Qt::OtherFocusReason);
}

void ChildrenScreen::buildList()
{
    QWidget* panel = Pnl_Bambini;

    DBGrid1 = new DataGrid(panel);
    DBGrid1->setObjectName(QStringLiteral("DBGrid1"));
    DBGrid1->setGeometry(24, 40, 497, 481);
    DBGrid1->setTable(&data.Tbl_AnagBimbi);
    DBGrid1->setDialogs(&data.dialogs);
    // The five columns fit the grid beside its vertical scroll bar.
    DBGrid1->addColumn(QStringLiteral("Id"), QStringLiteral("Id"));
    DBGrid1->addColumn(QStringLiteral("Nome"), QStringLiteral("Nome"), 120);
    DBGrid1->addColumn(QStringLiteral("Cognome"), QStringLiteral("Cognome"), 130);
    DBGrid1->addColumn(QStringLiteral("DataDiNascita"), QStringLiteral("Data Di Nascita"), 100);
    DBGrid1->addColumn(QStringLiteral("Sesso"), QStringLiteral("Sesso"), 50);
    DBGrid1->addColumn(QStringLiteral("Freq"), QStringLiteral("Freq."), 50);
    DBGrid1->setColumnHidden(0, true);
    DBGrid1->drawCell = [this](QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index,
                               bool& handled) {
        if (m_defaultPainting)
            return; // the grid's usual drawing, asked for by DBGrid1DrawColumnCell
        DBGrid1DrawColumnCell(painter, option, index);
        handled = true;
    };

    using B = DataNavigator::Button;
    DataNavigator* nav = DBNavigator1;
    nav->setGeometry(27, 520, 468, 18);
    nav->setTable(&data.Tbl_AnagBimbi);
    nav->setDialogs(&data.dialogs);
    nav->setVisibleButtons({B::First, B::Prior, B::Next, B::Last});
    nav->setHint(B::First, QStringLiteral("Prima anagrafica"));
    nav->setHint(B::Prior, QStringLiteral("Anagrafica precedente"));
    nav->setHint(B::Next, QStringLiteral("Anagrafica successiva"));
    nav->setHint(B::Last, QStringLiteral("Ultima anagrafica"));

    Label3 = panel->findChild<QLabel*>(QStringLiteral("Label3"), Qt::FindDirectChildrenOnly);
    if (!Label3) {
        Label3 = new QLabel(QStringLiteral("Note"), panel);
        Label3->setObjectName(QStringLiteral("Label3"));
    }
    Label3->move(536, 32);
    DBMemo1 = new DataMemo(panel);
    DBMemo1->setObjectName(QStringLiteral("DBMemo1"));
    DBMemo1->setGeometry(544, 48, 289, 225);
    DBMemo1->setDataSource(&data.Tbl_AnagBimbi, QStringLiteral("Note"));
    DBMemo1->setDialogs(&data.dialogs);

    auto frame = [&](const char* name, int left) {
        auto* g = new QGroupBox(panel);
        g->setObjectName(QString::fromLatin1(name));
        g->setGeometry(left, 536, 225, 49);
        return g;
    };
    auto radio = [&](QGroupBox* box, const char* name, const QString& text, int top) {
        auto* r = new QRadioButton(text, box);
        r->setObjectName(QString::fromLatin1(name));
        r->setGeometry(8, top, 213, 17);
        r->installEventFilter(this);
        return r;
    };
    GroupBox3 = frame("GroupBox3", 32);
    RB_Cognome = hinted(radio(GroupBox3, "RB_Cognome", QStringLiteral("Ordina per cognome"), 8),
                        QStringLiteral("Ordina per cognome"));
    RB_Nome = hinted(radio(GroupBox3, "RB_Nome", QStringLiteral("Ordina per nome"), 26), QStringLiteral("Ordina per nome"));
    RB_Cognome->setChecked(true);
    GroupBox2 = frame("GroupBox2", 264);
    RadioButton2 = radio(GroupBox2, "RadioButton2", QStringLiteral("Visualizza tutti i bimbi"), 8);
    Rb_Freq = radio(GroupBox2, "Rb_Freq", QStringLiteral("Visualizza solo bimbi frequentanti"), 26);
    Rb_Freq->setChecked(true);

    // Tab comes into each choice on the option chosen.
    tabStopOnChecked({RB_Cognome, RB_Nome});
    tabStopOnChecked({RadioButton2, Rb_Freq});
    for (QRadioButton* r : {RB_Cognome, RB_Nome})
        data.onEvent(r, &QRadioButton::clicked, this, &ChildrenScreen::RB_NomeClick);
    for (QRadioButton* r : {RadioButton2, Rb_Freq})
        data.onEvent(r, &QRadioButton::clicked, this, &ChildrenScreen::Rb_FreqClick);
}

void ChildrenScreen::buildRegistry()
{
    QGroupBox* box = GB_AnagraficaBimbi;
    box->setTitle(QStringLiteral("Inserimento anagrafica bimbi"));

    DBGrid5 = new DataGrid(box);
    DBGrid5->setObjectName(QStringLiteral("DBGrid5"));
    DBGrid5->setGeometry(8, 16, 473, 233);
    DBGrid5->setTable(&data.Tbl_AnagBimbi);
    DBGrid5->setDialogs(&data.dialogs);
    DBGrid5->addColumn(QStringLiteral("Nome"), QStringLiteral("Nome"), 135);
    DBGrid5->addColumn(QStringLiteral("Cognome"), QStringLiteral("Cognome"), 135);
    DBGrid5->addColumn(QStringLiteral("DataDiNascita"), QStringLiteral("Data Di Nascita"), 95);
    DBGrid5->addColumn(QStringLiteral("Sesso"), QStringLiteral("Sesso"), 42);
    DBGrid5->addColumn(QStringLiteral("Freq"), QStringLiteral("F"), 30);

    using B = DataNavigator::Button;
    DBNavigator5 = new DataNavigator(box);
    DBNavigator5->setObjectName(QStringLiteral("DBNavigator5"));
    DBNavigator5->setGeometry(8, 250, 468, 18);
    DBNavigator5->setTable(&data.Tbl_AnagBimbi);
    DBNavigator5->setDialogs(&data.dialogs);
    connect(DBGrid5, &DataGrid::deleteKeyPressed, DBNavigator5, [this] { DBNavigator5->trigger(DataNavigator::Button::Delete); });
    DBNavigator5->setVisibleButtons({B::First, B::Prior, B::Next, B::Last, B::Insert, B::Delete, B::Edit, B::Post, B::Cancel});
    const struct { B button; const char* hint; } hints[] = {
        {B::First, "Prima anagrafica"},      {B::Prior, "Anagrafica precedente"}, {B::Next, "Anagrafica successivo"},
        {B::Last, "Ultima anagrafica"},      {B::Insert, "Inserisci angrafica"},  {B::Delete, "Cancella anagrafica"},
        {B::Edit, "Modifica anagrafica"},    {B::Post, "Salva modifiche"},        {B::Cancel, "Cancella modifiche"},
    };
    for (const auto& h : hints)
        DBNavigator5->setHint(h.button, QString::fromUtf8(h.hint));

    auto label = [&](const char* text, int left, int top) {
        auto* l = new QLabel(QString::fromUtf8(text), box);
        l->move(left, top - 16);
        return l;
    };
    DBEdit10 = labelledEdit(box, "DBEdit10", QStringLiteral("Nome"), &data.Tbl_AnagBimbi, "Nome", &data.dialogs, QRect(16, 288, 217, 24));
    DBEdit11 = labelledEdit(box, "DBEdit11", QStringLiteral("Cognome"), &data.Tbl_AnagBimbi, "Cognome", &data.dialogs, QRect(264, 288, 217, 24));
    DBEdit12 = labelledEdit(box, "DBEdit12", QStringLiteral("Data Di Nascita"), &data.Tbl_AnagBimbi, "DataDiNascita", &data.dialogs, QRect(16, 336, 74, 24));
    DBEdit13 = labelledEdit(box, "DBEdit13", QStringLiteral("Sesso"), &data.Tbl_AnagBimbi, "Sesso", &data.dialogs, QRect(128, 336, 25, 24));

    DBCheckBox2 = new DataCheckBox(QStringLiteral("Sta frequentando"), box);
    DBCheckBox2->setObjectName(QStringLiteral("DBCheckBox2"));
    DBCheckBox2->setGeometry(184, 336, 129, 17);
    DBCheckBox2->setDataSource(&data.Tbl_AnagBimbi, QStringLiteral("Frequenza"));
    DBCheckBox2->setDialogs(&data.dialogs);

    label("Note", 16, 384);
    DBMemo2 = new DataMemo(box);
    DBMemo2->setObjectName(QStringLiteral("DBMemo2"));
    DBMemo2->setGeometry(16, 384, 409, 89);
    DBMemo2->setDataSource(&data.Tbl_AnagBimbi, QStringLiteral("Note"));
    DBMemo2->setDialogs(&data.dialogs);

    SpeedButton2 = speedButton(box, "SpeedButton2", QStringLiteral("Esci"), QStringLiteral("Esci"), QRect(436, 419, 55, 55),
                               Glyph::Esci);
    data.onEvent(SpeedButton2, &QToolButton::clicked, this, &ChildrenScreen::SpeedButton2Click);

    setTabChain({DBEdit10, DBEdit11, DBEdit12, DBEdit13, DBCheckBox2, DBMemo2, DBGrid5, DBNavigator5, SpeedButton2});
}

bool ChildrenScreen::eventFilter(QObject* watched, QEvent* event)
{
    // Arrow keys (and Space) move the check between radio buttons without a
    // click. Other keys change nothing: the release of the Tab that brought
    // the focus here must not apply the list again, which would move it
    // back to its first child while the user tabs past on the way to the
    // evaluations.
    const auto* key = event->type() == QEvent::KeyRelease ? static_cast<QKeyEvent*>(event) : nullptr;
    if (key && (key->key() == Qt::Key_Up || key->key() == Qt::Key_Down || key->key() == Qt::Key_Left
                || key->key() == Qt::Key_Right || key->key() == Qt::Key_Space)) {
        if (watched == RadioButton2 || watched == Rb_Freq)
            Rb_FreqKeyUp();
        else if (watched == RB_Cognome || watched == RB_Nome)
            RB_NomeKeyUp();
    }
    return QObject::eventFilter(watched, event);
}

void ChildrenScreen::Rb_FreqClick()
{
    data.guarded([&] {
        data.FiltroFrequenza = Rb_Freq->isChecked() ? DataModule::attendingOnly : QString();
        data.ApplicaFiltroBimbi();
    });
}

void ChildrenScreen::Rb_FreqKeyUp()
{
    Rb_FreqClick();
}

void ChildrenScreen::RB_NomeClick()
{
    data.guarded([&] {
        // Changing the index keeps the current child, with no scroll.
        data.Tbl_AnagBimbi.setIndexName(RB_Cognome->isChecked() ? QStringLiteral("Cognome-Nome")
                                                              : QStringLiteral("Nome-Cognome"));
    });
}

void ChildrenScreen::RB_NomeKeyUp()
{
    RB_NomeClick();
}

void ChildrenScreen::DBGrid1DrawColumnCell(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index)
{
    // The usual drawing first.
    m_defaultPainting = true;
    DBGrid1->itemDelegate()->paint(painter, option, index);
    m_defaultPainting = false;

    // The row as the grid shows it (the child being inserted on the row past
    // the records). A row the engine cannot read comes blank and is drawn as
    // a child who does not attend.
    const QVariant v = DBGrid1->dataModel()->fieldValue(index.row(), QStringLiteral("Frequenza"));
    const bool attends = !v.isNull() && v.toBool();
    const bool focused = index == DBGrid1->currentIndex();

    if (attends) {
        focusFrame(painter, option.rect);
        // The focused cell bears a second frame inside the first.
        if (focused)
            focusFrame(painter, option.rect.adjusted(1, 1, -1, -1));
        return;
    }

    painter->save();
    painter->setClipRect(option.rect);
    painter->fillRect(option.rect, notAttendingColour);
    painter->setBrush(Qt::NoBrush);
    if (focused)
        focusFrame(painter, option.rect);
    QFont font = option.font;
    font.setItalic(true);
    font.setBold(false);
    font.setUnderline(false);
    font.setStrikeOut(false);
    painter->setFont(font);
    painter->setPen(Qt::black);
    painter->drawText(option.rect.adjusted(3, 3, 0, 0), Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine,
                      index.data(Qt::DisplayRole).toString());
    painter->restore();
}

void ChildrenScreen::Tbl_AnagBimbiCalcFields(store::Table& t)
{
    t.setValue(QStringLiteral("Freq"), t.asBoolean(QStringLiteral("Frequenza")) ? QStringLiteral("Si") : QStringLiteral("No"));
}

void ChildrenScreen::Tbl_AnagBimbiAfterScroll()
{
    store::Table& v = data.Tbl_Valutazioni;
    if (!v.isOpen())
        v.open();
    const QString child = data.Tbl_AnagBimbi.asString(QStringLiteral("Id"));
    DataModule::impostaFiltro(v, child.isEmpty() ? QStringLiteral("Id_Bimbo=0") : QStringLiteral("Id_Bimbo=") + child);
}

void ChildrenScreen::Tbl_AnagBimbiNewRecord(store::Table& t)
{
    t.setValue(QStringLiteral("Id_Nido"), DataModule::wholeNumber(data.IdNidoCorrente));
    t.setValue(QStringLiteral("Frequenza"), true);
    if (DBEdit10Tag == 1)
        DBEdit10->setFocus();
}

void ChildrenScreen::ToolButton5Click()
{
    data.guarded([&] {
        DBEdit10Tag = 1;
        // The whole nursery, attending or not, in the order of the list.
        DataModule::impostaFiltro(data.Tbl_AnagBimbi, QStringLiteral("Id_Nido=%1").arg(DataModule::wholeNumber(data.IdNidoCorrente)));
        // The evaluations list beside the registry goes on showing what it
        // showed, whatever child the registry moves to; it follows again
        // when the registry closes.
        data.Tbl_Valutazioni.disableControls();
        apriRegistro(data, GB_AnagraficaBimbi, data.Tbl_AnagBimbi);
    });
}

void ChildrenScreen::SpeedButton2Click()
{
    data.guarded([&] {
        // A refused date or number still in its box keeps the registry open.
        if (!commitPendingEdits(GB_AnagraficaBimbi))
            return;
        data.FiltroFrequenza = Rb_Freq->isChecked() ? DataModule::attendingOnly : QString();
        // Switching the filter on saves a changed record and drops an untouched new one.
        data.ApplicaFiltroBimbi();
        if (data.Tbl_Valutazioni.controlsDisabled())
            data.Tbl_Valutazioni.enableControls();
        chiudiRegistro(data, GB_AnagraficaBimbi, data.Tbl_AnagBimbi);
        if (data.Tbl_AnagBimbi.isOpen())
            data.ApplicaFiltroBimbi();
        DBEdit10Tag = 0;
    });
}

} // namespace velmora
