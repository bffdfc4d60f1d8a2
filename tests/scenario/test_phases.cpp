// The lower box of the evaluation sheet: choosing an area, numbering and
// refusing new phases, answering the items of a phase, and the area total.

#include "datafolder.h"
#include "datagrid.h"
#include "datanavigator.h"
#include "evaluations.h"
#include "installer.h"
#include "lookups.h"
#include "mainwindow.h"
#include "scenariofixture.h"
#include "phases.h"
#include "sheet.h"
#include "scripteddialogs.h"
#include "scripteddialogs_qtest.h"
#include "table.h"

#include <QDir>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QToolButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTest>

#include <optional>

using namespace velmora;

namespace {

using Answers = QList<std::optional<QString>>; // nullopt: Cancel
using B = DataNavigator::Button;

const QString phasePrompt = QStringLiteral("Numero fase: 1-14");
const QString zeroScored = QStringLiteral("La fase precedente aveva ottenuto come punteggio 0!\r"
                                          "Non è pertanto consentito proseguire con l'inserimento di nuove fasi.");
const QString fourteen =
    QStringLiteral("Attenzione! Sono già state inserite le 14 fasi possibili per l'area selezionata.");

const QDate today(2026, 12, 10);

// One phase as stored: number and the four answer lists.
struct Phase
{
    Phase(int n = 1, const QString& s = {}, const QString& n2 = {}, const QString& v = {}, const QString& u = {})
        : numFase(n), si(s), no(n2), aVolte(v), nonSo(u)
    {
    }
    int numFase;
    QString si, no, aVolte, nonSo;
};

// Lays `f` as a phase of `evaluation` in `area`.
int phase(const ScenarioFolder& p, int evaluation, int area, const Phase& f)
{
    return p.phase({.evaluation = evaluation, .area = area, .numFase = f.numFase, .si = f.si, .no = f.no,
                    .aVolte = f.aVolte, .nonSo = f.nonSo});
}

// Every phase as stored.
QList<QVariantMap> storedPhases(const ScenarioFolder& p) { return p.rows(QStringLiteral("FasiVal.db")); }

// A nursery with one responsible educator and one child with one evaluation
// of the given age, laid before the window starts.
struct Scene
{
    ScenarioFolder p;
    int child = 0;
    int evaluation = 0;
    int area = 0;

    explicit Scene(int months)
    {
        p.nursery(QStringLiteral("Arcobaleno"));
        p.educator();
        child = p.child({.cognome = QStringLiteral("Zeta")});
        evaluation = p.evaluation({.child = child, .months = months, .sel = false});
        area = p.firstArea();
    }
};

// Logs in, makes the child current and opens its evaluation on the sheet,
// which chooses the first area.
void openSheet(TFrm_Main& w, ScriptedDialogs& d, const Scene& s)
{
    w.Data.Now = [] { return QDateTime(today, QTime(9, 30)); };
    STEP(login(w, d, QStringLiteral("Rossi")));
    STEP(::openSheet(w, d, s.child, s.evaluation));
    QCOMPARE(w.phasesScreen().chiaveArea().toInt(), s.area);
}

QList<int> positions(const PhasesScreen& ph)
{
    QList<int> out;
    for (int item = 1; item <= PhasesScreen::Items; ++item)
        out << ph.itemIndex(item);
    return out;
}

// The items whose question is in bold, and the answer each item shows.
QString boldItems(const TFrm_Main& w)
{
    QStringList bold;
    for (int item = 1; item <= PhasesScreen::Items; ++item)
        if (control<QGroupBox>(&w, QStringLiteral("Domanda%1").arg(item))->font().bold())
            bold << QString::number(item);
    QStringList shown;
    for (int p : positions(w.phasesScreen()))
        shown << QString::number(p);
    return QStringLiteral("items in bold: %1; answers shown: %2")
        .arg(bold.isEmpty() ? QStringLiteral("none") : bold.join(QStringLiteral(", ")), shown.join(QLatin1Char(' ')));
}

const QList<int> allNonEsiste(PhasesScreen::Items, PhasesScreen::NonEsiste);

// Clicks answer `position` (0..4) of `item` (1..11).
void click(TFrm_Main& w, int item, int position)
{
    control<QRadioButton>(&w, QStringLiteral("Domanda%1_%2").arg(item).arg(position))->click();
}

} // namespace

