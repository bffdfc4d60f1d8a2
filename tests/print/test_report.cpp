// The banded report engine: which bands print where, on which page, and
// that the laid-out pages paint into a PDF.
#include "report.h"
#include "pixels.h"

#include <QFontInfo>
#include <QImage>
#include <QPainter>
#include <QPrinter>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

using namespace velmora::print;
using namespace velmora::testsupport;

namespace {

// A master list of groups, each with its detail rows, walked like tables.
struct Data
{
    QList<QStringList> groups;
    int g = 0;
    int r = 0;

    DataWalk master()
    {
        return {[this] { g = 0; }, [this] { ++g; }, [this] { return g >= groups.size(); }};
    }
    DataWalk detail()
    {
        return {[this] { r = 0; }, [this] { ++r; }, [this] { return r >= groups[g].size(); }};
    }
};

// A report with every kind of band; the heading and the rows print only when
// the group has rows, the footer always.
struct Fixture
{
    Data data;
    Report report{QStringLiteral("Prova")};
    int offered = 0;

    Fixture(QList<QStringList> groups, double rowHeight = 5.0)
    {
        data.groups = std::move(groups);
        report.master = data.master();
        report.detail = data.detail();
        report.addBand(Band::Kind::Title, QStringLiteral("Titolo"), 40).label(QStringLiteral("Testa"), QRectF(1, 1, 0, 0),
                                                                          QStringLiteral("Intestazione"));
        Band& heading = report.addBand(Band::Kind::Heading, QStringLiteral("Gruppo"), 10);
        heading.dataText(QStringLiteral("NomeGruppo"), QRectF(2, 2, 0, 0),
                         [this] { return QStringLiteral("Gruppo %1").arg(data.g + 1); });
        heading.beforePrint = [this] { return data.r < data.groups[data.g].size() || data.groups[data.g].size() > 0; };
        Band& row = report.addBand(Band::Kind::Detail, QStringLiteral("Riga"), rowHeight);
        row.dataText(QStringLiteral("Valore"), QRectF(4, 0.5, 0, 0), [this] { return data.groups[data.g].value(data.r); });
        row.beforePrint = [this] {
            ++offered;
            return data.r < data.groups[data.g].size();
        };
        row.lineBelow = true;
        Band& footer = report.addBand(Band::Kind::Footer, QStringLiteral("Piede"), 8);
        footer.dataText(QStringLiteral("Conteggio"), QRectF(150, 1, 30, 0),
                        [this] { return QString::number(data.groups[data.g].size()); }, Qt::AlignRight);
        Band& page = report.addBand(Band::Kind::PageFooter, QStringLiteral("PiePagina"), 8.5);
        page.label(QStringLiteral("Pagina"), QRectF(2.1, 2, 0, 0), QStringLiteral("Pagina:"));
        page.pageNumber(QStringLiteral("Numero"), QRectF(14.8, 2, 20, 0));
    }
};

// The faces a PDF file embeds, without the subset prefix ("ABCDEF+").
QSet<QString> pdfFaces(const QByteArray& pdf)
{
    QSet<QString> faces;
    static const QRegularExpression baseFont(QStringLiteral("/BaseFont\\s*/(?:[A-Z]{6}\\+)?([^\\s/<>\\[\\]()]+)"));
    auto it = baseFont.globalMatch(QString::fromLatin1(pdf));
    while (it.hasNext())
        faces.insert(it.next().captured(1));
    return faces;
}

// Lines of a memo, top to bottom and column by column, as printed.
QStringList printedLines(const PageText& memo)
{
    QStringList out;
    for (const PageLine& line : memo.lines)
        out << line.text;
    return out;
}

QString withoutSpaces(QString text)
{
    static const QRegularExpression space(QStringLiteral("\\s+"));
    return text.remove(space);
}

bool inside(const QRectF& inner, const QRectF& outer)
{
    const double e = 1e-6;
    return inner.left() >= outer.left() - e && inner.right() <= outer.right() + e && inner.top() >= outer.top() - e
           && inner.bottom() <= outer.bottom() + e;
}

} // namespace

class TestReport : public QObject
{
    Q_OBJECT

private slots:
    void bandsPerGroup();
    void pagesBreakAndNumber();
    void disabledBandAndDefaults();
    void chartIsCopiedWhenLaidOut();
    void paintsIntoPdf();
    void textWiderThanColumnShrinks();
    void shrunkTextKeepsItsBaseline();
    void oneFaceOnThePage();
    void memoHoldsItsText_data();
    void memoHoldsItsText();
    void keyListsEveryArea_data();
    void keyListsEveryArea();
    void memoLaidOutByHandIsFittedWhenPainted();
    void headingRepeatsOnContinuation();
    void footerGoingOverFindsItsHeading();
    void overlappingTexts_data();
    void overlappingTexts();
    void coveredTexts_data();
    void coveredTexts();
    void textUpToNextElement_data();
    void textUpToNextElement();
};

