// The tools' command lines, run on the built executables: --help and
// --version answer and end, a command line a tool cannot use ends with
// status 2, and none of these touches the disk (before, a tool took "--help"
// for the folder to lay). The installer still lays its folder, in either
// layout. Nothing here generates data or measures anything.

#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>

namespace {

const int waitMs = 30000;

struct Run
{
    int exitCode = -1;
    QString out;
    QString err;
};

// Runs `program` with `arguments` in `folder`; fails the test when it does
// not end by itself.
Run run(const QString& program, const QStringList& arguments, const QString& folder)
{
    QProcess p;
    p.setWorkingDirectory(folder);
    p.start(program, arguments);
    Run r;
    if (!p.waitForFinished(waitMs)) {
        p.kill();
        p.waitForFinished();
        qWarning("%s %s did not end", qPrintable(program), qPrintable(arguments.join(QLatin1Char(' '))));
        return r;
    }
    r.exitCode = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    r.out = QString::fromLocal8Bit(p.readAllStandardOutput());
    r.err = QString::fromLocal8Bit(p.readAllStandardError());
    return r;
}

// The columns of a table of an SQLite file, by name.
QStringList columnsOf(const QString& file, const QString& table)
{
    QStringList names;
    const QString connection = QStringLiteral("test_tools");
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), connection);
        db.setDatabaseName(file);
        if (db.open()) {
            QSqlQuery q(db);
            q.exec(QStringLiteral("PRAGMA table_info(\"%1\")").arg(table));
            while (q.next())
                names << q.value(1).toString();
        }
        db.close();
    }
    QSqlDatabase::removeDatabase(connection);
    return names;
}

QString tool(const char* path) { return QString::fromUtf8(path); }

} // namespace

class TestTools : public QObject
{
    Q_OBJECT

private slots:
    void commandLine_data();
    void commandLine();
    void serverUnreachable();
    void installLays_data();
    void installLays();
    void gendataShapeAndProgress_data();
    void gendataShapeAndProgress();
};

