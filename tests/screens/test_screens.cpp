// How the screens look as a whole, on a 1024 × 768 desktop: no caption of
// any screen cut (with the program's faces and with the stand-in face used
// when they are missing), the speed buttons' frames and glyphs, the bold
// captions of the registries toolbar, the status bar's hint when the screen
// in front changes, centred windows, and the new-nursery form starting at
// its first field.

#include "../scenario/scenariofixture.h"
#include "captions.h"

#include "aboutbox.h"
#include "builders.h"
#include "controls.h"
#include "evaluations.h"
#include <QHeaderView>
#include "fonts.h"
#include "inserimentonido.h"
#include "lookups.h"
#include "phases.h"
#include "sheet.h"
#include "staff.h"
#include "children.h"
#include "dataedits.h"
#include "datagrid.h"
#include "pixels.h"

#include <algorithm>

#include <QApplication>
#include <QFile>
#include <QImage>
#include <QLabel>
#include <QPainter>
#include <QScreen>
#include <QStatusBar>
#include <QStatusTipEvent>
#include <QToolBar>

using namespace velmora;
using namespace velmora::testsupport;

namespace {

// A nursery with its educators, a child with an evaluation, its staff and
// the phases of one area.
struct Scene
{
    ScenarioFolder p;
    int child = 0;
    int evaluation = 0;
    int area = 0;

    explicit Scene(int moreChildren = 0)
    {
        p.nursery({{"Nome", QStringLiteral("Nido d'infanzia Il Girasole")},
                   {"Indirizzo", QStringLiteral("Via dei Tigli 12")}, {"Citta", QStringLiteral("Milano")},
                   {"Cap", QStringLiteral("20121")}, {"Provincia", QStringLiteral("MI")}});
        const int anna = p.educator();
        child = p.child({.nome = QStringLiteral("Giulia"), .cognome = QStringLiteral("Bianchi"),
                         .born = QDate(2024, 3, 15), .more = {{"Sesso", QStringLiteral("F")}}});
        for (int i = 0; i < moreChildren; ++i)
            p.child({.nome = QStringLiteral("Bimbo %1").arg(i), .cognome = QStringLiteral("Verdi"),
                     .frequenza = i % 2 == 0});
        evaluation = p.evaluation({.child = child, .date = QDate(2025, 9, 15), .months = 18, .sel = false});
        area = p.firstArea();
        const int role = p.rows(QStringLiteral("Ruoli.db")).first().value(QStringLiteral("Id")).toInt();
        p.add(QStringLiteral("Personale.db"), {{"Id_Valutazione", evaluation}, {"Id_Educatrice", anna}, {"Id_Ruolo", role}});
        for (int n = 3; n <= 5; ++n)
            p.phase({.evaluation = evaluation, .area = area, .numFase = n, .si = QStringLiteral("-01-02-03"),
                     .no = QStringLiteral("-04"), .aVolte = QStringLiteral("-05"), .nonSo = QStringLiteral("-06")});
    }
};

void show(QWidget& w)
{
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
}

// Logs in as the responsible educator and brings `screen` to the front;
// returns the widget it is drawn in. The forms are checked where they show.
QWidget* openScreen(TFrm_Main& w, ScriptedDialogs& d, const Scene& s, const QString& screen)
{
    if (screen == QLatin1String("accesso"))
        return control<QWidget>(&w, "Pnl_Accesso");
    login(w, d, QStringLiteral("Rossi"));
    if (screen == QLatin1String("elenco"))
        return control<QWidget>(&w, "Pnl_Bambini");
    const QList<std::tuple<QString, QToolButton*, QGroupBox*>> registries = {
        {QStringLiteral("anagrafica-nido"), control<QToolButton>(&w, "ToolButton1"),
         control<QGroupBox>(&w, "GB_AnagraficaNido")},
        {QStringLiteral("anagrafica-educatrici"), control<QToolButton>(&w, "ToolButton3"),
         control<QGroupBox>(&w, "GB_AnagraficaEducatrici")},
        {QStringLiteral("anagrafica-bimbi"), control<QToolButton>(&w, "ToolButton5"),
         control<QGroupBox>(&w, "GB_AnagraficaBimbi")},
        {QStringLiteral("gestione-ruoli"), control<QToolButton>(&w, "ToolButton7"),
         control<QGroupBox>(&w, "GB_AnagraficaRuoli")},
        {QStringLiteral("gestione-aree"), control<QToolButton>(&w, "ToolButton9"),
         control<QGroupBox>(&w, "GB_AnagraficaAree")}};
    for (const auto& [name, button, box] : registries) {
        if (screen == name) {
            button->click();
            return box;
        }
    }
    if (screen == QLatin1String("scheda")) {
        chooseChild(w, s.child);
        w.Data.Tbl_Valutazioni.last();
        w.evaluationsScreen().Modifica1Click();
        for (int i = 0; i < control<LookupComboBox>(&w, "CB_Area")->count(); ++i)
            if (control<LookupComboBox>(&w, "CB_Area")->itemData(i).toInt() == s.area)
                emit control<LookupComboBox>(&w, "CB_Area")->activated(i);
        return control<QGroupBox>(&w, "GB_Valutazione");
    }
    return nullptr;
}

QString joined(const QStringList& problems)
{
    return problems.join(QLatin1Char('\n'));
}

// How wide the dark writing on `image` is painted, from its first to its
// last dark column; the face is the colour at the top left corner.
int paintedWidth(const QImage& image)
{
    const int face = qGray(image.pixel(1, 1));
    const QRect ink = boundsOf(image, image.rect(), [face](QRgb c) { return qGray(c) < face - 80; });
    return ink.isNull() ? -image.width() : ink.width();
}

// A caption set bold is painted bold: its ink per character at least 30%
// more than the same text's in the regular face (the regular stroke on the
// bold face's wider advances gave 7% more). `painted` is a grab of the
// caption alone on `background`.
void verifyPaintedBold(const QImage& painted, const QString& text, const QFont& font, const QColor& background,
                       const QColor& colour, const QString& where)
{
    QFont regular = font;
    regular.setBold(false);
    const double perChar = inkOf(painted, background, colour) / text.size();
    const double regularPerChar = inkOfText(text, regular, background, colour) / text.size();
    QVERIFY2(regularPerChar > 1, qPrintable(where));
    QVERIFY2(perChar >= 1.3 * regularPerChar,
             qPrintable(QStringLiteral("%1 \"%2\": %3 of ink per character, %4 in the regular face")
                            .arg(where, text)
                            .arg(perChar, 0, 'f', 1)
                            .arg(regularPerChar, 0, 'f', 1)));
}

} // namespace

