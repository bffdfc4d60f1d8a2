// The children list and the children registry: which children are listed and
// in which order, the child the evaluations follow, how the rows are drawn,
// and the registry that adds, changes and deletes children.

#include "children.h"
#include "dataedits.h"
#include "datafolder.h"
#include "datagrid.h"
#include "datanavigator.h"
#include "evaluations.h"
#include "installer.h"
#include "mainwindow.h"
#include "scenariofixture.h"
#include "scripteddialogs.h"
#include "scripteddialogs_qtest.h"
#include "table.h"

#include <QApplication>
#include <QDir>
#include <QGroupBox>
#include <QImage>
#include <QKeyEvent>
#include <QMenu>
#include <QPainter>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>

using namespace velmora;

namespace {

const QString attendingOnly = QStringLiteral(" and (frequenza is null or frequenza = True)");
const QString deleteQuestion = QStringLiteral("Eliminare il record?");
const QColor notAttendingGround(230, 239, 247);

// Attendance of a child as stored: true, false, or never set.
enum class Attends { Yes, No, Unset };

// How `attends` is stored: true, false or nothing.
QVariant frequenza(Attends attends)
{
    return attends == Attends::Unset ? QVariant() : QVariant(attends == Attends::Yes);
}

// The program started on `p` and logged in as its responsible educator, who
// has no password.
struct Session
{
    ScriptedDialogs dialogs;
    TFrm_Main w;
    ChildrenScreen& c;

    explicit Session(const ScenarioFolder& p) : w(p.path(), dialogs), c(w.childrenScreen())
    {
        dialogs.expectInput(QStringLiteral("Password"), QString(), true);
        w.accessScreen().DBLookupListBox1DblClick();
    }

    // Surnames of the listed children, in the list's order; the current child stays current.
    QStringList listed()
    {
        store::Table& t = w.Data.Tbl_AnagBimbi;
        QStringList out;
        const int field = t.findField(QStringLiteral("Cognome"));
        for (int row = 0; row < t.rowCount(); ++row)
            out << t.valueAt(row, field).toString();
        return out;
    }
    QString current() { return w.Data.Tbl_AnagBimbi.asString(QStringLiteral("Cognome")); }
    bool moveTo(const QString& surname) { return w.Data.Tbl_AnagBimbi.locate(QStringLiteral("Cognome"), surname); }
    // What a moveTo that found nothing looked through.
    QString missing(const QString& surname) { return notFound(w.Data.Tbl_AnagBimbi, QStringLiteral("Cognome"), surname); }
};

// Checks a radio button the way the user does: by a click, or by an arrow
// key that moves the check and is then released.
void choose(QRadioButton* button, bool byKey)
{
    if (!byKey) {
        button->click();
        return;
    }
    button->setChecked(true);
    QKeyEvent release(QEvent::KeyRelease, Qt::Key_Down, Qt::NoModifier);
    QCoreApplication::sendEvent(button, &release);
}

} // namespace

class TestChildren : public QObject
{
    Q_OBJECT

private slots:
    // The server run (test_children_server) skips where it cannot run.
    void initTestCase() { STORETEST_REQUIRE_ENGINE(); }
    void attendanceColumn_data();
    void attendanceColumn();
    void attendanceChoice_data();
    void attendanceChoice();
    void nothingAttends();
    void sortKeepsCurrentChild_data();
    void sortKeepsCurrentChild();
    void registryShowsWholeNursery();
    void untickedChildLeavesList_data();
    void untickedChildLeavesList();
    void newChild_data();
    void newChild();
    void birthDate_data();
    void birthDate();
    void refusedBirthDateStopsRowMove();
    void closingWindowSavesRegistry();
    void evaluationsListLockedWhileRegistryOpen();
    void evaluationsListStillWhileRegistryMoves();
    void deleteChild_data();
    void deleteChild();
    void rowDrawing_data();
    void rowDrawing();
};

// ---------------------------------------------------------------- listing

void TestChildren::attendanceColumn_data()
{
    QTest::addColumn<int>("attends");
    QTest::addColumn<bool>("listedWhenAttendingOnly");
    QTest::addColumn<QString>("freq");
    QTest::newRow("attends") << int(Attends::Yes) << true << "Si";
    QTest::newRow("left") << int(Attends::No) << false << "No";
    QTest::newRow("never set") << int(Attends::Unset) << true << "No";
}

void TestChildren::attendanceColumn()
{
    QFETCH(int, attends);
    QFETCH(bool, listedWhenAttendingOnly);
    QFETCH(QString, freq);
    ScenarioFolder p;
    const int a = p.nursery(QStringLiteral("Arcobaleno"));
    p.educator({.nursery = a, .password = QVariant()});
    p.child({.nursery = a, .nome = QStringLiteral("Ugo"), .cognome = QStringLiteral("Bassi"),
             .frequenza = frequenza(Attends(attends))});
    Session s(p);
    VERIFY_DIALOGS(s.dialogs);
    QVERIFY2(control<QRadioButton>(&s.w, "Rb_Freq")->isChecked(),
             qPrintable(buttonState(control<QRadioButton>(&s.w, "Rb_Freq")) + QStringLiteral("; ")
                        + buttonState(control<QRadioButton>(&s.w, "RadioButton2"))));
    QCOMPARE(s.w.Data.Tbl_AnagBimbi.filter(), QStringLiteral("Id_Nido=%1").arg(a) + attendingOnly);
    QCOMPARE(s.listed().contains(QStringLiteral("Bassi")), listedWhenAttendingOnly);

    choose(control<QRadioButton>(&s.w, "RadioButton2"), false);
    QCOMPARE(s.listed(), QStringList{QStringLiteral("Bassi")});
    QCOMPARE(s.w.Data.Tbl_AnagBimbi.asString(QStringLiteral("Freq")), freq);
    // The grid's column reads the same.
    const QModelIndex cell = control<DataGrid>(&s.w, "DBGrid1")->model()->index(0, 5);
    QCOMPARE(control<DataGrid>(&s.w, "DBGrid1")->model()->headerData(5, Qt::Horizontal).toString(),
             QStringLiteral("Freq."));
    QCOMPARE(cell.data().toString(), freq);
}

