// What the data-aware controls paint: the navigator's buttons laid over its
// whole width and drawn enabled only when they can act, the grid's row
// indicator and exact column widths, the lookup combo's item for its key and
// the masked edit's asterisks. Every check reads the grabbed image or the
// widgets a person clicks.

#include "../store/storefixture.h"

#include "datagrid.h"
#include "dataedits.h"
#include "datanavigator.h"
#include "lookups.h"
#include "maskedinput.h"
#include "pixels.h"

#include <QApplication>
#include <QComboBox>
#include <QHeaderView>
#include <QImage>
#include <QLineEdit>
#include <QTest>
#include <QToolButton>

#include <functional>

using namespace velmora;
using storetest::addRow;
using storetest::Folder;
using store::Table;
using Nav = DataNavigator::Button;
using velmora::testsupport::darkest;
using TableStep = std::function<void(Table&)>;

Q_DECLARE_METATYPE(TableStep)

namespace {

// The nurseries "Asilo A", "Asilo B", "Asilo C" (Id 2, 1, 3) in Nominativo
// order, the first `rows` of them added, opened with the cursor on the first.
std::unique_ptr<Table> nurseries(Folder& f, int rows, bool readOnly = false)
{
    auto t = f.table(QStringLiteral("AnagNido.db"));
    t->setIndexName(QStringLiteral("Nominativo"));
    t->open();
    const char* names[] = {"Asilo B", "Asilo A", "Asilo C"};
    for (int i = 0; i < rows; ++i)
        addRow(*t, {{"Nome", QString::fromLatin1(names[i])}});
    if (readOnly) {
        t->close();
        t->setReadOnly(true);
        t->open();
    }
    t->first();
    return t;
}

bool looksEnabled(const QImage& image, const QRect& rect) { return darkest(image, rect) < 128; }

// Buttons of `n` by their default hints, in button order: those enabled as
// widgets, and those painted enabled in a grab of the navigator.
QString enabledButtons(const DataNavigator& n)
{
    QStringList out;
    for (Nav b : n.visibleButtons())
        if (n.button(b)->isEnabled())
            out << DataNavigator::defaultHint(b);
    return out.join(QLatin1Char(' '));
}

QString paintedEnabled(DataNavigator& n)
{
    const QImage image = n.grab().toImage();
    QStringList out;
    for (Nav b : n.visibleButtons())
        if (looksEnabled(image, n.button(b)->geometry()))
            out << DataNavigator::defaultHint(b);
    return out.join(QLatin1Char(' '));
}

const QList<Nav> registryButtons = {Nav::First, Nav::Prior, Nav::Next, Nav::Last, Nav::Insert,
                                    Nav::Delete, Nav::Edit, Nav::Post, Nav::Cancel};

// A navigator laid as the registries lay theirs: 468 x 18, nine buttons,
// in a window using the program's font.
struct NavigatorWindow
{
    QWidget window;
    DataNavigator* nav;

    explicit NavigatorWindow(Table* table, const QList<Nav>& buttons = registryButtons, const QSize& size = {468, 18})
    {
        QFont f(QStringLiteral("Tahoma"));
        f.setPixelSize(13);
        window.setFont(f);
        window.resize(size + QSize(20, 20));
        nav = new DataNavigator(&window);
        nav->setGeometry(QRect(QPoint(10, 10), size));
        nav->setVisibleButtons(buttons);
        nav->setTable(table);
    }
};

QImage grabbed(QWidget& w) { return w.grab().toImage().convertToFormat(QImage::Format_RGB32); }

} // namespace

class TestPainted : public QObject
{
    Q_OBJECT

private slots:
    void navigatorButtonsAct_data();
    void navigatorButtonsAct();
    void navigatorLockKeepsButtonStates();
    void navigatorSharesWholeWidth_data();
    void navigatorSharesWholeWidth();
    void navigatorClickWhereButtonIsLaid();

    void gridRowIndicator();
    void gridWithoutIndicatorStartsAtFrame();
    void gridColumnWidthsExact_data();
    void gridColumnWidthsExact();

    void comboShowsItemOfKey_data();
    void comboShowsItemOfKey();
    void comboKeepsKeyWhenListIsReread();

    void maskedEditPaintsAsterisks();
};

// ---------------------------------------------------------------- navigator