class TestPhases : public QObject
{
    Q_OBJECT

private slots:
    // The server run (test_phases_server) skips where it cannot run.
    void initTestCase() { STORETEST_REQUIRE_ENGINE(); }
    void firstProposal_data();
    void firstProposal();
    void phaseInsertedFromGrid_data();
    void phaseInsertedFromGrid();
    void numberPrompt_data();
    void numberPrompt();
    void stops_data();
    void stops();
    void noAreaCancelsSilently();
    void answersStored_data();
    void answersStored();
    void clickWithoutPhaseStartsOne();
    void zeroScoredUntilAnswered();
    void areaTotal_data();
    void areaTotal();
    void boxColour_data();
    void boxColour();
    void arrowKeyAppliesArea();
    void followModes();
    void boldNonSo();
    void oneEvaluationFromStartToList();
    void phaseNumberCorrectedInGrid();
};

// ---------------------------------------------------------------- new phase

void TestPhases::firstProposal_data()
{
    QTest::addColumn<int>("months");
    QTest::addColumn<int>("proposal");
    QTest::newRow("12 months: development 4") << 12 << 3;
    QTest::newRow("5 months: raised to 1") << 5 << 1;
    QTest::newRow("30 months") << 30 << 6;
    QTest::newRow("90 months: above 14") << 90 << 1;
}

void TestPhases::firstProposal()
{
    QFETCH(int, months);
    QFETCH(int, proposal);
    Scene s(months);
    ScriptedDialogs d;
    TFrm_Main w(s.p.path(), d);
    openSheet(w, d, s);
    QCOMPARE(control<QLabel>(&w, "Lbl_Totale_Area")->text(), QStringLiteral("0"));

    d.expectInput(phasePrompt, std::nullopt); // Cancel accepts the proposal
    control<DataNavigator>(&w, "DBNavigator11")->trigger(B::Insert);
    VERIFY_DIALOGS(d);
    QCOMPARE(d.shown().last().initial, QString::number(proposal));
    QCOMPARE(d.shown().last().caption, QStringLiteral("Introdurre il numero della fase"));

    // Stored at once, with empty answers, and current.
    const auto rows = storedPhases(s.p);
    QCOMPARE(rows.size(), 1);
    QCOMPARE(rows[0].value("NumFase").toInt(), proposal);
    QCOMPARE(rows[0].value("Id_Area").toInt(), s.area);
    QCOMPARE(rows[0].value("Id_Valutazione").toInt(), s.evaluation);
    for (const char* list : {"Si", "No", "AVolte", "NonSo"})
        QVERIFY2(rows[0].value(list).toString().isEmpty(), list);
    QCOMPARE(w.Data.Tbl_FasiVal.state(), store::Table::State::Browse);
    QCOMPARE(w.Data.Tbl_FasiVal.asInteger(QStringLiteral("NumFase")), proposal);
    QCOMPARE(positions(w.phasesScreen()), allNonEsiste);
}

void TestPhases::phaseInsertedFromGrid_data()
{
    QTest::addColumn<int>("key");
    QTest::newRow("Insert") << int(Qt::Key_Insert);
    QTest::newRow("down arrow on the last row") << int(Qt::Key_Down);
}

// A row inserted in the phases grid runs the same new-phase procedure as
// "Inserisci fase": the number is asked for, proposed after the last phase.
void TestPhases::phaseInsertedFromGrid()
{
    QFETCH(int, key);
    Scene s(12);
    phase(s.p, s.evaluation, s.area, Phase(3, QStringLiteral("-01")));
    ScriptedDialogs d;
    TFrm_Main w(s.p.path(), d);
    openSheet(w, d, s);
    QCOMPARE(w.Data.Tbl_FasiVal.recordCount(), 1);

    d.expectInput(phasePrompt, QStringLiteral("4"));
    QTest::keyClick(control<DataGrid>(&w, "DBGrid11"), Qt::Key(key));
    VERIFY_DIALOGS(d);
    QCOMPARE(d.shown().last().initial, QStringLiteral("4"));
    QCOMPARE(w.Data.Tbl_FasiVal.state(), store::Table::State::Browse);
    const auto rows = storedPhases(s.p);
    QCOMPARE(rows.size(), 2);
    QCOMPARE(rows.last().value("NumFase").toInt(), 4);
    QCOMPARE(rows.last().value("Id_Area").toInt(), s.area);
}

void TestPhases::numberPrompt_data()
{
    QTest::addColumn<Answers>("answers");
    QTest::addColumn<int>("stored");
    // 12 months: the proposal is 3.
    QTest::newRow("typed 7") << Answers{QStringLiteral("7")} << 7;
    QTest::newRow("typed 14") << Answers{QStringLiteral("14")} << 14;
    QTest::newRow("abc, then Cancel") << Answers{QStringLiteral("abc"), std::nullopt} << 3;
    QTest::newRow("0, then 1") << Answers{QStringLiteral("0"), QStringLiteral("1")} << 1;
    QTest::newRow("15, empty, then 9") << Answers{QStringLiteral("15"), QString(), QStringLiteral("9")} << 9;
    QTest::newRow("-2, then Cancel") << Answers{QStringLiteral("-2"), std::nullopt} << 3;
}

