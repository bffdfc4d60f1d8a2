// The data-aware controls against real table objects over a data folder laid
// in a temporary directory.

#include "../store/storefixture.h"

#include "datagrid.h"
#include "datahelpers.h"
#include "dataedits.h"
#include "datanavigator.h"
#include "lookups.h"
#include "scripteddialogs.h"
#include "scripteddialogs_qtest.h"

#include <QApplication>
#include <QSignalSpy>
#include <QTest>
#include <QToolButton>

#include <functional>

using namespace velmora;
using storetest::addRow;
using storetest::Folder;
using store::Table;
using Nav = DataNavigator::Button;
using TableStep = std::function<void(Table&)>;

Q_DECLARE_METATYPE(TableStep)

namespace {

// Three nurseries added out of order; the index "Nominativo" sorts them.
std::unique_ptr<Table> nurseries(Folder& f, bool open = true)
{
    auto t = f.table(QStringLiteral("AnagNido.db"));
    t->setIndexName(QStringLiteral("Nominativo"));
    t->open();
    addRow(*t, {{"Nome", QStringLiteral("Asilo B")}, {"Cap", QStringLiteral("20100")}});
    addRow(*t, {{"Nome", QStringLiteral("Asilo A")}, {"Cap", QStringLiteral("00100")}});
    addRow(*t, {{"Nome", QStringLiteral("Asilo C")}, {"Cap", QStringLiteral("80100")}});
    t->first();
    if (!open)
        t->close();
    return t;
}

QStringList gridColumn(const DataGrid& g, int column)
{
    QStringList out;
    for (int r = 0; r < g.model()->rowCount(); ++r)
        out << g.model()->index(r, column).data().toString();
    return out;
}

int selectedRow(const DataGrid& g)
{
    const QModelIndexList rows = g.selectionModel()->selectedRows();
    return rows.size() == 1 ? rows.first().row() : -1;
}

// Enabled buttons of the navigator, as their hints, in button order.
QString enabledButtons(const DataNavigator& n)
{
    QStringList out;
    for (Nav b : DataNavigator::allButtons())
        if (n.button(b)->isEnabled())
            out << DataNavigator::defaultHint(b);
    return out.join(QLatin1Char(' '));
}

void clickRow(DataGrid& g, int row)
{
    const QRect r = g.visualRect(g.model()->index(row, 0));
    QTest::mouseClick(g.viewport(), Qt::LeftButton, {}, r.center());
}

} // namespace

class TestDataControls : public QObject
{
    Q_OBJECT

private slots:
    void gridShowsRowsInIndexOrder();
    void gridFollowsCursor_data();
    void gridFollowsCursor();
    void gridClickMovesCursor_data();
    void gridClickMovesCursor();
    void gridShowsRecordBeingInserted();
    void gridPaintHookCanReplaceDefault();
    void gridAndNavigatorOverLargeTable();

    void navigatorStates_data();
    void navigatorStates();
    void navigatorNextAtLastDisablesNext();
    void navigatorDeleteAsks_data();
    void navigatorDeleteAsks();
    void navigatorDeleteWithoutDialogsDoesNothing();
    void navigatorShowsErrors();
    void navigatorDisabledStaysDisabled();

    void editMaxLength_data();
    void editMaxLength();
    void editTypingStartsEditing();
    void editFollowsCursor();
    void editBadIntegerShowsError();
    void refusedValueStopsNavigatorPost();
    void editReadOnlyWhenClosedOrReadOnly();
    void memoTypingStartsEditing();
    void checkBoxClickSetsValue();

    void comboListsInIndexOrderAndFollowsCursor();
    void comboChoiceMovesCursorAndWritesKey();
    void listBoxChoiceMovesCursor();
};

// ---------------------------------------------------------------- grid

