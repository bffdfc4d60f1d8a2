// The evaluation sheet as the user sees it: the colour of its lower box and
// of its rules, the box's captions in the window's face, bold answers, the staff chosen in the grid's cells, the area
// total, one box per refused value, closing the program with something that
// cannot be stored, and the nursery the prints head.

#include "children.h"
#include "datagrid.h"
#include "datanavigator.h"
#include "dataedits.h"
#include "evaluations.h"
#include "fonts.h"
#include "lookups.h"
#include "mainwindow.h"
#include "phases.h"
#include "prints.h"
#include "pixels.h"
#include "scenariofixture.h"
#include "scripteddialogs.h"
#include "scripteddialogs_qtest.h"
#include "sheet.h"
#include "staff.h"
#include "table.h"

#include <QApplication>
#include <QComboBox>
#include <QFocusEvent>
#include <QGroupBox>
#include <QLabel>
#include <QPointer>
#include <QRadioButton>
#include <QStyleOptionButton>
#include <QTest>
#include <QToolButton>

using namespace velmora;

namespace {

using B = DataNavigator::Button;
const QDate today(2026, 12, 10);
const QString deleteQuestion = QStringLiteral("Eliminare il record?");
const QString nonSoQuestion = QStringLiteral("Nella valutazione sono presenti dei \"Non So\". Desideri stampare un "
                                             "riepilogo dei \"Non so\" per verificarli?");
const QString closeAnyway = QStringLiteral("Le modifiche non salvate andranno perse. Chiudere comunque il programma?");
const QColor ruleColour(0, 128, 255);

// A nursery with one responsible educator, Anna Rossi (password "pw"), and
// one child born 30 months before today with one evaluation.
struct Folder : ScenarioFolder
{
    int nido = 0;
    int rossi = 0;
    int child = 0;
    int evaluation = 0;

    Folder()
    {
        nido = nursery({{"Nome", QStringLiteral("Arcobaleno")}, {"Indirizzo", QStringLiteral("Via Roma 1")},
                        {"Cap", QStringLiteral("20100")}, {"Citta", QStringLiteral("Milano")},
                        {"Provincia", QStringLiteral("MI")}});
        rossi = educator();
        child = ScenarioFolder::child(
            {.nome = QStringLiteral("Giulia"), .cognome = QStringLiteral("Bassi"), .born = today.addMonths(-30)});
        evaluation = ScenarioFolder::evaluation({.child = child, .months = 30, .sel = false});
    }
};

// Every item answered "Si".
const QString allSi = QStringLiteral("-01-02-03-04-05-06-07-08-09-10-11");

// Shows the window, as the user has it, and logs in.
void start(TFrm_Main& w, ScriptedDialogs& d)
{
    w.Data.Now = [] { return QDateTime(today, QTime(9, 30)); };
    w.show();
    login(w, d, QStringLiteral("Rossi"));
}

// The part of the painted window that `widget` covers.
QImage painted(const QImage& shot, QWidget* window, QWidget* widget)
{
    return shot.copy(QRect(widget->mapTo(window, QPoint(0, 0)), widget->size())).convertToFormat(QImage::Format_RGB32);
}

// Points of `box` where nothing is laid over it but `through` (a panel
// without a background of its own): there the box's own background shows.
QList<QPoint> backgroundPoints(QWidget* box, QWidget* through)
{
    QList<QPoint> out;
    for (int y = 8; y < box->height() - 8; y += 8)
        for (int x = 8; x < box->width() - 8; x += 8) {
            QWidget* c = box->childAt(x, y);
            if (!c || c == through)
                out << QPoint(x, y);
        }
    return out;
}

// How much of an answer's text is inked: dark pixels in its caption's part
// of the painted button, and the rightmost column holding one.
testsupport::Ink inkOf(const QImage& shot, QWidget* window, QRadioButton* r)
{
    QStyleOptionButton opt;
    opt.initFrom(r);
    opt.text = r->text();
    const QRect text = r->style()->subElementRect(QStyle::SE_RadioButtonContents, &opt, r);
    return testsupport::darkInk(painted(shot, window, r), text, 110);
}

// True when `label` is painted exactly as a label of its kind showing `text`.
bool paintsText(QLabel* label, const QString& text)
{
    QLabel reference(text, label->parentWidget());
    reference.setGeometry(label->geometry());
    reference.setFont(label->font());
    reference.setAlignment(label->alignment());
    reference.show();
    const QImage want = reference.grab().toImage();
    const QImage got = label->grab().toImage();
    if (got != want)
        qWarning("the label shows %s, not %s", qPrintable(label->text()), qPrintable(text));
    return got == want;
}

// Boxes that take the focus as a real message box does when it comes up:
// the widget holding the focus loses it to the box, and gets it back when
// the box is closed.
class FocusTakingDialogs : public ScriptedDialogs
{
public:
    Button message(BoxType type, const QString& text, Buttons buttons, const QString& caption) override
    {
        QPointer<QWidget> had = QApplication::focusWidget();
        if (had) {
            QFocusEvent out(QEvent::FocusOut, Qt::ActiveWindowFocusReason);
            QCoreApplication::sendEvent(had, &out);
        }
        const Button answer = ScriptedDialogs::message(type, text, buttons, caption);
        if (had) {
            QFocusEvent in(QEvent::FocusIn, Qt::ActiveWindowFocusReason);
            QCoreApplication::sendEvent(had, &in);
        }
        return answer;
    }
};

// Replaces the text of an edit as the user does, key by key.
void typeInto(QLineEdit* e, const QString& text)
{
    e->selectAll();
    QTest::keyClick(e, Qt::Key_Backspace);
    QTest::keyClicks(e, text);
}

int errorBoxes(const ScriptedDialogs& d)
{
    int n = 0;
    for (const auto& s : d.shown())
        n += s.kind == ScriptedDialogs::Shown::Message && s.type == BoxType::Error;
    return n;
}

} // namespace

