#include "numberformat.h"
#include "scoring.h"

#include <QLocale>
#include <QTest>
#include <QVariant>

#include <array>
#include <cmath>
#include <vector>

using namespace velmora::scoring;

namespace {

// A phase written as eleven letters, item 1 first:
// S = Si, N = No, V = A volte, U = Non so, '-' = Non esiste.
AnswerArray answersFrom(const QString &pattern)
{
    Q_ASSERT(pattern.size() == ItemCount);
    AnswerArray answers{};
    for (int i = 0; i < ItemCount; ++i) {
        switch (pattern.at(i).toLatin1()) {
        case 'S': answers[i] = Answer::Si; break;
        case 'N': answers[i] = Answer::No; break;
        case 'V': answers[i] = Answer::AVolte; break;
        case 'U': answers[i] = Answer::NonSo; break;
        default: answers[i] = Answer::NonEsiste; break;
        }
    }
    return answers;
}

QString patternFrom(const AnswerArray &answers)
{
    static const char letters[] = {'S', 'N', 'V', 'U', '-'};
    QString pattern;
    for (Answer a : answers)
        pattern += QLatin1Char(letters[int(a)]);
    return pattern;
}

// Doubles are compared digit for digit: QCOMPARE on doubles is fuzzy and
// would hide a total of 0.30000000000000004 where 0.3 is due.
QString exact(double v)
{
    return QString::number(v, 'g', 17);
}

} // namespace

class TestScoring : public QObject
{
    Q_OBJECT

private slots:
    void itemCode_data();
    void itemCode();
    void membership_data();
    void membership();
    void answerLookupOrder_data();
    void answerLookupOrder();
    void buildLists_data();
    void buildLists();
    void setAnswer_data();
    void setAnswer();
    void setAnswerRoundTrip_data();
    void setAnswerRoundTrip();
    void countsFromStoredLists_data();
    void countsFromStoredLists();
    void phaseScore_data();
    void phaseScore();
    void zeroScoredCounts_data();
    void zeroScoredCounts();
    void areaTotal_data();
    void areaTotal();
    void sviluppoTeorico_data();
    void sviluppoTeorico();
    void sviluppoTeoricoFromVariant_data();
    void sviluppoTeoricoFromVariant();
    void sviluppoTeoricoMatchesDoubleFormula_data();
    void sviluppoTeoricoMatchesDoubleFormula();
    void formatGeneral_data();
    void formatGeneral();
    void formatGeneralUsesDefaultLocale();
};

void TestScoring::itemCode_data()
{
    QTest::addColumn<int>("item");
    QTest::addColumn<QString>("code");

    // Codes are always two digits so that "-01" and "-10" never collide.
    QTest::newRow("1 padded") << 1 << "01";
    QTest::newRow("9 padded") << 9 << "09";
    QTest::newRow("10 as is") << 10 << "10";
    QTest::newRow("11 as is") << 11 << "11";
}

void TestScoring::itemCode()
{
    QFETCH(int, item);
    QFETCH(QString, code);
    QCOMPARE(velmora::scoring::itemCode(item), code);
}

void TestScoring::membership_data()
{
    QTest::addColumn<QString>("list");
    QTest::addColumn<int>("item");
    QTest::addColumn<bool>("expected");

    QTest::newRow("-10-11 has 10") << "-10-11" << 10 << true;
    QTest::newRow("-10-11 has 11") << "-10-11" << 11 << true;
    // "01" is not a substring of "-10-11": the dashes keep codes apart.
    QTest::newRow("-10-11 lacks 1") << "-10-11" << 1 << false;
    QTest::newRow("-01 lacks 10") << "-01" << 10 << false;
    QTest::newRow("-11 lacks 1") << "-11" << 1 << false;
    QTest::newRow("-01-03-10 has 1") << "-01-03-10" << 1 << true;
    QTest::newRow("-01-03-10 has 3") << "-01-03-10" << 3 << true;
    QTest::newRow("-01-03-10 lacks 2") << "-01-03-10" << 2 << false;
    QTest::newRow("empty list") << "" << 1 << false;
    // A single digit is not the item's code, so it does not count.
    QTest::newRow("malformed -1") << "-1" << 1 << false;
    // Membership is by substring, not parsing: order in the list is irrelevant.
    QTest::newRow("out of order") << "-07-02" << 2 << true;
}

