// The data-aware controls as the main window lays them and a person sees
// them: every navigator in its place with its buttons over its whole width
// and enabled only when they can act, the row indicator of the nurseries
// grid, the narrow selection column of the evaluations list, the masked
// password edit and the area chooser of a new evaluation.

#include "children.h"
#include "dataedits.h"
#include "datagrid.h"
#include "datanavigator.h"
#include "evaluations.h"
#include "lookups.h"
#include "mainwindow.h"
#include "nursery.h"
#include "phases.h"
#include "pixels.h"
#include "scenariofixture.h"
#include "scripteddialogs.h"
#include "scripteddialogs_qtest.h"
#include "sheet.h"
#include "staff.h"
#include "table.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QGroupBox>
#include <QHeaderView>
#include <QImage>
#include <QLineEdit>
#include <QTest>
#include <QToolButton>

#include <functional>

using namespace velmora;
using Nav = DataNavigator::Button;
using velmora::testsupport::darkest;

namespace {

// One nursery with its responsible educator "Rossi" and `children` children.
struct Scene
{
    ScenarioFolder p;
    int nursery = 0;
    QList<int> children;

    explicit Scene(int childCount = 1)
    {
        nursery = p.nursery(QStringLiteral("Arcobaleno"));
        p.educator({.nursery = nursery});
        const char* names[] = {"Bianchi", "Neri", "Verdi"};
        for (int i = 0; i < childCount; ++i)
            children << p.child({.nursery = nursery, .cognome = QString::fromLatin1(names[i]),
                                 .born = QDate(2025, 1, 10)});
    }
};

// The main window shown, logged in as "Rossi".
struct Window
{
    ScriptedDialogs d;
    TFrm_Main w;

    explicit Window(const Scene& s) : w(s.p.path(), d)
    {
        w.Data.Now = [] { return QDateTime(QDate(2026, 12, 10), QTime(9, 30)); };
        w.show();
        if (!QTest::qWaitForWindowExposed(&w))
            qFatal("main window not exposed");
        login(w, d, QStringLiteral("Rossi"));
    }
};

QImage grabbed(QWidget* widget) { return widget->grab().toImage().convertToFormat(QImage::Format_RGB32); }

// The buttons of `n` painted with black ink, as their default hints.
QString paintedEnabled(DataNavigator* n)
{
    const QImage image = n->grab().toImage();
    QStringList out;
    for (Nav b : n->visibleButtons())
        if (darkest(image, n->button(b)->geometry()) < 128)
            out << DataNavigator::defaultHint(b);
    return out.join(QLatin1Char(' '));
}

QString clickable(DataNavigator* n)
{
    QStringList out;
    for (Nav b : n->visibleButtons())
        if (n->button(b)->isEnabled())
            out << DataNavigator::defaultHint(b);
    return out.join(QLatin1Char(' '));
}

// Opens and closes a registry as its toolbar button and its "Esci" do.
struct Registry
{
    std::function<void(TFrm_Main&)> open;
    std::function<void(TFrm_Main&)> close;
};

Registry registry(const QString& name)
{
    if (name == QLatin1String("nido"))
        return {[](TFrm_Main& w) { control<QToolButton>(&w, "ToolButton1")->click(); },
                [](TFrm_Main& w) { control<QToolButton>(&w, "SpeedButton3")->click(); }};
    if (name == QLatin1String("educatrici"))
        return {[](TFrm_Main& w) { control<QToolButton>(&w, "ToolButton3")->click(); },
                [](TFrm_Main& w) {
                    control<QToolButton>(control<QGroupBox>(&w, "GB_AnagraficaEducatrici"), "SpeedButton1")->click();
                }};
    if (name == QLatin1String("bimbi"))
        return {[](TFrm_Main& w) { control<QToolButton>(&w, "ToolButton5")->click(); },
                [](TFrm_Main& w) { control<QToolButton>(&w, "SpeedButton2")->click(); }};
    if (name == QLatin1String("ruoli"))
        return {[](TFrm_Main& w) { control<QToolButton>(&w, "ToolButton7")->click(); },
                [](TFrm_Main& w) { control<QToolButton>(&w, "SpeedButton5")->click(); }};
    if (name == QLatin1String("aree"))
        return {[](TFrm_Main& w) { control<QToolButton>(&w, "ToolButton9")->click(); },
                [](TFrm_Main& w) { control<QToolButton>(&w, "SpeedButton6")->click(); }};
    return {[](TFrm_Main&) {}, [](TFrm_Main&) {}};
}

} // namespace

