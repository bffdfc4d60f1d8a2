// Getting into the program: the first nursery at the first start, the login
// with its password, the nursery the lists follow, the password reset with the
// security code, and the nursery registry with its new-nursery operation.

#include "dataedits.h"
#include "datagrid.h"
#include "datafolder.h"
#include "inserimentonido.h"
#include "lookups.h"
#include "installer.h"
#include "serverlocks.h"
#include "datanavigator.h"
#include "access.h"
#include "mainwindow.h"
#include "nursery.h"
#include "pixels.h"
#include "scenariofixture.h"
#include "scripteddialogs.h"
#include "scripteddialogs_qtest.h"
#include "table.h"

#include <QDir>
#include <QGroupBox>
#include <QTemporaryDir>
#include <QTest>
#include <QToolBar>
#include <QToolButton>

#include <optional>

using namespace velmora;

namespace {

const QString askNursery = QStringLiteral("Per proseguire è indispensabile inserire un nido. Procedere?");
const QString adminCreated = QStringLiteral(
    "E' stata creata un anagrafica educatrice di nome \"Admin\" con password \"Kemlo\" che è attualmente la "
    "responsabile del nido.");
const QString wrongPassword = QStringLiteral("La password inserita è errata");

// The password stored for `educator`.
QString password(const ScenarioFolder& p, int educator)
{
    const auto r = p.rows(QStringLiteral("AnagEdu.db"), QStringLiteral("Id=%1").arg(educator));
    return r.isEmpty() ? QStringLiteral("<none>") : r.first().value(QStringLiteral("Password")).toString();
}

// The evaluations marked as the program sees them (on a server, the marks
// are the program's own: read through its connection).
int marked(TFrm_Main& w)
{
    velmora::store::Table t;
    t.setDataFolder(w.Data.folder());
    t.setTableName(QStringLiteral("Valutaz.db"));
    t.setFilter(QStringLiteral("Sel"));
    t.setFiltered(true);
    t.open();
    return t.recordCount();
}

// The form's part of a script: types `name` in the new nursery's name and
// confirms, or closes the form with `result`.
std::function<int(QDialog&)> fillNursery(int result, const QString& name = QString())
{
    return [result, name](QDialog& form) {
        if (result == QDialog::Accepted) {
            auto* edit = control<DataEdit>(&form, "DBEdit1");
            QTest::keyClicks(edit, name);
        }
        return result;
    };
}

// The display names the educator list shows, in its order.
QStringList listedEducators(TFrm_Main& w)
{
    QStringList out;
    for (w.Data.Tbl_AnagEdu.first(); !w.Data.Tbl_AnagEdu.isEof(); w.Data.Tbl_AnagEdu.next())
        out << w.Data.Tbl_AnagEdu.asString(QStringLiteral("Nominativo"));
    w.Data.Tbl_AnagEdu.first();
    return out;
}

void expectLogin(ScriptedDialogs& d, std::optional<QString> typed)
{
    d.expectInput(QStringLiteral("Password"), typed, true);
}

} // namespace

class TestAccess : public QObject
{
    Q_OBJECT

private slots:
    // The server run (test_access_server) skips where it cannot run.
    void initTestCase() { STORETEST_REQUIRE_ENGINE(); }
    void serverWithoutTables();
    void serverLocks();
    void firstStartNeedsANursery_data();
    void firstStartNeedsANursery();
    void login_data();
    void login();
    void evaluationsFollowFirstChild_data();
    void evaluationsFollowFirstChild();
    void setupToolbarAndMarksAtEveryLogin();
    void loginButtonTakesNurseryUnderCursor_data();
    void loginButtonTakesNurseryUnderCursor();
    void listsFollowChosenNursery();
    void logoutKeepsChosenEducator_data();
    void logoutKeepsChosenEducator();
    void passwordReset_data();
    void passwordReset();
    void registryLocksNavigation();
    void newNurseryThenLogout_data();
    void newNurseryThenLogout();
    void cancelledNewNurseryLeavesNoTrace_data();
    void cancelledNewNurseryLeavesNoTrace();
};

// ------------------------------------------------------------ first start

// A server that answers but holds none of the program's tables (not yet
// prepared by the administrator) is said, and the program does not start.
void TestAccess::serverWithoutTables()
{
    if (!storetest::onServer())
        QSKIP("SKIP: solo sul server di prova (test_access_server)");
    ScenarioFolder p;
    storetest::adminExec(QStringLiteral("DROP SCHEMA %1 CASCADE").arg(store::quoted(p.schema)));
    storetest::adminExec(QStringLiteral("CREATE SCHEMA %1").arg(store::quoted(p.schema)));
    ScriptedDialogs dialogs;
    const QString line = QString::fromUtf8(storetest::readFile(QDir(p.db()).filePath(QStringLiteral("server.conf"))));
    const QString where = store::parseServerLine(line.trimmed()).describe();
    dialogs.expectMessage(BoxType::Error,
                          QStringLiteral("Il %1 non contiene le tabelle del programma (manca AnagNido, AnagEdu, AnagBimbi, "
                                         "Valutaz, Ruoli, Aree, Personale, FasiVal): l'amministratore deve prepararlo."
                                         "\n\nIl programma si chiude senza modificare nulla.")
                              .arg(where));
    TFrm_Main w(p.path(), dialogs);
    VERIFY_DIALOGS(dialogs);
    QVERIFY(w.dataFolderMissing());
    QVERIFY(!w.Data.Tbl_AnagNido.isOpen());
}

