// The printed reports, read on the pages the preview shows: the evaluation
// sheet and its "Non so" summary, the development profile chart, the profiles
// of one child and the comparison of children. Each print walks the areas
// with the area follow mode, so every test also checks that the sheet gets
// its phase filter and follow mode back.

#include "chart.h"
#include "children.h"
#include "datanavigator.h"
#include "document.h"
#include "evaluations.h"
#include "lookups.h"
#include "mainwindow.h"
#include "phases.h"
#include "prints.h"
#include "scenariofixture.h"
#include "scripteddialogs.h"
#include "scripteddialogs_qtest.h"
#include "sheet.h"
#include "table.h"

#include <QGroupBox>
#include <QRadioButton>
#include <QApplication>
#include <QKeyEvent>
#include <QTest>
#include <QToolButton>

using namespace velmora;

namespace {

const QDate today(2026, 12, 10);
const QString allItems = QStringLiteral("-01-02-03-04-05-06-07-08-09-10-11");
const QStringList areaCodes = {"MG", "MF", "LC", "CO", "RS", "AE", "AU", "GS"};
const QStringList areaNames = {"Sviluppo motorio globale",
                               "Motricità fine e coordinazione oculo-manuale",
                               "Linguaggio e comunicazione",
                               "Sviluppo cognitivo",
                               "Relazione con gli adulti e con i pari",
                               "Sviluppo affettivo ed emotivo",
                               "Autonomia personale",
                               "Gioco e attività simbolica"};
QString areaCombo(int i) { return areaCodes[i] + QStringLiteral(" - ") + areaNames[i]; }

const QString incomplete = QStringLiteral("Per effettuare questo tipo di stampe, la valutazione deve essere completa.");
const QString nonSoQuestion = QStringLiteral("Nella valutazione sono presenti dei \"Non So\". Desideri stampare un "
                                             "riepilogo dei \"Non so\" per verificarli?");
const QString noneSelectedAll =
    QStringLiteral("Nessuna profilo selezionato! Si vuole procedere con il confronto tra tutti i pofili inseriti?");
QString noneSelectedOf(const QString& child)
{
    return QStringLiteral("Nessuna profilo selezionato! Si vuole procedere con il confronto tra tutti i pofili "
                          "inseriti per ")
        + child + QLatin1Char('?');
}

// The profile colours, in the order profiles are numbered.
const QList<QColor> fixedColours = {
    QColor(255, 0, 0),     QColor(0, 255, 255), QColor(0, 0, 255),     QColor(255, 0, 255), QColor(0, 255, 0),
    QColor(0, 0, 0),       QColor(128, 0, 0),   QColor(0, 128, 0),     QColor(128, 128, 0), QColor(0, 0, 128),
    QColor(128, 0, 128),   QColor(0, 128, 128), QColor(128, 128, 128), QColor(255, 255, 0), QColor(192, 192, 192)};

// One phase as stored, built from the score it is to get.
struct Phase
{
    Phase(int number = 1, const QString& s = {}, const QString& n2 = {}, const QString& v = {},
          const QString& u = {})
        : n(number), si(s), no(n2), aVolte(v), nonSo(u)
    {
    }
    int n;
    QString si, no, aVolte, nonSo;

    static Phase one(int n) { return {n, allItems}; }                              // 1
    static Phase half(int n) { return {n, "-01", "-02"}; }                        // 0,5
    static Phase zero(int n) { return {n, {}, "-01-02"}; }                        // 0
    static Phase quarter(int n) { return {n, "-01", "-02-03-04"}; }               // 0,25
    static Phase third(int n) { return {n, "-01", "-02-03", {}, "-04"}; }         // 0,33
    static Phase unknown(int n, const QString& u) { return {n, {}, {}, {}, u}; } // 0
};
using Phases = QList<Phase>;

// A program folder with a nursery whose responsible educator Rossi logs in.
struct Folder : ScenarioFolder
{
    int nido = 0;
    int rossi = 0;
    QList<int> areas; // in the order of the areas table

    explicit Folder(const QVariantMap& nursery = {{"Nome", QStringLiteral("Arcobaleno")},
                                                   {"Indirizzo", QStringLiteral("Via Roma 1")},
                                                   {"Cap", QStringLiteral("20100")},
                                                   {"Citta", QStringLiteral("Milano")},
                                                   {"Provincia", QStringLiteral("MI")}})
    {
        nido = ScenarioFolder::nursery(nursery);
        rossi = educator(QStringLiteral("Rossi"), QStringLiteral("Anna"), true);
        areas = ScenarioFolder::areas();
    }
    int educator(const QString& cognome, const QString& nome, bool resp) const
    {
        return ScenarioFolder::educator({.nursery = nido, .nome = nome, .cognome = cognome, .responsabile = resp});
    }
    int child(const QString& nome, const QString& cognome, const QVariantMap& extra = {}) const
    {
        return ScenarioFolder::child({.nursery = nido, .nome = nome, .cognome = cognome, .more = extra});
    }
    // An empty `date` or `months` stays unset.
    int evaluation(int child, const QDate& date, const QVariant& months = 12) const
    {
        return ScenarioFolder::evaluation({.child = child, .date = date, .months = months, .sel = false});
    }
    void phases(int evaluation, int area, const Phases& list) const
    {
        for (const Phase& f : list)
            phase({.evaluation = evaluation, .area = areas[area], .numFase = f.n, .si = f.si, .no = f.no,
                   .aVolte = f.aVolte, .nonSo = f.nonSo});
    }
    // Phases in every area: the profile chart needs them all.
    void complete(int evaluation) const
    {
        for (int a = 0; a < areas.size(); ++a)
            phases(evaluation, a, {Phase::one(1)});
    }
    void staff(int evaluation, int educator, const QString& role) const
    {
        int id = 0;
        for (const QVariantMap& r : rows(QStringLiteral("Ruoli.db")))
            if (r.value("Ruolo").toString() == role)
                id = r.value("Id").toInt();
        QVERIFY2(id, qPrintable(role));
        add(QStringLiteral("Personale.db"), {{"Id_Valutazione", evaluation}, {"Id_Educatrice", educator}, {"Id_Ruolo", id}});
    }
};

void start(TFrm_Main& w, ScriptedDialogs& d)
{
    w.Data.Now = [] { return QDateTime(today, QTime(9, 30)); };
    login(w, d, QStringLiteral("Rossi"));
}

// Marks evaluations as selected the way the list does (a double click).
void select(TFrm_Main& w, int child, const QList<int>& evaluations)
{
    for (int e : evaluations) {
        chooseEvaluation(w, child, e);
        w.evaluationsScreen().DBGrid7DblClick();
        QVERIFY2(w.Data.Tbl_Valutazioni.asBoolean(QStringLiteral("Sel")), qPrintable(tableAt(w.Data.Tbl_Valutazioni)));
    }
}

// Every text printed by `name`, page after page.
QStringList textsOf(const print::Document& doc, const QString& name)
{
    QStringList out;
    for (const print::Page& p : doc.pages)
        out << p.textsOf(name);
    return out;
}

QString headText(const print::Document& doc, const QString& name)
{
    const print::PageText* t = doc.pages.isEmpty() ? nullptr : doc.pages.first().text(name);
    return t ? t->text : QStringLiteral("<none>");
}

const print::Chart* chartOf(const print::Document& doc)
{
    if (doc.pages.isEmpty())
        return nullptr;
    const print::PageChart* c = doc.pages.first().chart(QStringLiteral("QRChart1"));
    return c ? c->chart.get() : nullptr;
}

// What the first page of a document holds instead of the chart: its title,
// its pages and the charts it carries.
QString noChart(const print::Document& doc)
{
    QStringList charts;
    if (!doc.pages.isEmpty())
        for (const print::PageChart& c : doc.pages.first().charts)
            charts << c.name;
    return QStringLiteral("no QRChart1 on the first page of \"%1\" (%2 pages); charts there: %3")
        .arg(doc.title, QString::number(doc.pageCount()),
             charts.isEmpty() ? QStringLiteral("none") : charts.join(QStringLiteral(", ")));
}

// The names of a chart's series, in drawing order.
QString seriesOf(const print::Chart& c)
{
    QStringList out;
    for (const print::ChartSeries& s : c.allSeries())
        out << s.name;
    return QStringLiteral("series: ") + (out.isEmpty() ? QStringLiteral("none") : out.join(QStringLiteral(", ")));
}

// A series' points as "label x;y".
QString pointsOf(const print::ChartSeries& s)
{
    QStringList out;
    for (const print::ChartPoint& p : s.points)
        out << QStringLiteral("%1 %2;%3").arg(p.label, QString::number(p.x), QString::number(p.y));
    return QStringLiteral("points of %1: ").arg(s.name) + (out.isEmpty() ? QStringLiteral("none") : out.join(QStringLiteral(", ")));
}

QStringList titlesOf(const print::Chart& c)
{
    QStringList out;
    for (const print::ChartSeries& s : c.allSeries())
        out << s.title;
    return out;
}

// The phase filter and the area follow mode as the sheet has them, to see
// that a print gives them back.
struct SheetState
{
    QString filter;
    int rows = 0;
    PhasesScreen::AreaFollow follow = PhasesScreen::AreaFollow::None;
    explicit SheetState(TFrm_Main& w)
        : filter(w.Data.Tbl_FasiVal.filter()), rows(w.Data.Tbl_FasiVal.recordCount()),
          follow(w.phasesScreen().areaFollow)
    {
    }
};

void verifyRestored(TFrm_Main& w, const SheetState& before)
{
    QCOMPARE(w.phasesScreen().areaFollow, PhasesScreen::AreaFollow::None);
    QCOMPARE(w.Data.Tbl_FasiVal.filter(), before.filter);
    QCOMPARE(w.Data.Tbl_FasiVal.recordCount(), before.rows);
}

// After a print that walks the evaluations themselves, the phase filter
// selects the phases of the evaluation the list stands on.
void verifyFollowsEvaluation(TFrm_Main& w)
{
    QCOMPARE(w.phasesScreen().areaFollow, PhasesScreen::AreaFollow::None);
    QCOMPARE(w.Data.Tbl_FasiVal.filter(), QStringLiteral("Id_Valutazione=") + w.Data.Tbl_Valutazioni.asString(QStringLiteral("Id")));
}

} // namespace