void TestDataControls::gridShowsRowsInIndexOrder()
{
    Folder f;
    auto t = nurseries(f, false);
    DataGrid g;
    g.setTable(t.get());
    g.addColumn(QStringLiteral("Nome"), QStringLiteral("Nome"), 120);
    g.addColumn(QStringLiteral("Cap"), QStringLiteral("CAP"), 50);
    QCOMPARE(g.model()->rowCount(), 0);

    t->open();
    QCOMPARE(gridColumn(g, 0), (QStringList{"Asilo A", "Asilo B", "Asilo C"}));
    QCOMPARE(gridColumn(g, 1), (QStringList{"00100", "20100", "80100"}));
    QCOMPARE(g.model()->headerData(1, Qt::Horizontal).toString(), QStringLiteral("CAP"));
    QCOMPARE(g.columnWidth(0), 120);
    QCOMPARE(selectedRow(g), 0);

    t->close();
    QCOMPARE(g.model()->rowCount(), 0);
}

void TestDataControls::gridFollowsCursor_data()
{
    QTest::addColumn<TableStep>("step");
    QTest::addColumn<int>("row");
    QTest::newRow("last") << TableStep([](Table& t) { t.last(); }) << 2;
    QTest::newRow("next") << TableStep([](Table& t) { t.next(); }) << 1;
    QTest::newRow("locate") << TableStep([](Table& t) { t.locate(QStringLiteral("Nome"), QStringLiteral("Asilo C")); }) << 2;
    QTest::newRow("last then first") << TableStep([](Table& t) { t.last(); t.first(); }) << 0;
    QTest::newRow("edit moves record by posting")
        << TableStep([](Table& t) {
               t.edit();
               t.setValue(QStringLiteral("Nome"), QStringLiteral("Asilo Z"));
               t.post();
           })
        << 2;
    QTest::newRow("delete") << TableStep([](Table& t) { t.last(); t.remove(); }) << 1;
}

void TestDataControls::gridFollowsCursor()
{
    QFETCH(TableStep, step);
    QFETCH(int, row);
    Folder f;
    auto t = nurseries(f);
    DataGrid g;
    g.addColumn(QStringLiteral("Nome"), QStringLiteral("Nome"));
    g.setTable(t.get());
    step(*t);
    QCOMPARE(selectedRow(g), row);
    QCOMPARE(g.currentIndex().row(), row);
    QCOMPARE(g.model()->index(row, 0).data().toString(), t->asString(QStringLiteral("Nome")));
}

void TestDataControls::gridClickMovesCursor_data()
{
    QTest::addColumn<int>("from");
    QTest::addColumn<int>("to");
    QTest::addColumn<QString>("name");
    QTest::newRow("down two") << 0 << 2 << "Asilo C";
    QTest::newRow("down one") << 0 << 1 << "Asilo B";
    QTest::newRow("up two") << 2 << 0 << "Asilo A";
    QTest::newRow("up one") << 2 << 1 << "Asilo B";
}

void TestDataControls::gridClickMovesCursor()
{
    QFETCH(int, from);
    QFETCH(int, to);
    QFETCH(QString, name);
    Folder f;
    auto t = nurseries(f);
    DataGrid g;
    g.addColumn(QStringLiteral("Nome"), QStringLiteral("Nome"), 100);
    g.setTable(t.get());
    g.resize(300, 200);
    g.show();
    QVERIFY(QTest::qWaitForWindowExposed(&g));
    moveTableTo(t.get(), from);
    QCOMPARE(t->recNo(), from);

    clickRow(g, to);
    QCOMPARE(t->recNo(), to);
    QCOMPARE(t->asString(QStringLiteral("Nome")), name);
    QCOMPARE(selectedRow(g), to);
}

