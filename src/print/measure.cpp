#include "measure.h"

#include <QFontMetricsF>
#include <QImage>
#include <QStringList>
#include <QTextLayout>
#include <QTextOption>

namespace velmora::print::measure {

namespace {

constexpr double Dpi = 1200;

const QPaintDevice* device()
{
    static const QImage image = [] {
        QImage i(1, 1, QImage::Format_RGB32);
        i.setDotsPerMeterX(qRound(Dpi / 0.0254));
        i.setDotsPerMeterY(qRound(Dpi / 0.0254));
        return i;
    }();
    return &image;
}

double toMm(double dots)
{
    return dots * 25.4 / Dpi;
}

double toDots(double mm)
{
    return mm * Dpi / 25.4;
}

} // namespace

Metrics metrics(const QFont& font)
{
    const QFontMetricsF fm(font, device());
    return {toMm(fm.ascent()), toMm(fm.descent())};
}

double width(const QFont& font, const QString& text)
{
    return toMm(QFontMetricsF(font, device()).horizontalAdvance(text));
}

QStringList wrap(const QFont& font, const QString& text, double widthMm)
{
    if (text.isEmpty())
        return {QString()};
    QTextLayout layout(text, font, const_cast<QPaintDevice*>(device()));
    QTextOption option;
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    layout.setTextOption(option);
    QStringList lines;
    layout.beginLayout();
    for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
        line.setLineWidth(toDots(widthMm));
        QString part = text.mid(line.textStart(), line.textLength());
        while (part.endsWith(QLatin1Char(' ')))
            part.chop(1);
        lines.append(part);
    }
    layout.endLayout();
    return lines;
}

QString withEllipsis(const QFont& font, const QString& text, double widthMm)
{
    const QString dots = QStringLiteral("…");
    QString kept = text;
    while (!kept.isEmpty() && width(font, kept.trimmed() + dots) > widthMm)
        kept.chop(1);
    return kept.trimmed() + dots;
}

} // namespace velmora::print::measure