namespace velmora::print {

// Names a point shape in the messages of QCOMPARE.
inline char* toString(PointShape shape)
{
    switch (shape) {
    case PointShape::Circle: return qstrdup("Circle");
    case PointShape::Square: return qstrdup("Square");
    }
    return qstrdup(QByteArray::number(int(shape)).constData());
}

} // namespace velmora::print

class TestReports : public QObject
{
    Q_OBJECT

private slots:
    // The server run (test_reports_server) skips where it cannot run.
    void initTestCase() { STORETEST_REQUIRE_ENGINE(); }
    void sheetHead_data();
    void sheetHead();
    void staffRowBeingTyped();
    void sheetAreas_data();
    void sheetAreas();
    void longSheetRunsOverPages();
    void newEvaluationPrintedFromSheet();
    void printsGiveFilterBack_data();
    void printsGiveFilterBack();
    void printsKeepAreaOfNewPhases_data();
    void printsKeepAreaOfNewPhases();
    void nonSoSummary_data();
    void nonSoSummary();
    void profileChart_data();
    void profileChart();
    void profileChartNeedsCompleteEvaluation();
    void profileChartWithoutAreas();
    void childProfiles_data();
    void childProfiles();
    void childWithoutEvaluations();
    void childProfileColours();
    void atMostHundredProfiles();
    void comparison_data();
    void comparison();
    void comparisonOfMoreThanHundred();
    void proposedFileNames_data();
    void proposedFileNames();
};

// ---------------------------------------------------------------- sheet

void TestReports::sheetHead_data()
{
    QTest::addColumn<QVariantMap>("nursery");
    QTest::addColumn<QVariantMap>("child");
    QTest::addColumn<QDate>("date");
    QTest::addColumn<QVariant>("months");
    QTest::addColumn<bool>("staff");
    QTest::addColumn<QStringList>("expected"); // address, born, sex, note, date, age, staff

    const QVariantMap full{{"Nome", "Arcobaleno"}, {"Indirizzo", "Via Roma 1"}, {"Cap", "20100"},
                           {"Citta", "Milano"}, {"Provincia", "MI"}};
    QTest::newRow("everything filled")
        << full
        << QVariantMap{{"DataDiNascita", QDate(2024, 11, 20)}, {"Sesso", "F"}, {"Note", "gemella\nallergica"}}
        << QDate(2026, 1, 5) << QVariant(14) << true
        << QStringList{"Via Roma 1 - 20100 - Milano - MI", "20/11/24", "F", "gemella\nallergica", "05/01/26", "14",
                       "*Rossi Anna (Educatrice di riferimento) - Bianchi Carla (Osservatrice)"};
    QTest::newRow("no cap, no dates, no age, no staff")
        << QVariantMap{{"Nome", "Arcobaleno"}, {"Indirizzo", "Via Roma 1"}, {"Citta", "Milano"}, {"Provincia", "MI"}}
        << QVariantMap{{"Sesso", "M"}} << QDate() << QVariant() << false
        << QStringList{"Via Roma 1 -  - Milano - MI", "", "M", "", "", "", ""};
    QTest::newRow("only the nursery name")
        << QVariantMap{{"Nome", "Arcobaleno"}} << QVariantMap{} << QDate(2025, 12, 31) << QVariant(0) << false
        << QStringList{" -  -  - ", "", "", "", "31/12/25", "0", ""};
}

void TestReports::sheetHead()
{
    QFETCH(QVariantMap, nursery);
    QFETCH(QVariantMap, child);
    QFETCH(QDate, date);
    QFETCH(QVariant, months);
    QFETCH(bool, staff);
    QFETCH(QStringList, expected);
    Folder p(nursery);
    const int giulia = p.child(QStringLiteral("Giulia"), QStringLiteral("Bassi"), child);
    const int v = p.evaluation(giulia, date, months);
    if (staff) {
        const int bianchi = p.educator(QStringLiteral("Bianchi"), QStringLiteral("Carla"), false);
        p.staff(v, p.rossi, QStringLiteral("Educatrice di riferimento"));
        p.staff(v, bianchi, QStringLiteral("Osservatrice"));
    }
    // Staff of another evaluation stays off this head.
    p.staff(p.evaluation(giulia, date, months), p.rossi, QStringLiteral("Tirocinante"));
    ScriptedDialogs d;
    TFrm_Main w(p.path(), d);
    STEP(start(w, d));
    STEP(openSheet(w, d, giulia, v));

    d.expectPrintSetup(true);
    control<QToolButton>(&w, "SpeedButton10")->click();
    VERIFY_DIALOGS(d);
    QCOMPARE(d.previews().size(), 1);
    const print::Document& doc = d.previews().first();
    QCOMPARE(doc.title, QStringLiteral("Scheda di valutazione"));
    QCOMPARE(headText(doc, "Qr_NomeNido"), QStringLiteral("Arcobaleno"));
    QCOMPARE(headText(doc, "Qr_NomeBimbo"), QStringLiteral("Giulia Bassi"));
    const QStringList names = {"Qr_Indirizzo", "Qr_DataDiNascita", "Qr_Sesso",   "Qr_Note",
                               "Qr_DataValutazione", "Qr_EtaInMesi", "Qr_Personale"};
    for (int i = 0; i < names.size(); ++i)
        QCOMPARE(headText(doc, names[i]), expected[i]);
}

// A staff row still being typed when the print is asked for is posted and
// printed, not lost; an untouched new row is dropped.
void TestReports::staffRowBeingTyped()
{
    Folder p;
    const int giulia = p.child(QStringLiteral("Giulia"), QStringLiteral("Bassi"));
    const int v = p.evaluation(giulia, QDate(2026, 1, 15));
    p.complete(v);
    int ruolo = 0;
    for (const QVariantMap& r : p.rows(QStringLiteral("Ruoli.db")))
        if (r.value("Ruolo").toString() == QStringLiteral("Osservatrice"))
            ruolo = r.value("Id").toInt();
    ScriptedDialogs d;
    TFrm_Main w(p.path(), d);
    STEP(start(w, d));
    STEP(openSheet(w, d, giulia, v));

    for (const bool typed : {true, false}) {
        QVERIFY2(w.Data.Tbl_Personale.append(),
                 qPrintable(tableState(w.Data.Tbl_Personale) + QStringLiteral("; ") + dialogsShown(d)));
        if (typed) {
            w.Data.Tbl_Personale.setValue(QStringLiteral("Id_Educatrice"), p.rossi);
            w.Data.Tbl_Personale.setValue(QStringLiteral("Id_Ruolo"), ruolo);
        }
        d.expectPrintSetup(true);
        control<QToolButton>(&w, "SpeedButton8")->click();
        VERIFY_DIALOGS(d);
        QCOMPARE(headText(d.previews().last(), "Qr_Personale"), QStringLiteral("*Rossi Anna (Osservatrice)"));
        QCOMPARE(w.Data.Tbl_Personale.state(), store::Table::State::Browse);
        QCOMPARE(p.count(QStringLiteral("Personale.db"), QStringLiteral("Id_Valutazione=%1").arg(v)), 1);
    }
}