void TestPhases::numberPrompt()
{
    QFETCH(Answers, answers);
    QFETCH(int, stored);
    Scene s(12);
    ScriptedDialogs d;
    TFrm_Main w(s.p.path(), d);
    openSheet(w, d, s);

    for (const auto& a : answers)
        d.expectInput(phasePrompt, a);
    control<DataNavigator>(&w, "DBNavigator11")->trigger(B::Insert);
    VERIFY_DIALOGS(d);
    // Every repetition comes pre-filled with the proposal again.
    for (const auto& shown : d.shown())
        if (shown.text == phasePrompt)
            QCOMPARE(shown.initial, QStringLiteral("3"));
    const auto rows = storedPhases(s.p);
    QCOMPARE(rows.size(), 1);
    QCOMPARE(rows[0].value("NumFase").toInt(), stored);
}

void TestPhases::stops_data()
{
    QTest::addColumn<QList<Phase>>("phases"); // in the current area
    QTest::addColumn<QString>("message");     // empty: asks for the number
    QTest::addColumn<int>("proposal");
    const QString si = QStringLiteral("-01");
    QTest::newRow("no, last zero-scored") << QList<Phase>{{1, si}, {2, {}, QStringLiteral("-01-02")}} << zeroScored << 0;
    QTest::newRow("empty last phase") << QList<Phase>{{1, si}, {2}} << zeroScored << 0;
    QTest::newRow("only non so does not block")
        << QList<Phase>{{4, {}, {}, {}, QStringLiteral("-01-05")}} << QString() << 5;
    QTest::newRow("zero-scored but not last") << QList<Phase>{{3}, {6, si}} << QString() << 7;
    QTest::newRow("phases 2 and 5") << QList<Phase>{{5, si}, {2, si}} << QString() << 6;
    QTest::newRow("a volte alone") << QList<Phase>{{1, {}, {}, QStringLiteral("-03")}} << QString() << 2;
    QTest::newRow("fourteen recorded") << QList<Phase>{{13, si}, {14, si}} << fourteen << 0;
    QTest::newRow("fourteen zero-scored") << QList<Phase>{{13, si}, {14, {}, QStringLiteral("-02")}} << zeroScored << 0;
    QTest::newRow("number above 15 restarts") << QList<Phase>{{20, si}} << QString() << 1;
}

void TestPhases::stops()
{
    QFETCH(QList<Phase>, phases);
    QFETCH(QString, message);
    QFETCH(int, proposal);
    Scene s(30);
    for (const Phase& f : phases)
        phase(s.p, s.evaluation, s.area, f);
    // Phases of another evaluation and of another area play no part.
    const int other = s.p.add(QStringLiteral("Valutaz.db"), {{"Id_Bimbo", s.child}, {"MesiBimbo", 30}});
    phase(s.p, other, s.area, {1});
    phase(s.p, s.evaluation, s.area + 1, {1});
    ScriptedDialogs d;
    TFrm_Main w(s.p.path(), d);
    openSheet(w, d, s);
    QCOMPARE(w.Data.Tbl_FasiVal.recordCount(), phases.size());
    const int current = w.Data.Tbl_FasiVal.asInteger(QStringLiteral("Id"));

    if (message.isEmpty())
        d.expectInput(phasePrompt, std::nullopt);
    else
        d.expectMessage(BoxType::Plain, message);
    control<DataNavigator>(&w, "DBNavigator11")->trigger(B::Insert);
    VERIFY_DIALOGS(d);

    const auto rows = s.p.rows(QStringLiteral("FasiVal.db"),
                               QStringLiteral("(Id_Valutazione=%1) and (Id_Area=%2)").arg(s.evaluation).arg(s.area));
    if (message.isEmpty()) {
        QCOMPARE(d.shown().last().initial, QString::number(proposal));
        QCOMPARE(rows.size(), phases.size() + 1);
        return;
    }
    QCOMPARE(rows.size(), phases.size());
    QCOMPARE(w.Data.Tbl_FasiVal.state(), store::Table::State::Browse);
    QCOMPARE(w.Data.Tbl_FasiVal.asInteger(QStringLiteral("Id")), current);
}

