// Filters as the program writes them: each expression is compiled against
// its table and judged by what it selects on a small fixture, where every row
// is there to tell a right answer from a plausible wrong one.

#include "filter.h"
#include "schema.h"
#include "storefixture.h"

#include <QTest>

using namespace velmora::store;
using namespace storetest;

class TestFilter : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();

    void selects_data();
    void selects();

    void compilesAgainstItsTable_data();
    void compilesAgainstItsTable();

    void injectionChangesNothing();

    void unreadable_data();
    void unreadable();
    void unreadableOnClosedTable();

    void filterOffSelectsEverything();

    void nesting_data();
    void nesting();
    void groupLevels_data();
    void groupLevels();
    void longChains_data();
    void longChains();
    void messageKeepsPercentSigns_data();
    void messageKeepsPercentSigns();

private:
    std::unique_ptr<Folder> m_folder;
};

// The label field that names each fixture row in the tables below.
static QString labelOf(const QString& fileName)
{
    if (fileName.startsWith(QLatin1String("AnagBimbi"), Qt::CaseInsensitive)
        || fileName.startsWith(QLatin1String("AnagEdu"), Qt::CaseInsensitive))
        return QStringLiteral("Nome");
    if (fileName.startsWith(QLatin1String("Valutaz"), Qt::CaseInsensitive))
        return QStringLiteral("MesiBimbo");
    if (fileName.startsWith(QLatin1String("Personale"), Qt::CaseInsensitive))
        return QStringLiteral("Note");
    return QStringLiteral("NumFase");
}

void TestFilter::initTestCase()
{
    STORETEST_REQUIRE_ENGINE();
    m_folder = std::make_unique<Folder>();
    Folder& f = *m_folder;
    {
        auto t = f.table(QStringLiteral("AnagBimbi.DB"));
        t->open();
        // Ids 1..8 in this order.
        addRow(*t, {{"Id_Nido", 3}, {"Nome", "Mario"}, {"Cognome", "Rossi"}});                       // Frequenza unset
        addRow(*t, {{"Id_Nido", 3}, {"Nome", "Anna"}, {"Cognome", "Rossi"}, {"Frequenza", true}});
        addRow(*t, {{"Id_Nido", 3}, {"Nome", "Luca"}, {"Cognome", "Bianchi"}, {"Frequenza", false}});
        addRow(*t, {{"Id_Nido", 2}, {"Nome", "Paolo"}, {"Cognome", "Rossi"}, {"Frequenza", true}});
        addRow(*t, {{"Id_Nido", 3}, {"Nome", "Sean"}, {"Cognome", "O'Brien"}, {"Frequenza", true}});
        addRow(*t, {{"Id_Nido", 3}, {"Nome", "Ugo"}, {"Cognome", "rossi"}});                           // lower case, unset
        addRow(*t, {{"Id_Nido", 1}, {"Nome", "Zeno"}, {"Cognome", "x' or '1'='1"}, {"Frequenza", true}});
        addRow(*t, {{"Nome", "Nadia"}, {"Cognome", "Verdi"}});                                         // no nursery
        t->close();
    }
    {
        auto t = f.table(QStringLiteral("AnagEdu.db"));
        t->open();
        addRow(*t, {{"Id_Nido", 3}, {"Nome", "Maria"}, {"Cognome", "Rossi"}, {"Responsabile", true}});
        addRow(*t, {{"Id_Nido", 3}, {"Nome", "Sara"}, {"Cognome", "Rossi"}, {"Responsabile", false}});
        addRow(*t, {{"Id_Nido", 3}, {"Nome", "Lia"}, {"Cognome", "Rossi"}});
        addRow(*t, {{"Id_Nido", 2}, {"Nome", "Eva"}, {"Cognome", "Rossi"}, {"Responsabile", true}});
        addRow(*t, {{"Id_Nido", 3}, {"Nome", "Ada"}, {"Cognome", "rossi"}, {"Responsabile", true}});
        addRow(*t, {{"Id_Nido", 3}, {"Nome", "Ines"}, {"Cognome", "Verdi"}, {"Responsabile", true}});
        t->close();
    }
    {
        auto t = f.table(QStringLiteral("Valutaz.db"));
        t->open();
        addRow(*t, {{"Id_Bimbo", 7}, {"MesiBimbo", 10}});
        addRow(*t, {{"Id_Bimbo", 7}, {"MesiBimbo", 11}});
        addRow(*t, {{"Id_Bimbo", 0}, {"MesiBimbo", 12}});
        addRow(*t, {{"MesiBimbo", 13}}); // no child: not the same as child 0
        addRow(*t, {{"Id_Bimbo", 8}, {"MesiBimbo", 14}});
        t->close();
    }
    {
        auto t = f.table(QStringLiteral("Personale.db"));
        t->open();
        addRow(*t, {{"Id_Valutazione", 4}, {"Note", "a"}});
        addRow(*t, {{"Id_Valutazione", 4}, {"Note", "b"}});
        addRow(*t, {{"Id_Valutazione", 5}, {"Note", "c"}});
        addRow(*t, {{"Id_Valutazione", 44}, {"Note", "d"}});
        t->close();
    }
    {
        auto t = f.table(QStringLiteral("FasiVal.db"));
        t->open();
        addRow(*t, {{"Id_Valutazione", 4}, {"Id_Area", 2}, {"NumFase", 1}, {"NonSo", "x"}});
        addRow(*t, {{"Id_Valutazione", 4}, {"Id_Area", 2}, {"NumFase", 2}, {"NonSo", ""}}); // empty = unset
        addRow(*t, {{"Id_Valutazione", 4}, {"Id_Area", 3}, {"NumFase", 3}, {"NonSo", "y"}});
        addRow(*t, {{"Id_Valutazione", 5}, {"Id_Area", 2}, {"NumFase", 4}, {"NonSo", "z"}});
        addRow(*t, {{"Id_Valutazione", 4}, {"Id_Area", 2}, {"NumFase", 5}});                // never set
        addRow(*t, {{"Id_Valutazione", 5}, {"Id_Area", 3}, {"NumFase", 6}, {"NonSo", ""}});
        addRow(*t, {{"Id_Valutazione", 4}, {"Id_Area", 22}, {"NumFase", 7}, {"NonSo", "w"}});
        t->close();
    }
}

