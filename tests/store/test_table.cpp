// The table object: cursor, states, events and their cancellation, field
// conversions, calculated and lookup fields, copy cursors, index order, large
// selections, the reopen-read-only sequence and the freezing of controls.

#include "storefixture.h"

#include <QLocale>
#include <QSet>
#include <QSignalSpy>
#include <QTest>

using namespace velmora::store;
using namespace storetest;

namespace {

// Records what the events of a table object report, as "event:Id".
struct EventLog
{
    QStringList entries;

    void attach(Table& t)
    {
        auto rec = [this](const char* what) {
            return [this, what](Table& tb) {
                entries << QStringLiteral("%1:%2").arg(QString::fromLatin1(what), tb.asString(QStringLiteral("Id")));
            };
        };
        t.setReaction(Table::Reaction::OnNewRecord, this, rec("onNewRecord"));
        t.setReaction(Table::Reaction::AfterInsert, this, rec("afterInsert"));
        t.setReaction(Table::Reaction::AfterEdit, this, rec("afterEdit"));
        t.setReaction(Table::Reaction::AfterScroll, this, rec("afterScroll"));
        t.setReaction(Table::Reaction::AfterPost, this, rec("afterPost"));
        t.setReaction(Table::Reaction::BeforeDelete, this, rec("beforeDelete"));
    }
    int count(const QString& prefix) const
    {
        int n = 0;
        for (const QString& e : entries)
            n += e.startsWith(prefix + QLatin1Char(':'));
        return n;
    }
    void clear() { entries.clear(); }
};

// Children named child1..childN in nursery 1, Cognome "C<i>".
void addChildren(Table& t, int n, int nursery = 1)
{
    for (int i = 1; i <= n; ++i)
        addRow(t, {{"Id_Nido", nursery}, {"Nome", QStringLiteral("child%1").arg(i)}, {"Cognome", QStringLiteral("C%1").arg(i)}});
}

QString dbErrorOf(const std::function<void()>& f)
{
    try {
        f();
    } catch (const DbError& e) {
        return e.message();
    }
    return QString();
}

} // namespace

class TestTable : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void walks_data();
    void walks();
    void nextAtLastAndPriorAtFirst();
    void locate();

    void indexOrder_data();
    void indexOrder();
    void setIndexNameKeepsCurrentRecord();

    void largeSelection_data();
    void largeSelection();

    void openRunsAfterScroll_data();
    void openRunsAfterScroll();
    void appendEventOrder();
    void reactionHasOneOwner();
    void abortInOnNewRecord();
    void abortInBeforeDelete();
    void removeScrollsToSuccessor_data();
    void removeScrollsToSuccessor();
    void cancelInsertScrolls();
    void editOnEmptyTableInserts();
    void postIsCommitted();
    void fieldChangeHandler();

    void filterSwitchPostsOrDropsPending_data();
    void filterSwitchPostsOrDropsPending();
    void filterSwitchWithNothingSelected();
    void sameFilterAgain();

    void readOnlyRefuses_data();
    void readOnlyRefuses();
    void stringCut_data();
    void stringCut();
    void nulCharacter_data();
    void nulCharacter();
    void badText_data();
    void badText();
    void dateText_data();
    void dateText();
    void twoDigitYears_data();
    void twoDigitYears();

    void calculatedFields();
    void lookupUnderSourceFilter();
    void lookupFollowsSourceFilterOff();
    void lookupOfCalculatedField();

    void copyCursorLeavesOtherAlone();
    void largeSelectionChangedByCopyCursor_data();
    void largeSelectionChangedByCopyCursor();
    void setAllUpdatesSelection();
    void copyOfShownRows_data();
    void copyOfShownRows();

    void reopenReadOnly_data();
    void reopenReadOnly();

    void disableControls();
    void filterChangeShowsOnlyItsEnd();

private:
    std::unique_ptr<Folder> m_f;
};

// The program runs under Italian regional settings: dates are shown and typed
// the Italian way also when the test is started by hand in another locale.
void TestTable::initTestCase()
{
    STORETEST_REQUIRE_ENGINE();
    QLocale::setDefault(QLocale(QLocale::Italian, QLocale::Italy));
}

void TestTable::init()
{
    m_f = std::make_unique<Folder>();
}

void TestTable::cleanup()
{
    m_f.reset();
}

// ---------------------------------------------------------------- cursor

void TestTable::walks_data()
{
    QTest::addColumn<int>("rows");
    QTest::newRow("empty") << 0;   // neither walk enters its loop
    QTest::newRow("one") << 1;     // first is also last
    QTest::newRow("two") << 2;
    QTest::newRow("five") << 5;
}

// Both walks the program writes visit every record exactly once.
void TestTable::walks()
{
    QFETCH(int, rows);
    auto t = m_f->table(QStringLiteral("AnagBimbi.DB"));
    t->open();
    addChildren(*t, rows);

    QStringList forward;
    for (int i = 1; i <= rows; ++i)
        forward << QStringLiteral("child%1").arg(i);
    QStringList backward(forward.rbegin(), forward.rend());

    QCOMPARE(walkForward(*t, QStringLiteral("Nome")), forward);
    QVERIFY(t->isEof());
    QCOMPARE(walkBackward(*t, QStringLiteral("Nome")), backward);
    QVERIFY(t->isBof());
    QCOMPARE(t->recordCount(), rows);

    t->first();
    QVERIFY(t->isBof());
    QCOMPARE(t->recNo(), rows ? 0 : -1);
    t->last();
    QVERIFY(t->isEof());
    QCOMPARE(t->recNo(), rows - 1);
}

void TestTable::nextAtLastAndPriorAtFirst()
{
    auto t = m_f->table(QStringLiteral("AnagBimbi.DB"));
    t->open();
    addChildren(*t, 3);
    EventLog log;
    log.attach(*t);

    t->first();
    t->next();
    t->next();
    QCOMPARE(t->recNo(), 2);
    QVERIFY(!t->isEof()); // reaching the last record is not yet the end
    log.clear();
    t->next();            // past the last: end reached, cursor stays
    QVERIFY(t->isEof());
    QCOMPARE(t->recNo(), 2);
    QCOMPARE(t->asString(QStringLiteral("Nome")), QStringLiteral("child3"));
    QCOMPARE(log.entries, QStringList{"afterScroll:3"});

    t->prior();
    t->prior();
    QCOMPARE(t->recNo(), 0);
    QVERIFY(!t->isBof()); // reached by prior, not by first
    log.clear();
    t->prior();
    QVERIFY(t->isBof());
    QCOMPARE(t->recNo(), 0);
    QCOMPARE(log.entries, QStringList{"afterScroll:1"});
}

void TestTable::locate()
{
    auto t = m_f->table(QStringLiteral("AnagBimbi.DB"));
    t->open();
    addChildren(*t, 4);
    t->setIndexName(QStringLiteral("Cognome-Nome"));
    t->first();
    EventLog log;
    log.attach(*t);

    QVERIFY(t->locate(QStringLiteral("nome"), QStringLiteral("child3")));
    QCOMPARE(t->recNo(), 2);
    QCOMPARE(t->asInteger(QStringLiteral("Id")), 3);
    QCOMPARE(log.entries, QStringList{"afterScroll:3"});

    log.clear();
    QVERIFY(!t->locate(QStringLiteral("Nome"), QStringLiteral("CHILD2"))); // exact, case included
    QVERIFY(!t->locate(QStringLiteral("Nome"), QStringLiteral("nobody")));
    QCOMPARE(t->asInteger(QStringLiteral("Id")), 3); // a failed search leaves the cursor alone
    QVERIFY(log.entries.isEmpty());

    // By key in a selection held whole: found among the rows held, without
    // a statement; a key outside the selection is not found.
    const qint64 before = velmora::store::statementsSent();
    QVERIFY(t->locate(QStringLiteral("Id"), 1));
    QCOMPARE(t->recNo(), 0);
    QVERIFY(t->locate(QStringLiteral("Id"), QStringLiteral("4")));
    QCOMPARE(t->asString(QStringLiteral("Nome")), QStringLiteral("child4"));
    QCOMPARE(velmora::store::statementsSent() - before, 0);
    t->setFilter(QStringLiteral("Id<>2"));
    t->setFiltered(true);
    QVERIFY(!t->locate(QStringLiteral("Id"), 2));
    QVERIFY(!t->locate(QStringLiteral("Id"), 99));
    QCOMPARE(t->asInteger(QStringLiteral("Id")), 1);
    // Written through another cursor since: looked for in the file again.
    {
        Table twin;
        twin.bindLike(*t);
        twin.open();
        QVERIFY(twin.locate(QStringLiteral("Id"), 3));
        twin.remove();
    }
    QVERIFY(!t->locate(QStringLiteral("Id"), 3));
    QVERIFY(t->locate(QStringLiteral("Id"), 4));
}