void TestReport::bandsPerGroup()
{
    // The middle group is empty: the row band is still offered once, and
    // refused by its notice; heading is suppressed, the footer prints.
    Fixture f({{QStringLiteral("a"), QStringLiteral("b")}, {}, {QStringLiteral("c")}});
    const Document doc = f.report.layout();
    QCOMPARE(doc.pageCount(), 1);
    const Page& p = doc.pages[0];
    QCOMPARE(p.textsOf(QStringLiteral("Testa")), QStringList{QStringLiteral("Intestazione")});
    QCOMPARE(p.textsOf(QStringLiteral("NomeGruppo")), (QStringList{QStringLiteral("Gruppo 1"), QStringLiteral("Gruppo 3")}));
    QCOMPARE(p.textsOf(QStringLiteral("Valore")), (QStringList{"a", "b", "c"}));
    QCOMPARE(p.textsOf(QStringLiteral("Conteggio")), (QStringList{"2", "0", "1"}));
    QCOMPARE(f.offered, 4);

    // Bands stack from the top of the printable area: title 40, heading 10,
    // then the rows 5 mm apart, each with its line below.
    QCOMPARE(p.text(QStringLiteral("NomeGruppo"))->rect.top(), 42.0);
    QCOMPARE(p.text(QStringLiteral("Valore"))->rect.top(), 50.5);
    QVERIFY(std::any_of(p.rules.begin(), p.rules.end(),
                        [](const PageRule& r) { return qFuzzyCompare(r.line.y1(), 55.0) && r.line.x2() == 190.0; }));
    // "As needed" width runs to the right edge; aligned right, it ends where
    // the element ends.
    QCOMPARE(p.text(QStringLiteral("Valore"))->rect.right(), 190.0);
    QCOMPARE(p.text(QStringLiteral("Conteggio"))->rect.right(), 180.0);
    // The page footer sits at the bottom of the printable area.
    QCOMPARE(p.text(QStringLiteral("Pagina"))->rect.top(), 277.0 - 8.5 + 2);
}

void TestReport::pagesBreakAndNumber()
{
    // 277 mm less 8.5 of page footer leaves 268.5: after the 40 mm title and
    // a 10 mm heading, 43 rows of 5 mm fit on the first page (265 mm).
    QStringList rows;
    for (int i = 1; i <= 100; ++i)
        rows << QString::number(i);
    Fixture f({rows});
    const Document doc = f.report.layout();
    QCOMPARE(doc.pageCount(), 3);
    QCOMPARE(doc.pages[0].textsOf(QStringLiteral("Valore")).size(), 43);
    QCOMPARE(doc.pages[0].textsOf(QStringLiteral("Valore")).last(), QStringLiteral("43"));
    QCOMPARE(doc.pages[1].textsOf(QStringLiteral("Valore")).first(), QStringLiteral("44"));
    QCOMPARE(doc.pages[1].text(QStringLiteral("Valore"))->rect.top(), 0.5);
    for (int i = 0; i < doc.pageCount(); ++i) {
        QCOMPARE(doc.pages[i].textsOf(QStringLiteral("Numero")), QStringList{QString::number(i + 1)});
        QCOMPARE(doc.pages[i].textsOf(QStringLiteral("Testa")).size(), i == 0 ? 1 : 0);
    }
    // The footer follows the last row on the last page.
    QCOMPARE(doc.pages[2].textsOf(QStringLiteral("Conteggio")), QStringList{QStringLiteral("100")});
}

void TestReport::disabledBandAndDefaults()
{
    Fixture f({{QStringLiteral("a")}});
    f.report.band(QStringLiteral("Piede"))->enabled = false;
    Document doc = f.report.layout();
    QVERIFY(doc.pages[0].textsOf(QStringLiteral("Conteggio")).isEmpty());
    f.report.band(QStringLiteral("Piede"))->enabled = true;
    doc = f.report.layout();
    QCOMPARE(doc.pages[0].textsOf(QStringLiteral("Conteggio")), QStringList{QStringLiteral("1")});

    // A4 portrait with 10 mm margins, default font of 10 points.
    QCOMPARE(doc.paperMm, QSizeF(210, 297));
    QCOMPARE(doc.printableMm(), QSizeF(190, 277));
    QCOMPARE(Report::defaultFont().pointSizeF(), 10.0);
    QCOMPARE(doc.pages[0].text(QStringLiteral("Testa"))->font.pointSizeF(), 10.0);

    // Without a master only the title band and the page footer print.
    Report bare(QStringLiteral("Solo titolo"));
    bare.addBand(Band::Kind::Title, QStringLiteral("Titolo"), 275).label(QStringLiteral("T"), QRectF(0, 0, 0, 0),
                                                                         QStringLiteral("x"));
    bare.addBand(Band::Kind::Detail, QStringLiteral("Riga"), 5).label(QStringLiteral("R"), QRectF(0, 0, 0, 0),
                                                                      QStringLiteral("y"));
    doc = bare.layout();
    QCOMPARE(doc.pageCount(), 1);
    QCOMPARE(doc.pages[0].textsOf(QStringLiteral("T")), QStringList{QStringLiteral("x")});
    QVERIFY(doc.pages[0].textsOf(QStringLiteral("R")).isEmpty());
}

void TestReport::chartIsCopiedWhenLaidOut()
{
    Report r(QStringLiteral("Grafico"));
    auto chart = std::make_shared<Chart>();
    chart->addSeries(QStringLiteral("Series1")).addXY(0, 3, QStringLiteral("A"));
    r.addBand(Band::Kind::Title, QStringLiteral("Titolo"), 200).chart(QStringLiteral("QRChart1"), QRectF(0.3, 49.5, 189.4, 147.4), chart);
    const Document doc = r.layout();
    chart->series(QStringLiteral("Series1"))->addXY(1, 4, QStringLiteral("B"));
    const PageChart* laid = doc.pages[0].chart(QStringLiteral("QRChart1"));
    QVERIFY(laid);
    QCOMPARE(laid->rect, QRectF(0.3, 49.5, 189.4, 147.4));
    QCOMPARE(laid->chart->series(QStringLiteral("Series1"))->points.size(), 1);
}