void TestFilter::cleanupTestCase()
{
    m_folder.reset();
}

void TestFilter::selects_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<QString>("filter");
    QTest::addColumn<QStringList>("expected"); // labels, in Id order

    const QString bimbi = QStringLiteral("AnagBimbi.DB");
    const QString edu = QStringLiteral("AnagEdu.db");
    const QString val = QStringLiteral("Valutaz.db");
    const QString pers = QStringLiteral("Personale.db");
    const QString fasi = QStringLiteral("FasiVal.db");

    // The expressions the program writes.
    QTest::newRow("children of a nursery") << bimbi << "Id_Nido=3"
        << QStringList{"Mario", "Anna", "Luca", "Sean", "Ugo"};
    QTest::newRow("head educator by surname") << edu << "Responsabile and Id_Nido=3 and Cognome='Rossi'"
        << QStringList{"Maria"}; // Sara is not head, Lia unset, Eva elsewhere, Ada is 'rossi'
    QTest::newRow("one record by Id") << bimbi << "Id=5" << QStringList{"Sean"};
    // Unset attendance counts as attending; False does not.
    QTest::newRow("attending children") << bimbi << "Id_Nido=3 and (frequenza is null or frequenza = True)"
        << QStringList{"Mario", "Anna", "Sean", "Ugo"};
    QTest::newRow("evaluations of a child") << val << "Id_Bimbo=7" << QStringList{"10", "11"};
    // An unset key is not 0.
    QTest::newRow("evaluations of child 0") << val << "Id_Bimbo=0" << QStringList{"12"};
    QTest::newRow("staff of an evaluation") << pers << "Id_Valutazione=4" << QStringList{"a", "b"};
    QTest::newRow("phases of an evaluation") << fasi << "Id_Valutazione=4" << QStringList{"1", "2", "3", "5", "7"};
    QTest::newRow("phases of an evaluation and area") << fasi << "(Id_Valutazione=4) and (Id_Area=2)"
        << QStringList{"1", "2", "5"};
    QTest::newRow("phases of an area") << fasi << "Id_Area=2" << QStringList{"1", "2", "4", "5"}; // not 22
    QTest::newRow("evaluation and area, no parentheses") << fasi << "Id_Valutazione=4 and Id_Area=2"
        << QStringList{"1", "2", "5"};
    // An empty answer list is stored unset and is not "different from empty".
    QTest::newRow("unknown answers of an evaluation") << fasi << "(nonso<>'') and (Id_Valutazione=4)"
        << QStringList{"1", "3", "7"};
    QTest::newRow("unknown answers of an evaluation and area")
        << fasi << "(nonso<>'') and (Id_Valutazione=4) and (Id_Area=2)" << QStringList{"1"};
    QTest::newRow("unknown answers of an area") << fasi << "(nonso<>'') and (Id_Area=2)" << QStringList{"1", "4"};

    // An unset Boolean is neither true nor false.
    QTest::newRow("= True skips unset") << bimbi << "frequenza = True" << QStringList{"Anna", "Paolo", "Sean", "Zeno"};
    QTest::newRow("= False skips unset") << bimbi << "frequenza = False" << QStringList{"Luca"};
    QTest::newRow("bare Boolean skips unset") << bimbi << "Frequenza" << QStringList{"Anna", "Paolo", "Sean", "Zeno"};
    QTest::newRow("not Boolean skips unset") << bimbi << "not Frequenza" << QStringList{"Luca"};
    QTest::newRow("is null") << bimbi << "frequenza is null" << QStringList{"Mario", "Ugo", "Nadia"};
    QTest::newRow("is not null") << bimbi << "frequenza is not null"
        << QStringList{"Anna", "Luca", "Paolo", "Sean", "Zeno"};
    QTest::newRow("unset key is null") << bimbi << "Id_Nido is null" << QStringList{"Nadia"};
    QTest::newRow("<> skips unset") << bimbi << "Id_Nido<>3" << QStringList{"Paolo", "Zeno"};
    QTest::newRow("empty string stored unset") << fasi << "nonso is null" << QStringList{"2", "5", "6"};
    QTest::newRow("unset boolean head") << edu << "Responsabile = False" << QStringList{"Sara"};

    // Text compares exactly, case included.
    QTest::newRow("exact case") << bimbi << "Cognome='Rossi'" << QStringList{"Mario", "Anna", "Paolo"};
    QTest::newRow("lower case value") << bimbi << "Cognome='rossi'" << QStringList{"Ugo"};
    QTest::newRow("upper case value") << bimbi << "Cognome='ROSSI'" << QStringList{};

    // Field names and keywords without regard to case.
    QTest::newRow("upper case names") << bimbi << "ID_NIDO=3 AND COGNOME='Rossi'" << QStringList{"Mario", "Anna"};
    QTest::newRow("mixed case or") << bimbi << "id_nido = 2 Or ID_nido=1" << QStringList{"Paolo", "Zeno"};
    QTest::newRow("upper case is null") << bimbi << "FREQUENZA IS NULL AND id_nido=3" << QStringList{"Mario", "Ugo"};
    QTest::newRow("upper case TRUE") << bimbi << "Frequenza = TRUE and ID=2" << QStringList{"Anna"};
    QTest::newRow("lower case bare Boolean") << edu << "responsabile" << QStringList{"Maria", "Eva", "Ada", "Ines"};
    QTest::newRow("spaces and parentheses") << bimbi << "  ( ( Id_Nido = 2 ) )  " << QStringList{"Paolo"};
    QTest::newRow("or binds looser than and") << bimbi << "Id_Nido=2 or Id_Nido=3 and Cognome='Bianchi'"
        << QStringList{"Luca", "Paolo"};

    // "not" over a group: a row where the group is unknown (an unset value
    // decides it) is selected neither by the group nor by its negation.
    QTest::newRow("not over or") << bimbi << "not (Id_Nido=3 or frequenza = True)" << QStringList{};
    QTest::newRow("not over and") << bimbi << "not (Id_Nido=3 and frequenza is null)"
        << QStringList{"Anna", "Luca", "Paolo", "Sean", "Zeno"};
    QTest::newRow("not over or with is not null") << bimbi << "not (frequenza is not null or Id_Nido = 1)"
        << QStringList{"Mario", "Ugo"};
    QTest::newRow("not over <") << bimbi << "not (Id_Nido < 3)" << QStringList{"Mario", "Anna", "Luca", "Sean", "Ugo"};
    QTest::newRow("not over >=") << bimbi << "not Id_Nido >= 3" << QStringList{"Paolo", "Zeno"};
    QTest::newRow("two nots") << bimbi << "not not Id_Nido<>3" << QStringList{"Paolo", "Zeno"};
    QTest::newRow("not inside not") << bimbi << "not (Id_Nido=2 or not (frequenza = False or Id_Nido = 1))"
        << QStringList{"Luca", "Zeno"};

    // Quotes: two quotes stand for one, and the text is taken literally.
    QTest::newRow("doubled quote") << bimbi << "Cognome='O''Brien'" << QStringList{"Sean"};
    QTest::newRow("quoted text that looks like SQL matches itself") << bimbi << "Cognome='x'' or ''1''=''1'"
        << QStringList{"Zeno"};
    QTest::newRow("tautology inside a value") << bimbi << "Cognome='Rossi'' or ''1''=''1'" << QStringList{};
    QTest::newRow("statement inside a value") << bimbi << "Cognome='x''; DROP TABLE AnagBimbi; --'" << QStringList{};
    QTest::newRow("comment inside a value") << bimbi << "Cognome='Rossi'' --'" << QStringList{};
}