// The same selection switched on again, as a list's reaction filters the
// next list to what it holds already: it starts at its first record and is
// announced as a new one, without a statement while nothing was written; a
// write or another value reads the file again.
void TestTable::sameFilterAgain()
{
    auto t = m_f->table(QStringLiteral("AnagBimbi.DB"));
    t->open();
    addChildren(*t, 4);
    addChildren(*t, 2, 2);
    const auto filterTo = [&](const QString& text) {
        t->setFiltered(false);
        t->setFilter(text);
        t->setFiltered(true);
    };
    filterTo(QStringLiteral("Id_Nido=1"));
    t->last();
    EventLog log;
    log.attach(*t);
    const qint64 before = velmora::store::statementsSent();
    filterTo(QStringLiteral("Id_Nido=1"));
    QCOMPARE(velmora::store::statementsSent() - before, 0);
    QCOMPARE(log.entries, QStringList{"afterScroll:1"});
    QCOMPARE(t->recNo(), 0);
    QCOMPARE(walkForward(*t, QStringLiteral("Id")), (QStringList{"1", "2", "3", "4"}));

    // Written through another cursor: read again, the new record in it.
    {
        Table twin;
        twin.bindLike(*t);
        twin.open();
        addRow(twin, {{"Id_Nido", 1}, {"Nome", "child7"}, {"Cognome", "zz"}});
    }
    filterTo(QStringLiteral("Id_Nido=1"));
    QCOMPARE(walkForward(*t, QStringLiteral("Id")), (QStringList{"1", "2", "3", "4", "7"}));
    // Another value, then the first again: each read from the file.
    filterTo(QStringLiteral("Id_Nido=2"));
    QCOMPARE(walkForward(*t, QStringLiteral("Id")), (QStringList{"5", "6"}));
    const qint64 again = velmora::store::statementsSent();
    filterTo(QStringLiteral("Id_Nido=1"));
    QCOMPARE(t->recordCount(), 5);
    QVERIFY(velmora::store::statementsSent() > again);
}

// ---------------------------------------------------------------- order

void TestTable::indexOrder_data()
{
    QTest::addColumn<QString>("index");
    QTest::addColumn<QStringList>("ids");

    // Rows (Id: Cognome Nome): 1 rossi Anna, 2 Bianchi Zoe, 3 Rossi anna,
    // 4 ROSSI Bruno, 5 bianchi Zoe, 6 Abate Zoe, 7 Rossi (no first name),
    // 8 (no surname) Zoe.
    // Case is ignored, so "rossi Anna"/"Rossi anna" tie and Id decides. A
    // name left empty comes before every other, on both engines (a server
    // would put it last unless told).
    QTest::newRow("Cognome-Nome") << "Cognome-Nome" << QStringList{"8", "6", "2", "5", "7", "1", "3", "4"};
    QTest::newRow("Nome-Cognome") << "Nome-Cognome" << QStringList{"7", "1", "3", "4", "8", "6", "2", "5"};
    QTest::newRow("index name any case") << "cognome-NOME" << QStringList{"8", "6", "2", "5", "7", "1", "3", "4"};
    QTest::newRow("no index") << "" << QStringList{"1", "2", "3", "4", "5", "6", "7", "8"};
}

void TestTable::indexOrder()
{
    QFETCH(QString, index);
    QFETCH(QStringList, ids);
    auto t = m_f->table(QStringLiteral("AnagBimbi.DB"));
    t->open();
    addRow(*t, {{"Cognome", "rossi"}, {"Nome", "Anna"}});
    addRow(*t, {{"Cognome", "Bianchi"}, {"Nome", "Zoe"}});
    addRow(*t, {{"Cognome", "Rossi"}, {"Nome", "anna"}});
    addRow(*t, {{"Cognome", "ROSSI"}, {"Nome", "Bruno"}});
    addRow(*t, {{"Cognome", "bianchi"}, {"Nome", "Zoe"}});
    addRow(*t, {{"Cognome", "Abate"}, {"Nome", "Zoe"}});
    addRow(*t, {{"Cognome", "Rossi"}});
    addRow(*t, {{"Nome", "Zoe"}});

    // Chosen on the open table...
    t->setIndexName(index);
    QCOMPARE(walkForward(*t, QStringLiteral("Id")), ids);
    QStringList reversed(ids.rbegin(), ids.rend());
    QCOMPARE(walkBackward(*t, QStringLiteral("Id")), reversed);
    // ...and before opening.
    t->close();
    t->setIndexName(QString());
    t->setIndexName(index);
    t->open();
    QCOMPARE(walkForward(*t, QStringLiteral("Id")), ids);
}

void TestTable::setIndexNameKeepsCurrentRecord()
{
    auto t = m_f->table(QStringLiteral("AnagBimbi.DB"));
    t->open();
    addRow(*t, {{"Cognome", "Verdi"}, {"Nome", "Anna"}});  // 1
    addRow(*t, {{"Cognome", "Bianchi"}, {"Nome", "Carla"}}); // 2
    addRow(*t, {{"Cognome", "Rossi"}, {"Nome", "Bea"}});   // 3
    QVERIFY(t->locate(QStringLiteral("Id"), 3));
    EventLog log;
    log.attach(*t);
    QSignalSpy changed(t.get(), &Table::dataSetChanged);

    t->setIndexName(QStringLiteral("Cognome-Nome"));
    QCOMPARE(t->asInteger(QStringLiteral("Id")), 3);
    QCOMPARE(t->recNo(), 1); // Bianchi, Rossi, Verdi
    QVERIFY(log.entries.isEmpty());
    QVERIFY(changed.count() >= 1); // the grid must redraw in the new order
    t->next();
    QCOMPARE(t->asInteger(QStringLiteral("Id")), 1);

    log.clear();
    t->setIndexName(QStringLiteral("Nome-Cognome"));
    QCOMPARE(t->asInteger(QStringLiteral("Id")), 1);
    QCOMPARE(t->recNo(), 0); // Anna, Bea, Carla
    t->setIndexName(QString());
    QCOMPARE(t->asInteger(QStringLiteral("Id")), 1);
    QCOMPARE(t->recNo(), 0);
    QVERIFY(log.entries.isEmpty());

    const QString err = dbErrorOf([&] { t->setIndexName(QStringLiteral("Inesistente")); });
    QVERIFY(!err.isEmpty());
    QCOMPARE(t->indexName(), QString());
}

// ---------------------------------------------------------------- large selections

void TestTable::largeSelection_data()
{
    QTest::addColumn<int>("rows");     // rows in the file
    QTest::addColumn<bool>("filtered"); // select area 2 only (two rows in three)
    QTest::addColumn<QString>("index");

    QTest::newRow("one page exactly") << 1000 << false << "";
    QTest::newRow("one row past the page") << 1001 << false << "";
    QTest::newRow("two pages and more, by index") << 2100 << false << "NumeroFase";
    QTest::newRow("filtered past the page, by index") << 2400 << true << "NumeroFase";
    QTest::newRow("filtered within the page") << 1400 << true << "";
}

void TestTable::largeSelection()
{
    QFETCH(int, rows);
    QFETCH(bool, filtered);
    QFETCH(QString, index);

    // NumFase runs backwards so that the index order is not the Id order,
    // and pairs of rows share a NumFase so that Id breaks ties.
    QList<QVariantList> data;
    struct Row { int id; int numFase; };
    std::vector<Row> expected;
    for (int id = 1; id <= rows; ++id) {
        const int area = id % 3 == 0 ? 1 : 2;
        const int numFase = (rows - id) / 2;
        data << QVariantList{4, area, numFase};
        if (!filtered || area == 2)
            expected.push_back({id, numFase});
    }
    bulk(m_f->folder(), QStringLiteral("FasiVal.db"),
         QStringLiteral("INSERT INTO \"FasiVal\" (\"Id_Valutazione\", \"Id_Area\", \"NumFase\") VALUES (?, ?, ?)"), data);
    if (!index.isEmpty())
        std::stable_sort(expected.begin(), expected.end(), [](const Row& a, const Row& b) {
            return a.numFase != b.numFase ? a.numFase < b.numFase : a.id < b.id;
        });
    QStringList ids;
    for (const Row& r : expected)
        ids << QString::number(r.id);

    auto t = m_f->table(QStringLiteral("FasiVal.db"));
    t->setIndexName(index);
    if (filtered) {
        t->setFilter(QStringLiteral("Id_Area=2"));
        t->setFiltered(true);
    }
    t->open();
    // What a grid and a navigator ask first reads no key past the page: the
    // count is known only when the selection fits in it.
    const int n = int(expected.size());
    const bool onePage = n <= Table::pageSize;
    const int shown = std::min(n, Table::pageSize);
    QCOMPARE(t->knownRowCount(), shown);
    QCOMPARE(t->valueAt(shown - 1, t->findField(QStringLiteral("Id"))).toString(), ids[shown - 1]);
    QVERIFY(t->hasRowAfter(shown - 2));
    QCOMPARE(t->hasRowAfter(shown - 1), !onePage);
    QCOMPARE(t->isCountKnown(), onePage);
    // Counting reads the keys; then everything is known.
    QCOMPARE(t->recordCount(), n);
    QVERIFY(t->isCountKnown());
    QCOMPARE(t->knownRowCount(), n);
    QVERIFY(t->hasRowAfter(n - 2));
    QVERIFY(!t->hasRowAfter(n - 1));
    // Rows past the page arrive a block at a time, not a statement each
    // (on a server every statement is a round trip).
    const qint64 before = velmora::store::statementsSent();
    QCOMPARE(walkForward(*t, QStringLiteral("Id")), ids);
    QStringList reversed(ids.rbegin(), ids.rend());
    QCOMPARE(walkBackward(*t, QStringLiteral("Id")), reversed);
    const qint64 sent = velmora::store::statementsSent() - before;
    const int blocks = (std::max(0, n - Table::pageSize) + 99) / 100;
    QVERIFY2(sent <= 4 + 2 * blocks,
             qPrintable(QStringLiteral("%1 statements for two walks over %2 rows").arg(sent).arg(n)));

    // A record past the page changed through another cursor after its block
    // was read shows its new value.
    if (!onePage) {
        const int deepRow = n - 1; // past the page
        const int numFaseField = t->findField(QStringLiteral("NumFase"));
        QCOMPARE(t->valueAt(deepRow, numFaseField).toInt(), expected[size_t(deepRow)].numFase);
        Table twin;
        twin.bindLike(*t);
        twin.open();
        QVERIFY(twin.locate(QStringLiteral("Id"), expected[size_t(deepRow)].id));
        twin.edit();
        twin.setValue(QStringLiteral("NumFase"), 77777);
        twin.post();
        twin.close();
        QCOMPARE(t->valueAt(deepRow, numFaseField).toInt(), 77777);
        twin.bindLike(*t);
        twin.open();
        QVERIFY(twin.locate(QStringLiteral("Id"), expected[size_t(deepRow)].id));
        twin.edit();
        twin.setValue(QStringLiteral("NumFase"), expected[size_t(deepRow)].numFase);
        twin.post();
        twin.close();
    }

    // The last record, read directly.
    t->last();
    QCOMPARE(t->recNo(), int(expected.size()) - 1);
    QCOMPARE(t->asString(QStringLiteral("Id")), ids.last());
    QCOMPARE(t->asInteger(QStringLiteral("NumFase")), expected.back().numFase);

    // A record past the page found by value.
    const Row& deep = expected[expected.size() - 3];
    QVERIFY(t->locate(QStringLiteral("Id"), deep.id));
    QCOMPARE(t->recNo(), int(expected.size()) - 3);
    QCOMPARE(t->asInteger(QStringLiteral("NumFase")), deep.numFase);
    t->next();
    QCOMPARE(t->asString(QStringLiteral("Id")), ids[ids.size() - 2]);

    // Rows for a grid, without moving the cursor.
    const int idField = t->findField(QStringLiteral("Id"));
    QCOMPARE(t->valueAt(int(expected.size()) - 1, idField).toString(), ids.last());
    QCOMPARE(t->valueAt(0, idField).toString(), ids.first());
    QCOMPARE(t->recNo(), int(expected.size()) - 2);

    // Removing a record past the page counts and walks right.
    t->remove();
    ids.removeAt(ids.size() - 2);
    QCOMPARE(t->recordCount(), ids.size());
    QCOMPARE(t->asString(QStringLiteral("Id")), ids.last());
    QCOMPARE(walkForward(*t, QStringLiteral("Id")), ids);
}