void TestReports::sheetAreas_data()
{
    // Phases of the first and third areas; the printed rows, scores and total.
    QTest::addColumn<Phases>("first");
    QTest::addColumn<Phases>("third");
    QTest::addColumn<QStringList>("numbers");
    QTest::addColumn<QStringList>("scores");
    QTest::addColumn<QStringList>("totals"); // one per area, eight in all

    const QStringList zeros(8, QStringLiteral("0"));
    auto totals = [&](const QString& first, const QString& third) {
        QStringList t = zeros;
        t[0] = first;
        t[2] = third;
        return t;
    };
    QTest::newRow("phases 3, 4 and 1, 2, 5")
        << Phases{Phase::half(3), Phase::zero(4)} << Phases{Phase::one(1), Phase::one(2), Phase::quarter(5)}
        << QStringList{"3", "4", "1", "2", "5"} << QStringList{"0,5", "0", "1", "1", "0,25"}
        << totals("2,5", "4,25");
    QTest::newRow("laid out of order, read by phase number")
        << Phases{Phase::zero(4), Phase::half(3)} << Phases{Phase::quarter(5), Phase::one(2), Phase::one(1)}
        << QStringList{"3", "4", "1", "2", "5"} << QStringList{"0,5", "0", "1", "1", "0,25"}
        << totals("2,5", "4,25");
    QTest::newRow("single phases with a third")
        << Phases{Phase::third(1)} << Phases{Phase::one(6)} << QStringList{"1", "6"} << QStringList{"0,33", "1"}
        << totals("0,33", "6");
    QTest::newRow("a volte counts half")
        << Phases{Phase(1, "-01", {}, "-02")} << Phases{Phase(3, {}, "-04", "-01-02-03")}
        << QStringList{"1", "3"} << QStringList{"0,75", "0,37"} << totals("0,75", "2,37");
    QTest::newRow("gaps between and a non so phase")
        << Phases{Phase::one(2), Phase::unknown(7, "-01-02")} << Phases{}
        << QStringList{"2", "7"} << QStringList{"1", "0"} << totals("6", "0");
    QTest::newRow("no phases anywhere") << Phases{} << Phases{} << QStringList{} << QStringList{} << zeros;
}

void TestReports::sheetAreas()
{
    QFETCH(Phases, first);
    QFETCH(Phases, third);
    QFETCH(QStringList, numbers);
    QFETCH(QStringList, scores);
    QFETCH(QStringList, totals);
    Folder p;
    const int c = p.child(QStringLiteral("Giulia"), QStringLiteral("Bassi"));
    // The same child's earlier evaluation, with phases in every area.
    p.complete(p.evaluation(c, QDate(2025, 6, 1), 7));
    const int v = p.evaluation(c, QDate(2026, 1, 15), 14);
    p.phases(v, 0, first);
    p.phases(v, 2, third);
    ScriptedDialogs d;
    TFrm_Main w(p.path(), d);
    STEP(start(w, d));
    STEP(chooseEvaluation(w, c, v));

    d.expectPrintSetup(true);
    w.evaluationsScreen().SpeedButton10Click();
    VERIFY_DIALOGS(d);
    QCOMPARE(d.previews().size(), 1);
    const print::Document& doc = d.previews().first();
    QCOMPARE(doc.pageCount(), 1);

    QStringList headings;
    if (!first.isEmpty())
        headings << areaCombo(0);
    if (!third.isEmpty())
        headings << areaCombo(2);
    QCOMPARE(textsOf(doc, "QRDBText1"), headings);
    QCOMPARE(textsOf(doc, "QRDBText2"), numbers);
    QCOMPARE(textsOf(doc, "QRDBText7"), scores);
    // The four answer lists as stored, row by row.
    QList<Phase> stored = first + third;
    std::stable_sort(stored.begin(), stored.begin() + first.size(), [](auto& a, auto& b) { return a.n < b.n; });
    std::stable_sort(stored.begin() + first.size(), stored.end(), [](auto& a, auto& b) { return a.n < b.n; });
    QStringList si, no, aVolte, nonSo;
    for (const Phase& f : stored) {
        si << f.si;
        no << f.no;
        aVolte << f.aVolte;
        nonSo << f.nonSo;
    }
    QCOMPARE(textsOf(doc, "QRDBText3"), si);
    QCOMPARE(textsOf(doc, "QRDBText4"), no);
    QCOMPARE(textsOf(doc, "QRDBText5"), aVolte);
    QCOMPARE(textsOf(doc, "QRDBText6"), nonSo);
    // Every area closes with its total, also an area without phases.
    QCOMPARE(textsOf(doc, "Qr_Totale"), totals);
    QCOMPARE(textsOf(doc, "QRLabel13"), QStringList(8, QStringLiteral("Totale:")));
    QCOMPARE(textsOf(doc, "QRLabel6"), QStringList{"Pagina:"});
    QCOMPARE(textsOf(doc, "QRSysData1"), QStringList{"1"});
}

void TestReports::longSheetRunsOverPages()
{
    Folder p;
    const int c = p.child(QStringLiteral("Giulia"), QStringLiteral("Bassi"));
    const int v = p.evaluation(c, QDate(2026, 1, 15), 30);
    for (int a = 0; a < 8; ++a) {
        Phases all;
        for (int n = 1; n <= 14; ++n)
            all << Phase::one(n);
        p.phases(v, a, all);
    }
    ScriptedDialogs d;
    TFrm_Main w(p.path(), d);
    STEP(start(w, d));
    STEP(openSheet(w, d, c, v));

    d.expectPrintSetup(true);
    control<QToolButton>(&w, "SpeedButton10")->click();
    VERIFY_DIALOGS(d);
    QCOMPARE(d.previews().size(), 1);
    const print::Document& doc = d.previews().first();
    QVERIFY2(doc.pageCount() >= 3, qPrintable(QString::number(doc.pageCount())));
    QStringList expectedNumbers, areas;
    for (int a = 0; a < 8; ++a) {
        areas << areaCombo(a);
        for (int n = 1; n <= 14; ++n)
            expectedNumbers << QString::number(n);
    }
    // Each area heads its rows once; an area that continues on the next
    // page is headed there again, marked as continued.
    QStringList headings, repeated;
    for (const QString& h : textsOf(doc, "QRDBText1"))
        (h.endsWith(QLatin1String(" (segue)")) ? repeated : headings) << h;
    QCOMPARE(headings, areas);
    for (const QString& h : repeated)
        QVERIFY2(areas.contains(h.chopped(8)), qPrintable(h));
    QCOMPARE(textsOf(doc, "QRDBText2"), expectedNumbers);
    QCOMPARE(textsOf(doc, "Qr_Totale"), QStringList(8, QStringLiteral("14")));
    for (int i = 0; i < doc.pageCount(); ++i) {
        const print::Page& page = doc.pages[i];
        QCOMPARE(page.textsOf("QRLabel6"), QStringList{"Pagina:"});
        QCOMPARE(page.textsOf("QRSysData1"), QStringList{QString::number(i + 1)});
        // The head is printed once, at the top of the first page.
        QCOMPARE(page.text("Qr_NomeNido") != nullptr, i == 0);
        QCOMPARE(page.text("Qr_NomeBimbo") != nullptr, i == 0);
        // Nothing runs into the page footer.
        const print::PageText* footer = page.text("QRLabel6");
        for (const print::PageText& t : page.texts)
            if (t.name != QLatin1String("QRLabel6") && t.name != QLatin1String("QRSysData1"))
                QVERIFY2(t.rect.bottom() <= footer->rect.top(), qPrintable(t.name + QLatin1Char(' ') + t.text));
    }
}

// An evaluation made on the sheet, its phase answered item by item, prints
// with what was just stored; then the summary offers its "Non so".
void TestReports::newEvaluationPrintedFromSheet()
{
    Folder p;
    const int c = p.child(QStringLiteral("Giulia"), QStringLiteral("Bassi"), {{"DataDiNascita", QDate(2025, 12, 1)}});
    ScriptedDialogs d;
    TFrm_Main w(p.path(), d);
    STEP(start(w, d));
    STEP(chooseChild(w, c));
    w.evaluationsScreen().Inseriscinuovavalutazione1Click();
    VERIFY_DIALOGS(d);
    QVERIFY2(!control<QGroupBox>(&w, "GB_Valutazione")->isHidden(), qPrintable(screenState(w, d)));
    // The area is chosen first, as in the area chooser.
    w.phasesScreen().ImpostaChiaveArea(p.areas[0]);
    w.phasesScreen().CB_AreaCloseUp();

    d.expectInput(QStringLiteral("Numero fase: 1-14"), QStringLiteral("2"));
    control<DataNavigator>(&w, "DBNavigator11")->trigger(DataNavigator::Button::Insert);
    control<QRadioButton>(&w, "Domanda1_0")->click(); // item 1: Si
    control<QRadioButton>(&w, "Domanda2_1")->click(); // item 2: No
    control<QRadioButton>(&w, "Domanda3_3")->click(); // item 3: Non so
    VERIFY_DIALOGS(d);

    d.expectPrintSetup(true);
    control<QToolButton>(&w, "SpeedButton10")->click();
    VERIFY_DIALOGS(d);
    QCOMPARE(d.previews().size(), 1);
    const print::Document& doc = d.previews().first();
    QCOMPARE(headText(doc, "Qr_DataValutazione"), QStringLiteral("10/12/26"));
    QCOMPARE(headText(doc, "Qr_EtaInMesi"), QString::number(w.Data.Tbl_Valutazioni.asInteger(QStringLiteral("MesiBimbo"))));
    QCOMPARE(textsOf(doc, "QRDBText1"), QStringList{areaCombo(0)});
    QCOMPARE(textsOf(doc, "QRDBText2"), QStringList{"2"});
    QCOMPARE(textsOf(doc, "QRDBText3"), QStringList{"-01"});
    QCOMPARE(textsOf(doc, "QRDBText4"), QStringList{"-02"});
    QCOMPARE(textsOf(doc, "QRDBText6"), QStringList{"-03"});
    QCOMPARE(textsOf(doc, "QRDBText7"), QStringList{"0,5"});
    QCOMPARE(textsOf(doc, "Qr_Totale").first(), QStringLiteral("1,5"));

    d.expectMessage(BoxType::Confirmation, nonSoQuestion, Button::Yes);
    d.expectPrintSetup(true);
    w.evaluationSheet().SpeedButton7Click();
    VERIFY_DIALOGS(d);
    QCOMPARE(d.previews().size(), 2);
    QCOMPARE(textsOf(d.previews().last(), "QRDBText6"), QStringList{"-03"});
}

