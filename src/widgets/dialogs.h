#pragma once

#include <QFlags>
#include <QString>
#include <QUrl>

#include <functional>
#include <optional>

class QDialog;

namespace velmora::print {
class Document;
}

namespace velmora {

namespace store {
class DbError;
}

// Kind of message box: decides the icon and the default caption.
enum class BoxType { Confirmation, Error, Warning, Information, Plain };

enum class Button { None = 0, Ok = 1, Yes = 2, No = 4, Cancel = 8 };
Q_DECLARE_FLAGS(Buttons, Button)
Q_DECLARE_OPERATORS_FOR_FLAGS(Buttons)

// Every message box and input box of the program goes through this interface,
// so that screens can be driven by a script in tests (ScriptedDialogs) and by
// real modal boxes in the program (QtDialogs).
class Dialogs
{
public:
    virtual ~Dialogs();

    // Shows a message box and returns the button pressed. An empty caption
    // stands for the default caption of the box type (see defaultCaption), an
    // empty set of buttons for a single OK button.
    virtual Button message(BoxType type, const QString& text, Buttons buttons,
                           const QString& caption = QString()) = 0;

    // Asks for one line of text. Returns std::nullopt when the user cancels.
    // A masked box shows one '*' per typed character.
    virtual std::optional<QString> input(const QString& caption, const QString& prompt,
                                         const QString& initial, bool masked) = 0;

    // Shows one of the program's own modal forms (a dialog with edits of its
    // own) and returns its result code (QDialog::Accepted, Rejected, ...).
    virtual int execForm(QDialog& form) = 0;

    // The print set-up of a report laid out as `doc`: printer, copies and the
    // pages to print (1 to doc.pageCount()). True when confirmed, false
    // when cancelled.
    virtual bool printSetup(const print::Document& doc) = 0;
    // The modal print preview of `doc`, from which the user prints with the
    // choices of the last set-up. Returns when the window is closed.
    virtual void preview(const print::Document& doc) = 0;

    // Opens `url` with the desktop's default handler (the browser for the
    // user guide and the web sites, the e-mail program for an address).
    // False when nothing could open it.
    virtual bool openUrl(const QUrl& url) = 0;

    // Yes/No question; true only when the user answers Yes.
    bool confirm(const QString& text, const QString& caption = QString());
    // Boxes with a single OK button.
    void error(const QString& text, const QString& caption = QString());
    void warning(const QString& text, const QString& caption = QString());
    void information(const QString& text, const QString& caption = QString());
    void plain(const QString& text, const QString& caption = QString());

    // Where the data controls send an engine error they meet on their own (a
    // grid moving to a row, a navigator's button, an edit writing a value),
    // so that the program treats it as one met by a handler: a damaged file
    // is marked for the next start and the user told to restart. Unset, the
    // error's message is shown as an error box.
    std::function<void(const store::DbError&)> engineError;

    // "Conferma", "Errore", "Attenzione", "Informazione"; the application
    // name (possibly empty) for plain boxes.
    static QString defaultCaption(BoxType type);
    // The caption actually shown: `caption`, or the default one when empty.
    static QString effectiveCaption(BoxType type, const QString& caption);
    // The buttons actually shown: `buttons`, or OK alone when empty.
    static Buttons effectiveButtons(Buttons buttons);
};

} // namespace velmora
