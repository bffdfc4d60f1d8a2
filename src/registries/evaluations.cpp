// The evaluations list of the current child: a new evaluation with its date
// and the child's age, the selection marks the profile prints take, the
// opening of an evaluation on the sheet and the deletion reserved to the
// responsible educator.
#include "evaluations.h"

#include "builders.h"
#include "datagrid.h"
#include "datanavigator.h"
#include "dialogs.h"
#include "errors.h"
#include "datamodule.h"
#include "dialogs.h"
#include "numberformat.h"
#include "evaluationprints.h"
#include "phases.h"
#include "sheet.h"
#include "scoring.h"

#include <QAction>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPainter>
#include <QPixmap>
#include <QStyle>
#include <QStyleOptionViewItem>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>

namespace velmora {

namespace {

const QString noChild = QStringLiteral("Nessun bimbo selezionato");
const QString onlyResponsible = QStringLiteral(
    "Attenzione! Solamente i profili amministratori sono abilitati a cancellare delle schede pre-esistenti");

// Day 0 of the date scale the ages are counted on.
const QDate dayZero(1899, 12, 30);

double daysOf(const QDateTime& moment)
{
    return double(dayZero.daysTo(moment.date())) + moment.time().msecsSinceStartOfDay() / 86400000.0;
}

// The red tick on white that marks a selected evaluation, 20 by 14 pixels.
QPixmap tickPicture()
{
    QPixmap pm(20, 14);
    pm.fill(Qt::white);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing, false);
    QPen pen(QColor(255, 0, 0));
    pen.setWidth(2);
    p.setPen(pen);
    const QPoint tick[] = {QPoint(2, 6), QPoint(6, 10), QPoint(13, 2)};
    p.drawPolyline(tick, 3);
    return pm;
}

} // namespace

EvaluationsScreen::EvaluationsScreen(DataModule& d, QWidget* Pnl_Bambini, QGroupBox* GroupBox1,
                                     DataNavigator* DBNavigator7, EvaluationSheet& sheet, PhasesScreen& phases,
                                     QObject* parent)
    : QObject(parent), Pnl_Bambini(Pnl_Bambini), GroupBox1(GroupBox1), DBNavigator7(DBNavigator7), data(d),
      sheet(sheet), phases(phases)
{

    store::Table& t = data.Tbl_Valutazioni;
    t.setReaction(store::Table::Reaction::OnNewRecord, this, [this](store::Table&) { Tbl_ValutazioniNewRecord(); });
    t.setReaction(store::Table::Reaction::AfterInsert, this, [this](store::Table&) { Tbl_ValutazioniAfterInsert(); });
    t.setReaction(store::Table::Reaction::AfterEdit, this, [this](store::Table&) { Tbl_ValutazioniAfterEdit(); });
    t.setReaction(store::Table::Reaction::AfterScroll, this, [this](store::Table&) { Tbl_ValutazioniAfterScroll(); });
    t.setReaction(store::Table::Reaction::BeforeDelete, this, [this](store::Table&) { Tbl_ValutazioniBeforeDelete(); });
    t.setFieldChangeHandler(QStringLiteral("MesiBimbo"), [this](store::Table&) { Tbl_ValutazioniMesiBimboChange(); });

    buildList();
}

QList<QWidget*> EvaluationsScreen::tabChain() const
{
    return {DBGrid7, DBNavigator7};
}

