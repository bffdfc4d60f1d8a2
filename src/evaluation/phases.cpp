#include "phases.h"
#include "datagrid.h"
#include "datanavigator.h"
#include "builders.h"
#include "evaluationprints.h"
#include "fonts.h"
#include "keyboard.h"
#include "lookups.h"
#include "datamodule.h"
#include "dialogs.h"
#include "numberformat.h"
#include "records.h"
#include "scoring.h"
#include "sheet.h"

#include <QApplication>
#include <QButtonGroup>
#include <QEvent>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QPainter>
#include <QRadioButton>
#include <QToolButton>

namespace velmora {

namespace {

using State = store::Table::State;
using B = DataNavigator::Button;

const QString zeroScoredText = QStringLiteral("La fase precedente aveva ottenuto come punteggio 0!\r"
                                              "Non è pertanto consentito proseguire con l'inserimento di nuove fasi.");
const QString fourteenText =
    QStringLiteral("Attenzione! Sono già state inserite le 14 fasi possibili per l'area selezionata.");

// The area box: its area's colour inside a thin grey frame, painted here.
// A style sheet on the box would colour it as well, but would give every
// control in it the application's default face instead of the window's.
class AreaBox : public QGroupBox
{
public:
    using QGroupBox::QGroupBox;

    void setColour(const QColor& colour)
    {
        QPalette p = palette();
        p.setColor(QPalette::Window, colour);
        setPalette(p);
        update();
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter p(this);
        p.setRenderHint(QPainter::Antialiasing, true);
        p.setPen(QColor(0xa0, 0xa0, 0xa0));
        p.setBrush(palette().color(QPalette::Window));
        p.drawRoundedRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5), 2, 2);
    }
};

bool editing(const store::Table& t) { return t.state() == State::Edit || t.state() == State::Insert; }

scoring::AnswerLists listsOf(const store::Table& t) { return records::risposte(t); }

// Whole number read from a key or an Id; `fallback` when empty or not a number.
int wholeOr(const QVariant& v, int fallback)
{
    bool ok = false;
    const int n = v.toString().trimmed().toInt(&ok);
    return ok ? n : fallback;
}

} // namespace

PhasesScreen::PhasesScreen(DataModule& d, EvaluationSheet& sheet, QObject* parent)
    : QObject(parent), data(d), sheet(sheet)
{
    store::Table& fasi = data.Tbl_FasiVal;
    fasi.addCalculatedField(QStringLiteral("Valori"), store::FieldType::Float);
    fasi.setReaction(store::Table::Reaction::OnCalcFields, this, [this](store::Table& t) { Tbl_FasiValCalcFields(t); });
    fasi.setReaction(store::Table::Reaction::OnNewRecord, this, [this](store::Table&) { Tbl_FasiValNewRecord(); });
    fasi.setReaction(store::Table::Reaction::AfterInsert, this, [this](store::Table&) { Tbl_FasiValAfterInsert(); });
    fasi.setReaction(store::Table::Reaction::AfterScroll, this, [this](store::Table&) { Tbl_FasiValAfterScroll(); });
    fasi.setReaction(store::Table::Reaction::AfterPost, this, [this](store::Table&) { Tbl_FasiValAfterPost(); });
    data.Tbl_Aree.setReaction(store::Table::Reaction::AfterScroll, this, [this](store::Table&) { Tbl_AreeAfterScroll(); });

    buildBox();
    connect(&sheet, &EvaluationSheet::aperta, this, [this] {
        // The keys go to the sheet now in front, starting from its areas; left
        // on the list under it, they would move the list unseen. When the
        // sheet opens again under the user's hands (the first key typed into
        // a new evaluation's date or age puts it into editing), the focus
        // stays in that field and the rest of the typing goes on there.
        QWidget* typing = QApplication::focusWidget();
        if (!(typing && this->sheet.box()->isAncestorOf(typing)))
            CB_Area->setFocus(Qt::OtherFocusReason);
        data.guarded([&] { mostraTotaleValutazione(); });
    });
}

