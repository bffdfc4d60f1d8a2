#pragma once
#include <QObject>
#include <QDateTime>
#include <QVariant>

#include <functional>

class QGroupBox;
class QLabel;
class QWidget;
class QLineEdit;
class QMenu;
class QAction;
class QPainter;
class QStyleOptionViewItem;
class QModelIndex;

namespace velmora {

class DataModule;
class DataGrid;
class DataNavigator;
class EvaluationSheet;
class PhasesScreen;

// Builds and runs the evaluations list of the current child: its controls live on the
// list screen, its handlers work on the data module's tables.
class EvaluationsScreen : public QObject
{
    Q_OBJECT

public:
    // Lays the list in `GroupBox1` (with its navigator `DBNavigator7`) on
    // `Pnl_Bambini`; it opens evaluations on `sheet`, on the first area of
    // `phases`.
    EvaluationsScreen(DataModule& data, QWidget* Pnl_Bambini, QGroupBox* GroupBox1, DataNavigator* DBNavigator7,
                      EvaluationSheet& sheet, PhasesScreen& phases, QObject* parent);

    // Length of one month when the age of a new evaluation is counted, in days.
    static constexpr double GiorniMese = 30.42;

    // Whole months from `birth` up to the moment given by `now`, counted in
    // steps of GiorniMese days; `now` is asked again before every step. An
    // invalid birth date counts from 30 December 1899, day 0 of the date scale.
    static int ContaMesi(const QDate& birth, const std::function<QDateTime()>& now);

    void Tbl_ValutazioniNewRecord();       // a new evaluation: refused without a child; date, months, child
    void Tbl_ValutazioniAfterInsert();     // saved at once; the sheet opens
    void Tbl_ValutazioniAfterEdit();       // "Modifica valutazione": the sheet opens on the first area
    void Tbl_ValutazioniAfterScroll();     // another evaluation: staff and phases follow, "Età anagrafica" shown
    void Tbl_ValutazioniMesiBimboChange(); // "Mesi Bimbo" changed: "Età anagrafica" shown again
    void Tbl_ValutazioniBeforeDelete();    // "Cancella valutazione": only a responsible educator deletes

    // Every cell of the list: the "S" column shows the red tick or an empty dotted box.
    void DBGrid7DrawColumnCell(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index,
                               bool& handled);
    void DBGrid7DblClick();                 // double click, menu "Seleziona/Deseleziona valutazione": toggles Sel
    void Modifica1Click();                  // menu "Modifica valutazione"
    void Inseriscinuovavalutazione1Click(); // menu "Inserisci nuova valutazione"

    void SpeedButton8Click();  // menu "Stampa grafico": the profile chart of the current evaluation
    void SpeedButton10Click(); // menu "Stampa scheda": the evaluation sheet of the current evaluation

    // True while the selection toggle edits the current evaluation: that
    // editing is the list's own and does not open the sheet.
    bool selezioneInCorso() const { return m_selezioneInCorso; }

    // The list and its navigator, in Tab order, for the window composing the
    // screens.
    QList<QWidget*> tabChain() const;

private:
    // The screen's controls; a test finds them by their object names.
    QWidget* Pnl_Bambini = nullptr;
    QGroupBox* GroupBox1 = nullptr; // "Valutazioni effettuate"
    DataNavigator* DBNavigator7 = nullptr;
    DataGrid* DBGrid7 = nullptr;
    QMenu* PopupMenu1 = nullptr;
    QAction* Seleziona1 = nullptr;
    QAction* Modifica1 = nullptr;
    QAction* Inseriscinuovavalutazione1 = nullptr;
    QAction* N1 = nullptr;
    QAction* Stampagrafico1 = nullptr;
    QAction* Stampascheda1 = nullptr;
    QLabel* Sel_Image = nullptr;          // hidden: the red tick of selected evaluations

    // False while a registry or the sheet holds the navigation lock.
    bool elencoLibero() const;
    void buildList();
    void mostraSviluppoTeorico();
    void apriScheda();

    DataModule& data;
    EvaluationSheet& sheet;
    PhasesScreen& phases;
    bool m_selezioneInCorso = false;
};

} // namespace velmora
