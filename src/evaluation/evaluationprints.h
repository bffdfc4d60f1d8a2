#pragma once
// The prints the evaluation sheet and the evaluations list ask for. The
// reports room implements them; the sheet knows only this interface, so the
// two rooms never include each other.

namespace velmora {

class EvaluationPrints
{
public:
    virtual ~EvaluationPrints() = default;
    // "Stampa la scheda di valutazione del bimbo": the sheet of the current evaluation.
    virtual void SpeedButton10Click() = 0;
    // "Stampa il grafico di valutazione del bimbo": the profile chart of the current evaluation.
    virtual void SpeedButton8Click() = 0;
    // The summary of the items answered "Non so"; the phase filter is already set.
    virtual void StampaRiepilogoNonSo() = 0;
};

} // namespace velmora
