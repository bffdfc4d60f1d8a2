#pragma once
#include <QDate>
#include <QString>

namespace velmora::store {

// Text as the fields of the tables take it. The table object applies these
// on assignment; the edit controls use the same rules while the user types.

// `text` cut to at most `length` UTF-16 units without splitting a character:
// a character that straddles the limit (an emoji stored as a surrogate pair,
// a letter with a combining accent, a flag) is dropped whole, and a text
// that fits but ends in the first half of a surrogate pair loses that half.
// A length of 0 or less leaves the text as it is (a field without a size).
QString cutToLength(const QString& text, int length);

// The year that two typed digits mean on `today`: the one within the window
// of a hundred years from fifty years before `today`'s year to forty-nine
// after. In 2026 "99" is 1999, "30" is 2030, "76" is 1976 and "75" is 2075.
int yearOfTwoDigits(int twoDigits, const QDate& today);

// A date typed the Italian way: day, month and year separated by '/', '-'
// or '.' ("4/5/2023", "04-05-2023", "04.05.23"), or in ISO form
// ("2023-05-04"). A two-digit year is placed by yearOfTwoDigits around
// `today`. An invalid date ("31/02/2020") or any other text gives an invalid
// QDate.
QDate parseDateText(const QString& text, const QDate& today);

} // namespace velmora::store