void TestScoring::membership()
{
    QFETCH(QString, list);
    QFETCH(int, item);
    QFETCH(bool, expected);
    QCOMPARE(contains(list, item), expected);
}

void TestScoring::answerLookupOrder_data()
{
    QTest::addColumn<QString>("si");
    QTest::addColumn<QString>("no");
    QTest::addColumn<QString>("aVolte");
    QTest::addColumn<QString>("nonSo");
    QTest::addColumn<int>("expected");

    // An item found in more than one list takes the first in the order
    // Si, No, A volte, Non so.
    QTest::newRow("Si before No") << "-04" << "-04" << "" << "" << int(Answer::Si);
    QTest::newRow("No before A volte") << "" << "-04" << "-04" << "" << int(Answer::No);
    QTest::newRow("A volte before Non so") << "" << "" << "-04" << "-04" << int(Answer::AVolte);
    QTest::newRow("only Non so") << "" << "" << "" << "-04" << int(Answer::NonSo);
    QTest::newRow("in no list") << "-03-05" << "" << "" << "" << int(Answer::NonEsiste);
}

void TestScoring::answerLookupOrder()
{
    QFETCH(QString, si);
    QFETCH(QString, no);
    QFETCH(QString, aVolte);
    QFETCH(QString, nonSo);
    QFETCH(int, expected);
    const AnswerLists lists{si, no, aVolte, nonSo};
    QCOMPARE(int(answerOf(lists, 4)), expected);
}

void TestScoring::buildLists_data()
{
    QTest::addColumn<QString>("pattern");
    QTest::addColumn<QString>("si");
    QTest::addColumn<QString>("no");
    QTest::addColumn<QString>("aVolte");
    QTest::addColumn<QString>("nonSo");

    QTest::newRow("all Si") << "SSSSSSSSSSS"
                            << "-01-02-03-04-05-06-07-08-09-10-11" << "" << "" << "";
    QTest::newRow("1, 3, 10 Si") << "S-S------S-" << "-01-03-10" << "" << "" << "";
    // "Non esiste" is stored nowhere.
    QTest::newRow("all Non esiste") << "-----------" << "" << "" << "" << "";
    QTest::newRow("mixed") << "SNVU-SNVU-S"
                           << "-01-06-11" << "-02-07" << "-03-08" << "-04-09";
    QTest::newRow("all Non so") << "UUUUUUUUUUU"
                                << "" << "" << "" << "-01-02-03-04-05-06-07-08-09-10-11";
}

void TestScoring::buildLists()
{
    QFETCH(QString, pattern);
    QFETCH(QString, si);
    QFETCH(QString, no);
    QFETCH(QString, aVolte);
    QFETCH(QString, nonSo);

    const AnswerArray answers = answersFrom(pattern);
    const AnswerLists lists = velmora::scoring::buildLists(answers);
    QCOMPARE(lists.si, si);
    QCOMPARE(lists.no, no);
    QCOMPARE(lists.aVolte, aVolte);
    QCOMPARE(lists.nonSo, nonSo);
    // Reading the lists back gives the same answers.
    QCOMPARE(patternFrom(answersOf(lists)), pattern);
}

