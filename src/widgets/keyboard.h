#pragma once
// Moving the keyboard focus among the controls a person can see.
//
// The screens of the main window are panels and boxes laid over one another:
// the access panel over the list screen, the sheet and the registries over
// the list. Qt's Tab walks every visible, enabled control of the window,
// covered or not, so a keyboard user would land on controls nobody can see
// (and act on them behind the panel in front). These helpers walk the same
// focus chain but stop only on controls that show somewhere in their window.

#include <QToolButton>

#include <initializer_list>

class QAbstractButton;
class QWidget;

namespace velmora {

// A tool button a keyboard can use: Return and Enter on the keypad press it
// as Space does, and while it has the focus a dotted rectangle is drawn
// `inset` pixels inside its edges, over whatever the style draws. Without
// the focus it is drawn exactly as a QToolButton.
class KeyButton : public QToolButton
{
public:
    explicit KeyButton(QWidget* parent, int inset = 3);

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    int m_inset;
};

// Whether some part of `w` shows in its window: it is visible and, at its
// centre or near one of its corners, the window's topmost widget there is
// `w` or one of its children rather than a panel or box laid over it.
bool showsInWindow(const QWidget* w);

// Whether Tab may stop on `w` in `window`: it takes the focus by Tab (or
// its focus proxy does), is enabled, visible in `window` and shows there.
bool tabStop(const QWidget* w, const QWidget* window);

// The control Tab (`next`) or Shift+Tab moves the focus to from the focus
// widget of `window`, in the order of the focus chain and passing every
// control that does not show; nullptr when there is none.
QWidget* nextShownInFocusChain(QWidget* window, bool next);

// Gives the focus to the first control inside `box`, in the order of the
// focus chain from the box itself, that Tab may stop on; does nothing when
// the focus already is inside the box or no control inside it can take it.
// True when the focus is inside the box afterwards.
bool focusInto(QWidget* box);

// Puts the controls in this order in their window's focus chain, as
// QWidget::setTabOrder does pair by pair. A control made of others that
// takes no focus itself (a navigator and its buttons) stands for those,
// in their order.
void setTabChain(const QList<QWidget*>& order);

// Tab comes into a group of exclusive choices on the chosen one (on the
// first when none is chosen), whatever choice last had the focus: only that
// one takes the focus by Tab, from now on and whenever the choice changes or
// the focus leaves the group. Clicks take the focus as before.
void tabStopOnChecked(std::initializer_list<QAbstractButton*> group);

} // namespace velmora
