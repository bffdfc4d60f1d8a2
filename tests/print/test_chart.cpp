#include "chart.h"
#include "document.h"
#include "face.h"
#include "pixels.h"

#include <QBuffer>
#include <QFontInfo>
#include <QImage>
#include <QLocale>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QRegularExpression>
#include <QTest>

#include <cmath>

using namespace velmora::print;
using namespace velmora::testsupport;

namespace {

const QLocale Italian(QLocale::Italian, QLocale::Italy);

// A white image of `widthMm` x `heightMm` at `dpi`, with its resolution
// declared so that painters see it.
QImage blankImage(double widthMm, double heightMm, double dpi)
{
    QImage image(qRound(widthMm / 25.4 * dpi), qRound(heightMm / 25.4 * dpi), QImage::Format_RGB32);
    image.setDotsPerMeterX(qRound(dpi / 0.0254));
    image.setDotsPerMeterY(qRound(dpi / 0.0254));
    image.fill(Qt::white);
    return image;
}

bool isWhite(QRgb c)
{
    return qRed(c) > 245 && qGreen(c) > 245 && qBlue(c) > 245;
}

bool isDark(QRgb c)
{
    return qRed(c) < 90 && qGreen(c) < 90 && qBlue(c) < 90;
}

bool isRed(QRgb c)
{
    return qRed(c) > 180 && qGreen(c) < 90 && qBlue(c) < 90;
}

bool isBlue(QRgb c)
{
    return qBlue(c) > 180 && qRed(c) < 90 && qGreen(c) < 90;
}

// The smallest rectangle holding everything painted on the white image.
QRect nonWhiteBounds(const QImage& image)
{
    return boundsOf(image, image.rect(), [](QRgb c) { return !isWhite(c); });
}

// The chart of a child's profile: ten areas, the child's values (with
// marks) and the reference line at 7.
Chart profileChart(LegendPlace place = LegendPlace::Right)
{
    static const char* const areas[] = {"AUT", "COM", "REL", "EMO", "MOT", "COG", "LIN", "GIO", "REG", "ATT"};
    Chart chart;
    chart.legendPlace = place;
    ChartSeries& child = chart.addSeries(QStringLiteral("Series1"));
    child.title = QStringLiteral("Profilo del 12/03/24");
    child.marksVisible = true;
    child.marksFormat = QStringLiteral("#,##0.00#");
    for (int i = 0; i < 10; ++i)
        child.addXY(i, 3 + (i * 7 % 10), QString::fromLatin1(areas[i]));
    ChartSeries& reference = chart.addSeries(QStringLiteral("Series2"));
    reference.title = QStringLiteral("Riferimento");
    reference.color = Qt::red;
    reference.shape = PointShape::Square;
    for (int i = 0; i < 10; ++i)
        reference.addXY(i, 7, QString::fromLatin1(areas[i]));
    return chart;
}

} // namespace

class TestChart : public QObject
{
    Q_OBJECT

private slots:
    void formatPattern_data();
    void formatPattern();

    void addXYKeepsAscendingX();
    void seriesByName();
    void legendOfSeveralSeries();
    void legendOfOneSeries();
    void legendOfNoSeries();
    void categoryLabels();

    void paintScalesWithResolution_data();
    void paintScalesWithResolution();
    void lineAboveAxisMaximumIsDrawn();
    void seriesBeyondTheAxisOnThePage_data();
    void seriesBeyondTheAxisOnThePage();
    void topLegendWithManyEntries();
    void keptInChartChangesNothingWithin();
    void emptyChartsPaint_data();
    void emptyChartsPaint();
    void paintOnPdf();
};

