// velmora-bench: times the table layer against plain SQL on the same files.
//
//   velmora-bench                              generates a large and a small
//                                              folder in a temporary folder
//   velmora-bench <large-folder> [<small-folder>]
//   velmora-bench --reports <folder>           only the prints
//   velmora-bench --sizes 10k,1m,10m [--folder 10m=<path>]
//                                              every figure at each size, side
//                                              by side with its ratio to the first
//   velmora-bench --server "<line>" [<large-folder> [<small-folder>]]
//                                              the whole run, then the same
//                                              figures on a PostgreSQL server,
//                                              the two engines side by side with
//                                              the statements each action sends
//
// The large folder (about 1,000,000 phase rows) is used for the timings, the
// small one (about 10,000 phase rows) only for the memory comparison. Folders
// given on the command line are written to (answers and selection marks
// change); generated ones are removed at the end.
//
// Each figure is the median of many repetitions of one user action through
// the table layer, next to the median of the same work done with prepared
// QSqlQuery statements on separate connections to the same files (same
// driver, same SQLite, same durability settings). The direct side is what the
// layer costs at least; the ratio is what the layer adds on top.
//
// The sheet figures (answer_click, phase_move, area_change) drive the real
// main window on the offscreen platform: log in, open an existing evaluation
// on the sheet, then click item answers, move along the phases and choose
// other areas. Each is timed up to the moment the event queue is empty again
// (repaints included). Their "direct" side is the table-layer work alone
// underneath the action, on tables of their own with no widgets attached.
//
// Peak memory is read from a fresh child process per folder running the same
// workload through the layer (the bench binary re-executed with a hidden
// argument), so that the two figures do not share anything.
//
// Always exits 0 once it has measured: this is a measurement, the "bench
// check" lines say how it compares with the targets. A command line it
// cannot use (an unknown option, a third folder) exits 2 before anything is
// laid or measured; --help prints the usage.
//
// The pieces: bench_common (settings, output, timing, memory reading, command
// line), bench_table (the layer and direct SQL sides, the table figures and
// the memory workload), bench_sheet (the real window and the sheet figures),
// bench_reports (the prints) and bench_run (the whole run).

#include "bench_common.h"
#include "bench_reports.h"
#include "bench_table.h"

#include <QApplication>
#include <QCoreApplication>

#include <algorithm>
#include <memory>

using namespace bench;

int main(int argc, char** argv)
{
    // The memory workload needs no screen; the timings drive the real window
    // on the offscreen platform unless another one is asked for.
    const bool workload = argc > 1 && QLatin1String(argv[1]) == QLatin1String(workloadArg);
    if (!workload && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    std::unique_ptr<QCoreApplication> app = workload ? std::make_unique<QCoreApplication>(argc, argv)
                                                     : std::make_unique<QApplication>(argc, argv);
    const QStringList args = app->arguments().mid(1);
    if (workload) {
        if (args.size() != 5)
            return 2;
        FolderFacts f;
        f.evaluations = std::max(1, args[2].toInt());
        f.areas = std::max(1, args[3].toInt());
        f.nurseries = std::max(1, args[4].toInt());
        return runWorkload(args[1], f);
    }
    const Arguments given = parseArguments(app->arguments());
    if (given.exitStatus)
        return *given.exitStatus;
    if (given.reportsOnly) {
        // Only the prints, on a folder laid before (it gains an evaluation
        // and selection marks).
        std::vector<std::pair<QString, bool>> checks;
        benchReports(given.reportsFolder, checks);
        for (const auto& [name, ok] : checks)
            check(name, ok, QStringLiteral("limit_us=%1").arg(num(reportReadyLimitUs, 0)));
        return 0;
    }
    if (!given.sizes.isEmpty())
        return runSizes(given);
    return runBench(given.folders, given.serverLine);
}