void TestPainted::navigatorButtonsAct_data()
{
    QTest::addColumn<int>("rows");
    QTest::addColumn<bool>("readOnly");
    QTest::addColumn<TableStep>("step");
    QTest::addColumn<QString>("enabled");
    const TableStep none = [](Table&) {};
    QTest::newRow("empty") << 0 << false << none << "Inserisci Modifica";
    QTest::newRow("one record") << 1 << false << none << "Inserisci Elimina Modifica";
    QTest::newRow("first of three") << 3 << false << none << "Successivo Ultimo Inserisci Elimina Modifica";
    QTest::newRow("back on first with prior")
        << 3 << false << TableStep([](Table& t) { t.next(); t.prior(); })
        << "Successivo Ultimo Inserisci Elimina Modifica";
    QTest::newRow("middle") << 3 << false << TableStep([](Table& t) { t.next(); })
                            << "Primo Precedente Successivo Ultimo Inserisci Elimina Modifica";
    QTest::newRow("last") << 3 << false << TableStep([](Table& t) { t.last(); })
                          << "Primo Precedente Inserisci Elimina Modifica";
    QTest::newRow("last reached with next") << 3 << false << TableStep([](Table& t) { t.next(); t.next(); })
                                            << "Primo Precedente Inserisci Elimina Modifica";
    QTest::newRow("past the end") << 3 << false << TableStep([](Table& t) { t.last(); t.next(); t.next(); })
                                  << "Primo Precedente Inserisci Elimina Modifica";
    // Moving while editing posts first: the moves stay offered.
    QTest::newRow("editing the middle") << 3 << false << TableStep([](Table& t) { t.next(); t.edit(); })
                                        << "Primo Precedente Successivo Ultimo Inserisci Elimina Conferma Annulla";
    QTest::newRow("editing the first") << 3 << false << TableStep([](Table& t) { t.edit(); })
                                       << "Successivo Ultimo Inserisci Elimina Conferma Annulla";
    // The new record stands after the last one.
    QTest::newRow("inserting") << 3 << false << TableStep([](Table& t) { t.append(); })
                               << "Primo Precedente Inserisci Elimina Conferma Annulla";
    QTest::newRow("inserting into empty") << 0 << false << TableStep([](Table& t) { t.append(); })
                                          << "Inserisci Elimina Conferma Annulla";
    QTest::newRow("inserted and posted") << 3 << false
                                         << TableStep([](Table& t) {
                                                t.append();
                                                t.setValue(QStringLiteral("Nome"), QStringLiteral("Asilo Z"));
                                                t.post();
                                            })
                                         << "Primo Precedente Inserisci Elimina Modifica";
    QTest::newRow("read-only middle") << 3 << true << TableStep([](Table& t) { t.next(); })
                                      << "Primo Precedente Successivo Ultimo";
    QTest::newRow("read-only one record") << 1 << true << none << "";
    QTest::newRow("read-only empty") << 0 << true << none << "";
    QTest::newRow("reopened read-only") << 3 << false
                                        << TableStep([](Table& t) {
                                               t.last();
                                               t.close();
                                               t.setReadOnly(true);
                                               t.open();
                                           })
                                        << "Successivo Ultimo";
    QTest::newRow("closed") << 3 << false << TableStep([](Table& t) { t.close(); }) << "";
}

void TestPainted::navigatorButtonsAct()
{
    QFETCH(int, rows);
    QFETCH(bool, readOnly);
    QFETCH(TableStep, step);
    QFETCH(QString, enabled);
    Folder f;
    auto t = nurseries(f, rows, readOnly);
    NavigatorWindow w(t.get());
    // The navigator hears of every change through the table's signals.
    step(*t);
    QCOMPARE(enabledButtons(*w.nav), enabled);
    QCOMPARE(paintedEnabled(*w.nav), enabled);
}

void TestPainted::navigatorLockKeepsButtonStates()
{
    Folder f;
    auto t = nurseries(f, 3);
    NavigatorWindow w(t.get());
    t->next();
    const QString middle = QStringLiteral("Primo Precedente Successivo Ultimo Inserisci Elimina Modifica");
    QCOMPARE(paintedEnabled(*w.nav), middle);

    // Locked as the main window locks its navigation: nothing is clickable.
    w.nav->setEnabled(false);
    QCOMPARE(enabledButtons(*w.nav), QString());
    QCOMPARE(paintedEnabled(*w.nav), QString());
    QTest::mouseClick(w.nav->button(Nav::Next), Qt::LeftButton);
    QCOMPARE(t->recNo(), 1);
    // What happens meanwhile shows once it is unlocked.
    t->last();
    QCOMPARE(paintedEnabled(*w.nav), QString());
    w.nav->setEnabled(true);
    const QString last = QStringLiteral("Primo Precedente Inserisci Elimina Modifica");
    QCOMPARE(enabledButtons(*w.nav), last);
    QCOMPARE(paintedEnabled(*w.nav), last);
}

