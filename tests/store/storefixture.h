#pragma once
// Small helpers shared by the table layer tests: a data folder laid by the
// installer in a temporary directory, rows added through table objects, and
// walks that collect one field of every selected record.
//
// The same tests run on both engines. With VELMORA_TEST_ENGINE=server a
// Folder's tables are laid in a schema of their own on the test server of
// VELMORA_TEST_SERVER (a libpq line; CTest starts that server, see
// tests/server/pgserver.sh), and dropped with the Folder. A test case calls
// STORETEST_REQUIRE_ENGINE() in initTestCase: on a machine without
// PostgreSQL or Qt's driver for it the server run says SKIP with the reason;
// a server that should be there and does not answer fails.

#include "datafolder.h"
#include "errors.h"
#include "installer.h"
#include "serverline.h"
#include "table.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QStringList>
#include <QTemporaryDir>
#include <QTest>

#include <initializer_list>
#include <memory>
#include <utility>

namespace storetest {

using namespace velmora::store;

// The moment the folders of the tests live in, whatever the real clock says.
inline QDateTime testNow()
{
    return QDateTime(QDate(2026, 6, 15), QTime(10, 30));
}

// Whether this run of the tests is the one on the server.
inline bool onServer()
{
    return qEnvironmentVariable("VELMORA_TEST_ENGINE") == QLatin1String("server");
}

// Why the server run cannot happen on this machine, or an empty string.
inline QString serverMissing()
{
    if (!QSqlDatabase::isDriverAvailable(QStringLiteral("QPSQL")))
        return QStringLiteral("manca il driver PostgreSQL di Qt (pacchetto libqt6sql6-psql)");
    if (QDir(QStringLiteral("/usr/lib/postgresql")).entryList(QDir::Dirs | QDir::NoDotAndDotDot).isEmpty())
        return QStringLiteral("PostgreSQL non è installato (pacchetto postgresql)");
    return QString();
}

// The test server's line, as CTest gives it.
inline ServerLine testServerLine()
{
    const QString text = qEnvironmentVariable("VELMORA_TEST_SERVER");
    if (text.isEmpty())
        qFatal("VELMORA_TEST_SERVER is not set: run the server tests through CTest");
    return parseServerLine(text);
}

// A connection of the tests' own to the test server, outside the table
// layer: it makes and drops the Folders' schemas and reads behind the layer.
inline QSqlDatabase adminConnection()
{
    const QString name = QStringLiteral("storetest-admin");
    if (QSqlDatabase::contains(name))
        return QSqlDatabase::database(name);
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), name);
    testServerLine().apply(db);
    if (!db.open())
        qFatal("the test server does not answer: %s", qPrintable(db.lastError().text()));
    QSqlQuery(db).exec(QStringLiteral("SET client_min_messages = warning"));
    return db;
}

inline void adminExec(const QString& sql)
{
    QSqlDatabase db = adminConnection();
    QSqlQuery q(db);
    if (!q.exec(sql))
        qFatal("%s failed: %s", qPrintable(sql), qPrintable(q.lastError().text()));
}

// In initTestCase: the server run skips, saying why, where it cannot run.
#define STORETEST_REQUIRE_ENGINE()                                      \
    do {                                                                \
        if (storetest::onServer()) {                                    \
            const QString why = storetest::serverMissing();             \
            if (!why.isEmpty())                                         \
                QSKIP(qPrintable(QStringLiteral("SKIP: ") + why));      \
            storetest::adminConnection();                               \
        }                                                               \
    } while (false)

// A data folder laid by the installer inside a fresh temporary directory,
// on the test clock (on the server run: its tables in a fresh schema of the
// test server). Declare it before the table objects that use it, so that
// they go first.
class Folder
{
public:
    explicit Folder(Layout layout = Layout::Current)
        : Folder(layout == Layout::Older ? 0 : -1)
    {
    }

    // Laid as the tables stood at `schemaVersion`; -1 for the current one.
    explicit Folder(int schemaVersion)
        : Folder(schemaVersion, onServer() ? Engine::PostgreSQL : Engine::SQLite)
    {
    }

    // On the engine named, whichever run this is (to compare the two).
    Folder(int schemaVersion, Engine engine)
    {
        m_path = m_tmp.path() + QStringLiteral("/Dati");
        if (engine == Engine::PostgreSQL) {
            static int serial = 0;
            m_schema = QStringLiteral("prova_%1_%2").arg(QCoreApplication::applicationPid()).arg(++serial);
            adminExec(QStringLiteral("CREATE SCHEMA %1").arg(quoted(m_schema)));
            QDir().mkpath(m_path);
            m_folder = std::make_unique<DataFolder>(m_path, line());
            const QString err = layServerTables(*m_folder, schemaVersion);
            if (!err.isEmpty())
                qFatal("layServerTables failed: %s", qPrintable(err));
        } else {
            const QString err = schemaVersion < 0 ? layDataFolder(m_path) : layDataFolder(m_path, schemaVersion);
            if (!err.isEmpty())
                qFatal("layDataFolder failed: %s", qPrintable(err));
            m_folder = std::make_unique<DataFolder>(m_path);
        }
        m_folder->setClock(testNow);
    }

    ~Folder()
    {
        m_folder.reset();
        if (!m_schema.isEmpty())
            adminExec(QStringLiteral("DROP SCHEMA %1 CASCADE").arg(quoted(m_schema)));
    }

    // The line of this folder's tables on the test server: the tests' line,
    // its schema first on the search path.
    ServerLine line() const
    {
        ServerLine l = testServerLine();
        l.options << QStringLiteral("options='-c search_path=%1'").arg(m_schema);
        return l;
    }