class TestControls : public QObject
{
    Q_OBJECT

private slots:
    // The server run (test_controls_server) skips where it cannot run.
    void initTestCase() { STORETEST_REQUIRE_ENGINE(); }
    void navigatorsLaidAsSized_data();
    void navigatorsLaidAsSized();
    void clickWhereInsertIsLaid();
    void childrenNavigatorShowsWhatCanBeDone();

    void rowIndicatorOnNurseryGridOnly();
    void selectionColumnIsFifteenPixels();
    void passwordShowsAsterisks();

    void areaChooserBlankOnNewEvaluation();
    void areaDropDownShowsTenRows();
    void nurseryChooserShowsCurrentNursery();
};

// ---------------------------------------------------------------- navigators

void TestControls::navigatorsLaidAsSized_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("box"); // the registry to open, or none
    QTest::addColumn<QRect>("place"); // empty: along the bottom of its group box
    QTest::addColumn<int>("buttons");
    QTest::newRow("DBNavigator1") << "DBNavigator1" << "" << QRect(27, 520, 468, 18) << 4;
    QTest::newRow("DBNavigator7") << "DBNavigator7" << "" << QRect() << 9;
    QTest::newRow("DBNavigator2") << "DBNavigator2" << "nido" << QRect(8, 154, 511, 18) << 7;
    QTest::newRow("DBNavigator3") << "DBNavigator3" << "educatrici" << QRect(8, 250, 468, 18) << 9;
    QTest::newRow("DBNavigator5") << "DBNavigator5" << "bimbi" << QRect(8, 250, 468, 18) << 9;
    QTest::newRow("DBNavigator8") << "DBNavigator8" << "ruoli" << QRect(8, 154, 468, 18) << 9;
    QTest::newRow("DBNavigator9") << "DBNavigator9" << "aree" << QRect(8, 154, 468, 18) << 9;
}

void TestControls::navigatorsLaidAsSized()
{
    QFETCH(QString, name);
    QFETCH(QString, box);
    QFETCH(QRect, place);
    QFETCH(int, buttons);
    Scene s(3);
    Window win(s);
    TFrm_Main& w = win.w;
    const Registry r = registry(box);
    r.open(w);
    auto* n = control<DataNavigator>(&w, name);
    QVERIFY(n);
    QVERIFY(n->isVisible());
    if (place.isEmpty()) {
        // Along the bottom of "Valutazioni effettuate", 18 high, its width.
        const QRect inside = control<QGroupBox>(&w, "GroupBox1")->contentsRect();
        QCOMPARE(n->height(), 18);
        QVERIFY2(n->geometry().bottom() >= inside.bottom() - 4 && n->geometry().bottom() <= inside.bottom(),
                 qPrintable(QStringLiteral("bottom %1 of %2").arg(n->geometry().bottom()).arg(inside.bottom())));
        QVERIFY(n->x() <= inside.left() + 2);
        QVERIFY(n->geometry().right() >= inside.right() - 2);
        // The evaluations fill the box above it.
        QCOMPARE(control<DataGrid>(&w, "DBGrid7")->geometry().bottom() + 1, n->y());
    } else {
        QCOMPARE(n->geometry(), place);
    }
    const QList<Nav> shown = n->visibleButtons();
    QCOMPARE(int(shown.size()), buttons);
    int x = 0;
    for (Nav b : shown) {
        const QRect g = n->button(b)->geometry();
        QCOMPARE(g.left(), x);
        QCOMPARE(g.height(), n->height());
        QVERIFY(qAbs(g.width() - n->width() / buttons) <= 1);
        x = g.right() + 1;
    }
    QCOMPARE(x, n->width());
    r.close(w);
    VERIFY_DIALOGS(win.d);
}

void TestControls::clickWhereInsertIsLaid()
{
    Scene s(3);
    Window win(s);
    TFrm_Main& w = win.w;
    registry(QStringLiteral("bimbi")).open(w);
    DataNavigator* n = control<DataNavigator>(&w, "DBNavigator5");
    // Nine shares of 52 pixels: "Inserisci" is the fifth, "Annulla" the ninth.
    auto clickAt = [n](int x) {
        QWidget* hit = n->childAt(x, 9);
        QVERIFY(hit);
        QTest::mouseClick(hit, Qt::LeftButton, {}, hit->mapFrom(n, QPoint(x, 9)));
    };
    clickAt(4 * 52 + 26);
    QCOMPARE(w.Data.Tbl_AnagBimbi.state(), store::Table::State::Insert);
    QCOMPARE(n->button(Nav::Insert)->toolTip(), QStringLiteral("Inserisci angrafica"));
    clickAt(8 * 52 + 26);
    QCOMPARE(w.Data.Tbl_AnagBimbi.state(), store::Table::State::Browse);
    QCOMPARE(w.Data.Tbl_AnagBimbi.recordCount(), 3);
    registry(QStringLiteral("bimbi")).close(w);
    VERIFY_DIALOGS(win.d);
}

