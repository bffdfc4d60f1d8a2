// The evaluations list of the current child: new evaluations with their date
// and the child's age in months, the selection marks, the opening of an
// evaluation on the sheet, the deletion reserved to the responsible educator
// and the theoretical development that follows the age.

#include "datafolder.h"
#include "datagrid.h"
#include "datanavigator.h"
#include "evaluations.h"
#include "installer.h"
#include "mainwindow.h"
#include "scenariofixture.h"
#include "scripteddialogs.h"
#include "phases.h"
#include "sheet.h"
#include "scripteddialogs_qtest.h"
#include "table.h"

#include <QDir>
#include <QGroupBox>
#include <QApplication>
#include <QContextMenuEvent>
#include <QImage>
#include <QLabel>
#include <QMenu>
#include <QLineEdit>
#include <QPainter>
#include <QStyleOptionViewItem>
#include <QTemporaryDir>
#include <QTest>
#include <QToolBar>
#include <QToolButton>

#include <optional>

using namespace velmora;

namespace {

const QString noChild = QStringLiteral("Nessun bimbo selezionato");
const QString onlyResponsible = QStringLiteral(
    "Attenzione! Solamente i profili amministratori sono abilitati a cancellare delle schede pre-esistenti");
const QString deleteQuestion = QStringLiteral("Eliminare il record?");

const QDate today(2026, 12, 10);

// Whether `evaluation` is stored as selected.
bool sel(const ScenarioFolder& p, int evaluation)
{
    const auto r = p.rows(QStringLiteral("Valutaz.db"), QStringLiteral("Id=%1").arg(evaluation));
    return !r.isEmpty() && r.first().value(QStringLiteral("Sel")).toBool();
}

// The selection marks as stored: "Sel of Id 1: true, Id 2: false".
QString marks(const ScenarioFolder& p)
{
    QStringList out;
    for (const QVariantMap& r : p.rows(QStringLiteral("Valutaz.db")))
        out << QStringLiteral("Id %1: %2").arg(r.value(QStringLiteral("Id")).toString(),
                                               r.value(QStringLiteral("Sel")).toBool() ? QStringLiteral("true")
                                                                                       : QStringLiteral("false"));
    return QStringLiteral("Sel of ") + out.join(QStringLiteral(", "));
}

QDateTime at(const QTime& time) { return QDateTime(today, time); }

bool sheetOpen(TFrm_Main& w)
{
    return !control<QGroupBox>(&w, "GB_Valutazione")->isHidden();
}

} // namespace

class TestEvaluations : public QObject
{
    Q_OBJECT

private slots:
    // The server run (test_evaluations_server) skips where it cannot run.
    void initTestCase() { STORETEST_REQUIRE_ENGINE(); }
    void backToListAsksOnlyWithNonSo_data();
    void backToListAsksOnlyWithNonSo();
    void monthsOfNewEvaluation_data();
    void monthsOfNewEvaluation();
    void newEvaluation_data();
    void newEvaluation();
    void openingKeepsRecord();
    void toggleSelection();
    void toggleEdges();
    void deletion_data();
    void deletion();
    void followsCurrentEvaluation();
    void theoreticalDevelopment_data();
    void theoreticalDevelopment();
    void drawsSelectionColumn();
    void menuHintsInStatusBar();
};

// ------------------------------------------------------------ new evaluation

void TestEvaluations::monthsOfNewEvaluation_data()
{
    QTest::addColumn<QDate>("born"); // invalid: no birth date
    QTest::addColumn<QTime>("time");
    QTest::addColumn<int>("months");
    QTest::newRow("born today, at midnight") << today << QTime(0, 0) << 0;
    QTest::newRow("born today, day begun") << today << QTime(0, 0, 1) << 1;
    QTest::newRow("born today, evening") << today << QTime(23, 59, 59) << 1;
    QTest::newRow("30 days ago, before 10:04:48") << today.addDays(-30) << QTime(10, 4, 47) << 1;
    QTest::newRow("30 days ago, after 10:04:48") << today.addDays(-30) << QTime(10, 4, 49) << 2;
    QTest::newRow("30 days ago, at midnight") << today.addDays(-30) << QTime(0, 0) << 1;
    QTest::newRow("45 days ago") << today.addDays(-45) << QTime(10, 4, 48) << 2;
    QTest::newRow("364 days ago, noon") << today.addDays(-364) << QTime(12, 0) << 12;
    QTest::newRow("365 days ago, noon") << today.addDays(-365) << QTime(12, 0) << 13;
    QTest::newRow("born tomorrow") << today.addDays(1) << QTime(23, 59, 59) << 0;
    QTest::newRow("born next year") << today.addYears(1) << QTime(10, 0) << 0;
    // Counted from 30 December 1899: 46366 days and 0.42 of a day.
    QTest::newRow("no birth date") << QDate() << QTime(10, 4, 48) << 1525;
}