void TestReport::paintsIntoPdf()
{
    QStringList rows;
    for (int i = 1; i <= 60; ++i)
        rows << QStringLiteral("riga %1").arg(i);
    Fixture f({rows});
    const Document doc = f.report.layout();
    QCOMPARE(doc.pageCount(), 2);

    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("prova.pdf"));
    QVERIFY(doc.writePdf(path));
    QFile pdf(path);
    QVERIFY(pdf.open(QIODevice::ReadOnly));
    const QByteArray bytes = pdf.readAll();
    QVERIFY(bytes.startsWith("%PDF"));
    QCOMPARE(bytes.count("/Type /Page\n") + bytes.count("/Type /Page\r") + bytes.count("/Type /Page>") + bytes.count("/Type /Page "), 2);

    // Printing honours the page range chosen in the set-up.
    QPrinter printer;
    printer.setOutputFormat(QPrinter::PdfFormat);
    const QString one = dir.filePath(QStringLiteral("una.pdf"));
    printer.setOutputFileName(one);
    printer.setPrintRange(QPrinter::PageRange);
    printer.setFromTo(2, 2);
    doc.print(printer);
    QFile printed(one);
    QVERIFY(printed.open(QIODevice::ReadOnly));
    const QByteArray pb = printed.readAll();
    QVERIFY(pb.startsWith("%PDF"));
    QVERIFY(pb.size() < bytes.size());

    // A folder that does not exist is an error, not a success.
    QString error;
    QVERIFY(!doc.writePdf(dir.filePath(QStringLiteral("manca/prova.pdf")), &error));
    QVERIFY(!error.isEmpty());
}

// A one-line text wider than its column is printed smaller, whole and inside
// the column, rather than cut at the column's edges.
void TestReport::textWiderThanColumnShrinks()
{
    Document doc;
    doc.pages.append(Page());
    PageText t;
    t.name = QStringLiteral("Si");
    t.rect = QRectF(20, 10, 39.7, 4.4);
    t.text = QStringLiteral("-01-02-03-04-05-06-07-08-09-10-11");
    t.font = Report::defaultFont();
    t.alignment = Qt::AlignHCenter | Qt::AlignTop;
    doc.pages[0].texts.append(t);

    const double dpi = 300;
    QImage image(int(100 * dpi / 25.4), int(30 * dpi / 25.4), QImage::Format_RGB32);
    image.setDotsPerMeterX(qRound(dpi / 0.0254));
    image.setDotsPerMeterY(qRound(dpi / 0.0254));
    image.fill(Qt::white);
    {
        QPainter painter(&image);
        doc.paintPage(painter, 0);
    }
    const QRect ink = boundsOf(image, image.rect(), [](QRgb c) { return qGray(c) < 128; });
    const int left = ink.left(), right = ink.right();
    const double mm = 25.4 / dpi;
    QVERIFY(right > left);
    // Inside the column, clear of its edges (a cut text runs right up to them)...
    QVERIFY2(left * mm > 20.2 && right * mm < 59.5, qPrintable(QStringLiteral("%1..%2 mm").arg(left * mm).arg(right * mm)));
    // ...and whole: the ink spans most of it, not a cut middle part.
    QVERIFY2((right - left) * mm > 0.8 * 39.7, qPrintable(QStringLiteral("%1 mm").arg((right - left) * mm)));
}

// A caption printed smaller to keep off its value stands on the value's
// baseline, not lower or higher.
void TestReport::shrunkTextKeepsItsBaseline()
{
    Document doc;
    doc.pages.append(Page());
    PageText label;
    label.name = QStringLiteral("QRLabel1");
    label.rect = QRectF(1.1, 4, 15, 4.41); // "Data di nascita:" needs about 24 mm
    label.text = QStringLiteral("Data di nascita:");
    label.font = Report::defaultFont();
    doc.pages[0].texts.append(label);
    PageText value = label;
    value.name = QStringLiteral("Qr_EtaInMesi");
    value.rect = QRectF(25.1, 4, 22, 4.41);
    value.text = QStringLiteral("100");
    doc.pages[0].texts.append(value);

    const double dpi = 600;
    const auto px = [dpi](double mm) { return int(mm / 25.4 * dpi); };
    QImage image(px(60), px(12), QImage::Format_RGB32);
    image.setDotsPerMeterX(qRound(dpi / 0.0254));
    image.setDotsPerMeterY(qRound(dpi / 0.0254));
    image.fill(Qt::white);
    {
        QPainter painter(&image);
        doc.paintPage(painter, 0);
    }
    // Neither text has a descender: the lowest ink is the baseline.
    const auto baseline = [&image](int from, int to) {
        return boundsOf(image, QRect(from, 0, to - from, image.height()), [](QRgb c) { return qGray(c) < 128; }).bottom();
    };
    const int labelLine = baseline(px(1), px(16.2));
    const int valueLine = baseline(px(25), px(40));
    QVERIFY(labelLine > 0 && valueLine > 0);
    QVERIFY2(std::abs(labelLine - valueLine) <= px(0.08),
             qPrintable(QStringLiteral("caption on %1 mm, value on %2 mm").arg(labelLine * 25.4 / dpi).arg(valueLine * 25.4 / dpi)));
}

