#include "reportforms.h"

#include "datamodule.h"
#include "dialogs.h"
#include "numberformat.h"
#include "records.h"

#include <QDate>
#include <QLocale>

#include <algorithm>

namespace velmora::reports {

namespace {

QFont sized(QFont font, double points)
{
    font.setPointSizeF(points);
    return font;
}

QFont underlined(QFont font)
{
    font.setUnderline(true);
    return font;
}

void setText(print::Report& r, const char* name, const QString& text)
{
    if (print::Element* e = r.element(QString::fromLatin1(name)))
        e->text = text;
}

// The child's note as the memo shows it: every line, with Windows or old Mac
// line ends read as line breaks.
QString memoText(const QString& text)
{
    QString t = text;
    t.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    t.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return t;
}

// A fixed text as wide as it needs, stopping before the value beside it: a
// caption wider than its room prints smaller instead of running into the
// value ("Data di nascita:" before the birth date).
print::Element& keptOff(print::Element& e)
{
    e.autoWidth = print::Element::AutoWidth::ToNextElement;
    return e;
}

} // namespace

void addPageHead(print::Band& band, Head head)
{
    const QFont base = band.font();
    const QFont big = sized(base, 20);

    band.label(QStringLiteral("Qr_NomeNido"), QRectF(1.1, 0.8, 187.6, 9.0), QString(), Qt::AlignHCenter).font = big;
    band.label(QStringLiteral("Qr_Indirizzo"), QRectF(1.1, 9.3, 187.6, 4.5), QString(), Qt::AlignHCenter);
    if (head == Head::NurseryOnly)
        return;
    band.label(QStringLiteral("Qr_NomeBimbo"), QRectF(1.1, 15.6, 187.6, 9.0), QString(), Qt::AlignHCenter).font = big;

    // Captions up to their values; each value in its own column.
    keptOff(band.label(QStringLiteral("QRLabel1"), QRectF(1.1, 24.1, 0, 0), QStringLiteral("Data di nascita:")));
    band.label(QStringLiteral("Qr_DataDiNascita"), QRectF(25.1, 24.1, 22.0, 0), QString()).font = underlined(base);
    keptOff(band.label(QStringLiteral("QRLabel2"), QRectF(58.2, 24.1, 0, 0), QStringLiteral("Sesso:")));
    band.label(QStringLiteral("Qr_Sesso"), QRectF(69.3, 24.1, 9.0, 0), QString()).font = underlined(base);
    keptOff(band.label(QStringLiteral("QRLabel4"), QRectF(90.0, 24.1, 0, 0), QStringLiteral("Data valutazione:")));
    band.label(QStringLiteral("Qr_DataValutazione"), QRectF(117.2, 24.1, 22.0, 0), QString()).font = underlined(base);
    keptOff(band.label(QStringLiteral("QRLabel5"), QRectF(147.9, 24.1, 0, 0), QStringLiteral("Età in mesi:")));
    band.label(QStringLiteral("Qr_EtaInMesi"), QRectF(167.0, 24.1, 22.0, 0), QString()).font = underlined(base);
    keptOff(band.label(QStringLiteral("QRLabel3"), QRectF(1.1, 28.3, 0, 0), QStringLiteral("Note:")));
    // The note and the staff line hold whole lines only: a longer text
    // prints smaller, down to 5 pt, before lines are left out (the last one
    // printed then ends with "…"); nothing runs below the box.
    print::Element& note = band.memo(QStringLiteral("Qr_Note"), QRectF(10.6, 28.3, 178.1, 10.1));
    note.memoOptions.fit = print::MemoFit::Shrink;
    note.minimumPoints = 5;
    if (head == Head::Full) {
        print::Element& staff = band.memo(QStringLiteral("Qr_Personale"), QRectF(1.1, 38.4, 187.6, 10.1));
        staff.memoOptions.fit = print::MemoFit::Shrink;
        staff.minimumPoints = 5;
    }
}

QString shortDate(const QVariant& value)
{
    const QDate d = value.toDate();
    return d.isValid() ? QLocale().toString(d, QLocale::ShortFormat) : QString();
}

QString addressLine(const DataModule& data) { return records::nidoCorrente(data).riga(); }

QString nurseryName(const DataModule& data) { return records::nidoCorrente(data).nome; }

QString printFileName(const QString& print, const QString& whose, const QDate& when)
{
    QStringList parts{print};
    if (!whose.simplified().isEmpty())
        parts << whose.simplified();
    if (when.isValid())
        parts << when.toString(QStringLiteral("dd-MM-yyyy"));
    return parts.join(QStringLiteral(" - "));
}

QString staffLine(DataModule& data) { return records::lineaPersonale(data); }

void fillPageHead(print::Report& r, DataModule& data, Head head)
{
    const records::Nido nido = records::nidoCorrente(data);
    setText(r, "Qr_NomeNido", nido.nome);
    setText(r, "Qr_Indirizzo", nido.riga());
    if (head == Head::NurseryOnly)
        return;

    const store::Table& bimbo = data.Tbl_AnagBimbi;
    const bool b = bimbo.isOpen();
    setText(r, "Qr_NomeBimbo",
            b ? bimbo.asString(QStringLiteral("Nome")) + QLatin1Char(' ') + bimbo.asString(QStringLiteral("Cognome"))
              : QString());
    setText(r, "Qr_DataDiNascita", b ? shortDate(bimbo.value(QStringLiteral("DataDiNascita"))) : QString());
    setText(r, "Qr_Sesso", b ? bimbo.asString(QStringLiteral("Sesso")) : QString());
    setText(r, "Qr_Note", b ? memoText(bimbo.asString(QStringLiteral("Note"))) : QString());

    const store::Table& val = data.Tbl_Valutazioni;
    const bool v = val.isOpen();
    setText(r, "Qr_DataValutazione", v ? shortDate(val.value(QStringLiteral("DataValutazione"))) : QString());
    setText(r, "Qr_EtaInMesi", v ? val.asString(QStringLiteral("MesiBimbo")) : QString());
    if (head == Head::Full)
        setText(r, "Qr_Personale", staffLine(data));
}

QColor coloreCasuale(QRandomGenerator& random)
{
    quint32 value = 0;
    for (int digit = 0; digit < 9; ++digit)
        value = value * 10 + quint32(random.bounded(1, 10));
    return QColor(int(value & 0xFF), int((value >> 8) & 0xFF), int((value >> 16) & 0xFF));
}

QColor coloreProfilo(int n, QRandomGenerator& random)
{
    static const QRgb table[] = {
        qRgb(255, 0, 0),   qRgb(0, 255, 255), qRgb(0, 0, 255),   qRgb(255, 0, 255),   qRgb(0, 255, 0),
        qRgb(0, 0, 0),     qRgb(128, 0, 0),   qRgb(0, 128, 0),   qRgb(128, 128, 0),   qRgb(0, 0, 128),
        qRgb(128, 0, 128), qRgb(0, 128, 128), qRgb(128, 128, 128), qRgb(255, 255, 0), qRgb(192, 192, 192),
    };
    if (n >= 1 && n <= int(std::size(table)))
        return QColor(table[n - 1]);
    return coloreCasuale(random);
}

// ---------------------------------------------------------------- forms

ReportForm::ReportForm(const QString& name, QObject* parent) : QObject(parent), report(name)
{
    setObjectName(name);
}

TQR_Area::TQR_Area(DataModule& d, QObject* parent) : ReportForm(QStringLiteral("TQR_Area"), parent), data(d)
{
    report.title = QStringLiteral("Scheda di valutazione");
    report.master = {[this] {
                         aree.first();
                         seguiArea();
                     },
                     [this] {
                         aree.next();
                         seguiArea();
                     },
                     [this] { return !aree.isOpen() || aree.isEof(); }};
    report.detail = {[this] { fasi.first(); }, [this] { fasi.next(); },
                     [this] { return !fasi.isOpen() || fasi.isEof(); }};

    print::Band& title = report.addBand(print::Band::Kind::Title, QStringLiteral("QRBand1"), 49.5);
    addPageHead(title, Head::Full);

    QFont bold = report.font;
    bold.setBold(true);
    QFont italic = report.font;
    italic.setItalic(true);
    // The dotted rules stand in the gaps between the answer columns (19.1 to
    // 58.8, 59.3 to 99.0, 99.5 to 139.2, 139.7 to 179.4 mm): a list of every
    // item fills its column, and a rule inside the column's edge would run
    // through its first dash.
    const double rules[] = {18.9, 59.05, 99.25, 139.45, 179.5};
    auto columnRules = [&](print::Band& band, double top, double bottom) {
        for (double x : rules)
            band.rule(QStringLiteral("Divisore"), QLineF(x, top, x, bottom), Qt::DotLine, QColor(192, 192, 192));
    };

    print::Band& heading = report.addBand(print::Band::Kind::Heading, QStringLiteral("QRBand3"), 12.7);
    heading.lineBelow = true;
    // An area whose rows go on over a page break finds its name (marked
    // " (segue)") and the column titles again at the top of the next page.
    heading.repeatOnContinuation = true;
    heading.continuedElement = QStringLiteral("QRDBText1");
    heading.dataText(QStringLiteral("QRDBText1"), QRectF(2.1, 2.1, 0, 0),
                     [this] { return records::etichettaArea(aree); }).font = bold;
    keptOff(heading.label(QStringLiteral("QRLabel7"), QRectF(2.1, 7.9, 0, 0), QStringLiteral("Fase"))).font = italic;
    const struct { const char* name; double left; const char* text; } headings[] = {
        {"QRLabel8", 19.1, "Si"}, {"QRLabel9", 59.3, "No"}, {"QRLabel10", 99.5, "A Volte"}, {"QRLabel11", 139.7, "Non So"}};
    for (const auto& h : headings)
        heading.label(QString::fromLatin1(h.name), QRectF(h.left, 7.9, 39.7, 0), QString::fromLatin1(h.text),
                      Qt::AlignHCenter).font = italic;
    heading.label(QStringLiteral("QRLabel12"), QRectF(179.9, 7.9, 0, 0), QStringLiteral("Valori")).font = italic;
    columnRules(heading, 7.4, 12.7);
    heading.beforePrint = [this] {
        totale = 0;
        ultimaFase = 0;
        return fasi.isOpen() && !fasi.isEof();
    };

    print::Band& row = report.addBand(print::Band::Kind::Detail, QStringLiteral("QRSubDetail1"), 5.0);
    row.lineBelow = true;
    keptOff(row.dataText(QStringLiteral("QRDBText2"), QRectF(4.2, 0.5, 0, 0),
                         [this] { return fasi.asString(QStringLiteral("NumFase")); }));
    const struct { const char* name; double left; const char* field; } columns[] = {
        {"QRDBText3", 19.1, "Si"}, {"QRDBText4", 59.3, "No"}, {"QRDBText5", 99.5, "AVolte"}, {"QRDBText6", 139.7, "NonSo"}};
    for (const auto& c : columns) {
        const QString field = QString::fromLatin1(c.field);
        row.dataText(QString::fromLatin1(c.name), QRectF(c.left, 0.5, 39.7, 0),
                     [this, field] { return fasi.asString(field); }, Qt::AlignHCenter);
    }
    row.dataText(QStringLiteral("QRDBText7"), QRectF(0, 0.5, 188.9, 0),
                 [this] { return formatGeneral(scoring::phaseScore(records::risposte(fasi))); }, Qt::AlignRight)
        .rect.setLeft(179.9);
    columnRules(row, 0, 5.0);
    row.beforePrint = [this] {
        if (!fasi.isOpen() || fasi.isEof())
            return false;
        const int n = fasi.asInteger(QStringLiteral("NumFase"));
        if (n != ultimaFase) {
            totale += n - ultimaFase - 1;
            ultimaFase = n;
        }
        totale += scoring::phaseScore(records::risposte(fasi));
        return true;
    };

    print::Band& footer = report.addBand(print::Band::Kind::Footer, QStringLiteral("QRBand4"), 7.7);
    footer.lineBelow = true;
    footer.label(QStringLiteral("QRLabel13"), QRectF(141.8, 1.6, 34.1, 0), QStringLiteral("Totale:"), Qt::AlignHCenter)
        .font = bold;
    footer.dataText(QStringLiteral("Qr_Totale"), QRectF(177.8, 1.6, 10.8, 0), [this] { return formatGeneral(totale); },
                    Qt::AlignHCenter)
        .font = bold;

    print::Band& pageFooter = report.addBand(print::Band::Kind::PageFooter, QStringLiteral("QRBand2"), 8.5);
    keptOff(pageFooter.label(QStringLiteral("QRLabel6"), QRectF(2.1, 2.6, 0, 0), QStringLiteral("Pagina:")));
    pageFooter.pageNumber(QStringLiteral("QRSysData1"), QRectF(14.8, 2.6, 20, 0));
}

void TQR_Area::prepara(bool nonSo)
{
    soloNonSo = nonSo;
    const store::Table& v = data.Tbl_Valutazioni;
    valutazione = v.isOpen() && !v.isEmpty() ? v.asString(QStringLiteral("Id")) : QString();
    fasi.close();
    fasi.bindLike(data.Tbl_FasiVal);
    fasi.setReadOnly(true);
    aree.close();
    aree.bindLike(data.Tbl_Aree);
    aree.setReadOnly(true);
    aree.open();
}

void TQR_Area::chiudi()
{
    fasi.close();
    aree.close();
}

void TQR_Area::seguiArea()
{
    fasi.close();
    if (aree.isEof())
        return;
    fasi.setFiltered(false);
    fasi.setFilter(records::filtroFasi(valutazione, aree.asString(QStringLiteral("Id")), soloNonSo));
    fasi.setFiltered(true);
    fasi.open();
}

ChartForm::ChartForm(const QString& name, const QString& title, Head head, const Layout& layout,
                     print::LegendPlace legend, QObject* parent)
    : ReportForm(name, parent), head(head)
{
    report.title = title;
    print::Band& band = report.addBand(print::Band::Kind::Title, QStringLiteral("QRBand1"), 275.2);
    addPageHead(band, head);
    // The chart paints its whole box: it ends where the key starts, so that
    // it never covers the tops of the key's first line.
    const double chartHeight = std::min(layout.chartHeight, layout.keyTop - layout.chartTop);
    band.chart(QStringLiteral("QRChart1"), QRectF(0.3, layout.chartTop, 189.4, chartHeight), QRDBChart1);
    // The key: one line per area, never wrapped, codes and names fitted
    // together so that every code stands on its name's baseline; a long key
    // prints smaller, then in two columns, and keeps every area.
    const auto key = [&](const QString& name, double left, double width) {
        print::Element& e = band.memo(name, QRectF(left, layout.keyTop, width, layout.keyHeight));
        e.memoOptions.fit = print::MemoFit::AllLines;
        e.memoOptions.maxColumns = 2;
        e.fitGroup = QStringLiteral("Legenda");
    };
    key(QStringLiteral("Qr_LegendaSmall"), 2.1, 19.3);
    key(QStringLiteral("Qr_LegendaLarge"), 22.2, 166.4);
    QRDBChart1->legendPlace = legend;
    // The chart's texts in the face of the page.
    QRDBChart1->fontFamily = report.font.family();
    // A line beyond the value axis (an expected development of 19,45, an
    // area total past 14) stays inside the chart, clear of the page head.
    QRDBChart1->keepSeriesInChart = true;
}

void ChartForm::setKey(const QStringList& small, const QStringList& large)
{
    report.element(QStringLiteral("Qr_LegendaSmall"))->text = small.join(QLatin1Char('\n'));
    report.element(QStringLiteral("Qr_LegendaLarge"))->text = large.join(QLatin1Char('\n'));
}

namespace {

void styleProfile(print::ChartSeries& s)
{
    s.title = QStringLiteral("Profilo di sviluppo");
    s.color = Qt::black;
    s.shape = print::PointShape::Circle;
    s.pointWidth = s.pointHeight = 3;
    s.marksVisible = true;
    s.marksFormat = QStringLiteral("#,##0.00#");
}

void addProfileSeries(print::Chart& chart)
{
    for (int n = 1; n <= MaxProfili; ++n)
        styleProfile(chart.addSeries(QStringLiteral("Series") + QString::number(n)));
}

} // namespace

TQR_Grafico::TQR_Grafico(QObject* parent)
    : ChartForm(QStringLiteral("TQR_Grafico"), QStringLiteral("Profilo di sviluppo"), Head::Full,
                {49.5, 147.4, 197.4, 76.5}, print::LegendPlace::Right, parent)
{
    styleProfile(QRDBChart1->addSeries(QStringLiteral("Series1")));
    print::ChartSeries& eta = QRDBChart1->addSeries(QStringLiteral("Series2"));
    eta.title = QStringLiteral("Età anagrafica");
    eta.color = QColor(255, 0, 0);
    eta.shape = print::PointShape::Square;
    eta.pointWidth = eta.pointHeight = 2;
    eta.marksVisible = false;
}

TQR_GraficoSormontato::TQR_GraficoSormontato(QObject* parent)
    : ChartForm(QStringLiteral("TQR_GraficoSormontato"), QStringLiteral("Profili del bambino"), Head::WithoutStaff,
                {40.2, 180.2, 220.1, 52.7}, print::LegendPlace::Top, parent)
{
    addProfileSeries(*QRDBChart1);
}

TQR_GraficoMultiplo::TQR_GraficoMultiplo(QObject* parent)
    : ChartForm(QStringLiteral("TQR_GraficoMultiplo"), QStringLiteral("Confronto tra i bambini"), Head::NurseryOnly,
                {13.8, 207.2, 220.7, 52.1}, print::LegendPlace::Top, parent)
{
    addProfileSeries(*QRDBChart1);
}

} // namespace velmora::reports
