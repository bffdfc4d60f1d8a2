// Writer for the fault test: opens a data folder through the table layer and
// posts in an endless loop until it is killed. Each change is acknowledged on
// stdout only after the call that made it has returned:
//   F <Id>   a record appended to FasiVal and posted
//   V <n>    evaluation 1 edited and posted with MesiBimbo = n
//   A <n>    every FasiVal record given AVolte = n in one statement
// The test kills this process at arbitrary moments and then checks that the
// files are sound and that everything acknowledged is on disk.

#include "datafolder.h"
#include "errors.h"
#include "table.h"

#include <QCoreApplication>

#include <cstdio>

using namespace velmora::store;

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "uso: fault_writer <cartella dati>\n");
        return 2;
    }
    DataFolder folder(QString::fromLocal8Bit(argv[1]));
    try {
        Table fasi;
        fasi.setDataFolder(&folder);
        fasi.setTableName(QStringLiteral("FasiVal.db"));
        fasi.open();
        Table val;
        val.setDataFolder(&folder);
        val.setTableName(QStringLiteral("Valutaz.db"));
        val.open();
        if (!val.locate(QStringLiteral("Id"), 1)) {
            std::fprintf(stderr, "valutazione 1 mancante\n");
            return 3;
        }
        int counter = val.asInteger(QStringLiteral("MesiBimbo"));
        for (;;) {
            ++counter;
            fasi.append();
            fasi.setValue(QStringLiteral("Id_Valutazione"), 1);
            fasi.setValue(QStringLiteral("Id_Area"), counter % 8 + 1);
            fasi.setValue(QStringLiteral("NumFase"), counter);
            fasi.setValue(QStringLiteral("Si"), QStringLiteral("risposta %1").arg(counter));
            fasi.post();
            std::printf("F %lld\n", fasi.value(QStringLiteral("Id")).toLongLong());
            std::fflush(stdout);

            val.edit();
            val.setValue(QStringLiteral("MesiBimbo"), counter);
            val.post();
            std::printf("V %d\n", counter);
            std::fflush(stdout);

            fasi.setAll(QStringLiteral("AVolte"), QString::number(counter));
            std::printf("A %d\n", counter);
            std::fflush(stdout);
        }
    } catch (const DbError& e) {
        std::fprintf(stderr, "%s\n", e.message().toLocal8Bit().constData());
        return 1;
    }
}