// ---------------------------------------------------------------- events

void TestTable::openRunsAfterScroll_data()
{
    QTest::addColumn<int>("rows");
    QTest::addColumn<QStringList>("expected");
    QTest::newRow("empty: no record to scroll to") << 0 << QStringList{};
    QTest::newRow("records: the first one") << 2 << QStringList{"afterScroll:1"};
}

void TestTable::openRunsAfterScroll()
{
    QFETCH(int, rows);
    QFETCH(QStringList, expected);
    {
        auto t = m_f->table(QStringLiteral("AnagBimbi.DB"));
        t->open();
        addChildren(*t, rows);
    }
    auto t = m_f->table(QStringLiteral("AnagBimbi.DB"));
    EventLog log;
    log.attach(*t);
    t->open();
    QCOMPARE(log.entries, expected);
}

// A reaction has one owner: a second screen setting it is refused, and the
// first one's follow-up still runs.
void TestTable::reactionHasOneOwner()
{
    {
        auto t = m_f->table(QStringLiteral("AnagBimbi.DB"));
        t->open();
        addChildren(*t, 2);
    }
    auto t = m_f->table(QStringLiteral("AnagBimbi.DB"));
    int first = 0;
    int second = 0;
    const int ownerA = 0;
    const int ownerB = 0;
    t->setReaction(Table::Reaction::AfterScroll, &ownerA, [&](Table&) { ++first; });
    QVERIFY_THROWS_EXCEPTION(std::logic_error,
                             t->setReaction(Table::Reaction::AfterScroll, &ownerB, [&](Table&) { ++second; }));
    // Another slot is another owner's to take.
    t->setReaction(Table::Reaction::AfterPost, &ownerB, [](Table&) {});
    t->open();
    t->next();
    QCOMPARE(first, 2);
    QCOMPARE(second, 0);

    // Its owner may set it again, or let it go for another to take.
    t->setReaction(Table::Reaction::AfterScroll, &ownerA, [&](Table&) { first += 10; });
    t->prior();
    QCOMPARE(first, 12);
    t->setReaction(Table::Reaction::AfterScroll, &ownerA, nullptr);
    t->setReaction(Table::Reaction::AfterScroll, &ownerB, [&](Table&) { ++second; });
    t->next();
    QCOMPARE(first, 12);
    QCOMPARE(second, 1);

    // One let go by whoever set it is free for another owner.
    t->setReaction(Table::Reaction::OnNewRecord, &ownerA, [](Table&) {});
    QVERIFY(t->releaseReaction(Table::Reaction::OnNewRecord));
    t->setReaction(Table::Reaction::OnNewRecord, &ownerB, [](Table&) {});
    QVERIFY_THROWS_EXCEPTION(std::logic_error, t->setReaction(Table::Reaction::OnNewRecord, &ownerA, [](Table&) {}));
}

void TestTable::appendEventOrder()
{
    auto t = m_f->table(QStringLiteral("AnagBimbi.DB"));
    t->open();
    addChildren(*t, 1);
    EventLog log;
    log.attach(*t);
    t->setReaction(Table::Reaction::OnNewRecord, &log, [&](Table& tb) {
        log.entries << QStringLiteral("onNewRecord");
        tb.setValue(QStringLiteral("Id_Nido"), 9);
        tb.setValue(QStringLiteral("Frequenza"), true);
    });

    QVERIFY(t->append());
    QCOMPARE(log.entries, (QStringList{"onNewRecord", "afterInsert:", "afterScroll:"}));
    QCOMPARE(t->state(), Table::State::Insert);
    // Defaults are not a change of the user's.
    QVERIFY(!t->isModified());
    QCOMPARE(t->asInteger(QStringLiteral("Id_Nido")), 9);

    t->setValue(QStringLiteral("Nome"), QStringLiteral("Nuovo"));
    QVERIFY(t->isModified());
    log.clear();
    t->post();
    QCOMPARE(log.entries, QStringList{"afterPost:2"});
    QCOMPARE(t->state(), Table::State::Browse);
    QVERIFY(!t->isModified());
    QCOMPARE(t->recordCount(), 2);
    QCOMPARE(readColumn(*m_f, QStringLiteral("AnagBimbi.DB"), QStringLiteral("AnagBimbi"), QStringLiteral("Id_Nido")),
             (QStringList{"1", "9"}));

    log.clear();
    t->edit();
    QCOMPARE(log.entries, QStringList{"afterEdit:2"});
    QVERIFY(!t->isModified());
}

void TestTable::abortInOnNewRecord()
{
    auto t = m_f->table(QStringLiteral("AnagBimbi.DB"));
    t->open();
    addChildren(*t, 3);
    QVERIFY(t->locate(QStringLiteral("Id"), 2));
    EventLog log;
    log.attach(*t);
    t->setReaction(Table::Reaction::OnNewRecord, &log, [&](Table& tb) {
        log.entries << QStringLiteral("onNewRecord");
        tb.setValue(QStringLiteral("Nome"), QStringLiteral("non deve restare"));
        throw Abort();
    });

    QVERIFY(!t->append());
    QVERIFY(!t->insert());
    QCOMPARE(log.entries, (QStringList{"onNewRecord", "onNewRecord"})); // nothing after the cancelled one
    QCOMPARE(t->state(), Table::State::Browse);
    QCOMPARE(t->asInteger(QStringLiteral("Id")), 2);
    QCOMPARE(t->asString(QStringLiteral("Nome")), QStringLiteral("child2"));
    QCOMPARE(t->recordCount(), 3);
    t->close();
    QCOMPARE(readColumn(*m_f, QStringLiteral("AnagBimbi.DB"), QStringLiteral("AnagBimbi"), QStringLiteral("Nome")),
             (QStringList{"child1", "child2", "child3"}));
}

void TestTable::abortInBeforeDelete()
{
    auto t = m_f->table(QStringLiteral("AnagBimbi.DB"));
    t->open();
    addChildren(*t, 2);
    QVERIFY(t->locate(QStringLiteral("Id"), 2));
    EventLog log;
    log.attach(*t);
    t->setReaction(Table::Reaction::BeforeDelete, &log, [&](Table&) { throw Abort(); });

    QVERIFY(!t->remove());
    QCOMPARE(t->recordCount(), 2);
    QCOMPARE(t->asInteger(QStringLiteral("Id")), 2);
    QCOMPARE(t->state(), Table::State::Browse);
    QVERIFY(log.entries.isEmpty());
    QCOMPARE(readColumn(*m_f, QStringLiteral("AnagBimbi.DB"), QStringLiteral("AnagBimbi"), QStringLiteral("Id")),
             (QStringList{"1", "2"}));

    // Without the veto the same call deletes.
    t->setReaction(Table::Reaction::BeforeDelete, &log, nullptr);
    QVERIFY(t->remove());
    QCOMPARE(t->recordCount(), 1);
}

