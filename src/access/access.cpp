// Access to the program: the nursery chooser, login and logout, and the
// password reset with the security code. The educator and children lists
// always follow the current nursery IdNidoCorrente.
#include "access.h"
#include "datamodule.h"
#include "dialogs.h"
#include "builders.h"
#include "lookups.h"

#include <QLabel>
#include <QMenu>
#include <QToolButton>

namespace velmora {

namespace {

// A text written between the single quotes of a filter: a quote inside it
// is doubled, so that what the user typed is compared, never read as filter.
QString quotedLiteral(const QString& text)
{
    QString q = text;
    q.replace(QLatin1Char('\''), QLatin1String("''"));
    return QLatin1Char('\'') + q + QLatin1Char('\'');
}

} // namespace

AccessScreen::AccessScreen(DataModule& d, QWidget* panel, QObject* parent)
    : QObject(parent), data(d)
{
    data.Tbl_AnagNido.setReaction(store::Table::Reaction::AfterScroll, this, [this](store::Table&) { Tbl_AnagNidoAfterScroll(); });

    auto* lblNido = new QLabel(QStringLiteral("Nido di riferimento:"), panel);
    lblNido->move(256, 128);
    lblNido->adjustSize();
    DBLookupComboBox1 = hinted(new LookupComboBox(panel), QStringLiteral("Seleziona il nido d'infanzia di riferimento"));
    DBLookupComboBox1->setObjectName(QStringLiteral("DBLookupComboBox1"));
    DBLookupComboBox1->setGeometry(328, 144, 177, 21);
    DBLookupComboBox1->setDialogs(&data.dialogs);
    DBLookupComboBox1->setListSource(&data.Tbl_AnagNido, QStringLiteral("Id"), QStringLiteral("Nome"));
    data.onEvent(DBLookupComboBox1, &LookupComboBox::closeUp, this, &AccessScreen::DBLookupComboBox1CloseUp);
    auto* lblEdu = new QLabel(QStringLiteral("Educatrici:"), panel);
    lblEdu->move(288, 200);
    lblEdu->adjustSize();
    DBLookupListBox1 = hinted(new LookupListBox(panel), QStringLiteral("Seleziona l'educatrice per accedere"));
    DBLookupListBox1->setObjectName(QStringLiteral("DBLookupListBox1"));
    DBLookupListBox1->setGeometry(328, 216, 177, 180);
    DBLookupListBox1->setDialogs(&data.dialogs);
    DBLookupListBox1->setListSource(&data.Tbl_AnagEdu, QStringLiteral("Id"), QStringLiteral("Nominativo"));
    data.onEvent(DBLookupListBox1, &LookupListBox::doubleClicked, this, &AccessScreen::DBLookupListBox1DblClick);
    // Return on the list logs in as the login button does.
    data.onEvent(DBLookupListBox1, &LookupListBox::returnPressed, this, &AccessScreen::SpeedButton4Click);
    DBLookupListBox1->setContextMenuPolicy(Qt::CustomContextMenu);
    PopupMenu1 = new QMenu(DBLookupListBox1);
    PopupMenu1->setObjectName(QStringLiteral("PopupMenu1"));
    QAction* reset = PopupMenu1->addAction(QStringLiteral("Resetta password"));
    reset->setObjectName(QStringLiteral("Resettapassword1"));
    data.onEvent(reset, &QAction::triggered, this, &AccessScreen::Resettapassword1Click);
    connect(DBLookupListBox1, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& at) { PopupMenu1->popup(DBLookupListBox1->viewport()->mapToGlobal(at)); });

    SpeedButton4 = speedButton(panel, "SpeedButton4", QStringLiteral("Accedi"), QStringLiteral("Clicca quì ed accedi al programma"),
                               QRect(464, 400, 55, 55), Glyph::Accedi);
    data.onEvent(SpeedButton4, &QToolButton::clicked, this, &AccessScreen::SpeedButton4Click);
}

QList<QWidget*> AccessScreen::tabChain() const
{
    return {DBLookupComboBox1, DBLookupListBox1, SpeedButton4};
}

void AccessScreen::focusNurseryChooser()
{
    DBLookupComboBox1->setFocus(Qt::OtherFocusReason);
}

void AccessScreen::showNursery(const QVariant& id)
{
    DBLookupComboBox1->setKeyValue(id);
}

void AccessScreen::Tbl_AnagNidoAfterScroll()
{
    data.shell->mostraVersione();
    if (data.registroNidiAperto)
        return;
    if (data.Tbl_AnagNido.asInteger(QStringLiteral("Id")) == 0)
        return;
    // The filter first: opened unfiltered, the educators would read (and the
    // lists bound to them show) a page of every nursery's educators first.
    // The same nursery's list already shown (a logout, the chooser closed on
    // the nursery already chosen) is left as it is, with the educator chosen
    // in it: only another list starts again from its first educator.
    const QString educatori = QStringLiteral("Id_Nido=%1").arg(data.wholeNumber(data.IdNidoCorrente));
    store::Table& edu = data.Tbl_AnagEdu;
    if (!(edu.isOpen() && edu.isFiltered() && edu.filter() == educatori))
        data.impostaFiltro(edu, educatori);
    if (!data.Tbl_AnagEdu.isOpen())
        data.Tbl_AnagEdu.open();
    if (data.Tbl_AnagBimbi.isOpen())
        data.ApplicaFiltroBimbi();
}

