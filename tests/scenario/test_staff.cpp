// The educators, roles and areas registries as a responsible educator uses
// them: opening and closing with the navigation lock, the responsible rule of
// the educators registry, the defaults of new records, the names shown in the
// lists and deletions that leave the records referring to them in place.

#include "dataedits.h"
#include "datafolder.h"
#include "datagrid.h"
#include "datanavigator.h"
#include "installer.h"
#include "mainwindow.h"
#include "scenariofixture.h"
#include "scripteddialogs.h"
#include "scripteddialogs_qtest.h"
#include "staff.h"
#include "table.h"

#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QFocusEvent>
#include <QGroupBox>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>

using namespace velmora;

namespace {

const QString noResponsible = QStringLiteral("Attenzione! Non è stato impostato nessun responsabile!");
const QString deleteQuestion = QStringLiteral("Eliminare il record?");
using Nav = DataNavigator::Button;

// Logs in as the educator under the cursor, who has no password.
void login(TFrm_Main& w, ScriptedDialogs& d)
{
    d.expectInput(QStringLiteral("Password"), QString(), true);
    w.accessScreen().DBLookupListBox1DblClick();
}

enum Registry { Educators, Roles, Areas };

struct RegistryParts
{
    QGroupBox* box;
    store::Table* table;
    DataNavigator* navigator;
    DataEdit* firstEdit;  // where a new record puts the focus
    QString field;        // the field of firstEdit
    QString file;
    std::function<void()> open;
    std::function<void()> close;
};

RegistryParts parts(TFrm_Main& w, Registry r)
{
    switch (r) {
    case Educators:
        return {
            control<QGroupBox>(&w, "GB_AnagraficaEducatrici"),
            &w.Data.Tbl_AnagEdu,
            control<DataNavigator>(&w, "DBNavigator3"),
            control<DataEdit>(&w, "DBEdit7"),
            QStringLiteral("Nome"),
            QStringLiteral("AnagEdu.db"),
            [&w] { control<QToolButton>(&w, "ToolButton3")->click(); },
            [&w] { control<QToolButton>(control<QGroupBox>(&w, "GB_AnagraficaEducatrici"), "SpeedButton1")->click(); }};
    case Roles:
        return {control<QGroupBox>(&w, "GB_AnagraficaRuoli"),
                &w.Data.Tbl_Ruoli,
                control<DataNavigator>(&w, "DBNavigator8"),
                control<DataEdit>(&w, "DBEdit14"),
                QStringLiteral("Ruolo"),
                QStringLiteral("Ruoli.db"),
                [&w] { control<QToolButton>(&w, "ToolButton7")->click(); },
                [&w] { control<QToolButton>(&w, "SpeedButton5")->click(); }};
    case Areas:
        break;
    }
    return {control<QGroupBox>(&w, "GB_AnagraficaAree"),
            &w.Data.Tbl_Aree,
            control<DataNavigator>(&w, "DBNavigator9"),
            control<DataEdit>(&w, "DBEdit15"),
            QStringLiteral("Area"),
            QStringLiteral("Aree.db"),
            [&w] { control<QToolButton>(&w, "ToolButton9")->click(); },
            [&w] { control<QToolButton>(&w, "SpeedButton6")->click(); }};
}

// Which of the two password edits is in front, and where the focus is.
QString passwordEdits(TFrm_Main& w)
{
    const QWidget* focus = w.focusWidget();
    return QStringLiteral("%1 in front; focus on %2; %3")
        .arg(w.staffRegistries().plainPasswordInFront() ? QStringLiteral("the plain DBEdit24")
                                                        : QStringLiteral("the masked DBEdit9"),
             focus ? focus->objectName() : QStringLiteral("nothing"), screenState(w));
}

void typeInto(QLineEdit* edit, const QString& text)
{
    edit->selectAll();
    QTest::keyClicks(edit, text);
}

} // namespace

Q_DECLARE_METATYPE(Registry)

