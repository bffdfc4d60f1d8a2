#include "pixels.h"

#include <QFont>
#include <QFontMetrics>
#include <QPainter>

#include <algorithm>

namespace velmora::testsupport {

bool nearColour(QRgb c, QRgb target, int tolerance)
{
    return qAbs(qRed(c) - qRed(target)) < tolerance && qAbs(qGreen(c) - qGreen(target)) < tolerance
        && qAbs(qBlue(c) - qBlue(target)) < tolerance;
}

int pixelsNot(const QImage& image, const QRect& rect, QRgb background, int tolerance)
{
    const int bg = qGray(background);
    return countPixels(image, rect, [bg, tolerance](QRgb c) { return qAbs(qGray(c) - bg) > tolerance; });
}

int darkest(const QImage& image, const QRect& rect)
{
    int out = 255;
    const QRect r = rect & image.rect();
    for (int y = r.top(); y <= r.bottom(); ++y)
        for (int x = r.left(); x <= r.right(); ++x)
            out = qMin(out, qGray(image.pixel(x, y)));
    return out;
}

Ink darkInk(const QImage& image, const QRect& rect, int darkerThan)
{
    Ink ink;
    const QRect r = rect & image.rect();
    for (int y = r.top(); y <= r.bottom(); ++y)
        for (int x = r.left(); x <= r.right(); ++x)
            if (qGray(image.pixel(x, y)) < darkerThan) {
                ++ink.pixels;
                ink.right = std::max(ink.right, x);
            }
    return ink;
}

QList<int> inkRows(const QImage& image, int darkerThan)
{
    QList<int> rows;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            if (qGray(image.pixel(x, y)) < darkerThan) {
                rows << y;
                break;
            }
        }
    }
    return rows;
}

double inkOf(const QImage& image, const QColor& background, const QColor& text)
{
    const int bg = qGray(background.rgb());
    const int range = qGray(text.rgb()) - bg;
    double ink = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            ink += std::clamp(double(qGray(image.pixel(x, y)) - bg) / range, 0.0, 1.0);
    return ink;
}

double inkOfText(const QString& text, const QFont& font, const QColor& background, const QColor& colour)
{
    const QFontMetrics fm(font);
    QImage image(fm.horizontalAdvance(text) + 8, fm.height() + 4, QImage::Format_RGB32);
    image.fill(background);
    QPainter p(&image);
    p.setFont(font);
    p.setPen(colour);
    p.drawText(QPoint(4, 2 + fm.ascent()), text);
    p.end();
    return inkOf(image, background, colour);
}

} // namespace velmora::testsupport
