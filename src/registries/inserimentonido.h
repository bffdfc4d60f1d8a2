#pragma once
#include <QDialog>

namespace velmora {

class DataEdit;
class Dialogs;
namespace store { class Table; }

// The new-nursery dialog: its edits write into the record being appended to
// the nursery table. OK keeps it, any other result drops it.
class TFrm_InserimentoNido : public QDialog
{
    Q_OBJECT

public:
    // The result of the "Annulla inserimento" button.
    static constexpr int Abort = 3;

    TFrm_InserimentoNido(store::Table& nurseries, Dialogs& dialogs, QWidget* parent = nullptr);

    DataEdit* DBEdit1 = nullptr;  // Nome
    DataEdit* DBEdit2 = nullptr;  // Indirizzo
    DataEdit* DBEdit23 = nullptr; // Citta
    DataEdit* DBEdit3 = nullptr;  // Cap
    DataEdit* DBEdit5 = nullptr;  // Telefono
    DataEdit* DBEdit6 = nullptr;  // Fax
    QWidget* SpeedButton1 = nullptr;
    QWidget* SpeedButton11 = nullptr;

    void SpeedButton1Click() { done(QDialog::Accepted); }
    void SpeedButton11Click() { done(Abort); }
};

} // namespace velmora