// The chart's axis labels, value marks and legend are written in the face of
// the texts around it, not in whatever the font matcher finds for a face the
// machine lacks.
void TestReport::oneFaceOnThePage()
{
    Report r(QStringLiteral("Profilo"));
    Band& band = r.addBand(Band::Kind::Title, QStringLiteral("QRBand1"), 250);
    QFont big = band.font();
    big.setPointSizeF(20);
    band.label(QStringLiteral("Nome"), QRectF(1, 1, 188, 9), QStringLiteral("Giulia Bassi"), Qt::AlignHCenter).font = big;
    band.label(QStringLiteral("Etichetta"), QRectF(1, 12, 0, 0), QStringLiteral("Età in mesi:"));
    band.memo(QStringLiteral("Note"), QRectF(10, 17, 170, 10)).text = QStringLiteral("Nessuna nota.");
    auto chart = std::make_shared<Chart>();
    ChartSeries& s = chart->addSeries(QStringLiteral("Series1"));
    s.marksVisible = true;
    s.marksFormat = QStringLiteral("#,##0.00#");
    s.addXY(0, 3.5, QStringLiteral("AUT"));
    s.addXY(1, 7.25, QStringLiteral("COM"));
    band.chart(QStringLiteral("QRChart1"), QRectF(0.3, 30, 189.4, 147.4), chart);

    const Document doc = r.layout();
    const Page& page = doc.pages.first();
    const QString family = r.font.family();
    const QString face = QFontInfo(r.font).family();
    QVERIFY(!page.texts.isEmpty());
    for (const PageText& t : page.texts) {
        QCOMPARE(t.font.family(), family);
        QCOMPARE(QFontInfo(t.font).family(), face);
    }
    const PageChart* laid = page.chart(QStringLiteral("QRChart1"));
    QVERIFY(laid && laid->chart);
    QCOMPARE(laid->chart->fontFamily, family);
    QFont chartFont(laid->chart->fontFamily);
    chartFont.setStyleHint(QFont::SansSerif);
    QCOMPARE(QFontInfo(chartFont).family(), face);
    // The report's own chart object is left as the report set it.
    QVERIFY(chart->fontFamily.isEmpty());

    // A face named by the chart itself is kept.
    chart->fontFamily = QStringLiteral("Liberation Serif");
    QCOMPARE(r.layout().pages.first().chart(QStringLiteral("QRChart1"))->chart->fontFamily,
             QStringLiteral("Liberation Serif"));

    // What the reader gets: the PDF embeds the one face only.
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("faccia.pdf"));
    QVERIFY(doc.writePdf(path));
    QFile pdf(path);
    QVERIFY(pdf.open(QIODevice::ReadOnly));
    const QSet<QString> faces = pdfFaces(pdf.readAll());
    QVERIFY2(faces.size() == 1, qPrintable(QStringList(faces.begin(), faces.end()).join(QStringLiteral(", "))));
    QCOMPARE(QString(*faces.begin()).remove(QLatin1Char(' ')), QString(face).remove(QLatin1Char(' ')));
}

void TestReport::memoHoldsItsText_data()
{
    QTest::addColumn<QString>("note");
    QTest::addColumn<bool>("smaller"); // printed under 10 pt
    QTest::addColumn<bool>("cut");     // lines left out at the floor

    QTest::newRow("one line") << QStringLiteral("Nessuna allergia nota.") << false << false;
    QTest::newRow("two lines") << QStringLiteral("Allergia alle arachidi.\nPorta gli occhiali.") << false << false;
    QTest::newRow("five lines") << QStringLiteral("Allergia alle arachidi.\nPorta gli occhiali.\nViene a prenderla "
                                                  "la nonna il martedì.\nDorme dopo pranzo.\nNon mangia carne.")
                                << true << false;
    QTest::newRow("a long paragraph")
        << QStringLiteral("Inserimento graduale a settembre; ").repeated(12) + QStringLiteral("fine.") << true << false;
    QTest::newRow("Windows line ends")
        << QStringLiteral("Prima riga\r\nSeconda riga\r\nTerza riga\r\nQuarta riga\r\n") << true << false;
    QTest::newRow("too long even at the floor")
        << QStringLiteral("Osservazione del diario di bordo dell'anno.\n").repeated(30)
        << true << true;
}

// The note under the page head: a box of 10.1 mm with the staff line right
// below it. Whatever the note's length, the box holds whole lines only, all
// of the text when the floor allows, and nothing of it reaches the staff
// line.
void TestReport::memoHoldsItsText()
{
    QFETCH(QString, note);
    QFETCH(bool, smaller);
    QFETCH(bool, cut);

    Report r(QStringLiteral("Scheda"));
    Band& head = r.addBand(Band::Kind::Title, QStringLiteral("QRBand1"), 49.5);
    head.label(QStringLiteral("QRLabel3"), QRectF(1.1, 28.3, 0, 0), QStringLiteral("Note:"));
    head.memo(QStringLiteral("Qr_Note"), QRectF(10.6, 28.3, 178.1, 10.1)).text = note;
    head.memo(QStringLiteral("Qr_Personale"), QRectF(1.1, 38.4, 187.6, 10.1));
    const Document doc = r.layout();
    const Page& page = doc.pages.first();
    const PageText* memo = page.text(QStringLiteral("Qr_Note"));
    QVERIFY(memo);
    QCOMPARE(memo->text, note); // what the report gave, for whoever reads the page
    const QRectF box = memo->rect;
    const PageText* below = page.text(QStringLiteral("Qr_Personale"));
    QVERIFY(below);

    QVERIFY(!memo->lines.isEmpty());
    for (const PageLine& line : memo->lines) {
        QVERIFY2(inside(line.rect, box), qPrintable(line.text));
        QVERIFY(!line.rect.intersects(below->rect));
        QVERIFY(line.baseline > line.rect.top() && line.baseline < line.rect.bottom());
    }
    for (qsizetype i = 1; i < memo->lines.size(); ++i)
        QVERIFY(memo->lines[i].rect.top() >= memo->lines[i - 1].rect.bottom() - 1e-6);

    QCOMPARE(memo->font.pointSizeF() < 10, smaller);
    QVERIFY(memo->font.pointSizeF() >= 5);
    QCOMPARE(memo->font.family(), r.font.family());
    const QStringList lines = printedLines(*memo);
    if (!cut) {
        QCOMPARE(withoutSpaces(lines.join(QString())), withoutSpaces(note));
    } else {
        QCOMPARE(memo->font.pointSizeF(), 5.0);
        QVERIFY(lines.last().endsWith(QStringLiteral("…")));
        QVERIFY(withoutSpaces(note).startsWith(withoutSpaces(lines.mid(0, lines.size() - 1).join(QString()))));
        // As many lines as the box holds: one more would not fit.
        const double lineHeight = memo->lines[0].rect.height();
        QVERIFY(box.height() - memo->lines.last().rect.bottom() + box.top() < lineHeight);
    }

    // Painted, not a dot of the note lies below its box.
    const double dpi = 200;
    const auto px = [dpi](double mm) { return mm / 25.4 * dpi; };
    QImage image(qRound(px(190)), qRound(px(50)), QImage::Format_RGB32);
    image.setDotsPerMeterX(qRound(dpi / 0.0254));
    image.setDotsPerMeterY(qRound(dpi / 0.0254));
    image.fill(Qt::white);
    {
        QPainter painter(&image);
        doc.paintPage(painter, 0);
    }
    int inkInBox = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = qRound(px(box.left())); x < image.width(); ++x) {
            if (qGray(image.pixel(x, y)) > 200)
                continue;
            QVERIFY2(y < px(box.bottom()) + 1, qPrintable(QStringLiteral("ink at %1 mm").arg(y / px(1))));
            ++inkInBox;
        }
    }
    QVERIFY(inkInBox > 50);
}

