#pragma once
// The access panel: the nursery chooser, the educator list with its login
// and password reset, and the logout of the list screen. The educator and
// children lists always follow the current nursery IdNidoCorrente.
#include <QObject>
#include <QVariant>

class QMenu;
class QToolButton;
class QWidget;

namespace velmora {

class DataModule;
class LookupComboBox;
class LookupListBox;

class AccessScreen : public QObject
{
    Q_OBJECT

public:
    // Lays the chooser, the list and the login button on `Pnl_Accesso`.
    AccessScreen(DataModule& data, QWidget* Pnl_Accesso, QObject* parent);

    void Tbl_AnagNidoAfterScroll();  // the nursery cursor moved: lists follow IdNidoCorrente
    void DBLookupComboBox1CloseUp(); // the nursery chooser closed its list
    void DBLookupListBox1DblClick(); // double click on the educator list: the login
    void SpeedButton4Click();        // "Accedi" (and Return on the educator list): the login, then the chosen nursery becomes current
    void Btn_LogOutClick();          // "Esci utente": back to the access panel
    void Resettapassword1Click();    // menu "Resetta password" of the educator list

    // What the window composing the screens asks: the screen's controls in
    // Tab order (chooser, list, login), the keys to the nursery chooser, and
    // the chooser on the nursery whose Id is `id`.
    QList<QWidget*> tabChain() const;
    void focusNurseryChooser();
    void showNursery(const QVariant& id);

private:
    // The screen's controls; a test finds them by their object names.
    LookupComboBox* DBLookupComboBox1 = nullptr; // "Nido di riferimento:"
    LookupListBox* DBLookupListBox1 = nullptr;   // "Educatrici:"
    QMenu* PopupMenu1 = nullptr;
    QToolButton* SpeedButton4 = nullptr;         // login

    DataModule& data;
};

} // namespace velmora