void TestPhases::noAreaCancelsSilently()
{
    Scene s(12);
    ScriptedDialogs d;
    TFrm_Main w(s.p.path(), d);
    openSheet(w, d, s);
    w.phasesScreen().ImpostaChiaveArea(0);

    control<DataNavigator>(&w, "DBNavigator11")->trigger(B::Insert);
    // The same through a click on an answer, and on a "Non so".
    click(w, 2, 0);
    click(w, 5, 3);
    VERIFY_DIALOGS(d);
    QCOMPARE(d.shown().size(), 1); // the password only
    QVERIFY2(storedPhases(s.p).isEmpty(), qPrintable(rowsText(storedPhases(s.p))));
    QCOMPARE(w.Data.Tbl_FasiVal.state(), store::Table::State::Browse);
    // Nothing was stored, and nothing shows as answered: every item is back
    // on "Non esiste", none in bold.
    QCOMPARE(positions(w.phasesScreen()), allNonEsiste);
    QCOMPARE(boldItems(w), QStringLiteral("items in bold: none; answers shown: 4 4 4 4 4 4 4 4 4 4 4"));
}

// ---------------------------------------------------------------- answers

void TestPhases::answersStored_data()
{
    QTest::addColumn<QList<int>>("clicks"); // item * 10 + position, in order
    QTest::addColumn<QStringList>("lists"); // Si, No, AVolte, NonSo
    QTest::addColumn<QString>("total");
    QList<int> allSi;
    for (int item = 1; item <= 11; ++item)
        allSi << item * 10;
    QTest::newRow("all si") << allSi
                            << QStringList{QStringLiteral("-01-02-03-04-05-06-07-08-09-10-11"), {}, {}, {}}
                            << QStringLiteral("1");
    QTest::newRow("mixed") << QList<int>{110, 21, 32, 43, 10, 74}
                           << QStringList{QStringLiteral("-01-11"), QStringLiteral("-02"), QStringLiteral("-03"),
                                          QStringLiteral("-04")}
                           << QStringLiteral("0,62");
    QTest::newRow("changed answer leaves its list")
        << QList<int>{50, 52, 53} << QStringList{{}, {}, {}, QStringLiteral("-05")} << QStringLiteral("0");
    QTest::newRow("a volte and no") << QList<int>{12, 21, 92} << QStringList{{}, QStringLiteral("-02"),
                                                                            QStringLiteral("-01-09"), {}}
                                    << QStringLiteral("0,33");
}

void TestPhases::answersStored()
{
    QFETCH(QList<int>, clicks);
    QFETCH(QStringList, lists);
    QFETCH(QString, total);
    Scene s(12);
    const int id = phase(s.p, s.evaluation, s.area, {1});
    ScriptedDialogs d;
    TFrm_Main w(s.p.path(), d);
    openSheet(w, d, s);

    for (int c : clicks)
        click(w, c / 10, c % 10);
    VERIFY_DIALOGS(d);

    const auto rows = storedPhases(s.p);
    QCOMPARE(rows.size(), 1);
    QCOMPARE(rows[0].value("Id").toInt(), id);
    QCOMPARE(rows[0].value("Si").toString(), lists[0]);
    QCOMPARE(rows[0].value("No").toString(), lists[1]);
    QCOMPARE(rows[0].value("AVolte").toString(), lists[2]);
    QCOMPARE(rows[0].value("NonSo").toString(), lists[3]);
    QCOMPARE(w.Data.Tbl_FasiVal.state(), store::Table::State::Browse);
    // Phase 1 alone: its score is the area total.
    QCOMPARE(control<QLabel>(&w, "Lbl_Totale_Area")->text(), total);
    QCOMPARE(w.Data.Tbl_FasiVal.value(QStringLiteral("Valori")).toString(), QString(total).replace(',', '.'));
}

void TestPhases::clickWithoutPhaseStartsOne()
{
    Scene s(30);
    ScriptedDialogs d;
    TFrm_Main w(s.p.path(), d);
    openSheet(w, d, s);

    d.expectInput(phasePrompt, QStringLiteral("4"));
    click(w, 3, 0);
    VERIFY_DIALOGS(d);
    const auto rows = storedPhases(s.p);
    QCOMPARE(rows.size(), 1);
    QCOMPARE(rows[0].value("NumFase").toInt(), 4);
    for (const char* list : {"Si", "No", "AVolte", "NonSo"})
        QVERIFY2(rows[0].value(list).toString().isEmpty(), list);
    // The clicked answer is not kept: every item shows "Non esiste".
    QCOMPARE(positions(w.phasesScreen()), allNonEsiste);

    // The next click answers the new phase.
    click(w, 3, 0);
    VERIFY_DIALOGS(d);
    QCOMPARE(storedPhases(s.p).size(), 1);
    QCOMPARE(storedPhases(s.p)[0].value("Si").toString(), QStringLiteral("-03"));
    QCOMPARE(control<QLabel>(&w, "Lbl_Totale_Area")->text(), QStringLiteral("4"));
}

