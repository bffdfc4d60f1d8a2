#include "gendata.h"

#include "errors.h"
#include "installer.h"
#include "schema.h"

#include <QAtomicInt>
#include <QDate>
#include <QDir>
#include <QElapsedTimer>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>

#include <algorithm>
#include <array>

namespace velmora::gendata {

namespace {

using store::DbError;

// A small generator with a fixed algorithm, so that the data depend on the
// seed alone and not on the standard library at hand.
class Random
{
public:
    explicit Random(quint64 seed) : m_state(seed) {}

    quint64 next()
    {
        quint64 z = (m_state += 0x9e3779b97f4a7c15ull);
        z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ull;
        z = (z ^ (z >> 27)) * 0x94d049bb133111ebull;
        return z ^ (z >> 31);
    }
    // 0 .. n-1
    int below(int n) { return int(next() % quint64(n)); }
    // lo .. hi
    int between(int lo, int hi) { return lo + below(hi - lo + 1); }
    bool chance(int percent) { return below(100) < percent; }
    template <typename T, size_t N>
    const T& pick(const std::array<T, N>& a) { return a[size_t(below(int(N)))]; }

private:
    quint64 m_state;
};

constexpr std::array<const char*, 40> girls = {
    "Giulia", "Sofia", "Aurora", "Alice", "Ginevra", "Emma", "Giorgia", "Greta", "Beatrice", "Anna",
    "Vittoria", "Martina", "Chiara", "Ludovica", "Matilde", "Noemi", "Francesca", "Sara", "Nicole", "Gaia",
    "Rebecca", "Arianna", "Camilla", "Elisa", "Bianca", "Marta", "Viola", "Mia", "Elena", "Adele",
    "Irene", "Caterina", "Benedetta", "Cecilia", "Azzurra", "Ilaria", "Margherita", "Lucia", "Angelica", "Agnese"};
constexpr std::array<const char*, 40> boys = {
    "Leonardo", "Francesco", "Alessandro", "Lorenzo", "Mattia", "Andrea", "Gabriele", "Riccardo", "Tommaso", "Edoardo",
    "Matteo", "Giuseppe", "Antonio", "Federico", "Diego", "Davide", "Christian", "Pietro", "Giovanni", "Filippo",
    "Nicolò", "Samuele", "Marco", "Luca", "Michele", "Alessio", "Emanuele", "Jacopo", "Gabriel", "Salvatore",
    "Daniele", "Enea", "Elia", "Vincenzo", "Cristian", "Giacomo", "Simone", "Manuel", "Paolo", "Stefano"};
constexpr std::array<const char*, 80> surnames = {
    "Rossi", "Russo", "Ferrari", "Esposito", "Bianchi", "Romano", "Colombo", "Ricci", "Marino", "Greco",
    "Bruno", "Gallo", "Conti", "De Luca", "Mancini", "Costa", "Giordano", "Rizzo", "Lombardi", "Moretti",
    "Barbieri", "Fontana", "Santoro", "Mariani", "Rinaldi", "Caruso", "Ferrara", "Galli", "Martini", "Leone",
    "Longo", "Gentile", "Martinelli", "Vitale", "Lombardo", "Serra", "Coppola", "De Santis", "D'Angelo", "Marchetti",
    "Parisi", "Villa", "Conte", "Ferraro", "Ferri", "Fabbri", "Bianco", "Marini", "Grasso", "Valentini",
    "Messina", "Sala", "De Angelis", "Gatti", "Pellegrini", "Palumbo", "Sanna", "Farina", "Rizzi", "Monti",
    "Cattaneo", "Morelli", "Amato", "Silvestri", "Mazza", "Testa", "Grassi", "Pellegrino", "Carbone", "Giuliani",
    "Benedetti", "Barone", "Rossetti", "Caputo", "Montanari", "Guerra", "Palmieri", "Bernardi", "Martino", "Fiore"};
constexpr std::array<const char*, 20> nurseryNames = {
    "Nido Arcobaleno", "Nido Il Girasole", "Nido Coccinella", "Nido Il Pulcino", "Nido La Trottola",
    "Nido Il Bruco", "Nido Mongolfiera", "Nido Il Melograno", "Nido Aquilone", "Nido La Chiocciola",
    "Nido Il Grillo", "Nido Margherita", "Nido Peter Pan", "Nido Il Castoro", "Nido La Lucciola",
    "Nido Stella", "Nido Il Tulipano", "Nido Girotondo", "Nido L'Albero", "Nido Pollicino"};
struct City
{
    const char* name;
    const char* province;
    const char* cap;
};
constexpr std::array<City, 12> cities = {{
    {"Bologna", "BO", "40121"}, {"Modena", "MO", "41121"}, {"Reggio Emilia", "RE", "42121"},
    {"Parma", "PR", "43121"}, {"Ferrara", "FE", "44121"}, {"Ravenna", "RA", "48121"},
    {"Forlì", "FC", "47121"}, {"Rimini", "RN", "47921"}, {"Piacenza", "PC", "29121"},
    {"Imola", "BO", "40026"}, {"Carpi", "MO", "41012"}, {"Cesena", "FC", "47521"}}};
constexpr std::array<const char*, 12> streets = {
    "Via Roma", "Via Garibaldi", "Via Mazzini", "Via Verdi", "Viale Europa", "Via Dante",
    "Via Marconi", "Via Matteotti", "Via Cavour", "Via della Pace", "Via dei Mille", "Piazza Libertà"};
constexpr std::array<const char*, 6> notes = {
    "Allergia alle proteine del latte", "Inserimento graduale a settembre", "Fratello nella sezione grandi",
    "Dieta senza glutine", "Segue logopedia", "Frequenza part-time"};
constexpr std::array<const char*, 4> staffNotes = {
    "Osservazione in sezione", "Osservazione durante il gioco libero", "Colloquio con i genitori",
    "Osservazione al pranzo"};
// Areas added to the installed ones.
constexpr std::array<store::DefaultArea, 4> extraAreas = {{
    {"Percezione sensoriale", "PS"},
    {"Espressione grafica e musicale", "EM"},
    {"Routine e cura di sé", "RC"},
    {"Esplorazione dell'ambiente", "EA"}}};

QString text(const char* s) { return QString::fromUtf8(s); }

QAtomicInt s_serial;

// One connection on one file of the folder, for the time it takes to fill it:
// no journal and no syncs, one transaction, the folder is thrown away anyway
// if anything goes wrong.
class Filler
{
public:
    Filler(const QString& folder, const QString& fileName)
        : m_name(QStringLiteral("velmora-gendata-%1").arg(s_serial.fetchAndAddRelaxed(1)))
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_name);
        db.setDatabaseName(QDir(folder).filePath(fileName));
        if (!db.open())
            throw DbError(QStringLiteral("Impossibile aprire \"%1\": %2").arg(fileName, db.lastError().text()));
        run(QStringLiteral("PRAGMA synchronous=OFF"));
        run(QStringLiteral("PRAGMA journal_mode=OFF"));
        run(QStringLiteral("PRAGMA cache_size=-131072"));
        run(QStringLiteral("BEGIN"));
    }
    ~Filler()
    {
        {
            QSqlDatabase db = QSqlDatabase::database(m_name, false);
            if (db.isOpen()) {
                if (!m_committed)
                    QSqlQuery(db).exec(QStringLiteral("ROLLBACK"));
                db.close();
            }
        }
        QSqlDatabase::removeDatabase(m_name);
    }
    Filler(const Filler&) = delete;
    Filler& operator=(const Filler&) = delete;

