// Start-up on a data folder that is damaged, incomplete or in use: the
// program names the file in Italian before it asks for anything, changes no
// sound file, and offers a damaged file back from the daily copy, naming the
// copy and what is lost, keeping the damaged file aside. A file found damaged
// while the program runs (the daily copy's page check, a read that fails in
// a handler or in a data control on its own) is offered back at the next
// start.
#include "access.h"
#include "dailycopy.h"
#include "datanavigator.h"
#include "foldercheck.h"
#include "folderlock.h"
#include "mainwindow.h"
#include "nursery.h"
#include "scenariofixture.h"

#include <QCryptographicHash>
#include <QDirIterator>
#include <QProcess>
#include <QTemporaryDir>

#include <unistd.h>
#include <QFile>
#include <QRandomGenerator>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QTest>
#include <QToolButton>

using namespace velmora;

namespace {

// A sound folder: a nursery with its responsible educator, a child, an
// evaluation of the child and one phase of it.
struct SoundFolder : ScenarioFolder
{
    SoundFolder()
    {
        nursery(QStringLiteral("Il Girasole"));
        educator();
        child({.nome = QStringLiteral("Luca"), .cognome = QStringLiteral("Bassi")});
        evaluation({.date = QDate(), .months = 20});
        phase({.area = 1, .numFase = 3, .si = QStringLiteral("-01-02")});
    }
    QString copies() const { return QDir(path()).filePath(QStringLiteral("copie")); }

    // Every table file's bytes, to show that a refused start wrote nothing.
    QMap<QString, QByteArray> fingerprints() const
    {
        QMap<QString, QByteArray> out;
        for (const QString& f : QDir(db()).entryList(QDir::Files)) {
            if (f.startsWith(QLatin1String("velmora.lock")))
                continue;
            QFile in(QDir(db()).filePath(f));
            if (in.open(QIODevice::ReadOnly))
                out.insert(f, QCryptographicHash::hash(in.readAll(), QCryptographicHash::Sha1));
        }
        return out;
    }
};

void overwrite(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    QVERIFY2(f.open(QIODevice::WriteOnly | QIODevice::Truncate), qPrintable(path));
    f.write(bytes);
}

QByteArray randomBytes(int n)
{
    QByteArray b(n, '\0');
    QRandomGenerator g(42);
    for (char& c : b)
        c = char(g.bounded(256));
    return b;
}

// Drops one stored field from a table file, as an old or foreign file would lack it.
void dropField(const QString& path, const QString& table, const QString& field)
{
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("drop"));
        db.setDatabaseName(path);
        QVERIFY(db.open());
        QSqlQuery q(db);
        QVERIFY2(q.exec(QStringLiteral("ALTER TABLE %1 DROP COLUMN %2").arg(table, field)), qPrintable(q.lastError().text()));
        db.close();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("drop"));
}

} // namespace

class TestSafety : public QObject
{
    Q_OBJECT

private slots:
    void damagedFolderIsNamed_data();
    void damagedFolderIsNamed();
    void secondProgramRefused();
    void lockOfEndedProgramRecovered();
    void dailyCopyMadeOnce();
    void damagedFilePutBackFromCopy();
    void restoreQuestionNamesTheCopy();
    void fullerOlderCopyOffered();
    void damageFoundWhileRunningOfferedAtNextStart_data();
    void damageFoundWhileRunningOfferedAtNextStart();
    void unwritableFolderAdvice();
};

void TestSafety::damagedFolderIsNamed_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<QString>("damage");
    QTest::addColumn<QString>("said"); // what the message must say of the file

    // Each case damages one file of a sound folder with no daily copy yet.
    QTest::newRow("nurseries, random bytes") << "AnagNido.db" << "random" << "danneggiat";
    QTest::newRow("children, random bytes") << "AnagBimbi.DB" << "random" << "danneggiat";
    QTest::newRow("phases, random bytes") << "FasiVal.db" << "random" << "danneggiat";
    QTest::newRow("children, zero length") << "AnagBimbi.DB" << "empty" << "danneggiat";
    QTest::newRow("phases, missing") << "FasiVal.db" << "missing" << "manca";
    QTest::newRow("staff, a field missing") << "Personale.db" << "field" << "danneggiat";
}

