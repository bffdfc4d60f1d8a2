// velmora-install: lays the data folder the program reads.
//   velmora-install <folder>          the current layout
//   velmora-install <folder> --older  children without the attendance column
// An existing folder is left exactly as it is.
#include "installer.h"

#include <QCoreApplication>
#include <QStringList>
#include <QTextStream>

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments().mid(1);
    QTextStream err(stderr);
    if (args.isEmpty() || args.size() > 2 || (args.size() == 2 && args[1] != QLatin1String("--older"))) {
        err << "Uso: velmora-install <cartella> [--older]\n";
        return 2;
    }
    const auto layout = args.size() == 2 ? velmora::store::Layout::Older : velmora::store::Layout::Current;
    const QString problem = velmora::store::layDataFolder(args[0], layout);
    if (!problem.isEmpty()) {
        err << problem << '\n';
        return 1;
    }
    QTextStream(stdout) << "Cartella dati creata: " << args[0] << '\n';
    return 0;
}