void TestScoring::setAnswer_data()
{
    QTest::addColumn<QString>("siBefore");
    QTest::addColumn<QString>("noBefore");
    QTest::addColumn<int>("item");
    QTest::addColumn<int>("answer");
    QTest::addColumn<QString>("si");
    QTest::addColumn<QString>("no");
    QTest::addColumn<QString>("nonSo");

    QTest::newRow("first answer") << "" << "" << 5 << int(Answer::Si) << "-05" << "" << "";
    // The new code goes between 01 and 10, not at the end.
    QTest::newRow("kept ascending") << "-01-10" << "" << 5 << int(Answer::Si)
                                    << "-01-05-10" << "" << "";
    QTest::newRow("before all") << "-03-10" << "" << 1 << int(Answer::Si)
                                << "-01-03-10" << "" << "";
    QTest::newRow("moves Si to No") << "-01-03-10" << "-02" << 3 << int(Answer::No)
                                    << "-01-10" << "-02-03" << "";
    QTest::newRow("to Non esiste") << "-01-03-10" << "-02" << 10 << int(Answer::NonEsiste)
                                   << "-01-03" << "-02" << "";
    QTest::newRow("same answer again") << "-01-03" << "" << 3 << int(Answer::Si)
                                       << "-01-03" << "" << "";
    // An item stored in two lists ends up in exactly one.
    QTest::newRow("cleans double entry") << "-04" << "-04" << 4 << int(Answer::NonSo)
                                         << "" << "" << "-04";
    QTest::newRow("item 11 to Non so") << "-11" << "" << 11 << int(Answer::NonSo)
                                       << "" << "" << "-11";
    QTest::newRow("item 0 ignored") << "-01" << "-02" << 0 << int(Answer::Si)
                                    << "-01" << "-02" << "";
    QTest::newRow("item 12 ignored") << "-01" << "-02" << 12 << int(Answer::No)
                                     << "-01" << "-02" << "";
}

void TestScoring::setAnswer()
{
    QFETCH(QString, siBefore);
    QFETCH(QString, noBefore);
    QFETCH(int, item);
    QFETCH(int, answer);
    QFETCH(QString, si);
    QFETCH(QString, no);
    QFETCH(QString, nonSo);

    AnswerLists lists{siBefore, noBefore, QString(), QString()};
    velmora::scoring::setAnswer(lists, item, Answer(answer));
    QCOMPARE(lists.si, si);
    QCOMPARE(lists.no, no);
    QCOMPARE(lists.aVolte, QString());
    QCOMPARE(lists.nonSo, nonSo);
}

void TestScoring::setAnswerRoundTrip_data()
{
    QTest::addColumn<int>("answer");
    for (int a = 0; a < AnswerCount; ++a)
        QTest::newRow(qPrintable(answerLabel(Answer(a)))) << a;
}

void TestScoring::setAnswerRoundTrip()
{
    // Clicking any item of a full sheet must give the same lists as building
    // them from scratch with that one answer changed.
    QFETCH(int, answer);
    const AnswerArray start = answersFrom(QStringLiteral("SNVU-SNVU-S"));
    for (int item = FirstItem; item <= LastItem; ++item) {
        AnswerLists lists = velmora::scoring::buildLists(start);
        velmora::scoring::setAnswer(lists, item, Answer(answer));

        AnswerArray expected = start;
        expected[item - 1] = Answer(answer);
        const AnswerLists rebuilt = velmora::scoring::buildLists(expected);
        QVERIFY2(lists == rebuilt, qPrintable(QStringLiteral("item %1").arg(item)));
        QCOMPARE(int(answerOf(lists, item)), answer);
    }
}

void TestScoring::countsFromStoredLists_data()
{
    QTest::addColumn<QString>("si");
    QTest::addColumn<QString>("no");
    QTest::addColumn<int>("s");
    QTest::addColumn<int>("n");

    QTest::newRow("ordinary") << "-01-03-10" << "-02" << 3 << 1;
    // Items are counted, not occurrences.
    QTest::newRow("repeated code") << "-05-05" << "" << 1 << 0;
    // Stored lists are read as they are: an item in both counts in both.
    QTest::newRow("item in two lists") << "-04" << "-04" << 1 << 1;
    QTest::newRow("unordered") << "-11-02-07" << "" << 3 << 0;
    QTest::newRow("junk") << "xyz" << "-1-2" << 0 << 0;
    QTest::newRow("full") << "-01-02-03-04-05-06-07-08-09-10-11" << "" << 11 << 0;
}

void TestScoring::countsFromStoredLists()
{
    QFETCH(QString, si);
    QFETCH(QString, no);
    QFETCH(int, s);
    QFETCH(int, n);
    const AnswerCounts counts = countAnswers(AnswerLists{si, no, QString(), QString()});
    QCOMPARE(counts.si, s);
    QCOMPARE(counts.no, n);
    QCOMPARE(counts.aVolte, 0);
    QCOMPARE(counts.nonSo, 0);
}

