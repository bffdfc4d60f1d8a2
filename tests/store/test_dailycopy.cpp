// The daily copy of the data: made once a day with the records posted so
// far, the newest ten kept, a copy that fails dropped whole, its files with
// the folder's group and shared mode whatever the umask; and a damaged table
// file put back from the newest copy that holds a sound one (or from the one
// chosen), the damaged file kept aside, the restored one with the mode of
// its neighbours.

#include "dailycopy.h"
#include "foldercheck.h"
#include "storefixture.h"

#include <QDir>
#include <QFileInfo>
#include <QSqlError>
#include <QSqlQuery>
#include <QTest>

#include <sys/stat.h>

using namespace velmora::store;
using namespace storetest;

namespace {

QDateTime at(int day, int hour, int minute = 0)
{
    return QDateTime(QDate(2026, 12, day), QTime(hour, minute));
}

// Appends phases numbered `from`..`to` to evaluation 1.
void addPhases(DataFolder& df, int from, int to)
{
    QList<QVariantList> rows;
    for (int i = from; i <= to; ++i)
        rows << QVariantList{1, 1, i, QStringLiteral("-01-02")};
    bulk(df, QStringLiteral("FasiVal.db"),
         QStringLiteral("INSERT INTO FasiVal (Id_Valutazione, Id_Area, NumFase, Si) VALUES (?, ?, ?, ?)"), rows);
}

QStringList phasesIn(const QString& folder)
{
    return readColumn(folder, QStringLiteral("FasiVal.db"), QStringLiteral("FasiVal"), QStringLiteral("NumFase"));
}

// A journal of a transaction on `path` caught in the middle, as a crash
// leaves it: SQLite plays such a journal back into the file on first use.
QByteArray journalInTheMiddle(const QString& path)
{
    const QString name = QStringLiteral("test_dailycopy_journal");
    QByteArray journal;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        db.setDatabaseName(path);
        if (!db.open())
            qFatal("cannot open %s", qPrintable(path));
        // A cache of a few pages spills the change into the file before the
        // commit, so the journal holds pages to play back.
        exec(db, QStringLiteral("PRAGMA cache_size=2"));
        exec(db, QStringLiteral("BEGIN"));
        exec(db, QStringLiteral("UPDATE FasiVal SET No = hex(randomblob(3000))"));
        QFile in(path + QStringLiteral("-journal"));
        if (!in.open(QIODevice::ReadOnly))
            qFatal("no journal beside %s", qPrintable(path));
        journal = in.readAll();
        exec(db, QStringLiteral("ROLLBACK"));
        db.close();
    }
    QSqlDatabase::removeDatabase(name);
    return journal;
}

int modeOf(const QString& path)
{
    struct stat st;
    return ::stat(QFile::encodeName(path).constData(), &st) == 0 ? int(st.st_mode & 07777) : -1;
}

QByteArray bytesOf(const QString& path)
{
    QFile in(path);
    return in.open(QIODevice::ReadOnly) ? in.readAll() : QByteArray("<none>");
}

QStringList numbers(int from, int to)
{
    QStringList out;
    for (int i = from; i <= to; ++i)
        out << QString::number(i);
    return out;
}

} // namespace

class TestDailyCopy : public QObject
{
    Q_OBJECT

private slots:
    void postsGoOnWhileCopying_data();
    void postsGoOnWhileCopying();
    void madeOncePerDay();
    void keepsTheNewest_data();
    void keepsTheNewest();
    void failedCopyIsDroppedWhole();
    void damagedFileIsPutBack_data();
    void damagedFileIsPutBack();
    void damagedCopiesArePassedOver();
    void fullerOlderCopyIsOffered();
    void copiesTakeTheFolderMode();
    void noSoundCopy();
};

void TestDailyCopy::postsGoOnWhileCopying_data()
{
    QTest::addColumn<bool>("otherProgram"); // the posts come from another connection to the file
    QTest::newRow("the program's own posts") << false;
    QTest::newRow("another program's posts") << true;
}

