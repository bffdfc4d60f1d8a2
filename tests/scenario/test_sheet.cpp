// The upper part of the evaluation sheet: the child shown read-only, the
// evaluation's date and age with the theoretical development, the staff who
// took part, and what is saved when the sheet is left or the program closed.

#include "datafolder.h"
#include "dataedits.h"
#include "datagrid.h"
#include "datanavigator.h"
#include "evaluations.h"
#include "installer.h"
#include "mainwindow.h"
#include "scenariofixture.h"
#include "scripteddialogs.h"
#include "scripteddialogs_qtest.h"
#include "sheet.h"
#include "table.h"

#include <QComboBox>
#include <QDir>
#include <QGroupBox>
#include <QLineEdit>
#include <QPalette>
#include <QPlainTextEdit>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>

using namespace velmora;

namespace {

const QString deleteQuestion = QStringLiteral("Eliminare il record?");
const QDate today(2026, 12, 10);

// Replaces the text of an edit as the user does, key by key.
void typeInto(QLineEdit* e, const QString& text)
{
    e->selectAll();
    QTest::keyClick(e, Qt::Key_Backspace);
    QTest::keyClicks(e, text);
}

int indexOf(QComboBox* box, const QString& text)
{
    const int i = box->findText(text);
    if (i < 0)
        qWarning("no item %s", qPrintable(text));
    return i;
}

} // namespace

class TestSheet : public QObject
{
    Q_OBJECT

private slots:
    // The server run (test_sheet_server) skips where it cannot run.
    void initTestCase() { STORETEST_REQUIRE_ENGINE(); }
    void showsCurrentChildReadOnly();
    void typedAgeSavedOnLeaving_data();
    void typedAgeSavedOnLeaving();
    void refusedTextKeepsSheetOpen_data();
    void refusedTextKeepsSheetOpen();
    void staffRowBelongsToSheet_data();
    void staffRowBelongsToSheet();
    void untouchedNewRowDroppedOnLeaving_data();
    void untouchedNewRowDroppedOnLeaving();
    void deletingStaffRowAsks_data();
    void deletingStaffRowAsks();
};