void TestEvaluations::monthsOfNewEvaluation()
{
    QFETCH(QDate, born);
    QFETCH(QTime, time);
    QFETCH(int, months);
    ScenarioFolder p;
    const int a = p.nursery(QStringLiteral("Arcobaleno"));
    p.educator({.nursery = a});
    const int c = p.child({.nursery = a, .cognome = QStringLiteral("Zeta"), .born = born});
    ScriptedDialogs d;
    TFrm_Main w(p.path(), d);
    w.Data.Now = [time] { return at(time); };
    login(w, d, QStringLiteral("Rossi"));

    w.evaluationsScreen().Inseriscinuovavalutazione1Click();
    VERIFY_DIALOGS(d);
    const auto rows = p.rows(QStringLiteral("Valutaz.db"));
    QCOMPARE(rows.size(), 1);
    QCOMPARE(rows[0].value("MesiBimbo").toInt(), months);
    QCOMPARE(rows[0].value("DataValutazione").toDate(), today);
    QCOMPARE(rows[0].value("Id_Bimbo").toInt(), c);
}

void TestEvaluations::newEvaluation_data()
{
    QTest::addColumn<QString>("how");
    QTest::addColumn<bool>("withChild");
    for (const char* how : {"menu insert", "navigator insert", "menu edit on empty list", "navigator edit on empty list"}) {
        QTest::newRow(qPrintable(QStringLiteral("%1, child").arg(QLatin1String(how)))) << QString::fromLatin1(how) << true;
        QTest::newRow(qPrintable(QStringLiteral("%1, no child").arg(QLatin1String(how)))) << QString::fromLatin1(how) << false;
    }
}