void PhasesScreen::buildBox()
{
    GroupBox4 = new AreaBox(sheet.box());
    GroupBox4->setObjectName(QStringLiteral("GroupBox4"));
    GroupBox4->setGeometry(4, 252, 833, 305);
    // White until an area is first chosen.
    coloraBox(Qt::white);

    auto* caption = new QLabel(QStringLiteral("Inserimento area"), GroupBox4);
    caption->setObjectName(QStringLiteral("Label_InserimentoArea"));
    caption->move(8, 14);
    caption->adjustSize();
    CB_Area = new LookupComboBox(GroupBox4);
    CB_Area->setObjectName(QStringLiteral("CB_Area"));
    CB_Area->setGeometry(110, 10, 320, 22);
    CB_Area->setMaxVisibleItems(10);
    CB_Area->setDialogs(&data.dialogs);
    CB_Area->setListSource(&data.Tbl_Aree, QStringLiteral("Id"), QStringLiteral("AreaCombo"));
    CB_Area->installEventFilter(this);
    data.onEvent(CB_Area, &LookupComboBox::closeUp, this, &PhasesScreen::CB_AreaCloseUp);

    DBGrid11 = new DataGrid(GroupBox4);
    DBGrid11->setObjectName(QStringLiteral("DBGrid11"));
    DBGrid11->setGeometry(8, 40, 150, 200);
    DBGrid11->setDialogs(&data.dialogs);
    DBGrid11->addColumn(QStringLiteral("NumFase"), QStringLiteral("N. Fase"), 58);
    DBGrid11->addColumn(QStringLiteral("Valori"), QStringLiteral("Punteggio"), 74);
    // A phase number typed wrong can be corrected in its cell.
    DBGrid11->setColumnEditable(0, true);
    // A phase number may be corrected to any number, but not cleared: a
    // phase without one would count in the area's total as if numbered 0.
    DBGrid11->setColumnRequired(0, QStringLiteral("Il numero della fase non può restare vuoto."));
    DBGrid11->setTable(&data.Tbl_FasiVal);
    DBGrid11->drawCell = [this](QPainter* p, const QStyleOptionViewItem& option, const QModelIndex& index, bool& handled) {
        if (index.column() != 1)
            return;
        const QVariant v = index.data(Qt::DisplayRole);
        if (v.isNull() || v.toString().isEmpty())
            return;
        p->save();
        if (option.state & QStyle::State_Selected)
            p->fillRect(option.rect, option.palette.highlight());
        else
            p->fillRect(option.rect, option.palette.base());
        p->setPen(option.state & QStyle::State_Selected ? option.palette.highlightedText().color()
                                                        : option.palette.text().color());
        // The grid already writes the score in the general number format
        // ("0,25"); reading that text back as a number would lose it.
        p->drawText(option.rect.adjusted(2, 0, -2, 0), Qt::AlignRight | Qt::AlignVCenter, v.toString());
        p->restore();
        handled = true;
    };

    DBNavigator11 = new DataNavigator(GroupBox4);
    DBNavigator11->setObjectName(QStringLiteral("DBNavigator11"));
    DBNavigator11->setGeometry(8, 244, 150, 18);
    // Nine buttons in 150 pixels: their glyphs a size smaller than the window's.
    DBNavigator11->setFont(tahomaFont(11));
    DBNavigator11->setTable(&data.Tbl_FasiVal);
    DBNavigator11->setDialogs(&data.dialogs);
    const QList<B> buttons = {B::First, B::Prior, B::Next, B::Last, B::Insert, B::Delete, B::Edit, B::Post, B::Cancel};
    const QStringList hints = {QStringLiteral("Prima fase"),        QStringLiteral("Fase precedente"),
                               QStringLiteral("Fase successiva"),   QStringLiteral("Ultima fase"),
                               QStringLiteral("Inserisci fase"),    QStringLiteral("Cancella fase"),
                               QStringLiteral("Modifica fase"),     QStringLiteral("Salva modifiche fase"),
                               QStringLiteral("Cancella modifiche fase")};
    DBNavigator11->setVisibleButtons(buttons);
    for (int i = 0; i < buttons.size(); ++i)
        DBNavigator11->setHint(buttons[i], hints[i]);
    // The total counts the phases still there once one is deleted.
    data.onEvent(DBNavigator11, &DataNavigator::clicked, this, [this](B b) {
        if (b == B::Delete)
            CalcolaTotaleArea(true);
    });

    auto* totalCaption = new QLabel(QStringLiteral("Totale per area:"), GroupBox4);
    totalCaption->setObjectName(QStringLiteral("Label_TotaleArea"));
    totalCaption->move(8, 272);
    totalCaption->adjustSize();
    Lbl_Totale_Area = new QLabel(QStringLiteral("-"), GroupBox4);
    Lbl_Totale_Area->setObjectName(QStringLiteral("Lbl_Totale_Area"));
    Lbl_Totale_Area->setGeometry(110, 272, 60, 16);

    Panel3 = new QWidget(GroupBox4);
    Panel3->setObjectName(QStringLiteral("Panel3"));
    Panel3->setGeometry(166, 38, 662, 262);

    const QString hint = QStringLiteral("Seleziona la risposta");
    const QStringList labels = {scoring::answerLabel(scoring::Answer::Si), scoring::answerLabel(scoring::Answer::No),
                                scoring::answerLabel(scoring::Answer::AVolte),
                                scoring::answerLabel(scoring::Answer::NonSo),
                                scoring::answerLabel(scoring::Answer::NonEsiste)};
    for (int i = 0; i < Items; ++i) {
        const int item = i + 1;
        auto* g = new QGroupBox(QStringLiteral("Domanda %1").arg(item), Panel3);
        g->setObjectName(QStringLiteral("Domanda%1").arg(item));
        g->setToolTip(hint);
        g->setStatusTip(hint);
        const int row = i < 6 ? 0 : 1;
        const int col = i < 6 ? i : i - 6;
        g->setGeometry(2 + col * 109, 2 + row * 130, 105, 126);
        auto* group = new QButtonGroup(g);
        group->setExclusive(true);
        for (int a = 0; a < Answers; ++a) {
            auto* r = new QRadioButton(labels[a], g);
            r->setObjectName(QStringLiteral("Domanda%1_%2").arg(item).arg(a));
            r->setGeometry(6, 18 + a * 21, 95, 20);
            r->installEventFilter(this);
            group->addButton(r, a);
            Risposte[i][a] = r;
        }
        Risposte[i][NonEsiste]->setChecked(true);
        data.onEvent(group, &QButtonGroup::idToggled, this, [this, item](int, bool checked) {
            if (checked)
                Domanda1Click(item);
        });
        Domanda[i] = g;
        m_groups[i] = group;
        // Tab comes into the item on its chosen answer; the arrows move among
        // the others (tastoSullaRisposta).
        tabStopOnChecked({Risposte[i][0], Risposte[i][1], Risposte[i][2], Risposte[i][3], Risposte[i][4]});
    }

    // The print buttons and the way back share the panel with the items.
    SpeedButton10 = speedButton(Panel3, "SpeedButton10", QStringLiteral("Scheda"),
                                QStringLiteral("Stampa la scheda di valutazione del bimbo"), QRect(550, 134, 50, 50),
                                Glyph::Scheda);
    data.onEvent(SpeedButton10, &QToolButton::clicked, this, [this] {
        if (sheet.prints())
            sheet.prints()->SpeedButton10Click();
    });
    SpeedButton8 = speedButton(Panel3, "SpeedButton8", QStringLiteral("Grafico"),
                               QStringLiteral("Stampa il grafico di valutazione del bimbo"), QRect(606, 134, 50, 50),
                               Glyph::Grafico);
    data.onEvent(SpeedButton8, &QToolButton::clicked, this, [this] {
        if (sheet.prints())
            sheet.prints()->SpeedButton8Click();
    });
    sheet.posaTornaAllElenco(Panel3, QRect(606, 196, 50, 50));
}