void TestFilter::selects()
{
    QFETCH(QString, file);
    QFETCH(QString, filter);
    QFETCH(QStringList, expected);

    auto t = m_folder->table(file);
    t->open();
    t->setFiltered(false);
    t->setFilter(filter);
    t->setFiltered(true);
    const QString label = labelOf(file);
    QCOMPARE(walkForward(*t, label), expected);
    QCOMPARE(t->recordCount(), expected.size());
    t->close();
}

void TestFilter::compilesAgainstItsTable_data()
{
    QTest::addColumn<QString>("table");
    QTest::addColumn<QString>("filter");
    QTest::addColumn<QString>("otherTable"); // a table that lacks one of the fields

    QTest::newRow("1") << "AnagBimbi" << "Id_Nido=3 and (frequenza is null or frequenza = True)" << "AnagEdu";
    QTest::newRow("2") << "AnagEdu" << "Responsabile and Id_Nido=3 and Cognome='Rossi'" << "AnagBimbi";
    QTest::newRow("3") << "FasiVal" << "(nonso<>'') and (Id_Valutazione=4) and (Id_Area=2)" << "Personale";
    QTest::newRow("4") << "Valutaz" << "Id_Bimbo=0" << "FasiVal";
    QTest::newRow("5") << "Personale" << "Id_Valutazione=4" << "Valutaz";
}

