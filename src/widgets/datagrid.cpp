#include "datagrid.h"

#include <QKeyEvent>

#include "datahelpers.h"
#include "errors.h"
#include "table.h"

#include <QHeaderView>
#include <QItemSelectionModel>
#include <QPainter>
#include <QPainterPath>
#include <QStyleOptionHeader>
#include <QStyledItemDelegate>

namespace velmora {

namespace {

class CellDelegate : public QStyledItemDelegate
{
public:
    explicit CellDelegate(DataGrid* grid) : QStyledItemDelegate(grid), m_grid(grid) {}

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        if (m_grid->drawCell) {
            bool handled = false;
            m_grid->drawCell(painter, option, index, handled);
            if (handled)
                return;
        }
        QStyledItemDelegate::paint(painter, option, index);
    }

private:
    DataGrid* m_grid;
};

// The vertical header drawn as a row indicator: plain narrow sections, the
// current row's marked by the state of the table.
class RowIndicator : public QHeaderView
{
public:
    explicit RowIndicator(DataGrid* grid) : QHeaderView(Qt::Vertical, grid), m_grid(grid)
    {
        setHighlightSections(false);
        setSectionResizeMode(QHeaderView::Fixed);
        // A click on the indicator chooses its row.
        setSectionsClickable(true);
    }

    QSize sizeHint() const override { return QSize(DataGrid::RowIndicatorWidth, length()); }

protected:
    void paintSection(QPainter* painter, const QRect& rect, int logicalIndex) const override
    {
        QStyleOptionHeader opt;
        initStyleOption(&opt);
        opt.rect = rect;
        opt.section = logicalIndex;
        opt.text.clear();
        opt.state |= QStyle::State_Enabled;
        style()->drawControl(QStyle::CE_HeaderSection, &opt, painter, this);

        const DataGridModel* model = m_grid->dataModel();
        if (logicalIndex != model->currentRow())
            return;
        const store::Table::State state = model->shownState();
        painter->save();
        painter->setRenderHint(QPainter::Antialiasing, false);
        const QColor ink = opt.palette.color(QPalette::ButtonText);
        const QPoint c = rect.center();
        if (state == store::Table::State::Insert) {
            // An asterisk: the record is new.
            painter->setPen(QPen(ink, 1));
            painter->drawLine(c.x() - 3, c.y(), c.x() + 3, c.y());
            painter->drawLine(c.x(), c.y() - 3, c.x(), c.y() + 3);
            painter->drawLine(c.x() - 2, c.y() - 2, c.x() + 2, c.y() + 2);
            painter->drawLine(c.x() - 2, c.y() + 2, c.x() + 2, c.y() - 2);
        } else if (state == store::Table::State::Edit) {
            // An I-beam: the record is being changed.
            painter->setPen(QPen(ink, 1));
            painter->drawLine(c.x(), c.y() - 4, c.x(), c.y() + 4);
            painter->drawLine(c.x() - 2, c.y() - 5, c.x() + 2, c.y() - 5);
            painter->drawLine(c.x() - 2, c.y() + 5, c.x() + 2, c.y() + 5);
        } else {
            // A triangle pointing at the current row.
            QPainterPath arrow;
            arrow.moveTo(c.x() - 2, c.y() - 4);
            arrow.lineTo(c.x() + 2, c.y());
            arrow.lineTo(c.x() - 2, c.y() + 4);
            arrow.closeSubpath();
            painter->fillPath(arrow, ink);
        }
        painter->restore();
    }

private:
    DataGrid* m_grid;
};

} // namespace

// ---------------------------------------------------------------- model

DataGridModel::DataGridModel(QObject* parent) : QAbstractTableModel(parent) {}

void DataGridModel::setTable(store::Table* table)
{
    m_table = table;
    resetAll();
}

void DataGridModel::addColumn(const Column& column)
{
    beginResetModel();
    m_columns.append(column);
    endResetModel();
}

int DataGridModel::insertRow() const
{
    if (m_frozen.on)
        return m_frozen.insertRow;
    if (!m_table || m_table->state() != store::Table::State::Insert)
        return -1;
    return m_table->rowCount();
}

int DataGridModel::currentRow() const
{
    if (m_frozen.on)
        return m_frozen.currentRow;
    if (!m_table || !m_table->isOpen())
        return -1;
    const int ins = insertRow();
    return ins >= 0 ? ins : m_table->recNo();
}

store::Table::State DataGridModel::shownState() const
{
    if (m_frozen.on)
        return m_frozen.state;
    return m_table ? m_table->state() : store::Table::State::Inactive;
}

QVariant DataGridModel::liveValue(int row, int field) const
{
    if (!m_table || !m_table->isOpen() || field < 0)
        return QVariant();
    try {
        return row == insertRow() ? m_table->field(field).value() : m_table->valueAt(row, field);
    } catch (const store::DbError&) {
        return QVariant();
    }
}

