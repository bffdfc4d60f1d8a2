#pragma once
// A row of buttons that moves a table object's cursor and drives its edit
// states. The buttons enable themselves from the table's state; the whole
// navigator can still be switched off with setEnabled(false).

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

    // Runs the action of `button`, as a click on it does (also when the
    // button is hidden or disabled; the table refuses what it cannot do).
    void trigger(Button button);

public slots:
    void updateButtons();

signals:
    void clicked(velmora::DataNavigator::Button button);

private:
    QPointer<store::Table> m_table;
    Dialogs* m_dialogs = nullptr;
    QHash<Button, QToolButton*> m_buttons;
    QMetaObject::Connection m_conn[3];
};

} // namespace velmora
