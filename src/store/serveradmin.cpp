#include "serveradmin.h"
#include "datafolder.h"
#include "installer.h"
#include "schema.h"
#include "serverlocks.h"

#include <algorithm>
#include <optional>
#include <QDate>
#include <QDir>
#include <QFileInfo>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QUuid>

namespace velmora::store {

namespace {

// A count with its words in the singular or the plural: "1 riga importata",
// "2 righe importate".
QString counted(qint64 n, const char* one, const char* many)
{
    return QString::number(n) + QLatin1Char(' ') + QLatin1String(n == 1 ? one : many);
}

// The server's one connection (every table shares it).
QSqlDatabase serverDb(DataFolder& server)
{
    return server.connection(schema().constFirst().fileName);
}

// Holds the exclusive lock for a step, and lets go of it whatever happens.
class ExclusiveStep
{
public:
    explicit ExclusiveStep(DataFolder& server) : m_server(server) { m_held = takeExclusiveLock(server, &m_why); }
    ~ExclusiveStep()
    {
        if (m_held)
            releaseExclusiveLock(m_server);
    }
    bool held() const { return m_held; }
    QString why() const { return m_why; }

private:
    DataFolder& m_server;
    bool m_held = false;
    QString m_why;
};

AdminReport refused(const QString& line)
{
    AdminReport r;
    r.lines << line;
    return r;
}

// The columns of a table's file, by lower-case name.
QStringList sqliteColumns(QSqlDatabase& db, const TableDef& def)
{
    QStringList columns;
    QSqlQuery q(db);
    if (q.exec(QStringLiteral("PRAGMA table_info(%1)").arg(quoted(def.name))))
        while (q.next())
            columns << q.value(1).toString().toLower();
    return columns;
}

// A stored value as the column of `field` takes it on the other engine.
QVariant converted(const FieldDef& field, const QVariant& value)
{
    if (value.isNull())
        return QVariant();
    switch (field.type) {
    case FieldType::AutoInc:
    case FieldType::Integer: return value.toLongLong();
    case FieldType::Boolean:
        if (value.typeId() == QMetaType::QString)
            return value.toString() != QLatin1String("0") && value.toString().compare(QLatin1String("false"), Qt::CaseInsensitive) != 0;
        return value.toBool();
    case FieldType::Date: {
        const QDate d = value.typeId() == QMetaType::QDate ? value.toDate()
                                                           : QDate::fromString(value.toString().left(10), Qt::ISODate);
        return d.isValid() ? QVariant(d) : QVariant();
    }
    case FieldType::Float: return value.toDouble();
    case FieldType::String:
    case FieldType::Memo:
        // A server refuses U+0000 in a text, which nobody sees: it is left
        // out, as the program leaves it out of what is typed.
        return QString(value.toString()).remove(QChar(0));
    }
    return value;
}

// Copies the rows of `def` from `from` into `to` (the table empty there).
// `columns` are the fields both sides hold. `cut` notes texts longer than
// their column (cutAt > 0: they are cut to it), `nuls` texts that held the
// character U+0000 (left out, see converted()). Returns the rows copied.
qint64 copyRows(QSqlDatabase& from, QSqlDatabase& to, const TableDef& def, const QList<FieldDef>& columns,
                QStringList* cut, const std::function<DbError(const QSqlError&)>& error, QStringList* nuls = nullptr)
{
    QStringList names, marks;
    for (const FieldDef& f : columns) {
        names << quoted(f.name);
        marks << QStringLiteral("?");
    }
    QSqlQuery read(from);
    read.setForwardOnly(true);
    if (!read.exec(QStringLiteral("SELECT %1 FROM %2 ORDER BY %3")
                       .arg(names.join(QStringLiteral(", ")), quoted(def.name), quoted(def.fields.constFirst().name))))
        throw error(read.lastError());
    // Every row read first: on a server a walk ends when another statement
    // runs on its connection.
    QList<QVariantList> rows;
    while (read.next()) {
        QVariantList row;
        for (int i = 0; i < columns.size(); ++i) {
            const FieldDef& f = columns.at(i);
            const QVariant stored = read.value(i);
            if (nuls && (f.type == FieldType::String || f.type == FieldType::Memo)
                && stored.toString().contains(QChar(0)))
                *nuls << QStringLiteral("%1, Id %2, campo %3").arg(def.name, read.value(0).toString(), f.name);
            row << converted(f, stored);
        }
        rows << row;
    }
    read.finish();
    // Many rows per INSERT: on a server each statement is a round trip,
    // and a million rows one by one would take minutes.
    constexpr int batchRows = 200;
    const QString tuple = QStringLiteral("(%1)").arg(marks.join(QStringLiteral(", ")));
    const auto insertOf = [&](int n) {
        QSqlQuery q(to);
        QStringList tuples;
        for (int i = 0; i < n; ++i)
            tuples << tuple;
        if (!q.prepare(QStringLiteral("INSERT INTO %1 (%2) VALUES %3")
                           .arg(quoted(def.name), names.join(QStringLiteral(", ")), tuples.join(QStringLiteral(", ")))))
            throw error(q.lastError());
        return q;
    };
    std::optional<QSqlQuery> full, tail;
    for (qsizetype start = 0; start < rows.size(); start += batchRows) {
        const int n = int(std::min<qsizetype>(batchRows, rows.size() - start));
        std::optional<QSqlQuery>& slot = n == batchRows ? full : tail;
        if (!slot)
            slot = insertOf(n);
        QSqlQuery& write = *slot;
        for (qsizetype r = start; r < start + n; ++r) {
            QVariantList& row = rows[r];
            for (int i = 0; i < columns.size(); ++i) {
                const FieldDef& f = columns.at(i);
                if (cut && f.type == FieldType::String && f.size > 0 && row.at(i).toString().size() > f.size) {
                    *cut << QStringLiteral("%1, Id %2, campo %3: %4 caratteri tagliati a %5 (\"%6\")")
                                .arg(def.name, row.at(0).toString(), f.name)
                                .arg(row.at(i).toString().size())
                                .arg(f.size)
                                .arg(row.at(i).toString().left(f.size));
                    row[i] = row.at(i).toString().left(f.size);
                }
                write.addBindValue(row.at(i));
            }
        }
        if (!write.exec())
            throw error(write.lastError());
    }
    return rows.size();
}

qint64 countRows(QSqlDatabase& db, const TableDef& def, const std::function<DbError(const QSqlError&)>& error)
{
    QSqlQuery q(db);
    q.setForwardOnly(true);
    if (!q.exec(QStringLiteral("SELECT COUNT(*) FROM %1").arg(quoted(def.name))) || !q.next())
        throw error(q.lastError());
    return q.value(0).toLongLong();
}

// Up to `count` rows of `def`, spread over the table by Id, each as text.
QMap<qint64, QVariantList> sampleRows(QSqlDatabase& db, const TableDef& def, const QList<FieldDef>& columns, int count,
                                     const std::function<DbError(const QSqlError&)>& error)
{
    QStringList names;
    for (const FieldDef& f : columns)
        names << quoted(f.name);
    QSqlQuery q(db);
    q.setForwardOnly(true);
    const QString id = quoted(def.fields.constFirst().name);
    if (!q.exec(QStringLiteral("SELECT %1 FROM %2 ORDER BY %3").arg(names.join(QStringLiteral(", ")), quoted(def.name), id)))
        throw error(q.lastError());
    QList<QVariantList> all;
    while (q.next()) {
        QVariantList row;
        for (int i = 0; i < columns.size(); ++i)
            row << converted(columns.at(i), q.value(i));
        all << row;
    }
    QMap<qint64, QVariantList> sample;
    const qsizetype step = std::max<qsizetype>(1, all.size() / std::max(1, count));
    for (qsizetype i = 0; i < all.size(); i += step)
        sample.insert(all.at(i).constFirst().toLongLong(), all.at(i));
    if (!all.isEmpty())
        sample.insert(all.constLast().constFirst().toLongLong(), all.constLast());
    return sample;
}

// A row for a message: its values between bars.
QString shown(const QVariantList& row)
{
    QStringList values;
    for (const QVariant& v : row)
        values << (v.isNull() ? QStringLiteral("(vuoto)") : v.toString());
    return values.join(QStringLiteral(" | "));
}

// A connection of its own to one file of a SQLite folder.
class SqliteFile
{
public:
    SqliteFile(const QString& path)
        : m_name(QStringLiteral("velmora-admin-%1").arg(QUuid::createUuid().toString(QUuid::Id128)))
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_name);
        db.setDatabaseName(path);
        m_open = db.open();
    }
    ~SqliteFile()
    {
        {
            QSqlDatabase db = QSqlDatabase::database(m_name, false);
            db.close();
        }
        QSqlDatabase::removeDatabase(m_name);
    }
    bool isOpen() const { return m_open; }
    QSqlDatabase db() const { return QSqlDatabase::database(m_name, false); }

private:
    QString m_name;
    bool m_open = false;
};

