#pragma once
// The print operations: the evaluation sheet and its "Non so" summary, the
// development profile chart, the profiles of one child and the comparison of
// children. Each reads the areas, their phases and their totals through
// cursors of its own (records.h), lays out its report, shows the print set-up
// and, when confirmed, the modal preview. The sheet's areas cursor, its area
// chooser and its phases stay as the user left them; the prints that walk the
// evaluations list put the phase filter back, also when the set-up is
// cancelled or an error interrupts it.

#include "evaluationprints.h"

#include <QDate>
#include <QObject>
#include <QString>

#include <functional>

namespace velmora {

class DataModule;
class EvaluationSheet;

namespace reports {

class ReportForm;
class TQR_Area;
class TQR_Grafico;
class TQR_GraficoMultiplo;
class TQR_GraficoSormontato;
class ChartForm;

class Prints : public QObject, public EvaluationPrints
{
    Q_OBJECT

public:
    // The prints close the sheet's staff row being typed before they read it.
    Prints(DataModule& data, EvaluationSheet& sheet, QObject* parent);

    void SpeedButton10Click() override;  // "Stampa la scheda di valutazione del bimbo", menu "Stampa scheda"
    void SpeedButton8Click() override;   // "Stampa il grafico di valutazione del bimbo", menu "Stampa grafico"
    void StampaRiepilogoNonSo() override; // the "Non so" summary of the current evaluation
    void Btn_ConfrontoSingoloClick();     // "Stampa il grafico completo del bimbo": profiles of the current child
    void Btn_ConfrontoMultiploClick();    // "Stampa il grafico di comparazione tra i bimbi": comparison of the listed children

    // The forms made at start-up and reused by every print.
    TQR_Area* QR_Area = nullptr;
    TQR_Grafico* QR_Grafico = nullptr;
    // Made at start-up like the others; each print of profiles uses a fresh
    // form of its own instead.
    TQR_GraficoMultiplo* QR_GraficoMultiplo = nullptr;
    TQR_GraficoSormontato* QR_GraficoSormontato = nullptr;

    // Called with each fresh chart form just before its print set-up (tests
    // read the form through it); may be empty.
    std::function<void(ChartForm&)> onFreshForm;

private:
    bool valutazioneCorrente();
    // Lays out `form`, then set-up and preview; `nomeFile` is the name
    // proposed for a PDF file (printFileName).
    void mostraEAttendi(ReportForm& form, const QString& nomeFile);
    // "Bianchi Giulia": the current child, surname first.
    QString bimboCorrente() const;
    // The date of the current evaluation; today when it has none.
    QDate dataValutazione() const;
    // The phase filter `filtro` back, after a walk through the evaluations.
    void ripristina(const QString& filtro);
    // Lays out the evaluation sheet (or its "Non so" summary), then set-up
    // and preview.
    void stampaScheda(bool soloNonSo, const QString& nomeFile);
    void disegnaProfilo(ChartForm& form, int n, const QString& titolo);
    // Keeps the series of the `profili` profiles drawn, then set-up and preview.
    void stampaProfili(ChartForm& form, int profili, const QString& nomeFile);
    bool avvisaTroppiProfili(int profili);

    DataModule& data;
    EvaluationSheet& sheet;
};

} // namespace reports
} // namespace velmora