// On a server every program holds the shared lock: none starts while the
// administrator's tool holds the exclusive one, and older tables are
// upgraded only by a program running alone.
void TestAccess::serverLocks()
{
    if (!storetest::onServer())
        QSKIP("SKIP: solo sul server di prova (test_access_server)");
    const QString closes = QStringLiteral("\n\nIl programma si chiude senza modificare nulla.");
    {
        ScenarioFolder p;
        p.nursery(QStringLiteral("Il Girasole"));
        const auto admin = p.open();
        QVERIFY(store::takeExclusiveLock(*admin));
        ScriptedDialogs dialogs;
        dialogs.expectMessage(BoxType::Error,
                              QStringLiteral("Sul %1 l'amministratore sta preparando, importando o aggiornando le tabelle "
                                             "(velmora-server): riprovare quando ha finito.")
                                      .arg(admin->serverLine().describe())
                                  + closes);
        TFrm_Main w(p.path(), dialogs);
        VERIFY_DIALOGS(dialogs);
        QVERIFY(w.shouldEnd());
        QVERIFY(!w.Data.Tbl_AnagNido.isOpen());
    }
    {
        ScenarioFolder p(store::Layout::Older);
        p.nursery(QStringLiteral("Il Girasole"));
        const auto other = p.open(); // another program at work
        QVERIFY(store::holdProgramLock(*other));
        QVERIFY(!store::serverSchemaIsCurrent(*other));
        ScriptedDialogs dialogs;
        dialogs.expectMessage(BoxType::Error,
                              QStringLiteral("Le tabelle del %1 sono di una versione precedente del programma e vanno "
                                             "aggiornate, ma altri programmi Velmora le stanno usando.\n\n"
                                             "Chiudere gli altri programmi Velmora collegati al server e riavviare "
                                             "questo: l'aggiornamento si fa quando è l'unico al lavoro.")
                                      .arg(other->serverLine().describe())
                                  + closes);
        {
            TFrm_Main w(p.path(), dialogs);
            VERIFY_DIALOGS(dialogs);
            QVERIFY(w.shouldEnd());
        }
        QVERIFY(!store::serverSchemaIsCurrent(*other)); // nothing changed
    }
}

void TestAccess::firstStartNeedsANursery_data()
{
    QTest::addColumn<QList<int>>("forms");
    // Each refused form is followed by the question; it is answered Yes when
    // another form follows, No when the list ends without a confirmed one.
    QTest::newRow("confirmed at once") << QList<int>{QDialog::Accepted};
    QTest::newRow("aborted, Yes, confirmed") << QList<int>{TFrm_InserimentoNido::Abort, QDialog::Accepted};
    QTest::newRow("closed, Yes, confirmed") << QList<int>{QDialog::Rejected, QDialog::Accepted};
    QTest::newRow("aborted twice, then confirmed")
        << QList<int>{TFrm_InserimentoNido::Abort, QDialog::Rejected, QDialog::Accepted};
    QTest::newRow("aborted, No") << QList<int>{TFrm_InserimentoNido::Abort};
    QTest::newRow("closed, No") << QList<int>{QDialog::Rejected};
    QTest::newRow("aborted, Yes, closed, No") << QList<int>{TFrm_InserimentoNido::Abort, QDialog::Rejected};
}

void TestAccess::firstStartNeedsANursery()
{
    QFETCH(QList<int>, forms);
    ScenarioFolder p;
    ScriptedDialogs dialogs;
    for (int i = 0; i < forms.size(); ++i) {
        dialogs.expectForm(QStringLiteral("TFrm_InserimentoNido"), fillNursery(forms[i], QStringLiteral("Il Girasole")));
        if (forms[i] != QDialog::Accepted)
            dialogs.expectMessage(BoxType::Confirmation, askNursery, i + 1 < forms.size() ? Button::Yes : Button::No);
    }
    const bool confirmed = forms.last() == QDialog::Accepted;
    if (confirmed)
        dialogs.expectMessage(BoxType::Information, adminCreated);

    TFrm_Main w(p.path(), dialogs);
    VERIFY_DIALOGS(dialogs);
    QCOMPARE(w.shouldEnd(), !confirmed);
    const auto nurseries = p.rows(QStringLiteral("AnagNido.db"));
    const auto educators = p.rows(QStringLiteral("AnagEdu.db"));
    if (!confirmed) {
        QCOMPARE(nurseries.size(), 0);
        QCOMPARE(educators.size(), 0);
        return;
    }
    QCOMPARE(nurseries.size(), 1);
    QCOMPARE(nurseries[0].value("Nome").toString(), QStringLiteral("Il Girasole"));
    const int id = nurseries[0].value("Id").toInt();
    QCOMPARE(educators.size(), 1);
    QCOMPARE(educators[0].value("Nome").toString(), QStringLiteral("Admin"));
    QCOMPARE(educators[0].value("Cognome").toString(), QStringLiteral("Admin"));
    QCOMPARE(educators[0].value("Password").toString(), QStringLiteral("Kemlo"));
    QCOMPARE(educators[0].value("Responsabile").toBool(), true);
    QCOMPARE(educators[0].value("Id_Nido").toInt(), id);
    QCOMPARE(w.Data.IdNidoCorrente, QString::number(id));
    QCOMPARE(listedEducators(w), QStringList{QStringLiteral("*Admin Admin")});
    QVERIFY2(w.accessPanelInFront(), qPrintable(screenState(w, dialogs)));
    // The new admin gets in with the password the box announced.
    expectLogin(dialogs, QStringLiteral("Kemlo"));
    w.accessScreen().DBLookupListBox1DblClick();
    VERIFY_DIALOGS(dialogs);
    QVERIFY2(!w.accessPanelInFront(), qPrintable(screenState(w, dialogs)));
}

// ------------------------------------------------------------------ login

