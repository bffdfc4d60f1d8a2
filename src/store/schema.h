#pragma once
#include <QList>
#include <QString>
#include <QStringList>

namespace velmora::store {

enum class FieldType { AutoInc, Integer, String, Date, Boolean, Memo, Float };

struct FieldDef
{
    QString name;
    FieldType type;
    int size = 0; // characters, for String only
};

// A named index: the order it gives is its fields, then Id.
struct IndexDef
{
    QString name;
    QStringList fields;
};

struct TableDef
{
    QString name;      // the table inside its file, e.g. "AnagBimbi"
    QString fileName;  // the file in the data folder, e.g. "AnagBimbi.DB"
    QList<FieldDef> fields;   // stored fields in stored order; fields[0] is Id
    QList<IndexDef> indexes;  // named indexes the program selects at run time
    QList<QStringList> keyIndexes; // plain indexes on the key fields filters use

    int fieldIndex(const QString& name) const; // case-insensitive, -1 if none
    const IndexDef* index(const QString& name) const; // case-insensitive
};

// The eight tables, defined once: the installer lays them, the table layer
// reads and writes them, the tests check them.
const QList<TableDef>& schema();

// The table stored in a file, found by file name without regard to case.
const TableDef* tableForFile(const QString& fileName);
const TableDef* tableNamed(const QString& name);

// SQL that creates the table of `def` and its indexes. `withoutColumn` leaves
// one column out, to lay the older layout the schema upgrade starts from.
QStringList createStatements(const TableDef& def, const QString& withoutColumn = QString());

// The partial index of the evaluations on their selection mark, holding only
// the marked ones (a mark that is not 0: 1 or unset), so that clearing every
// mark visits the marked evaluations instead of all of them. Laid with new
// folders and added to older ones at start-up (ensureSelectionIndex).
QString selectionIndexStatement();

// The SQL text of a column name, quoted.
QString quoted(const QString& identifier);

} // namespace velmora::store