QVariant DataGridModel::frozenValue(int row, int field) const
{
    const int i = row - m_frozen.firstRow;
    if (i < 0 || i >= int(m_frozen.rows.size()) || field < 0 || field >= m_frozen.rows[i].size())
        return QVariant();
    return m_frozen.rows[i][field];
}

QVariant DataGridModel::fieldValue(int row, const QString& fieldName) const
{
    if (!m_table)
        return QVariant();
    const int field = m_table->findField(fieldName);
    return m_frozen.on ? frozenValue(row, field) : liveValue(row, field);
}

void DataGridModel::freeze(int firstRow, int lastRow)
{
    // What is kept is what the table holds now: rows still to be told to
    // the grid are taken in first.
    m_frozen = Frozen();
    int wanted = m_rows;
    try {
        wanted = rowsToShow();
    } catch (const store::DbError&) {
    }
    if (wanted != m_rows)
        resetAll();
    Frozen f;
    f.on = true;
    f.state = m_table ? m_table->state() : store::Table::State::Inactive;
    if (m_table && m_table->isOpen()) {
        f.currentRow = currentRow();
        f.insertRow = insertRow();
        // The stored fields, for a screen's own drawing, and what the
        // columns show.
        QVector<bool> keep(m_table->fieldCount(), false);
        for (int i = 0; i < m_table->storedFieldCount() && i < keep.size(); ++i)
            keep[i] = true;
        for (const Column& c : m_columns) {
            const int field = m_table->findField(c.field);
            if (field >= 0)
                keep[field] = true;
        }
        f.firstRow = qMax(0, firstRow);
        const int last = qMin(lastRow, m_rows - 1);
        for (int row = f.firstRow; row <= last; ++row) {
            QVector<QVariant> values(keep.size());
            for (int field = 0; field < keep.size(); ++field)
                if (keep[field])
                    values[field] = liveValue(row, field);
            f.rows.push_back(std::move(values));
        }
    }
    m_frozen = std::move(f);
}

void DataGridModel::thaw()
{
    m_frozen = Frozen();
}

int DataGridModel::rowCount(const QModelIndex& parent) const
{
    if (parent.isValid())
        return 0;
    return m_rows;
}

int DataGridModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(m_columns.size());
}

QVariant DataGridModel::data(const QModelIndex& index, int role) const
{
    if (role == Qt::EditRole && index.isValid() && m_table && m_table->isOpen() && !m_frozen.on
        && index.row() == currentRow() && index.column() < m_columns.size()) {
        try {
            return m_table->fieldByName(m_columns[index.column()].field).asString();
        } catch (const store::DbError&) {
            return QVariant();
        }
    }
    if (role != Qt::DisplayRole || !index.isValid() || !m_table || (!m_table->isOpen() && !m_frozen.on))
        return QVariant();
    if (index.row() >= m_rows || index.column() >= m_columns.size())
        return QVariant();
    const int field = m_table->findField(m_columns[index.column()].field);
    if (field < 0)
        return QVariant();
    const QVariant v = m_frozen.on ? frozenValue(index.row(), field) : liveValue(index.row(), field);
    try {
        return displayText(m_table, field, v);
    } catch (const store::DbError&) {
        return QVariant();
    }
}

QVariant DataGridModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation == Qt::Horizontal && role == Qt::DisplayRole && section >= 0 && section < m_columns.size())
        return m_columns[section].title;
    return QAbstractTableModel::headerData(section, orientation, role);
}

Qt::ItemFlags DataGridModel::flags(const QModelIndex& index) const
{
    if (!index.isValid())
        return Qt::NoItemFlags;
    Qt::ItemFlags f = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
    if (index.column() < m_columns.size() && m_columns[index.column()].editable && m_table && m_table->isOpen()
        && !m_table->isReadOnly() && !m_frozen.on)
        f |= Qt::ItemIsEditable;
    return f;
}

bool DataGridModel::setData(const QModelIndex& index, const QVariant& value, int role)
{
    if (role != Qt::EditRole || !(flags(index) & Qt::ItemIsEditable) || index.row() != currentRow())
        return false;
    try {
        const Column& column = m_columns[index.column()];
        if (!column.emptyRefusal.isEmpty() && value.toString().trimmed().isEmpty())
            throw store::DbError(column.emptyRefusal);
        if (m_table->state() == store::Table::State::Browse)
            m_table->edit();
        m_table->setValue(column.field, value.toString());
        return true;
    } catch (const store::DbError& e) {
        if (onError)
            onError(e);
        return false;
    }
}

void DataGridModel::setColumnEditable(int column, bool editable)
{
    if (column >= 0 && column < m_columns.size())
        m_columns[column].editable = editable;
}

