#include "lookups.h"

#include <QKeyEvent>

#include "datahelpers.h"
#include "errors.h"
#include "table.h"

namespace velmora {

// ---------------------------------------------------------------- link

void LookupLink::setListSource(store::Table* list, const QString& keyField, const QString& displayField)
{
    for (auto& c : m_conn)
        disconnect(c);
    m_list = list;
    m_key = keyField;
    m_display = displayField;
    if (list) {
        m_conn[0] = connect(list, &store::Table::dataSetChanged, this, &LookupLink::listChanged);
        m_conn[1] = connect(list, &store::Table::recordChanged, this, &LookupLink::currentChanged);
        m_conn[2] = connect(list, &store::Table::stateChanged, this, &LookupLink::listChanged);
    }
    emit listChanged();
}

void LookupLink::setDataSource(store::Table* data, const QString& field)
{
    for (auto& c : m_dataConn)
        disconnect(c);
    m_data = data;
    m_dataField = field;
    if (data) {
        m_dataConn[0] = connect(data, &store::Table::dataSetChanged, this, &LookupLink::dataKeyChanged);
        m_dataConn[1] = connect(data, &store::Table::recordChanged, this, &LookupLink::dataKeyChanged);
        m_dataConn[2] = connect(data, &store::Table::stateChanged, this, &LookupLink::dataKeyChanged);
    }
    emit dataKeyChanged();
}

QVariant LookupLink::currentKey() const
{
    if (!m_list || !m_list->isOpen())
        return QVariant();
    try {
        if (m_list->isEmpty())
            return QVariant();
        return m_list->value(m_key);
    } catch (const store::DbError&) {
        return QVariant();
    }
}

QVariant LookupLink::dataKey() const
{
    if (!m_data || !m_data->isOpen() || m_dataField.isEmpty())
        return QVariant();
    try {
        return m_data->value(m_dataField);
    } catch (const store::DbError&) {
        return QVariant();
    }
}

bool isNoKey(const QVariant& key)
{
    if (!key.isValid() || key.isNull())
        return true;
    const QString text = key.toString().trimmed();
    if (text.isEmpty())
        return true;
    bool number = false;
    const qlonglong n = text.toLongLong(&number);
    return number && n == 0;
}

namespace {

bool sameKey(const QVariant& a, const QVariant& b)
{
    const QString x = a.toString().trimmed();
    const QString y = b.toString().trimmed();
    bool xn = false, yn = false;
    const qlonglong xi = x.toLongLong(&xn);
    const qlonglong yi = y.toLongLong(&yn);
    if (xn && yn)
        return xi == yi;
    return x == y;
}

} // namespace

QList<QPair<QString, QVariant>> LookupLink::items() const
{
    QList<QPair<QString, QVariant>> out;
    if (!m_list || !m_list->isOpen())
        return out;
    try {
        const int key = m_list->findField(m_key);
        const int display = m_list->findField(m_display);
        const int n = m_list->rowCount();
        for (int row = 0; row < n; ++row) {
            const QVariant k = key >= 0 ? m_list->valueAt(row, key) : QVariant();
            const QString text = display >= 0 ? displayText(m_list, display, m_list->valueAt(row, display)) : QString();
            out.append({text, k});
        }
    } catch (const store::DbError&) {
        out.clear();
    }
    return out;
}

int LookupLink::currentRow() const
{
    if (!m_list || !m_list->isOpen())
        return -1;
    return m_list->recNo();
}

void LookupLink::choose(int row)
{
    if (!m_list || !m_list->isOpen() || row < 0)
        return;
    try {
        moveTableTo(m_list, row);
        if (m_data && m_data->isOpen() && !m_dataField.isEmpty() && m_list->recNo() == row) {
            const QVariant key = m_list->value(m_key);
            if (m_data->state() == store::Table::State::Browse)
                m_data->edit();
            m_data->setValue(m_dataField, key);
        }
    } catch (const store::DbError& e) {
        showDbError(m_dialogs, e);
    }
    emit currentChanged();
}

// ---------------------------------------------------------------- combo

LookupComboBox::LookupComboBox(QWidget* parent) : QComboBox(parent), m_link(new LookupLink(this))
{
    setEditable(false);
    // The list drops down below the chooser and shows maxVisibleItems rows,
    // the rest a scroll away. Styles that open it as a menu over the chooser
    // (Fusion among them) ignore that count and show every row, running past
    // the window with a long list.
    setStyleSheet(QStringLiteral("QComboBox { combobox-popup: 0; }"));
    connect(m_link, &LookupLink::listChanged, this, &LookupComboBox::rebuild);
    connect(m_link, &LookupLink::currentChanged, this, &LookupComboBox::followCursor);
    connect(m_link, &LookupLink::dataKeyChanged, this, [this] {
        if (!m_link->dataTable())
            return;
        m_key = m_link->dataKey();
        showKey();
    });
    // The program choosing an item, or none, with setCurrentIndex() sets the key.
    connect(this, &QComboBox::currentIndexChanged, this, [this](int index) {
        if (m_syncing)
            return;
        m_key = index >= 0 ? itemData(index) : QVariant();
    });
    connect(this, &QComboBox::activated, this, [this](int index) {
        if (m_syncing)
            return;
        m_link->choose(index);
        emit closeUp();
    });
}

void LookupComboBox::setListSource(store::Table* list, const QString& keyField, const QString& displayField)
{
    m_link->setListSource(list, keyField, displayField);
}

void LookupComboBox::setDataSource(store::Table* data, const QString& field) { m_link->setDataSource(data, field); }

void LookupComboBox::setKeyValue(const QVariant& key)
{
    m_key = key;
    showKey();
}

void LookupComboBox::rebuild()
{
    m_syncing = true;
    clear();
    for (const auto& [text, key] : m_link->items())
        addItem(text, key);
    m_syncing = false;
    // The list is read again (opened, filtered, refreshed): the combo keeps
    // its key, whatever record the cursor landed on.
    showKey();
}

void LookupComboBox::followCursor()
{
    // With a data source the key is the data field's; the list's cursor
    // moving does not change it (a choice writes it there first).
    m_key = m_link->dataTable() ? m_link->dataKey() : m_link->currentKey();
    showKey();
}

void LookupComboBox::showKey()
{
    int index = -1;
    if (!isNoKey(m_key)) {
        for (int i = 0; i < count(); ++i) {
            if (sameKey(itemData(i), m_key)) {
                index = i;
                break;
            }
        }
    }
    m_syncing = true;
    setCurrentIndex(index);
    m_syncing = false;
}

// ---------------------------------------------------------------- list box

LookupListBox::LookupListBox(QWidget* parent) : QListWidget(parent), m_link(new LookupLink(this))
{
    setSelectionMode(QAbstractItemView::SingleSelection);
    connect(m_link, &LookupLink::listChanged, this, &LookupListBox::rebuild);
    connect(m_link, &LookupLink::currentChanged, this, &LookupListBox::syncCurrent);
    connect(this, &QListWidget::currentRowChanged, this, [this](int row) {
        if (m_syncing || row < 0 || row == m_link->currentRow())
            return;
        m_link->choose(row);
    });
}

void LookupListBox::setListSource(store::Table* list, const QString& keyField, const QString& displayField)
{
    m_link->setListSource(list, keyField, displayField);
}

void LookupListBox::setDataSource(store::Table* data, const QString& field) { m_link->setDataSource(data, field); }

void LookupListBox::rebuild()
{
    m_syncing = true;
    clear();
    for (const auto& [text, key] : m_link->items()) {
        auto* item = new QListWidgetItem(text, this);
        item->setData(Qt::UserRole, key);
    }
    m_syncing = false;
    syncCurrent();
}

void LookupListBox::mouseDoubleClickEvent(QMouseEvent* event)
{
    QListWidget::mouseDoubleClickEvent(event);
    // Anywhere in the list, also below its rows or on an empty list.
    emit doubleClicked();
}

void LookupListBox::keyPressEvent(QKeyEvent* event)
{
    if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) && !event->isAutoRepeat()) {
        event->accept();
        emit returnPressed();
        return;
    }
    QListWidget::keyPressEvent(event);
}

void LookupListBox::syncCurrent()
{
    m_syncing = true;
    const int row = m_link->currentRow();
    setCurrentRow(row >= 0 && row < count() ? row : -1);
    m_syncing = false;
}

} // namespace velmora