class TestScreens : public QObject
{
    Q_OBJECT

private slots:
    void cleanup();
    void captionsFit_data();
    void captionsFit();
    void childrenGridWithoutScrollBar_data();
    void childrenGridWithoutScrollBar();
    void speedButtonsFramedWithGlyphs_data();
    void speedButtonsFramedWithGlyphs();
    void toolbarCaptionsBold_data();
    void toolbarCaptionsBold();
    void versionLabelBold();
    void accessPictureAtLeft();
    void gridTitlesInHeaderFont();
    void statusHintFollowsScreenInFront();
    void mainWindowCentred();
    void newNurseryFormCentredOnScreen();
    void newNurseryFormStartsAtName();
};

void TestScreens::cleanup()
{
    // Every test after this one sees the program's own faces.
    loadProgramFonts();
}

void TestScreens::captionsFit_data()
{
    QTest::addColumn<QString>("fonts"); // a folder to load the faces from
    QTest::addColumn<QString>("screen");
    const QStringList screens = {QStringLiteral("accesso"),         QStringLiteral("elenco"),
                                 QStringLiteral("anagrafica-nido"), QStringLiteral("anagrafica-educatrici"),
                                 QStringLiteral("anagrafica-bimbi"), QStringLiteral("gestione-ruoli"),
                                 QStringLiteral("gestione-aree"),   QStringLiteral("scheda"),
                                 QStringLiteral("nuovo-nido"),      QStringLiteral("about")};
    // With Debian's fonts-wine, and without them (a folder with no faces).
    const QList<QPair<QString, QString>> faces = {{QStringLiteral("fonts-wine"), defaultFontFolder()},
                                                  {QStringLiteral("stand-in"), QStringLiteral("/nonexistent/fonts")}};
    for (const auto& [label, folder] : faces)
        for (const QString& screen : screens)
            QTest::newRow(qPrintable(label + QLatin1Char(' ') + screen)) << folder << screen;
}