void TestChildren::attendanceChoice_data()
{
    QTest::addColumn<bool>("byKey");
    QTest::addColumn<bool>("all");
    QTest::addColumn<QStringList>("expected");
    const QStringList attending{"Alfieri", "Moro", "Zeta"};
    const QStringList everyone{"Abate", "Alfieri", "Moro", "Zeta"};
    QTest::newRow("click, all") << false << true << everyone;
    QTest::newRow("key, all") << true << true << everyone;
    QTest::newRow("click, attending only") << false << false << attending;
    QTest::newRow("key, attending only") << true << false << attending;
}

void TestChildren::attendanceChoice()
{
    QFETCH(bool, byKey);
    QFETCH(bool, all);
    QFETCH(QStringList, expected);
    ScenarioFolder p;
    const int a = p.nursery(QStringLiteral("Arcobaleno"));
    const int b = p.nursery(QStringLiteral("Pollicino"));
    p.educator({.nursery = a, .password = QVariant()});
    QMap<QString, int> ids;
    ids["Zeta"] = p.child({.nursery = a, .nome = QStringLiteral("Marco"), .cognome = QStringLiteral("Zeta")});
    ids["Moro"] = p.child({.nursery = a, .nome = QStringLiteral("Aldo"), .cognome = QStringLiteral("Moro"),
                           .frequenza = frequenza(Attends::Unset)});
    ids["Alfieri"] = p.child({.nursery = a, .nome = QStringLiteral("Bruno"), .cognome = QStringLiteral("Alfieri")});
    ids["Abate"] = p.child({.nursery = a, .nome = QStringLiteral("Ugo"), .cognome = QStringLiteral("Abate"),
                            .frequenza = false});
    p.child({.nursery = b, .nome = QStringLiteral("Ada"), .cognome = QStringLiteral("Aaron")});
    for (int id : ids)
        p.evaluation({.child = id, .date = QDate()});
    Session s(p);
    VERIFY_DIALOGS(s.dialogs);

    // Start from the other choice, with a child further down current.
    choose(all ? control<QRadioButton>(&s.w, "Rb_Freq") : control<QRadioButton>(&s.w, "RadioButton2"), false);
    QVERIFY2(s.moveTo(QStringLiteral("Zeta")), qPrintable(s.missing(QStringLiteral("Zeta"))));
    QCOMPARE(s.w.Data.Tbl_Valutazioni.filter(), QStringLiteral("Id_Bimbo=%1").arg(ids["Zeta"]));

    choose(all ? control<QRadioButton>(&s.w, "RadioButton2") : control<QRadioButton>(&s.w, "Rb_Freq"), byKey);
    VERIFY_DIALOGS(s.dialogs);
    QCOMPARE(s.w.Data.FiltroFrequenza, all ? QString() : attendingOnly);
    QCOMPARE(s.w.Data.Tbl_AnagBimbi.filter(), QStringLiteral("Id_Nido=%1").arg(a) + s.w.Data.FiltroFrequenza);
    QCOMPARE(s.listed(), expected);
    QCOMPARE(s.current(), expected.first());
    QCOMPARE(s.w.Data.Tbl_Valutazioni.filter(), QStringLiteral("Id_Bimbo=%1").arg(ids[expected.first()]));
    QCOMPARE(s.w.Data.Tbl_Valutazioni.recordCount(), 1);
}

void TestChildren::nothingAttends()
{
    ScenarioFolder p;
    const int a = p.nursery(QStringLiteral("Arcobaleno"));
    p.educator({.nursery = a, .password = QVariant()});
    const int left = p.child({.nursery = a, .nome = QStringLiteral("Ugo"), .cognome = QStringLiteral("Abate"),
                              .frequenza = false});
    p.evaluation({.child = left, .date = QDate()});
    Session s(p);
    choose(control<QRadioButton>(&s.w, "RadioButton2"), false);
    QCOMPARE(s.w.Data.Tbl_Valutazioni.recordCount(), 1);
    choose(control<QRadioButton>(&s.w, "Rb_Freq"), false);
    VERIFY_DIALOGS(s.dialogs);
    QVERIFY2(s.w.Data.Tbl_AnagBimbi.isEmpty(), qPrintable(tableAt(s.w.Data.Tbl_AnagBimbi) + QStringLiteral("; Cognome: ")
                                                          + columnOf(s.w.Data.Tbl_AnagBimbi, QStringLiteral("Cognome"))));
    QCOMPARE(s.w.Data.Tbl_Valutazioni.filter(), QStringLiteral("Id_Bimbo=0"));
    QVERIFY2(s.w.Data.Tbl_Valutazioni.isEmpty(), qPrintable(tableAt(s.w.Data.Tbl_Valutazioni)));
}