void TestPainted::navigatorSharesWholeWidth_data()
{
    QTest::addColumn<QSize>("size");
    QTest::addColumn<QList<Nav>>("buttons");
    const QList<Nav> moves = {Nav::First, Nav::Prior, Nav::Next, Nav::Last};
    QTest::newRow("registry, nine buttons") << QSize(468, 18) << registryButtons;
    QTest::newRow("children list, four moves") << QSize(468, 18) << moves;
    QTest::newRow("nurseries, seven buttons")
        << QSize(511, 18) << QList<Nav>{Nav::First, Nav::Prior, Nav::Next, Nav::Last, Nav::Edit, Nav::Post, Nav::Cancel};
    QTest::newRow("narrow, nine buttons") << QSize(150, 18) << registryButtons;
    QTest::newRow("all ten") << QSize(300, 18) << DataNavigator::allButtons();
    QTest::newRow("one button") << QSize(40, 25) << QList<Nav>{Nav::Post};
}

void TestPainted::navigatorSharesWholeWidth()
{
    QFETCH(QSize, size);
    QFETCH(QList<Nav>, buttons);
    Folder f;
    auto t = nurseries(f, 3);
    NavigatorWindow w(t.get(), buttons, size);
    w.window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w.window));
    for (int pass = 0; pass < 2; ++pass) {
        const int n = int(buttons.size());
        const int width = w.nav->width();
        QCOMPARE(w.nav->visibleButtons(), buttons);
        int x = 0;
        for (int i = 0; i < n; ++i) {
            const QRect r = w.nav->button(buttons[i])->geometry();
            QCOMPARE(r.left(), x); // no gap, no overlap
            QCOMPARE(r.top(), 0);
            QCOMPARE(r.height(), w.nav->height());
            QVERIFY2(qAbs(r.width() - width / n) <= 1, qPrintable(QStringLiteral("button %1 is %2 wide").arg(i).arg(r.width())));
            // A click in the middle of the i-th share reaches the i-th button.
            QCOMPARE(w.nav->childAt(width * (2 * i + 1) / (2 * n), w.nav->height() / 2), w.nav->button(buttons[i]));
            x = r.right() + 1;
        }
        QCOMPARE(x, width);
        for (Nav b : DataNavigator::allButtons())
            QCOMPARE(w.nav->button(b)->isHidden(), !buttons.contains(b));
        // The same at any other size given later.
        w.nav->resize(size.width() + 37, size.height() + 3);
    }
}

void TestPainted::navigatorClickWhereButtonIsLaid()
{
    Folder f;
    auto t = nurseries(f, 3);
    NavigatorWindow w(t.get());
    w.window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w.window));
    // Nine shares of 52 pixels: "Inserisci" is the fifth, "Annulla" the ninth.
    auto clickAt = [&](int x) {
        QWidget* hit = w.nav->childAt(x, 9);
        QVERIFY(hit);
        QTest::mouseClick(hit, Qt::LeftButton, {}, hit->mapFrom(w.nav, QPoint(x, 9)));
    };
    clickAt(4 * 52 + 26);
    QCOMPARE(t->state(), Table::State::Insert);
    clickAt(8 * 52 + 26);
    QCOMPARE(t->state(), Table::State::Browse);
    QCOMPARE(t->recordCount(), 3);
    clickAt(3 * 52 + 26);
    QCOMPARE(t->asString(QStringLiteral("Nome")), QStringLiteral("Asilo C"));
}

// ---------------------------------------------------------------- grid

namespace {

struct GridWindow
{
    DataGrid grid;

    GridWindow(Table* table, bool indicator)
    {
        grid.setRowIndicator(indicator);
        grid.addColumn(QStringLiteral("Nome"), QStringLiteral("Nome"), 120);
        grid.setTable(table);
        grid.resize(300, 160);
        grid.show();
    }