void TestScreens::captionsFit()
{
    QFETCH(QString, fonts);
    QFETCH(QString, screen);
    const bool real = loadProgramFonts(fonts);
    QCOMPARE(real, fonts == defaultFontFolder());
    QCOMPARE(tahomaAvailable(), real);

    Scene s;
    ScriptedDialogs d;
    TFrm_Main w(s.p.path(), d);
    show(w);
    QCOMPARE(QFontInfo(w.font()).family(), real ? QStringLiteral("Tahoma") : QFontInfo(windowFont()).family());
    QStringList problems;
    auto checkForm = [&](QDialog& form) {
        form.show();
        if (!QTest::qWaitForWindowExposed(&form))
            problems << QStringLiteral("%1 not shown").arg(form.objectName());
        problems << captions::cutCaptions(&form);
        form.hide();
        return int(QDialog::Rejected);
    };
    if (screen == QLatin1String("nuovo-nido")) {
        openScreen(w, d, s, QStringLiteral("anagrafica-nido"));
        d.expectForm(QStringLiteral("TFrm_InserimentoNido"), [&](QDialog& form) {
            if (real)
                problems << (QFontInfo(form.font()).family() == QLatin1String("MS Sans Serif") ? QString()
                                                                                                 : QStringLiteral("form font"));
            problems.removeAll(QString());
            checkForm(form);
            return int(TFrm_InserimentoNido::Abort);
        });
        w.nurseryRegistry().SpeedButton11Click();
    } else if (screen == QLatin1String("about")) {
        d.expectForm(QStringLiteral("Taboutbox"), checkForm);
        w.SpeedButton13Click();
    } else {
        QWidget* root = openScreen(w, d, s, screen);
        QVERIFY(root);
        QVERIFY(root->isVisible());
        QCoreApplication::processEvents(); // the grids' scroll bars shown or hidden
        problems << captions::cutCaptions(root) << captions::cutCaptions(w.statusBar());
    }
    VERIFY_DIALOGS(d);
    QVERIFY2(problems.isEmpty(), qPrintable(joined(problems)));
}

void TestScreens::childrenGridWithoutScrollBar_data()
{
    QTest::addColumn<QString>("screen");
    QTest::addColumn<QString>("grid");
    QTest::newRow("list") << "elenco" << "DBGrid1";
    QTest::newRow("registry") << "anagrafica-bimbi" << "DBGrid5";
}

void TestScreens::childrenGridWithoutScrollBar()
{
    // Five columns that fit the grid beside its vertical scroll bar, so no
    // scroll bar below them.
    QFETCH(QString, screen);
    QFETCH(QString, grid);
    Scene s(60);
    ScriptedDialogs d;
    TFrm_Main w(s.p.path(), d);
    show(w);
    QWidget* root = openScreen(w, d, s, screen);
    auto* g = control<DataGrid>(root, grid);
    QVERIFY(g);
    // What the grid does at its next turns of the event loop: rows laid
    // out, then its scroll bars shown or hidden.
    g->doItemsLayout();
    QCoreApplication::processEvents();
    QVERIFY(g->verticalScrollBar()->isVisible());
    int total = 0;
    int shown = 0;
    for (int i = 0; i < g->horizontalHeader()->count(); ++i) {
        if (g->isColumnHidden(i))
            continue;
        ++shown;
        total += g->columnWidth(i);
    }
    QCOMPARE(shown, 5);
    QVERIFY2(total <= g->viewport()->width(), qPrintable(QStringLiteral("%1 > %2").arg(total).arg(g->viewport()->width())));
    QVERIFY(!g->horizontalScrollBar()->isVisible());
    VERIFY_DIALOGS(d);
}

