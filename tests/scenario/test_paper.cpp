// The four prints on paper, in the cases that try it: an older child whose
// expected development passes the value axis, a note of five lines above
// the staff line, sixteen areas in the key and in the sheet, every item
// answered "Si" in every phase. Each print is run through the main window
// and read on the pages the preview shows: what every page holds, where it
// stands, in which face, and what the painted page shows.

#include "chart.h"
#include "document.h"
#include "evaluations.h"
#include "face.h"
#include "pixels.h"
#include "mainwindow.h"
#include "prints.h"
#include "scenariofixture.h"
#include "scripteddialogs.h"
#include "scripteddialogs_qtest.h"
#include "table.h"

#include <QFile>
#include <QFontInfo>
#include <QImage>
#include <QPainter>
#include <QRegularExpression>
#include <QSet>
#include <QTemporaryDir>
#include <QTest>

#include <cmath>

using namespace velmora;
using velmora::testsupport::countPixels;

namespace {

const QString allItems = QStringLiteral("-01-02-03-04-05-06-07-08-09-10-11");

// Eight areas more than the installer lays, their names as long as the
// registry takes.
const QList<QPair<QString, QString>> moreAreas = {
    {"MU", "Musica, ritmo e ascolto di suoni e rumori ambienta"},
    {"AR", "Espressione grafica, pittorica e manipolativa libe"},
    {"NA", "Esplorazione della natura e dell'ambiente esterno"},
    {"AL", "Alimentazione, assaggi e autonomia durante il past"},
    {"SO", "Sonno, riposo e ritmi della giornata al nido d'inf"},
    {"IG", "Igiene personale, cura di sé e controllo sfinteric"},
    {"CN", "Conoscenza del corpo, schema corporeo e lateralità"},
    {"IN", "Inserimento, distacco dai genitori e ricongiungime"},
};

const QStringList staffNames = {"Rossi", "Verdi", "Bruno", "Colombo", "Mancini"};

// A nursery with one child and one evaluation of it, every item of every
// phase answered "Si": every area totals the number of its phases.
struct Paper : ScenarioFolder
{
    int nido = 0;
    int child = 0;
    int evaluation = 0;
    QStringList codes, names; // of every area, in table order

    Paper(int months, const QString& note, int areas, int phases, int staff)
    {
        nido = nursery({{"Nome", QStringLiteral("Nido d'infanzia comunale Il Piccolo Principe")},
                        {"Indirizzo", QStringLiteral("Viale della Repubblica 128")}, {"Cap", QStringLiteral("40017")},
                        {"Citta", QStringLiteral("San Giovanni in Persiceto")}, {"Provincia", QStringLiteral("BO")}});
        for (int i = 0; i < areas - 8 && i < moreAreas.size(); ++i)
            add(QStringLiteral("Aree.db"), {{"AreaBreve", moreAreas[i].first}, {"Area", moreAreas[i].second}});
        QList<int> areaIds;
        for (const QVariantMap& r : rows(QStringLiteral("Aree.db"))) {
            areaIds << r.value("Id").toInt();
            codes << r.value("AreaBreve").toString();
            names << r.value("Area").toString();
        }
        const QList<QVariantMap> roles = rows(QStringLiteral("Ruoli.db"));
        QList<int> educators;
        for (int i = 0; i < staff; ++i)
            educators << educator({.cognome = staffNames[i], .responsabile = i == 0});
        const QDate born(2018, 4, 9);
        child = ScenarioFolder::child({.nome = QStringLiteral("Tommaso"), .cognome = QStringLiteral("Ricci"),
                                       .born = born, .more = {{"Sesso", QStringLiteral("M")}, {"Note", note}}});
        evaluation = ScenarioFolder::evaluation(
            {.child = child, .date = born.addMonths(months), .months = months, .sel = false});
        for (int i = 0; i < staff; ++i)
            add(QStringLiteral("Personale.db"), {{"Id_Valutazione", evaluation}, {"Id_Educatrice", educators[i]},
                                                 {"Id_Ruolo", roles[i % roles.size()].value("Id")}});
        for (const int area : areaIds)
            for (int n = 1; n <= phases; ++n)
                phase({.evaluation = evaluation, .area = area, .numFase = n, .si = allItems});
    }
};

QString lineBreaks(const QString& text)
{
    QString t = text;
    t.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    return t;
}

// ---------------------------------------------------------------- checks

// Every text of every page, and every chart, in one face; the PDF file of
// the pages embeds that face alone (the chart's texts included), in its
// plain, bold and italic styles.
void verifyOneFace(const print::Document& doc)
{
    const QString family = print::defaultFamily();
    const QString face = QFontInfo(QFont(family)).family();
    for (int i = 0; i < doc.pageCount(); ++i) {
        for (const print::PageText& t : doc.pages[i].texts) {
            QVERIFY2(t.font.family() == family, qPrintable(t.name + QStringLiteral(": ") + t.font.family()));
            QCOMPARE(QFontInfo(t.font).family(), face);
        }
        for (const print::PageChart& c : doc.pages[i].charts) {
            QVERIFY(c.chart);
            QCOMPARE(c.chart->fontFamily, family);
        }
    }
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("stampa.pdf"));
    QVERIFY(doc.writePdf(path));
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    static const QRegularExpression baseFont(QStringLiteral("/BaseFont\\s*/(?:[A-Z]{6}\\+)?([^\\s/<>\\[\\]()]+)"));
    // The embedded names carry the style ("LiberationSans-Bold",
    // "WineTahomaBold"): one family, whatever styles of it.
    static const QRegularExpression style(QStringLiteral("-?(BoldItalic|Bold|Italic|Regular)$"));
    QSet<QString> faces;
    auto it = baseFont.globalMatch(QString::fromLatin1(file.readAll()));
    while (it.hasNext())
        faces.insert(it.next().captured(1).remove(style));
    QVERIFY2(faces.size() == 1 && faces.values().first().contains(QString(face).remove(QLatin1Char(' '))),
             qPrintable(QStringList(faces.values()).join(QLatin1String(", ")) + QStringLiteral(" for ") + face));
}