// A field of another table is an error, not a silent always-false condition.
void TestFilter::compilesAgainstItsTable()
{
    QFETCH(QString, table);
    QFETCH(QString, filter);
    QFETCH(QString, otherTable);

    const TableDef* def = tableNamed(table);
    QVERIFY(def);
    const CompiledFilter f = compileFilter(filter, *def);
    QVERIFY(!f.sql.isEmpty());
    // Values travel as parameters, never inside the SQL text.
    QVERIFY(!f.sql.contains(QLatin1String("Rossi")));

    const TableDef* other = tableNamed(otherTable);
    QVERIFY(other);
    bool threw = false;
    try {
        compileFilter(filter, *other);
    } catch (const DbError& e) {
        threw = true;
        QVERIFY(!e.message().isEmpty());
    }
    QVERIFY(threw);
}

void TestFilter::injectionChangesNothing()
{
    auto t = m_folder->table(QStringLiteral("AnagBimbi.DB"));
    t->open();
    const QStringList before = walkForward(*t, QStringLiteral("Cognome"));
    for (const char* f : {"Cognome='x''; DROP TABLE AnagBimbi; --'",
                          "Cognome='x''); DELETE FROM AnagBimbi; --'",
                          "Cognome='x'';UPDATE AnagBimbi SET Cognome=''y'''"}) {
        t->setFiltered(false);
        t->setFilter(QString::fromLatin1(f));
        t->setFiltered(true);
        QCOMPARE(t->recordCount(), 0);
    }
    t->setFiltered(false);
    QCOMPARE(walkForward(*t, QStringLiteral("Cognome")), before);
    t->close();
    // And seen from outside the table layer.
    QCOMPARE(readColumn(*m_folder, QStringLiteral("AnagBimbi.DB"), QStringLiteral("AnagBimbi"),
                        QStringLiteral("Cognome")),
             before);
}

