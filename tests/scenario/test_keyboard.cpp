// The program from the keyboard alone. Every key goes to the widget that has
// the focus, pressed and released as a keyboard does; nothing is clicked and
// no handler is called directly.
//
// - Tab walks each screen in reading order and stops only on controls that
//   show: never on the panel behind or on the list under the sheet.
// - The educator list logs in with Return (and Enter on the keypad) exactly
//   as the login button does; the password is typed in its box, where Return
//   confirms it.
// - The arrows choose a child, Return opens its evaluation, the arrows
//   choose an area, and an item is answered with Space or Return after the
//   arrows moved among its answers without choosing.
// - A speed button with the focus is drawn with a dotted rectangle, and
//   nothing else changes; Return, Enter and Space press it.

#include "aboutbox.h"
#include "children.h"
#include "dataedits.h"
#include "datagrid.h"
#include "datanavigator.h"
#include "evaluations.h"
#include "lookups.h"
#include "mainwindow.h"
#include "phases.h"
#include "qtdialogs.h"
#include "scenariofixture.h"
#include "scripteddialogs.h"
#include "scripteddialogs_qtest.h"
#include "keyboard.h"
#include "sheet.h"
#include "numberformat.h"
#include "scoring.h"
#include "datafolder.h"
#include "table.h"
#include "staff.h"

#include <algorithm>
#include <functional>

#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QMap>
#include <QImage>
#include <QInputDialog>
#include <QLineEdit>
#include <QRadioButton>
#include <QStyle>
#include <QStyleOptionButton>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <QUrl>

using namespace velmora;

