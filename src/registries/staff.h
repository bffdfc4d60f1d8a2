#pragma once
#include <QObject>

class QGroupBox;
class QLabel;
class QToolButton;
class QWidget;

namespace velmora {

class DataModule;
class DataCheckBox;
class DataEdit;
class DataGrid;
class DataNavigator;

namespace store { class Table; }

// Builds and runs the educators, roles and areas registries: their controls
// live in their group boxes over the list screen, their handlers work on the
// data module's tables.
// Each registry is a group box over the list screen; while one is open its
// table is writable and the navigation of the list screen is locked.
class StaffRegistries : public QObject
{
    Q_OBJECT

public:
    // Lays the three registries in their group boxes.
    StaffRegistries(DataModule& data, QGroupBox* GB_AnagraficaEducatrici, QGroupBox* GB_AnagraficaRuoli,
                    QGroupBox* GB_AnagraficaAree, QObject* parent);

    // The Tags of DBEdit7 and DBEdit24: 1 while the educators registry is
    // open, 0 otherwise; the defaults of a new educator read them.
    int DBEdit7Tag = 0;
    int DBEdit24Tag = 0;

    void ToolButton3Click();                     // toolbar "Anagrafica educatrici": opens the educators registry
    void SpeedButton1Click();                    // "Esci" of the educators: closes it if a responsible educator remains
    void Tbl_AnagEduCalcFields(store::Table& t); // every educator: Nominativo ("*" for a responsible one) and Resp
    void Tbl_AnagEduNewRecord(store::Table& t);  // a new educator: nursery, not responsible, focus on "Nome"
    void DBEdit9Enter();                         // the masked password edit takes the focus: typing goes to the plain one
    void DBEdit24Exit();                         // the plain password edit loses the focus: the masked one is back in front
    void ToolButton7Click();                     // toolbar "Gestione ruoli": opens the roles registry
    void SpeedButton5Click();                    // "Esci" of the roles: closes it
    void Tbl_RuoliNewRecord(store::Table& t);    // a new role: focus on "Descrizione ruolo"
    void ToolButton9Click();                     // toolbar "Gestione aree": opens the areas registry
    void SpeedButton6Click();                    // "Esci" of the areas: closes it
    void Tbl_AreeNewRecord(store::Table& t);     // a new area: focus on "Descrizione area"
    void Tbl_AreeCalcFields(store::Table& t);    // every area: AreaCombo, the code, " - " and the name

    // True when the plain password edit lies in front of the masked one.
    bool plainPasswordInFront() const;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // The screen's controls; a test finds them by their object names.
    QGroupBox* GB_AnagraficaEducatrici = nullptr;
    QGroupBox* GB_AnagraficaRuoli = nullptr;
    QGroupBox* GB_AnagraficaAree = nullptr;
    DataGrid* DBGrid3 = nullptr;
    DataNavigator* DBNavigator3 = nullptr;
    DataEdit* DBEdit7 = nullptr;  // Nome
    DataEdit* DBEdit8 = nullptr;  // Cognome
    DataEdit* DBEdit9 = nullptr;  // Password, masked
    DataEdit* DBEdit24 = nullptr; // Password, plain, lying under DBEdit9
    DataCheckBox* DBCheckBox1 = nullptr;
    QToolButton* SpeedButton1 = nullptr;
    DataGrid* DBGrid8 = nullptr;
    DataNavigator* DBNavigator8 = nullptr;
    DataEdit* DBEdit14 = nullptr; // Ruolo
    QToolButton* SpeedButton5 = nullptr;
    DataGrid* DBGrid9 = nullptr;
    DataNavigator* DBNavigator9 = nullptr;
    DataEdit* DBEdit15 = nullptr; // Area
    DataEdit* DBEdit16 = nullptr; // AreaBreve
    QToolButton* SpeedButton6 = nullptr;

    void buildEducators();
    void buildRoles();
    void buildAreas();

    DataModule& data;
};

} // namespace velmora
