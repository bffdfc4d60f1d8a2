#pragma once
// What every benchmark of velmora-bench shares: the settings, the output and
// its "bench check" lines, which evaluation, area and item a repetition works
// on, the two table helpers, the timing and its medians, the memory reading
// and the command line.

#include "datafolder.h"
#include "errors.h"
#include "scoring.h"
#include "table.h"

#include <QElapsedTimer>
#include <QMap>
#include <QString>
#include <QStringList>
#include <QTextStream>

#include <memory>
#include <optional>
#include <vector>

namespace bench {

using velmora::store::DataFolder;
using velmora::store::DbError;
using velmora::store::Table;
namespace scoring = velmora::scoring;

// ------------------------------------------------------------------ settings

constexpr int areaSelectReps = 500;
constexpr int answerPostReps = 200;
constexpr int childFollowReps = 500;
constexpr int clearSelReps = 40;
constexpr int answerClickReps = 200;
constexpr int phaseMoveReps = 500;
constexpr int areaChangeReps = 300;
constexpr int loginReps = 9;
constexpr int openSheetReps = 9;
constexpr int startupReps = 5;
constexpr int warmupReps = 5;
// The memory workload repeats the same loops, fewer times for the posts.
constexpr int memoryAnswerPostReps = 50;

constexpr qint64 largePhaseRows = 1000000;
constexpr qint64 smallPhaseRows = 10000;

constexpr double ratioLimit = 3.0;
constexpr double memoryRatioLimit = 1.2;
constexpr double medianLimitUs = 16000.0;
constexpr double clearSelLimitUs = 100000.0;
constexpr double loginLimitUs = 100000.0;
// A post made while the day's copy is written waits at most a slice of it.
constexpr double postDuringCopyLimitUs = 250000.0;
constexpr double startupLimitUs = 2000000.0; // a desktop program shows its first panel within two seconds
// With --sizes: every interactive figure of the largest folder within this
// factor of the smallest's, area_select within this factor of direct SQL,
// and peak memory within this factor of the smallest's.
constexpr double scaleLimit = 1.2;
constexpr double scaleOverEngineLimit = 1.1; // the layer's growth over plain SQLite's on the same work
constexpr double areaSelectDirectLimit = 1.5;
constexpr double scaleMemoryLimit = 1.1;
// Evaluations a clear_sel repetition marks first: what a person marks for a
// comparison print, whatever the size of the folder.
constexpr int marksPerClear = 20;

const char* const workloadArg = "--memory-workload";

// ------------------------------------------------------------------ output

QTextStream& out();
void say(const QString& line);
// One "bench check <name> ok|FAIL <detail>" line.
void check(const QString& name, bool ok, const QString& detail);

// ------------------------------------------------------------------ repetitions

// What the workloads need to know of a folder to pick evaluations, areas and
// nurseries that exist.
struct FolderFacts
{
    int evaluations = 0;
    int areas = 0;
    int nurseries = 0;
    qint64 phases = 0;
};

// Which evaluation, area, phase and item repetition `rep` works on. Both sides
// of a figure run the same sequence.
int evaluationFor(int rep, const FolderFacts& f);
int areaFor(int rep, const FolderFacts& f);
int itemFor(int rep);
int nurseryFor(const FolderFacts& f);

QString phaseFilter(int v, int a);

scoring::Answer nextAnswer(scoring::Answer a);

// ------------------------------------------------------------------ the layer

void filterTo(Table& t, const QString& text);
scoring::AnswerLists listsOf(const Table& t);

// ------------------------------------------------------------------ timing

// Times one action and counts the statements the table layer sent for it
// (each a round trip on a server).
class Stopwatch
{
public:
    void start()
    {
        m_statements = velmora::store::statementsSent();
        m_t.start();
    }
    double us() const { return m_t.nsecsElapsed() / 1000.0; }
    double sent() const { return double(velmora::store::statementsSent() - m_statements); }

private:
    QElapsedTimer m_t;
    qint64 m_statements = 0;
};

double median(std::vector<double> v);
double percentile(std::vector<double> v, double p);

struct Figure
{
    explicit Figure(const QString& n, double limit = medianLimitUs) : name(n), limitUs(limit) {}
    QString name;
    double limitUs;
    std::vector<double> layer;
    std::vector<double> direct;
    std::vector<double> sent; // statements the layer sent, per repetition of `layer`
    double layerMedian() const { return median(layer); }
    double sentMedian() const { return median(sent); }
    double directMedian() const { return median(direct); }
    double ratio() const { return directMedian() > 0 ? layerMedian() / directMedian() : 0.0; }
};

QString num(double v, int decimals = 1);

void printFigure(const Figure& f);

// ------------------------------------------------------------------ engines

// The data folder at `path`: its SQLite files, or the server its server.conf
// names (a folder of the server run holds only that file).
std::unique_ptr<DataFolder> openFolder(const QString& path);

// ------------------------------------------------------------------ memory

// The peak resident memory of this process (VmHWM), in kB; -1 when unknown.
qint64 peakRssKb();

// ------------------------------------------------------------------ command line

// What the command line asks for, once it has been read.
struct Arguments
{
    std::optional<int> exitStatus; // end at once with this status (help, version, a wrong command line)
    bool reportsOnly = false;      // --reports <folder>: only the prints, on reportsFolder
    QString reportsFolder;
    QStringList folders;           // otherwise the whole run: [<large-folder> [<small-folder>]]
    // --sizes 10k,1m,10m: the whole run at each number of phase rows, the
    // figures side by side; --folder 10m=<path> uses a folder laid before
    // for one of them (it is written to).
    QList<qint64> sizes;
    QStringList sizeLabels;
    QMap<QString, QString> sizeFolders;
    // --server <line>: after the SQLite run, the same figures again on the
    // tables of that server (a schema of their own, dropped at the end).
    QString serverLine;
};

// "10k", "1m", "10m" or a plain number of phase rows; 0 when unreadable.
qint64 parseSize(const QString& text);

// Reads the application's arguments (all but the hidden memory workload one,
// which main() handles before the application exists).
Arguments parseArguments(const QStringList& arguments);

// ------------------------------------------------------------------ the whole run

// Every figure on a large folder and the memory comparison with a small one,
// laying whichever of the two `args` does not name (bench_run.cpp).
int runBench(const QStringList& args, const QString& serverLine = QString());
// The whole run at each size (--sizes), each figure side by side with its
// ratio to the first size's.
int runSizes(const Arguments& given);

} // namespace bench