void TestPhases::zeroScoredUntilAnswered()
{
    Scene s(12);
    ScriptedDialogs d;
    TFrm_Main w(s.p.path(), d);
    openSheet(w, d, s);
    d.expectInput(phasePrompt, std::nullopt);
    control<DataNavigator>(&w, "DBNavigator11")->trigger(B::Insert);

    // Just created: zero-scored, so no further phase.
    d.expectMessage(BoxType::Plain, zeroScored);
    control<DataNavigator>(&w, "DBNavigator11")->trigger(B::Insert);
    // "No" keeps it zero-scored, "Non so" lifts the stop.
    click(w, 1, 1);
    d.expectMessage(BoxType::Plain, zeroScored);
    control<DataNavigator>(&w, "DBNavigator11")->trigger(B::Insert);
    click(w, 2, 3);
    d.expectInput(phasePrompt, std::nullopt);
    control<DataNavigator>(&w, "DBNavigator11")->trigger(B::Insert);
    VERIFY_DIALOGS(d);
    QCOMPARE(d.shown().last().initial, QStringLiteral("4"));
    QCOMPARE(storedPhases(s.p).size(), 2);
}

// ---------------------------------------------------------------- areas

void TestPhases::areaTotal_data()
{
    QTest::addColumn<QList<Phase>>("phases");
    QTest::addColumn<QString>("total");
    const QString si = QStringLiteral("-01");
    QTest::newRow("none") << QList<Phase>{} << QStringLiteral("0");
    QTest::newRow("3 to 5: 1, 0.5, 0")
        << QList<Phase>{{3, si}, {4, {}, {}, si}, {5, {}, si}} << QStringLiteral("3,5");
    QTest::newRow("1 to 4 all 1") << QList<Phase>{{1, si}, {2, si}, {3, si}, {4, si}} << QStringLiteral("4");
}

void TestPhases::areaTotal()
{
    QFETCH(QList<Phase>, phases);
    QFETCH(QString, total);
    Scene s(12);
    for (const Phase& f : phases)
        phase(s.p, s.evaluation, s.area, f);
    // Another area of the same evaluation, with its own total.
    phase(s.p, s.evaluation, s.area + 1, {7, QStringLiteral("-01")});
    ScriptedDialogs d;
    TFrm_Main w(s.p.path(), d);
    openSheet(w, d, s);
    QCOMPARE(control<QLabel>(&w, "Lbl_Totale_Area")->text(), total);
    QCOMPARE(w.phasesScreen().CalcolaTotaleArea(false), QLocale().toDouble(total));
    // Moving through the phases leaves the total and the phases cursor alone.
    const int current = w.Data.Tbl_FasiVal.recNo();
    w.phasesScreen().CalcolaTotaleArea(true);
    QCOMPARE(w.Data.Tbl_FasiVal.recNo(), current);

    QVERIFY2(w.Data.Tbl_Aree.locate(QStringLiteral("Id"), s.area + 1),
             qPrintable(notFound(w.Data.Tbl_Aree, QStringLiteral("Id"), s.area + 1)));
    w.phasesScreen().ImpostaChiaveArea(s.area + 1);
    w.phasesScreen().CB_AreaCloseUp();
    QCOMPARE(control<QLabel>(&w, "Lbl_Totale_Area")->text(), QStringLiteral("7"));
    QCOMPARE(w.Data.Tbl_FasiVal.filter(), QStringLiteral("(Id_Valutazione=%1) and (Id_Area=%2)").arg(s.evaluation).arg(s.area + 1));
}

void TestPhases::boxColour_data()
{
    QTest::addColumn<int>("area");
    QTest::addColumn<QColor>("colour");
    QTest::newRow("3") << 3 << QColor(236, 135, 250);
    QTest::newRow("4") << 4 << QColor(176, 230, 255);
    QTest::newRow("5") << 5 << QColor(255, 255, 128);
}

void TestPhases::boxColour()
{
    QFETCH(int, area);
    QFETCH(QColor, colour);
    Scene s(12);
    QCOMPARE(s.p.rows(QStringLiteral("Aree.db"), QStringLiteral("Id=%1").arg(area)).size(), 1);
    ScriptedDialogs d;
    TFrm_Main w(s.p.path(), d);
    QCOMPARE(control<QGroupBox>(&w, "GroupBox4")->palette().color(QPalette::Window), QColor(Qt::white));
    openSheet(w, d, s);

    // Chosen in the combo as the user does.
    int row = -1;
    for (int i = 0; i < control<LookupComboBox>(&w, "CB_Area")->count(); ++i)
        if (control<LookupComboBox>(&w, "CB_Area")->itemData(i).toInt() == area)
            row = i;
    QCOMPARE_GE(row, 0);
    emit control<LookupComboBox>(&w, "CB_Area")->activated(row);
    VERIFY_DIALOGS(d);
    QCOMPARE(w.Data.Tbl_Aree.asInteger(QStringLiteral("Id")), area);
    QCOMPARE(w.phasesScreen().chiaveArea().toInt(), area);
    QCOMPARE(control<QGroupBox>(&w, "GroupBox4")->palette().color(QPalette::Window), colour);
}