class TestSheetPainted : public QObject
{
    Q_OBJECT

private slots:
    // The server run (test_sheet_painted_server) skips where it cannot run.
    void initTestCase() { STORETEST_REQUIRE_ENGINE(); }
    void lowerBoxInAreaColour_data();
    void lowerBoxInAreaColour();
    void rulesInTheirColour();
    void boxControlsInWindowFace_data();
    void boxControlsInWindowFace();
    void nonSoAnswersBold();
    void refusedValueToldOnce_data();
    void refusedValueToldOnce();
    void staffChosenInCells();
    void staffShowsRegistryChanges();
    void totalAfterDeletionAndOnOpening();
    void closingAnywayAfterRefusal_data();
    void closingAnywayAfterRefusal();
    void printsHeadCurrentNursery();
};

void TestSheetPainted::lowerBoxInAreaColour_data()
{
    QTest::addColumn<int>("area"); // 0: none chosen yet
    QTest::addColumn<QColor>("colour");
    QTest::newRow("before the first choice") << 0 << QColor(Qt::white);
    QTest::newRow("Id 1") << 1 << QColor(176, 230, 255);
    QTest::newRow("Id 2") << 2 << QColor(255, 255, 128);
    QTest::newRow("Id 3") << 3 << QColor(236, 135, 250);
}

void TestSheetPainted::lowerBoxInAreaColour()
{
    QFETCH(int, area);
    QFETCH(QColor, colour);
    Folder p;
    ScriptedDialogs d;
    TFrm_Main w(p.path(), d);
    start(w, d);
    // A new evaluation opens the sheet with the area chooser left as it was:
    // nothing chosen yet in this session.
    w.evaluationsScreen().Inseriscinuovavalutazione1Click();
    VERIFY_DIALOGS(d);
    QVERIFY(!control<QGroupBox>(&w, "GB_Valutazione")->isHidden());
    if (area != 0) {
        int row = -1;
        for (int i = 0; i < control<LookupComboBox>(&w, "CB_Area")->count(); ++i)
            if (control<LookupComboBox>(&w, "CB_Area")->itemData(i).toInt() == area)
                row = i;
        QVERIFY(row >= 0);
        emit control<LookupComboBox>(&w, "CB_Area")->activated(row);
        VERIFY_DIALOGS(d);
        QCOMPARE(w.Data.Tbl_Aree.asInteger(QStringLiteral("Id")), area);
    }

    const QImage shot = w.grab().toImage();
    const QImage box = painted(shot, &w, control<QGroupBox>(&w, "GroupBox4"));
    if (qEnvironmentVariableIsSet("SHOT")) shot.save(QStringLiteral("/tmp/sheetshot_%1.png").arg(area));
    const QList<QPoint> points = backgroundPoints(control<QGroupBox>(&w, "GroupBox4"), control<QWidget>(&w, "Panel3"));
    QVERIFY(points.size() > 100);
    for (const QPoint& pt : points)
        QVERIFY2(box.pixelColor(pt) == colour,
                 qPrintable(QStringLiteral("(%1,%2) is %3").arg(pt.x()).arg(pt.y()).arg(box.pixelColor(pt).name())));
    // The item groups and controls inside keep their own look: the phases
    // grid is not painted in the box's colour.
    if (area != 0)
        QVERIFY(painted(shot, &w, control<DataGrid>(&w, "DBGrid11")->viewport()).pixelColor(20, 60) != colour);
}