class TestStaff : public QObject
{
    Q_OBJECT

private slots:
    // The server run (test_staff_server) skips where it cannot run.
    void initTestCase() { STORETEST_REQUIRE_ENGINE(); }
    void registryLocksNavigationWhileOpen_data();
    void registryLocksNavigationWhileOpen();
    void closingWindowSavesRegistry_data();
    void closingWindowSavesRegistry();
    void educatorsNeedAResponsible_data();
    void educatorsNeedAResponsible();
    void newEducatorDefaults_data();
    void newEducatorDefaults();
    void passwordEditsTakeTurns();
    void emojiAtFieldLimit_data();
    void emojiAtFieldLimit();
    void educatorNames_data();
    void educatorNames();
    void areaLabel_data();
    void areaLabel();
    void deletionLeavesReferencesInPlace_data();
    void deletionLeavesReferencesInPlace();
};

// ------------------------------------------------------- open and close

void TestStaff::registryLocksNavigationWhileOpen_data()
{
    QTest::addColumn<Registry>("registry");
    QTest::newRow("educators") << Educators;
    QTest::newRow("roles") << Roles;
    QTest::newRow("areas") << Areas;
}

void TestStaff::registryLocksNavigationWhileOpen()
{
    QFETCH(Registry, registry);
    ScenarioFolder p;
    const int a = p.nursery(QStringLiteral("Arcobaleno"));
    p.educator({.nursery = a, .password = QVariant()});
    ScriptedDialogs dialogs;
    TFrm_Main w(p.path(), dialogs);
    login(w, dialogs);
    VERIFY_DIALOGS(dialogs);
    const RegistryParts r = parts(w, registry);

    QVERIFY2(r.table->isReadOnly(), qPrintable(tableState(*r.table)));
    r.open();
    QVERIFY2(!r.box->isHidden(), qPrintable(screenState(w, dialogs)));
    QVERIFY2(r.table->isOpen(), qPrintable(tableState(*r.table)));
    QVERIFY2(!r.table->isReadOnly(), qPrintable(tableState(*r.table)));
    for (QWidget* c : lockedControls(w))
        QVERIFY2(!c->isEnabled(), qPrintable(c->objectName()));
    if (registry == Educators) {
        QCOMPARE(w.staffRegistries().DBEdit7Tag, 1);
        QCOMPARE(w.staffRegistries().DBEdit24Tag, 1);
    }

    // A new record takes the focus to its first edit; what is typed and not
    // yet saved is saved by "Esci".
    r.navigator->trigger(Nav::Insert);
    QCOMPARE(r.table->state(), store::Table::State::Insert);
    QCOMPARE(w.focusWidget(), static_cast<QWidget*>(r.firstEdit));
    typeInto(r.firstEdit, QStringLiteral("Nuovo"));
    if (registry == Educators)
        control<DataCheckBox>(&w, "DBCheckBox1")->click(); // keeps a responsible after Anna
    r.close();
    VERIFY_DIALOGS(dialogs);

    QCOMPARE(r.table->state(), store::Table::State::Browse);
    QVERIFY2(r.box->isHidden(), qPrintable(screenState(w, dialogs)));
    QVERIFY2(r.table->isOpen(), qPrintable(tableState(*r.table)));
    QVERIFY2(r.table->isReadOnly(), qPrintable(tableState(*r.table)));
    for (QWidget* c : lockedControls(w))
        QVERIFY2(c->isEnabled(), qPrintable(c->objectName()));
    QCOMPARE(p.count(r.file, r.field + QStringLiteral("='Nuovo'")), 1);
    if (registry == Educators) {
        QCOMPARE(w.staffRegistries().DBEdit7Tag, 0);
        QCOMPARE(w.staffRegistries().DBEdit24Tag, 0);
    }

    // Open again, it is writable again.
    r.open();
    QVERIFY2(!r.table->isReadOnly(), qPrintable(tableState(*r.table)));
    r.close();
    QVERIFY2(r.table->isReadOnly(), qPrintable(tableState(*r.table)));
}

// -------------------------------------------------- the responsible rule

void TestStaff::closingWindowSavesRegistry_data()
{
    QTest::addColumn<Registry>("registry");
    QTest::addColumn<bool>("refused"); // the registry's own way out refuses
    QTest::newRow("educators") << Educators << false;
    QTest::newRow("educators, no responsible left") << Educators << true;
    QTest::newRow("roles") << Roles << false;
    QTest::newRow("areas") << Areas << false;
}