void TestScoring::phaseScore_data()
{
    QTest::addColumn<QString>("pattern");
    QTest::addColumn<int>("s");
    QTest::addColumn<int>("n");
    QTest::addColumn<int>("v");
    QTest::addColumn<int>("u");
    QTest::addColumn<double>("score");
    QTest::addColumn<bool>("zeroScored");

    // a = 3 + 1 = 4, n = 7: 57.14 -> 0.57.
    QTest::newRow("3 Si 2 No 2 A volte") << "SSSNNVV----" << 3 << 2 << 2 << 0 << 0.57 << false;
    // a = 2, n = 3: 66.67 is truncated, not rounded.
    QTest::newRow("1 Si 2 A volte") << "SVV--------" << 1 << 0 << 2 << 0 << 0.66 << false;
    QTest::newRow("2 Si 1 No") << "SSN--------" << 2 << 1 << 0 << 0 << 0.66 << false;
    // a = 1.5, n = 3: exactly 50, must not drop to 0.49.
    QTest::newRow("1 Si 1 No 1 A volte") << "SNV--------" << 1 << 1 << 1 << 0 << 0.5 << false;
    // a = 3.5, n = 10: exactly 35 (0.35 * 100 in doubles is 34.99...).
    QTest::newRow("3 Si 1 A volte 6 No") << "SSSVNNNNNN-" << 3 << 6 << 1 << 0 << 0.35 << false;
    // a = 5.5, n = 10: exactly 55.
    QTest::newRow("5 Si 1 A volte 4 No") << "SSSSSVNNNN-" << 5 << 4 << 1 << 0 << 0.55 << false;
    // a = 0.5, n = 10: exactly 5.
    QTest::newRow("1 A volte 9 No") << "VNNNNNNNNN-" << 0 << 9 << 1 << 0 << 0.05 << false;
    // a = 0.5, n = 1.
    QTest::newRow("single A volte") << "V----------" << 0 << 0 << 1 << 0 << 0.5 << false;
    QTest::newRow("all Si") << "SSSSSSSSSSS" << 11 << 0 << 0 << 0 << 1.0 << false;
    // a = 0: no score, and nothing positive was seen.
    QTest::newRow("all No") << "NNNNNNNNNNN" << 0 << 11 << 0 << 0 << 0.0 << true;
    // Non so does not enter the score: 5 / 5.
    QTest::newRow("5 Si 6 Non so") << "SSSSSUUUUUU" << 5 << 0 << 0 << 6 << 1.0 << false;
    // Scores 0, yet "Non so" means the test was not empty.
    QTest::newRow("all Non so") << "UUUUUUUUUUU" << 0 << 0 << 0 << 11 << 0.0 << false;
    QTest::newRow("1 Non so 10 No") << "UNNNNNNNNNN" << 0 << 10 << 0 << 1 << 0.0 << false;
    QTest::newRow("all Non esiste") << "-----------" << 0 << 0 << 0 << 0 << 0.0 << true;
    QTest::newRow("No and Non esiste") << "NN-N-NN----" << 0 << 5 << 0 << 0 << 0.0 << true;
    // a = 1, n = 11: 9.09 -> 0.09.
    QTest::newRow("1 Si 10 No") << "SNNNNNNNNNN" << 1 << 10 << 0 << 0 << 0.09 << false;
}

void TestScoring::phaseScore()
{
    QFETCH(QString, pattern);
    QFETCH(int, s);
    QFETCH(int, n);
    QFETCH(int, v);
    QFETCH(int, u);
    QFETCH(double, score);
    QFETCH(bool, zeroScored);

    const AnswerLists lists = velmora::scoring::buildLists(answersFrom(pattern));
    const AnswerCounts counts = countAnswers(lists);
    QCOMPARE(counts.si, s);
    QCOMPARE(counts.no, n);
    QCOMPARE(counts.aVolte, v);
    QCOMPARE(counts.nonSo, u);
    QCOMPARE(exact(velmora::scoring::phaseScore(lists)), exact(score));
    QCOMPARE(isZeroScored(lists), zeroScored);
}