void DataGridModel::setColumnRequired(int column, const QString& refusal)
{
    if (column >= 0 && column < m_columns.size())
        m_columns[column].emptyRefusal = refusal;
}

int DataGridModel::rowsToShow() const
{
    if (!m_table || !m_table->isOpen())
        return 0;
    // A record being inserted stands after the last one, so only then is the
    // whole selection counted; otherwise the rows the table knows without
    // reading every key, the rest fetched when the view scrolls to them.
    const int ins = insertRow();
    return ins >= 0 ? ins + 1 : m_table->knownRowCount();
}

void DataGridModel::resetAll()
{
    beginResetModel();
    m_rows = 0;
    try {
        m_rows = rowsToShow();
    } catch (const store::DbError&) {
        m_rows = 0;
    }
    endResetModel();
}

bool DataGridModel::canFetchMore(const QModelIndex& parent) const
{
    if (parent.isValid() || !m_table || !m_table->isOpen() || m_frozen.on)
        return false;
    try {
        return !m_table->isCountKnown();
    } catch (const store::DbError&) {
        return false;
    }
}

void DataGridModel::fetchMore(const QModelIndex& parent)
{
    if (parent.isValid() || !m_table || !m_table->isOpen() || m_frozen.on)
        return;
    int n = m_rows;
    try {
        n = m_table->rowCount() + (insertRow() >= 0 ? 1 : 0);
    } catch (const store::DbError&) {
        return;
    }
    if (n > m_rows) {
        beginInsertRows(QModelIndex(), m_rows, n - 1);
        m_rows = n;
        endInsertRows();
    }
}

void DataGridModel::refreshCurrentRow()
{
    const int row = currentRow();
    int expected = 0;
    try {
        expected = rowsToShow();
    } catch (const store::DbError&) {
        expected = 0;
    }
    if (expected != m_rows) {
        resetAll();
        return;
    }
    if (row >= 0 && row < m_rows && !m_columns.isEmpty())
        emit dataChanged(index(row, 0), index(row, int(m_columns.size()) - 1), {Qt::DisplayRole});
}

// ---------------------------------------------------------------- view

DataGrid::DataGrid(QWidget* parent) : QTableView(parent), m_model(new DataGridModel(this))
{
    setVerticalHeader(new RowIndicator(this));
    setModel(m_model);
    setItemDelegate(new CellDelegate(this));
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    // Tab leaves the grid for the next control, as in the rest of the
    // window; the arrows move within it.
    setTabKeyNavigation(false);
    verticalHeader()->setVisible(false);
    // Column widths are given in pixels and kept as given, narrow ones too:
    // the style's minimum section size would widen them.
    horizontalHeader()->setMinimumSectionSize(1);
    horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
    horizontalHeader()->setStretchLastSection(false);
    connect(selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this](const QModelIndex& current, const QModelIndex&) { onCurrentRowChanged(current); });
    connect(this, &QAbstractItemView::doubleClicked, this, [this](const QModelIndex&) { emit doubleClicked(); });
}

void DataGrid::setTable(store::Table* table)
{
    for (auto& c : m_conn)
        disconnect(c);
    m_model->thaw();
    m_model->setTable(table);
    if (table) {
        m_conn[0] = connect(table, &store::Table::dataSetChanged, this, &DataGrid::onDataSetChanged);
        m_conn[1] = connect(table, &store::Table::recordChanged, this, &DataGrid::onRecordChanged);
        m_conn[2] = connect(table, &store::Table::stateChanged, this, &DataGrid::onDataSetChanged);
        m_conn[3] = connect(table, &store::Table::controlsFrozen, this, &DataGrid::onControlsFrozen);
        if (table->controlsDisabled())
            onControlsFrozen(true);
    }
    syncSelection();
}

void DataGrid::setColumnEditable(int column, bool editable)
{
    m_model->setColumnEditable(column, editable);
    m_editing = m_editing || editable;
    m_model->onError = [this](const store::DbError& e) { showDbError(m_dialogs, e); };
    setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed | QAbstractItemView::AnyKeyPressed);
}

void DataGrid::addColumn(const QString& fieldName, const QString& title, int widthPx)
{
    m_model->addColumn({fieldName, title, widthPx});
    for (int i = 0; i < m_model->columns().size(); ++i)
        if (m_model->columns()[i].width > 0)
            setColumnWidth(i, m_model->columns()[i].width);
    syncSelection();
}

void DataGrid::setRowIndicator(bool on)
{
    verticalHeader()->setVisible(on);
}

bool DataGrid::hasRowIndicator() const { return !verticalHeader()->isHidden(); }

void DataGrid::onDataSetChanged()
{
    const bool was = m_syncing;
    m_syncing = true;
    m_model->resetAll();
    m_syncing = was;
    syncSelection();
}