void TestSheetPainted::rulesInTheirColour()
{
    Folder p;
    ScriptedDialogs d;
    TFrm_Main w(p.path(), d);
    start(w, d);
    openSheet(w, d, p.child, p.evaluation);
    const QImage shot = w.grab().toImage();
    for (QFrame* rule : {control<QFrame>(&w, "Shape1"), control<QFrame>(&w, "Shape2")}) {
        QVERIFY(rule->isVisible());
        QVERIFY(rule->width() > 800);
        const QImage img = painted(shot, &w, rule);
        for (int y = 0; y < img.height(); ++y)
            for (int x = 0; x < img.width(); ++x)
                QVERIFY2(img.pixelColor(x, y) == ruleColour,
                         qPrintable(QStringLiteral("%1 at (%2,%3) is %4")
                                        .arg(rule->objectName()).arg(x).arg(y).arg(img.pixelColor(x, y).name())));
    }
}

void TestSheetPainted::boxControlsInWindowFace_data()
{
    QTest::addColumn<QString>("name");
    QTest::newRow("area caption") << "Label_InserimentoArea";
    QTest::newRow("total caption") << "Label_TotaleArea";
    QTest::newRow("item caption") << "Domanda1";
    QTest::newRow("answer") << "Domanda1_4";
    QTest::newRow("caption above the box") << "Lbl_SviluppoTeorico";
}

// The captions in the area's coloured box are painted in the window's face,
// as every other caption of the sheet: each one's text ends where the same
// text in that face ends, on a control of its kind and size.
void TestSheetPainted::boxControlsInWindowFace()
{
    QFETCH(QString, name);
    Folder p;
    p.phase({.evaluation = p.evaluation, .area = p.firstArea(), .numFase = 1, .si = allSi});
    ScriptedDialogs d;
    TFrm_Main w(p.path(), d);
    start(w, d);
    openSheet(w, d, p.child, p.evaluation);
    QWidget* shown = control<QWidget>(&w, name);
    QVERIFY(shown->isVisible());

    std::unique_ptr<QWidget> reference;
    QString text;
    if (auto* label = qobject_cast<QLabel*>(shown))
        reference = std::make_unique<QLabel>(text = label->text());
    else if (auto* answer = qobject_cast<QRadioButton*>(shown))
        reference = std::make_unique<QRadioButton>(text = answer->text());
    else if (auto* group = qobject_cast<QGroupBox*>(shown))
        reference = std::make_unique<QGroupBox>(text = group->title());
    QVERIFY2(reference && !text.isEmpty(), qPrintable(name));
    reference->setFont(windowFont());
    reference->resize(shown->size());

    // A group's caption is its top line; the rest of it is its frame.
    const int height = qobject_cast<QGroupBox*>(shown) ? 16 : shown->height();
    const QRect area(0, 0, shown->width(), height);
    const testsupport::Ink got = testsupport::darkInk(shown->grab().toImage(), area, 110);
    const testsupport::Ink want = testsupport::darkInk(reference->grab().toImage(), area, 110);
    QVERIFY2(want.pixels > 0, qPrintable(text));
    QVERIFY2(qAbs(got.right - want.right) <= 1,
             qPrintable(QStringLiteral("\"%1\" is inked to x=%2, in the window's face (%3) to x=%4")
                            .arg(text)
                            .arg(got.right)
                            .arg(QFontInfo(windowFont()).family())
                            .arg(want.right)));
}

