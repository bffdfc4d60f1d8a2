// Two programs on one data folder, each with its own connection, editing the
// same record: a post never overwrites a change it has not seen. The one who
// posts second is refused, keeps what was typed, and sees the stored values
// after cancelling or refreshing.

#include "storefixture.h"

#include <QTest>

using namespace velmora::store;
using namespace storetest;

namespace {

QString postError(Table& t)
{
    try {
        t.post();
    } catch (const DbError& e) {
        return e.cause() == DbError::Cause::Changed ? e.message() : QStringLiteral("causa inattesa: ") + e.message();
    }
    return QString();
}

const char* const changedText =
    "Il record è stato modificato da un altro utente dopo che è stato letto: le modifiche non sono state salvate. "
    "Aggiornare per vedere i valori salvati.";
const char* const deletedText =
    "Il record è stato cancellato da un altro utente dopo che è stato letto: le modifiche non sono state salvate. "
    "Aggiornare per vedere i dati salvati.";

} // namespace

class TestConcurrency : public QObject
{
    Q_OBJECT

private slots:
    void secondPostIsRefused_data();
    void secondPostIsRefused();
    void refusedPostKeepsAnIndexedRecordInPlace();
};

void TestConcurrency::secondPostIsRefused_data()
{
    QTest::addColumn<QString>("other");   // what the other program does to Anna's record first
    QTest::addColumn<QString>("after");   // how this program learns the stored values
    QTest::addColumn<QString>("message"); // empty: the post goes through
    QTest::addColumn<QStringList>("names");  // stored afterwards, in Id order
    QTest::addColumn<QStringList>("notes");

    QTest::newRow("same field, cancel") << "Nome=Annalisa" << "cancel" << changedText
        << QStringList{"Annalisa", "Bruno"} << QStringList{"<null>", "<null>"};
    QTest::newRow("same field, refresh") << "Nome=Annalisa" << "refresh" << changedText
        << QStringList{"Annalisa", "Bruno"} << QStringList{"<null>", "<null>"};
    QTest::newRow("another field") << "Note=allergica" << "cancel" << changedText
        << QStringList{"Anna", "Bruno"} << QStringList{"allergica", "<null>"};
    QTest::newRow("a field set to nothing") << "Cognome=" << "refresh" << changedText
        << QStringList{"Anna", "Bruno"} << QStringList{"<null>", "<null>"};
    QTest::newRow("deleted") << "delete" << "cancel" << deletedText
        << QStringList{"Bruno"} << QStringList{"<null>"};
    QTest::newRow("deleted, refresh") << "delete" << "refresh" << deletedText
        << QStringList{"Bruno"} << QStringList{"<null>"};
    // Nothing of Anna's record changed: this post goes through.
    QTest::newRow("another record") << "Bruno:Note=nuovo" << "" << ""
        << QStringList{"Annina", "Bruno"} << QStringList{"<null>", "nuovo"};
    QTest::newRow("changed and changed back") << "Nome=Annalisa;Nome=Anna" << "" << ""
        << QStringList{"Annina", "Bruno"} << QStringList{"<null>", "<null>"};
}

