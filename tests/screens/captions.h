#pragma once
// Finds every caption of a screen that is drawn wider than the room it is
// drawn in: label texts, button texts (tool buttons, push buttons, check
// boxes, radio buttons), group box titles and the header titles of every
// grid; and grids that show a horizontal scroll bar. Each caption is
// measured with the font of its widget and laid in the rectangle the style
// paints it in (the frame and margins taken off), clipped by every widget
// it lies in, so that a caption running past the edge of its group box is
// cut as much as one wider than its own widget.
#include <QAbstractButton>
#include <QCheckBox>
#include <QFontMetrics>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QStringList>
#include <QStyle>
#include <QStyleOption>
#include <QTableView>
#include <QToolButton>

namespace captions {

// The part of `w`'s rectangle that its parents leave visible, in `w`'s
// coordinates.
inline QRect visiblePart(const QWidget* w)
{
    QRect clip = w->rect();
    for (const QWidget* p = w->parentWidget(); p; p = p->parentWidget()) {
        const QPoint origin = w->mapFrom(p, QPoint(0, 0));
        clip &= p->rect().translated(origin);
        if (p->isWindow())
            break;
    }
    return clip;
}

inline QString nameOf(const QWidget* w, const QString& text)
{
    const QString name = w->objectName().isEmpty() ? QString::fromLatin1(w->metaObject()->className()) : w->objectName();
    return QStringLiteral("%1 \"%2\"").arg(name, QString(text).replace(QLatin1Char('\n'), QLatin1Char(' ')));
}

// Checks text laid in `room` (in `w`'s coordinates) with `alignment`: every
// line must fit the room's width and lie inside what the parents leave
// visible; all lines must fit its height.
inline void checkText(QStringList& problems, const QString& who, const QString& what, const QString& text,
                      const QFont& font, const QRect& room, Qt::Alignment alignment, const QRect& clip)
{
    if (text.trimmed().isEmpty())
        return;
    const QFontMetrics fm(font);
    QString shown = text;
    shown.remove(QLatin1Char('&'));
    const QStringList lines = shown.split(QLatin1Char('\n'));
    int widest = 0;
    for (const QString& line : lines)
        widest = std::max(widest, fm.horizontalAdvance(line));
    const int height = int(lines.size()) * fm.height();
    const QRect drawn = QStyle::alignedRect(Qt::LeftToRight, alignment, QSize(widest, height), room);
    const QRect visible = room & clip;
    if (widest > room.width() || !visible.contains(drawn.left(), drawn.center().y())
        || !visible.contains(drawn.right(), drawn.center().y()))
        problems << QStringLiteral("%1: %2 is %3 px wide, has %4 px")
                        .arg(who, what)
                        .arg(widest)
                        .arg(std::min(room.width(), std::max(0, visible.right() - std::max(visible.left(), drawn.left()) + 1)));
    else if (height > room.height())
        problems << QStringLiteral("%1: %2 is %3 px high, has %4 px").arg(who, what).arg(height).arg(room.height());
}

inline void checkLabel(QStringList& problems, const QLabel* l)
{
    if (l->text().isEmpty() || !l->pixmap().isNull())
        return;
    const int m = l->margin();
    const QRect room = l->contentsRect().adjusted(m, m, -m, -m);
    const QString text = l->textFormat() == Qt::RichText || (l->textFormat() == Qt::AutoText && Qt::mightBeRichText(l->text()))
                             ? QString() // rich text is laid by a document: not a caption
                             : l->text();
    if (text.isEmpty())
        return;
    if (l->wordWrap()) {
        const QFontMetrics fm(l->font());
        const QRect needed = fm.boundingRect(room, int(l->alignment()) | Qt::TextWordWrap, text);
        for (const QString& word : text.split(QLatin1Char(' '), Qt::SkipEmptyParts))
            if (fm.horizontalAdvance(word) > room.width())
                problems << QStringLiteral("%1: the word \"%2\" is %3 px wide, has %4 px")
                                .arg(nameOf(l, text), word)
                                .arg(fm.horizontalAdvance(word))
                                .arg(room.width());
        if (needed.height() > room.height())
            problems << QStringLiteral("%1: the wrapped text is %2 px high, has %3 px")
                            .arg(nameOf(l, text))
                            .arg(needed.height())
                            .arg(room.height());
        return;
    }
    checkText(problems, nameOf(l, text), QStringLiteral("the text"), text, l->font(), room, l->alignment(), visiblePart(l));
}

inline void checkButton(QStringList& problems, const QAbstractButton* b)
{
    const QStyle* style = b->style();
    QRect room;
    Qt::Alignment alignment = Qt::AlignCenter;
    if (const auto* t = qobject_cast<const QToolButton*>(b)) {
        // Without an icon the text shows whatever the style asked for.
        if (t->toolButtonStyle() == Qt::ToolButtonIconOnly && !t->icon().isNull())
            return;
        QStyleOptionToolButton opt;
        opt.initFrom(t);
        const int fw = style->pixelMetric(QStyle::PM_DefaultFrameWidth, &opt, t);
        room = t->rect().adjusted(fw, fw, -fw, -fw);
        if (t->toolButtonStyle() == Qt::ToolButtonTextUnderIcon && !t->icon().isNull())
            room.adjust(0, t->iconSize().height() + 4 - 1, 0, -1); // as the style lays the text under the icon
    } else if (qobject_cast<const QCheckBox*>(b) || qobject_cast<const QRadioButton*>(b)) {
        QStyleOptionButton opt;
        opt.initFrom(b);
        opt.text = b->text();
        opt.icon = b->icon();
        opt.iconSize = b->iconSize();
        const bool check = qobject_cast<const QCheckBox*>(b) != nullptr;
        room = style->subElementRect(check ? QStyle::SE_CheckBoxContents : QStyle::SE_RadioButtonContents, &opt, b);
        alignment = Qt::AlignLeft | Qt::AlignVCenter;
    } else {
        QStyleOptionButton opt;
        opt.initFrom(b);
        opt.text = b->text();
        room = style->subElementRect(QStyle::SE_PushButtonContents, &opt, b);
    }
    checkText(problems, nameOf(b, b->text()), QStringLiteral("the caption"), b->text(), b->font(), room, alignment, visiblePart(b));
}

inline void checkGroupBox(QStringList& problems, const QGroupBox* g)
{
    if (g->title().isEmpty())
        return;
    QStyleOptionGroupBox opt;
    opt.initFrom(g);
    opt.text = g->title();
    opt.lineWidth = 1;
    opt.midLineWidth = 0;
    opt.textAlignment = g->alignment();
    opt.subControls = QStyle::SC_GroupBoxFrame | QStyle::SC_GroupBoxLabel;
    if (g->isFlat())
        opt.features |= QStyleOptionFrame::Flat;
    const QRect label = g->style()->subControlRect(QStyle::CC_GroupBox, &opt, QStyle::SC_GroupBoxLabel, g);
    const QRect visible = visiblePart(g);
    if (!visible.contains(label))
        problems << QStringLiteral("%1: the title is %2 px wide, has %3 px")
                        .arg(nameOf(g, g->title()))
                        .arg(label.width())
                        .arg(std::max(0, visible.right() - label.left() + 1));
}

inline void checkGrid(QStringList& problems, const QTableView* grid)
{
    const QHeaderView* h = grid->horizontalHeader();
    if (!h || h->isHidden() || !grid->model())
        return;
    const int margin = h->style()->pixelMetric(QStyle::PM_HeaderMargin, nullptr, h);
    // Qt's styles write the titles of the columns holding the selection in
    // bold: measured so, unless the header has the program's plain titles.
    QFont font = h->font();
    if (h->highlightSections() && h->style()->objectName() != QLatin1String("plainGridTitles"))
        font.setBold(true);
    const QRect clip = visiblePart(h->viewport()) & h->viewport()->rect();
    for (int i = 0; i < h->count(); ++i) {
        if (h->isSectionHidden(i))
            continue;
        const QString title = grid->model()->headerData(i, Qt::Horizontal, Qt::DisplayRole).toString();
        const QRect section(h->sectionViewportPosition(i), 0, h->sectionSize(i), h->viewport()->height());
        checkText(problems, QStringLiteral("%1 \"%2\"").arg(grid->objectName(), title), QStringLiteral("the title of column %1").arg(i),
                  title, font, section.adjusted(margin, 0, -margin, 0), h->defaultAlignment(), clip);
    }
    if (grid->horizontalScrollBar()->isVisible()) {
        int total = 0;
        for (int i = 0; i < h->count(); ++i)
            total += h->isSectionHidden(i) ? 0 : h->sectionSize(i);
        problems << QStringLiteral("%1: a horizontal scroll bar shows, the columns take %2 px and the grid shows %3 px")
                        .arg(grid->objectName())
                        .arg(total)
                        .arg(grid->viewport()->width());
    }
}

// Every caption of `root` and of the visible widgets inside it.
inline QStringList cutCaptions(const QWidget* root)
{
    QStringList problems;
    QList<const QWidget*> widgets{root};
    for (const QWidget* w : root->findChildren<QWidget*>())
        widgets << w;
    for (const QWidget* w : widgets) {
        if (!w->isVisible())
            continue;
        if (const auto* l = qobject_cast<const QLabel*>(w))
            checkLabel(problems, l);
        else if (const auto* b = qobject_cast<const QAbstractButton*>(w))
            checkButton(problems, b);
        else if (const auto* g = qobject_cast<const QGroupBox*>(w))
            checkGroupBox(problems, g);
        else if (const auto* t = qobject_cast<const QTableView*>(w))
            checkGrid(problems, t);
    }
    return problems;
}

} // namespace captions
