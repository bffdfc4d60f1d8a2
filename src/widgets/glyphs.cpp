#include "glyphs.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

namespace velmora {

namespace {

const QColor outline(60, 60, 60);
const QColor green(46, 160, 67);
const QColor red(210, 45, 45);
const QColor blue(40, 110, 200);
const QColor orange(235, 140, 30);
const QColor wood(170, 110, 60);
const QColor paper(252, 252, 248);
const QColor grey(150, 150, 150);


// An arrow from `from` to `to` with a filled head.
void arrow(QPainter& p, QPointF from, QPointF to, const QColor& c)
{
    p.setPen(roundPen(c, 2.6));
    const QLineF shaft(from, to);
    const QLineF unit = shaft.unitVector();
    const QPointF d = unit.p2() - unit.p1();
    const QPointF n(-d.y(), d.x());
    const QPointF base = to - d * 5.0;
    p.drawLine(from, base);
    p.setPen(roundPen(c, 1.0));
    p.setBrush(c);
    const QPointF head[] = {to, base + n * 4.0, base - n * 4.0};
    p.drawPolygon(head, 3);
}

// A door frame with the door swung open towards the viewer.
void door(QPainter& p)
{
    p.setPen(roundPen(outline, 1.2));
    p.setBrush(QColor(235, 225, 205));
    p.drawRect(QRectF(12.5, 2.5, 9, 19));
    p.setBrush(wood);
    const QPointF leaf[] = {{12.5, 2.5}, {17.5, 4.5}, {17.5, 23.0}, {12.5, 21.5}};
    p.drawPolygon(leaf, 4);
    p.setBrush(outline);
    p.drawEllipse(QPointF(16.2, 13), 0.7, 0.7);
}

void page(QPainter& p, const QRectF& r)
{
    p.setPen(roundPen(outline, 1.1));
    p.setBrush(paper);
    QPainterPath path;
    path.moveTo(r.topLeft());
    path.lineTo(r.right() - 4, r.top());
    path.lineTo(r.right(), r.top() + 4);
    path.lineTo(r.bottomRight());
    path.lineTo(r.bottomLeft());
    path.closeSubpath();
    p.drawPath(path);
    p.drawLine(QPointF(r.right() - 4, r.top()), QPointF(r.right() - 4, r.top() + 4));
    p.drawLine(QPointF(r.right() - 4, r.top() + 4), QPointF(r.right(), r.top() + 4));
}

void axes(QPainter& p)
{
    p.setPen(roundPen(outline, 1.3));
    p.setBrush(Qt::NoBrush);
    const QPointF axis[] = {{3, 2.5}, {3, 21}, {22, 21}};
    p.drawPolyline(axis, 3);
    p.setPen(roundPen(QColor(200, 200, 200), 0.8));
    for (double y : {7.0, 12.0, 17.0})
        p.drawLine(QPointF(4.5, y), QPointF(21.5, y));
}

void profile(QPainter& p, const QList<QPointF>& points, const QColor& c, bool marks)
{
    p.setPen(roundPen(c, 2.0));
    p.setBrush(Qt::NoBrush);
    p.drawPolyline(points.data(), int(points.size()));
    if (!marks)
        return;
    p.setPen(roundPen(c.darker(140), 1.0));
    p.setBrush(Qt::white);
    for (const QPointF& pt : points)
        p.drawEllipse(pt, 1.6, 1.6);
}

void printer(QPainter& p)
{
    p.setPen(roundPen(outline, 1.2));
    p.setBrush(QColor(70, 105, 160));
    p.drawRoundedRect(QRectF(2.5, 12.5, 19, 7.5), 1.5, 1.5);
    p.setBrush(QColor(45, 70, 110));
    p.drawRect(QRectF(5.5, 19.5, 13, 3));
    p.setBrush(green);
    p.setPen(Qt::NoPen);
    p.drawEllipse(QPointF(18.5, 15), 1, 1);
}

void disc(QPainter& p, const QColor& c)
{
    QRadialGradient g(QPointF(10, 9), 13);
    g.setColorAt(0, c.lighter(130));
    g.setColorAt(1, c);
    p.setPen(roundPen(c.darker(130), 1.2));
    p.setBrush(g);
    p.drawEllipse(QRectF(2.5, 2.5, 19, 19));
}

void draw(QPainter& p, Glyph glyph)
{
    switch (glyph) {
    case Glyph::Accedi:
        door(p);
        arrow(p, {1.5, 12}, {14, 12}, green);
        break;
    case Glyph::Esci:
        door(p);
        arrow(p, {9, 12}, {23, 12}, red);
        break;
    case Glyph::EsciUtente:
        p.setPen(roundPen(blue.darker(140), 1.1));
        p.setBrush(blue);
        p.drawEllipse(QPointF(9, 7), 4, 4);
        {
            QPainterPath body;
            body.moveTo(1.5, 22);
            body.cubicTo(1.5, 13, 16.5, 13, 16.5, 22);
            body.closeSubpath();
            p.drawPath(body);
        }
        arrow(p, {12, 17}, {23, 17}, red);
        break;
    case Glyph::About: {
        disc(p, blue);
        p.setPen(Qt::NoPen);
        p.setBrush(Qt::white);
        p.drawEllipse(QPointF(12, 7.5), 1.7, 1.7);
        p.drawRoundedRect(QRectF(10.4, 10.5, 3.2, 8), 1, 1);
        break;
    }
    case Glyph::Confronto:
        axes(p);
        profile(p, {{4, 17}, {9, 11}, {14, 13}, {20, 5}}, blue, false);
        profile(p, {{4, 19}, {9, 15}, {14, 8}, {20, 10}}, red, false);
        break;
    case Glyph::Profili:
        axes(p);
        profile(p, {{5, 17}, {10, 9}, {15, 12}, {20, 5}}, green, true);
        break;
    case Glyph::Nuovo:
        page(p, QRectF(3.5, 2.5, 14, 19));
        p.setPen(roundPen(QColor(170, 170, 170), 1.0));
        for (double y : {8.0, 11.0, 14.0})
            p.drawLine(QPointF(6, y), QPointF(14, y));
        p.setPen(roundPen(green.darker(120), 1.0));
        p.setBrush(green);
        {
            const QPointF plus[] = {{16, 12}, {19, 12}, {19, 15}, {22, 15}, {22, 18}, {19, 18},
                                    {19, 21}, {16, 21}, {16, 18}, {13, 18}, {13, 15}, {16, 15}};
            p.drawPolygon(plus, 12);
        }
        break;
    case Glyph::Annulla:
        disc(p, red);
        p.setPen(roundPen(Qt::white, 2.8));
        p.drawLine(QPointF(8.5, 8.5), QPointF(15.5, 15.5));
        p.drawLine(QPointF(15.5, 8.5), QPointF(8.5, 15.5));
        break;
    case Glyph::Conferma: {
        disc(p, green);
        p.setPen(roundPen(Qt::white, 2.8));
        p.setBrush(Qt::NoBrush);
        const QPointF tick[] = {{7.5, 12.5}, {10.8, 15.8}, {16.5, 8.5}};
        p.drawPolyline(tick, 3);
        break;
    }
    case Glyph::Scheda:
        page(p, QRectF(6.5, 1.5, 11, 14));
        p.setPen(roundPen(blue, 1.0));
        for (double y : {5.0, 7.5, 10.0})
            p.drawLine(QPointF(8.5, y), QPointF(14.5, y));
        printer(p);
        break;
    case Glyph::Grafico:
        page(p, QRectF(6.5, 1.5, 11, 14));
        p.setPen(roundPen(orange, 1.6));
        p.setBrush(Qt::NoBrush);
        {
            const QPointF line[] = {{8.5, 10.5}, {11, 6.5}, {13, 8.5}, {15.5, 4}};
            p.drawPolyline(line, 4);
        }
        printer(p);
        break;
    case Glyph::Torna: {
        QPainterPath bend;
        bend.moveTo(20.5, 20);
        bend.lineTo(20.5, 14);
        bend.cubicTo(20.5, 10, 18, 8.5, 14, 8.5);
        bend.lineTo(9, 8.5);
        p.setPen(roundPen(blue, 3.0));
        p.setBrush(Qt::NoBrush);
        p.drawPath(bend);
        p.setPen(roundPen(blue, 1.0));
        p.setBrush(blue);
        const QPointF head[] = {{2.5, 8.5}, {10, 2.5}, {10, 14.5}};
        p.drawPolygon(head, 3);
        break;
    }
    }
}

} // namespace

QPixmap glyphPixmap(Glyph glyph, int size)
{
    QPixmap pm(size, size);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(size / 24.0, size / 24.0);
    draw(p, glyph);
    return pm;
}

QIcon glyphIcon(Glyph glyph)
{
    QIcon icon;
    for (int size : {16, 24, 32, 48})
        icon.addPixmap(glyphPixmap(glyph, size), QIcon::Normal);
    return icon;
}

QPen roundPen(const QColor& colour, double width)
{
    QPen p(colour, width);
    p.setCapStyle(Qt::RoundCap);
    p.setJoinStyle(Qt::RoundJoin);
    return p;
}

} // namespace velmora