// Nothing printed over a text of another element: no text over another
// (every caption stops before its value), no chart's box over a text (the
// key under the profiles' chart), no rule through one.
void verifyNothingOverprinted(const print::Document& doc)
{
    QStringList found;
    for (const print::TextOverlap& o : doc.overlappingTexts())
        found << QStringLiteral("page %1: %2 \"%3\" over %4 \"%5\"")
                     .arg(o.page + 1)
                     .arg(o.first->name, o.first->text, o.second->name, o.second->text);
    for (const print::CoveredText& c : doc.coveredTexts())
        found << QStringLiteral("page %1: %2 over %3 \"%4\" from %5 to %6 mm")
                     .arg(c.page + 1)
                     .arg(c.by, c.text->name, c.text->text.left(40))
                     .arg(c.where.top())
                     .arg(c.where.bottom());
    QVERIFY2(found.isEmpty(), qPrintable(found.join(QLatin1Char('\n'))));

    // The captions of the head end before their values start.
    const print::Page& page = doc.pages.first();
    const QList<QPair<const char*, const char*>> pairs = {{"QRLabel1", "Qr_DataDiNascita"},
                                                          {"QRLabel2", "Qr_Sesso"},
                                                          {"QRLabel4", "Qr_DataValutazione"},
                                                          {"QRLabel5", "Qr_EtaInMesi"}};
    for (const auto& [label, value] : pairs) {
        const print::PageText* l = page.text(QString::fromLatin1(label));
        const print::PageText* v = page.text(QString::fromLatin1(value));
        if (!l)
            continue; // a head without the child's row
        QVERIFY(v);
        const QList<QRectF> lb = print::inkBoxes(*l);
        const QList<QRectF> vb = print::inkBoxes(*v);
        QVERIFY(!lb.isEmpty() && !vb.isEmpty());
        QVERIFY2(lb.first().right() < vb.first().left(),
                 qPrintable(QStringLiteral("%1 ends at %2 mm, %3 starts at %4 mm")
                                .arg(label)
                                .arg(lb.first().right())
                                .arg(value)
                                .arg(vb.first().left())));
    }
}

// Paints one text of a page alone; gives the rows (in mm from the top of
// the printable area) holding its ink.
QList<double> inkRows(const print::Document& doc, const print::PageText& text, double dpi = 300)
{
    print::Document alone = doc;
    alone.pages = {print::Page()};
    alone.pages[0].texts = {text};
    QImage image(qRound(doc.printableMm().width() / 25.4 * dpi), qRound(doc.printableMm().height() / 25.4 * dpi),
                 QImage::Format_RGB32);
    image.setDotsPerMeterX(qRound(dpi / 0.0254));
    image.setDotsPerMeterY(qRound(dpi / 0.0254));
    image.fill(Qt::white);
    {
        QPainter painter(&image);
        alone.paintPage(painter, 0);
    }
    QList<double> rows;
    for (const int y : testsupport::inkRows(image, 160))
        rows << y * 25.4 / dpi;
    return rows;
}

