// The program from the keyboard alone: Tab moves between the controls, the
// educator list logs in with Return, the arrows choose a child, Return opens
// its evaluation, and the arrows answer an item; a speed button with the
// focus shows it and is pressed with Return.

#include "datagrid.h"
#include "evaluations.h"
#include "lookups.h"
#include "mainwindow.h"
#include "phases.h"
#include "scenariofixture.h"
#include "scripteddialogs.h"
#include "scripteddialogs_qtest.h"

#include <QApplication>
#include <QDialog>
#include <QImage>
#include <QRadioButton>
#include <QSignalSpy>
#include <QTest>
#include <QToolButton>

using namespace velmora;

namespace {

QWidget* focused() { return QApplication::focusWidget(); }

QString describe(QWidget* w)
{
    return w ? QStringLiteral("%1 (%2)").arg(w->objectName(), QString::fromLatin1(w->metaObject()->className()))
             : QStringLiteral("nothing");
}

// One key pressed and released as a keyboard does it: the release goes to
// the widget that has the focus after the press.
void key(Qt::Key k)
{
    QVERIFY2(focused(), "no widget has the focus");
    QTest::keyPress(focused(), k);
    QVERIFY2(focused(), "no widget has the focus");
    QTest::keyRelease(focused(), k);
}

// Presses Tab until `target` has the focus; fails when it never comes.
void tabTo(QWidget* target)
{
    for (int i = 0; i < 80 && focused() != target; ++i)
        STEP(key(Qt::Key_Tab));
    QVERIFY2(focused() == target, qPrintable(QStringLiteral("Tab never reached %1; focus on %2")
                                                 .arg(describe(target), describe(focused()))));
}

void press(Qt::Key k) { key(k); }

// The visible grid of the list screen that shows `table`.
DataGrid* gridOf(TFrm_Main& w, store::Table* table)
{
    for (DataGrid* g : w.findChildren<DataGrid*>())
        if (g->table() == table && g->isVisible())
            return g;
    return nullptr;
}

} // namespace

class TestKeyboard : public QObject
{
    Q_OBJECT

private slots:
    void loginChildEvaluationAnswer();
    void focusedSpeedButton();
};