    QSqlDatabase db() const { return QSqlDatabase::database(m_name, false); }

    void run(const QString& sql)
    {
        QSqlQuery q(db());
        if (!q.exec(sql))
            throw DbError(q.lastError().text());
    }

    QSqlQuery prepare(const QString& sql)
    {
        QSqlQuery q(db());
        q.setForwardOnly(true);
        if (!q.prepare(sql))
            throw DbError(q.lastError().text());
        return q;
    }

    static void exec(QSqlQuery& q)
    {
        if (!q.exec())
            throw DbError(q.lastError().text());
    }

    void commit()
    {
        run(QStringLiteral("COMMIT"));
        m_committed = true;
    }

private:
    QString m_name;
    bool m_committed = false;
};

struct Child
{
    int nursery = 0; // 1-based
    QDate birth;
};

// Which child an evaluation belongs to and in which round of observations it
// falls: rounds go over the children in turn, spread evenly when there are
// fewer evaluations than children.
struct EvalPlace
{
    int child;  // 0-based
    int round;
};

EvalPlace placeOf(int e, const Shape& s)
{
    const int perRound = std::min(s.evaluations, s.children());
    return {int(qint64(e % perRound) * s.children() / perRound), e / perRound};
}

// The four answer lists of one phase: "-NN" for each item with that answer,
// in ascending item order. Answers are weighted toward "Si" as real sheets are.
struct Lists
{
    QVariant si, no, aVolte, nonSo;
};