void TestSafety::damagedFolderIsNamed()
{
    QFETCH(QString, file);
    QFETCH(QString, damage);
    QFETCH(QString, said);
    SoundFolder p;
    if (damage == QLatin1String("random"))
        overwrite(p.file(file), randomBytes(8192));
    else if (damage == QLatin1String("empty"))
        overwrite(p.file(file), QByteArray());
    else if (damage == QLatin1String("missing"))
        QVERIFY(QFile::remove(p.file(file)));
    else
        dropField(p.file(file), QStringLiteral("Personale"), QStringLiteral("Note"));
    const auto before = p.fingerprints();

    ScriptedDialogs d;
    // One error box before anything else, naming the file in Italian: no
    // false upgrade question, no new-nursery form, no engine text alone.
    QString text;
    d.expectMessage(BoxType::Error, QRegularExpression(QStringLiteral(".*")));
    TFrm_Main w(p.path(), d);
    VERIFY_DIALOGS(d);
    text = d.shown().first().text;
    QVERIFY2(text.contains(file), qPrintable(text));
    QVERIFY2(text.contains(said, Qt::CaseInsensitive), qPrintable(text));
    QVERIFY2(w.cannotStart() && w.shouldEnd(), qPrintable(text));
    QCOMPARE(p.fingerprints(), before);
}

void TestSafety::secondProgramRefused()
{
    SoundFolder p;
    store::FolderLock other(p.db());
    QCOMPARE(other.acquire(), store::FolderLock::Result::Acquired);
    const auto before = p.fingerprints();
    ScriptedDialogs d;
    d.expectMessage(BoxType::Error, QRegularExpression(QStringLiteral(".*")));
    TFrm_Main w(p.path(), d);
    VERIFY_DIALOGS(d);
    QVERIFY2(w.cannotStart(), qPrintable(d.shown().first().text));
    QCOMPARE(p.fingerprints(), before);
}

void TestSafety::lockOfEndedProgramRecovered()
{
    SoundFolder p;
    {
        store::FolderLock ended(p.db());
        QCOMPARE(ended.acquire(), store::FolderLock::Result::Acquired);
    } // the holder is gone; its lock file stays behind
    QVERIFY(QFile::exists(p.file(QStringLiteral("velmora.lock"))));
    ScriptedDialogs d;
    TFrm_Main w(p.path(), d);
    VERIFY_DIALOGS(d);
    QVERIFY(!w.cannotStart());
    QVERIFY(!w.shouldEnd());
}

void TestSafety::dailyCopyMadeOnce()
{
    SoundFolder p;
    for (int start = 0; start < 2; ++start) {
        ScriptedDialogs d;
        TFrm_Main w(p.path(), d);
        w.Start.attendiCopiaGiornaliera();
        QCoreApplication::processEvents();
        VERIFY_DIALOGS(d);
        QCOMPARE(w.Start.cartellaCopie(), QDir::cleanPath(p.copies()));
    }
    // Two starts on one day: one copy, holding the eight files.
    const QStringList copies = store::copieGiornaliere(p.copies());
    QCOMPARE(copies.size(), 1);
    const QDir copy(QDir(p.copies()).filePath(copies.first()));
    QCOMPARE(copy.entryList(QDir::Files).size(), 8);
}

void TestSafety::damagedFilePutBackFromCopy()
{
    SoundFolder p;
    {
        ScriptedDialogs d;
        TFrm_Main w(p.path(), d);
        w.Start.attendiCopiaGiornaliera();
        VERIFY_DIALOGS(d);
    }
    overwrite(p.file(QStringLiteral("FasiVal.db")), randomBytes(4096));

    ScriptedDialogs d;
    d.expectMessage(BoxType::Confirmation, QRegularExpression(QStringLiteral("(?s).*FasiVal\\.db.*copia.*")),
                    Button::Yes);
    d.expectMessage(BoxType::Information, QRegularExpression(QStringLiteral("(?s).*FasiVal\\.db.*")));
    TFrm_Main w(p.path(), d);
    VERIFY_DIALOGS(d);
    QVERIFY(!w.cannotStart());
    // The phase is back with its answers.
    const auto phases = p.rows(QStringLiteral("FasiVal.db"));
    QCOMPARE(phases.size(), 1);
    QCOMPARE(phases.first().value(QStringLiteral("Si")).toString(), QStringLiteral("-01-02"));
}

