#pragma once
// The face of every printed text, the report's and the chart's alike.

#include <QString>

namespace velmora::print {

// Tahoma where it is installed; otherwise the nearest installed face in
// width (Liberation Sans, Arimo, Arial, DejaVu Sans Condensed), so that
// labels and the values beside them keep apart as laid out.
QString defaultFamily();

} // namespace velmora::print
