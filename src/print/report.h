#pragma once
// A banded report: a title band printed once at the top of the first page;
// for every record of a master table a heading band, one detail band per
// record of a detail table, and a footer band; a page footer at the bottom of
// every page. Before a band prints, its notice runs and may suppress it; a
// band can be disabled for a run. Laying out walks the tables through the
// given callbacks and gives the pages of a Document.

#include "chart.h"
#include "document.h"
#include "face.h"

#include <QFont>
#include <QRectF>
#include <QString>

#include <functional>
#include <memory>
#include <vector>

namespace velmora::print {

// What a band holds: fixed labels, data texts (read when the band prints),
// word-wrapped memos, rules, the page number and charts. Positions in mm
// inside the band.
struct Element
{
    enum class Kind { Label, DataText, Memo, Rule, PageNumber, Chart };
    // How far a one-line text of width 0 ("as needed") may run.
    enum class AutoWidth {
        // To the right edge of the printable area (aligned right: from its
        // left edge). Overprints whatever stands in the way.
        ToEdge,
        // Up to 1 mm before the next element on its line (aligned right:
        // from 1 mm after the previous one): the text then has a column of
        // its own and, wider than that, prints smaller instead of running
        // into its neighbour.
        ToNextElement,
    };

    Kind kind = Kind::Label;
    QString name;
    QRectF rect;
    AutoWidth autoWidth = AutoWidth::ToEdge;
    QFont font;
    Qt::Alignment alignment = Qt::AlignLeft | Qt::AlignTop;
    QString text;                  // label and memo text (memo lines joined by '\n')
    std::function<QString()> data; // data text: read each time the band prints
    // Texts and memos: the smallest size they are printed at to fit their
    // box (a one-line text wider than its column, a memo longer than its
    // room).
    double minimumPoints = 5;
    // Memos: how a text longer than the box is held (by default word-wrapped,
    // smaller, then cut to whole lines ending with "…"; see MemoFit).
    MemoOptions memoOptions;
    // Memos of one band with the same non-empty group are fitted together,
    // with the options of the first of them: one size, line height and
    // number of lines per column for all, so that their lines stay side by
    // side (the codes and the names of a chart's key).
    QString fitGroup;
    // Rules: a line from the rect's top left to its bottom right corner.
    QColor color = Qt::black;
    Qt::PenStyle penStyle = Qt::SolidLine;
    double penWidthMm = 0.2;
    // Chart elements: copied when laid out; the copy takes the family of
    // `font` (the band's) unless the chart names a face of its own.
    std::shared_ptr<Chart> chart;
};

class Band
{
public:
    enum class Kind { Title, Heading, Detail, Footer, PageFooter };

    Band(Kind kind, const QString& name, double heightMm, const QFont& font);

    Kind kind;
    QString name;
    double height;
    bool enabled = true;
    bool lineBelow = false; // a solid line along the band's bottom edge
    // Heading bands: printed again at the top of a page on which the detail
    // rows of the same master record continue (or only its footer band),
    // marked as a repeat. The
    // repeat does not run the notice (the heading already printed for this
    // record); its data texts are read again. Off by default.
    bool repeatOnContinuation = false;
    // The element of the repeated heading whose text is followed by
    // `continuedSuffix`; no mark when empty.
    QString continuedElement;
    QString continuedSuffix = QStringLiteral(" (segue)");
    // Set by the engine while the band prints as such a repeat, for data
    // texts that word themselves differently there.
    bool repeating = false;
    // The notice before the band prints: returning false suppresses this
    // printing of the band.
    std::function<bool()> beforePrint;
    std::vector<Element> elements;

    // Adders; the font defaults to the report's font. A width gives the text
    // its column (a text wider than that prints smaller). Width 0 means "as
    // needed": the text runs to the right edge of the printable area (or,
    // when aligned right, ends at rect.right()), or only up to its neighbour
    // (Element::autoWidth).
    Element& label(const QString& name, const QRectF& rect, const QString& text,
                   Qt::Alignment alignment = Qt::AlignLeft);
    Element& dataText(const QString& name, const QRectF& rect, std::function<QString()> data,
                      Qt::Alignment alignment = Qt::AlignLeft);
    Element& memo(const QString& name, const QRectF& rect);
    Element& rule(const QString& name, const QLineF& line, Qt::PenStyle style = Qt::SolidLine,
                  const QColor& color = Qt::black);
    Element& pageNumber(const QString& name, const QRectF& rect);
    Element& chart(const QString& name, const QRectF& rect, std::shared_ptr<Chart> chart);

    Element* element(const QString& name);
    // The font new elements take.
    const QFont& font() const { return m_font; }

private:
    QFont m_font;
};

// How the engine walks a table: to its first record, to the next, and
// whether it is past its end.
struct DataWalk
{
    std::function<void()> first;
    std::function<void()> next;
    std::function<bool()> atEnd;

    bool isSet() const { return bool(first) && bool(next) && bool(atEnd); }
};

class Report
{
public:
    explicit Report(const QString& name);

    QString name;
    QString title; // job name
    // Tahoma 10 pt, or the nearest font installed (defaultFamily()).
    static QFont defaultFont();
    QFont font = defaultFont();

    // Tables walked while laying out. Without a master only the title band
    // prints (with the page footer). Without a detail the heading and footer
    // bands print once per master record.
    DataWalk master;
    DataWalk detail;

    Band& addBand(Band::Kind kind, const QString& name, double heightMm);
    Band* band(const QString& name);
    Element* element(const QString& name); // searched in every band

    // Lays out the pages, walking master and detail from their first record.
    // The detail band is offered once also when the detail table is empty
    // (its notice decides); a band taller than the room left on the page goes
    // to a new page.
    Document layout();

private:
    std::vector<std::unique_ptr<Band>> m_bands;
};

// Millimetres to device units of a device with `dpi` dots per inch.
inline double mmToDevice(double mm, double dpi) { return mm * dpi / 25.4; }

} // namespace velmora::print
