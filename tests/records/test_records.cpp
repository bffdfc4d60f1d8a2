// The evaluation records on a real data folder: phases in, area totals and
// the next-phase proposal out, read through the records' own cursors.

#include "records.h"
#include "storefixture.h"

#include <QTest>

using namespace velmora;
using storetest::Folder;

namespace {

using Stop = records::PropostaFase::Stop;

constexpr int Evaluation = 1;
constexpr int Area = 2;

// A phase as "NumFase/Si/No/AVolte/NonSo", empty lists left out at the end.
void addPhase(store::Table& fasi, int evaluation, int area, const QString& phase)
{
    const QStringList p = phase.split(QLatin1Char('/'));
    storetest::addRow(fasi, {{"Id_Valutazione", evaluation},
                             {"Id_Area", area},
                             {"NumFase", p.value(0).toInt()},
                             {"Si", p.value(1)},
                             {"No", p.value(2)},
                             {"AVolte", p.value(3)},
                             {"NonSo", p.value(4)}});
}

// The folder with `phases` in evaluation 1, area 2, and phases of another
// evaluation and another area beside them, which no answer may count.
struct Scene
{
    Folder folder;
    std::unique_ptr<store::Table> fasi = folder.table(QStringLiteral("FasiVal.db"));
    std::unique_ptr<store::Table> aree = folder.table(QStringLiteral("Aree.db"));

    explicit Scene(const QStringList& phases)
    {
        fasi->setIndexName(QStringLiteral("NumeroFase"));
        fasi->open();
        addPhase(*fasi, Evaluation + 1, Area, QStringLiteral("1/-01-02-03"));
        addPhase(*fasi, Evaluation, Area + 1, QStringLiteral("9/-01"));
        for (const QString& p : phases)
            addPhase(*fasi, Evaluation, Area, p);
        addPhase(*fasi, Evaluation + 1, Area, QStringLiteral("2//-01"));
        fasi->close();
    }

    // `fasi` as the sheet holds it: the phases of the evaluation's area.
    void showArea()
    {
        fasi->setFilter(records::filtroFasi(QString::number(Evaluation), QString::number(Area)));
        fasi->setFiltered(true);
        fasi->open();
    }
};

} // namespace

class TestRecords : public QObject
{
    Q_OBJECT

private slots:
    // The server run (test_records_server) skips where it cannot run.
    void initTestCase() { STORETEST_REQUIRE_ENGINE(); }
    void filters_data();
    void filters();
    void totals_data();
    void totals();
    void totalsOfEveryArea();
    void proposal_data();
    void proposal();
};

void TestRecords::filters_data()
{
    QTest::addColumn<QString>("evaluation");
    QTest::addColumn<QString>("area");
    QTest::addColumn<bool>("nonSo");
    QTest::addColumn<QString>("expected");
    QTest::newRow("both") << "4" << "7" << false << "(Id_Valutazione=4) and (Id_Area=7)";
    QTest::newRow("both, Non so") << "4" << "7" << true << "(nonso<>'') and (Id_Valutazione=4) and (Id_Area=7)";
    QTest::newRow("evaluation only") << "4" << "" << false << "Id_Valutazione=4";
    QTest::newRow("evaluation only, Non so") << "4" << "" << true << "(nonso<>'') and (Id_Valutazione=4)";
    QTest::newRow("area only") << "" << "7" << false << "Id_Area=7";
    QTest::newRow("neither: no filter") << "" << "" << true << "";
}

void TestRecords::filters()
{
    QFETCH(QString, evaluation);
    QFETCH(QString, area);
    QFETCH(bool, nonSo);
    QFETCH(QString, expected);
    QCOMPARE(records::filtroFasi(evaluation, area, nonSo), expected);
}

void TestRecords::totals_data()
{
    QTest::addColumn<QStringList>("phases");
    QTest::addColumn<double>("total");
    // Each missing phase below the highest counts whole; each phase by its score.
    QTest::newRow("no phase") << QStringList{} << 0.0;
    QTest::newRow("one phase, every answer yes") << QStringList{"1/-01-02"} << 1.0;
    QTest::newRow("phase 3 alone: 1 and 2 count whole") << QStringList{"3/-01-02/-03"} << 2.66;
    QTest::newRow("the second phase scores 0") << QStringList{"1/-01", "2//-01"} << 1.0;
    QTest::newRow("sometimes counts half") << QStringList{"1/-01/-02/-03"} << 0.5;
    QTest::newRow("Non so counts nothing") << QStringList{"1////-01"} << 0.0;
    // Fed from the highest phase down: 4 brings 1, 2, 3 whole and its 1;
    // stepping down to 1 takes the three back and adds its 0.5.
    QTest::newRow("gap between phases, stored out of order")
        << QStringList{"4/-01", "1/-01/-02"} << 1.5;
}

void TestRecords::totals()
{
    QFETCH(QStringList, phases);
    QFETCH(double, total);
    Scene s(phases);
    QCOMPARE(records::totaleArea(*s.fasi, Evaluation, Area), total);

    // What the sheet shows, counted from its rows or from the file, gives
    // the same; the sheet's cursor and filter stay where they were.
    s.showArea();
    s.fasi->last();
    const QString filter = s.fasi->filter();
    const int row = s.fasi->recNo();
    store::Table copy;
    QCOMPARE(records::totaleSelezione(copy, *s.fasi, store::Table::CopyRows::Shown), total);
    QCOMPARE(records::totaleSelezione(copy, *s.fasi, store::Table::CopyRows::Read), total);
    QCOMPARE(records::totaleFiltro(*s.fasi, QStringLiteral("Id_Valutazione=%1 and Id_Area=%2").arg(Evaluation).arg(Area)),
             total);
    QCOMPARE(s.fasi->filter(), filter);
    QCOMPARE(s.fasi->recNo(), row);
    QVERIFY(!copy.isOpen());
}

