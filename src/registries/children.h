#pragma once
#include <QObject>

class QGroupBox;
class QLabel;
class QModelIndex;
class QPainter;
class QRadioButton;
class QStyleOptionViewItem;
class QToolButton;
class QWidget;

namespace velmora {

class DataModule;
class DataCheckBox;
class DataEdit;
class DataGrid;
class DataMemo;
class DataNavigator;

namespace store {
class Table;
}

// Builds and runs the children list of the list screen and the children registry: its controls live on the
// list screen and in the registry's group box, its handlers work on the data module's tables.
//
// The child current in the list is the current child of the whole program. Outside the registry the children
// table is read-only; the registry ("Anagrafica bimbi") makes it writable and shows the whole nursery.
class ChildrenScreen : public QObject
{
    Q_OBJECT

public:
    // Lays the list on `Pnl_Bambini` (with its navigator `DBNavigator1`) and
    // the registry in `GB_AnagraficaBimbi`.
    ChildrenScreen(DataModule& data, QWidget* Pnl_Bambini, DataNavigator* DBNavigator1, QGroupBox* GB_AnagraficaBimbi,
                   QObject* parent);

    // 1 while the registry is open: only then does a new child move the focus to its name.
    int DBEdit10Tag = 0;

    void Rb_FreqClick();  // click on "Visualizza tutti i bimbi" / "Visualizza solo bimbi frequentanti"
    void Rb_FreqKeyUp();  // a key released on either: the same as the click
    void RB_NomeClick();  // click on "Ordina per cognome" / "Ordina per nome"
    void RB_NomeKeyUp();  // a key released on either: the same as the click

    // Every cell of the children list: attending rows framed, the others pale blue in italics.
    void DBGrid1DrawColumnCell(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index);

    void Tbl_AnagBimbiCalcFields(store::Table& t); // every child: Freq, "Si" or "No"
    void Tbl_AnagBimbiAfterScroll();               // the current child changed: its evaluations are listed
    void Tbl_AnagBimbiNewRecord(store::Table& t);  // a new child: nursery, attending, focus on "Nome"

    void ToolButton5Click();  // toolbar "Anagrafica bimbi": opens the registry
    void SpeedButton2Click(); // "Esci" of the registry: saves and closes it

    // What the window composing the screens asks: the list screen's controls
    // in Tab order (the list, its navigator, the sort and attendance
    // choices, the notes) and the keys to the list.
    QList<QWidget*> tabChain() const;
    void focusList();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // The screen's controls; a test finds them by their object names.
    QWidget* Pnl_Bambini = nullptr;
    DataNavigator* DBNavigator1 = nullptr;
    QGroupBox* GB_AnagraficaBimbi = nullptr;
    DataGrid* DBGrid1 = nullptr;
    QLabel* Label3 = nullptr;
    DataMemo* DBMemo1 = nullptr;
    QGroupBox* GroupBox3 = nullptr;
    QRadioButton* RB_Cognome = nullptr;
    QRadioButton* RB_Nome = nullptr;
    QGroupBox* GroupBox2 = nullptr;
    QRadioButton* RadioButton2 = nullptr;
    QRadioButton* Rb_Freq = nullptr;
    DataGrid* DBGrid5 = nullptr;
    DataNavigator* DBNavigator5 = nullptr;
    DataEdit* DBEdit10 = nullptr; // Nome
    DataEdit* DBEdit11 = nullptr; // Cognome
    DataEdit* DBEdit12 = nullptr; // DataDiNascita
    DataEdit* DBEdit13 = nullptr; // Sesso
    DataCheckBox* DBCheckBox2 = nullptr;
    DataMemo* DBMemo2 = nullptr;
    QToolButton* SpeedButton2 = nullptr;

    void buildList();
    void buildRegistry();

    DataModule& data;
    bool m_defaultPainting = false;
};

} // namespace velmora