void TestChart::formatPattern_data()
{
    QTest::addColumn<double>("value");
    QTest::addColumn<QString>("pattern");
    QTest::addColumn<QString>("expected");

    const QString marks = QStringLiteral("#,##0.00#");
    const QString axis = QStringLiteral("#,##0.0");
    QTest::newRow("two decimals kept") << 2.25 << marks << "2,25";
    QTest::newRow("whole value gets two zeros") << 2.0 << marks << "2,00";
    QTest::newRow("third decimal when not zero") << 2.125 << marks << "2,125";
    QTest::newRow("fourth decimal rounds up") << 2.1256 << marks << "2,126";
    QTest::newRow("fourth decimal rounds down") << 2.1254 << marks << "2,125";
    QTest::newRow("half rounds away from zero") << 1.0005 << marks << "1,001";
    QTest::newRow("rounded third decimal zero dropped") << 2.1199999 << marks << "2,12";
    QTest::newRow("carry into the integer part") << 9.9996 << marks << "10,00";
    QTest::newRow("grouped thousands") << 1234.5 << axis << "1.234,5";
    QTest::newRow("grouped millions") << 1234567.0 << axis << "1.234.567,0";
    QTest::newRow("no group under a thousand") << 999.94 << axis << "999,9";
    QTest::newRow("zero") << 0.0 << axis << "0,0";
    QTest::newRow("below one keeps its zero") << 0.25 << axis << "0,3";
    QTest::newRow("half of the axis decimal") << 2.05 << axis << "2,1";
    QTest::newRow("negative") << -1234.56 << axis << "-1.234,6";
    QTest::newRow("negative half away from zero") << -2.25 << axis << "-2,3";
    QTest::newRow("negative rounding to zero") << -0.04 << axis << "0,0";
    QTest::newRow("no grouping without comma") << 1234.5 << "0.00" << "1234,50";
    QTest::newRow("no decimals") << 1234.5 << "#,##0" << "1.235";
    QTest::newRow("empty pattern is the general format") << 2.5 << "" << "2,5";
    QTest::newRow("general format of a whole value") << 7.0 << "" << "7";
    // The chart writes the program's one general format: a 16-digit whole
    // number is written out, rounded to 15 significant digits.
    QTest::newRow("general format of 16 digits") << 1234567890123456.0 << "" << "1234567890123460";
}

void TestChart::formatPattern()
{
    QFETCH(double, value);
    QFETCH(QString, pattern);
    QFETCH(QString, expected);
    QCOMPARE(velmora::print::formatPattern(value, pattern, Italian), expected);
}

void TestChart::addXYKeepsAscendingX()
{
    ChartSeries s;
    s.addXY(2, 20, QStringLiteral("c"));
    s.addXY(0, 0, QStringLiteral("a"));
    s.addXY(1, 10, QStringLiteral("b1"));
    s.addXY(1, 11, QStringLiteral("b2")); // same x: after the first
    s.addXY(3, 30, QStringLiteral("d"));
    s.addXY(1, 12, QStringLiteral("b3"));

    QStringList order;
    for (const ChartPoint& p : s.points)
        order << p.label;
    QCOMPARE(order, QStringList({"a", "b1", "b2", "b3", "c", "d"}));
    QCOMPARE(s.points.at(3).y, 12.0);

    s.clear();
    QVERIFY(s.points.isEmpty());
}

void TestChart::seriesByName()
{
    Chart chart;
    chart.addSeries(QStringLiteral("Series1")).color = Qt::blue;
    chart.addSeries(QStringLiteral("Series2")).color = Qt::red;

    QVERIFY(chart.series(QStringLiteral("Series2")));
    QCOMPARE(chart.series(QStringLiteral("Series2"))->color, QColor(Qt::red));
    QCOMPARE(chart.series(QStringLiteral("Series1"))->color, QColor(Qt::blue));
    QVERIFY(!chart.series(QStringLiteral("Series3")));

    QVERIFY(!chart.removeSeries(QStringLiteral("Series3")));
    QCOMPARE(chart.allSeries().size(), 2);
    QVERIFY(chart.removeSeries(QStringLiteral("Series1")));
    QVERIFY(!chart.series(QStringLiteral("Series1")));
    QCOMPARE(chart.allSeries().size(), 1);
    QCOMPARE(chart.allSeries().first().name, QStringLiteral("Series2"));
    QVERIFY(!chart.removeSeries(QStringLiteral("Series1")));

    const Chart& constChart = chart;
    QVERIFY(constChart.series(QStringLiteral("Series2")));
}