// Item 4 answered "Non so" shows its caption and all five answers in bold;
// item 3, answered "Si", is regular. On the next phase item 4 is "Si" too,
// and its answers look exactly like item 3's.
void TestSheetPainted::nonSoAnswersBold()
{
    Folder p;
    const int area = p.firstArea();
    p.phase({.evaluation = p.evaluation, .area = area, .numFase = 1, .si = QStringLiteral("-03"),
             .nonSo = QStringLiteral("-04")});
    p.phase({.evaluation = p.evaluation, .area = area, .numFase = 2, .si = QStringLiteral("-03-04")});
    ScriptedDialogs d;
    TFrm_Main w(p.path(), d);
    start(w, d);
    openSheet(w, d, p.child, p.evaluation);
    PhasesScreen& ph = w.phasesScreen();
    QCOMPARE(ph.itemIndex(4), 3);
    QCOMPARE(ph.itemIndex(3), 0);

    // The answers of item 4 (with a "Non so") and of item 3 (without).
    const auto answer = [&w](int item, int a) {
        return control<QRadioButton>(&w, QStringLiteral("Domanda%1_%2").arg(item).arg(a));
    };
    QImage shot = w.grab().toImage();
    for (int a = 0; a < PhasesScreen::Answers; ++a) {
        const testsupport::Ink bold = inkOf(shot, &w, answer(4, a));
        const testsupport::Ink regular = inkOf(shot, &w, answer(3, a));
        QVERIFY2(regular.pixels > 0, qPrintable(answer(3, a)->text()));
        QVERIFY2(bold.pixels > regular.pixels && bold.right > regular.right,
                 qPrintable(QStringLiteral("%1: %2 px to %3 against %4 px to %5")
                                .arg(answer(4, a)->text())
                                .arg(bold.pixels)
                                .arg(bold.right)
                                .arg(regular.pixels)
                                .arg(regular.right)));
    }
    // The caption too.
    QGroupBox* domanda4 = control<QGroupBox>(&w, "Domanda4");
    QGroupBox* domanda3 = control<QGroupBox>(&w, "Domanda3");
    const QImage caption4 = painted(shot, &w, domanda4).copy(0, 0, domanda4->width(), 16);
    const QImage caption3 = painted(shot, &w, domanda3).copy(0, 0, domanda3->width(), 16);
    QVERIFY(caption4 != caption3);

    w.Data.Tbl_FasiVal.next();
    QCOMPARE(ph.itemIndex(4), 0);
    shot = w.grab().toImage();
    for (int a = 0; a < PhasesScreen::Answers; ++a)
        QVERIFY2(painted(shot, &w, answer(4, a)) == painted(shot, &w, answer(3, a)), qPrintable(answer(4, a)->text()));
}

void TestSheetPainted::refusedValueToldOnce_data()
{
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("how"); // how the value is left
    QTest::newRow("date, back to the list") << "DataValutazione" << "31/02/26" << "back";
    QTest::newRow("date, program closed") << "DataValutazione" << "31/02/26" << "close";
    QTest::newRow("date, staff navigator") << "DataValutazione" << "31/02/26" << "staff";
    QTest::newRow("date, Tab") << "DataValutazione" << "31/02/26" << "tab";
    QTest::newRow("age, back to the list") << "MesiBimbo" << "2x" << "back";
    QTest::newRow("age, program closed") << "MesiBimbo" << "2x" << "close";
}