void TestScoring::zeroScoredCounts_data()
{
    QTest::addColumn<int>("s");
    QTest::addColumn<int>("n");
    QTest::addColumn<int>("v");
    QTest::addColumn<int>("u");
    QTest::addColumn<bool>("expected");

    QTest::newRow("nothing") << 0 << 0 << 0 << 0 << true;
    QTest::newRow("only No") << 0 << 11 << 0 << 0 << true;
    // c = 0.01: not zero, trunc(c) = 0 and 0 < 0 is false.
    QTest::newRow("one Non so") << 0 << 0 << 0 << 1 << false;
    // c = 0.5 from a single A volte.
    QTest::newRow("one A volte") << 0 << 0 << 1 << 0 << false;
    QTest::newRow("one Si") << 1 << 0 << 0 << 0 << false;
    // Counts beyond eleven items only come from damaged data, but the rule
    // still holds: c = 0.99 keeps trunc(c) at 0 ...
    QTest::newRow("c just below 1") << 0 << 0 << 0 << 99 << false;
    // ... while c = 1 with nothing counted is below trunc(c).
    QTest::newRow("c exactly 1") << 0 << 0 << 0 << 100 << true;
    // c = 2.5, trunc 2, only one item counted.
    QTest::newRow("c 2.5 one counted") << 1 << 0 << 0 << 150 << true;
    // c = 1 from two A volte, two items counted.
    QTest::newRow("two A volte") << 0 << 0 << 2 << 0 << false;
}

void TestScoring::zeroScoredCounts()
{
    QFETCH(int, s);
    QFETCH(int, n);
    QFETCH(int, v);
    QFETCH(int, u);
    QFETCH(bool, expected);
    QCOMPARE(isZeroScored(AnswerCounts{s, n, v, u}), expected);
}

void TestScoring::areaTotal_data()
{
    QTest::addColumn<QList<int>>("numFase");
    QTest::addColumn<QList<double>>("scores");
    QTest::addColumn<double>("total");

    // Phases are given from the highest number down, as the area is walked.
    // 5: +4 +0; 4: -1 +0.5; 3: -1 +1.
    QTest::newRow("phases 5,4,3") << QList<int>{5, 4, 3} << QList<double>{0, 0.5, 1} << 3.5;
    QTest::newRow("phases 4..1 all 1") << QList<int>{4, 3, 2, 1} << QList<double>{1, 1, 1, 1} << 4.0;
    QTest::newRow("single phase 1") << QList<int>{1} << QList<double>{0.66} << 0.66;
    // A missing phase 4 between 5 and 3: 5: +4 +1; 3: -2 +1.
    QTest::newRow("phases 5 and 3") << QList<int>{5, 3} << QList<double>{1, 1} << 4.0;
    // The same number twice adds no gap the second time: +2 +0.5 +0.5.
    QTest::newRow("phase 3 twice") << QList<int>{3, 3} << QList<double>{0.5, 0.5} << 3.0;
    QTest::newRow("no phase") << QList<int>{} << QList<double>{} << 0.0;
    // Summed as doubles 0.1 + 0.2 would be 0.30000000000000004.
    QTest::newRow("exact hundredths") << QList<int>{2, 1} << QList<double>{0.1, 0.2} << 0.3;
    QTest::newRow("many small scores") << QList<int>{6, 5, 4, 3, 2, 1}
                                       << QList<double>{0.07, 0.66, 0.33, 0.57, 0.09, 0.01} << 1.73;
    // A single phase above 1 counts the phases below it as passed.
    QTest::newRow("single phase 4") << QList<int>{4} << QList<double>{0.66} << 3.66;
}

void TestScoring::areaTotal()
{
    QFETCH(QList<int>, numFase);
    QFETCH(QList<double>, scores);
    QFETCH(double, total);
    QCOMPARE(numFase.size(), scores.size());

    std::vector<PhaseResult> phases;
    AreaTotal accumulator;
    for (qsizetype i = 0; i < numFase.size(); ++i) {
        phases.push_back(PhaseResult{numFase.at(i), scores.at(i)});
        accumulator.add(numFase.at(i), scores.at(i));
    }
    QCOMPARE(exact(velmora::scoring::areaTotal(phases)), exact(total));
    QCOMPARE(exact(accumulator.total()), exact(total));

    // After a reset the accumulator starts over from phase 1.
    accumulator.reset();
    accumulator.add(1, 0.66);
    QCOMPARE(exact(accumulator.total()), exact(0.66));
}

