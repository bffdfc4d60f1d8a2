#include "fieldtext.h"

#include <QRegularExpression>
#include <QTextBoundaryFinder>

namespace velmora::store {

QString cutToLength(const QString& text, int length)
{
    if (length <= 0)
        return text;
    if (text.size() <= length) {
        // A text that fits may still end in half a character, where
        // something before cut it by units: that half goes too.
        if (!text.isEmpty() && text.back().isHighSurrogate())
            return text.chopped(1);
        return text;
    }
    // Cut at the last boundary between user-perceived characters that falls
    // within the limit.
    QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, text);
    finder.setPosition(length);
    int cut = length;
    if (!finder.isAtBoundary()) {
        cut = finder.toPreviousBoundary();
        if (cut < 0)
            cut = 0;
    }
    // Text that is not well-formed UTF-16 still never ends in half a pair.
    if (cut > 0 && text.at(cut - 1).isHighSurrogate())
        --cut;
    return text.left(cut);
}

int yearOfTwoDigits(int twoDigits, const QDate& today)
{
    const int first = today.year() - 50;
    return first + ((twoDigits - first) % 100 + 100) % 100;
}

QDate parseDateText(const QString& text, const QDate& today)
{
    static const QRegularExpression dayFirst(
        QStringLiteral("^(\\d{1,2})([/.-])(\\d{1,2})\\2(\\d{2}|\\d{4})$"));
    static const QRegularExpression iso(QStringLiteral("^(\\d{4})-(\\d{1,2})-(\\d{1,2})$"));
    const QString t = text.trimmed();
    if (const QRegularExpressionMatch m = dayFirst.match(t); m.hasMatch()) {
        const QString y = m.captured(4);
        const int year = y.size() == 2 ? yearOfTwoDigits(y.toInt(), today) : y.toInt();
        // QDate is asked only with the full year: "29/02/00" is a day of
        // 2000, which the year 1900 did not have.
        return QDate(year, m.captured(3).toInt(), m.captured(1).toInt());
    }
    if (const QRegularExpressionMatch m = iso.match(t); m.hasMatch())
        return QDate(m.captured(1).toInt(), m.captured(2).toInt(), m.captured(3).toInt());
    return QDate();
}

} // namespace velmora::store