void TestChildren::sortKeepsCurrentChild_data()
{
    QTest::addColumn<bool>("byName");
    QTest::addColumn<bool>("byKey");
    QTest::addColumn<QStringList>("expected");
    const QStringList bySurname{"Bianchi", "Neri", "Verdi"};
    const QStringList byName{"Verdi", "Bianchi", "Neri"}; // Ada, Carlo, Zeno
    QTest::newRow("by name, click") << true << false << byName;
    QTest::newRow("by name, key") << true << true << byName;
    QTest::newRow("back to surname, click") << false << false << bySurname;
    QTest::newRow("back to surname, key") << false << true << bySurname;
}

void TestChildren::sortKeepsCurrentChild()
{
    QFETCH(bool, byName);
    QFETCH(bool, byKey);
    QFETCH(QStringList, expected);
    ScenarioFolder p;
    const int a = p.nursery(QStringLiteral("Arcobaleno"));
    p.educator({.nursery = a, .password = QVariant()});
    p.child({.nursery = a, .nome = QStringLiteral("Zeno"), .cognome = QStringLiteral("Neri")});
    const int carlo = p.child({.nursery = a, .nome = QStringLiteral("Carlo"), .cognome = QStringLiteral("Bianchi")});
    p.child({.nursery = a, .nome = QStringLiteral("Ada"), .cognome = QStringLiteral("Verdi")});
    p.evaluation({.child = carlo, .date = QDate()});
    Session s(p);
    if (!byName)
        choose(control<QRadioButton>(&s.w, "RB_Nome"), false);
    QVERIFY2(s.moveTo(QStringLiteral("Bianchi")), qPrintable(s.missing(QStringLiteral("Bianchi"))));
    const QString evaluations = s.w.Data.Tbl_Valutazioni.filter();

    int scrolls = 0;
    const store::Table::Handler original = s.w.Data.Tbl_AnagBimbi.releaseReaction(store::Table::Reaction::AfterScroll);
    s.w.Data.Tbl_AnagBimbi.setReaction(store::Table::Reaction::AfterScroll, &scrolls, [&](store::Table& t) {
        ++scrolls;
        original(t);
    });
    choose(byName ? control<QRadioButton>(&s.w, "RB_Nome") : control<QRadioButton>(&s.w, "RB_Cognome"), byKey);
    VERIFY_DIALOGS(s.dialogs);
    QCOMPARE(s.w.Data.Tbl_AnagBimbi.indexName(), byName ? QStringLiteral("Nome-Cognome") : QStringLiteral("Cognome-Nome"));
    QCOMPARE(s.listed(), expected);
    QCOMPARE(s.current(), QStringLiteral("Bianchi"));
    QCOMPARE(scrolls, 0);
    QCOMPARE(s.w.Data.Tbl_Valutazioni.filter(), evaluations);
    QCOMPARE(s.w.Data.Tbl_AnagBimbi.filter(), QStringLiteral("Id_Nido=%1").arg(a) + attendingOnly);
}

// --------------------------------------------------------------- registry

void TestChildren::registryShowsWholeNursery()
{
    ScenarioFolder p;
    const int a = p.nursery(QStringLiteral("Arcobaleno"));
    const int b = p.nursery(QStringLiteral("Pollicino"));
    p.educator({.nursery = a, .password = QVariant()});
    p.child({.nursery = a, .nome = QStringLiteral("Marco"), .cognome = QStringLiteral("Zeta")});
    const int moro = p.child({.nursery = a, .nome = QStringLiteral("Aldo"), .cognome = QStringLiteral("Moro")});
    p.child({.nursery = a, .nome = QStringLiteral("Ugo"), .cognome = QStringLiteral("Abate"), .frequenza = false});
    p.child({.nursery = b, .nome = QStringLiteral("Ada"), .cognome = QStringLiteral("Aaron")});
    Session s(p);
    QVERIFY2(s.w.Data.Tbl_AnagBimbi.isReadOnly(), qPrintable(tableState(s.w.Data.Tbl_AnagBimbi)));
    QVERIFY2(s.moveTo(QStringLiteral("Zeta")), qPrintable(s.missing(QStringLiteral("Zeta"))));

    control<QToolButton>(&s.w, "ToolButton5")->click();
    VERIFY_DIALOGS(s.dialogs);
    QCOMPARE(control<QGroupBox>(&s.w, "GB_AnagraficaBimbi")->title(), QStringLiteral("Inserimento anagrafica bimbi"));
    QVERIFY2(!control<QGroupBox>(&s.w, "GB_AnagraficaBimbi")->isHidden(), qPrintable(screenState(s.w, s.dialogs)));
    QCOMPARE(s.w.Data.Tbl_AnagBimbi.filter(), QStringLiteral("Id_Nido=%1").arg(a));
    QCOMPARE(s.listed(), (QStringList{"Abate", "Moro", "Zeta"}));
    QVERIFY2(!s.w.Data.Tbl_AnagBimbi.isReadOnly(), qPrintable(tableState(s.w.Data.Tbl_AnagBimbi)));
    QVERIFY2(s.w.Data.Tbl_Valutazioni.controlsDisabled(), qPrintable(tableState(s.w.Data.Tbl_Valutazioni)));
    QCOMPARE(s.c.DBEdit10Tag, 1);
    for (QWidget* locked : std::initializer_list<QWidget*>{
             control<QToolButton>(&s.w, "Btn_Esci"), control<QToolButton>(&s.w, "Btn_LogOut"),
             control<QToolButton>(&s.w, "ToolButton5"), control<DataNavigator>(&s.w, "DBNavigator1")})
        QVERIFY2(!locked->isEnabled(), qPrintable(locked->objectName()));

    // Moving to another child, then leaving.
    QVERIFY2(s.moveTo(QStringLiteral("Zeta")), qPrintable(s.missing(QStringLiteral("Zeta"))));
    control<QToolButton>(&s.w, "SpeedButton2")->click();
    VERIFY_DIALOGS(s.dialogs);
    QVERIFY2(control<QGroupBox>(&s.w, "GB_AnagraficaBimbi")->isHidden(), qPrintable(screenState(s.w, s.dialogs)));
    QVERIFY2(s.w.Data.Tbl_AnagBimbi.isReadOnly(), qPrintable(tableState(s.w.Data.Tbl_AnagBimbi)));
    QVERIFY2(!s.w.Data.Tbl_Valutazioni.controlsDisabled(), qPrintable(tableState(s.w.Data.Tbl_Valutazioni)));
    QCOMPARE(s.c.DBEdit10Tag, 0);
    QCOMPARE(s.w.Data.Tbl_AnagBimbi.filter(), QStringLiteral("Id_Nido=%1").arg(a) + attendingOnly);
    QCOMPARE(s.listed(), (QStringList{"Moro", "Zeta"}));
    QCOMPARE(s.current(), QStringLiteral("Moro"));
    QCOMPARE(s.w.Data.Tbl_Valutazioni.filter(), QStringLiteral("Id_Bimbo=%1").arg(moro));
    for (QWidget* unlocked : std::initializer_list<QWidget*>{
             control<QToolButton>(&s.w, "Btn_Esci"), control<QToolButton>(&s.w, "Btn_LogOut"),
             control<QToolButton>(&s.w, "ToolButton5"), control<DataNavigator>(&s.w, "DBNavigator1")})
        QVERIFY2(unlocked->isEnabled(), qPrintable(unlocked->objectName()));
}

