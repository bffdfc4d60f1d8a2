// velmora-install: lays the data folder the program reads, and puts a daily
// copy back into it.
//   velmora-install <folder>          the current layout
//   velmora-install <folder> --older  children without the attendance column
//   velmora-install --ripristina <copy> [<folder>] [--file <name>]
//                                     the copy (or one file of it) back into
//                                     the data folder, refused while a
//                                     program holds the folder
// An existing folder is never laid again.
#include "commandline.h"
#include "dailycopy.h"
#include "datafolder.h"
#include "foldercheck.h"
#include "folderlock.h"
#include "installer.h"
#include "schema.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStringList>
#include <QTextStream>

namespace {

// The data folder's real place (an installed db/ is a link) and the copies
// beside it.
QString realPath(const QString& path)
{
    const QFileInfo info(QDir::current().absoluteFilePath(path));
    return info.canonicalFilePath().isEmpty() ? QDir::cleanPath(info.absoluteFilePath()) : info.canonicalFilePath();
}

int restore(const QString& copyArgument, const QString& folderArgument, const QString& onlyFile)
{
    QTextStream err(stderr);
    QTextStream out(stdout);
    const QString folderPath = realPath(folderArgument);
    velmora::store::DataFolder folder(folderPath);
    if (!folder.exists()) {
        err << "La cartella dati \"" << QDir::toNativeSeparators(folderPath) << "\" non esiste.\n";
        return 1;
    }
    const QString copies = QDir::cleanPath(QDir(folderPath).absoluteFilePath(QStringLiteral("../copie")));
    // The copy by its name ("2026-12-10_0812") or by its folder.
    QString copy = copyArgument;
    const QFileInfo given(QDir::current().absoluteFilePath(copyArgument));
    if (copyArgument.contains(QLatin1Char('/')) && given.isDir())
        copy = given.fileName();
    const QStringList available = velmora::store::copieGiornaliere(copies);
    if (!available.contains(copy)) {
        err << "La copia \"" << copyArgument << "\" non c'è in \"" << QDir::toNativeSeparators(copies) << "\".\n";
        if (available.isEmpty())
            err << "Non c'è nessuna copia giornaliera.\n";
        else
            err << "Copie disponibili (la più recente per prima):\n  " << available.join(QStringLiteral("\n  ")) << '\n';
        return 1;
    }
    if (!onlyFile.isEmpty() && !velmora::store::tableForFile(onlyFile)) {
        err << '"' << onlyFile << "\" non è un file della cartella dati.\n";
        return 1;
    }

    // No program may work on the folder while its files are replaced.
    velmora::store::FolderLock lock(folderPath);
    QString why;
    if (lock.acquire(&why) != velmora::store::FolderLock::Result::Acquired) {
        err << why << "\nNessun file è stato rimesso.\n";
        return 1;
    }
    QString aside;
    QString problem;
    if (onlyFile.isEmpty()) {
        problem = velmora::store::ripristinaCopia(folder, copies, copy, &aside);
    } else {
        QString from;
        problem = velmora::store::ripristinaDaCopia(folder, copies, onlyFile, &from, copy, &aside);
    }
    if (!problem.isEmpty()) {
        err << problem << '\n';
        return 1;
    }
    // The files put back need no further check at the next start.
    for (const velmora::store::TableDef& def : velmora::store::schema())
        if (onlyFile.isEmpty() || def.fileName.compare(onlyFile, Qt::CaseInsensitive) == 0)
            velmora::store::verificato(folderPath, def.fileName);
    out << (onlyFile.isEmpty() ? QStringLiteral("Copia giornaliera delle %1 rimessa nella cartella dati \"%2\".\n")
                                     .arg(velmora::store::quandoCopia(copy).mid(3), QDir::toNativeSeparators(folderPath))
                               : QStringLiteral("File %1 rimesso dalla copia giornaliera delle %2 nella cartella dati \"%3\".\n")
                                     .arg(onlyFile, velmora::store::quandoCopia(copy).mid(3),
                                          QDir::toNativeSeparators(folderPath)));
    if (!aside.isEmpty())
        out << "I file sostituiti sono conservati in \"" << QDir::toNativeSeparators(aside) << "\".\n";
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    velmora::tools::CommandLine cmd(QStringLiteral(
        "Crea una nuova cartella dati di Velmora con le otto tabelle vuote.\n"
        "Una cartella che esiste già non viene toccata.\n"
        "Con --ripristina rimette nella cartella dati una copia giornaliera (tutti gli otto file,\n"
        "o solo quello dato con --file), se nessun programma Velmora la sta usando; i file\n"
        "sostituiti non vengono cancellati ma spostati in copie/sostituiti/<data>/ (con --file:\n"
        "copie/danneggiati/<data>/). Va eseguito da chi amministra il computer (root) o da un\n"
        "utente del gruppo della cartella dati; senza <cartella> usa la cartella db accanto al\n"
        "programma."));
    QCommandLineParser& parser = cmd.parser();
    const QCommandLineOption older(QStringLiteral("older"),
                                   QStringLiteral("Crea la struttura della versione 1.02 (bambini senza la colonna"
                                                  " della frequenza), che il programma aggiorna all'avvio."));
    const QCommandLineOption restoreOption(QStringLiteral("ripristina"),
                                           QStringLiteral("Rimette nella cartella dati la copia giornaliera <copia>"
                                                          " (il nome della sua cartella in copie/, per esempio"
                                                          " 2026-12-10_0812)."),
                                           QStringLiteral("copia"));
    const QCommandLineOption fileOption(QStringLiteral("file"),
                                        QStringLiteral("Con --ripristina: rimette solo il file <nome> (per esempio"
                                                       " FasiVal.db)."),
                                        QStringLiteral("nome"));
    parser.addOption(older);
    parser.addOption(restoreOption);
    parser.addOption(fileOption);
    parser.addPositionalArgument(QStringLiteral("cartella"),
                                 QStringLiteral("La cartella dati da creare (con --ripristina: la cartella dati in cui"
                                                " rimettere la copia)."),
                                 QStringLiteral("<cartella>"));
    bool restoring = false;
    for (const QString& a : app.arguments())
        restoring = restoring || a == QLatin1String("--ripristina") || a.startsWith(QLatin1String("--ripristina="));
    if (const auto status = cmd.parse(app.arguments(), restoring ? QStringList{} : QStringList{QStringLiteral("<cartella>")},
                                      restoring ? 1 : 0))
        return *status;

    if (parser.isSet(restoreOption)) {
        if (parser.isSet(older))
            return cmd.fail(QStringLiteral("--older non si usa con --ripristina."));
        const QString folder = parser.positionalArguments().value(
            0, QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("db")));
        return restore(parser.value(restoreOption), folder, parser.value(fileOption));
    }
    if (parser.isSet(fileOption))
        return cmd.fail(QStringLiteral("--file si usa solo con --ripristina."));

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
