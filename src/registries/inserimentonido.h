#pragma once
#include <QDialog>

namespace velmora {

class DataEdit;
class Dialogs;
namespace store { class Table; }

// The edits of a nursery's fields, laid once for both the registry and the
// new-nursery form: the same fields, captions and object names, at the
// places of each. The form has no edit for the province (DBEdit4 is null).
struct NurseryEdits
{
    enum Layout { Registry, Form };
    DataEdit* DBEdit1 = nullptr;  // Nome
    DataEdit* DBEdit2 = nullptr;  // Indirizzo
    DataEdit* DBEdit23 = nullptr; // Citta
    DataEdit* DBEdit3 = nullptr;  // Cap
    DataEdit* DBEdit4 = nullptr;  // Provincia
    DataEdit* DBEdit5 = nullptr;  // Telefono
    DataEdit* DBEdit6 = nullptr;  // Fax
};
NurseryEdits layNurseryEdits(QWidget* parent, store::Table& nurseries, Dialogs& dialogs, NurseryEdits::Layout layout);

// The new-nursery dialog: its edits write into the record being appended to
// the nursery table. OK keeps it, any other result drops it.
class TFrm_InserimentoNido : public QDialog
{
    Q_OBJECT

public:
    // The result of the "Annulla inserimento" button.
    static constexpr int Abort = 3;

    TFrm_InserimentoNido(store::Table& nurseries, Dialogs& dialogs, QWidget* parent = nullptr);

    void SpeedButton1Click() { done(QDialog::Accepted); }
    void SpeedButton11Click() { done(Abort); }

protected:
    void showEvent(QShowEvent* e) override;

private:
    // The form's controls; a test finds them by their object names.
    DataEdit* DBEdit1 = nullptr;  // Nome
    DataEdit* DBEdit2 = nullptr;  // Indirizzo
    DataEdit* DBEdit23 = nullptr; // Citta
    DataEdit* DBEdit3 = nullptr;  // Cap
    DataEdit* DBEdit5 = nullptr;  // Telefono
    DataEdit* DBEdit6 = nullptr;  // Fax
    QWidget* SpeedButton1 = nullptr;
    QWidget* SpeedButton11 = nullptr;
};

} // namespace velmora