void TestChildren::untickedChildLeavesList_data()
{
    QTest::addColumn<bool>("attendingOnly");
    QTest::newRow("attending only") << true;
    QTest::newRow("all") << false;
}

void TestChildren::untickedChildLeavesList()
{
    QFETCH(bool, attendingOnly);
    ScenarioFolder p;
    const int a = p.nursery(QStringLiteral("Arcobaleno"));
    p.educator({.nursery = a, .password = QVariant()});
    p.child({.nursery = a, .nome = QStringLiteral("Marco"), .cognome = QStringLiteral("Zeta")});
    const int bassi = p.child({.nursery = a, .nome = QStringLiteral("Ugo"), .cognome = QStringLiteral("Bassi")});
    Session s(p);
    if (!attendingOnly)
        choose(control<QRadioButton>(&s.w, "RadioButton2"), false);

    s.c.ToolButton5Click();
    QVERIFY2(s.moveTo(QStringLiteral("Bassi")), qPrintable(s.missing(QStringLiteral("Bassi"))));
    QVERIFY2(control<DataCheckBox>(&s.w, "DBCheckBox2")->isChecked(),
             qPrintable(QStringLiteral("%1; Frequenza = %2; %3")
                            .arg(buttonState(control<DataCheckBox>(&s.w, "DBCheckBox2")),
                                 s.w.Data.Tbl_AnagBimbi.value(QStringLiteral("Frequenza")).toString(),
                                 tableAt(s.w.Data.Tbl_AnagBimbi))));
    control<DataCheckBox>(&s.w, "DBCheckBox2")->click();
    QCOMPARE(s.w.Data.Tbl_AnagBimbi.state(), store::Table::State::Edit);
    s.c.SpeedButton2Click();
    VERIFY_DIALOGS(s.dialogs);

    const auto stored = p.rows(QStringLiteral("AnagBimbi.DB"), QStringLiteral("Id=%1").arg(bassi));
    QCOMPARE(stored.size(), 1);
    QCOMPARE(stored[0].value("Frequenza"), QVariant(false));
    QCOMPARE(s.listed(), attendingOnly ? QStringList{"Zeta"} : (QStringList{"Bassi", "Zeta"}));
    if (attendingOnly) {
        choose(control<QRadioButton>(&s.w, "RadioButton2"), false);
        QCOMPARE(s.listed(), (QStringList{"Bassi", "Zeta"}));
    }
}

void TestChildren::newChild_data()
{
    QTest::addColumn<QString>("typed");
    QTest::newRow("named") << "Lia";
    QTest::newRow("left untouched") << "";
}

