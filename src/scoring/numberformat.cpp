#include "numberformat.h"

#include <cmath>

namespace velmora {

QString formatGeneral(double value, const QLocale &locale)
{
    QLocale plain = locale;
    plain.setNumberOptions(plain.numberOptions() | QLocale::OmitGroupSeparator);

    if (value == 0.0)
        value = 0.0; // no "-0"

    // 'g' with 15 digits switches to an exponent once the value rounds to
    // 1e15 or more; a 16-digit whole number is still ordinary, so it is
    // written out, rounded to 15 significant digits like every other value.
    const double magnitude = std::fabs(value);
    if (magnitude >= 999999999999999.5 && magnitude < 1e16)
        return plain.toString(std::round(value / 10.0) * 10.0, 'f', 0);

    return plain.toString(value, 'g', 15);
}

} // namespace velmora
