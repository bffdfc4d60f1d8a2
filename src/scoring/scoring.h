#pragma once

// Scoring rules of the evaluation sheet.
//
// Each phase of an area has eleven items (1..11). The answer given to each
// item is stored as four text lists, one per answer that is recorded ("Si",
// "No", "A volte", "Non so"); "Non esiste" is the absence from all of them.
// A list is the concatenation of "-NN" for its items in ascending order, e.g.
// items 1, 3 and 10 answered "Si" give "-01-03-10". Whether an item is in a
// list is always decided by looking for its two-digit code as a substring:
// the same test the stored data has always been read with.
//
// Everything here is plain computation: no database, no widgets.

#include <QString>
#include <QVariant>

#include <array>
#include <cstdint>
#include <vector>

namespace velmora::scoring {

inline constexpr int FirstItem = 1;
inline constexpr int LastItem = 11;
inline constexpr int ItemCount = 11;

// The five answers of an item, in the order they appear on the sheet.
enum class Answer : int {
    Si = 0,
    No = 1,
    AVolte = 2,
    NonSo = 3,
    NonEsiste = 4,
};

inline constexpr int AnswerCount = 5;

// Text shown for an answer ("Si", "No", "A volte", "Non so", "Non esiste").
QString answerLabel(Answer answer);

// Two-digit code of an item: 1 -> "01", 10 -> "10".
QString itemCode(int item);

// True when the list records the item, i.e. holds its two-digit code.
bool contains(const QString &list, int item);

// The four stored lists of one phase.
struct AnswerLists {
    QString si;
    QString no;
    QString aVolte;
    QString nonSo;

    friend bool operator==(const AnswerLists &, const AnswerLists &) = default;
};

// Answers of items 1..11, index 0 holding item 1.
using AnswerArray = std::array<Answer, ItemCount>;

// The answer recorded for an item: the first list holding it, looked up in
// the order Si, No, A volte, Non so; "Non esiste" when none does.
Answer answerOf(const AnswerLists &lists, int item);

// Answers of all eleven items as read from the lists.
AnswerArray answersOf(const AnswerLists &lists);

// The four lists recording the given answers.
AnswerLists buildLists(const AnswerArray &answers);

// Gives one item a new answer: the item leaves every list and, unless the
// answer is "Non esiste", joins the list of its answer. The lists stay in
// ascending item order. Items outside 1..11 leave the lists unchanged.
void setAnswer(AnswerLists &lists, int item, Answer answer);

// Same as above, returning the updated lists.
AnswerLists withAnswer(AnswerLists lists, int item, Answer answer);

// How many items 1..11 each list records.
struct AnswerCounts {
    int si = 0;      // S
    int no = 0;      // N
    int aVolte = 0;  // V
    int nonSo = 0;   // U

    friend bool operator==(const AnswerCounts &, const AnswerCounts &) = default;
};

AnswerCounts countAnswers(const AnswerLists &lists);

// Score of a phase: a = S + V/2 over n = S + N + V, truncated to hundredths;
// 0 when nothing counts. "Non so" and "Non esiste" do not enter.
double phaseScore(const AnswerCounts &counts);
double phaseScore(const AnswerLists &lists);

// Same score in whole hundredths (0..100), exact.
int phaseScoreHundredths(const AnswerCounts &counts);

// A phase is "zero-scored" when its test gave nothing at all: with
// c = S + U/100 + V/2, when c is 0 or S + N + V is below the whole part of c.
// A phase answered only "Non so" scores 0 but is not zero-scored.
bool isZeroScored(const AnswerCounts &counts);
bool isZeroScored(const AnswerLists &lists);

// One phase of an area as it enters the area total.
struct PhaseResult {
    int numFase = 0;
    double score = 0.0;
};

// Total of an area, fed one phase at a time from the highest phase number
// to the lowest. Each gap between a phase number and the one before it
// (starting from 1) is added as whole phases, then the phase score.
class AreaTotal
{
public:
    void add(int numFase, double score);
    void add(const PhaseResult &phase) { add(phase.numFase, phase.score); }

    double total() const;
    qint64 totalHundredths() const { return m_hundredths; }

    void reset();

private:
    qint64 m_hundredths = 0;
    int m_previous = 1;
};

// Area total of phases already ordered from the highest phase number down.
double areaTotal(const std::vector<PhaseResult> &phases);

// Divisor of the theoretical development for an age in months, in
// hundredths (300 means 3.00).
int sviluppoDivisorHundredths(int months);

// Theoretical development for an age in months: 100 * months / divisor,
// truncated toward zero to hundredths.
double CalcolaSviluppoTeorico(int months);

// Same, for an age as stored or typed: empty, or not a whole number, counts
// as 0 months.
double CalcolaSviluppoTeorico(const QVariant &months);

// Age in months read from a stored or typed value; 0 when empty or not a
// whole number.
int monthsFromVariant(const QVariant &months);

} // namespace velmora::scoring
