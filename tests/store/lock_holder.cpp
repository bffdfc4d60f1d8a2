// Helper for the folder lock test: takes the lock of a data folder as
// another program would, says so on stdout ("HELD", or "REFUSED" with the
// message) and keeps it until its stdin is closed or it is killed.

#include "folderlock.h"

#include <QCoreApplication>

#include <cstdio>

using namespace velmora::store;

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "uso: lock_holder <cartella dati>\n");
        return 2;
    }
    FolderLock lock(QString::fromLocal8Bit(argv[1]));
    QString message;
    if (lock.acquire(&message) != FolderLock::Result::Acquired) {
        std::printf("REFUSED %s\n", message.toUtf8().constData());
        std::fflush(stdout);
        return 1;
    }
    std::printf("HELD\n");
    std::fflush(stdout);
    // Held until the test closes the pipe or kills this process.
    char buffer[256];
    while (std::fread(buffer, 1, sizeof buffer, stdin) > 0) {
    }
    return 0;
}