void TestKeyboard::loginChildEvaluationAnswer()
{
    ScenarioFolder p;
    const int nursery = p.nursery(QStringLiteral("Arcobaleno"));
    p.add(QStringLiteral("AnagEdu.db"), {{"Id_Nido", nursery}, {"Nome", QStringLiteral("Anna")},
                                         {"Cognome", QStringLiteral("Rossi")}, {"Password", QStringLiteral("pw")},
                                         {"Responsabile", true}});
    for (const char* cognome : {"Bianchi", "Neri"})
        p.add(QStringLiteral("AnagBimbi.DB"), {{"Id_Nido", nursery}, {"Nome", QStringLiteral("Bimbo")},
                                                {"Cognome", QString::fromLatin1(cognome)}, {"Frequenza", true},
                                                {"DataDiNascita", QDate(2024, 6, 10)}});
    const int neri = p.rows(QStringLiteral("AnagBimbi.DB"), QStringLiteral("Cognome='Neri'")).first().value("Id").toInt();
    const int evaluation = p.add(QStringLiteral("Valutaz.db"), {{"Id_Bimbo", neri}, {"DataValutazione", QDate(2026, 12, 1)},
                                                                {"MesiBimbo", 30}});
    p.add(QStringLiteral("FasiVal.db"), {{"Id_Valutazione", evaluation}, {"Id_Area", 1}, {"NumFase", 5}});

    ScriptedDialogs d;
    TFrm_Main w(p.path(), d);
    w.Data.Now = [] { return QDateTime(QDate(2026, 12, 10), QTime(9, 30)); };
    w.show();
    QApplication::setActiveWindow(&w);
    QVERIFY(QTest::qWaitForWindowActive(&w));
    if (!focused())
        w.setFocus(); // the window's own focus; Tab goes on from here

    // Logging in: Tab to the educator list, Return, the password.
    STEP(tabTo(w.Access->DBLookupListBox1));
    QCOMPARE(w.Data.Tbl_AnagEdu.asString(QStringLiteral("Cognome")), QStringLiteral("Rossi"));
    d.expectInput(QStringLiteral("Password"), QStringLiteral("pw"), true);
    STEP(press(Qt::Key_Return));
    VERIFY_DIALOGS(d);
    QVERIFY2(!w.accessPanelInFront(), qPrintable(screenState(w, d)));

    // The children: Tab to their list, down to the second, Neri.
    DataGrid* children = gridOf(w, &w.Data.Tbl_AnagBimbi);
    QVERIFY(children);
    STEP(tabTo(children));
    STEP(press(Qt::Key_Down));
    QCOMPARE(w.Data.Tbl_AnagBimbi.asString(QStringLiteral("Cognome")), QStringLiteral("Neri"));

    // Its evaluation: Tab to the list of evaluations, Return opens it.
    DataGrid* evaluations = w.Evaluations->DBGrid7;
    STEP(tabTo(evaluations));
    QCOMPARE(w.Data.Tbl_Valutazioni.asInteger(QStringLiteral("Id")), evaluation);
    STEP(press(Qt::Key_Return));
    VERIFY_DIALOGS(d);
    QVERIFY2(w.GB_Valutazione->isVisible(), qPrintable(screenState(w, d)));
    QCOMPARE(w.Data.Tbl_FasiVal.asInteger(QStringLiteral("NumFase")), 5);

    // The first item: Tab to its answers, the arrows to the next answer,
    // Space ticks it, and it is stored at once.
    const auto& first = w.Phases->Risposte[0];
    QVERIFY(first[PhasesScreen::NonEsiste]->isChecked());
    int at = -1;
    for (int i = 0; i < 120 && at < 0; ++i) {
        for (int a = 0; a < PhasesScreen::Answers; ++a)
            if (focused() == first[size_t(a)])
                at = a;
        if (at < 0)
            STEP(key(Qt::Key_Tab));
    }
    QVERIFY2(at >= 0, qPrintable(QStringLiteral("Tab never reached the first item; focus on %1").arg(describe(focused()))));
    const int target = at + 1 < PhasesScreen::NonEsiste ? at + 1 : 0;
    const Qt::Key arrow = target > at ? Qt::Key_Down : Qt::Key_Up;
    for (int a = at; a != target; a += target > at ? 1 : -1)
        STEP(key(arrow));
    QCOMPARE(focused(), static_cast<QWidget*>(first[size_t(target)]));
    STEP(key(Qt::Key_Space));
    QVERIFY2(first[size_t(target)]->isChecked(), qPrintable(describe(focused())));
    // Stored: item 1 is in the list of that answer.
    const QStringList fields{QStringLiteral("Si"), QStringLiteral("No"), QStringLiteral("AVolte"), QStringLiteral("NonSo")};
    const QVariantMap phase = p.rows(QStringLiteral("FasiVal.db"), QStringLiteral("Id_Valutazione=%1").arg(evaluation)).first();
    QCOMPARE(phase.value(fields[target]).toString(), QStringLiteral("-01"));
    w.close();
}

void TestKeyboard::focusedSpeedButton()
{
    ScenarioFolder p;
    p.nursery(QStringLiteral("Arcobaleno"));
    ScriptedDialogs d;
    TFrm_Main w(p.path(), d);
    w.show();
    QApplication::setActiveWindow(&w);
    QVERIFY(QTest::qWaitForWindowActive(&w));
    auto* about = w.findChild<QToolButton*>(QStringLiteral("SpeedButton13"));
    QVERIFY(about);
    QVERIFY(about->focusPolicy() & Qt::TabFocus);

    w.setFocus();
    const QImage before = about->grab().toImage();
    STEP(tabTo(about));
    const QImage focusedImage = about->grab().toImage();
    QVERIFY2(focusedImage != before, "the focused button looks as the others");
    // Return presses it: the About box opens.
    QSignalSpy clicked(about, &QToolButton::clicked);
    bool opened = false;
    d.expectForm(QStringLiteral("Taboutbox"), [&](QDialog&) {
        opened = true;
        return int(QDialog::Accepted);
    });
    STEP(press(Qt::Key_Return));
    QTRY_COMPARE(clicked.count(), 1);
    QVERIFY(opened);
    VERIFY_DIALOGS(d);
    // Away from it, it is drawn as before.
    STEP(press(Qt::Key_Tab));
    QVERIFY(focused() != about);
    QCOMPARE(about->grab().toImage(), before);
}

QTEST_MAIN(TestKeyboard)
#include "test_keyboard.moc"