// The path of `fileName` in `folder`, found without regard to case.
QString fileIn(const QString& folder, const QString& fileName)
{
    for (const QFileInfo& f : QDir(folder).entryInfoList(QDir::Files))
        if (f.fileName().compare(fileName, Qt::CaseInsensitive) == 0)
            return f.absoluteFilePath();
    return QString();
}

const int sampleSize = 20;

} // namespace

AdminReport createServerTables(DataFolder& server)
{
    try {
        ExclusiveStep lock(server);
        if (!lock.held())
            return refused(lock.why());
        const QString why = layServerTables(server);
        if (!why.isEmpty())
            return refused(why);
    } catch (const DbError& e) {
        return refused(e.message());
    }
    AdminReport r;
    r.ok = true;
    r.lines << QStringLiteral("Tabelle create sul %1 (versione dello schema %2), con le aree e i ruoli di un'installazione nuova.")
                   .arg(server.serverLine().describe())
                   .arg(currentSchemaVersion());
    return r;
}

AdminReport importFolder(DataFolder& server, const QString& dbFolder)
{
    const QString folder = QDir::cleanPath(QDir::current().absoluteFilePath(dbFolder));
    for (const TableDef& def : schema())
        if (fileIn(folder, def.fileName).isEmpty())
            return refused(QStringLiteral("Nella cartella \"%1\" manca il file %2: non è una cartella dati del programma.")
                               .arg(QDir::toNativeSeparators(folder), def.fileName));
    AdminReport r;
    try {
        ExclusiveStep lock(server);
        if (!lock.held())
            return refused(lock.why());
        if (!missingServerTables(server).isEmpty()) {
            const QString why = layServerTables(server);
            if (!why.isEmpty())
                return refused(why);
        }
        QSqlDatabase db = serverDb(server);
        // Nothing but what an installation lays: those rows give way to the
        // folder's; anything more is data the import would mix with its own.
        for (const TableDef& def : schema()) {
            const auto error = [&](const QSqlError& e) { return server.error(e, def.fileName); };
            const qint64 n = countRows(db, def, error);
            const bool installed = (def.name == QLatin1String("Aree") && n <= defaultAreaCount)
                                   || (def.name == QLatin1String("Ruoli") && n <= defaultRoleCount);
            if (n > 0 && !installed)
                return refused(QStringLiteral("La tabella %1 del %2 contiene già %3: l'importazione si fa solo in un "
                                              "database vuoto o appena preparato con \"velmora-server crea\".")
                                   .arg(def.name, server.serverLine().describe(), counted(n, "riga", "righe")));
        }
        QStringList cut, nuls;
        if (!db.transaction())
            throw server.error(db.lastError(), schema().constFirst().fileName);
        try {
            for (const TableDef& def : schema()) {
                const auto error = [&](const QSqlError& e) { return server.error(e, def.fileName); };
                SqliteFile file(fileIn(folder, def.fileName));
                if (!file.isOpen())
                    throw DbError(QStringLiteral("Il file %1 non si può aprire.").arg(def.fileName), DbError::Cause::Missing);
                QSqlDatabase source = file.db();
                const QStringList present = sqliteColumns(source, def);
                QList<FieldDef> columns;
                for (const FieldDef& f : def.fields)
                    if (present.contains(f.name.toLower()))
                        columns << f;
                QSqlQuery clear(db);
                if (!clear.exec(QStringLiteral("DELETE FROM %1").arg(quoted(def.name))))
                    throw error(clear.lastError());
                const auto sourceError = [&](const QSqlError& e) {
                    return DbError(QStringLiteral("Il file %1 non si può leggere: %2").arg(def.fileName, e.text()),
                                   DbError::Cause::Damaged);
                };
                const qint64 copied = copyRows(source, db, def, columns, &cut, error, &nuls);
                // The next record gets an Id past every one imported.
                QSqlQuery advance(db);
                const QString id = def.fields.constFirst().name;
                if (!advance.exec(QStringLiteral("SELECT setval(pg_get_serial_sequence('%1', '%2'), "
                                                 "COALESCE((SELECT MAX(%3) FROM %1), 0) + 1, false)")
                                      .arg(quoted(def.name), id, quoted(id))))
                    throw error(advance.lastError());
                advance.finish();
                // Compared: the count on both sides and a sample of rows.
                const qint64 there = countRows(db, def, error);
                const qint64 here = countRows(source, def, sourceError);
                const auto a = sampleRows(source, def, columns, sampleSize, sourceError);
                const auto b = sampleRows(db, def, columns, sampleSize, error);
                int differ = 0;
                QString firstDiffer;
                for (auto it = a.cbegin(); it != a.cend(); ++it) {
                    QVariantList want = it.value();
                    for (int i = 0; i < columns.size(); ++i)
                        if (columns.at(i).type == FieldType::String && columns.at(i).size > 0 && !want.at(i).isNull())
                            want[i] = want.at(i).toString().left(columns.at(i).size);
                    if (b.value(it.key()) != want && differ++ == 0)
                        firstDiffer = QStringLiteral(" (Id %1: \"%2\" nella cartella, \"%3\" sul server)")
                                          .arg(it.key())
                                          .arg(shown(want), shown(b.value(it.key())));
                }
                if (there != here || there != copied || differ > 0)
                    throw DbError(QStringLiteral("Tabella %1: dopo la copia il server ha %2 righe contro %3 della cartella, "
                                                 "%4 righe campione diverse%5. Nulla è stato importato.")
                                      .arg(def.name)
                                      .arg(there)
                                      .arg(here)
                                      .arg(differ)
                                      .arg(firstDiffer),
                                  DbError::Cause::Engine);
                r.lines << QStringLiteral("%1: %2; conteggio uguale, %3.")
                               .arg(def.name, counted(copied, "riga importata", "righe importate"),
                                    counted(a.size(), "riga campione uguale", "righe campione uguali"));
            }
            if (!db.commit())
                throw server.error(db.lastError(), schema().constFirst().fileName);
        } catch (...) {
            db.rollback();
            throw;
        }
        if (cut.isEmpty()) {
            r.lines << QStringLiteral("Nessun testo è stato tagliato.");
        } else {
            r.lines << QStringLiteral("Testi più lunghi del loro campo sul server, tagliati (%1):").arg(cut.size());
            r.lines << cut;
        }
        if (!nuls.isEmpty()) {
            r.lines << QStringLiteral("Testi con caratteri nulli (U+0000), che il server non accetta, importati senza (%1):")
                           .arg(nuls.size());
            r.lines << nuls;
        }
    } catch (const DbError& e) {
        return refused(e.message());
    }
    r.ok = true;
    r.lines << QStringLiteral("Importazione completata dalla cartella \"%1\" nel %2.")
                   .arg(QDir::toNativeSeparators(folder), server.serverLine().describe());
    return r;
}

