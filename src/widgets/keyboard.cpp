#include "keyboard.h"

#include <QAbstractButton>
#include <QApplication>
#include <QEvent>
#include <QKeyEvent>
#include <QPainter>
#include <QList>
#include <QStyleHints>
#include <QWidget>

namespace velmora {

namespace {

// The widget that takes the focus for `w`: its focus proxy, or the proxy's.
const QWidget* deepestFocusProxy(const QWidget* w)
{
    const QWidget* proxy = w->focusProxy();
    while (proxy && proxy->focusProxy())
        proxy = proxy->focusProxy();
    return proxy;
}

// Keeps the Tab stop of a group of exclusive choices on the chosen one.
class CheckedTabStop : public QObject
{
public:
    CheckedTabStop(const QList<QAbstractButton*>& group, QObject* parent) : QObject(parent), m_group(group)
    {
        for (QAbstractButton* b : m_group) {
            connect(b, &QAbstractButton::toggled, this, &CheckedTabStop::apply);
            b->installEventFilter(this);
        }
        apply();
    }

protected:
    bool eventFilter(QObject*, QEvent* event) override
    {
        // Inside the group the button with the focus is the stop (the
        // buttons' own rule); leaving it, the chosen one is again.
        if (event->type() == QEvent::FocusOut)
            apply();
        return false;
    }

private:
    void apply()
    {
        QAbstractButton* stop = nullptr;
        for (QAbstractButton* b : m_group)
            if (!stop && b->isChecked())
                stop = b;
        if (!stop && !m_group.isEmpty())
            stop = m_group.first();
        for (QAbstractButton* b : m_group) {
            const Qt::FocusPolicy policy = b->focusPolicy();
            b->setFocusPolicy(b == stop ? Qt::FocusPolicy(policy | Qt::TabFocus) : Qt::FocusPolicy(policy & ~Qt::TabFocus));
        }
    }

    QList<QAbstractButton*> m_group;
};

} // namespace

KeyButton::KeyButton(QWidget* parent, int inset) : QToolButton(parent), m_inset(inset) {}

void KeyButton::keyPressEvent(QKeyEvent* event)
{
    if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) && !event->isAutoRepeat()) {
        event->accept();
        animateClick();
        return;
    }
    QToolButton::keyPressEvent(event);
}

void KeyButton::paintEvent(QPaintEvent* event)
{
    QToolButton::paintEvent(event);
    if (!hasFocus())
        return;
    QPainter p(this);
    p.setPen(QPen(palette().color(QPalette::WindowText), 1, Qt::DotLine));
    p.setBrush(Qt::NoBrush);
    p.drawRect(rect().adjusted(m_inset, m_inset, -m_inset - 1, -m_inset - 1));
}

bool showsInWindow(const QWidget* w)
{
    if (!w)
        return false;
    const QWidget* window = w->window();
    if (w != window && !w->isVisibleTo(window))
        return false;
    const QRect r = w->rect();
    if (r.isEmpty())
        return false;
    const int dx = qMin(2, r.width() / 2);
    const int dy = qMin(2, r.height() / 2);
    const QPoint samples[] = {r.center(), r.topLeft() + QPoint(dx, dy), r.topRight() + QPoint(-dx, dy),
                              r.bottomLeft() + QPoint(dx, -dy), r.bottomRight() - QPoint(dx, dy)};
    for (const QPoint& p : samples) {
        const QPoint at = w->mapTo(window, p);
        if (!window->rect().contains(at))
            continue;
        const QWidget* top = window->childAt(at);
        if (top && (top == w || w->isAncestorOf(top)))
            return true;
    }
    return false;
}

bool tabStop(const QWidget* w, const QWidget* window)
{
    if (!w || w == window || w->window() != window)
        return false;
    // As Qt's own Tab: every control, or only those that take the focus both
    // ways, by the platform's custom.
    const Qt::FocusPolicy byTab =
        QGuiApplication::styleHints()->tabFocusBehavior() == Qt::TabFocusAllControls ? Qt::TabFocus : Qt::StrongFocus;
    const QWidget* proxy = deepestFocusProxy(w);
    const QWidget* taker = proxy ? proxy : w;
    return (taker->focusPolicy() & byTab) == byTab && w->isEnabled() && w->isVisibleTo(window) && showsInWindow(taker);
}

QWidget* nextShownInFocusChain(QWidget* window, bool next)
{
    QWidget* start = window->focusWidget();
    if (!start)
        start = window;
    QWidget* w = start;
    // The chain is a ring through every widget of the window; the bound only
    // guards against a ring broken by a widget being destroyed meanwhile.
    for (int guard = 0; guard < 100000; ++guard) {
        w = next ? w->nextInFocusChain() : w->previousInFocusChain();
        if (!w || w == start)
            return nullptr;
        // A compound control whose proxy is inside it is entered through
        // the proxy (going forward) and left through itself (going back),
        // never stopped on twice.
        const QWidget* proxy = deepestFocusProxy(w);
        if (proxy && (proxy == start || (next ? proxy->isAncestorOf(w) : w->isAncestorOf(proxy))))
            continue;
        if (tabStop(w, window))
            return w;
    }
    return nullptr;
}

bool focusInto(QWidget* box)
{
    QWidget* window = box->window();
    const QWidget* current = window->focusWidget();
    if (current && box->isAncestorOf(current) && showsInWindow(current))
        return true;
    for (QWidget* w = box->nextInFocusChain(); w && w != box; w = w->nextInFocusChain()) {
        if (box->isAncestorOf(w) && tabStop(w, window)) {
            w->setFocus(Qt::OtherFocusReason);
            return true;
        }
    }
    return false;
}

void setTabChain(const QList<QWidget*>& order)
{
    QList<QWidget*> chain;
    for (QWidget* w : order) {
        if (w->focusPolicy() != Qt::NoFocus) {
            chain << w;
            continue;
        }
        for (QWidget* c = w->nextInFocusChain(); c && c != w; c = c->nextInFocusChain())
            if (w->isAncestorOf(c) && c->focusPolicy() != Qt::NoFocus && !chain.contains(c))
                chain << c;
    }
    for (qsizetype i = 0; i + 1 < chain.size(); ++i)
        QWidget::setTabOrder(chain[i], chain[i + 1]);
}

void tabStopOnChecked(std::initializer_list<QAbstractButton*> group)
{
    if (group.size() > 0)
        new CheckedTabStop(QList<QAbstractButton*>(group), *group.begin());
}

} // namespace velmora