// Closing the window with a registry open saves what was typed there, as
// "Esci" would; when "Esci" would refuse, the window stays open.
void TestStaff::closingWindowSavesRegistry()
{
    QFETCH(Registry, registry);
    QFETCH(bool, refused);
    ScenarioFolder p;
    const int a = p.nursery(QStringLiteral("Arcobaleno"));
    p.educator({.nursery = a, .password = QVariant()});
    ScriptedDialogs dialogs;
    TFrm_Main w(p.path(), dialogs);
    login(w, dialogs);
    VERIFY_DIALOGS(dialogs);
    const RegistryParts r = parts(w, registry);
    r.open();
    if (refused) {
        // Anna, the only responsible educator, is no longer one.
        QVERIFY2(w.Data.Tbl_AnagEdu.locate(QStringLiteral("Cognome"), QStringLiteral("Rossi")),
                 qPrintable(notFound(w.Data.Tbl_AnagEdu, QStringLiteral("Cognome"), QStringLiteral("Rossi"))));
        control<DataCheckBox>(&w, "DBCheckBox1")->click();
    } else {
        r.navigator->trigger(Nav::Insert);
        typeInto(r.firstEdit, QStringLiteral("Nuovo"));
        if (registry == Educators)
            control<DataCheckBox>(&w, "DBCheckBox1")->click();
    }

    if (refused) {
        dialogs.expectMessage(BoxType::Warning, QStringLiteral("Attenzione! Non è stato impostato nessun responsabile!"));
        dialogs.expectMessage(BoxType::Confirmation,
                              QStringLiteral("Le modifiche non salvate andranno perse. Chiudere comunque il programma?"),
                              Button::No);
    }
    QCOMPARE(w.close(), !refused);
    VERIFY_DIALOGS(dialogs);
    QCOMPARE(r.box->isHidden(), !refused);
    if (!refused) {
        const auto rows = p.rows(r.file, r.field + QStringLiteral("='Nuovo'"));
        QCOMPARE(rows.size(), 1);
    }
}

void TestStaff::educatorsNeedAResponsible_data()
{
    QTest::addColumn<bool>("secondResponsible"); // Lucia Verdi, of this nursery
    QTest::addColumn<bool>("otherResponsible");  // Paola Neri, of another nursery
    QTest::addColumn<QString>("action");
    QTest::addColumn<bool>("closes");
    QTest::newRow("nothing changed") << false << false << "" << true;
    QTest::newRow("last responsible unticked") << false << false << "untick" << false;
    QTest::newRow("unticked, another nursery's responsible") << false << true << "untick" << false;
    QTest::newRow("unticked, another one of this nursery") << true << false << "untick" << true;
    QTest::newRow("unticked, not yet saved") << false << false << "untick pending" << false;
    QTest::newRow("everybody deleted") << true << true << "delete all" << false;
}

