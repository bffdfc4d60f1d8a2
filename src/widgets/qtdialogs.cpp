#include "qtdialogs.h"

#include "document.h"
#include "maskedinput.h"

#include <QDialog>

#include <QCoreApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QInputDialog>
#include <QLibraryInfo>
#include <QLineEdit>
#include <QMessageBox>
#include <QPageLayout>
#include <QPageSize>
#include <QPrintDialog>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QPushButton>
#include <QScreen>
#include <QStandardPaths>
#include <QTranslator>

#include <algorithm>

namespace velmora {

namespace {

QMessageBox::Icon iconFor(BoxType type)
{
    switch (type) {
    case BoxType::Confirmation:
        return QMessageBox::Question;
    case BoxType::Error:
        return QMessageBox::Critical;
    case BoxType::Warning:
        return QMessageBox::Warning;
    case BoxType::Information:
        return QMessageBox::Information;
    case BoxType::Plain:
        break;
    }
    return QMessageBox::NoIcon;
}

QMessageBox::StandardButtons standardButtons(Buttons buttons)
{
    QMessageBox::StandardButtons result;
    if (buttons.testFlag(Button::Ok))
        result |= QMessageBox::Ok;
    if (buttons.testFlag(Button::Yes))
        result |= QMessageBox::Yes;
    if (buttons.testFlag(Button::No))
        result |= QMessageBox::No;
    if (buttons.testFlag(Button::Cancel))
        result |= QMessageBox::Cancel;
    return result;
}

Button fromStandardButton(QMessageBox::StandardButton button)
{
    switch (button) {
    case QMessageBox::Ok:
        return Button::Ok;
    case QMessageBox::Yes:
        return Button::Yes;
    case QMessageBox::No:
        return Button::No;
    case QMessageBox::Cancel:
        return Button::Cancel;
    default:
        return Button::None;
    }
}

// The answer of a box closed without pressing any of its buttons.
Button closedAnswer(Buttons buttons)
{
    for (Button b : {Button::Cancel, Button::No, Button::Ok, Button::Yes}) {
        if (buttons.testFlag(b))
            return b;
    }
    return Button::None;
}

// The paper and margins of `doc` (A4 portrait, 10 mm, unless the report
// asks otherwise), so that the set-up shows the paper the report is laid out on.
QPageLayout pageLayoutFor(const print::Document& doc)
{
    QSizeF paper = doc.paperMm;
    if (paper.isEmpty())
        paper = QSizeF(210, 297);
    const bool landscape = paper.width() > paper.height();
    const QPageSize size(landscape ? paper.transposed() : paper, QPageSize::Millimeter, QString(),
                         QPageSize::FuzzyMatch);
    return QPageLayout(size, landscape ? QPageLayout::Landscape : QPageLayout::Portrait,
                       doc.marginsMm, QPageLayout::Millimeter);
}

// Printing into a PDF file (the only choice where no printer is installed):
// the set-up proposes a file named after the print, whose it is and when
// (so that one child's print never offers to overwrite another's), in the
// folder of the last PDF written, else in the user's documents. Without a
// name Qt's dialog would propose the home folder itself, which it then
// refuses.
void proposePdfFile(QPrinter& printer, const print::Document& doc)
{
    QString folder;
    if (!printer.outputFileName().isEmpty())
        folder = QFileInfo(printer.outputFileName()).absolutePath();
    if (folder.isEmpty() || !QFileInfo(folder).isDir())
        folder = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    if (folder.isEmpty() || !QFileInfo(folder).isDir())
        folder = QDir::homePath();
    printer.setOutputFileName(QDir(folder).filePath(pdfFileNameFor(doc)));
}

} // namespace

QString pdfFileNameFor(const QString& title)
{
    static const QString forbidden = QStringLiteral("/\\:*?\"<>|");
    QString name;
    name.reserve(title.size());
    for (const QChar c : title) {
        if (c.category() == QChar::Other_Control || forbidden.contains(c))
            name += QLatin1Char(' ');
        else
            name += c;
    }
    name = name.simplified();
    if (name.endsWith(QLatin1String(".pdf"), Qt::CaseInsensitive))
        name.chop(4);
    // Leading dots would hide the file; trailing dots and spaces trouble
    // other systems the file may be copied to.
    const auto trimmed = [](QChar c) { return c == QLatin1Char('.') || c.isSpace(); };
    while (!name.isEmpty() && trimmed(name.front()))
        name.remove(0, 1);
    while (!name.isEmpty() && trimmed(name.back()))
        name.chop(1);
    if (name.isEmpty())
        name = QStringLiteral("stampa");
    return name + QLatin1String(".pdf");
}

QString pdfFileNameFor(const print::Document& doc)
{
    return pdfFileNameFor(doc.fileName.isEmpty() ? doc.title : doc.fileName);
}

QtDialogs::QtDialogs(QWidget* parent)
    : m_parent(parent)
{
}

QtDialogs::~QtDialogs() = default;

void QtDialogs::setParent(QWidget* parent)
{
    m_parent = parent;
}

QWidget* QtDialogs::parent() const
{
    return m_parent;
}

Button QtDialogs::message(BoxType type, const QString& text, Buttons buttons,
                          const QString& caption)
{
    buttons = effectiveButtons(buttons);
    // Some messages break their line with a bare carriage return, which a
    // label would draw as a space.
    QString shown = text;
    shown.replace(QLatin1String("\r\n"), QLatin1String("\n")).replace(QLatin1Char('\r'), QLatin1Char('\n'));
    QMessageBox box(iconFor(type), effectiveCaption(type, caption), shown,
                    standardButtons(buttons), m_parent);
    // Messages may quote user data or database errors: never read them as HTML.
    box.setTextFormat(Qt::PlainText);
    if (buttons.testFlag(Button::Yes))
        box.setDefaultButton(QMessageBox::Yes);
    else if (buttons.testFlag(Button::Ok))
        box.setDefaultButton(QMessageBox::Ok);
    box.exec();

    const Button answer = box.clickedButton()
                              ? fromStandardButton(box.standardButton(box.clickedButton()))
                              : Button::None;
    if (answer == Button::None || !buttons.testFlag(answer))
        return closedAnswer(buttons);
    return answer;
}

std::optional<QString> QtDialogs::input(const QString& caption, const QString& prompt,
                                        const QString& initial, bool masked)
{
    QInputDialog dialog(m_parent);
    dialog.setInputMode(QInputDialog::TextInput);
    dialog.setWindowTitle(caption);
    dialog.setLabelText(prompt);
    dialog.setTextValue(initial);
    if (masked) {
        dialog.setTextEchoMode(QLineEdit::Password);
        if (auto* edit = dialog.findChild<QLineEdit*>())
            maskWithAsterisks(edit);
    }
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    return dialog.textValue();
}

void installItalianTranslations(QCoreApplication& app)
{
    const QString marker = QStringLiteral("velmora-qt-italian");
    if (app.findChild<QTranslator*>(marker, Qt::FindDirectChildrenOnly))
        return;

    const QString folder = QLibraryInfo::path(QLibraryInfo::TranslationsPath);
    // qt_it is a catalogue of the Qt modules; qtbase_it holds the standard
    // buttons and is the one that matters.
    for (const char* name : {"qtbase_it", "qt_it"}) {
        auto* translator = new QTranslator(&app);
        if (translator->load(QString::fromLatin1(name), folder)) {
            translator->setObjectName(marker);
            app.installTranslator(translator);
        } else {
            delete translator;
        }
    }
}

int QtDialogs::execForm(QDialog& form)
{
    return form.exec();
}

QPrinter& QtDialogs::printer()
{
    if (!m_printer) {
        m_printer = std::make_unique<QPrinter>(QPrinter::HighResolution);
        m_printer->setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait,
                                             QMarginsF(10, 10, 10, 10), QPageLayout::Millimeter));
        m_printer->setCreator(QCoreApplication::applicationName());
    }
    return *m_printer;
}

