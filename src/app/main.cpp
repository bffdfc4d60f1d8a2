#include "datafolder.h"
#include "upgrade.h"

#include <QApplication>
#include <QDir>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    app.setApplicationName(QStringLiteral("Velmora"));
    // The data folder lives beside the program; without it, or without the
    // children table, there is nothing to work on.
    const QString dbPath = QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("db"));
    velmora::store::DataFolder folder(dbPath);
    if (!folder.exists() || folder.filePath(QStringLiteral("AnagBimbi.DB")).isEmpty())
        return 1;
    return 0;
}
