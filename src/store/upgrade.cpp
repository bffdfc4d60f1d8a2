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

namespace {

bool onServer(const QSqlDatabase& db)
{
    return db.driverName() == QLatin1String("QPSQL");
}

// The version recorded in the file (on a server, in the table of versions),
// -1 when it cannot be read.
int userVersion(QSqlDatabase& db, const TableDef& def)
{
    QSqlQuery q(db);
    q.setForwardOnly(true);
    if (onServer(db)) {
        q.prepare(QStringLiteral("SELECT \"Versione\" FROM %1 WHERE \"Tabella\" = ?").arg(schemaVersionTable()));
        q.addBindValue(def.name);
        if (!q.exec())
            return -1;
        // A table laid before versions were recorded: the upgrade asks.
        return q.next() ? q.value(0).toInt() : 0;
    }
    if (!q.exec(QStringLiteral("PRAGMA user_version")) || !q.next())
        return -1;
    return q.value(0).toInt();
}

bool recordVersion(QSqlDatabase& db, const TableDef& def, int version)
{
    if (onServer(db))
        return QSqlQuery(db).exec(createStatements(def, version, Engine::PostgreSQL).constLast());
    return QSqlQuery(db).exec(QStringLiteral("PRAGMA user_version = %1").arg(version));
}

// Whether `sql` prepares: the table it names is there and readable.
bool prepares(QSqlDatabase& db, const QString& sql)
{
    QSqlQuery q(db);
    return q.prepare(sql);
}

// Runs one step on the file of its table. True when the file has what the
// step adds, whether it had it already or has it now.
bool applyStep(QSqlDatabase& db, const TableDef& def, const SchemaStep& step,
               const std::function<void(const QString&)>& warning)
{
    switch (step.kind) {
    case SchemaStep::Kind::AddField: {
        // Asked of the table's columns (a quoted name that is no column
        // would be read as a text by SELECT). Only a table that lacks the
        // column needs the step; a failure to read (a damaged page, a file
        // held by another program) is not for the upgrade to mend.
        const bool server = onServer(db);
        QSqlQuery columns(db);
        columns.setForwardOnly(true);
        const bool read = server
            ? columns.prepare(QStringLiteral("SELECT column_name FROM information_schema.columns "
                                             "WHERE table_schema = current_schema() AND table_name = ?"))
                && (columns.addBindValue(def.name), columns.exec())
            : columns.exec(QStringLiteral("PRAGMA table_info(%1)").arg(quoted(def.name)));
        if (!read)
            return false;
        bool any = false;
        while (columns.next()) {
            any = true;
            if (columns.value(server ? 0 : 1).toString().compare(step.object, Qt::CaseInsensitive) == 0)
                return true;
        }
        if (!any || columns.lastError().isValid())
            return false;
        columns.finish();
        if (step.announced)
            warning(QString::fromUtf8(upgradeNeededText));
        QSqlQuery alter(db);
        if (!alter.exec(QStringLiteral("ALTER TABLE %1 ADD COLUMN %2")
                            .arg(quoted(def.name), columnSql(def.fields[def.fieldIndex(step.object)],
                                                             server ? Engine::PostgreSQL : Engine::SQLite))))
            return false;
        if (step.announced)
            warning(QString::fromUtf8(upgradeDoneText));
        return true;
    }
    case SchemaStep::Kind::AddIndex: {
        // Asked first with a read, so that a file that has it is not written.
        QSqlQuery probe(db);
        probe.setForwardOnly(true);
        const bool server = onServer(db);
        probe.prepare(server ? QStringLiteral("SELECT 1 FROM pg_indexes WHERE schemaname = current_schema() AND indexname = ?")
                             : QStringLiteral("SELECT 1 FROM sqlite_master WHERE type = 'index' AND name = ?"));
        probe.addBindValue(step.object);
        if (!probe.exec())
            return false;
        if (probe.next())
            return true;
        probe.finish();
        QSqlQuery create(db);
        return create.exec(stepStatement(step, server ? Engine::PostgreSQL : Engine::SQLite));
    }
    case SchemaStep::Kind::AddNotify: {
        // One computer has no one to tell.
        if (!onServer(db))
            return true;
        QSqlQuery probe(db);
        probe.setForwardOnly(true);
        probe.prepare(QStringLiteral("SELECT 1 FROM pg_trigger t JOIN pg_class c ON c.oid = t.tgrelid "
                                     "WHERE c.relnamespace = current_schema()::regnamespace AND c.relname = ? AND t.tgname = ?"));
        probe.addBindValue(def.name);
        probe.addBindValue(step.object);
        if (!probe.exec())
            return false;
        if (probe.next())
            return true;
        probe.finish();
        for (const QString& sql : notifyStatements(def))
            if (!QSqlQuery(db).exec(sql))
                return false;
        return true;
    }
    }
    return false;
}

} // namespace

void AggiornaSchema(DataFolder& folder, const std::function<void(const QString&)>& warning)
{
    const int current = currentSchemaVersion();
    for (const TableDef& def : schema()) {
        QSqlDatabase db;
        try {
            db = folder.connection(def.fileName);
        } catch (const DbError&) {
            // A missing file: start-up has already refused such a folder.
            continue;
        }
        const int version = userVersion(db, def);
        if (version < 0 || version >= current)
            continue;
        // A file without its table is damage, not an older layout.
        if (!prepares(db, QStringLiteral("SELECT 1 FROM %1").arg(quoted(def.name))))
            continue;
        bool done = true;
        for (const SchemaStep& step : schemaSteps()) {
            if (step.version <= version || step.table.compare(def.name, Qt::CaseInsensitive) != 0)
                continue;
            if (!applyStep(db, def, step, warning)) {
                done = false;
                break;
            }
        }
        // Failing to record the version (a read-only file) only means the
        // next start asks the steps again.
        if (done)
            (void)recordVersion(db, def, current);
    }
}

} // namespace velmora::store