// The box with the refused value keeps the focus while the user leaves the
// sheet; the refusal is told in one box, whichever way was taken.
void TestSheetPainted::refusedValueToldOnce()
{
    QFETCH(QString, field);
    QFETCH(QString, typed);
    QFETCH(QString, how);
    Folder p;
    p.add(QStringLiteral("Personale.db"), {{"Id_Valutazione", p.evaluation}, {"Id_Educatrice", p.rossi}});
    p.add(QStringLiteral("Personale.db"), {{"Id_Valutazione", p.evaluation}, {"Id_Educatrice", p.rossi}});
    FocusTakingDialogs d;
    TFrm_Main w(p.path(), d);
    start(w, d);
    openSheet(w, d, p.child, p.evaluation);
    QApplication::setActiveWindow(&w);
    DataEdit* box =
        field == QLatin1String("MesiBimbo") ? control<DataEdit>(&w, "DBEdit22") : control<DataEdit>(&w, "DBEdit21");
    box->setFocus();
    QCOMPARE(QApplication::focusWidget(), static_cast<QWidget*>(box));
    typeInto(box, typed);
    VERIFY_DIALOGS(d);

    const QString message = field == QLatin1String("MesiBimbo")
        ? QStringLiteral("'%1' non è un valore intero valido.").arg(typed)
        : QStringLiteral("'%1' non è una data valida.").arg(typed);
    d.expectMessage(BoxType::Error, message);
    if (how == QLatin1String("back")) {
        control<QToolButton>(&w, "SpeedButton7")->click();
    } else if (how == QLatin1String("close")) {
        d.expectMessage(BoxType::Confirmation, closeAnyway, Button::No);
        QVERIFY(!w.close());
    } else if (how == QLatin1String("staff")) {
        control<DataNavigator>(&w, "DBNavigator10")->button(B::Next)->click();
    } else {
        QTest::keyClick(box, Qt::Key_Tab);
    }
    VERIFY_DIALOGS(d);
    QCOMPARE(errorBoxes(d), 1);
    QVERIFY(!control<QGroupBox>(&w, "GB_Valutazione")->isHidden());
    QCOMPARE(box->text(), typed);
}

// A role renamed in its registry reads with its new name in the staff grid
// when the sheet of the same evaluation is opened again.
void TestSheetPainted::staffShowsRegistryChanges()
{
    Folder p;
    const int role = p.role(QStringLiteral("Volontaria di prova"));
    p.add(QStringLiteral("Personale.db"), {{"Id_Valutazione", p.evaluation}, {"Id_Educatrice", p.rossi}, {"Id_Ruolo", role}});
    ScriptedDialogs d;
    TFrm_Main w(p.path(), d);
    start(w, d);
    openSheet(w, d, p.child, p.evaluation);
    const auto shownRole = [&w] {
        const QAbstractItemModel* m = control<DataGrid>(&w, "DBGrid10")->model();
        return m->index(0, 1).data().toString();
    };
    QCOMPARE(shownRole(), QStringLiteral("Volontaria di prova"));
    control<QToolButton>(&w, "SpeedButton7")->click();
    VERIFY_DIALOGS(d);

    control<QToolButton>(&w, "ToolButton7")->click();
    VERIFY_DIALOGS(d);
    QVERIFY(w.Data.Tbl_Ruoli.locate(QStringLiteral("Id"), role));
    typeInto(control<DataEdit>(&w, "DBEdit14"), QStringLiteral("Tirocinante"));
    control<QToolButton>(&w, "SpeedButton5")->click();
    VERIFY_DIALOGS(d);
    QCOMPARE(p.rows(QStringLiteral("Ruoli.db"), QStringLiteral("Id=%1").arg(role)).value(0).value("Ruolo").toString(),
             QStringLiteral("Tirocinante"));

    openSheet(w, d, p.child, p.evaluation);
    QCOMPARE(shownRole(), QStringLiteral("Tirocinante"));
}

