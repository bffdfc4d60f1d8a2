#pragma once
// Edit controls bound to one field of a table object's current record. They
// show the field, and typing or clicking in them puts the table in edit
// state and writes the field. The table may be closed at first.

#include <QCheckBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPointer>

#include "table.h"

namespace velmora {

class Dialogs;

// The binding shared by the controls: table, field, signals followed.
class FieldLink : public QObject
{
    Q_OBJECT

public:
    explicit FieldLink(QObject* parent = nullptr) : QObject(parent) {}

    void bind(store::Table* table, const QString& fieldName);
    store::Table* table() const { return m_table; }
    QString fieldName() const { return m_field; }
    int fieldIndex() const; // -1 when closed or unknown
    bool isActive() const { return fieldIndex() >= 0; }
    // False when the table is closed or read-only, or the field is not stored.
    bool canModify() const;
    // Puts the table in edit state if it browses, then writes the field.
    // Throws store::DbError.
    void write(const QVariant& value);

signals:
    void changed();

private:
    QPointer<store::Table> m_table;
    QString m_field;
    QMetaObject::Connection m_conn[3];
};

// What every data-aware edit offers: the field of a table it shows and
// writes, and the dialogs that tell the user of a refused value.
class DataControl
{
public:
    virtual ~DataControl() = default;

    virtual void setDataSource(store::Table* table, const QString& fieldName) { m_link->bind(table, fieldName); }
    store::Table* table() const { return m_link->table(); }
    QString fieldName() const { return m_link->fieldName(); }
    void setDialogs(Dialogs* dialogs) { m_dialogs = dialogs; }

protected:
    // The link lives as a child of the control's widget `owner`.
    explicit DataControl(QObject* owner) : m_link(new FieldLink(owner)) {}

    FieldLink* m_link;
    Dialogs* m_dialogs = nullptr;
    bool m_writing = false; // the control is writing the field: its own refresh waits
};

class DataEdit : public QLineEdit, public DataControl
{
    Q_OBJECT

public:
    explicit DataEdit(QWidget* parent = nullptr);

    // Also registers the post check that refuses a half-typed value.
    void setDataSource(store::Table* table, const QString& fieldName) override;

public slots:
    void refresh();

private:
    void onTextEdited(const QString& text);
    void onEditingFinished();
public:
    // Shows the refusal of a number or date still waiting in the box, if
    // any, and returns false then: the caller must not post or close. The
    // refusal stays until the box holds a value the field takes or the
    // record is given up: until then every post of the table is refused
    // with the same message, so the field never keeps a half-typed value
    // (the "15/03/20" on the way to "15/03/2026") the box no longer shows.
    // Once the refusal is answered the box has the focus again, its text
    // chosen, so the correction is typed where it belongs.
    bool commitPending();
    bool hasPendingRefusal() const { return !m_pendingError.isEmpty(); }
private:
    bool isTextField() const;

    bool m_showing = false; // the refusal's box is up
    QPointer<store::Table> m_checked; // the table that asks before posting
    QString m_pendingError; // the last refused value, shown when editing ends
};

class DataMemo : public QPlainTextEdit, public DataControl
{
    Q_OBJECT

public:
    explicit DataMemo(QWidget* parent = nullptr);

public slots:
    void refresh();

private:
    void onTextChanged();

    bool m_updating = false;
};

class DataCheckBox : public QCheckBox, public DataControl
{
    Q_OBJECT

public:
    explicit DataCheckBox(QWidget* parent = nullptr);
    explicit DataCheckBox(const QString& text, QWidget* parent = nullptr);

public slots:
    void refresh();

private:
    void onClicked(bool checked);
};

// commitPending() on every data edit under `root`; false when one refused.
bool commitPendingEdits(QWidget* root);

} // namespace velmora
