#include "datafolder.h"
#include "serverlocks.h"
#include "errors.h"
#include "schema.h"
#include "table.h"

#include <QAtomicInt>
#include <QDir>
#include <QFileInfo>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlQuery>

#include <atomic>

namespace velmora::store {

namespace {
QAtomicInt s_serial;
std::atomic<qint64> s_statements{0};
}

qint64 statementsSent()
{
    return s_statements.load(std::memory_order_relaxed);
}

void countStatements(int n)
{
    s_statements.fetch_add(n, std::memory_order_relaxed);
}

DataFolder::DataFolder(const QString& path)
    : m_path(QDir::cleanPath(path))
{
}

DataFolder::DataFolder(const QString& path, const ServerLine& line)
    : m_path(QDir::cleanPath(path)), m_engine(Engine::PostgreSQL), m_line(line)
{
}

DataFolder::~DataFolder()
{
    closeAll();
}

bool DataFolder::exists() const
{
    return QFileInfo(m_path).isDir();
}

QString DataFolder::filePath(const QString& fileName) const
{
    QDir dir(m_path);
    if (dir.exists(fileName))
        return dir.filePath(fileName);
    const QStringList entries = dir.entryList(QDir::Files | QDir::Hidden);
    for (const QString& e : entries)
        if (e.compare(fileName, Qt::CaseInsensitive) == 0)
            return dir.filePath(e);
    return QString();
}

QSqlDatabase DataFolder::connection(const QString& fileName)
{
    if (isServer()) {
        if (!tableForFile(fileName))
            throw missingFileError(fileName, m_path);
        return serverConnection();
    }
    const QString key = fileName.toLower();
    auto it = m_connections.constFind(key);
    if (it != m_connections.constEnd())
        return QSqlDatabase::database(it.value(), false);

    const QString file = filePath(fileName);
    if (file.isEmpty())
        throw missingFileError(fileName, m_path);

    const QString name = QStringLiteral("velmora-%1").arg(s_serial.fetchAndAddRelaxed(1));
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
    db.setDatabaseName(file);
    db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=%1").arg(m_busyTimeout));
    try {
        if (!db.open())
            throw engineError(db.lastError(), file);
        // A rollback journal with full syncs: a post that returned is on
        // disk, and a process killed in the middle of one leaves the file as
        // it was before. The first statement reads the file: one that is not
        // a database, or is held by another program, fails here.
        exec(db, QStringLiteral("PRAGMA journal_mode=DELETE"));
        exec(db, QStringLiteral("PRAGMA synchronous=FULL"));
        // A modest page cache per file keeps the program's memory flat
        // however large the tables grow; the operating system caches the rest.
        exec(db, QStringLiteral("PRAGMA cache_size=-1024"));
    } catch (const DbError&) {
        db.close();
        db = QSqlDatabase();
        QSqlDatabase::removeDatabase(name);
        throw;
    }
    m_connections.insert(key, name);
    return db;
}

QSqlDatabase DataFolder::serverConnection()
{
    if (!m_serverConnection.isEmpty()) {
        QSqlDatabase db = QSqlDatabase::database(m_serverConnection, false);
        // Left closed by a reconnection the server did not answer: tried
        // again at each use, so that work goes on once the server is back.
        if (!db.isOpen())
            reconnect();
        return db;
    }
    if (!QSqlDatabase::isDriverAvailable(QStringLiteral("QPSQL")))
        throw DbError(QStringLiteral("Impossibile collegarsi al %1: manca il driver PostgreSQL delle librerie Qt "
                                     "(pacchetto libqt6sql6-psql).").arg(m_line.describe()),
                      DbError::Cause::CannotOpen);
    const QString name = QStringLiteral("velmora-%1").arg(s_serial.fetchAndAddRelaxed(1));
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), name);
    m_line.apply(db);
    try {
        openSession(db);
    } catch (const DbError&) {
        db = QSqlDatabase();
        QSqlDatabase::removeDatabase(name);
        throw;
    }
    m_serverConnection = name;
    // The announcements of other programs arrive through the event loop.
    m_listener = std::make_unique<QObject>();
    QObject::connect(db.driver(), &QSqlDriver::notification, m_listener.get(),
                     [this](const QString& channel, QSqlDriver::NotificationSource source, const QVariant& payload) {
                         if (source != QSqlDriver::SelfSource)
                             notified(channel, payload);
                     });
    return db;
}