void TestEvaluations::newEvaluation()
{
    QFETCH(QString, how);
    QFETCH(bool, withChild);
    ScenarioFolder p;
    const int a = p.nursery(QStringLiteral("Arcobaleno"));
    p.educator({.nursery = a});
    const int c =
        withChild ? p.child({.nursery = a, .cognome = QStringLiteral("Zeta"), .born = today.addMonths(-13)}) : 0;
    ScriptedDialogs d;
    TFrm_Main w(p.path(), d);
    w.Data.Now = [] { return at(QTime(9, 30)); };
    login(w, d, QStringLiteral("Rossi"));
    QVERIFY2(w.Data.Tbl_Valutazioni.isEmpty(), qPrintable(tableAt(w.Data.Tbl_Valutazioni)));

    if (!withChild)
        d.expectMessage(BoxType::Plain, noChild);
    if (how == QLatin1String("menu insert"))
        control<QAction>(&w, "Inseriscinuovavalutazione1")->trigger();
    else if (how == QLatin1String("navigator insert"))
        control<DataNavigator>(&w, "DBNavigator7")->trigger(DataNavigator::Button::Insert);
    else if (how == QLatin1String("menu edit on empty list"))
        control<QAction>(&w, "Modifica1")->trigger();
    else
        control<DataNavigator>(&w, "DBNavigator7")->trigger(DataNavigator::Button::Edit);
    VERIFY_DIALOGS(d);

    if (!withChild) {
        QCOMPARE(p.count(QStringLiteral("Valutaz.db")), 0);
        QCOMPARE(w.Data.Tbl_Valutazioni.state(), store::Table::State::Browse);
        QVERIFY2(w.Data.Tbl_Valutazioni.isEmpty(), qPrintable(tableAt(w.Data.Tbl_Valutazioni)));
        QVERIFY2(!sheetOpen(w), qPrintable(screenState(w, d)));
        QVERIFY2(control<DataNavigator>(&w, "DBNavigator7")->isEnabled(),
                 qPrintable(widgetState(control<DataNavigator>(&w, "DBNavigator7")) + QStringLiteral("; ")
                            + screenState(w)));
        return;
    }
    // Stored at once, before anything is typed on the sheet.
    const auto rows = p.rows(QStringLiteral("Valutaz.db"));
    QCOMPARE(rows.size(), 1);
    QCOMPARE(rows[0].value("Id_Bimbo").toInt(), c);
    QCOMPARE(rows[0].value("DataValutazione").toDate(), today);
    QCOMPARE(rows[0].value("MesiBimbo").toInt(), 13); // 395 days and 9 hours and a half
    QCOMPARE(w.Data.Tbl_Valutazioni.state(), store::Table::State::Browse);
    QCOMPARE(w.Data.Tbl_Valutazioni.asInteger(QStringLiteral("Id")), rows[0].value("Id").toInt());
    QVERIFY2(sheetOpen(w), qPrintable(screenState(w, d)));
    QVERIFY2(
        !control<DataNavigator>(&w, "DBNavigator7")->isEnabled(),
        qPrintable(widgetState(control<DataNavigator>(&w, "DBNavigator7")) + QStringLiteral("; ") + screenState(w)));
    QVERIFY2(
        !control<DataNavigator>(&w, "DBNavigator1")->isEnabled(),
        qPrintable(widgetState(control<DataNavigator>(&w, "DBNavigator1")) + QStringLiteral("; ") + screenState(w)));
    QVERIFY2(!control<QToolButton>(&w, "Btn_LogOut")->isEnabled(),
             qPrintable(widgetState(control<QToolButton>(&w, "Btn_LogOut")) + QStringLiteral("; ") + screenState(w)));
    // The staff and phases already follow the new evaluation.
    QCOMPARE(w.Data.Tbl_Personale.filter(), QStringLiteral("Id_Valutazione=%1").arg(rows[0].value("Id").toInt()));
    QCOMPARE(w.Data.Tbl_FasiVal.filter(), QStringLiteral("Id_Valutazione=%1").arg(rows[0].value("Id").toInt()));
}

void TestEvaluations::openingKeepsRecord()
{
    ScenarioFolder p;
    const int a = p.nursery(QStringLiteral("Arcobaleno"));
    p.educator({.nursery = a});
    const int c = p.child({.nursery = a, .cognome = QStringLiteral("Zeta")});
    p.evaluation({.child = c, .months = 10, .sel = false});
    const int second = p.evaluation({.child = c, .months = 13, .sel = false});
    const auto areas = p.rows(QStringLiteral("Aree.db"));
    QCOMPARE_GT(areas.size(), 1);
    ScriptedDialogs d;
    TFrm_Main w(p.path(), d);
    login(w, d, QStringLiteral("Rossi"));
    // Another area chosen before, so that the opening has to move it.
    w.phasesScreen().ImpostaChiaveArea(areas.last().value("Id"));

    w.Data.Tbl_Valutazioni.last();
    w.evaluationsScreen().Modifica1Click();
    VERIFY_DIALOGS(d);
    QCOMPARE(p.count(QStringLiteral("Valutaz.db")), 2);
    QCOMPARE(w.Data.Tbl_Valutazioni.state(), store::Table::State::Edit);
    QCOMPARE(w.Data.Tbl_Valutazioni.asInteger(QStringLiteral("Id")), second);
    QVERIFY2(sheetOpen(w), qPrintable(screenState(w, d)));
    QVERIFY2(
        !control<DataNavigator>(&w, "DBNavigator7")->isEnabled(),
        qPrintable(widgetState(control<DataNavigator>(&w, "DBNavigator7")) + QStringLiteral("; ") + screenState(w)));
    // The area chooser is set to the first area and closed up: the phases
    // follow the evaluation and that area.
    const int first = areas.first().value("Id").toInt();
    QCOMPARE(w.phasesScreen().chiaveArea().toInt(), first);
    QCOMPARE(w.Data.Tbl_Aree.asInteger(QStringLiteral("Id")), first);
    QCOMPARE(w.Data.Tbl_FasiVal.filter(),
             QStringLiteral("(Id_Valutazione=%1) and (Id_Area=%2)").arg(second).arg(first));
}

