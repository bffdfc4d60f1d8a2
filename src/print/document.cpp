#include "document.h"

#include "measure.h"

#include <QPageLayout>
#include <QPageSize>
#include <QPagedPaintDevice>
#include <QPainter>
#include <QPdfWriter>
#include <QPrinter>
#include <QFile>
#include <QFontMetricsF>

#include <algorithm>

namespace velmora::print {

const PageText* Page::text(const QString& name) const
{
    for (const PageText& t : texts)
        if (t.name == name)
            return &t;
    return nullptr;
}

QStringList Page::textsOf(const QString& name) const
{
    QList<const PageText*> found;
    for (const PageText& t : texts)
        if (t.name == name)
            found.append(&t);
    std::stable_sort(found.begin(), found.end(),
                     [](const PageText* a, const PageText* b) { return a->rect.top() < b->rect.top(); });
    QStringList out;
    for (const PageText* t : found)
        out.append(t->text);
    return out;
}

const PageChart* Page::chart(const QString& name) const
{
    for (const PageChart& c : charts)
        if (c.name == name)
            return &c;
    return nullptr;
}

namespace {

// A line of `width` mm in `column` as `alignment` places it, one line of
// `font` high from the column's top.
QRectF lineBox(const QRectF& column, double width, double height, Qt::Alignment alignment)
{
    width = std::min(width, std::max(0.0, column.width()));
    double left = column.left();
    if (alignment & Qt::AlignRight)
        left = column.right() - width;
    else if (alignment & Qt::AlignHCenter)
        left += (column.width() - width) / 2;
    return QRectF(left, column.top(), width, height);
}

} // namespace

QList<QRectF> inkBoxes(const PageText& t)
{
    QList<QRectF> boxes;
    if (t.text.isEmpty())
        return boxes;
    if (t.wordWrap) {
        PageText fitted;
        const PageText* memo = &t;
        if (t.lines.isEmpty()) {
            fitted = t;
            fitMemos({&fitted});
            memo = &fitted;
        }
        for (const PageLine& line : memo->lines)
            if (!line.text.isEmpty())
                boxes.append(lineBox(line.rect, measure::width(memo->font, line.text), line.rect.height(),
                                     memo->alignment));
        return boxes;
    }
    const double width = measure::width(t.font, t.text);
    const double height = measure::metrics(t.font).height();
    // A column of width 0 leaves the text its natural width.
    const QRectF column = t.rect.width() > 0 ? t.rect : QRectF(t.rect.left(), t.rect.top(), width, t.rect.height());
    boxes.append(lineBox(column, width, height, t.alignment));
    return boxes;
}

QList<TextOverlap> Page::overlappingTexts() const
{
    constexpr double Touch = 0.01; // mm: boxes only touching do not overlap
    QList<QList<QRectF>> boxes;
    for (const PageText& t : texts)
        boxes.append(inkBoxes(t));
    QList<TextOverlap> found;
    for (qsizetype i = 0; i < texts.size(); ++i) {
        for (qsizetype j = i + 1; j < texts.size(); ++j) {
            QRectF where;
            for (const QRectF& a : boxes[i]) {
                for (const QRectF& b : boxes[j]) {
                    const QRectF common = a.intersected(b);
                    if (common.width() > Touch && common.height() > Touch)
                        where = where.isNull() ? common : where.united(common);
                }
            }
            if (!where.isNull())
                found.append({0, &texts[i], &texts[j], where});
        }
    }
    return found;
}

QList<CoveredText> Page::coveredTexts() const
{
    constexpr double Touch = 0.01; // mm: a box only touching a text covers none of it
    // Each chart's box and each rule's stroke, as wide as its pen.
    QList<QPair<QString, QRectF>> covers;
    for (const PageChart& c : charts)
        covers.append({c.name, c.rect});
    for (const PageRule& r : rules) {
        const double half = r.widthMm / 2;
        covers.append({r.name, QRectF(r.line.p1(), r.line.p2()).normalized().adjusted(-half, -half, half, half)});
    }
    QList<CoveredText> found;
    for (const PageText& t : texts) {
        const QList<QRectF> ink = inkBoxes(t);
        for (const auto& [by, box] : std::as_const(covers)) {
            if (by == t.name)
                continue;
            QRectF where;
            for (const QRectF& line : ink) {
                const QRectF common = line.intersected(box);
                if (common.width() > Touch && common.height() > Touch)
                    where = where.isNull() ? common : where.united(common);
            }
            if (!where.isNull())
                found.append({0, &t, by, where});
        }
    }
    return found;
}

QList<CoveredText> Document::coveredTexts() const
{
    QList<CoveredText> found;
    for (int i = 0; i < pageCount(); ++i) {
        for (CoveredText c : pages[i].coveredTexts()) {
            c.page = i;
            found.append(c);
        }
    }
    return found;
}

QList<TextOverlap> Document::overlappingTexts() const
{
    QList<TextOverlap> found;
    for (int i = 0; i < pageCount(); ++i) {
        for (TextOverlap o : pages[i].overlappingTexts()) {
            o.page = i;
            found.append(o);
        }
    }
    return found;
}

QSizeF Document::printableMm() const
{
    return {paperMm.width() - marginsMm.left() - marginsMm.right(),
            paperMm.height() - marginsMm.top() - marginsMm.bottom()};
}

namespace {

QPageLayout layoutOf(const Document& doc)
{
    return QPageLayout(QPageSize(doc.paperMm, QPageSize::Millimeter), QPageLayout::Portrait, doc.marginsMm,
                       QPageLayout::Millimeter);
}

// Paints the lines of a memo on their baselines, inside its box. A line the
// device measures wider than its column (hinting at a low resolution) is
// printed a little smaller rather than cut.
void paintMemo(QPainter& painter, const PageText& memo)
{
    PageText fitted;
    const PageText* t = &memo;
    if (memo.lines.isEmpty()) { // laid out by hand, not by a report
        fitted = memo;
        fitMemos({&fitted});
        t = &fitted;
    }
    const double dpi = painter.device()->logicalDpiX();
    const double dpiY = painter.device()->logicalDpiY();
    const auto x = [dpi](double mm) { return mm * dpi / 25.4; };
    const auto y = [dpiY](double mm) { return mm * dpiY / 25.4; };

    painter.save();
    painter.setClipRect(QRectF(x(t->rect.left()), y(t->rect.top()), x(t->rect.width()), y(t->rect.height())),
                        Qt::IntersectClip);
    for (const PageLine& line : t->lines) {
        if (line.text.isEmpty())
            continue;
        QFont font = t->font;
        const double room = x(line.rect.width());
        double wide = QFontMetricsF(font, painter.device()).horizontalAdvance(line.text);
        if (wide > room && wide > 0) {
            font.setPointSizeF(std::max(1.0, font.pointSizeF() * room / wide * 0.99));
            wide = QFontMetricsF(font, painter.device()).horizontalAdvance(line.text);
        }
        double left = x(line.rect.left());
        if (t->alignment & Qt::AlignRight)
            left = x(line.rect.right()) - wide;
        else if (t->alignment & Qt::AlignHCenter)
            left += (room - wide) / 2;
        painter.setFont(font);
        painter.drawText(QPointF(left, y(line.baseline)), line.text);
    }
    painter.restore();
}

} // namespace

void Document::paintPage(QPainter& painter, int index) const
{
    if (index < 0 || index >= pages.size())
        return;
    const Page& page = pages[index];
    const double dpi = painter.device()->logicalDpiX();
    const double dpiY = painter.device()->logicalDpiY();
    auto toDevice = [&](const QRectF& r) {
        return QRectF(r.left() * dpi / 25.4, r.top() * dpiY / 25.4, r.width() * dpi / 25.4, r.height() * dpiY / 25.4);
    };
    auto pointToDevice = [&](const QPointF& p) { return QPointF(p.x() * dpi / 25.4, p.y() * dpiY / 25.4); };

    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, true);
    painter.setRenderHint(QPainter::TextAntialiasing, true);

