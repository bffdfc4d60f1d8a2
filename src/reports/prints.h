#pragma once
// The print operations: the evaluation sheet and its "Non so" summary, the
// development profile chart, the profiles of one child and the comparison of
// children. Each walks the areas with the area follow mode, lays out its
// report, shows the print set-up and, when confirmed, the modal preview; then
// puts the area follow mode and the phase filter back, also when the set-up is
// cancelled or an error interrupts it.

#include <QObject>
#include <QString>

#include <functional>

namespace velmora {

class TFrm_Main;

namespace reports {

class ReportForm;
class TQR_Area;
class TQR_Grafico;
class TQR_GraficoMultiplo;
class TQR_GraficoSormontato;
class ChartForm;

class Prints : public QObject
{
    Q_OBJECT

public:
    explicit Prints(TFrm_Main& main);

    // The evaluation sheet of the current evaluation.
    void SpeedButton10Click();
    // The development profile chart of the current evaluation.
    void SpeedButton8Click();
    // The "Non so" summary; the phase filter is already set by the caller.
    void StampaRiepilogoNonSo();
    // Profiles of the current child.
    void Btn_ConfrontoSingoloClick();
    // Comparison of the listed children.
    void Btn_ConfrontoMultiploClick();

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
    void mostraEAttendi(ReportForm& form);
    void ripristina(const QString& filtro);
    void disegnaProfilo(ChartForm& form, int n, const QString& titolo);
    // Keeps the series of the `profili` profiles drawn, then set-up and preview.
    void stampaProfili(ChartForm& form, int profili);
    bool avvisaTroppiProfili(int profili);

    TFrm_Main& m;
};

} // namespace reports
} // namespace velmora
