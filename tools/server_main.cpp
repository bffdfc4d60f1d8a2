// velmora-server: the administrator's tool for the data on a PostgreSQL
// server, which it finds through the connection line of --server or of the
// environment variable VELMORA_SERVER.
//   velmora-server crea                 the tables in an empty database
//   velmora-server importa <cartella>   the rows of a SQLite data folder
//   velmora-server esporta <cartella>   the rows back into a new data folder
//   velmora-server verifica             reachable, schema version, privileges
// The work itself is in the table layer (serveradmin.h).
#include "commandline.h"
#include "datafolder.h"
#include "serveradmin.h"
#include "serverline.h"

#include <QCoreApplication>
#include <QDir>
#include <QTextStream>

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    velmora::tools::CommandLine cmd(QStringLiteral(
        "Prepara e controlla i dati di Velmora su un server PostgreSQL, per più computer insieme.\n"
        "Il server si indica con --server o con la variabile d'ambiente VELMORA_SERVER, in una riga\n"
        "come \"host=server dbname=velmora user=nido sslmode=require\".\n"
        "\n"
        "Comandi:\n"
        "  crea                 crea tabelle, indici e versione dello schema in un database vuoto,\n"
        "                       con le aree e i ruoli di un'installazione nuova\n"
        "  importa <cartella>   copia tutte le righe di una cartella dati (per esempio db/) nel\n"
        "                       database, con gli stessi Id; solo se nessun programma lo usa e se\n"
        "                       il database è vuoto o appena creato; poi confronta conteggi e righe\n"
        "  esporta <cartella>   scrive i dati del server in una nuova cartella dati, con gli stessi Id\n"
        "  verifica             dice se il server risponde, la versione dello schema e i permessi\n"
        "                       su ogni tabella; esce con stato 1 se qualcosa non va\n"
        "\n"
        "Crea e importa non partono mentre un programma Velmora usa il database, e nessun\n"
        "programma parte mentre sono al lavoro."));
    QCommandLineParser& parser = cmd.parser();
    const QCommandLineOption serverOption(QStringLiteral("server"),
                                          QStringLiteral("La riga di collegamento al server (altrimenti VELMORA_SERVER)."),
                                          QStringLiteral("riga"));
    parser.addOption(serverOption);
    parser.addPositionalArgument(QStringLiteral("comando"), QStringLiteral("crea, importa, esporta o verifica."),
                                 QStringLiteral("<comando>"));
    parser.addPositionalArgument(QStringLiteral("cartella"), QStringLiteral("Per importa ed esporta: la cartella dati."),
                                 QStringLiteral("[<cartella>]"));
    if (const auto status = cmd.parse(app.arguments(), {QStringLiteral("<comando>")}, 1))
        return *status;

    const QStringList args = parser.positionalArguments();
    const QString command = args.constFirst();
    const bool needsFolder = command == QLatin1String("importa") || command == QLatin1String("esporta");
    if (!needsFolder && command != QLatin1String("crea") && command != QLatin1String("verifica"))
        return cmd.fail(QStringLiteral("Comando sconosciuto: %1").arg(command));
    if (needsFolder && args.size() < 2)
        return cmd.fail(QStringLiteral("Manca l'argomento <cartella>."));
    if (!needsFolder && args.size() > 1)
        return cmd.fail(QStringLiteral("Argomento in più: %1").arg(args.at(1)));

    const QString text = parser.isSet(serverOption) ? parser.value(serverOption) : qEnvironmentVariable("VELMORA_SERVER");
    if (text.trimmed().isEmpty())
        return cmd.fail(QStringLiteral("Manca la riga di collegamento al server: --server o VELMORA_SERVER."));
    velmora::store::ServerLine line;
    try {
        line = velmora::store::parseServerLine(text);
    } catch (const velmora::store::DbError& e) {
        return cmd.fail(e.message());
    }

    velmora::store::AdminReport report;
    {
        velmora::store::DataFolder server(QDir::currentPath(), line);
        if (command == QLatin1String("crea"))
            report = velmora::store::createServerTables(server);
        else if (command == QLatin1String("importa"))
            report = velmora::store::importFolder(server, args.at(1));
        else if (command == QLatin1String("esporta"))
            report = velmora::store::exportFolder(server, args.at(1));
        else
            report = velmora::store::checkServer(server);
        server.closeAll();
    }
    QTextStream(report.ok || command == QLatin1String("verifica") ? stdout : stderr) << report.lines.join(QLatin1Char('\n')) << '\n';
    return report.ok ? 0 : 1;
}