namespace {

const QDate today(2026, 12, 10);
const QString wrongPassword = QStringLiteral("La password inserita è errata");

QWidget* focused() { return QApplication::focusWidget(); }

QString describe(const QWidget* w)
{
    if (!w)
        return QStringLiteral("nothing");
    QStringList path;
    for (const QWidget* p = w; p && !p->isWindow(); p = p->parentWidget())
        if (!p->objectName().isEmpty())
            path.prepend(p->objectName());
    return QStringLiteral("%1 (%2)").arg(path.join(QLatin1Char('/')), QString::fromLatin1(w->metaObject()->className()));
}

// One key pressed and released as a keyboard does it: the release goes to
// the widget that has the focus after the press (none when the press closed
// the window that had the keys).
void key(Qt::Key k, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
{
    QVERIFY2(focused(), "no widget has the focus");
    QTest::keyPress(focused(), k, modifiers);
    if (focused())
        QTest::keyRelease(focused(), k, modifiers);
}

void tab(bool back = false) { key(Qt::Key_Tab, back ? Qt::ShiftModifier : Qt::NoModifier); }

// Types `text` key by key, each key going to whatever has the focus when it
// is pressed.
void typeKeys(const QString& text)
{
    for (const QChar c : text) {
        QVERIFY2(focused(), "no widget has the focus");
        QTest::keyClick(focused(), c.toLatin1());
    }
}

// Presses Tab until `target` has the focus; fails when it never comes.
void tabTo(QWidget* target)
{
    for (int i = 0; i < 60 && focused() != target; ++i)
        STEP(tab());
    QVERIFY2(focused() == target, qPrintable(QStringLiteral("Tab never reached %1; the focus is on %2")
                                                 .arg(describe(target), describe(focused()))));
}

// Presses Shift+Tab until `target` has the focus; fails when it never comes.
void tabBackTo(QWidget* target)
{
    for (int i = 0; i < 60 && focused() != target; ++i)
        STEP(tab(true));
    QVERIFY2(focused() == target, qPrintable(QStringLiteral("Shift+Tab never reached %1; the focus is on %2")
                                                 .arg(describe(target), describe(focused()))));
}

// The controls one round of Tab (or Shift+Tab) stops on, from the focus
// round to it; fails when the round does not close.
QList<QWidget*> tabRound(bool back = false)
{
    QList<QWidget*> stops;
    QWidget* start = focused();
    for (int i = 0; i < 80; ++i) {
        tab(back);
        if (QTest::currentTestFailed())
            return stops;
        stops << focused();
        if (focused() == start)
            return stops;
    }
    QTest::qFail("a round of Tab never came back to where it started", __FILE__, __LINE__);
    return stops;
}

// One nursery with a responsible educator, Anna Rossi (password "pw"), two
// children, Bianchi and Neri, and one evaluation of Neri with a phase in
// each of the first two areas.
struct Nursery : ScenarioFolder
{
    int nido = 0;
    int neri = 0;
    int evaluation = 0;
    int area1 = 0, area2 = 0;
    int phase1 = 0, phase2 = 0;

    Nursery()
    {
        nido = nursery(QStringLiteral("Arcobaleno"));
        educator();
        for (const char* cognome : {"Bianchi", "Neri"})
            neri = child({.cognome = QString::fromLatin1(cognome), .born = QDate(2024, 6, 10)});
        evaluation = ScenarioFolder::evaluation({.child = neri, .date = QDate(2026, 12, 1), .months = 30});
        const QList<int> ids = areas();
        area1 = ids.at(0);
        area2 = ids.at(1);
        phase1 = ScenarioFolder::phase({.evaluation = evaluation, .area = area1, .numFase = 5});
        phase2 = ScenarioFolder::phase({.evaluation = evaluation, .area = area2, .numFase = 3});
    }
    QVariantMap phase(int id) const { return rows(QStringLiteral("FasiVal.db"), QStringLiteral("Id=%1").arg(id)).value(0); }
};

// The window as the user gets it: shown and active, the focus where the
// program puts it.
void start(TFrm_Main& w)
{
    w.Data.Now = [] { return QDateTime(today, QTime(9, 30)); };
    w.show();
    QApplication::setActiveWindow(&w);
    QVERIFY(QTest::qWaitForWindowActive(&w));
}

// From the start: Tab to the educator list, Return, the password; the
// children list comes in front with the focus on the children.
void logIn(TFrm_Main& w, ScriptedDialogs& d)
{
    STEP(tabTo(control<LookupListBox>(&w, "DBLookupListBox1")));
    d.expectInput(QStringLiteral("Password"), QStringLiteral("pw"), true);
    STEP(key(Qt::Key_Return));
    VERIFY_DIALOGS(d);
    QVERIFY2(!w.accessPanelInFront(), qPrintable(screenState(w, d)));
}

// From the children list: the down arrow to Neri, Tab to the evaluations,
// Return opens the one listed.
void openEvaluation(TFrm_Main& w, ScriptedDialogs& d, const Nursery& p)
{
    QCOMPARE(focused(), static_cast<QWidget*>(control<DataGrid>(&w, "DBGrid1")));
    STEP(key(Qt::Key_Down));
    QCOMPARE(w.Data.Tbl_AnagBimbi.asInteger(QStringLiteral("Id")), p.neri);
    STEP(tabTo(control<DataGrid>(&w, "DBGrid7")));
    QCOMPARE(w.Data.Tbl_AnagBimbi.asInteger(QStringLiteral("Id")), p.neri);
    QCOMPARE(w.Data.Tbl_Valutazioni.asInteger(QStringLiteral("Id")), p.evaluation);
    STEP(key(Qt::Key_Return));
    VERIFY_DIALOGS(d);
    QVERIFY2(!control<QGroupBox>(&w, "GB_Valutazione")->isHidden(), qPrintable(screenState(w, d)));
}

// Where the indicator of radio button `r` is painted, in `shot` of window
// `w`: the lightness at its centre.
int indicatorCentre(const QImage& shot, QWidget* w, QRadioButton* r)
{
    QStyleOptionButton option;
    option.initFrom(r);
    const QRect indicator = r->style()->subElementRect(QStyle::SE_RadioButtonIndicator, &option, r);
    return QColor(shot.pixel(r->mapTo(w, indicator.center()))).lightness();
}

// A speed button's grab, as plain pixels.
QImage grabbed(QWidget* w) { return w->grab().toImage().convertToFormat(QImage::Format_RGB32); }

// Scripted boxes, except the password: that box is Qt's own, masked, and
// the keys type into it `typed` and then press `confirm`.
class TypedPassword : public ScriptedDialogs
{
public:
    TypedPassword(const QString& typed, Qt::Key confirm) : m_typed(typed), m_confirm(confirm) {}
    QString seen; // what the box showed in its edit before confirming

    std::optional<QString> input(const QString& caption, const QString& prompt, const QString& initial,
                                 bool masked) override
    {
        if (!masked)
            return ScriptedDialogs::input(caption, prompt, initial, masked);
        QTimer typist;
        int waited = 0;
        QObject::connect(&typist, &QTimer::timeout, qApp, [&] {
            auto* box = qobject_cast<QInputDialog*>(QApplication::activeModalWidget());
            auto* edit = box ? qobject_cast<QLineEdit*>(focused()) : nullptr;
            if (box && !edit && !box->isActiveWindow()) {
                // A window manager gives a new box the keys; offscreen
                // nothing does.
                QApplication::setActiveWindow(box);
                return;
            }
            if (edit && box->isAncestorOf(edit)) {
                typist.stop();
                for (const QChar c : m_typed)
                    key(Qt::Key(c.toUpper().unicode()));
                seen = edit->displayText();
                key(m_confirm, m_confirm == Qt::Key_Enter ? Qt::KeypadModifier : Qt::NoModifier);
            } else if (++waited > 200 && box) {
                // Never left hanging: the test fails on the missing login.
                typist.stop();
                box->done(QDialog::Rejected);
            }
        });
        typist.start(10);
        QtDialogs real;
        return real.input(caption, prompt, initial, masked);
    }

private:
    QString m_typed;
    Qt::Key m_confirm;
};

} // namespace

class TestKeyboard : public QObject
{
    Q_OBJECT

private slots:
    // The server run (test_keyboard_server) skips where it cannot run.
    void initTestCase() { STORETEST_REQUIRE_ENGINE(); }
    void tabStopsOnWhatShows_data();
    void tabStopsOnWhatShows();
    void educatorListLogsIn_data();
    void educatorListLogsIn();
    void passwordTypedInItsBox_data();
    void passwordTypedInItsBox();
    void childEvaluationAreaAnswer();
    void staffChosenInCells();
    void typedIntoNewEvaluation_data();
    void typedIntoNewEvaluation();
    void refusedDateKeepsFocus();
    void registriesFromToolbar_data();
    void registriesFromToolbar();
    void educatorsPasswordLastInTabOrder();
    void focusedButton_data();
    void focusedButton();
    void f1OpensGuide_data();
    void f1OpensGuide();
};

// Each screen: where the focus stands when it comes in front, and one round
// of Tab and one of Shift+Tab stop only on controls of the screen in front,
// the second the first backwards.
void TestKeyboard::tabStopsOnWhatShows_data()
{
    QTest::addColumn<QString>("screen");
    QTest::newRow("access panel") << QStringLiteral("access");
    QTest::newRow("access panel after logout") << QStringLiteral("logout");
    QTest::newRow("children list") << QStringLiteral("list");
    QTest::newRow("evaluation sheet") << QStringLiteral("sheet");
    QTest::newRow("children registry") << QStringLiteral("registry");
}

void TestKeyboard::tabStopsOnWhatShows()
{
    QFETCH(QString, screen);
    Nursery p;
    ScriptedDialogs d;
    TFrm_Main w(p.path(), d);
    STEP(start(w));

    QWidget* front = control<QWidget>(&w, "Pnl_Accesso");
    QWidget* first = control<LookupComboBox>(&w, "DBLookupComboBox1");
    QList<QWidget*> expected; // the whole round, when the screen fixes it
    const QList<QWidget*> accessRound = {
        control<LookupListBox>(&w, "DBLookupListBox1"), control<QToolButton>(&w, "SpeedButton4"),
        control<QToolButton>(&w, "SpeedButton13"), control<QToolButton>(&w, "SpeedButton9"),
        control<LookupComboBox>(&w, "DBLookupComboBox1")};
    if (screen == QLatin1String("access")) {
        expected = accessRound;
    } else if (screen == QLatin1String("logout")) {
        STEP(logIn(w, d));
        STEP(tabTo(control<QToolButton>(&w, "Btn_LogOut")));
        STEP(key(Qt::Key_Space));
        QVERIFY2(w.accessPanelInFront(), qPrintable(screenState(w, d)));
        expected = accessRound;
    } else {
        STEP(logIn(w, d));
        front = control<QWidget>(&w, "Pnl_Bambini");
        first = control<DataGrid>(&w, "DBGrid1");
        if (screen == QLatin1String("sheet")) {
            STEP(openEvaluation(w, d, p));
            front = control<QGroupBox>(&w, "GB_Valutazione");
            first = control<LookupComboBox>(&w, "CB_Area");
        } else if (screen == QLatin1String("registry")) {
            STEP(tabTo(control<QToolButton>(&w, "ToolButton5")));
            STEP(key(Qt::Key_Space));
            QVERIFY2(!control<QGroupBox>(&w, "GB_AnagraficaBimbi")->isHidden(), qPrintable(screenState(w, d)));
            first = control<QWidget>(control<QGroupBox>(&w, "GB_AnagraficaBimbi"), "DBEdit10");
        }
    }
    QVERIFY2(focused() == first, qPrintable(QStringLiteral("the focus is on %1").arg(describe(focused()))));

    const QList<QWidget*> round = tabRound();
    if (QTest::currentTestFailed())
        return;
    QList<QWidget*> back = tabRound(true);
    if (QTest::currentTestFailed())
        return;
    QStringList stops;
    for (QWidget* s : round)
        stops << describe(s);
    if (!expected.isEmpty())
        QVERIFY2(round == expected, qPrintable(stops.join(QStringLiteral(", "))));
    for (QWidget* s : round) {
        QVERIFY2(front->isAncestorOf(s), qPrintable(QStringLiteral("Tab stopped on %1, not on the screen in front; round: %2")
                                                        .arg(describe(s), stops.join(QStringLiteral(", ")))));
        QVERIFY2(s->isVisible() && s->isEnabled(), qPrintable(describe(s)));
    }
    if (screen == QLatin1String("registry")) {
        // The list beside the registry shows too, and can be reached as
        // with the mouse; what lies wholly under the registry cannot.
        const QRect box = control<QGroupBox>(&w, "GB_AnagraficaBimbi")->geometry();
        for (QWidget* s : round)
            if (!control<QGroupBox>(&w, "GB_AnagraficaBimbi")->isAncestorOf(s))
                QVERIFY2(!box.contains(QRect(s->mapTo(control<QWidget>(&w, "Pnl_Bambini"), QPoint(0, 0)), s->size())),
                         qPrintable(QStringLiteral("Tab stopped on %1, under the registry").arg(describe(s))));
    }
    // Backwards: the same stops in the opposite order.
    QList<QWidget*> forward = round;
    forward.removeLast();
    back.removeLast();
    std::reverse(back.begin(), back.end());
    QCOMPARE(back, forward);
}

// Return (or Enter on the keypad) on the educator list does what the login
// button does, message for message: in with the right password, the error
// and the access panel still in front with a wrong one or none.
void TestKeyboard::educatorListLogsIn_data()
{
    QTest::addColumn<QString>("how");
    QTest::addColumn<std::optional<QString>>("password");
    const std::optional<QString> right = QStringLiteral("pw");
    const std::optional<QString> wrong = QStringLiteral("px");
    const std::optional<QString> none;
    for (const char* how : {"Return on the list", "Enter on the list", "Space on the button", "Return on the button"}) {
        QTest::addRow("%s, right password", how) << QString::fromLatin1(how) << right;
        QTest::addRow("%s, wrong password", how) << QString::fromLatin1(how) << wrong;
        QTest::addRow("%s, box cancelled", how) << QString::fromLatin1(how) << none;
    }
}

void TestKeyboard::educatorListLogsIn()
{
    QFETCH(QString, how);
    QFETCH(std::optional<QString>, password);
    Nursery p;
    ScriptedDialogs d;
    TFrm_Main w(p.path(), d);
    STEP(start(w));

    const bool onList = how.endsWith(QLatin1String("on the list"));
    STEP(tabTo(onList ? static_cast<QWidget*>(control<LookupListBox>(&w, "DBLookupListBox1"))
                      : control<QToolButton>(&w, "SpeedButton4")));
    d.expectInput(QStringLiteral("Password"), password, true);
    const bool in = password == std::optional<QString>(QStringLiteral("pw"));
    if (!in)
        d.expectMessage(BoxType::Error, wrongPassword);
    if (how.startsWith(QLatin1String("Enter")))
        STEP(key(Qt::Key_Enter, Qt::KeypadModifier));
    else
        STEP(key(how.startsWith(QLatin1String("Space")) ? Qt::Key_Space : Qt::Key_Return));
    // A button pressed from the keyboard goes down for a moment first.
    QTRY_COMPARE(d.shown().size(), in ? 1 : 2);
    VERIFY_DIALOGS(d);
    QCOMPARE(w.accessPanelInFront(), !in);
    QCOMPARE(w.Data.IdNidoCorrente, QString::number(p.nido));
    if (in) {
        QCOMPARE(focused(), static_cast<QWidget*>(control<DataGrid>(&w, "DBGrid1")));
        QCOMPARE(w.Data.Tbl_AnagBimbi.recordCount(), 2);
    } else {
        QVERIFY2(control<QWidget>(&w, "Pnl_Accesso")->isAncestorOf(focused()), qPrintable(describe(focused())));
    }
}

// The password typed with the keys in the program's own masked box: Return
// (or Enter on the keypad) in the box confirms it and logs in; a wrong one
// is told.
void TestKeyboard::passwordTypedInItsBox_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<int>("confirm");
    QTest::addColumn<bool>("in");
    QTest::newRow("right, Return") << QStringLiteral("pw") << int(Qt::Key_Return) << true;
    QTest::newRow("right, Enter") << QStringLiteral("pw") << int(Qt::Key_Enter) << true;
    QTest::newRow("wrong, Return") << QStringLiteral("pwx") << int(Qt::Key_Return) << false;
}

