#include "upgrade.h"
#include "datafolder.h"
#include "errors.h"
#include "schema.h"

#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>

namespace velmora::store {

const char* const upgradeNeededText =
    "I Database sono attualmente aggiornati alla versione 1.02.Per proseguire è necessario effettuare "
    "l'upgrade alla versione 1.12!\nCliccando sul tasto Ok l'upgrade verrà effettuato in modo automatico";
const char* const upgradeDoneText = "Aggiornamento completato";
const char* const upgradedTable = "AnagBimbi";
const char* const upgradedColumn = "Frequenza";

void AggiornaSchema(DataFolder& folder, const std::function<void(const QString&)>& warning)
{
    QSqlDatabase db;
    try {
        db = folder.connection(QStringLiteral("AnagBimbi.DB"));
    } catch (const DbError&) {
        // Without the children table there is nothing to probe or upgrade;
        // start-up has already refused such a folder.
        return;
    }
    {
        QSqlQuery probe(db);
        if (probe.exec(QStringLiteral("Select Frequenza from AnagBimbi")))
            return;
        // Only a table that lacks the column is the older layout. Any other
        // failure (no such table in an empty file, a damaged page, a file
        // held by another program) is not for the upgrade to mend.
        if (!probe.lastError().databaseText().startsWith(QLatin1String("no such column"), Qt::CaseInsensitive))
            return;
    }
    warning(QString::fromUtf8(upgradeNeededText));
    QSqlQuery alter(db);
    if (alter.exec(QStringLiteral("ALTER TABLE AnagBimbi ADD COLUMN Frequenza Boolean")))
        warning(QString::fromUtf8(upgradeDoneText));
}

void ensureSelectionIndex(DataFolder& folder)
{
    QSqlDatabase db;
    try {
        db = folder.connection(QStringLiteral("Valutaz.db"));
    } catch (const DbError&) {
        return;
    }
    // Asked first with a read, so that a folder that has it never takes the
    // file for writing at start-up.
    {
        QSqlQuery probe(db);
        probe.prepare(QStringLiteral("SELECT 1 FROM sqlite_master WHERE type = 'index' AND name = 'ix_Valutaz_Sel'"));
        if (!probe.exec() || probe.next())
            return;
    }
    QSqlQuery create(db);
    (void)create.exec(selectionIndexStatement());
}

} // namespace velmora::store