void TestDataControls::gridShowsRecordBeingInserted()
{
    Folder f;
    auto t = nurseries(f);
    DataGrid g;
    g.addColumn(QStringLiteral("Nome"), QStringLiteral("Nome"));
    g.setTable(t.get());
    t->append();
    QCOMPARE(g.model()->rowCount(), 4);
    QCOMPARE(selectedRow(g), 3);
    t->setValue(QStringLiteral("Nome"), QStringLiteral("Asilo 0"));
    QCOMPARE(g.model()->index(3, 0).data().toString(), QStringLiteral("Asilo 0"));
    t->post();
    QCOMPARE(gridColumn(g, 0), (QStringList{"Asilo 0", "Asilo A", "Asilo B", "Asilo C"}));
    QCOMPARE(selectedRow(g), 0);

    t->append();
    t->cancel();
    QCOMPARE(g.model()->rowCount(), 4);
}

void TestDataControls::gridPaintHookCanReplaceDefault()
{
    Folder f;
    auto t = nurseries(f);
    DataGrid g;
    g.addColumn(QStringLiteral("Nome"), QStringLiteral("Nome"));
    g.setTable(t.get());
    QStringList seen;
    g.drawCell = [&](QPainter*, const QStyleOptionViewItem&, const QModelIndex& idx, bool& handled) {
        seen << idx.data().toString();
        handled = idx.row() == 1;
    };
    g.resize(300, 200);
    QImage img(g.size(), QImage::Format_ARGB32);
    g.render(&img);
    seen.removeDuplicates();
    seen.sort();
    QCOMPARE(seen, (QStringList{"Asilo A", "Asilo B", "Asilo C"}));
}

// ---------------------------------------------------------------- navigator

void TestDataControls::navigatorStates_data()
{
    QTest::addColumn<bool>("readOnly");
    QTest::addColumn<bool>("withRows");
    QTest::addColumn<TableStep>("step");
    QTest::addColumn<QString>("enabled");
    const TableStep none = [](Table&) {};
    QTest::newRow("closed") << false << true << TableStep([](Table& t) { t.close(); }) << "";
    // Edit on an empty table starts an insertion, so it stays offered.
    QTest::newRow("empty") << false << false << none << "Inserisci Modifica Aggiorna";
    QTest::newRow("at first") << false << true << none
                              << "Successivo Ultimo Inserisci Elimina Modifica Aggiorna";
    QTest::newRow("middle") << false << true << TableStep([](Table& t) { t.next(); })
                            << "Primo Precedente Successivo Ultimo Inserisci Elimina Modifica Aggiorna";
    QTest::newRow("at last") << false << true << TableStep([](Table& t) { t.last(); })
                             << "Primo Precedente Inserisci Elimina Modifica Aggiorna";
    QTest::newRow("editing") << false << true << TableStep([](Table& t) { t.next(); t.edit(); })
                             << "Primo Precedente Successivo Ultimo Inserisci Elimina Conferma Annulla";
    QTest::newRow("read-only") << true << true << TableStep([](Table& t) { t.next(); })
                               << "Primo Precedente Successivo Ultimo Aggiorna";
    QTest::newRow("read-only empty") << true << false << none << "Aggiorna";
}

void TestDataControls::navigatorStates()
{
    QFETCH(bool, readOnly);
    QFETCH(bool, withRows);
    QFETCH(TableStep, step);
    QFETCH(QString, enabled);
    Folder f;
    std::unique_ptr<Table> t;
    if (withRows) {
        t = nurseries(f, false);
    } else {
        t = f.table(QStringLiteral("AnagNido.db"));
        t->setIndexName(QStringLiteral("Nominativo"));
    }
    t->setReadOnly(readOnly);
    DataNavigator n;
    n.setTable(t.get());
    QCOMPARE(enabledButtons(n), QString());
    t->open();
    t->first();
    step(*t);
    QCOMPARE(enabledButtons(n), enabled);
}

