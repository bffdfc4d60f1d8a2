// Drawing of the chart element. Qt Charts lays out and draws the frame of the
// chart (background, axes, grid, axis labels); the series, their value marks
// and the legend are items of the same scene placed from the plot area Qt
// Charts computed, because Qt Charts clips its series to the plot area while
// a report's chart lets a line run above the value axis' maximum, and its
// legend cannot list the points of a lone series.
//
// The scene is built in the units Qt's fonts are measured in, the pixels of
// the primary screen, at the physical size of the target, and rendered
// scaled onto the painter: text, lines and marks then keep their physical
// size on a 96 dpi preview, a 600 dpi printer or a 1200 dpi PDF alike.

#include "chart.h"

#include <QApplication>
#include <QChart>
#include <QCategoryAxis>
#include <QFont>
#include <QFontMetricsF>
#include <QGraphicsEllipseItem>
#include <QGraphicsLayout>
#include <QGraphicsLineItem>
#include <QGraphicsPathItem>
#include <QGraphicsRectItem>
#include <QGraphicsScene>
#include <QGraphicsSimpleTextItem>
#include <QGuiApplication>
#include <QPaintDevice>
#include <QPainter>
#include <QPainterPath>
#include <QScreen>
#include <QValueAxis>

#include <algorithm>
#include <cmath>

namespace velmora::print {

namespace {

constexpr double AxisFontPt = 8;
constexpr double MarksFontPt = 7;
constexpr double LegendFontPt = 8;
constexpr double LegendMinFontPt = 5;

// Scene units: pixels of the primary screen, the units Qt measures fonts in.
struct Units
{
    double perMm = 96 / 25.4;
    double perPx96 = 1; // one pixel of a 96 dpi screen