void TestPhases::arrowKeyAppliesArea()
{
    Scene s(12);
    phase(s.p, s.evaluation, s.area + 1, {2, QStringLiteral("-01")});
    ScriptedDialogs d;
    TFrm_Main w(s.p.path(), d);
    openSheet(w, d, s);
    QCOMPARE(control<QLabel>(&w, "Lbl_Totale_Area")->text(), QStringLiteral("0"));

    QTest::keyClick(control<LookupComboBox>(&w, "CB_Area"), Qt::Key_Down);
    VERIFY_DIALOGS(d);
    QCOMPARE(w.Data.Tbl_Aree.asInteger(QStringLiteral("Id")), s.area + 1);
    QCOMPARE(w.phasesScreen().chiaveArea().toInt(), s.area + 1);
    QCOMPARE(w.Data.Tbl_FasiVal.recordCount(), 1);
    QCOMPARE(control<QLabel>(&w, "Lbl_Totale_Area")->text(), QStringLiteral("2"));
}

void TestPhases::followModes()
{
    Scene s(12);
    phase(s.p, s.evaluation, s.area, {1, QStringLiteral("-01")});
    phase(s.p, s.evaluation, s.area + 1, {1, QStringLiteral("-01")});
    phase(s.p, s.evaluation, s.area + 1, {2, {}, {}, {}, QStringLiteral("-04")});
    ScriptedDialogs d;
    TFrm_Main w(s.p.path(), d);
    openSheet(w, d, s);
    const QString before = w.Data.Tbl_FasiVal.filter();
    const QString label = control<QLabel>(&w, "Lbl_Totale_Area")->text();

    // Mode None: moving the areas changes nothing.
    w.Data.Tbl_Aree.next();
    QCOMPARE(w.Data.Tbl_FasiVal.filter(), before);

    w.phasesScreen().areaFollow = PhasesScreen::AreaFollow::Phases;
    w.Data.Tbl_Aree.first();
    w.Data.Tbl_Aree.next();
    QCOMPARE(w.Data.Tbl_FasiVal.filter(),
             QStringLiteral("(Id_Valutazione=%1) and (Id_Area=%2)").arg(s.evaluation).arg(s.area + 1));
    QCOMPARE(w.Data.Tbl_FasiVal.recordCount(), 2);
    QCOMPARE(w.phasesScreen().CalcolaTotaleArea(false), 1.0); // phases 1 and 2 score 1 and 0

    w.phasesScreen().areaFollow = PhasesScreen::AreaFollow::NonSoPhases;
    w.Data.Tbl_Aree.first();
    QCOMPARE(w.Data.Tbl_FasiVal.filter(),
             QStringLiteral("(nonso<>'') and (Id_Valutazione=%1) and (Id_Area=%2)").arg(s.evaluation).arg(s.area));
    QCOMPARE(w.Data.Tbl_FasiVal.recordCount(), 0);
    w.Data.Tbl_Aree.next();
    QCOMPARE(w.Data.Tbl_FasiVal.recordCount(), 1);
    QCOMPARE(w.Data.Tbl_FasiVal.asInteger(QStringLiteral("NumFase")), 2);
    w.phasesScreen().areaFollow = PhasesScreen::AreaFollow::None;
    // The colour and the label are left to the interactive choice.
    QCOMPARE(control<QLabel>(&w, "Lbl_Totale_Area")->text(), label);
}

void TestPhases::boldNonSo()
{
    Scene s(12);
    phase(s.p, s.evaluation, s.area, {1, {}, {}, {}, QStringLiteral("-04")});
    phase(s.p, s.evaluation, s.area, {2, QStringLiteral("-04"), QStringLiteral("-01-11"), QStringLiteral("-10")});
    ScriptedDialogs d;
    TFrm_Main w(s.p.path(), d);
    openSheet(w, d, s);
    PhasesScreen& ph = w.phasesScreen();

    QCOMPARE(w.Data.Tbl_FasiVal.asInteger(QStringLiteral("NumFase")), 1);
    QCOMPARE(ph.itemIndex(4), 3);
    QVERIFY2(control<QGroupBox>(&w, "Domanda4")->font().bold(), qPrintable(boldItems(w)));
    QVERIFY2(!control<QGroupBox>(&w, "Domanda3")->font().bold(), qPrintable(boldItems(w)));

    control<DataNavigator>(&w, "DBNavigator11")->trigger(B::Next);
    QCOMPARE(positions(ph), (QList<int>{1, 4, 4, 0, 4, 4, 4, 4, 4, 2, 1}));
    QVERIFY2(!control<QGroupBox>(&w, "Domanda4")->font().bold(), qPrintable(boldItems(w)));

    // Loading wrote nothing back.
    VERIFY_DIALOGS(d);
    const auto rows = storedPhases(s.p);
    QCOMPARE(rows[0].value("NonSo").toString(), QStringLiteral("-04"));
    QCOMPARE(rows[1].value("No").toString(), QStringLiteral("-01-11"));
    QCOMPARE(w.Data.Tbl_FasiVal.state(), store::Table::State::Browse);

    // A click on "Non so" makes its group bold at once.
    click(w, 7, 3);
    QVERIFY2(control<QGroupBox>(&w, "Domanda7")->font().bold(), qPrintable(boldItems(w)));
    QCOMPARE(storedPhases(s.p)[1].value("NonSo").toString(), QStringLiteral("-07"));
}