void AccessScreen::DBLookupComboBox1CloseUp()
{
    data.guarded([&] {
        const int id = data.Tbl_AnagNido.asInteger(QStringLiteral("Id"));
        if (id == 0)
            return;
        data.IdNidoCorrente = QString::number(id);
        Tbl_AnagNidoAfterScroll();
    });
}

void AccessScreen::DBLookupListBox1DblClick()
{
    data.guarded([&] {
        const std::optional<QString> typed =
            data.dialogs.input(QStringLiteral("Inserire la password"), QStringLiteral("Password"), QString(), true);
        const QString password = data.Tbl_AnagEdu.isOpen() ? data.Tbl_AnagEdu.asString(QStringLiteral("Password")) : QString();
        if (typed.value_or(QString()) != password) {
            data.dialogs.error(QStringLiteral("La password inserita è errata"));
            return;
        }
        // Every evaluation of every nursery loses its selection mark.
        data.AzzeraSelezioni();

        data.shell->mostraSetup(data.Tbl_AnagEdu.isOpen() && data.Tbl_AnagEdu.asBoolean(QStringLiteral("Responsabile")));
        if (!data.Tbl_AnagBimbi.isOpen())
            data.Tbl_AnagBimbi.open();
        data.ApplicaFiltroBimbi();
        if (!data.Tbl_Valutazioni.isOpen())
            data.Tbl_Valutazioni.open();
        data.impostaFiltro(data.Tbl_Valutazioni, data.Tbl_AnagBimbi.isEmpty()
                                       ? QStringLiteral("Id_Bimbo=0")
                                       : QStringLiteral("Id_Bimbo=") + data.Tbl_AnagBimbi.asString(QStringLiteral("Id")));
        data.shell->mostraElenco();
    });
}

void AccessScreen::SpeedButton4Click()
{
    DBLookupListBox1DblClick();
    data.IdNidoCorrente = data.Tbl_AnagNido.asString(QStringLiteral("Id"));
}

void AccessScreen::Btn_LogOutClick()
{
    data.guarded([&] {
        for (store::Table* t : {&data.Tbl_App, &data.Tbl_AnagBimbi, &data.Tbl_Valutazioni, &data.Tbl_Aree, &data.Tbl_Personale, &data.Tbl_FasiVal})
            t->close();
        data.shell->mostraAccesso();
        if (!data.Tbl_AnagNido.isOpen())
            data.Tbl_AnagNido.open();
        data.IdNidoCorrente = data.Tbl_AnagNido.asString(QStringLiteral("Id"));
        Tbl_AnagNidoAfterScroll();
        DBLookupComboBox1->setKeyValue(data.Tbl_AnagNido.value(QStringLiteral("Id")));
    });
}

void AccessScreen::Resettapassword1Click()
{
    data.guarded([&] {
        if (data.wholeNumber(data.IdNidoCorrente) == 0)
            return;
        if (!data.Tbl_AnagEdu.isOpen())
            return;
        const int educator = data.Tbl_AnagEdu.asInteger(QStringLiteral("Id"));
        if (educator == 0)
            return;
        const QString name = data.Tbl_AnagEdu.asString(QStringLiteral("Nominativo"));
        const QString code = data.dialogs.input(QStringLiteral("Reset password"), name + QStringLiteral(" - Codice di sicurezza:"),
                                             QString(), false).value_or(QString());
        if (code.isEmpty())
            return;
        data.impostaFiltro(data.Tbl_AnagEdu, QStringLiteral("Responsabile and Id_Nido=") + data.IdNidoCorrente
                                   + QStringLiteral(" and Cognome=") + quotedLiteral(code));
        data.Tbl_AnagEdu.first();
        if (!data.Tbl_AnagEdu.isEmpty()) {
            data.ImpostaSolaLettura(data.Tbl_AnagEdu, false);
            data.impostaFiltro(data.Tbl_AnagEdu, QStringLiteral("Id=%1").arg(educator));
            data.Tbl_AnagEdu.edit();
            const QString fresh = data.dialogs.input(QStringLiteral("Reset password"),
                                                  QStringLiteral("Nuova password per ") + name + QStringLiteral(":"),
                                                  QString(), false).value_or(QString());
            // The field holds ten characters: a longer password would be cut
            // on storing and the educator could no longer log in with it.
            const int size = data.Tbl_AnagEdu.fieldByName(QStringLiteral("Password")).size();
            if (size > 0 && fresh.size() > size) {
                data.dialogs.warning(QStringLiteral("La password può contenere al massimo %1 caratteri.").arg(size));
                data.dialogs.plain(QStringLiteral("Password non resettata"));
            } else if (!fresh.isEmpty()) {
                data.Tbl_AnagEdu.setValue(QStringLiteral("Password"), fresh);
                data.dialogs.plain(QStringLiteral("Password resettata correttamente"));
            } else {
                data.dialogs.plain(QStringLiteral("Password non resettata"));
            }
            data.Tbl_AnagEdu.post();
            data.ImpostaSolaLettura(data.Tbl_AnagEdu, true);
        }
        Tbl_AnagNidoAfterScroll();
    });
}

} // namespace velmora
