// Velmora: the program entry. Finds the data folder beside the program,
// upgrades it when it comes from an older version, and checks that its
// tables open.
#include "datafolder.h"
#include "errors.h"
#include "qtdialogs.h"
#include "table.h"
#include "upgrade.h"

#include <QApplication>
#include <QDir>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    app.setApplicationName(QStringLiteral("Velmora"));
    velmora::installItalianTranslations(app);

    // The data folder lives beside the program. Without it, or without the
    // children table, there is nothing to work on: end at once, with a
    // status a script or a terminal can see.
    const QString dbPath = QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("db"));
    velmora::store::DataFolder folder(dbPath);
    if (!folder.exists() || folder.filePath(QStringLiteral("AnagBimbi.DB")).isEmpty())
        return 1;

    velmora::QtDialogs dialogs;
    velmora::store::AggiornaSchema(folder, [&](const QString& text) { dialogs.warning(text); });

    try {
        velmora::store::Table nurseries(QStringLiteral("Tbl_AnagNido"));
        nurseries.setDataFolder(&folder);
        nurseries.setTableName(QStringLiteral("AnagNido.db"));
        nurseries.setIndexName(QStringLiteral("Nominativo"));
        nurseries.setReadOnly(true);
        nurseries.open();
    } catch (const velmora::store::DbError& e) {
        dialogs.error(e.message());
        return 1;
    }
    return 0;
}