void TestTable::removeScrollsToSuccessor_data()
{
    QTest::addColumn<int>("removeId");
    QTest::addColumn<QString>("after"); // the record that takes its place
    QTest::newRow("first") << 1 << "2";
    QTest::newRow("middle") << 2 << "3";
    QTest::newRow("last: the one before") << 3 << "2";
}

void TestTable::removeScrollsToSuccessor()
{
    QFETCH(int, removeId);
    QFETCH(QString, after);
    auto t = m_f->table(QStringLiteral("AnagBimbi.DB"));
    t->open();
    addChildren(*t, 3);
    QVERIFY(t->locate(QStringLiteral("Id"), removeId));
    EventLog log;
    log.attach(*t);

    QVERIFY(t->remove());
    QCOMPARE(log.entries, (QStringList{"beforeDelete:" + QString::number(removeId), "afterScroll:" + after}));
    QCOMPARE(t->asString(QStringLiteral("Id")), after);
    QCOMPARE(t->recordCount(), 2);
    // The walk still sees both survivors once.
    QCOMPARE(walkForward(*t, QStringLiteral("Id")).size(), 2);
}

void TestTable::cancelInsertScrolls()
{
    auto t = m_f->table(QStringLiteral("AnagBimbi.DB"));
    t->open();
    addChildren(*t, 3);
    QVERIFY(t->locate(QStringLiteral("Id"), 2));
    EventLog log;
    log.attach(*t);

    QVERIFY(t->append());
    t->setValue(QStringLiteral("Nome"), QStringLiteral("ripensamento"));
    log.clear();
    t->cancel();
    QCOMPARE(log.entries, QStringList{"afterScroll:2"});
    QCOMPARE(t->state(), Table::State::Browse);
    QCOMPARE(t->recordCount(), 3);
    QCOMPARE(t->asString(QStringLiteral("Nome")), QStringLiteral("child2"));

    // Cancelling an edit restores the stored values.
    t->edit();
    t->setValue(QStringLiteral("Nome"), QStringLiteral("cambiato"));
    t->cancel();
    QCOMPARE(t->asString(QStringLiteral("Nome")), QStringLiteral("child2"));
}

void TestTable::editOnEmptyTableInserts()
{
    auto t = m_f->table(QStringLiteral("AnagBimbi.DB"));
    t->open();
    EventLog log;
    log.attach(*t);
    t->edit();
    QCOMPARE(t->state(), Table::State::Insert);
    QCOMPARE(log.count(QStringLiteral("onNewRecord")), 1);
    t->setValue(QStringLiteral("Nome"), QStringLiteral("primo"));
    t->post();
    QCOMPARE(t->recordCount(), 1);
    QCOMPARE(t->asString(QStringLiteral("Nome")), QStringLiteral("primo"));
}

// What post() returned is visible to another connection: it was committed.
void TestTable::postIsCommitted()
{
    auto t = m_f->table(QStringLiteral("Valutaz.db"));
    t->open();
    t->append();
    t->setValue(QStringLiteral("Id_Bimbo"), 7);
    t->setValue(QStringLiteral("DataValutazione"), QDate(2024, 3, 15));
    t->setValue(QStringLiteral("Sel"), false);
    t->post();
    const QString where = QStringLiteral("\"Id\" = %1").arg(t->asInteger(QStringLiteral("Id")));
    QCOMPARE(readColumn(*m_f, QStringLiteral("Valutaz.db"), QStringLiteral("Valutaz"), QStringLiteral("DataValutazione"), where),
             QStringList{"2024-03-15"});
    // False is a value, not unset. On a server the mark is this program's
    // own and the stored column is left alone (see serverMarks).
    QCOMPARE(readColumn(*m_f, QStringLiteral("Valutaz.db"), QStringLiteral("Valutaz"), QStringLiteral("Sel"), where),
             QStringList{onServer() ? "<null>" : "0"});
    QCOMPARE(t->value(QStringLiteral("Sel")), QVariant(false));

    t->edit();
    t->setValue(QStringLiteral("MesiBimbo"), 14);
    t->post();
    QCOMPARE(readColumn(*m_f, QStringLiteral("Valutaz.db"), QStringLiteral("Valutaz"), QStringLiteral("MesiBimbo"), where),
             QStringList{"14"});

    // Unsetting a field stores it unset.
    t->edit();
    t->setValue(QStringLiteral("DataValutazione"), QString());
    t->post();
    QCOMPARE(readColumn(*m_f, QStringLiteral("Valutaz.db"), QStringLiteral("Valutaz"), QStringLiteral("DataValutazione"), where),
             QStringList{"<null>"});
}

void TestTable::fieldChangeHandler()
{
    auto t = m_f->table(QStringLiteral("AnagEdu.db"));
    QStringList seen;
    t->setFieldChangeHandler(QStringLiteral("cognome"), [&](Table& tb) {
        seen << tb.asString(QStringLiteral("Cognome"));
    });
    t->open();
    t->append();
    t->setValue(QStringLiteral("Nome"), QStringLiteral("Anna"));
    QVERIFY(seen.isEmpty()); // another field
    t->setValue(QStringLiteral("Cognome"), QStringLiteral("Rossi"));
    QCOMPARE(seen, QStringList{"Rossi"}); // runs after the value is in place
    t->post();
    QCOMPARE(seen.size(), 1);
}

// ---------------------------------------------------------------- switching a filter on

void TestTable::filterSwitchPostsOrDropsPending_data()
{
    QTest::addColumn<bool>("insert");  // pending insert, else pending edit
    QTest::addColumn<bool>("changed"); // the pending record holds a change
    QTest::addColumn<QStringList>("stored"); // Nome in the file afterwards

    QTest::newRow("insert with changes: posted") << true << true << QStringList{"a", "b", "nuovo"};
    QTest::newRow("insert of defaults only: dropped") << true << false << QStringList{"a", "b"};
    QTest::newRow("edit with changes: posted") << false << true << QStringList{"a", "nuovo"};
    QTest::newRow("edit without changes: nothing written") << false << false << QStringList{"a", "b"};
}

void TestTable::filterSwitchPostsOrDropsPending()
{
    QFETCH(bool, insert);
    QFETCH(bool, changed);
    QFETCH(QStringList, stored);

    auto t = m_f->table(QStringLiteral("AnagBimbi.DB"));
    t->open();
    addRow(*t, {{"Id_Nido", 3}, {"Nome", "a"}});
    addRow(*t, {{"Id_Nido", 3}, {"Nome", "b"}});
    EventLog log;
    log.attach(*t);
    t->setReaction(Table::Reaction::OnNewRecord, &log, [](Table& tb) { tb.setValue(QStringLiteral("Id_Nido"), 3); });

    if (insert)
        t->append();
    else
        t->edit(); // on "b"
    if (changed)
        t->setValue(QStringLiteral("Nome"), QStringLiteral("nuovo"));

    log.clear();
    t->setFiltered(false);
    t->setFilter(QStringLiteral("Id_Nido=3"));
    t->setFiltered(true);
    QCOMPARE(t->state(), Table::State::Browse);
    QCOMPARE(readColumn(*m_f, QStringLiteral("AnagBimbi.DB"), QStringLiteral("AnagBimbi"), QStringLiteral("Nome")),
             stored);
    // On the first selected record, announced last. (Dropping an insert
    // scrolls back to the record it started from before that.)
    QCOMPARE(t->recNo(), 0);
    QCOMPARE(t->asString(QStringLiteral("Nome")), QStringLiteral("a"));
    QVERIFY(!log.entries.isEmpty());
    QCOMPARE(log.entries.last(), QStringLiteral("afterScroll:1"));
}

void TestTable::filterSwitchWithNothingSelected()
{
    auto t = m_f->table(QStringLiteral("AnagBimbi.DB"));
    t->open();
    addChildren(*t, 2);
    t->last();
    EventLog log;
    log.attach(*t);

    t->setFiltered(false);
    t->setFilter(QStringLiteral("Id_Nido=42"));
    t->setFiltered(true);
    QCOMPARE(log.entries, QStringList{"afterScroll:"}); // runs with no record
    QVERIFY(t->value(QStringLiteral("Id")).isNull());
    QCOMPARE(t->asString(QStringLiteral("Id")), QString());
    QCOMPARE(t->asString(QStringLiteral("Nome")), QString());
    QVERIFY(t->isEmpty());
    QVERIFY(t->isBof());
    QVERIFY(t->isEof());
    QCOMPARE(t->recordCount(), 0);
    QCOMPARE(t->recNo(), -1);

    // A filter that selects again brings the records back.
    log.clear();
    t->setFiltered(false);
    t->setFilter(QStringLiteral("Id_Nido=1"));
    t->setFiltered(true);
    QCOMPARE(log.entries, QStringList{"afterScroll:1"});
    QCOMPARE(t->recordCount(), 2);
}

// ---------------------------------------------------------------- refusals and conversions

void TestTable::readOnlyRefuses_data()
{
    QTest::addColumn<QString>("operation");
    QTest::newRow("edit") << "edit";
    QTest::newRow("append") << "append";
    QTest::newRow("insert") << "insert";
    QTest::newRow("remove") << "remove";
    QTest::newRow("setAll") << "setAll";
}