// The note printed whole, every line of it, inside its box and painted
// above the staff line.
void verifyNote(const print::Document& doc, const QStringList& note)
{
    const print::Page& page = doc.pages.first();
    const print::PageText* memo = page.text(QStringLiteral("Qr_Note"));
    QVERIFY(memo);
    QStringList printed;
    for (const print::PageLine& line : memo->lines) {
        printed << line.text;
        QVERIFY2(memo->rect.contains(line.rect.adjusted(1e-6, 1e-6, -1e-6, -1e-6)), qPrintable(line.text));
    }
    QCOMPARE(printed, note);
    QVERIFY(memo->font.pointSizeF() >= 5);

    // What is painted: ink in the band of every line, none below the box.
    const QList<double> rows = inkRows(doc, *memo);
    QVERIFY(!rows.isEmpty());
    QVERIFY2(rows.last() <= memo->rect.bottom(), qPrintable(QString::number(rows.last())));
    for (const print::PageLine& line : memo->lines) {
        const bool inked = std::any_of(rows.cbegin(), rows.cend(), [&line](double y) {
            return y >= line.rect.top() && y <= line.rect.bottom();
        });
        QVERIFY2(inked, qPrintable(line.text));
    }
    // The staff line below starts where the note's box ends: nothing of
    // the note crosses into it.
    if (const print::PageText* staff = page.text(QStringLiteral("Qr_Personale"))) {
        QVERIFY(rows.last() < staff->rect.top());
        for (const QRectF& box : print::inkBoxes(*staff))
            QVERIFY(box.top() >= memo->rect.bottom() - 1e-6);
    }
}

// Every area in the key: its code and its name on the same baseline, each
// whole, inside the boxes of the key.
void verifyKey(const print::Document& doc, const QStringList& codes, const QStringList& names)
{
    const print::Page& page = doc.pages.first();
    const print::PageText* small = page.text(QStringLiteral("Qr_LegendaSmall"));
    const print::PageText* large = page.text(QStringLiteral("Qr_LegendaLarge"));
    QVERIFY(small && large);
    QStringList printedCodes, printedNames;
    for (const print::PageLine& l : small->lines)
        printedCodes << l.text;
    for (const print::PageLine& l : large->lines)
        printedNames << l.text;
    QCOMPARE(printedCodes, codes);
    QCOMPARE(printedNames, names);
    for (int i = 0; i < codes.size(); ++i) {
        QCOMPARE(small->lines[i].baseline, large->lines[i].baseline);
        QVERIFY(small->rect.contains(small->lines[i].rect.adjusted(1e-6, 1e-6, -1e-6, -1e-6)));
        QVERIFY(large->rect.contains(large->lines[i].rect.adjusted(1e-6, 1e-6, -1e-6, -1e-6)));
    }
    const QList<double> rows = inkRows(doc, *large);
    QVERIFY(!rows.isEmpty());
}

// A sheet running over pages: every page after the first starts with an
// area's heading; rows (or the total) of an area going on over a break
// stand under its name marked "(segue)" and its column titles.
void verifyContinuations(const print::Document& doc, bool splitsAnArea)
{
    struct Mark
    {
        double top;
        QString name;
        QString text;
    };
    int continued = 0;
    QString lastArea;     // heading of the area whose rows ended the previous page
    bool areaOpen = false; // its total not printed yet
    for (int i = 0; i < doc.pageCount(); ++i) {
        QList<Mark> marks;
        for (const print::PageText& t : doc.pages[i].texts)
            if (t.name == QLatin1String("QRDBText1") || t.name == QLatin1String("QRDBText2")
                || t.name == QLatin1String("Qr_Totale") || t.name == QLatin1String("QRLabel7"))
                marks.append({t.rect.top(), t.name, t.text});
        std::stable_sort(marks.begin(), marks.end(), [](const Mark& a, const Mark& b) { return a.top < b.top; });
        if (marks.isEmpty())
            continue;
        if (i > 0) {
            QCOMPARE(marks.first().name, QStringLiteral("QRDBText1"));
            if (areaOpen) {
                QCOMPARE(marks.first().text, lastArea + QStringLiteral(" (segue)"));
                QVERIFY(marks.size() > 1);
                QCOMPARE(marks[1].name, QStringLiteral("QRLabel7")); // the column titles under it
                ++continued;
            } else {
                QVERIFY2(!marks.first().text.endsWith(QStringLiteral("(segue)")), qPrintable(marks.first().text));
            }
        }
        for (const Mark& m : marks) {
            if (m.name == QLatin1String("QRDBText1") && !m.text.endsWith(QStringLiteral(" (segue)"))) {
                lastArea = m.text;
                areaOpen = true;
            } else if (m.name == QLatin1String("Qr_Totale")) {
                areaOpen = false;
            }
        }
    }
    QCOMPARE(continued > 0, splitsAnArea);
}