void TestChart::legendOfSeveralSeries()
{
    Chart chart = profileChart();
    ChartSeries& third = chart.addSeries(QStringLiteral("Series3"));
    third.title = QStringLiteral("Profilo del 02/05/24");
    third.color = Qt::blue;
    third.addXY(0, 5, QStringLiteral("AUT"));

    QList<Chart::LegendEntry> entries = chart.legendEntries(Italian);
    QCOMPARE(entries.size(), 3);
    QCOMPARE(entries.at(0).text, QStringLiteral("Profilo del 12/03/24"));
    QCOMPARE(entries.at(0).color, QColor(Qt::black));
    QCOMPARE(entries.at(0).shape, PointShape::Circle);
    QCOMPARE(entries.at(1).text, QStringLiteral("Riferimento"));
    QCOMPARE(entries.at(1).color, QColor(Qt::red));
    QCOMPARE(entries.at(1).shape, PointShape::Square);
    QCOMPARE(entries.at(2).text, QStringLiteral("Profilo del 02/05/24"));

    // Removed series leave the legend; down to two it still lists titles.
    QVERIFY(chart.removeSeries(QStringLiteral("Series2")));
    entries = chart.legendEntries(Italian);
    QCOMPARE(entries.size(), 2);
    QCOMPARE(entries.at(0).text, QStringLiteral("Profilo del 12/03/24"));
    QCOMPARE(entries.at(1).text, QStringLiteral("Profilo del 02/05/24"));
}

void TestChart::legendOfOneSeries()
{
    Chart chart = profileChart();
    QVERIFY(chart.removeSeries(QStringLiteral("Series1")));

    // The reference line alone: one entry per point, value in the general
    // format since the series has no marks format.
    QList<Chart::LegendEntry> entries = chart.legendEntries(Italian);
    QCOMPARE(entries.size(), 10);
    QCOMPARE(entries.at(0).text, QStringLiteral("AUT  7"));
    QCOMPARE(entries.at(9).text, QStringLiteral("ATT  7"));
    for (const Chart::LegendEntry& e : entries) {
        QCOMPARE(e.color, QColor(Qt::red));
        QCOMPARE(e.shape, PointShape::Square);
    }

    // With a marks format the values follow it.
    ChartSeries* s = chart.series(QStringLiteral("Series2"));
    s->clear();
    s->marksFormat = QStringLiteral("#,##0.00#");
    s->addXY(1, 2.125, QStringLiteral("COM"));
    s->addXY(0, 1234.5, QStringLiteral("AUT"));
    entries = chart.legendEntries(Italian);
    QCOMPARE(entries.size(), 2);
    QCOMPARE(entries.at(0).text, QStringLiteral("AUT  1.234,50"));
    QCOMPARE(entries.at(1).text, QStringLiteral("COM  2,125"));

    // A lone series without points gives an empty legend.
    s->clear();
    QVERIFY(chart.legendEntries(Italian).isEmpty());
}

void TestChart::legendOfNoSeries()
{
    Chart chart;
    QVERIFY(chart.legendEntries(Italian).isEmpty());
    chart.addSeries(QStringLiteral("Series1"));
    QVERIFY(chart.removeSeries(QStringLiteral("Series1")));
    QVERIFY(chart.legendEntries(Italian).isEmpty());
}

void TestChart::categoryLabels()
{
    Chart chart;
    QVERIFY(chart.categoryLabels().isEmpty());

    // The first label found at every position, over all series; a series
    // without labels does not blank those of another.
    ChartSeries& values = chart.addSeries(QStringLiteral("Series1"));
    values.addXY(0, 7, QString());
    values.addXY(1, 7, QString());
    ChartSeries& a = chart.addSeries(QStringLiteral("Series2"));
    a.addXY(1, 3, QStringLiteral("COM"));
    a.addXY(0, 2, QStringLiteral("AUT"));
    a.addXY(3, 2, QStringLiteral("EMO"));
    ChartSeries& b = chart.addSeries(QStringLiteral("Series3"));
    b.addXY(1, 3, QStringLiteral("altro"));
    QCOMPARE(chart.categoryLabels(), QStringList({"AUT", "COM", QString(), "EMO"}));
}

