// Access to the program: the nursery chooser, login and logout, and the
// password reset with the security code. The educator and children lists
// always follow the current nursery IdNidoCorrente.
#include "datanavigator.h"
#include "lookups.h"
#include "mainwindow.h"

#include <QLabel>
#include <QToolBar>

namespace velmora {

namespace {

// A text read as a whole number, 0 when it is not one.
int wholeNumber(const QString& text)
{
    bool ok = false;
    const int n = text.trimmed().toInt(&ok);
    return ok ? n : 0;
}

// A text written between the single quotes of a filter: a quote inside it
// is doubled, so that what the user typed is compared, never read as filter.
QString quotedLiteral(const QString& text)
{
    QString q = text;
    q.replace(QLatin1Char('\''), QLatin1String("''"));
    return QLatin1Char('\'') + q + QLatin1Char('\'');
}

void setFilter(store::Table& t, const QString& filter)
{
    t.setFiltered(false);
    t.setFilter(filter);
    t.setFiltered(true);
}

} // namespace

void TFrm_Main::Tbl_AnagNidoAfterScroll()
{
    StatusVersion->setText(QStringLiteral("Versione 1.12"));
    if (Tbl_AnagNido.tag != 0)
        return;
    if (Tbl_AnagNido.asInteger(QStringLiteral("Id")) == 0)
        return;
    if (!Tbl_AnagEdu.isOpen())
        Tbl_AnagEdu.open();
    setFilter(Tbl_AnagEdu, QStringLiteral("Id_Nido=%1").arg(wholeNumber(IdNidoCorrente)));
    if (Tbl_AnagBimbi.isOpen())
        ApplicaFiltroBimbi();
}

void TFrm_Main::ApplicaFiltroBimbi()
{
    setFilter(Tbl_AnagBimbi, QStringLiteral("Id_Nido=%1").arg(wholeNumber(IdNidoCorrente)) + FiltroFrequenza);
}

void TFrm_Main::DBLookupComboBox1CloseUp()
{
    guarded([&] {
        const int id = Tbl_AnagNido.asInteger(QStringLiteral("Id"));
        if (id == 0)
            return;
        IdNidoCorrente = QString::number(id);
        Tbl_AnagNidoAfterScroll();
    });
}

void TFrm_Main::DBLookupListBox1DblClick()
{
    guarded([&] {
        const std::optional<QString> typed =
            m_dialogs.input(QStringLiteral("Inserire la password"), QStringLiteral("Password"), QString(), true);
        const QString password = Tbl_AnagEdu.isOpen() ? Tbl_AnagEdu.asString(QStringLiteral("Password")) : QString();
        if (typed.value_or(QString()) != password) {
            m_dialogs.error(QStringLiteral("La password inserita è errata"));
            return;
        }
        // Every evaluation of every nursery loses its selection mark.
        Tbl_App.close();
        Tbl_App.setDataFolder(m_folder.get());
        Tbl_App.setTableName(QStringLiteral("Valutaz.db"));
        Tbl_App.setIndexName(QString());
        Tbl_App.setFiltered(false);
        Tbl_App.setFilter(QString());
        Tbl_App.open();
        Tbl_App.setAll(QStringLiteral("Sel"), false);
        Tbl_App.close();

        Tb_Setup->setVisible(Tbl_AnagEdu.isOpen() && Tbl_AnagEdu.asBoolean(QStringLiteral("Responsabile")));
        if (!Tbl_AnagBimbi.isOpen())
            Tbl_AnagBimbi.open();
        ApplicaFiltroBimbi();
        if (!Tbl_Valutazioni.isOpen())
            Tbl_Valutazioni.open();
        setFilter(Tbl_Valutazioni, Tbl_AnagBimbi.isEmpty()
                                       ? QStringLiteral("Id_Bimbo=0")
                                       : QStringLiteral("Id_Bimbo=") + Tbl_AnagBimbi.asString(QStringLiteral("Id")));
        showListScreen();
    });
}

void TFrm_Main::SpeedButton4Click()
{
    DBLookupListBox1DblClick();
    IdNidoCorrente = Tbl_AnagNido.asString(QStringLiteral("Id"));
}

void TFrm_Main::Btn_LogOutClick()
{
    guarded([&] {
        for (store::Table* t : {&Tbl_App, &Tbl_AnagBimbi, &Tbl_Valutazioni, &Tbl_Aree, &Tbl_Personale, &Tbl_FasiVal})
            t->close();
        showAccessPanel();
        if (!Tbl_AnagNido.isOpen())
            Tbl_AnagNido.open();
        IdNidoCorrente = Tbl_AnagNido.asString(QStringLiteral("Id"));
        Tbl_AnagNidoAfterScroll();
    });
}

void TFrm_Main::Resettapassword1Click()
{
    guarded([&] {
        if (wholeNumber(IdNidoCorrente) == 0)
            return;
        if (!Tbl_AnagEdu.isOpen())
            return;
        const int educator = Tbl_AnagEdu.asInteger(QStringLiteral("Id"));
        if (educator == 0)
            return;
        const QString name = Tbl_AnagEdu.asString(QStringLiteral("Nominativo"));
        const QString code = m_dialogs.input(QStringLiteral("Reset password"), name + QStringLiteral(" - Codice di sicurezza:"),
                                             QString(), false).value_or(QString());
        if (code.isEmpty())
            return;
        setFilter(Tbl_AnagEdu, QStringLiteral("Responsabile and Id_Nido=") + IdNidoCorrente
                                   + QStringLiteral(" and Cognome=") + quotedLiteral(code));
        Tbl_AnagEdu.first();
        if (!Tbl_AnagEdu.isEmpty()) {
            ImpostaSolaLettura(Tbl_AnagEdu, false);
            setFilter(Tbl_AnagEdu, QStringLiteral("Id=%1").arg(educator));
            Tbl_AnagEdu.edit();
            const QString fresh = m_dialogs.input(QStringLiteral("Reset password"),
                                                  QStringLiteral("Nuova password per ") + name + QStringLiteral(":"),
                                                  QString(), false).value_or(QString());
            // The field holds ten characters: a longer password would be cut
            // on storing and the educator could no longer log in with it.
            const int size = Tbl_AnagEdu.fieldByName(QStringLiteral("Password")).size();
            if (size > 0 && fresh.size() > size) {
                m_dialogs.warning(QStringLiteral("La password può contenere al massimo %1 caratteri.").arg(size));
                m_dialogs.plain(QStringLiteral("Password non resettata"));
            } else if (!fresh.isEmpty()) {
                Tbl_AnagEdu.setValue(QStringLiteral("Password"), fresh);
                m_dialogs.plain(QStringLiteral("Password resettata correttamente"));
            } else {
                m_dialogs.plain(QStringLiteral("Password non resettata"));
            }
            Tbl_AnagEdu.post();
            ImpostaSolaLettura(Tbl_AnagEdu, true);
        }
        Tbl_AnagNidoAfterScroll();
    });
}

} // namespace velmora
