#pragma once
// The pieces every registry and form is laid out with.
#include "glyphs.h"

#include <QRect>
#include <QString>

class QMenu;
class QToolButton;
class QWidget;

namespace velmora {

class DataEdit;
class Dialogs;
namespace store { class Table; }

// A data edit over `field` of `table` at `rect`, with its caption (if any)
// just above it.
DataEdit* labelledEdit(QWidget* parent, const char* name, const QString& caption, store::Table* table,
                       const char* field, Dialogs* dialogs, const QRect& rect);

// A control's hint shows in the status bar's first panel while the pointer is
// over it, and as a tooltip.
template <typename W>
W* hinted(W* w, const QString& hint)
{
    w->setStatusTip(hint);
    w->setToolTip(hint);
    return w;
}

// The hints of a pop-up menu's items show in the status bar's first panel
// while an item is highlighted, and the panel is cleared when none is. Qt
// tells an item's hint to the menu, a window of its own, where it would
// stop; the menu passes it on to the control it belongs to, and so up to
// the main window.
void menuHintsToStatusBar(QMenu* menu);

// A speed button, the same on every screen: a raised button whose frame is
// always drawn, its glyph above its caption (in speedButtonFont()), a hand
// cursor, and its hint in the status bar and as a tooltip.
QToolButton* speedButton(QWidget* parent, const char* name, const QString& caption, const QString& hint,
                         const QRect& rect, Glyph glyph);

// Qt's styles write the title of a grid column that holds a selection in
// bold; the grids select whole rows, so every title would be bold and
// wider than the column laid out for it. The grid headers inside `window`
// keep their font instead, through a style of their own.
void plainGridTitles(QWidget* window);

// Puts a window in the middle of the desktop of its screen, never above or
// left of it, so that its title bar stays within reach.
void centreOnScreen(QWidget* window);

} // namespace velmora