// The copy is made a slice at a time and holds no file between slices: a
// post made between two steps goes through at once, even for a writer that
// does not wait at all, and the copy holds it. The program's own posts go
// through its own connection and are carried into the copy under way, which
// therefore never starts again.
void TestDailyCopy::postsGoOnWhileCopying()
{
    QFETCH(bool, otherProgram);
    Folder f;
    const QString root = f.parentPath() + QStringLiteral("/copie");
    // Some megabytes of phases, so that the copy of the file takes many slices.
    QList<QVariantList> rows;
    const QString lists = QStringLiteral("-01-02-03-04-05-06-07-08-09-10-11").repeated(8);
    for (int i = 1; i <= 12000; ++i)
        rows << QVariantList{1 + i / 50, 1, i, lists};
    bulk(f.folder(), QStringLiteral("FasiVal.db"),
         QStringLiteral("INSERT INTO FasiVal (Id_Valutazione, Id_Area, NumFase, Si) VALUES (?, ?, ?, ?)"), rows);
    const qint64 pages = QFileInfo(f->filePath(QStringLiteral("FasiVal.db"))).size() / 4096;
    QVERIFY2(pages > 900, qPrintable(QString::number(pages)));

    auto t = f.table(QStringLiteral("FasiVal.db"));
    t->open();
    const QString other = QStringLiteral("test_dailycopy_other");
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), other);
        db.setDatabaseName(f->filePath(QStringLiteral("FasiVal.db")));
        db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=0"));
        QVERIFY(db.open());
    }
    int steps = 0;
    int posts = 0;
    {
        DailyCopy copy(f.folder(), root, at(10, 9));
        for (bool done = false; !done; ++steps) {
            done = copy.step();
            const QString value = QStringLiteral("-%1").arg(++posts);
            if (otherProgram) {
                QSqlQuery q(QSqlDatabase::database(other));
                QVERIFY2(q.exec(QStringLiteral("UPDATE FasiVal SET No = '%1' WHERE Id = 7").arg(value)),
                         qPrintable(q.lastError().text()));
            } else {
                QVERIFY(t->locate(QStringLiteral("Id"), 7));
                t->edit();
                t->setValue(QStringLiteral("No"), value);
                t->post();
            }
            QVERIFY(steps < 10000);
        }
        // The last post came after the last slice: the copy holds the one before.
        --posts;
        QCOMPARE(copy.finish(), QString());
    }
    QSqlDatabase::removeDatabase(other);
    const QString copy = root + QStringLiteral("/2026-12-10_0900");
    QCOMPARE(readColumn(copy, QStringLiteral("FasiVal.db"), QStringLiteral("FasiVal"), QStringLiteral("No"),
                        QStringLiteral("Id = 7")),
             QStringList{QStringLiteral("-%1").arg(posts)});
    QVERIFY(checkDataFolder(DataFolder(copy)).isEmpty());
    // Without restarts, about one step per slice of 256 pages (one more per file).
    if (!otherProgram)
        QVERIFY2(steps <= pages / 256 + 16, qPrintable(QStringLiteral("%1 steps for %2 pages").arg(steps).arg(pages)));
}

void TestDailyCopy::madeOncePerDay()
{
    Folder f;
    const QString root = f.parentPath() + QStringLiteral("/copie");
    addPhases(f.folder(), 1, 30);
    // A table object of the program has the file open meanwhile.
    auto t = f.table(QStringLiteral("FasiVal.db"));
    t->open();

    QCOMPARE(copiaGiornaliera(f.folder(), root, at(10, 15, 30)), QString());
    QCOMPARE(copieGiornaliere(root), QStringList{"2026-12-10_1530"});
    const QString copy = root + QStringLiteral("/2026-12-10_1530");
    QStringList files = QDir(copy).entryList(QDir::Files | QDir::Hidden);
    files.sort();
    QCOMPARE(files, (QStringList{"AnagBimbi.DB", "AnagEdu.db", "AnagNido.db", "Aree.db", "FasiVal.db", "Personale.db",
                                 "Ruoli.db", "Valutaz.db"}));
    QCOMPARE(phasesIn(copy), numbers(1, 30));
    QVERIFY(checkDataFolder(DataFolder(copy)).isEmpty());
    // Nothing else is left under the root.
    QCOMPARE(QDir(root).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot), QStringList{"2026-12-10_1530"});

    // Later the same day: nothing is made, whatever was posted since.
    addRow(*t, {{"Id_Valutazione", 1}, {"Id_Area", 1}, {"NumFase", 31}});
    QCOMPARE(copiaGiornaliera(f.folder(), root, at(10, 23, 59)), QString());
    QCOMPARE(copieGiornaliere(root), QStringList{"2026-12-10_1530"});
    QCOMPARE(phasesIn(copy), numbers(1, 30));

    // The next morning, a new copy with the new record.
    QCOMPARE(copiaGiornaliera(f.folder(), root, at(11, 8, 5)), QString());
    QCOMPARE(copieGiornaliere(root), (QStringList{"2026-12-11_0805", "2026-12-10_1530"}));
    QCOMPARE(phasesIn(root + QStringLiteral("/2026-12-11_0805")), numbers(1, 31));
}