void TestChildren::newChild()
{
    QFETCH(QString, typed);
    ScenarioFolder p;
    p.nursery(QStringLiteral("Arcobaleno"));
    const int b = p.nursery(QStringLiteral("Pollicino"));
    p.educator({.nursery = b, .password = QVariant()});
    p.child({.nursery = b, .nome = QStringLiteral("Marco"), .cognome = QStringLiteral("Zeta")});
    Session s(p);
    // The second nursery is the one logged into.
    QVERIFY2(s.w.Data.Tbl_AnagNido.locate(QStringLiteral("Id"), b),
             qPrintable(notFound(s.w.Data.Tbl_AnagNido, QStringLiteral("Id"), b)));
    s.w.accessScreen().DBLookupComboBox1CloseUp();
    QCOMPARE(s.w.Data.IdNidoCorrente, QString::number(b));
    s.w.show();
    QVERIFY2(QTest::qWaitForWindowExposed(&s.w),
             qPrintable(QStringLiteral("%1, visible: %2, exposed: no")
                            .arg(widgetState(&s.w), s.w.isVisible() ? QStringLiteral("yes") : QStringLiteral("no"))));

    s.c.ToolButton5Click();
    control<DataNavigator>(&s.w, "DBNavigator5")->trigger(DataNavigator::Button::Insert);
    VERIFY_DIALOGS(s.dialogs);
    QCOMPARE(s.w.Data.Tbl_AnagBimbi.state(), store::Table::State::Insert);
    QCOMPARE(s.w.Data.Tbl_AnagBimbi.asInteger(QStringLiteral("Id_Nido")), b);
    QCOMPARE(s.w.Data.Tbl_AnagBimbi.value(QStringLiteral("Frequenza")), QVariant(true));
    QCOMPARE(s.w.focusWidget(), control<DataEdit>(&s.w, "DBEdit10"));
    QVERIFY2(control<DataCheckBox>(&s.w, "DBCheckBox2")->isChecked(),
             qPrintable(QStringLiteral("%1; Frequenza = %2; %3")
                            .arg(buttonState(control<DataCheckBox>(&s.w, "DBCheckBox2")),
                                 s.w.Data.Tbl_AnagBimbi.value(QStringLiteral("Frequenza")).toString(),
                                 tableState(s.w.Data.Tbl_AnagBimbi))));

    if (!typed.isEmpty()) {
        QTest::keyClicks(control<DataEdit>(&s.w, "DBEdit10"), typed);
        QTest::keyClicks(control<DataEdit>(&s.w, "DBEdit11"), QStringLiteral("Neri"));
    }
    s.c.SpeedButton2Click();
    VERIFY_DIALOGS(s.dialogs);
    const auto stored = p.rows(QStringLiteral("AnagBimbi.DB"), QStringLiteral("Cognome='Neri'"));
    QCOMPARE(p.rows(QStringLiteral("AnagBimbi.DB")).size(), typed.isEmpty() ? 1 : 2);
    if (typed.isEmpty())
        return;
    QCOMPARE(stored.size(), 1);
    QCOMPARE(stored[0].value("Nome").toString(), typed);
    QCOMPARE(stored[0].value("Id_Nido").toInt(), b);
    QCOMPARE(stored[0].value("Frequenza"), QVariant(true));
    QCOMPARE(s.listed(), (QStringList{"Neri", "Zeta"}));
}

void TestChildren::birthDate_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QDate>("stored"); // invalid: refused
    QTest::newRow("no date at all") << "ieri" << QDate();
    QTest::newRow("day past the month") << "31/02/2020" << QDate();
    QTest::newRow("month thirteen") << "12/13/2020" << QDate();
    QTest::newRow("a real date") << "15/03/2021" << QDate(2021, 3, 15);
}

void TestChildren::birthDate()
{
    QFETCH(QString, typed);
    QFETCH(QDate, stored);
    ScenarioFolder p;
    const int a = p.nursery(QStringLiteral("Arcobaleno"));
    p.educator({.nursery = a, .password = QVariant()});
    const int zeta = p.child({.nursery = a, .nome = QStringLiteral("Marco"), .cognome = QStringLiteral("Zeta")});
    Session s(p);
    s.c.ToolButton5Click();
    VERIFY_DIALOGS(s.dialogs);

    const bool refused = !stored.isValid();
    if (refused)
        s.dialogs.expectMessage(BoxType::Error, QStringLiteral("'%1' non è una data valida.").arg(typed));
    QTest::keyClicks(control<DataEdit>(&s.w, "DBEdit12"), typed);
    QTest::keyClick(control<DataEdit>(&s.w, "DBEdit12"), Qt::Key_Return);
    VERIFY_DIALOGS(s.dialogs);
    QCOMPARE(s.w.Data.Tbl_AnagBimbi.state(), store::Table::State::Edit);
    QCOMPARE(control<DataEdit>(&s.w, "DBEdit12")->text(), typed);
    if (refused) {
        QVERIFY2(s.w.Data.Tbl_AnagBimbi.isNull(QStringLiteral("DataDiNascita")),
                 qPrintable(QStringLiteral("DataDiNascita holds %1; %2")
                                .arg(s.w.Data.Tbl_AnagBimbi.value(QStringLiteral("DataDiNascita")).toString(),
                                     tableState(s.w.Data.Tbl_AnagBimbi))));
        return;
    }
    s.c.SpeedButton2Click();
    VERIFY_DIALOGS(s.dialogs);
    const auto r = p.rows(QStringLiteral("AnagBimbi.DB"), QStringLiteral("Id=%1").arg(zeta));
    QCOMPARE(r[0].value("DataDiNascita").toDate(), stored);
}