void TestFilter::unreadable_data()
{
    QTest::addColumn<QString>("filter");
    QTest::newRow("no value") << "Id_Nido=";
    QTest::newRow("dangling and") << "Id_Nido=3 and";
    QTest::newRow("dangling or") << "Id_Nido=3 or";
    QTest::newRow("leading and") << "and Id_Nido=3";
    QTest::newRow("unclosed parenthesis") << "(Id_Nido=3";
    QTest::newRow("extra parenthesis") << "Id_Nido=3)";
    QTest::newRow("empty parentheses") << "()";
    QTest::newRow("unclosed quote") << "Cognome='abc";
    QTest::newRow("unknown field") << "Pippo=1";
    QTest::newRow("bare non-Boolean") << "Nome";
    QTest::newRow("trailing word") << "Id_Nido=3 xyz";
    QTest::newRow("double operator") << "Id_Nido==3";
    QTest::newRow("text for a number") << "Id_Nido='tre'";
    QTest::newRow("text for a date") << "DataDiNascita='ieri'";
    QTest::newRow("is without null") << "Frequenza is";
    QTest::newRow("SQL keyword") << "Id_Nido=3; DROP TABLE AnagBimbi";
    QTest::newRow("double quotes") << "Cognome=\"Rossi\"";
}

// An unreadable filter raises an Italian error and leaves the table open,
// unfiltered and usable.
void TestFilter::unreadable()
{
    QFETCH(QString, filter);

    auto t = m_folder->table(QStringLiteral("AnagBimbi.DB"));
    t->open();
    QVERIFY(t->locate(QStringLiteral("Nome"), QStringLiteral("Luca")));

    t->setFiltered(false);
    t->setFilter(filter);
    QString message;
    try {
        t->setFiltered(true);
    } catch (const DbError& e) {
        message = e.message();
    }
    QVERIFY2(!message.isEmpty(), "no error raised");
    QVERIFY2(message.contains(QLatin1String("filtro")), qPrintable(message));

    QVERIFY(t->isOpen());
    QCOMPARE(t->state(), Table::State::Browse);
    QCOMPARE(t->recordCount(), 8);
    QCOMPARE(walkForward(*t, QStringLiteral("Id")).size(), 8);

    // Editing still works...
    QVERIFY(t->locate(QStringLiteral("Nome"), QStringLiteral("Luca")));
    t->edit();
    t->setValue(QStringLiteral("Note"), QStringLiteral("nota"));
    t->cancel();
    QCOMPARE(t->asString(QStringLiteral("Note")), QString());

    // ...and so does the next, readable, filter.
    t->setFiltered(false);
    t->setFilter(QStringLiteral("Id_Nido=2"));
    t->setFiltered(true);
    QCOMPARE(walkForward(*t, QStringLiteral("Nome")), QStringList{"Paolo"});

    // The parser alone says the same.
    bool threw = false;
    try {
        compileFilter(filter, *tableNamed(QStringLiteral("AnagBimbi")));
    } catch (const DbError&) {
        threw = true;
    }
    QVERIFY(threw);
    t->close();
}

// A filter set while closed is read on open: an unreadable one refuses the
// open and a readable one afterwards opens normally.
void TestFilter::unreadableOnClosedTable()
{
    auto t = m_folder->table(QStringLiteral("AnagBimbi.DB"));
    t->setFilter(QStringLiteral("(Id_Nido=3"));
    t->setFiltered(true);
    bool threw = false;
    try {
        t->open();
    } catch (const DbError& e) {
        threw = true;
        QVERIFY(e.message().contains(QLatin1String("filtro")));
    }
    QVERIFY(threw);
    QVERIFY(!t->isOpen());

    t->setFilter(QStringLiteral("(Id_Nido=2)"));
    t->open();
    QVERIFY(t->isOpen());
    QCOMPARE(walkForward(*t, QStringLiteral("Nome")), QStringList{"Paolo"});
    t->close();
}

