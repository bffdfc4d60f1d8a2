#pragma once
#include <QHash>
#include <QSqlDatabase>
#include <QString>

namespace velmora::store {

// The folder that holds the table files. Files are found by name without
// regard to case. Every file gets one SQLite connection, opened on first use
// and shared by all table objects and copy cursors over that file, so that a
// copy cursor costs no connection of its own and never waits on a lock held
// by its twin.
class DataFolder
{
public:
    explicit DataFolder(const QString& path);
    ~DataFolder();
    DataFolder(const DataFolder&) = delete;
    DataFolder& operator=(const DataFolder&) = delete;

    QString path() const { return m_path; }
    bool exists() const;

    // The path of the file spelled `fileName` without regard to case, or an
    // empty string when the folder holds no such file.
    QString filePath(const QString& fileName) const;

    // The connection to a file of the folder; throws DbError when the file is
    // missing or cannot be opened.
    QSqlDatabase connection(const QString& fileName);

    // Closes every connection (before files are copied or removed).
    void closeAll();

private:
    QString m_path;
    QHash<QString, QString> m_connections; // lower-case file name -> connection name
};

// Runs one statement on `db`; throws DbError carrying SQLite's message.
void exec(QSqlDatabase& db, const QString& sql);

} // namespace velmora::store
