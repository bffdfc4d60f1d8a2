#pragma once
#include "datafolder.h"
#include "dialogs.h"
#include "errors.h"
#include "table.h"

#include <QMainWindow>
#include <QDateTime>
#include <QPointer>
#include <QRandomGenerator>

#include <memory>

class QLabel;
class QGroupBox;
class QToolBar;
class QToolButton;
class QWidget;

namespace velmora {

class Dialogs;
class AboutBox;
class DataEdit;
class DataGrid;
class DataNavigator;
class LookupComboBox;
class LookupListBox;
class TFrm_InserimentoNido;
class ChildrenScreen;
class EvaluationsScreen;
class StaffRegistries;
class EvaluationSheet;
class PhasesScreen;
namespace reports {
class Prints;
}

// The main window: owns the data folder, every table object, both screens and
// the group boxes that come to the front over the list screen. Constructing
// it runs the start-up; `shouldEnd()` then says whether the program is to end
// as soon as its event loop starts (no data folder, or no nursery wanted).
class TFrm_Main : public QMainWindow
{
    Q_OBJECT

public:
    // `programDir` is the folder of the program file: the data folder is its
    // "db" subfolder. Every box goes through `dialogs`.
    TFrm_Main(const QString& programDir, Dialogs& dialogs, QWidget* parent = nullptr);
    ~TFrm_Main() override;

    bool shouldEnd() const { return m_end; }
    bool dataFolderMissing() const { return m_dataFolderMissing; }

    // Main-window state.
    QString PercorsoDb;
    QString IdNidoCorrente = QStringLiteral("0");
    QString FiltroFrequenza;

    // The one random source of the program (colours of surplus chart
    // series), seeded from the clock at start-up.
    QRandomGenerator Random;

    // "The present moment": the one clock of the program, replaced in tests.
    std::function<QDateTime()> Now = [] { return QDateTime::currentDateTime(); };

    // The screens of the list screen, each in its own room.
    ChildrenScreen* Children = nullptr;
    EvaluationsScreen* Evaluations = nullptr;
    StaffRegistries* Staff = nullptr;
    EvaluationSheet* Sheet = nullptr;
    PhasesScreen* Phases = nullptr;
    // The print operations and the report forms they fill.
    reports::Prints* Reports = nullptr;

    // Table objects (see the data folder) and the copy cursor.
    store::Table Tbl_AnagNido{QStringLiteral("Tbl_AnagNido")};
    store::Table Tbl_AnagEdu{QStringLiteral("Tbl_AnagEdu")};
    store::Table Tbl_AnagBimbi{QStringLiteral("Tbl_AnagBimbi")};
    store::Table Tbl_Valutazioni{QStringLiteral("Tbl_Valutazioni")};
    store::Table Tbl_Ruoli{QStringLiteral("Tbl_Ruoli")};
    store::Table Tbl_Aree{QStringLiteral("Tbl_Aree")};
    store::Table Tbl_Personale{QStringLiteral("Tbl_Personale")};
    store::Table Tbl_FasiVal{QStringLiteral("Tbl_FasiVal")};
    store::Table Tbl_App{QStringLiteral("Tbl_App")};

    // Enables or disables, in this order, the exit, logout and report
    // buttons, the five toolbar buttons and the navigators of the children
    // and evaluation lists. Nothing else changes.
    void AbilitaNavigazione(bool enabled);

    // Runs a handler; an engine error reaches the user as its message, and a
    // silently cancelled operation simply ends.
    template <typename F> void guarded(F&& f);

    // Reopens a table read-only or writable, keeping filter, index and Tag.
    static void ImpostaSolaLettura(store::Table& table, bool readOnly);

    // Handlers of the main window (src/app).
    void Btn_EsciClick();
    void SpeedButton13Click();

    // Access: nursery choice, login, logout, password reset (src/access).
    void Tbl_AnagNidoAfterScroll();
    void ApplicaFiltroBimbi();
    void DBLookupComboBox1CloseUp();
    void DBLookupListBox1DblClick();
    void SpeedButton4Click();
    void Btn_LogOutClick();
    void Resettapassword1Click();