void TestDailyCopy::keepsTheNewest_data()
{
    QTest::addColumn<int>("days");
    QTest::addColumn<int>("keep");
    QTest::addColumn<int>("kept");
    QTest::newRow("twelve days, ten kept") << 12 << 10 << 10;
    QTest::newRow("three days, ten kept") << 3 << 10 << 3;
    QTest::newRow("keep none means the new one") << 3 << 0 << 1;
}

void TestDailyCopy::keepsTheNewest()
{
    QFETCH(int, days);
    QFETCH(int, keep);
    QFETCH(int, kept);

    Folder f;
    const QString root = f.parentPath() + QStringLiteral("/copie");
    // A folder of the user's under the root is never touched.
    QVERIFY(QDir().mkpath(root + QStringLiteral("/appunti")));
    for (int day = 1; day <= days; ++day)
        QCOMPARE(copiaGiornaliera(f.folder(), root, at(day, 9), keep), QString());

    QStringList expected;
    for (int day = days; day > days - kept; --day)
        expected << at(day, 9).toString(QStringLiteral("yyyy-MM-dd_HHmm"));
    QCOMPARE(copieGiornaliere(root), expected);
    QVERIFY(QFileInfo(root + QStringLiteral("/appunti")).isDir());
}

// A copy that fails on one file is dropped whole, and the older copies stay:
// a damaged file must not push the last sound copies out.
void TestDailyCopy::failedCopyIsDroppedWhole()
{
    Folder f;
    const QString root = f.parentPath() + QStringLiteral("/copie");
    QCOMPARE(copiaGiornaliera(f.folder(), root, at(1, 9), 1), QString());
    f->closeAll();
    overwriteFile(f->filePath(QStringLiteral("Personale.db")), 0, QByteArray(2048, 'x'));

    const QString message = copiaGiornaliera(f.folder(), root, at(2, 9), 1);
    QCOMPARE(message.section(QLatin1Char('\n'), 0, 0),
             QStringLiteral("Copia giornaliera dei dati non riuscita (file Personale.db): "
                            "Il file Personale.db della cartella dati è danneggiato: non è un database leggibile."));
    QCOMPARE(copieGiornaliere(root), QStringList{"2026-12-01_0900"});
    QCOMPARE(QDir(root).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot), QStringList{"2026-12-01_0900"});
}

void TestDailyCopy::damagedFileIsPutBack_data()
{
    QTest::addColumn<QString>("fault");
    QTest::newRow("not a database") << "garbage";
    QTest::newRow("zero length") << "empty";
    QTest::newRow("missing") << "missing";
    QTest::newRow("missing, its journal left") << "journal";
}

