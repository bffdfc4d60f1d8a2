// velmora-install: lays the data folder the program reads.
//   velmora-install <folder>          the current layout
//   velmora-install <folder> --older  children without the attendance column
// An existing folder is left exactly as it is.
#include "commandline.h"
#include "installer.h"

#include <QCoreApplication>
#include <QStringList>
#include <QTextStream>

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    velmora::tools::CommandLine cmd(QStringLiteral(
        "Crea una nuova cartella dati di Velmora con le otto tabelle vuote.\n"
        "Una cartella che esiste già non viene toccata."));
    QCommandLineParser& parser = cmd.parser();
    const QCommandLineOption older(QStringLiteral("older"),
                                   QStringLiteral("Crea la struttura della versione 1.02 (bambini senza la colonna"
                                                  " della frequenza), che il programma aggiorna all'avvio."));
    parser.addOption(older);
    parser.addPositionalArgument(QStringLiteral("cartella"), QStringLiteral("La cartella dati da creare."),
                                 QStringLiteral("<cartella>"));
    if (const auto status = cmd.parse(app.arguments(), {QStringLiteral("<cartella>")}, 0))
        return *status;

    const QString folder = parser.positionalArguments().constFirst();
    const auto layout = parser.isSet(older) ? velmora::store::Layout::Older : velmora::store::Layout::Current;
    const QString problem = velmora::store::layDataFolder(folder, layout);
    if (!problem.isEmpty()) {
        QTextStream(stderr) << problem << '\n';
        return 1;
    }
    QTextStream(stdout) << "Cartella dati creata: " << folder << '\n';
    return 0;
}
