#pragma once
// The chart element of printed reports: a two-dimensional line chart with a
// fixed value axis, a category axis of point labels, a legend and line series
// that reports find by name, fill, style and remove at run time. The chart is
// a plain value (copied into the laid-out pages); paintChart() draws it with
// Qt Charts at the resolution of the painter's device.

#include <QColor>
#include <QList>
#include <QLocale>
#include <QRectF>
#include <QString>
#include <QStringList>

class QPainter;

namespace velmora::print {

enum class PointShape { Circle, Square };
enum class LegendPlace { Right, Top };

struct ChartPoint
{
    double x = 0;
    double y = 0;
    QString label;
};

struct ChartSeries
{
    QString name;  // how reports find it ("Series1")
    QString title; // what the legend shows
    QColor color = Qt::black;
    PointShape shape = PointShape::Circle;
    // Size of the point marks in screen pixels at 96 dpi (half width and half
    // height, as in "circles 3 x 3"); painted at the same physical size.
    int pointWidth = 3;
    int pointHeight = 3;
    bool marksVisible = false;  // the value written beside every point
    QString marksFormat;        // number pattern of the marks, "#,##0.00#"
    // Points, kept in ascending order of x (a point with an x already present
    // goes after the points with that x).
    QList<ChartPoint> points;

    void clear() { points.clear(); }
    void addXY(double x, double y, const QString& label);
};

class Chart
{
public:
    // Value (left) axis: fixed range and the number pattern of its labels.
    double axisMin = 0;
    double axisMax = 14;
    QString axisFormat = QStringLiteral("#,##0.0");

    // A series beyond the value axis is drawn where its values fall. Off
    // (the default): over the page around the chart, as far as the bounds
    // given to paintChart(). On: the plot is made lower (or higher, for
    // values below the axis) just enough for those values to land inside
    // the chart's own rectangle, so that what stands around the chart (a
    // page head) is not drawn over; the axis keeps its range. The plot keeps
    // at least a third of its height: values farther out still run beyond.
    bool keepSeriesInChart = false;

    bool legendVisible = true;
    LegendPlace legendPlace = LegendPlace::Right;

    // Face of the chart's texts (axis labels, value marks, legend). Empty
    // means the engine's face, defaultFamily() (face.h); a chart laid out
    // in a report with no face of its own takes the face of its band, so
    // that the page shows one face throughout.
    QString fontFamily;

    // The series in drawing order. A pointer from series() or addSeries()
    // stays valid until the next addSeries() or removeSeries().
    const QList<ChartSeries>& allSeries() const { return m_series; }
    ChartSeries* series(const QString& name);
    const ChartSeries* series(const QString& name) const;
    ChartSeries& addSeries(const QString& name);
    // False when no series bears `name`.
    bool removeSeries(const QString& name);

    // The legend in its automatic style: the titles of the series when the
    // chart holds two or more, the points of the only series (one entry per
    // point: its label and its value in the marks format) when it holds one.
    struct LegendEntry
    {
        QString text;
        QColor color;
        PointShape shape = PointShape::Circle;
    };
    QList<LegendEntry> legendEntries(const QLocale& locale = QLocale()) const;

    // Labels of the category axis: for every x position 0, 1, 2 ... the label
    // of the first point found there, over all series.
    QStringList categoryLabels() const;

private:
    QList<ChartSeries> m_series;
};

// Writes `value` with a number pattern of the kind "#,##0.0" or "#,##0.00#":
// a ',' in the integer part asks for grouped thousands, the '0's after the
// point are decimals always written, the '#'s after them decimals written
// only when not zero. Separators come from `locale`.
QString formatPattern(double value, const QString& pattern, const QLocale& locale = QLocale());

// Paints `chart` into `target` (device units of the painter's device). Fonts,
// lines and marks keep their physical size whatever the device's resolution.
// The frame, axes and legend stay inside `target`; a series whose values
// fall beyond the value axis is drawn where they fall (line, point marks and
// value marks), up to the edges of `bounds`: the page's printable area when
// the chart is printed in a report. An empty `bounds` keeps the series
// inside `target` too.
void paintChart(QPainter& painter, const QRectF& target, const Chart& chart, const QRectF& bounds = QRectF());

} // namespace velmora::print