void TestScreens::speedButtonsFramedWithGlyphs_data()
{
    QTest::addColumn<QString>("screen");
    QTest::addColumn<QStringList>("buttons");
    QTest::addColumn<QStringList>("captions");
    QTest::newRow("accesso") << "accesso" << QStringList{"SpeedButton4", "SpeedButton13", "SpeedButton9"}
                             << QStringList{"Accedi", "About", "Esci"};
    QTest::newRow("elenco") << "elenco"
                            << QStringList{"Btn_ConfrontoMultiplo", "Btn_ConfrontoSingolo", "Btn_LogOut", "Btn_Esci"}
                            << QStringList{"Confronto", "Profili", "Esci utente", "Esci"};
    QTest::newRow("anagrafica-nido") << "anagrafica-nido" << QStringList{"SpeedButton11", "SpeedButton3"}
                                     << QStringList{"Nuovo", "Esci"};
    QTest::newRow("anagrafica-educatrici") << "anagrafica-educatrici" << QStringList{"SpeedButton1"} << QStringList{"Esci"};
    QTest::newRow("anagrafica-bimbi") << "anagrafica-bimbi" << QStringList{"SpeedButton2"} << QStringList{"Esci"};
    QTest::newRow("gestione-ruoli") << "gestione-ruoli" << QStringList{"SpeedButton5"} << QStringList{"Esci"};
    QTest::newRow("gestione-aree") << "gestione-aree" << QStringList{"SpeedButton6"} << QStringList{"Esci"};
    QTest::newRow("scheda") << "scheda" << QStringList{"SpeedButton10", "SpeedButton8", "SpeedButton7"}
                            << QStringList{"Scheda", "Grafico", "Torna"};
    QTest::newRow("nuovo-nido") << "nuovo-nido" << QStringList{"SpeedButton11", "SpeedButton1"}
                                << QStringList{"Annulla", "Conferma"};
}

void TestScreens::speedButtonsFramedWithGlyphs()
{
    QFETCH(QString, screen);
    QFETCH(QStringList, buttons);
    QFETCH(QStringList, captions);
    Scene s;
    ScriptedDialogs d;
    TFrm_Main w(s.p.path(), d);
    show(w);
    QList<QImage> glyphs; // the glyphs seen so far on this screen
    auto check = [&](QWidget* root) {
        for (int i = 0; i < buttons.size(); ++i) {
            auto* b = control<QToolButton>(root, buttons[i]);
            QVERIFY2(b, qPrintable(buttons[i]));
            QCOMPARE(b->text(), captions[i]);
            QVERIFY2(!b->icon().isNull(), qPrintable(buttons[i]));
            QCOMPARE(b->toolButtonStyle(), Qt::ToolButtonTextUnderIcon);
            QVERIFY(!b->autoRaise());
            QVERIFY(!b->underMouse());
            const QImage img = b->grab().toImage();
            const QRgb face = img.pixel(img.width() / 2, img.height() - 3);
            // The frame is drawn without the pointer over the button: the
            // outermost ring of pixels is darker than the face of the button.
            const auto isDarker = [face](QRgb c) { return qGray(c) < qGray(face) - 30; };
            const int ring = 2 * img.width();
            const int darker = countPixels(img, QRect(0, 0, img.width(), 1), isDarker)
                + countPixels(img, QRect(0, img.height() - 1, img.width(), 1), isDarker);
            QVERIFY2(darker * 10 >= ring * 8, qPrintable(QStringLiteral("%1: %2 of %3 frame pixels").arg(buttons[i]).arg(darker).arg(ring)));
            // The glyph above the caption, in colour.
            const QRect glyph((img.width() - 24) / 2, 3, 24, 24);
            const int coloured = countPixels(img, glyph, [](QRgb c) {
                const QColor colour(c);
                return colour.saturation() > 80 && colour.value() > 60;
            });
            QVERIFY2(coloured > 20, qPrintable(QStringLiteral("%1: %2 coloured pixels").arg(buttons[i]).arg(coloured)));
            // The caption below the glyph.
            QVERIFY2(pixelsNot(img, QRect(3, 34, img.width() - 6, img.height() - 37), face) > 15, qPrintable(buttons[i]));
            // Each button of a screen its own glyph.
            const QImage own = b->icon().pixmap(24).toImage();
            QVERIFY2(!glyphs.contains(own), qPrintable(buttons[i]));
            glyphs << own;
        }
    };
    if (screen == QLatin1String("nuovo-nido")) {
        openScreen(w, d, s, QStringLiteral("anagrafica-nido"));
        d.expectForm(QStringLiteral("TFrm_InserimentoNido"), [&](QDialog& form) {
            form.show();
            if (QTest::qWaitForWindowExposed(&form))
                check(&form);
            form.hide();
            return int(TFrm_InserimentoNido::Abort);
        });
        w.nurseryRegistry().SpeedButton11Click();
    } else {
        QWidget* root = openScreen(w, d, s, screen);
        QVERIFY(root);
        check(root);
    }
    VERIFY_DIALOGS(d);
}

void TestScreens::toolbarCaptionsBold_data()
{
    QTest::addColumn<QString>("fonts"); // a folder to load the faces from
    QTest::newRow("fonts-wine") << defaultFontFolder();
    QTest::newRow("stand-in") << QStringLiteral("/nonexistent/fonts");
}