// Every print that walks the areas gives back the phase filter and follow
// mode it found: printed or cancelled, from the sheet or from the list.
void TestReports::printsGiveFilterBack_data()
{
    QTest::addColumn<QString>("print");
    QTest::addColumn<bool>("onSheet");
    QTest::addColumn<bool>("confirm");
    for (const char* print : {"sheet", "chart"})
        for (bool onSheet : {true, false})
            for (bool confirm : {true, false})
                QTest::addRow("%s, %s, %s", print, onSheet ? "on the sheet" : "from the list",
                              confirm ? "printed" : "cancelled")
                    << QString::fromLatin1(print) << onSheet << confirm;
}

void TestReports::printsGiveFilterBack()
{
    QFETCH(QString, print);
    QFETCH(bool, onSheet);
    QFETCH(bool, confirm);
    Folder p;
    const int c = p.child(QStringLiteral("Giulia"), QStringLiteral("Bassi"));
    const int v = p.evaluation(c, QDate(2026, 1, 15), 14);
    p.complete(v);
    p.phases(v, 2, {Phase::half(2), Phase::zero(3)});
    ScriptedDialogs d;
    TFrm_Main w(p.path(), d);
    STEP(start(w, d));
    if (onSheet) {
        STEP(openSheet(w, d, c, v));
        // The third area chosen: its three phases in the grid.
        w.phasesScreen().ImpostaChiaveArea(p.areas[2]);
        w.phasesScreen().CB_AreaCloseUp();
        QCOMPARE(w.Data.Tbl_FasiVal.recordCount(), 3);
    } else {
        STEP(chooseEvaluation(w, c, v));
    }
    const SheetState before(w);

    d.expectPrintSetup(confirm);
    if (print == QLatin1String("sheet"))
        w.evaluationsScreen().SpeedButton10Click();
    else
        w.evaluationsScreen().SpeedButton8Click();
    VERIFY_DIALOGS(d);
    QCOMPARE(d.previews().size(), confirm ? 1 : 0);
    verifyRestored(w, before);
    if (onSheet) {
        // The sheet still shows the area it stands for, and works on it: a key
        // in the chooser and a new phase stay in that area.
        QCOMPARE(control<LookupComboBox>(&w, "CB_Area")->currentText(), areaCombo(2));
        QCOMPARE(w.phasesScreen().chiaveArea().toInt(), p.areas[2]);
        QKeyEvent release(QEvent::KeyRelease, Qt::Key_Tab, Qt::NoModifier);
        QApplication::sendEvent(control<LookupComboBox>(&w, "CB_Area"), &release);
        QCOMPARE(w.phasesScreen().chiaveArea().toInt(), p.areas[2]);
        QCOMPARE(control<LookupComboBox>(&w, "CB_Area")->currentText(), areaCombo(2));
        verifyRestored(w, before);
    }
    // The same print again gives the same pages.
    if (confirm) {
        d.expectPrintSetup(true);
        if (print == QLatin1String("sheet"))
            w.evaluationsScreen().SpeedButton10Click();
        else
            w.evaluationsScreen().SpeedButton8Click();
        VERIFY_DIALOGS(d);
        QCOMPARE(d.previews().size(), 2);
        const print::Document& a = d.previews()[0];
        const print::Document& b = d.previews()[1];
        QCOMPARE(textsOf(b, "QRDBText2"), textsOf(a, "QRDBText2"));
        QCOMPARE(textsOf(b, "Qr_Totale"), textsOf(a, "Qr_Totale"));
        if (print == QLatin1String("chart")) {
            QVERIFY2(chartOf(a) && chartOf(b),
                     qPrintable((chartOf(a) ? QString() : noChart(a) + QStringLiteral("; "))
                                + (chartOf(b) ? QString() : noChart(b))));
            QCOMPARE(chartOf(b)->series("Series1")->points.size(), 8);
            QCOMPARE(chartOf(b)->series("Series1")->points[2].y, 1.5); // phases 1, 2, 3: 1 + 0,5 + 0
        } else {
            QCOMPARE(textsOf(b, "QRDBText2"), (QStringList{"1", "1", "1", "2", "3", "1", "1", "1", "1", "1"}));
        }
        verifyRestored(w, before);
    }
}

// Whatever a print from the list screen does with the areas, the area chooser
// shows afterwards the area chosen before it, and the phase a new evaluation
// gets (by "Inserisci fase" or by a clicked answer) is stored under the area
// the chooser shows.
void TestReports::printsKeepAreaOfNewPhases_data()
{
    QTest::addColumn<QString>("print");
    QTest::addColumn<bool>("confirm");   // the print set-up
    QTest::addColumn<bool>("byAnswer");  // the phase started by a clicked answer, not "Inserisci fase"
    const char* prints[] = {"Non so summary", "Profili", "Confronto", "menu Stampa scheda", "menu Stampa grafico"};
    int n = 0;
    for (const char* print : prints)
        for (bool confirm : {true, false})
            QTest::addRow("%s, %s", print, confirm ? "printed" : "set-up cancelled")
                << QString::fromLatin1(print) << confirm << bool(n++ % 3 == 1);
}

void TestReports::printsKeepAreaOfNewPhases()
{
    QFETCH(QString, print);
    QFETCH(bool, confirm);
    QFETCH(bool, byAnswer);
    Folder p;
    const int c = p.child(QStringLiteral("Giulia"), QStringLiteral("Bassi"));
    const int v = p.evaluation(c, QDate(2026, 1, 15), 14);
    p.complete(v);
    const bool summary = print == QLatin1String("Non so summary");
    if (summary)
        p.phases(v, 3, {Phase::unknown(2, "-04")});
    ScriptedDialogs d;
    TFrm_Main w(p.path(), d);
    STEP(start(w, d));
    STEP(openSheet(w, d, c, v));
    PhasesScreen& ph = w.phasesScreen();

    // "LC" chosen with the arrow keys in the chooser.
    QTest::keyClick(control<LookupComboBox>(&w, "CB_Area"), Qt::Key_Down);
    QTest::keyClick(control<LookupComboBox>(&w, "CB_Area"), Qt::Key_Down);
    QCOMPARE(control<LookupComboBox>(&w, "CB_Area")->currentText(), areaCombo(2));
    QCOMPARE(ph.chiaveArea().toInt(), p.areas[2]);

    // Back to the list, and the print from there.
    if (summary) {
        d.expectMessage(BoxType::Confirmation, nonSoQuestion, Button::Yes);
        d.expectPrintSetup(confirm);
        control<QToolButton>(&w, "SpeedButton7")->click();
    } else {
        control<QToolButton>(&w, "SpeedButton7")->click();
        if (print == QLatin1String("Profili")) {
            d.expectMessage(BoxType::Confirmation, noneSelectedOf(QStringLiteral("Giulia Bassi")), Button::Yes);
            d.expectPrintSetup(confirm);
            control<QToolButton>(&w, "Btn_ConfrontoSingolo")->click();
        } else if (print == QLatin1String("Confronto")) {
            d.expectMessage(BoxType::Confirmation, noneSelectedAll, Button::Yes);
            d.expectPrintSetup(confirm);
            control<QToolButton>(&w, "Btn_ConfrontoMultiplo")->click();
        } else {
            d.expectPrintSetup(confirm);
            (print.endsWith(QLatin1String("scheda")) ? control<QAction>(&w, "Stampascheda1")
                                                     : control<QAction>(&w, "Stampagrafico1"))
                ->trigger();
        }
    }
    VERIFY_DIALOGS(d);
    QVERIFY2(control<QGroupBox>(&w, "GB_Valutazione")->isHidden(), qPrintable(screenState(w, d)));
    QCOMPARE(d.previews().size(), confirm ? 1 : 0);
    QCOMPARE(w.phasesScreen().areaFollow, PhasesScreen::AreaFollow::None);

    // A new evaluation: its sheet opens with the chooser as the user left it,
    // and the areas cursor and the chooser's key on that same area.
    control<DataNavigator>(&w, "DBNavigator7")->button(DataNavigator::Button::Insert)->click();
    VERIFY_DIALOGS(d);
    QVERIFY2(!control<QGroupBox>(&w, "GB_Valutazione")->isHidden(), qPrintable(screenState(w, d)));
    const int nuova = w.Data.Tbl_Valutazioni.asInteger(QStringLiteral("Id"));
    QVERIFY(nuova != v);
    QCOMPARE(control<LookupComboBox>(&w, "CB_Area")->currentText(), areaCombo(2));
    QCOMPARE(ph.chiaveArea().toInt(), p.areas[2]);
    QCOMPARE(w.Data.Tbl_Aree.asInteger(QStringLiteral("Id")), p.areas[2]);

    d.expectInput(QStringLiteral("Numero fase: 1-14"), QStringLiteral("3"));
    if (byAnswer)
        control<QRadioButton>(&w, "Domanda1_0")->click(); // item 1: Si, on an area without phases
    else
        control<DataNavigator>(&w, "DBNavigator11")->button(DataNavigator::Button::Insert)->click();
    VERIFY_DIALOGS(d);
    const QList<QVariantMap> stored = p.rows(QStringLiteral("FasiVal.db"), QStringLiteral("Id_Valutazione=%1").arg(nuova));
    QVERIFY2(stored.size() == 1, qPrintable(rowsText(stored)));
    QCOMPARE(stored[0].value("NumFase").toInt(), 3);
    // Stored under the area the chooser shows.
    QCOMPARE(control<LookupComboBox>(&w, "CB_Area")->currentText(), areaCombo(2));
    QCOMPARE(stored[0].value("Id_Area").toInt(), p.areas[2]);
}