AdminReport exportFolder(DataFolder& server, const QString& target)
{
    const QString path = QDir::cleanPath(QDir::current().absoluteFilePath(target));
    if (QFileInfo::exists(path))
        return refused(QStringLiteral("La cartella \"%1\" esiste già: non viene modificata.").arg(QDir::toNativeSeparators(path)));
    AdminReport r;
    // The server asked first: nothing is laid for a server that does not answer.
    try {
        const QStringList missing = missingServerTables(server);
        if (!missing.isEmpty())
            return refused(QStringLiteral("Il %1 non contiene le tabelle del programma (manca %2).")
                               .arg(server.serverLine().describe(), missing.join(QStringLiteral(", "))));
        if (!serverSchemaIsCurrent(server))
            return refused(QStringLiteral("Le tabelle del %1 sono di una versione precedente: avviare prima il programma "
                                          "perché le aggiorni.")
                               .arg(server.serverLine().describe()));
    } catch (const DbError& e) {
        return refused(e.message());
    }
    // Laid beside the target and renamed into place once every row is there.
    const QFileInfo info(path);
    const QString staging = info.absolutePath() + QStringLiteral("/.%1.esporta").arg(info.fileName());
    QDir(staging).removeRecursively();
    const QString why = layDataFolder(staging);
    if (!why.isEmpty())
        return refused(why);
    try {
        QSqlDatabase db = serverDb(server);
        for (const TableDef& def : schema()) {
            SqliteFile file(fileIn(staging, def.fileName));
            QSqlDatabase out = file.db();
            const auto outError = [&](const QSqlError& e) {
                return DbError(QStringLiteral("Il file %1 non si può scrivere: %2").arg(def.fileName, e.text()),
                               DbError::Cause::Engine);
            };
            const auto error = [&](const QSqlError& e) {
                return DbError(QStringLiteral("Tabella %1: %2").arg(def.name, e.text()), DbError::Cause::Engine);
            };
            out.transaction();
            QSqlQuery clear(out);
            if (!clear.exec(QStringLiteral("DELETE FROM %1").arg(quoted(def.name))))
                throw outError(clear.lastError());
            const qint64 n = copyRows(db, out, def, def.fields, nullptr, error);
            // The Ids the server has handed out stay used: a record deleted
            // there does not give its Id to a new one here.
            QSqlQuery last(db);
            last.setForwardOnly(true);
            const QString id = def.fields.constFirst().name;
            if (!last.exec(QStringLiteral("SELECT pg_sequence_last_value(pg_get_serial_sequence('%1', '%2'))")
                               .arg(quoted(def.name), id))
                || !last.next())
                throw error(last.lastError());
            const QVariant handedOut = last.value(0);
            last.finish();
            if (!handedOut.isNull()) {
                QSqlQuery seq(out);
                seq.prepare(QStringLiteral("UPDATE sqlite_sequence SET seq = MAX(seq, ?) WHERE name = ?"));
                seq.addBindValue(handedOut.toLongLong());
                seq.addBindValue(def.name);
                if (!seq.exec())
                    throw outError(seq.lastError());
            }
            if (!out.commit())
                throw outError(out.lastError());
            r.lines << QStringLiteral("%1: %2.").arg(def.name, counted(n, "riga esportata", "righe esportate"));
        }
    } catch (const DbError& e) {
        QDir(staging).removeRecursively();
        return refused(e.message());
    }
    if (!QDir().rename(staging, path)) {
        QDir(staging).removeRecursively();
        return refused(QStringLiteral("Impossibile creare la cartella \"%1\".").arg(QDir::toNativeSeparators(path)));
    }
    r.ok = true;
    r.lines << QStringLiteral("Esportazione completata nella cartella \"%1\".").arg(QDir::toNativeSeparators(path));
    return r;
}