void TestScoring::sviluppoTeorico_data()
{
    QTest::addColumn<int>("months");
    QTest::addColumn<double>("expected");

    QTest::newRow("0") << 0 << 0.0;
    // 100 / 3 = 33.33 -> 0.33.
    QTest::newRow("1") << 1 << 0.33;
    // 200 / 3 = 66.67, truncated.
    QTest::newRow("2") << 2 << 0.66;
    // Last month with divisor 3: 1200 / 3.
    QTest::newRow("12") << 12 << 4.0;
    // First month of the table: 1300 / 3.1 = 419.35.
    QTest::newRow("13") << 13 << 4.19;
    QTest::newRow("18") << 18 << 5.0;
    // 1900 / 3.67 = 517.7.
    QTest::newRow("19") << 19 << 5.17;
    QTest::newRow("24") << 24 << 6.0;
    QTest::newRow("30") << 30 << 7.0;
    QTest::newRow("36") << 36 << 8.0;
    QTest::newRow("48") << 48 << 10.0;
    QTest::newRow("60") << 60 << 12.0;
    // Last month of the table: 7200 / 5.14 = 1400.7.
    QTest::newRow("72") << 72 << 14.0;
    // Beyond the table the divisor stays 5.14: 7300 / 5.14 = 1420.2.
    QTest::newRow("73") << 73 << 14.2;
    QTest::newRow("100") << 100 << 19.45;
    // Negative ages use 5.14 and truncate toward zero: -58.37 -> -0.58.
    QTest::newRow("-3") << -3 << -0.58;
}

void TestScoring::sviluppoTeorico()
{
    QFETCH(int, months);
    QFETCH(double, expected);
    QCOMPARE(exact(CalcolaSviluppoTeorico(months)), exact(expected));
}

void TestScoring::sviluppoTeoricoFromVariant_data()
{
    QTest::addColumn<QVariant>("months");
    QTest::addColumn<double>("expected");

    QTest::newRow("no value") << QVariant() << 0.0;
    QTest::newRow("empty text") << QVariant(QString()) << 0.0;
    QTest::newRow("text 12") << QVariant(QStringLiteral("12")) << 4.0;
    QTest::newRow("text with spaces") << QVariant(QStringLiteral(" 19 ")) << 5.17;
    QTest::newRow("text -3") << QVariant(QStringLiteral("-3")) << -0.58;
    QTest::newRow("text 12.5") << QVariant(QStringLiteral("12.5")) << 0.0;
    QTest::newRow("text 12,5") << QVariant(QStringLiteral("12,5")) << 0.0;
    QTest::newRow("text not a number") << QVariant(QStringLiteral("dodici")) << 0.0;
    QTest::newRow("int 24") << QVariant(24) << 6.0;
    QTest::newRow("long long 36") << QVariant(qlonglong(36)) << 8.0;
    QTest::newRow("double 12.0") << QVariant(12.0) << 4.0;
    // QVariant::toInt() would round this to 13, which is not whole.
    QTest::newRow("double 12.5") << QVariant(12.5) << 0.0;
    QTest::newRow("text beyond int") << QVariant(QStringLiteral("99999999999")) << 0.0;
}

void TestScoring::sviluppoTeoricoFromVariant()
{
    QFETCH(QVariant, months);
    QFETCH(double, expected);
    QCOMPARE(exact(CalcolaSviluppoTeorico(months)), exact(expected));
}

void TestScoring::sviluppoTeoricoMatchesDoubleFormula_data()
{
    QTest::addColumn<int>("months");
    for (int m = -3; m <= 199; ++m)
        QTest::newRow(qPrintable(QString::number(m))) << m;
}