void TestTools::commandLine_data()
{
    QTest::addColumn<QString>("program");
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("out"); // on stdout
    QTest::addColumn<QString>("err"); // on stderr, followed by the usage

    const QString install = tool(VELMORA_INSTALL);
    const QString gendata = tool(VELMORA_GENDATA);
    const QString prints = tool(VELMORA_SAMPLE_PRINTS);
    const QString bench = tool(VELMORA_BENCH);
    const QString screens = tool(VELMORA_SCREENS);
    const QString server = tool(VELMORA_SERVER_TOOL);
    const QString unknown = QStringLiteral("Opzione sconosciuta: --bogus");
    const QString missing = QStringLiteral("Manca l'argomento <cartella>.");

    QTest::newRow("install --help") << install << QStringList{"--help"} << 0 << "--older" << "";
    QTest::newRow("install -h, with a folder") << install << QStringList{"db", "-h"} << 0 << "<cartella>" << "";
    QTest::newRow("install --version") << install << QStringList{"--version"} << 0 << "velmora-install 1.12" << "";
    QTest::newRow("install --bogus") << install << QStringList{"db", "--bogus"} << 2 << "" << unknown;
    QTest::newRow("install, no folder") << install << QStringList{} << 2 << "" << missing;
    QTest::newRow("install --older, no folder") << install << QStringList{"--older"} << 2 << "" << missing;
    QTest::newRow("install, two folders") << install << QStringList{"db", "db2"} << 2 << ""
                                          << "Argomento in più: db2";
    QTest::newRow("install --file without --ripristina") << install << QStringList{"db", "--file", "FasiVal.db"} << 2
                                                         << "" << "--file si usa solo con --ripristina.";
    QTest::newRow("install --ripristina, two folders") << install << QStringList{"--ripristina", "x", "db", "db2"} << 2
                                                       << "" << "Argomento in più: db2";

    QTest::newRow("gendata --help") << gendata << QStringList{"--help"} << 0 << "--phases <N>" << "";
    QTest::newRow("gendata --version") << gendata << QStringList{"--version"} << 0 << "velmora-gendata 1.12" << "";
    QTest::newRow("gendata --bogus") << gendata << QStringList{"db", "--bogus"} << 2 << "" << unknown;
    QTest::newRow("gendata, no folder") << gendata << QStringList{"--phases", "10"} << 2 << "" << missing;
    QTest::newRow("gendata --phases 0") << gendata << QStringList{"db", "--phases", "0"} << 2 << ""
                                        << "Numero di righe di fasi non valido: 0";
    QTest::newRow("gendata --phases, no number") << gendata << QStringList{"db", "--phases"} << 2 << ""
                                                 << "'--phases'";

    QTest::newRow("sample-prints --help") << prints << QStringList{"--help"} << 0 << "[<cartella-del-programma>]"
                                          << "";
    QTest::newRow("sample-prints --version") << prints << QStringList{"--version"} << 0
                                             << "velmora-sample-prints 1.12" << "";
    QTest::newRow("sample-prints --bogus") << prints << QStringList{"--bogus"} << 2 << "" << unknown;
    QTest::newRow("sample-prints, three folders") << prints << QStringList{"pdf", "prog", "extra"} << 2 << ""
                                                  << "Argomento in più: extra";

    QTest::newRow("screens --help") << screens << QStringList{"--help"} << 0 << "anagrafica-nido.png" << "";
    QTest::newRow("screens --version") << screens << QStringList{"--version"} << 0 << "velmora-screens 1.12" << "";
    QTest::newRow("screens --bogus") << screens << QStringList{"png", "--bogus"} << 2 << "" << unknown;
    QTest::newRow("screens, no folder") << screens << QStringList{} << 2 << "" << missing;
    QTest::newRow("screens, two folders") << screens << QStringList{"png", "extra"} << 2 << ""
                                          << "Argomento in più: extra";

    QTest::newRow("bench --help") << bench << QStringList{"--help"} << 0 << "--reports <cartella>" << "";
    QTest::newRow("bench --version") << bench << QStringList{"--version"} << 0 << "velmora-bench 1.12" << "";
    QTest::newRow("bench --bogus") << bench << QStringList{"--bogus"} << 2 << "" << unknown;
    QTest::newRow("bench, three folders") << bench << QStringList{"large", "small", "extra"} << 2 << ""
                                          << "Argomento in più: extra";
    QTest::newRow("bench --reports, no folder") << bench << QStringList{"--reports"} << 2 << "" << "'--reports'";
    QTest::newRow("bench --reports and a folder") << bench << QStringList{"--reports", "db", "large"} << 2 << ""
                                                  << "Con --reports non si indicano altre cartelle: large";
    QTest::newRow("bench --help lists --sizes") << bench << QStringList{"--help"} << 0 << "--sizes <elenco>" << "";
    QTest::newRow("bench --sizes, one size") << bench << QStringList{"--sizes", "10k"} << 2 << ""
                                             << "--sizes vuole almeno due dimensioni.";
    QTest::newRow("bench --sizes, bad size") << bench << QStringList{"--sizes", "10k,dieci"} << 2 << ""
                                             << "Dimensione non valida: dieci";
    QTest::newRow("bench --sizes and a folder") << bench << QStringList{"--sizes", "10k,1m", "large"} << 2 << ""
                                                << "--sizes non si combina con --reports né con cartelle.";
    QTest::newRow("bench --folder of no size") << bench << QStringList{"--sizes", "10k,1m", "--folder", "5m=db"} << 2
                                               << "" << "--folder vuole dimensione=cartella di una delle --sizes: 5m=db";
    const QString line = QStringLiteral("host=/nessuna dbname=velmora");
    QTest::newRow("server --help") << server << QStringList{"--help"} << 0 << "importa <cartella>" << "";
    QTest::newRow("server --version") << server << QStringList{"--version"} << 0 << "velmora-server 1.12" << "";
    QTest::newRow("server --bogus") << server << QStringList{"verifica", "--bogus"} << 2 << "" << unknown;
    QTest::newRow("server, no command") << server << QStringList{"--server", line} << 2 << ""
                                        << "Manca l'argomento <comando>.";
    QTest::newRow("server, unknown command") << server << QStringList{"--server", line, "cancella"} << 2 << ""
                                             << "Comando sconosciuto: cancella";
    QTest::newRow("server importa, no folder") << server << QStringList{"--server", line, "importa"} << 2 << "" << missing;
    QTest::newRow("server esporta, no folder") << server << QStringList{"--server", line, "esporta"} << 2 << "" << missing;
    QTest::newRow("server verifica and a folder") << server << QStringList{"--server", line, "verifica", "db"} << 2 << ""
                                                  << "Argomento in più: db";
    QTest::newRow("server, no line") << server << QStringList{"verifica"} << 2 << ""
                                     << "Manca la riga di collegamento al server: --server o VELMORA_SERVER.";
    QTest::newRow("server, a line it cannot read") << server << QStringList{"--server", "host=x colore=blu", "verifica"}
                                                   << 2 << "" << "colore";
    QTest::newRow("bench --folder without --sizes") << bench << QStringList{"--folder", "1m=db"} << 2 << ""
                                                    << "--folder vale solo con --sizes.";
}