    // The indicator's strip beside row `row`, in grab coordinates.
    QRect indicatorCell(int row) const
    {
        const QHeaderView* h = grid.verticalHeader();
        const int y = h->sectionViewportPosition(row);
        return QRect(h->geometry().left(), h->geometry().top() + y, h->width(), h->sectionSize(row));
    }

    // Rows of the grid whose indicator holds ink.
    QList<int> markedRows() const
    {
        const QImage image = const_cast<DataGrid&>(grid).grab().toImage();
        QList<int> out;
        for (int r = 0; r < grid.model()->rowCount(); ++r)
            if (darkest(image, indicatorCell(r).adjusted(2, 2, -2, -2)) < 100)
                out << r;
        return out;
    }
};

} // namespace

void TestPainted::gridRowIndicator()
{
    Folder f;
    auto t = nurseries(f, 3);
    GridWindow w(t.get(), true);
    QVERIFY(QTest::qWaitForWindowExposed(&w.grid));
    QVERIFY(w.grid.hasRowIndicator());
    // A narrow strip before the first column.
    QCOMPARE(w.grid.verticalHeader()->width(), DataGrid::RowIndicatorWidth);
    QCOMPARE(w.grid.viewport()->geometry().left(), w.grid.verticalHeader()->geometry().right() + 1);
    QCOMPARE(w.markedRows(), QList<int>{0});

    t->last();
    QCOMPARE(w.markedRows(), QList<int>{2});
    const QImage browse = w.grid.grab().toImage().copy(w.indicatorCell(2));

    // Editing and inserting change the mark; inserting marks the new row.
    t->edit();
    QCOMPARE(w.markedRows(), QList<int>{2});
    const QImage editing = w.grid.grab().toImage().copy(w.indicatorCell(2));
    QVERIFY(editing != browse);
    t->cancel();
    t->append();
    QCOMPARE(w.markedRows(), QList<int>{3});
    const QImage inserting = w.grid.grab().toImage().copy(w.indicatorCell(3));
    QVERIFY(inserting != browse && inserting != editing);
    t->cancel();
    QCOMPARE(w.markedRows(), QList<int>{2});

    // A click on the indicator makes its row current.
    QTest::mouseClick(w.grid.verticalHeader()->viewport(), Qt::LeftButton, {},
                      QPoint(5, w.grid.verticalHeader()->sectionViewportPosition(0) + 3));
    QCOMPARE(t->recNo(), 0);
    QCOMPARE(w.markedRows(), QList<int>{0});
}

void TestPainted::gridWithoutIndicatorStartsAtFrame()
{
    Folder f;
    auto t = nurseries(f, 3);
    GridWindow w(t.get(), false);
    QVERIFY(QTest::qWaitForWindowExposed(&w.grid));
    QVERIFY(!w.grid.hasRowIndicator());
    QCOMPARE(w.grid.viewport()->geometry().left(), w.grid.frameWidth());
}

void TestPainted::gridColumnWidthsExact_data()
{
    QTest::addColumn<QList<int>>("widths");
    QTest::newRow("evaluations list") << QList<int>{15, 147, 77};
    QTest::newRow("very narrow") << QList<int>{4, 9, 30};
    QTest::newRow("nurseries") << QList<int>{221, 193};
}

void TestPainted::gridColumnWidthsExact()
{
    QFETCH(QList<int>, widths);
    Folder f;
    auto t = nurseries(f, 3);
    DataGrid g;
    g.setTable(t.get());
    for (int i = 0; i < widths.size(); ++i)
        g.addColumn(QStringLiteral("Nome"), QStringLiteral("S"), widths[i]);
    g.resize(500, 150);
    g.show();
    QVERIFY(QTest::qWaitForWindowExposed(&g));
    for (int pass = 0; pass < 2; ++pass) {
        int x = 0;
        for (int i = 0; i < widths.size(); ++i) {
            QCOMPARE(g.horizontalHeader()->sectionSize(i), widths[i]);
            QCOMPARE(g.columnViewportPosition(i), x);
            // The cell drawn is as wide as the column, less the grid line.
            const QRect cell = g.visualRect(g.model()->index(0, i));
            QCOMPARE(cell.left(), x);
            QCOMPARE(cell.width() + (g.showGrid() ? 1 : 0), widths[i]);
            x += widths[i];
        }
        // Read again from scratch, the columns keep their widths.
        t->close();
        t->open();
    }
}

// ---------------------------------------------------------------- lookup combo