namespace {

// Lays a daily copy of the folder as it is now, named for `when`.
void copyAt(const SoundFolder& p, const QDateTime& when)
{
    store::DataFolder folder(p.db());
    QCOMPARE(store::copiaGiornaliera(folder, p.copies(), when), QString());
}

QByteArray bytesOf(const QString& path)
{
    QFile in(path);
    return in.open(QIODevice::ReadOnly) ? in.readAll() : QByteArray("<none>");
}

// Overwrites a leaf page of the phases table in the middle of the file: the
// schema stays sound, the damage is met only by reading the pages.
void damagePages(const QString& file)
{
    QFile in(file);
    QVERIFY(in.open(QIODevice::ReadOnly));
    const QByteArray bytes = in.readAll();
    in.close();
    QList<qint64> leaves;
    for (qint64 page = 2; page * 4096 < bytes.size(); ++page)
        if (bytes.at(page * 4096) == '\x0d')
            leaves << page;
    QVERIFY(leaves.size() > 10);
    QFile out(file);
    QVERIFY(out.open(QIODevice::ReadWrite));
    for (int i = 0; i < 3; ++i) {
        out.seek(leaves[leaves.size() / 2 + i] * 4096);
        out.write(QByteArray(4096, '\xff'));
    }
}

void addPhases(const SoundFolder& p, int count)
{
    store::DataFolder folder(p.db());
    QSqlDatabase db = folder.connection(QStringLiteral("FasiVal.db"));
    store::exec(db, QStringLiteral("BEGIN"));
    QSqlQuery q(db);
    q.prepare(QStringLiteral("INSERT INTO FasiVal (Id_Valutazione, Id_Area, NumFase, Si) VALUES (1, 1, ?, ?)"));
    for (int i = 0; i < count; ++i) {
        q.addBindValue(100 + i);
        q.addBindValue(QStringLiteral("-01-02-03-04-05-06-07-08-09-10-11-12-13-14-15-16"));
        QVERIFY(q.exec());
    }
    q.finish();
    store::exec(db, QStringLiteral("COMMIT"));
}

} // namespace

// The question names the copy (its date and time) and what is lost before
// anything is done; the damaged file is kept aside, not deleted.
void TestSafety::restoreQuestionNamesTheCopy()
{
    SoundFolder p;
    STEP(copyAt(p, QDateTime(QDate(2026, 12, 10), QTime(8, 12))));
    overwrite(p.file(QStringLiteral("FasiVal.db")), randomBytes(4096));
    const QByteArray damaged = bytesOf(p.file(QStringLiteral("FasiVal.db")));

    ScriptedDialogs d;
    const QString danneggiati = QDir::toNativeSeparators(QDir(p.copies()).filePath(QStringLiteral("danneggiati")));
    d.expectMessage(BoxType::Confirmation,
                    QRegularExpression(QStringLiteral("(?s)Il file FasiVal\\.db della cartella dati è danneggiato\\..*"
                                                      "\n\nRimettere il file FasiVal\\.db dalla copia giornaliera delle "
                                                      "08:12 del 10/12/2026\\? Ne contiene 1 riga; andranno persi i dati "
                                                      "inseriti in FasiVal\\.db dopo le 08:12 del 10/12/2026\\.\nGli "
                                                      "altri file restano come sono; il file danneggiato non viene "
                                                      "cancellato ma conservato nella cartella \"")
                                       + QRegularExpression::escape(danneggiati) + QStringLiteral("\"\\.")),
                    Button::Yes);
    d.expectMessage(BoxType::Information,
                    QRegularExpression(QStringLiteral("Il file FasiVal\\.db è stato rimesso dalla copia giornaliera delle "
                                                      "08:12 del 10/12/2026\\. Il file danneggiato è conservato nella "
                                                      "cartella \"")
                                       + QRegularExpression::escape(danneggiati) + QStringLiteral("/\\d{4}-\\d{2}-\\d{2}_\\d{6}\"\\.")));
    TFrm_Main w(p.path(), d);
    VERIFY_DIALOGS(d);
    QVERIFY(!w.cannotStart());
    const QStringList kept = QDir(QDir(p.copies()).filePath(QStringLiteral("danneggiati"))).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    QCOMPARE(kept.size(), 1);
    QCOMPARE(bytesOf(QDir(p.copies()).filePath(QStringLiteral("danneggiati/%1/FasiVal.db").arg(kept.first()))), damaged);
    QCOMPARE(p.count(QStringLiteral("FasiVal.db")), 1);
}