void TestSheetPainted::staffChosenInCells()
{
    Folder p;
    const int bianchi = p.educator({.nursery = p.nido, .cognome = QStringLiteral("Bianchi"), .responsabile = false});
    const int altro = p.nursery(QStringLiteral("Pollicino"));
    p.educator({.nursery = altro, .cognome = QStringLiteral("Verdi")});
    const int volontaria = p.role(QStringLiteral("Volontaria di prova"));
    const int supplente = p.role(QStringLiteral("Supplente di prova"));
    const int first = p.add(QStringLiteral("Personale.db"),
                            {{"Id_Valutazione", p.evaluation}, {"Id_Educatrice", p.rossi}, {"Id_Ruolo", volontaria}});
    const int second = p.add(QStringLiteral("Personale.db"),
                             {{"Id_Valutazione", p.evaluation}, {"Id_Educatrice", bianchi}, {"Id_Ruolo", supplente}});
    ScriptedDialogs d;
    TFrm_Main w(p.path(), d);
    start(w, d);
    openSheet(w, d, p.child, p.evaluation);
    DataGrid* grid = control<DataGrid>(&w, "DBGrid10");

    // No drop-down beside the grid: the sheet's only other one is the area
    // chooser of the lower box.
    for (QComboBox* c : control<QGroupBox>(&w, "GB_Valutazione")->findChildren<QComboBox*>())
        QVERIFY2(c == control<LookupComboBox>(&w, "CB_Area") || grid->isAncestorOf(c), qPrintable(c->objectName()));

    QPointer<QComboBox> edu = control<QComboBox>(&w, "CB_Educatrice");
    QPointer<QComboBox> role = control<QComboBox>(&w, "CB_Ruolo");
    QCOMPARE(edu->parentWidget(), grid->viewport());
    QCOMPARE(role->parentWidget(), grid->viewport());
    // The current nursery's educators, not another's.
    QStringList educators;
    for (int i = 0; i < edu->count(); ++i)
        educators << edu->itemText(i);
    educators.sort();
    QCOMPARE(educators, (QStringList{QStringLiteral("*Rossi Anna"), QStringLiteral("Bianchi Anna")}));
    QVERIFY(role->findText(QStringLiteral("Supplente di prova")) >= 0);

    // The drop-downs stand in the cells of the current row, painted there
    // with that row's choice.
    auto inCells = [&](int row, const QString& educator, const QString& ruolo) {
        QCOMPARE(grid->currentIndex().row(), row);
        QVERIFY(edu->isVisible());
        QVERIFY(role->isVisible());
        QCOMPARE(edu->geometry(), grid->visualRect(grid->model()->index(row, 0)));
        QCOMPARE(role->geometry(), grid->visualRect(grid->model()->index(row, 1)));
        QCOMPARE(edu->currentText(), educator);
        QCOMPARE(role->currentText(), ruolo);
        const QImage shot = w.grab().toImage();
        // Inside their rounded corners, the drop-downs are painted in the
        // grid as they paint themselves.
        const auto inside = [](const QImage& img) { return img.copy(img.rect().adjusted(3, 3, -3, -3)); };
        const auto alone = [&](QWidget* c) {
            return inside(c->grab().toImage().convertToFormat(QImage::Format_RGB32));
        };
        QCOMPARE(inside(painted(shot, &w, edu)), alone(edu));
        QCOMPARE(inside(painted(shot, &w, role)), alone(role));
    };
    QCOMPARE(w.Data.Tbl_Personale.asInteger(QStringLiteral("Id")), first);
    inCells(0, QStringLiteral("*Rossi Anna"), QStringLiteral("Volontaria di prova"));
    control<DataNavigator>(&w, "DBNavigator10")->trigger(B::Next);
    QCOMPARE(w.Data.Tbl_Personale.asInteger(QStringLiteral("Id")), second);
    inCells(1, QStringLiteral("Bianchi Anna"), QStringLiteral("Supplente di prova"));

    // A choice in the cell is written into the row, by its key.
    emit role->activated(role->findText(QStringLiteral("Volontaria di prova")));
    QCOMPARE(w.Data.Tbl_Personale.state(), store::Table::State::Edit);
    control<DataNavigator>(&w, "DBNavigator10")->trigger(B::Post);
    VERIFY_DIALOGS(d);
    QCOMPARE(p.rows(QStringLiteral("Personale.db"), QStringLiteral("Id=%1").arg(second)).first().value("Id_Ruolo").toInt(),
             volontaria);
    // The grid read its rows again: the drop-downs are the same ones, still
    // in the current row's cells once pending deletions have run.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QVERIFY(edu && role);
    inCells(1, QStringLiteral("Bianchi Anna"), QStringLiteral("Volontaria di prova"));

    // A new row gets them at once, empty.
    control<DataNavigator>(&w, "DBNavigator10")->trigger(B::Insert);
    QCOMPARE(w.Data.Tbl_Personale.state(), store::Table::State::Insert);
    inCells(2, QString(), QString());
    emit edu->activated(edu->findText(QStringLiteral("Bianchi Anna")));
    control<DataNavigator>(&w, "DBNavigator10")->trigger(B::Post);
    VERIFY_DIALOGS(d);
    QCOMPARE(p.count(QStringLiteral("Personale.db"), QStringLiteral("Id_Valutazione=%1 and Id_Educatrice=%2")
                                                         .arg(p.evaluation).arg(bianchi)),
             2);
}

