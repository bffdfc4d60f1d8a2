#pragma once
#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

namespace velmora::store {

class DataFolder;
struct TableDef;

// How far a check reads a table file: its schema only (the file opens, is a
// database, holds its table and fields: a moment, whatever its size), or also
// every page through SQLite's quick check (reads the whole file).
enum class CheckDepth { Schema, Pages };

// One thing wrong with a data folder, as start-up tells it to the user.
struct FolderProblem
{
    enum class Kind {
        FolderMissing,  // the data folder is not there
        FolderReadOnly, // the folder cannot be written: nothing could be saved
        FileMissing,    // a table file is not in the folder
        FileReadOnly,   // a table file cannot be written (or read) by this account
        Damaged,        // a table file is empty, not a database, fails the engine's
                        // check, or lacks its table or one of its fields
        Unreadable,     // a table file cannot be read now (held by another
                        // program, disk or network not answering)
    };

    Kind kind;
    QString fileName; // the table file as the schema spells it; empty for the folder
    QString message;  // Italian: names the file, says what is wrong and what to do;
                      // a second line "Dettaglio: ..." may give the engine's words
};

// Checks a data folder before the program uses it: every one of the eight
// table files is there, opens, is an SQLite database, passes SQLite's
// `PRAGMA quick_check`, and holds its table with every stored field of the
// schema that the file's recorded schema version has; and the folder and its
// files can be written. An older version (children without the attendance
// column) is no problem: the schema upgrade brings it up to date. A file that is empty or not a database is damaged, never taken
// for the older layout.
//
// Reads the files through connections of its own (a hot journal left by a
// crash is rolled back as on any first use) and writes nothing but a probe
// file it removes at once. Returns no problem for a sound folder. Never
// throws.
QList<FolderProblem> checkDataFolder(const DataFolder& folder, CheckDepth depth = CheckDepth::Pages);

// The problem with the file at `path` read as the table `def` (missing,
// damaged, or unreadable now), none when it is a sound SQLite database that
// holds the table and its fields. Used by the check above and to choose a
// sound daily copy. Never throws.
std::optional<FolderProblem> checkTableFile(const QString& path, const TableDef& def, int busyTimeout = 5000,
                                            CheckDepth depth = CheckDepth::Pages);

// Files found damaged while the program ran (by the daily copy's page check,
// by a read that failed), marked in the data folder (`velmora.verifica`, one
// file name a line, with the folder's group and shared mode) so that the next
// start reads every page of each and offers it back from a daily copy.
extern const char* const markFileName; // "velmora.verifica"
// Adds `fileName` to the mark; false when the mark could not be written.
bool segnaDaVerificare(const QString& folderPath, const QString& fileName);
// The marked files, as written.
QStringList daVerificare(const QString& folderPath);
// Drops `fileName` from the mark (found sound, or put back); the mark goes
// when nothing is left in it.
void verificato(const QString& folderPath, const QString& fileName);

} // namespace velmora::store