void DataFolder::openSession(QSqlDatabase& db)
{
    try {
        if (!db.open()) {
            const QSqlError e = db.lastError();
            qWarning("Velmora: %s: %s", qUtf8Printable(m_line.describe()), qUtf8Printable(e.text()));
            throw DbError(QStringLiteral("Impossibile collegarsi al %1.\nDettaglio: %2").arg(m_line.describe(), connectionFailure(e)),
                          DbError::Cause::CannotOpen);
        }
        // A record another program is saving is waited for as long as a
        // file held by another program would be; then the post is refused
        // as "bloccato". Texts are compared and ordered as on one computer
        // (see Table::orderBy), whatever the server's own language.
        exec(db, QStringLiteral("SET lock_timeout = %1").arg(m_busyTimeout));
        exec(db, QStringLiteral("SET client_min_messages = warning"));
        // The fields kept per program (the selection marks) live in tables
        // of this connection alone, gone when it ends.
        for (const TableDef& def : schema())
            for (const FieldDef& f : def.fields)
                if (f.perProgram) {
                    exec(db, QStringLiteral("CREATE TEMPORARY TABLE IF NOT EXISTS %1 (\"Id\" INTEGER PRIMARY KEY, \"Segno\" BOOLEAN)")
                                 .arg(markTable(def.name)));
                    exec(db, QStringLiteral("CREATE TEMPORARY TABLE IF NOT EXISTS %1 (\"Segno\" BOOLEAN)")
                                 .arg(markTable(def.name + QStringLiteral("_tutti"))));
                }
        layMarks(db);
        // Announcements carry the schema of the table that changed: those
        // of tables in another schema of the database are not ours.
        QSqlQuery q(db);
        countStatements();
        if (!q.exec(QStringLiteral("SELECT current_schema()")) || !q.next())
            throw engineError(q.lastError(), QString(), Engine::PostgreSQL);
        m_schemaName = q.value(0).toString();
        q.finish();
        countStatements(int(m_channels.size()));
        for (const QString& channel : std::as_const(m_channels))
            if (!db.driver()->subscribeToNotification(channel))
                throw engineError(db.driver()->lastError(), QString(), Engine::PostgreSQL);
    } catch (const DbError&) {
        db.close();
        throw;
    }
}

void DataFolder::watch(Table* table)
{
    if (!isServer())
        return;
    m_watched.removeIf([](const QPointer<Table>& t) { return t.isNull(); });
    if (!m_watched.contains(table))
        m_watched.append(table);
    const QString channel = notifyChannel(table->definition()->name);
    if (m_channels.contains(channel))
        return;
    QSqlDatabase db = serverConnection();
    countStatements();
    if (!db.driver()->subscribeToNotification(channel))
        throw error(db.driver()->lastError(), table->tableName());
    m_channels.insert(channel);
}

void DataFolder::unwatch(Table* table)
{
    m_watched.removeIf([table](const QPointer<Table>& t) { return t.isNull() || t == table; });
}

void DataFolder::notified(const QString& channel, const QVariant& payload)
{
    const QString schemaName = payload.toString().section(QLatin1Char(' '), 1);
    if (!schemaName.isEmpty() && schemaName != m_schemaName)
        return;
    const TableDef* def = nullptr;
    for (const TableDef& d : schema())
        if (notifyChannel(d.name) == channel)
            def = &d;
    if (!def)
        return;
    // Rows read before now may not be what is stored any more (see writes()).
    noteWrite(def->fileName);
    const QList<QPointer<Table>> watched = m_watched; // a reaction may open or close tables
    for (const QPointer<Table>& t : watched)
        if (t && t->definition() == def)
            t->othersChanged();
}

bool DataFolder::connectionLost(const QSqlError& e)
{
    if (!isServer() || m_serverConnection.isEmpty())
        return false;
    const auto lostState = [](const QString& state) {
        return state.startsWith(QLatin1String("08")) || state == QLatin1String("57P01") || state == QLatin1String("57P02")
            || state == QLatin1String("57P03");
    };
    const QString state = e.nativeErrorCode().trimmed();
    if (!state.isEmpty())
        return lostState(state);
    // The client library's own failures (a socket closed under it) carry
    // no SQLSTATE: one more statement tells.
    QSqlDatabase db = QSqlDatabase::database(m_serverConnection, false);
    if (!db.isOpen())
        return true;
    QSqlQuery probe(db);
    countStatements();
    if (probe.exec(QStringLiteral("SELECT 1")))
        return false;
    const QString probeState = probe.lastError().nativeErrorCode().trimmed();
    return probeState.isEmpty() || lostState(probeState);
}

void DataFolder::reconnect()
{
    QSqlDatabase db = QSqlDatabase::database(m_serverConnection, false);
    db.close();
    ++m_reconnections;
    qWarning("Velmora: collegamento con il %s perso: nuovo collegamento", qUtf8Printable(m_line.describe()));
    openSession(db);
    for (auto& cache : m_statements)
        for (auto it = cache.begin(); it != cache.end(); ++it)
            if (countStatements(), !it.value().prepare(it.key()))
                throw engineError(it.value().lastError(), QString(), Engine::PostgreSQL);
    // The shared lock of the programs went with the old connection: without
    // it the administrator's import or an upgrade could start while this
    // program goes on. While the administrator holds the exclusive lock the
    // connection is closed again, so that every statement tries anew.
    if (m_holdsProgramLock) {
        QString why;
        if (!holdProgramLock(*this, &why)) {
            db.close();
            throw DbError(why, DbError::Cause::Locked);
        }
    }
    // What other programs announced while the connection was gone was not
    // heard: rows read before now may be old (a copy cursor does not take
    // them over), and the open tables read theirs again.
    for (const TableDef& def : schema())
        noteWrite(def.fileName);
    const QList<QPointer<Table>> watched = m_watched;
    for (const QPointer<Table>& t : watched)
        if (t)
            t->othersChanged();
}