namespace {

// The keys that change the choice of a closed drop-down list: the arrows,
// the page and end keys, and a letter that looks an item up. The release of
// any other key (the Tab that brought the focus, the Return that opened the
// sheet) changes nothing.
bool changesChoice(const QKeyEvent* key)
{
    switch (key->key()) {
    case Qt::Key_Up:
    case Qt::Key_Down:
    case Qt::Key_PageUp:
    case Qt::Key_PageDown:
    case Qt::Key_Home:
    case Qt::Key_End:
        return true;
    default:
        return !(key->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier))
            && !key->text().isEmpty() && key->text().at(0).isPrint();
    }
}

} // namespace

bool PhasesScreen::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == CB_Area) {
        if (event->type() == QEvent::KeyRelease && changesChoice(static_cast<QKeyEvent*>(event)))
            CB_AreaKeyUp();
        return false;
    }
    for (int i = 0; i < Items; ++i) {
        for (int a = 0; a < Answers; ++a) {
            if (Risposte[i][a] != watched)
                continue;
            if (event->type() == QEvent::FocusIn)
                Domanda1Enter(i + 1);
            else if (event->type() == QEvent::FocusOut)
                Domanda1Exit(i + 1);
            else if (event->type() == QEvent::KeyPress)
                return tastoSullaRisposta(i + 1, a, static_cast<QKeyEvent*>(event));
            return false;
        }
    }
    return QObject::eventFilter(watched, event);
}