// A server that does not answer: said in Italian with the cause, status 1,
// nothing written.
void TestTools::serverUnreachable()
{
    QTemporaryDir folder;
    const Run r = run(tool(VELMORA_SERVER_TOOL),
                      {QStringLiteral("--server"), QStringLiteral("host=%1 dbname=velmora").arg(folder.path()),
                       QStringLiteral("verifica")},
                      folder.path());
    QCOMPARE(r.exitCode, 1);
    QVERIFY2(r.out.contains(QStringLiteral("velmora")) && r.out.contains(folder.path()), qPrintable(r.out));
    QVERIFY2(!r.out.contains(QStringLiteral("risponde.")), qPrintable(r.out));
    const Run e = run(tool(VELMORA_SERVER_TOOL),
                      {QStringLiteral("--server"), QStringLiteral("host=%1 dbname=velmora").arg(folder.path()),
                       QStringLiteral("esporta"), QStringLiteral("db")},
                      folder.path());
    QCOMPARE(e.exitCode, 1);
    QVERIFY2(!QFileInfo::exists(folder.filePath(QStringLiteral("db"))), "no folder left behind");
    QVERIFY(QDir(folder.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden).isEmpty());
}

void TestTools::commandLine()
{
    QFETCH(QString, program);
    QFETCH(QStringList, arguments);
    QFETCH(int, exitCode);
    QFETCH(QString, out);
    QFETCH(QString, err);

    QTemporaryDir folder;
    QVERIFY(folder.isValid());
    const Run r = run(program, arguments, folder.path());
    QCOMPARE(r.exitCode, exitCode);
    QVERIFY2(r.out.contains(out), qPrintable(r.out));
    QVERIFY2(r.err.contains(err), qPrintable(r.err));
    // Help on stdout when asked for, with the error on stderr when not.
    const QString usage = QStringLiteral("Mostra questo aiuto ed esce.");
    if (exitCode == 0)
        QVERIFY2(arguments.contains(QLatin1String("--version")) || r.out.contains(usage), qPrintable(r.out));
    else
        QVERIFY2(r.err.contains(usage), qPrintable(r.err));
    // None of these lays, writes or generates anything.
    const QStringList left = QDir(folder.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden);
    QVERIFY2(left.isEmpty(), qPrintable(left.join(QStringLiteral(", "))));
}

void TestTools::gendataShapeAndProgress_data()
{
    QTest::addColumn<QString>("phases");
    QTest::addColumn<QString>("counts"); // the summary line's counts
    QTest::addColumn<QString>("last");   // the last progress line

    // Ten evaluations a child, up to 100 children a nursery: a bigger folder
    // has more children and nurseries, not more evaluations per child.
    QTest::newRow("10 evaluations, 1 child") << "500" << "nidi 1, educatrici 4, bambini 1, valutazioni 10,"
                                             << "Scrivo fasi: 500 di 500 (100%)";
    QTest::newRow("200 evaluations, 20 children") << "10000" << "nidi 1, educatrici 4, bambini 20, valutazioni 200,"
                                                  << "Scrivo fasi: 10.000 di 10.000 (100%)";
    QTest::newRow("1 evaluation") << "1" << "nidi 1, educatrici 4, bambini 1, valutazioni 1,"
                                  << "Scrivo fasi: 50 di 50 (100%)";
}

void TestTools::gendataShapeAndProgress()
{
    QFETCH(QString, phases);
    QFETCH(QString, counts);
    QFETCH(QString, last);

    QTemporaryDir folder;
    QVERIFY(folder.isValid());
    const Run r = run(tool(VELMORA_GENDATA), {QStringLiteral("db"), QStringLiteral("--phases"), phases}, folder.path());
    QCOMPARE(r.exitCode, 0);
    QVERIFY2(r.out.contains(counts), qPrintable(r.out));
    // Progress on stderr: the first step, then the phases up to the end.
    const QStringList lines = r.err.trimmed().split(QLatin1Char('\n'));
    QVERIFY2(lines.size() >= 2, qPrintable(r.err));
    QVERIFY2(lines.first().startsWith(QLatin1String("Scrivo nidi")), qPrintable(r.err));
    QCOMPARE(lines.last().trimmed(), last);
}

void TestTools::installLays_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<bool>("attendance"); // the children table has the Frequenza column

    QTest::newRow("current") << QStringList{"db"} << true;
    QTest::newRow("older, after the folder") << QStringList{"db", "--older"} << false;
    QTest::newRow("older, before the folder") << QStringList{"--older", "db"} << false;
}

void TestTools::installLays()
{
    QFETCH(QStringList, arguments);
    QFETCH(bool, attendance);

    QTemporaryDir folder;
    QVERIFY(folder.isValid());
    const Run r = run(tool(VELMORA_INSTALL), arguments, folder.path());
    QCOMPARE(r.exitCode, 0);
    QVERIFY2(r.out.contains(QLatin1String("Cartella dati creata: db")), qPrintable(r.out + r.err));
    const QString children = folder.filePath(QStringLiteral("db/AnagBimbi.DB"));
    QVERIFY(QFileInfo::exists(children));
    const QStringList columns = columnsOf(children, QStringLiteral("AnagBimbi"));
    QVERIFY(columns.contains(QLatin1String("Cognome")));
    QCOMPARE(columns.contains(QLatin1String("Frequenza")), attendance);
    QCOMPARE(QDir(folder.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), QStringList{"db"});
}

QTEST_GUILESS_MAIN(TestTools)
#include "test_tools.moc"
