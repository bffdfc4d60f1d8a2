// The check of a data folder at start-up: each of the eight files there, a
// sound SQLite database holding its table and fields, and the folder
// writable. Damage is told apart from the older layout the upgrade mends,
// and from a file another program holds for a moment.

#include "foldercheck.h"
#include "storefixture.h"
#include "upgrade.h"

#include <QDir>
#include <QTemporaryFile>
#include <QTest>

using namespace velmora::store;
using namespace storetest;

Q_DECLARE_METATYPE(velmora::store::FolderProblem::Kind)
Q_DECLARE_METATYPE(velmora::store::Layout)

namespace {

// Runs statements on a file through a connection of its own.
void onFile(const QString& path, const QStringList& statements)
{
    const QString name = QStringLiteral("test_foldercheck_raw");
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        db.setDatabaseName(path);
        if (!db.open())
            qFatal("cannot open %s", qPrintable(path));
        for (const QString& sql : statements)
            exec(db, sql);
        db.close();
    }
    QSqlDatabase::removeDatabase(name);
}

// Damages one file of a closed folder in the way `fault` says.
void damage(const QString& folderPath, const QString& file, const QString& fault)
{
    const QString path = QDir(folderPath).filePath(file);
    if (fault == QLatin1String("missing")) {
        QFile::remove(path);
    } else if (fault == QLatin1String("empty")) {
        QFile f(path);
        f.open(QIODevice::WriteOnly | QIODevice::Truncate);
    } else if (fault == QLatin1String("garbage")) {
        overwriteFile(path, 0, QByteArray(1000, 'x'));
    } else if (fault == QLatin1String("malformed")) {
        // Page 2 is the root of the table, laid first after the schema.
        overwriteFile(path, 4096, QByteArray(4096, '\xff'));
    } else if (fault == QLatin1String("another table")) {
        QFile::remove(path);
        onFile(path, {QStringLiteral("CREATE TABLE Altro (x)")});
    } else if (fault == QLatin1String("field dropped")) {
        onFile(path, {QStringLiteral("ALTER TABLE AnagEdu DROP COLUMN Password")});
    } else if (fault == QLatin1String("folder in its place")) {
        QFile::remove(path);
        QDir().mkdir(path);
    } else {
        qFatal("unknown fault %s", qPrintable(fault));
    }
}

// Forty phases, so that the phases table spans pages past its schema.
void layPhases(Folder& f)
{
    QList<QVariantList> phases;
    for (int i = 1; i <= 40; ++i)
        phases << QVariantList{1, 1, i, QStringLiteral("-01")};
    bulk(f.folder(), QStringLiteral("FasiVal.db"),
         QStringLiteral("INSERT INTO FasiVal (Id_Valutazione, Id_Area, NumFase, Si) VALUES (?, ?, ?, ?)"), phases);
    f->closeAll();
}

QString firstLine(const QString& s) { return s.section(QLatin1Char('\n'), 0, 0); }
QString detailOf(const QString& s) { return s.section(QStringLiteral("\nDettaglio: "), 1); }

} // namespace

class TestFolderCheck : public QObject
{
    Q_OBJECT

private slots:
    void soundFolder_data();
    void soundFolder();
    void damagedFile_data();
    void damagedFile();
    void damagedChildrenTableIsNoOlderLayout_data();
    void damagedChildrenTableIsNoOlderLayout();
    void schemaCheckReadsNoPages();
    void fileHeldByAnotherProgram();
    void missingFolder();
    void readOnlyFolder();
};

void TestFolderCheck::soundFolder_data()
{
    QTest::addColumn<Layout>("layout");
    QTest::newRow("current layout") << Layout::Current;
    QTest::newRow("older layout, before the upgrade") << Layout::Older;
}

void TestFolderCheck::soundFolder()
{
    QFETCH(Layout, layout);
    Folder f(layout);
    {
        auto t = f.table(QStringLiteral("FasiVal.db"));
        t->open();
        addRow(*t, {{"Id_Valutazione", 1}, {"Id_Area", 1}, {"NumFase", 1}});
    }
    const QList<FolderProblem> problems = checkDataFolder(f.folder());
    QStringList messages;
    for (const FolderProblem& p : problems)
        messages << p.message;
    QCOMPARE(messages, QStringList());
    // The check leaves nothing behind in the folder.
    QCOMPARE(QDir(f.path()).entryList(QDir::Files | QDir::Hidden).size(), 8);
}

