// velmora-gendata: lays a new data folder filled with benchmark data.
//   velmora-gendata <folder>               20,000 evaluations, 1,000,000 phase rows
//   velmora-gendata <folder> --phases N    about N phase rows (fewer evaluations,
//                                          every other table the same size)
// An existing folder is left exactly as it is. The data are always the same.
#include "gendata.h"

#include <QCoreApplication>
#include <QStringList>
#include <QTextStream>

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments().mid(1);
    QTextStream err(stderr);
    const auto usage = [&err] {
        err << "Uso: velmora-gendata <cartella> [--phases N]\n";
        return 2;
    };

    QString folder;
    qint64 phaseRows = velmora::gendata::Shape().phaseRows();
    for (int i = 0; i < args.size(); ++i) {
        if (args[i] == QLatin1String("--phases")) {
            if (i + 1 >= args.size())
                return usage();
            bool ok = false;
            phaseRows = args[++i].toLongLong(&ok);
            if (!ok || phaseRows < 1)
                return usage();
        } else if (folder.isEmpty() && !args[i].startsWith(QLatin1String("--"))) {
            folder = args[i];
        } else {
            return usage();
        }
    }
    if (folder.isEmpty())
        return usage();

    velmora::gendata::Report r;
    const QString problem = velmora::gendata::generate(folder, velmora::gendata::shapeForPhaseRows(phaseRows),
                                                       velmora::gendata::defaultSeed, &r);
    if (!problem.isEmpty()) {
        err << problem << '\n';
        return 1;
    }
    QTextStream(stdout) << "Cartella dati creata: " << folder << '\n'
                        << "  nidi " << r.nurseries << ", educatrici " << r.educators << ", bambini " << r.children
                        << ", valutazioni " << r.evaluations << ", personale " << r.staff << ", aree " << r.areas
                        << ", fasi " << r.phases << '\n'
                        << "  in " << r.milliseconds << " ms\n";
    return 0;
}