void TestStaff::educatorsNeedAResponsible()
{
    QFETCH(bool, secondResponsible);
    QFETCH(bool, otherResponsible);
    QFETCH(QString, action);
    QFETCH(bool, closes);
    ScenarioFolder p;
    const int a = p.nursery(QStringLiteral("Arcobaleno"));
    const int b = p.nursery(QStringLiteral("Pollicino"));
    const int rossi = p.educator({.nursery = a, .password = QVariant()});
    p.educator({.nursery = a, .nome = QStringLiteral("Lucia"), .cognome = QStringLiteral("Verdi"),
                .password = QVariant(), .responsabile = secondResponsible});
    p.educator({.nursery = b, .nome = QStringLiteral("Paola"), .cognome = QStringLiteral("Neri"),
                .password = QVariant(), .responsabile = otherResponsible});
    ScriptedDialogs dialogs;
    TFrm_Main w(p.path(), dialogs);
    QVERIFY2(w.Data.Tbl_AnagEdu.locate(QStringLiteral("Id"), rossi),
             qPrintable(notFound(w.Data.Tbl_AnagEdu, QStringLiteral("Id"), rossi)));
    login(w, dialogs);
    StaffRegistries& s = w.staffRegistries();
    s.ToolButton3Click();

    if (action.startsWith(QStringLiteral("untick"))) {
        QVERIFY2(w.Data.Tbl_AnagEdu.locate(QStringLiteral("Id"), rossi),
                 qPrintable(notFound(w.Data.Tbl_AnagEdu, QStringLiteral("Id"), rossi)));
        control<DataCheckBox>(&w, "DBCheckBox1")->click();
        if (action == QStringLiteral("untick"))
            control<DataNavigator>(&w, "DBNavigator3")->trigger(Nav::Post);
        QCOMPARE(w.Data.Tbl_AnagEdu.state(),
                 action == QStringLiteral("untick") ? store::Table::State::Browse : store::Table::State::Edit);
    } else if (action == QStringLiteral("delete all")) {
        while (!w.Data.Tbl_AnagEdu.isEmpty()) {
            dialogs.expectMessage(BoxType::Confirmation, deleteQuestion, Button::Yes);
            control<DataNavigator>(&w, "DBNavigator3")->trigger(Nav::Delete);
        }
        QCOMPARE(p.count(QStringLiteral("AnagEdu.db"), QStringLiteral("Id_Nido=%1").arg(a)), 0);
    }

    if (!closes)
        dialogs.expectMessage(BoxType::Warning, noResponsible);
    s.SpeedButton1Click();
    VERIFY_DIALOGS(dialogs);
    QCOMPARE(w.Data.Tbl_AnagEdu.state(), store::Table::State::Browse);
    QCOMPARE(control<QGroupBox>(&w, "GB_AnagraficaEducatrici")->isHidden(), closes);
    QCOMPARE(w.Data.Tbl_AnagEdu.isReadOnly(), closes);
    QCOMPARE(control<QToolButton>(&w, "ToolButton1")->isEnabled(), closes);
    QCOMPARE(s.DBEdit7Tag, closes ? 0 : 1);
    // What was changed is saved either way.
    if (action.startsWith(QStringLiteral("untick")))
        QVERIFY2(!p.rows(QStringLiteral("AnagEdu.db"), QStringLiteral("Id=%1").arg(rossi)).first()
                      .value(QStringLiteral("Responsabile")).toBool(),
                 qPrintable(rowsText(p.rows(QStringLiteral("AnagEdu.db"), QStringLiteral("Id=%1").arg(rossi)))));
    if (closes)
        return;

    // Another nursery's educators were neither seen nor changed.
    QCOMPARE(p.count(QStringLiteral("AnagEdu.db"), QStringLiteral("Id_Nido=%1").arg(b)), 1);

    // A new educator, made responsible, lets the registry close; she belongs
    // to the current nursery.
    control<DataNavigator>(&w, "DBNavigator3")->trigger(Nav::Insert);
    typeInto(control<DataEdit>(&w, "DBEdit7"), QStringLiteral("Maria"));
    typeInto(control<DataEdit>(&w, "DBEdit8"), QStringLiteral("Bruni"));
    control<DataCheckBox>(&w, "DBCheckBox1")->click();
    s.SpeedButton1Click();
    VERIFY_DIALOGS(dialogs);
    QVERIFY2(control<QGroupBox>(&w, "GB_AnagraficaEducatrici")->isHidden(), qPrintable(screenState(w, dialogs)));
    QVERIFY2(w.Data.Tbl_AnagEdu.isReadOnly(), qPrintable(tableState(w.Data.Tbl_AnagEdu)));
    QVERIFY2(control<QToolButton>(&w, "ToolButton1")->isEnabled(),
             qPrintable(widgetState(control<QToolButton>(&w, "ToolButton1")) + QStringLiteral("; ") + screenState(w)));
    const auto bruni = p.rows(QStringLiteral("AnagEdu.db"), QStringLiteral("Cognome='Bruni'"));
    QCOMPARE(bruni.size(), 1);
    QCOMPARE(bruni[0].value("Id_Nido").toInt(), a);
    QVERIFY2(bruni[0].value("Responsabile").toBool(), qPrintable(rowsText(bruni)));
}

// ------------------------------------------------------ a new educator

void TestStaff::newEducatorDefaults_data()
{
    QTest::addColumn<bool>("registryOpen");
    QTest::newRow("in the registry") << true;
    QTest::newRow("outside the registry") << false;
}

