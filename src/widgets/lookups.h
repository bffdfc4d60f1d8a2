#pragma once
// Choosers over a list table (nurseries, roles, ...): one item per selected
// row, showing a display field and carrying a key field. Choosing an item
// moves the list table's cursor there; when a data source is set, the chosen
// key is also written into that field of the data table.
//
// The list box's current item is the list table's cursor. The combo shows
// the item of its key (see LookupComboBox), and no item at all when there is
// none.

#include <QComboBox>
#include <QListWidget>
#include <QPointer>

#include "table.h"

namespace velmora {

class Dialogs;

// The binding shared by the combo and the list box.
class LookupLink : public QObject
{
    Q_OBJECT

public:
    explicit LookupLink(QObject* parent = nullptr) : QObject(parent) {}

    void setListSource(store::Table* list, const QString& keyField, const QString& displayField);
    void setDataSource(store::Table* data, const QString& field);
    // The key field of the list table's current record; invalid when none.
    QVariant currentKey() const;
    // The data field's value in the data table's current record; invalid
    // when there is no data source or it is closed.
    QVariant dataKey() const;
    store::Table* listTable() const { return m_list; }
    store::Table* dataTable() const { return m_data; }
    QString keyField() const { return m_key; }
    QString displayField() const { return m_display; }
    QString dataField() const { return m_dataField; }
    void setDialogs(Dialogs* dialogs) { m_dialogs = dialogs; }

    // Display text and key of every row of the list table, in its order.
    QList<QPair<QString, QVariant>> items() const;
    int currentRow() const; // the list table's cursor, -1 when none
    // Moves the list cursor to `row` and writes its key into the data field.
    // Errors are shown, not thrown.
    void choose(int row);

signals:
    void listChanged();     // rebuild the items
    void currentChanged();  // the list table's cursor moved, or the user chose
    void dataKeyChanged();  // the data table moved or changed


private:
    QPointer<store::Table> m_list;
    QPointer<store::Table> m_data;
    QString m_key, m_display, m_dataField;
    Dialogs* m_dialogs = nullptr;
    QMetaObject::Connection m_conn[3];
    QMetaObject::Connection m_dataConn[3];
};

// Whether `key` names no record: unset, empty, or 0 (the key of no record).
bool isNoKey(const QVariant& key);

// Its list drops down below it, maxVisibleItems rows high (10 unless set),
// whatever the style.
class LookupComboBox : public QComboBox
{
    Q_OBJECT

public:
    explicit LookupComboBox(QWidget* parent = nullptr);

    void setListSource(store::Table* list, const QString& keyField, const QString& displayField);
    void setDataSource(store::Table* data, const QString& field);
    void setDialogs(Dialogs* dialogs) { m_link->setDialogs(dialogs); }
    LookupLink* link() const { return m_link; }

    // The key whose item the combo shows. With a data source it is the data
    // field's value. Without one it is the key set here, or by the program
    // with setCurrentIndex(), or of the item the user chose, or of the record
    // the list table's cursor moved to. A key that is unset, empty, 0 or not
    // in the list shows no item and blank text. Setting the key never moves
    // the list table's cursor: the caller moves it when it means to.
    void setKeyValue(const QVariant& key);
    QVariant keyValue() const { return m_key; }

signals:
    // The popup closed after a choice.
    void closeUp();

private:
    void rebuild();
    void followCursor();
    void showKey();

    LookupLink* m_link;
    QVariant m_key;
    bool m_syncing = false;
};

class LookupListBox : public QListWidget
{
    Q_OBJECT

public:
    explicit LookupListBox(QWidget* parent = nullptr);

    void setListSource(store::Table* list, const QString& keyField, const QString& displayField);
    void setDataSource(store::Table* data, const QString& field);
    void setDialogs(Dialogs* dialogs) { m_link->setDialogs(dialogs); }
    LookupLink* link() const { return m_link; }

protected:
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

signals:
    void doubleClicked();
    // Return, or Enter on the keypad, on the list: its screen's main action
    // for the current item.
    void returnPressed();

private:
    void rebuild();
    void syncCurrent();

    LookupLink* m_link;
    bool m_syncing = false;
};

} // namespace velmora
