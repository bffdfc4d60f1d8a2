#include "prints.h"

#include <QHash>

#include "datamodule.h"
#include "dialogs.h"
#include "records.h"
#include "reportforms.h"
#include "scoring.h"
#include "sheet.h"

#include <QGroupBox>
#include <QHash>

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

// The Id of the current evaluation; 0 when none.
int valutazioneDi(const store::Table& val)
{
    return val.isOpen() && !val.isEmpty() ? val.asInteger(QStringLiteral("Id")) : 0;
}

} // namespace

Prints::Prints(DataModule& d, EvaluationSheet& sheet, QObject* parent)
    : QObject(parent), data(d), sheet(sheet)
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
    print::Document doc = form.report.layout();
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

void Prints::ripristina(const QString& filtro)
{
    store::Table& fasi = data.Tbl_FasiVal;
    if (!fasi.isOpen())
        return;
    fasi.setFiltered(false);
    fasi.setFilter(filtro);
    fasi.setFiltered(true);
}

// ---------------------------------------------------------------- sheet

void Prints::stampaScheda(bool soloNonSo, const QString& nomeFile)
{
    fillPageHead(QR_Area->report, data, Head::Full);
    QR_Area->prepara(soloNonSo);
    sempre([&] { mostraEAttendi(*QR_Area, nomeFile); }, [&] { QR_Area->chiudi(); });
}

void Prints::SpeedButton10Click()
{
    data.guarded([&] {
        if (!valutazioneCorrente())
            return;
        // A staff row being typed belongs on the staff line.
        sheet.ChiudiRigaPersonale();
        stampaScheda(false, printFileName(QStringLiteral("Scheda di valutazione"), bimboCorrente(), dataValutazione()));
    });
}

void Prints::StampaRiepilogoNonSo()
{
    print::Band* footer = QR_Area->report.band(QStringLiteral("QRBand4"));
    data.guarded([&] {
        footer->enabled = false;
        sempre([&] { stampaScheda(true, printFileName(QStringLiteral("Riepilogo Non so"), bimboCorrente(), dataValutazione())); },
               [&] { footer->enabled = true; });
    });
}

// ---------------------------------------------------------------- profile

void Prints::SpeedButton8Click()
{
    data.guarded([&] {
        if (!valutazioneCorrente())
            return;
        // Complete when every area has at least one phase row.
        const QVector<records::TotaleArea> aree =
            records::totaliAree(data.Tbl_Aree, data.Tbl_FasiVal, valutazioneDi(data.Tbl_Valutazioni));
        if (!records::completa(aree)) {
            data.dialogs.error(QStringLiteral("Per effettuare questo tipo di stampe, la valutazione deve essere completa."));
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
        for (int i = 0; i < aree.size(); ++i) {
            brevi << aree[i].breve;
            nomi << aree[i].nome;
            profilo->addXY(i, aree[i].totale, aree[i].breve);
            eta->addXY(i, teorico, aree[i].breve);
        }
        QR_Grafico->setKey(brevi, nomi);
        mostraEAttendi(*QR_Grafico, printFileName(QStringLiteral("Profilo di sviluppo"), bimboCorrente(), dataValutazione()));
    });
}

// ---------------------------------------------------------------- profiles

void Prints::disegnaProfilo(ChartForm& form, int n, const QString& titolo)
{
    fillPageHead(form.report, data, form.head);
    print::ChartSeries* s = form.QRDBChart1->series(QStringLiteral("Series") + QString::number(n));
    s->clear();
    s->title = titolo;
    s->color = coloreProfilo(n, data.Random);
    QStringList brevi, nomi;
    const QVector<records::TotaleArea> aree =
        records::totaliAree(data.Tbl_Aree, data.Tbl_FasiVal, valutazioneDi(data.Tbl_Valutazioni));
    for (int i = 0; i < aree.size(); ++i) {
        brevi << aree[i].breve;
        nomi << aree[i].nome;
        s->addXY(i, aree[i].totale, aree[i].breve);
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
        sempre(
            [&] {
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
            [&] { ripristina(filtro); });
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
            figli.bindLike(bimbi, store::Table::CopyRows::Shown);
            figli.open();
            QList<int> ordine;
            QHash<int, QString> nomi;
            for (figli.first(); !figli.isEof(); figli.next()) {
                const int bimbo = figli.asInteger(Id);
                ordine.append(bimbo);
                nomi.insert(bimbo, figli.asString(QStringLiteral("Nome")) + QLatin1Char(' ')
                                       + figli.asString(QStringLiteral("Cognome")));
            }
            // The evaluations of many children to a read (not one read per
            // child: on a server each is a round trip), in the list's order
            // within each child; a short last group repeats its last child so
            // that every read has the same statement.
            constexpr qsizetype gruppo = 50;
            QHash<int, QList<Profilo>> perBimbo;
            valutazioni.bindLike(val);
            for (qsizetype inizio = 0; inizio < ordine.size(); inizio += gruppo) {
                QStringList condizioni;
                for (qsizetype k = inizio; k < inizio + gruppo; ++k)
                    condizioni << QStringLiteral("Id_Bimbo=%1").arg(ordine.at(std::min(k, ordine.size() - 1)));
                valutazioni.close();
                valutazioni.setFilter(condizioni.join(QStringLiteral(" or ")));
                valutazioni.setFiltered(true);
                valutazioni.open();
                for (valutazioni.first(); !valutazioni.isEof(); valutazioni.next()) {
                    const int bimbo = valutazioni.asInteger(QStringLiteral("Id_Bimbo"));
                    perBimbo[bimbo].append({bimbo, nomi.value(bimbo), valutazioni.asInteger(Id),
                                            valutazioni.value(QStringLiteral("DataValutazione")),
                                            valutazioni.asBoolean(QStringLiteral("Sel"))});
                }
            }
            valutazioni.close();
            for (int bimbo : std::as_const(ordine))
                profili.append(perBimbo.value(bimbo));
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
        sempre(
            [&] {
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
            [&] { ripristina(filtro); });
    });
}

} // namespace velmora::reports
