#pragma once

#include <QLocale>
#include <QString>

namespace velmora {

// A number as the program shows it: up to 15 significant digits, no
// trailing zeros, the locale's decimal separator and no thousands grouping
// (3.5 -> "3,5", 4 -> "4", 12345.5 -> "12345,5" under Italian settings).
// Plain positional notation up to 1e16; only larger or tiny values use an
// exponent.
QString formatGeneral(double value, const QLocale &locale = QLocale());

} // namespace velmora