Lists randomLists(Random& rnd)
{
    char buf[4][11 * 3 + 1];
    int len[4] = {0, 0, 0, 0};
    for (int item = 1; item <= 11; ++item) {
        const int r = rnd.below(100);
        // 0 Si, 1 No, 2 A volte, 3 Non so, 4 Non esiste
        const int answer = r < 40 ? 0 : r < 60 ? 1 : r < 80 ? 2 : r < 90 ? 3 : 4;
        if (answer == 4)
            continue;
        char* p = buf[answer] + len[answer];
        p[0] = '-';
        p[1] = char('0' + item / 10);
        p[2] = char('0' + item % 10);
        len[answer] += 3;
    }
    auto list = [&](int a) { return len[a] == 0 ? QVariant() : QVariant(QString::fromLatin1(buf[a], len[a])); };
    return {list(0), list(1), list(2), list(3)};
}

void fillNurseries(const QString& folder, const Shape& s, Random& rnd, Report& rep)
{
    Filler f(folder, store::tableNamed(QStringLiteral("AnagNido"))->fileName);
    QSqlQuery q = f.prepare(QStringLiteral(
        "INSERT INTO \"AnagNido\" (\"Nome\", \"Indirizzo\", \"Cap\", \"Citta\", \"Provincia\", \"Telefono\", \"Fax\")"
        " VALUES (?, ?, ?, ?, ?, ?, ?)"));
    for (int n = 0; n < s.nurseries; ++n) {
        const City& c = rnd.pick(cities);
        const QString name = n < int(nurseryNames.size())
            ? text(nurseryNames[size_t(n)])
            : QStringLiteral("%1 %2").arg(text(nurseryNames[size_t(n) % nurseryNames.size()])).arg(n / int(nurseryNames.size()) + 1);
        const QString phone = QStringLiteral("051 %1").arg(rnd.between(200000, 999999));
        q.bindValue(0, name);
        q.bindValue(1, QStringLiteral("%1, %2").arg(text(rnd.pick(streets))).arg(rnd.between(1, 120)));
        q.bindValue(2, text(c.cap));
        q.bindValue(3, text(c.name));
        q.bindValue(4, text(c.province));
        q.bindValue(5, phone);
        q.bindValue(6, rnd.chance(60) ? QVariant(QStringLiteral("051 %1").arg(rnd.between(200000, 999999))) : QVariant());
        Filler::exec(q);
        ++rep.nurseries;
    }
    f.commit();
}

void fillEducators(const QString& folder, const Shape& s, Random& rnd, Report& rep)
{
    Filler f(folder, store::tableNamed(QStringLiteral("AnagEdu"))->fileName);
    QSqlQuery q = f.prepare(QStringLiteral(
        "INSERT INTO \"AnagEdu\" (\"Id_Nido\", \"Nome\", \"Cognome\", \"Password\", \"Responsabile\") VALUES (?, ?, ?, ?, ?)"));
    for (int n = 1; n <= s.nurseries; ++n) {
        for (int k = 0; k < s.educatorsPerNursery; ++k) {
            q.bindValue(0, n);
            q.bindValue(1, text(rnd.pick(girls)));
            q.bindValue(2, text(rnd.pick(surnames)));
            q.bindValue(3, QStringLiteral("edu%1").arg(rnd.between(1000, 9999)));
            q.bindValue(4, k == 0 ? 1 : 0);
            Filler::exec(q);
            ++rep.educators;
        }
    }
    f.commit();
}

