#pragma once
#include <QObject>

class QComboBox;
class QFrame;
class QGroupBox;
class QLineEdit;
class QLabel;
class QToolButton;
class QRect;
class QWidget;

namespace velmora {

class DataModule;
class EvaluationPrints;
class DataEdit;
class DataGrid;
class DataMemo;
class DataNavigator;

// The evaluation sheet GB_Valutazione: in its upper part the child, the
// evaluation's date and age with the theoretical development, and the staff
// who took part; the lower box holds the areas, phases and items. The way
// back to the children list posts what is pending.
class EvaluationSheet : public QObject
{
    Q_OBJECT

public:
    // Lays the sheet's upper part and staff in `GB_Valutazione`.
    EvaluationSheet(DataModule& data, QGroupBox* GB_Valutazione, QObject* parent);

    // The sheet's box, where the phases screen lays the lower box.
    QGroupBox* box() const { return GB_Valutazione; }
    // Where the sheet's print buttons and the summary go; set by the window
    // that composes the screens (none in a sheet built alone).
    void setPrints(EvaluationPrints* p) { m_prints = p; }
    EvaluationPrints* prints() const { return m_prints; }
    // "Età anagrafica": the theoretical development of the evaluation's age.
    void mostraSviluppoTeorico(const QString& text);
    // Lays "Torna all'elenco dei bambini" on `panel`, beside the print buttons.
    void posaTornaAllElenco(QWidget* panel, const QRect& where);

    // Shows the sheet in front of the list screen, on the current evaluation.
    void mostra();

    void Tbl_PersonaleNewRecord(); // a new staff row belongs to the current evaluation

    // The focus left the staff part: a new row the user did not touch is
    // dropped.
    void DBGrid10Exit();
    // The staff row being typed is saved, or dropped when untouched, as
    // leaving the staff part and posting would do.
    void ChiudiRigaPersonale();

    // "Torna all'elenco dei bambini": posts what is pending, closes the sheet
    // and offers the summary of the items answered "Non so".
    void SpeedButton7Click();
    // Prints the "Non so" summary of the current evaluation through the
    // prints the window gave the sheet (none in a sheet built alone).
    void StampaRiepilogoNonSo();

    // Posts what the sheet still holds when the program is closed with the
    // sheet open, as the way back to the list would: the evaluation, the
    // staff row and the phase each on its own, so that one refused does not
    // hold back the others. False when something was refused (the reason has
    // been shown).
    bool SalvaPrimaDiChiudere();
    // Gives up what the sheet could not store, when the program closes anyway.
    void AbbandonaInSospeso();

signals:
    // The sheet came in front on an evaluation.
    void aperta();
    // The way back is closing the sheet: the list under it takes the keys.
    void chiusa();

private:
    // The sheet's controls; a test finds them by their object names.
    QGroupBox* GB_Valutazione = nullptr;
    EvaluationPrints* m_prints = nullptr;

    // The child, shown only: the children are changed in their registry.
    DataEdit* DBEdit17 = nullptr; // "Nome"
    DataEdit* DBEdit18 = nullptr; // "Cognome"
    DataEdit* DBEdit19 = nullptr; // "Data Di Nascita"
    DataEdit* DBEdit20 = nullptr; // "Sesso"
    DataMemo* DBMemo3 = nullptr;  // "Note"

    // The evaluation.
    DataEdit* DBEdit21 = nullptr; // "Data Valutazione"
    DataEdit* DBEdit22 = nullptr; // "Mesi Bimbo"
    QLineEdit* Txt_SviluppoTeorico = nullptr; // "Età anagrafica": the theoretical development, read-only

    // The staff of the evaluation: the grid with its navigator and the row's
    // note. The educator and the role are chosen in the grid's cells, from
    // the drop-downs it always shows on its current row.
    DataGrid* DBGrid10 = nullptr;
    DataNavigator* DBNavigator10 = nullptr;
    QComboBox* CB_Educatrice = nullptr; // the drop-down of the "Educatrice" column
    QComboBox* CB_Ruolo = nullptr;      // the drop-down of the "Ruolo" column
    DataMemo* DBMemo4 = nullptr;

    QFrame* Shape1 = nullptr; // rule under the child and the evaluation
    QFrame* Shape2 = nullptr; // rule above the lower box

    QToolButton* SpeedButton7 = nullptr; // "Torna all'elenco dei bambini"

    void buildUpperPart();
    void buildStaff();
    void postaValutazione();
    void postaInSospeso();
    bool nellaParteStaff(QWidget* w) const;

    DataModule& data;
};

} // namespace velmora
