#pragma once
// Counting what is painted: pixels of a colour or near one, the ink of a
// text, the rows and bounds holding ink. Shared by the tests that look at a
// grabbed screen or a painted page, so that "ink" means one thing in all of
// them. Every function reads only the part of its rectangle that lies inside
// the image.
#include <QColor>
#include <QImage>
#include <QList>
#include <QRect>
#include <QString>

#include <algorithm>

class QFont;

namespace velmora::testsupport {

// Pixels in `area` of `image` for which `test(QRgb)` holds.
template <typename Test>
int countPixels(const QImage& image, const QRect& area, Test test)
{
    int n = 0;
    const QRect r = area & image.rect();
    for (int y = r.top(); y <= r.bottom(); ++y)
        for (int x = r.left(); x <= r.right(); ++x)
            if (test(image.pixel(x, y)))
                ++n;
    return n;
}

// The smallest rectangle holding every pixel in `area` for which
// `test(QRgb)` holds; a null rectangle when there is none.
template <typename Test>
QRect boundsOf(const QImage& image, const QRect& area, Test test)
{
    int left = image.width(), top = image.height(), right = -1, bottom = -1;
    const QRect r = area & image.rect();
    for (int y = r.top(); y <= r.bottom(); ++y)
        for (int x = r.left(); x <= r.right(); ++x)
            if (test(image.pixel(x, y))) {
                left = std::min(left, x);
                right = std::max(right, x);
                top = std::min(top, y);
                bottom = std::max(bottom, y);
            }
    return right < 0 ? QRect() : QRect(QPoint(left, top), QPoint(right, bottom));
}

// True when `c` lies within `tolerance` of `target` in each of red, green and
// blue (strictly less than `tolerance` apart).
bool nearColour(QRgb c, QRgb target, int tolerance);

// Pixels in `rect` whose grey differs from `background`'s grey by more than
// `tolerance`: what is painted on a face of that colour.
int pixelsNot(const QImage& image, const QRect& rect, QRgb background, int tolerance = 24);

// The darkest grey in `rect`: black ink where a glyph is drawn enabled, a
// light grey where it is drawn disabled. 255 for an empty rectangle.
int darkest(const QImage& image, const QRect& rect);

// Dark pixels (grey below `darkerThan`) in `rect`, and the rightmost column
// holding one (-1 when there is none).
struct Ink
{
    int pixels = 0;
    int right = -1;
};
Ink darkInk(const QImage& image, const QRect& rect, int darkerThan);

// The rows of `image` holding at least one pixel whose grey is below
// `darkerThan`, top to bottom.
QList<int> inkRows(const QImage& image, int darkerThan);

// The ink a text puts on `image`: each pixel counts by how far its grey lies
// from the background's towards the text's colour (1 for a pixel wholly in
// the text's colour, 0 at the background or beyond it), so that the thin,
// half-covered pixels of a light stroke count in part and a heavier stroke
// counts more.
double inkOf(const QImage& image, const QColor& background, const QColor& text);

// The ink of `text` painted in `font` and `colour` on its own, on a
// `background` with a margin of 4 pixels left and right, 2 above and below.
double inkOfText(const QString& text, const QFont& font, const QColor& background, const QColor& colour);

} // namespace velmora::testsupport