void TestFilter::filterOffSelectsEverything()
{
    auto t = m_folder->table(QStringLiteral("FasiVal.db"));
    t->setFilter(QStringLiteral("Id_Area=2"));
    t->setFiltered(true);
    t->open();
    QCOMPARE(t->recordCount(), 4);
    t->setFiltered(false);
    QCOMPARE(t->recordCount(), 7);
    QCOMPARE(walkForward(*t, QStringLiteral("NumFase")), (QStringList{"1", "2", "3", "4", "5", "6", "7"}));
    // An empty filter switched on selects everything too.
    t->setFilter(QString());
    t->setFiltered(true);
    QCOMPARE(t->recordCount(), 7);
    t->close();
}

void TestFilter::nesting_data()
{
    QTest::addColumn<QString>("open");   // repeated before the comparison
    QTest::addColumn<QString>("close");  // repeated after it
    QTest::addColumn<int>("depth");
    QTest::addColumn<int>("selected");   // -1: refused

    QTest::newRow("100 parentheses") << "(" << ")" << 100 << 5;
    QTest::newRow("101 parentheses") << "(" << ")" << 101 << -1;
    QTest::newRow("2,000 parentheses") << "(" << ")" << 2000 << -1;
    QTest::newRow("100,000 parentheses") << "(" << ")" << 100000 << -1;
    QTest::newRow("100 nots") << "not " << "" << 100 << 5;
    QTest::newRow("99 nots") << "not " << "" << 99 << 2;
    QTest::newRow("2,000 nots") << "not " << "" << 2000 << -1;
    QTest::newRow("50 nots in parentheses") << "not (" << ")" << 50 << 5;
    QTest::newRow("2,000 nots in parentheses") << "not (" << ")" << 2000 << -1;
}

// Parentheses and nots nest up to a hundred; past that the text is refused
// with the filter's own error, however deep it goes, instead of running out
// of stack.
void TestFilter::nesting()
{
    QFETCH(QString, open);
    QFETCH(QString, close);
    QFETCH(int, depth);
    QFETCH(int, selected);

    const QString text = open.repeated(depth) + QStringLiteral("Id_Nido=3") + close.repeated(depth);
    auto t = m_folder->table(QStringLiteral("AnagBimbi.DB"));
    t->open();
    t->setFiltered(false);
    t->setFilter(text);
    QString message;
    try {
        t->setFiltered(true);
    } catch (const DbError& e) {
        message = e.message();
    }
    if (selected >= 0) {
        QVERIFY2(message.isEmpty(), qPrintable(message.right(200)));
        QCOMPARE(t->recordCount(), selected);
    } else {
        // A long text is quoted by its first 200 characters.
        QVERIFY(message.startsWith(QStringLiteral("Errore nel filtro \"") + text.left(200)
                                   + (text.size() > 200 ? QStringLiteral("\u2026\"") : QStringLiteral("\""))));
        QVERIFY2(message.endsWith(QLatin1String("troppe parentesi o \"not\" uno dentro l'altro (al massimo 100).")),
                 qPrintable(message.right(200)));
        QVERIFY(!t->isFiltered());
        QCOMPARE(t->recordCount(), 8);
    }
    t->close();
}

void TestFilter::groupLevels_data()
{
    QTest::addColumn<int>("levels");
    QTest::addColumn<int>("width");      // comparisons beside the inner group on each level
    QTest::addColumn<bool>("innerFirst"); // the inner group before or after them
    QTest::addColumn<bool>("readable");

    QTest::newRow("20 levels, group last") << 20 << 1 << false << true;
    QTest::newRow("20 levels, group first") << 20 << 1 << true << true;
    QTest::newRow("20 wide levels, group last") << 20 << 31 << false << true;
    QTest::newRow("20 wide levels, group first") << 20 << 31 << true << true;
    QTest::newRow("21 levels") << 21 << 1 << false << false;
    QTest::newRow("60 levels") << 60 << 1 << false << false;
}