// A grid and a navigator over a table far larger than one page show its
// first rows and offer to move on without making the table read every key;
// the rest of the rows come when the grid is scrolled to their end, and the
// last record is shown and selected when the cursor goes there.
void TestDataControls::gridAndNavigatorOverLargeTable()
{
    Folder f;
    const int rows = 2500;
    QList<QVariantList> data;
    for (int i = 1; i <= rows; ++i)
        data << QVariantList{1, 1, i};
    storetest::bulk(f.folder(), QStringLiteral("FasiVal.db"),
                    QStringLiteral("INSERT INTO FasiVal (Id_Valutazione, Id_Area, NumFase) VALUES (?, ?, ?)"), data);
    auto t = f.table(QStringLiteral("FasiVal.db"));
    DataGrid g;
    g.setTable(t.get());
    g.addColumn(QStringLiteral("NumFase"), QStringLiteral("Fase"), 60);
    DataNavigator n;
    n.setTable(t.get());
    g.resize(200, 300);
    g.show();
    t->open();
    QCoreApplication::processEvents();
    QVERIFY(!g.grab().isNull());
    QCOMPARE(g.model()->rowCount(), Table::pageSize);
    QCOMPARE(g.model()->index(0, 0).data().toString(), QStringLiteral("1"));
    QCOMPARE(selectedRow(g), 0);
    QVERIFY(n.button(Nav::Next)->isEnabled());
    QVERIFY(n.button(Nav::Last)->isEnabled());
    QVERIFY(!t->isCountKnown());

    g.scrollToBottom();
    QCoreApplication::processEvents();
    QCOMPARE(g.model()->rowCount(), rows);
    QCOMPARE(g.model()->index(rows - 1, 0).data().toString(), QString::number(rows));

    t->first();
    t->close();
    t->open();
    QVERIFY(!t->isCountKnown());
    QTest::mouseClick(n.button(Nav::Last), Qt::LeftButton);
    QCOMPARE(t->asInteger(QStringLiteral("NumFase")), rows);
    QCOMPARE(g.model()->rowCount(), rows);
    QCOMPARE(selectedRow(g), rows - 1);
    QVERIFY(!n.button(Nav::Next)->isEnabled());
    QVERIFY(n.button(Nav::Prior)->isEnabled());
}

void TestDataControls::navigatorNextAtLastDisablesNext()
{
    Folder f;
    auto t = nurseries(f);
    DataNavigator n;
    n.setTable(t.get());
    QTest::mouseClick(n.button(Nav::Next), Qt::LeftButton);
    QTest::mouseClick(n.button(Nav::Next), Qt::LeftButton);
    QCOMPARE(t->asString(QStringLiteral("Nome")), QStringLiteral("Asilo C"));
    QTest::mouseClick(n.button(Nav::Next), Qt::LeftButton);
    QVERIFY(!n.button(Nav::Next)->isEnabled());
    QVERIFY(!n.button(Nav::Last)->isEnabled());
    QVERIFY(n.button(Nav::Prior)->isEnabled());
}

void TestDataControls::navigatorDeleteAsks_data()
{
    QTest::addColumn<Button>("answer");
    QTest::addColumn<QStringList>("left");
    QTest::newRow("yes removes") << Button::Yes << QStringList{"Asilo A", "Asilo C"};
    QTest::newRow("no keeps") << Button::No << QStringList{"Asilo A", "Asilo B", "Asilo C"};
}

void TestDataControls::navigatorDeleteAsks()
{
    QFETCH(Button, answer);
    QFETCH(QStringList, left);
    Folder f;
    auto t = nurseries(f);
    t->next();
    ScriptedDialogs d;
    d.expectMessage(BoxType::Confirmation, QStringLiteral("Eliminare il record?"), answer);
    DataNavigator n;
    n.setDialogs(&d);
    n.setTable(t.get());
    QTest::mouseClick(n.button(Nav::Delete), Qt::LeftButton);
    VERIFY_DIALOGS(d);
    QCOMPARE(d.shown().first().buttons, Button::Yes | Button::No);
    QCOMPARE(storetest::walkForward(*t, QStringLiteral("Nome")), left);
}