void TestReports::nonSoSummary_data()
{
    QTest::addColumn<bool>("withNonSo");
    QTest::addColumn<int>("answer"); // to the question, when asked
    QTest::addColumn<bool>("confirm"); // the print set-up of the summary
    QTest::newRow("yes") << true << int(Button::Yes) << true;
    QTest::newRow("yes, set-up cancelled") << true << int(Button::Yes) << false;
    QTest::newRow("no") << true << int(Button::No) << false;
    QTest::newRow("no non so, no question") << false << 0 << false;
}

void TestReports::nonSoSummary()
{
    QFETCH(bool, withNonSo);
    QFETCH(int, answer);
    QFETCH(bool, confirm);
    Folder p;
    const int c = p.child(QStringLiteral("Giulia"), QStringLiteral("Bassi"));
    const int v = p.evaluation(c, QDate(2026, 1, 15), 14);
    p.phases(v, 0, {Phase::one(1), withNonSo ? Phase{2, "-01", {}, {}, "-03"} : Phase::half(2)});
    p.phases(v, 1, {Phase::zero(3)});
    p.phases(v, 2, {withNonSo ? Phase::unknown(1, "-01-02") : Phase::zero(1), Phase::one(4)});
    // Another evaluation's "Non so" plays no part.
    p.phases(p.evaluation(c, QDate(2025, 6, 1), 7), 4, {Phase::unknown(1, "-05")});
    ScriptedDialogs d;
    TFrm_Main w(p.path(), d);
    STEP(start(w, d));
    STEP(openSheet(w, d, c, v));

    if (withNonSo) {
        d.expectMessage(BoxType::Confirmation, nonSoQuestion, Button(answer));
        if (answer == int(Button::Yes))
            d.expectPrintSetup(confirm);
    }
    w.evaluationSheet().SpeedButton7Click();
    VERIFY_DIALOGS(d);
    QVERIFY2(control<QGroupBox>(&w, "GB_Valutazione")->isHidden(), qPrintable(screenState(w, d)));
    QCOMPARE(w.phasesScreen().areaFollow, PhasesScreen::AreaFollow::None);
    if (!confirm) {
        QVERIFY2(d.previews().isEmpty(), qPrintable(dialogsShown(d)));
    } else {
        QCOMPARE(d.previews().size(), 1);
        const print::Document& doc = d.previews().first();
        QCOMPARE(headText(doc, "Qr_NomeBimbo"), QStringLiteral("Giulia Bassi"));
        QCOMPARE(textsOf(doc, "QRDBText1"), (QStringList{areaCombo(0), areaCombo(2)}));
        QCOMPARE(textsOf(doc, "QRDBText2"), (QStringList{"2", "1"}));
        QCOMPARE(textsOf(doc, "QRDBText3"), (QStringList{"-01", ""}));
        QCOMPARE(textsOf(doc, "QRDBText6"), (QStringList{"-03", "-01-02"}));
        QVERIFY2(textsOf(doc, "QRLabel13").isEmpty(),
                 qPrintable(QStringLiteral("QRLabel13 printed: ") + textsOf(doc, "QRLabel13").join(QStringLiteral(" | "))));
        QVERIFY2(textsOf(doc, "Qr_Totale").isEmpty(),
                 qPrintable(QStringLiteral("Qr_Totale printed: ") + textsOf(doc, "Qr_Totale").join(QStringLiteral(" | "))));
        // Nothing printed over a text of another element (the other prints
        // are checked so on paper, in test_paper).
        QVERIFY(doc.overlappingTexts().isEmpty());
        QVERIFY(doc.coveredTexts().isEmpty());
    }

    // The sheet printed afterwards is whole again, totals included.
    d.expectPrintSetup(true);
    w.evaluationsScreen().SpeedButton10Click();
    VERIFY_DIALOGS(d);
    QVERIFY2(!d.previews().isEmpty(), qPrintable(dialogsShown(d)));
    const print::Document& sheet = d.previews().last();
    QCOMPARE(textsOf(sheet, "QRDBText1"), (QStringList{areaCombo(0), areaCombo(1), areaCombo(2)}));
    QCOMPARE(textsOf(sheet, "QRDBText2"), (QStringList{"1", "2", "3", "1", "4"}));
    QCOMPARE(textsOf(sheet, "QRLabel13"), QStringList(8, QStringLiteral("Totale:")));
    QCOMPARE(textsOf(sheet, "Qr_Totale"), (QStringList{withNonSo ? "2" : "1,5", "2", "3", "0", "0", "0", "0", "0"}));
}

// ---------------------------------------------------------------- profile chart

void TestReports::profileChart_data()
{
    QTest::addColumn<QVariant>("months");
    QTest::addColumn<double>("expected"); // the flat "Età anagrafica" line
    QTest::addColumn<bool>("onSheet");
    QTest::newRow("12 months, from the list") << QVariant(12) << 4.0 << false;
    QTest::newRow("13 months, on the sheet") << QVariant(13) << 4.19 << true;
    QTest::newRow("100 months") << QVariant(100) << 19.45 << false;
    QTest::newRow("age not given") << QVariant() << 0.0 << true;
}

void TestReports::profileChart()
{
    QFETCH(QVariant, months);
    QFETCH(double, expected);
    QFETCH(bool, onSheet);
    Folder p;
    const int c = p.child(QStringLiteral("Giulia"), QStringLiteral("Bassi"));
    const int v = p.evaluation(c, QDate(2026, 1, 15), months);
    // Area totals 2,5  1,25  3  4,33  0  5,5  0  7.
    const QList<Phases> phases = {
        {Phase::half(3)},
        {Phase::one(1), Phase::quarter(2)},
        {Phase::one(2), Phase::one(3), Phase::zero(4)},
        {Phase::third(5)},
        {Phase::zero(1)},
        {Phase::one(4), Phase::one(5), Phase::half(6)},
        {Phase::unknown(1, "-01")},
        {Phase::one(7)},
    };
    for (int a = 0; a < phases.size(); ++a)
        p.phases(v, a, phases[a]);
    p.complete(p.evaluation(c, QDate(2025, 6, 1), 7));
    ScriptedDialogs d;
    TFrm_Main w(p.path(), d);
    STEP(start(w, d));
    if (onSheet)
        STEP(openSheet(w, d, c, v));
    else
        STEP(chooseEvaluation(w, c, v));

    d.expectPrintSetup(true);
    if (onSheet)
        control<QToolButton>(&w, "SpeedButton8")->click();
    else
        w.evaluationsScreen().SpeedButton8Click();
    VERIFY_DIALOGS(d);
    QCOMPARE(d.previews().size(), 1);
    const print::Document& doc = d.previews().first();
    QCOMPARE(doc.title, QStringLiteral("Profilo di sviluppo"));
    QCOMPARE(doc.pageCount(), 1);
    QCOMPARE(headText(doc, "Qr_NomeBimbo"), QStringLiteral("Giulia Bassi"));
    QCOMPARE(headText(doc, "Qr_EtaInMesi"), months.isValid() ? months.toString() : QString());
    const print::Chart* chart = chartOf(doc);
    QVERIFY2(chart, qPrintable(noChart(doc)));
    QCOMPARE(chart->allSeries().size(), 2);

    const print::ChartSeries* profile = chart->series("Series1");
    QVERIFY2(profile, qPrintable(seriesOf(*chart)));
    QCOMPARE(profile->title, QStringLiteral("Profilo di sviluppo"));
    QCOMPARE(profile->color, QColor(Qt::black));
    QVERIFY2(profile->marksVisible, qPrintable(QStringLiteral("the marks of %1 are hidden").arg(profile->name)));
    const QList<double> totals = {2.5, 1.25, 3, 4.33, 0, 5.5, 0, 7};
    QCOMPARE(profile->points.size(), 8);
    for (int i = 0; i < 8; ++i) {
        QCOMPARE(profile->points[i].x, double(i));
        QCOMPARE(profile->points[i].label, areaCodes[i]);
        QCOMPARE(profile->points[i].y, totals[i]);
    }

    const print::ChartSeries* age = chart->series("Series2");
    QVERIFY2(age, qPrintable(seriesOf(*chart)));
    QCOMPARE(age->title, QStringLiteral("Età anagrafica"));
    QCOMPARE(age->color, QColor(255, 0, 0));
    QCOMPARE(age->shape, print::PointShape::Square);
    QCOMPARE(age->points.size(), 8);
    for (int i = 0; i < 8; ++i) {
        QCOMPARE(age->points[i].x, double(i));
        QCOMPARE(age->points[i].y, expected);
    }
    QCOMPARE(headText(doc, "Qr_LegendaSmall"), areaCodes.join('\n'));
    QCOMPARE(headText(doc, "Qr_LegendaLarge"), areaNames.join('\n'));
}

