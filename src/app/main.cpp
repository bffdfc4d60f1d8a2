// Velmora: the program entry.
#include "fonts.h"
#include "mainwindow.h"
#include "qtdialogs.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QIcon>
#include <QLocale>

#include <cstdio>

int main(int argc, char** argv)
{
    // The data folder is shared by the educators' accounts through its group
    // (set at install). What the program creates in it (the lock and its
    // note, the daily copies, a restored file, the mark of a damaged one) is
    // given the folder's group and mode explicitly, and SQLite gives its
    // journals the mode of their table file: nothing there depends on the
    // user's umask, which is left as it is.
    QApplication app(argc, argv);
    app.setApplicationName(QStringLiteral("Velmora"));
    QIcon icon;
    for (int size : {16, 32, 48, 64, 128, 256})
        icon.addFile(QStringLiteral(":/icons/velmora-%1.png").arg(size), QSize(size, size));
    app.setWindowIcon(icon);
    app.setDesktopFileName(QStringLiteral("velmora"));
    velmora::installItalianTranslations(app);

    // One option: the tables on a PostgreSQL server instead of the data
    // folder's files, for this run (see store::chooseEngine).
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Velmora: registri e valutazioni del nido d'infanzia."));
    const QCommandLineOption help({QStringLiteral("h"), QStringLiteral("help")}, QStringLiteral("Mostra questo aiuto."));
    parser.addOption(help);
    const QCommandLineOption server(QStringLiteral("server"),
                                    QStringLiteral("Usa i dati del server PostgreSQL indicato dalla riga <riga> "
                                                   "(parole chiave di libpq, per esempio \"host=srv dbname=nido user=ada\") "
                                                   "invece dei file della cartella dati o di db/server.conf."),
                                    QStringLiteral("riga"));
    parser.addOption(server);
    if (!parser.parse(app.arguments())) {
        fprintf(stderr, "%s\n", qUtf8Printable(parser.errorText()));
        return 2;
    }
    if (parser.isSet(help)) {
        fputs(qUtf8Printable(parser.helpText()), stdout);
        return 0;
    }
    // The faces the windows were laid out for (Debian's fonts-wine); without
    // them a narrower stand-in is used.
    velmora::loadProgramFonts();
    // Everything the user sees is Italian, dates and numbers included, also
    // on a machine whose regional settings are not ("3,5", "10/12/26").
    if (QLocale::system().language() != QLocale::Italian)
        QLocale::setDefault(QLocale(QLocale::Italian, QLocale::Italy));

    // Making the window runs the start-up, one sequence in
    // startup::Avvio::avvia (src/startup): data folder, its lock, the check
    // of every file and the restore question, the schema steps, the day's
    // copy, a first nursery.
    velmora::QtDialogs dialogs;
    velmora::TFrm_Main window(QCoreApplication::applicationDirPath(), dialogs, parser.value(server));
    dialogs.setParent(&window);
    // A program without its data folder ends at once, with no window, and
    // with a status a script or a terminal can see.
    if (window.dataFolderMissing() || window.cannotStart())
        return 1;
    if (window.shouldEnd())
        return 0;
    window.show();
    return app.exec();
}