// ---------------------------------------------------------------- selection

void TestEvaluations::toggleSelection()
{
    ScenarioFolder p;
    const int a = p.nursery(QStringLiteral("Arcobaleno"));
    p.educator({.nursery = a});
    const int anna = p.child({.nursery = a, .cognome = QStringLiteral("Alfieri")});
    const int bruno = p.child({.nursery = a, .cognome = QStringLiteral("Bassi")});
    const int e1 = p.evaluation({.child = anna, .months = 10, .sel = false});
    const int e2 = p.evaluation({.child = anna, .months = 12, .sel = false});
    const int e3 = p.evaluation({.child = bruno, .months = 20, .sel = false});
    ScriptedDialogs d;
    TFrm_Main w(p.path(), d);
    p.program = w.Data.folder();
    login(w, d, QStringLiteral("Rossi"));
    QCOMPARE(w.Data.Tbl_Valutazioni.recordCount(), 2);

    w.evaluationsScreen().DBGrid7DblClick();
    QVERIFY2(sel(p, e1), qPrintable(marks(p)));
    QVERIFY2(!sel(p, e2), qPrintable(marks(p)));
    // A short editing of its own: the sheet stays closed, the list where it was.
    QVERIFY2(!sheetOpen(w), qPrintable(screenState(w, d)));
    QVERIFY2(
        control<DataNavigator>(&w, "DBNavigator7")->isEnabled(),
        qPrintable(widgetState(control<DataNavigator>(&w, "DBNavigator7")) + QStringLiteral("; ") + screenState(w)));
    QCOMPARE(w.Data.Tbl_Valutazioni.state(), store::Table::State::Browse);
    QVERIFY(!w.evaluationsScreen().selezioneInCorso());
    QCOMPARE(w.Data.Tbl_Valutazioni.asInteger(QStringLiteral("Id")), e1);

    w.Data.Tbl_Valutazioni.next();
    control<QAction>(&w, "Seleziona1")->trigger();
    QVERIFY2(sel(p, e2), qPrintable(marks(p)));
    w.evaluationsScreen().DBGrid7DblClick();
    QVERIFY2(!sel(p, e2), qPrintable(marks(p)));
    w.evaluationsScreen().DBGrid7DblClick();
    QVERIFY2(sel(p, e2), qPrintable(marks(p)));

    // Leaving the child and coming back keeps the marks.
    chooseChild(w, bruno);
    QCOMPARE(w.Data.Tbl_Valutazioni.recordCount(), 1);
    QVERIFY2(!w.Data.Tbl_Valutazioni.asBoolean(QStringLiteral("Sel")),
             qPrintable(tableAt(w.Data.Tbl_Valutazioni) + QStringLiteral("; ") + marks(p)));
    chooseChild(w, anna);
    QVERIFY2(w.Data.Tbl_Valutazioni.asBoolean(QStringLiteral("Sel")),
             qPrintable(tableAt(w.Data.Tbl_Valutazioni) + QStringLiteral("; ") + marks(p)));
    QVERIFY2(sel(p, e1) && sel(p, e2) && !sel(p, e3),
             qPrintable(QStringLiteral("e1 = Id %1, e2 = Id %2, e3 = Id %3; %4").arg(e1).arg(e2).arg(e3).arg(marks(p))));
    VERIFY_DIALOGS(d);

    // A new login does not.
    w.accessScreen().Btn_LogOutClick();
    login(w, d, QStringLiteral("Rossi"));
    QVERIFY2(!sel(p, e1) && !sel(p, e2) && !sel(p, e3),
             qPrintable(QStringLiteral("e1 = Id %1, e2 = Id %2, e3 = Id %3; %4").arg(e1).arg(e2).arg(e3).arg(marks(p))));
}