void TestDataControls::navigatorDeleteWithoutDialogsDoesNothing()
{
    Folder f;
    auto t = nurseries(f);
    DataNavigator n;
    n.setTable(t.get());
    n.trigger(Nav::Delete);
    QCOMPARE(t->recordCount(), 3);
}

void TestDataControls::navigatorShowsErrors()
{
    Folder f;
    auto t = nurseries(f, false);
    t->setReadOnly(true);
    t->open();
    ScriptedDialogs d;
    d.expectMessage(BoxType::Error, QStringLiteral("Impossibile modificare: la tabella AnagNido è aperta in sola lettura."));
    d.expectMessage(BoxType::Error, QStringLiteral("Impossibile modificare: la tabella AnagNido è aperta in sola lettura."));
    DataNavigator n;
    n.setDialogs(&d);
    n.setTable(t.get());
    // Disabled buttons still run their action when triggered directly: the
    // table refuses and the navigator reports it instead of throwing.
    n.trigger(Nav::Edit);
    n.trigger(Nav::Insert);
    VERIFY_DIALOGS(d);
    QCOMPARE(t->state(), Table::State::Browse);
}

void TestDataControls::navigatorDisabledStaysDisabled()
{
    Folder f;
    auto t = nurseries(f, false);
    DataNavigator n;
    n.setTable(t.get());
    n.setEnabled(false);
    t->open();
    QVERIFY(!n.isEnabled());
    QVERIFY(!n.button(Nav::Next)->isEnabled());
    n.setEnabled(true);
    QVERIFY(n.button(Nav::Next)->isEnabled());
    QVERIFY(!n.button(Nav::Prior)->isEnabled());
    QCOMPARE(n.button(Nav::Delete)->toolTip(), QStringLiteral("Elimina"));
    n.setHint(Nav::Delete, QStringLiteral("Elimina il nido"));
    QCOMPARE(n.button(Nav::Delete)->toolTip(), QStringLiteral("Elimina il nido"));
}

// ---------------------------------------------------------------- edits

void TestDataControls::editMaxLength_data()
{
    QTest::addColumn<QString>("field");
    QTest::addColumn<int>("maxLength");
    QTest::newRow("Cap") << "Cap" << 5;
    QTest::newRow("Nome") << "Nome" << 200;
    QTest::newRow("Provincia") << "Provincia" << 4;
    QTest::newRow("Id is no string") << "Id" << 32767;
}

void TestDataControls::editMaxLength()
{
    QFETCH(QString, field);
    QFETCH(int, maxLength);
    Folder f;
    auto t = nurseries(f, false);
    DataEdit e;
    e.setDataSource(t.get(), field);
    t->open();
    QCOMPARE(e.maxLength(), maxLength);
    e.setFocus();
    QTest::keyClicks(&e, QStringLiteral("123456789"));
    if (maxLength < 9)
        QCOMPARE(t->asString(field).size(), maxLength);
}

void TestDataControls::editTypingStartsEditing()
{
    Folder f;
    auto t = nurseries(f);
    DataEdit e;
    e.setDataSource(t.get(), QStringLiteral("Citta"));
    QCOMPARE(e.text(), QString());
    QTest::keyClicks(&e, QStringLiteral("Roma"));
    QCOMPARE(t->state(), Table::State::Edit);
    QCOMPARE(t->asString(QStringLiteral("Citta")), QStringLiteral("Roma"));
    QCOMPARE(e.text(), QStringLiteral("Roma"));
    t->post();
    QCOMPARE(storetest::readColumn(f.path(), QStringLiteral("AnagNido.db"), QStringLiteral("AnagNido"),
                                   QStringLiteral("Citta")),
             (QStringList{"<null>", "Roma", "<null>"}));
}

