#pragma once
#include <QDateTime>
#include <QSqlDatabase>
#include <QString>

#include <functional>

namespace velmora::store {

// One copy of the program per data folder. The lock is an SQLite database
// `velmora.lock` in the data folder on which the holder keeps a write
// transaction open (`BEGIN IMMEDIATE`, never committed): SQLite's own file
// locks, which the operating system drops when the holding process ends in
// any way (a crash or a kill included), and which a shared folder carries to
// the other computers as far as it carries SQLite's locks on the tables. So a
// program that died never leaves the folder locked, and nothing has to judge
// whether a lock is stale. Beside it `velmora.lock.info` says who holds it
// (computer, user, process, since when), for the message a refused program
// shows; it is informative only and never decides anything. Without a note
// (removed, unreadable) the system names the process of this computer that
// holds SQLite's lock, its account and its start.
//
// The lock file and its note are made with the folder's group and the
// folder's shared mode (see sharedfiles.h), whatever the umask: every
// account of the group can then take the lock in turn.
//
// The lock file is never deleted: a program that removed it could let two
// others lock two different files.
class FolderLock
{
public:
    enum class Result {
        Acquired,    // this object holds the folder
        InUse,       // another program (or another FolderLock) holds it
        Unavailable, // the lock cannot be taken: missing folder, folder or lock file
                     // this account cannot write, ... A refusal too: the program
                     // never goes on without the lock.
    };

    explicit FolderLock(const QString& folderPath);
    ~FolderLock(); // releases
    FolderLock(const FolderLock&) = delete;
    FolderLock& operator=(const FolderLock&) = delete;

    // Takes the folder for this program. On InUse or Unavailable `message`
    // (when given) receives the Italian text to show: who holds the folder
    // and what to do, or why it cannot be locked. Acquiring a lock already
    // held returns Acquired.
    Result acquire(QString* message = nullptr);

    // Gives the folder back; the next acquire anywhere succeeds.
    void release();
    bool isHeld() const { return m_held; }

    // The moment written as "since when" in the holder's note; the system
    // clock unless set.
    void setClock(std::function<QDateTime()> clock) { m_clock = std::move(clock); }

    static const char* const lockFileName; // "velmora.lock"
    static const char* const infoFileName; // "velmora.lock.info"

private:
    // "sul computer X, dall'utente Y, dalle 08:12 del 10/12/2026, processo N",
    // or empty when nothing says who holds the folder.
    QString holderText() const;
    void writeNote();
    void closeConnection();

    QString m_folder;
    QString m_connection;
    bool m_held = false;
    std::function<QDateTime()> m_clock;
};

} // namespace velmora::store
