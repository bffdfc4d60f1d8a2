#pragma once
// Small helpers shared by the table layer tests: a data folder laid by the
// installer in a temporary directory, rows added through table objects, and
// walks that collect one field of every selected record.

#include "datafolder.h"
#include "errors.h"
#include "installer.h"
#include "table.h"

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

// A data folder laid by the installer inside a fresh temporary directory,
// on the test clock. Declare it before the table objects that use it, so
// that they go first.
class Folder
{
public:
    explicit Folder(Layout layout = Layout::Current)
        : Folder(layout == Layout::Older ? 0 : -1)
    {
    }

    // Laid as the tables stood at `schemaVersion`; -1 for the current one.
    explicit Folder(int schemaVersion)
    {
        m_path = m_tmp.path() + QStringLiteral("/Dati");
        const QString err = schemaVersion < 0 ? layDataFolder(m_path) : layDataFolder(m_path, schemaVersion);
        if (!err.isEmpty())
            qFatal("layDataFolder failed: %s", qPrintable(err));
        m_folder = std::make_unique<DataFolder>(m_path);
        m_folder->setClock(testNow);
    }

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
    exec(db, QStringLiteral("COMMIT"));
}

// Writes `bytes` over a file from `offset`, as a failing disk or a copy cut
// short would leave it. The file must not be open in the table layer.
inline void overwriteFile(const QString& path, qint64 offset, const QByteArray& bytes)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadWrite) || !f.seek(offset) || f.write(bytes) != bytes.size())
        qFatal("cannot write %s", qPrintable(path));
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

} // namespace storetest