// One evaluation as an educator records it: log in, pick the child, insert
// an evaluation (age and expected level shown), choose an area, insert the
// first phase at the proposed number, answer items, go back to the list.
void TestPhases::oneEvaluationFromStartToList()
{
    ScenarioFolder p;
    p.nursery(QStringLiteral("Arcobaleno"));
    p.educator();
    // Born 365 days before 9:30 of the fixed present moment: 365.4 days,
    // which is more than 12 steps of 30.42 days, so 13 months.
    const int child =
        p.child({.nome = QStringLiteral("Luca"), .cognome = QStringLiteral("Bianchi"), .born = today.addDays(-365)});
    ScriptedDialogs d;
    TFrm_Main w(p.path(), d);
    w.Data.Now = [] { return QDateTime(today, QTime(9, 30)); };

    // (1) Log in and pick the child.
    QVERIFY2(w.Data.Tbl_AnagEdu.locate(QStringLiteral("Cognome"), QStringLiteral("Rossi")),
             qPrintable(notFound(w.Data.Tbl_AnagEdu, QStringLiteral("Cognome"), QStringLiteral("Rossi"))));
    d.expectInput(QStringLiteral("Password"), QStringLiteral("pw"), true);
    w.accessScreen().DBLookupListBox1DblClick();
    QVERIFY2(w.Data.Tbl_AnagBimbi.locate(QStringLiteral("Id"), child),
             qPrintable(notFound(w.Data.Tbl_AnagBimbi, QStringLiteral("Id"), child)));

    // (2) A new evaluation: stored at once, age and expected level shown.
    w.evaluationsScreen().Inseriscinuovavalutazione1Click();
    VERIFY_DIALOGS(d);
    QVERIFY2(!control<QGroupBox>(&w, "GB_Valutazione")->isHidden(), qPrintable(screenState(w, d)));
    const auto evaluations = p.rows(QStringLiteral("Valutaz.db"));
    QCOMPARE(evaluations.size(), 1);
    QCOMPARE(evaluations[0].value("MesiBimbo").toInt(), 13);
    QCOMPARE(control<QLineEdit>(&w, "Txt_SviluppoTeorico")->text(), QStringLiteral("4,19"));
    const int evaluation = evaluations[0].value("Id").toInt();

    // (3) An area: its (empty) phases and the total 0.
    const int area = p.firstArea();
    w.phasesScreen().ImpostaChiaveArea(area);
    w.phasesScreen().CB_AreaCloseUp();
    QCOMPARE(w.Data.Tbl_FasiVal.recordCount(), 0);
    QCOMPARE(control<QLabel>(&w, "Lbl_Totale_Area")->text(), QStringLiteral("0"));

    // (4) The first phase is proposed one below the expected level: 3.
    d.expectInput(QStringLiteral("Numero fase: 1-14"), QStringLiteral("3"), false);
    QVERIFY2(w.Data.Tbl_FasiVal.append(), qPrintable(tableState(w.Data.Tbl_FasiVal) + QStringLiteral("; ") + dialogsShown(d)));
    VERIFY_DIALOGS(d);
    QCOMPARE(d.shown().last().initial, QStringLiteral("3"));

    // (5) Answers: stored as lists at every click, score and total follow.
    click(w, 1, 0);  // Si
    click(w, 2, 0);  // Si
    click(w, 3, 1);  // No
    click(w, 4, 3);  // Non so
    VERIFY_DIALOGS(d);
    const auto phases = storedPhases(p);
    QCOMPARE(phases.size(), 1);
    QCOMPARE(phases[0].value("Id_Valutazione").toInt(), evaluation);
    QCOMPARE(phases[0].value("Id_Area").toInt(), area);
    QCOMPARE(phases[0].value("NumFase").toInt(), 3);
    QCOMPARE(phases[0].value("Si").toString(), QStringLiteral("-01-02"));
    QCOMPARE(phases[0].value("No").toString(), QStringLiteral("-03"));
    QCOMPARE(phases[0].value("NonSo").toString(), QStringLiteral("-04"));
    // Phases 1 and 2 count as achieved, phase 3 scores 2/3 truncated: 2,66.
    QCOMPARE(control<QLabel>(&w, "Lbl_Totale_Area")->text(), QStringLiteral("2,66"));

    // (6) Back to the list: the "Non so" answer brings the question.
    d.expectMessage(BoxType::Confirmation,
                    QStringLiteral("Nella valutazione sono presenti dei \"Non So\". Desideri stampare un riepilogo dei "
                                   "\"Non so\" per verificarli?"),
                    Button::No);
    w.evaluationSheet().SpeedButton7Click();
    VERIFY_DIALOGS(d);
    QVERIFY2(control<QGroupBox>(&w, "GB_Valutazione")->isHidden(), qPrintable(screenState(w, d)));
    QVERIFY2(control<QToolButton>(&w, "Btn_Esci")->isEnabled(),
             qPrintable(widgetState(control<QToolButton>(&w, "Btn_Esci")) + QStringLiteral("; ") + screenState(w)));
}

