#include "dataedits.h"

#include "datahelpers.h"
#include "errors.h"
#include "table.h"

#include <QValidator>

namespace velmora {

// ---------------------------------------------------------------- link

void FieldLink::bind(store::Table* table, const QString& fieldName)
{
    for (auto& c : m_conn)
        disconnect(c);
    m_table = table;
    m_field = fieldName;
    if (table) {
        m_conn[0] = connect(table, &store::Table::dataSetChanged, this, &FieldLink::changed);
        m_conn[1] = connect(table, &store::Table::recordChanged, this, &FieldLink::changed);
        m_conn[2] = connect(table, &store::Table::stateChanged, this, &FieldLink::changed);
    }
    emit changed();
}

int FieldLink::fieldIndex() const
{
    if (!m_table || !m_table->isOpen())
        return -1;
    return m_table->findField(m_field);
}

bool FieldLink::canModify() const
{
    const int i = fieldIndex();
    if (i < 0 || m_table->isReadOnly())
        return false;
    const store::Field f = m_table->field(i);
    return f.kind() == store::FieldKind::Stored && f.type() != store::FieldType::AutoInc;
}

void FieldLink::write(const QVariant& value)
{
    if (!m_table)
        return;
    if (m_table->state() == store::Table::State::Browse)
        m_table->edit();
    m_table->setValue(m_field, value);
}

// ---------------------------------------------------------------- line edit

namespace {

// The edit's length limit counts UTF-16 units and cuts what is typed or
// pasted at the limit by units: an emoji (a surrogate pair) that crosses it
// would leave its first half in the box, and then in the field. This
// validator takes out every half of a pair, so the box holds whole
// characters only; it refuses nothing.
class WholeCharacters : public QValidator
{
public:
    using QValidator::QValidator;

