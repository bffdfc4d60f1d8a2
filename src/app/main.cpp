// Velmora: the program entry.
#include "fonts.h"
#include "mainwindow.h"
#include "qtdialogs.h"

#include <QApplication>
#include <QLocale>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    app.setApplicationName(QStringLiteral("Velmora"));
    velmora::installItalianTranslations(app);
    // The faces the windows were laid out for (Debian's fonts-wine); without
    // them a narrower stand-in is used.
    velmora::loadProgramFonts();
    // Everything the user sees is Italian, dates and numbers included, also
    // on a machine whose regional settings are not ("3,5", "10/12/26").
    if (QLocale::system().language() != QLocale::Italian)
        QLocale::setDefault(QLocale(QLocale::Italian, QLocale::Italy));

    velmora::QtDialogs dialogs;
    velmora::TFrm_Main window(QCoreApplication::applicationDirPath(), dialogs);
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