// The newest copy was taken before the phases were entered again: the older
// copy that holds more of them is offered too, and chosen with Yes.
void TestSafety::fullerOlderCopyOffered()
{
    SoundFolder p;
    STEP(addPhases(p, 30));
    STEP(copyAt(p, QDateTime(QDate(2026, 12, 9), QTime(17, 40))));
    {
        store::DataFolder folder(p.db());
        QSqlDatabase db = folder.connection(QStringLiteral("FasiVal.db"));
        store::exec(db, QStringLiteral("DELETE FROM FasiVal"));
    }
    STEP(copyAt(p, QDateTime(QDate(2026, 12, 10), QTime(8, 12))));
    overwrite(p.file(QStringLiteral("FasiVal.db")), randomBytes(4096));

    ScriptedDialogs d;
    d.expectMessage(BoxType::Confirmation,
                    QRegularExpression(QStringLiteral("(?s).*La copia giornaliera più recente con il file FasiVal\\.db "
                                                      "integro, delle 08:12 del 10/12/2026, ne contiene 0 righe; quella "
                                                      "delle 17:40 del 09/12/2026 ne contiene di più: 31 righe\\.\n\n"
                                                      "Sì: rimettere il file dalla copia delle 17:40 del 09/12/2026 "
                                                      "\\(andranno persi i dati inseriti in FasiVal\\.db dopo le 17:40 del "
                                                      "09/12/2026\\)\\.\nNo: rimettere il file dalla copia delle 08:12 del "
                                                      "10/12/2026 .*")),
                    Button::Yes);
    d.expectMessage(BoxType::Information, QRegularExpression(QStringLiteral(".*delle 17:40 del 09/12/2026.*")));
    TFrm_Main w(p.path(), d);
    VERIFY_DIALOGS(d);
    QVERIFY(!w.cannotStart());
    QCOMPARE(p.count(QStringLiteral("FasiVal.db")), 31);
}

void TestSafety::damageFoundWhileRunningOfferedAtNextStart_data()
{
    // Who finds the damage: the daily copy, a handler's read, or a data
    // control reading on its own (a navigator's button walking the rows).
    QTest::addColumn<QString>("finder");
    QTest::newRow("the daily copy's page check") << "copy";
    QTest::newRow("a read that fails") << "handler";
    QTest::newRow("a navigator's read that fails") << "navigator";
}

