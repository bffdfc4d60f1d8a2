#include "chart.h"
#include "numberformat.h"

#include <algorithm>
#include <cmath>

namespace velmora::print {

void ChartSeries::addXY(double x, double y, const QString& label)
{
    // After every point whose x is not greater: equal x keep their order of
    // arrival.
    const auto at = std::upper_bound(points.begin(), points.end(), x,
                                     [](double value, const ChartPoint& p) { return value < p.x; });
    points.insert(at, ChartPoint{x, y, label});
}

// Reports name their series as the original chart designer did ("Series1");
// the names are matched without regard to case, like any identifier there.
ChartSeries* Chart::series(const QString& name)
{
    for (ChartSeries& s : m_series)
        if (s.name.compare(name, Qt::CaseInsensitive) == 0)
            return &s;
    return nullptr;
}

const ChartSeries* Chart::series(const QString& name) const
{
    for (const ChartSeries& s : m_series)
        if (s.name.compare(name, Qt::CaseInsensitive) == 0)
            return &s;
    return nullptr;
}

ChartSeries& Chart::addSeries(const QString& name)
{
    ChartSeries s;
    s.name = name;
    s.title = name;
    m_series.append(s);
    return m_series.last();
}

bool Chart::removeSeries(const QString& name)
{
    for (qsizetype i = 0; i < m_series.size(); ++i) {
        if (m_series.at(i).name.compare(name, Qt::CaseInsensitive) == 0) {
            m_series.removeAt(i);
            return true;
        }
    }
    return false;
}

QList<Chart::LegendEntry> Chart::legendEntries(const QLocale& locale) const
{
    QList<LegendEntry> entries;
    if (m_series.size() == 1) {
        const ChartSeries& s = m_series.first();
        for (const ChartPoint& p : s.points)
            entries.append({p.label + QStringLiteral("  ") + formatPattern(p.y, s.marksFormat, locale),
                            s.color, s.shape});
    } else {
        for (const ChartSeries& s : m_series)
            entries.append({s.title, s.color, s.shape});
    }
    return entries;
}

namespace {

// The category a point belongs to: its x rounded to a whole position, -1 for
// points left of the first category or absurdly far right.
int categoryIndex(double x)
{
    if (!std::isfinite(x) || x < -0.5 || x >= 100000)
        return -1;
    return std::max(0, int(std::lround(x)));
}

} // namespace

QStringList Chart::categoryLabels() const
{
    int last = -1;
    for (const ChartSeries& s : m_series)
        for (const ChartPoint& p : s.points)
            last = std::max(last, categoryIndex(p.x));

    QStringList labels;
    QList<bool> named;
    for (int i = 0; i <= last; ++i) {
        labels.append(QString());
        named.append(false);
    }
    // A series that only adds values (with empty labels) leaves the names to
    // the series that bring them, whatever their order.
    for (const ChartSeries& s : m_series) {
        for (const ChartPoint& p : s.points) {
            const int i = categoryIndex(p.x);
            if (i < 0 || p.label.isEmpty())
                continue;
            if (!named.at(i)) {
                labels[i] = p.label;
                named[i] = true;
            }
        }
    }
    return labels;
}

namespace {

// Removes the quotes of a literal part of a pattern ("'kg'" -> "kg").
QString literalText(const QString& text)
{
    QString out;
    for (QChar c : text)
        if (c != QLatin1Char('"') && c != QLatin1Char('\''))
            out += c;
    return out;
}

} // namespace

QString formatPattern(double value, const QString& pattern, const QLocale& locale)
{
    if (pattern.isEmpty() || !std::isfinite(value))
        return formatGeneral(value, locale);

    // The number part runs from the first to the last of "#0,."; what lies
    // around it is written as it is.
    const auto isPlaceholder = [](QChar c) {
        return c == QLatin1Char('#') || c == QLatin1Char('0') || c == QLatin1Char(',') || c == QLatin1Char('.');
    };
    qsizetype first = 0;
    while (first < pattern.size() && !isPlaceholder(pattern.at(first)))
        ++first;
    if (first == pattern.size())
        return literalText(pattern);
    qsizetype last = pattern.size() - 1;
    while (!isPlaceholder(pattern.at(last)))
        --last;
    const QString prefix = literalText(pattern.left(first));
    const QString suffix = literalText(pattern.mid(last + 1));
    const QString number = pattern.mid(first, last - first + 1);

    const qsizetype point = number.indexOf(QLatin1Char('.'));
    const QString integerPart = point < 0 ? number : number.left(point);
    const QString decimalPart = point < 0 ? QString() : number.mid(point + 1);
    const bool grouped = integerPart.contains(QLatin1Char(','));
    const int minIntegerDigits = int(integerPart.count(QLatin1Char('0')));
    int minDecimals = 0;
    int maxDecimals = 0;
    for (QChar c : decimalPart) {
        if (c == QLatin1Char('0')) {
            ++maxDecimals;
            minDecimals = maxDecimals;
        } else if (c == QLatin1Char('#')) {
            ++maxDecimals;
        }
    }

    // Rounding works on the shortest decimal writing of the value, so that
    // 2.125 or 1.005 round half away from zero as written and not as the
    // nearest binary double happens to fall.
    const bool negative = std::signbit(value);
    QString digits = QString::number(std::fabs(value), 'f', QLocale::FloatingPointShortest);
    const qsizetype dot = digits.indexOf(QLatin1Char('.'));
    QString intDigits = dot < 0 ? digits : digits.left(dot);
    QString decDigits = dot < 0 ? QString() : digits.mid(dot + 1);
    if (decDigits.size() > maxDecimals) {
        const bool up = decDigits.at(maxDecimals) >= QLatin1Char('5');
        decDigits.truncate(maxDecimals);
        if (up) {
            QString all = intDigits + decDigits;
            qsizetype i = all.size() - 1;
            for (; i >= 0; --i) {
                if (all.at(i) == QLatin1Char('9')) {
                    all[i] = QLatin1Char('0');
                } else {
                    all[i] = QChar(all.at(i).unicode() + 1);
                    break;
                }
            }
            if (i < 0)
                all.prepend(QLatin1Char('1'));
            intDigits = all.left(all.size() - maxDecimals);
            decDigits = all.right(maxDecimals);
        }
    }
    while (decDigits.size() > minDecimals && decDigits.endsWith(QLatin1Char('0')))
        decDigits.chop(1);
    while (decDigits.size() < minDecimals)
        decDigits += QLatin1Char('0');

    // Leading zeros go; the pattern's '0's in the integer part set how many
    // digits are always written.
    qsizetype lead = 0;
    while (lead < intDigits.size() && intDigits.at(lead) == QLatin1Char('0'))
        ++lead;
    intDigits.remove(0, lead);
    while (intDigits.size() < minIntegerDigits)
        intDigits.prepend(QLatin1Char('0'));

    const bool zero = !std::any_of(intDigits.cbegin(), intDigits.cend(), [](QChar c) { return c != QLatin1Char('0'); })
                      && !std::any_of(decDigits.cbegin(), decDigits.cend(), [](QChar c) { return c != QLatin1Char('0'); });

    QString out;
    if (grouped) {
        const QString group = locale.groupSeparator();
        for (qsizetype i = 0; i < intDigits.size(); ++i) {
            if (i > 0 && (intDigits.size() - i) % 3 == 0)
                out += group;
            out += intDigits.at(i);
        }
    } else {
        out = intDigits;
    }
    if (!decDigits.isEmpty())
        out += locale.decimalPoint() + decDigits;
    if (out.isEmpty())
        out = QStringLiteral("0"); // "#" alone with a value that rounds to 0
    if (negative && !zero)
        out.prepend(locale.negativeSign());
    return prefix + out + suffix;
}

} // namespace velmora::print
