#pragma once
// The prints through the real main window (bench_reports.cpp).

#include <QString>

#include <utility>
#include <vector>

namespace bench {

constexpr double reportReadyLimitUs = 1000000.0; // ready for the preview within a second

// The four prints through the real window: the sheet of an evaluation with
// every area at 14 phases, its profile chart, and the comparison of one and
// of a hundred selected evaluations, each laid out and painted into a PDF.
void benchReports(const QString& folder, std::vector<std::pair<QString, bool>>& checks);

} // namespace bench
