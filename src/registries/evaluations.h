#pragma once
#include <QObject>

namespace velmora {

class TFrm_Main;

// Builds and runs the evaluations list of the current child: its controls live on the
// main window's list screen, its handlers work on the main window's tables.
class EvaluationsScreen : public QObject
{
    Q_OBJECT

public:
    explicit EvaluationsScreen(TFrm_Main& main);

private:
    TFrm_Main& m;
};

} // namespace velmora
