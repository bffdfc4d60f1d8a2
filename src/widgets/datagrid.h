#pragma once
// A read-only grid over a table object: one row per selected record, one
// column per field added with addColumn, each exactly as wide as given. The
// current row follows the table's cursor, and choosing a row moves the
// cursor there. On request a narrow row indicator before the first column
// marks the current row (a triangle; an I-beam while it is edited, an
// asterisk while it is being inserted).

#include <QAbstractTableModel>
#include <QPointer>

#include "table.h"
#include <QStyleOptionViewItem>
#include <QTableView>

#include <functional>
#include <vector>
#include "errors.h"

class QPainter;

namespace velmora {

class Dialogs;

class DataGrid;

// The model behind DataGrid; it keeps no data, it reads the table on demand,
// and announces the rows of a large selection a page at a time.
// While the table inserts a record, an extra last row shows the edit buffer.
class DataGridModel : public QAbstractTableModel
{
    Q_OBJECT

public:
    struct Column
    {
        QString field;
        QString title;
        int width = 0;
        bool editable = false; // typed into in its cell
        QString emptyRefusal;  // when set, an empty cell is refused with it
    };

    explicit DataGridModel(QObject* parent = nullptr);

    void setTable(store::Table* table);
    store::Table* table() const { return m_table; }
    void addColumn(const Column& column);
    const QList<Column>& columns() const { return m_columns; }

    // Row of the grid showing the table's current record, -1 when none.
    int currentRow() const;
    // Row of the edit buffer while inserting, -1 otherwise.
    int insertRow() const;
    // The table's state as the grid shows it.
    store::Table::State shownState() const;
    // The value of field `fieldName` in grid row `row`, as the grid shows it
    // (the edit buffer on the insert row); invalid when there is none. For
    // a screen's own drawing of a cell.
    QVariant fieldValue(int row, const QString& fieldName) const;

    // While the table's controls are disabled the grid goes on showing the
    // rows it showed when they were disabled, whatever the table does
    // meanwhile: freeze() keeps the values of rows `firstRow` to `lastRow`
    // (the stored fields and the columns' fields; other rows show blank),
    // with the current row and the state; thaw() reads the table again.
    void freeze(int firstRow, int lastRow);
    void thaw();
    bool isFrozen() const { return m_frozen.on; }

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    // Typing into an editable cell of the current record starts editing it;
    // the value is posted when the cursor moves on, as everywhere else.
    bool setData(const QModelIndex& index, const QVariant& value, int role = Qt::EditRole) override;
    void setColumnEditable(int column, bool editable);
    // A column whose cell may not be left empty: an empty (or blank) text
    // is refused with `refusal`, and the stored value stays.
    void setColumnRequired(int column, const QString& refusal);
    // Where a refused value is told to the user.
    std::function<void(const store::DbError&)> onError;

    // Rows past the first page of a large selection are announced when the
    // view scrolls to them (the table then reads their keys), so a grid over
    // an unfiltered table never makes it read every key just to be shown.
    bool canFetchMore(const QModelIndex& parent) const override;
    void fetchMore(const QModelIndex& parent) override;

    void resetAll();
    void refreshCurrentRow();

private:
    int rowsToShow() const;
    QVariant liveValue(int row, int field) const;
    QVariant frozenValue(int row, int field) const;
    // What the grid showed when the table's controls were disabled.
    struct Frozen
    {
        bool on = false;
        int firstRow = 0;
        std::vector<QVector<QVariant>> rows; // from firstRow on, indexed by field
        int currentRow = -1;
        int insertRow = -1;
        store::Table::State state = store::Table::State::Inactive;
    };
    Frozen m_frozen;
    QPointer<store::Table> m_table;
    QList<Column> m_columns;
    int m_rows = 0; // rows announced to the view
};

class DataGrid : public QTableView
{
    Q_OBJECT

public:
    using CellPainter = std::function<void(QPainter*, const QStyleOptionViewItem&, const QModelIndex&, bool& handled)>;

    explicit DataGrid(QWidget* parent = nullptr);

    // The table may be closed now and opened later; the grid follows it.
    void setTable(store::Table* table);
    store::Table* table() const { return m_model->table(); }
    // A column of `widthPx` pixels exactly (0: the grid's default width).
    void addColumn(const QString& fieldName, const QString& title, int widthPx = 0);
    // Lets the user type into the cells of a column (the grid is read-only
    // otherwise).
    void setColumnEditable(int column, bool editable);
    // An empty cell of `column` is refused with `refusal`.
    void setColumnRequired(int column, const QString& refusal) { m_model->setColumnRequired(column, refusal); }

    // Where cursor errors are shown; none = they are dropped.
    void setDialogs(Dialogs* dialogs) { m_dialogs = dialogs; }
    Dialogs* dialogs() const { return m_dialogs; }

    DataGridModel* dataModel() const { return m_model; }

    // The row indicator, off by default.
    void setRowIndicator(bool on);
    bool hasRowIndicator() const;
    static constexpr int RowIndicatorWidth = 12;

    // Called for each cell before the default painting; setting `handled`
    // skips the default.
    CellPainter drawCell;

signals:
    // Ctrl+Delete in the grid: the screen deletes as its navigator does.
    void deleteKeyPressed();
    void doubleClicked();
    // Return or Enter on a row, outside editing: the screen's main action
    // for the row, for a keyboard user.
    void returnPressed();

protected:
    void keyPressEvent(QKeyEvent* event) override;
    // A frozen grid keeps its selection: clicks and keys choose nothing.
    QItemSelectionModel::SelectionFlags selectionCommand(const QModelIndex& index,
                                                         const QEvent* event = nullptr) const override;

private:
    bool m_editing = false; // some column is editable: rows can be inserted too
    void onDataSetChanged();
    void onRecordChanged();
    void onControlsFrozen(bool frozen);
    void syncSelection();
    void onCurrentRowChanged(const QModelIndex& current);

    DataGridModel* m_model;
    Dialogs* m_dialogs = nullptr;
    QMetaObject::Connection m_conn[4];
    bool m_syncing = false;
};

} // namespace velmora