void DataGrid::onRecordChanged()
{
    m_model->refreshCurrentRow();
    syncSelection();
}

void DataGrid::onControlsFrozen(bool frozen)
{
    if (!frozen) {
        m_model->thaw();
        viewport()->update();
        syncSelection();
        return;
    }
    // A selection of a page at most is kept whole, so the grid scrolls over
    // all of it; of a larger one, the rows in view and a margin around them.
    int first = 0;
    int last = m_model->rowCount() - 1;
    if (m_model->rowCount() > store::Table::pageSize) {
        const int top = qMax(0, rowAt(0));
        const int bottom = rowAt(viewport()->height() - 1) < 0 ? m_model->rowCount() - 1 : rowAt(viewport()->height() - 1);
        first = qMax(0, top - 100);
        last = bottom + 100;
    }
    const bool was = m_syncing;
    m_syncing = true;
    m_model->freeze(first, last);
    m_syncing = was;
    syncSelection();
}

void DataGrid::syncSelection()
{
    const bool was = m_syncing;
    m_syncing = true;
    const int row = m_model->currentRow();
    if (row >= 0 && row < m_model->rowCount() && m_model->columnCount() > 0) {
        // The current cell stays in a shown column: from a hidden one the
        // arrow keys would not move.
        int column = currentIndex().column();
        if (column < 0 || isColumnHidden(column)) {
            column = 0;
            for (int v = 0; v < horizontalHeader()->count(); ++v)
                if (!isColumnHidden(horizontalHeader()->logicalIndex(v))) {
                    column = horizontalHeader()->logicalIndex(v);
                    break;
                }
        }
        const QModelIndex idx = m_model->index(row, column);
        if (currentIndex().row() != row || currentIndex().column() != column)
            selectionModel()->setCurrentIndex(idx, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
        else if (!selectionModel()->isRowSelected(row, QModelIndex()))
            selectionModel()->select(idx, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
        scrollTo(idx);
    } else {
        selectionModel()->clearSelection();
        selectionModel()->setCurrentIndex(QModelIndex(), QItemSelectionModel::NoUpdate);
    }
    // The indicator's mark follows the current row and the table's state.
    if (hasRowIndicator())
        verticalHeader()->viewport()->update();
    m_syncing = was;
}

void DataGrid::onCurrentRowChanged(const QModelIndex& current)
{
    if (m_syncing || !current.isValid())
        return;
    store::Table* t = m_model->table();
    if (!t || !t->isOpen())
        return;
    const int row = current.row();
    if (row == m_model->currentRow())
        return;
    // A frozen grid shows rows the table may no longer hold: choosing one
    // moves nothing, and the mark goes back to the row shown as current.
    if (m_model->isFrozen()) {
        syncSelection();
        return;
    }
    m_syncing = true;
    try {
        // The insert row is the edit buffer itself; any other row is a record.
        if (row != m_model->insertRow())
            moveTableTo(t, row);
    } catch (const store::DbError& e) {
        m_syncing = false;
        showDbError(m_dialogs, e);
        syncSelection();
        return;
    }
    m_syncing = false;
    syncSelection();
}

QItemSelectionModel::SelectionFlags DataGrid::selectionCommand(const QModelIndex& index, const QEvent* event) const
{
    if (m_model->isFrozen())
        return QItemSelectionModel::NoUpdate;
    return QTableView::selectionCommand(index, event);
}

void DataGrid::keyPressEvent(QKeyEvent* event)
{
    // An editable grid inserts a row with Insert, and appends one with the
    // down arrow on its last row, as the navigator's insert button would.
    store::Table* t = m_model->table();
    if (m_editing && t && t->isOpen() && !t->isReadOnly() && !m_model->isFrozen() && t->state() == store::Table::State::Browse
        && event->modifiers() == Qt::NoModifier && state() != QAbstractItemView::EditingState
        && (event->key() == Qt::Key_Insert
            || (event->key() == Qt::Key_Down
                && (t->isEmpty() || (currentIndex().row() == m_model->rowCount() - 1 && !m_model->canFetchMore(QModelIndex())))))) {
        event->accept();
        try {
            if (event->key() == Qt::Key_Insert)
                t->insert();
            else
                t->append();
        } catch (const store::Abort&) {
        } catch (const store::DbError& e) {
            showDbError(m_dialogs, e);
        }
        syncSelection();
        return;
    }
    if (event->key() == Qt::Key_Delete && (event->modifiers() & Qt::ControlModifier)) {
        emit deleteKeyPressed();
        event->accept();
        return;
    }
    if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) && state() != QAbstractItemView::EditingState
        && receivers(SIGNAL(returnPressed())) > 0) {
        event->accept();
        emit returnPressed();
        return;
    }
    QTableView::keyPressEvent(event);
}

} // namespace velmora
