#pragma once
// Benchmark data: a new data folder, laid by the installer and filled with a
// large, plausible and always identical set of nurseries, children,
// evaluations and answers.

#include <QString>

#include <functional>
#include <QtGlobal>

namespace velmora::gendata {

// How much goes into each table. The phase rows are
// evaluations x areas x phasesPerArea.
struct Shape
{
    int nurseries = 20;
    int childrenPerNursery = 100;
    int educatorsPerNursery = 4;   // the first of each nursery is its Responsabile
    int evaluations = 20000;       // spread evenly over the children
    int areas = 10;                // the installed areas plus the ones added here
    int phasesPerArea = 5;         // consecutive phase numbers from a random start
    int staffPerEvaluation = 2;

    int children() const { return nurseries * childrenPerNursery; }
    qint64 phaseRows() const { return qint64(evaluations) * areas * phasesPerArea; }
};

// Evaluations each child gets in a shape made for a number of phase rows.
inline constexpr int evaluationsPerChild = 10;

// The default shape with as many evaluations as it takes to hold about
// `phaseRows` phase rows (at least one evaluation). A larger folder is a
// nursery service with more years and schools, not children observed more
// often: the children grow with the evaluations (evaluationsPerChild each)
// and the nurseries with the children (at most childrenPerNursery each), so
// one child's evaluations and one nursery's children are alike at every
// size. 1,000,000 phase rows give the default shape exactly.
Shape shapeForPhaseRows(qint64 phaseRows);

// What generate() reports while it works: the step in Italian, the rows
// written so far and the rows that step writes in all.
using Progress = std::function<void(const QString& step, qint64 done, qint64 total)>;

// The seed every folder is generated from: the same shape gives the same data.
inline constexpr quint64 defaultSeed = 0x56454c4d4f5241ull;

struct Report
{
    qint64 nurseries = 0;
    qint64 educators = 0;
    qint64 children = 0;
    qint64 evaluations = 0;
    qint64 staff = 0;
    qint64 areas = 0;
    qint64 phases = 0;
    qint64 milliseconds = 0;
};

// Lays a new data folder at `path` with the installer (an existing path is
// refused) and fills it. Returns an empty string on success, otherwise the
// reason; a folder that could not be filled is removed.
QString generate(const QString& path, const Shape& shape = Shape(), quint64 seed = defaultSeed,
                 Report* report = nullptr, const Progress& progress = {});

} // namespace velmora::gendata