// A birth date the field cannot take, still in its box, stops a move to
// another row of the registry's grid: nothing half typed is stored.
void TestChildren::refusedBirthDateStopsRowMove()
{
    ScenarioFolder p;
    const int a = p.nursery(QStringLiteral("Arcobaleno"));
    p.educator({.nursery = a, .password = QVariant()});
    const int zeta = p.child({.nursery = a, .nome = QStringLiteral("Marco"), .cognome = QStringLiteral("Zeta")});
    p.child({.nursery = a, .nome = QStringLiteral("Anna"), .cognome = QStringLiteral("Neri")});
    const auto birth = [&] {
        return p.rows(QStringLiteral("AnagBimbi.DB"), QStringLiteral("Id=%1").arg(zeta)).first().value("DataDiNascita");
    };
    const QVariant before = birth();
    Session s(p);
    s.c.ToolButton5Click();
    VERIFY_DIALOGS(s.dialogs);
    QVERIFY2(s.moveTo(QStringLiteral("Zeta")), qPrintable(s.missing(QStringLiteral("Zeta"))));
    // On the way the box held "01/02/20", a date the field took.
    QTest::keyClicks(control<DataEdit>(&s.w, "DBEdit12"), QStringLiteral("01/02/202"));
    QCOMPARE(s.w.Data.Tbl_AnagBimbi.state(), store::Table::State::Edit);

    s.dialogs.expectMessage(BoxType::Error, QStringLiteral("'01/02/202' non è una data valida."));
    const int other = control<DataGrid>(&s.w, "DBGrid5")->currentIndex().row() == 0 ? 1 : 0;
    control<DataGrid>(&s.w, "DBGrid5")->setCurrentIndex(control<DataGrid>(&s.w, "DBGrid5")->model()->index(other, 1));
    VERIFY_DIALOGS(s.dialogs);
    QCOMPARE(s.current(), QStringLiteral("Zeta"));
    QCOMPARE(s.w.Data.Tbl_AnagBimbi.state(), store::Table::State::Edit);
    QCOMPARE(birth(), before);
}

// Closing the window with the registry open saves the child being typed.
void TestChildren::closingWindowSavesRegistry()
{
    ScenarioFolder p;
    const int a = p.nursery(QStringLiteral("Arcobaleno"));
    p.educator({.nursery = a, .password = QVariant()});
    p.child({.nursery = a, .nome = QStringLiteral("Marco"), .cognome = QStringLiteral("Zeta")});
    Session s(p);
    s.c.ToolButton5Click();
    VERIFY_DIALOGS(s.dialogs);
    control<DataNavigator>(&s.w, "DBNavigator5")->trigger(DataNavigator::Button::Insert);
    QTest::keyClicks(control<DataEdit>(&s.w, "DBEdit10"), QStringLiteral("Giulia"));
    QTest::keyClicks(control<DataEdit>(&s.w, "DBEdit11"), QStringLiteral("Bianchi"));
    QVERIFY2(s.w.close(), qPrintable(QStringLiteral("the window refused to close: %1; %2")
                                         .arg(screenState(s.w, s.dialogs), tableState(s.w.Data.Tbl_AnagBimbi))));
    VERIFY_DIALOGS(s.dialogs);
    const auto rows = p.rows(QStringLiteral("AnagBimbi.DB"), QStringLiteral("Cognome='Bianchi'"));
    QCOMPARE(rows.size(), 1);
    QCOMPARE(rows[0].value("Nome").toString(), QStringLiteral("Giulia"));
    QCOMPARE(rows[0].value("Id_Nido").toInt(), a);
}

// The evaluations list lies partly uncovered by the children registry, but
// while the registry is open its double click and its menu do nothing.
void TestChildren::evaluationsListLockedWhileRegistryOpen()
{
    ScenarioFolder p;
    const int a = p.nursery(QStringLiteral("Arcobaleno"));
    p.educator({.nursery = a, .password = QVariant()});
    const int zeta = p.child({.nursery = a, .nome = QStringLiteral("Marco"), .cognome = QStringLiteral("Zeta")});
    const int v = p.add(QStringLiteral("Valutaz.db"), {{"Id_Bimbo", zeta}, {"DataValutazione", QDate(2026, 1, 15)},
                                                      {"MesiBimbo", 12}, {"Sel", false}});
    Session s(p);
    s.c.ToolButton5Click();
    VERIFY_DIALOGS(s.dialogs);
    DataGrid* list = control<DataGrid>(&s.w, "DBGrid7");
    emit list->doubleClicked();
    emit list->customContextMenuRequested(QPoint(5, 5));
    QVERIFY2(!control<QMenu>(control<QGroupBox>(&s.w, "GroupBox1"), "PopupMenu1")->isVisible(),
             qPrintable(QStringLiteral("the evaluations menu is open; ") + screenState(s.w, s.dialogs)));
    QVERIFY2(control<QGroupBox>(&s.w, "GB_Valutazione")->isHidden(), qPrintable(screenState(s.w, s.dialogs)));
    QCOMPARE(p.rows(QStringLiteral("Valutaz.db"), QStringLiteral("Id=%1").arg(v)).first().value("Sel").toBool(), false);
    QVERIFY2(
        !control<QToolButton>(&s.w, "Btn_LogOut")->isEnabled(),
        qPrintable(widgetState(control<QToolButton>(&s.w, "Btn_LogOut")) + QStringLiteral("; ") + screenState(s.w)));
    VERIFY_DIALOGS(s.dialogs);
}

namespace {

// Clicks the row of `grid` whose column `column` reads `text`; false when
// no row does.
bool clickRow(DataGrid* grid, int column, const QString& text)
{
    for (int row = 0; row < grid->model()->rowCount(); ++row) {
        const QModelIndex cell = grid->model()->index(row, column);
        if (cell.data().toString() == text) {
            grid->scrollTo(cell);
            QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, grid->visualRect(cell).center());
            return true;
        }
    }
    return false;
}

