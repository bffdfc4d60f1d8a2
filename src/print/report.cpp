#include "report.h"

#include "face.h"
#include "measure.h"

namespace velmora::print {

namespace {

// Height in mm of one line of `font` (its size plus the usual leading).
double lineHeightMm(const QFont& font)
{
    const double pt = font.pointSizeF() > 0 ? font.pointSizeF() : 10.0;
    return pt * 25.4 / 72.0 * 1.25;
}

} // namespace

// ---------------------------------------------------------------- bands

Band::Band(Kind kind, const QString& name, double heightMm, const QFont& font)
    : kind(kind), name(name), height(heightMm), m_font(font)
{
}

Element& Band::label(const QString& name, const QRectF& rect, const QString& text, Qt::Alignment alignment)
{
    Element e;
    e.kind = Element::Kind::Label;
    e.name = name;
    e.rect = rect;
    e.font = m_font;
    e.alignment = alignment | Qt::AlignTop;
    e.text = text;
    elements.push_back(std::move(e));
    return elements.back();
}

Element& Band::dataText(const QString& name, const QRectF& rect, std::function<QString()> data,
                        Qt::Alignment alignment)
{
    Element& e = label(name, rect, QString(), alignment);
    e.kind = Element::Kind::DataText;
    e.data = std::move(data);
    return e;
}

Element& Band::memo(const QString& name, const QRectF& rect)
{
    Element& e = label(name, rect, QString(), Qt::AlignLeft);
    e.kind = Element::Kind::Memo;
    return e;
}

Element& Band::rule(const QString& name, const QLineF& line, Qt::PenStyle style, const QColor& color)
{
    Element e;
    e.kind = Element::Kind::Rule;
    e.name = name;
    e.rect = QRectF(line.p1(), line.p2());
    e.penStyle = style;
    e.color = color;
    elements.push_back(std::move(e));
    return elements.back();
}

Element& Band::pageNumber(const QString& name, const QRectF& rect)
{
    Element& e = label(name, rect, QString(), Qt::AlignLeft);
    e.kind = Element::Kind::PageNumber;
    return e;
}

Element& Band::chart(const QString& name, const QRectF& rect, std::shared_ptr<Chart> chart)
{
    Element e;
    e.kind = Element::Kind::Chart;
    e.name = name;
    e.rect = rect;
    e.font = m_font; // the face the chart takes when it has none of its own
    e.chart = std::move(chart);
    elements.push_back(std::move(e));
    return elements.back();
}

Element* Band::element(const QString& name)
{
    for (Element& e : elements)
        if (e.name == name)
            return &e;
    return nullptr;
}

// ---------------------------------------------------------------- report

Report::Report(const QString& name) : name(name), title(name) {}

QFont Report::defaultFont()
{
    QFont font(defaultFamily());
    font.setStyleHint(QFont::SansSerif);
    font.setPointSizeF(10);
    return font;
}

Band& Report::addBand(Band::Kind kind, const QString& name, double heightMm)
{
    m_bands.push_back(std::make_unique<Band>(kind, name, heightMm, font));
    return *m_bands.back();
}

Band* Report::band(const QString& name)
{
    for (auto& b : m_bands)
        if (b->name == name)
            return b.get();
    return nullptr;
}

Element* Report::element(const QString& name)
{
    for (auto& b : m_bands)
        if (Element* e = b->element(name))
            return e;
    return nullptr;
}

namespace {

// Puts bands on pages from the top down, opening a new page when a band no
// longer fits above the page footer.
class Paginator
{
public:
    Paginator(Document& doc, const Band* pageFooter) : m_doc(doc), m_footer(pageFooter)
    {
        m_width = doc.printableMm().width();
        m_bottom = doc.printableMm().height() - (pageFooter ? pageFooter->height : 0.0);
        m_doc.pages.append(Page());
    }