    for (const PageRule& r : page.rules) {
        QPen pen(r.color);
        pen.setStyle(r.style);
        pen.setWidthF(std::max(1.0, r.widthMm * dpi / 25.4));
        pen.setCapStyle(Qt::FlatCap);
        painter.setPen(pen);
        painter.drawLine(pointToDevice(r.line.p1()), pointToDevice(r.line.p2()));
    }

    painter.setPen(Qt::black);
    for (const PageText& t : page.texts) {
        if (t.text.isEmpty())
            continue;
        if (t.wordWrap) {
            paintMemo(painter, t);
            continue;
        }
        const QRectF rect = toDevice(t.rect);
        // A one-line text wider than its column is printed smaller, down to
        // its floor, rather than cut at the column's edges (a phase answered
        // "Si" in all eleven items lists 33 characters).
        QFont font = t.font; // point sizes follow the device's resolution
        QRectF at = rect;
        if (rect.width() > 0) {
            const QFontMetricsF fm(font, painter.device());
            const double wide = fm.horizontalAdvance(t.text);
            const double points = font.pointSizeF() > 0 ? font.pointSizeF() : 10.0;
            if (wide > rect.width()) {
                font.setPointSizeF(std::max(t.minimumPoints, points * rect.width() / wide * 0.97));
                // On the baseline of its neighbours, where the text would
                // have stood at its own size.
                at.translate(0, fm.ascent() - QFontMetricsF(font, painter.device()).ascent());
            }
        }
        painter.setFont(font);
        painter.drawText(at, int(t.alignment), t.text);
    }

    // A series beyond the value axis runs out of its chart, as far as the
    // printable area.
    const QRectF printable = toDevice(QRectF(QPointF(0, 0), printableMm()));
    for (const PageChart& c : page.charts) {
        if (!c.chart)
            continue;
        painter.save();
        paintChart(painter, toDevice(c.rect), *c.chart, printable);
        painter.restore();
    }
    painter.restore();
}

void Document::paintAll(QPagedPaintDevice& device, int from, int to) const
{
    if (pages.isEmpty())
        return;
    if (from < 1)
        from = 1;
    if (to < 1 || to > pageCount())
        to = pageCount();
    QPainter painter(&device);
    if (!painter.isActive())
        return;
    for (int i = from; i <= to; ++i) {
        if (i > from)
            device.newPage();
        paintPage(painter, i - 1);
    }
}

void Document::print(QPrinter& printer) const
{
    printer.setPageLayout(layoutOf(*this));
    if (!title.isEmpty() && printer.docName().isEmpty())
        printer.setDocName(title);
    int from = printer.fromPage();
    int to = printer.toPage();
    if (printer.printRange() != QPrinter::PageRange || from == 0) {
        from = 1;
        to = pageCount();
    }
    paintAll(printer, from, to);
}

bool Document::writePdf(const QString& path, QString* error) const
{
    {
        QFile probe(path);
        if (!probe.open(QIODevice::WriteOnly)) {
            if (error)
                *error = probe.errorString();
            return false;
        }
    }
    QPdfWriter writer(path);
    writer.setTitle(title);
    writer.setCreator(QStringLiteral("Velmora"));
    writer.setResolution(600);
    writer.setPageLayout(layoutOf(*this));
    if (pages.isEmpty()) {
        QPainter painter(&writer); // one blank page rather than an unreadable file
        return true;
    }
    paintAll(writer);
    return true;
}

} // namespace velmora::print