void TestAccess::login_data()
{
    QTest::addColumn<QString>("surname");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<bool>("cancelled");
    QTest::addColumn<bool>("admitted");
    QTest::addColumn<bool>("setup");
    QTest::newRow("responsible, right") << "Rossi" << "segreta" << false << true << true;
    QTest::newRow("responsible, other case") << "Rossi" << "Segreta" << false << false << false;
    QTest::newRow("responsible, empty entry") << "Rossi" << "" << false << false << false;
    QTest::newRow("responsible, cancelled") << "Rossi" << "" << true << false << false;
    QTest::newRow("other, right") << "Verdi" << "ciao" << false << true << false;
    QTest::newRow("other, someone else's") << "Verdi" << "segreta" << false << false << false;
    QTest::newRow("no password, empty entry") << "Bianchi" << "" << false << true << false;
    QTest::newRow("no password, cancelled") << "Bianchi" << "" << true << true << false;
    QTest::newRow("no password, something typed") << "Bianchi" << "x" << false << false << false;
    QTest::newRow("blank password, empty entry") << "Gialli" << "" << false << true << false;
}

void TestAccess::login()
{
    QFETCH(QString, surname);
    QFETCH(QString, typed);
    QFETCH(bool, cancelled);
    QFETCH(bool, admitted);
    QFETCH(bool, setup);
    ScenarioFolder p;
    const int a = p.nursery(QStringLiteral("Arcobaleno"));
    const int b = p.nursery(QStringLiteral("Pollicino"));
    p.educator({.nursery = a, .password = QStringLiteral("segreta")});
    p.educator({.nursery = a, .nome = QStringLiteral("Lucia"), .cognome = QStringLiteral("Verdi"),
                .password = QStringLiteral("ciao"), .responsabile = false});
    p.educator({.nursery = a, .nome = QStringLiteral("Carla"), .cognome = QStringLiteral("Bianchi"),
                .password = QVariant(), .responsabile = false});
    p.educator({.nursery = a, .nome = QStringLiteral("Gina"), .cognome = QStringLiteral("Gialli"),
                .password = QString(""), .responsabile = false});
    const int zeta = p.child({.nursery = a, .nome = QStringLiteral("Marco"), .cognome = QStringLiteral("Zeta")});
    const int alfieri = p.child({.nursery = a, .nome = QStringLiteral("Bruno"), .cognome = QStringLiteral("Alfieri")});
    p.child({.nursery = a, .nome = QStringLiteral("Ugo"), .cognome = QStringLiteral("Abate"), .frequenza = false});
    const int other = p.child({.nursery = b, .nome = QStringLiteral("Ada"), .cognome = QStringLiteral("Aaron")});
    for (int c : {zeta, alfieri, other}) {
        p.evaluation({.child = c, .date = QDate(), .sel = true});
        p.evaluation({.child = c, .date = QDate(), .sel = false});
    }

    ScriptedDialogs dialogs;
    TFrm_Main w(p.path(), dialogs);
    QCOMPARE(w.Data.IdNidoCorrente, QString::number(a));
    QVERIFY2(w.Data.Tbl_AnagEdu.locate(QStringLiteral("Cognome"), surname),
             qPrintable(notFound(w.Data.Tbl_AnagEdu, QStringLiteral("Cognome"), surname)));
    expectLogin(dialogs, cancelled ? std::nullopt : std::optional<QString>(typed));
    if (!admitted)
        dialogs.expectMessage(BoxType::Error, wrongPassword);
    w.accessScreen().DBLookupListBox1DblClick();
    VERIFY_DIALOGS(dialogs);
    const auto& shown = dialogs.shown();
    QCOMPARE(shown.first().caption, QStringLiteral("Inserire la password"));
    QVERIFY2(shown.first().masked, qPrintable(QStringLiteral("the first box is not masked; ") + dialogsShown(dialogs)));

    QCOMPARE(w.accessPanelInFront(), !admitted);
    if (!admitted) {
        QCOMPARE(marked(w), 3);
        return;
    }
    QCOMPARE(marked(w), 0);
    QCOMPARE(p.count(QStringLiteral("Valutaz.db")), 6);
    QCOMPARE(!control<QToolBar>(&w, "Tb_Setup")->isHidden(), setup);
    // The evaluations of the first attending child of the nursery, by name.
    QCOMPARE(w.Data.Tbl_Valutazioni.filter(), QStringLiteral("Id_Bimbo=%1").arg(alfieri));
    QCOMPARE(w.Data.Tbl_Valutazioni.recordCount(), 2);
}

void TestAccess::evaluationsFollowFirstChild_data()
{
    QTest::addColumn<QStringList>("attending");
    QTest::addColumn<QStringList>("absent");
    QTest::addColumn<QString>("first"); // empty: no child listed
    QTest::newRow("no children") << QStringList{} << QStringList{} << "";
    QTest::newRow("only children who left") << QStringList{} << QStringList{"Abate"} << "";
    QTest::newRow("first by surname") << QStringList{"Zeta", "Alfieri", "Moro"} << QStringList{} << "Alfieri";
    QTest::newRow("ignoring who left") << QStringList{"Moro"} << QStringList{"Abate"} << "Moro";
    QTest::newRow("surname without regard to case") << QStringList{"Zeta", "bassi"} << QStringList{} << "bassi";
}

void TestAccess::evaluationsFollowFirstChild()
{
    QFETCH(QStringList, attending);
    QFETCH(QStringList, absent);
    QFETCH(QString, first);
    ScenarioFolder p;
    const int a = p.nursery(QStringLiteral("Arcobaleno"));
    const int b = p.nursery(QStringLiteral("Pollicino"));
    p.educator({.nursery = a, .password = QVariant()});
    p.child({.nursery = b, .nome = QStringLiteral("Ada"), .cognome = QStringLiteral("Aaron")}); // another nursery's
    QMap<QString, int> ids;
    for (const QString& s : attending)
        ids[s] = p.child({.nursery = a, .nome = QStringLiteral("Nome"), .cognome = s});
    for (const QString& s : absent)
        ids[s] = p.child({.nursery = a, .nome = QStringLiteral("Nome"), .cognome = s, .frequenza = false});

    ScriptedDialogs dialogs;
    TFrm_Main w(p.path(), dialogs);
    expectLogin(dialogs, QString());
    w.accessScreen().DBLookupListBox1DblClick();
    VERIFY_DIALOGS(dialogs);
    QVERIFY2(!w.accessPanelInFront(), qPrintable(screenState(w, dialogs)));
    QCOMPARE(w.Data.Tbl_Valutazioni.filter(), QStringLiteral("Id_Bimbo=%1").arg(first.isEmpty() ? 0 : ids.value(first)));
}