void TestControls::childrenNavigatorShowsWhatCanBeDone()
{
    Scene s(1);
    Window win(s);
    TFrm_Main& w = win.w;
    // A list of one child: nowhere to move.
    QCOMPARE(clickable(control<DataNavigator>(&w, "DBNavigator1")), QString());
    QCOMPARE(paintedEnabled(control<DataNavigator>(&w, "DBNavigator1")), QString());

    // Two more children, and the list read again: the first is current.
    s.p.child({.nursery = s.nursery, .cognome = QStringLiteral("Neri"), .born = QDate(2025, 1, 10)});
    s.p.child({.nursery = s.nursery, .cognome = QStringLiteral("Verdi"), .born = QDate(2025, 1, 10)});
    w.Data.Tbl_AnagBimbi.refresh();
    w.Data.Tbl_AnagBimbi.first();
    QCOMPARE(paintedEnabled(control<DataNavigator>(&w, "DBNavigator1")), QStringLiteral("Successivo Ultimo"));
    QTest::mouseClick(control<DataNavigator>(&w, "DBNavigator1")->button(Nav::Last), Qt::LeftButton);
    QCOMPARE(clickable(control<DataNavigator>(&w, "DBNavigator1")), QStringLiteral("Primo Precedente"));
    QCOMPARE(paintedEnabled(control<DataNavigator>(&w, "DBNavigator1")), QStringLiteral("Primo Precedente"));

    // A registry in front locks the navigator; closing it gives back the
    // buttons of where the list then stands (its first child).
    registry(QStringLiteral("ruoli")).open(w);
    QCOMPARE(clickable(control<DataNavigator>(&w, "DBNavigator1")), QString());
    QCOMPARE(paintedEnabled(control<DataNavigator>(&w, "DBNavigator1")), QString());
    registry(QStringLiteral("ruoli")).close(w);
    QCOMPARE(clickable(control<DataNavigator>(&w, "DBNavigator1")), QStringLiteral("Primo Precedente"));
    QCOMPARE(paintedEnabled(control<DataNavigator>(&w, "DBNavigator1")), QStringLiteral("Primo Precedente"));
    VERIFY_DIALOGS(win.d);
}

// ---------------------------------------------------------------- grids and edits

void TestControls::rowIndicatorOnNurseryGridOnly()
{
    Scene s(3);
    s.p.nursery(QStringLiteral("Zucchero"));
    Window win(s);
    TFrm_Main& w = win.w;
    for (DataGrid* g : w.findChildren<DataGrid*>())
        QCOMPARE(g->hasRowIndicator(), g->objectName() == QLatin1String("DBGrid2"));

    registry(QStringLiteral("nido")).open(w);
    DataGrid* g = control<DataGrid>(&w, "DBGrid2");
    QHeaderView* h = g->verticalHeader();
    QCOMPARE(h->width(), DataGrid::RowIndicatorWidth);
    auto marked = [&] {
        const QImage image = g->grab().toImage();
        QList<int> rows;
        for (int r = 0; r < g->model()->rowCount(); ++r) {
            const QRect cell(h->x(), h->y() + h->sectionViewportPosition(r), h->width(), h->sectionSize(r));
            if (darkest(image, cell.adjusted(2, 2, -2, -2)) < 100)
                rows << r;
        }
        return rows;
    };
    QCOMPARE(marked(), QList<int>{0});
    QTest::mouseClick(control<DataNavigator>(&w, "DBNavigator2")->button(Nav::Next), Qt::LeftButton);
    QCOMPARE(marked(), QList<int>{1});
    // Whole rows are selected, with the columns after the indicator.
    QCOMPARE(g->selectionModel()->selectedRows().size(), 1);
    QCOMPARE(g->selectionModel()->selectedRows().first().row(), 1);
    QCOMPARE(g->viewport()->x(), h->geometry().right() + 1);
    QCOMPARE(g->columnWidth(0), 221);
    QCOMPARE(g->columnWidth(1), 193);
    registry(QStringLiteral("nido")).close(w);
    VERIFY_DIALOGS(win.d);
}

