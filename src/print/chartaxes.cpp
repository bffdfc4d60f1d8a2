// The frame of the chart element, laid out and drawn by Qt Charts: white
// background, the value axis (fixed range, round ticks, dotted grid) and the
// category axis (one label per position, made smaller or turned upright when
// the labels are too wide for their room).

#include "chartparts.h"

#include <QCategoryAxis>
#include <QChart>
#include <QFontMetricsF>
#include <QGraphicsLayout>
#include <QGraphicsScene>
#include <QPen>
#include <QValueAxis>

#include <algorithm>
#include <cmath>

namespace velmora::print::chartparts {

namespace {

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
    axis->setLabelsFont(u.font(AxisFontPt));
    axis->setLabelsColor(Qt::black);
    axis->setLinePen(axisPen(Qt::black, u.px(1)));
    axis->setGridLinePen(axisPen(QColor(190, 190, 190), u.px(0.75), Qt::DotLine));
    axis->setGridLineVisible(true);
    axis->setMinorGridLineVisible(false);
    axis->setTitleVisible(false);
    axis->setShadesVisible(false);
}

QChart* addFrame(QGraphicsScene& scene, const QLocale& locale, const Units& u)
{
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
    qchart->legend()->hide(); // the element draws its own
    qchart->layout()->setContentsMargins(0, 0, 0, 0);
    // Room above the plot for the value marks of the highest points, at the
    // right for the half of the last category label.
    qchart->setMargins(QMargins(qRound(u.mm(2)), qRound(u.mm(5)), qRound(u.mm(4)), qRound(u.mm(1.5))));
    return qchart;
}

// The value axis over the chart's fixed range, ticks on round values at
// least 8 mm apart (0..14 by 1 on a plot of normal size).
void addValueAxis(QChart* qchart, double yMin, double yMax, const QString& format, double chartHeight,
                  const Units& u)
{
    auto* yAxis = new QValueAxis;
    styleAxis(yAxis, u);
    yAxis->setRange(yMin, yMax);
    yAxis->setLabelFormat(QStringLiteral("%.%1f").arg(fixedDecimals(format)));
    const double plotHeightGuess = std::max(u.mm(10), chartHeight - u.mm(15));
    yAxis->setTickType(QValueAxis::TicksDynamic);
    yAxis->setTickAnchor(yMin);
    yAxis->setTickInterval(tickInterval(yMax - yMin, int(plotHeightGuess / u.mm(8))));
    yAxis->setMinorTickCount(1);
    qchart->addAxis(yAxis, Qt::AlignLeft);
}

// The category axis from xMin to xMax with `labels` at 0, 1, 2 ...
QCategoryAxis* addCategoryAxis(QChart* qchart, const QStringList& labels, double xMin, double xMax, const Units& u)
{
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
    return xAxis;
}

// Category labels wider than their room get a smaller font, down to 6 pt,
// and are turned upright when even that does not do.
void fitCategoryLabels(QChart* qchart, QCategoryAxis* xAxis, const QStringList& labels, double categories,
                       const Units& u)
{
    if (labels.isEmpty())
        return;
    const double room = qchart->plotArea().width() / categories - u.px(3);
    const auto widest = [&labels](const QFont& font) {
        const QFontMetricsF fm(font);
        double w = 0;
        for (const QString& label : labels)
            w = std::max(w, fm.horizontalAdvance(label));
        return w;
    };
    double pt = AxisFontPt;
    while (pt > 6 && widest(u.font(pt)) > room)
        pt -= 0.5;
    if (pt != AxisFontPt || widest(u.font(pt)) > room) {
        xAxis->setLabelsFont(u.font(pt));
        if (widest(u.font(pt)) > room)
            xAxis->setLabelsAngle(-90);
        qchart->layout()->invalidate();
        qchart->layout()->activate();
    }
}

// Lowers (or raises) the plot inside the chart's rectangle so that the
// values of the series beyond the value axis land in the room the margins
// give: the plot shrinks by the share the farthest values take beyond it,
// down to a third of its height.
void makeRoomBeyondAxis(QChart* qchart, const Chart& chart, double yMin, double yMax)
{
    double highest = yMax;
    double lowest = yMin;
    for (const ChartSeries& s : chart.allSeries()) {
        for (const ChartPoint& p : s.points) {
            if (std::isfinite(p.x) && std::isfinite(p.y)) {
                highest = std::max(highest, p.y);
                lowest = std::min(lowest, p.y);
            }
        }
    }
    const double range = yMax - yMin;
    double above = (highest - yMax) / range; // in heights of the plot
    double below = (yMin - lowest) / range;
    if (above <= 0 && below <= 0)
        return;
    constexpr double MostBeyond = 2; // the plot keeps a third of its height
    if (above + below > MostBeyond) {
        const double scale = MostBeyond / (above + below);
        above *= scale;
        below *= scale;
    }
    const double plot = qchart->plotArea().height() / (1 + above + below);
    QMargins margins = qchart->margins();
    margins.setTop(margins.top() + int(std::ceil(above * plot)));
    margins.setBottom(margins.bottom() + int(std::ceil(below * plot)));
    qchart->setMargins(margins);
    qchart->layout()->invalidate();
    qchart->layout()->activate();
}

} // namespace

PlotMapping addAxes(QGraphicsScene& scene, const Chart& chart, const QRectF& chartRect, const QLocale& locale,
                    const Units& u)
{
    QChart* qchart = addFrame(scene, locale, u);

    double yMin = chart.axisMin;
    double yMax = chart.axisMax;
    if (!std::isfinite(yMin))
        yMin = 0;
    if (!std::isfinite(yMax) || yMax <= yMin)
        yMax = yMin + 1;
    addValueAxis(qchart, yMin, yMax, chart.axisFormat, chartRect.height(), u);

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
    QCategoryAxis* xAxis = addCategoryAxis(qchart, labels, xMin, xMax, u);

    qchart->setGeometry(chartRect);
    qchart->layout()->activate();
    fitCategoryLabels(qchart, xAxis, labels, xMax - xMin, u);
    if (chart.keepSeriesInChart)
        makeRoomBeyondAxis(qchart, chart, yMin, yMax);

    // plotArea() is in the chart's own coordinates.
    return PlotMapping{qchart->mapRectToScene(qchart->plotArea()), xMin, xMax, yMin, yMax};
}

} // namespace velmora::print::chartparts