std::vector<Child> fillChildren(const QString& folder, const Shape& s, Random& rnd, Report& rep)
{
    Filler f(folder, store::tableNamed(QStringLiteral("AnagBimbi"))->fileName);
    QSqlQuery q = f.prepare(QStringLiteral(
        "INSERT INTO \"AnagBimbi\" (\"Id_Nido\", \"Nome\", \"Cognome\", \"DataDiNascita\", \"Sesso\", \"Note\", \"Frequenza\")"
        " VALUES (?, ?, ?, ?, ?, ?, ?)"));
    std::vector<Child> children;
    children.reserve(size_t(s.children()));
    const QDate earliest(2018, 1, 1);
    const int span = int(earliest.daysTo(QDate(2021, 12, 31)));
    for (int n = 1; n <= s.nurseries; ++n) {
        for (int k = 0; k < s.childrenPerNursery; ++k) {
            const bool girl = rnd.chance(50);
            const QDate birth = earliest.addDays(rnd.below(span + 1));
            // Most children attend; some left, and for some it was never said.
            const int r = rnd.below(100);
            const QVariant attends = r < 85 ? QVariant(1) : r < 93 ? QVariant() : QVariant(0);
            q.bindValue(0, n);
            q.bindValue(1, text(girl ? rnd.pick(girls) : rnd.pick(boys)));
            q.bindValue(2, text(rnd.pick(surnames)));
            q.bindValue(3, birth.toString(Qt::ISODate));
            q.bindValue(4, girl ? QStringLiteral("F") : QStringLiteral("M"));
            q.bindValue(5, rnd.chance(10) ? QVariant(text(rnd.pick(notes))) : QVariant());
            q.bindValue(6, attends);
            Filler::exec(q);
            children.push_back({n, birth});
            ++rep.children;
        }
    }
    f.commit();
    return children;
}

void fillEvaluations(const QString& folder, const Shape& s, const std::vector<Child>& children, Random& rnd, Report& rep)
{
    Filler f(folder, store::tableNamed(QStringLiteral("Valutaz"))->fileName);
    QSqlQuery q = f.prepare(QStringLiteral(
        "INSERT INTO \"Valutaz\" (\"Id_Bimbo\", \"DataValutazione\", \"MesiBimbo\", \"Sel\") VALUES (?, ?, ?, ?)"));
    for (int e = 0; e < s.evaluations; ++e) {
        const EvalPlace p = placeOf(e, s);
        const Child& c = children[size_t(p.child)];
        // First observation at six months, then one every three months.
        const int months = 6 + 3 * p.round;
        const QDate when = c.birth.addMonths(months).addDays(rnd.below(21));
        q.bindValue(0, p.child + 1);
        q.bindValue(1, when.toString(Qt::ISODate));
        q.bindValue(2, months);
        q.bindValue(3, rnd.chance(50) ? 1 : 0);
        Filler::exec(q);
        ++rep.evaluations;
    }
    f.commit();
}

void fillStaff(const QString& folder, const Shape& s, const std::vector<Child>& children, Random& rnd, Report& rep)
{
    Filler f(folder, store::tableNamed(QStringLiteral("Personale"))->fileName);
    QSqlQuery q = f.prepare(QStringLiteral(
        "INSERT INTO \"Personale\" (\"Id_Educatrice\", \"Id_Valutazione\", \"Id_Ruolo\", \"Note\") VALUES (?, ?, ?, ?)"));
    const int roles = store::defaultRoleCount;
    for (int e = 0; e < s.evaluations; ++e) {
        const Child& c = children[size_t(placeOf(e, s).child)];
        const int firstEducator = (c.nursery - 1) * s.educatorsPerNursery + 1;
        const int reference = rnd.below(s.educatorsPerNursery);
        for (int k = 0; k < s.staffPerEvaluation; ++k) {
            // The reference educator first, then others of the same nursery.
            const int educator = firstEducator + (reference + k) % std::max(1, s.educatorsPerNursery);
            q.bindValue(0, educator);
            q.bindValue(1, e + 1);
            q.bindValue(2, k == 0 ? 1 : rnd.between(2, roles));
            q.bindValue(3, rnd.chance(20) ? QVariant(text(rnd.pick(staffNotes))) : QVariant());
            Filler::exec(q);
            ++rep.staff;
        }
    }
    f.commit();
}

void fillAreas(const QString& folder, const Shape& s, Report& rep)
{
    Filler f(folder, store::tableNamed(QStringLiteral("Aree"))->fileName);
    QSqlQuery q = f.prepare(QStringLiteral("INSERT INTO \"Aree\" (\"Area\", \"AreaBreve\") VALUES (?, ?)"));
    const int extra = std::clamp(s.areas - store::defaultAreaCount, 0, int(extraAreas.size()));
    for (int k = 0; k < extra; ++k) {
        q.bindValue(0, text(extraAreas[size_t(k)].area));
        q.bindValue(1, text(extraAreas[size_t(k)].code));
        Filler::exec(q);
    }
    QSqlQuery count(f.db());
    if (!count.exec(QStringLiteral("SELECT COUNT(*) FROM \"Aree\"")) || !count.next())
        throw DbError(count.lastError().text());
    rep.areas = count.value(0).toLongLong();
    count.finish();
    f.commit();
}