void TestSheet::showsCurrentChildReadOnly()
{
    ScenarioFolder p;
    const int a = p.nursery(QStringLiteral("Arcobaleno"));
    p.educator({.nursery = a});
    p.child({.nursery = a, .nome = QStringLiteral("Luca"), .cognome = QStringLiteral("Alfieri"),
             .born = QDate(2025, 3, 4), .more = {{"Sesso", QStringLiteral("M")}, {"Note", QStringLiteral("allergico")}}});
    const int giulia = p.child({.nursery = a, .nome = QStringLiteral("Giulia"), .cognome = QStringLiteral("Bassi"),
                                .born = QDate(2024, 11, 20),
                                .more = {{"Sesso", QStringLiteral("F")}, {"Note", QStringLiteral("gemella")}}});
    p.evaluation({.child = giulia, .months = 24});
    ScriptedDialogs d;
    TFrm_Main w(p.path(), d);
    login(w, d, QStringLiteral("Rossi"));
    chooseChild(w, giulia);
    w.evaluationsScreen().Modifica1Click();
    VERIFY_DIALOGS(d);
    EvaluationSheet* s = &w.evaluationSheet();
    QVERIFY2(!control<QGroupBox>(&w, "GB_Valutazione")->isHidden(), qPrintable(screenState(w, d)));

    QCOMPARE(control<DataEdit>(&w, "DBEdit17")->text(), QStringLiteral("Giulia"));
    QCOMPARE(control<DataEdit>(&w, "DBEdit18")->text(), QStringLiteral("Bassi"));
    QCOMPARE(control<DataEdit>(&w, "DBEdit19")->text(), QStringLiteral("20/11/24"));
    QCOMPARE(control<DataEdit>(&w, "DBEdit20")->text(), QStringLiteral("F"));
    QCOMPARE(control<DataMemo>(&w, "DBMemo3")->toPlainText(), QStringLiteral("gemella"));
    for (QLineEdit* e : {static_cast<QLineEdit*>(control<DataEdit>(&w, "DBEdit17")),
                         static_cast<QLineEdit*>(control<DataEdit>(&w, "DBEdit18")),
                         static_cast<QLineEdit*>(control<DataEdit>(&w, "DBEdit19")),
                         static_cast<QLineEdit*>(control<DataEdit>(&w, "DBEdit20"))}) {
        QVERIFY2(e->isReadOnly(), qPrintable(e->objectName()));
        QCOMPARE(e->palette().color(QPalette::Base), QColor(223, 239, 255));
    }
    QVERIFY2(control<DataMemo>(&w, "DBMemo3")->isReadOnly(),
             qPrintable(control<DataMemo>(&w, "DBMemo3")->objectName() + QStringLiteral(" is writable")));
    QCOMPARE(control<DataMemo>(&w, "DBMemo3")->palette().color(QPalette::Base), QColor(223, 239, 255));

    // Typing into a child's field changes nothing.
    QTest::keyClicks(control<DataEdit>(&w, "DBEdit17"), QStringLiteral("xyz"));
    QCOMPARE(w.Data.Tbl_AnagBimbi.state(), store::Table::State::Browse);
    s->SpeedButton7Click();
    VERIFY_DIALOGS(d);
    QCOMPARE(p.rows(QStringLiteral("AnagBimbi.DB"), QStringLiteral("Id=%1").arg(giulia)).first().value("Nome").toString(),
             QStringLiteral("Giulia"));
    // "Età anagrafica" sits beside the age, in the sheet's upper part.
    QLineEdit* dev = control<QLineEdit>(&w, "Txt_SviluppoTeorico");
    QCOMPARE(dev->parentWidget(), static_cast<QWidget*>(control<QGroupBox>(&w, "GB_Valutazione")));
    QCOMPARE_LT(dev->geometry().bottom(), control<QFrame>(&w, "Shape2")->y());
    QCOMPARE(dev->y(), control<DataEdit>(&w, "DBEdit22")->y());
}

void TestSheet::typedAgeSavedOnLeaving_data()
{
    QTest::addColumn<bool>("newEvaluation");
    QTest::addColumn<bool>("byClosing"); // the program closed instead of "Torna all'elenco dei bambini"
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("shown");
    QTest::newRow("existing, back to list, 13") << false << false << "13" << "4,19";
    QTest::newRow("existing, back to list, 1") << false << false << "1" << "0,33";
    QTest::newRow("new, back to list, 12") << true << false << "12" << "4";
    QTest::newRow("existing, program closed, 13") << false << true << "13" << "4,19";
    QTest::newRow("new, program closed, 100") << true << true << "100" << "19,45";
}

void TestSheet::typedAgeSavedOnLeaving()
{
    QFETCH(bool, newEvaluation);
    QFETCH(bool, byClosing);
    QFETCH(QString, typed);
    QFETCH(QString, shown);
    ScenarioFolder p;
    const int a = p.nursery(QStringLiteral("Arcobaleno"));
    p.educator({.nursery = a});
    const int c = p.child({.nursery = a, .nome = QString(), .cognome = QStringLiteral("Zeta"),
                           .born = today.addDays(-900)});
    if (!newEvaluation)
        p.evaluation({.child = c, .months = 30});
    ScriptedDialogs d;
    TFrm_Main w(p.path(), d);
    w.Data.Now = [] { return QDateTime(today, QTime(9, 0)); };
    login(w, d, QStringLiteral("Rossi"));
    if (newEvaluation)
        w.evaluationsScreen().Inseriscinuovavalutazione1Click();
    else
        w.evaluationsScreen().Modifica1Click();
    VERIFY_DIALOGS(d);
    const int v = w.Data.Tbl_Valutazioni.asInteger(QStringLiteral("Id"));
    QCOMPARE(control<QLineEdit>(&w, "Txt_SviluppoTeorico")->text(), QStringLiteral("7"));

    typeInto(control<DataEdit>(&w, "DBEdit22"), typed);
    QCOMPARE(control<QLineEdit>(&w, "Txt_SviluppoTeorico")->text(), shown);
    // Still pending until the sheet is left.
    QCOMPARE(p.rows(QStringLiteral("Valutaz.db"), QStringLiteral("Id=%1").arg(v)).first().value("MesiBimbo").toInt(), 30);

    if (byClosing)
        QVERIFY2(w.close(), qPrintable(QStringLiteral("the window refused to close: %1; %2")
                                           .arg(screenState(w, d), tableState(w.Data.Tbl_Valutazioni))));
    else
        w.evaluationSheet().SpeedButton7Click();
    VERIFY_DIALOGS(d);
    const auto rows = p.rows(QStringLiteral("Valutaz.db"), QStringLiteral("Id=%1").arg(v));
    QCOMPARE(rows.size(), 1);
    QCOMPARE(rows.first().value("MesiBimbo").toInt(), typed.toInt());
    QCOMPARE(w.Data.Tbl_Valutazioni.state(), store::Table::State::Browse);
}

