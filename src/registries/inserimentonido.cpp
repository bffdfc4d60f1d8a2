#include "inserimentonido.h"
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

    auto edit = [&](const char* name, const char* label, const char* field, int left, int top, int width) {
        auto* l = new QLabel(QString::fromUtf8(label), this);
        l->move(left, top - 16);
        auto* e = new DataEdit(this);
        e->setObjectName(QString::fromLatin1(name));
        e->setGeometry(left, top, width, 21);
        e->setDataSource(&nurseries, QString::fromLatin1(field));
        e->setDialogs(&dialogs);
        return e;
    };
    DBEdit1 = edit("DBEdit1", "Nome", "Nome", 16, 32, 457);
    DBEdit2 = edit("DBEdit2", "Indirizzo", "Indirizzo", 16, 80, 208);
    DBEdit23 = edit("DBEdit23", "Città", "Citta", 232, 80, 137);
    DBEdit3 = edit("DBEdit3", "Cap", "Cap", 380, 80, 48);
    DBEdit5 = edit("DBEdit5", "Telefono", "Telefono", 16, 128, 109);
    DBEdit6 = edit("DBEdit6", "Fax", "Fax", 136, 128, 109);

    auto button = [&](const char* name, const QString& text, const QString& hint, int left) {
        auto* b = new QToolButton(this);
        b->setObjectName(QString::fromLatin1(name));
        b->setText(text);
        b->setToolTip(hint);
        b->setStatusTip(hint);
        b->setGeometry(left, 115, 55, 55);
        b->setCursor(Qt::PointingHandCursor);
        return b;
    };
    auto* cancel = button("SpeedButton11", QStringLiteral("Annulla"), QStringLiteral("Annulla inserimento"), 351);
    auto* ok = button("SpeedButton1", QStringLiteral("Conferma"), QStringLiteral("Conferma inserimento nido"), 415);
    SpeedButton11 = cancel;
    SpeedButton1 = ok;
    connect(cancel, &QToolButton::clicked, this, &TFrm_InserimentoNido::SpeedButton11Click);
    connect(ok, &QToolButton::clicked, this, &TFrm_InserimentoNido::SpeedButton1Click);
}

} // namespace velmora
