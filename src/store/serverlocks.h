#pragma once
#include <QString>

namespace velmora::store {

class DataFolder;

// Who may work on a database of a server at the same time. Every program
// holds the SHARED advisory lock of the database for as long as its
// connection lives; whatever rewrites the tables as a whole (the set-up, the
// import, a schema upgrade) takes the EXCLUSIVE one, which the server gives
// only while no program holds the shared one, and refuses programs while it
// is held. Both are the session's own: they go with the connection, so a
// program that ends or crashes never leaves one behind.

// The first key both locks are taken on; the second is the hash of the
// schema the tables are in (the first on the line's search path), so that
// the tables of two nursery networks in one database, a schema each, do not
// lock each other out.
int serverLockKey();

// The shared lock of a running program on the connection of `folder`. False
// with the reason in Italian when the exclusive one is held (the
// administrator's tool at work) or the server cannot be asked.
bool holdProgramLock(DataFolder& folder, QString* why = nullptr);

// The exclusive lock, without waiting. False with the reason in Italian when
// another program or tool holds either lock. A program already holding the
// shared lock may take it too: its own lock does not count against it.
bool takeExclusiveLock(DataFolder& folder, QString* why = nullptr);
void releaseExclusiveLock(DataFolder& folder);

// On a server: whether every table is recorded at the schema version this
// program writes. Throws DbError when the server cannot be asked.
bool serverSchemaIsCurrent(DataFolder& folder);

} // namespace velmora::store
