#pragma once
// The main window: lays out the window, owns the data module (and so every
// table object) and composes the screens, each of which lives in its own
// room and works on the data module. It implements what the screens ask of
// the window (the navigation lock, which screen is in front, the registries
// toolbar, the status bar) through the Shell interface.
#include "datamodule.h"
#include "startup.h"

#include <QMainWindow>

class QLabel;
class QGroupBox;
class QToolBar;
class QToolButton;
class QWidget;

namespace velmora {

class Dialogs;
class AboutBox;
class AccessScreen;
class DataNavigator;
class NurseryRegistry;
class ChildrenScreen;
class EvaluationsScreen;
class StaffRegistries;
class EvaluationSheet;
class PhasesScreen;
namespace reports {
class Prints;
}

// Constructing the main window runs the start-up (startup::Avvio::avvia,
// after the window is laid out and the screens composed); `shouldEnd()` then says
// whether the program is to end as soon as its event loop starts (no data
// folder, or no nursery wanted).
class TFrm_Main : public QMainWindow, public Shell, private startup::Finestra
{
    Q_OBJECT

public:
    // `programDir` is the folder of the program file: the data folder is its
    // "db" subfolder. Every box goes through `dialogs`.
    TFrm_Main(const QString& programDir, Dialogs& dialogs, QWidget* parent = nullptr);
    // With the connection line of a server given on the command line
    // (DataModule::RigaServer); empty: the data folder says where the data are.
    TFrm_Main(const QString& programDir, Dialogs& dialogs, const QString& serverLine, QWidget* parent = nullptr);
    ~TFrm_Main() override;

    bool shouldEnd() const { return m_end; }
    bool dataFolderMissing() const { return m_dataFolderMissing; }
    // The data folder is there but cannot be used (in use by another
    // program, damaged, not writable); the user has been told why.
    bool cannotStart() const { return m_cannotStart; }

    // The start-up and what it holds for the whole run: the folder's lock
    // and the day's copy. Made before the data module and gone after it, so
    // that the lock is let go only once every table has closed. Both are
    // objects of the window's own, neither copied nor replaced: the tools and
    // tests read the program's state and tables through them.
    startup::Avvio Start;
    // The tables and the program's state.
    DataModule Data;

    // The screens, each in its own room; tests and tools run their handlers
    // as the user's events would.
    AccessScreen& accessScreen() const { return *Access; }
    NurseryRegistry& nurseryRegistry() const { return *Nursery; }
    ChildrenScreen& childrenScreen() const { return *Children; }
    EvaluationsScreen& evaluationsScreen() const { return *Evaluations; }
    StaffRegistries& staffRegistries() const { return *Staff; }
    EvaluationSheet& evaluationSheet() const { return *Sheet; }
    PhasesScreen& phasesScreen() const { return *Phases; }
    // The print operations and the report forms they fill.
    reports::Prints& prints() const { return *Reports; }

    void Btn_EsciClick();      // "Esci" (access panel and list screen): asks, then ends the program
    void SpeedButton13Click(); // "About": shows the About box

    // Shell: what the screens ask of the window.
    void AbilitaNavigazione(bool enabled) override;
    bool navigazioneAbilitata() const override;
    void mostraAccesso() override;
    void mostraElenco() override;
    void mostraSetup(bool visible) override;
    bool setupVisibile() const override;
    void mostraVersione() override;

    // The four report forms, in the order they were made at start-up.
    QList<QObject*> reportForms() const;

    bool accessPanelInFront() const;

protected:
    bool event(QEvent* e) override;
    // F1 on this window or on a box or form shown over it opens the user
    // guide, as the About box's bottom line does.
    bool eventFilter(QObject* watched, QEvent* e) override;
    void showEvent(QShowEvent* e) override;
    // Closing the window with the evaluation sheet or a registry open saves
    // what it still holds, as its own way out would; a refused save (told to
    // the user) keeps the window open.
    void closeEvent(QCloseEvent* e) override;
    // Tab and Shift+Tab stop only on controls that show: never on those of
    // the panel behind, nor on the list under the sheet or a registry.
    bool focusNextPrevChild(bool next) override;

private:
    AccessScreen* Access = nullptr;
    NurseryRegistry* Nursery = nullptr;
    ChildrenScreen* Children = nullptr;
    EvaluationsScreen* Evaluations = nullptr;
    StaffRegistries* Staff = nullptr;
    EvaluationSheet* Sheet = nullptr;
    PhasesScreen* Phases = nullptr;
    reports::Prints* Reports = nullptr;

    // The controls the window lays out itself; a test finds them by their
    // object names.
    QWidget* Pnl_Accesso = nullptr;
    QWidget* Pnl_Bambini = nullptr;
    QLabel* Image1 = nullptr; // the picture at the left of the access panel
    QToolBar* Tb_Setup = nullptr;
    QToolButton* ToolButton1 = nullptr; // "Anagrafica nido"
    QToolButton* ToolButton3 = nullptr; // "Anagrafica educatrici"
    QToolButton* ToolButton5 = nullptr; // "Anagrafica bimbi"
    QToolButton* ToolButton7 = nullptr; // "Gestione ruoli"
    QToolButton* ToolButton9 = nullptr; // "Gestione aree"
    QToolButton* Btn_ConfrontoMultiplo = nullptr;
    QToolButton* Btn_ConfrontoSingolo = nullptr;
    QToolButton* Btn_LogOut = nullptr;
    QToolButton* Btn_Esci = nullptr;
    QToolButton* SpeedButton9 = nullptr;  // "Esci" of the access panel
    QToolButton* SpeedButton13 = nullptr; // "About"
    DataNavigator* DBNavigator1 = nullptr; // children list
    DataNavigator* DBNavigator7 = nullptr; // evaluations list
    QGroupBox* GroupBox1 = nullptr; // "Valutazioni effettuate"
    QGroupBox* GB_AnagraficaNido = nullptr;
    QGroupBox* GB_AnagraficaEducatrici = nullptr;
    QGroupBox* GB_AnagraficaBimbi = nullptr;
    QGroupBox* GB_AnagraficaRuoli = nullptr;
    QGroupBox* GB_AnagraficaAree = nullptr;
    QGroupBox* GB_Valutazione = nullptr;
    QLabel* StatusHint = nullptr;
    QLabel* StatusVersion = nullptr;
    AboutBox* Taboutbox = nullptr;

    void buildWindow();
    void buildAccessPanel();
    void buildListScreen();
    void composeScreens();

    // Runs the start-up (startup::Avvio::avvia) and keeps how it ended.
    void FormCreate();
    // startup::Finestra: the window's part of the start-up.
    void nascondiSchede() override;
    void nuovoNido() override;
    void nidoScelto() override;
    void quit();
    // The status bar's first panel shows the hint of the control now under
    // the pointer (empty over a control without one).
    void mostraSuggerimentoSottoIlPuntatore();

    bool m_end = false;
    bool m_dataFolderMissing = false;
    bool m_cannotStart = false;
    bool m_centred = false;
};

} // namespace velmora
