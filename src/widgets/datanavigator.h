#pragma once
// A row of buttons that moves a table object's cursor and drives its edit
// states. The visible buttons share the navigator's whole width in equal
// parts, whatever its size. Each button is enabled only when its action can
// do something now; the whole navigator can still be switched off with
// setEnabled(false), and switching it on again brings back each button's own
// state.

#include <QHash>
#include <QList>
#include <QPointer>

#include "table.h"
#include <QWidget>

class QToolButton;

namespace velmora {

class Dialogs;

class DataNavigator : public QWidget
{
    Q_OBJECT

public:
    enum class Button { First, Prior, Next, Last, Insert, Delete, Edit, Post, Cancel, Refresh };

    explicit DataNavigator(QWidget* parent = nullptr);

    void setTable(store::Table* table);
    store::Table* table() const { return m_table; }

    // Deleting asks for confirmation through this; without it, Delete does
    // nothing. Errors of every action are shown through it too.
    void setDialogs(Dialogs* dialogs) { m_dialogs = dialogs; }
    Dialogs* dialogs() const { return m_dialogs; }

    // Which buttons are shown, in the fixed order of Button. All by default.
    void setVisibleButtons(const QList<Button>& buttons);
    QList<Button> visibleButtons() const;

    void setHint(Button button, const QString& text);
    QString hint(Button button) const;
    static QString defaultHint(Button button);

    QToolButton* button(Button button) const;
    static QList<Button> allButtons();

    QSize sizeHint() const override;

    // Runs the action of `button`, as a click on it does (also when the
    // button is hidden or disabled; the table refuses what it cannot do).
    void trigger(Button button);

public slots:
    // Enables each button from the table's state:
    // - First and Prior need a record before the current one, Next and Last
    //   one after it (neither at BOF/EOF nor on the first/last record). A
    //   record being inserted stands after the last one, as the grid shows
    //   it: Next and Last are off, First and Prior on while records exist.
    //   While editing or inserting the moves stay on: the table posts the
    //   pending change (or drops an untouched one) before it moves.
    // - Insert needs a writable table; Delete a writable table with a
    //   record; Edit a writable table not already editing (on an empty table
    //   the table turns it into an insertion, so it stays offered); Post and
    //   Cancel an edit or insertion under way; Refresh an open table not
    //   editing.
    void updateButtons();

protected:
    void resizeEvent(QResizeEvent* event) override;

signals:
    void clicked(velmora::DataNavigator::Button button);

private:
    void layButtons();

    QPointer<store::Table> m_table;
    Dialogs* m_dialogs = nullptr;
    QHash<Button, QToolButton*> m_buttons;
    QMetaObject::Connection m_conn[3];
};

} // namespace velmora
