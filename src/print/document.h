#pragma once
// Laid-out pages of a report: positioned texts, rules and charts, in
// millimetres from the top left corner of the printable area. The same pages
// are painted on a printer, in the print preview and into a PDF file; tests
// read them directly.

#include "chart.h"

#include <QFont>
#include <QLineF>
#include <QList>
#include <QMarginsF>
#include <QRectF>
#include <QSizeF>
#include <QString>

#include <memory>

class QPainter;
class QPrinter;
class QPagedPaintDevice;

namespace velmora::print {

struct PageText
{
    QString name; // the element that printed it
    QRectF rect;  // mm
    QString text;
    QFont font;
    Qt::Alignment alignment = Qt::AlignLeft | Qt::AlignTop;
    bool wordWrap = false;
};

struct PageRule
{
    QLineF line; // mm
    QColor color = Qt::black;
    Qt::PenStyle style = Qt::SolidLine;
    double widthMm = 0.2;
};

struct PageChart
{
    QString name;
    QRectF rect; // mm
    std::shared_ptr<const Chart> chart;
};

struct Page
{
    QList<PageText> texts;
    QList<PageRule> rules;
    QList<PageChart> charts;

    // The first text printed by the element `name`, or null.
    const PageText* text(const QString& name) const;
    // Every text printed by `name`, top to bottom.
    QStringList textsOf(const QString& name) const;
    const PageChart* chart(const QString& name) const;
};

class Document
{
public:
    QString title;                      // the job name on the printer
    QSizeF paperMm{210, 297};           // A4 portrait
    QMarginsF marginsMm{10, 10, 10, 10};
    QList<Page> pages;

    int pageCount() const { return int(pages.size()); }
    // Width and height of the printable area in mm.
    QSizeF printableMm() const;

    // Paints page `index` with `painter`, whose origin stands at the top left
    // corner of the printable area of a device laid out like this document.
    void paintPage(QPainter& painter, int index) const;
    // Prints on `printer` the pages its page range asks for (all when none),
    // setting the printer's paper and margins to the document's.
    void print(QPrinter& printer) const;
    // Writes every page to a PDF file; false with `error` filled when the
    // file cannot be written.
    bool writePdf(const QString& path, QString* error = nullptr) const;
    // Paints every page on a paged device already laid out as this document.
    void paintAll(QPagedPaintDevice& device, int from = 1, int to = 0) const;
};

} // namespace velmora::print
