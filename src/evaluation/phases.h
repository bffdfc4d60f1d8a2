#pragma once
#include <QColor>
#include <QObject>
#include <QVariant>

#include <array>
#include <optional>

class QButtonGroup;
class QGroupBox;
class QKeyEvent;
class QLabel;
class QRadioButton;
class QToolButton;
class QWidget;

namespace velmora {

class DataModule;
class EvaluationSheet;
class DataGrid;
class DataNavigator;
class LookupComboBox;

namespace store {
class Table;
}

// The lower box of the evaluation sheet: the area chooser with the area
// total, the phases of the chosen area and the answers to their items.
class PhasesScreen : public QObject
{
    Q_OBJECT

public:
    // Lays the lower box in the sheet's GB_Valutazione; the sheet's way back
    // "Torna all'elenco dei bambini" joins the print buttons there.
    PhasesScreen(DataModule& data, EvaluationSheet& sheet, QObject* parent);

    static constexpr int Items = 11;
    static constexpr int Answers = 5;
    static constexpr int NonEsiste = 4;

    void CB_AreaCloseUp(); // the area chooser "Inserimento area" closed its list: the area is applied
    void CB_AreaKeyUp();   // a key released in the area chooser: the same
    // Key of CB_Area: the Id of the chosen area, 0 when none is chosen. It is
    // the one place that says which area is chosen: the chooser shows it and
    // a new phase takes it. It follows the areas cursor (a choice moves the
    // cursor there); setting it moves the cursor to it.
    void ImpostaChiaveArea(const QVariant& key);
    QVariant chiaveArea() const;

    // Area follow mode: what a move of the areas cursor does to the phases.
    // The prints read the areas and their phases through cursors of their
    // own (records.h) and leave it at None.
    enum class AreaFollow {
        None,        // nothing
        Phases,      // the phases of the area
        NonSoPhases, // the phases of the area with "Non so" answers
    };
    AreaFollow areaFollow = AreaFollow::None;
    void Tbl_AreeAfterScroll();

    // Area total of the phases Tbl_FasiVal selects now; shown in
    // Lbl_Totale_Area when `show`.
    double CalcolaTotaleArea(bool show);

    void Tbl_FasiValNewRecord();                 // "Inserisci fase": the new-phase procedure and its stops
    void Tbl_FasiValAfterInsert();               // the new phase is posted at once
    void Tbl_FasiValAfterScroll();               // another phase: its answers are loaded into the item groups
    void Tbl_FasiValAfterPost();                 // a phase posted: the area total is shown again
    void Tbl_FasiValCalcFields(store::Table& t); // every phase: Valori, its score

    // The three handlers shared by the eleven item groups; `item` is 1..11.
    void Domanda1Click(int item); // an answer clicked: the answer lists are written back and posted
    void Domanda1Enter(int item); // the group takes the focus: clicks write back (Tag 1)
    void Domanda1Exit(int item);  // the group loses the focus: Tag 0

    // Selected answer position (0..4) of an item group, and the way the
    // system sets it: write-back flag cleared during the change, 1 after.
    int itemIndex(int item) const;
    void impostaRisposta(int item, int position);

    // Colour of the lower box for the area whose Id is `id`, by Id mod 3.
    static QColor coloreArea(const QVariant& id);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // The screen's controls; a test finds them by their object names.
    QGroupBox* GroupBox4 = nullptr;
    LookupComboBox* CB_Area = nullptr;
    DataGrid* DBGrid11 = nullptr;
    DataNavigator* DBNavigator11 = nullptr;
    QLabel* Lbl_Totale_Area = nullptr;
    QWidget* Panel3 = nullptr;
    QToolButton* SpeedButton10 = nullptr;
    QToolButton* SpeedButton8 = nullptr;
    std::array<QGroupBox*, Items> Domanda{};           // Domanda1..Domanda11
    std::array<std::array<QRadioButton*, Answers>, Items> Risposte{};
    std::array<int, Items> Tag{};                      // write-back flags

    void buildBox();
    // A key pressed on `answer` (0..4) of `item` (1..11); true when it was
    // used there.
    bool tastoSullaRisposta(int item, int answer, QKeyEvent* key);
    void applicaArea();
    void impostaFiltroFasi(bool soloNonSo);
    void coloraBox(const QColor& colour);
    // Area total of the phases `filter` selects (by default those Tbl_FasiVal
    // selects now), read through the copy cursor.
    double totaleFasi(const std::optional<QString>& filter);
    // The sheet opened: the total of its evaluation's phases.
    void mostraTotaleValutazione();
    void applicaGrassetto(int item);

    DataModule& data;
    EvaluationSheet& sheet;
    std::array<QButtonGroup*, Items> m_groups{};
};

} // namespace velmora