void TestSheet::refusedTextKeepsSheetOpen_data()
{
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("typed"); // typed over the whole box, key by key
    QTest::addColumn<bool>("byClosing");
    // On the way to "15/03/202" the box held "15/03/20", a date the field
    // took (2020): it must not be what is stored.
    QTest::newRow("date cut short, back to list") << "DataValutazione" << "15/03/202" << false;
    QTest::newRow("no such day, program closed") << "DataValutazione" << "31/02/2026" << true;
    QTest::newRow("age with a letter, back to list") << "MesiBimbo" << "2x" << false;
    QTest::newRow("age with a letter, program closed") << "MesiBimbo" << "2x" << true;
}

// Text the field cannot take, still in its box, stops the way out with the
// engine's message; nothing half typed is stored, and once corrected the
// sheet closes with the corrected value.
void TestSheet::refusedTextKeepsSheetOpen()
{
    QFETCH(QString, field);
    QFETCH(QString, typed);
    QFETCH(bool, byClosing);
    ScenarioFolder p;
    const int a = p.nursery(QStringLiteral("Arcobaleno"));
    p.educator({.nursery = a});
    const int c = p.child({.nursery = a, .nome = QString(), .cognome = QStringLiteral("Zeta"),
                           .born = today.addDays(-900)});
    const int v = p.evaluation({.child = c, .months = 30});
    const auto stored = [&] { return p.rows(QStringLiteral("Valutaz.db"), QStringLiteral("Id=%1").arg(v)).first().value(field); };
    const QVariant before = stored();
    ScriptedDialogs d;
    TFrm_Main w(p.path(), d);
    w.Data.Now = [] { return QDateTime(today, QTime(9, 0)); };
    login(w, d, QStringLiteral("Rossi"));
    w.evaluationsScreen().Modifica1Click();
    VERIFY_DIALOGS(d);
    DataEdit* box =
        field == QStringLiteral("MesiBimbo") ? control<DataEdit>(&w, "DBEdit22") : control<DataEdit>(&w, "DBEdit21");
    typeInto(box, typed);

    d.expectAnyMessage(BoxType::Error);
    if (byClosing)
        d.expectMessage(BoxType::Confirmation,
                        QStringLiteral("Le modifiche non salvate andranno perse. Chiudere comunque il programma?"),
                        Button::No);
    if (byClosing)
        QVERIFY2(!w.close(), qPrintable(QStringLiteral("the window closed: %1; %2")
                                            .arg(screenState(w, d), tableState(w.Data.Tbl_Valutazioni))));
    else
        w.evaluationSheet().SpeedButton7Click();
    VERIFY_DIALOGS(d);
    QVERIFY2(!control<QGroupBox>(&w, "GB_Valutazione")->isHidden(), qPrintable(screenState(w, d)));
    QCOMPARE(box->text(), typed);
    QCOMPARE(stored(), before);

    typeInto(box, field == QStringLiteral("MesiBimbo") ? QStringLiteral("31") : QStringLiteral("16/03/2026"));
    w.evaluationSheet().SpeedButton7Click();
    VERIFY_DIALOGS(d);
    QVERIFY2(control<QGroupBox>(&w, "GB_Valutazione")->isHidden(), qPrintable(screenState(w, d)));
    QCOMPARE(stored(), field == QStringLiteral("MesiBimbo") ? QVariant(31) : QVariant(QDate(2026, 3, 16)));
}