bool PhasesScreen::tastoSullaRisposta(int item, int answer, QKeyEvent* key)
{
    // The arrows move among the five answers of the item without choosing
    // (an answer is stored as soon as it is chosen, so passing over one must
    // not store it); Space, as on every button, and Return choose the answer
    // under the focus.
    switch (key->key()) {
    case Qt::Key_Up:
    case Qt::Key_Left:
        if (answer > 0)
            Risposte[item - 1][answer - 1]->setFocus(Qt::BacktabFocusReason);
        return true;
    case Qt::Key_Down:
    case Qt::Key_Right:
        if (answer + 1 < Answers)
            Risposte[item - 1][answer + 1]->setFocus(Qt::TabFocusReason);
        return true;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        if (!key->isAutoRepeat() && !Risposte[item - 1][answer]->isChecked())
            Risposte[item - 1][answer]->click();
        return true;
    default:
        return false;
    }
}

// ---------------------------------------------------------------- areas

QVariant PhasesScreen::chiaveArea() const { return CB_Area->keyValue(); }

void PhasesScreen::ImpostaChiaveArea(const QVariant& key)
{
    if (wholeOr(key, 0) == 0) {
        CB_Area->setKeyValue(0);
        return;
    }
    store::Table& aree = data.Tbl_Aree;
    if (aree.isOpen() && aree.value(QStringLiteral("Id")) != key)
        aree.locate(QStringLiteral("Id"), key);
    CB_Area->setKeyValue(key);
}

void PhasesScreen::impostaFiltroFasi(bool soloNonSo)
{
    store::Table& fasi = data.Tbl_FasiVal;
    if (!fasi.isOpen())
        fasi.open();
    fasi.setFiltered(false);
    const QString v = data.Tbl_Valutazioni.isOpen() ? data.Tbl_Valutazioni.asString(QStringLiteral("Id")) : QString();
    const QString a = data.Tbl_Aree.isOpen() ? data.Tbl_Aree.asString(QStringLiteral("Id")) : QString();
    // With neither key the filter text stays as it was.
    const QString text = records::filtroFasi(v, a, soloNonSo);
    if (!text.isEmpty())
        fasi.setFilter(text);
    fasi.setFiltered(true);
}

QColor PhasesScreen::coloreArea(const QVariant& id)
{
    // An empty or non-numeric Id counts as 3.
    const int n = wholeOr(id, 3);
    switch (((n % 3) + 3) % 3) {
    case 0: return QColor(236, 135, 250);
    case 1: return QColor(176, 230, 255);
    default: return QColor(255, 255, 128);
    }
}