void TestReport::keyListsEveryArea_data()
{
    QTest::addColumn<int>("areas");
    QTest::addColumn<double>("keyHeight");
    QTest::addColumn<bool>("smaller"); // printed under 10 pt
    QTest::addColumn<int>("columns");
    QTest::addColumn<bool>("cut");

    // The keys under the profile charts: 52.7 mm under the child's profiles,
    // 76.5 mm under the single profile.
    QTest::newRow("8 areas") << 8 << 52.7 << false << 1 << false;
    QTest::newRow("16 areas") << 16 << 52.7 << true << 1 << false;
    QTest::newRow("16 areas in the taller key") << 16 << 76.5 << false << 1 << false;
    QTest::newRow("40 areas: two columns") << 40 << 52.7 << true << 2 << false;
    QTest::newRow("60 areas: more than two columns hold") << 60 << 52.7 << true << 2 << true;
}

// The key of the profile charts: area codes on the left, their names on the
// right, one line each, fitted together so that every code stands on the
// baseline of its name.
void TestReport::keyListsEveryArea()
{
    QFETCH(int, areas);
    QFETCH(double, keyHeight);
    QFETCH(bool, smaller);
    QFETCH(int, columns);
    QFETCH(bool, cut);

    QStringList codes, names;
    for (int i = 1; i <= areas; ++i) {
        codes << QStringLiteral("A%1").arg(i, 2, 10, QLatin1Char('0'));
        names << QStringLiteral("Area numero %1 dello sviluppo").arg(i);
    }
    Report r(QStringLiteral("Profili"));
    Band& band = r.addBand(Band::Kind::Title, QStringLiteral("QRBand1"), 275.2);
    const double top = 275.2 - keyHeight - 2;
    band.memo(QStringLiteral("Qr_LegendaSmall"), QRectF(2.1, top, 19.3, keyHeight)).text = codes.join(QLatin1Char('\n'));
    band.memo(QStringLiteral("Qr_LegendaLarge"), QRectF(22.2, top, 166.4, keyHeight)).text = names.join(QLatin1Char('\n'));
    for (const char* name : {"Qr_LegendaSmall", "Qr_LegendaLarge"}) {
        Element* e = band.element(QString::fromLatin1(name));
        e->memoOptions.fit = MemoFit::AllLines;
        e->fitGroup = QStringLiteral("legenda");
    }

    const Document doc = r.layout();
    const Page& page = doc.pages.first();
    const PageText* left = page.text(QStringLiteral("Qr_LegendaSmall"));
    const PageText* right = page.text(QStringLiteral("Qr_LegendaLarge"));
    QVERIFY(left && right);
    QCOMPARE(left->text, codes.join(QLatin1Char('\n')));

    QCOMPARE(left->font.pointSizeF(), right->font.pointSizeF());
    QCOMPARE(left->lines.size(), right->lines.size());
    QSet<double> lefts;
    for (qsizetype i = 0; i < left->lines.size(); ++i) {
        const PageLine& code = left->lines[i];
        const PageLine& name = right->lines[i];
        QVERIFY(inside(code.rect, left->rect));
        QVERIFY(inside(name.rect, right->rect));
        QCOMPARE(code.baseline, name.baseline);
        QCOMPARE(code.rect.height(), name.rect.height());
        lefts.insert(code.rect.left());
    }
    QCOMPARE(int(lefts.size()), columns);
    QCOMPARE(left->font.pointSizeF() < 10, smaller);
    if (!cut) {
        QCOMPARE(printedLines(*left), codes);
        QCOMPARE(printedLines(*right), names);
    } else {
        const QStringList shown = printedLines(*right);
        QVERIFY(shown.size() < areas);
        QVERIFY(shown.last().endsWith(QStringLiteral("…")));
        QCOMPARE(shown.mid(0, shown.size() - 1), names.mid(0, shown.size() - 1));
        QCOMPARE(left->font.pointSizeF(), 5.0);
    }
}