    State validate(QString& input, int& pos) const override
    {
        for (qsizetype i = 0; i < input.size();) {
            const QChar c = input.at(i);
            const bool paired = c.isHighSurrogate() ? i + 1 < input.size() && input.at(i + 1).isLowSurrogate()
                                                    : !c.isLowSurrogate();
            if (paired) {
                i += c.isHighSurrogate() ? 2 : 1;
                continue;
            }
            input.remove(i, 1);
            if (pos > i)
                --pos;
        }
        return Acceptable;
    }
};

} // namespace

DataEdit::DataEdit(QWidget* parent) : QLineEdit(parent), DataControl(this)
{
    setValidator(new WholeCharacters(this));
    connect(m_link, &FieldLink::changed, this, &DataEdit::refresh);
    connect(this, &QLineEdit::textEdited, this, &DataEdit::onTextEdited);
    connect(this, &QLineEdit::editingFinished, this, &DataEdit::onEditingFinished);
    refresh();
}

void DataEdit::setDataSource(store::Table* table, const QString& fieldName)
{
    m_pendingError.clear();
    if (m_checked)
        m_checked->removePostChecks(this);
    m_checked = table;
    if (table)
        table->addPostCheck(this, [this] {
            if (!m_pendingError.isEmpty())
                throw store::DbError(m_pendingError);
        });
    m_link->bind(table, fieldName);
}

bool DataEdit::isTextField() const
{
    const int i = m_link->fieldIndex();
    if (i < 0)
        return true;
    const store::FieldType t = m_link->table()->field(i).type();
    return t == store::FieldType::String || t == store::FieldType::Memo;
}

void DataEdit::refresh()
{
    if (m_writing)
        return;
    const int i = m_link->fieldIndex();
    const store::Table* t = m_link->table();
    const bool editing = t && (t->state() == store::Table::State::Edit || t->state() == store::Table::State::Insert);
    if (!editing)
        m_pendingError.clear(); // the record was posted, given up or closed
    if (i < 0) {
        setMaxLength(32767);
        if (!text().isEmpty())
            setText(QString());
        setReadOnly(true);
        return;
    }
    const store::Field f = m_link->table()->field(i);
    setReadOnly(!m_link->canModify());
    setMaxLength(f.type() == store::FieldType::String && f.size() > 0 ? f.size() : 32767);
    QString value;
    try {
        value = f.asString();
    } catch (const store::DbError&) {
    }
    // A refused value stays in the box while the record is still being edited.
    if (value != text() && !(editing && !m_pendingError.isEmpty())) {
        m_pendingError.clear();
        setText(value);
    }
}

void DataEdit::onTextEdited(const QString& text)
{
    if (!m_link->canModify())
        return;
    const bool textField = isTextField();
    m_writing = true;
    try {
        // An empty box unsets a number or a date.
        m_link->write(!textField && text.trimmed().isEmpty() ? QVariant() : QVariant(text));
        m_pendingError.clear();
    } catch (const store::DbError& e) {
        // A number or date is refused while half typed: the error waits until
        // the user leaves the box, and the text stays as typed.
        if (textField)
            showDbError(m_dialogs, e);
        else
            m_pendingError = e.message();
    }
    m_writing = false;
}

void DataEdit::onEditingFinished()
{
    commitPending();
}

bool DataEdit::commitPending()
{
    if (m_pendingError.isEmpty())
        return true;
    if (m_showing)
        return false; // the box itself took the focus away
    m_showing = true;
    showDbError(m_dialogs, store::DbError(m_pendingError));
    m_showing = false;
    // The value is corrected where it was refused: the focus comes back to
    // the box (the Tab that left it, or the button that wanted to post, has
    // moved it on), with the refused text chosen so that typing replaces it.
    // Left on the next field, the correction would be typed there.
    if (isVisible() && isEnabled()) {
        setFocus(Qt::OtherFocusReason);
        selectAll();
    }
    return false;
}

bool commitPendingEdits(QWidget* root)
{
    if (!root)
        return true;
    bool ok = true;
    for (DataEdit* e : root->findChildren<DataEdit*>())
        ok = e->commitPending() && ok;
    return ok;
}

// ---------------------------------------------------------------- memo

DataMemo::DataMemo(QWidget* parent) : QPlainTextEdit(parent), DataControl(this)
{
    // Tab goes on to the next control, as in every other edit; a note that
    // swallowed it would hold the keyboard user (and gain tab characters).
    setTabChangesFocus(true);
    connect(m_link, &FieldLink::changed, this, &DataMemo::refresh);
    connect(this, &QPlainTextEdit::textChanged, this, &DataMemo::onTextChanged);
    refresh();
}

void DataMemo::refresh()
{
    if (m_writing)
        return;
    const int i = m_link->fieldIndex();
    QString value;
    if (i >= 0) {
        try {
            value = m_link->table()->field(i).asString();
        } catch (const store::DbError&) {
        }
    }
    setReadOnly(!m_link->canModify());
    if (value != toPlainText()) {
        m_updating = true;
        setPlainText(value);
        m_updating = false;
    }
}

void DataMemo::onTextChanged()
{
    if (m_updating || !m_link->canModify())
        return;
    m_writing = true;
    try {
        m_link->write(toPlainText());
    } catch (const store::DbError& e) {
        showDbError(m_dialogs, e);
    }
    m_writing = false;
}

// ---------------------------------------------------------------- check box

DataCheckBox::DataCheckBox(QWidget* parent) : DataCheckBox(QString(), parent) {}

DataCheckBox::DataCheckBox(const QString& text, QWidget* parent) : QCheckBox(text, parent), DataControl(this)
{
    connect(m_link, &FieldLink::changed, this, &DataCheckBox::refresh);
    connect(this, &QCheckBox::clicked, this, &DataCheckBox::onClicked);
    refresh();
}

void DataCheckBox::refresh()
{
    if (m_writing)
        return;
    const int i = m_link->fieldIndex();
    bool on = false;
    if (i >= 0) {
        try {
            on = m_link->table()->field(i).asBoolean();
        } catch (const store::DbError&) {
        }
    }
    setChecked(on);
    // Read-only: the box still shows the value but takes no clicks.
    setAttribute(Qt::WA_TransparentForMouseEvents, !m_link->canModify());
    setFocusPolicy(m_link->canModify() ? Qt::StrongFocus : Qt::NoFocus);
}

void DataCheckBox::onClicked(bool checked)
{
    if (!m_link->canModify()) {
        refresh();
        return;
    }
    m_writing = true;
    try {
        m_link->write(checked);
    } catch (const store::DbError& e) {
        m_writing = false;
        showDbError(m_dialogs, e);
        refresh();
        return;
    }
    m_writing = false;
    refresh();
}

} // namespace velmora