void TestStaff::newEducatorDefaults()
{
    QFETCH(bool, registryOpen);
    ScenarioFolder p;
    const int a = p.nursery(QStringLiteral("Arcobaleno"));
    const int b = p.nursery(QStringLiteral("Pollicino"));
    p.educator({.nursery = a, .password = QVariant()});
    p.educator(
        {.nursery = b, .nome = QStringLiteral("Paola"), .cognome = QStringLiteral("Neri"), .password = QVariant()});
    ScriptedDialogs dialogs;
    TFrm_Main w(p.path(), dialogs);
    // The second nursery, chosen in the chooser, is the current one.
    QVERIFY2(w.Data.Tbl_AnagNido.locate(QStringLiteral("Id"), b),
             qPrintable(notFound(w.Data.Tbl_AnagNido, QStringLiteral("Id"), b)));
    w.accessScreen().DBLookupComboBox1CloseUp();
    QCOMPARE(w.Data.IdNidoCorrente, QString::number(b));
    login(w, dialogs);
    VERIFY_DIALOGS(dialogs);
    StaffRegistries& s = w.staffRegistries();
    QVERIFY2(!s.plainPasswordInFront(), qPrintable(passwordEdits(w)));

    if (registryOpen)
        s.ToolButton3Click();
    else
        DataModule::ImpostaSolaLettura(w.Data.Tbl_AnagEdu, false);
    w.Data.Tbl_AnagEdu.append();
    QCOMPARE(w.Data.Tbl_AnagEdu.asInteger(QStringLiteral("Id_Nido")), b);
    const auto responsible = [&] {
        const QVariant v = w.Data.Tbl_AnagEdu.value(QStringLiteral("Responsabile"));
        return QStringLiteral("Responsabile = %1; %2; %3")
            .arg(v.isNull() ? QStringLiteral("<null>") : v.toString(),
                 buttonState(control<DataCheckBox>(&w, "DBCheckBox1")), tableState(w.Data.Tbl_AnagEdu));
    };
    QVERIFY2(!w.Data.Tbl_AnagEdu.isNull(QStringLiteral("Responsabile")), qPrintable(responsible()));
    QVERIFY2(!w.Data.Tbl_AnagEdu.asBoolean(QStringLiteral("Responsabile")), qPrintable(responsible()));
    QVERIFY2(!control<DataCheckBox>(&w, "DBCheckBox1")->isChecked(), qPrintable(responsible()));
    QCOMPARE(w.focusWidget() == control<DataEdit>(&w, "DBEdit7"), registryOpen);
    QCOMPARE(s.plainPasswordInFront(), registryOpen);

    // The edits hold no more than their fields.
    typeInto(control<DataEdit>(&w, "DBEdit7"), QStringLiteral("Mariagraziella Rosa"));
    typeInto(control<DataEdit>(&w, "DBEdit8"), QStringLiteral("Bevilacqua Ferretti"));
    typeInto(control<DataEdit>(&w, "DBEdit24"), QStringLiteral("unapasswordlunga"));
    w.Data.Tbl_AnagEdu.post();
    QCOMPARE(w.Data.Tbl_AnagEdu.asString(QStringLiteral("Nome")), QStringLiteral("Mariagraziella "));
    QCOMPARE(w.Data.Tbl_AnagEdu.asString(QStringLiteral("Cognome")), QStringLiteral("Bevilacqua Ferr"));
    QCOMPARE(w.Data.Tbl_AnagEdu.asString(QStringLiteral("Password")), QStringLiteral("unapasswor"));
    const auto stored = p.rows(QStringLiteral("AnagEdu.db"), QStringLiteral("Nome='Mariagraziella '"));
    QCOMPARE(stored.size(), 1);
    QCOMPARE(stored[0].value("Id_Nido").toInt(), b);
    QCOMPARE(stored[0].value("Responsabile").toBool(), false);
}

