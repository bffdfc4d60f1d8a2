#include "lookups.h"

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
    m_data = data;
    m_dataField = field;
}

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
    connect(m_link, &LookupLink::listChanged, this, &LookupComboBox::rebuild);
    connect(m_link, &LookupLink::currentChanged, this, &LookupComboBox::syncCurrent);
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

void LookupComboBox::rebuild()
{
    m_syncing = true;
    clear();
    for (const auto& [text, key] : m_link->items())
        addItem(text, key);
    m_syncing = false;
    syncCurrent();
}

void LookupComboBox::syncCurrent()
{
    m_syncing = true;
    const int row = m_link->currentRow();
    setCurrentIndex(row >= 0 && row < count() ? row : -1);
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

void LookupListBox::syncCurrent()
{
    m_syncing = true;
    const int row = m_link->currentRow();
    setCurrentRow(row >= 0 && row < count() ? row : -1);
    m_syncing = false;
}

} // namespace velmora
