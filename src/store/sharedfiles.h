#pragma once
#include <QString>

namespace velmora::store {

// Files and folders that the educators' accounts share through the data
// folder's group. An installed data folder belongs to the program's group
// with mode 2770 (the set-group bit makes what is created in it belong to
// the group); everything the program creates there takes the folder's group
// and a mode read from the folder itself, never from the user's umask (nor
// from SQLite, which makes a new database file 0644 whatever the umask):
// read and write for the owner, for the group what the folder grants the
// group (read, write), for other accounts read only when the folder lets
// them read it, never write. So a folder 2770 gives files 0660 and folders
// 2770, the build folder's 0755 gives 0644 and 0755.

// The mode (permission bits) a new file in `folder` gets.
unsigned sharedFileMode(const QString& folder);

// Gives the file just made at `path`, or open as `fd`, the group of `folder`
// and sharedFileMode(folder). False when either could not be set (a file
// that belongs to another account cannot be changed by this one).
bool shareNewFile(const QString& path, const QString& folder);
bool shareNewFile(int fd, const QString& folder);

// Gives the file open as `fd` the mode, the group and, for an administrator
// (root), the owner of the file `model`. False when any could not be set.
bool shareLike(int fd, const QString& model);

// Makes the folder `path` and any missing parent, each made one with the
// mode (set-group bit included) and the group of the folder it is made in.
// True when the folder is there at the end.
bool makeSharedPath(const QString& path);

// Opens a new file at `path` for writing (it must not exist), with the
// shared mode and group of its folder. -1 on failure (errno set).
int createSharedFile(const QString& path);

// The account running the program ("anna"), never empty.
QString currentAccount();
// The account that owns `path`, and its group; empty when unknown.
QString ownerOf(const QString& path);
QString groupOf(const QString& path);
// "rw-rw----" for the permission bits of `path`.
QString permissionText(const QString& path);

// What this account must ask for to write `path` (a data folder or one of
// its files), in Italian, naming the account, the group and the command:
// to join the group that owns it (usermod), to log in again after joining
// it, or, for a member of that group, to give the group write on it (chmod,
// chgrp, for the administrator).
QString comeOttenereScrittura(const QString& path);

} // namespace velmora::store