void TestFolderCheck::damagedFile_data()
{
    QTest::addColumn<QStringList>("faults"); // "file:fault"
    QTest::addColumn<QStringList>("files");  // the files reported, in schema order
    QTest::addColumn<FolderProblem::Kind>("kind");
    QTest::addColumn<QString>("message");    // first line of the first problem
    QTest::addColumn<QString>("detail");     // a part of its detail

    const QString damaged = QStringLiteral(
        "Il file %1 della cartella dati è danneggiato. Rimettere il file da una copia giornaliera o reinstallare la cartella dati.");
    QTest::newRow("missing") << QStringList{"FasiVal.db:missing"} << QStringList{"FasiVal.db"}
        << FolderProblem::Kind::FileMissing
        << "Il file FasiVal.db manca nella cartella dati. Rimettere il file da una copia giornaliera o reinstallare la cartella dati."
        << "";
    QTest::newRow("zero length") << QStringList{"FasiVal.db:empty"} << QStringList{"FasiVal.db"}
        << FolderProblem::Kind::Damaged << damaged.arg("FasiVal.db") << "il file è vuoto";
    QTest::newRow("not a database") << QStringList{"Valutaz.db:garbage"} << QStringList{"Valutaz.db"}
        << FolderProblem::Kind::Damaged << damaged.arg("Valutaz.db") << "il file non è un database";
    QTest::newRow("table pages overwritten") << QStringList{"FasiVal.db:malformed"} << QStringList{"FasiVal.db"}
        << FolderProblem::Kind::Damaged << damaged.arg("FasiVal.db") << "danneggiat";
    QTest::newRow("another table") << QStringList{"Ruoli.db:another table"} << QStringList{"Ruoli.db"}
        << FolderProblem::Kind::Damaged << damaged.arg("Ruoli.db") << "manca la tabella Ruoli";
    QTest::newRow("a field dropped") << QStringList{"AnagEdu.db:field dropped"} << QStringList{"AnagEdu.db"}
        << FolderProblem::Kind::Damaged << damaged.arg("AnagEdu.db") << "nella tabella AnagEdu manca il campo Password";
    QTest::newRow("a folder in its place") << QStringList{"Aree.db:folder in its place"} << QStringList{"Aree.db"}
        << FolderProblem::Kind::Damaged << damaged.arg("Aree.db") << "cartella";
    QTest::newRow("two files") << QStringList{"FasiVal.db:garbage", "AnagNido.db:missing"}
        << QStringList{"AnagNido.db", "FasiVal.db"} << FolderProblem::Kind::FileMissing
        << "Il file AnagNido.db manca nella cartella dati. Rimettere il file da una copia giornaliera o reinstallare la cartella dati."
        << "";
}

void TestFolderCheck::damagedFile()
{
    QFETCH(QStringList, faults);
    QFETCH(QStringList, files);
    QFETCH(FolderProblem::Kind, kind);
    QFETCH(QString, message);
    QFETCH(QString, detail);

    Folder f;
    layPhases(f);
    for (const QString& fault : faults)
        damage(f.path(), fault.section(QLatin1Char(':'), 0, 0), fault.section(QLatin1Char(':'), 1));

    const QList<FolderProblem> problems = checkDataFolder(f.folder());
    QStringList reported;
    for (const FolderProblem& p : problems)
        reported << p.fileName;
    QCOMPARE(reported, files);
    QCOMPARE(problems.first().kind, kind);
    QCOMPARE(firstLine(problems.first().message), message);
    QVERIFY2(detailOf(problems.first().message).contains(detail), qPrintable(problems.first().message));
}

void TestFolderCheck::damagedChildrenTableIsNoOlderLayout_data()
{
    QTest::addColumn<QString>("fault");
    QTest::newRow("zero length") << "empty";
    QTest::newRow("not a database") << "garbage";
    QTest::newRow("another table") << "another table";
}

// An empty or damaged children file, in a folder of either layout, is
// damage: the check says so, and the upgrade neither warns nor touches it.
void TestFolderCheck::damagedChildrenTableIsNoOlderLayout()
{
    QFETCH(QString, fault);
    for (Layout layout : {Layout::Current, Layout::Older}) {
        Folder f(layout);
        f->closeAll();
        damage(f.path(), QStringLiteral("AnagBimbi.DB"), fault);
        const QByteArray before = [&] {
            QFile in(QDir(f.path()).filePath(QStringLiteral("AnagBimbi.DB")));
            in.open(QIODevice::ReadOnly);
            return in.readAll();
        }();

        const QList<FolderProblem> problems = checkDataFolder(f.folder());
        QCOMPARE(problems.size(), 1);
        QCOMPARE(problems.first().fileName, QStringLiteral("AnagBimbi.DB"));
        QCOMPARE(problems.first().kind, FolderProblem::Kind::Damaged);

        QStringList warnings;
        AggiornaSchema(f.folder(), [&](const QString& text) { warnings << text; });
        QCOMPARE(warnings, QStringList());
        f->closeAll();
        QFile after(QDir(f.path()).filePath(QStringLiteral("AnagBimbi.DB")));
        QVERIFY(after.open(QIODevice::ReadOnly));
        QCOMPARE(after.readAll(), before);
    }
}