void EvaluationsScreen::buildList()
{
    GroupBox1->setGeometry(544, 280, 289, 241);

    Sel_Image = new QLabel(Pnl_Bambini);
    Sel_Image->setObjectName(QStringLiteral("Sel_Image"));
    Sel_Image->setPixmap(tickPicture());
    Sel_Image->setGeometry(0, 0, 20, 14);
    Sel_Image->hide();

    auto* layout = new QVBoxLayout(GroupBox1);
    layout->setContentsMargins(2, 2, 2, 2);
    layout->setSpacing(0);

    DBGrid7 = new DataGrid(GroupBox1);
    DBGrid7->setObjectName(QStringLiteral("DBGrid7"));
    DBGrid7->setDialogs(&data.dialogs);
    DBGrid7->addColumn(QString(), QStringLiteral("S"), 15);
    DBGrid7->addColumn(QStringLiteral("DataValutazione"), QStringLiteral("Data Valutazione"), 147);
    DBGrid7->addColumn(QStringLiteral("MesiBimbo"), QStringLiteral("Mesi Bimbo"), 77);
    DBGrid7->setTable(&data.Tbl_Valutazioni);
    DBGrid7->drawCell = [this](QPainter* p, const QStyleOptionViewItem& o, const QModelIndex& i, bool& handled) {
        DBGrid7DrawColumnCell(p, o, i, handled);
    };
    // While a registry or the sheet is in front, the list lies partly
    // uncovered but is not to be used: its menu and double click would open
    // a sheet or change marks behind the open box.
    data.onEvent(DBGrid7, &DataGrid::doubleClicked, this, [this] {
        if (elencoLibero())
            DBGrid7DblClick();
    });
    // From the keyboard, Return on an evaluation opens it, as "Modifica
    // valutazione" in the grid's menu does.
    data.onEvent(DBGrid7, &DataGrid::returnPressed, this, [this] {
        if (elencoLibero() && data.Tbl_Valutazioni.isOpen() && !data.Tbl_Valutazioni.isEmpty())
            Modifica1Click();
    });
    layout->addWidget(DBGrid7, 1);
    // Back from the sheet, the keys go on in the list it was opened from.
    connect(&sheet, &EvaluationSheet::chiusa, DBGrid7, [this] { DBGrid7->setFocus(Qt::OtherFocusReason); });

    using B = DataNavigator::Button;
    DataNavigator* nav = DBNavigator7;
    nav->setTable(&data.Tbl_Valutazioni);
    nav->setDialogs(&data.dialogs);
    nav->setFixedHeight(18);
    const QList<QPair<B, QString>> hints = {
        {B::First, QStringLiteral("Prima valutazione")},
        {B::Prior, QStringLiteral("Valutazione precedente")},
        {B::Next, QStringLiteral("Valutazione successivo")},
        {B::Last, QStringLiteral("Ultima valutazione")},
        {B::Insert, QStringLiteral("Inserisci valutazione")},
        {B::Delete, QStringLiteral("Cancella valutazione")},
        {B::Edit, QStringLiteral("Modifica valutazione")},
        {B::Post, QStringLiteral("Salva modifiche")},
        {B::Cancel, QStringLiteral("Cancella modifiche")},
    };
    QList<B> shown;
    for (const auto& h : hints) {
        shown << h.first;
        nav->setHint(h.first, h.second);
    }
    nav->setVisibleButtons(shown);
    layout->addWidget(nav);

    PopupMenu1 = new QMenu(DBGrid7);
    PopupMenu1->setObjectName(QStringLiteral("PopupMenu1"));
    auto item = [&](const char* name, const QString& caption, const QString& hint, void (EvaluationsScreen::*handler)()) {
        QAction* a = PopupMenu1->addAction(caption);
        a->setObjectName(QString::fromLatin1(name));
        a->setStatusTip(hint);
        a->setToolTip(hint);
        data.onEvent(a, &QAction::triggered, this, handler);
        return a;
    };
    Seleziona1 = item("Seleziona1", QStringLiteral("Seleziona/Deseleziona valutazione"),
                      QStringLiteral("Seleziona/Deseleziona valutazione"), &EvaluationsScreen::DBGrid7DblClick);
    Modifica1 = item("Modifica1", QStringLiteral("Modifica valutazione"), QStringLiteral("Modifica valutazione"),
                     &EvaluationsScreen::Modifica1Click);
    Inseriscinuovavalutazione1 = item("Inseriscinuovavalutazione1", QStringLiteral("Inserisci nuova valutazione"),
                                      QStringLiteral("Inserisci nuova valutazione"),
                                      &EvaluationsScreen::Inseriscinuovavalutazione1Click);
    N1 = PopupMenu1->addSeparator();
    N1->setObjectName(QStringLiteral("N1"));
    Stampagrafico1 = item("Stampagrafico1", QStringLiteral("Stampa grafico"),
                          QStringLiteral("Stampa il grafico di valutazione del bimbo"), &EvaluationsScreen::SpeedButton8Click);
    Stampascheda1 = item("Stampascheda1", QStringLiteral("Stampa scheda"),
                         QStringLiteral("Stampa la scheda di valutazione del bimbo"), &EvaluationsScreen::SpeedButton10Click);
    menuHintsToStatusBar(PopupMenu1);
    DBGrid7->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(DBGrid7, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& at) {
                if (elencoLibero())
                    PopupMenu1->popup(DBGrid7->viewport()->mapToGlobal(at));
            });
}

int EvaluationsScreen::ContaMesi(const QDate& birth, const std::function<QDateTime()>& now)
{
    double running = birth.isValid() ? double(dayZero.daysTo(birth)) : 0.0;
    int months = 0;
    while (daysOf(now()) > running) {
        running += GiorniMese;
        ++months;
    }
    return months;
}

void EvaluationsScreen::Tbl_ValutazioniNewRecord()
{
    store::Table& bimbi = data.Tbl_AnagBimbi;
    const int child = bimbi.isOpen() ? DataModule::wholeNumber(bimbi.asString(QStringLiteral("Id"))) : 0;
    if (child == 0) {
        data.dialogs.plain(noChild);
        throw store::Abort();
    }
    // A child without a birth date is counted from day 0 of the date scale:
    // the age comes out absurdly high, which shows at once on the sheet, where
    // it can be corrected, instead of passing for a plausible age.
    const int months = ContaMesi(bimbi.value(QStringLiteral("DataDiNascita")).toDate(), data.Now);
    store::Table& t = data.Tbl_Valutazioni;
    t.setValue(QStringLiteral("DataValutazione"), data.Now().date());
    t.setValue(QStringLiteral("MesiBimbo"), months);
    t.setValue(QStringLiteral("Id_Bimbo"), child);
}

void EvaluationsScreen::apriScheda()
{
    sheet.mostra();
}

