// Memos laid out into the lines they print: a memo never prints half a line
// nor runs into what lies below its box. A text longer than its room prints
// smaller, down to the floor; then, as the memo asks, in columns or with the
// lines that still do not fit left out and a closing "…".

#include "document.h"
#include "measure.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <optional>

namespace velmora::print {

namespace {

constexpr double Step = 0.25; // points

struct Member
{
    PageText* text;
    QStringList paragraphs;
};

// The lines of every member at one size and column count.
struct Trial
{
    double points = 0;
    int columns = 1;
    double ascent = 0;     // mm, the most of any member
    double lineHeight = 0; // mm, the most of any member
    int capacity = 0;      // lines one column of the lowest box holds
    int rows = 0;          // lines per column the longest member needs
    bool widthsFit = true; // AllLines: every line within its column
    QList<QStringList> lines;

    bool fits() const { return widthsFit && rows <= capacity; }
};

QFont sized(QFont font, double points)
{
    font.setPointSizeF(points);
    return font;
}

double columnWidth(const PageText& t, int columns, const MemoOptions& options)
{
    return std::max(0.0, (t.rect.width() - (columns - 1) * options.columnGapMm) / columns);
}

Trial tryAt(const QList<Member>& members, double points, int columns, const MemoOptions& options)
{
    Trial trial;
    trial.points = points;
    trial.columns = columns;
    double descent = 0;
    for (const Member& m : members) {
        const measure::Metrics fm = measure::metrics(sized(m.text->font, points));
        trial.ascent = std::max(trial.ascent, fm.ascent);
        descent = std::max(descent, fm.descent);
    }
    trial.lineHeight = trial.ascent + descent;
    trial.capacity = INT_MAX;
    for (const Member& m : members) {
        trial.capacity = std::min(trial.capacity, int(std::floor(m.text->rect.height() / trial.lineHeight + 1e-6)));
        const QFont font = sized(m.text->font, points);
        const double width = columnWidth(*m.text, columns, options);
        QStringList lines;
        if (options.fit == MemoFit::AllLines) {
            lines = m.paragraphs;
            for (const QString& line : lines)
                trial.widthsFit = trial.widthsFit && measure::width(font, line) <= width + 1e-6;
        } else {
            for (const QString& paragraph : m.paragraphs)
                lines += measure::wrap(font, paragraph, width);
        }
        trial.rows = std::max(trial.rows, int(lines.size() + columns - 1) / columns);
        trial.lines.append(lines);
    }
    return trial;
}

// Nothing fits at the floor in the most columns allowed: lines wider than
// their column are shortened and those beyond the box left out, the last one
// printed ending with "…".
void cutToFit(Trial& trial, const QList<Member>& members, const MemoOptions& options)
{
    trial.rows = std::min(trial.rows, trial.capacity);
    const int kept = trial.rows * trial.columns;
    for (qsizetype i = 0; i < members.size(); ++i) {
        const QFont font = sized(members.at(i).text->font, trial.points);
        const double width = columnWidth(*members.at(i).text, trial.columns, options);
        QStringList& lines = trial.lines[i];
        for (QString& line : lines)
            if (measure::width(font, line) > width + 1e-6)
                line = measure::withEllipsis(font, line, width);
        if (lines.size() > kept) {
            lines = lines.mid(0, kept);
            if (!lines.isEmpty())
                lines.last() = measure::withEllipsis(font, lines.last(), width);
        }
    }
}

} // namespace

void fitMemos(const QList<PageText*>& memos, const MemoOptions& options)
{
    QList<Member> members;
    double base = 0;
    double floor = 0;
    for (PageText* t : memos) {
        if (!t)
            continue;
        t->lines.clear();
        QString text = t->text;
        text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
        QStringList paragraphs = text.split(QLatin1Char('\n'));
        while (!paragraphs.isEmpty() && paragraphs.last().trimmed().isEmpty())
            paragraphs.removeLast(); // a closing line break prints nothing
        const double points = t->font.pointSizeF() > 0 ? t->font.pointSizeF() : 10.0;
        base = members.isEmpty() ? points : std::min(base, points);
        floor = std::max(floor, t->minimumPoints);
        members.append({t, paragraphs});
    }
    if (members.isEmpty())
        return;
    floor = std::clamp(floor, 1.0, base);

    const int maxColumns = options.fit == MemoFit::AllLines ? std::max(1, options.maxColumns) : 1;
    std::optional<Trial> chosen;
    // Smaller first, then in more columns.
    for (int columns = 1; columns <= maxColumns && !chosen; ++columns) {
        for (double pt = base;; pt = std::max(floor, pt - Step)) {
            Trial trial = tryAt(members, pt, columns, options);
            if (trial.fits()) {
                chosen = std::move(trial);
                break;
            }
            if (pt <= floor)
                break;
        }
    }
    if (!chosen) {
        Trial trial = tryAt(members, floor, maxColumns, options);
        // A box lower than one line at the floor still shows its first line,
        // smaller still.
        while (trial.capacity < 1 && trial.points > 1)
            trial = tryAt(members, std::max(1.0, trial.points * 0.9), maxColumns, options);
        cutToFit(trial, members, options);
        chosen = std::move(trial);
    }

    const Trial& t = *chosen;
    for (qsizetype i = 0; i < members.size(); ++i) {
        PageText& memo = *members.at(i).text;
        memo.font.setPointSizeF(t.points);
        const double width = columnWidth(memo, t.columns, options);
        const QStringList& lines = t.lines.at(i);
        for (qsizetype n = 0; n < lines.size(); ++n) {
            const int column = t.rows > 0 ? int(n / t.rows) : 0;
            const int row = t.rows > 0 ? int(n % t.rows) : 0;
            const QRectF rect(memo.rect.left() + column * (width + options.columnGapMm),
                              memo.rect.top() + row * t.lineHeight, width, t.lineHeight);
            memo.lines.append({lines.at(n), rect, rect.top() + t.ascent});
        }
    }
}

} // namespace velmora::print