AdminReport checkServer(DataFolder& server)
{
    AdminReport r;
    r.ok = true;
    try {
        QSqlDatabase db = serverDb(server);
        r.lines << QStringLiteral("Il %1 risponde.").arg(server.serverLine().describe());
        const QStringList missing = missingServerTables(server);
        if (!missing.isEmpty()) {
            r.ok = false;
            r.lines << QStringLiteral("Mancano le tabelle: %1 (\"velmora-server crea\" o \"importa\").")
                           .arg(missing.join(QStringLiteral(", ")));
            return r;
        }
        if (serverSchemaIsCurrent(server)) {
            r.lines << QStringLiteral("Versione dello schema: %1, quella di questo programma.").arg(currentSchemaVersion());
        } else {
            r.ok = false;
            r.lines << QStringLiteral("Versione dello schema più vecchia della %1 di questo programma: il primo programma "
                                      "avviato da solo la aggiorna.")
                           .arg(currentSchemaVersion());
        }
        for (const TableDef& def : schema()) {
            QSqlQuery q(db);
            q.setForwardOnly(true);
            q.prepare(QStringLiteral("SELECT has_table_privilege(?, 'SELECT'), has_table_privilege(?, 'INSERT'), "
                                     "has_table_privilege(?, 'UPDATE'), has_table_privilege(?, 'DELETE')"));
            for (int i = 0; i < 4; ++i)
                q.addBindValue(quoted(def.name));
            if (!q.exec() || !q.next())
                throw server.error(q.lastError(), def.fileName);
            QStringList lacking;
            const char* const what[] = {"lettura", "inserimento", "modifica", "cancellazione"};
            for (int i = 0; i < 4; ++i)
                if (!q.value(i).toBool())
                    lacking << QString::fromLatin1(what[i]);
            if (lacking.isEmpty()) {
                r.lines << QStringLiteral("%1: lettura e scrittura permesse.").arg(def.name);
            } else {
                r.ok = false;
                r.lines << QStringLiteral("%1: manca il permesso di %2.").arg(def.name, lacking.join(QStringLiteral(", ")));
            }
        }
    } catch (const DbError& e) {
        r.ok = false;
        r.lines << e.message();
    }
    return r;
}

} // namespace velmora::store
