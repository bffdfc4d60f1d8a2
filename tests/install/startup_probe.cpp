// The program's start-up for the install test, run by real accounts: the
// main window is built on a program folder as the program's entry builds it
// (lock, folder check and restore question, daily copy, first nursery), but
// every box is written on standard output, one line each ("BOX Errore: ..."),
// and answered from the command line instead of waiting for a click.
//   startup_probe <program folder> [--risposte si,no,...] [--nido <name>] [--tieni <seconds>]
// --risposte answers the questions in turn ("si": Yes, "no": No, "annulla":
// Cancel where offered), No to any question beyond them; --nido types <name> into
// the first-nursery form and confirms it, so that the program posts the new
// nursery; --tieni keeps the program, and so the folder's lock, for that long.
// Exits as the program would: 1 when it cannot start, 0 otherwise.
#include "dataedits.h"
#include "dialogs.h"
#include "inserimentonido.h"
#include "mainwindow.h"

#include <QApplication>
#include <QDialog>
#include <QLineEdit>
#include <QTest>
#include <QTextStream>
#include <QThread>
#include <QTimer>
#include <QUrl>

#include <cstdio>
#include <optional>

namespace {

class PrintedDialogs : public velmora::Dialogs
{
public:
    QStringList answers;
    QString nursery;

    velmora::Button message(velmora::BoxType type, const QString& text, velmora::Buttons buttons,
                            const QString& caption) override
    {
        QString line = text;
        line.replace(QLatin1Char('\n'), QLatin1String(" / "));
        QTextStream(stdout) << "BOX " << effectiveCaption(type, caption) << ": " << line << Qt::endl;
        buttons = effectiveButtons(buttons);
        if (!buttons.testFlag(velmora::Button::Yes))
            return velmora::Button::Ok;
        const QString answer = answers.isEmpty() ? QStringLiteral("no") : answers.takeFirst();
        if (answer == QLatin1String("si"))
            return velmora::Button::Yes;
        if (answer == QLatin1String("annulla") && buttons.testFlag(velmora::Button::Cancel))
            return velmora::Button::Cancel;
        return velmora::Button::No;
    }
    std::optional<QString> input(const QString&, const QString& prompt, const QString&, bool) override
    {
        QTextStream(stdout) << "INPUT " << prompt << Qt::endl;
        return std::nullopt;
    }
    int execForm(QDialog& form) override
    {
        QTextStream(stdout) << "FORM " << form.objectName() << Qt::endl;
        auto* nido = qobject_cast<velmora::TFrm_InserimentoNido*>(&form);
        if (!nido || nursery.isEmpty())
            return QDialog::Rejected;
        QTest::keyClicks(nido->findChild<QLineEdit*>(QStringLiteral("DBEdit1")), nursery);
        return QDialog::Accepted;
    }
    bool printSetup(const velmora::print::Document&) override { return false; }
    void preview(const velmora::print::Document&) override {}
    bool openUrl(const QUrl& url) override
    {
        QTextStream(stdout) << "URL " << url.toString() << Qt::endl;
        return true;
    }
};

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    app.setApplicationName(QStringLiteral("Velmora"));
    const QStringList args = app.arguments();
    if (args.size() < 2) {
        QTextStream(stderr) << "uso: startup_probe <cartella del programma> [--risposte si,no,...] [--nido <nome>] "
                               "[--tieni <secondi>]\n";
        return 2;
    }
    PrintedDialogs dialogs;
    if (const qsizetype i = args.indexOf(QStringLiteral("--risposte")); i > 0 && i + 1 < args.size())
        dialogs.answers = args[i + 1].split(QLatin1Char(','), Qt::SkipEmptyParts);
    if (const qsizetype i = args.indexOf(QStringLiteral("--nido")); i > 0 && i + 1 < args.size())
        dialogs.nursery = args[i + 1];
    int hold = 0;
    if (const qsizetype i = args.indexOf(QStringLiteral("--tieni")); i > 0 && i + 1 < args.size())
        hold = args[i + 1].toInt();

    velmora::TFrm_Main window(args[1], dialogs);
    if (window.dataFolderMissing() || window.cannotStart()) {
        QTextStream(stdout) << "FINE 1" << Qt::endl;
        return 1;
    }
    window.Start.attendiCopiaGiornaliera();
    QCoreApplication::processEvents();
    QTextStream(stdout) << "AVVIATO" << Qt::endl;
    if (hold > 0) {
        QTimer::singleShot(hold * 1000, &app, &QCoreApplication::quit);
        app.exec();
    }
    return 0;
}