// A page built by hand (not by a report) holds a memo without its lines:
// painting and the overlap check fit it the same way.
void TestReport::memoLaidOutByHandIsFittedWhenPainted()
{
    Document doc;
    doc.pages.append(Page());
    PageText memo;
    memo.name = QStringLiteral("Note");
    memo.rect = QRectF(10, 5, 60, 8);
    memo.text = QStringLiteral("Prima riga\nSeconda riga\nTerza riga\nQuarta riga");
    memo.font = Report::defaultFont();
    memo.wordWrap = true;
    doc.pages[0].texts.append(memo);

    const QList<QRectF> boxes = inkBoxes(memo);
    QCOMPARE(boxes.size(), 4);
    for (const QRectF& box : boxes)
        QVERIFY(inside(box, memo.rect));

    const double dpi = 200;
    const auto px = [dpi](double mm) { return mm / 25.4 * dpi; };
    QImage image(qRound(px(80)), qRound(px(30)), QImage::Format_RGB32);
    image.setDotsPerMeterX(qRound(dpi / 0.0254));
    image.setDotsPerMeterY(qRound(dpi / 0.0254));
    image.fill(Qt::white);
    {
        QPainter painter(&image);
        doc.paintPage(painter, 0);
    }
    const auto inked = [](QRgb c) { return qGray(c) < 160; };
    const int ink = countPixels(image, image.rect(), inked);
    const int lowest = boundsOf(image, image.rect(), inked).bottom();
    QVERIFY(ink > 50);
    QVERIFY2(lowest < px(memo.rect.bottom()), qPrintable(QString::number(lowest / px(1))));
    // The fourth line printed: ink in the lowest quarter of the box.
    QVERIFY(lowest > px(memo.rect.bottom() - memo.rect.height() / 4));
}

// Rows of one area running over onto the next page find their heading again
// at the top of it, marked as continued; a new area's heading is not marked.
void TestReport::headingRepeatsOnContinuation()
{
    QStringList first, second;
    for (int i = 1; i <= 60; ++i)
        first << QStringLiteral("a%1").arg(i);
    for (int i = 1; i <= 50; ++i)
        second << QStringLiteral("b%1").arg(i);
    Fixture f({first, second});
    Band& heading = *f.report.band(QStringLiteral("Gruppo"));
    heading.repeatOnContinuation = true;
    heading.continuedElement = QStringLiteral("NomeGruppo");
    int notices = 0;
    const auto notice = heading.beforePrint;
    heading.beforePrint = [&] {
        ++notices;
        return notice();
    };
    heading.dataText(QStringLiteral("Stato"), QRectF(150, 2, 30, 0),
                     [&heading] { return heading.repeating ? QStringLiteral("ripetuta") : QStringLiteral("prima"); });

    const Document doc = f.report.layout();
    // Page 1: title 40, heading 10, rows a1..a43. Page 2: the heading again,
    // a44..a60, the footer, the second heading and b1..b31. Page 3: the
    // second heading again and b32..b50.
    QCOMPARE(doc.pageCount(), 3);
    const QString segue = QStringLiteral("Gruppo 1 (segue)");
    QCOMPARE(doc.pages[0].textsOf(QStringLiteral("NomeGruppo")), QStringList{QStringLiteral("Gruppo 1")});
    QCOMPARE(doc.pages[1].textsOf(QStringLiteral("NomeGruppo")), (QStringList{segue, QStringLiteral("Gruppo 2")}));
    QCOMPARE(doc.pages[2].textsOf(QStringLiteral("NomeGruppo")), QStringList{QStringLiteral("Gruppo 2 (segue)")});
    QCOMPARE(doc.pages[0].textsOf(QStringLiteral("Stato")), QStringList{QStringLiteral("prima")});
    QCOMPARE(doc.pages[1].textsOf(QStringLiteral("Stato")), (QStringList{"ripetuta", "prima"}));
    QCOMPARE(notices, 2); // once per area, not for the repeats

    // The repeat stands at the top of the page, above the first row there.
    const Page& p2 = doc.pages[1];
    QCOMPARE(p2.text(QStringLiteral("NomeGruppo"))->rect.top(), 2.0);
    QCOMPARE(p2.textsOf(QStringLiteral("Valore")).first(), QStringLiteral("a44"));
    QCOMPARE(p2.text(QStringLiteral("Valore"))->rect.top(), 10.5);
    QCOMPARE(doc.pages[2].textsOf(QStringLiteral("Valore")).first(), QStringLiteral("b32"));

    // Every row printed once, in order.
    QStringList rows;
    for (const Page& p : doc.pages)
        rows << p.textsOf(QStringLiteral("Valore"));
    QCOMPARE(rows, first + second);

    // Without the option the rows continue at the top of the page.
    heading.repeatOnContinuation = false;
    const Document plain = f.report.layout();
    QCOMPARE(plain.pages[1].textsOf(QStringLiteral("NomeGruppo")), QStringList{QStringLiteral("Gruppo 2")});
    QCOMPARE(plain.pages[1].text(QStringLiteral("Valore"))->rect.top(), 0.5);
}

