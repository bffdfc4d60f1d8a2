#include "inserimentonido.h"
#include "builders.h"
#include "dataedits.h"
#include "fonts.h"

#include <QLabel>
#include <QShowEvent>
#include <QToolButton>

namespace velmora {

NurseryEdits layNurseryEdits(QWidget* parent, store::Table& nurseries, Dialogs& dialogs, NurseryEdits::Layout layout)
{
    struct Place { const char* name; const char* caption; const char* field; QRect registry; QRect form; };
    static const Place places[] = {
        {"DBEdit1", "Nome", "Nome", QRect(16, 200, 505, 21), QRect(16, 32, 457, 21)},
        {"DBEdit2", "Indirizzo", "Indirizzo", QRect(16, 248, 241, 21), QRect(16, 80, 208, 21)},
        {"DBEdit23", "Città", "Citta", QRect(272, 248, 137, 21), QRect(232, 80, 137, 21)},
        {"DBEdit3", "Cap", "Cap", QRect(420, 248, 48, 21), QRect(380, 80, 48, 21)},
        {"DBEdit4", "Provincia", "Provincia", QRect(480, 248, 32, 21), QRect()},
        {"DBEdit5", "Telefono", "Telefono", QRect(16, 296, 109, 21), QRect(16, 128, 109, 21)},
        {"DBEdit6", "Fax", "Fax", QRect(136, 296, 109, 21), QRect(136, 128, 109, 21)},
    };
    DataEdit* made[std::size(places)] = {};
    for (size_t i = 0; i < std::size(places); ++i) {
        const Place& p = places[i];
        const QRect rect = layout == NurseryEdits::Registry ? p.registry : p.form;
        if (rect.isNull())
            continue;
        made[i] = labelledEdit(parent, p.name, QString::fromUtf8(p.caption), &nurseries, p.field, &dialogs, rect);
    }
    return {made[0], made[1], made[2], made[3], made[4], made[5], made[6]};
}

TFrm_InserimentoNido::TFrm_InserimentoNido(store::Table& nurseries, Dialogs& dialogs, QWidget* parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("TFrm_InserimentoNido"));
    setWindowTitle(QStringLiteral("Inserimento anagrafica nuovo nido"));
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint);
    setFixedSize(482, 179);
    // Laid out for MS Sans Serif at 11 pixels (loaded at start).
    setFont(formFont());

    const NurseryEdits e = layNurseryEdits(this, nurseries, dialogs, NurseryEdits::Form);
    DBEdit1 = e.DBEdit1;
    DBEdit2 = e.DBEdit2;
    DBEdit23 = e.DBEdit23;
    DBEdit3 = e.DBEdit3;
    DBEdit5 = e.DBEdit5;
    DBEdit6 = e.DBEdit6;

    auto* cancel = speedButton(this, "SpeedButton11", QStringLiteral("Annulla"), QStringLiteral("Annulla inserimento"),
                               QRect(351, 115, 55, 55), Glyph::Annulla);
    auto* ok = speedButton(this, "SpeedButton1", QStringLiteral("Conferma"), QStringLiteral("Conferma inserimento nido"),
                           QRect(415, 115, 55, 55), Glyph::Conferma);
    SpeedButton11 = cancel;
    SpeedButton1 = ok;
    connect(cancel, &QToolButton::clicked, this, &TFrm_InserimentoNido::SpeedButton11Click);
    connect(ok, &QToolButton::clicked, this, &TFrm_InserimentoNido::SpeedButton1Click);
}

void TFrm_InserimentoNido::showEvent(QShowEvent* e)
{
    // Each opening is a new nursery: in the middle of the desktop (at the
    // first start the main window is not shown yet), typing into "Nome".
    if (!e->spontaneous()) {
        centreOnScreen(this);
        DBEdit1->setFocus(Qt::OtherFocusReason);
    }
    QDialog::showEvent(e);
}

} // namespace velmora