void TestReports::profileChartNeedsCompleteEvaluation()
{
    Folder p;
    const int c = p.child(QStringLiteral("Giulia"), QStringLiteral("Bassi"));
    const int v = p.evaluation(c, QDate(2026, 1, 15), 14);
    for (int a = 0; a < 7; ++a) // the last area left out
        p.phases(v, a, {Phase::one(1)});
    // The last area filled in another evaluation does not complete this one.
    p.complete(p.evaluation(c, QDate(2025, 6, 1), 7));
    ScriptedDialogs d;
    TFrm_Main w(p.path(), d);
    STEP(start(w, d));
    STEP(openSheet(w, d, c, v));
    w.phasesScreen().ImpostaChiaveArea(p.areas[3]);
    w.phasesScreen().CB_AreaCloseUp();
    const SheetState before(w);

    d.expectMessage(BoxType::Error, incomplete);
    control<QToolButton>(&w, "SpeedButton8")->click();
    VERIFY_DIALOGS(d);
    QVERIFY2(d.previews().isEmpty(), qPrintable(dialogsShown(d)));
    verifyRestored(w, before);
    QCOMPARE(control<LookupComboBox>(&w, "CB_Area")->currentText(), areaCombo(3));

    // Once the area has a phase the chart prints.
    p.phases(v, 7, {Phase::half(1)});
    w.Data.Tbl_FasiVal.refresh();
    d.expectPrintSetup(true);
    control<QToolButton>(&w, "SpeedButton8")->click();
    VERIFY_DIALOGS(d);
    QCOMPARE(d.previews().size(), 1);
    QVERIFY2(chartOf(d.previews().first()), qPrintable(noChart(d.previews().first())));
    QCOMPARE(chartOf(d.previews().first())->series("Series1")->points.last().y, 0.5);
    verifyRestored(w, before);
}

// ---------------------------------------------------------------- profiles of one child

// With no area at all there is nothing to find incomplete: the chart prints
// empty, and no filter names a missing area.
void TestReports::profileChartWithoutAreas()
{
    Folder p;
    const int c = p.child(QStringLiteral("Giulia"), QStringLiteral("Bassi"));
    const int v = p.evaluation(c, QDate(2026, 1, 15));
    {
        const auto folder = p.open();
        store::Table aree;
        aree.setDataFolder(folder.get());
        aree.setTableName(QStringLiteral("Aree.db"));
        aree.open();
        while (!aree.isEmpty()) {
            aree.first();
            aree.remove();
        }
    }
    ScriptedDialogs d;
    TFrm_Main w(p.path(), d);
    STEP(start(w, d));
    STEP(chooseEvaluation(w, c, v));
    const SheetState before(w);
    d.expectPrintSetup(true);
    w.evaluationsScreen().SpeedButton8Click();
    VERIFY_DIALOGS(d);
    QCOMPARE(d.previews().size(), 1);
    const print::Chart* chart = chartOf(d.previews().first());
    QVERIFY2(chart, qPrintable(noChart(d.previews().first())));
    QVERIFY2(chart->series(QStringLiteral("Series1"))->points.isEmpty(),
             qPrintable(pointsOf(*chart->series(QStringLiteral("Series1")))));
    verifyRestored(w, before);
}

void TestReports::childProfiles_data()
{
    // Three evaluations, in list order: 10/09/25 (10 months), 01/03/26 (16),
    // 05/12/25 (13); first-area totals 2, 3,5 and 0.
    QTest::addColumn<QList<int>>("selected");
    QTest::addColumn<int>("answer"); // to the question asked when none is selected
    QTest::addColumn<QList<int>>("drawn");

    QTest::newRow("none selected, all drawn") << QList<int>{} << int(Button::Yes) << QList<int>{0, 1, 2};
    QTest::newRow("none selected, refused") << QList<int>{} << int(Button::No) << QList<int>{};
    QTest::newRow("second and third") << QList<int>{2, 1} << 0 << QList<int>{1, 2};
    QTest::newRow("first and second") << QList<int>{0, 1} << 0 << QList<int>{0, 1};
    QTest::newRow("the third alone") << QList<int>{2} << 0 << QList<int>{2};
    QTest::newRow("the first alone") << QList<int>{0} << 0 << QList<int>{0};
}

void TestReports::childProfiles()
{
    QFETCH(QList<int>, selected);
    QFETCH(int, answer);
    QFETCH(QList<int>, drawn);
    Folder p;
    const int c = p.child(QStringLiteral("Giulia"), QStringLiteral("Bassi"), {{"DataDiNascita", QDate(2024, 11, 20)}});
    const QList<QDate> dates = {QDate(2025, 9, 10), QDate(2026, 3, 1), QDate(2025, 12, 5)};
    const QList<int> months = {10, 16, 13};
    const QList<double> firstArea = {2, 3.5, 0};
    QList<int> ev;
    for (int i = 0; i < 3; ++i)
        ev << p.evaluation(c, dates[i], months[i]);
    p.phases(ev[0], 0, {Phase::one(2)});
    p.phases(ev[1], 0, {Phase::one(3), Phase::half(4)});
    p.staff(ev[0], p.rossi, QStringLiteral("Osservatrice"));
    // Another child, listed first, whose selected evaluation is not drawn here.
    const int other = p.child(QStringLiteral("Marco"), QStringLiteral("Alberti"));
    const int otherEv = p.evaluation(other, QDate(2026, 2, 2), 20);
    ScriptedDialogs d;
    TFrm_Main w(p.path(), d);
    STEP(start(w, d));
    STEP(select(w, other, {otherEv}));
    QList<int> marks;
    for (int i : selected)
        marks << ev[i];
    STEP(select(w, c, marks));
    STEP(chooseEvaluation(w, c, ev[0]));

    if (selected.isEmpty())
        d.expectMessage(BoxType::Confirmation, noneSelectedOf(QStringLiteral("Giulia Bassi")), Button(answer));
    if (!drawn.isEmpty())
        d.expectPrintSetup(true);
    w.prints().Btn_ConfrontoSingoloClick();
    VERIFY_DIALOGS(d);
    verifyFollowsEvaluation(w);
    if (drawn.isEmpty()) {
        QVERIFY2(d.previews().isEmpty(), qPrintable(dialogsShown(d)));
        return;
    }
    QCOMPARE(d.previews().size(), 1);
    const print::Document& doc = d.previews().first();
    QCOMPARE(doc.title, QStringLiteral("Profili del bambino"));
    QCOMPARE(headText(doc, "Qr_NomeBimbo"), QStringLiteral("Giulia Bassi"));
    QCOMPARE(headText(doc, "Qr_DataDiNascita"), QStringLiteral("20/11/24"));
    // The head tells of the last profile drawn.
    QCOMPARE(headText(doc, "Qr_DataValutazione"), dates[drawn.last()].toString("dd/MM/yy"));
    QCOMPARE(headText(doc, "Qr_EtaInMesi"), QString::number(months[drawn.last()]));
    QVERIFY2(!doc.pages.first().text("Qr_Personale"),
             qPrintable(QStringLiteral("Qr_Personale printed: ") + headText(doc, "Qr_Personale")));
    QCOMPARE(headText(doc, "Qr_LegendaSmall"), areaCodes.join('\n'));

    const print::Chart* chart = chartOf(doc);
    QVERIFY2(chart, qPrintable(noChart(doc)));
    QCOMPARE(chart->allSeries().size(), drawn.size());
    QStringList titles;
    for (int k = 0; k < drawn.size(); ++k) {
        const print::ChartSeries& s = chart->allSeries()[k];
        titles << QStringLiteral("Profilo del ") + dates[drawn[k]].toString("dd/MM/yy");
        QCOMPARE(s.name, QStringLiteral("Series%1").arg(k + 1));
        QCOMPARE(s.title, titles.last());
        QCOMPARE(s.color, fixedColours[k]);
        QCOMPARE(s.points.size(), 8);
        for (int i = 0; i < 8; ++i) {
            QCOMPARE(s.points[i].label, areaCodes[i]);
            QCOMPARE(s.points[i].y, i == 0 ? firstArea[drawn[k]] : 0.0);
        }
    }
    QStringList legend;
    for (const auto& e : chart->legendEntries())
        legend << e.text;
    if (drawn.size() > 1) {
        QCOMPARE(legend, titles);
    } else {
        QStringList points;
        for (int i = 0; i < 8; ++i)
            points << areaCodes[i] + QStringLiteral("  ")
                    + (i == 0 ? QLocale().toString(firstArea[drawn[0]], 'f', 2) : QStringLiteral("0,00"));
        QCOMPARE(legend, points);
    }
}

