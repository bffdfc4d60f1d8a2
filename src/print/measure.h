#pragma once
// Text measured in millimetres, as it prints: fonts are measured on a device
// of 1200 dots per inch, where hinting no longer rounds their metrics.
// Internal to the engine.

#include <QFont>
#include <QString>

namespace velmora::print::measure {

struct Metrics
{
    double ascent;  // mm
    double descent; // mm
    double height() const { return ascent + descent; } // one line
};

Metrics metrics(const QFont& font);
double width(const QFont& font, const QString& text); // mm

// Word-wraps `text` (one paragraph, no line breaks) into lines at most
// `widthMm` wide; a word wider than that is broken anywhere.
QStringList wrap(const QFont& font, const QString& text, double widthMm);

// `text` shortened so that it and a closing "…" fit `widthMm`; the "…" is
// added even when `text` would fit alone (it tells of lines left out).
QString withEllipsis(const QFont& font, const QString& text, double widthMm);

} // namespace velmora::print::measure