void TestControls::selectionColumnIsFifteenPixels()
{
    Scene s(1);
    s.p.evaluation({.child = s.children[0], .months = 12});
    s.p.evaluation({.child = s.children[0], .months = 14});
    Window win(s);
    DataGrid* g = control<DataGrid>(&win.w, "DBGrid7");
    QCOMPARE(g->model()->rowCount(), 2);
    const int widths[] = {15, 147, 77};
    int x = 0;
    for (int i = 0; i < 3; ++i) {
        QCOMPARE(g->horizontalHeader()->sectionSize(i), widths[i]);
        QCOMPARE(g->columnViewportPosition(i), x);
        QCOMPARE(g->horizontalHeader()->sectionViewportPosition(i), x);
        x += widths[i];
    }
    // The cell of "S" is drawn 15 pixels wide, its grid line included.
    const QRect cell = g->visualRect(g->model()->index(0, 0));
    QCOMPARE(cell.width() + (g->showGrid() ? 1 : 0), 15);
}

void TestControls::passwordShowsAsterisks()
{
    Scene s(1);
    Window win(s);
    TFrm_Main& w = win.w;
    registry(QStringLiteral("educatrici")).open(w);
    DataEdit* masked = control<DataEdit>(&w, "DBEdit9");
    DataEdit* plain = control<DataEdit>(&w, "DBEdit24");
    // Typed in clear in the plain edit, shown masked again afterwards.
    plain->selectAll();
    QTest::keyClicks(plain, QStringLiteral("abc"));
    QCOMPARE(w.Data.Tbl_AnagEdu.asString(QStringLiteral("Password")), QStringLiteral("abc"));
    QCOMPARE(masked->text(), QStringLiteral("abc"));
    QCOMPARE(masked->displayText(), QStringLiteral("***"));

    // Painted as "***" typed into an edit of the same font and size.
    QLineEdit reference;
    reference.setFont(masked->font());
    reference.setPalette(masked->palette());
    reference.resize(masked->size());
    reference.setText(QStringLiteral("***"));
    QCOMPARE(grabbed(masked), grabbed(&reference));
    reference.setText(QString(3, QChar(0x25CF)));
    QVERIFY(grabbed(masked) != grabbed(&reference));
    w.Data.Tbl_AnagEdu.cancel();
    registry(QStringLiteral("educatrici")).close(w);
    VERIFY_DIALOGS(win.d);
}

// ---------------------------------------------------------------- choosers

void TestControls::areaChooserBlankOnNewEvaluation()
{
    Scene s(1);
    Window win(s);
    TFrm_Main& w = win.w;
    LookupComboBox* combo = control<LookupComboBox>(&w, "CB_Area");
    store::Table& aree = w.Data.Tbl_Aree;
    QVERIFY(aree.isOpen());
    const int areas = aree.recordCount();
    QVERIFY(areas >= 3);
    const int row = aree.recNo();

    QTest::mouseClick(control<DataNavigator>(&w, "DBNavigator7")->button(Nav::Insert), Qt::LeftButton);
    QVERIFY(!control<QGroupBox>(&w, "GB_Valutazione")->isHidden());
    QCOMPARE(w.Data.Tbl_Valutazioni.recordCount(), 1);
    // No area is chosen yet: the chooser shows none, and the areas stay put.
    QVERIFY(isNoKey(w.phasesScreen().chiaveArea()));
    QCOMPARE(combo->count(), areas);
    QCOMPARE(combo->currentIndex(), -1);
    QCOMPARE(combo->currentText(), QString());
    QCOMPARE(aree.recNo(), row);
    QComboBox reference;
    reference.setFont(combo->font());
    reference.setPalette(combo->palette());
    reference.resize(combo->size());
    for (int i = 0; i < combo->count(); ++i)
        reference.addItem(combo->itemText(i));
    reference.setCurrentIndex(-1);
    QCOMPARE(grabbed(combo), grabbed(&reference));

    // Choosing the third area shows it.
    emit combo->activated(2);
    QCOMPARE(combo->currentText(), combo->itemText(2));
    QCOMPARE(w.phasesScreen().chiaveArea().toInt(), aree.asInteger(QStringLiteral("Id")));
    reference.setCurrentIndex(2);
    QCOMPARE(grabbed(combo), grabbed(&reference));

    // Back to the list, and the evaluation opened again: the first area.
    control<QToolButton>(&w, "SpeedButton7")->click();
    QVERIFY(control<QGroupBox>(&w, "GB_Valutazione")->isHidden());
    control<QAction>(&w, "Modifica1")->trigger();
    QVERIFY(!control<QGroupBox>(&w, "GB_Valutazione")->isHidden());
    QCOMPARE(combo->currentIndex(), 0);
    QCOMPARE(w.phasesScreen().chiaveArea().toInt(), aree.asInteger(QStringLiteral("Id")));
    VERIFY_DIALOGS(win.d);
}

