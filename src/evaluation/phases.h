#pragma once
#include <QObject>
#include <QVariant>

#include <array>

class QButtonGroup;
class QGroupBox;
class QLabel;
class QRadioButton;
class QToolButton;
class QWidget;

namespace velmora {

class TFrm_Main;
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
    explicit PhasesScreen(TFrm_Main& main);

    static constexpr int Items = 11;
    static constexpr int Answers = 5;
    static constexpr int NonEsiste = 4;

    // Area chooser.
    void CB_AreaCloseUp();
    void CB_AreaKeyUp();
    // Key of CB_Area: the Id of the chosen area, 0 when none is chosen.
    void ImpostaChiaveArea(const QVariant& key);
    QVariant chiaveArea() const { return m_areaKey; }

    // Area follow mode (the Tag of Tbl_Aree): 0 nothing, 1 phases of the
    // area, 2 phases of the area with "Non so" answers.
    void Tbl_AreeAfterScroll();

    // Area total of the phases Tbl_FasiVal selects now; shown in
    // Lbl_Totale_Area when `show`.
    double CalcolaTotaleArea(bool show);

    // Reactions of Tbl_FasiVal.
    void Tbl_FasiValNewRecord();
    void Tbl_FasiValAfterInsert();
    void Tbl_FasiValAfterScroll();
    void Tbl_FasiValAfterPost();
    void Tbl_FasiValCalcFields(store::Table& t);

    // The three handlers shared by the eleven item groups; `item` is 1..11.
    void Domanda1Click(int item);
    void Domanda1Enter(int item);
    void Domanda1Exit(int item);

    // Selected answer position (0..4) of an item group, and the way the
    // system sets it: write-back flag cleared during the change, 1 after.
    int itemIndex(int item) const;
    void impostaRisposta(int item, int position);

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

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void buildBox();
    void applicaArea();
    void impostaFiltroFasi(bool soloNonSo);
    void coloraBox();
    void applicaGrassetto(int item);

    TFrm_Main& m;
    QVariant m_areaKey = 0;
    std::array<QButtonGroup*, Items> m_groups{};
};

} // namespace velmora