void TestKeyboard::passwordTypedInItsBox()
{
    QFETCH(QString, typed);
    QFETCH(int, confirm);
    QFETCH(bool, in);
    Nursery p;
    TypedPassword d(typed, Qt::Key(confirm));
    TFrm_Main w(p.path(), d);
    STEP(start(w));
    STEP(tabTo(control<LookupListBox>(&w, "DBLookupListBox1")));
    if (!in)
        d.expectMessage(BoxType::Error, wrongPassword);
    STEP(key(Qt::Key_Return));
    VERIFY_DIALOGS(d);
    QCOMPARE(d.seen, QString(typed.size(), QLatin1Char('*')));
    QCOMPARE(w.accessPanelInFront(), !in);
}

// The way through the program: log in, the second child, its evaluation,
// the second area, and the first item answered twice, with Space and with
// Return, each stored at once and painted; back to the list.
void TestKeyboard::childEvaluationAreaAnswer()
{
    Nursery p;
    ScriptedDialogs d;
    TFrm_Main w(p.path(), d);
    STEP(start(w));
    STEP(logIn(w, d));
    STEP(openEvaluation(w, d, p));
    PhasesScreen& ph = w.phasesScreen();
    QCOMPARE(focused(), static_cast<QWidget*>(control<LookupComboBox>(&w, "CB_Area")));
    QCOMPARE(ph.chiaveArea().toInt(), p.area1);
    QCOMPARE(w.Data.Tbl_FasiVal.asInteger(QStringLiteral("Id")), p.phase1);

    // The next area: its colour, its phase.
    STEP(key(Qt::Key_Down));
    VERIFY_DIALOGS(d);
    QCOMPARE(ph.chiaveArea().toInt(), p.area2);
    QCOMPARE(w.Data.Tbl_FasiVal.recordCount(), 1);
    QCOMPARE(w.Data.Tbl_FasiVal.asInteger(QStringLiteral("Id")), p.phase2);
    QCOMPARE(control<QGroupBox>(&w, "GroupBox4")->palette().color(QPalette::Window), PhasesScreen::coloreArea(p.area2));

    // Tab comes into the first item on its answer, "Non esiste".
    QList<QRadioButton*> first;
    for (int a = 0; a < PhasesScreen::Answers; ++a)
        first << control<QRadioButton>(&w, QStringLiteral("Domanda1_%1").arg(a));
    STEP(tabTo(first[PhasesScreen::NonEsiste]));
    QVERIFY(first[PhasesScreen::NonEsiste]->isChecked());

    // Up to "Non so": only the focus moves; Space chooses it and it is stored.
    STEP(key(Qt::Key_Up));
    QCOMPARE(focused(), static_cast<QWidget*>(first[3]));
    QVERIFY(first[PhasesScreen::NonEsiste]->isChecked());
    QCOMPARE(p.phase(p.phase2).value("NonSo").toString(), QString());
    STEP(key(Qt::Key_Space));
    QVERIFY(first[3]->isChecked());
    QCOMPARE(p.phase(p.phase2).value("NonSo").toString(), QStringLiteral("-01"));
    QCOMPARE(p.phase(p.phase1).value("NonSo").toString(), QString());
    QImage shot = w.grab().toImage();
    QVERIFY2(indicatorCentre(shot, &w, first[3]) + 60 < indicatorCentre(shot, &w, first[PhasesScreen::NonEsiste]),
             "the chosen answer is not painted chosen");

    // Up again to "A volte", Return chooses it in place of "Non so".
    STEP(key(Qt::Key_Up));
    QCOMPARE(focused(), static_cast<QWidget*>(first[2]));
    QVERIFY(first[3]->isChecked());
    STEP(key(Qt::Key_Return));
    QVERIFY(first[2]->isChecked());
    const QVariantMap stored = p.phase(p.phase2);
    QCOMPARE(stored.value("AVolte").toString(), QStringLiteral("-01"));
    QCOMPARE(stored.value("NonSo").toString(), QString());
    shot = w.grab().toImage();
    QVERIFY2(indicatorCentre(shot, &w, first[2]) + 60 < indicatorCentre(shot, &w, first[3]),
             "the chosen answer is not painted chosen");
    VERIFY_DIALOGS(d);

    // Tab leaves the item and comes back to it on its answer.
    STEP(tab());
    QCOMPARE(focused(), static_cast<QWidget*>(control<QRadioButton>(&w, "Domanda2_4")));
    STEP(tab(true));
    QCOMPARE(focused(), static_cast<QWidget*>(first[2]));

    // "Torna" with Return: back to the list of evaluations.
    STEP(tabTo(control<QToolButton>(&w, "SpeedButton7")));
    STEP(key(Qt::Key_Return));
    QTRY_VERIFY(control<QGroupBox>(&w, "GB_Valutazione")->isHidden());
    VERIFY_DIALOGS(d);
    QCOMPARE(focused(), static_cast<QWidget*>(control<DataGrid>(&w, "DBGrid7")));
}