    // The same folder as another program sees it: on one computer another
    // set of connections to its files, on the server another connection.
    std::unique_ptr<DataFolder> otherProgram() const
    {
        auto other = m_schema.isEmpty() ? std::make_unique<DataFolder>(m_path) : std::make_unique<DataFolder>(m_path, line());
        other->setClock(testNow);
        return other;
    }

    // The schema of the tables on the server run; empty on SQLite.
    QString schemaName() const { return m_schema; }

    QString path() const { return m_path; }
    QString parentPath() const { return m_tmp.path(); }
    DataFolder& folder() { return *m_folder; }
    DataFolder* operator->() { return m_folder.get(); }

    // A table object over `fileName`, bound but not opened.
    std::unique_ptr<Table> table(const QString& fileName)
    {
        auto t = std::make_unique<Table>(fileName);
        t->setDataFolder(m_folder.get());
        t->setTableName(fileName);
        return t;
    }

private:
    QTemporaryDir m_tmp;
    QString m_path;
    QString m_schema;
    std::unique_ptr<DataFolder> m_folder;
};

using Values = std::initializer_list<std::pair<const char*, QVariant>>;

// Appends and posts one record on an open table; returns its Id.
inline qint64 addRow(Table& t, Values values)
{
    if (!t.append())
        qFatal("append cancelled");
    for (const auto& [name, v] : values)
        t.setValue(QString::fromLatin1(name), v);
    t.post();
    return t.value(QStringLiteral("Id")).toLongLong();
}

// Runs `statements` on the folder's own connection in one transaction; used
// to fill thousands of rows without a disk sync per row.
inline void bulk(DataFolder& df, const QString& fileName, const QString& sql, const QList<QVariantList>& rows)
{
    QSqlDatabase db = df.connection(fileName);
    if (df.isServer())
        db.transaction();
    else
        exec(db, QStringLiteral("BEGIN"));
    {
        QSqlQuery q(db);
        if (!q.prepare(sql))
            qFatal("prepare failed: %s", qPrintable(q.lastError().text()));
        for (const QVariantList& row : rows) {
            for (const QVariant& v : row)
                q.addBindValue(v);
            if (!q.exec())
                qFatal("insert failed: %s", qPrintable(q.lastError().text()));
        }
    }
    if (df.isServer()) {
        if (!db.commit())
            qFatal("commit failed: %s", qPrintable(db.lastError().text()));
    } else {
        exec(db, QStringLiteral("COMMIT"));
    }
}

// Writes `bytes` over a file from `offset`, as a failing disk or a copy cut
// short would leave it. The file must not be open in the table layer.
inline void overwriteFile(const QString& path, qint64 offset, const QByteArray& bytes)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadWrite) || !f.seek(offset) || f.write(bytes) != bytes.size())
        qFatal("cannot write %s", qPrintable(path));
}

// The bytes of a file, or an empty array.
inline QByteArray readFile(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// Every selected record from first to last, as field `name` reads.
inline QStringList walkForward(Table& t, const QString& name)
{
    QStringList out;
    t.first();
    while (!t.isEof()) {
        out << t.asString(name);
        t.next();
    }
    return out;
}

inline QStringList walkBackward(Table& t, const QString& name)
{
    QStringList out;
    t.last();
    while (!t.isBof()) {
        out << t.asString(name);
        t.prior();
    }
    return out;
}

// Reads one column of a file through a connection of its own, outside the
// table layer, ordered by Id.
inline QStringList readColumn(const QString& folderPath, const QString& fileName, const QString& table,
                              const QString& column, const QString& where = QString())
{
    QStringList out;
    const QString name = QStringLiteral("readColumn");
    {
        DataFolder df(folderPath);
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        db.setDatabaseName(df.filePath(fileName));
        if (!db.open())
            qFatal("cannot open %s", qPrintable(fileName));
        QSqlQuery q(db);
        QString sql = QStringLiteral("SELECT \"%1\" FROM \"%2\"").arg(column, table);
        if (!where.isEmpty())
            sql += QStringLiteral(" WHERE ") + where;
        sql += QStringLiteral(" ORDER BY \"Id\"");
        if (!q.exec(sql))
            qFatal("query failed: %s", qPrintable(q.lastError().text()));
        while (q.next())
            out << (q.value(0).isNull() ? QStringLiteral("<null>") : q.value(0).toString());
        q.finish();
        db.close();
    }
    QSqlDatabase::removeDatabase(name);
    return out;
}

// The same, reading the table of a Folder on either engine: on the server
// through the tests' own connection, Booleans read as 1 and 0 as SQLite
// stores them.
inline QStringList readColumn(Folder& folder, const QString& fileName, const QString& table, const QString& column,
                              const QString& where = QString())
{
    if (folder.schemaName().isEmpty())
        return readColumn(folder.path(), fileName, table, column, where);
    QStringList out;
    QSqlDatabase db = adminConnection();
    QSqlQuery q(db);
    QString sql = QStringLiteral("SELECT \"%1\" FROM %2.\"%3\"").arg(column, quoted(folder.schemaName()), table);
    if (!where.isEmpty())
        sql += QStringLiteral(" WHERE ") + where;
    sql += QStringLiteral(" ORDER BY \"Id\"");
    if (!q.exec(sql))
        qFatal("query failed: %s", qPrintable(q.lastError().text()));
    while (q.next()) {
        const QVariant v = q.value(0);
        out << (v.isNull() ? QStringLiteral("<null>")
                : v.typeId() == QMetaType::Bool ? QString::number(int(v.toBool()))
                                                  : v.toString());
    }
    return out;
}

} // namespace storetest
