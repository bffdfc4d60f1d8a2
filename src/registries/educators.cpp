// Educators: how an educator is named in lists and the defaults of a new one.
#include "dataedits.h"
#include "mainwindow.h"
#include "staff.h"

namespace velmora {

void TFrm_Main::Tbl_AnagEduCalcFields(store::Table& t)
{
    const bool responsible = t.asBoolean(QStringLiteral("Responsabile"));
    const QString name = t.asString(QStringLiteral("Cognome")) + QLatin1Char(' ') + t.asString(QStringLiteral("Nome"));
    t.setValue(QStringLiteral("Nominativo"), responsible ? QStringLiteral("*") + name : name);
    t.setValue(QStringLiteral("Resp"), responsible ? QStringLiteral("Si") : QStringLiteral("No"));
}

void TFrm_Main::Tbl_AnagEduNewRecord(store::Table& t)
{
    bool ok = false;
    const int nursery = IdNidoCorrente.trimmed().toInt(&ok);
    t.setValue(QStringLiteral("Id_Nido"), ok ? nursery : 0);
    t.setValue(QStringLiteral("Responsabile"), false);
    // Only while the educators registry is open: the focus goes to the name,
    // and the password of the new educator shows plainly.
    if (!Staff)
        return;
    if (Staff->DBEdit7Tag == 1)
        Staff->DBEdit7->setFocus(Qt::OtherFocusReason);
    if (Staff->DBEdit24Tag == 1)
        Staff->DBEdit24->raise();
}

} // namespace velmora