void TestEvaluations::toggleEdges()
{
    ScenarioFolder p;
    const int a = p.nursery(QStringLiteral("Arcobaleno"));
    p.educator({.nursery = a});
    const int anna = p.child({.nursery = a, .cognome = QStringLiteral("Alfieri")});
    const int bruno = p.child({.nursery = a, .cognome = QStringLiteral("Bassi")});
    p.evaluation({.child = anna, .months = 10, .sel = false});
    const int last = p.evaluation({.child = anna, .months = 12, .sel = false});
    ScriptedDialogs d;
    TFrm_Main w(p.path(), d);
    p.program = w.Data.folder();
    login(w, d, QStringLiteral("Rossi"));

    // After "Ultima valutazione" the last row, current in the list, is toggled.
    control<DataNavigator>(&w, "DBNavigator7")->trigger(DataNavigator::Button::Last);
    w.evaluationsScreen().DBGrid7DblClick();
    QVERIFY2(sel(p, last), qPrintable(marks(p) + QStringLiteral("; ") + tableState(w.Data.Tbl_Valutazioni)));

    // An empty list: nothing at all.
    chooseChild(w, bruno);
    QVERIFY2(w.Data.Tbl_Valutazioni.isEmpty(), qPrintable(tableAt(w.Data.Tbl_Valutazioni)));
    w.evaluationsScreen().DBGrid7DblClick();
    VERIFY_DIALOGS(d);
    QCOMPARE(p.count(QStringLiteral("Valutaz.db")), 2);
    QCOMPARE(w.Data.Tbl_Valutazioni.state(), store::Table::State::Browse);
    QVERIFY2(!sheetOpen(w), qPrintable(screenState(w, d)));
}

// ------------------------------------------------------------------ deletion

void TestEvaluations::deletion_data()
{
    QTest::addColumn<bool>("responsible");
    QTest::addColumn<bool>("answer");
    QTest::addColumn<bool>("deleted");
    QTest::newRow("responsible, Yes") << true << true << true;
    QTest::newRow("responsible, No") << true << false << false;
    QTest::newRow("not responsible, Yes") << false << true << false;
    QTest::newRow("not responsible, No") << false << false << false;
}

void TestEvaluations::deletion()
{
    QFETCH(bool, responsible);
    QFETCH(bool, answer);
    QFETCH(bool, deleted);
    ScenarioFolder p;
    const int a = p.nursery(QStringLiteral("Arcobaleno"));
    p.educator({.nursery = a});
    p.educator({.nursery = a, .cognome = QStringLiteral("Verdi"), .responsabile = false});
    const int c = p.child({.nursery = a, .cognome = QStringLiteral("Zeta")});
    const int e = p.evaluation({.child = c, .months = 10, .sel = false});
    p.add(QStringLiteral("Personale.db"), {{"Id_Valutazione", e}, {"Id_Educatrice", 1}});
    p.add(QStringLiteral("FasiVal.db"), {{"Id_Valutazione", e}, {"Id_Area", 1}, {"NumFase", 1}});
    ScriptedDialogs d;
    TFrm_Main w(p.path(), d);
    login(w, d, responsible ? QStringLiteral("Rossi") : QStringLiteral("Verdi"));

    d.expectMessage(BoxType::Confirmation, deleteQuestion, answer ? Button::Yes : Button::No);
    if (answer && !responsible)
        d.expectMessage(BoxType::Warning, onlyResponsible);
    control<DataNavigator>(&w, "DBNavigator7")->trigger(DataNavigator::Button::Delete);
    VERIFY_DIALOGS(d);
    QCOMPARE(p.count(QStringLiteral("Valutaz.db")), deleted ? 0 : 1);
    QCOMPARE(w.Data.Tbl_Valutazioni.recordCount(), deleted ? 0 : 1);
    QCOMPARE(w.Data.Tbl_Valutazioni.state(), store::Table::State::Browse);
    // Staff and phases of the evaluation stay behind in every case.
    QCOMPARE(p.count(QStringLiteral("Personale.db")), 1);
    QCOMPARE(p.count(QStringLiteral("FasiVal.db")), 1);
}

// -------------------------------------------------------- current evaluation