void TestSheetPainted::totalAfterDeletionAndOnOpening()
{
    Folder p;
    const int area = p.firstArea();
    p.phase({.evaluation = p.evaluation, .area = area, .numFase = 1, .si = allSi});
    p.phase({.evaluation = p.evaluation, .area = area, .numFase = 2, .si = allSi});
    // In another area, a phase with a "Non so": the way back leaves the
    // phases on the summary's selection, which holds it.
    const int other = p.rows(QStringLiteral("Aree.db"), QStringLiteral("Id<>%1").arg(area)).first().value("Id").toInt();
    p.phase({.evaluation = p.evaluation, .area = other, .numFase = 3,
             .si = QStringLiteral("-01-02-03-04-05-06-07-08-09-10"), .nonSo = QStringLiteral("-11")});
    ScriptedDialogs d;
    TFrm_Main w(p.path(), d);
    start(w, d);
    QLabel* total = control<QLabel>(&w, "Lbl_Totale_Area");
    openSheet(w, d, p.child, p.evaluation);
    QVERIFY(paintsText(total, QStringLiteral("2")));

    // A new evaluation has no phase: its total is 0, not the last one shown
    // nor the summary's.
    d.expectMessage(BoxType::Confirmation, nonSoQuestion, Button::No);
    w.evaluationSheet().SpeedButton7Click();
    VERIFY_DIALOGS(d);
    QVERIFY(w.phasesScreen().CalcolaTotaleArea(false) > 0);
    w.evaluationsScreen().Inseriscinuovavalutazione1Click();
    VERIFY_DIALOGS(d);
    QVERIFY(!control<QGroupBox>(&w, "GB_Valutazione")->isHidden());
    QVERIFY(paintsText(total, QStringLiteral("0")));
    w.evaluationSheet().SpeedButton7Click();
    VERIFY_DIALOGS(d);
    QVERIFY(control<QGroupBox>(&w, "GB_Valutazione")->isHidden());

    openSheet(w, d, p.child, p.evaluation);
    QVERIFY(paintsText(total, QStringLiteral("2")));
    // The last phase first, then the one left.
    for (const QString& left : {QStringLiteral("1"), QStringLiteral("0")}) {
        control<DataNavigator>(&w, "DBNavigator11")->trigger(B::Last);
        d.expectMessage(BoxType::Confirmation, deleteQuestion, Button::Yes);
        control<DataNavigator>(&w, "DBNavigator11")->button(B::Delete)->click();
        VERIFY_DIALOGS(d);
        QVERIFY(paintsText(total, left));
    }
    QCOMPARE(p.count(QStringLiteral("FasiVal.db"), QStringLiteral("Id_Area=%1").arg(area)), 0);
}

void TestSheetPainted::closingAnywayAfterRefusal_data()
{
    QTest::addColumn<QString>("where");
    QTest::newRow("sheet, a date that is none") << "sheet";
    QTest::newRow("educators, no responsible left") << "educators";
    QTest::newRow("children, a date cut short") << "children";
}