    double mm(double v) const { return v * perMm; }
    double px(double v) const { return v * perPx96; }
};

double screenDpi()
{
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        if (screen->logicalDotsPerInch() > 0)
            return screen->logicalDotsPerInch();
    return 96;
}

QFont chartFont(double pointSize)
{
    QFont font(QStringLiteral("Tahoma"));
    font.setStyleHint(QFont::SansSerif);
    font.setPointSizeF(pointSize);
    return font;
}

// Number of decimals a pattern always writes ("#,##0.0" -> 1).
int fixedDecimals(const QString& pattern)
{
    const qsizetype point = pattern.indexOf(QLatin1Char('.'));
    if (point < 0)
        return 0;
    int decimals = 0;
    for (qsizetype i = point + 1; i < pattern.size(); ++i) {
        if (pattern.at(i) == QLatin1Char('0'))
            ++decimals;
        else if (pattern.at(i) != QLatin1Char('#'))
            break;
    }
    return decimals;
}

// A tick interval of 1, 2, 2.5 or 5 times a power of ten giving at most
// `maxIntervals` intervals over `range`.
double tickInterval(double range, int maxIntervals)
{
    maxIntervals = std::max(1, maxIntervals);
    const double rough = range / maxIntervals;
    const double magnitude = std::pow(10.0, std::floor(std::log10(rough)));
    for (double m : {1.0, 2.0, 2.5, 5.0, 10.0})
        if (m * magnitude >= rough * (1 - 1e-9))
            return m * magnitude;
    return 10 * magnitude;
}

QAbstractGraphicsShapeItem* addMarker(QGraphicsScene& scene, const QPointF& centre, double halfWidth,
                                      double halfHeight, PointShape shape, const QColor& color, const Units& u)
{
    const QRectF rect(centre.x() - halfWidth, centre.y() - halfHeight, 2 * halfWidth, 2 * halfHeight);
    QAbstractGraphicsShapeItem* item = nullptr;
    if (shape == PointShape::Square)
        item = scene.addRect(rect);
    else
        item = scene.addEllipse(rect);
    QPen pen(color.darker(150));
    pen.setWidthF(u.px(0.75));
    item->setPen(pen);
    item->setBrush(color);
    return item;
}

// Half sizes of a series' point marks in scene units: the marks of a
// "3 x 3" circle are 7 pixels across on a 96 dpi screen.
QSizeF markerHalfSize(int pointWidth, int pointHeight, const Units& u)
{
    return QSizeF(u.px(std::max(0, pointWidth) + 0.5), u.px(std::max(0, pointHeight) + 0.5));
}

// ---------------------------------------------------------------------------
// Legend

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
        l.font = chartFont(pt);
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

void addLegend(QGraphicsScene& scene, const QList<Chart::LegendEntry>& entries, const LegendLayout& l,
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

// ---------------------------------------------------------------------------
// Series

struct PlotMapping
{
    QRectF plot;
    double xMin, xMax, yMin, yMax;

    QPointF map(double x, double y) const
    {
        return QPointF(plot.left() + (x - xMin) / (xMax - xMin) * plot.width(),
                       plot.bottom() - (y - yMin) / (yMax - yMin) * plot.height());
    }
};

void addSeries(QGraphicsScene& scene, const ChartSeries& s, const PlotMapping& map, const Units& u,
               const QLocale& locale)
{
    QList<QPointF> at;
    at.reserve(s.points.size());
    for (const ChartPoint& p : s.points)
        if (std::isfinite(p.x) && std::isfinite(p.y))
            at.append(map.map(p.x, p.y));
    if (at.isEmpty())
        return;

    if (at.size() > 1) {
        QPainterPath path(at.first());
        for (qsizetype i = 1; i < at.size(); ++i)
            path.lineTo(at.at(i));
        QPen pen(s.color);
        pen.setWidthF(u.px(1.5));
        pen.setJoinStyle(Qt::RoundJoin);
        pen.setCapStyle(Qt::RoundCap);
        scene.addPath(path, pen)->setZValue(10);
    }

    const QSizeF half = markerHalfSize(s.pointWidth, s.pointHeight, u);
    for (const QPointF& c : at)
        addMarker(scene, c, half.width(), half.height(), s.shape, s.color, u)->setZValue(11);

    if (!s.marksVisible)
        return;
    const QFont font = chartFont(MarksFontPt);
    const QFontMetricsF fm(font);
    QPen framePen(QColor(128, 128, 128));
    framePen.setWidthF(u.px(0.5));
    qsizetype i = 0;
    for (const ChartPoint& p : s.points) {
        if (!std::isfinite(p.x) || !std::isfinite(p.y))
            continue;
        const QPointF c = at.at(i++);
        const QString text = formatPattern(p.y, s.marksFormat, locale);
        const double w = fm.horizontalAdvance(text);
        // A small white box just above the mark, so that grid and lines do
        // not run through the figures.
        const QRectF box(c.x() - w / 2 - u.px(2), c.y() - half.height() - u.px(2) - fm.height(),
                         w + u.px(4), fm.height());
        scene.addRect(box, framePen, Qt::white)->setZValue(12);
        auto* label = scene.addSimpleText(text, font);
        label->setBrush(Qt::black);
        label->setPos(box.left() + u.px(2), box.top());
        label->setZValue(13);
    }
}

// ---------------------------------------------------------------------------
// Axes

QPen axisPen(const QColor& color, double width, Qt::PenStyle style = Qt::SolidLine)
{
    QPen pen(color);
    pen.setWidthF(width);
    pen.setStyle(style);
    pen.setCapStyle(Qt::FlatCap);
    return pen;
}

void styleAxis(QAbstractAxis* axis, const Units& u)
{
    axis->setLabelsFont(chartFont(AxisFontPt));
    axis->setLabelsColor(Qt::black);
    axis->setLinePen(axisPen(Qt::black, u.px(1)));
    axis->setGridLinePen(axisPen(QColor(190, 190, 190), u.px(0.75), Qt::DotLine));
    axis->setGridLineVisible(true);
    axis->setMinorGridLineVisible(false);
    axis->setTitleVisible(false);
    axis->setShadesVisible(false);
}

} // namespace

void paintChart(QPainter& painter, const QRectF& target, const Chart& chart)
{
    // Qt Charts is made of graphics widgets: no drawing without a QApplication.
    if (!target.isValid() || target.isEmpty() || !qobject_cast<QApplication*>(QCoreApplication::instance()))
        return;

    // Physical size of the target, then the same size in scene units.
    const QPaintDevice* device = painter.device();
    const double dpiX = device && device->logicalDpiX() > 0 ? device->logicalDpiX() : 96;
    const double dpiY = device && device->logicalDpiY() > 0 ? device->logicalDpiY() : 96;
    const double dpi = screenDpi();
    Units u;
    u.perMm = dpi / 25.4;
    u.perPx96 = dpi / 96;
    const QRectF sceneRect(0, 0, target.width() / dpiX * dpi, target.height() / dpiY * dpi);

    const QLocale locale;
    QGraphicsScene scene;
    scene.setSceneRect(sceneRect);
    scene.setBackgroundBrush(Qt::white);

    // Legend first: the plot gets what it leaves.
    const double margin = u.mm(2);
    QRectF chartRect = sceneRect;
    const QList<Chart::LegendEntry> entries = chart.legendVisible ? chart.legendEntries(locale)
                                                                  : QList<Chart::LegendEntry>();
    if (!entries.isEmpty()) {
        if (chart.legendPlace == LegendPlace::Right) {
            LegendLayout l = layoutLegend(entries, LegendPlace::Right, sceneRect.width() * 0.4,
                                          sceneRect.height() - 2 * margin, u);
            l.box.moveTopLeft(QPointF(sceneRect.right() - margin - l.box.width(),
                                      sceneRect.center().y() - l.box.height() / 2));
            addLegend(scene, entries, l, u);
            chartRect.setRight(l.box.left() - margin);
        } else {
            LegendLayout l = layoutLegend(entries, LegendPlace::Top, sceneRect.width() - 2 * margin,
                                          sceneRect.height() * 0.55, u);
            l.box.moveTopLeft(QPointF(sceneRect.center().x() - l.box.width() / 2, sceneRect.top() + margin));
            addLegend(scene, entries, l, u);
            chartRect.setTop(l.box.bottom() + u.px(1) + margin);
        }
    }

    // The frame of the chart by Qt Charts; the scene owns it.
    auto* qchart = new QChart;
    scene.addItem(qchart);
    qchart->setAnimationOptions(QChart::NoAnimation);
    qchart->setDropShadowEnabled(false);
    qchart->setTitle(QString());
    qchart->setBackgroundVisible(true);
    qchart->setBackgroundBrush(Qt::white);
    qchart->setBackgroundPen(Qt::NoPen);
    qchart->setBackgroundRoundness(0);
    qchart->setPlotAreaBackgroundVisible(false);
    qchart->setLocale(locale);
    qchart->setLocalizeNumbers(true);
    qchart->legend()->hide(); // ours is drawn above
    qchart->layout()->setContentsMargins(0, 0, 0, 0);
    // Room above the plot for the value marks of the highest points, at the
    // right for the half of the last category label.
    qchart->setMargins(QMargins(qRound(u.mm(2)), qRound(u.mm(5)), qRound(u.mm(4)), qRound(u.mm(1.5))));

    double yMin = chart.axisMin;
    double yMax = chart.axisMax;
    if (!std::isfinite(yMin))
        yMin = 0;
    if (!std::isfinite(yMax) || yMax <= yMin)
        yMax = yMin + 1;

    auto* yAxis = new QValueAxis;
    styleAxis(yAxis, u);
    yAxis->setRange(yMin, yMax);
    yAxis->setLabelFormat(QStringLiteral("%.%1f").arg(fixedDecimals(chart.axisFormat)));
    // Ticks on round values, at least 8 mm apart (0..14 by 1 on a plot of
    // normal size).
    const double plotHeightGuess = std::max(u.mm(10), chartRect.height() - u.mm(15));
    yAxis->setTickType(QValueAxis::TicksDynamic);
    yAxis->setTickAnchor(yMin);
    yAxis->setTickInterval(tickInterval(yMax - yMin, int(plotHeightGuess / u.mm(8))));
    yAxis->setMinorTickCount(1);
    qchart->addAxis(yAxis, Qt::AlignLeft);

    // Categories at x = 0, 1, 2 ..., half a category of room at both ends.
    const QStringList labels = chart.categoryLabels();
    double xMin = 0;
    double xMax = std::max<double>(0, labels.size() - 1);
    for (const ChartSeries& s : chart.allSeries()) {
        for (const ChartPoint& p : s.points) {
            if (std::isfinite(p.x)) {
                xMin = std::min(xMin, p.x);
                xMax = std::max(xMax, p.x);
            }
        }
    }
    xMin -= 0.5;
    xMax += 0.5;

    auto* xAxis = new QCategoryAxis;
    styleAxis(xAxis, u);
    xAxis->setLabelsPosition(QCategoryAxis::AxisLabelsPositionOnValue);
    xAxis->setStartValue(xMin);
    xAxis->setRange(xMin, xMax);
    // The axis wants distinct labels (and reads them as rich text): equal or
    // empty labels are told apart by invisible zero-width spaces.
    for (int i = 0; i < labels.size(); ++i) {
        QString text = labels.at(i).toHtmlEscaped();
        while (xAxis->categoriesLabels().contains(text) || text.isEmpty())
            text += QChar(0x200B);
        xAxis->append(text, i);
    }
    if (labels.isEmpty())
        xAxis->append(QString(QChar(0x200B)), xMax); // without categories the axis draws no line at all
    qchart->addAxis(xAxis, Qt::AlignBottom);

    qchart->setGeometry(chartRect);
    qchart->layout()->activate();

    // Category labels wider than their room get a smaller font, down to
    // 6 pt, and are turned upright when even that does not do.
    if (!labels.isEmpty()) {
        const double room = qchart->plotArea().width() / (xMax - xMin) - u.px(3);
        const auto widest = [&labels](const QFont& font) {
            const QFontMetricsF fm(font);
            double w = 0;
            for (const QString& label : labels)
                w = std::max(w, fm.horizontalAdvance(label));
            return w;
        };
        double pt = AxisFontPt;
        while (pt > 6 && widest(chartFont(pt)) > room)
            pt -= 0.5;
        if (pt != AxisFontPt || widest(chartFont(pt)) > room) {
            xAxis->setLabelsFont(chartFont(pt));
            if (widest(chartFont(pt)) > room)
                xAxis->setLabelsAngle(-90);
            qchart->layout()->invalidate();
            qchart->layout()->activate();
        }
    }

    // plotArea() is in the chart's own coordinates.
    const PlotMapping mapping{qchart->mapRectToScene(qchart->plotArea()), xMin, xMax, yMin, yMax};
    for (const ChartSeries& s : chart.allSeries())
        addSeries(scene, s, mapping, u, locale);

    painter.save();
    painter.setClipRect(target, Qt::IntersectClip);
    painter.setRenderHint(QPainter::Antialiasing, true);
    painter.setRenderHint(QPainter::TextAntialiasing, true);
    scene.render(&painter, target, sceneRect, Qt::IgnoreAspectRatio);
    painter.restore();
}

} // namespace velmora::print