// The texts of a grid's rows, its columns joined by " | ".
QStringList gridTexts(QAbstractItemModel* m)
{
    QStringList out;
    for (int row = 0; row < m->rowCount(); ++row) {
        QStringList cells;
        for (int column = 0; column < m->columnCount(); ++column)
            cells << m->index(row, column).data().toString();
        out << cells.join(QStringLiteral(" | "));
    }
    return out;
}

QImage painted(QWidget* w) { return w->grab().toImage().convertToFormat(QImage::Format_RGB32); }

} // namespace

// The registry lists the whole nursery, and the first child of it becomes
// current as it opens: the evaluations list shows that child's evaluations
// and then stays so, as painted, whatever child the registry moves to (one
// without evaluations, one with fewer) and however often it is repainted; a
// click on it moves nothing. When the registry closes, the first listed
// child is current and the list shows its evaluations.
void TestChildren::evaluationsListStillWhileRegistryMoves()
{
    ScenarioFolder p;
    const int a = p.nursery(QStringLiteral("Arcobaleno"));
    p.educator({.nursery = a, .password = QVariant()});
    // Abate no longer attends: the list leaves him out, the registry does not.
    const int abate = p.child({.nursery = a, .nome = QStringLiteral("Ugo"), .cognome = QStringLiteral("Abate"),
                               .frequenza = false});
    const int moro = p.child({.nursery = a, .nome = QStringLiteral("Aldo"), .cognome = QStringLiteral("Moro")});
    p.child({.nursery = a, .nome = QStringLiteral("Marco"), .cognome = QStringLiteral("Zeta")});
    for (const auto& [months, sel] : {std::pair{12, false}, std::pair{18, true}})
        p.add(QStringLiteral("Valutaz.db"), {{"Id_Bimbo", abate}, {"DataValutazione", QDate(2026, 1, months)},
                                             {"MesiBimbo", months}, {"Sel", sel}});
    p.add(QStringLiteral("Valutaz.db"), {{"Id_Bimbo", moro}, {"DataValutazione", QDate(2026, 3, 10)},
                                         {"MesiBimbo", 20}, {"Sel", true}});
    Session s(p);
    VERIFY_DIALOGS(s.dialogs);
    s.w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&s.w));
    DataGrid* list = control<DataGrid>(&s.w, "DBGrid7");
    QCOMPARE(s.current(), QStringLiteral("Moro"));
    const QImage moroShown = painted(list);

    QTest::mouseClick(control<QToolButton>(&s.w, "ToolButton5"), Qt::LeftButton);
    VERIFY_DIALOGS(s.dialogs);
    QVERIFY2(!control<QGroupBox>(&s.w, "GB_AnagraficaBimbi")->isHidden(), qPrintable(screenState(s.w, s.dialogs)));
    QCOMPARE(s.current(), QStringLiteral("Abate"));
    const QStringList abateTexts = gridTexts(list->model());
    QCOMPARE(abateTexts.size(), 2);
    QVERIFY2(abateTexts[0].endsWith(QStringLiteral(" | 12")) && abateTexts[1].endsWith(QStringLiteral(" | 18")),
             qPrintable(abateTexts.join('\n')));
    const QImage still = painted(list);

    for (const QString& child : {QStringLiteral("Zeta"), QStringLiteral("Moro"), QStringLiteral("Abate"), QStringLiteral("Zeta")}) {
        QVERIFY2(clickRow(control<DataGrid>(&s.w, "DBGrid5"), 1, child), qPrintable(child));
        QCOMPARE(s.current(), child);
        QTest::qWait(0);
        QCOMPARE(gridTexts(list->model()), abateTexts);
        QVERIFY2(painted(list) == still, qPrintable(QStringLiteral("the list is painted otherwise on %1").arg(child)));
    }
    // Moro's one evaluation is what the table holds now: a click on the
    // second row of the still list moves nothing.
    QVERIFY2(clickRow(control<DataGrid>(&s.w, "DBGrid5"), 1, QStringLiteral("Moro")), "Moro");
    const int moroEvaluation = s.w.Data.Tbl_Valutazioni.asInteger(QStringLiteral("Id"));
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualRect(list->model()->index(1, 1)).center());
    QCOMPARE(s.w.Data.Tbl_Valutazioni.asInteger(QStringLiteral("Id")), moroEvaluation);
    QCOMPARE(s.w.Data.Tbl_Valutazioni.recordCount(), 1);
    QCOMPARE(list->currentIndex().row(), 0);
    QCOMPARE(list->selectionModel()->selectedRows().size(), 1);
    QCOMPARE(list->selectionModel()->selectedRows().first().row(), 0);
    // The click gave the list the keys; back in the registry it is painted
    // as before.
    QVERIFY2(clickRow(control<DataGrid>(&s.w, "DBGrid5"), 1, QStringLiteral("Zeta")), "Zeta");
    QVERIFY2(painted(list) == still, "the list is painted otherwise after a click");

    QTest::mouseClick(control<QToolButton>(&s.w, "SpeedButton2"), Qt::LeftButton);
    VERIFY_DIALOGS(s.dialogs);
    QVERIFY2(control<QGroupBox>(&s.w, "GB_AnagraficaBimbi")->isHidden(), qPrintable(screenState(s.w, s.dialogs)));
    QCOMPARE(s.current(), QStringLiteral("Moro"));
    const QStringList moroTexts = gridTexts(list->model());
    QCOMPARE(moroTexts.size(), 1);
    QVERIFY2(moroTexts[0].endsWith(QStringLiteral(" | 20")), qPrintable(moroTexts.join('\n')));
    QVERIFY2(painted(list) != still, "the list still shows Abate's evaluations");
    QVERIFY2(painted(list) == moroShown, "the list shows Moro's evaluation otherwise than before the registry");
}