void TestPhases::phaseNumberCorrectedInGrid()
{
    // A phase entered with the wrong number is corrected in its cell; text
    // that is no number is refused with the engine's word and changes
    // nothing, and so is an emptied cell.
    Scene s(12);
    const int id = phase(s.p, s.evaluation, s.area, Phase(2, QStringLiteral("-01")));
    ScriptedDialogs d;
    TFrm_Main w(s.p.path(), d);
    openSheet(w, d, s);
    DataGridModel* model = control<DataGrid>(&w, "DBGrid11")->dataModel();
    const QModelIndex cell = model->index(0, 0);
    QVERIFY2(model->flags(cell) & Qt::ItemIsEditable,
             qPrintable(QStringLiteral("flags of the cell 0x%1").arg(int(model->flags(cell)), 0, 16)));
    QCOMPARE(model->data(cell, Qt::EditRole).toString(), QStringLiteral("2"));

    d.expectMessage(BoxType::Error, QStringLiteral("'x' non è un valore intero valido."));
    QVERIFY2(!model->setData(cell, QStringLiteral("x")),
             qPrintable(tableState(w.Data.Tbl_FasiVal) + QStringLiteral("; ") + dialogsShown(d)));
    VERIFY_DIALOGS(d);
    // Nor may it be cleared: the phase keeps its number.
    for (const QString& empty : {QString(), QStringLiteral("  ")}) {
        d.expectMessage(BoxType::Error, QStringLiteral("Il numero della fase non può restare vuoto."));
        QVERIFY2(!model->setData(cell, empty),
                 qPrintable(tableState(w.Data.Tbl_FasiVal) + QStringLiteral("; ") + dialogsShown(d)));
        VERIFY_DIALOGS(d);
        QCOMPARE(model->data(cell, Qt::EditRole).toString(), QStringLiteral("2"));
    }
    // The same by the keys: the cell's editor emptied and Return pressed.
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    DataGrid* grid = control<DataGrid>(&w, "DBGrid11");
    grid->setCurrentIndex(cell);
    grid->edit(cell);
    auto* editor = grid->viewport()->findChild<QLineEdit*>();
    QVERIFY2(editor, "no editor in the phase number's cell");
    editor->selectAll();
    QTest::keyClick(editor, Qt::Key_Backspace);
    d.expectMessage(BoxType::Error, QStringLiteral("Il numero della fase non può restare vuoto."));
    QTest::keyClick(editor, Qt::Key_Return);
    QCoreApplication::processEvents(); // the editor commits after its key
    VERIFY_DIALOGS(d);
    QCOMPARE(model->data(cell, Qt::EditRole).toString(), QStringLiteral("2"));

    QVERIFY2(model->setData(cell, QStringLiteral("4")),
             qPrintable(tableState(w.Data.Tbl_FasiVal) + QStringLiteral("; ") + dialogsShown(d)));
    QCOMPARE(w.Data.Tbl_FasiVal.state(), store::Table::State::Edit);
    w.Data.Tbl_FasiVal.post();
    const auto rows = storedPhases(s.p);
    QCOMPARE(rows.size(), 1);
    QCOMPARE(rows[0].value("Id").toInt(), id);
    QCOMPARE(rows[0].value("NumFase").toInt(), 4);
    // Phases 1 to 3 now count as achieved, phase 4 scores 1.
    QCOMPARE(control<QLabel>(&w, "Lbl_Totale_Area")->text(), QStringLiteral("4"));
}

QTEST_MAIN(TestPhases)
#include "test_phases.moc"