void PhasesScreen::coloraBox(const QColor& colour) { static_cast<AreaBox*>(GroupBox4)->setColour(colour); }

void PhasesScreen::applicaArea()
{
    data.guarded([&] {
        impostaFiltroFasi(false);
        coloraBox(coloreArea(data.Tbl_Aree.isOpen() ? data.Tbl_Aree.value(QStringLiteral("Id")) : QVariant()));
        CalcolaTotaleArea(true);
    });
}

void PhasesScreen::CB_AreaCloseUp() { applicaArea(); }

void PhasesScreen::CB_AreaKeyUp() { applicaArea(); }

void PhasesScreen::Tbl_AreeAfterScroll()
{
    if (areaFollow == AreaFollow::Phases)
        impostaFiltroFasi(false);
    else if (areaFollow == AreaFollow::NonSoPhases)
        impostaFiltroFasi(true);
}

void PhasesScreen::mostraTotaleValutazione()
{
    // The sheet opens on the phases of its evaluation, but a new evaluation
    // comes in front before the phases are filtered to it (they may still
    // hold the previous sheet's summary selection): the total is counted
    // over the evaluation's phases themselves. Choosing an area then counts
    // that area's.
    const QString v = data.Tbl_Valutazioni.isOpen() ? data.Tbl_Valutazioni.asString(QStringLiteral("Id")) : QString();
    if (v.isEmpty()) {
        CalcolaTotaleArea(true);
        return;
    }
    Lbl_Totale_Area->setText(formatGeneral(totaleFasi(QStringLiteral("Id_Valutazione=") + v)));
}

double PhasesScreen::CalcolaTotaleArea(bool show)
{
    const double result = totaleFasi(std::nullopt);
    if (show)
        Lbl_Totale_Area->setText(formatGeneral(result));
    return result;
}

double PhasesScreen::totaleFasi(const std::optional<QString>& filter)
{
    // The total of the phases shown starts from the grid's own rows when
    // they are all in memory and nothing was posted since they were read.
    if (filter)
        return records::totaleFiltro(data.Tbl_FasiVal, *filter);
    return records::totaleSelezione(data.Tbl_App, data.Tbl_FasiVal, store::Table::CopyRows::Shown);
}

// ---------------------------------------------------------------- phases

void PhasesScreen::Tbl_FasiValCalcFields(store::Table& t)
{
    t.setValue(QStringLiteral("Valori"), scoring::phaseScore(listsOf(t)));
}

void PhasesScreen::Tbl_FasiValNewRecord()
{
    // The phases already stored for this evaluation and area, in the order
    // of the grid: the last one decides whether another may follow.
    const QVariant months =
        data.Tbl_Valutazioni.isOpen() ? data.Tbl_Valutazioni.value(QStringLiteral("MesiBimbo")) : QVariant();
    const records::PropostaFase proposta = records::propostaFase(data.Tbl_FasiVal, months);
    switch (proposta.stop) {
    case records::PropostaFase::Stop::FasePrecedente0:
        data.dialogs.plain(zeroScoredText);
        throw store::Abort();
    case records::PropostaFase::Stop::Quattordici:
        data.dialogs.plain(fourteenText);
        throw store::Abort();
    case records::PropostaFase::Stop::Nessuno:
        break;
    }
    const int proposed = proposta.numero;

    const int area = wholeOr(chiaveArea(), 0);
    if (area == 0)
        throw store::Abort();

    const QString initial = QString::number(proposed);
    int number = 0;
    while (number < 1 || number > 14) {
        const std::optional<QString> answer = data.dialogs.input(QStringLiteral("Introdurre il numero della fase"),
                                                                QStringLiteral("Numero fase: 1-14"), initial, false);
        bool ok = false;
        number = (answer ? *answer : initial).trimmed().toInt(&ok);
        if (!ok)
            number = 0;
    }

    store::Table& fasi = data.Tbl_FasiVal;
    fasi.setValue(QStringLiteral("NumFase"), number);
    fasi.setValue(QStringLiteral("Id_Area"), area);
    fasi.setValue(QStringLiteral("Id_Valutazione"), data.Tbl_Valutazioni.value(QStringLiteral("Id")));
    for (const char* list : {"Si", "No", "NonSo", "AVolte"})
        fasi.setValue(QString::fromLatin1(list), QString());
    for (int item = 1; item <= Items; ++item)
        impostaRisposta(item, NonEsiste);
}