void TestEvaluations::followsCurrentEvaluation()
{
    ScenarioFolder p;
    const int a = p.nursery(QStringLiteral("Arcobaleno"));
    p.educator({.nursery = a});
    const int anna = p.child({.nursery = a, .cognome = QStringLiteral("Alfieri")});
    const int bruno = p.child({.nursery = a, .cognome = QStringLiteral("Bassi")});
    const int e1 = p.evaluation({.child = anna, .months = 12, .sel = false});
    const int e2 = p.evaluation({.child = anna, .months = 13, .sel = false});
    for (int e : {e1, e1, e2}) {
        p.add(QStringLiteral("Personale.db"), {{"Id_Valutazione", e}, {"Id_Educatrice", 1}});
        p.add(QStringLiteral("FasiVal.db"), {{"Id_Valutazione", e}, {"Id_Area", 1}, {"NumFase", 1}});
    }
    ScriptedDialogs d;
    TFrm_Main w(p.path(), d);
    login(w, d, QStringLiteral("Rossi"));

    // The login's filter already brought staff and phases to the first evaluation.
    QVERIFY2(w.Data.Tbl_Personale.isOpen() && w.Data.Tbl_FasiVal.isOpen(),
             qPrintable(tableState(w.Data.Tbl_Personale) + QStringLiteral("; ") + tableState(w.Data.Tbl_FasiVal)));
    QCOMPARE(w.Data.Tbl_Personale.recordCount(), 2);
    QCOMPARE(w.Data.Tbl_FasiVal.recordCount(), 2);
    QCOMPARE(control<QLineEdit>(&w, "Txt_SviluppoTeorico")->text(), QStringLiteral("4"));
    w.Data.Tbl_Valutazioni.next();
    QCOMPARE(w.Data.Tbl_Personale.filter(), QStringLiteral("Id_Valutazione=%1").arg(e2));
    QCOMPARE(w.Data.Tbl_Personale.recordCount(), 1);
    QCOMPARE(w.Data.Tbl_FasiVal.recordCount(), 1);
    QCOMPARE(control<QLineEdit>(&w, "Txt_SviluppoTeorico")->text(), QStringLiteral("4,19"));
    // A child without evaluations leaves the last filters in force.
    chooseChild(w, bruno);
    QCOMPARE(w.Data.Tbl_Personale.filter(), QStringLiteral("Id_Valutazione=%1").arg(e2));
    QCOMPARE(w.Data.Tbl_FasiVal.filter(), QStringLiteral("Id_Valutazione=%1").arg(e2));
    QCOMPARE(control<QLineEdit>(&w, "Txt_SviluppoTeorico")->text(), QStringLiteral("0"));
    VERIFY_DIALOGS(d);
}

void TestEvaluations::theoreticalDevelopment_data()
{
    QTest::addColumn<QVariant>("months");
    QTest::addColumn<QString>("shown");
    QTest::newRow("13") << QVariant(13) << "4,19";
    QTest::newRow("12") << QVariant(12) << "4";
    QTest::newRow("1") << QVariant(1) << "0,33";
    QTest::newRow("100") << QVariant(100) << "19,45";
    QTest::newRow("-3") << QVariant(-3) << "-0,58";
    QTest::newRow("cleared") << QVariant() << "0";
}

void TestEvaluations::theoreticalDevelopment()
{
    QFETCH(QVariant, months);
    QFETCH(QString, shown);
    ScenarioFolder p;
    const int a = p.nursery(QStringLiteral("Arcobaleno"));
    p.educator({.nursery = a});
    const int c = p.child({.nursery = a, .cognome = QStringLiteral("Zeta")});
    p.evaluation({.child = c, .months = 30, .sel = false});
    ScriptedDialogs d;
    TFrm_Main w(p.path(), d);
    login(w, d, QStringLiteral("Rossi"));
    QCOMPARE(control<QLineEdit>(&w, "Txt_SviluppoTeorico")->text(), QStringLiteral("7"));

    // The age corrected on the sheet: the box follows at once.
    w.Data.Tbl_Valutazioni.edit();
    w.Data.Tbl_Valutazioni.setValue(QStringLiteral("MesiBimbo"), months);
    QCOMPARE(control<QLineEdit>(&w, "Txt_SviluppoTeorico")->text(), shown);
    VERIFY_DIALOGS(d);
}

// ------------------------------------------------------------------ drawing

