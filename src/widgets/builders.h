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

// A square picture button with a hand cursor; its hint shows as a tooltip
// and in the main window's status bar.
QToolButton* hintedButton(QWidget* parent, const char* name, const QString& text, const QString& hint,
                          const QRect& rect);

} // namespace velmora