void TestAccess::setupToolbarAndMarksAtEveryLogin()
{
    ScenarioFolder p;
    const int a = p.nursery(QStringLiteral("Arcobaleno"));
    const int b = p.nursery(QStringLiteral("Pollicino"));
    p.educator({.nursery = a, .password = QStringLiteral("r")});
    p.educator({.nursery = a, .nome = QStringLiteral("Lucia"), .cognome = QStringLiteral("Verdi"),
                .password = QStringLiteral("v"), .responsabile = false});
    const int ca = p.child({.nursery = a, .nome = QStringLiteral("Marco"), .cognome = QStringLiteral("Zeta")});
    const int cb = p.child({.nursery = b, .nome = QStringLiteral("Ada"), .cognome = QStringLiteral("Aaron")});
    p.evaluation({.child = ca, .date = QDate(), .sel = true});
    p.evaluation({.child = cb, .date = QDate(), .sel = true});

    ScriptedDialogs dialogs;
    TFrm_Main w(p.path(), dialogs);
    QVERIFY2(w.Data.Tbl_AnagEdu.locate(QStringLiteral("Cognome"), QStringLiteral("Rossi")),
             qPrintable(notFound(w.Data.Tbl_AnagEdu, QStringLiteral("Cognome"), QStringLiteral("Rossi"))));
    expectLogin(dialogs, QStringLiteral("r"));
    w.accessScreen().DBLookupListBox1DblClick();
    VERIFY_DIALOGS(dialogs);
    QVERIFY2(!control<QToolBar>(&w, "Tb_Setup")->isHidden(),
             qPrintable(widgetState(control<QToolBar>(&w, "Tb_Setup")) + QStringLiteral("; ") + screenState(w)));
    QCOMPARE(marked(w), 0);

    // Marks set while working are dropped again at the next login.
    p.evaluation({.child = ca, .date = QDate(), .sel = true});
    p.evaluation({.child = cb, .date = QDate(), .sel = true});
    w.accessScreen().Btn_LogOutClick();
    QVERIFY2(w.accessPanelInFront(), qPrintable(screenState(w, dialogs)));
    QCOMPARE(w.Data.IdNidoCorrente, QString::number(a));
    QVERIFY2(w.Data.Tbl_AnagEdu.locate(QStringLiteral("Cognome"), QStringLiteral("Verdi")),
             qPrintable(notFound(w.Data.Tbl_AnagEdu, QStringLiteral("Cognome"), QStringLiteral("Verdi"))));
    expectLogin(dialogs, QStringLiteral("v"));
    w.accessScreen().DBLookupListBox1DblClick();
    VERIFY_DIALOGS(dialogs);
    QVERIFY2(!w.accessPanelInFront(), qPrintable(screenState(w, dialogs)));
    QVERIFY2(control<QToolBar>(&w, "Tb_Setup")->isHidden(),
             qPrintable(widgetState(control<QToolBar>(&w, "Tb_Setup")) + QStringLiteral("; ") + screenState(w)));
    QCOMPARE(marked(w), 0);
    QCOMPARE(p.count(QStringLiteral("Valutaz.db")), 4);

    // And back to the responsible one.
    w.accessScreen().Btn_LogOutClick();
    QVERIFY2(w.Data.Tbl_AnagEdu.locate(QStringLiteral("Cognome"), QStringLiteral("Rossi")),
             qPrintable(notFound(w.Data.Tbl_AnagEdu, QStringLiteral("Cognome"), QStringLiteral("Rossi"))));
    expectLogin(dialogs, QStringLiteral("r"));
    w.accessScreen().SpeedButton4Click();
    VERIFY_DIALOGS(dialogs);
    QVERIFY2(!control<QToolBar>(&w, "Tb_Setup")->isHidden(),
             qPrintable(widgetState(control<QToolBar>(&w, "Tb_Setup")) + QStringLiteral("; ") + screenState(w)));
}

void TestAccess::loginButtonTakesNurseryUnderCursor_data()
{
    QTest::addColumn<bool>("button");
    QTest::addColumn<bool>("right");
    QTest::newRow("button, admitted") << true << true;
    QTest::newRow("button, refused") << true << false;
    QTest::newRow("double click, admitted") << false << true;
    QTest::newRow("double click, refused") << false << false;
}

void TestAccess::loginButtonTakesNurseryUnderCursor()
{
    QFETCH(bool, button);
    QFETCH(bool, right);
    ScenarioFolder p;
    const int a = p.nursery(QStringLiteral("Arcobaleno"));
    const int b = p.nursery(QStringLiteral("Pollicino"));
    p.educator({.nursery = a, .password = QStringLiteral("r")});
    p.educator({.nursery = b, .nome = QStringLiteral("Paola"), .cognome = QStringLiteral("Neri"),
                .password = QStringLiteral("n")});

    ScriptedDialogs dialogs;
    TFrm_Main w(p.path(), dialogs);
    QVERIFY2(w.Data.Tbl_AnagNido.locate(QStringLiteral("Id"), b),
             qPrintable(notFound(w.Data.Tbl_AnagNido, QStringLiteral("Id"), b)));
    // The list still shows the current nursery's educators.
    QCOMPARE(listedEducators(w), QStringList{QStringLiteral("*Rossi Anna")});
    expectLogin(dialogs, right ? QStringLiteral("r") : QStringLiteral("n"));
    if (!right)
        dialogs.expectMessage(BoxType::Error, wrongPassword);
    button ? w.accessScreen().SpeedButton4Click() : w.accessScreen().DBLookupListBox1DblClick();
    VERIFY_DIALOGS(dialogs);
    QCOMPARE(w.accessPanelInFront(), !right);
    QCOMPARE(w.Data.IdNidoCorrente, QString::number(button ? b : a));
}