// The staff of the evaluation from the keyboard: the educator and the role
// chosen with the arrows in the drop-downs of the grid's row, the first
// choice starting the row; Tab goes from one drop-down to the next and then
// on out of the grid, never round between the two; back to the list the row
// is stored.
void TestKeyboard::staffChosenInCells()
{
    Nursery p;
    ScriptedDialogs d;
    TFrm_Main w(p.path(), d);
    STEP(start(w));
    STEP(logIn(w, d));
    STEP(openEvaluation(w, d, p));
    QCOMPARE(w.Data.Tbl_Personale.recordCount(), 0);

    STEP(tabTo(control<QComboBox>(&w, "CB_Educatrice")));
    STEP(key(Qt::Key_Down));
    QCOMPARE(w.Data.Tbl_Personale.state(), store::Table::State::Insert);
    QCOMPARE(w.Data.Tbl_Personale.asString(QStringLiteral("Educatrice")), QStringLiteral("*Rossi Anna"));
    // The arrows go on choosing in the drop-down, which keeps the keys.
    QCOMPARE(focused(), static_cast<QWidget*>(control<QComboBox>(&w, "CB_Educatrice")));
    STEP(tab());
    QCOMPARE(focused(), static_cast<QWidget*>(control<QComboBox>(&w, "CB_Ruolo")));
    STEP(key(Qt::Key_Down));
    QCOMPARE(focused(), static_cast<QWidget*>(control<QComboBox>(&w, "CB_Ruolo")));
    const QString role = control<QComboBox>(&w, "CB_Ruolo")->currentText();
    QVERIFY(!role.isEmpty());
    QCOMPARE(w.Data.Tbl_Personale.asString(QStringLiteral("Ruolo")), role);

    // On out of the grid, and round the sheet to the areas.
    STEP(tab());
    QVERIFY2(focused() != control<QComboBox>(&w, "CB_Educatrice")
                 && !control<DataGrid>(&w, "DBGrid10")->isAncestorOf(focused()),
             qPrintable(describe(focused())));
    STEP(tabTo(control<LookupComboBox>(&w, "CB_Area")));

    STEP(tabTo(control<QToolButton>(&w, "SpeedButton7")));
    STEP(key(Qt::Key_Return));
    QTRY_VERIFY(control<QGroupBox>(&w, "GB_Valutazione")->isHidden());
    VERIFY_DIALOGS(d);
    const QList<QVariantMap> staff = p.rows(QStringLiteral("Personale.db"));
    QCOMPARE(staff.size(), 1);
    QCOMPARE(staff[0].value("Id_Valutazione").toInt(), p.evaluation);
    QVERIFY(staff[0].value("Id_Educatrice").toInt() > 0);
    QVERIFY(staff[0].value("Id_Ruolo").toInt() > 0);
}

