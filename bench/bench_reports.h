#pragma once
// The prints through the real main window (bench_reports.cpp).

#include <QString>

#include <utility>
#include <vector>

namespace bench {

constexpr double reportReadyLimitUs = 1000000.0; // ready for the preview within a second

// One print's figures: medians of its repetitions.
struct ReportFigure
{
    QString name;
    std::vector<double> ready; // click to print set-up: laid out, ready for the preview
    std::vector<double> total; // click to the last page painted into the PDF
    std::vector<double> sent;  // statements the table layer sent for it
    int pages = 0;
};

// The four prints through the real window: the sheet of an evaluation with
// every area at 14 phases, its profile chart, and the comparison of one and
// of a hundred selected evaluations, each laid out and painted into a PDF.
std::vector<ReportFigure> benchReports(const QString& folder, std::vector<std::pair<QString, bool>>& checks);

} // namespace bench