void TestEvaluations::drawsSelectionColumn()
{
    ScenarioFolder p;
    const int a = p.nursery(QStringLiteral("Arcobaleno"));
    p.educator({.nursery = a});
    const int c = p.child({.nursery = a, .cognome = QStringLiteral("Zeta")});
    p.evaluation({.child = c, .months = 10, .sel = false});
    p.evaluation({.child = c, .months = 12, .sel = false});
    ScriptedDialogs d;
    TFrm_Main w(p.path(), d);
    login(w, d, QStringLiteral("Rossi"));
    w.evaluationsScreen().DBGrid7DblClick(); // the first one selected

    DataGrid* grid = control<DataGrid>(&w, "DBGrid7");
    auto draw = [&](int row, int column, bool* handled) {
        QImage img(30, 20, QImage::Format_RGB32);
        img.fill(Qt::white);
        QPainter painter(&img);
        QStyleOptionViewItem option;
        option.rect = QRect(0, 0, 15, 18);
        bool h = false;
        w.evaluationsScreen().DBGrid7DrawColumnCell(&painter, option, grid->dataModel()->index(row, column), h);
        painter.end();
        if (handled)
            *handled = h;
        return img;
    };
    auto redPixels = [](const QImage& img) {
        int n = 0;
        for (int y = 0; y < img.height(); ++y)
            for (int x = 0; x < img.width(); ++x)
                n += img.pixelColor(x, y) == QColor(255, 0, 0);
        return n;
    };
    auto darkPixels = [](const QImage& img) {
        int n = 0;
        for (int y = 0; y < img.height(); ++y)
            for (int x = 0; x < img.width(); ++x)
                n += img.pixelColor(x, y).lightness() < 100;
        return n;
    };

    bool handled = false;
    const QImage ticked = draw(0, 0, &handled);
    QVERIFY2(handled, "the selection column of the selected row was left to the grid's own drawing");
    QCOMPARE_GT(redPixels(ticked), 0);
    // The tick stays inside the 15-pixel column.
    for (int y = 0; y < ticked.height(); ++y)
        for (int x = 15; x < ticked.width(); ++x)
            QCOMPARE(ticked.pixelColor(x, y), QColor(Qt::white));
    const QImage box = draw(1, 0, &handled);
    QVERIFY2(handled, "the selection column of the unselected row was left to the grid's own drawing");
    QCOMPARE(redPixels(box), 0);
    QCOMPARE_GT(darkPixels(box), 0);
    // The other columns keep the grid's own drawing.
    draw(0, 1, &handled);
    QVERIFY2(!handled, "column 1 was drawn as the selection column");
    VERIFY_DIALOGS(d);
}

void TestEvaluations::backToListAsksOnlyWithNonSo_data()
{
    QTest::addColumn<QString>("nonSo");
    QTest::addColumn<bool>("asked");
    // Only a phase of this evaluation with an item answered "Non so" brings
    // the question; an empty list is no answer at all.
    QTest::newRow("no phase") << QString() << false;
    QTest::newRow("phase without Non so") << QStringLiteral("-") << false;
    QTest::newRow("phase with Non so") << QStringLiteral("-03") << true;
}

void TestEvaluations::backToListAsksOnlyWithNonSo()
{
    QFETCH(QString, nonSo);
    QFETCH(bool, asked);
    ScenarioFolder p;
    const int a = p.nursery(QStringLiteral("Arcobaleno"));
    p.educator({.nursery = a});
    p.child({.nursery = a, .cognome = QStringLiteral("Zeta"), .born = today.addYears(-1)});
    ScriptedDialogs d;
    TFrm_Main w(p.path(), d);
    w.Data.Now = [] { return at(QTime(9, 0)); };
    login(w, d, QStringLiteral("Rossi"));
    w.evaluationsScreen().Inseriscinuovavalutazione1Click();
    VERIFY_DIALOGS(d);
    QVERIFY2(control<QGroupBox>(&w, "GB_Valutazione")->isVisibleTo(control<QWidget>(&w, "Pnl_Bambini")),
             qPrintable(screenState(w, d)));
    const int v = w.Data.Tbl_Valutazioni.asInteger(QStringLiteral("Id"));
    if (nonSo == QLatin1String("-"))
        p.add(QStringLiteral("FasiVal.db"), {{"Id_Valutazione", v}, {"Id_Area", 1}, {"NumFase", 2}, {"Si", QStringLiteral("-01")}});
    else if (!nonSo.isEmpty())
        p.add(QStringLiteral("FasiVal.db"), {{"Id_Valutazione", v}, {"Id_Area", 1}, {"NumFase", 2}, {"NonSo", nonSo}});
    if (asked)
        d.expectMessage(BoxType::Confirmation,
                        QStringLiteral("Nella valutazione sono presenti dei \"Non So\". Desideri stampare un riepilogo "
                                       "dei \"Non so\" per verificarli?"),
                        Button::No);
    w.evaluationSheet().SpeedButton7Click();
    VERIFY_DIALOGS(d);
    QVERIFY2(control<QGroupBox>(&w, "GB_Valutazione")->isHidden(), qPrintable(screenState(w, d)));
    QVERIFY2(control<QToolButton>(&w, "Btn_Esci")->isEnabled(),
             qPrintable(widgetState(control<QToolButton>(&w, "Btn_Esci")) + QStringLiteral("; ") + screenState(w)));
    QVERIFY2(
        control<DataNavigator>(&w, "DBNavigator1")->isEnabled(),
        qPrintable(widgetState(control<DataNavigator>(&w, "DBNavigator1")) + QStringLiteral("; ") + screenState(w)));
    QCOMPARE(w.Data.Tbl_FasiVal.filter(), QStringLiteral("(nonso<>'') and (Id_Valutazione=%1)").arg(v));
}