bool QtDialogs::printSetup(const print::Document& doc)
{
    QPrinter& p = printer();
    const int lastPage = std::max(1, doc.pageCount());

    p.setDocName(doc.title);
    p.setPageLayout(pageLayoutFor(doc));
    // Printer, copies and PDF folder carry over from the last report; the
    // pages do not: a new report starts from all of its own.
    p.setPrintRange(QPrinter::AllPages);
    p.setFromTo(1, lastPage);
    if (p.outputFormat() == QPrinter::PdfFormat)
        proposePdfFile(p, doc);

    QPrintDialog dialog(&p, m_parent);
    dialog.setWindowTitle(QStringLiteral("Imposta stampa"));
    dialog.setOptions(QAbstractPrintDialog::PrintToFile | QAbstractPrintDialog::PrintPageRange
                      | QAbstractPrintDialog::PrintCollateCopies
                      | QAbstractPrintDialog::PrintShowPageSize);
    dialog.setMinMax(1, lastPage);
    // On accepting, the dialog sets the printer: with "Print to File (PDF)"
    // chosen, PDF output into the file named there.
    return dialog.exec() == QDialog::Accepted;
}

bool QtDialogs::openUrl(const QUrl& url)
{
    return QDesktopServices::openUrl(url);
}

void QtDialogs::preview(const print::Document& doc)
{
    QPrinter& p = printer();
    p.setDocName(doc.title);
    // Reached without a set-up: a PDF still needs a name for the print button.
    if (p.outputFormat() == QPrinter::PdfFormat && p.outputFileName().isEmpty())
        proposePdfFile(p, doc);

    // The preview's print button opens Qt's print dialog on this same
    // printer, already set as chosen in the set-up (printer, or PDF file),
    // and then paints the pages there.
    QPrintPreviewDialog dialog(&p, m_parent);
    dialog.setWindowTitle(QStringLiteral("Anteprima di stampa"));
    dialog.setWindowFlags(dialog.windowFlags() | Qt::WindowMinMaxButtonsHint);
    QObject::connect(&dialog, &QPrintPreviewDialog::paintRequested, &dialog,
                     [&doc](QPrinter* target) { doc.print(*target); });

    // Restored, it still fills most of the screen; it opens maximised.
    QScreen* screen = m_parent ? m_parent->screen() : QGuiApplication::primaryScreen();
    if (screen)
        dialog.resize(screen->availableGeometry().size() * 0.85);
    dialog.setWindowState(dialog.windowState() | Qt::WindowMaximized);
    dialog.exec();
}

} // namespace velmora