void TestScreens::toolbarCaptionsBold()
{
    QFETCH(QString, fonts);
    loadProgramFonts(fonts);
    Scene s;
    ScriptedDialogs d;
    TFrm_Main w(s.p.path(), d);
    show(w);
    login(w, d, QStringLiteral("Rossi"));
    for (QToolButton* b : {control<QToolButton>(&w, "ToolButton1"), control<QToolButton>(&w, "ToolButton3"),
                           control<QToolButton>(&w, "ToolButton5"), control<QToolButton>(&w, "ToolButton7"),
                           control<QToolButton>(&w, "ToolButton9")}) {
        // Flat: no frame until the pointer is over it.
        QVERIFY(b->autoRaise());
        QVERIFY(b->font().bold());
        const QImage img = b->grab().toImage();
        QVERIFY2(paintedWidth(img) > 0, qPrintable(b->text()));
        // Bold by its strokes, not only by its width.
        STEP(verifyPaintedBold(img, b->text(), b->font(), img.pixel(1, 1), b->palette().color(QPalette::ButtonText),
                               b->objectName()));
        // The tool bar holds all five captions.
        QVERIFY2(b->geometry().right() < control<QToolBar>(&w, "Tb_Setup")->width(), qPrintable(b->text()));
    }
    VERIFY_DIALOGS(d);
}

void TestScreens::versionLabelBold()
{
    Scene s;
    ScriptedDialogs d;
    TFrm_Main w(s.p.path(), d);
    show(w);
    QImage img;
    d.expectForm(QStringLiteral("Taboutbox"), [&](QDialog& box) {
        box.show();
        if (QTest::qWaitForWindowExposed(&box))
            img = control<AboutBox>(&w, "Taboutbox")->Lbl_Versione->grab().toImage();
        box.hide();
        return int(QDialog::Accepted);
    });
    w.SpeedButton13Click();
    VERIFY_DIALOGS(d);
    QVERIFY(!img.isNull());
    QLabel* l = control<AboutBox>(&w, "Taboutbox")->Lbl_Versione;
    QCOMPARE(l->text(), QStringLiteral("Versione 1.12"));
    QVERIFY(l->font().bold());
    // White writing on the box's black.
    STEP(verifyPaintedBold(img, l->text(), l->font(), Qt::black, Qt::white, l->objectName()));
}