void TestDataControls::editFollowsCursor()
{
    Folder f;
    auto t = nurseries(f, false);
    DataEdit e;
    e.setDataSource(t.get(), QStringLiteral("Nome"));
    QCOMPARE(e.text(), QString());
    t->open();
    QCOMPARE(e.text(), QStringLiteral("Asilo A"));
    t->last();
    QCOMPARE(e.text(), QStringLiteral("Asilo C"));
    t->edit();
    t->setValue(QStringLiteral("Nome"), QStringLiteral("Asilo D"));
    QCOMPARE(e.text(), QStringLiteral("Asilo D"));
    t->cancel();
    QCOMPARE(e.text(), QStringLiteral("Asilo C"));
    t->close();
    QCOMPARE(e.text(), QString());
}

void TestDataControls::editBadIntegerShowsError()
{
    Folder f;
    auto t = f.table(QStringLiteral("AnagEdu.db"));
    t->open();
    addRow(*t, {{"Nome", QStringLiteral("Anna")}, {"Id_Nido", 4}});
    ScriptedDialogs d;
    d.expectMessage(BoxType::Error, QStringLiteral("'4x' non è un valore intero valido."));
    DataEdit e;
    e.setDialogs(&d);
    e.setDataSource(t.get(), QStringLiteral("Id_Nido"));
    QCOMPARE(e.text(), QStringLiteral("4"));
    e.end(false);
    QTest::keyClicks(&e, QStringLiteral("x"));
    QCOMPARE(e.text(), QStringLiteral("4x"));
    QCOMPARE(t->asInteger(QStringLiteral("Id_Nido")), 4);
    // The error waits until the user leaves the box.
    QVERIFY(d.shown().isEmpty());
    QTest::keyClick(&e, Qt::Key_Return);
    VERIFY_DIALOGS(d);
    QCOMPARE(e.text(), QStringLiteral("4x"));

    QTest::keyClick(&e, Qt::Key_Backspace);
    QTest::keyClicks(&e, QStringLiteral("2"));
    QCOMPARE(t->asInteger(QStringLiteral("Id_Nido")), 42);
    QTest::keyClick(&e, Qt::Key_Return);
    VERIFY_DIALOGS(d);
    QCOMPARE(d.shown().size(), 1);
}

void TestDataControls::refusedValueStopsNavigatorPost()
{
    // A refused number still in its box must not let the navigator post (or
    // move on) with the old value as if nothing had been typed.
    Folder f;
    auto t = f.table(QStringLiteral("AnagEdu.db"));
    t->open();
    addRow(*t, {{"Nome", QStringLiteral("Anna")}, {"Id_Nido", 4}});
    ScriptedDialogs d;
    QWidget box;
    auto* e = new DataEdit(&box);
    e->setDialogs(&d);
    e->setDataSource(t.get(), QStringLiteral("Id_Nido"));
    auto* nav = new DataNavigator(&box);
    nav->setDialogs(&d);
    nav->setTable(t.get());
    e->end(false);
    QTest::keyClicks(e, QStringLiteral("x"));
    QCOMPARE(t->state(), Table::State::Edit);
    d.expectMessage(BoxType::Error, QStringLiteral("'4x' non è un valore intero valido."));
    nav->trigger(DataNavigator::Button::Post);
    VERIFY_DIALOGS(d);
    QCOMPARE(t->state(), Table::State::Edit);
    // Asking again is refused again: the box still holds what cannot be
    // stored, and the field is not to keep a value the box does not show.
    d.expectMessage(BoxType::Error, QStringLiteral("'4x' non è un valore intero valido."));
    nav->trigger(DataNavigator::Button::Post);
    VERIFY_DIALOGS(d);
    QCOMPARE(t->state(), Table::State::Edit);
    // A post from anywhere else (a cursor move, the program) is refused too.
    QVERIFY_THROWS_EXCEPTION(velmora::store::DbError, t->post());
    QCOMPARE(t->state(), Table::State::Edit);
    // Corrected, the value posts.
    QTest::keyClick(e, Qt::Key_Backspace);
    QTest::keyClicks(e, QStringLiteral("7"));
    nav->trigger(DataNavigator::Button::Post);
    VERIFY_DIALOGS(d);
    QCOMPARE(t->state(), Table::State::Browse);
    QCOMPARE(t->asInteger(QStringLiteral("Id_Nido")), 47);
    // Given up, the record goes back to what was stored and posts again freely.
    QTest::keyClicks(e, QStringLiteral("y"));
    nav->trigger(DataNavigator::Button::Cancel);
    QCOMPARE(e->text(), QStringLiteral("47"));
    QTest::keyClick(e, Qt::Key_Backspace);
    nav->trigger(DataNavigator::Button::Post);
    VERIFY_DIALOGS(d);
    QCOMPARE(t->asInteger(QStringLiteral("Id_Nido")), 4);
}