DbError DataFolder::lostWriteError(const QString& fileName) const
{
    DbError e(QStringLiteral("Collegamento al server perso e ripristinato: le modifiche al file %1 non sono state salvate. "
                             "Salvare di nuovo.")
                  .arg(fileName),
              DbError::Cause::InputOutput);
    e.setFileName(fileName);
    return e;
}

QString DataFolder::markTable(const QString& tableName) const
{
    return QStringLiteral("pg_temp.%1").arg(quoted(QStringLiteral("velmora_segni_") + tableName));
}

void DataFolder::rememberMarks(const QString& tableName, const QList<qint64>& ids, const QVariant& value)
{
    Marks& m = m_marks[tableName];
    for (qint64 id : ids)
        m.byId.insert(id, value);
}

void DataFolder::rememberAllMarks(const QString& tableName, const QVariant& value)
{
    Marks& m = m_marks[tableName];
    m.byId.clear();
    m.allSet = true;
    m.all = value;
}

void DataFolder::layMarks(QSqlDatabase& db)
{
    // The marks are Booleans (or unset) and the keys whole numbers: both
    // written into the statement as the server's array literals, one
    // statement per table however many marks.
    const auto literal = [](const QVariant& v) {
        return v.isNull() || !v.isValid() ? QStringLiteral("NULL") : v.toBool() ? QStringLiteral("t") : QStringLiteral("f");
    };
    for (auto it = m_marks.cbegin(); it != m_marks.cend(); ++it) {
        const Marks& m = it.value();
        if (m.allSet)
            exec(db, QStringLiteral("INSERT INTO %1 (\"Segno\") VALUES (%2)")
                         .arg(markTable(it.key() + QStringLiteral("_tutti")),
                              m.all.isNull() || !m.all.isValid() ? QStringLiteral("NULL")
                              : m.all.toBool()                   ? QStringLiteral("TRUE")
                                                                 : QStringLiteral("FALSE")));
        if (m.byId.isEmpty())
            continue;
        QStringList ids, values;
        for (auto mark = m.byId.cbegin(); mark != m.byId.cend(); ++mark) {
            ids << QString::number(mark.key());
            values << literal(mark.value());
        }
        exec(db, QStringLiteral("INSERT INTO %1 (\"Id\", \"Segno\") SELECT * FROM unnest('{%2}'::integer[], '{%3}'::boolean[])")
                     .arg(markTable(it.key()), ids.join(QLatin1Char(',')), values.join(QLatin1Char(','))));
    }
}

DbError DataFolder::error(const QSqlError& e, const QString& fileName) const
{
    if (isServer())
        return engineError(e, fileName, Engine::PostgreSQL);
    const QString path = filePath(fileName);
    return engineError(e, path.isEmpty() ? QDir(m_path).filePath(fileName) : path);
}

QSqlQuery& DataFolder::statement(const QString& fileName, const QString& sql)
{
    QHash<QString, QSqlQuery>& cache = m_statements[fileName.toLower()];
    auto it = cache.find(sql);
    if (it == cache.end()) {
        QSqlQuery q(connection(fileName));
        q.setForwardOnly(true);
        // SQLite prepares in the program; a server's driver sends a PREPARE.
        if (isServer())
            countStatements();
        if (!q.prepare(sql)) {
            // Preparing changes nothing: on a lost connection it is tried
            // once more on the new one.
            if (!connectionLost(q.lastError()))
                throw error(q.lastError(), fileName);
            reconnect();
            q = QSqlQuery(connection(fileName));
            q.setForwardOnly(true);
            if (!q.prepare(sql))
                throw error(q.lastError(), fileName);
        }
        it = cache.insert(sql, q);
    }
    return it.value();
}

void DataFolder::closeAll()
{
    m_statements.clear();
    m_checked.clear();
    for (const QString& name : std::as_const(m_connections)) {
        {
            QSqlDatabase db = QSqlDatabase::database(name, false);
            db.close();
        }
        QSqlDatabase::removeDatabase(name);
    }
    m_connections.clear();
    m_listener.reset();
    m_channels.clear();
    if (!m_serverConnection.isEmpty()) {
        {
            QSqlDatabase db = QSqlDatabase::database(m_serverConnection, false);
            db.close();
        }
        QSqlDatabase::removeDatabase(m_serverConnection);
        m_serverConnection.clear();
    }
}

QDate DataFolder::today() const
{
    return (m_clock ? m_clock() : QDateTime::currentDateTime()).date();
}

void exec(QSqlDatabase& db, const QString& sql)
{
    QSqlQuery q(db);
    countStatements();
    if (!q.exec(sql)) {
        const bool server = db.driverName() == QLatin1String("QPSQL");
        const DbError e = engineError(q.lastError(), server ? QString() : db.databaseName(),
                                      server ? Engine::PostgreSQL : Engine::SQLite);
        q.finish();
        throw e;
    }
}

} // namespace velmora::store