void TestTable::readOnlyRefuses()
{
    QFETCH(QString, operation);
    {
        auto w = m_f->table(QStringLiteral("AnagBimbi.DB"));
        w->open();
        addChildren(*w, 2);
    }
    auto t = m_f->table(QStringLiteral("AnagBimbi.DB"));
    t->setReadOnly(true);
    EventLog log;
    log.attach(*t);
    t->open();
    log.clear();

    const QString err = dbErrorOf([&] {
        if (operation == QLatin1String("edit"))
            t->edit();
        else if (operation == QLatin1String("append"))
            t->append();
        else if (operation == QLatin1String("insert"))
            t->insert();
        else if (operation == QLatin1String("remove"))
            t->remove();
        else
            t->setAll(QStringLiteral("Nome"), QStringLiteral("tutti"));
    });
    QVERIFY2(err.contains(QLatin1String("sola lettura")), qPrintable(err));
    QCOMPARE(t->state(), Table::State::Browse);
    QVERIFY(log.entries.isEmpty()); // refused before any event
    QVERIFY(!dbErrorOf([&] { t->setValue(QStringLiteral("Nome"), QStringLiteral("x")); }).isEmpty());
    QCOMPARE(readColumn(*m_f, QStringLiteral("AnagBimbi.DB"), QStringLiteral("AnagBimbi"), QStringLiteral("Nome")),
             (QStringList{"child1", "child2"}));
    // Reading still works.
    QCOMPARE(walkForward(*t, QStringLiteral("Nome")), (QStringList{"child1", "child2"}));
}

void TestTable::stringCut_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("input");
    QTest::addColumn<QString>("stored");

    QTest::newRow("password of 12 keeps 10") << "AnagEdu.db" << "Password" << "abcdefghijkl" << "abcdefghij";
    QTest::newRow("password of 10 unchanged") << "AnagEdu.db" << "Password" << "abcdefghij" << "abcdefghij";
    QTest::newRow("accented letters count as one") << "AnagEdu.db" << "Password" << "àèìòùàèìòùàè" << "àèìòùàèìòù";
    QTest::newRow("surname 15") << "AnagBimbi.DB" << "Cognome" << "Dell'Acqua Bellini" << "Dell'Acqua Bell";
    QTest::newRow("sex 1") << "AnagBimbi.DB" << "Sesso" << "MF" << "M";
    QTest::newRow("province 4") << "AnagNido.db" << "Provincia" << "Milano" << "Mila";
    QTest::newRow("area code 2") << "Aree.db" << "AreaBreve" << "XYZ" << "XY";
    QTest::newRow("role 30") << "Ruoli.db" << "Ruolo" << QString(31, QLatin1Char('r')) << QString(30, QLatin1Char('r'));
    QTest::newRow("trailing spaces are text") << "AnagEdu.db" << "Nome" << "Anna      " << "Anna      ";
    // Sizes count UTF-16 units; a character is never split at the limit.
    QTest::newRow("emoji straddling the limit is dropped")
        << "AnagEdu.db" << "Password" << QString::fromUtf8("abcdefghi😀") << "abcdefghi";
    QTest::newRow("emoji ending at the limit is kept")
        << "AnagEdu.db" << "Password" << QString::fromUtf8("abcdefgh😀xy") << QString::fromUtf8("abcdefgh😀");
    QTest::newRow("emoji in a field of one") << "AnagBimbi.DB" << "Sesso" << QString::fromUtf8("😀") << "";
    QTest::newRow("accent combined after the limit drops its letter")
        << "AnagEdu.db" << "Password" << QString::fromUtf8("abcdefghié") << "abcdefghi";
    QTest::newRow("flag straddling the limit")
        << "AnagEdu.db" << "Password" << QString::fromUtf8("abcdefgh🇮🇹") << "abcdefgh";
    QTest::newRow("lone high surrogate at the limit")
        << "AnagEdu.db" << "Password" << (QStringLiteral("abcdefghi") + QChar(0xD83D) + QStringLiteral("x")) << "abcdefghi";
    // What a cut by units elsewhere leaves: exactly the size, ending in half a pair.
    QTest::newRow("half an emoji ending a text of the field's size")
        << "AnagEdu.db" << "Password" << (QStringLiteral("abcdefghi") + QChar(0xD83D)) << "abcdefghi";
    QTest::newRow("half an emoji ending a shorter text")
        << "AnagEdu.db" << "Nome" << (QStringLiteral("Anna") + QChar(0xD83D)) << "Anna";
}

void TestTable::stringCut()
{
    QFETCH(QString, file);
    QFETCH(QString, field);
    QFETCH(QString, input);
    QFETCH(QString, stored);

    auto t = m_f->table(file);
    t->open();
    t->append();
    t->setValue(field, input);
    QCOMPARE(t->asString(field), stored); // cut on assignment, before posting
    t->post();
    const qint64 id = t->value(QStringLiteral("Id")).toLongLong();
    t->close();
    t->open();
    QVERIFY(t->locate(QStringLiteral("Id"), id));
    QCOMPARE(t->asString(field), stored);
}

// A text may carry the character U+0000 (pasted, or brought by an old
// file): nobody sees it, and a server refuses a text holding it. Both
// engines store the text without it, counted after it is gone.
void TestTable::nulCharacter_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<QString>("table");
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("input");
    QTest::addColumn<QString>("stored");

    const QChar nul(0);
    QTest::newRow("in a name") << "AnagEdu.db" << "AnagEdu" << "Nome" << (QStringLiteral("An") + nul + QStringLiteral("na"))
                               << "Anna";
    QTest::newRow("in a memo") << "AnagBimbi.DB" << "AnagBimbi" << "Note"
                               << (QStringLiteral("allergia") + nul + QStringLiteral(" al latte") + nul)
                               << "allergia al latte";
    QTest::newRow("not counted in the size") << "AnagEdu.db" << "AnagEdu" << "Password"
                                             << (QStringLiteral("abcde") + nul + QStringLiteral("fghijkl")) << "abcdefghij";
    QTest::newRow("nothing else") << "AnagEdu.db" << "AnagEdu" << "Nome" << QString(2, nul) << "<null>";
}

void TestTable::nulCharacter()
{
    QFETCH(QString, file);
    QFETCH(QString, table);
    QFETCH(QString, field);
    QFETCH(QString, input);
    QFETCH(QString, stored);

    auto t = m_f->table(file);
    t->open();
    t->append();
    t->setValue(field, input);
    t->post();
    QCOMPARE(readColumn(*m_f, file, table, field), QStringList{stored});

    // The same text given to every record at once, and looked for.
    t->setAll(field, input);
    QCOMPARE(readColumn(*m_f, file, table, field), QStringList{stored});
    if (stored != QLatin1String("<null>"))
        QVERIFY(t->locate(field, input));
}

void TestTable::badText_data()
{
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("message");

    QTest::newRow("letters for an integer") << "Id_Nido" << "abc" << "'abc' non è un valore intero valido.";
    QTest::newRow("trailing letters") << "Id_Nido" << "3x" << "'3x' non è un valore intero valido.";
    QTest::newRow("decimal for an integer") << "Id_Nido" << "3,5" << "'3,5' non è un valore intero valido.";
    QTest::newRow("too large") << "Id_Nido" << "99999999999" << "'99999999999' non è un valore intero valido.";
    QTest::newRow("letters for a date") << "DataDiNascita" << "abc" << "'abc' non è una data valida.";
    QTest::newRow("31 February") << "DataDiNascita" << "31/02/2020" << "'31/02/2020' non è una data valida.";
    QTest::newRow("month 13") << "DataDiNascita" << "01/13/2020" << "'01/13/2020' non è una data valida.";
}

// A refused text raises the message the user sees and leaves the field as it was.
void TestTable::badText()
{
    QFETCH(QString, field);
    QFETCH(QString, text);
    QFETCH(QString, message);

    auto t = m_f->table(QStringLiteral("AnagBimbi.DB"));
    t->open();
    addRow(*t, {{"Id_Nido", 2}, {"DataDiNascita", QDate(2023, 1, 9)}});
    t->edit();
    QCOMPARE(dbErrorOf([&] { t->setValue(field, text); }), message);
    QVERIFY(!t->isModified());
    QCOMPARE(t->asInteger(QStringLiteral("Id_Nido")), 2);
    QCOMPARE(t->fieldByName(QStringLiteral("DataDiNascita")).asDate(), QDate(2023, 1, 9));
    t->post();
    QCOMPARE(readColumn(*m_f, QStringLiteral("AnagBimbi.DB"), QStringLiteral("AnagBimbi"), QStringLiteral("Id_Nido")),
             QStringList{"2"});
}

void TestTable::dateText_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QDate>("date");
    QTest::newRow("day/month/year") << "04/05/2023" << QDate(2023, 5, 4);
    QTest::newRow("single digits") << "4/5/2023" << QDate(2023, 5, 4);
    QTest::newRow("two-digit year") << "04/05/23" << QDate(2023, 5, 4);
    QTest::newRow("ISO") << "2023-05-04" << QDate(2023, 5, 4);
    QTest::newRow("29 February of a leap year") << "29/02/2024" << QDate(2024, 2, 29);
}

// Dates typed as the user writes them, and shown back in a form that reads
// the same date again.
void TestTable::dateText()
{
    QFETCH(QString, text);
    QFETCH(QDate, date);
    auto t = m_f->table(QStringLiteral("AnagBimbi.DB"));
    t->open();
    t->append();
    t->setValue(QStringLiteral("DataDiNascita"), text);
    QCOMPARE(t->fieldByName(QStringLiteral("DataDiNascita")).asDate(), date);
    const QString shown = t->asString(QStringLiteral("DataDiNascita"));
    t->setValue(QStringLiteral("DataDiNascita"), shown);
    QCOMPARE(t->fieldByName(QStringLiteral("DataDiNascita")).asDate(), date);
    t->post();
    QCOMPARE(t->fieldByName(QStringLiteral("DataDiNascita")).asDate(), date);
}