// The access panel's picture at the left, beside the chooser and the
// educators: painted in its place, in the colours of the program's icon, and
// covering none of the panel's controls.
void TestScreens::accessPictureAtLeft()
{
    Scene s;
    ScriptedDialogs d;
    TFrm_Main w(s.p.path(), d);
    show(w);
    QVERIFY(w.accessPanelInFront());
    QLabel* picture = control<QLabel>(&w, "Image1");
    QVERIFY(picture);
    QCOMPARE(picture->parentWidget(), control<QWidget>(&w, "Pnl_Accesso"));
    QVERIFY(picture->isVisible());
    const QRect where = picture->geometry();
    QVERIFY2(where.right() < control<LookupComboBox>(&w, "DBLookupComboBox1")->x() - 64,
             qPrintable(QStringLiteral("%1").arg(where.right())));
    QVERIFY(where.width() >= 150 && where.height() >= 200);
    for (QWidget* other : control<QWidget>(&w, "Pnl_Accesso")->findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
        if (other != picture && other->isVisible())
            QVERIFY2(!other->geometry().intersects(where), qPrintable(other->objectName()));

    // What the panel shows there.
    // Unpremultiplied, so that a pixel's components are its colour's.
    const QImage shot = control<QWidget>(&w, "Pnl_Accesso")->grab(where).toImage().convertToFormat(QImage::Format_ARGB32);
    const int drawn = countPixels(shot, shot.rect(), [](QRgb c) { return c != qRgba(255, 255, 255, 255); });
    const auto near = [&shot](QRgb colour) {
        return countPixels(shot, shot.rect(), [colour](QRgb c) { return nearColour(c, colour, 24); });
    };
    const int red = near(qRgb(0xe8, 0x57, 0x4a));
    const int orange = near(qRgb(0xf2, 0xa5, 0x41));
    const int green = near(qRgb(0x3f, 0x9e, 0x6e));
    const int blue = near(qRgb(0x4a, 0x6f, 0xa5));
    const int area = shot.width() * shot.height();
    QVERIFY2(drawn > area * 8 / 10, qPrintable(QStringLiteral("%1 of %2 pixels drawn").arg(drawn).arg(area)));
    // The three blocks and the growth line, each a good patch of its colour.
    QVERIFY2(red > 1000 && orange > 1000 && green > 1000 && blue > 500,
             qPrintable(QStringLiteral("red %1, orange %2, green %3, blue %4").arg(red).arg(orange).arg(green).arg(blue)));
    VERIFY_DIALOGS(d);
}

void TestScreens::gridTitlesInHeaderFont()
{
    // The evaluations list has its current row selected across every
    // column: the titles are still written in the header's font, not bold.
    Scene s;
    ScriptedDialogs d;
    TFrm_Main w(s.p.path(), d);
    show(w);
    login(w, d, QStringLiteral("Rossi"));
    chooseChild(w, s.child);
    QHeaderView* h = control<DataGrid>(&w, "DBGrid7")->horizontalHeader();
    QVERIFY(!control<DataGrid>(&w, "DBGrid7")->selectionModel()->selectedIndexes().isEmpty());
    for (int i = 1; i < h->count(); ++i) {
        const QString title = control<DataGrid>(&w, "DBGrid7")->model()->headerData(i, Qt::Horizontal).toString();
        const QImage img = h->viewport()->grab(QRect(h->sectionViewportPosition(i) + 1, 0, h->sectionSize(i) - 2, h->height())).toImage();
        QFont bold = h->font();
        bold.setBold(true);
        const int regularWidth = QFontMetrics(h->font()).horizontalAdvance(title);
        const int boldWidth = QFontMetrics(bold).horizontalAdvance(title);
        const int painted = paintedWidth(img);
        QVERIFY2(qAbs(painted - regularWidth) < qAbs(painted - boldWidth),
                 qPrintable(QStringLiteral("%1: painted %2 px, regular %3 px, bold %4 px").arg(title).arg(painted).arg(regularWidth).arg(boldWidth)));
    }
    VERIFY_DIALOGS(d);
}

void TestScreens::statusHintFollowsScreenInFront()
{
    Scene s;
    ScriptedDialogs d;
    TFrm_Main w(s.p.path(), d);
    show(w);
    // The pointer on the login button: its hint shows.
    QCursor::setPos(control<QToolButton>(&w, "SpeedButton4")
                        ->mapToGlobal(control<QToolButton>(&w, "SpeedButton4")->rect().center()));
    QStatusTipEvent tip(control<QToolButton>(&w, "SpeedButton4")->statusTip());
    QApplication::sendEvent(control<QToolButton>(&w, "SpeedButton4"), &tip);
    QCOMPARE(control<QLabel>(&w, "StatusHint")->text(), QStringLiteral("Clicca quì ed accedi al programma"));
    // Logged in, the list screen is in front: under the pointer lies the
    // children list, which has no hint.
    login(w, d, QStringLiteral("Rossi"));
    QCOMPARE(control<QLabel>(&w, "StatusHint")->text(), QString());

    // The pointer on "Esci utente": logging out puts the access panel in
    // front, and there "About" lies under the pointer.
    QCursor::setPos(control<QToolButton>(&w, "Btn_LogOut")->mapToGlobal(QPoint(5, 5)));
    QStatusTipEvent out(control<QToolButton>(&w, "Btn_LogOut")->statusTip());
    QApplication::sendEvent(control<QToolButton>(&w, "Btn_LogOut"), &out);
    QCOMPARE(control<QLabel>(&w, "StatusHint")->text(), QStringLiteral("Accedi al programma come altra educatrice"));
    control<QToolButton>(&w, "Btn_LogOut")->click();
    QVERIFY(w.accessPanelInFront());
    QCOMPARE(control<QLabel>(&w, "StatusHint")->text(), QStringLiteral("About"));
    // Logging in again with the pointer there: the list's "Esci utente".
    login(w, d, QStringLiteral("Rossi"));
    QCOMPARE(control<QLabel>(&w, "StatusHint")->text(), QStringLiteral("Accedi al programma come altra educatrice"));
    VERIFY_DIALOGS(d);
}

void TestScreens::mainWindowCentred()
{
    Scene s;
    ScriptedDialogs d;
    TFrm_Main w(s.p.path(), d);
    show(w);
    const QRect desktop = w.screen()->availableGeometry();
    QVERIFY(desktop.width() >= w.frameGeometry().width());
    QVERIFY(qAbs(w.frameGeometry().center().x() - desktop.center().x()) <= 1);
    QVERIFY(qAbs(w.frameGeometry().center().y() - desktop.center().y()) <= 1);
}

void TestScreens::newNurseryFormCentredOnScreen()
{
    // At the first start, the main window is not shown yet while the form
    // asks for the first nursery: the form is in the middle of the desktop.
    ScenarioFolder p;
    ScriptedDialogs d;
    QRect where;
    QRect desktop;
    d.expectForm(QStringLiteral("TFrm_InserimentoNido"), [&](QDialog& form) {
        form.show();
        if (QTest::qWaitForWindowExposed(&form)) {
            where = form.frameGeometry();
            desktop = form.screen()->availableGeometry();
        }
        form.hide();
        return int(TFrm_InserimentoNido::Abort);
    });
    d.expectMessage(BoxType::Confirmation, QStringLiteral("Per proseguire è indispensabile inserire un nido. Procedere?"),
                    Button::No);
    TFrm_Main w(p.path(), d);
    QVERIFY(w.shouldEnd());
    VERIFY_DIALOGS(d);
    QVERIFY(!where.isNull());
    QVERIFY2(qAbs(where.center().x() - desktop.center().x()) <= 1, qPrintable(QStringLiteral("%1").arg(where.center().x())));
    QVERIFY2(qAbs(where.center().y() - desktop.center().y()) <= 1, qPrintable(QStringLiteral("%1").arg(where.center().y())));
}

void TestScreens::newNurseryFormStartsAtName()
{
    Scene s;
    ScriptedDialogs d;
    TFrm_Main w(s.p.path(), d);
    show(w);
    login(w, d, QStringLiteral("Rossi"));
    control<QToolButton>(&w, "ToolButton1")->click();
    // The first time the user ends in "Telefono" and gives up.
    d.expectForm(QStringLiteral("TFrm_InserimentoNido"), [&](QDialog& form) {
        form.show();
        if (!QTest::qWaitForWindowActive(&form))
            return int(QDialog::Rejected);
        if (form.focusWidget() != control<DataEdit>(&form, "DBEdit1"))
            return int(QDialog::Rejected);
        control<DataEdit>(&form, "DBEdit5")->setFocus(Qt::TabFocusReason);
        form.hide();
        return int(TFrm_InserimentoNido::Abort);
    });
    w.nurseryRegistry().SpeedButton11Click();
    // The second time a name typed at once goes into "Nome".
    QWidget* focused = nullptr;
    d.expectForm(QStringLiteral("TFrm_InserimentoNido"), [&](QDialog& form) {
        form.show();
        if (!QTest::qWaitForWindowActive(&form))
            return int(QDialog::Rejected);
        focused = form.focusWidget();
        QTest::keyClicks(form.focusWidget(), QStringLiteral("Nido Arcobaleno"));
        form.hide();
        return int(QDialog::Accepted);
    });
    d.expectAnyMessage(BoxType::Information);
    w.nurseryRegistry().SpeedButton11Click();
    VERIFY_DIALOGS(d);
    auto* form = w.findChild<TFrm_InserimentoNido*>();
    QVERIFY(form);
    QCOMPARE(focused, static_cast<QWidget*>(control<DataEdit>(form, "DBEdit1")));
    QCOMPARE(s.p.count(QStringLiteral("AnagNido.db"), QStringLiteral("Nome='Nido Arcobaleno'")), 1);
    QCOMPARE(s.p.count(QStringLiteral("AnagNido.db"), QStringLiteral("Telefono<>''")), 0);
}

// The tests see a desktop of 1024 × 768, as the program's users do.
int main(int argc, char** argv)
{
    QTemporaryDir dir;
    const QString config = QDir(dir.path()).filePath(QStringLiteral("screen.json"));
    QFile f(config);
    if (!f.open(QIODevice::WriteOnly))
        return 1;
    f.write(R"({"screens": [{"name": "Desktop", "x": 0, "y": 0, "width": 1024, "height": 768, "logicalDpi": 96}]})");
    f.close();
    qputenv("QT_QPA_PLATFORM", "offscreen:configfile=" + config.toLocal8Bit());
    QApplication app(argc, argv);
    TestScreens t;
    return QTest::qExec(&t, argc, argv);
}

#include "test_screens.moc"
