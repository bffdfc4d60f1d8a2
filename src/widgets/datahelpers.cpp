#include "datahelpers.h"
#include "numberformat.h"

#include "dialogs.h"
#include "errors.h"
#include "table.h"

#include <QDate>
#include <QLocale>

#include <algorithm>

namespace velmora {

QString displayText(const store::Table* table, int field, const QVariant& value)
{
    if (!table || field < 0 || value.isNull() || !value.isValid())
        return QString();
    // Field handles are cheap; the type lives in the table's field list.
    const store::FieldType type = store::Field(const_cast<store::Table*>(table), field).type();
    switch (type) {
    case store::FieldType::Date:
        return QLocale().toString(value.toDate(), QLocale::ShortFormat);
    case store::FieldType::Boolean:
        return value.toBool() ? QStringLiteral("Sì") : QStringLiteral("No");
    case store::FieldType::Float:
        return formatGeneral(value.toDouble());
    case store::FieldType::Integer:
    case store::FieldType::AutoInc: {
        QLocale l;
        l.setNumberOptions(QLocale::OmitGroupSeparator);
        return l.toString(value.toLongLong());
    }
    default:
        return value.toString();
    }
}

void moveTableTo(store::Table* table, int row)
{
    if (!table || !table->isOpen() || row < 0)
        return;
    // Bounded: a move that posts a pending change may shift the rows, so the
    // position is read again at every step.
    for (int guard = std::max(table->knownRowCount(), row + 1) + 2; guard > 0; --guard) {
        const int at = table->recNo();
        if (at == row)
            return;
        if (at < 0 || at > row) {
            if (at < 0 || row == 0) {
                table->first();
                continue;
            }
            table->prior();
        } else {
            table->next();
        }
    }
}

void showDbError(Dialogs* dialogs, const store::DbError& error)
{
    if (!dialogs)
        return;
    if (dialogs->engineError)
        dialogs->engineError(error);
    else
        dialogs->error(error.message());
}

} // namespace velmora
