#include "scoring.h"

#include <QMetaType>

#include <cmath>
#include <limits>

namespace velmora::scoring {

namespace {

bool isItem(int item)
{
    return item >= FirstItem && item <= LastItem;
}

// Storage order of the four recorded answers; also the lookup order.
QString &listFor(AnswerLists &lists, Answer answer)
{
    switch (answer) {
    case Answer::Si:
        return lists.si;
    case Answer::No:
        return lists.no;
    case Answer::AVolte:
        return lists.aVolte;
    case Answer::NonSo:
    case Answer::NonEsiste:
        break;
    }
    return lists.nonSo;
}

int countIn(const QString &list)
{
    int count = 0;
    for (int item = FirstItem; item <= LastItem; ++item) {
        if (contains(list, item))
            ++count;
    }
    return count;
}

// Divisors for 13..72 months, in hundredths: the growth curve slows down, so
// each month of age is worth a little more than the one before.
constexpr std::array<int, 60> kDivisors13to72 = {
    310, 320, 330, 340, 350, 360, 367, 374, 380, 387, 393, 400, // 13..24
    405, 409, 414, 419, 423, 428, 432, 435, 439, 443, 446, 450, // 25..36
    453, 455, 458, 461, 463, 466, 468, 471, 473, 475, 478, 480, // 37..48
    482, 483, 485, 487, 488, 490, 492, 493, 495, 497, 498, 500, // 49..60
    501, 502, 504, 505, 506, 507, 508, 509, 511, 512, 513, 514, // 61..72
};

constexpr int kDivisorUpTo12 = 300;
constexpr int kDivisorOutside = 514;

} // namespace

QString answerLabel(Answer answer)
{
    switch (answer) {
    case Answer::Si:
        return QStringLiteral("Si");
    case Answer::No:
        return QStringLiteral("No");
    case Answer::AVolte:
        return QStringLiteral("A volte");
    case Answer::NonSo:
        return QStringLiteral("Non so");
    case Answer::NonEsiste:
        break;
    }
    return QStringLiteral("Non esiste");
}

QString itemCode(int item)
{
    const QChar code[2] = {QChar(u'0' + (item / 10) % 10), QChar(u'0' + item % 10)};
    return QString(code, 2);
}

bool contains(const QString &list, int item)
{
    // Deliberately a substring test on the bare code: it is how stored lists
    // have always been read, and the "-" before every code keeps "-10-11"
    // from matching item 1.
    // Every phase load and score tests all eleven items of four lists, so the
    // code is built on the stack rather than as a new string.
    const char16_t code[2] = {char16_t(u'0' + (item / 10) % 10), char16_t(u'0' + item % 10)};
    return list.contains(QStringView(code, 2));
}

Answer answerOf(const AnswerLists &lists, int item)
{
    if (contains(lists.si, item))
        return Answer::Si;
    if (contains(lists.no, item))
        return Answer::No;
    if (contains(lists.aVolte, item))
        return Answer::AVolte;
    if (contains(lists.nonSo, item))
        return Answer::NonSo;
    return Answer::NonEsiste;
}

AnswerArray answersOf(const AnswerLists &lists)
{
    AnswerArray answers{};
    for (int item = FirstItem; item <= LastItem; ++item)
        answers[item - 1] = answerOf(lists, item);
    return answers;
}

AnswerLists buildLists(const AnswerArray &answers)
{
    AnswerLists lists;
    for (int item = FirstItem; item <= LastItem; ++item) {
        const Answer answer = answers[item - 1];
        if (answer == Answer::NonEsiste)
            continue;
        QString &list = listFor(lists, answer);
        list += QLatin1Char('-');
        list += itemCode(item);
    }
    return lists;
}

void setAnswer(AnswerLists &lists, int item, Answer answer)
{
    if (!isItem(item))
        return;

    // Each list is rewritten from what it records for items 1..11, with the
    // changed item in or out as its new answer says. Other items keep
    // exactly the lists they were in, and every list comes out in ascending
    // order.
    const auto rewrite = [item](const QString &list, bool holdsItem) {
        QString out;
        for (int i = FirstItem; i <= LastItem; ++i) {
            const bool in = (i == item) ? holdsItem : contains(list, i);
            if (in) {
                out += QLatin1Char('-');
                out += itemCode(i);
            }
        }
        return out;
    };

    lists.si = rewrite(lists.si, answer == Answer::Si);
    lists.no = rewrite(lists.no, answer == Answer::No);
    lists.aVolte = rewrite(lists.aVolte, answer == Answer::AVolte);
    lists.nonSo = rewrite(lists.nonSo, answer == Answer::NonSo);
}

AnswerLists withAnswer(AnswerLists lists, int item, Answer answer)
{
    setAnswer(lists, item, answer);
    return lists;
}

AnswerCounts countAnswers(const AnswerLists &lists)
{
    AnswerCounts counts;
    counts.si = countIn(lists.si);
    counts.no = countIn(lists.no);
    counts.aVolte = countIn(lists.aVolte);
    counts.nonSo = countIn(lists.nonSo);
    return counts;
}

int phaseScoreHundredths(const AnswerCounts &counts)
{
    // a = S + V/2 is a multiple of one half: work with 2a and 2n so that the
    // truncation to hundredths is exact (57.0 must stay 57, not 56.99...).
    const qint64 twiceA = 2 * qint64(counts.si) + counts.aVolte;
    const qint64 twiceN = 2 * (qint64(counts.si) + counts.no + counts.aVolte);
    if (twiceA == 0 || twiceN < twiceA)
        return 0;
    return int((100 * twiceA) / twiceN);
}

double phaseScore(const AnswerCounts &counts)
{
    return phaseScoreHundredths(counts) / 100.0;
}

double phaseScore(const AnswerLists &lists)
{
    return phaseScore(countAnswers(lists));
}

bool isZeroScored(const AnswerCounts &counts)
{
    // 100c = 100S + U + 50V, kept in integers so the comparison is exact.
    const qint64 hundredC = 100 * qint64(counts.si) + counts.nonSo + 50 * qint64(counts.aVolte);
    if (hundredC == 0)
        return true;
    const qint64 counted = qint64(counts.si) + counts.no + counts.aVolte;
    const qint64 wholeC = hundredC / 100; // trunc toward zero, as the rule says
    return counted < wholeC;
}

bool isZeroScored(const AnswerLists &lists)
{
    return isZeroScored(countAnswers(lists));
}

void AreaTotal::add(int numFase, double score)
{
    if (numFase != m_previous) {
        m_hundredths += 100 * (qint64(numFase) - m_previous);
        m_previous = numFase;
    }
    // Scores are multiples of 0.01: summing whole hundredths keeps the total
    // an exact decimal (3.5, 0.66, 4) instead of drifting in binary.
    m_hundredths += qRound64(score * 100.0);
}

double AreaTotal::total() const
{
    return m_hundredths / 100.0;
}

void AreaTotal::reset()
{
    m_hundredths = 0;
    m_previous = 1;
}

double areaTotal(const std::vector<PhaseResult> &phases)
{
    AreaTotal total;
    for (const PhaseResult &phase : phases)
        total.add(phase);
    return total.total();
}

int sviluppoDivisorHundredths(int months)
{
    if (months >= 0 && months <= 12)
        return kDivisorUpTo12;
    if (months >= 13 && months <= 72)
        return kDivisors13to72[std::size_t(months - 13)];
    return kDivisorOutside;
}

double CalcolaSviluppoTeorico(int months)
{
    // 100 * m / (D / 100) = 10000 * m / D with D in hundredths. Integer
    // division truncates toward zero, for negative ages as well.
    const qint64 hundredths = (10000 * qint64(months)) / sviluppoDivisorHundredths(months);
    return hundredths / 100.0;
}

int monthsFromVariant(const QVariant &months)
{
    if (!months.isValid() || months.isNull())
        return 0;

    switch (months.typeId()) {
    case QMetaType::Double:
    case QMetaType::Float: {
        // QVariant::toInt() would round 12.5 to 13; a fractional age is not
        // a whole number and counts as 0.
        const double value = months.toDouble();
        if (!std::isfinite(value) || value != std::trunc(value)
            || value < double(std::numeric_limits<int>::min())
            || value > double(std::numeric_limits<int>::max()))
            return 0;
        return int(value);
    }
    case QMetaType::QString:
    case QMetaType::QByteArray: {
        bool ok = false;
        const int value = months.toString().trimmed().toInt(&ok, 10);
        return ok ? value : 0;
    }
    default: {
        bool ok = false;
        const qlonglong value = months.toLongLong(&ok);
        if (!ok || value < std::numeric_limits<int>::min() || value > std::numeric_limits<int>::max())
            return 0;
        return int(value);
    }
    }
}

double CalcolaSviluppoTeorico(const QVariant &months)
{
    return CalcolaSviluppoTeorico(monthsFromVariant(months));
}

} // namespace velmora::scoring