void TestChart::paintScalesWithResolution_data()
{
    QTest::addColumn<int>("place");
    QTest::newRow("legend right") << int(LegendPlace::Right);
    QTest::newRow("legend on top") << int(LegendPlace::Top);
}

void TestChart::paintScalesWithResolution()
{
    QFETCH(int, place);
    const Chart chart = profileChart(LegendPlace(place));

    struct Measure
    {
        double dark; // share of dark pixels (axes, black line, text)
        double red;  // share of red pixels (the line at 7)
    };
    QList<Measure> measures;
    for (double dpi : {96.0, 300.0}) {
        QImage image = blankImage(189.4, 147.4, dpi);
        {
            QPainter painter(&image);
            paintChart(painter, QRectF(image.rect()), chart);
        }

        // The chart fills its target whatever the resolution: axes and
        // labels on three sides, legend or margin on the fourth.
        const QRect drawn = nonWhiteBounds(image);
        QVERIFY(drawn.isValid());
        QVERIFY2(drawn.width() > image.width() * 0.85, qPrintable(QString::number(drawn.width())));
        QVERIFY2(drawn.height() > image.height() * 0.85, qPrintable(QString::number(drawn.height())));

        const double area = double(image.width()) * image.height();
        measures.append({countPixels(image, image.rect(), isDark) / area,
                         countPixels(image, image.rect(), isRed) / area});
        QVERIFY2(measures.last().dark > 0.005, qPrintable(QString::number(measures.last().dark)));
        QVERIFY2(measures.last().red > 0.001, qPrintable(QString::number(measures.last().red)));
    }

    // Text, lines and marks keep their physical size: at either resolution
    // they cover about the same share of the target (tiny text or hairlines
    // at 300 dpi would cover a ninth of it).
    const double darkRatio = measures.at(1).dark / measures.at(0).dark;
    const double redRatio = measures.at(1).red / measures.at(0).red;
    QVERIFY2(darkRatio > 0.6 && darkRatio < 1.5, qPrintable(QString::number(darkRatio)));
    QVERIFY2(redRatio > 0.6 && redRatio < 1.5, qPrintable(QString::number(redRatio)));
}

void TestChart::lineAboveAxisMaximumIsDrawn()
{
    // A value beyond the axis' maximum still shows its line, running out of
    // the plot rather than cut at its top.
    Chart chart;
    chart.legendVisible = false;
    ChartSeries& s = chart.addSeries(QStringLiteral("Series1"));
    s.color = Qt::red;
    for (int i = 0; i < 5; ++i)
        s.addXY(i, i == 2 ? 16 : 10, QString::number(i));

    QImage image = blankImage(150, 100, 150);
    {
        QPainter painter(&image);
        paintChart(painter, QRectF(image.rect()), chart);
    }

    // The top of the plot: the topmost row holding a long dark horizontal
    // run (the grid line at 14 or the plot's edge).
    int plotTop = -1;
    for (int y = 0; y < image.height() && plotTop < 0; ++y)
        if (countPixels(image, QRect(0, y, image.width(), 1), [](QRgb c) { return !isWhite(c) && !isRed(c); })
            > image.width() / 2)
            plotTop = y;
    // Well above it, out of reach of the marks of points at the maximum.
    const int clearance = qRound(3 / 25.4 * 150);
    QVERIFY(plotTop > clearance);
    const int redAbove = countPixels(image, QRect(0, 0, image.width(), plotTop - clearance), isRed);
    QVERIFY2(redAbove > 20, qPrintable(QString::number(redAbove)));
}

