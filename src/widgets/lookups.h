#pragma once
// Choosers over a list table (nurseries, roles, ...): one item per selected
// row, showing a display field and carrying a key field. The current item
// follows the list table's cursor and choosing an item moves the cursor
// there; when a data source is set, the chosen key is also written into that
// field of the data table.

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
    void listChanged();    // rebuild the items
    void currentChanged(); // select the current item again

private:
    QPointer<store::Table> m_list;
    QPointer<store::Table> m_data;
    QString m_key, m_display, m_dataField;
    Dialogs* m_dialogs = nullptr;
    QMetaObject::Connection m_conn[3];
};

class LookupComboBox : public QComboBox
{
    Q_OBJECT

public:
    explicit LookupComboBox(QWidget* parent = nullptr);

    void setListSource(store::Table* list, const QString& keyField, const QString& displayField);
    void setDataSource(store::Table* data, const QString& field);
    void setDialogs(Dialogs* dialogs) { m_link->setDialogs(dialogs); }
    LookupLink* link() const { return m_link; }

signals:
    // The popup closed after a choice.
    void closeUp();

private:
    void rebuild();
    void syncCurrent();

    LookupLink* m_link;
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

signals:
    void doubleClicked();

private:
    void rebuild();
    void syncCurrent();

    LookupLink* m_link;
    bool m_syncing = false;
};

} // namespace velmora
