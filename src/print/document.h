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

// How a memo holds a text longer than its box.
enum class MemoFit {
    // Word-wrapped lines, printed smaller (down to the floor) until they fit;
    // at the floor the lines that still do not fit are left out and the last
    // printed line ends with "…". The default of every memo.
    Shrink,
    // One printed line per line of the text, never wrapped (a key of codes
    // beside a key of names): printed smaller until every line fits, then,
    // at the floor, in up to `maxColumns` columns. A line wider than its
    // column at the floor ends with "…"; lines are left out (the last
    // printed one ending with "…") only when even the columns do not hold
    // them.
    AllLines,
};

struct MemoOptions
{
    MemoFit fit = MemoFit::Shrink;
    int maxColumns = 2;        // AllLines
    double columnGapMm = 2;    // between the columns of an AllLines memo
};

// One printed line of a memo.
struct PageLine
{
    QString text;
    QRectF rect;     // mm: the line's column width, one line high
    double baseline; // mm from the top of the page's printable area
};

struct PageText
{
    QString name; // the element that printed it
    QRectF rect;  // mm
    QString text; // as the element gave it (a memo's whole text)
    QFont font;   // memos: at the size they are printed in
    Qt::Alignment alignment = Qt::AlignLeft | Qt::AlignTop;
    bool wordWrap = false; // a memo
    // The floor: the smallest size the text is printed at to fit its box.
    double minimumPoints = 5;
    // Memos: the lines printed, inside `rect` (fitMemos() lays them out).
    QList<PageLine> lines;
};

// Lays out memos (their rect, text, font and alignment) into lines that fit
// their boxes, as `options` say, and sets the font they print in. Memos
// fitted together share one size, line height and number of lines per
// column, the most any of them needs, so that line n of one stands beside
// line n of the others (codes and names of a key). An empty text gives no
// lines.
void fitMemos(const QList<PageText*>& memos, const MemoOptions& options = MemoOptions());

struct PageRule
{
    QLineF line; // mm
    QColor color = Qt::black;
    Qt::PenStyle style = Qt::SolidLine;
    double widthMm = 0.2;
    QString name; // the element (or, for the line below a band, the band) that printed it
};

struct PageChart
{
    QString name;
    QRectF rect; // mm
    std::shared_ptr<const Chart> chart;
};

// Where the ink of a text lies, in mm: one box per printed line (a memo's
// lines, or the one line of a text), as wide as the text measures (at most
// its column: a wider text is printed smaller) and one line high. None for
// an empty text.
QList<QRectF> inkBoxes(const PageText& text);

// Two texts of a page whose ink boxes overlap.
struct TextOverlap
{
    int page = 0; // index in Document::pages
    const PageText* first = nullptr;
    const PageText* second = nullptr;
    QRectF where; // mm, the common part
};

// A text of a page under the box of a chart or the stroke of a rule
// printed by another element: a chart paints its whole box, so a text
// reaching into it loses the part inside.
struct CoveredText
{
    int page = 0; // index in Document::pages
    const PageText* text = nullptr;
    QString by;   // the chart or rule
    QRectF where; // mm, the common part
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
    // Texts printed over one another (a label running into its value):
    // pairs whose ink boxes share more than a touching edge.
    QList<TextOverlap> overlappingTexts() const;
    // Texts whose ink the box of a chart or the stroke of a rule of another
    // element covers.
    QList<CoveredText> coveredTexts() const;
};

class Document
{
public:
    QString title;                      // the job name on the printer
    // The name proposed for the PDF file the document is printed into,
    // without ".pdf": the print, whose it is and when ("Scheda di
    // valutazione - Bianchi Giulia - 15-05-2026"). The title when empty.
    QString fileName;
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

    // Overlapping texts of every page (Page::overlappingTexts()), for the
    // tests of the reports.
    QList<TextOverlap> overlappingTexts() const;
    // Covered texts of every page (Page::coveredTexts()).
    QList<CoveredText> coveredTexts() const;
};

} // namespace velmora::print