void PhasesScreen::Tbl_FasiValAfterInsert()
{
    // A new phase is stored before any of its items is answered.
    if (data.Tbl_FasiVal.state() == State::Insert)
        data.Tbl_FasiVal.post();
}

void PhasesScreen::Tbl_FasiValAfterPost() { CalcolaTotaleArea(true); }

void PhasesScreen::Tbl_FasiValAfterScroll()
{
    for (int item = 1; item <= Items; ++item)
        impostaRisposta(item, NonEsiste);
    const store::Table& fasi = data.Tbl_FasiVal;
    const scoring::AnswerLists lists = fasi.isOpen() ? listsOf(fasi) : scoring::AnswerLists{};
    for (int item = 1; item <= Items; ++item) {
        int position = NonEsiste;
        if (scoring::contains(lists.si, item))
            position = 0;
        else if (scoring::contains(lists.no, item))
            position = 1;
        else if (scoring::contains(lists.aVolte, item))
            position = 2;
        else if (scoring::contains(lists.nonSo, item))
            position = 3;
        impostaRisposta(item, position);
    }
}

// ---------------------------------------------------------------- items

int PhasesScreen::itemIndex(int item) const { return m_groups[item - 1]->checkedId(); }

void PhasesScreen::impostaRisposta(int item, int position)
{
    Tag[item - 1] = 0;
    Risposte[item - 1][position]->setChecked(true);
    Tag[item - 1] = 1;
}

void PhasesScreen::applicaGrassetto(int item)
{
    const bool bold = itemIndex(item) == int(scoring::Answer::NonSo);
    // The caption and each of the five answers: a button whose font was set
    // once no longer follows its group's.
    QWidget* group = Domanda[item - 1];
    for (QWidget* w : std::initializer_list<QWidget*>{group, Risposte[item - 1][0], Risposte[item - 1][1],
                                                      Risposte[item - 1][2], Risposte[item - 1][3],
                                                      Risposte[item - 1][4]}) {
        QFont f = w->font();
        f.setBold(bold);
        w->setFont(f);
    }
}

void PhasesScreen::Domanda1Enter(int item) { Tag[item - 1] = 1; }

void PhasesScreen::Domanda1Exit(int item) { Tag[item - 1] = 0; }

void PhasesScreen::Domanda1Click(int item)
{
    applicaGrassetto(item);
    if (Tag[item - 1] == 0)
        return;
    data.guarded([&] {
        store::Table& fasi = data.Tbl_FasiVal;
        if (!fasi.isOpen())
            return;
        // On an area without phases the first request inserts one (through
        // the new-phase procedure, which stores it), the second edits it.
        if (!editing(fasi))
            fasi.edit();
        if (!editing(fasi) && fasi.isEmpty()) {
            // The new phase was refused (no area chosen): nothing is stored,
            // so the answer just clicked must not stay shown as if it were.
            Tbl_FasiValAfterScroll();
            return;
        }
        if (!editing(fasi))
            fasi.edit();
        if (!editing(fasi))
            return;
        scoring::AnswerLists lists;
        for (int i = 1; i <= Items; ++i)
            scoring::setAnswer(lists, i, scoring::Answer(itemIndex(i)));
        fasi.setValue(QStringLiteral("Si"), lists.si);
        fasi.setValue(QStringLiteral("No"), lists.no);
        fasi.setValue(QStringLiteral("AVolte"), lists.aVolte);
        fasi.setValue(QStringLiteral("NonSo"), lists.nonSo);
        fasi.post();
    });
}

} // namespace velmora
