#pragma once
// The parts paintChart() builds a chart's scene from: the legend, the axes
// (the frame Qt Charts lays out) and the series. Internal to the engine.
//
// Every part works in scene units, the pixels of the primary screen (the
// units Qt measures fonts in), at the physical size of the target.

#include "chart.h"

#include <QFont>
#include <QList>
#include <QLocale>
#include <QPointF>
#include <QRectF>
#include <QSizeF>
#include <QString>

class QAbstractGraphicsShapeItem;
class QChart;
class QGraphicsScene;

namespace velmora::print::chartparts {

constexpr double AxisFontPt = 8;
constexpr double MarksFontPt = 7;
constexpr double LegendFontPt = 8;
constexpr double LegendMinFontPt = 5;

// Scene units and the face of the chart's texts.
struct Units
{
    double perMm = 96 / 25.4;
    double perPx96 = 1; // one pixel of a 96 dpi screen
    QString family;     // face of every text of the chart

    double mm(double v) const { return v * perMm; }
    double px(double v) const { return v * perPx96; }
    QFont font(double pointSize) const;
};

// A point mark (circle or square) centred on `centre`, filled with `color`.
QAbstractGraphicsShapeItem* addMarker(QGraphicsScene& scene, const QPointF& centre, double halfWidth,
                                      double halfHeight, PointShape shape, const QColor& color, const Units& u);

// Half sizes of a series' point marks in scene units: the marks of a
// "3 x 3" circle are 7 pixels across on a 96 dpi screen.
QSizeF markerHalfSize(int pointWidth, int pointHeight, const Units& u);

// ---------------------------------------------------------------- legend

// Draws the legend of `entries` inside `sceneRect` (at its right, centred
// vertically, or on top, centred horizontally) and gives what is left of
// `sceneRect` for the axes and the plot.
QRectF addLegend(QGraphicsScene& scene, const QList<Chart::LegendEntry>& entries, LegendPlace place,
                 const QRectF& sceneRect, const Units& u);

// ---------------------------------------------------------------- axes

// Where the values of the series land in the scene.
struct PlotMapping
{
    QRectF plot;
    double xMin = 0, xMax = 1, yMin = 0, yMax = 1;

    QPointF map(double x, double y) const
    {
        return QPointF(plot.left() + (x - xMin) / (xMax - xMin) * plot.width(),
                       plot.bottom() - (y - yMin) / (yMax - yMin) * plot.height());
    }
};

// Lays the frame of the chart (background, value and category axes, grid,
// axis labels) by Qt Charts into `chartRect`; the scene owns it. Gives the
// mapping of values onto the plot area Qt Charts computed.
PlotMapping addAxes(QGraphicsScene& scene, const Chart& chart, const QRectF& chartRect, const QLocale& locale,
                    const Units& u);

// ---------------------------------------------------------------- series

// Draws the line, point marks and value marks of `s`. Nothing limits them to
// the plot: a value beyond the axis is drawn where it falls.
void addSeries(QGraphicsScene& scene, const ChartSeries& s, const PlotMapping& map, const QLocale& locale,
               const Units& u);

} // namespace velmora::print::chartparts