void TestAccess::listsFollowChosenNursery()
{
    ScenarioFolder p;
    const int a = p.nursery(QStringLiteral("Arcobaleno"));
    const int b = p.nursery(QStringLiteral("Pollicino"));
    p.educator({.nursery = a, .password = QVariant()});
    p.educator({.nursery = a, .nome = QStringLiteral("Lucia"), .cognome = QStringLiteral("Verdi"),
                .password = QVariant(), .responsabile = false});
    p.educator({.nursery = b, .nome = QStringLiteral("Paola"), .cognome = QStringLiteral("Neri"),
                .password = QVariant(), .responsabile = false});
    p.child({.nursery = a, .nome = QStringLiteral("Marco"), .cognome = QStringLiteral("Zeta")});
    const int cb = p.child({.nursery = b, .nome = QStringLiteral("Ada"), .cognome = QStringLiteral("Moro")});

    ScriptedDialogs dialogs;
    TFrm_Main w(p.path(), dialogs);
    const QStringList ofA = {QStringLiteral("*Rossi Anna"), QStringLiteral("Verdi Lucia")};
    QCOMPARE(listedEducators(w), ofA);

    // Walking the nursery table alone chooses nothing.
    QVERIFY2(w.Data.Tbl_AnagNido.locate(QStringLiteral("Id"), b),
             qPrintable(notFound(w.Data.Tbl_AnagNido, QStringLiteral("Id"), b)));
    QCOMPARE(w.Data.IdNidoCorrente, QString::number(a));
    QCOMPARE(listedEducators(w), ofA);
    w.Data.Tbl_AnagNido.first();
    w.Data.Tbl_AnagNido.next();
    QCOMPARE(listedEducators(w), ofA);

    // Closing the chooser on it does.
    w.accessScreen().DBLookupComboBox1CloseUp();
    VERIFY_DIALOGS(dialogs);
    QCOMPARE(w.Data.IdNidoCorrente, QString::number(b));
    QCOMPARE(listedEducators(w), QStringList{QStringLiteral("Neri Paola")});
    expectLogin(dialogs, QString());
    w.accessScreen().DBLookupListBox1DblClick();
    VERIFY_DIALOGS(dialogs);
    QCOMPARE(w.Data.Tbl_AnagBimbi.recordCount(), 1);
    QCOMPARE(w.Data.Tbl_AnagBimbi.asInteger(QStringLiteral("Id")), cb);

    // Back to the first one through the chooser.
    w.accessScreen().Btn_LogOutClick();
    QVERIFY2(w.Data.Tbl_AnagNido.locate(QStringLiteral("Id"), a),
             qPrintable(notFound(w.Data.Tbl_AnagNido, QStringLiteral("Id"), a)));
    w.accessScreen().DBLookupComboBox1CloseUp();
    QCOMPARE(w.Data.IdNidoCorrente, QString::number(a));
    QCOMPARE(listedEducators(w), ofA);
}

// The educator chosen in the list stays chosen when the list comes back with
// the same nursery (a logout, the chooser closed on that nursery again), so
// the login button logs her in again; another nursery's list, and the way
// back from it, start from the first educator.
void TestAccess::logoutKeepsChosenEducator_data()
{
    QTest::addColumn<QList<int>>("chosen"); // chooser rows picked after the logout
    QTest::addColumn<QString>("listed");    // the educator chosen in the list afterwards
    QTest::addColumn<QString>("typed");     // her password, asked by the login button
    QTest::newRow("logout") << QList<int>{} << QStringLiteral("Verdi Lucia") << QStringLiteral("v");
    QTest::newRow("same nursery chosen again") << QList<int>{0} << QStringLiteral("Verdi Lucia") << QStringLiteral("v");
    QTest::newRow("another nursery and back") << QList<int>{1, 0} << QStringLiteral("*Rossi Anna") << QStringLiteral("r");
}