// A footer that alone goes over onto the next page (its rows filled the
// page) stands under its heading again, marked as continued, not alone at
// the top of the page.
void TestReport::footerGoingOverFindsItsHeading()
{
    QStringList first;
    for (int i = 1; i <= 43; ++i)
        first << QStringLiteral("a%1").arg(i);
    Fixture f({first, {QStringLiteral("b1")}});
    Band& heading = *f.report.band(QStringLiteral("Gruppo"));
    heading.repeatOnContinuation = true;
    heading.continuedElement = QStringLiteral("NomeGruppo");

    // Page 1: title 40, heading 10, rows a1..a43 down to 265 mm; the footer
    // (8 mm) no longer fits above the page footer at 268.5 mm.
    const Document doc = f.report.layout();
    QCOMPARE(doc.pageCount(), 2);
    QCOMPARE(doc.pages[0].textsOf(QStringLiteral("Valore")).size(), 43);
    QVERIFY(doc.pages[0].textsOf(QStringLiteral("Conteggio")).isEmpty());
    const Page& p2 = doc.pages[1];
    QCOMPARE(p2.textsOf(QStringLiteral("NomeGruppo")), (QStringList{"Gruppo 1 (segue)", "Gruppo 2"}));
    QCOMPARE(p2.textsOf(QStringLiteral("Conteggio")), (QStringList{"43", "1"}));
    QCOMPARE(p2.text(QStringLiteral("NomeGruppo"))->rect.top(), 2.0);
    QCOMPARE(p2.text(QStringLiteral("Conteggio"))->rect.top(), 11.0);

    // Without the option the footer stands alone at the top.
    heading.repeatOnContinuation = false;
    const Document plain = f.report.layout();
    QCOMPARE(plain.pages[1].textsOf(QStringLiteral("NomeGruppo")), QStringList{QStringLiteral("Gruppo 2")});
    QCOMPARE(plain.pages[1].text(QStringLiteral("Conteggio"))->rect.top(), 1.0);
}

void TestReport::overlappingTexts_data()
{
    QTest::addColumn<QString>("label");
    QTest::addColumn<QRectF>("labelRect");
    QTest::addColumn<int>("alignment");
    QTest::addColumn<bool>("memo"); // the value is a memo
    QTest::addColumn<QRectF>("valueRect");
    QTest::addColumn<bool>("overlap");

    const int left = int(Qt::AlignLeft);
    const QRectF date(25.1, 24.1, 22.0, 0);
    QTest::newRow("label as needed running into its value")
        << QStringLiteral("Data di nascita del bambino:") << QRectF(1.1, 24.1, 0, 0) << left << false << date << true;
    QTest::newRow("label as needed ending before its value")
        << QStringLiteral("Nato il:") << QRectF(1.1, 24.1, 0, 0) << left << false << date << false;
    QTest::newRow("label in a column too narrow for it prints smaller")
        << QStringLiteral("Data di nascita del bambino:") << QRectF(1.1, 24.1, 23.0, 0) << left << false << date
        << false;
    QTest::newRow("label centred in a wide column running into its value")
        << QStringLiteral("Data di nascita del bambino:") << QRectF(1.1, 24.1, 40.0, 0) << int(Qt::AlignHCenter)
        << false << date << true;
    QTest::newRow("aligned right, running back into the text on its left")
        << QStringLiteral("Totale delle fasi osservate:") << QRectF(0, 24.1, 60.0, 0) << int(Qt::AlignRight) << false
        << QRectF(1.1, 24.1, 22.0, 0) << true;
    QTest::newRow("a long label above its value")
        << QStringLiteral("Data di nascita del bambino:") << QRectF(1.1, 19.0, 0, 0) << left << false << date << false;
    QTest::newRow("label running into the first line of a memo")
        << QStringLiteral("Note del bambino:") << QRectF(1.1, 28.3, 0, 0) << left << true
        << QRectF(10.6, 28.3, 178.1, 10.1) << true;
    QTest::newRow("label beside a memo")
        << QStringLiteral("Note:") << QRectF(1.1, 28.3, 0, 0) << left << true << QRectF(10.6, 28.3, 178.1, 10.1)
        << false;
}

// The check the reports' tests call: texts printed over one another, found
// from where their ink lies, not from the columns they may run in.
void TestReport::overlappingTexts()
{
    QFETCH(QString, label);
    QFETCH(QRectF, labelRect);
    QFETCH(int, alignment);
    QFETCH(bool, memo);
    QFETCH(QRectF, valueRect);
    QFETCH(bool, overlap);

    Report r(QStringLiteral("Prova"));
    Band& band = r.addBand(Band::Kind::Title, QStringLiteral("QRBand1"), 49.5);
    band.label(QStringLiteral("Etichetta"), labelRect, label, Qt::Alignment(alignment));
    if (memo)
        band.memo(QStringLiteral("Valore"), valueRect).text = QStringLiteral("Allergia alle arachidi.\nPorta gli occhiali.");
    else
        band.label(QStringLiteral("Valore"), valueRect, QStringLiteral("20/11/2024"));
    band.label(QStringLiteral("Altrove"), QRectF(100, 40, 0, 0), QStringLiteral("Pagina 1"));

    const Document doc = r.layout();
    const QList<TextOverlap> found = doc.overlappingTexts();
    QCOMPARE(found.size(), overlap ? 1 : 0);
    if (overlap) {
        const TextOverlap& o = found.first();
        QCOMPARE(o.page, 0);
        QCOMPARE(QSet<QString>({o.first->name, o.second->name}), QSet<QString>({"Etichetta", "Valore"}));
        QVERIFY(o.where.width() > 0 && o.where.height() > 0);
    }
}

void TestReport::coveredTexts_data()
{
    QTest::addColumn<QString>("cover"); // "chart" or "rule"
    QTest::addColumn<QRectF>("where");  // the chart's box, or the rule from its top left to its bottom right
    QTest::addColumn<QString>("covered"); // the element whose text it covers, empty for none

    // The key of the profiles' chart: its first line from 220.1 mm.
    QTest::newRow("chart box reaching 0.3 mm into the key's first line")
        << "chart" << QRectF(0.3, 40.2, 189.4, 180.2) << "Legenda";
    QTest::newRow("chart box ending where the key starts")
        << "chart" << QRectF(0.3, 40.2, 189.4, 179.9) << "";
    QTest::newRow("chart box beside the key") << "chart" << QRectF(100, 215, 80, 30) << "";
    QTest::newRow("chart box over a label of the head")
        << "chart" << QRectF(0.3, 10.0, 189.4, 200.0) << "Etichetta";
    QTest::newRow("rule struck through a label") << "rule" << QRectF(0, 26.0, 190, 0) << "Etichetta";
    QTest::newRow("rule under a label") << "rule" << QRectF(0, 30.0, 190, 0) << "";
    QTest::newRow("rule across the key's lines") << "rule" << QRectF(3, 215, 0, 30) << "Legenda";
}