void TestScoring::sviluppoTeoricoMatchesDoubleFormula()
{
    // The same result worked out the naive way, with the divisors as written
    // on the growth chart: trunc(100 * m / d) / 100 in plain doubles. The
    // library computes in whole hundredths instead; over every age from -3 to
    // 199 months the two agree, so neither loses a hundredth anywhere in that
    // range. Any disagreement would be a fault of the naive form.
    static const double divisors13to72[] = {
        3.1,  3.2,  3.3,  3.4,  3.5,  3.6,  3.67, 3.74, 3.8,  3.87, 3.93, 4,
        4.05, 4.09, 4.14, 4.19, 4.23, 4.28, 4.32, 4.35, 4.39, 4.43, 4.46, 4.5,
        4.53, 4.55, 4.58, 4.61, 4.63, 4.66, 4.68, 4.71, 4.73, 4.75, 4.78, 4.8,
        4.82, 4.83, 4.85, 4.87, 4.88, 4.9,  4.92, 4.93, 4.95, 4.97, 4.98, 5,
        5.01, 5.02, 5.04, 5.05, 5.06, 5.07, 5.08, 5.09, 5.11, 5.12, 5.13, 5.14,
    };
    QFETCH(int, months);
    double d = 5.14;
    if (months >= 0 && months <= 12)
        d = 3;
    else if (months >= 13 && months <= 72)
        d = divisors13to72[months - 13];

    const double naive = std::trunc(100.0 * months / d) / 100;
    const double result = CalcolaSviluppoTeorico(months);
    QCOMPARE(exact(result), exact(naive));
    // And the result is a whole number of hundredths, stored as the nearest
    // double to that decimal.
    const double hundredths = std::round(result * 100);
    QCOMPARE(exact(result), exact(hundredths / 100));
}

void TestScoring::formatGeneral_data()
{
    QTest::addColumn<QLocale>("locale");
    QTest::addColumn<double>("value");
    QTest::addColumn<QString>("text");

    const QLocale it(QLocale::Italian, QLocale::Italy);
    const QLocale c = QLocale::c();

    QTest::newRow("it whole") << it << 4.0 << "4";
    QTest::newRow("it half") << it << 3.5 << "3,5";
    QTest::newRow("it hundredths") << it << 0.66 << "0,66";
    // Italian would group as 12.345,5; totals are shown ungrouped.
    QTest::newRow("it no grouping") << it << 12345.5 << "12345,5";
    QTest::newRow("it millions") << it << 1234567.25 << "1234567,25";
    QTest::newRow("it negative") << it << -0.58 << "-0,58";
    QTest::newRow("it 19,45") << it << 19.45 << "19,45";
    QTest::newRow("it zero") << it << 0.0 << "0";
    QTest::newRow("it negative zero") << it << -0.0 << "0";
    // 15 significant digits hide binary noise.
    QTest::newRow("it 0.1+0.2") << it << (0.1 + 0.2) << "0,3";
    QTest::newRow("it one third") << it << (1.0 / 3) << "0,333333333333333";
    QTest::newRow("it 15 digits") << it << 999999999999999.0 << "999999999999999";
    // 'g' alone would print 1E+15 here.
    QTest::newRow("it 1e15") << it << 1e15 << "1000000000000000";
    QTest::newRow("it 16 digits rounded") << it << 1234567890123456.0 << "1234567890123460";
    QTest::newRow("it rounds up to 1e15") << it << 999999999999999.9 << "1000000000000000";
    QTest::newRow("c half") << c << 3.5 << "3.5";
    QTest::newRow("c no grouping") << c << 12345.5 << "12345.5";
    QTest::newRow("c whole") << c << 4.0 << "4";
    QTest::newRow("c negative") << c << -0.58 << "-0.58";
    QTest::newRow("en no grouping") << QLocale(QLocale::English, QLocale::UnitedStates)
                                    << 1234567.5 << "1234567.5";
}

void TestScoring::formatGeneral()
{
    QFETCH(QLocale, locale);
    QFETCH(double, value);
    QFETCH(QString, text);
    QCOMPARE(velmora::formatGeneral(value, locale), text);
}

void TestScoring::formatGeneralUsesDefaultLocale()
{
    const QLocale saved;
    QLocale::setDefault(QLocale(QLocale::Italian, QLocale::Italy));
    const QString italian = velmora::formatGeneral(3.5);
    QLocale::setDefault(QLocale::c());
    const QString plain = velmora::formatGeneral(3.5);
    QLocale::setDefault(saved);

    QCOMPARE(italian, QStringLiteral("3,5"));
    QCOMPARE(plain, QStringLiteral("3.5"));
}

QTEST_APPLESS_MAIN(TestScoring)
#include "test_scoring.moc"
