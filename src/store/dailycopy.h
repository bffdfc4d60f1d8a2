#pragma once
#include <QDateTime>
#include <QString>
#include <QStringList>

#include <memory>

namespace velmora::store {

class DataFolder;

// The daily copy of the data and the way back from it.
//
// Copies live in folders named for the moment they were made
// ("2026-12-10_1530") under a root the program chooses (e.g. "copie/" beside
// the data folder). Each holds the eight table files, each one a consistent
// snapshot written by SQLite's online backup a slice of pages at a time, so
// that the program keeps posting while a large file is copied (never a file
// copy of a database in use), and then read page by page (`PRAGMA
// quick_check`) with its table and fields checked. A copy folder is laid
// under a temporary name and renamed when all eight files are in it and
// sound, so a copy folder is always whole.

// Makes the day's copy of `folder` under `copiesRoot` unless a copy dated
// `now`'s day is already there; then keeps only the newest `keep` copies
// (never fewer than the one just made). A copy that fails on any file is
// dropped whole and no older copy is removed. Returns an empty string, or the
// reason in Italian when the copy could not be made; never throws. When the
// copy of a file fails its check, the file in use is damaged: `damaged`, when
// given, receives that problem's message (naming the file, as start-up tells
// it).
QString copiaGiornaliera(DataFolder& folder, const QString& copiesRoot, const QDateTime& now, int keep = 10,
                         QStringList* damaged = nullptr);

// The same copy in steps, for a program that keeps working meanwhile. The
// files are read through the folder's own connections, a slice of pages per
// step(), so step() runs in the thread that uses the folder (between two
// events): a post of the program between two slices is carried into the
// copy under way, and a post of another program makes SQLite copy that file
// again from its start (after several such restarts, the rest of the file in
// one step). finish() checks the copies and puts them in place; it touches
// only the copies and may run in another thread.
class DailyCopy
{
public:
    DailyCopy(DataFolder& folder, const QString& copiesRoot, const QDateTime& now, int keep = 10);
    ~DailyCopy(); // a copy not finished is dropped
    DailyCopy(const DailyCopy&) = delete;
    DailyCopy& operator=(const DailyCopy&) = delete;

    // Copies the next slice; true when nothing is left to copy (done, not
    // due today, or failed): then call finish().
    bool step();
    // Empty, or the reason in Italian; `damaged` as for copiaGiornaliera.
    QString finish(QStringList* damaged = nullptr);

private:
    struct State;
    std::unique_ptr<State> d;
};

// The copy folders under `copiesRoot`, newest first (their names).
QStringList copieGiornaliere(const QString& copiesRoot);

// Puts the table file `fileName` of `folder` back from the newest copy under
// `copiesRoot` whose copy of it is sound (passes `PRAGMA quick_check` and
// holds its table and fields). The file is written under a temporary name in
// the data folder, synced, and renamed over the damaged one, so the folder
// holds either the old file or the whole restored one; a journal left beside
// the damaged file is removed first, so that it is never played into the
// restored one. Closes the folder's connections first: no table of the
// folder may be open. `fromCopy` receives the name of the copy used. Returns
// an empty string, or the reason in Italian; never throws.
QString ripristinaDaCopia(DataFolder& folder, const QString& copiesRoot, const QString& fileName,
                          QString* fromCopy = nullptr);

} // namespace velmora::store