void TestTable::twoDigitYears_data()
{
    QTest::addColumn<QDate>("today");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QDate>("date");
    const QDate y2026(2026, 12, 10);
    QTest::newRow("99 in 2026") << y2026 << "1/1/99" << QDate(1999, 1, 1);
    QTest::newRow("30 in 2026") << y2026 << "1/1/30" << QDate(2030, 1, 1);
    QTest::newRow("76 in 2026: fifty years back") << y2026 << "31/12/76" << QDate(1976, 12, 31);
    QTest::newRow("75 in 2026: forty-nine ahead") << y2026 << "1/1/75" << QDate(2075, 1, 1);
    QTest::newRow("00 is a leap year in 2026") << y2026 << "29/02/00" << QDate(2000, 2, 29);
    QTest::newRow("dots") << y2026 << "04.05.99" << QDate(1999, 5, 4);
    QTest::newRow("dashes") << y2026 << "04-05-24" << QDate(2024, 5, 4);
    QTest::newRow("30 in 1990") << QDate(1990, 3, 1) << "1/1/30" << QDate(2030, 1, 1);
    QTest::newRow("40 in 1990") << QDate(1990, 3, 1) << "1/1/40" << QDate(1940, 1, 1);
    QTest::newRow("30 in 2090") << QDate(2090, 3, 1) << "1/1/30" << QDate(2130, 1, 1);
    QTest::newRow("four digits ignore the window") << y2026 << "1/1/1930" << QDate(1930, 1, 1);
}

// Two typed digits of a year fall within fifty years of the folder's clock.
void TestTable::twoDigitYears()
{
    QFETCH(QDate, today);
    QFETCH(QString, text);
    QFETCH(QDate, date);
    m_f->folder().setClock([today] { return QDateTime(today, QTime(9, 0)); });
    auto t = m_f->table(QStringLiteral("AnagBimbi.DB"));
    t->open();
    t->append();
    t->setValue(QStringLiteral("DataDiNascita"), text);
    QCOMPARE(t->fieldByName(QStringLiteral("DataDiNascita")).asDate(), date);
    t->post();
    QCOMPARE(readColumn(*m_f, QStringLiteral("AnagBimbi.DB"), QStringLiteral("AnagBimbi"), QStringLiteral("DataDiNascita")),
             QStringList{date.toString(Qt::ISODate)});
}

// ---------------------------------------------------------------- calculated and lookup fields

void TestTable::calculatedFields()
{
    auto t = m_f->table(QStringLiteral("AnagEdu.db"));
    t->addCalculatedField(QStringLiteral("NomeCompleto"), FieldType::String, 12);
    int calls = 0;
    t->setReaction(Table::Reaction::OnCalcFields, this, [&](Table& tb) {
        ++calls;
        tb.setValue(QStringLiteral("NomeCompleto"),
                    tb.asString(QStringLiteral("Cognome")) + QLatin1Char(' ') + tb.asString(QStringLiteral("Nome")));
    });
    t->open();
    addRow(*t, {{"Nome", "Anna"}, {"Cognome", "Rossi"}});
    addRow(*t, {{"Nome", "Margherita"}, {"Cognome", "Bianchi"}});

    QCOMPARE(walkForward(*t, QStringLiteral("NomeCompleto")), (QStringList{"Rossi Anna", "Bianchi Marg"}));
    QVERIFY(calls > 0);

    // Recalculated while editing, and after posting.
    t->first();
    t->edit();
    t->setValue(QStringLiteral("Nome"), QStringLiteral("Lia"));
    QCOMPARE(t->asString(QStringLiteral("NomeCompleto")), QStringLiteral("Rossi Lia"));
    t->post();
    QCOMPARE(t->asString(QStringLiteral("NomeCompleto")), QStringLiteral("Rossi Lia"));

    // Rows for a grid carry it too, without moving the cursor.
    const int fi = t->findField(QStringLiteral("NomeCompleto"));
    QCOMPARE(t->valueAt(1, fi).toString(), QStringLiteral("Bianchi Marg"));
    QCOMPARE(t->recNo(), 0);

    // A calculated field is not stored and cannot be assigned outside the calculation.
    t->edit();
    QVERIFY(!dbErrorOf([&] { t->setValue(QStringLiteral("NomeCompleto"), QStringLiteral("x")); }).isEmpty());
    t->cancel();
}

namespace {

// Staff of evaluation 1: educators 1 (nursery 1), 2 (nursery 2), 99 (none).
struct StaffFixture
{
    std::unique_ptr<Table> edu;
    std::unique_ptr<Table> pers;

    explicit StaffFixture(Folder& f, bool calculatedName)
    {
        edu = f.table(QStringLiteral("AnagEdu.db"));
        pers = f.table(QStringLiteral("Personale.db"));
        edu->open();
        addRow(*edu, {{"Id_Nido", 1}, {"Nome", "Anna"}, {"Cognome", "Rossi"}});
        addRow(*edu, {{"Id_Nido", 2}, {"Nome", "Bice"}, {"Cognome", "Brambillasca"}});
        edu->close();
        pers->open();
        addRow(*pers, {{"Id_Educatrice", 1}, {"Id_Valutazione", 1}});
        addRow(*pers, {{"Id_Educatrice", 2}, {"Id_Valutazione", 1}});
        addRow(*pers, {{"Id_Educatrice", 99}, {"Id_Valutazione", 1}});
        pers->close();

        if (calculatedName) {
            edu->addCalculatedField(QStringLiteral("Nominativo"), FieldType::String, 40);
            edu->setReaction(Table::Reaction::OnCalcFields, this, [](Table& tb) {
                tb.setValue(QStringLiteral("Nominativo"),
                            tb.asString(QStringLiteral("Cognome")) + QLatin1Char(' ') + tb.asString(QStringLiteral("Nome")));
            });
        }
        pers->addLookupField(QStringLiteral("Educatrice"), 10, QStringLiteral("Id_Educatrice"), edu.get(),
                             QStringLiteral("Id"), calculatedName ? QStringLiteral("Nominativo") : QStringLiteral("Cognome"));
    }
};

} // namespace

void TestTable::lookupUnderSourceFilter()
{
    StaffFixture s(*m_f, false);
    s.edu->setFilter(QStringLiteral("Id_Nido=1"));
    s.edu->setFiltered(true);

    s.pers->open();
    QVERIFY(s.edu->isOpen()); // opened by the table that reads it
    // Only nursery 1 is visible in the source; the long surname is cut to 10.
    QCOMPARE(walkForward(*s.pers, QStringLiteral("Educatrice")), (QStringList{"Rossi", "", ""}));

    s.edu->setFiltered(false);
    s.edu->setFilter(QStringLiteral("Id_Nido=2"));
    s.edu->setFiltered(true);
    QCOMPARE(walkForward(*s.pers, QStringLiteral("Educatrice")), (QStringList{"", "Brambillas", ""}));

    // The source's cursor is not moved by the lookups.
    QCOMPARE(s.edu->asInteger(QStringLiteral("Id")), 2);
}

// Switching the source's filter off makes every key visible again.
void TestTable::lookupFollowsSourceFilterOff()
{
    StaffFixture s(*m_f, false);
    s.edu->setFilter(QStringLiteral("Id_Nido=1"));
    s.edu->setFiltered(true);
    s.pers->open();
    QCOMPARE(walkForward(*s.pers, QStringLiteral("Educatrice")), (QStringList{"Rossi", "", ""}));

    s.edu->setFiltered(false);
    QCOMPARE(walkForward(*s.pers, QStringLiteral("Educatrice")), (QStringList{"Rossi", "Brambillas", ""}));

    // A change to the source is seen on the next read.
    QVERIFY(s.edu->locate(QStringLiteral("Id"), 1));
    s.edu->edit();
    s.edu->setValue(QStringLiteral("Cognome"), QStringLiteral("Verdi"));
    s.edu->post();
    QCOMPARE(walkForward(*s.pers, QStringLiteral("Educatrice")), (QStringList{"Verdi", "Brambillas", ""}));
}

// The display name of an educator is a calculated field of the source.
void TestTable::lookupOfCalculatedField()
{
    StaffFixture s(*m_f, true);
    s.pers->open();
    QCOMPARE(walkForward(*s.pers, QStringLiteral("Educatrice")), (QStringList{"Rossi Anna", "Brambillas", ""}));

    // Changing the key while editing resolves the lookup at once.
    s.pers->first();
    s.pers->edit();
    s.pers->setValue(QStringLiteral("Id_Educatrice"), 2);
    QCOMPARE(s.pers->asString(QStringLiteral("Educatrice")), QStringLiteral("Brambillas"));
    s.pers->setValue(QStringLiteral("Id_Educatrice"), QVariant());
    QCOMPARE(s.pers->asString(QStringLiteral("Educatrice")), QString());
    s.pers->cancel();

    // The source, walked on its own, still calculates its own field.
    QCOMPARE(walkForward(*s.edu, QStringLiteral("Nominativo")),
             (QStringList{"Rossi Anna", "Brambillasca Bice"}));
}

