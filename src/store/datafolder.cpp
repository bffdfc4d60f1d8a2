#include "datafolder.h"
#include "errors.h"

#include <QAtomicInt>
#include <QDir>
#include <QFileInfo>
#include <QSqlError>
#include <QSqlQuery>

namespace velmora::store {

namespace {
QAtomicInt s_serial;
}

DataFolder::DataFolder(const QString& path)
    : m_path(QDir::cleanPath(path))
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

QSqlQuery& DataFolder::statement(const QString& fileName, const QString& sql)
{
    QHash<QString, QSqlQuery>& cache = m_statements[fileName.toLower()];
    auto it = cache.find(sql);
    if (it == cache.end()) {
        QSqlQuery q(connection(fileName));
        q.setForwardOnly(true);
        if (!q.prepare(sql))
            throw engineError(q.lastError(), filePath(fileName));
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
}

QDate DataFolder::today() const
{
    return (m_clock ? m_clock() : QDateTime::currentDateTime()).date();
}

void exec(QSqlDatabase& db, const QString& sql)
{
    QSqlQuery q(db);
    if (!q.exec(sql)) {
        const DbError e = engineError(q.lastError(), db.databaseName());
        q.finish();
        throw e;
    }
}

} // namespace velmora::store