// A chart paints its whole box: a text reaching into it, or a rule struck
// through a text, is found from where the ink lies.
void TestReport::coveredTexts()
{
    QFETCH(QString, cover);
    QFETCH(QRectF, where);
    QFETCH(QString, covered);

    Report r(QStringLiteral("Prova"));
    Band& band = r.addBand(Band::Kind::Title, QStringLiteral("QRBand1"), 275.2);
    band.label(QStringLiteral("Etichetta"), QRectF(1.1, 24.1, 0, 0), QStringLiteral("Data di nascita:"));
    band.memo(QStringLiteral("Legenda"), QRectF(2.1, 220.1, 19.3, 52.7)).text = QStringLiteral("LI\nMF\nMG");
    if (cover == QLatin1String("chart"))
        band.chart(QStringLiteral("QRChart1"), where, std::make_shared<Chart>());
    else
        band.rule(QStringLiteral("Riga"), QLineF(where.topLeft(), where.bottomRight()));

    const Document doc = r.layout();
    QVERIFY(doc.overlappingTexts().isEmpty());
    const QList<CoveredText> found = doc.coveredTexts();
    QStringList names;
    for (const CoveredText& c : found) {
        names << c.text->name;
        QCOMPARE(c.by, cover == QLatin1String("chart") ? QStringLiteral("QRChart1") : QStringLiteral("Riga"));
        QVERIFY(c.where.width() > 0 && c.where.height() > 0);
    }
    QCOMPARE(names, covered.isEmpty() ? QStringList() : QStringList{covered});
}

void TestReport::textUpToNextElement_data()
{
    QTest::addColumn<QString>("label");
    QTest::addColumn<QRectF>("labelRect");
    QTest::addColumn<int>("alignment");
    QTest::addColumn<QRectF>("valueRect");
    QTest::addColumn<double>("left");  // of the laid-out column
    QTest::addColumn<double>("right");

    const int leftAligned = int(Qt::AlignLeft);
    QTest::newRow("up to its value") << QStringLiteral("Data di nascita del bambino:") << QRectF(1.1, 24.1, 0, 0)
                                     << leftAligned << QRectF(25.1, 24.1, 22.0, 0) << 1.1 << 24.1;
    QTest::newRow("to the edge with nothing on its line")
        << QStringLiteral("Data di nascita del bambino:") << QRectF(1.1, 24.1, 0, 0) << leftAligned
        << QRectF(25.1, 42.0, 22.0, 0) << 1.1 << 190.0;
    QTest::newRow("aligned right, from the text on its left")
        << QStringLiteral("Totale delle fasi osservate:") << QRectF(60, 24.1, 0, 0) << int(Qt::AlignRight)
        << QRectF(1.1, 24.1, 40.0, 0) << 42.1 << 60.0;
}

// A text "as needed" that stops before its neighbour: the column ends there
// and the text, wider than that, prints smaller inside it.
void TestReport::textUpToNextElement()
{
    QFETCH(QString, label);
    QFETCH(QRectF, labelRect);
    QFETCH(int, alignment);
    QFETCH(QRectF, valueRect);
    QFETCH(double, left);
    QFETCH(double, right);

    Report r(QStringLiteral("Prova"));
    Band& band = r.addBand(Band::Kind::Title, QStringLiteral("QRBand1"), 49.5);
    band.label(QStringLiteral("Etichetta"), labelRect, label, Qt::Alignment(alignment)).autoWidth =
        Element::AutoWidth::ToNextElement;
    band.label(QStringLiteral("Valore"), valueRect, QStringLiteral("20/11/2024"));
    // The note of the page head starts 4.2 mm lower, within the room a
    // 10 pt line is given: it is on the next line, not a neighbour.
    band.memo(QStringLiteral("Note"), QRectF(10.6, 28.3, 178.1, 10.1)).text = QStringLiteral("Nessuna.");
    const Document doc = r.layout();
    const PageText* t = doc.pages[0].text(QStringLiteral("Etichetta"));
    QVERIFY(t);
    QCOMPARE(t->rect.left(), left);
    QCOMPARE(t->rect.right(), right);
    QVERIFY(doc.overlappingTexts().isEmpty());

    // Painted, the label's ink stays in its column.
    const double dpi = 300;
    const auto px = [dpi](double mm) { return mm / 25.4 * dpi; };
    QImage image(qRound(px(190)), qRound(px(50)), QImage::Format_RGB32);
    image.setDotsPerMeterX(qRound(dpi / 0.0254));
    image.setDotsPerMeterY(qRound(dpi / 0.0254));
    image.fill(Qt::white);
    Document labelOnly = doc;
    labelOnly.pages[0].texts.removeIf([](const PageText& p) { return p.name != QStringLiteral("Etichetta"); });
    {
        QPainter painter(&image);
        labelOnly.paintPage(painter, 0);
    }
    const QRect ink = boundsOf(image, image.rect(), [](QRgb c) { return qGray(c) < 160; });
    const int inkLeft = ink.left(), inkRight = ink.right();
    QVERIFY(inkRight > inkLeft);
    QVERIFY2(inkLeft >= px(left) - 1 && inkRight <= px(right) + 1,
             qPrintable(QStringLiteral("%1..%2 mm").arg(inkLeft / px(1)).arg(inkRight / px(1))));
}

QTEST_MAIN(TestReport)
#include "test_report.moc"
