#pragma once
#include <QHash>
#include <QSet>
#include <QString>
#include <QVariantList>

#include "serverline.h"

namespace velmora::store {

struct TableDef;

// A filter text turned into an SQL condition. Values are never pasted into the
// SQL text: they travel as bound parameters, and field names are checked
// against the table and written in their stored spelling.
struct CompiledFilter
{
    QString sql;          // condition with '?' placeholders; empty = every record
    QVariantList values;  // bound in order
    QSet<int> fields;     // stored fields the condition reads
};

// How the condition is written for the engine that runs it: a server
// compares a Boolean field with TRUE and binds its values as Booleans; a
// field may be read through an expression instead of its column (the
// selection marks a program keeps for itself on a server).
struct FilterDialect
{
    Engine engine = Engine::SQLite;
    QHash<int, QString> columns; // field index -> SQL expression
};

// Reads a filter in the grammar the program uses:
//   condition := term { "or" term }
//   term      := factor { "and" factor }
//   factor    := "not" factor | "(" condition ")" | comparison
//   comparison:= field op value | field "is" ["not"] "null" | field (Boolean)
//   op        := "=" | "<>" | "<" | ">" | "<=" | ">="
//   value     := number | 'text' (two quotes for one) | True | False | field
// Keywords and field names are matched without regard to case. An unset value
// satisfies no comparison, only "is null". Parentheses and "not" nest at most
// 100 deep, and "and"/"or" groups inside one another at most 20 (a long flat
// list of conditions is no nesting): within these limits SQLite takes every
// condition. Throws DbError on a text it cannot read (deeper nesting
// included) or a field the table does not have; the message quotes the text
// as it was written.
CompiledFilter compileFilter(const QString& text, const TableDef& table, const FilterDialect& dialect = {});

} // namespace velmora::store
