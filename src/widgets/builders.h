#pragma once
// The two pieces every registry and form is laid out with.
#include <QRect>
#include <QString>

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

// A flat picture button of the main window's panels (raised under the
// pointer), with a hand cursor and its hint.
QToolButton* pictureButton(QWidget* parent, const char* name, const QString& text, const QString& hint,
                           const QRect& rect);

// A square picture button with a hand cursor; its hint shows as a tooltip
// and in the main window's status bar.
QToolButton* hintedButton(QWidget* parent, const char* name, const QString& text, const QString& hint,
                          const QRect& rect);

} // namespace velmora
