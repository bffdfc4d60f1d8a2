#include "choicecolumn.h"
#include "datagrid.h"
#include "datahelpers.h"
#include "errors.h"
#include "table.h"

#include <QComboBox>
#include <QHeaderView>
#include <QKeyEvent>
#include <QSignalBlocker>

#include <utility>

namespace velmora {

namespace {

qint64 keyOf(const QVariant& v)
{
    bool ok = false;
    const qint64 k = v.toLongLong(&ok);
    return ok ? k : -1;
}

} // namespace

ChoiceColumn::ChoiceColumn(DataGrid* grid, int column, store::Table& list, const QString& display,
                           const QString& keyField, Dialogs* dialogs)
    : QStyledItemDelegate(grid), m_grid(grid), m_column(column), m_list(&list), m_display(display),
      m_keyField(keyField), m_dialogs(dialogs)
{
    m_combo = new QComboBox(grid->viewport());
    m_combo->setEditable(false);
    m_combo->hide();
    grid->setItemDelegateForColumn(column, this);

    connect(m_combo, &QComboBox::activated, this, &ChoiceColumn::choose);
    connect(&list, &store::Table::dataSetChanged, this, &ChoiceColumn::fill);
    // The grid reads its whole table again on most changes: the drop-down
    // leaves its cell while the cell still exists, so the view gives it back
    // to this delegate instead of disposing of it.
    connect(grid->model(), &QAbstractItemModel::modelAboutToBeReset, this, &ChoiceColumn::release);
    // Made after the grid's own connections, so the grid has followed its
    // table when the drop-down does.
    if (store::Table* t = grid->table())
        for (auto signal : {&store::Table::dataSetChanged, &store::Table::recordChanged, &store::Table::stateChanged})
            connect(t, signal, this, &ChoiceColumn::follow);
    fill();
}

void ChoiceColumn::fill()
{
    if (!m_combo)
        return;
    {
        const QSignalBlocker quiet(m_combo);
        m_combo->clear();
        try {
            if (m_list && m_list->isOpen()) {
                const int key = m_list->findField(QStringLiteral("Id"));
                const int shown = m_list->findField(m_display);
                for (int row = 0; row < m_list->rowCount(); ++row)
                    m_combo->addItem(shown >= 0 ? m_list->valueAt(row, shown).toString() : QString(),
                                     key >= 0 ? m_list->valueAt(row, key) : QVariant());
            }
        } catch (const store::DbError&) {
            m_combo->clear();
        }
    }
    follow();
}

void ChoiceColumn::release()
{
    if (m_row < 0)
        return;
    const QModelIndex cell = m_grid->model()->index(m_row, m_column);
    m_row = -1;
    if (!cell.isValid() || !m_grid->isPersistentEditorOpen(cell))
        return;
    // The focus stays in the grid rather than wander off with the hidden list.
    if (m_combo && m_combo->hasFocus()) {
        m_grid->setFocus(Qt::OtherFocusReason);
        m_refocus = true;
    }
    m_grid->closePersistentEditor(cell);
}

void ChoiceColumn::follow()
{
    if (!m_combo)
        return;
    store::Table* t = m_grid->table();
    const bool open = t && t->isOpen();
    const bool writable = open && !t->isReadOnly();
    const int row = open ? m_grid->dataModel()->currentRow() : -1;
    const bool onRow = row >= 0 && row < m_grid->model()->rowCount();
    if (row != m_row || !onRow)
        release();
    m_combo->setEnabled(writable);
    const bool refocus = std::exchange(m_refocus, false) && m_grid->hasFocus();
    if (onRow) {
        m_grid->openPersistentEditor(m_grid->model()->index(row, m_column));
        // The view puts an editor it opens right after itself in the Tab
        // order; the drop-downs keep the order of their columns.
        for (int c = m_column - 1; c >= 0; --c) {
            if (QWidget* left = m_grid->indexWidget(m_grid->model()->index(row, c))) {
                QWidget::setTabOrder(left, m_combo);
                break;
            }
        }
        m_row = row;
        showChoice(row);
        if (refocus)
            m_combo->setFocus(Qt::OtherFocusReason);
        return;
    }
    if (writable && t->state() == store::Table::State::Browse && t->isEmpty()) {
        // No record yet: the drop-down stands where the first row goes.
        const int height = m_grid->verticalHeader()->defaultSectionSize();
        m_combo->setGeometry(m_grid->columnViewportPosition(m_column), 0, m_grid->columnWidth(m_column), height);
        const QSignalBlocker quiet(m_combo);
        m_combo->setCurrentIndex(-1);
        m_combo->show();
        return;
    }
    m_combo->hide();
}

void ChoiceColumn::showChoice(int row) const
{
    store::Table* t = m_grid->table();
    if (!m_combo || !t || !t->isOpen())
        return;
    qint64 key = -1;
    try {
        if (row == m_grid->dataModel()->currentRow())
            key = keyOf(t->value(m_keyField));
        else if (const int field = t->findField(m_keyField); field >= 0)
            key = keyOf(t->valueAt(row, field));
    } catch (const store::DbError&) {
    }
    int index = -1;
    for (int i = 0; key >= 0 && i < m_combo->count() && index < 0; ++i)
        if (keyOf(m_combo->itemData(i)) == key)
            index = i;
    const QSignalBlocker quiet(m_combo);
    m_combo->setCurrentIndex(index);
}

void ChoiceColumn::choose(int index)
{
    store::Table* t = m_grid->table();
    if (!t || !t->isOpen() || t->isReadOnly() || index < 0 || !m_combo)
        return;
    const QVariant key = m_combo->itemData(index);
    try {
        // A choice on a grid without records starts its first row.
        if (t->state() == store::Table::State::Browse) {
            if (t->isEmpty())
                t->append();
            else
                t->edit();
        }
        if (t->state() != store::Table::State::Browse)
            t->setValue(m_keyField, key);
    } catch (const store::Abort&) {
    } catch (const store::DbError& e) {
        showDbError(m_dialogs, e);
    }
    follow();
}

bool ChoiceColumn::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_combo && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Tab || key == Qt::Key_Backtab)
            return false;
    }
    return QStyledItemDelegate::eventFilter(watched, event);
}

QWidget* ChoiceColumn::createEditor(QWidget* parent, const QStyleOptionViewItem&, const QModelIndex&) const
{
    if (!m_combo)
        return nullptr;
    if (m_combo->parentWidget() != parent)
        m_combo->setParent(parent);
    return m_combo;
}

void ChoiceColumn::destroyEditor(QWidget* editor, const QModelIndex& index) const
{
    if (editor != m_combo) {
        QStyledItemDelegate::destroyEditor(editor, index);
        return;
    }
    // Kept for the next current cell.
    editor->removeEventFilter(const_cast<ChoiceColumn*>(this));
    editor->hide();
}

void ChoiceColumn::setEditorData(QWidget* editor, const QModelIndex& index) const
{
    if (editor == m_combo)
        showChoice(index.row());
}

void ChoiceColumn::setModelData(QWidget*, QAbstractItemModel*, const QModelIndex&) const
{
    // The choice was written into the record when it was made.
}

void ChoiceColumn::updateEditorGeometry(QWidget* editor, const QStyleOptionViewItem& option, const QModelIndex&) const
{
    editor->setGeometry(option.rect);
}

} // namespace velmora