// A new evaluation's date or age typed from the keyboard: the first key
// reopens the sheet on the first area (the evaluation goes into editing),
// and the focus stays in the field, so every key typed is stored.
void TestKeyboard::typedIntoNewEvaluation_data()
{
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QVariant>("stored");
    QTest::newRow("Mesi Bimbo 24") << QStringLiteral("MesiBimbo") << QStringLiteral("24") << QVariant(24);
    QTest::newRow("Mesi Bimbo 7") << QStringLiteral("MesiBimbo") << QStringLiteral("7") << QVariant(7);
    QTest::newRow("Data Valutazione") << QStringLiteral("DataValutazione") << QStringLiteral("15/11/26")
                                      << QVariant(QDate(2026, 11, 15));
}

void TestKeyboard::typedIntoNewEvaluation()
{
    QFETCH(QString, field);
    QFETCH(QString, typed);
    QFETCH(QVariant, stored);
    Nursery p;
    ScriptedDialogs d;
    TFrm_Main w(p.path(), d);
    STEP(start(w));
    STEP(logIn(w, d));
    STEP(key(Qt::Key_Down));
    QCOMPARE(w.Data.Tbl_AnagBimbi.asInteger(QStringLiteral("Id")), p.neri);
    STEP(tabTo(control<DataGrid>(&w, "DBGrid7")));
    control<QAction>(&w, "Inseriscinuovavalutazione1")->trigger();
    VERIFY_DIALOGS(d);
    QVERIFY2(!control<QGroupBox>(&w, "GB_Valutazione")->isHidden(), qPrintable(screenState(w, d)));
    const int v = w.Data.Tbl_Valutazioni.asInteger(QStringLiteral("Id"));
    QVERIFY(v != p.evaluation);

    QLineEdit* box = field == QLatin1String("MesiBimbo") ? static_cast<QLineEdit*>(control<DataEdit>(&w, "DBEdit22"))
                                                         : static_cast<QLineEdit*>(control<DataEdit>(&w, "DBEdit21"));
    STEP(tabTo(box));
    QCOMPARE(box->selectedText(), box->text()); // Tab brings the focus in with the text chosen
    STEP(typeKeys(typed));
    QCOMPARE(focused(), static_cast<QWidget*>(box));
    QCOMPARE(box->text(), typed);
    // The first key put the evaluation into editing: the sheet is on its first area.
    QCOMPARE(w.Data.Tbl_Valutazioni.state(), store::Table::State::Edit);
    QCOMPARE(w.phasesScreen().chiaveArea().toInt(), p.area1);
    if (field == QLatin1String("MesiBimbo"))
        QCOMPARE(control<QLineEdit>(&w, "Txt_SviluppoTeorico")->text(),
                 formatGeneral(scoring::CalcolaSviluppoTeorico(stored)));

    STEP(tabTo(control<QToolButton>(&w, "SpeedButton7")));
    STEP(key(Qt::Key_Return));
    QTRY_VERIFY(control<QGroupBox>(&w, "GB_Valutazione")->isHidden());
    VERIFY_DIALOGS(d);
    const QList<QVariantMap> rows = p.rows(QStringLiteral("Valutaz.db"), QStringLiteral("Id=%1").arg(v));
    QVERIFY2(rows.size() == 1, qPrintable(rowsText(rows)));
    QCOMPARE(rows[0].value(field), stored);
}