void TestAccess::logoutKeepsChosenEducator()
{
    QFETCH(QList<int>, chosen);
    QFETCH(QString, listed);
    QFETCH(QString, typed);
    ScenarioFolder p;
    const int a = p.nursery(QStringLiteral("Arcobaleno"));
    const int b = p.nursery(QStringLiteral("Pollicino"));
    p.educator({.nursery = a, .password = QStringLiteral("r")});
    p.educator({.nursery = a, .nome = QStringLiteral("Lucia"), .cognome = QStringLiteral("Verdi"),
                .password = QStringLiteral("v"), .responsabile = false});
    p.educator({.nursery = a, .nome = QStringLiteral("Zoe"), .cognome = QStringLiteral("Zanni"),
                .password = QStringLiteral("z"), .responsabile = false});
    p.educator({.nursery = b, .nome = QStringLiteral("Paola"), .cognome = QStringLiteral("Neri"),
                .password = QStringLiteral("n")});
    ScriptedDialogs dialogs;
    TFrm_Main w(p.path(), dialogs);
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    auto* list = control<LookupListBox>(&w, "DBLookupListBox1");
    auto* chooser = control<LookupComboBox>(&w, "DBLookupComboBox1");
    const auto shownInList = [&] {
        return QStringLiteral("list on \"%1\", table on \"%2\"")
            .arg(list->currentItem() ? list->currentItem()->text() : QStringLiteral("<none>"),
                 w.Data.Tbl_AnagEdu.asString(QStringLiteral("Nominativo")));
    };

    // Lucia Verdi, second in the list, clicked and logged in with the button.
    QCOMPARE(list->count(), 3);
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(list->item(1)).center());
    QCOMPARE(w.Data.Tbl_AnagEdu.asString(QStringLiteral("Nominativo")), QStringLiteral("Verdi Lucia"));
    expectLogin(dialogs, QStringLiteral("v"));
    QTest::mouseClick(control<QToolButton>(&w, "SpeedButton4"), Qt::LeftButton);
    VERIFY_DIALOGS(dialogs);
    QVERIFY2(!w.accessPanelInFront(), qPrintable(screenState(w, dialogs)));

    QTest::mouseClick(control<QToolButton>(&w, "Btn_LogOut"), Qt::LeftButton);
    QVERIFY2(w.accessPanelInFront(), qPrintable(screenState(w, dialogs)));
    for (int row : chosen)
        emit chooser->activated(row);
    VERIFY_DIALOGS(dialogs);
    QCOMPARE(w.Data.IdNidoCorrente, QString::number(a));
    QVERIFY2(list->currentItem() && list->currentItem()->text() == listed, qPrintable(shownInList()));
    QVERIFY2(list->currentItem()->isSelected(), qPrintable(shownInList()));
    QCOMPARE(w.Data.Tbl_AnagEdu.asString(QStringLiteral("Nominativo")), listed);
    // As painted: the highlight lies on her row and on no other.
    const QImage painted = list->viewport()->grab().toImage();
    const QRgb highlight = list->palette().color(QPalette::Highlight).rgb();
    for (int row = 0; row < list->count(); ++row) {
        const int lit = testsupport::countPixels(painted, list->visualItemRect(list->item(row)),
                                                 [&](QRgb c) { return testsupport::nearColour(c, highlight, 12); });
        const bool chosen = list->item(row)->text() == listed;
        QVERIFY2(chosen ? lit > 100 : lit == 0,
                 qPrintable(QStringLiteral("row %1 (%2): %3 pixels of the highlight").arg(row).arg(list->item(row)->text()).arg(lit)));
    }

    // The login button asks for the password of the educator the list shows.
    expectLogin(dialogs, typed);
    QTest::mouseClick(control<QToolButton>(&w, "SpeedButton4"), Qt::LeftButton);
    VERIFY_DIALOGS(dialogs);
    QVERIFY2(!w.accessPanelInFront(), qPrintable(screenState(w, dialogs)));
}

// --------------------------------------------------------- password reset

void TestAccess::passwordReset_data()
{
    QTest::addColumn<QString>("code");
    QTest::addColumn<bool>("asked");         // the new password is asked for
    QTest::addColumn<QString>("fresh");
    QTest::addColumn<bool>("freshCancelled");
    QTest::addColumn<QString>("stored");     // the password afterwards
    QTest::addColumn<QString>("said");       // the plain message, if any

    const QString done = QStringLiteral("Password resettata correttamente");
    const QString notDone = QStringLiteral("Password non resettata");
    QTest::newRow("responsible's surname") << "Rossi" << true << "nuova" << false << "nuova" << done;
    // Cut to the field's ten characters it would no longer let her in.
    QTest::newRow("longer than ten characters") << "Rossi" << true << "abcdefghijk" << false << "ciao" << notDone;
    QTest::newRow("ten characters") << "Rossi" << true << "abcdefghij" << false << "abcdefghij" << done;
    QTest::newRow("surname with a quote") << "D'Amico" << true << "dam2" << false << "dam2" << done;
    QTest::newRow("empty new password") << "Rossi" << true << "" << false << "ciao" << notDone;
    QTest::newRow("cancelled new password") << "Rossi" << true << "" << true << "ciao" << notDone;
    QTest::newRow("unknown surname") << "Bianchi" << false << "" << false << "ciao" << "";
    QTest::newRow("surname in other case") << "rossi" << false << "" << false << "ciao" << "";
    QTest::newRow("not a responsible's surname") << "Verdi" << false << "" << false << "ciao" << "";
    QTest::newRow("another nursery's responsible") << "Neri" << false << "" << false << "ciao" << "";
    QTest::newRow("quotes in the code") << "x' or 'a'='a" << false << "" << false << "ciao" << "";
    QTest::newRow("half the quoted surname") << "D" << false << "" << false << "ciao" << "";
    QTest::newRow("empty code") << "" << false << "" << false << "ciao" << "";
}

