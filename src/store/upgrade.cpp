#include "upgrade.h"
#include "datafolder.h"
#include "errors.h"

#include <QSqlDatabase>
#include <QSqlQuery>

namespace velmora::store {

const char* const upgradeNeededText =
    "I Database sono attualmente aggiornati alla versione 1.02.Per proseguire è necessario effettuare "
    "l'upgrade alla versione 1.12!\nCliccando sul tasto Ok l'upgrade verrà effettuato in modo automatico";
const char* const upgradeDoneText = "Aggiornamento completato";

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
    }
    warning(QString::fromUtf8(upgradeNeededText));
    QSqlQuery alter(db);
    if (alter.exec(QStringLiteral("ALTER TABLE AnagBimbi ADD COLUMN Frequenza Boolean")))
        warning(QString::fromUtf8(upgradeDoneText));
}

} // namespace velmora::store
