// The legend of the chart element: a framed box with a shadow, one entry per
// series (or per point of a lone series), each a sample of the series' line
// and mark beside its text.

#include "chartparts.h"

#include <QFontMetricsF>
#include <QGraphicsLineItem>
#include <QGraphicsRectItem>
#include <QGraphicsScene>
#include <QGraphicsSimpleTextItem>
#include <QPen>

#include <algorithm>

namespace velmora::print::chartparts {

namespace {

struct LegendLayout
{
    QFont font;
    QRectF box;        // frame, in scene units
    int columns = 1;
    int rows = 0;
    double columnWidth = 0;
    double rowHeight = 0;
    double textWidth = 0; // room for the text of an entry
    int shown = 0;        // entries drawn (the rest did not fit)
    bool rowMajor = true;
};

struct LegendMetrics
{
    double padding;
    double sample;    // length of the line sample
    double gap;       // between sample and text
    double columnGap;
};

LegendMetrics legendMetrics(const Units& u)
{
    return {u.px(4), u.px(18), u.px(4), u.px(10)};
}

// Lays out `entries` in at most `maxWidth` x `maxHeight`: a column (several
// when needed) for a legend at the right, rows of several entries for one
// on top. The font shrinks down to LegendMinFontPt before entries are left
// out.
LegendLayout layoutLegend(const QList<Chart::LegendEntry>& entries, LegendPlace place, double maxWidth,
                          double maxHeight, const Units& u)
{
    const LegendMetrics m = legendMetrics(u);
    LegendLayout l;
    l.rowMajor = place == LegendPlace::Top;
    const int n = int(entries.size());
    const double textLimit = maxWidth - 2 * m.padding - m.sample - m.gap;

    for (double pt = LegendFontPt; pt >= LegendMinFontPt - 1e-9; pt -= 0.5) {
        l.font = u.font(pt);
        const QFontMetricsF fm(l.font);
        double widest = 0;
        for (const Chart::LegendEntry& e : entries)
            widest = std::max(widest, fm.horizontalAdvance(e.text));
        l.rowHeight = std::max(fm.height(), u.px(9)) + u.px(1);
        l.textWidth = std::min(widest + u.px(2), std::max(u.px(20), textLimit));
        l.columnWidth = m.sample + m.gap + l.textWidth;

        const double innerWidth = maxWidth - 2 * m.padding;
        const double innerHeight = maxHeight - 2 * m.padding;
        const int maxRows = std::max(1, int(innerHeight / l.rowHeight));
        int maxColumns = std::max(1, int((innerWidth + m.columnGap) / (l.columnWidth + m.columnGap)));

        if (place == LegendPlace::Right) {
            // One column as long as the height allows, then more.
            l.rows = std::min(n, maxRows);
            l.columns = l.rows > 0 ? (n + l.rows - 1) / l.rows : 0;
            if (l.columns > 1)
                l.rows = (n + l.columns - 1) / l.columns;
        } else {
            l.columns = std::min(n, maxColumns);
            l.rows = l.columns > 0 ? (n + l.columns - 1) / l.columns : 0;
            if (l.rows > 0)
                l.columns = (n + l.rows - 1) / l.rows; // balanced rows
        }
        const bool fits = l.rows <= maxRows && l.columns <= maxColumns;
        if (fits || pt - 0.5 < LegendMinFontPt - 1e-9) {
            l.columns = std::min(l.columns, maxColumns);
            l.rows = std::min(l.rows, maxRows);
            l.shown = std::min(n, l.columns * l.rows);
            if (l.shown < n && place == LegendPlace::Right)
                l.rows = std::min(maxRows, (l.shown + l.columns - 1) / l.columns);
            break;
        }
    }
    const double width = 2 * m.padding + l.columns * l.columnWidth + std::max(0, l.columns - 1) * m.columnGap;
    const double height = 2 * m.padding + l.rows * l.rowHeight;
    l.box = QRectF(0, 0, width, height);
    return l;
}

void drawLegend(QGraphicsScene& scene, const QList<Chart::LegendEntry>& entries, const LegendLayout& l,
                const Units& u)
{
    const LegendMetrics m = legendMetrics(u);
    const double z = 20;

    // "Shadow 1": a dark grey copy of the box one pixel down and right.
    QGraphicsRectItem* shadow = scene.addRect(l.box.translated(u.px(1), u.px(1)), Qt::NoPen, QColor(64, 64, 64));
    shadow->setZValue(z);
    QPen framePen(Qt::black);
    framePen.setWidthF(u.px(0.75));
    QGraphicsRectItem* frame = scene.addRect(l.box, framePen, Qt::white);
    frame->setZValue(z + 1);

    const QFontMetricsF fm(l.font);
    // Every entry stands for a series of the chart, drawn as it is drawn
    // there: marks the size of the default "3 x 3" ones.
    const QSizeF half = markerHalfSize(3, 3, u);
    const QSizeF marker(std::min(half.width(), l.rowHeight * 0.35), std::min(half.height(), l.rowHeight * 0.35));
    QPen linePen;
    linePen.setWidthF(u.px(1.5));

    for (int i = 0; i < l.shown; ++i) {
        const Chart::LegendEntry& e = entries.at(i);
        const int row = l.rowMajor ? i / l.columns : i % l.rows;
        const int column = l.rowMajor ? i % l.columns : i / l.rows;
        const double x = l.box.left() + m.padding + column * (l.columnWidth + m.columnGap);
        const double y = l.box.top() + m.padding + row * l.rowHeight;
        const double mid = y + l.rowHeight / 2;

        linePen.setColor(e.color);
        scene.addLine(x, mid, x + m.sample, mid, linePen)->setZValue(z + 2);
        addMarker(scene, QPointF(x + m.sample / 2, mid), marker.width(), marker.height(), e.shape, e.color, u)
            ->setZValue(z + 3);

        QString text = e.text;
        if (i == l.shown - 1 && l.shown < entries.size())
            text = QStringLiteral("…");
        auto* label = scene.addSimpleText(fm.elidedText(text, Qt::ElideRight, l.textWidth), l.font);
        label->setBrush(Qt::black);
        label->setPos(x + m.sample + m.gap, mid - fm.height() / 2);
        label->setZValue(z + 2);
    }
}

} // namespace

QRectF addLegend(QGraphicsScene& scene, const QList<Chart::LegendEntry>& entries, LegendPlace place,
                 const QRectF& sceneRect, const Units& u)
{
    QRectF rest = sceneRect;
    if (entries.isEmpty())
        return rest;
    const double margin = u.mm(2);
    if (place == LegendPlace::Right) {
        LegendLayout l = layoutLegend(entries, LegendPlace::Right, sceneRect.width() * 0.4,
                                      sceneRect.height() - 2 * margin, u);
        l.box.moveTopLeft(QPointF(sceneRect.right() - margin - l.box.width(),
                                  sceneRect.center().y() - l.box.height() / 2));
        drawLegend(scene, entries, l, u);
        rest.setRight(l.box.left() - margin);
    } else {
        LegendLayout l = layoutLegend(entries, LegendPlace::Top, sceneRect.width() - 2 * margin,
                                      sceneRect.height() * 0.55, u);
        l.box.moveTopLeft(QPointF(sceneRect.center().x() - l.box.width() / 2, sceneRect.top() + margin));
        drawLegend(scene, entries, l, u);
        rest.setTop(l.box.bottom() + u.px(1) + margin);
    }
    return rest;
}

} // namespace velmora::print::chartparts