void TestChart::seriesBeyondTheAxisOnThePage_data()
{
    QTest::addColumn<double>("value");
    QTest::addColumn<bool>("marks");
    QTest::addColumn<double>("chartTop");
    QTest::addColumn<double>("chartHeight");
    QTest::addColumn<int>("place");
    QTest::addColumn<bool>("inChart"); // Chart::keepSeriesInChart

    // The expected development of a child of 100 months is 19,45 on a value
    // axis of 0 to 14; an area total can pass 14 too, and its value marks
    // stand above it. The charts as the profile prints place them under
    // their page heads.
    for (const bool inChart : {false, true}) {
        const char* where = inChart ? "kept in the chart" : "over the page";
        QTest::addRow("19,45 on the profile chart, %s", where)
            << 19.45 << false << 49.5 << 147.4 << int(LegendPlace::Right) << inChart;
        QTest::addRow("14,39 with marks on the profile chart, %s", where)
            << 14.39 << true << 49.5 << 147.4 << int(LegendPlace::Right) << inChart;
        QTest::addRow("14,39 with marks on the comparison chart, %s", where)
            << 14.39 << true << 13.8 << 207.2 << int(LegendPlace::Top) << inChart;
    }
    // Far beyond (a child of 200 months): the plot gives up almost two
    // thirds of its height.
    QTest::newRow("38,9 kept in the chart") << 38.9 << true << 49.5 << 147.4 << int(LegendPlace::Right) << true;
}

// A series whose values lie beyond the value axis is drawn where they fall,
// whole, on the page around the chart: not cut at the chart's edge nor left
// out while the legend lists it.
void TestChart::seriesBeyondTheAxisOnThePage()
{
    QFETCH(double, value);
    QFETCH(bool, marks);
    QFETCH(double, chartTop);
    QFETCH(double, chartHeight);
    QFETCH(int, place);
    QFETCH(bool, inChart);

    auto chart = std::make_shared<Chart>();
    chart->legendPlace = LegendPlace(place);
    chart->keepSeriesInChart = inChart;
    chart->addSeries(QStringLiteral("Series1"));
    chart->addSeries(QStringLiteral("Series2"));
    ChartSeries& reference = *chart->series(QStringLiteral("Series1"));
    reference.title = QStringLiteral("Riferimento");
    reference.color = Qt::blue;
    ChartSeries& expected = *chart->series(QStringLiteral("Series2"));
    expected.title = QStringLiteral("Età anagrafica");
    expected.color = Qt::red;
    expected.shape = PointShape::Square;
    expected.pointWidth = expected.pointHeight = 2;
    expected.marksVisible = marks;
    expected.marksFormat = QStringLiteral("#,##0.00#");
    for (int i = 0; i < 8; ++i) {
        const QString area = QStringLiteral("A%1").arg(i + 1);
        reference.addXY(i, 7, area);
        expected.addXY(i, value, area);
    }

    Document doc;
    doc.pages.append(Page());
    doc.pages[0].charts.append({QStringLiteral("QRChart1"), QRectF(0.3, chartTop, 189.4, chartHeight), chart});
    const double dpi = 100;
    QImage image = blankImage(doc.printableMm().width(), doc.printableMm().height(), dpi);
    {
        QPainter painter(&image);
        doc.paintPage(painter, 0);
    }
    const auto perMm = [dpi](double mm) { return mm / 25.4 * dpi; };
    const QRect target = QRectF(perMm(0.3), perMm(chartTop), perMm(189.4), perMm(chartHeight)).toRect();

    // The row where a colour runs longest.
    const auto lineRow = [&image](auto test, const QRect& within) {
        int best = -1, most = 0;
        for (int y = within.top(); y <= within.bottom(); ++y) {
            const int n = countPixels(image, QRect(within.left(), y, within.width(), 1), test);
            if (n > most) {
                most = n;
                best = y;
            }
        }
        return best;
    };
    // Value 0 is the category axis (the longest dark row of the chart), 7
    // the reference line: where `value` must fall follows from both.
    const int y0 = lineRow([](QRgb c) { return qGray(c) < 160 && !isBlue(c) && !isRed(c); }, target);
    const int y7 = lineRow(isBlue, target);
    QVERIFY2(y0 > y7 && y7 > 0, qPrintable(QStringLiteral("0 at %1 px, 7 at %2 px").arg(y0).arg(y7)));
    const double plotTop = y0 - 14.0 / 7 * (y0 - y7);
    const double want = y0 - value / 7 * (y0 - y7);
    const int y = lineRow(isRed, image.rect());
    QVERIFY2(std::abs(y - want) <= 4, qPrintable(QStringLiteral("line at %1 px, value at %2 px").arg(y).arg(want)));
    QVERIFY(y < plotTop);
    if (inChart) {
        // Inside the chart's rectangle, its marks too: the plot is lower.
        QVERIFY2(y > target.top(), qPrintable(QStringLiteral("line at %1 px, chart from %2 px").arg(y).arg(target.top())));
        const QRect over(0, 0, image.width(), target.top());
        QCOMPARE(countPixels(image, over, [](QRgb c) { return !isWhite(c); }), 0);
    } else if (value > 19) {
        QVERIFY(y < target.top()); // out of the chart, over the page
    }

    // Whole: as long as the reference line, without a gap.
    const auto span = [&image](auto test, int row) {
        const QRect band(0, row - 1, image.width(), 3);
        int left = image.width(), right = -1;
        for (int x = 0; x < image.width(); ++x)
            if (countPixels(image, QRect(x, band.top(), 1, band.height()), test) > 0) {
                left = std::min(left, x);
                right = std::max(right, x);
            }
        int covered = 0;
        for (int x = left; x <= right; ++x)
            covered += countPixels(image, QRect(x, band.top(), 1, band.height()), test) > 0 ? 1 : 0;
        return std::tuple{left, right, covered};
    };
    const auto [blueLeft, blueRight, blueCovered] = span(isBlue, y7);
    const auto [redLeft, redRight, redCovered] = span(isRed, y);
    QVERIFY(blueRight - blueLeft > image.width() / 3);
    QVERIFY2(std::abs(redLeft - blueLeft) <= 3 && std::abs(redRight - blueRight) <= 3,
             qPrintable(QStringLiteral("red %1..%2, blue %3..%4").arg(redLeft).arg(redRight).arg(blueLeft).arg(blueRight)));
    QCOMPARE(redCovered, redRight - redLeft + 1);

    // The value marks stand whole above their points: the top of their boxes
    // and figures lies 3 to 5 mm above the line.
    if (marks) {
        const double step = (redRight - redLeft - perMm(2)) / 7.0;
        for (int i = 0; i < 8; ++i) {
            const double x = redLeft + perMm(1) + i * step;
            const QRect above = QRectF(x - perMm(2), y - perMm(5), perMm(4), perMm(2)).toRect();
            QVERIFY2(countPixels(image, above, [](QRgb c) { return !isWhite(c); }) > 10,
                     qPrintable(QStringLiteral("no mark above point %1").arg(i + 1)));
        }
    }
}

