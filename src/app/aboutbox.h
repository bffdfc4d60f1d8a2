#pragma once
#include <QDialog>

class QLabel;

namespace velmora {

class Dialogs;

// The About box: version label and four areas that open a link with the
// desktop's default handler (e-mail, the two web sites, the user guide).
class AboutBox : public QDialog
{
    Q_OBJECT

public:
    // `dialogs` opens the links and tells what cannot be opened (the user
    // guide missing from the program folder); without it the desktop opens
    // them and a plain message box tells.
    explicit AboutBox(const QString& programDir, QWidget* parent = nullptr, Dialogs* dialogs = nullptr);

    QLabel* Lbl_Versione = nullptr;
    // "Dati: ..." where the data in use are (set as the box opens).
    QLabel* Lbl_Dati = nullptr;
    // The text of Lbl_Dati for a data folder, or for a server (`server`
    // is ServerLine::describe(), never with the password).
    static QString datiInUso(const QString& folderPath, const QString& server);
    QLabel* Image2 = nullptr;
    QLabel* Image3 = nullptr;
    QLabel* Image4 = nullptr;
    QLabel* Label1 = nullptr;

    // Where each area leads.
    QUrl linkOf(const QLabel* area) const;
    // The user guide the bottom line opens: <program folder>/docs/guida-utente.html.
    QString guidePath() const;
    // What a click on `area` does: opens its link with the desktop's default
    // handler; a local file that does not exist is said in Italian instead,
    // and false is returned.
    bool apri(const QLabel* area);
    // Opens the user guide as the bottom line does (F1 on every window).
    bool apriGuida();

private:
    QString m_programDir;
    Dialogs* m_dialogs = nullptr;
};

} // namespace velmora