void TestSheet::staffRowBelongsToSheet_data()
{
    QTest::addColumn<QString>("how");
    QTest::addColumn<bool>("staffBefore"); // the evaluation already has a staff row
    QTest::newRow("navigator insert") << "navigator" << false;
    QTest::newRow("navigator insert after a row") << "navigator" << true;
    QTest::newRow("educator chosen with no staff") << "choice" << false;
}

void TestSheet::staffRowBelongsToSheet()
{
    QFETCH(QString, how);
    QFETCH(bool, staffBefore);
    ScenarioFolder p;
    const int a = p.nursery(QStringLiteral("Arcobaleno"));
    p.educator({.nursery = a});
    const int bianchi = p.educator({.nursery = a, .cognome = QStringLiteral("Bianchi"), .responsabile = false});
    const int osservatrice = p.role(QStringLiteral("Volontaria di prova"));
    p.role(QStringLiteral("Supplente di prova"));
    const int c = p.child({.nursery = a, .nome = QString(), .cognome = QStringLiteral("Zeta")});
    const int first = p.evaluation({.child = c, .months = 10});
    const int second = p.evaluation({.child = c, .months = 13});
    if (staffBefore)
        p.add(QStringLiteral("Personale.db"), {{"Id_Valutazione", second}, {"Id_Educatrice", bianchi}});
    ScriptedDialogs d;
    TFrm_Main w(p.path(), d);
    login(w, d, QStringLiteral("Rossi"));
    w.Data.Tbl_Valutazioni.last();
    w.evaluationsScreen().Modifica1Click();
    VERIFY_DIALOGS(d);
    QCOMPARE(w.Data.Tbl_Valutazioni.asInteger(QStringLiteral("Id")), second);
    const int before = w.Data.Tbl_Personale.recordCount();

    if (how == QLatin1String("navigator"))
        control<DataNavigator>(&w, "DBNavigator10")->trigger(DataNavigator::Button::Insert);
    QComboBox* edu = control<QComboBox>(&w, "CB_Educatrice");
    QComboBox* role = control<QComboBox>(&w, "CB_Ruolo");
    emit edu->activated(indexOf(edu, QStringLiteral("Bianchi Anna")));
    emit role->activated(indexOf(role, QStringLiteral("Volontaria di prova")));
    QCOMPARE(w.Data.Tbl_Personale.state(), store::Table::State::Insert);
    QCOMPARE(w.Data.Tbl_Personale.asString(QStringLiteral("Educatrice")), QStringLiteral("Bianchi Anna"));
    control<DataNavigator>(&w, "DBNavigator10")->trigger(DataNavigator::Button::Post);
    VERIFY_DIALOGS(d);

    QCOMPARE(w.Data.Tbl_Personale.recordCount(), before + 1);
    const auto rows = p.rows(QStringLiteral("Personale.db"), QStringLiteral("Id_Ruolo=%1").arg(osservatrice));
    QCOMPARE(rows.size(), 1);
    QCOMPARE(rows.first().value("Id_Valutazione").toInt(), second);
    QCOMPARE(rows.first().value("Id_Educatrice").toInt(), bianchi);
    QVERIFY2(p.rows(QStringLiteral("Personale.db"), QStringLiteral("Id_Valutazione=%1").arg(first)).isEmpty(),
             qPrintable(rowsText(p.rows(QStringLiteral("Personale.db"), QStringLiteral("Id_Valutazione=%1").arg(first)))));
    // The choosers follow the current row.
    QCOMPARE(edu->currentText(), QStringLiteral("Bianchi Anna"));
    QCOMPARE(role->currentText(), QStringLiteral("Volontaria di prova"));
}