// A chart whose series stay within the value axis is drawn alike with and
// without room kept for values beyond it.
void TestChart::keptInChartChangesNothingWithin()
{
    Chart chart = profileChart();
    chart.series(QStringLiteral("Series1"))->addXY(10, 14, QStringLiteral("MAX"));
    QList<QImage> images;
    for (const bool inChart : {false, true}) {
        chart.keepSeriesInChart = inChart;
        QImage image = blankImage(189.4, 147.4, 100);
        QPainter painter(&image);
        paintChart(painter, QRectF(image.rect()), chart);
        painter.end();
        images << image;
    }
    QVERIFY(images[0] == images[1]);
}

void TestChart::topLegendWithManyEntries()
{
    // A hundred profiles: the legend flows in columns and leaves the plot
    // its room, the lines still visible under it.
    Chart chart;
    chart.legendPlace = LegendPlace::Top;
    for (int i = 0; i < 100; ++i) {
        ChartSeries& s = chart.addSeries(QStringLiteral("Series%1").arg(i + 1));
        s.title = QStringLiteral("Profilo di Giulia Bianchi del %1/03/24").arg(i % 28 + 1, 2, 10, QLatin1Char('0'));
        s.color = Qt::red;
        s.addXY(0, 1, QStringLiteral("AUT"));
        s.addXY(1, 1, QStringLiteral("COM"));
    }
    QImage image = blankImage(189.4, 147.4, 96);
    {
        QPainter painter(&image);
        paintChart(painter, QRectF(image.rect()), chart);
    }
    // The lines at 1 run low in the plot: red there, below the legend.
    const QRect low(image.width() / 5, image.height() * 3 / 4, image.width() * 3 / 5, image.height() / 5);
    QVERIFY(countPixels(image, low, isRed) > 20);
}

