#include "installer.h"
#include "datafolder.h"
#include "errors.h"
#include "schema.h"

#include <QDir>
#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QSet>
#include <QUuid>

#include <functional>

namespace velmora::store {

// Areas of development observed in children from 3 to 36 months.
const DefaultArea defaultAreas[] = {
    {"Sviluppo motorio globale", "MG"},
    {"Motricità fine e coordinazione oculo-manuale", "MF"},
    {"Linguaggio e comunicazione", "LC"},
    {"Sviluppo cognitivo", "CO"},
    {"Relazione con gli adulti e con i pari", "RS"},
    {"Sviluppo affettivo ed emotivo", "AE"},
    {"Autonomia personale", "AU"},
    {"Gioco e attività simbolica", "GS"},
};
const int defaultAreaCount = int(std::size(defaultAreas));

const char* const defaultRoles[] = {
    "Educatrice di riferimento",
    "Educatrice di sezione",
    "Coordinatrice pedagogica",
    "Osservatrice",
    "Tirocinante",
};
const int defaultRoleCount = int(std::size(defaultRoles));

namespace {

// The rows a table starts with: {Area, AreaBreve} and roles.
void insertDefaults(QSqlDatabase& db, const TableDef& def, const std::function<DbError(const QSqlError&)>& fail)
{
    auto insertAll = [&](const QString& sql, const QList<QVariantList>& rows) {
        QSqlQuery q(db);
        q.prepare(sql);
        for (const QVariantList& row : rows) {
            for (const QVariant& v : row)
                q.addBindValue(v);
            if (!q.exec())
                throw fail(q.lastError());
        }
    };
    if (def.name == QLatin1String("Aree")) {
        QList<QVariantList> rows;
        for (const DefaultArea& a : defaultAreas)
            rows << QVariantList{QString::fromUtf8(a.area), QString::fromUtf8(a.code)};
        insertAll(QStringLiteral("INSERT INTO \"Aree\" (\"Area\", \"AreaBreve\") VALUES (?, ?)"), rows);
    } else if (def.name == QLatin1String("Ruoli")) {
        QList<QVariantList> rows;
        for (const char* r : defaultRoles)
            rows << QVariantList{QString::fromUtf8(r)};
        insertAll(QStringLiteral("INSERT INTO \"Ruoli\" (\"Ruolo\") VALUES (?)"), rows);
    }
}

void layTable(const QString& folder, const TableDef& def, int version)
{
    DataFolder df(folder);
    {
        // The file does not exist yet: SQLite creates it on first use.
        QFile touch(QDir(folder).filePath(def.fileName));
        if (!touch.open(QIODevice::WriteOnly))
            throw DbError(QStringLiteral("Impossibile creare il file \"%1\".").arg(touch.fileName()));
    }
    QSqlDatabase db = df.connection(def.fileName);
    exec(db, QStringLiteral("BEGIN"));
    for (const QString& sql : createStatements(def, version))
        exec(db, sql);
    insertDefaults(db, def, [&](const QSqlError& e) { return engineError(e, db.databaseName()); });
    exec(db, QStringLiteral("COMMIT"));
}

} // namespace

QStringList missingServerTables(DataFolder& folder)
{
    QSqlDatabase db = folder.connection(schema().constFirst().fileName);
    QSqlQuery q(db);
    q.setForwardOnly(true);
    q.prepare(QStringLiteral("SELECT table_name FROM information_schema.tables WHERE table_schema = current_schema()"));
    if (!q.exec())
        throw folder.error(q.lastError(), schema().constFirst().fileName);
    QSet<QString> present;
    while (q.next())
        present.insert(q.value(0).toString());
    q.finish();
    QStringList missing;
    for (const TableDef& def : schema())
        if (!present.contains(def.name))
            missing << def.name;
    return missing;
}

QString layServerTables(DataFolder& folder, int schemaVersion)
{
    if (!folder.isServer())
        return QStringLiteral("La cartella dati \"%1\" non è su un server.").arg(QDir::toNativeSeparators(folder.path()));
    if (schemaVersion < 0)
        schemaVersion = currentSchemaVersion();
    try {
        QSqlDatabase db = folder.connection(schema().constFirst().fileName);
        const QStringList missing = missingServerTables(folder);
        for (const TableDef& def : schema())
            if (!missing.contains(def.name))
                return QStringLiteral("Il database del server contiene già la tabella %1: non viene modificato.").arg(def.name);
        if (!db.transaction())
            throw folder.error(db.lastError(), schema().constFirst().fileName);
        try {
            exec(db, schemaVersionTableStatement());
            for (const TableDef& def : schema()) {
                for (const QString& sql : createStatements(def, schemaVersion, Engine::PostgreSQL))
                    exec(db, sql);
                insertDefaults(db, def, [&](const QSqlError& e) { return folder.error(e, def.fileName); });
            }
            if (!db.commit())
                throw folder.error(db.lastError(), schema().constFirst().fileName);
        } catch (...) {
            db.rollback();
            throw;
        }
    } catch (const DbError& e) {
        return e.message();
    }
    return QString();
}

QString layDataFolder(const QString& path, Layout layout)
{
    // The older layout is that of release 1.02, before any schema step.
    return layDataFolder(path, layout == Layout::Older ? 0 : currentSchemaVersion());
}

QString layDataFolder(const QString& path, int schemaVersion)
{
    const QString target = QDir::cleanPath(QDir::current().absoluteFilePath(path));
    if (QFileInfo::exists(target))
        return QStringLiteral("La cartella \"%1\" esiste già: non viene modificata.").arg(QDir::toNativeSeparators(target));
    const QFileInfo info(target);
    if (!QDir().mkpath(info.absolutePath()))
        return QStringLiteral("Impossibile creare la cartella \"%1\".").arg(QDir::toNativeSeparators(info.absolutePath()));
    const QString staging = info.absolutePath() + QStringLiteral("/.%1.%2").arg(info.fileName(), QUuid::createUuid().toString(QUuid::Id128));
    if (!QDir().mkdir(staging))
        return QStringLiteral("Impossibile creare la cartella \"%1\".").arg(QDir::toNativeSeparators(staging));
    try {
        for (const TableDef& def : schema())
            layTable(staging, def, schemaVersion);
    } catch (const DbError& e) {
        QDir(staging).removeRecursively();
        return e.message();
    }
    if (!QDir().rename(staging, target)) {
        QDir(staging).removeRecursively();
        return QStringLiteral("Impossibile creare la cartella \"%1\".").arg(QDir::toNativeSeparators(target));
    }
    return QString();
}

} // namespace velmora::store
