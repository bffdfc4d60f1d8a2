#pragma once
#include <QObject>

class QGroupBox;
class QLabel;
class QModelIndex;
class QPainter;
class QRadioButton;
class QStyleOptionViewItem;
class QToolButton;

namespace velmora {

class TFrm_Main;
class DataCheckBox;
class DataEdit;
class DataGrid;
class DataMemo;
class DataNavigator;

namespace store {
class Table;
}

// Builds and runs the children list of the list screen and the children registry: its controls live on the
// main window's list screen, its handlers work on the main window's tables.
//
// The child current in the list is the current child of the whole program. Outside the registry the children
// table is read-only; the registry ("Anagrafica bimbi") makes it writable and shows the whole nursery.
class ChildrenScreen : public QObject
{
    Q_OBJECT

public:
    explicit ChildrenScreen(TFrm_Main& main);

    // The list screen.
    DataGrid* DBGrid1 = nullptr;
    QLabel* Label3 = nullptr;
    DataMemo* DBMemo1 = nullptr;
    QGroupBox* GroupBox3 = nullptr;
    QRadioButton* RB_Cognome = nullptr;
    QRadioButton* RB_Nome = nullptr;
    QGroupBox* GroupBox2 = nullptr;
    QRadioButton* RadioButton2 = nullptr;
    QRadioButton* Rb_Freq = nullptr;

    // The registry, inside the main window's GB_AnagraficaBimbi.
    DataGrid* DBGrid5 = nullptr;
    DataNavigator* DBNavigator5 = nullptr;
    DataEdit* DBEdit10 = nullptr; // Nome
    DataEdit* DBEdit11 = nullptr; // Cognome
    DataEdit* DBEdit12 = nullptr; // DataDiNascita
    DataEdit* DBEdit13 = nullptr; // Sesso
    DataCheckBox* DBCheckBox2 = nullptr;
    DataMemo* DBMemo2 = nullptr;
    QToolButton* SpeedButton2 = nullptr;

    // 1 while the registry is open: only then does a new child move the focus to its name.
    int DBEdit10Tag = 0;

    // Attendance choice: all children, or only those attending.
    void Rb_FreqClick();
    void Rb_FreqKeyUp();
    // Sort choice: by surname or by first name.
    void RB_NomeClick();
    void RB_NomeKeyUp();

    // Cells of the children list, coloured by attendance; drawn over the grid's usual drawing.
    void DBGrid1DrawColumnCell(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index);

    // Reactions of the children table.
    void Tbl_AnagBimbiCalcFields(store::Table& t);
    void Tbl_AnagBimbiAfterScroll();
    void Tbl_AnagBimbiNewRecord(store::Table& t);

    // Opening ("Anagrafica bimbi") and closing ("Esci") the registry.
    void ToolButton5Click();
    void SpeedButton2Click();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void buildList();
    void buildRegistry();

    TFrm_Main& m;
    bool m_defaultPainting = false;
};

} // namespace velmora
