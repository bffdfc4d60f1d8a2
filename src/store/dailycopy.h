#pragma once
#include <QDateTime>
#include <QString>
#include <QStringList>

namespace velmora::store {

class DataFolder;

// The daily copy of the data and the way back from it.
//
// Copies live in folders named for the moment they were made
// ("2026-12-10_1530") under a root the program chooses (e.g. "copie/" beside
// the data folder). Each holds the eight table files, each one a consistent
// snapshot written by SQLite's `VACUUM INTO` (never a file copy of a database
// in use). A copy folder is laid under a temporary name and renamed when all
// eight files are in it, so a copy folder is always whole.

// Makes the day's copy of `folder` under `copiesRoot` unless a copy dated
// `now`'s day is already there; then keeps only the newest `keep` copies
// (never fewer than the one just made). A copy that fails on any file is
// dropped whole and no older copy is removed. Returns an empty string, or the
// reason in Italian when the copy could not be made; never throws.
QString copiaGiornaliera(const DataFolder& folder, const QString& copiesRoot, const QDateTime& now, int keep = 10);

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