// ---------------------------------------------------------------- copy cursors

void TestTable::copyCursorLeavesOtherAlone()
{
    auto other = m_f->table(QStringLiteral("AnagBimbi.DB"));
    other->open();
    addRow(*other, {{"Id_Nido", 3}, {"Cognome", "Verdi"}, {"Nome", "a"}});   // 1
    addRow(*other, {{"Id_Nido", 3}, {"Cognome", "Bianchi"}, {"Nome", "b"}}); // 2
    addRow(*other, {{"Id_Nido", 4}, {"Cognome", "Abate"}, {"Nome", "c"}});   // 3
    addRow(*other, {{"Id_Nido", 3}, {"Cognome", "Rossi"}, {"Nome", "d"}});   // 4
    other->setIndexName(QStringLiteral("Cognome-Nome"));
    other->setFiltered(false);
    other->setFilter(QStringLiteral("Id_Nido=3"));
    other->setFiltered(true);
    other->next(); // Rossi (Id 4)
    QCOMPARE(other->asInteger(QStringLiteral("Id")), 4);
    other->tag = 7;

    EventLog log;
    log.attach(*other);
    int calcs = 0;
    other->setReaction(Table::Reaction::OnCalcFields, &log, [&](Table&) { ++calcs; });
    QSignalSpy setSpy(other.get(), &Table::dataSetChanged);
    QSignalSpy recSpy(other.get(), &Table::recordChanged);
    QSignalSpy stateSpy(other.get(), &Table::stateChanged);

    {
        Table twin;
        twin.bindLike(*other);
        QCOMPARE(twin.indexName(), other->indexName());
        QCOMPARE(twin.filter(), other->filter());
        QVERIFY(twin.isFiltered());
        twin.open();
        // Same selection, same order.
        QCOMPARE(walkForward(twin, QStringLiteral("Id")), (QStringList{"2", "4", "1"}));
        walkBackward(twin, QStringLiteral("Id"));
        QVERIFY(twin.locate(QStringLiteral("Id"), 1));
        twin.edit();
        twin.setValue(QStringLiteral("Note"), QStringLiteral("dalla copia"));
        twin.post();
        twin.append();
        twin.setValue(QStringLiteral("Id_Nido"), 3);
        twin.setValue(QStringLiteral("Cognome"), QStringLiteral("Neri"));
        twin.post();
        QVERIFY(twin.locate(QStringLiteral("Id"), 2));
        twin.remove();
        twin.close();
    }

    QVERIFY(log.entries.isEmpty());
    QCOMPARE(calcs, 0);
    QCOMPARE(setSpy.count(), 0);
    QCOMPARE(recSpy.count(), 0);
    QCOMPARE(stateSpy.count(), 0);
    QCOMPARE(other->state(), Table::State::Browse);
    QCOMPARE(other->asInteger(QStringLiteral("Id")), 4);
    QCOMPARE(other->recNo(), 1);
    QCOMPARE(other->tag, 7);

    // The changes are there once the visible table reads again.
    other->setReaction(Table::Reaction::AfterScroll, &log, nullptr);
    other->refresh();
    QCOMPARE(other->asInteger(QStringLiteral("Id")), 4);
    QCOMPARE(walkForward(*other, QStringLiteral("Cognome")), (QStringList{"Neri", "Rossi", "Verdi"}));
}

void TestTable::largeSelectionChangedByCopyCursor_data()
{
    QTest::addColumn<int>("numFase"); // of the record the copy cursor adds
    QTest::addColumn<bool>("removeToo"); // the copy cursor also deletes a record of the first page

    // The visible table has read its first page, not yet the keys past it.
    QTest::newRow("added before the visible record") << -1 << false;
    QTest::newRow("added and removed before it") << -1 << true;
    QTest::newRow("removed before it") << 5000 << true;
    QTest::newRow("added past the page") << 1400 << false;
}

// Whatever a copy cursor changed, walking the visible table from where it is
// visits no record twice and misses none of those it had.
void TestTable::largeSelectionChangedByCopyCursor()
{
    QFETCH(int, numFase);
    QFETCH(bool, removeToo);
    const int rows = 1500;
    QList<QVariantList> data;
    for (int i = 0; i < rows; ++i)
        data << QVariantList{4, 2, i};
    bulk(m_f->folder(), QStringLiteral("FasiVal.db"),
         QStringLiteral("INSERT INTO \"FasiVal\" (\"Id_Valutazione\", \"Id_Area\", \"NumFase\") VALUES (?, ?, ?)"), data);

    auto t = m_f->table(QStringLiteral("FasiVal.db"));
    t->setIndexName(QStringLiteral("NumeroFase"));
    t->open();
    QVERIFY(t->locate(QStringLiteral("NumFase"), 990));
    const qint64 here = t->value(QStringLiteral("Id")).toLongLong();

    {
        Table twin;
        twin.bindLike(*t);
        twin.open();
        twin.append();
        twin.setValue(QStringLiteral("NumFase"), numFase);
        twin.post();
        if (removeToo) {
            QVERIFY(twin.locate(QStringLiteral("NumFase"), 10));
            twin.remove();
        }
        twin.close();
    }
    QCOMPARE(t->value(QStringLiteral("Id")).toLongLong(), here);

    // From the visible record to the end, then back to the start.
    QSet<QString> seen;
    QStringList order;
    for (; !t->isEof(); t->next())
        order << t->asString(QStringLiteral("Id"));
    t->first();
    for (; !t->isEof(); t->next())
        if (t->value(QStringLiteral("Id")).toLongLong() < here || t->asInteger(QStringLiteral("NumFase")) < 990)
            order << t->asString(QStringLiteral("Id"));
    for (const QString& id : order) {
        QVERIFY2(!seen.contains(id), qPrintable(QStringLiteral("record %1 visited twice").arg(id)));
        seen.insert(id);
    }
    for (int id = 1; id <= rows; ++id)
        if (!(removeToo && id == 11))
            QVERIFY2(seen.contains(QString::number(id)), qPrintable(QStringLiteral("record %1 missed").arg(id)));
    // The count agrees with the walk.
    int walked = 0;
    for (t->first(); !t->isEof(); t->next())
        ++walked;
    QCOMPARE(t->recordCount(), walked);
}

void TestTable::setAllUpdatesSelection()
{
    auto t = m_f->table(QStringLiteral("FasiVal.db"));
    t->open();
    for (int i = 1; i <= 6; ++i)
        addRow(*t, {{"Id_Valutazione", i % 2 ? 4 : 5}, {"NumFase", i}, {"Si", i == 3 ? QVariant(QStringLiteral("x")) : QVariant()}});
    t->setFiltered(false);
    t->setFilter(QStringLiteral("Id_Valutazione=4"));
    t->setFiltered(true);
    t->next(); // NumFase 3
    EventLog log;
    log.attach(*t);

    Table twin;
    twin.bindLike(*t);
    twin.open();
    twin.setAll(QStringLiteral("si"), QStringLiteral("x"));
    twin.setAll(QStringLiteral("No"), QStringLiteral("n"));
    QCOMPARE(twin.recNo(), 0);
    twin.close();
    QVERIFY(log.entries.isEmpty());

    QCOMPARE(readColumn(*m_f, QStringLiteral("FasiVal.db"), QStringLiteral("FasiVal"), QStringLiteral("Si")),
             (QStringList{"x", "<null>", "x", "<null>", "x", "<null>"}));
    QCOMPARE(readColumn(*m_f, QStringLiteral("FasiVal.db"), QStringLiteral("FasiVal"), QStringLiteral("No")),
             (QStringList{"n", "<null>", "n", "<null>", "n", "<null>"}));

    // A table object that is not open writes its selection, or the whole
    // file, without reading it; read-only it refuses.
    {
        Table closed;
        closed.bindLike(*t);
        closed.setAllUnread(QStringLiteral("Si"), QStringLiteral("y"));
        QVERIFY(!closed.isOpen());
        closed.setFiltered(false);
        closed.setAllUnread(QStringLiteral("AVolte"), QStringLiteral("v"));
        closed.setReadOnly(true);
        QVERIFY_THROWS_EXCEPTION(DbError, closed.setAllUnread(QStringLiteral("Si"), QString()));
    }
    QCOMPARE(readColumn(*m_f, QStringLiteral("FasiVal.db"), QStringLiteral("FasiVal"), QStringLiteral("Si")),
             (QStringList{"y", "<null>", "y", "<null>", "y", "<null>"}));
    QCOMPARE(readColumn(*m_f, QStringLiteral("FasiVal.db"), QStringLiteral("FasiVal"), QStringLiteral("AVolte")),
             (QStringList(6, QStringLiteral("v"))));

    // On the visible table: the cursor stays and sees the new value.
    t->setAll(QStringLiteral("No"), QString());
    QCOMPARE(t->asInteger(QStringLiteral("NumFase")), 3);
    QVERIFY(t->isNull(QStringLiteral("No")));
    QVERIFY(log.entries.isEmpty());
    QCOMPARE(readColumn(*m_f, QStringLiteral("FasiVal.db"), QStringLiteral("FasiVal"), QStringLiteral("No")),
             (QStringList{"<null>", "<null>", "<null>", "<null>", "<null>", "<null>"}));
}

