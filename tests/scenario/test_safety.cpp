// Start-up on a data folder that is damaged, incomplete or in use: the
// program names the file in Italian before it asks for anything, changes no
// sound file, and offers a damaged file back from the daily copy.
#include "access.h"
#include "dailycopy.h"
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

using namespace velmora;

namespace {

struct ProgramDir : ScenarioFolder
{
    ProgramDir()
    {
        const int n = nursery(QStringLiteral("Il Girasole"));
        add(QStringLiteral("AnagEdu.db"), {{"Id_Nido", n}, {"Nome", "Anna"}, {"Cognome", "Rossi"},
                                           {"Password", "pw"}, {"Responsabile", true}});
        const int c = add(QStringLiteral("AnagBimbi.DB"), {{"Id_Nido", n}, {"Nome", "Luca"}, {"Cognome", "Bassi"},
                                                          {"Frequenza", true}});
        const int v = add(QStringLiteral("Valutaz.db"), {{"Id_Bimbo", c}, {"MesiBimbo", 20}});
        add(QStringLiteral("FasiVal.db"), {{"Id_Valutazione", v}, {"Id_Area", 1}, {"NumFase", 3}, {"Si", "-01-02"}});
    }
    QString file(const QString& name) const { return QDir(db()).filePath(name); }
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
    ProgramDir p;
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
    ProgramDir p;
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
    ProgramDir p;
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
    ProgramDir p;
    for (int start = 0; start < 2; ++start) {
        ScriptedDialogs d;
        TFrm_Main w(p.path(), d);
        w.Data.attendiCopiaGiornaliera();
        QCoreApplication::processEvents();
        VERIFY_DIALOGS(d);
        QCOMPARE(w.Data.cartellaCopie(), QDir::cleanPath(p.copies()));
    }
    // Two starts on one day: one copy, holding the eight files.
    const QStringList copies = store::copieGiornaliere(p.copies());
    QCOMPARE(copies.size(), 1);
    const QDir copy(QDir(p.copies()).filePath(copies.first()));
    QCOMPARE(copy.entryList(QDir::Files).size(), 8);
}

void TestSafety::damagedFilePutBackFromCopy()
{
    ProgramDir p;
    {
        ScriptedDialogs d;
        TFrm_Main w(p.path(), d);
        w.Data.attendiCopiaGiornaliera();
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

// A folder this account cannot write: the advice says whom to ask and, when
// the folder belongs to a group of its own (a system install), which group
// the account must join.
void TestSafety::unwritableFolderAdvice()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString plain = DataModule::comeScrivere(dir.path());
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
    const QString shared = DataModule::comeScrivere(dir.path());
    QVERIFY2(shared.contains(QLatin1String("La cartella appartiene al gruppo \"users\"")), qPrintable(shared));
    QVERIFY2(shared.contains(QLatin1String("usermod -aG users ")), qPrintable(shared));
}

QTEST_MAIN(TestSafety)
#include "test_safety.moc"