void TestChildren::deleteChild_data()
{
    QTest::addColumn<bool>("confirmed");
    QTest::addColumn<bool>("fromGrid");
    QTest::newRow("navigator, OK") << true << false;
    QTest::newRow("navigator, Cancel") << false << false;
    QTest::newRow("Ctrl+Delete in the grid, OK") << true << true;
    QTest::newRow("Ctrl+Delete in the grid, Cancel") << false << true;
}

void TestChildren::deleteChild()
{
    QFETCH(bool, confirmed);
    QFETCH(bool, fromGrid);
    ScenarioFolder p;
    const int a = p.nursery(QStringLiteral("Arcobaleno"));
    p.educator({.nursery = a, .password = QVariant()});
    p.child({.nursery = a, .nome = QStringLiteral("Marco"), .cognome = QStringLiteral("Zeta")});
    const int moro = p.child({.nursery = a, .nome = QStringLiteral("Aldo"), .cognome = QStringLiteral("Moro")});
    p.evaluation({.child = moro, .date = QDate()});
    Session s(p);
    s.c.ToolButton5Click();
    QVERIFY2(s.moveTo(QStringLiteral("Moro")), qPrintable(s.missing(QStringLiteral("Moro"))));

    s.dialogs.expectMessage(BoxType::Confirmation, deleteQuestion, confirmed ? Button::Yes : Button::No);
    if (fromGrid)
        QTest::keyClick(control<DataGrid>(&s.w, "DBGrid5"), Qt::Key_Delete, Qt::ControlModifier);
    else
        control<DataNavigator>(&s.w, "DBNavigator5")->trigger(DataNavigator::Button::Delete);
    s.c.SpeedButton2Click();
    VERIFY_DIALOGS(s.dialogs);
    QCOMPARE(s.listed(), confirmed ? QStringList{"Zeta"} : (QStringList{"Moro", "Zeta"}));
    // The evaluations of a deleted child stay behind.
    QCOMPARE(p.rows(QStringLiteral("Valutaz.db"), QStringLiteral("Id_Bimbo=%1").arg(moro)).size(), 1);
}

// ---------------------------------------------------------------- drawing

void TestChildren::rowDrawing_data()
{
    QTest::addColumn<int>("attends");
    QTest::addColumn<bool>("current");
    QTest::addColumn<bool>("paleBlue");
    QTest::addColumn<bool>("framed");
    QTest::newRow("attends") << int(Attends::Yes) << false << false << true;
    QTest::newRow("attends, current cell") << int(Attends::Yes) << true << false << true;
    QTest::newRow("left") << int(Attends::No) << false << true << false;
    QTest::newRow("left, current cell") << int(Attends::No) << true << true << true;
    QTest::newRow("never set") << int(Attends::Unset) << false << true << false;
}

void TestChildren::rowDrawing()
{
    QFETCH(int, attends);
    QFETCH(bool, current);
    QFETCH(bool, paleBlue);
    QFETCH(bool, framed);
    ScenarioFolder p;
    const int a = p.nursery(QStringLiteral("Arcobaleno"));
    p.educator({.nursery = a, .password = QVariant()});
    p.child({.nursery = a, .nome = QStringLiteral("Aldo"), .cognome = QStringLiteral("Abate")});
    p.child({.nursery = a, .nome = QStringLiteral("Ugo"), .cognome = QStringLiteral("Bassi"),
             .frequenza = frequenza(Attends(attends))});
    Session s(p);
    choose(control<QRadioButton>(&s.w, "RadioButton2"), false);
    QCOMPARE(s.listed(), (QStringList{"Abate", "Bassi"}));
    const QString surname = current ? QStringLiteral("Bassi") : QStringLiteral("Abate");
    QVERIFY2(s.moveTo(surname), qPrintable(s.missing(surname)));
    QAbstractItemModel* model = control<DataGrid>(&s.w, "DBGrid1")->model();
    const QModelIndex cell = model->index(1, 2); // Bassi's surname
    control<DataGrid>(&s.w, "DBGrid1")->setCurrentIndex(model->index(s.w.Data.Tbl_AnagBimbi.recNo(), 2));
    QCOMPARE(control<DataGrid>(&s.w, "DBGrid1")->currentIndex() == cell, current);

    QImage image(120, 24, QImage::Format_RGB32);
    image.fill(Qt::white);
    {
        QPainter painter(&image);
        QStyleOptionViewItem option;
        option.rect = image.rect();
        option.font = control<DataGrid>(&s.w, "DBGrid1")->font();
        option.state = QStyle::State_Enabled;
        if (current)
            option.state |= QStyle::State_Selected;
        s.c.DBGrid1DrawColumnCell(&painter, option, cell);
    }
    // Right of the text, the cell's own ground.
    QCOMPARE(QColor(image.pixel(110, 12)) == notAttendingGround, paleBlue);
    // The top edge carries a dotted frame: dark and light pixels in turn.
    int dark = 0, light = 0;
    for (int x = 60; x < 110; ++x)
        (qGray(image.pixel(x, 0)) < 64 ? dark : light)++;
    QCOMPARE(dark > 10 && light > 10, framed);
}

QTEST_MAIN(TestChildren)
#include "test_children.moc"
