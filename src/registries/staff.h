#pragma once
#include <QObject>

class QGroupBox;
class QLabel;
class QToolButton;
class QWidget;

namespace velmora {

class TFrm_Main;
class DataCheckBox;
class DataEdit;
class DataGrid;
class DataNavigator;

namespace store { class Table; }

// Builds and runs the educators, roles and areas registries: its controls live on the
// main window's list screen, its handlers work on the main window's tables.
// Each registry is a group box over the list screen; while one is open its
// table is writable and the navigation of the list screen is locked.
class StaffRegistries : public QObject
{
    Q_OBJECT

public:
    explicit StaffRegistries(TFrm_Main& main);

    // Educators registry (GB_AnagraficaEducatrici).
    DataGrid* DBGrid3 = nullptr;
    DataNavigator* DBNavigator3 = nullptr;
    DataEdit* DBEdit7 = nullptr;  // Nome
    DataEdit* DBEdit8 = nullptr;  // Cognome
    DataEdit* DBEdit9 = nullptr;  // Password, masked
    DataEdit* DBEdit24 = nullptr; // Password, plain, lying under DBEdit9
    DataCheckBox* DBCheckBox1 = nullptr;
    QToolButton* SpeedButton1 = nullptr;
    // The Tags of DBEdit7 and DBEdit24: 1 while the educators registry is
    // open, 0 otherwise; the defaults of a new educator read them.
    int DBEdit7Tag = 0;
    int DBEdit24Tag = 0;

    // Roles registry (GB_AnagraficaRuoli).
    DataGrid* DBGrid8 = nullptr;
    DataNavigator* DBNavigator8 = nullptr;
    DataEdit* DBEdit14 = nullptr; // Ruolo
    QToolButton* SpeedButton5 = nullptr;

    // Areas registry (GB_AnagraficaAree).
    DataGrid* DBGrid9 = nullptr;
    DataNavigator* DBNavigator9 = nullptr;
    DataEdit* DBEdit15 = nullptr; // Area
    DataEdit* DBEdit16 = nullptr; // AreaBreve
    QToolButton* SpeedButton6 = nullptr;

    // Handlers.
    void ToolButton3Click();
    void SpeedButton1Click();
    void DBEdit9Enter();
    void DBEdit24Exit();
    void ToolButton7Click();
    void SpeedButton5Click();
    void Tbl_RuoliNewRecord(store::Table& t);
    void ToolButton9Click();
    void SpeedButton6Click();
    void Tbl_AreeNewRecord(store::Table& t);
    void Tbl_AreeCalcFields(store::Table& t);

    // True when the plain password edit lies in front of the masked one.
    bool plainPasswordInFront() const;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void buildEducators();
    void buildRoles();
    void buildAreas();

    TFrm_Main& m;
};

} // namespace velmora
