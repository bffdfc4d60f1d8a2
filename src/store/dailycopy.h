#pragma once
#include <QDateTime>
#include <QList>
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
    // After finish(): the table files found damaged in the folder ("FasiVal.db").
    QStringList damagedFiles() const;

private:
    struct State;
    std::unique_ptr<State> d;
};

// The copy folders under `copiesRoot`, newest first (their names).
QStringList copieGiornaliere(const QString& copiesRoot);

// "le 08:12 del 10/12/2026" for the copy named "2026-12-10_0812": the moment
// a question about the copy names.
QString quandoCopia(const QString& copyName);

// A daily copy that holds a sound copy of one table file.
struct CopiaSana
{
    QString nome;     // "2026-12-10_0812"
    QDateTime quando; // the moment its name stands for
    qint64 righe = 0; // the rows of the file's table in it
};

// The copies under `copiesRoot` whose copy of the table file `fileName` is
// sound (passes `PRAGMA quick_check` and holds its table and fields),
// newest first, each with the rows it holds of that table.
QList<CopiaSana> copieSane(const QString& copiesRoot, const QString& fileName, int busyTimeout = 5000);

// Among `copies` (newest first), the one to offer besides the newest: the
// older copy holding the most rows of the file when that is more than the
// newest holds (a newest copy taken before the data was entered, or after
// rows were lost), the newest of those on a tie; -1 when none holds more.
int copiaPiuRicca(const QList<CopiaSana>& copies);

// Puts the table file `fileName` of `folder` back from the copy `copyName`
// under `copiesRoot`, or, when `copyName` is empty, from the newest copy
// whose copy of it is sound. The file is written under a temporary name in
// the data folder, synced, given the owner (when run by the administrator),
// group and mode of the sound table files beside it, and renamed over the
// damaged one, so the folder holds either the old file or the whole
// restored one. The damaged file, with any journal beside it, is never
// deleted: it is moved into "danneggiati/<moment>/" under `copiesRoot`
// (`keptAside` receives that folder, or an empty string when there was
// nothing to move). Closes the folder's connections first: no table of the
// folder may be open. `fromCopy` receives the name of the copy used.
// Returns an empty string, or the reason in Italian; never throws.
QString ripristinaDaCopia(DataFolder& folder, const QString& copiesRoot, const QString& fileName,
                          QString* fromCopy = nullptr, const QString& copyName = QString(),
                          QString* keptAside = nullptr, const QDateTime& now = QDateTime());

// Puts the whole copy `copyName` back: all eight files, each as above, the
// files they replace moved into "sostituiti/<moment>/" under `copiesRoot`.
// Every file of the copy is checked first: a copy with a damaged or missing
// file puts nothing back. The caller holds the folder's lock.
QString ripristinaCopia(DataFolder& folder, const QString& copiesRoot, const QString& copyName,
                        QString* keptAside = nullptr, const QDateTime& now = QDateTime());

} // namespace velmora::store