void fillPhases(const QString& folder, const Shape& s, Random& rnd, Report& rep, const Progress& progress)
{
    // The phases are nearly all of the work: say how far they got about
    // every 5% (and at the end), so that a long run is seen to move.
    const qint64 total = s.phaseRows();
    const int step = std::max(1, s.evaluations / 20);
    qint64 done = 0;
    Filler f(folder, store::tableNamed(QStringLiteral("FasiVal"))->fileName);
    QSqlQuery q = f.prepare(QStringLiteral(
        "INSERT INTO \"FasiVal\" (\"Id_Valutazione\", \"Id_Area\", \"NumFase\", \"Si\", \"No\", \"NonSo\", \"AVolte\")"
        " VALUES (?, ?, ?, ?, ?, ?, ?)"));
    for (int e = 1; e <= s.evaluations; ++e) {
        for (int a = 1; a <= s.areas; ++a) {
            const int start = rnd.between(1, 10);
            for (int k = 0; k < s.phasesPerArea; ++k) {
                const Lists l = randomLists(rnd);
                q.bindValue(0, e);
                q.bindValue(1, a);
                q.bindValue(2, start + k);
                q.bindValue(3, l.si);
                q.bindValue(4, l.no);
                q.bindValue(5, l.nonSo);
                q.bindValue(6, l.aVolte);
                Filler::exec(q);
            }
        }
        done += qint64(s.areas) * s.phasesPerArea;
        if (progress && (e % step == 0 || e == s.evaluations))
            progress(QStringLiteral("fasi"), done, total);
    }
    rep.phases += s.phaseRows();
    f.commit();
}

} // namespace

Shape shapeForPhaseRows(qint64 phaseRows)
{
    Shape s;
    const qint64 perEvaluation = qint64(s.areas) * s.phasesPerArea;
    s.evaluations = int(std::max<qint64>(1, (phaseRows + perEvaluation / 2) / perEvaluation));
    const int children = (s.evaluations + evaluationsPerChild - 1) / evaluationsPerChild;
    s.childrenPerNursery = std::min(s.childrenPerNursery, children);
    s.nurseries = (children + s.childrenPerNursery - 1) / s.childrenPerNursery;
    return s;
}

QString generate(const QString& path, const Shape& shape, quint64 seed, Report* report, const Progress& progress)
{
    QElapsedTimer clock;
    clock.start();
    if (shape.nurseries < 1 || shape.childrenPerNursery < 1 || shape.educatorsPerNursery < 1 || shape.evaluations < 1
        || shape.areas < 1 || shape.phasesPerArea < 1 || shape.staffPerEvaluation < 0)
        return QStringLiteral("Dimensioni dei dati non valide.");
    if (shape.areas > store::defaultAreaCount + int(extraAreas.size()))
        return QStringLiteral("Al massimo %1 aree.").arg(store::defaultAreaCount + int(extraAreas.size()));

    const QString problem = store::layDataFolder(path);
    if (!problem.isEmpty())
        return problem;
    const QString folder = QDir(QDir::current().absoluteFilePath(path)).absolutePath();

    Report rep;
    try {
        // Each table draws from its own stream, so that changing the size of
        // one leaves the others as they were.
        Random nurseries(seed ^ 0x01), educators(seed ^ 0x02), children(seed ^ 0x03), evaluations(seed ^ 0x04),
            staff(seed ^ 0x05), phases(seed ^ 0x06);
        if (progress)
            progress(QStringLiteral("nidi, educatrici, bambini, valutazioni e personale"), 0, 0);
        fillNurseries(folder, shape, nurseries, rep);
        fillEducators(folder, shape, educators, rep);
        const std::vector<Child> kids = fillChildren(folder, shape, children, rep);
        fillEvaluations(folder, shape, kids, evaluations, rep);
        fillStaff(folder, shape, kids, staff, rep);
        fillAreas(folder, shape, rep);
        fillPhases(folder, shape, phases, rep, progress);
    } catch (const DbError& e) {
        QDir(folder).removeRecursively();
        return e.message();
    }
    rep.milliseconds = clock.elapsed();
    if (report)
        *report = rep;
    return QString();
}

} // namespace velmora::gendata