void EvaluationsScreen::Tbl_ValutazioniAfterInsert()
{
    // Saved at once, so that the staff and phases of the sheet can refer to
    // its Id.
    if (data.Tbl_Valutazioni.state() == store::Table::State::Insert)
        data.Tbl_Valutazioni.post();
    apriScheda();
    data.AbilitaNavigazione(false);
}

void EvaluationsScreen::Tbl_ValutazioniAfterEdit()
{
    // The toggle of the selection edits the record without opening it.
    if (m_selezioneInCorso)
        return;
    apriScheda();
    phases.ImpostaChiaveArea(0);
    data.AbilitaNavigazione(false);
    store::Table& aree = data.Tbl_Aree;
    if (!aree.isOpen())
        aree.open();
    aree.last();
    aree.first();
    phases.ImpostaChiaveArea(aree.value(QStringLiteral("Id")));
    phases.CB_AreaCloseUp();
}

void EvaluationsScreen::Tbl_ValutazioniAfterScroll()
{
    // On an empty list the Id is empty and the previous filters stay.
    const QString id = data.Tbl_Valutazioni.asString(QStringLiteral("Id"));
    for (store::Table* t : {&data.Tbl_Personale, &data.Tbl_FasiVal}) {
        if (!t->isOpen())
            t->open();
        t->setFiltered(false);
        if (!id.isEmpty())
            t->setFilter(QStringLiteral("Id_Valutazione=") + id);
        t->setFiltered(true);
    }
    mostraSviluppoTeorico();
}

void EvaluationsScreen::mostraSviluppoTeorico()
{
    const QVariant months = data.Tbl_Valutazioni.value(QStringLiteral("MesiBimbo"));
    sheet.mostraSviluppoTeorico(formatGeneral(scoring::CalcolaSviluppoTeorico(months)));
}

void EvaluationsScreen::Tbl_ValutazioniMesiBimboChange()
{
    mostraSviluppoTeorico();
}

void EvaluationsScreen::Tbl_ValutazioniBeforeDelete()
{
    // The registries toolbar shows only for the responsible educator.
    if (data.shell->setupVisibile())
        return;
    data.dialogs.warning(onlyResponsible);
    throw store::Abort();
}

void EvaluationsScreen::DBGrid7DrawColumnCell(QPainter* painter, const QStyleOptionViewItem& option,
                                              const QModelIndex& index, bool& handled)
{
    if (index.column() != 0)
        return; // the grid's usual drawing
    handled = true;

    // The row as the list shows it: while the children registry is open,
    // the one it showed before.
    const bool selected = DBGrid7->dataModel()->fieldValue(index.row(), QStringLiteral("Sel")).toBool();

    // The cell's background as the grid draws it, then the mark over it.
    QStyleOptionViewItem opt(option);
    QStyle* style = DBGrid7->style();
    style->drawPrimitive(QStyle::PE_PanelItemViewItem, &opt, painter, DBGrid7);

    painter->save();
    painter->setBrush(Qt::NoBrush);
    if (selected) {
        // The picture is wider than the column: only its left part shows.
        painter->setClipRect(option.rect);
        painter->drawPixmap(option.rect.topLeft(), Sel_Image->pixmap());
    } else {
        QPen dotted(Qt::black);
        dotted.setStyle(Qt::DotLine);
        painter->setPen(dotted);
        painter->drawRect(option.rect.adjusted(0, 0, -1, -1));
    }
    painter->restore();
}

bool EvaluationsScreen::elencoLibero() const
{
    // The navigation lock disables the logout button with the rest.
    return data.shell && data.shell->navigazioneAbilitata();
}

void EvaluationsScreen::DBGrid7DblClick()
{
    data.guarded([&] {
        store::Table& t = data.Tbl_Valutazioni;
        // Nothing to toggle on an empty list. The table's end-of-data position
        // (after "Ultima valutazione") still has its last row current and
        // highlighted in the list, so the toggle works on that row: a double
        // click on the row the user sees as current never does nothing.
        // While the evaluation is open on the sheet its editing is not ours.
        if (!t.isOpen() || t.isEmpty() || t.state() != store::Table::State::Browse)
            return;
        m_selezioneInCorso = true;
        try {
            t.edit();
            t.setValue(QStringLiteral("Sel"), !t.asBoolean(QStringLiteral("Sel")));
            t.post();
        } catch (...) {
            t.cancel();
            m_selezioneInCorso = false;
            throw;
        }
        m_selezioneInCorso = false;
    });
}

void EvaluationsScreen::Modifica1Click()
{
    // On an empty list the table turns the editing into an insertion.
    data.guarded([&] { data.Tbl_Valutazioni.edit(); });
}

void EvaluationsScreen::Inseriscinuovavalutazione1Click()
{
    data.guarded([&] { data.Tbl_Valutazioni.append(); });
}

void EvaluationsScreen::SpeedButton8Click()
{
    if (sheet.prints())
        sheet.prints()->SpeedButton8Click();
}

void EvaluationsScreen::SpeedButton10Click()
{
    if (sheet.prints())
        sheet.prints()->SpeedButton10Click();
}

} // namespace velmora
