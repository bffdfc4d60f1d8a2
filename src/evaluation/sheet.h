#pragma once
#include <QObject>

class QToolButton;

namespace velmora {

class TFrm_Main;

// The evaluation sheet GB_Valutazione. For now it holds the way back to the
// children list; the child's fields, the staff, the phases and the items
// join it with the sheet itself.
class EvaluationSheet : public QObject
{
    Q_OBJECT

public:
    explicit EvaluationSheet(TFrm_Main& main);

    QToolButton* SpeedButton7 = nullptr; // "Torna all'elenco dei bambini"

    // Posts what is pending, closes the sheet and offers the summary of the
    // items answered "Non so".
    void SpeedButton7Click();

    // Prints the "Non so" summary of the current evaluation; filled in with
    // the printed reports. Returns without printing until then.
    void StampaRiepilogoNonSo();

private:
    TFrm_Main& m;
};

} // namespace velmora