void TestConcurrency::secondPostIsRefused()
{
    QFETCH(QString, other);
    QFETCH(QString, after);
    QFETCH(QString, message);
    QFETCH(QStringList, names);
    QFETCH(QStringList, notes);

    Folder f;
    {
        auto t = f.table(QStringLiteral("AnagBimbi.DB"));
        t->open();
        addRow(*t, {{"Id_Nido", 1}, {"Nome", QStringLiteral("Anna")}, {"Cognome", QStringLiteral("Rossi")}});
        addRow(*t, {{"Id_Nido", 1}, {"Nome", QStringLiteral("Bruno")}, {"Cognome", QStringLiteral("Verdi")}});
    }
    // This program reads the children, and the other program too, through
    // a connection of its own.
    auto mine = f.table(QStringLiteral("AnagBimbi.DB"));
    mine->open();
    QCOMPARE(mine->asString(QStringLiteral("Nome")), QStringLiteral("Anna"));
    DataFolder otherFolder(f.path());
    Table theirs;
    theirs.setDataFolder(&otherFolder);
    theirs.setTableName(QStringLiteral("AnagBimbi.DB"));
    theirs.open();

    // Both start editing Anna's record; the other program posts first.
    mine->edit();
    mine->setValue(QStringLiteral("Nome"), QStringLiteral("Annina"));
    for (const QString& step : other.split(QLatin1Char(';'))) {
        if (step == QLatin1String("delete")) {
            QVERIFY(theirs.remove());
            continue;
        }
        QString assignment = step;
        if (assignment.startsWith(QLatin1String("Bruno:"))) {
            QVERIFY(theirs.locate(QStringLiteral("Nome"), QStringLiteral("Bruno")));
            assignment = assignment.mid(6);
        } else {
            QVERIFY(theirs.locate(QStringLiteral("Id"), 1));
        }
        theirs.edit();
        theirs.setValue(assignment.section(QLatin1Char('='), 0, 0), assignment.section(QLatin1Char('='), 1));
        theirs.post();
    }

    const QString refused = postError(*mine);
    QCOMPARE(refused, message);
    if (!message.isEmpty()) {
        // Refused: what was typed is still there, being edited.
        QCOMPARE(mine->state(), Table::State::Edit);
        QVERIFY(mine->isModified());
        QCOMPARE(mine->asString(QStringLiteral("Nome")), QStringLiteral("Annina"));
        // Posting again changes nothing until the stored values are seen.
        QCOMPARE(postError(*mine), message);
        if (after == QLatin1String("cancel"))
            mine->cancel();
        else
            mine->refresh();
        QCOMPARE(mine->state(), Table::State::Browse);
        QCOMPARE(walkForward(*mine, QStringLiteral("Nome")), names);
        QCOMPARE(walkForward(*mine, QStringLiteral("Note")),
                 notes.replaceInStrings(QStringLiteral("<null>"), QString()));
    }
    QCOMPARE(readColumn(f.path(), QStringLiteral("AnagBimbi.DB"), QStringLiteral("AnagBimbi"), QStringLiteral("Nome")), names);

    // Having seen the stored values, this program's next edit goes through.
    mine->first();
    mine->edit();
    mine->setValue(QStringLiteral("Sesso"), QStringLiteral("F"));
    QCOMPARE(postError(*mine), QString());
    QCOMPARE(readColumn(f.path(), QStringLiteral("AnagBimbi.DB"), QStringLiteral("AnagBimbi"), QStringLiteral("Sesso")).first(),
             QStringLiteral("F"));
}

// A refused post on a table ordered by an index leaves the cursor on the
// record; after cancelling it sits where the stored values put it.
void TestConcurrency::refusedPostKeepsAnIndexedRecordInPlace()
{
    Folder f;
    {
        auto t = f.table(QStringLiteral("AnagEdu.db"));
        t->open();
        for (const char* surname : {"Bianchi", "Neri", "Rossi"})
            addRow(*t, {{"Id_Nido", 1}, {"Nome", QStringLiteral("Ada")}, {"Cognome", QString::fromLatin1(surname)}});
    }
    auto mine = f.table(QStringLiteral("AnagEdu.db"));
    mine->setIndexName(QStringLiteral("Cognome-Nome"));
    mine->open();
    QVERIFY(mine->locate(QStringLiteral("Cognome"), QStringLiteral("Neri")));

    DataFolder otherFolder(f.path());
    Table theirs;
    theirs.setDataFolder(&otherFolder);
    theirs.setTableName(QStringLiteral("AnagEdu.db"));
    theirs.open();
    QVERIFY(theirs.locate(QStringLiteral("Cognome"), QStringLiteral("Neri")));
    theirs.edit();
    theirs.setValue(QStringLiteral("Cognome"), QStringLiteral("Verdi"));
    theirs.post();

    mine->edit();
    mine->setValue(QStringLiteral("Password"), QStringLiteral("segreta"));
    QCOMPARE(postError(*mine), QString::fromUtf8(changedText));
    QCOMPARE(mine->asString(QStringLiteral("Cognome")), QStringLiteral("Neri"));
    mine->cancel();
    QCOMPARE(mine->asString(QStringLiteral("Cognome")), QStringLiteral("Verdi"));
    QCOMPARE(mine->recNo(), 2);
    QCOMPARE(mine->asString(QStringLiteral("Password")), QString());
    QCOMPARE(walkForward(*mine, QStringLiteral("Cognome")), (QStringList{"Bianchi", "Rossi", "Verdi"}));
}

QTEST_GUILESS_MAIN(TestConcurrency)
#include "test_concurrency.moc"