// A birth date the field refuses keeps the focus in its box once the
// refusal is answered: the corrected date typed next goes into it, and
// "Sesso" after it is left as it was.
void TestKeyboard::refusedDateKeepsFocus()
{
    Nursery p;
    {
        // Every child is a girl.
        const auto folder = p.open();
        store::Table t;
        t.setDataFolder(folder.get());
        t.setTableName(QStringLiteral("AnagBimbi.DB"));
        t.open();
        for (t.first(); !t.isEof(); t.next()) {
            t.edit();
            t.setValue(QStringLiteral("Sesso"), QStringLiteral("F"));
            t.post();
        }
    }
    ScriptedDialogs d;
    TFrm_Main w(p.path(), d);
    STEP(start(w));
    STEP(logIn(w, d));
    STEP(tabTo(control<QToolButton>(&w, "ToolButton5")));
    STEP(key(Qt::Key_Space));
    QVERIFY2(!control<QGroupBox>(&w, "GB_AnagraficaBimbi")->isHidden(), qPrintable(screenState(w, d)));
    const int child = w.Data.Tbl_AnagBimbi.asInteger(QStringLiteral("Id"));
    auto* date = control<QLineEdit>(control<QGroupBox>(&w, "GB_AnagraficaBimbi"), "DBEdit12");
    auto* sex = control<QLineEdit>(control<QGroupBox>(&w, "GB_AnagraficaBimbi"), "DBEdit13");
    QVERIFY(date && sex);

    STEP(tabTo(date));
    STEP(typeKeys(QStringLiteral("31/02/24")));
    d.expectMessage(BoxType::Error, QStringLiteral("'31/02/24' non è una data valida."));
    STEP(tab());
    VERIFY_DIALOGS(d);
    QVERIFY2(focused() == date, qPrintable(describe(focused())));
    QCOMPARE(date->selectedText(), QStringLiteral("31/02/24"));

    STEP(typeKeys(QStringLiteral("15/03/21")));
    QCOMPARE(date->text(), QStringLiteral("15/03/21"));
    STEP(tab());
    VERIFY_DIALOGS(d);
    QVERIFY2(focused() == sex, qPrintable(describe(focused())));
    QCOMPARE(sex->text(), QStringLiteral("F"));

    w.childrenScreen().SpeedButton2Click();
    VERIFY_DIALOGS(d);
    QVERIFY2(control<QGroupBox>(&w, "GB_AnagraficaBimbi")->isHidden(), qPrintable(screenState(w, d)));
    const QList<QVariantMap> rows = p.rows(QStringLiteral("AnagBimbi.DB"), QStringLiteral("Id=%1").arg(child));
    QVERIFY2(rows.size() == 1, qPrintable(rowsText(rows)));
    QCOMPARE(rows[0].value("DataDiNascita").toDate(), QDate(2021, 3, 15));
    QCOMPARE(rows[0].value("Sesso").toString(), QStringLiteral("F"));
}

// Every registry from the keyboard: its toolbar button pressed with Space
// opens it with the focus inside it, the keys reach its "Esci", Return
// closes it and the keys go on in the children list. Tab reaches "Esci"
// in every box but the educators', whose plain password edit is the last
// of the box: there Tab stops on the password (the masked edit hands the
// focus to the plain one) and Shift+Tab goes back to "Esci".
void TestKeyboard::registriesFromToolbar_data()
{
    QTest::addColumn<QString>("registry");
    for (const char* r : {"ToolButton1", "ToolButton3", "ToolButton5", "ToolButton7", "ToolButton9"})
        QTest::newRow(r) << QString::fromLatin1(r);
}

void TestKeyboard::registriesFromToolbar()
{
    QFETCH(QString, registry);
    Nursery p;
    ScriptedDialogs d;
    TFrm_Main w(p.path(), d);
    STEP(start(w));
    STEP(logIn(w, d));
    const QMap<QString, std::pair<QToolButton*, QGroupBox*>> registries = {
        {QStringLiteral("ToolButton1"),
         {control<QToolButton>(&w, "ToolButton1"), control<QGroupBox>(&w, "GB_AnagraficaNido")}},
        {QStringLiteral("ToolButton3"),
         {control<QToolButton>(&w, "ToolButton3"), control<QGroupBox>(&w, "GB_AnagraficaEducatrici")}},
        {QStringLiteral("ToolButton5"),
         {control<QToolButton>(&w, "ToolButton5"), control<QGroupBox>(&w, "GB_AnagraficaBimbi")}},
        {QStringLiteral("ToolButton7"),
         {control<QToolButton>(&w, "ToolButton7"), control<QGroupBox>(&w, "GB_AnagraficaRuoli")}},
        {QStringLiteral("ToolButton9"),
         {control<QToolButton>(&w, "ToolButton9"), control<QGroupBox>(&w, "GB_AnagraficaAree")}},
    };
    const auto [button, box] = registries.value(registry);

    STEP(tabTo(button));
    STEP(key(Qt::Key_Space));
    QVERIFY2(!box->isHidden(), qPrintable(screenState(w, d)));
    QVERIFY2(box->isAncestorOf(focused()), qPrintable(describe(focused())));
    QToolButton* exit = nullptr;
    for (QToolButton* b : box->findChildren<QToolButton*>())
        if (b->text() == QLatin1String("Esci"))
            exit = b;
    QVERIFY(exit);
    if (box == control<QGroupBox>(&w, "GB_AnagraficaEducatrici")) {
        STEP(tabTo(control<DataEdit>(&w, "DBEdit24")));
        STEP(tabBackTo(exit));
    } else {
        STEP(tabTo(exit));
    }
    STEP(key(Qt::Key_Return));
    QTRY_VERIFY2(box->isHidden(), qPrintable(screenState(w, d)));
    VERIFY_DIALOGS(d);
    QCOMPARE(focused(), static_cast<QWidget*>(control<DataGrid>(&w, "DBGrid1")));
}