void TestRecords::totalsOfEveryArea()
{
    Scene s({"1/-01", "2/-01/-02"});
    s.aree->open();
    const int areas = s.aree->recordCount();
    QVERIFY(areas > Area);
    s.aree->last(); // the areas' own cursor is not the one walked

    QVector<records::TotaleArea> totals = records::totaliAree(*s.aree, *s.fasi, Evaluation);
    QCOMPARE(totals.size(), areas);
    QCOMPARE(s.aree->recNo(), areas - 1);
    s.aree->first();
    QCOMPARE(totals[0].id, s.aree->asInteger(QStringLiteral("Id")));
    QCOMPARE(totals[0].breve, s.aree->asString(QStringLiteral("AreaBreve")));
    QCOMPARE(totals[0].nome, s.aree->asString(QStringLiteral("Area")));
    QCOMPARE(totals[0].fasi, 0);
    QCOMPARE(totals[0].totale, 0.0);
    QCOMPARE(totals[Area - 1].fasi, 2);
    QCOMPARE(totals[Area - 1].totale, 1.5);
    QCOMPARE(totals[Area].fasi, 1);
    QCOMPARE(totals[Area].totale, 9.0); // phase 9 all yes: 8 whole and 1
    QVERIFY(!records::completa(totals));

    // A phase in every area makes the evaluation complete.
    s.fasi->open();
    for (const records::TotaleArea& a : totals)
        if (a.fasi == 0)
            addPhase(*s.fasi, Evaluation, a.id, QStringLiteral("1//-01"));
    s.fasi->close();
    totals = records::totaliAree(*s.aree, *s.fasi, Evaluation);
    QVERIFY(records::completa(totals));
    QVERIFY(records::completa({}));
}

void TestRecords::proposal_data()
{
    QTest::addColumn<QStringList>("phases");
    QTest::addColumn<QVariant>("months");
    QTest::addColumn<int>("stop");
    QTest::addColumn<int>("number");
    const QVariant none;
    // An area without phases: the expected development less one.
    QTest::newRow("empty area, 12 months: 4,00 - 1") << QStringList{} << QVariant(12) << int(Stop::Nessuno) << 3;
    QTest::newRow("empty area, 9 months: 3,00 - 1") << QStringList{} << QVariant(9) << int(Stop::Nessuno) << 2;
    QTest::newRow("empty area, 6 months: 2,00 - 1") << QStringList{} << QVariant(6) << int(Stop::Nessuno) << 1;
    QTest::newRow("empty area, no age: 1") << QStringList{} << none << int(Stop::Nessuno) << 1;
    QTest::newRow("empty area, 100 months: 18 is past 14, 1") << QStringList{} << QVariant(100) << int(Stop::Nessuno) << 1;
    // After the highest phase, the next one.
    QTest::newRow("after 1 and 2") << QStringList{"1/-01", "2/-01/-02"} << QVariant(12) << int(Stop::Nessuno) << 3;
    QTest::newRow("after 5 alone") << QStringList{"5/-01"} << none << int(Stop::Nessuno) << 6;
    QTest::newRow("after 13: the fourteenth") << QStringList{"13/-01"} << none << int(Stop::Nessuno) << 14;
    QTest::newRow("only Non so is not zero-scored") << QStringList{"1////-01"} << none << int(Stop::Nessuno) << 2;
    // The two stops.
    QTest::newRow("fourteen phases") << QStringList{"14/-01"} << none << int(Stop::Quattordici) << 0;
    QTest::newRow("last phase scored 0") << QStringList{"1/-01", "2//-01"} << none << int(Stop::FasePrecedente0) << 0;
    QTest::newRow("an unanswered phase scored 0") << QStringList{"1"} << QVariant(12) << int(Stop::FasePrecedente0) << 0;
    QTest::newRow("phase 14 scored 0: the zero stop first")
        << QStringList{"14//-01"} << none << int(Stop::FasePrecedente0) << 0;
    // The last phase in phase order decides, not the one stored last.
    QTest::newRow("zero-scored phase before a later one")
        << QStringList{"2/-01", "1//-01"} << none << int(Stop::Nessuno) << 3;
}

void TestRecords::proposal()
{
    QFETCH(QStringList, phases);
    QFETCH(QVariant, months);
    QFETCH(int, stop);
    QFETCH(int, number);
    Scene s(phases);
    const records::PropostaFase expected{Stop(stop), number};
    QCOMPARE(records::propostaFase(*s.fasi, Evaluation, Area, months), expected);
    // Over what the sheet shows, the same; its cursor stays.
    s.showArea();
    s.fasi->first();
    QCOMPARE(records::propostaFase(*s.fasi, months), expected);
    QCOMPARE(s.fasi->recNo(), s.fasi->isEmpty() ? -1 : 0);
}

QTEST_GUILESS_MAIN(TestRecords)
#include "test_records.moc"