void TestStaff::passwordEditsTakeTurns()
{
    ScenarioFolder p;
    const int a = p.nursery(QStringLiteral("Arcobaleno"));
    p.educator({.nursery = a, .password = QVariant()});
    ScriptedDialogs dialogs;
    TFrm_Main w(p.path(), dialogs);
    login(w, dialogs);
    StaffRegistries& s = w.staffRegistries();
    s.ToolButton3Click();

    // Both edits show the same field, one masked, one plain, in one place.
    QCOMPARE(control<DataEdit>(&w, "DBEdit9")->echoMode(), QLineEdit::Password);
    QCOMPARE(control<DataEdit>(&w, "DBEdit24")->echoMode(), QLineEdit::Normal);
    QCOMPARE(control<DataEdit>(&w, "DBEdit9")->geometry(), control<DataEdit>(&w, "DBEdit24")->geometry());
    QVERIFY2(!s.plainPasswordInFront(), qPrintable(passwordEdits(w)));

    // Entering the masked one hands the typing to the plain one.
    QFocusEvent in(QEvent::FocusIn, Qt::TabFocusReason);
    QCoreApplication::sendEvent(control<DataEdit>(&w, "DBEdit9"), &in);
    QVERIFY2(s.plainPasswordInFront(), qPrintable(passwordEdits(w)));
    QCOMPARE(w.focusWidget(), static_cast<QWidget*>(control<DataEdit>(&w, "DBEdit24")));
    QTest::keyClicks(control<DataEdit>(&w, "DBEdit24"), QStringLiteral("segreta"));
    QCOMPARE(control<DataEdit>(&w, "DBEdit9")->text(), QStringLiteral("segreta"));
    QFocusEvent out(QEvent::FocusOut, Qt::TabFocusReason);
    QCoreApplication::sendEvent(control<DataEdit>(&w, "DBEdit24"), &out);
    QVERIFY2(!s.plainPasswordInFront(), qPrintable(passwordEdits(w)));
    s.SpeedButton1Click();
    VERIFY_DIALOGS(dialogs);
    QCOMPARE(p.rows(QStringLiteral("AnagEdu.db")).first().value("Password").toString(), QStringLiteral("segreta"));
}

// An emoji (two UTF-16 units) typed or pasted where the field has room for
// only one unit is left out whole, in the edit and in the stored row; one
// that fits exactly is kept whole. Never half of one ("\uFFFD" once stored).
void TestStaff::emojiAtFieldLimit_data()
{
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("before");  // typed first
    QTest::addColumn<QString>("added");   // then typed as one key, or pasted
    QTest::addColumn<bool>("paste");
    QTest::addColumn<QString>("stored");
    const QString emoji = QString::fromUtf8("😀");
    QTest::newRow("name, typed across the limit") << "Nome" << "Mariagrazielli" << emoji << false << "Mariagrazielli";
    QTest::newRow("name, typed up to the limit")
        << "Nome" << "Mariagraziell" << emoji << false << QStringLiteral("Mariagraziell") + emoji;
    QTest::newRow("name, pasted across the limit")
        << "Nome" << "Mariagrazielli" << emoji + QStringLiteral("abc") << true << "Mariagrazielli";
    QTest::newRow("password, typed across the limit") << "Password" << "abcdefghi" << emoji << false << "abcdefghi";
    QTest::newRow("password, pasted across the limit")
        << "Password" << "abcdefgh" << QStringLiteral("x") + emoji << true << "abcdefghx";
    QTest::newRow("password, pasted up to the limit")
        << "Password" << "abcdefgh" << emoji + QStringLiteral("x") << true << QStringLiteral("abcdefgh") + emoji;
}

void TestStaff::emojiAtFieldLimit()
{
    QFETCH(QString, field);
    QFETCH(QString, before);
    QFETCH(QString, added);
    QFETCH(bool, paste);
    QFETCH(QString, stored);
    ScenarioFolder p;
    const int a = p.nursery(QStringLiteral("Arcobaleno"));
    const int rossi = p.educator({.nursery = a, .password = QVariant()});
    ScriptedDialogs dialogs;
    TFrm_Main w(p.path(), dialogs);
    login(w, dialogs);
    control<QToolButton>(&w, "ToolButton3")->click();
    QVERIFY2(!control<QGroupBox>(&w, "GB_AnagraficaEducatrici")->isHidden(), qPrintable(screenState(w, dialogs)));

    QLineEdit* edit = field == QLatin1String("Nome") ? static_cast<QLineEdit*>(control<DataEdit>(&w, "DBEdit7"))
                                                     : static_cast<QLineEdit*>(control<DataEdit>(&w, "DBEdit24"));
    typeInto(edit, before);
    if (paste) {
        QApplication::clipboard()->setText(added);
        QTest::keyClick(edit, Qt::Key_V, Qt::ControlModifier);
    } else {
        QTest::sendKeyEvent(QTest::Click, edit, Qt::Key_unknown, added, Qt::NoModifier);
    }
    QCOMPARE(edit->text(), stored);
    QCOMPARE(w.Data.Tbl_AnagEdu.asString(field), stored);

    control<QToolButton>(control<QGroupBox>(&w, "GB_AnagraficaEducatrici"), "SpeedButton1")->click();
    VERIFY_DIALOGS(dialogs);
    QVERIFY2(control<QGroupBox>(&w, "GB_AnagraficaEducatrici")->isHidden(), qPrintable(screenState(w, dialogs)));
    const QList<QVariantMap> rows = p.rows(QStringLiteral("AnagEdu.db"), QStringLiteral("Id=%1").arg(rossi));
    QVERIFY2(rows.size() == 1, qPrintable(rowsText(rows)));
    QCOMPARE(rows[0].value(field).toString(), stored);
}

