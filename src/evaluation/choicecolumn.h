#pragma once
// A grid column whose value is chosen from a list, in the cell itself.

#include <QComboBox>
#include <QPointer>
#include <QStyledItemDelegate>

namespace velmora {

class DataGrid;
class Dialogs;

namespace store {
class Table;
}

// The delegate of one column of a DataGrid whose cells name a record of
// another table (a lookup field): its editor is a drop-down list of the
// records of `list`, shown by their `display` field, and choosing one writes
// that record's Id into `keyField` of the grid's table.
//
// The grid always shows the editor, on the cell of its table's current
// record (or, over a writable table with no record yet, where its first row
// goes: a choice there starts that row). The column has one drop-down for the
// grid's whole life, which the delegate hands to the view as the editor of
// whichever cell is current and keeps when the view gives the editor up, so a
// screen can hold on to it.
class ChoiceColumn : public QStyledItemDelegate
{
    Q_OBJECT

public:
    ChoiceColumn(DataGrid* grid, int column, store::Table& list, const QString& display, const QString& keyField,
                 Dialogs* dialogs);

    QComboBox* combo() const { return m_combo; }

    // Puts the drop-down on the current record's cell with that record's
    // choice; run whenever the grid's table moves or changes.
    void follow();

    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                          const QModelIndex& index) const override;
    void destroyEditor(QWidget* editor, const QModelIndex& index) const override;
    void setEditorData(QWidget* editor, const QModelIndex& index) const override;
    void setModelData(QWidget* editor, QAbstractItemModel* model, const QModelIndex& index) const override;
    void updateEditorGeometry(QWidget* editor, const QStyleOptionViewItem& option,
                              const QModelIndex& index) const override;

protected:
    // Tab and Shift+Tab leave the drop-down for the next control, as from
    // any control; the grid's own rule for editors would walk its cells and
    // hold the keyboard between the drop-downs of the row.
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void fill();
    void choose(int index);
    void release();
    void showChoice(int row) const;

    DataGrid* m_grid;
    int m_column;
    QPointer<store::Table> m_list;
    QString m_display;
    QString m_keyField;
    Dialogs* m_dialogs;
    QPointer<QComboBox> m_combo;
    int m_row = -1; // the row whose cell holds the drop-down, -1 when none
    // The drop-down had the keyboard when it left its cell: it takes it back
    // on the cell it comes to, so that the arrows go on choosing in it.
    bool m_refocus = false;
};

} // namespace velmora