void TestReports::childWithoutEvaluations()
{
    Folder p;
    const int c = p.child(QStringLiteral("Giulia"), QStringLiteral("Bassi"));
    const int other = p.child(QStringLiteral("Marco"), QStringLiteral("Conti"));
    p.evaluation(other, QDate(2026, 2, 2), 20);
    ScriptedDialogs d;
    TFrm_Main w(p.path(), d);
    STEP(start(w, d));
    STEP(chooseChild(w, c));
    d.expectMessage(BoxType::Plain, QStringLiteral("Nessuna valutazione presente"));
    w.prints().Btn_ConfrontoSingoloClick();
    VERIFY_DIALOGS(d);
    QVERIFY2(d.previews().isEmpty(), qPrintable(dialogsShown(d)));
    // The sheet and the chart need an evaluation as well.
    for (int i = 0; i < 2; ++i) {
        d.expectMessage(BoxType::Plain, QStringLiteral("Nessuna valutazione presente"));
        if (i == 0)
            w.evaluationsScreen().SpeedButton10Click();
        else
            w.evaluationsScreen().SpeedButton8Click();
        VERIFY_DIALOGS(d);
    }
    QVERIFY2(d.previews().isEmpty(), qPrintable(dialogsShown(d)));
    QCOMPARE(w.phasesScreen().areaFollow, PhasesScreen::AreaFollow::None);
}

void TestReports::childProfileColours()
{
    Folder p;
    const int c = p.child(QStringLiteral("Giulia"), QStringLiteral("Bassi"));
    for (int i = 0; i < 17; ++i)
        p.evaluation(c, QDate(2025, 1, 1).addDays(7 * i), 10 + i);
    ScriptedDialogs d;
    TFrm_Main w(p.path(), d);
    STEP(start(w, d));
    STEP(chooseChild(w, c));

    auto draw = [&](quint32 seed) -> QList<QColor> {
        w.Data.Random.seed(seed);
        d.expectMessage(BoxType::Confirmation, noneSelectedOf(QStringLiteral("Giulia Bassi")), Button::Yes);
        d.expectPrintSetup(true);
        const auto before = d.previews().size();
        w.prints().Btn_ConfrontoSingoloClick();
        QList<QColor> colours;
        if (d.previews().size() != before + 1 || !chartOf(d.previews().last()))
            return colours;
        for (const print::ChartSeries& s : chartOf(d.previews().last())->allSeries())
            colours << s.color;
        return colours;
    };
    const QList<QColor> first = draw(7);
    VERIFY_DIALOGS(d);
    QCOMPARE(first.size(), 17);
    QCOMPARE(first.mid(0, 15), fixedColours);
    QCOMPARE_NE(first[15], first[16]);

    // The same seed, the same colours; another seed, other ones past the
    // fifteenth only.
    QCOMPARE(draw(7), first);
    const QList<QColor> other = draw(8);
    VERIFY_DIALOGS(d);
    QCOMPARE(other.size(), 17);
    QCOMPARE(other.mid(0, 15), fixedColours);
    QCOMPARE_NE(other.mid(15), first.mid(15));
}

void TestReports::atMostHundredProfiles()
{
    Folder p;
    const int c = p.child(QStringLiteral("Giulia"), QStringLiteral("Bassi"));
    QList<int> ev;
    for (int i = 0; i < 101; ++i)
        ev << p.evaluation(c, QDate(2020, 1, 1).addDays(i), i % 36);
    p.phases(ev[99], 0, {Phase::one(5)});
    p.phases(ev[100], 0, {Phase::one(9)});
    ScriptedDialogs d;
    TFrm_Main w(p.path(), d);
    STEP(start(w, d));
    STEP(chooseChild(w, c));

    d.expectMessage(BoxType::Confirmation, noneSelectedOf(QStringLiteral("Giulia Bassi")), Button::Yes);
    d.expectMessage(BoxType::Information, QRegularExpression(QStringLiteral("\\b101\\b.*\\bprimi 100\\b")));
    d.expectPrintSetup(true);
    w.prints().Btn_ConfrontoSingoloClick();
    VERIFY_DIALOGS(d);
    verifyFollowsEvaluation(w);
    QCOMPARE(d.previews().size(), 1);
    const print::Chart* chart = chartOf(d.previews().first());
    QVERIFY2(chart, qPrintable(noChart(d.previews().first())));
    QCOMPARE(chart->allSeries().size(), 100);
    // The first hundred in list order: the hundred-and-first is left out.
    QCOMPARE(chart->allSeries().last().name, QStringLiteral("Series100"));
    QCOMPARE(chart->allSeries().last().title,
             QStringLiteral("Profilo del ") + QDate(2020, 1, 1).addDays(99).toString("dd/MM/yy"));
    QCOMPARE(chart->allSeries().last().points.first().y, 5.0);
}

// ---------------------------------------------------------------- comparison

void TestReports::comparison_data()
{
    // Zoe Alfieri (two evaluations), Marco Bassi (one), Anna Conti (one, not
    // attending). Keys: "Z1", "Z2", "M1", "A1".
    QTest::addColumn<bool>("byName");
    QTest::addColumn<bool>("allChildren");
    QTest::addColumn<QStringList>("selected");
    QTest::addColumn<int>("answer"); // when none of the listed is selected
    QTest::addColumn<QStringList>("drawn");
    QTest::addColumn<QString>("lastChild");

    QTest::newRow("by surname, attending, none selected")
        << false << false << QStringList{} << int(Button::Yes) << QStringList{"Z1", "Z2", "M1"} << "M";
    QTest::newRow("by name, attending, none selected")
        << true << false << QStringList{} << int(Button::Yes) << QStringList{"M1", "Z1", "Z2"} << "Z";
    QTest::newRow("by surname, all children")
        << false << true << QStringList{} << int(Button::Yes) << QStringList{"Z1", "Z2", "M1", "A1"} << "A";
    QTest::newRow("by name, all children")
        << true << true << QStringList{} << int(Button::Yes) << QStringList{"A1", "M1", "Z1", "Z2"} << "Z";
    QTest::newRow("refused") << false << false << QStringList{} << int(Button::No) << QStringList{} << "M";
    QTest::newRow("selected across children")
        << false << true << QStringList{"M1", "Z2", "A1"} << 0 << QStringList{"Z2", "M1", "A1"} << "A";
    QTest::newRow("selected, by name")
        << true << false << QStringList{"Z2", "M1"} << 0 << QStringList{"M1", "Z2"} << "Z";
    QTest::newRow("only a hidden child selected")
        << false << false << QStringList{"A1"} << int(Button::Yes) << QStringList{"Z1", "Z2", "M1"} << "M";
}