void TestDataControls::editReadOnlyWhenClosedOrReadOnly()
{
    Folder f;
    auto t = nurseries(f, false);
    DataEdit e;
    e.setDataSource(t.get(), QStringLiteral("Nome"));
    QVERIFY(e.isReadOnly());
    t->open();
    QVERIFY(!e.isReadOnly());
    t->close();
    t->setReadOnly(true);
    t->open();
    QVERIFY(e.isReadOnly());
    QTest::keyClicks(&e, QStringLiteral("x"));
    QCOMPARE(t->state(), Table::State::Browse);
    QCOMPARE(e.text(), QStringLiteral("Asilo A"));
}

void TestDataControls::memoTypingStartsEditing()
{
    Folder f;
    auto t = f.table(QStringLiteral("AnagBimbi.DB"));
    t->open();
    addRow(*t, {{"Nome", QStringLiteral("Luca")}, {"Note", QStringLiteral("Allergie")}});
    DataMemo m;
    m.setDataSource(t.get(), QStringLiteral("Note"));
    QCOMPARE(m.toPlainText(), QStringLiteral("Allergie"));
    QCOMPARE(t->state(), Table::State::Browse);
    m.moveCursor(QTextCursor::End);
    QTest::keyClicks(&m, QStringLiteral(": latte"));
    QCOMPARE(t->state(), Table::State::Edit);
    QCOMPARE(t->asString(QStringLiteral("Note")), QStringLiteral("Allergie: latte"));
    t->cancel();
    QCOMPARE(m.toPlainText(), QStringLiteral("Allergie"));
}

void TestDataControls::checkBoxClickSetsValue()
{
    Folder f;
    auto t = f.table(QStringLiteral("AnagEdu.db"));
    t->open();
    addRow(*t, {{"Nome", QStringLiteral("Anna")}});
    DataCheckBox c(QStringLiteral("Responsabile"));
    c.setDataSource(t.get(), QStringLiteral("Responsabile"));
    c.resize(c.sizeHint());
    QVERIFY(!c.isChecked());
    QVERIFY(t->isNull(QStringLiteral("Responsabile")));
    QTest::mouseClick(&c, Qt::LeftButton);
    QCOMPARE(t->state(), Table::State::Edit);
    QCOMPARE(t->value(QStringLiteral("Responsabile")), QVariant(true));
    QVERIFY(c.isChecked());
    QTest::mouseClick(&c, Qt::LeftButton);
    QCOMPARE(t->value(QStringLiteral("Responsabile")), QVariant(false));
    t->post();
    QVERIFY(!c.isChecked());
    t->edit();
    t->setValue(QStringLiteral("Responsabile"), true);
    QVERIFY(c.isChecked());
    t->close();
    QVERIFY(!c.isChecked());
}

// ---------------------------------------------------------------- lookups

