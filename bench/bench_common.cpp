// The helpers every benchmark shares; see bench_common.h.

#include "bench_common.h"
#include "commandline.h"

#include <QFile>

#include <algorithm>

namespace bench {

QTextStream& out()
{
    static QTextStream s(stdout);
    return s;
}

void say(const QString& line)
{
    out() << line << Qt::endl;
}

void check(const QString& name, bool ok, const QString& detail)
{
    say(QStringLiteral("bench check %1 %2 %3").arg(name, ok ? QStringLiteral("ok") : QStringLiteral("FAIL"), detail));
}

int evaluationFor(int rep, const FolderFacts& f) { return 1 + int((qint64(rep) * 7919 + 13) % f.evaluations); }
int areaFor(int rep, const FolderFacts& f) { return 1 + (rep * 3) % f.areas; }
int itemFor(int rep) { return scoring::FirstItem + rep % scoring::ItemCount; }
int nurseryFor(const FolderFacts& f) { return 1 + 6 % f.nurseries; }

QString phaseFilter(int v, int a) { return QStringLiteral("(Id_Valutazione=%1) and (Id_Area=%2)").arg(v).arg(a); }

scoring::Answer nextAnswer(scoring::Answer a)
{
    return scoring::Answer((int(a) + 1) % scoring::AnswerCount);
}

void filterTo(Table& t, const QString& text)
{
    t.setFiltered(false);
    t.setFilter(text);
    t.setFiltered(true);
}

scoring::AnswerLists listsOf(const Table& t)
{
    return {t.asString(QStringLiteral("Si")), t.asString(QStringLiteral("No")), t.asString(QStringLiteral("AVolte")),
            t.asString(QStringLiteral("NonSo"))};
}

double median(std::vector<double> v)
{
    if (v.empty())
        return 0.0;
    std::sort(v.begin(), v.end());
    const size_t n = v.size();
    return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2.0;
}

double percentile(std::vector<double> v, double p)
{
    if (v.empty())
        return 0.0;
    std::sort(v.begin(), v.end());
    return v[std::min(v.size() - 1, size_t(p * double(v.size() - 1) + 0.5))];
}

QString num(double v, int decimals) { return QString::number(v, 'f', decimals); }

void printFigure(const Figure& f)
{
    say(QStringLiteral("bench %1 median_us=%2 direct_us=%3 ratio=%4%5")
            .arg(f.name, num(f.layerMedian()), num(f.directMedian()), num(f.ratio(), 2),
                 f.sent.empty() ? QString() : QStringLiteral(" statements=") + num(f.sentMedian(), 0)));
    say(QStringLiteral("#   %1: %2 repetitions; layer p10/p90 %3/%4 us, direct p10/p90 %5/%6 us")
            .arg(f.name)
            .arg(f.layer.size())
            .arg(num(percentile(f.layer, 0.1)), num(percentile(f.layer, 0.9)), num(percentile(f.direct, 0.1)),
                 num(percentile(f.direct, 0.9))));
}

qint64 peakRssKb()
{
    QFile f(QStringLiteral("/proc/self/status"));
    if (!f.open(QIODevice::ReadOnly))
        return -1;
    const QList<QByteArray> lines = f.readAll().split('\n');
    for (const QByteArray& line : lines)
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').value(0).toLongLong();
    return -1;
}

Arguments parseArguments(const QStringList& arguments)
{
    velmora::tools::CommandLine cmd(QStringLiteral(
        "Misura lo strato delle tabelle contro le stesse operazioni in SQL diretto\n"
        "(mediane e rapporti), la memoria su una cartella piccola e una grande, la\n"
        "scheda e le stampe attraverso la vera finestra principale.\n"
        "Senza cartelle crea da sé in una cartella temporanea una cartella grande\n"
        "(circa 1.000.000 di righe di fasi) e una piccola (circa 10.000), poi le\n"
        "cancella; le cartelle indicate vengono modificate. Dopo una misura esce\n"
        "sempre con 0: le righe \"bench check\" dicono se gli obiettivi sono raggiunti."));
    QCommandLineParser& parser = cmd.parser();
    const QCommandLineOption reports(QStringLiteral("reports"),
                                     QStringLiteral("Misura solo le stampe, su una cartella creata prima"
                                                    " (riceve una valutazione e dei segni di selezione)."),
                                     QStringLiteral("cartella"));
    parser.addOption(reports);
    const QCommandLineOption sizes(QStringLiteral("sizes"),
                                   QStringLiteral("Misura tutto a ciascuna dimensione (righe di fasi: 10k, 1m, 10m o un"
                                                  " numero) e affianca le cifre, col rapporto con la prima."),
                                   QStringLiteral("elenco"));
    parser.addOption(sizes);
    const QCommandLineOption folder(QStringLiteral("folder"),
                                    QStringLiteral("Con --sizes: usa per una dimensione una cartella creata prima"
                                                   " (viene modificata), per esempio 10m=/percorso."),
                                    QStringLiteral("dimensione=cartella"));
    parser.addOption(folder);
    const QCommandLineOption server(QStringLiteral("server"),
                                    QStringLiteral("Dopo le misure su SQLite, le stesse sul server PostgreSQL della riga"
                                                   " (parole di libpq), in uno schema creato e poi cancellato; affianca"
                                                   " le cifre dei due motori e le istruzioni inviate per ogni azione."),
                                    QStringLiteral("riga"));
    parser.addOption(server);
    parser.addPositionalArgument(QStringLiteral("cartella-grande"),
                                 QStringLiteral("La cartella dati dei tempi (circa 1.000.000 di righe di fasi)."),
                                 QStringLiteral("[<cartella-grande>"));
    parser.addPositionalArgument(QStringLiteral("cartella-piccola"),
                                 QStringLiteral("La cartella dati piccola (circa 10.000 righe di fasi), solo per il"
                                                " confronto della memoria."),
                                 QStringLiteral("[<cartella-piccola>]]"));

    Arguments a;
    a.exitStatus = cmd.parse(arguments, {}, 2);
    if (a.exitStatus)
        return a;
    a.folders = parser.positionalArguments();
    if (parser.isSet(reports)) {
        a.reportsOnly = true;
        a.reportsFolder = parser.value(reports);
        if (a.reportsFolder.isEmpty())
            a.exitStatus = cmd.fail(QStringLiteral("Manca la cartella dopo --reports."));
        else if (!a.folders.isEmpty())
            a.exitStatus = cmd.fail(QStringLiteral("Con --reports non si indicano altre cartelle: %1")
                                        .arg(a.folders.join(QStringLiteral(" "))));
    }
    if (parser.isSet(sizes)) {
        if (a.reportsOnly || !a.folders.isEmpty())
            return a.exitStatus = cmd.fail(QStringLiteral("--sizes non si combina con --reports né con cartelle.")), a;
        for (const QString& part : parser.value(sizes).split(QLatin1Char(','), Qt::SkipEmptyParts)) {
            const qint64 n = parseSize(part.trimmed());
            if (n <= 0)
                return a.exitStatus = cmd.fail(QStringLiteral("Dimensione non valida: %1").arg(part)), a;
            a.sizes << n;
            a.sizeLabels << part.trimmed().toLower();
        }
        if (a.sizes.size() < 2)
            return a.exitStatus = cmd.fail(QStringLiteral("--sizes vuole almeno due dimensioni.")), a;
        for (const QString& f : parser.values(folder)) {
            const qsizetype eq = f.indexOf(QLatin1Char('='));
            const QString label = f.left(eq).trimmed().toLower();
            if (eq <= 0 || !a.sizeLabels.contains(label))
                return a.exitStatus = cmd.fail(QStringLiteral("--folder vuole dimensione=cartella di una delle --sizes: %1").arg(f)), a;
            a.sizeFolders.insert(label, f.mid(eq + 1));
        }
    } else if (parser.isSet(folder)) {
        a.exitStatus = cmd.fail(QStringLiteral("--folder vale solo con --sizes."));
    }
    if (parser.isSet(server)) {
        a.serverLine = parser.value(server).trimmed();
        if (a.reportsOnly || !a.sizes.isEmpty())
            return a.exitStatus = cmd.fail(QStringLiteral("--server non si combina con --reports né con --sizes.")), a;
        try {
            if (velmora::store::parseServerLine(a.serverLine).isEmpty())
                return a.exitStatus = cmd.fail(QStringLiteral("--server vuole una riga di collegamento.")), a;
        } catch (const DbError& e) {
            return a.exitStatus = cmd.fail(e.message()), a;
        }
    }
    return a;
}

std::unique_ptr<DataFolder> openFolder(const QString& path)
{
    const velmora::store::EngineChoice choice = velmora::store::chooseEngine(path, QString(), QString());
    if (choice.engine == velmora::store::Engine::PostgreSQL)
        return std::make_unique<DataFolder>(path, choice.line);
    return std::make_unique<DataFolder>(path);
}

qint64 parseSize(const QString& text)
{
    const QString t = text.toLower();
    qint64 unit = 1;
    QString digits = t;
    if (t.endsWith(QLatin1Char('k')))
        unit = 1000;
    else if (t.endsWith(QLatin1Char('m')))
        unit = 1000000;
    if (unit > 1)
        digits.chop(1);
    bool ok = false;
    const qint64 n = digits.toLongLong(&ok);
    return ok && n > 0 ? n * unit : 0;
}

} // namespace bench
