// The series of the chart element: a line through the points, a mark on
// every point and, when asked, the value written above every mark.

#include "chartparts.h"

#include <QFontMetricsF>
#include <QGraphicsEllipseItem>
#include <QGraphicsPathItem>
#include <QGraphicsRectItem>
#include <QGraphicsScene>
#include <QGraphicsSimpleTextItem>
#include <QPainterPath>
#include <QPen>

#include <algorithm>
#include <cmath>

namespace velmora::print::chartparts {

QFont Units::font(double pointSize) const
{
    QFont f(family);
    f.setStyleHint(QFont::SansSerif);
    f.setPointSizeF(pointSize);
    return f;
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

QSizeF markerHalfSize(int pointWidth, int pointHeight, const Units& u)
{
    return QSizeF(u.px(std::max(0, pointWidth) + 0.5), u.px(std::max(0, pointHeight) + 0.5));
}

namespace {

void addLine(QGraphicsScene& scene, const QList<QPointF>& at, const QColor& color, const Units& u)
{
    if (at.size() < 2)
        return;
    QPainterPath path(at.first());
    for (qsizetype i = 1; i < at.size(); ++i)
        path.lineTo(at.at(i));
    QPen pen(color);
    pen.setWidthF(u.px(1.5));
    pen.setJoinStyle(Qt::RoundJoin);
    pen.setCapStyle(Qt::RoundCap);
    scene.addPath(path, pen)->setZValue(10);
}

// The value of every point in the series' marks format, in a small white
// box just above its mark, so that grid and lines do not run through the
// figures.
void addValueMarks(QGraphicsScene& scene, const ChartSeries& s, const QList<QPointF>& at, double markHalfHeight,
                   const QLocale& locale, const Units& u)
{
    const QFont font = u.font(MarksFontPt);
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
        const QRectF box(c.x() - w / 2 - u.px(2), c.y() - markHalfHeight - u.px(2) - fm.height(), w + u.px(4),
                         fm.height());
        scene.addRect(box, framePen, Qt::white)->setZValue(12);
        auto* label = scene.addSimpleText(text, font);
        label->setBrush(Qt::black);
        label->setPos(box.left() + u.px(2), box.top());
        label->setZValue(13);
    }
}

} // namespace

void addSeries(QGraphicsScene& scene, const ChartSeries& s, const PlotMapping& map, const QLocale& locale,
               const Units& u)
{
    QList<QPointF> at;
    at.reserve(s.points.size());
    for (const ChartPoint& p : s.points)
        if (std::isfinite(p.x) && std::isfinite(p.y))
            at.append(map.map(p.x, p.y));
    if (at.isEmpty())
        return;

    addLine(scene, at, s.color, u);
    const QSizeF half = markerHalfSize(s.pointWidth, s.pointHeight, u);
    for (const QPointF& c : at)
        addMarker(scene, c, half.width(), half.height(), s.shape, s.color, u)->setZValue(11);
    if (s.marksVisible)
        addValueMarks(scene, s, at, half.height(), locale, u);
}

} // namespace velmora::print::chartparts