// The expected development drawn where its value falls, inside the chart:
// above the value axis when it passes 14, never over the page head.
void verifyExpectedLine(const print::Document& doc, double expected, double total)
{
    const print::Page& page = doc.pages.first();
    const print::PageChart* laid = page.chart(QStringLiteral("QRChart1"));
    QVERIFY(laid && laid->chart);
    const print::Chart& chart = *laid->chart;
    const print::ChartSeries* eta = chart.series(QStringLiteral("Series2"));
    QVERIFY(eta && !eta->points.isEmpty());
    for (const print::ChartPoint& p : eta->points)
        QCOMPARE(p.y, expected);
    QCOMPARE(chart.axisMax, 14.0);
    // The legend lists what is drawn: the profile and the expected line.
    QStringList legend;
    for (const auto& e : chart.legendEntries())
        legend << e.text;
    QCOMPARE(legend, (QStringList{"Profilo di sviluppo", "Età anagrafica"}));

    const double dpi = 150;
    const auto px = [dpi](double mm) { return mm / 25.4 * dpi; };
    QImage image(qRound(px(doc.printableMm().width())), qRound(px(doc.printableMm().height())), QImage::Format_RGB32);
    image.setDotsPerMeterX(qRound(dpi / 0.0254));
    image.setDotsPerMeterY(qRound(dpi / 0.0254));
    image.fill(Qt::white);
    {
        QPainter painter(&image);
        doc.paintPage(painter, 0);
    }
    const auto isRed = [](QRgb c) { return qRed(c) > 200 && qGreen(c) < 80 && qBlue(c) < 80; };
    const auto isDark = [&isRed](QRgb c) { return qGray(c) < 100 && !isRed(c); };
    const QRect box =
        QRectF(px(laid->rect.left()), px(laid->rect.top()), px(laid->rect.width()), px(laid->rect.height())).toRect();
    // The category axis (value 0) is the lowest long dark line of the
    // chart, the profile (every area at `total`) the highest.
    int y0 = -1, yTotal = -1;
    for (int y = box.top(); y <= box.bottom(); ++y) {
        if (countPixels(image, QRect(box.left(), y, box.width(), 1), isDark) > box.width() / 2) {
            if (yTotal < 0)
                yTotal = y;
            y0 = y;
        }
    }
    QVERIFY2(y0 > yTotal && yTotal > box.top(), qPrintable(QStringLiteral("0 at %1 px, %2 at %3 px").arg(y0).arg(total).arg(yTotal)));
    const double perUnit = (y0 - yTotal) / total;
    int yRed = -1, most = 0;
    for (int y = 0; y < image.height(); ++y) {
        const int n = countPixels(image, QRect(0, y, image.width(), 1), isRed);
        if (n > most) {
            most = n;
            yRed = y;
        }
    }
    QVERIFY2(most > box.width() / 3, qPrintable(QString::number(most)));
    const double want = y0 - expected * perUnit;
    QVERIFY2(std::abs(yRed - want) <= px(1), qPrintable(QStringLiteral("line at %1 px, %2 at %3 px").arg(yRed).arg(expected).arg(want)));
    if (expected > 14)
        QVERIFY2(yRed < y0 - 14 * perUnit - px(1), qPrintable(QStringLiteral("line at %1 px, axis top at %2 px").arg(yRed).arg(y0 - 14 * perUnit)));
    // Whole, and inside the chart: no red over the page head.
    QCOMPARE(countPixels(image, QRect(0, 0, image.width(), box.top()), isRed), 0);
}

QString noneSelectedOf(const QString& child)
{
    return QStringLiteral("Nessuna profilo selezionato! Si vuole procedere con il confronto tra tutti i pofili "
                          "inseriti per ")
        + child + QLatin1Char('?');
}

} // namespace

class TestPaper : public QObject
{
    Q_OBJECT

private slots:
    // The server run (test_paper_server) skips where it cannot run.
    void initTestCase() { STORETEST_REQUIRE_ENGINE(); }
    void prints_data();
    void prints();
};