// "and" and "or" groups inside one another: up to twenty levels are read and
// selected by SQLite, however the groups are laid; more are refused with the
// filter's error rather than with an error of the engine.
void TestFilter::groupLevels()
{
    QFETCH(int, levels);
    QFETCH(int, width);
    QFETCH(bool, innerFirst);
    QFETCH(bool, readable);

    // "and" and "or" levels alternate, the outermost an "and": together they
    // keep the children of nursery 3 but Luca (Id 3), the comparisons of an
    // "or" level holding for nobody.
    QString text = QStringLiteral("not (Id=3)");
    for (int level = 1; level <= levels; ++level) {
        const bool isOr = (levels - level) % 2 == 1;
        const QString other = isOr ? QStringLiteral("Id=%1").arg(1000 + level) : QStringLiteral("Id_Nido=3");
        const QString joint = isOr ? QStringLiteral(" or ") : QStringLiteral(" and ");
        const QString others = QStringList(width, other).join(joint);
        text = innerFirst ? QStringLiteral("(%1)%2%3").arg(text, joint, others)
                          : QStringLiteral("%1%2(%3)").arg(others, joint, text);
    }

    auto t = m_folder->table(QStringLiteral("AnagBimbi.DB"));
    t->open();
    t->setFiltered(false);
    t->setFilter(text);
    QString message;
    try {
        t->setFiltered(true);
    } catch (const DbError& e) {
        message = e.message();
    }
    if (readable) {
        QVERIFY2(message.isEmpty(), qPrintable(message.right(300)));
        QCOMPARE(walkForward(*t, QStringLiteral("Nome")), (QStringList{"Mario", "Anna", "Sean", "Ugo"}));
    } else {
        QVERIFY2(message.endsWith(QLatin1String("condizione troppo complessa: troppi gruppi di \"and\" e \"or\" "
                                                "uno dentro l'altro (al massimo 20).")),
                 qPrintable(message.right(300)));
        QVERIFY(!t->isFiltered());
    }
    t->close();
}

void TestFilter::longChains_data()
{
    QTest::addColumn<QString>("joint");
    QTest::addColumn<QString>("condition");
    QTest::addColumn<int>("count");
    QTest::addColumn<int>("selected");

    QTest::newRow("5,000 alternatives") << " or " << "Id_Nido=%1" << 5000 << 7;
    QTest::newRow("5,000 conditions") << " and " << "Id<>%1" << 5000 << 0;
}

// A long flat list of conditions is no nesting: it is read and selects.
void TestFilter::longChains()
{
    QFETCH(QString, joint);
    QFETCH(QString, condition);
    QFETCH(int, count);
    QFETCH(int, selected);

    QStringList parts;
    for (int i = 1; i <= count; ++i)
        parts << condition.arg(i);
    auto t = m_folder->table(QStringLiteral("AnagBimbi.DB"));
    t->open();
    t->setFiltered(false);
    t->setFilter(parts.join(joint));
    t->setFiltered(true);
    QCOMPARE(t->recordCount(), selected);
    t->close();
}

void TestFilter::messageKeepsPercentSigns_data()
{
    QTest::addColumn<QString>("filter");
    QTest::addColumn<QString>("message");

    QTest::newRow("incomplete") << "Cognome='%1' and"
        << "Errore nel filtro \"Cognome='%1' and\" (posizione 17): condizione incompleta.";
    QTest::newRow("unknown field") << "%2=1"
        << "Errore nel filtro \"%2=1\" (posizione 1): carattere non valido \"%\".";
    QTest::newRow("unclosed quote") << "Nome='%1%2%3"
        << "Errore nel filtro \"Nome='%1%2%3\" (posizione 6): testo tra apici non chiuso.";
    QTest::newRow("bad value") << "Id_Nido='%3'"
        << "Errore nel filtro \"Id_Nido='%3'\" (posizione 13): \"%3\" non è un valore valido per il campo \"Id_Nido\".";
}

// A filter text holding "%1" is quoted in its error exactly as written.
void TestFilter::messageKeepsPercentSigns()
{
    QFETCH(QString, filter);
    QFETCH(QString, message);
    QString caught;
    try {
        compileFilter(filter, *tableNamed(QStringLiteral("AnagBimbi")));
    } catch (const DbError& e) {
        caught = e.message();
    }
    QCOMPARE(caught, message);
}

QTEST_GUILESS_MAIN(TestFilter)
#include "test_filter.moc"