// A copy cursor bound with CopyRows::Shown walks the rows its twin holds,
// without reading the file, only while those rows are what this program
// last stored. A write made on the folder's connection behind the layer's
// back (which the layer does not count) shows whether the copy read the file.
void TestTable::copyOfShownRows_data()
{
    QTest::addColumn<QString>("before");  // what happens between the twin's read and the copy
    QTest::addColumn<bool>("shown");      // bound with CopyRows::Shown
    QTest::addColumn<QStringList>("si");  // the Si column as the copy walks it

    const QStringList held{"a", "a", "a"}, onDisk{"b", "b", "b"};
    QTest::newRow("shown, nothing written") << "" << true << held;
    QTest::newRow("read") << "" << false << onDisk;
    QTest::newRow("the twin posted") << "twin posts" << true << QStringList{"a", "p", "a"};
    QTest::newRow("another table object posted") << "other posts" << true << QStringList{"b", "q", "b"};
    QTest::newRow("twin in edit") << "twin edits" << true << onDisk;
    QTest::newRow("copy filtered otherwise") << "copy filter" << true << QStringList{"b", "b"};
    QTest::newRow("twin holds only a page") << "many rows" << true << QStringList{"b", "b", "b", "b"};
}

void TestTable::copyOfShownRows()
{
    QFETCH(QString, before);
    QFETCH(bool, shown);
    QFETCH(QStringList, si);

    auto t = m_f->table(QStringLiteral("FasiVal.db"));
    t->setIndexName(QStringLiteral("NumeroFase"));
    t->open();
    for (int i = 1; i <= 3; ++i)
        addRow(*t, {{"Id_Valutazione", 4}, {"NumFase", i}, {"Si", "a"}});
    addRow(*t, {{"Id_Valutazione", 5}, {"NumFase", 1}, {"Si", "a"}});
    if (before == QLatin1String("many rows")) {
        QList<QVariantList> rows;
        for (int i = 0; i < Table::pageSize; ++i)
            rows << QVariantList{4, 20 + i, QStringLiteral("a")};
        bulk(m_f->folder(), QStringLiteral("FasiVal.db"),
             QStringLiteral("INSERT INTO \"FasiVal\" (\"Id_Valutazione\", \"NumFase\", \"Si\") VALUES (?, ?, ?)"), rows);
    }
    t->setFilter(QStringLiteral("Id_Valutazione=4"));
    t->setFiltered(true);
    t->first();

    if (before == QLatin1String("twin posts")) {
        t->next();
        t->edit();
        t->setValue(QStringLiteral("Si"), QStringLiteral("p"));
        t->post();
    } else if (before == QLatin1String("twin edits")) {
        t->edit();
        t->setValue(QStringLiteral("No"), QStringLiteral("n"));
    } else if (before == QLatin1String("other posts")) {
        auto other = m_f->table(QStringLiteral("FasiVal.db"));
        other->open();
        QVERIFY(other->locate(QStringLiteral("NumFase"), 2));
        other->edit();
        other->setValue(QStringLiteral("Si"), QStringLiteral("q"));
        other->post();
    }
    // Behind the layer's back: every Si that is still "a" becomes "b".
    bulk(m_f->folder(), QStringLiteral("FasiVal.db"), QStringLiteral("UPDATE \"FasiVal\" SET \"Si\" = 'b' WHERE \"Si\" = 'a'"),
         {QVariantList{}});

    Table copy;
    copy.bindLike(*t, shown ? Table::CopyRows::Shown : Table::CopyRows::Read);
    if (before == QLatin1String("copy filter"))
        copy.setFilter(QStringLiteral("Id_Valutazione=4 and NumFase<3"));
    copy.open();
    QStringList walked = walkForward(copy, QStringLiteral("Si"));
    if (before == QLatin1String("many rows"))
        walked = walked.mid(0, 4);
    QCOMPARE(walked, si);
    // Walking the copy moved nothing of its twin.
    QVERIFY(t->isOpen());
}

// ---------------------------------------------------------------- reopen read-only

void TestTable::reopenReadOnly_data()
{
    QTest::addColumn<QString>("filter");
    QTest::addColumn<QStringList>("expected"); // Ids in index order
    QTest::addColumn<QStringList>("scrolls");  // afterScroll on reopening

    QTest::newRow("holds records") << "Id_Nido=3" << QStringList{"3", "1", "4"} << QStringList{"afterScroll:3"};
    QTest::newRow("selects nothing") << "Id_Nido=9" << QStringList{} << QStringList{};
}

// Close, set read-only, open again: filter, index and tag stay; the cursor is
// on the first record and afterScroll ran when there is one.
void TestTable::reopenReadOnly()
{
    QFETCH(QString, filter);
    QFETCH(QStringList, expected);
    QFETCH(QStringList, scrolls);

    auto t = m_f->table(QStringLiteral("AnagBimbi.DB"));
    t->open();
    addRow(*t, {{"Id_Nido", 3}, {"Cognome", "Rossi"}});   // 1
    addRow(*t, {{"Id_Nido", 4}, {"Cognome", "Abate"}});   // 2
    addRow(*t, {{"Id_Nido", 3}, {"Cognome", "Bianchi"}}); // 3
    addRow(*t, {{"Id_Nido", 3}, {"Cognome", "Verdi"}});   // 4
    t->setIndexName(QStringLiteral("Cognome-Nome"));
    t->setFiltered(false);
    t->setFilter(filter);
    t->setFiltered(true);
    t->last();
    t->tag = 2;
    EventLog log;
    log.attach(*t);

    t->close();
    t->setReadOnly(true);
    t->open();

    QCOMPARE(log.entries, scrolls);
    QCOMPARE(t->filter(), filter);
    QVERIFY(t->isFiltered());
    QCOMPARE(t->indexName(), QStringLiteral("Cognome-Nome"));
    QCOMPARE(t->tag, 2);
    QVERIFY(t->isReadOnly());
    QCOMPARE(t->recNo(), expected.isEmpty() ? -1 : 0);
    QCOMPARE(t->asString(QStringLiteral("Id")), expected.value(0));
    QVERIFY(t->isBof());
    QVERIFY(!dbErrorOf([&] { t->edit(); }).isEmpty());
    QCOMPARE(walkForward(*t, QStringLiteral("Id")), expected);

    // And back to writable the same way.
    t->close();
    t->setReadOnly(false);
    t->open();
    QVERIFY(t->append());
    t->cancel();
}

// ---------------------------------------------------------------- controls

void TestTable::disableControls()
{
    auto t = m_f->table(QStringLiteral("AnagBimbi.DB"));
    t->open();
    addChildren(*t, 3);
    QSignalSpy setSpy(t.get(), &Table::dataSetChanged);
    QSignalSpy recSpy(t.get(), &Table::recordChanged);
    QSignalSpy frozenSpy(t.get(), &Table::controlsFrozen);

    t->disableControls();
    t->disableControls(); // nested
    QVERIFY(t->controlsDisabled());
    // Told once, as the first disabling begins.
    QCOMPARE(frozenSpy.count(), 1);
    QCOMPARE(frozenSpy.at(0).at(0).toBool(), true);
    t->first();
    t->next();
    t->edit();
    t->setValue(QStringLiteral("Nome"), QStringLiteral("cambiato"));
    t->post();
    t->append();
    t->setValue(QStringLiteral("Nome"), QStringLiteral("nuovo"));
    t->post();
    t->setFiltered(false);
    t->setFilter(QStringLiteral("Id_Nido=1"));
    t->setFiltered(true);
    t->enableControls();
    QVERIFY(t->controlsDisabled());
    QCOMPARE(setSpy.count(), 0);
    QCOMPARE(recSpy.count(), 0);

    QCOMPARE(frozenSpy.count(), 1);
    t->enableControls();
    QVERIFY(!t->controlsDisabled());
    QCOMPARE(setSpy.count(), 1);
    QCOMPARE(recSpy.count(), 0);
    // Told once more, as the last one ends.
    QCOMPARE(frozenSpy.count(), 2);
    QCOMPARE(frozenSpy.at(1).at(0).toBool(), false);

    // Enabled again, moves are announced as they happen.
    t->next();
    QCOMPARE(recSpy.count() + setSpy.count(), 2);
}

void TestTable::filterChangeShowsOnlyItsEnd()
{
    // The controls of a table narrowed by a filter must never be made to show
    // the whole table in the middle of a filter change: with a million rows
    // that alone would freeze the window.
    auto t = m_f->table(QStringLiteral("AnagBimbi.DB"));
    t->open();
    addChildren(*t, 3);
    t->setFilter(QStringLiteral("Id=1"));
    t->setFiltered(true);
    QSignalSpy setSpy(t.get(), &Table::dataSetChanged);
    int countsSeen = -1;
    connect(t.get(), &Table::dataSetChanged, t.get(), [&] { countsSeen = t->recordCount(); });

    t->setFiltered(false);
    t->setFilter(QStringLiteral("Id=2"));
    t->setFiltered(true);
    QCOMPARE(setSpy.count(), 1);
    QCOMPARE(countsSeen, 1);
    QCoreApplication::processEvents();
    QCOMPARE(setSpy.count(), 1); // nothing more once the loop runs

    // A filter switched off and left off is shown once the handler is over.
    t->setFiltered(false);
    QCOMPARE(setSpy.count(), 1);
    QCoreApplication::processEvents();
    QCOMPARE(setSpy.count(), 2);
    QCOMPARE(countsSeen, 3);
}

QTEST_GUILESS_MAIN(TestTable)
#include "test_table.moc"