void TestSheet::untouchedNewRowDroppedOnLeaving_data()
{
    QTest::addColumn<bool>("educatorChosen");
    QTest::addColumn<bool>("noteTyped");
    QTest::addColumn<bool>("focusLeft"); // the staff part lost the focus before the way back
    QTest::newRow("untouched") << false << false << true;
    QTest::newRow("untouched, straight to the way back") << false << false << false;
    QTest::newRow("educator chosen") << true << false << true;
    QTest::newRow("note typed, straight to the way back") << false << true << false;
}

void TestSheet::untouchedNewRowDroppedOnLeaving()
{
    QFETCH(bool, educatorChosen);
    QFETCH(bool, noteTyped);
    QFETCH(bool, focusLeft);
    ScenarioFolder p;
    const int a = p.nursery(QStringLiteral("Arcobaleno"));
    p.educator({.nursery = a});
    const int c = p.child({.nursery = a, .nome = QString(), .cognome = QStringLiteral("Zeta")});
    const int v = p.evaluation({.child = c, .months = 13});
    ScriptedDialogs d;
    TFrm_Main w(p.path(), d);
    login(w, d, QStringLiteral("Rossi"));
    w.evaluationsScreen().Modifica1Click();
    EvaluationSheet* s = &w.evaluationSheet();
    control<DataNavigator>(&w, "DBNavigator10")->trigger(DataNavigator::Button::Insert);
    QCOMPARE(w.Data.Tbl_Personale.state(), store::Table::State::Insert);
    if (educatorChosen)
        emit control<QComboBox>(&w, "CB_Educatrice")
            ->activated(indexOf(control<QComboBox>(&w, "CB_Educatrice"), QStringLiteral("*Rossi Anna")));
    if (noteTyped)
        QTest::keyClicks(control<DataMemo>(&w, "DBMemo4"), QStringLiteral("osserva"));

    const bool kept = educatorChosen || noteTyped;
    if (focusLeft) {
        s->DBGrid10Exit();
        QCOMPARE(w.Data.Tbl_Personale.state(), kept ? store::Table::State::Insert : store::Table::State::Browse);
    }
    s->SpeedButton7Click();
    VERIFY_DIALOGS(d);
    QCOMPARE(p.rows(QStringLiteral("Personale.db"), QStringLiteral("Id_Valutazione=%1").arg(v)).size(), kept ? 1 : 0);
}

void TestSheet::deletingStaffRowAsks_data()
{
    QTest::addColumn<int>("answer");
    QTest::addColumn<int>("left");
    QTest::newRow("yes") << int(Button::Yes) << 1;
    QTest::newRow("no") << int(Button::No) << 2;
}

void TestSheet::deletingStaffRowAsks()
{
    QFETCH(int, answer);
    QFETCH(int, left);
    ScenarioFolder p;
    const int a = p.nursery(QStringLiteral("Arcobaleno"));
    const int rossi = p.educator({.nursery = a});
    const int c = p.child({.nursery = a, .nome = QString(), .cognome = QStringLiteral("Zeta")});
    const int v = p.evaluation({.child = c, .months = 13});
    for (int i = 0; i < 2; ++i)
        p.add(QStringLiteral("Personale.db"), {{"Id_Valutazione", v}, {"Id_Educatrice", rossi}});
    ScriptedDialogs d;
    TFrm_Main w(p.path(), d);
    login(w, d, QStringLiteral("Rossi"));
    w.evaluationsScreen().Modifica1Click();
    d.expectMessage(BoxType::Confirmation, deleteQuestion, Button(answer));
    QTest::keyClick(control<DataGrid>(&w, "DBGrid10"), Qt::Key_Delete, Qt::ControlModifier);
    VERIFY_DIALOGS(d);
    QCOMPARE(p.rows(QStringLiteral("Personale.db"), QStringLiteral("Id_Valutazione=%1").arg(v)).size(), left);
}

QTEST_MAIN(TestSheet)
#include "test_sheet.moc"
