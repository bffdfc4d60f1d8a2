#include "pictures.h"
#include "glyphs.h"

#include <QFont>
#include <QPainter>
#include <QPainterPath>

#include <cmath>

namespace velmora {

namespace {

// The colours of the program's icon (dist/icons/velmora.svg).
const QColor tile(0xff, 0xf4, 0xe0);
const QColor tileEdge(0xe0, 0xa0, 0x40);
const QColor blockA(0xe8, 0x57, 0x4a);
const QColor blockB(0xf2, 0xa5, 0x41);
const QColor blockC(0x3f, 0x9e, 0x6e);
const QColor growth(0x4a, 0x6f, 0xa5);
const QColor sun(0xf7, 0xc9, 0x48);
const QColor grass(0x8c, 0xc8, 0x6a);
const QColor skin(0xf4, 0xc9, 0xa0);
const QColor hair(0x8a, 0x55, 0x30);
const QColor ink(0x50, 0x40, 0x30);

void block(QPainter& p, const QRectF& r, const QColor& c, const QString& letter)
{
    p.setPen(roundPen(c.darker(125), 2));
    p.setBrush(c);
    p.drawRoundedRect(r, 7, 7);
    QFont f(QStringLiteral("Tahoma"));
    f.setStyleHint(QFont::SansSerif);
    f.setPixelSize(30);
    f.setBold(true);
    p.setFont(f);
    p.setPen(Qt::white);
    p.drawText(QRectF(r.left(), r.bottom() - 48, r.width(), 44), Qt::AlignCenter, letter);
}

// A child with the arms up, standing with the feet at `feet`.
void child(QPainter& p, QPointF feet)
{
    const double x = feet.x();
    const double y = feet.y();
    // Legs and arms.
    p.setPen(roundPen(ink, 4));
    p.drawLine(QPointF(x - 5, y - 16), QPointF(x - 6, y));
    p.drawLine(QPointF(x + 5, y - 16), QPointF(x + 6, y));
    p.setPen(roundPen(skin.darker(115), 4));
    p.drawLine(QPointF(x - 8, y - 40), QPointF(x - 20, y - 58));
    p.drawLine(QPointF(x + 8, y - 40), QPointF(x + 20, y - 58));
    // The dress.
    p.setPen(roundPen(growth.darker(120), 1.5));
    p.setBrush(growth);
    QPainterPath dress;
    dress.moveTo(x - 7, y - 46);
    dress.lineTo(x + 7, y - 46);
    dress.lineTo(x + 15, y - 14);
    dress.lineTo(x - 15, y - 14);
    dress.closeSubpath();
    p.drawPath(dress);
    // The head with its hair and a smile.
    p.setPen(roundPen(skin.darker(130), 1.5));
    p.setBrush(skin);
    p.drawEllipse(QPointF(x, y - 58), 11, 11);
    p.setPen(Qt::NoPen);
    p.setBrush(hair);
    p.drawChord(QRectF(x - 12, y - 71, 24, 20), 20 * 16, 140 * 16);
    p.setBrush(ink);
    p.drawEllipse(QPointF(x - 4, y - 58), 1.4, 1.4);
    p.drawEllipse(QPointF(x + 4, y - 58), 1.4, 1.4);
    p.setPen(roundPen(ink, 1.4));
    p.setBrush(Qt::NoBrush);
    p.drawArc(QRectF(x - 5, y - 58, 10, 7), 200 * 16, 140 * 16);
}

void paintPicture(QPainter& p)
{
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);
    const QRectF frame(3, 3, 194, 294);

    // The tile.
    p.setPen(roundPen(tileEdge, 4));
    p.setBrush(tile);
    p.drawRoundedRect(frame, 30, 30);
    QPainterPath inside;
    inside.addRoundedRect(frame.adjusted(2, 2, -2, -2), 28, 28);
    p.setClipPath(inside);

    // The sun, its rays and a cloud.
    const QPointF centre(52, 56);
    p.setPen(roundPen(sun.darker(110), 4));
    for (int i = 0; i < 12; ++i) {
        const double a = i * M_PI / 6;
        p.drawLine(centre + QPointF(std::cos(a), std::sin(a)) * 26, centre + QPointF(std::cos(a), std::sin(a)) * 36);
    }
    p.setPen(Qt::NoPen);
    p.setBrush(sun);
    p.drawEllipse(centre, 20, 20);
    p.setBrush(Qt::white);
    const QPointF cloud(146, 40);
    p.drawEllipse(cloud, 16, 11);
    p.drawEllipse(cloud + QPointF(14, 3), 13, 9);
    p.drawEllipse(cloud + QPointF(-14, 3), 12, 8);

    // The meadow.
    p.setBrush(grass);
    QPainterPath meadow;
    meadow.moveTo(0, 262);
    meadow.cubicTo(60, 248, 130, 272, 200, 256);
    meadow.lineTo(200, 300);
    meadow.lineTo(0, 300);
    meadow.closeSubpath();
    p.drawPath(meadow);

    // The blocks climbing as steps.
    block(p, QRectF(20, 214, 50, 52), blockA, QStringLiteral("A"));
    block(p, QRectF(75, 178, 50, 88), blockB, QStringLiteral("B"));
    block(p, QRectF(130, 140, 50, 126), blockC, QStringLiteral("C"));

    // The child on the highest block.
    child(p, QPointF(155, 139));

    // The growth line over the steps, ending in its dot.
    p.setPen(roundPen(growth, 5));
    p.setBrush(Qt::NoBrush);
    QPainterPath line;
    line.moveTo(28, 194);
    line.cubicTo(56, 182, 72, 168, 96, 150);
    line.cubicTo(112, 138, 118, 120, 124, 104);
    p.drawPath(line);
    p.setPen(Qt::NoPen);
    p.setBrush(growth);
    for (const QPointF dot : {QPointF(28, 194), QPointF(96, 150)})
        p.drawEllipse(dot, 5, 5);
    p.drawEllipse(QPointF(124, 104), 7, 7);

    p.setClipping(false);
}

} // namespace

QPixmap accessPicture(const QSize& size, qreal ratio)
{
    QPixmap pixmap(size * ratio);
    pixmap.setDevicePixelRatio(ratio);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    // Keep the drawing's proportions, centred in `size`.
    const double scale = std::min(size.width() / 200.0, size.height() / 300.0);
    p.translate((size.width() - 200 * scale) / 2, (size.height() - 300 * scale) / 2);
    p.scale(scale, scale);
    paintPicture(p);
    return pixmap;
}

} // namespace velmora
