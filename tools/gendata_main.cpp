// velmora-gendata: lays a new data folder filled with benchmark data.
//   velmora-gendata <folder>               20,000 evaluations, 1,000,000 phase rows
//   velmora-gendata <folder> --phases N    about N phase rows (ten evaluations a
//                                          child, up to 100 children a nursery)
// It says on standard error how far it got while it works.
// An existing folder is left exactly as it is. The data are always the same.
#include "commandline.h"
#include "gendata.h"

#include <QCoreApplication>
#include <QLocale>
#include <QStringList>
#include <QTextStream>

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const qint64 defaultPhaseRows = velmora::gendata::Shape().phaseRows();
    velmora::tools::CommandLine cmd(QStringLiteral(
        "Crea una nuova cartella dati piena di dati per le misure delle prestazioni:\n"
        "senza --phases 20 nidi, 2.000 bambini, 20.000 valutazioni e 1.000.000 di fasi.\n"
        "I dati sono sempre gli stessi; una cartella che esiste già non viene toccata."));
    QCommandLineParser& parser = cmd.parser();
    const QCommandLineOption phases(QStringLiteral("phases"),
                                    QStringLiteral("Circa N righe di fasi (predefinito %1): ogni bambino ha 10"
                                                   " valutazioni e ogni nido al più 100 bambini, quindi crescono"
                                                   " anche i bambini e i nidi.")
                                        .arg(defaultPhaseRows),
                                    QStringLiteral("N"));
    parser.addOption(phases);
    parser.addPositionalArgument(QStringLiteral("cartella"), QStringLiteral("La cartella dati da creare."),
                                 QStringLiteral("<cartella>"));
    if (const auto status = cmd.parse(app.arguments(), {QStringLiteral("<cartella>")}, 0))
        return *status;

    const QString folder = parser.positionalArguments().constFirst();
    qint64 phaseRows = defaultPhaseRows;
    if (parser.isSet(phases)) {
        bool ok = false;
        phaseRows = parser.value(phases).toLongLong(&ok);
        if (!ok || phaseRows < 1)
            return cmd.fail(QStringLiteral("Numero di righe di fasi non valido: %1").arg(parser.value(phases)));
    }

    // Progress goes to standard error, so that standard output keeps only
    // the closing summary.
    QTextStream progressOut(stderr);
    const auto progress = [&progressOut](const QString& step, qint64 done, qint64 total) {
        const QLocale it(QLocale::Italian, QLocale::Italy);
        if (total <= 0)
            progressOut << "Scrivo " << step << "..." << Qt::endl;
        else
            progressOut << "Scrivo " << step << ": " << it.toString(done) << " di " << it.toString(total) << " ("
                        << (done * 100 / total) << "%)" << Qt::endl;
    };
    velmora::gendata::Report r;
    const QString problem = velmora::gendata::generate(folder, velmora::gendata::shapeForPhaseRows(phaseRows),
                                                       velmora::gendata::defaultSeed, &r, progress);
    if (!problem.isEmpty()) {
        QTextStream(stderr) << problem << '\n';
        return 1;
    }
    QTextStream(stdout) << "Cartella dati creata: " << folder << '\n'
                        << "  nidi " << r.nurseries << ", educatrici " << r.educators << ", bambini " << r.children
                        << ", valutazioni " << r.evaluations << ", personale " << r.staff << ", aree " << r.areas
                        << ", fasi " << r.phases << '\n'
                        << "  in " << r.milliseconds << " ms\n";
    return 0;
}
