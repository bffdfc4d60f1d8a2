#include "builders.h"
#include "dataedits.h"
#include "fonts.h"
#include "keyboard.h"

#include <QGuiApplication>
#include <QHeaderView>
#include <QProxyStyle>
#include <QStyleOption>
#include <QLabel>
#include <QMenu>
#include <QStatusTipEvent>
#include <QScreen>
#include <QToolButton>

namespace velmora {

DataEdit* labelledEdit(QWidget* parent, const char* name, const QString& caption, store::Table* table,
                       const char* field, Dialogs* dialogs, const QRect& rect)
{
    if (!caption.isEmpty()) {
        auto* l = new QLabel(caption, parent);
        l->move(rect.left(), rect.top() - 16);
        l->adjustSize();
        // A caption that would run past the frame of its box (a narrow edit
        // near the edge) ends at the frame instead, still above its edit.
        const int right = parent->contentsRect().right();
        if (l->geometry().right() > right)
            l->move(std::max(0, right + 1 - l->width()), l->y());
    }
    auto* e = new DataEdit(parent);
    e->setObjectName(QString::fromLatin1(name));
    e->setGeometry(rect);
    e->setDataSource(table, QString::fromLatin1(field));
    e->setDialogs(dialogs);
    return e;
}

QToolButton* speedButton(QWidget* parent, const char* name, const QString& caption, const QString& hint,
                         const QRect& rect, Glyph glyph)
{
    // Return presses it as Space does; with the focus it shows a dotted
    // rectangle inside its frame.
    auto* b = hinted(new KeyButton(parent), hint);
    // Tab reaches it; a click does not take the focus from where the user types.
    b->setFocusPolicy(Qt::TabFocus);
    b->setObjectName(QString::fromLatin1(name));
    b->setText(caption);
    b->setFont(speedButtonFont());
    b->setIcon(glyphIcon(glyph));
    b->setIconSize(QSize(24, 24));
    b->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    b->setAutoRaise(false);
    b->setGeometry(rect);
    b->setCursor(Qt::PointingHandCursor);
    return b;
}

namespace {

// The application's style, but a column title is written in its header's
// font whether or not its column holds the selection.
class PlainTitlesStyle : public QProxyStyle
{
public:
    void drawControl(ControlElement element, const QStyleOption* option, QPainter* painter,
                     const QWidget* widget) const override
    {
        if (element == CE_HeaderLabel) {
            if (const auto* header = qstyleoption_cast<const QStyleOptionHeader*>(option)) {
                QStyleOptionHeader plain(*header);
                plain.state &= ~State_On;
                QProxyStyle::drawControl(element, &plain, painter, widget);
                return;
            }
        }
        QProxyStyle::drawControl(element, option, painter, widget);
    }
};

} // namespace

void plainGridTitles(QWidget* window)
{
    auto* style = window->findChild<QStyle*>(QStringLiteral("plainGridTitles"), Qt::FindDirectChildrenOnly);
    if (!style) {
        style = new PlainTitlesStyle;
        style->setParent(window);
        style->setObjectName(QStringLiteral("plainGridTitles"));
    }
    for (QHeaderView* h : window->findChildren<QHeaderView*>())
        if (h->style() != style)
            h->setStyle(style);
}

void centreOnScreen(QWidget* window)
{
    QScreen* screen = window->screen() ? window->screen() : QGuiApplication::primaryScreen();
    if (!screen)
        return;
    const QRect desktop = screen->availableGeometry();
    QRect frame = window->frameGeometry();
    frame.moveCenter(desktop.center());
    frame.moveLeft(std::max(frame.left(), desktop.left()));
    frame.moveTop(std::max(frame.top(), desktop.top()));
    window->move(frame.topLeft());
}

namespace {

// Passes the status tips a menu receives on to the widget it belongs to.
class MenuHints : public QObject
{
public:
    explicit MenuHints(QMenu* menu) : QObject(menu) { menu->installEventFilter(this); }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() != QEvent::StatusTip)
            return false;
        QWidget* owner = static_cast<QMenu*>(watched)->parentWidget();
        if (!owner)
            return false;
        QStatusTipEvent tip(static_cast<QStatusTipEvent*>(event)->tip());
        QCoreApplication::sendEvent(owner, &tip);
        return true;
    }
};

} // namespace

void menuHintsToStatusBar(QMenu* menu)
{
    new MenuHints(menu);
}

} // namespace velmora