// ----------------------------------------------------- calculated fields

void TestStaff::educatorNames_data()
{
    QTest::addColumn<QString>("nome");
    QTest::addColumn<QString>("cognome");
    QTest::addColumn<QVariant>("responsabile");
    QTest::addColumn<QString>("nominativo");
    QTest::addColumn<QString>("resp");
    const QString nome15 = QStringLiteral("Mariagraziella");
    const QString cognome15 = QStringLiteral("Bevilacqua-Ferr");
    QTest::newRow("responsible") << "Anna" << "Rossi" << QVariant(true) << "*Rossi Anna" << "Si";
    QTest::newRow("not responsible") << "Anna" << "Rossi" << QVariant(false) << "Rossi Anna" << "No";
    QTest::newRow("responsible unset") << "Anna" << "Rossi" << QVariant() << "Rossi Anna" << "No";
    QTest::newRow("full names, 31 characters")
        << nome15 + "a" << cognome15 << QVariant(false) << cognome15 + " " + nome15 + "a" << "No";
    QTest::newRow("full names, responsible, 32 characters")
        << nome15 + "a" << cognome15 << QVariant(true) << "*" + cognome15 + " " + nome15 + "a" << "Si";
}

void TestStaff::educatorNames()
{
    QFETCH(QString, nome);
    QFETCH(QString, cognome);
    QFETCH(QVariant, responsabile);
    QFETCH(QString, nominativo);
    QFETCH(QString, resp);
    ScenarioFolder p;
    const int a = p.nursery(QStringLiteral("Arcobaleno"));
    p.educator({.nursery = a, .nome = nome, .cognome = cognome, .password = QVariant(), .responsabile = responsabile});
    ScriptedDialogs dialogs;
    TFrm_Main w(p.path(), dialogs);
    QCOMPARE(w.Data.Tbl_AnagEdu.recordCount(), 1);
    QCOMPARE(w.Data.Tbl_AnagEdu.asString(QStringLiteral("Nominativo")), nominativo);
    QCOMPARE(w.Data.Tbl_AnagEdu.asString(QStringLiteral("Resp")), resp);
    // The registry's grid shows the same.
    const QAbstractItemModel* model = control<DataGrid>(&w, "DBGrid3")->model();
    QCOMPARE(model->headerData(1, Qt::Horizontal).toString(), QStringLiteral("Responsabile"));
    QCOMPARE(model->index(0, 0).data().toString(), nominativo);
    QCOMPARE(model->index(0, 1).data().toString(), resp);
    VERIFY_DIALOGS(dialogs);
}

void TestStaff::areaLabel_data()
{
    QTest::addColumn<QString>("abbreviation");
    QTest::addColumn<QString>("description");
    QTest::addColumn<QString>("label");
    const QString d45 = QStringLiteral("Sviluppo della comunicazione e del linguaggio");
    QCOMPARE(d45.size(), 45);
    QTest::newRow("short") << "LI" << "Linguaggio" << "LI - Linguaggio";
    QTest::newRow("no abbreviation") << "" << "Linguaggio" << " - Linguaggio";
    QTest::newRow("45 characters fit") << "CL" << d45 << "CL - " + d45;
    QTest::newRow("longer cut at 50") << "CL" << d45 + "!!!!!" << "CL - " + d45;
}

