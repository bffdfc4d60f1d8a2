#pragma once
// The nursery registry (toolbar "Anagrafica nido") and the new-nursery
// operation. Every new nursery gets a first responsible educator, "Admin",
// so somebody can log in to it.
#include <QObject>

class QGroupBox;
class QToolButton;

namespace velmora {

class DataModule;
class DataEdit;
class DataGrid;
class DataNavigator;
class TFrm_InserimentoNido;

class NurseryRegistry : public QObject
{
    Q_OBJECT

public:
    // Lays the registry's controls in `GB_AnagraficaNido`.
    NurseryRegistry(DataModule& data, QGroupBox* GB_AnagraficaNido, QObject* parent);

    void ToolButton1Click();   // toolbar "Anagrafica nido": opens the registry
    void SpeedButton3Click();  // "Esci": saves what is pending and closes it
    void SpeedButton11Click(); // "Inserisci un nuovo nido": the new-nursery form and its "Admin"

    // The new-nursery form, made at its first use and kept.
    TFrm_InserimentoNido* Frm_InserimentoNido() const { return m_inserimentoNido; }

private:
    // The screen's controls; a test finds them by their object names.
    QGroupBox* GB_AnagraficaNido = nullptr;
    DataGrid* DBGrid2 = nullptr;
    DataNavigator* DBNavigator2 = nullptr;
    DataEdit* DBEdit1 = nullptr; // the nursery's edits, in tab order
    DataEdit* DBEdit2 = nullptr;
    DataEdit* DBEdit23 = nullptr;
    DataEdit* DBEdit3 = nullptr;
    DataEdit* DBEdit4 = nullptr;
    DataEdit* DBEdit5 = nullptr;
    DataEdit* DBEdit6 = nullptr;
    QToolButton* SpeedButton11 = nullptr;
    QToolButton* SpeedButton3 = nullptr;

    DataModule& data;
    TFrm_InserimentoNido* m_inserimentoNido = nullptr;
};

} // namespace velmora