// With sixteen areas the area chooser drops down ten rows, the rest a
// scroll away, and its list stays inside the window.
void TestControls::areaDropDownShowsTenRows()
{
    Scene s(1);
    for (int i = 9; i <= 16; ++i)
        s.p.add(QStringLiteral("Aree.db"), {{"AreaBreve", QStringLiteral("A%1").arg(i, 1, 16)},
                                            {"Area", QStringLiteral("Area di prova %1").arg(i)}});
    s.p.evaluation({.child = s.children[0], .months = 12});
    Window win(s);
    TFrm_Main& w = win.w;
    QCOMPARE(w.Data.Tbl_Aree.recordCount(), 16);
    control<QAction>(&w, "Modifica1")->trigger();
    VERIFY_DIALOGS(win.d);
    QVERIFY2(!control<QGroupBox>(&w, "GB_Valutazione")->isHidden(), qPrintable(screenState(w, win.d)));
    LookupComboBox* combo = control<LookupComboBox>(&w, "CB_Area");
    QCOMPARE(combo->count(), 16);

    combo->showPopup();
    QAbstractItemView* list = combo->view();
    QWidget* popup = list->window();
    QTRY_VERIFY(popup->isVisible());
    // The rows the list shows, each by the part of it in sight: a row the
    // frame trims by a pixel or two still reads whole.
    QList<int> shownRows;
    QStringList seen;
    const QRect shown = list->viewport()->rect();
    for (int i = 0; i < combo->count(); ++i) {
        const QRect r = list->visualRect(combo->model()->index(i, 0));
        const QRect part = shown.intersected(r);
        seen << QStringLiteral("%1: %2 of %3").arg(i).arg(part.isValid() ? part.height() : 0).arg(r.height());
        if (part.isValid() && part.height() > 0)
            shownRows << i;
        if (part.isValid() && part.height() > 0 && part.height() < r.height() - 2)
            QFAIL(qPrintable(QStringLiteral("row %1 half shown; %2").arg(i).arg(seen.join(QStringLiteral(", ")))));
    }
    QCOMPARE(shownRows.size(), 10);
    QCOMPARE(shownRows.first(), 0);
    const QRect window(w.mapToGlobal(QPoint(0, 0)), w.size());
    QVERIFY2(window.contains(QRect(popup->mapToGlobal(QPoint(0, 0)), popup->size())),
             qPrintable(QStringLiteral("the list at %1,%2 %3x%4 runs out of the window at %5,%6 %7x%8")
                            .arg(popup->mapToGlobal(QPoint(0, 0)).x()).arg(popup->mapToGlobal(QPoint(0, 0)).y())
                            .arg(popup->width()).arg(popup->height())
                            .arg(window.x()).arg(window.y()).arg(window.width()).arg(window.height())));
    combo->hidePopup();
}

void TestControls::nurseryChooserShowsCurrentNursery()
{
    ScenarioFolder p;
    const int zeta = p.nursery(QStringLiteral("Zeta"));
    const int alfa = p.nursery(QStringLiteral("Alfa"));
    p.educator({.nursery = zeta});
    ScriptedDialogs d;
    TFrm_Main w(p.path(), d);
    LookupComboBox* chooser = control<LookupComboBox>(&w, "DBLookupComboBox1");
    // The first nursery by name is the current one, and the chooser shows it.
    QCOMPARE(w.Data.IdNidoCorrente, QString::number(alfa));
    QCOMPARE(chooser->currentText(), QStringLiteral("Alfa"));
    QCOMPARE(chooser->keyValue().toInt(), alfa);

    // "Zeta" chosen, logged in and out: still the one shown.
    emit chooser->activated(1);
    QCOMPARE(w.Data.IdNidoCorrente, QString::number(zeta));
    QCOMPARE(chooser->currentText(), QStringLiteral("Zeta"));
    login(w, d, QStringLiteral("Rossi"));
    control<QToolButton>(&w, "Btn_LogOut")->click();
    QVERIFY(w.accessPanelInFront());
    QCOMPARE(w.Data.IdNidoCorrente, QString::number(zeta));
    QCOMPARE(chooser->currentText(), QStringLiteral("Zeta"));
    QCOMPARE(chooser->keyValue().toInt(), zeta);
    VERIFY_DIALOGS(d);
}

QTEST_MAIN(TestControls)
#include "test_controls.moc"