void TestAccess::passwordReset()
{
    QFETCH(QString, code);
    QFETCH(bool, asked);
    QFETCH(QString, fresh);
    QFETCH(bool, freshCancelled);
    QFETCH(QString, stored);
    QFETCH(QString, said);
    ScenarioFolder p;
    const int a = p.nursery(QStringLiteral("Arcobaleno"));
    const int b = p.nursery(QStringLiteral("Pollicino"));
    p.educator({.nursery = a, .password = QStringLiteral("segreta")});
    const int verdi = p.educator({.nursery = a, .nome = QStringLiteral("Lucia"), .cognome = QStringLiteral("Verdi"),
                                  .password = QStringLiteral("ciao"), .responsabile = false});
    p.educator({.nursery = a, .nome = QStringLiteral("Sara"), .cognome = QStringLiteral("D'Amico"),
                .password = QStringLiteral("dam")});
    p.educator({.nursery = b, .nome = QStringLiteral("Paola"), .cognome = QStringLiteral("Neri"),
                .password = QStringLiteral("n")});

    ScriptedDialogs dialogs;
    TFrm_Main w(p.path(), dialogs);
    QVERIFY2(w.Data.Tbl_AnagEdu.locate(QStringLiteral("Id"), verdi),
             qPrintable(notFound(w.Data.Tbl_AnagEdu, QStringLiteral("Id"), verdi)));
    dialogs.expectInput(QStringLiteral("Verdi Lucia - Codice di sicurezza:"), code, false);
    if (asked) {
        dialogs.expectInput(QStringLiteral("Nuova password per Verdi Lucia:"),
                            freshCancelled ? std::nullopt : std::optional<QString>(fresh), false);
        if (fresh.size() > 10)
            dialogs.expectMessage(BoxType::Warning, QStringLiteral("La password può contenere al massimo 10 caratteri."));
        dialogs.expectMessage(BoxType::Plain, said);
    }
    w.accessScreen().Resettapassword1Click();
    VERIFY_DIALOGS(dialogs);
    QCOMPARE(dialogs.shown().size(), asked ? (fresh.size() > 10 ? 4 : 3) : 1);
    for (int i = 0; i < (asked ? 2 : 1); ++i) {
        QCOMPARE(dialogs.shown()[i].caption, QStringLiteral("Reset password"));
        QVERIFY2(!dialogs.shown()[i].masked,
                 qPrintable(QStringLiteral("box %1 is masked; %2").arg(QString::number(i), dialogsShown(dialogs))));
    }

    QCOMPARE(password(p, verdi), stored);
    const auto all = p.rows(QStringLiteral("AnagEdu.db"));
    QCOMPARE(all.size(), 4);
    for (const auto& r : all)
        if (r.value("Id").toInt() != verdi)
            QCOMPARE_NE(r.value("Password").toString(), stored);

    // The list is back as before: read-only, the whole nursery, and once a
    // code was tried, on its first educator.
    QVERIFY2(w.Data.Tbl_AnagEdu.isReadOnly(), qPrintable(tableState(w.Data.Tbl_AnagEdu)));
    QCOMPARE(w.Data.Tbl_AnagEdu.recordCount(), 3);
    if (!code.isEmpty()) {
        QCOMPARE(w.Data.Tbl_AnagEdu.recNo(), 0);
        QCOMPARE(w.Data.Tbl_AnagEdu.asString(QStringLiteral("Nominativo")), QStringLiteral("*D'Amico Sara"));
    }
    QCOMPARE(w.Data.IdNidoCorrente, QString::number(a));

    // The stored password is the one that lets her in.
    dialogs.clear();
    QVERIFY2(w.Data.Tbl_AnagEdu.locate(QStringLiteral("Id"), verdi),
             qPrintable(notFound(w.Data.Tbl_AnagEdu, QStringLiteral("Id"), verdi)));
    expectLogin(dialogs, stored);
    w.accessScreen().DBLookupListBox1DblClick();
    VERIFY_DIALOGS(dialogs);
    QVERIFY2(!w.accessPanelInFront(), qPrintable(screenState(w, dialogs)));
}

// ------------------------------------------------------- nursery registry

void TestAccess::registryLocksNavigation()
{
    ScenarioFolder p;
    const int a = p.nursery(QStringLiteral("Arcobaleno"));
    p.educator({.nursery = a, .password = QVariant()});
    ScriptedDialogs dialogs;
    TFrm_Main w(p.path(), dialogs);
    expectLogin(dialogs, QString());
    w.accessScreen().DBLookupListBox1DblClick();

    const QList<QWidget*> locked = lockedControls(w);
    QVERIFY2(w.Data.Tbl_AnagNido.isReadOnly(), qPrintable(tableState(w.Data.Tbl_AnagNido)));
    w.nurseryRegistry().ToolButton1Click();
    QVERIFY2(!control<QGroupBox>(&w, "GB_AnagraficaNido")->isHidden(), qPrintable(screenState(w)));
    QVERIFY(w.Data.registroNidiAperto);
    QVERIFY2(!w.Data.Tbl_AnagNido.isReadOnly(), qPrintable(tableState(w.Data.Tbl_AnagNido)));
    for (QWidget* c : locked)
        QVERIFY2(!c->isEnabled(), qPrintable(c->objectName()));

    // An edit still pending when the box is left is kept.
    QTest::keyClicks(control<DataEdit>(control<QGroupBox>(&w, "GB_AnagraficaNido"), "DBEdit2"),
                     QStringLiteral("Via Roma 1"));
    QCOMPARE(w.Data.Tbl_AnagNido.state(), store::Table::State::Edit);
    w.nurseryRegistry().SpeedButton3Click();
    VERIFY_DIALOGS(dialogs);
    QCOMPARE(w.Data.Tbl_AnagNido.state(), store::Table::State::Browse);
    QVERIFY2(control<QGroupBox>(&w, "GB_AnagraficaNido")->isHidden(), qPrintable(screenState(w)));
    QVERIFY(!w.Data.registroNidiAperto);
    for (QWidget* c : locked)
        QVERIFY2(c->isEnabled(), qPrintable(c->objectName()));
    const auto rows = p.rows(QStringLiteral("AnagNido.db"));
    QCOMPARE(rows.size(), 1);
    QCOMPARE(rows[0].value("Indirizzo").toString(), QStringLiteral("Via Roma 1"));
    QCOMPARE(rows[0].value("Nome").toString(), QStringLiteral("Arcobaleno"));
}

// A new nursery made in the registry, by clicks on the shown window: it is
// not current while the registry is open or after it closes; the registry
// leaves its cursor on the last nursery by name (the new one only when its
// name sorts last), and the logout makes that nursery the current one, with
// its educators in the list.
void TestAccess::newNurseryThenLogout_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("currentAfterLogout");
    // Named to sort between the two: neither first nor last in the list.
    QTest::newRow("sorts between") << QStringLiteral("Girotondo") << QStringLiteral("Pollicino");
    QTest::newRow("sorts last") << QStringLiteral("Zucchero") << QStringLiteral("Zucchero");
}