void TestDataControls::comboListsInIndexOrderAndFollowsCursor()
{
    Folder f;
    auto t = nurseries(f, false);
    LookupComboBox c;
    c.setListSource(t.get(), QStringLiteral("Id"), QStringLiteral("Nome"));
    QCOMPARE(c.count(), 0);
    t->open();
    QStringList items;
    for (int i = 0; i < c.count(); ++i)
        items << c.itemText(i);
    QCOMPARE(items, (QStringList{"Asilo A", "Asilo B", "Asilo C"}));
    QCOMPARE(c.itemData(0).toLongLong(), 2);
    // No key yet: no item is shown until the cursor moves or a key is set.
    QCOMPARE(c.currentIndex(), -1);
    t->locate(QStringLiteral("Nome"), QStringLiteral("Asilo C"));
    QCOMPARE(c.currentIndex(), 2);
    t->edit();
    t->setValue(QStringLiteral("Nome"), QStringLiteral("Asilo 0"));
    t->post();
    QCOMPARE(c.itemText(0), QStringLiteral("Asilo 0"));
    QCOMPARE(c.currentIndex(), 0);
}

void TestDataControls::comboChoiceMovesCursorAndWritesKey()
{
    Folder f;
    auto t = nurseries(f);
    auto edu = f.table(QStringLiteral("AnagEdu.db"));
    edu->open();
    addRow(*edu, {{"Nome", QStringLiteral("Anna")}, {"Id_Nido", 2}});
    LookupComboBox c;
    c.setListSource(t.get(), QStringLiteral("Id"), QStringLiteral("Nome"));
    c.setDataSource(edu.get(), QStringLiteral("Id_Nido"));
    // The data field's key shows its item.
    QCOMPARE(c.currentText(), QStringLiteral("Asilo A"));
    QSignalSpy closed(&c, &LookupComboBox::closeUp);
    c.setFocus();
    // Down arrow on a closed combo chooses the next item, as a choice from
    // the popup does.
    QTest::keyClick(&c, Qt::Key_Down);
    QCOMPARE(t->recNo(), 1);
    QCOMPARE(t->asString(QStringLiteral("Nome")), QStringLiteral("Asilo B"));
    QCOMPARE(closed.count(), 1);
    QCOMPARE(edu->state(), Table::State::Edit);
    QCOMPARE(edu->asInteger(QStringLiteral("Id_Nido")), t->asInteger(QStringLiteral("Id")));
    QCOMPARE(edu->asInteger(QStringLiteral("Id_Nido")), 1);
}

void TestDataControls::listBoxChoiceMovesCursor()
{
    Folder f;
    auto t = nurseries(f);
    LookupListBox l;
    l.setListSource(t.get(), QStringLiteral("Id"), QStringLiteral("Nome"));
    QCOMPARE(l.count(), 3);
    QCOMPARE(l.item(1)->text(), QStringLiteral("Asilo B"));
    QCOMPARE(l.currentRow(), 0);
    l.setCurrentRow(2);
    QCOMPARE(t->asString(QStringLiteral("Nome")), QStringLiteral("Asilo C"));
    t->prior();
    QCOMPARE(l.currentRow(), 1);
    // A double click on a row, and below the rows, each counts once.
    l.resize(120, 200);
    l.show();
    QVERIFY(QTest::qWaitForWindowExposed(&l));
    QSignalSpy dbl(&l, &LookupListBox::doubleClicked);
    QTest::mouseDClick(l.viewport(), Qt::LeftButton, {}, l.visualItemRect(l.item(1)).center());
    QCOMPARE(dbl.count(), 1);
    QCOMPARE(t->asString(QStringLiteral("Nome")), QStringLiteral("Asilo B"));
    QTest::mouseDClick(l.viewport(), Qt::LeftButton, {}, QPoint(10, l.viewport()->height() - 5));
    QCOMPARE(dbl.count(), 2);
}

QTEST_MAIN(TestDataControls)
#include "test_datacontrols.moc"