// The educators registry: Tab from the surname comes into the password,
// typed in clear in the plain edit the masked one hands the focus to; the
// plain edit is the last of the box, so the next Tab leaves the box for a
// control that shows beside it, and the password is masked again. Shift+Tab
// from the plain edit goes back to "Esci" and then to the check box.
void TestKeyboard::educatorsPasswordLastInTabOrder()
{
    Nursery p;
    ScriptedDialogs d;
    TFrm_Main w(p.path(), d);
    STEP(start(w));
    STEP(logIn(w, d));
    STEP(tabTo(control<QToolButton>(&w, "ToolButton3")));
    STEP(key(Qt::Key_Space));
    QGroupBox* box = control<QGroupBox>(&w, "GB_AnagraficaEducatrici");
    QVERIFY2(!box->isHidden(), qPrintable(screenState(w, d)));
    StaffRegistries* s = &w.staffRegistries();

    STEP(tabTo(control<DataEdit>(&w, "DBEdit8")));
    STEP(tab());
    QVERIFY2(focused() == static_cast<QWidget*>(control<DataEdit>(&w, "DBEdit24")), qPrintable(describe(focused())));
    QVERIFY(s->plainPasswordInFront());
    QVERIFY(showsInWindow(control<DataEdit>(&w, "DBEdit24")));
    control<DataEdit>(&w, "DBEdit24")->selectAll();
    QTest::keyClicks(control<DataEdit>(&w, "DBEdit24"), QStringLiteral("abc"));
    QCOMPARE(control<DataEdit>(&w, "DBEdit24")->displayText(), QStringLiteral("abc"));

    STEP(tab());
    QVERIFY2(focused() && !box->isAncestorOf(focused()) && showsInWindow(focused()), qPrintable(describe(focused())));
    QVERIFY(!s->plainPasswordInFront());
    QCOMPARE(control<DataEdit>(&w, "DBEdit9")->displayText(), QStringLiteral("***"));
    QCOMPARE(w.Data.Tbl_AnagEdu.asString(QStringLiteral("Password")), QStringLiteral("abc"));

    STEP(tabTo(control<DataEdit>(&w, "DBEdit24")));
    STEP(tab(true));
    QVERIFY2(focused()
                 == static_cast<QWidget*>(
                     control<QToolButton>(control<QGroupBox>(&w, "GB_AnagraficaEducatrici"), "SpeedButton1")),
             qPrintable(describe(focused())));
    STEP(tab(true));
    QVERIFY2(focused() == static_cast<QWidget*>(control<DataCheckBox>(&w, "DBCheckBox1")),
             qPrintable(describe(focused())));
    STEP(key(Qt::Key_Space));
    QCOMPARE(w.Data.Tbl_AnagEdu.asBoolean(QStringLiteral("Responsabile")), false);
    STEP(key(Qt::Key_Space));
    STEP(tab());
    QVERIFY2(focused()
                 == static_cast<QWidget*>(
                     control<QToolButton>(control<QGroupBox>(&w, "GB_AnagraficaEducatrici"), "SpeedButton1")),
             qPrintable(describe(focused())));
    STEP(key(Qt::Key_Return));
    QTRY_VERIFY2(box->isHidden(), qPrintable(screenState(w, d)));
    VERIFY_DIALOGS(d);
    QCOMPARE(p.rows(QStringLiteral("AnagEdu.db")).value(0).value("Password").toString(), QStringLiteral("abc"));
}

// A button with the focus, a speed button (on the white access panel and on
// the coloured box of the sheet) or a flat one (the registries toolbar, a
// navigator): a dotted rectangle inside it, drawn as before once the focus
// goes on; Return, Enter on the keypad and Space press it.
void TestKeyboard::focusedButton_data()
{
    QTest::addColumn<QString>("button");
    QTest::addColumn<int>("press");
    QTest::addColumn<int>("modifiers");
    QTest::newRow("About, Return") << QStringLiteral("about") << int(Qt::Key_Return) << int(Qt::NoModifier);
    QTest::newRow("About, Enter") << QStringLiteral("about") << int(Qt::Key_Enter) << int(Qt::KeypadModifier);
    QTest::newRow("About, Space") << QStringLiteral("about") << int(Qt::Key_Space) << int(Qt::NoModifier);
    QTest::newRow("Torna, Return") << QStringLiteral("torna") << int(Qt::Key_Return) << int(Qt::NoModifier);
    QTest::newRow("toolbar, Return") << QStringLiteral("toolbar") << int(Qt::Key_Return) << int(Qt::NoModifier);
    QTest::newRow("navigator, Enter") << QStringLiteral("navigator") << int(Qt::Key_Enter) << int(Qt::KeypadModifier);
}

void TestKeyboard::focusedButton()
{
    QFETCH(QString, button);
    QFETCH(int, press);
    QFETCH(int, modifiers);
    Nursery p;
    ScriptedDialogs d;
    TFrm_Main w(p.path(), d);
    STEP(start(w));

    QToolButton* target = control<QToolButton>(&w, "SpeedButton13");
    int inset = 3;
    bool opened = false;
    std::function<bool()> pressed = [&] { return opened; };
    if (button == QLatin1String("about")) {
        d.expectForm(QStringLiteral("Taboutbox"), [&](QDialog&) {
            opened = true;
            return int(QDialog::Accepted);
        });
    } else {
        STEP(logIn(w, d));
        if (button == QLatin1String("torna")) {
            STEP(openEvaluation(w, d, p));
            target = control<QToolButton>(&w, "SpeedButton7");
            pressed = [&] { return control<QGroupBox>(&w, "GB_Valutazione")->isHidden(); };
        } else if (button == QLatin1String("toolbar")) {
            target = control<QToolButton>(&w, "ToolButton1");
            inset = 2;
            pressed = [&] { return !control<QGroupBox>(&w, "GB_AnagraficaNido")->isHidden(); };
        } else {
            target = control<DataNavigator>(&w, "DBNavigator1")->button(DataNavigator::Button::Next);
            inset = 2;
            pressed = [&] { return w.Data.Tbl_AnagBimbi.asInteger(QStringLiteral("Id")) == p.neri; };
        }
    }

    const QImage before = grabbed(target);
    STEP(tabTo(target));
    const QImage focusedImage = grabbed(target);
    QCOMPARE(focusedImage.size(), before.size());
    // The dotted rectangle `inset` pixels inside the edges (its right and
    // bottom sides a pixel further, as QPainter strokes): along each of its
    // sides dots that are dark where the button without the focus is not.
    // The style may mark the focus in its own way besides.
    const QRect ring = target->rect().adjusted(inset, inset, -inset - 1, -inset - 1);
    const auto dark = [](const QImage& image, int x, int y) { return QColor(image.pixel(x, y)).lightness() < 90; };
    const auto dot = [&](int x, int y) { return dark(focusedImage, x, y) && !dark(before, x, y); };
    QList<int> sides(4, 0);
    for (int x = ring.left() + 1; x < ring.right(); ++x) {
        sides[0] += dot(x, ring.top());
        sides[1] += dot(x, ring.bottom()) || dot(x, ring.bottom() + 1);
    }
    for (int y = ring.top() + 1; y < ring.bottom(); ++y) {
        sides[2] += dot(ring.left(), y);
        sides[3] += dot(ring.right(), y) || dot(ring.right() + 1, y);
    }
    for (int side = 0; side < 4; ++side) {
        const int length = side < 2 ? ring.width() - 2 : ring.height() - 2;
        QVERIFY2(sides[side] >= length / 4, qPrintable(QStringLiteral("side %1 of %2: %3 dots along %4 pixels")
                                                           .arg(side).arg(describe(target)).arg(sides[side]).arg(length)));
    }

    // Away from it, it is drawn as before; back on it, the key presses it.
    STEP(tab());
    QVERIFY(focused() != target);
    QCOMPARE(grabbed(target), before);
    STEP(tab(true));
    QCOMPARE(focused(), static_cast<QWidget*>(target));
    QVERIFY(!pressed());
    STEP(key(Qt::Key(press), Qt::KeyboardModifiers(modifiers)));
    QTRY_VERIFY2(pressed(), qPrintable(screenState(w, d)));
    VERIFY_DIALOGS(d);
}

