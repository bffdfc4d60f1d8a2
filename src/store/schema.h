#pragma once
#include <QList>
#include <QString>
#include <QStringList>

#include "serverline.h"

namespace velmora::store {

enum class FieldType { AutoInc, Integer, String, Date, Boolean, Memo, Float };

struct FieldDef
{
    QString name;
    FieldType type;
    int size = 0; // characters, for String only
    // Kept per program on a server, stored in the table on one computer:
    // the selection marks, which belong to the educator who set them.
    bool perProgram = false;
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

// One change of the stored layout since the first layout the program read
// (version 0, that of release 1.02). The steps are numbered 1, 2, ... in the
// order they were made; a folder laid today is at the last step's version,
// and start-up brings an older file up to it (see upgrade.h). Each table
// file records the version it is at in SQLite's `PRAGMA user_version`.
//
// Adding a stored field is one step: append its FieldDef to the table's
// definition in schema.cpp and a step { next version, table, AddField, field }
// to the list. The installer, the folder check (which fields a file of a
// given version must hold) and the upgrade all follow from the list.
struct SchemaStep
{
    enum class Kind {
        AddField, // adds `object`, a field of the table's definition, as a column
        AddIndex, // adds the index whose CREATE statement is `sql`, named `object`
        AddNotify, // on a server: the trigger `object` that announces the table's changes
                   // to other programs (notifyStatements); nothing on one computer
    };

    int version;     // the version a file is at once this step is done
    QString table;   // the table whose file the step changes
    Kind kind;
    QString object;  // the field or index added
    QString sql;     // AddIndex only: the statement that creates it
    bool announced;  // told to the user before and after (the 1.02 upgrade)
};

const QList<SchemaStep>& schemaSteps();

// The statement of an AddIndex step on `engine` (a server writes the
// condition of a partial index its own way).
QString stepStatement(const SchemaStep& step, Engine engine);

// The version of a folder laid by this program: the last step's.
int currentSchemaVersion();

// The stored fields a file of `def` holds at `version`: the definition's,
// less those that later steps add.
QList<FieldDef> fieldsAt(const TableDef& def, int version);

// SQL that creates the table of `def` and its indexes as they stood at
// `version` (the current version unless told), ending with the statement that
// records the version in the file. On a server, texts are stored in the
// "C" collation and the named indexes order lower() of them, which gives
// SQLite's NOCASE order; AutoInc is an identity column; the version is a row
// of `schemaVersionTable()` (a server has no user_version per table).
QStringList createStatements(const TableDef& def, int version = -1, Engine engine = Engine::SQLite);

// On a server: the table that holds each table's schema version, and the
// statement that makes it (before any createStatements).
QString schemaVersionTable();
QString schemaVersionTableStatement();

// The partial index of the evaluations on their selection mark, holding only
// the marked ones (a mark that is not 0: 1 or unset), so that clearing every
// mark visits the marked evaluations instead of all of them. Schema step 2.
QString selectionIndexStatement(Engine engine = Engine::SQLite);

// On a server, every table announces its changes to the programs that
// listen: a statement trigger sends NOTIFY on the table's channel
// (notifyChannel), its payload the operation and the schema of the table
// ("INSERT public"), so that programs on tables of another schema of the
// same database can tell the announcement is not theirs. The statements
// make (or make again, the same) the trigger function the tables share, and
// the trigger of `def`.
QString notifyChannel(const QString& tableName);
QString notifyTriggerName();
QStringList notifyStatements(const TableDef& def);

// The column of `field` as CREATE TABLE and ALTER TABLE take it: quoted name and type.
QString columnSql(const FieldDef& field, Engine engine = Engine::SQLite);

// A text field ordered without regard to case, as the named indexes order
// it: `"Nome" COLLATE NOCASE` on SQLite, `lower("Nome")` on a server, where
// the column's "C" collation makes lower() fold only A-Z as NOCASE does and
// compare the rest by code point as SQLite does.
QString caseBlind(const QString& column, Engine engine);

// The SQL text of a column name, quoted.
QString quoted(const QString& identifier);

} // namespace velmora::store