// The file comes back with the records of the copy; the rest of the folder
// is left as it is.
void TestDailyCopy::damagedFileIsPutBack()
{
    QFETCH(QString, fault);

    Folder f;
    const QString root = f.parentPath() + QStringLiteral("/copie");
    addPhases(f.folder(), 1, 20);
    {
        auto t = f.table(QStringLiteral("Ruoli.db"));
        t->open();
        addRow(*t, {{"Ruolo", QStringLiteral("Cuoca")}});
    }
    QCOMPARE(copiaGiornaliera(f.folder(), root, at(9, 9)), QString());
    // Posted after the copy: what a restore loses.
    addPhases(f.folder(), 21, 25);
    QCOMPARE(copiaGiornaliera(f.folder(), root, at(10, 9)), QString());
    addPhases(f.folder(), 26, 27);
    f->closeAll();

    const QString file = f->filePath(QStringLiteral("FasiVal.db"));
    const QByteArray journal = fault == QLatin1String("journal") ? journalInTheMiddle(file) : QByteArray();
    // The table files' own mode, which the restored file must take (not its
    // temporary file's 0600).
    for (const QString& name : QDir(f.path()).entryList(QDir::Files))
        QVERIFY(::chmod(QFile::encodeName(QDir(f.path()).filePath(name)).constData(), 0640) == 0);
    if (fault == QLatin1String("garbage")) {
        overwriteFile(file, 0, QByteArray(4096, 'x'));
    } else if (fault == QLatin1String("empty")) {
        QFile out(file);
        QVERIFY(out.open(QIODevice::WriteOnly | QIODevice::Truncate));
    } else if (fault == QLatin1String("missing")) {
        QVERIFY(QFile::remove(file));
    } else {
        // Lost after a crash in the middle of a change, its journal left
        // behind: played into the restored file, it would damage that one.
        QVERIFY(QFile::remove(file));
        overwriteFile(file + QStringLiteral("-journal"), 0, journal);
    }
    QCOMPARE(checkDataFolder(f.folder()).size(), 1);

    // A table of the program had the damaged file's connection open.
    try {
        f->connection(QStringLiteral("FasiVal.db"));
    } catch (const DbError&) {
    }
    const QByteArray damagedBytes = QFileInfo::exists(file) ? bytesOf(file) : QByteArray();
    QString from;
    QString aside;
    QCOMPARE(ripristinaDaCopia(f.folder(), root, QStringLiteral("fasival.db"), &from, QString(), &aside,
                               at(11, 8, 12)),
             QString());
    QCOMPARE(from, QStringLiteral("2026-12-10_0900"));
    // Only the eight files are there: no temporary file, no journal.
    QCOMPARE(QDir(f.path()).entryList(QDir::Files | QDir::Hidden).size(), 8);
    QCOMPARE(modeOf(file), 0640);
    // What was replaced is kept aside, never deleted: the damaged file, and
    // the journal left beside it.
    QStringList kept;
    if (fault == QLatin1String("garbage") || fault == QLatin1String("empty"))
        kept << QStringLiteral("FasiVal.db");
    if (fault == QLatin1String("journal"))
        kept << QStringLiteral("FasiVal.db-journal");
    QCOMPARE(aside, kept.isEmpty() ? QString() : root + QStringLiteral("/danneggiati/2026-12-11_081200"));
    if (!kept.isEmpty())
        QCOMPARE(QDir(aside).entryList(QDir::Files | QDir::Hidden), kept);
    if (fault == QLatin1String("garbage") || fault == QLatin1String("empty"))
        QCOMPARE(bytesOf(aside + QStringLiteral("/FasiVal.db")), damagedBytes);
    if (fault == QLatin1String("journal"))
        QCOMPARE(bytesOf(aside + QStringLiteral("/FasiVal.db-journal")), journal);
    // The kept files are no daily copy.
    QCOMPARE(copieGiornaliere(root), (QStringList{"2026-12-10_0900", "2026-12-09_0900"}));
    QVERIFY(checkDataFolder(f.folder()).isEmpty());
    QCOMPARE(phasesIn(f.path()), numbers(1, 25));
    QCOMPARE(readColumn(f.path(), QStringLiteral("FasiVal.db"), QStringLiteral("FasiVal"), QStringLiteral("No")),
             QStringList(25, QStringLiteral("<null>")));
    QCOMPARE(readColumn(f.path(), QStringLiteral("Ruoli.db"), QStringLiteral("Ruoli"), QStringLiteral("Ruolo")).last(),
             QStringLiteral("Cuoca"));

    // The table layer works on it as before.
    auto t = f.table(QStringLiteral("FasiVal.db"));
    t->open();
    QCOMPARE(t->recordCount(), 25);
    addRow(*t, {{"Id_Valutazione", 1}, {"Id_Area", 1}, {"NumFase", 26}});
    QCOMPARE(phasesIn(f.path()), numbers(1, 26));
}

// A copy whose file is damaged too is passed over for an older sound one.
void TestDailyCopy::damagedCopiesArePassedOver()
{
    Folder f;
    const QString root = f.parentPath() + QStringLiteral("/copie");
    addPhases(f.folder(), 1, 5);
    QCOMPARE(copiaGiornaliera(f.folder(), root, at(1, 9)), QString());
    addPhases(f.folder(), 6, 8);
    QCOMPARE(copiaGiornaliera(f.folder(), root, at(2, 9)), QString());
    QCOMPARE(copiaGiornaliera(f.folder(), root, at(3, 9)), QString());
    f->closeAll();
    overwriteFile(root + QStringLiteral("/2026-12-03_0900/FasiVal.db"), 0, QByteArray(100, 'x'));
    QFile::remove(root + QStringLiteral("/2026-12-02_0900/FasiVal.db"));
    overwriteFile(f->filePath(QStringLiteral("FasiVal.db")), 0, QByteArray(100, 'x'));

    QString from;
    QCOMPARE(ripristinaDaCopia(f.folder(), root, QStringLiteral("FasiVal.db"), &from), QString());
    QCOMPARE(from, QStringLiteral("2026-12-01_0900"));
    QCOMPARE(phasesIn(f.path()), numbers(1, 5));
}