// F1 opens the user guide from every screen, whichever control has the
// focus, and from the boxes shown over the window; the screen stays as it
// was. Without the guide beside the program, F1 says so.
void TestKeyboard::f1OpensGuide_data()
{
    QTest::addColumn<QString>("screen");
    QTest::addColumn<bool>("guideThere");
    for (const char* screen : {"access panel", "list", "children registry", "nursery registry", "sheet", "About box",
                               "new-nursery form"})
        QTest::newRow(screen) << QString::fromLatin1(screen) << true;
    QTest::newRow("list, guide missing") << QStringLiteral("list") << false;
}

void TestKeyboard::f1OpensGuide()
{
    QFETCH(QString, screen);
    QFETCH(bool, guideThere);
    Nursery p;
    if (guideThere) {
        QVERIFY(QDir(p.path()).mkpath(QStringLiteral("docs")));
        QFile guide(QDir(p.path()).filePath(QStringLiteral("docs/guida-utente.html")));
        QVERIFY(guide.open(QIODevice::WriteOnly));
        guide.write("<html><body>Guida</body></html>");
    }
    ScriptedDialogs d;
    TFrm_Main w(p.path(), d);
    STEP(start(w));
    const QUrl guide = QUrl::fromLocalFile(control<AboutBox>(&w, "Taboutbox")->guidePath());

    // F1 on the form or box in front, shown as the program shows it.
    bool pressedOnForm = false;
    const auto pressF1On = [&](QDialog& form) {
        form.show();
        if (QTest::qWaitForWindowExposed(&form)) {
            QTest::keyClick(form.focusWidget() ? form.focusWidget() : &form, Qt::Key_F1);
            pressedOnForm = form.isVisible();
        }
        form.hide();
        return int(QDialog::Rejected);
    };
    QWidget* inFront = nullptr;
    if (screen == QLatin1String("access panel")) {
        inFront = control<QWidget>(&w, "Pnl_Accesso");
    } else if (screen == QLatin1String("About box")) {
        STEP(tabTo(control<QToolButton>(&w, "SpeedButton13")));
        d.expectForm(QStringLiteral("Taboutbox"), pressF1On);
        STEP(key(Qt::Key_Return));
        inFront = control<QWidget>(&w, "Pnl_Accesso");
    } else {
        STEP(logIn(w, d));
        inFront = control<QWidget>(&w, "Pnl_Bambini");
        if (screen == QLatin1String("children registry") || screen == QLatin1String("nursery registry")) {
            QToolButton* button = screen.startsWith(QLatin1String("children"))
                                      ? control<QToolButton>(&w, "ToolButton5")
                                      : control<QToolButton>(&w, "ToolButton1");
            STEP(tabTo(button));
            STEP(key(Qt::Key_Space));
            inFront = screen.startsWith(QLatin1String("children")) ? control<QGroupBox>(&w, "GB_AnagraficaBimbi")
                                                                   : control<QGroupBox>(&w, "GB_AnagraficaNido");
        } else if (screen == QLatin1String("sheet")) {
            STEP(openEvaluation(w, d, p));
            inFront = control<QGroupBox>(&w, "GB_Valutazione");
        } else if (screen == QLatin1String("new-nursery form")) {
            control<QToolButton>(&w, "ToolButton1")->click();
            inFront = control<QGroupBox>(&w, "GB_AnagraficaNido");
            QToolButton* nuovo = nullptr;
            for (QToolButton* b : control<QGroupBox>(&w, "GB_AnagraficaNido")->findChildren<QToolButton*>())
                if (b->text() == QLatin1String("Nuovo"))
                    nuovo = b;
            QVERIFY(nuovo);
            d.expectForm(QStringLiteral("TFrm_InserimentoNido"), pressF1On);
            STEP(tabTo(nuovo));
            STEP(key(Qt::Key_Space));
        }
    }
    if (!guideThere)
        d.expectMessage(BoxType::Warning, QRegularExpression(QStringLiteral("^La guida del software non si trova")));
    const bool onForm = screen == QLatin1String("About box") || screen == QLatin1String("new-nursery form");
    QWidget* before = focused();
    if (onForm) // the button that opened it clicks once the key is up
        QTRY_VERIFY2(pressedOnForm, qPrintable(screen + QStringLiteral(" never had the keys")));
    else
        STEP(key(Qt::Key_F1));
    VERIFY_DIALOGS(d);
    QCOMPARE(d.opened(), guideThere ? QList<QUrl>{guide} : QList<QUrl>{});
    // Nothing else happened: the same screen in front, the focus where it
    // was (offscreen, nothing gives the keys back to the window after a form).
    QVERIFY2(inFront->isVisible(), qPrintable(screenState(w, d)));
    if (onForm)
        return;
    if (inFront != control<QWidget>(&w, "Pnl_Accesso") && inFront != control<QWidget>(&w, "Pnl_Bambini"))
        QVERIFY2(inFront->isAncestorOf(focused()), qPrintable(describe(focused())));
    QCOMPARE(focused(), before);
}

QTEST_MAIN(TestKeyboard)
#include "test_keyboard.moc"