    // `keepWithNext`: room wanted below the band for what must follow it on
    // the same page (a heading is not left alone at the foot of a page).
    // `onNewPage` runs at the top of the new page when the band opens one.
    // False when the band did not print.
    bool place(Band& band, double keepWithNext = 0, const std::function<void()>& onNewPage = {})
    {
        if (!band.enabled)
            return false;
        if (band.beforePrint && !band.beforePrint())
            return false;
        if (m_y > 0 && m_y + band.height + keepWithNext > m_bottom + 1e-9) {
            closePage();
            m_doc.pages.append(Page());
            m_y = 0;
            if (onNewPage)
                onNewPage();
        }
        emitBand(band, m_y);
        m_y += band.height;
        return true;
    }

    // Prints `band` again, as a repeat: no notice, the continued mark.
    void repeat(Band& band)
    {
        band.repeating = true;
        emitBand(band, m_y, true);
        band.repeating = false;
        m_y += band.height;
    }

    void finish() { closePage(); }

private:
    void closePage()
    {
        if (m_footer && m_footer->enabled)
            emitBand(const_cast<Band&>(*m_footer), m_bottom);
    }

    void emitBand(Band& band, double top, bool repeat = false)
    {
        Page& page = m_doc.pages.last();
        const int number = int(m_doc.pages.size());
        QList<std::pair<const Element*, int>> memos; // and where their text went
        for (const Element& e : band.elements) {
            QRectF r = e.rect.translated(0, top);
            switch (e.kind) {
            case Element::Kind::Rule:
                page.rules.append({QLineF(r.topLeft(), r.bottomRight()), e.color, e.penStyle, e.penWidthMm, e.name});
                break;
            case Element::Kind::Chart: {
                std::shared_ptr<Chart> copy;
                if (e.chart) {
                    copy = std::make_shared<Chart>(*e.chart);
                    if (copy->fontFamily.isEmpty())
                        copy->fontFamily = e.font.family();
                }
                page.charts.append({e.name, r, std::move(copy)});
                break;
            }
            default: {
                if (r.width() <= 0) {
                    // As wide as needed: up to the right edge (or the next
                    // element), or, aligned right, from the left edge (or
                    // the previous element) to where the text must end.
                    const QRectF room = roomOf(band, e);
                    if (e.alignment & Qt::AlignRight)
                        r.setLeft(room.left());
                    else
                        r.setRight(room.right());
                }
                if (r.height() <= 0)
                    r.setHeight(lineHeightMm(e.font));
                PageText t;
                t.name = e.name;
                t.rect = r;
                t.font = e.font;
                t.alignment = e.alignment;
                t.wordWrap = e.kind == Element::Kind::Memo;
                t.minimumPoints = e.minimumPoints;
                if (t.wordWrap)
                    memos.append({&e, int(page.texts.size())});
                if (e.kind == Element::Kind::DataText)
                    t.text = e.data ? e.data() : QString();
                else if (e.kind == Element::Kind::PageNumber)
                    t.text = QString::number(number);
                else
                    t.text = e.text;
                if (repeat && !band.continuedElement.isEmpty() && e.name == band.continuedElement)
                    t.text += band.continuedSuffix;
                page.texts.append(t);
            }
            }
        }
        fitBandMemos(page, memos);
        if (band.lineBelow)
            page.rules.append({QLineF(0, top + band.height, m_width, top + band.height), Qt::black, Qt::SolidLine, 0.2,
                               band.name});
    }

    // The height an element's ink takes on its band: one line of its font
    // for a one-line text (whatever room it was given below), the box of a
    // memo or a chart.
    static double inkHeightOf(const Element& e)
    {
        const bool oneLine = e.kind == Element::Kind::Label || e.kind == Element::Kind::DataText
                             || e.kind == Element::Kind::PageNumber;
        if (oneLine || e.rect.height() <= 0)
            return measure::metrics(e.font).height();
        return e.rect.height();
    }