    // Nursery registry and the new-nursery operation (src/registries).
    void ToolButton1Click();
    void SpeedButton3Click();
    void SpeedButton11Click();
    TFrm_InserimentoNido* Frm_InserimentoNido() const { return m_inserimentoNido; }

    // Educators: display name, responsible mark and new-record defaults.
    void Tbl_AnagEduCalcFields(store::Table& t);
    void Tbl_AnagEduNewRecord(store::Table& t);

    // Controls the handlers and the tests reach by name.
    QWidget* Pnl_Accesso = nullptr;
    QWidget* Pnl_Bambini = nullptr;
    QToolBar* Tb_Setup = nullptr;
    QToolButton* ToolButton1 = nullptr;
    QToolButton* ToolButton3 = nullptr;
    QToolButton* ToolButton5 = nullptr;
    QToolButton* ToolButton7 = nullptr;
    QToolButton* ToolButton9 = nullptr;
    QToolButton* Btn_ConfrontoMultiplo = nullptr;
    QToolButton* Btn_ConfrontoSingolo = nullptr;
    QToolButton* Btn_LogOut = nullptr;
    QToolButton* Btn_Esci = nullptr;
    QToolButton* SpeedButton4 = nullptr;
    QToolButton* SpeedButton9 = nullptr;
    QToolButton* SpeedButton13 = nullptr;
    DataNavigator* DBNavigator1 = nullptr;
    DataNavigator* DBNavigator7 = nullptr;
    QGroupBox* GroupBox1 = nullptr; // "Valutazioni effettuate"
    QGroupBox* GB_AnagraficaNido = nullptr;
    QGroupBox* GB_AnagraficaEducatrici = nullptr;
    QGroupBox* GB_AnagraficaBimbi = nullptr;
    QGroupBox* GB_AnagraficaRuoli = nullptr;
    QGroupBox* GB_AnagraficaAree = nullptr;
    QGroupBox* GB_Valutazione = nullptr;
    LookupComboBox* DBLookupComboBox1 = nullptr;
    LookupListBox* DBLookupListBox1 = nullptr;
    DataGrid* DBGrid2 = nullptr;
    DataNavigator* DBNavigator2 = nullptr;
    DataEdit* Reg_DBEdit1 = nullptr; // the registry's edits, in tab order
    DataEdit* Reg_DBEdit2 = nullptr;
    DataEdit* Reg_DBEdit23 = nullptr;
    DataEdit* Reg_DBEdit3 = nullptr;
    DataEdit* Reg_DBEdit4 = nullptr;
    DataEdit* Reg_DBEdit5 = nullptr;
    DataEdit* Reg_DBEdit6 = nullptr;
    QToolButton* Reg_SpeedButton11 = nullptr;
    QToolButton* Reg_SpeedButton3 = nullptr;
    QLabel* StatusHint = nullptr;
    QLabel* StatusVersion = nullptr;
    AboutBox* Taboutbox = nullptr;
    // The four report forms, in the order they were made at start-up.
    QList<QObject*> reportForms() const;

    // Brings one of the two stacked screens to the front.
    void showAccessPanel();
    void showListScreen();
    bool accessPanelInFront() const;

protected:
    bool event(QEvent* e) override;
    // Closing the window with the evaluation sheet or a registry open saves
    // what it still holds, as its own way out would; a refused save (told to
    // the user) keeps the window open.
    void closeEvent(QCloseEvent* e) override;

private:
    void buildWindow();
    void buildAccessPanel();
    void buildListScreen();
    void buildNurseryRegistry();
    void setupTables();

    void FormCreate();
    void setupBindings();
    void quit();

public:
    Dialogs& m_dialogs;

private:
    std::unique_ptr<store::DataFolder> m_folder;
    bool m_end = false;
    bool m_dataFolderMissing = false;
    TFrm_InserimentoNido* m_inserimentoNido = nullptr;
};

template <typename F>
void TFrm_Main::guarded(F&& f)
{
    try {
        f();
    } catch (const store::Abort&) {
    } catch (const store::DbError& e) {
        m_dialogs.error(e.message());
    }
}

} // namespace velmora
