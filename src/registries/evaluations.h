#pragma once
#include <QObject>
#include <QDateTime>
#include <QVariant>

#include <functional>

class QLabel;
class QLineEdit;
class QMenu;
class QAction;
class QPainter;
class QStyleOptionViewItem;
class QModelIndex;

namespace velmora {

class TFrm_Main;
class DataGrid;

// Builds and runs the evaluations list of the current child: its controls live on the
// main window's list screen, its handlers work on the main window's tables.
class EvaluationsScreen : public QObject
{
    Q_OBJECT

public:
    explicit EvaluationsScreen(TFrm_Main& main);

    // Length of one month when the age of a new evaluation is counted, in days.
    static constexpr double GiorniMese = 30.42;

    // Whole months from `birth` up to the moment given by `now`, counted in
    // steps of GiorniMese days; `now` is asked again before every step. An
    // invalid birth date counts from 30 December 1899, day 0 of the date scale.
    static int ContaMesi(const QDate& birth, const std::function<QDateTime()>& now);

    // Reactions of Tbl_Valutazioni.
    void Tbl_ValutazioniNewRecord();
    void Tbl_ValutazioniAfterInsert();
    void Tbl_ValutazioniAfterEdit();
    void Tbl_ValutazioniAfterScroll();
    void Tbl_ValutazioniMesiBimboChange();
    void Tbl_ValutazioniBeforeDelete();

    // The list and its menu.
    void DBGrid7DrawColumnCell(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index,
                               bool& handled);
    void DBGrid7DblClick();
    void Modifica1Click();
    void Inseriscinuovavalutazione1Click();

    // The print buttons of the evaluation sheet, also reached from the list's
    // menu: the profile chart and the evaluation sheet of the current evaluation.
    void SpeedButton8Click();
    void SpeedButton10Click();

    // The area chooser CB_Area of the sheet, filled in by the sheet: set its key
    // (0 clears the choice), and run its close-up as if the user had chosen.
    std::function<void(const QVariant& key)> ImpostaChiaveArea;
    std::function<void()> CB_AreaCloseUp;

    DataGrid* DBGrid7 = nullptr;
    QMenu* PopupMenu1 = nullptr;
    QAction* Seleziona1 = nullptr;
    QAction* Modifica1 = nullptr;
    QAction* Inseriscinuovavalutazione1 = nullptr;
    QAction* N1 = nullptr;
    QAction* Stampagrafico1 = nullptr;
    QAction* Stampascheda1 = nullptr;
    QLabel* Sel_Image = nullptr;          // hidden: the red tick of selected evaluations
    QLineEdit* Txt_SviluppoTeorico = nullptr; // "Età anagrafica" on the sheet

private:
    // False while a registry or the sheet holds the navigation lock.
    bool elencoLibero() const;
    void buildList();
    void mostraSviluppoTeorico();
    void apriScheda();

    TFrm_Main& m;
};

} // namespace velmora