void TestAccess::newNurseryThenLogout()
{
    QFETCH(QString, name);
    QFETCH(QString, currentAfterLogout);
    ScenarioFolder p;
    const int a = p.nursery(QStringLiteral("Arcobaleno"));
    const int b = p.nursery(QStringLiteral("Pollicino"));
    p.educator({.nursery = a, .password = QVariant()});
    p.educator({.nursery = b, .nome = QStringLiteral("Piera"), .cognome = QStringLiteral("Verdi"),
                .password = QVariant()});
    ScriptedDialogs dialogs;
    TFrm_Main w(p.path(), dialogs);
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    expectLogin(dialogs, QString());
    w.accessScreen().DBLookupListBox1DblClick();
    QVERIFY2(!w.accessPanelInFront(), qPrintable(screenState(w, dialogs)));

    QTest::mouseClick(control<QToolButton>(&w, "ToolButton1"), Qt::LeftButton);
    QVERIFY2(!control<QGroupBox>(&w, "GB_AnagraficaNido")->isHidden(), qPrintable(screenState(w, dialogs)));
    dialogs.expectForm(QStringLiteral("TFrm_InserimentoNido"), fillNursery(QDialog::Accepted, name));
    dialogs.expectMessage(BoxType::Information, adminCreated);
    QTest::mouseClick(control<QToolButton>(control<QGroupBox>(&w, "GB_AnagraficaNido"), "SpeedButton11"),
                      Qt::LeftButton);
    VERIFY_DIALOGS(dialogs);
    QCOMPARE(w.Data.IdNidoCorrente, QString::number(a));

    const auto created = p.rows(QStringLiteral("AnagNido.db"), QStringLiteral("Nome='%1'").arg(name));
    QCOMPARE(created.size(), 1);
    const int g = created[0].value("Id").toInt();
    const auto admins = p.rows(QStringLiteral("AnagEdu.db"), QStringLiteral("Cognome='Admin'"));
    QCOMPARE(admins.size(), 1);
    QCOMPARE(admins[0].value("Id_Nido").toInt(), g);
    QCOMPARE(admins[0].value("Nome").toString(), QStringLiteral("Admin"));
    QCOMPARE(admins[0].value("Password").toString(), QStringLiteral("Kemlo"));
    QVERIFY2(admins[0].value("Responsabile").toBool(), qPrintable(rowsText(admins)));
    QCOMPARE(p.count(QStringLiteral("AnagEdu.db")), 3);

    // The registry's grid marks the last nursery by name.
    const QModelIndex marked = control<DataGrid>(&w, "DBGrid2")->currentIndex();
    QCOMPARE(marked.row(), 2);
    QCOMPARE(marked.siblingAtColumn(0).data().toString(), currentAfterLogout);

    QTest::mouseClick(control<QToolButton>(&w, "SpeedButton3"), Qt::LeftButton);
    VERIFY_DIALOGS(dialogs);
    QVERIFY2(control<QGroupBox>(&w, "GB_AnagraficaNido")->isHidden(), qPrintable(screenState(w, dialogs)));
    QCOMPARE(w.Data.IdNidoCorrente, QString::number(a));
    QCOMPARE(listedEducators(w), QStringList{QStringLiteral("*Rossi Anna")});
    QVERIFY2(w.Data.Tbl_AnagEdu.isReadOnly(), qPrintable(tableState(w.Data.Tbl_AnagEdu)));

    QTest::mouseClick(control<QToolButton>(&w, "Btn_LogOut"), Qt::LeftButton);
    VERIFY_DIALOGS(dialogs);
    QVERIFY2(w.accessPanelInFront(), qPrintable(screenState(w, dialogs)));
    const int expected = currentAfterLogout == name ? g : b;
    QCOMPARE(w.Data.IdNidoCorrente, QString::number(expected));
    QCOMPARE(control<LookupComboBox>(&w, "DBLookupComboBox1")->currentText(), currentAfterLogout);
    QCOMPARE(listedEducators(w), QStringList{expected == g ? QStringLiteral("*Admin Admin") : QStringLiteral("*Verdi Piera")});
}

void TestAccess::cancelledNewNurseryLeavesNoTrace_data()
{
    QTest::addColumn<int>("result");
    QTest::newRow("Annulla") << int(TFrm_InserimentoNido::Abort);
    QTest::newRow("closed") << int(QDialog::Rejected);
}

void TestAccess::cancelledNewNurseryLeavesNoTrace()
{
    QFETCH(int, result);
    ScenarioFolder p;
    const int a = p.nursery(QStringLiteral("Arcobaleno"));
    p.educator({.nursery = a, .password = QVariant()});
    ScriptedDialogs dialogs;
    TFrm_Main w(p.path(), dialogs);
    expectLogin(dialogs, QString());
    w.accessScreen().DBLookupListBox1DblClick();
    w.nurseryRegistry().ToolButton1Click();

    // Typed into, then dropped.
    dialogs.expectForm(QStringLiteral("TFrm_InserimentoNido"), [result](QDialog& form) {
        QTest::keyClicks(control<DataEdit>(&form, "DBEdit1"), QStringLiteral("Girotondo"));
        return result;
    });
    w.nurseryRegistry().SpeedButton11Click();
    VERIFY_DIALOGS(dialogs);
    QCOMPARE(dialogs.shown().size(), 1); // the login's box alone
    QCOMPARE(w.Data.Tbl_AnagNido.state(), store::Table::State::Browse);
    w.nurseryRegistry().SpeedButton3Click();
    QCOMPARE(p.count(QStringLiteral("AnagNido.db")), 1);
    QCOMPARE(p.count(QStringLiteral("AnagEdu.db")), 1);
    QCOMPARE(w.Data.Tbl_AnagNido.recordCount(), 1);
    QCOMPARE(w.Data.Tbl_AnagNido.asString(QStringLiteral("Nome")), QStringLiteral("Arcobaleno"));
    QCOMPARE(w.Data.IdNidoCorrente, QString::number(a));
}

QTEST_MAIN(TestAccess)
#include "test_access.moc"
