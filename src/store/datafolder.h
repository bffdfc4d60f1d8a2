#pragma once
#include <QDateTime>
#include <QHash>
#include <QSet>
#include <QSqlQuery>
#include <QSqlDatabase>
#include <QString>

#include <functional>

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
    // missing or cannot be opened (the message names the file and the cause).
    QSqlDatabase connection(const QString& fileName);

    // How long a statement waits for a file held by another program before
    // it fails with "bloccato da un altro programma". Applies to connections
    // opened afterwards; 5 seconds unless set.
    void setBusyTimeout(int milliseconds) { m_busyTimeout = milliseconds; }
    int busyTimeout() const { return m_busyTimeout; }

    // The present moment as the program sees it, used where the layer needs
    // today's date (two-digit years typed into a date). The program sets its
    // own clock; tests set a fixed one. Unset, it is the system clock.
    void setClock(std::function<QDateTime()> clock) { m_clock = std::move(clock); }
    QDate today() const;

    // A prepared statement on the connection of a file, kept for the life of
    // the folder and shared by every cursor over that file. Callers execute,
    // read and finish it before running any code of their caller.
    QSqlQuery& statement(const QString& fileName, const QString& sql);

    // Whether a table object has found every field it needs in the file.
    bool isChecked(const QString& fileName) const { return m_checked.contains(fileName.toLower()); }
    void setChecked(const QString& fileName) { m_checked.insert(fileName.toLower()); }

    // How many writes table objects of this folder have made to a file: a
    // table whose rows were read at the same count holds what this program
    // last stored. Writes of other programs are not counted.
    quint64 writes(const QString& fileName) const { return m_writes.value(fileName.toLower()); }
    void noteWrite(const QString& fileName) { ++m_writes[fileName.toLower()]; }

    // Closes every connection (before files are copied or removed). Table
    // objects over this folder must be closed first.
    void closeAll();

private:
    QString m_path;
    int m_busyTimeout = 5000;
    std::function<QDateTime()> m_clock;
    QHash<QString, QString> m_connections; // lower-case file name -> connection name
    QHash<QString, QHash<QString, QSqlQuery>> m_statements;
    QSet<QString> m_checked; // lower-case file names
    QHash<QString, quint64> m_writes; // lower-case file name -> writes made
};

// Runs one statement on `db`; throws DbError naming the file and the cause.
void exec(QSqlDatabase& db, const QString& sql);

} // namespace velmora::store