// A newest copy that holds less of the file than an older one (taken before
// the data was entered again, after rows were lost) is not the only one
// offered: the fuller older copy is found, and the one chosen is used.
void TestDailyCopy::fullerOlderCopyIsOffered()
{
    Folder f;
    const QString root = f.parentPath() + QStringLiteral("/copie");
    addPhases(f.folder(), 1, 20);
    QCOMPARE(copiaGiornaliera(f.folder(), root, at(8, 17, 40)), QString());
    addPhases(f.folder(), 21, 22);
    QCOMPARE(copiaGiornaliera(f.folder(), root, at(9, 8, 5)), QString());
    bulk(f.folder(), QStringLiteral("FasiVal.db"), QStringLiteral("DELETE FROM FasiVal WHERE NumFase > ?"), {{3}});
    QCOMPARE(copiaGiornaliera(f.folder(), root, at(10, 8, 12)), QString());
    f->closeAll();

    const QList<CopiaSana> copies = copieSane(root, QStringLiteral("FasiVal.db"));
    QCOMPARE(copies.size(), 3);
    QCOMPARE(copies[0].nome, QStringLiteral("2026-12-10_0812"));
    QCOMPARE(copies[0].righe, 3);
    QCOMPARE(copies[1].righe, 22);
    QCOMPARE(copies[2].righe, 20);
    QCOMPARE(copiaPiuRicca(copies), 1);
    QCOMPARE(quandoCopia(copies[1].nome), QStringLiteral("le 08:05 del 09/12/2026"));
    // Only the newest, or none fuller than it: nothing else to offer.
    QCOMPARE(copiaPiuRicca(copies.mid(0, 1)), -1);
    QCOMPARE(copiaPiuRicca(copies.mid(1)), -1);

    overwriteFile(f->filePath(QStringLiteral("FasiVal.db")), 0, QByteArray(4096, 'x'));
    QString from;
    QCOMPARE(ripristinaDaCopia(f.folder(), root, QStringLiteral("FasiVal.db"), &from, copies[1].nome), QString());
    QCOMPARE(from, QStringLiteral("2026-12-09_0805"));
    QCOMPARE(phasesIn(f.path()), numbers(1, 22));
    QCOMPARE(ripristinaDaCopia(f.folder(), root, QStringLiteral("FasiVal.db"), &from, QStringLiteral("2026-01-01_0000")),
             QStringLiteral("La copia giornaliera \"2026-01-01_0000\" non contiene un file FasiVal.db integro."));
}

// Under a copies folder private to its group (2770), with a umask that
// would give the group nothing, a copy's folder is 2770 and its files 0660,
// of the folder's group.
void TestDailyCopy::copiesTakeTheFolderMode()
{
    Folder f;
    const QString root = f.parentPath() + QStringLiteral("/copie");
    QVERIFY(QDir().mkpath(root));
    QCOMPARE(::chmod(QFile::encodeName(root).constData(), 02770), 0);
    const mode_t before = ::umask(077);
    const QString made = copiaGiornaliera(f.folder(), root, at(10, 9));
    ::umask(before);
    QCOMPARE(made, QString());
    const QString copy = root + QStringLiteral("/2026-12-10_0900");
    QCOMPARE(modeOf(copy), 02770);
    const QStringList files = QDir(copy).entryList(QDir::Files | QDir::Hidden);
    QCOMPARE(files.size(), 8);
    for (const QString& name : files)
        QVERIFY2(modeOf(QDir(copy).filePath(name)) == 0660, qPrintable(name));
    QCOMPARE(QFileInfo(copy + QStringLiteral("/FasiVal.db")).groupId(), QFileInfo(root).groupId());
}

void TestDailyCopy::noSoundCopy()
{
    Folder f;
    const QString root = f.parentPath() + QStringLiteral("/copie");
    f->closeAll();
    overwriteFile(f->filePath(QStringLiteral("FasiVal.db")), 0, QByteArray(100, 'x'));
    const QByteArray before = [&] {
        QFile in(f->filePath(QStringLiteral("FasiVal.db")));
        in.open(QIODevice::ReadOnly);
        return in.readAll();
    }();
    QCOMPARE(ripristinaDaCopia(f.folder(), root, QStringLiteral("FasiVal.db")),
             QStringLiteral("Nessuna copia giornaliera contiene un file FasiVal.db integro: reinstallare la cartella dati."));
    QCOMPARE(ripristinaDaCopia(f.folder(), root, QStringLiteral("Altro.db")),
             QStringLiteral("\"Altro.db\" non è un file della cartella dati."));
    QFile in(f->filePath(QStringLiteral("FasiVal.db")));
    QVERIFY(in.open(QIODevice::ReadOnly));
    QCOMPARE(in.readAll(), before);
}

QTEST_GUILESS_MAIN(TestDailyCopy)
#include "test_dailycopy.moc"