// Pages overwritten inside a sound schema: the start reads only the schema
// and goes on; whatever finds the damage then marks the file, and the next
// start reads its every page and offers it back from the copy.
void TestSafety::damageFoundWhileRunningOfferedAtNextStart()
{
    QFETCH(QString, finder);
    const bool byTheCopy = finder == QLatin1String("copy");
    SoundFolder p;
    // A navigator reads its table a page of a thousand rows at a time: past
    // the first page, its own reads meet the damage in the middle.
    const int laid = finder == QLatin1String("navigator") ? 3000 : 800;
    STEP(addPhases(p, laid));
    STEP(copyAt(p, QDateTime(QDate(2020, 3, 2), QTime(8, 12))));
    // Without the copy due today, only the read finds the damage.
    if (!byTheCopy)
        STEP(copyAt(p, QDateTime::currentDateTime().addSecs(-60)));
    STEP(damagePages(p.file(QStringLiteral("FasiVal.db"))));
    const QString mark = QDir(p.db()).filePath(QString::fromLatin1(store::markFileName));
    {
        ScriptedDialogs d;
        if (byTheCopy)
            d.expectMessage(BoxType::Warning,
                            QRegularExpression(QStringLiteral("(?s)La copia giornaliera dei dati non è stata fatta: .*"
                                                              "FasiVal\\.db.*Chiudere il programma e riavviarlo: verrà "
                                                              "proposto di rimettere il file.*")));
        else
            d.expectMessage(BoxType::Error,
                            QRegularExpression(QStringLiteral("(?s)Il file FasiVal\\.db della cartella dati è danneggiato: "
                                                              "il suo contenuto non è integro\\.\nDettaglio: l'immagine del "
                                                              "database sul disco è danneggiata\n\nChiudere il programma e "
                                                              "riavviarlo: all'avvio il file FasiVal\\.db sarà controllato .*")));
        TFrm_Main w(p.path(), d);
        QVERIFY(!w.cannotStart());
        if (byTheCopy) {
            w.Start.attendiCopiaGiornaliera();
            QCoreApplication::processEvents();
        } else if (finder == QLatin1String("handler")) {
            w.Data.guarded([&] {
                store::Table& phases = w.Data.Tbl_FasiVal;
                phases.open();
                for (phases.first(); !phases.isEof(); phases.next())
                    phases.asString(QStringLiteral("Si"));
            });
        } else {
            // A table of its own, with none of the window's reactions, so
            // that only the navigator reads it.
            store::Table phases;
            phases.setDataFolder(w.Data.folder());
            phases.setTableName(QStringLiteral("FasiVal.db"));
            phases.open();
            DataNavigator navigator;
            navigator.setDialogs(&d);
            navigator.setTable(&phases);
            // Clicked on until the box tells the damage or the rows end.
            for (int i = 0; i <= laid && d.shown().isEmpty() && !phases.isEof(); ++i)
                navigator.button(DataNavigator::Button::Next)->click();
        }
        VERIFY_DIALOGS(d);
    }
    QFile in(mark);
    QVERIFY(in.open(QIODevice::ReadOnly));
    QCOMPARE(in.readAll(), QByteArray("FasiVal.db\n"));
    in.close();

    const QString newest = store::copieGiornaliere(p.copies()).first();
    ScriptedDialogs d;
    d.expectMessage(BoxType::Confirmation,
                    QRegularExpression(QStringLiteral("(?s)Il file FasiVal\\.db della cartella dati è danneggiato\\..*"
                                                      "Rimettere il file FasiVal\\.db dalla copia giornaliera delle %1\\? "
                                                      "Ne contiene %2 righe; andranno persi i dati inseriti in "
                                                      "FasiVal\\.db dopo le %1\\..*")
                                           .arg(store::quandoCopia(newest).mid(3))
                                           .arg(laid + 1)),
                    Button::Yes);
    d.expectMessage(BoxType::Information, QRegularExpression(QStringLiteral("(?s)Il file FasiVal\\.db è stato rimesso.*")));
    {
        TFrm_Main w(p.path(), d);
        VERIFY_DIALOGS(d);
        QVERIFY(!w.cannotStart());
        w.Start.attendiCopiaGiornaliera();
    }
    QVERIFY(!QFileInfo::exists(mark));
    QCOMPARE(p.count(QStringLiteral("FasiVal.db")), laid + 1);
    // The next start asks nothing.
    ScriptedDialogs again;
    TFrm_Main w(p.path(), again);
    VERIFY_DIALOGS(again);
    QVERIFY(!w.cannotStart());
}

// A folder this account cannot write: the advice says whom to ask and, when
// the folder belongs to a group of its own (a system install), which group
// the account must join.
void TestSafety::unwritableFolderAdvice()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString plain = startup::Avvio::comeScrivere(dir.path());
    QVERIFY2(plain.contains(QLatin1String("Chiedere a chi amministra il computer")), qPrintable(plain));
    QVERIFY2(plain.contains(QLatin1String("riavviare il programma")), qPrintable(plain));
    if (QFileInfo(dir.path()).group() == QLatin1String("root"))
        QVERIFY2(!plain.contains(QLatin1String("usermod")), qPrintable(plain));
    // Given to another group (only root may do so).
    if (::geteuid() != 0)
        QSKIP("only root can give the folder to another group here");
    QProcess chgrp;
    chgrp.start(QStringLiteral("chgrp"), {QStringLiteral("users"), dir.path()});
    QVERIFY(chgrp.waitForFinished() && chgrp.exitCode() == 0);
    const QString shared = startup::Avvio::comeScrivere(dir.path());
    QVERIFY2(shared.contains(QLatin1String("La cartella appartiene al gruppo \"users\"")), qPrintable(shared));
    QVERIFY2(shared.contains(QLatin1String("usermod -aG users ")), qPrintable(shared));
}

QTEST_MAIN(TestSafety)
#include "test_safety.moc"
