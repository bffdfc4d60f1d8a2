// Drawing of the chart element. Qt Charts lays out and draws the frame of the
// chart (background, axes, grid, axis labels); the series, their value marks
// and the legend are items of the same scene placed from the plot area Qt
// Charts computed, because Qt Charts clips its series to the plot area while
// a report's chart lets a line run above the value axis' maximum (an
// expected development of 19,45 on an axis of 0 to 14, drawn over the page
// head if it must), and its legend cannot list the points of a lone series. The parts live in
// chartlegend.cpp, chartaxes.cpp and chartseries.cpp.
//
// The scene is built in the units Qt's fonts are measured in, the pixels of
// the primary screen, at the physical size of the target, and rendered
// scaled onto the painter: text, lines and marks then keep their physical
// size on a 96 dpi preview, a 600 dpi printer or a 1200 dpi PDF alike.

#include "chart.h"
#include "chartparts.h"
#include "face.h"

#include <QApplication>
#include <QGraphicsRectItem>
#include <QGraphicsScene>
#include <QGuiApplication>
#include <QPaintDevice>
#include <QPainter>
#include <QScreen>

namespace velmora::print {

namespace {

double screenDpi()
{
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        if (screen->logicalDotsPerInch() > 0)
            return screen->logicalDotsPerInch();
    return 96;
}

} // namespace

void paintChart(QPainter& painter, const QRectF& target, const Chart& chart, const QRectF& bounds)
{
    using namespace chartparts;

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
    u.family = chart.fontFamily.isEmpty() ? defaultFamily() : chart.fontFamily;
    const double sceneX = dpi / dpiX; // scene units per device unit
    const double sceneY = dpi / dpiY;
    const QRectF sceneRect(0, 0, target.width() * sceneX, target.height() * sceneY);

    // Where the series may run: `bounds` (with the target) in device units,
    // and the same in the scene, whose origin is the target's top left.
    const QRectF reach = bounds.isValid() && !bounds.isEmpty() ? bounds.united(target) : target;
    const QRectF sceneReach((reach.left() - target.left()) * sceneX, (reach.top() - target.top()) * sceneY,
                            reach.width() * sceneX, reach.height() * sceneY);

    const QLocale locale;
    QGraphicsScene scene;
    scene.setSceneRect(sceneReach);
    // White under the chart only: what lies around it on the page shows.
    scene.addRect(sceneRect, Qt::NoPen, Qt::white)->setZValue(-1000);

    // Legend first: the plot gets what it leaves.
    const QList<Chart::LegendEntry> entries = chart.legendVisible ? chart.legendEntries(locale)
                                                                  : QList<Chart::LegendEntry>();
    const QRectF chartRect = addLegend(scene, entries, chart.legendPlace, sceneRect, u);
    const PlotMapping mapping = addAxes(scene, chart, chartRect, locale, u);
    for (const ChartSeries& s : chart.allSeries())
        addSeries(scene, s, mapping, locale, u);

    painter.save();
    painter.setClipRect(reach, Qt::IntersectClip);
    painter.setRenderHint(QPainter::Antialiasing, true);
    painter.setRenderHint(QPainter::TextAntialiasing, true);
    scene.render(&painter, reach, sceneReach, Qt::IgnoreAspectRatio);
    painter.restore();
}

} // namespace velmora::print
