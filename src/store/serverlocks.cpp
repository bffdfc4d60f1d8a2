#include "serverlocks.h"
#include "datafolder.h"
#include "schema.h"

#include <QSqlError>
#include <QSqlQuery>

namespace velmora::store {

namespace {

// The program's one connection to the server (every table shares it).
QSqlDatabase serverDb(DataFolder& folder)
{
    return folder.connection(schema().first().fileName);
}

// Runs `sql` (one boolean result) on the folder's connection.
bool ask(DataFolder& folder, const QString& sql, QString* why)
{
    QSqlDatabase db = serverDb(folder);
    QSqlQuery q(db);
    q.setForwardOnly(true);
    countStatements(3); // prepare, execute and deallocate
    q.prepare(sql);
    q.addBindValue(serverLockKey());
    if (!q.exec() || !q.next()) {
        if (why)
            *why = folder.error(q.lastError(), schema().first().fileName).message();
        return false;
    }
    const bool got = q.value(0).toBool();
    q.finish();
    return got;
}

} // namespace

int serverLockKey()
{
    // "VELM" in ASCII: a key no other program on the database is likely to use.
    return 0x56454C4D;
}

bool holdProgramLock(DataFolder& folder, QString* why)
{
    QString cause;
    if (ask(folder, QStringLiteral("SELECT pg_try_advisory_lock_shared(?, hashtext(current_schema()))"), &cause)) {
        folder.setHoldsProgramLock(true);
        return true;
    }
    if (why)
        *why = cause.isEmpty()
                   ? QStringLiteral("Sul %1 l'amministratore sta preparando, importando o aggiornando le tabelle "
                                    "(velmora-server): riprovare quando ha finito.")
                         .arg(folder.serverLine().describe())
                   : cause;
    return false;
}

bool takeExclusiveLock(DataFolder& folder, QString* why)
{
    QString cause;
    if (ask(folder, QStringLiteral("SELECT pg_try_advisory_lock(?, hashtext(current_schema()))"), &cause))
        return true;
    if (why)
        *why = cause.isEmpty()
                   ? QStringLiteral("Sul %1 sono al lavoro altri programmi Velmora (o lo strumento "
                                    "dell'amministratore): chiuderli tutti e riprovare.")
                         .arg(folder.serverLine().describe())
                   : cause;
    return false;
}

void releaseExclusiveLock(DataFolder& folder)
{
    ask(folder, QStringLiteral("SELECT pg_advisory_unlock(?, hashtext(current_schema()))"), nullptr);
}

bool serverSchemaIsCurrent(DataFolder& folder)
{
    QSqlDatabase db = serverDb(folder);
    QSqlQuery q(db);
    q.setForwardOnly(true);
    // A table with no row is at version 0: laid before versions were kept.
    countStatements();
    if (!q.exec(QStringLiteral("SELECT COUNT(*) FROM %1 WHERE \"Versione\" >= %2")
                    .arg(schemaVersionTable())
                    .arg(currentSchemaVersion()))
        || !q.next())
        throw folder.error(q.lastError(), schemaVersionTable());
    const int current = q.value(0).toInt();
    q.finish();
    return current >= schema().size();
}

} // namespace velmora::store
