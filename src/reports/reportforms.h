#pragma once
// The four report forms: the evaluation sheet (also the "Non so" summary),
// the development profile chart, the profiles of one child and the comparison
// of children. Each holds a banded report laid out on A4 with the shared page
// head; the prints (prints.h) fill them from the main window's tables.

#include "report.h"
#include "table.h"

#include <QDate>
#include <QObject>
#include <QRandomGenerator>

#include <memory>

namespace velmora {

class DataModule;

namespace reports {

// Which rows of the page head a report carries.
enum class Head {
    Full,         // nursery, child, evaluation, note and the staff line
    WithoutStaff, // the same without the staff line
    NurseryOnly,  // nursery name and address
};

// Puts the page head on a title band (positions in mm, as on every report).
void addPageHead(print::Band& band, Head head);
// Fills the page head of `report` from the current nursery (the one whose
// Id is IdNidoCorrente, wherever the nursery table's cursor rests) and the
// current child, evaluation and staff rows.
void fillPageHead(print::Report& report, DataModule& data, Head head);

// The current nursery's address: street + " - " + Cap + " - " + city +
// " - " + province, empty parts kept.
QString addressLine(const DataModule& data);
// Every staff row of the current evaluation as "educator (role)", joined by
// " - " (records::lineaPersonale).
QString staffLine(DataModule& data);
// A date in the short format of the regional settings; empty when unset.
QString shortDate(const QVariant& value);
// The current nursery's name (the one whose Id is IdNidoCorrente).
QString nurseryName(const DataModule& data);
// The name a print proposes for its PDF file: the print, whose it is and
// when, "Scheda di valutazione - Bianchi Giulia - 15-05-2026"; an empty
// `whose` or an invalid date is left out. The dialogs make it a file name.
QString printFileName(const QString& print, const QString& whose, const QDate& when);

// Number of line series a profile chart holds: the most profiles it draws.
constexpr int MaxProfili = 100;
// Colour of profile `n` (from 1): fifteen fixed colours, then a random one.
QColor coloreProfilo(int n, QRandomGenerator& random);
// A random colour value: nine digits from 1 to 9 read as one number, whose
// low three bytes are red, green and blue.
QColor coloreCasuale(QRandomGenerator& random);

// Base of the report forms: a named object holding its report.
class ReportForm : public QObject
{
    Q_OBJECT

public:
    ReportForm(const QString& name, QObject* parent);
    print::Report report;
};

// The evaluation sheet, one block per area: the areas and, for each, the
// phases of the current evaluation, read through cursors of the form's own
// (the sheet's areas and phases stay where they are).
class TQR_Area : public ReportForm
{
    Q_OBJECT

public:
    TQR_Area(DataModule& data, QObject* parent = nullptr);

    // Binds the form's cursors for the next layout: every area, and the
    // phases of the current evaluation in each, only those with "Non so"
    // answers when `soloNonSo`.
    void prepara(bool soloNonSo);
    // Closes the form's cursors once the report is laid out.
    void chiudi();

    // Running total of the area being printed and the last phase counted.
    double totale = 0;
    int ultimaFase = 0;

private:
    // The phases of the area under the areas cursor.
    void seguiArea();

    DataModule& data;
    store::Table aree;
    store::Table fasi;
    QString valutazione;
    bool soloNonSo = false;
};

// Chart forms: a title band with a head, a chart and the key of the areas.
class ChartForm : public ReportForm
{
    Q_OBJECT

public:
    // Where the chart and its key stand on the page, in mm.
    struct Layout
    {
        double chartTop, chartHeight, keyTop, keyHeight;
    };

    // A title band of 275.2 mm with the page head, the chart and its key.
    ChartForm(const QString& name, const QString& title, Head head, const Layout& layout, print::LegendPlace legend,
              QObject* parent);
    const Head head; // the rows of the page head this form carries
    std::shared_ptr<print::Chart> QRDBChart1 = std::make_shared<print::Chart>();

    // The key under the chart: Qr_LegendaSmall holds the short codes,
    // Qr_LegendaLarge the names, line by line.
    void setKey(const QStringList& small, const QStringList& large);
};

// The development profile of one evaluation against the expected level.
class TQR_Grafico : public ChartForm
{
    Q_OBJECT

public:
    explicit TQR_Grafico(QObject* parent = nullptr);
};

// Profiles of one child laid over each other.
class TQR_GraficoSormontato : public ChartForm
{
    Q_OBJECT

public:
    explicit TQR_GraficoSormontato(QObject* parent = nullptr);
};

// Profiles of several children in one chart.
class TQR_GraficoMultiplo : public ChartForm
{
    Q_OBJECT

public:
    explicit TQR_GraficoMultiplo(QObject* parent = nullptr);
};

} // namespace reports
} // namespace velmora