void TestChart::emptyChartsPaint_data()
{
    QTest::addColumn<int>("seriesCount");
    QTest::addColumn<bool>("withPoints");
    QTest::addColumn<QSizeF>("sizeMm");
    QTest::addColumn<bool>("roomForAxes");

    QTest::newRow("no series") << 0 << false << QSizeF(100, 80) << true;
    QTest::newRow("one series without points") << 1 << false << QSizeF(100, 80) << true;
    QTest::newRow("two series without points") << 2 << false << QSizeF(100, 80) << true;
    QTest::newRow("target smaller than the axes") << 2 << true << QSizeF(8, 5) << false;
}

void TestChart::emptyChartsPaint()
{
    QFETCH(int, seriesCount);
    QFETCH(bool, withPoints);
    QFETCH(QSizeF, sizeMm);
    QFETCH(bool, roomForAxes);
    Chart chart;
    for (int i = 0; i < seriesCount; ++i) {
        ChartSeries& s = chart.addSeries(QStringLiteral("Series%1").arg(i + 1));
        if (withPoints)
            s.addXY(0, 1, QStringLiteral("A"));
    }
    QImage image = blankImage(sizeMm.width(), sizeMm.height(), 96);
    {
        QPainter painter(&image);
        paintChart(painter, QRectF(image.rect()), chart);
    }
    if (!roomForAxes) {
        QVERIFY(nonWhiteBounds(image).isValid());
        return;
    }

    // Both axis lines, solid across most of the target (a line between two
    // pixel columns is shared by both, in grey).
    const auto drawn = [](QRgb c) { return qGray(c) < 160; };
    bool valueAxis = false;
    for (int x = 0; x + 1 < image.width() && !valueAxis; ++x)
        valueAxis = countPixels(image, QRect(x, 0, 2, image.height()), drawn) > image.height() * 3 / 4;
    bool categoryAxis = false;
    for (int y = 0; y + 1 < image.height() && !categoryAxis; ++y)
        categoryAxis = countPixels(image, QRect(0, y, image.width(), 2), drawn) > image.width() * 3 / 4;
    QVERIFY(valueAxis);
    QVERIFY(categoryAxis);
}

void TestChart::paintOnPdf()
{
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    {
        QPdfWriter pdf(&buffer);
        pdf.setPageSize(QPageSize(QPageSize::A4));
        QPainter painter(&pdf);
        QVERIFY(painter.isActive());
        const double perMm = pdf.logicalDpiX() / 25.4;
        paintChart(painter, QRectF(10 * perMm, 20 * perMm, 189.4 * perMm, 147.4 * perMm), profileChart());
        pdf.newPage();
        paintChart(painter, QRectF(10 * perMm, 20 * perMm, 189.4 * perMm, 147.4 * perMm),
                   profileChart(LegendPlace::Top));
    }
    QVERIFY(buffer.data().startsWith("%PDF"));
    QVERIFY(buffer.data().size() > 2000);

    // A chart with no face of its own writes in the engine's face, the one
    // the report's texts use.
    QFont engineFont(defaultFamily());
    engineFont.setStyleHint(QFont::SansSerif);
    const QString face = QFontInfo(engineFont).family().remove(QLatin1Char(' '));
    static const QRegularExpression baseFont(QStringLiteral("/BaseFont\\s*/(?:[A-Z]{6}\\+)?([^\\s/<>\\[\\]()]+)"));
    auto it = baseFont.globalMatch(QString::fromLatin1(buffer.data()));
    QVERIFY(it.hasNext());
    while (it.hasNext())
        QCOMPARE(it.next().captured(1), face);
}

QTEST_MAIN(TestChart)
#include "test_chart.moc"