// A file another program holds cannot be checked now: it is reported as such,
// not as damage.
// The start-up's check reads schemas only, a moment for any size of file;
// pages overwritten behind the schema are found by the reading of every page.
void TestFolderCheck::schemaCheckReadsNoPages()
{
    Folder f;
    layPhases(f);
    damage(f.path(), QStringLiteral("FasiVal.db"), QStringLiteral("malformed"));
    QVERIFY(checkDataFolder(f.folder(), CheckDepth::Schema).isEmpty());
    const QList<FolderProblem> problems = checkDataFolder(f.folder(), CheckDepth::Pages);
    QCOMPARE(problems.size(), 1);
    QCOMPARE(problems.first().fileName, QStringLiteral("FasiVal.db"));
    QCOMPARE(problems.first().kind, FolderProblem::Kind::Damaged);
    // What the start-up does find at once: a file that is no database.
    damage(f.path(), QStringLiteral("Valutaz.db"), QStringLiteral("garbage"));
    const QList<FolderProblem> atStart = checkDataFolder(f.folder(), CheckDepth::Schema);
    QCOMPARE(atStart.size(), 1);
    QCOMPARE(atStart.first().fileName, QStringLiteral("Valutaz.db"));
}

void TestFolderCheck::fileHeldByAnotherProgram()
{
    Folder f;
    f->setBusyTimeout(0);
    const QString name = QStringLiteral("test_foldercheck_holder");
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        db.setDatabaseName(f->filePath(QStringLiteral("Ruoli.db")));
        QVERIFY(db.open());
        exec(db, QStringLiteral("BEGIN EXCLUSIVE"));
        const QList<FolderProblem> problems = checkDataFolder(f.folder());
        exec(db, QStringLiteral("ROLLBACK"));
        db.close();
        QCOMPARE(problems.size(), 1);
        QCOMPARE(problems.first().fileName, QStringLiteral("Ruoli.db"));
        QCOMPARE(problems.first().kind, FolderProblem::Kind::Unreadable);
        QCOMPARE(firstLine(problems.first().message),
                 QStringLiteral("Il file Ruoli.db è bloccato da un altro programma. Riprovare tra qualche istante."));
    }
    QSqlDatabase::removeDatabase(name);
    QVERIFY(checkDataFolder(f.folder()).isEmpty());
}

void TestFolderCheck::missingFolder()
{
    QTemporaryDir tmp;
    DataFolder df(tmp.filePath(QStringLiteral("db")));
    const QList<FolderProblem> problems = checkDataFolder(df);
    QCOMPARE(problems.size(), 1);
    QCOMPARE(problems.first().kind, FolderProblem::Kind::FolderMissing);
    QCOMPARE(problems.first().message,
             QStringLiteral("La cartella dati \"%1\" non esiste. Reinstallare la cartella dati o rimetterla da una copia giornaliera.")
                 .arg(QDir::toNativeSeparators(df.path())));
}

// A folder that cannot be written is a problem of its own, not damage.
// Permissions stop nobody running as root: then there is nothing to see.
void TestFolderCheck::readOnlyFolder()
{
    Folder f;
    f->closeAll();
    const QFile::Permissions before = QFile::permissions(f.path());
    QVERIFY(QFile::setPermissions(f.path(), QFile::ReadOwner | QFile::ExeOwner));
    if (QTemporaryFile(f.path() + QStringLiteral("/probe-XXXXXX")).open()) {
        QFile::setPermissions(f.path(), before);
        QSKIP("file permissions do not apply to this user");
    }
    const QString file = f->filePath(QStringLiteral("Aree.db"));
    const QFile::Permissions filePermissions = QFile::permissions(file);
    QFile::setPermissions(file, QFile::ReadOwner);
    const QList<FolderProblem> problems = checkDataFolder(f.folder());
    QFile::setPermissions(file, filePermissions);
    QFile::setPermissions(f.path(), before);

    QCOMPARE(problems.size(), 2);
    QCOMPARE(problems[0].kind, FolderProblem::Kind::FolderReadOnly);
    QCOMPARE(problems[0].fileName, QString());
    QVERIFY(problems[0].message.contains(QStringLiteral("è in sola lettura")));
    QCOMPARE(problems[1].kind, FolderProblem::Kind::FileReadOnly);
    QCOMPARE(problems[1].fileName, QStringLiteral("Aree.db"));
    QVERIFY(problems[1].message.startsWith(QStringLiteral("Il file Aree.db della cartella dati è in sola lettura")));
}

QTEST_GUILESS_MAIN(TestFolderCheck)
#include "test_foldercheck.moc"
