#include "inserimentonido.h"
#include "builders.h"
#include "dataedits.h"

#include <QLabel>
#include <QToolButton>

namespace velmora {

TFrm_InserimentoNido::TFrm_InserimentoNido(store::Table& nurseries, Dialogs& dialogs, QWidget* parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("TFrm_InserimentoNido"));
    setWindowTitle(QStringLiteral("Inserimento anagrafica nuovo nido"));
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint);
    setFixedSize(482, 179);
    QFont f(QStringLiteral("MS Sans Serif"));
    f.setPixelSize(11);
    setFont(f);

    DBEdit1 = labelledEdit(this, "DBEdit1", QStringLiteral("Nome"), &nurseries, "Nome", &dialogs, QRect(16, 32, 457, 21));
    DBEdit2 = labelledEdit(this, "DBEdit2", QStringLiteral("Indirizzo"), &nurseries, "Indirizzo", &dialogs, QRect(16, 80, 208, 21));
    DBEdit23 = labelledEdit(this, "DBEdit23", QStringLiteral("Città"), &nurseries, "Citta", &dialogs, QRect(232, 80, 137, 21));
    DBEdit3 = labelledEdit(this, "DBEdit3", QStringLiteral("Cap"), &nurseries, "Cap", &dialogs, QRect(380, 80, 48, 21));
    DBEdit5 = labelledEdit(this, "DBEdit5", QStringLiteral("Telefono"), &nurseries, "Telefono", &dialogs, QRect(16, 128, 109, 21));
    DBEdit6 = labelledEdit(this, "DBEdit6", QStringLiteral("Fax"), &nurseries, "Fax", &dialogs, QRect(136, 128, 109, 21));

    auto* cancel = hintedButton(this, "SpeedButton11", QStringLiteral("Annulla"), QStringLiteral("Annulla inserimento"), QRect(351, 115, 55, 55));
    auto* ok = hintedButton(this, "SpeedButton1", QStringLiteral("Conferma"), QStringLiteral("Conferma inserimento nido"), QRect(415, 115, 55, 55));
    SpeedButton11 = cancel;
    SpeedButton1 = ok;
    connect(cancel, &QToolButton::clicked, this, &TFrm_InserimentoNido::SpeedButton11Click);
    connect(ok, &QToolButton::clicked, this, &TFrm_InserimentoNido::SpeedButton1Click);
}

} // namespace velmora
