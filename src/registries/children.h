#pragma once
#include <QObject>

namespace velmora {

class TFrm_Main;

// Builds and runs the children list of the list screen and the children registry: its controls live on the
// main window's list screen, its handlers work on the main window's tables.
class ChildrenScreen : public QObject
{
    Q_OBJECT

public:
    explicit ChildrenScreen(TFrm_Main& main);

private:
    TFrm_Main& m;
};

} // namespace velmora