void TestStaff::areaLabel()
{
    QFETCH(QString, abbreviation);
    QFETCH(QString, description);
    QFETCH(QString, label);
    ScenarioFolder p;
    const int a = p.nursery(QStringLiteral("Arcobaleno"));
    p.educator({.nursery = a, .password = QVariant()});
    // The installer lays areas of its own: this one is found by its key.
    const int id = p.add(QStringLiteral("Aree.db"), {{"AreaBreve", abbreviation}, {"Area", description}});
    ScriptedDialogs dialogs;
    TFrm_Main w(p.path(), dialogs);
    const int field = w.Data.Tbl_Aree.findField(QStringLiteral("AreaCombo"));
    QCOMPARE_GE(field, 0);
    QCOMPARE(w.Data.Tbl_Aree.field(field).size(), 50);
    login(w, dialogs);
    w.staffRegistries().ToolButton9Click();
    QVERIFY2(w.Data.Tbl_Aree.locate(QStringLiteral("Id"), id),
             qPrintable(notFound(w.Data.Tbl_Aree, QStringLiteral("Id"), id)));
    QCOMPARE(w.Data.Tbl_Aree.asString(QStringLiteral("AreaCombo")), label);
    w.staffRegistries().SpeedButton6Click();
    QVERIFY2(w.Data.Tbl_Aree.locate(QStringLiteral("Id"), id),
             qPrintable(notFound(w.Data.Tbl_Aree, QStringLiteral("Id"), id)));
    QCOMPARE(w.Data.Tbl_Aree.asString(QStringLiteral("AreaCombo")), label);
    VERIFY_DIALOGS(dialogs);
}

// --------------------------------------------------------------- deletion

void TestStaff::deletionLeavesReferencesInPlace_data()
{
    QTest::addColumn<Registry>("registry");
    QTest::addColumn<bool>("confirmed");
    QTest::newRow("educator deleted") << Educators << true;
    QTest::newRow("educator kept") << Educators << false;
    QTest::newRow("role deleted") << Roles << true;
    QTest::newRow("role kept") << Roles << false;
    QTest::newRow("area deleted") << Areas << true;
    QTest::newRow("area kept") << Areas << false;
}

void TestStaff::deletionLeavesReferencesInPlace()
{
    QFETCH(Registry, registry);
    QFETCH(bool, confirmed);
    ScenarioFolder p;
    const int a = p.nursery(QStringLiteral("Arcobaleno"));
    p.educator({.nursery = a, .password = QVariant()});
    const int verdi = p.educator({.nursery = a, .nome = QStringLiteral("Lucia"), .cognome = QStringLiteral("Verdi"),
                                  .password = QVariant(), .responsabile = false});
    const int role = p.add(QStringLiteral("Ruoli.db"), {{"Ruolo", QStringLiteral("Osservatrice")}});
    const int area = p.add(QStringLiteral("Aree.db"), {{"Area", QStringLiteral("Motoria")}, {"AreaBreve", QStringLiteral("MO")}});
    for (int evaluation : {1, 2})
        p.add(QStringLiteral("Personale.db"),
              {{"Id_Educatrice", verdi}, {"Id_Valutazione", evaluation}, {"Id_Ruolo", role}});
    p.add(QStringLiteral("FasiVal.db"), {{"Id_Valutazione", 1}, {"Id_Area", area}, {"NumFase", 1}});
    ScriptedDialogs dialogs;
    TFrm_Main w(p.path(), dialogs);
    login(w, dialogs);
    const RegistryParts r = parts(w, registry);
    r.open();
    const int id = registry == Educators ? verdi : registry == Roles ? role : area;
    QVERIFY2(r.table->locate(QStringLiteral("Id"), id), qPrintable(notFound(*r.table, QStringLiteral("Id"), id)));

    dialogs.expectMessage(BoxType::Confirmation, deleteQuestion, confirmed ? Button::Yes : Button::No);
    r.navigator->trigger(Nav::Delete);
    r.close();
    VERIFY_DIALOGS(dialogs);
    QVERIFY2(r.box->isHidden(), qPrintable(screenState(w, dialogs)));
    QCOMPARE(p.count(r.file, QStringLiteral("Id=%1").arg(id)), confirmed ? 0 : 1);
    QCOMPARE(p.count(QStringLiteral("AnagEdu.db")), registry == Educators && confirmed ? 1 : 2);
    QCOMPARE(p.count(QStringLiteral("Personale.db"), QStringLiteral("Id_Educatrice=%1 and Id_Ruolo=%2").arg(verdi).arg(role)), 2);
    QCOMPARE(p.count(QStringLiteral("FasiVal.db"), QStringLiteral("Id_Area=%1").arg(area)), 1);
}

QTEST_MAIN(TestStaff)
#include "test_staff.moc"