void TestReports::comparison()
{
    QFETCH(bool, byName);
    QFETCH(bool, allChildren);
    QFETCH(QStringList, selected);
    QFETCH(int, answer);
    QFETCH(QStringList, drawn);
    QFETCH(QString, lastChild);
    Folder p({{"Nome", QStringLiteral("Arcobaleno")}, {"Indirizzo", QStringLiteral("Via Roma 1")},
              {"Citta", QStringLiteral("Milano")}, {"Provincia", QStringLiteral("MI")}});
    QMap<QString, int> child{{"Z", p.child("Zoe", "Alfieri")},
                             {"M", p.child("Marco", "Bassi")},
                             {"A", p.child("Anna", "Conti", {{"Frequenza", false}})}};
    const QMap<QString, QString> names{{"Z", "Zoe Alfieri"}, {"M", "Marco Bassi"}, {"A", "Anna Conti"}};
    const QMap<QString, QDate> dates{{"Z1", QDate(2026, 2, 1)}, {"Z2", QDate(2025, 10, 1)},
                                     {"M1", QDate(2026, 1, 10)}, {"A1", QDate(2025, 11, 3)}};
    const QMap<QString, double> firstArea{{"Z1", 1}, {"Z2", 2.5}, {"M1", 0}, {"A1", 7}};
    QMap<QString, int> ev;
    for (const QString k : {"Z1", "Z2", "M1", "A1"})
        ev[k] = p.evaluation(child[k.left(1)], dates[k], 20);
    p.phases(ev["Z1"], 0, {Phase::one(1)});
    p.phases(ev["Z2"], 0, {Phase::one(2), Phase::half(3)});
    p.phases(ev["A1"], 0, {Phase::one(7)});
    // Another nursery's child is never listed.
    const int elsewhere = p.add(QStringLiteral("AnagNido.db"), {{"Nome", QStringLiteral("Girasole")}});
    p.evaluation(p.add(QStringLiteral("AnagBimbi.DB"), {{"Id_Nido", elsewhere}, {"Nome", "Ugo"}, {"Cognome", "Bo"},
                                                        {"Frequenza", true}}),
                 QDate(2026, 1, 1), 20);
    ScriptedDialogs d;
    TFrm_Main w(p.path(), d);
    STEP(start(w, d));
    control<QRadioButton>(&w, "RadioButton2")->click(); // every child listed while marking
    for (const QString& k : selected)
        STEP(select(w, child[k.left(1)], {ev[k]}));
    if (!allChildren)
        control<QRadioButton>(&w, "Rb_Freq")->click();
    if (byName)
        control<QRadioButton>(&w, "RB_Nome")->click();
    VERIFY_DIALOGS(d);

    if (answer)
        d.expectMessage(BoxType::Confirmation, noneSelectedAll, Button(answer));
    if (!drawn.isEmpty())
        d.expectPrintSetup(true);
    control<QToolButton>(&w, "Btn_ConfrontoMultiplo")->click();
    VERIFY_DIALOGS(d);
    QCOMPARE(w.Data.Tbl_AnagBimbi.asInteger(QStringLiteral("Id")), child[lastChild]);
    verifyFollowsEvaluation(w);
    if (drawn.isEmpty()) {
        QVERIFY2(d.previews().isEmpty(), qPrintable(dialogsShown(d)));
        return;
    }
    QCOMPARE(d.previews().size(), 1);
    const print::Document& doc = d.previews().first();
    QCOMPARE(doc.title, QStringLiteral("Confronto tra i bambini"));
    QCOMPARE(headText(doc, "Qr_NomeNido"), QStringLiteral("Arcobaleno"));
    QCOMPARE(headText(doc, "Qr_Indirizzo"), QStringLiteral("Via Roma 1 -  - Milano - MI"));
    for (const char* absent : {"Qr_NomeBimbo", "Qr_DataValutazione", "Qr_EtaInMesi", "Qr_Note", "Qr_Personale"})
        QVERIFY2(!doc.pages.first().text(absent), absent);
    QCOMPARE(headText(doc, "Qr_LegendaLarge"), areaNames.join('\n'));

    const print::Chart* chart = chartOf(doc);
    QVERIFY2(chart, qPrintable(noChart(doc)));
    QStringList titles;
    for (const QString& k : drawn)
        titles << QStringLiteral("Profilo di ") + names[k.left(1)] + QStringLiteral(" del ")
                + dates[k].toString("dd/MM/yy");
    QCOMPARE(titlesOf(*chart), titles);
    for (int n = 0; n < drawn.size(); ++n) {
        const print::ChartSeries& s = chart->allSeries()[n];
        QCOMPARE(s.color, fixedColours[n]);
        QCOMPARE(s.points.size(), 8);
        QCOMPARE(s.points.first().y, firstArea[drawn[n]]);
        QCOMPARE(s.points.last().label, QStringLiteral("GS"));
    }
    QStringList legend;
    for (const auto& e : chart->legendEntries())
        legend << e.text;
    QCOMPARE(legend, titles);
}

void TestReports::comparisonOfMoreThanHundred()
{
    Folder p;
    const int alfieri = p.child(QStringLiteral("Zoe"), QStringLiteral("Alfieri"));
    const int bassi = p.child(QStringLiteral("Marco"), QStringLiteral("Bassi"));
    for (int i = 0; i < 60; ++i)
        p.evaluation(alfieri, QDate(2020, 1, 1).addDays(i), 12);
    QList<int> ofBassi;
    for (int i = 0; i < 41; ++i)
        ofBassi << p.evaluation(bassi, QDate(2022, 1, 1).addDays(i), 12);
    p.phases(ofBassi[39], 7, {Phase::one(3)});
    ScriptedDialogs d;
    TFrm_Main w(p.path(), d);
    STEP(start(w, d));

    d.expectMessage(BoxType::Confirmation, noneSelectedAll, Button::Yes);
    d.expectMessage(BoxType::Information, QRegularExpression(QStringLiteral("\\b101\\b.*\\bprimi 100\\b")));
    d.expectPrintSetup(true);
    control<QToolButton>(&w, "Btn_ConfrontoMultiplo")->click();
    VERIFY_DIALOGS(d);
    QCOMPARE(w.Data.Tbl_AnagBimbi.asInteger(QStringLiteral("Id")), bassi);
    verifyFollowsEvaluation(w);
    QCOMPARE(d.previews().size(), 1);
    const print::Chart* chart = chartOf(d.previews().first());
    QVERIFY2(chart, qPrintable(noChart(d.previews().first())));
    QCOMPARE(chart->allSeries().size(), 100);
    // Numbering runs on from the first child to the second one's fortieth.
    QCOMPARE(chart->allSeries()[59].title, QStringLiteral("Profilo di Zoe Alfieri del 29/02/20"));
    QCOMPARE(chart->allSeries()[60].title, QStringLiteral("Profilo di Marco Bassi del 01/01/22"));
    const print::ChartSeries& last = chart->allSeries().last();
    QCOMPARE(last.name, QStringLiteral("Series100"));
    QCOMPARE(last.title, QStringLiteral("Profilo di Marco Bassi del 09/02/22"));
    QCOMPARE(last.points.last().y, 3.0);
}

// ---------------------------------------------------------------- file names

void TestReports::proposedFileNames_data()
{
    QTest::addColumn<QString>("print");
    QTest::addColumn<QStringList>("files"); // proposed for Giulia Bianchi, then for Luca Verdi/Neri

    QTest::newRow("sheet") << "sheet"
                           << QStringList{"Scheda di valutazione - Bianchi Giulia - 15-05-2026.pdf",
                                          "Scheda di valutazione - Verdi Neri Luca - 16-05-2026.pdf"};
    QTest::newRow("\"Non so\" summary") << "nonso"
                                       << QStringList{"Riepilogo Non so - Bianchi Giulia - 15-05-2026.pdf",
                                                      "Riepilogo Non so - Verdi Neri Luca - 16-05-2026.pdf"};
    QTest::newRow("profile chart") << "chart"
                                   << QStringList{"Profilo di sviluppo - Bianchi Giulia - 15-05-2026.pdf",
                                                  "Profilo di sviluppo - Verdi Neri Luca - 16-05-2026.pdf"};
    // Profiles over time and the comparison span evaluations: the day printed.
    QTest::newRow("profiles of the child") << "profiles"
                                           << QStringList{"Profili del bambino - Bianchi Giulia - 10-12-2026.pdf",
                                                          "Profili del bambino - Verdi Neri Luca - 10-12-2026.pdf"};
    QTest::newRow("comparison") << "comparison"
                                << QStringList{"Confronto tra i bambini - Nido Il Sole - 10-12-2026.pdf"};
}

// Printed into a file, every print proposes a name of its own: the print,
// whose it is and when, without the characters a file name cannot hold.
void TestReports::proposedFileNames()
{
    QFETCH(QString, print);
    QFETCH(QStringList, files);
    Folder p({{"Nome", QStringLiteral("Nido \"Il Sole\"")}, {"Citta", QStringLiteral("Milano")}});
    // Each child and the name the profiles' question calls it by.
    const QList<QPair<int, QString>> children = {
        {p.child(QStringLiteral("Giulia"), QStringLiteral("Bianchi")), QStringLiteral("Giulia Bianchi")},
        {p.child(QStringLiteral("Luca"), QStringLiteral("Verdi/Neri")), QStringLiteral("Luca Verdi/Neri")}};
    QList<int> evaluations;
    for (int i = 0; i < children.size(); ++i) {
        const int v = p.evaluation(children[i].first, QDate(2026, 5, 15 + i), 14);
        p.complete(v);
        p.phases(v, 2, {Phase::unknown(2, "-03")});
        evaluations << v;
    }
    ScriptedDialogs d;
    TFrm_Main w(p.path(), d);
    STEP(start(w, d));

    if (print == QLatin1String("comparison")) {
        d.expectMessage(BoxType::Confirmation, noneSelectedAll, Button::Yes);
        d.expectPrintSetup(false);
        control<QToolButton>(&w, "Btn_ConfrontoMultiplo")->click();
    }
    for (int i = 0; i < children.size() && print != QLatin1String("comparison"); ++i) {
        const int c = children[i].first;
        if (print == QLatin1String("sheet") || print == QLatin1String("chart")) {
            STEP(chooseEvaluation(w, c, evaluations[i]));
            d.expectPrintSetup(false);
            if (print == QLatin1String("sheet"))
                w.evaluationsScreen().SpeedButton10Click();
            else
                w.evaluationsScreen().SpeedButton8Click();
        } else if (print == QLatin1String("nonso")) {
            STEP(openSheet(w, d, c, evaluations[i]));
            d.expectMessage(BoxType::Confirmation, nonSoQuestion, Button::Yes);
            d.expectPrintSetup(false);
            w.evaluationSheet().SpeedButton7Click();
        } else {
            STEP(chooseChild(w, c));
            d.expectMessage(BoxType::Confirmation, noneSelectedOf(children[i].second), Button::Yes);
            d.expectPrintSetup(false);
            control<QToolButton>(&w, "Btn_ConfrontoSingolo")->click();
        }
        VERIFY_DIALOGS(d);
    }
    VERIFY_DIALOGS(d);
    QStringList proposed;
    for (const ScriptedDialogs::Shown& s : d.shown())
        if (s.kind == ScriptedDialogs::Shown::PrintSetup)
            proposed << s.file;
    QCOMPARE(proposed, files);
}

QTEST_MAIN(TestReports)
#include "test_reports.moc"