// The list's pop-up menu, opened on a row as a right click does and walked
// with the arrow keys: while an item is highlighted its hint is painted in
// the status bar's first panel; the separator has none and is passed over;
// closing the menu clears the panel.
void TestEvaluations::menuHintsInStatusBar()
{
    ScenarioFolder p;
    const int a = p.nursery(QStringLiteral("Arcobaleno"));
    p.educator({.nursery = a});
    p.evaluation({.child = p.child({.nursery = a, .cognome = QStringLiteral("Zeta")}), .months = 10, .sel = false});
    ScriptedDialogs d;
    TFrm_Main w(p.path(), d);
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    login(w, d, QStringLiteral("Rossi"));
    VERIFY_DIALOGS(d);

    DataGrid* grid = control<DataGrid>(&w, "DBGrid7");
    QMenu* menu = control<QMenu>(control<QGroupBox>(&w, "GroupBox1"), "PopupMenu1");
    const QPoint at = grid->visualRect(grid->model()->index(0, 1)).center();
    QContextMenuEvent right(QContextMenuEvent::Mouse, at, grid->viewport()->mapToGlobal(at));
    QApplication::sendEvent(grid->viewport(), &right);
    QTRY_VERIFY(menu->isVisible());
    QCOMPARE(control<QLabel>(&w, "StatusHint")->text(), QString());

    // What the first panel paints for a text: the same label with the text set.
    auto panel = [&] {
        return control<QLabel>(&w, "StatusHint")->grab().toImage().convertToFormat(QImage::Format_RGB32);
    };
    QLabel reference(control<QLabel>(&w, "StatusHint")->parentWidget());
    reference.setFont(control<QLabel>(&w, "StatusHint")->font());
    reference.setGeometry(control<QLabel>(&w, "StatusHint")->geometry());
    reference.lower();
    auto paintedText = [&](const QString& text) {
        reference.setText(text);
        return reference.grab().toImage().convertToFormat(QImage::Format_RGB32);
    };
    const QImage blank = paintedText(QString());

    const QStringList hints = {
        QStringLiteral("Seleziona/Deseleziona valutazione"),
        QStringLiteral("Modifica valutazione"),
        QStringLiteral("Inserisci nuova valutazione"),
        QStringLiteral("Stampa il grafico di valutazione del bimbo"),
        QStringLiteral("Stampa la scheda di valutazione del bimbo"),
    };
    for (const QString& hint : hints) {
        QTest::keyClick(menu, Qt::Key_Down);
        QCOMPARE(control<QLabel>(&w, "StatusHint")->text(), hint);
        const QImage shown = panel();
        QVERIFY2(shown != blank, qPrintable(hint));
        QVERIFY2(shown == paintedText(hint), qPrintable(hint));
    }
    QTest::keyClick(menu, Qt::Key_Escape);
    QTRY_VERIFY(!menu->isVisible());
    QCOMPARE(control<QLabel>(&w, "StatusHint")->text(), QString());
    QVERIFY(panel() == blank);
    VERIFY_DIALOGS(d);
}

QTEST_MAIN(TestEvaluations)
#include "test_evaluations.moc"