void TestPaper::prints_data()
{
    QTest::addColumn<int>("months");
    QTest::addColumn<double>("expected"); // the expected development at that age
    QTest::addColumn<QString>("note");
    QTest::addColumn<int>("areas");
    QTest::addColumn<int>("phases"); // in every area, every item "Si"
    QTest::addColumn<int>("staff");
    QTest::addColumn<bool>("splitsAnArea"); // the sheet breaks a page inside an area

    const QString five = QStringLiteral(
        "Allergia alle arachidi e alla frutta a guscio: in caso di reazione chiamare subito la mamma.\r\n"
        "Porta gli occhiali da lettura, da tenere nell'armadietto.\r\n"
        "Il martedì e il giovedì esce alle 13 per la logopedia.\n"
        "Ritirato anche dalla nonna Paola (delega firmata il 12 settembre).\n"
        "Dorme volentieri con il suo peluche, un coniglio azzurro.");
    QTest::newRow("an ordinary evaluation")
        << 13 << 4.19 << QStringLiteral("Porta gli occhiali.") << 8 << 3 << 2 << false;
    QTest::newRow("74 months, a note of two lines")
        << 74 << 14.39 << QStringLiteral("Gemello di Sara.\r\nAllergico al latte.") << 8 << 10 << 3 << true;
    QTest::newRow("100 months, a note of five lines") << 100 << 19.45 << five << 8 << 14 << 5 << true;
    QTest::newRow("sixteen areas, fourteen phases each") << 12 << 4.0 << five << 16 << 14 << 2 << true;
    QTest::newRow("sixteen areas at 100 months") << 100 << 19.45 << five << 16 << 3 << 5 << true;
}

void TestPaper::prints()
{
    QFETCH(int, months);
    QFETCH(double, expected);
    QFETCH(QString, note);
    QFETCH(int, areas);
    QFETCH(int, phases);
    QFETCH(int, staff);
    QFETCH(bool, splitsAnArea);
    const Paper p(months, note, areas, phases, staff);
    QCOMPARE(p.codes.size(), areas);
    const QStringList noteLines = lineBreaks(note).split(QLatin1Char('\n'));

    ScriptedDialogs d;
    TFrm_Main w(p.path(), d);
    w.Data.Now = [] { return QDateTime(QDate(2026, 12, 10), QTime(9, 30)); };
    STEP(login(w, d, QStringLiteral("Rossi")));
    STEP(chooseChild(w, p.child));
    QVERIFY(w.Data.Tbl_Valutazioni.locate(QStringLiteral("Id"), p.evaluation));

    // The sheet.
    d.expectPrintSetup(true);
    w.evaluationsScreen().SpeedButton10Click();
    VERIFY_DIALOGS(d);
    QCOMPARE(d.previews().size(), 1);
    {
        const print::Document& sheet = d.previews().last();
        STEP(verifyOneFace(sheet));
        STEP(verifyNothingOverprinted(sheet));
        STEP(verifyNote(sheet, noteLines));
        STEP(verifyContinuations(sheet, splitsAnArea));
    }

    // The profile chart.
    d.expectPrintSetup(true);
    w.evaluationsScreen().SpeedButton8Click();
    VERIFY_DIALOGS(d);
    QCOMPARE(d.previews().size(), 2);
    {
        const print::Document& chart = d.previews().last();
        QCOMPARE(chart.pageCount(), 1);
        STEP(verifyOneFace(chart));
        STEP(verifyNothingOverprinted(chart));
        STEP(verifyNote(chart, noteLines));
        STEP(verifyKey(chart, p.codes, p.names));
        STEP(verifyExpectedLine(chart, expected, phases));
    }

    // The profiles of the child.
    d.expectMessage(BoxType::Confirmation, noneSelectedOf(QStringLiteral("Tommaso Ricci")), Button::Yes);
    d.expectPrintSetup(true);
    w.prints().Btn_ConfrontoSingoloClick();
    VERIFY_DIALOGS(d);
    QCOMPARE(d.previews().size(), 3);
    {
        const print::Document& profiles = d.previews().last();
        STEP(verifyOneFace(profiles));
        STEP(verifyNothingOverprinted(profiles));
        STEP(verifyNote(profiles, noteLines));
        STEP(verifyKey(profiles, p.codes, p.names));
    }

    // The comparison of the children.
    d.expectMessage(BoxType::Confirmation,
                    QStringLiteral("Nessuna profilo selezionato! Si vuole procedere con il confronto tra tutti i pofili "
                                   "inseriti?"),
                    Button::Yes);
    d.expectPrintSetup(true);
    w.prints().Btn_ConfrontoMultiploClick();
    VERIFY_DIALOGS(d);
    QCOMPARE(d.previews().size(), 4);
    {
        const print::Document& comparison = d.previews().last();
        STEP(verifyOneFace(comparison));
        STEP(verifyNothingOverprinted(comparison));
        STEP(verifyKey(comparison, p.codes, p.names));
    }
}

QTEST_MAIN(TestPaper)
#include "test_paper.moc"
