#include "prints.h"

#include "datamodule.h"
#include "dialogs.h"
#include "phases.h"
#include "reportforms.h"
#include "scoring.h"
#include "sheet.h"

#include <QGroupBox>

#include <algorithm>

namespace velmora::reports {

namespace {

const QString Id = QStringLiteral("Id");

// Runs `body`, then `restore`, also when `body` throws; an error while
// restoring after a failure does not hide the failure.
template <typename Body, typename Restore>
void sempre(Body&& body, Restore&& restore)
{
    try {
        body();
    } catch (...) {
        try {
            restore();
        } catch (...) {
        }
        throw;
    }
    restore();
}

// Switches the phase filter off, sets `text` when it is not empty, and
// switches it on again.
void filtraFasi(store::Table& fasi, const QString& text)
{
    if (!fasi.isOpen())
        fasi.open();
    fasi.setFiltered(false);
    if (!text.isEmpty())
        fasi.setFilter(text);
    fasi.setFiltered(true);
}

QString filtroValutazione(const store::Table& val)
{
    const QString id = val.asString(Id);
    return id.isEmpty() ? QString() : QStringLiteral("Id_Valutazione=") + id;
}

// Keeps the grids of the tables a print walks from redrawing at every move.
class ControlliSospesi
{
public:
    explicit ControlliSospesi(std::initializer_list<store::Table*> tables) : m_tables(tables)
    {
        for (store::Table* t : m_tables)
            t->disableControls();
    }
    ~ControlliSospesi()
    {
        for (store::Table* t : m_tables)
            t->enableControls();
    }

private:
    QList<store::Table*> m_tables;
};

} // namespace

Prints::Prints(DataModule& d, EvaluationSheet& sheet, PhasesScreen& phases, QObject* parent)
    : QObject(parent), data(d), sheet(sheet), phases(phases)
{
    setObjectName(QStringLiteral("Reports"));
    QR_Area = new TQR_Area(data, this);
    QR_Grafico = new TQR_Grafico(this);
    QR_GraficoMultiplo = new TQR_GraficoMultiplo(this);
    QR_GraficoSormontato = new TQR_GraficoSormontato(this);
}

bool Prints::valutazioneCorrente()
{
    const store::Table& val = data.Tbl_Valutazioni;
    if (val.isOpen() && !val.isEmpty() && !val.asString(Id).isEmpty())
        return true;
    data.dialogs.plain(QStringLiteral("Nessuna valutazione presente"));
    return false;
}

void Prints::mostraEAttendi(ReportForm& form, const QString& nomeFile)
{
    print::Document doc;
    {
        ControlliSospesi sospesi{&data.Tbl_Aree, &data.Tbl_FasiVal};
        doc = form.report.layout();
    }
    doc.fileName = nomeFile;
    if (data.dialogs.printSetup(doc))
        data.dialogs.preview(doc);
}

QString Prints::bimboCorrente() const
{
    const store::Table& b = data.Tbl_AnagBimbi;
    if (!b.isOpen() || b.isEmpty())
        return QString();
    return b.asString(QStringLiteral("Cognome")) + QLatin1Char(' ') + b.asString(QStringLiteral("Nome"));
}

QDate Prints::dataValutazione() const
{
    const store::Table& v = data.Tbl_Valutazioni;
    const QDate d = v.isOpen() && !v.isEmpty() ? v.value(QStringLiteral("DataValutazione")).toDate() : QDate();
    return d.isValid() ? d : data.Now().date();
}

void Prints::ripristina(const QString& filtro, const PhasesScreen::AreaScelta& scelta)
{
    data.Tbl_Aree.tag = 0;
    // The area cursor and the chooser go back to the area the user chose (the
    // follow mode is 0, so the phases stay as put back below), from the sheet
    // or from the list alike: left on the last area, the chooser would show
    // it on the next sheet while its key, the new phases and the answers
    // went on with the one chosen before.
    phases.ripristinaArea(scelta);
    store::Table& fasi = data.Tbl_FasiVal;
    if (!fasi.isOpen())
        return;
    fasi.setFiltered(false);
    fasi.setFilter(filtro);
    fasi.setFiltered(true);
}

// ---------------------------------------------------------------- sheet

void Prints::SpeedButton10Click()
{
    if (!valutazioneCorrente())
        return;
    data.guarded([&] {
        const QString filtro = data.Tbl_FasiVal.filter();
        const PhasesScreen::AreaScelta scelta = phases.areaScelta();
        sempre(
            [&] {
                filtraFasi(data.Tbl_FasiVal, filtroValutazione(data.Tbl_Valutazioni));
                data.Tbl_Aree.tag = 1;
                data.Tbl_Aree.first();
                // A staff row being typed belongs on the staff line.
                sheet.ChiudiRigaPersonale();
                fillPageHead(QR_Area->report, data, Head::Full);
                mostraEAttendi(*QR_Area,
                               printFileName(QStringLiteral("Scheda di valutazione"), bimboCorrente(), dataValutazione()));
            },
            [&] { ripristina(filtro, scelta); });
    });
}

void Prints::StampaRiepilogoNonSo()
{
    print::Band* footer = QR_Area->report.band(QStringLiteral("QRBand4"));
    data.guarded([&] {
        const PhasesScreen::AreaScelta scelta = phases.areaScelta();
        sempre(
            [&] {
                data.Tbl_Aree.tag = 2;
                data.Tbl_Aree.first();
                footer->enabled = false;
                fillPageHead(QR_Area->report, data, Head::Full);
                mostraEAttendi(*QR_Area,
                               printFileName(QStringLiteral("Riepilogo Non so"), bimboCorrente(), dataValutazione()));
            },
            [&] {
                footer->enabled = true;
                data.Tbl_Aree.tag = 0;
                // The phase filter stays as the way back set it.
                phases.ripristinaArea(scelta);
            });
    });
}

// ---------------------------------------------------------------- profile

void Prints::SpeedButton8Click()
{
    if (!valutazioneCorrente())
        return;
    data.guarded([&] {
        store::Table& fasi = data.Tbl_FasiVal;
        store::Table& aree = data.Tbl_Aree;
        const QString filtro = fasi.filter();
        const PhasesScreen::AreaScelta scelta = phases.areaScelta();
        sempre(
            [&] {
                const QString perValutazione = filtroValutazione(data.Tbl_Valutazioni);
                filtraFasi(fasi, perValutazione);
                aree.tag = 1;
                aree.first();

                // Complete when every area has at least one phase row.
                // Without areas there is no area to name: the filter stays
                // on the evaluation.
                auto filtroArea = [&] {
                    const QString area = aree.asString(Id);
                    return perValutazione.isEmpty() || area.isEmpty()
                        ? perValutazione
                        : perValutazione + QStringLiteral(" and Id_Area=") + area;
                };
                bool completa = true;
                for (aree.first(); !aree.isEof(); aree.next()) {
                    filtraFasi(fasi, filtroArea());
                    if (fasi.isEmpty())
                        completa = false;
                }
                aree.first();
                filtraFasi(fasi, filtroArea());
                if (!completa) {
                    data.dialogs.error(
                        QStringLiteral("Per effettuare questo tipo di stampe, la valutazione deve essere completa."));
                    return;
                }

                // A staff row being typed belongs on the staff line.
                sheet.ChiudiRigaPersonale();
                fillPageHead(QR_Grafico->report, data, Head::Full);
                print::Chart& chart = *QR_Grafico->QRDBChart1;
                print::ChartSeries* profilo = chart.series(QStringLiteral("Series1"));
                print::ChartSeries* eta = chart.series(QStringLiteral("Series2"));
                profilo->clear();
                eta->clear();
                const double teorico = scoring::CalcolaSviluppoTeorico(data.Tbl_Valutazioni.value(QStringLiteral("MesiBimbo")));
                QStringList brevi, nomi;
                for (int i = 0; !aree.isEof(); ++i, aree.next()) {
                    const QString breve = aree.asString(QStringLiteral("AreaBreve"));
                    brevi << breve;
                    nomi << aree.asString(QStringLiteral("Area"));
                    profilo->addXY(i, phases.CalcolaTotaleArea(false), breve);
                    eta->addXY(i, teorico, breve);
                }
                QR_Grafico->setKey(brevi, nomi);
                mostraEAttendi(*QR_Grafico,
                               printFileName(QStringLiteral("Profilo di sviluppo"), bimboCorrente(), dataValutazione()));
            },
            [&] { ripristina(filtro, scelta); });
    });
}

// ---------------------------------------------------------------- profiles

void Prints::disegnaProfilo(ChartForm& form, int n, const QString& titolo)
{
    store::Table& aree = data.Tbl_Aree;
    filtraFasi(data.Tbl_FasiVal, filtroValutazione(data.Tbl_Valutazioni));
    aree.first();
    fillPageHead(form.report, data, form.head);
    print::ChartSeries* s = form.QRDBChart1->series(QStringLiteral("Series") + QString::number(n));
    s->clear();
    s->title = titolo;
    s->color = coloreProfilo(n, data.Random);
    QStringList brevi, nomi;
    for (int i = 0; !aree.isEof(); ++i, aree.next()) {
        const QString breve = aree.asString(QStringLiteral("AreaBreve"));
        brevi << breve;
        nomi << aree.asString(QStringLiteral("Area"));
        s->addXY(i, phases.CalcolaTotaleArea(false), breve);
    }
    form.setKey(brevi, nomi);
}

void Prints::stampaProfili(ChartForm& form, int profili, const QString& nomeFile)
{
    // The legend lists only the profiles drawn.
    for (int k = profili + 1; k <= MaxProfili; ++k)
        form.QRDBChart1->removeSeries(QStringLiteral("Series") + QString::number(k));
    if (onFreshForm)
        onFreshForm(form);
    mostraEAttendi(form, nomeFile);
}

bool Prints::avvisaTroppiProfili(int profili)
{
    if (profili <= MaxProfili)
        return false;
    data.dialogs.information(QStringLiteral("Sono stati scelti %1 profili, ma un grafico ne può contenere al massimo %2: "
                                           "verranno disegnati i primi %2.")
                                .arg(profili)
                                .arg(MaxProfili));
    return true;
}

void Prints::Btn_ConfrontoSingoloClick()
{
    store::Table& val = data.Tbl_Valutazioni;
    if (!val.isOpen() || val.isEmpty()) {
        data.dialogs.plain(QStringLiteral("Nessuna valutazione presente"));
        return;
    }
    data.guarded([&] {
        const QString Sel = QStringLiteral("Sel");
        int selezionate = 0, tutte = 0;
        for (val.first(); !val.isEof(); val.next()) {
            ++tutte;
            if (val.asBoolean(Sel))
                ++selezionate;
        }
        const bool soloSelezionate = selezionate > 0;
        if (!soloSelezionate) {
            const store::Table& b = data.Tbl_AnagBimbi;
            if (!data.dialogs.confirm(QStringLiteral("Nessuna profilo selezionato! Si vuole procedere con il confronto tra "
                                                    "tutti i pofili inseriti per ")
                                     + b.asString(QStringLiteral("Nome")) + QLatin1Char(' ')
                                     + b.asString(QStringLiteral("Cognome")) + QLatin1Char('?')))
                return;
        }
        avvisaTroppiProfili(soloSelezionate ? selezionate : tutte);

        const QString filtro = data.Tbl_FasiVal.filter();
        const PhasesScreen::AreaScelta scelta = phases.areaScelta();
        sempre(
            [&] {
                data.Tbl_Aree.tag = 1;
                int n = 0;
                auto form = std::make_unique<TQR_GraficoSormontato>();
                for (val.first(); !val.isEof() && n < MaxProfili; val.next()) {
                    if (soloSelezionate && !val.asBoolean(Sel))
                        continue;
                    ++n;
                    disegnaProfilo(*form, n,
                                   QStringLiteral("Profilo del ") + shortDate(val.value(QStringLiteral("DataValutazione"))));
                }
                if (!val.isEof())
                    val.last(); // stopped at the most a chart draws
                stampaProfili(*form, n,
                              printFileName(QStringLiteral("Profili del bambino"), bimboCorrente(), data.Now().date()));
            },
            [&] { ripristina(filtro, scelta); });
    });
}

void Prints::Btn_ConfrontoMultiploClick()
{
    store::Table& bimbi = data.Tbl_AnagBimbi;
    store::Table& val = data.Tbl_Valutazioni;
    if (!bimbi.isOpen() || !val.isOpen())
        return;
    data.guarded([&] {
        // Every evaluation of every listed child, in list order, read through
        // copy cursors: walking the visible lists would refilter the staff
        // and the phases at every step.
        struct Profilo
        {
            int bimbo;
            QString nome;
            int valutazione;
            QVariant data;
            bool selezionato;
        };
        QList<Profilo> profili;
        {
            store::Table figli, valutazioni;
            figli.bindLike(bimbi);
            figli.open();
            valutazioni.bindLike(val);
            for (figli.first(); !figli.isEof(); figli.next()) {
                const int bimbo = figli.asInteger(Id);
                const QString nome = figli.asString(QStringLiteral("Nome")) + QLatin1Char(' ')
                    + figli.asString(QStringLiteral("Cognome"));
                valutazioni.close();
                valutazioni.setFilter(QStringLiteral("Id_Bimbo=%1").arg(bimbo));
                valutazioni.setFiltered(true);
                valutazioni.open();
                for (valutazioni.first(); !valutazioni.isEof(); valutazioni.next())
                    profili.append({bimbo, nome, valutazioni.asInteger(Id),
                                    valutazioni.value(QStringLiteral("DataValutazione")),
                                    valutazioni.asBoolean(QStringLiteral("Sel"))});
            }
        }
        // The lists stand where a walk through them would have left them: on
        // the last child and its last evaluation.
        bimbi.last();
        val.last();

        const qsizetype selezionate =
            std::count_if(profili.cbegin(), profili.cend(), [](const Profilo& p) { return p.selezionato; });
        const bool soloSelezionate = selezionate > 0;
        if (!soloSelezionate
            && !data.dialogs.confirm(QStringLiteral("Nessuna profilo selezionato! Si vuole procedere con il confronto tra "
                                                   "tutti i pofili inseriti?")))
            return;
        if (soloSelezionate)
            profili.removeIf([](const Profilo& p) { return !p.selezionato; });
        if (avvisaTroppiProfili(int(profili.size())))
            profili.resize(MaxProfili);

        const QString filtro = data.Tbl_FasiVal.filter();
        const PhasesScreen::AreaScelta scelta = phases.areaScelta();
        sempre(
            [&] {
                data.Tbl_Aree.tag = 1;
                int n = 0;
                auto form = std::make_unique<TQR_GraficoMultiplo>();
                for (const Profilo& p : profili) {
                    if (bimbi.asInteger(Id) != p.bimbo)
                        bimbi.locate(Id, p.bimbo);
                    val.locate(Id, p.valutazione);
                    ++n;
                    disegnaProfilo(*form, n, QStringLiteral("Profilo di ") + p.nome + QStringLiteral(" del ") + shortDate(p.data));
                }
                bimbi.last();
                val.last();
                stampaProfili(*form, n,
                              printFileName(QStringLiteral("Confronto tra i bambini"), nurseryName(data), data.Now().date()));
            },
            [&] { ripristina(filtro, scelta); });
    });
}

} // namespace velmora::reports