    // Left and right limits of a text of width 0 on its band.
    QRectF roomOf(const Band& band, const Element& e) const
    {
        double left = 0;
        double right = m_width;
        if (e.autoWidth != Element::AutoWidth::ToNextElement)
            return QRectF(left, 0, right - left, 0);
        constexpr double Gap = 1.0;
        const double top = e.rect.top();
        const double bottom = top + inkHeightOf(e);
        const bool alignedRight = e.alignment & Qt::AlignRight;
        for (const Element& o : band.elements) {
            if (&o == &e || o.kind == Element::Kind::Rule)
                continue;
            if (o.rect.top() >= bottom - 1e-9 || o.rect.top() + inkHeightOf(o) <= top + 1e-9)
                continue; // not on this line
            if (!alignedRight && o.rect.left() > e.rect.left() + 1e-9)
                right = std::min(right, o.rect.left() - Gap);
            // A neighbour of width 0 on the left takes at least its start.
            const double end = o.rect.width() > 0 ? o.rect.right() : o.rect.left();
            if (alignedRight && end < e.rect.right() - 1e-9)
                left = std::max(left, end + Gap);
        }
        // Squeezed out by a neighbour: the text keeps its start.
        if (alignedRight)
            left = std::min(left, e.rect.right());
        else
            right = std::max(right, e.rect.left());
        return QRectF(left, 0, right - left, 0);
    }

    // Lays out the memos of a band into their lines: alone, or with the
    // others of their group.
    static void fitBandMemos(Page& page, const QList<std::pair<const Element*, int>>& memos)
    {
        QList<bool> done(memos.size(), false);
        for (qsizetype i = 0; i < memos.size(); ++i) {
            if (done[i])
                continue;
            const Element& first = *memos[i].first;
            QList<PageText*> group;
            for (qsizetype j = i; j < memos.size(); ++j) {
                if (j == i || (!first.fitGroup.isEmpty() && memos[j].first->fitGroup == first.fitGroup)) {
                    group.append(&page.texts[memos[j].second]);
                    done[j] = true;
                }
            }
            fitMemos(group, first.memoOptions);
        }
    }

    Document& m_doc;
    const Band* m_footer;
    double m_width = 0;
    double m_bottom = 0;
    double m_y = 0;
};

} // namespace

Document Report::layout()
{
    Document doc;
    doc.title = title;

    auto find = [&](Band::Kind kind) -> Band* {
        for (auto& b : m_bands)
            if (b->kind == kind)
                return b.get();
        return nullptr;
    };
    Band* titleBand = find(Band::Kind::Title);
    Band* heading = find(Band::Kind::Heading);
    Band* detailBand = find(Band::Kind::Detail);
    Band* footer = find(Band::Kind::Footer);
    Band* pageFooter = find(Band::Kind::PageFooter);

    Paginator pages(doc, pageFooter);
    if (titleBand)
        pages.place(*titleBand);
    if (master.isSet() && (heading || detailBand || footer)) {
        for (master.first(); !master.atEnd(); master.next()) {
            const bool headed =
                heading && pages.place(*heading, detailBand && detailBand->enabled ? detailBand->height : 0.0);
            // Rows of this record going on over a page break find their
            // heading again above them, when the heading asks for it; so
            // does the footer when it alone goes over (a total under the
            // name of its area, not under nothing).
            std::function<void()> repeatHeading;
            if (headed && heading->repeatOnContinuation)
                repeatHeading = [&pages, heading] { pages.repeat(*heading); };
            if (detailBand && detail.isSet()) {
                // Offered once even for an empty detail: its notice decides.
                detail.first();
                do {
                    pages.place(*detailBand, 0, repeatHeading);
                    detail.next();
                } while (!detail.atEnd());
            }
            if (footer)
                pages.place(*footer, 0, repeatHeading);
        }
    }
    pages.finish();
    return doc;
}

} // namespace velmora::print
