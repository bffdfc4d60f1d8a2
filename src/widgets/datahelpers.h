#pragma once
// Small pieces shared by the data-aware controls: how a value reads on screen,
// how a control walks a table's cursor to a row, and how an engine error
// reaches the user.

#include <QString>
#include <QVariant>

namespace velmora {

class Dialogs;

namespace store {
class Table;
class DbError;
} // namespace store

// The text of field `field` in row `row` of `table`, as the controls show it:
// strings as they are, dates in the short local format, numbers without
// grouping, booleans as "Sì"/"No"; "" for unset values.
QString displayText(const store::Table* table, int field, const QVariant& value);

// Moves the cursor of `table` to row `row`, one step at a time. Throws
// store::DbError as the table does.
void moveTableTo(store::Table* table, int row);

// Tells an engine error through `dialogs` (its engineError when set, else
// an error box), when there is a Dialogs to tell it.
void showDbError(Dialogs* dialogs, const store::DbError& error);

} // namespace velmora