// After the refusal's own message the user closes anyway: what could be
// stored is stored, the rest is given up, and no box follows.
void TestSheetPainted::closingAnywayAfterRefusal()
{
    QFETCH(QString, where);
    Folder p;
    const int bianchi = p.educator({.nursery = p.nido, .cognome = QStringLiteral("Bianchi"), .responsabile = false});
    ScriptedDialogs d;
    {
        TFrm_Main w(p.path(), d);
        start(w, d);
        if (where == QLatin1String("sheet")) {
            openSheet(w, d, p.child, p.evaluation);
            // A staff row being typed and an age, both storable, beside a
            // date that is none.
            control<DataNavigator>(&w, "DBNavigator10")->trigger(B::Insert);
            emit control<QComboBox>(&w, "CB_Educatrice")
                ->activated(control<QComboBox>(&w, "CB_Educatrice")->findText(QStringLiteral("Bianchi Anna")));
            typeInto(control<DataEdit>(&w, "DBEdit22"), QStringLiteral("31"));
            typeInto(control<DataEdit>(&w, "DBEdit21"), QStringLiteral("31/02/26"));
            d.expectMessage(BoxType::Error, QStringLiteral("'31/02/26' non è una data valida."));
        } else if (where == QLatin1String("educators")) {
            w.staffRegistries().ToolButton3Click();
            QVERIFY(w.Data.Tbl_AnagEdu.locate(QStringLiteral("Cognome"), QStringLiteral("Rossi")));
            control<DataCheckBox>(&w, "DBCheckBox1")->click();
            d.expectMessage(BoxType::Warning, QStringLiteral("Attenzione! Non è stato impostato nessun responsabile!"));
        } else {
            w.childrenScreen().ToolButton5Click();
            QCOMPARE(w.Data.Tbl_AnagBimbi.asInteger(QStringLiteral("Id")), p.child);
            typeInto(control<DataEdit>(&w, "DBEdit12"), QStringLiteral("01/02/202"));
            d.expectMessage(BoxType::Error, QStringLiteral("'01/02/202' non è una data valida."));
        }
        d.expectMessage(BoxType::Confirmation, closeAnyway, Button::Yes);
        QVERIFY(w.close());
        VERIFY_DIALOGS(d);
    }
    VERIFY_DIALOGS(d);

    if (where == QLatin1String("sheet")) {
        const QVariantMap v = p.rows(QStringLiteral("Valutaz.db")).first();
        QCOMPARE(v.value("DataValutazione").toDate(), QDate(2026, 1, 15));
        QCOMPARE(v.value("MesiBimbo").toInt(), 30); // the same record as the date: given up with it
        const auto staff = p.rows(QStringLiteral("Personale.db"));
        QCOMPARE(staff.size(), 1);
        QCOMPARE(staff.first().value("Id_Educatrice").toInt(), bianchi);
        QCOMPARE(staff.first().value("Id_Valutazione").toInt(), p.evaluation);
    } else if (where == QLatin1String("educators")) {
        QVERIFY(!p.rows(QStringLiteral("AnagEdu.db"), QStringLiteral("Id=%1").arg(p.rossi)).first().value("Responsabile").toBool());
    } else {
        QCOMPARE(p.rows(QStringLiteral("AnagBimbi.DB")).first().value("DataDiNascita").toDate(), today.addMonths(-30));
    }
}

// The registry leaves its cursor on the nursery last looked at; the prints
// still head the current nursery, and a logout makes the registry's nursery
// the current one.
void TestSheetPainted::printsHeadCurrentNursery()
{
    Folder p;
    const int pollicino = p.add(QStringLiteral("AnagNido.db"),
                                {{"Nome", QStringLiteral("Pollicino")}, {"Indirizzo", QStringLiteral("Via Po 2")},
                                 {"Cap", QStringLiteral("10100")}, {"Citta", QStringLiteral("Torino")},
                                 {"Provincia", QStringLiteral("TO")}});
    ScriptedDialogs d;
    TFrm_Main w(p.path(), d);
    start(w, d);
    QCOMPARE(w.Data.IdNidoCorrente, QString::number(p.nido));

    w.nurseryRegistry().ToolButton1Click();
    control<DataNavigator>(&w, "DBNavigator2")->trigger(B::Last);
    QCOMPARE(w.Data.Tbl_AnagNido.asInteger(QStringLiteral("Id")), pollicino);
    w.nurseryRegistry().SpeedButton3Click();
    VERIFY_DIALOGS(d);
    QVERIFY(control<QGroupBox>(&w, "GB_AnagraficaNido")->isHidden());
    QCOMPARE(w.Data.Tbl_AnagNido.asInteger(QStringLiteral("Id")), pollicino);
    QCOMPARE(w.Data.IdNidoCorrente, QString::number(p.nido));

    openSheet(w, d, p.child, p.evaluation);
    d.expectPrintSetup(true);
    control<QToolButton>(&w, "SpeedButton10")->click();
    VERIFY_DIALOGS(d);
    QCOMPARE(d.previews().size(), 1);
    const print::Page& page = d.previews().first().pages.first();
    QVERIFY(page.text(QStringLiteral("Qr_NomeNido")));
    QCOMPARE(page.text(QStringLiteral("Qr_NomeNido"))->text, QStringLiteral("Arcobaleno"));
    QCOMPARE(page.text(QStringLiteral("Qr_Indirizzo"))->text, QStringLiteral("Via Roma 1 - 20100 - Milano - MI"));
    QCOMPARE(w.Data.Tbl_AnagNido.asInteger(QStringLiteral("Id")), pollicino);

    w.evaluationSheet().SpeedButton7Click();
    VERIFY_DIALOGS(d);
    w.accessScreen().Btn_LogOutClick();
    QCOMPARE(w.Data.IdNidoCorrente, QString::number(pollicino));
}

QTEST_MAIN(TestSheetPainted)
#include "test_sheet_painted.moc"