void TestPainted::comboShowsItemOfKey_data()
{
    QTest::addColumn<QVariant>("key");
    QTest::addColumn<int>("index");
    QTest::newRow("zero") << QVariant(0) << -1;
    QTest::newRow("zero as text") << QVariant(QStringLiteral("0")) << -1;
    QTest::newRow("empty text") << QVariant(QString()) << -1;
    QTest::newRow("unset") << QVariant() << -1;
    QTest::newRow("not in the list") << QVariant(99) << -1;
    QTest::newRow("Asilo C") << QVariant(3) << 2;
    QTest::newRow("Asilo A as text") << QVariant(QStringLiteral("2")) << 0;
}

void TestPainted::comboShowsItemOfKey()
{
    QFETCH(QVariant, key);
    QFETCH(int, index);
    Folder f;
    auto t = nurseries(f, 3);
    t->next(); // the cursor on "Asilo B"
    LookupComboBox c;
    c.setListSource(t.get(), QStringLiteral("Id"), QStringLiteral("Nome"));
    c.resize(180, 24);
    QCOMPARE(c.currentText(), QString()); // no key yet
    c.setKeyValue(key);
    QCOMPARE(c.currentIndex(), index);
    QCOMPARE(c.currentText(), index < 0 ? QString() : c.itemText(index));
    QCOMPARE(t->recNo(), 1);

    // Painted as a plain combo with the same items showing that item, or none.
    QComboBox plain;
    for (int i = 0; i < c.count(); ++i)
        plain.addItem(c.itemText(i));
    plain.setCurrentIndex(index);
    plain.resize(c.size());
    QCOMPARE(grabbed(c), grabbed(plain));
    if (index < 0) {
        plain.setCurrentIndex(1);
        QVERIFY(grabbed(c) != grabbed(plain));
    }
}

void TestPainted::comboKeepsKeyWhenListIsReread()
{
    Folder f;
    auto t = nurseries(f, 3);
    LookupComboBox c;
    c.setListSource(t.get(), QStringLiteral("Id"), QStringLiteral("Nome"));
    c.setKeyValue(0);
    // The list read again (refreshed, reopened) puts the cursor on a record
    // but chooses nothing.
    t->refresh();
    QCOMPARE(c.currentIndex(), -1);
    t->close();
    t->open();
    QCOMPARE(c.currentIndex(), -1);
    // Moving the cursor, or the program choosing none, are followed.
    t->last();
    QCOMPARE(c.currentText(), QStringLiteral("Asilo C"));
    QCOMPARE(c.keyValue().toInt(), 3);
    c.setCurrentIndex(-1);
    QVERIFY(isNoKey(c.keyValue()));
    t->refresh();
    QCOMPARE(c.currentText(), QString());
}

// ---------------------------------------------------------------- masked edit

void TestPainted::maskedEditPaintsAsterisks()
{
    Folder f;
    auto t = f.table(QStringLiteral("AnagEdu.db"));
    t->open();
    addRow(*t, {{"Nome", QStringLiteral("Anna")}, {"Password", QStringLiteral("abc")}});
    QFont font(QStringLiteral("Tahoma"));
    font.setPixelSize(13);

    DataEdit masked;
    masked.setFont(font);
    masked.setDataSource(t.get(), QStringLiteral("Password"));
    maskWithAsterisks(&masked);
    masked.resize(130, 24);
    QCOMPARE(masked.text(), QStringLiteral("abc"));
    QCOMPARE(masked.displayText(), QStringLiteral("***"));

    // Painted as three asterisks typed into a plain edit, not as bullets.
    QLineEdit plain;
    plain.setFont(font);
    plain.resize(masked.size());
    plain.setText(QStringLiteral("***"));
    QCOMPARE(grabbed(masked), grabbed(plain));
    plain.setText(QString(3, QChar(0x25CF)));
    QVERIFY(grabbed(masked) != grabbed(plain));

    // Typed at once, with no character left visible for a moment.
    masked.show();
    QVERIFY(QTest::qWaitForWindowExposed(&masked));
    masked.setFocus();
    masked.end(false);
    QTest::keyClick(&masked, Qt::Key_D);
    QCOMPARE(masked.displayText(), QStringLiteral("****"));
    QCOMPARE(t->asString(QStringLiteral("Password")), QStringLiteral("abcd"));
}

QTEST_MAIN(TestPainted)
#include "test_painted.moc"
