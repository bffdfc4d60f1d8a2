#pragma once

#include "dialogs.h"

#include <QPointer>

#include <memory>

class QCoreApplication;
class QPrinter;
class QWidget;

namespace velmora {

// Dialogs shown as real modal boxes: QMessageBox for messages, QInputDialog
// for input, QPrintDialog and QPrintPreviewDialog for reports.
class QtDialogs : public Dialogs
{
public:
    explicit QtDialogs(QWidget* parent = nullptr);
    ~QtDialogs() override;
    QtDialogs(const QtDialogs&) = delete;
    QtDialogs& operator=(const QtDialogs&) = delete;

    // Boxes are centred on, and modal to, this widget (may be null).
    void setParent(QWidget* parent);
    QWidget* parent() const;

    Button message(BoxType type, const QString& text, Buttons buttons,
                   const QString& caption = QString()) override;
    std::optional<QString> input(const QString& caption, const QString& prompt,
                                 const QString& initial, bool masked) override;
    int execForm(QDialog& form) override;

    // "Imposta stampa": a QPrintDialog on printer(). With no printer
    // installed it offers a PDF file, proposed in the folder of the last one
    // and named after the print, whose it is and when (pdfFileNameFor).
    bool printSetup(const print::Document& doc) override;
    // "Anteprima di stampa" on printer(); its print button prints there, so
    // on the printer or into the PDF file chosen in the set-up.
    void preview(const print::Document& doc) override;
    // QDesktopServices::openUrl.
    bool openUrl(const QUrl& url) override;

    // The printer shared by set-up and preview, made on first use (a
    // QApplication must exist by then). It lives as long as this object, so
    // the user's choices (printer, copies, PDF file) carry over to the next
    // report.
    QPrinter& printer();

private:
    QPointer<QWidget> m_parent;
    std::unique_ptr<QPrinter> m_printer;
};

// The name proposed for a report printed into a PDF file: its title, less the
// characters a file name cannot hold, with ".pdf" added; "stampa.pdf" for an
// untitled report.
QString pdfFileNameFor(const QString& title);
// The name proposed for `doc` printed into a PDF file: from its fileName,
// else from its title.
QString pdfFileNameFor(const print::Document& doc);

// Loads Qt's own Italian translations, so that standard buttons read "Sì",
// "No", "Annulla". The translators are children of `app`. Calling it again
// does nothing.
void installItalianTranslations(QCoreApplication& app);

} // namespace velmora
