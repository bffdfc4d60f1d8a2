#include "records.h"
#include "datamodule.h"

#include <QHash>

namespace velmora::records {

namespace {

// Opens `t` bound like `like` on the selection `filtro`.
void apri(store::Table& t, const store::Table& like, const QString& filtro)
{
    t.bindLike(like);
    t.setReadOnly(true);
    t.setFiltered(false);
    t.setFilter(filtro);
    t.setFiltered(true);
    t.open();
}

// Area total of the open cursor's selection: fed from the highest phase down.
double totaleAperto(store::Table& t)
{
    scoring::AreaTotal total;
    for (t.last(); !t.isBof(); t.prior())
        total.add(t.asInteger(QStringLiteral("NumFase")), scoring::phaseScore(risposte(t)));
    return total.total();
}

} // namespace

QString filtroFasi(const QString& v, const QString& a, bool soloNonSo)
{
    QString text;
    if (!v.isEmpty() && !a.isEmpty())
        text = QStringLiteral("(Id_Valutazione=%1) and (Id_Area=%2)").arg(v, a);
    else if (!v.isEmpty())
        text = QStringLiteral("Id_Valutazione=") + v;
    else if (!a.isEmpty())
        text = QStringLiteral("Id_Area=") + a;
    if (!text.isEmpty() && soloNonSo)
        text = (!v.isEmpty() && !a.isEmpty()) ? QStringLiteral("(nonso<>'') and ") + text
                                              : QStringLiteral("(nonso<>'') and (") + text + QLatin1Char(')');
    return text;
}

QString etichettaArea(const store::Table& t)
{
    return (t.asString(QStringLiteral("AreaBreve")) + QStringLiteral(" - ") + t.asString(QStringLiteral("Area"))).left(50);
}

scoring::AnswerLists risposte(const store::Table& t)
{
    return {t.asString(QStringLiteral("Si")), t.asString(QStringLiteral("No")), t.asString(QStringLiteral("AVolte")),
            t.asString(QStringLiteral("NonSo"))};
}

double totaleSelezione(store::Table& copia, const store::Table& fasi, store::Table::CopyRows rows)
{
    copia.bindLike(fasi, rows);
    copia.setFiltered(true); // the filter text of the phases, switched on
    copia.open();
    const double total = totaleAperto(copia);
    copia.close();
    return total;
}

double totaleFiltro(const store::Table& fasi, const QString& filtro)
{
    store::Table t;
    apri(t, fasi, filtro);
    return totaleAperto(t);
}

double totaleArea(const store::Table& fasi, int valutazione, int area)
{
    return totaleFiltro(fasi, filtroFasi(QString::number(valutazione), QString::number(area)));
}

QVector<TotaleArea> totaliAree(const store::Table& aree, const store::Table& fasi, int valutazione)
{
    // Every phase of the evaluation in one read, in the phases' own order,
    // then each area's total from its rows: the same rows, in the same order,
    // as a selection of each area would give, without a statement per area
    // (on a server each is a round trip).
    struct Riga
    {
        int numFase;
        scoring::AnswerLists risposte;
    };
    QHash<int, QVector<Riga>> perArea;
    {
        store::Table f;
        apri(f, fasi, filtroFasi(QString::number(valutazione), QString()));
        for (f.first(); !f.isEof(); f.next())
            perArea[f.asInteger(QStringLiteral("Id_Area"))].append({f.asInteger(QStringLiteral("NumFase")), risposte(f)});
        f.close();
    }
    store::Table a;
    a.bindLike(aree, store::Table::CopyRows::Shown);
    a.setReadOnly(true);
    a.open();
    QVector<TotaleArea> out;
    for (a.first(); !a.isEof(); a.next()) {
        TotaleArea t;
        t.id = a.asInteger(QStringLiteral("Id"));
        t.breve = a.asString(QStringLiteral("AreaBreve"));
        t.nome = a.asString(QStringLiteral("Area"));
        const QVector<Riga> righe = perArea.value(t.id);
        t.fasi = int(righe.size());
        // Fed from the highest phase down, as the sheet's total is.
        scoring::AreaTotal total;
        for (auto it = righe.crbegin(); it != righe.crend(); ++it)
            total.add(it->numFase, scoring::phaseScore(it->risposte));
        t.totale = total.total();
        out.append(t);
    }
    return out;
}

bool completa(const QVector<TotaleArea>& aree)
{
    for (const TotaleArea& a : aree)
        if (a.fasi == 0)
            return false;
    return true;
}

PropostaFase propostaFase(const store::Table& fasi, const QVariant& mesiBimbo)
{
    // The phases in the order of the sheet's grid: the last one decides
    // whether another may follow.
    store::Table t;
    t.bindLike(fasi);
    t.setReadOnly(true);
    t.open();
    int highest = 0;
    for (t.first(); !t.isEof(); t.next()) {
        const int numFase = t.asInteger(QStringLiteral("NumFase"));
        if (numFase > highest)
            highest = numFase;
        if (scoring::isZeroScored(risposte(t)))
            highest = -1;
    }
    t.close();

    if (highest == -1)
        return {PropostaFase::Stop::FasePrecedente0, 0};
    if (highest > 0) {
        const int proposed = highest + 1;
        if (proposed == 15)
            return {PropostaFase::Stop::Quattordici, 0};
        return {PropostaFase::Stop::Nessuno, proposed > 15 ? 1 : proposed};
    }
    const int proposed = int(scoring::CalcolaSviluppoTeorico(mesiBimbo)) - 1;
    return {PropostaFase::Stop::Nessuno, proposed < 1 || proposed > 14 ? 1 : proposed};
}

PropostaFase propostaFase(const store::Table& fasi, int valutazione, int area, const QVariant& mesiBimbo)
{
    store::Table t;
    t.bindLike(fasi);
    t.setFiltered(false);
    t.setFilter(filtroFasi(QString::number(valutazione), QString::number(area)));
    t.setFiltered(true);
    return propostaFase(t, mesiBimbo);
}

// ---------------------------------------------------------------- a print's head

QString Nido::riga() const
{
    if (!trovato)
        return QString();
    const QString sep = QStringLiteral(" - ");
    return indirizzo + sep + cap + sep + citta + sep + provincia;
}

Nido nidoCorrente(const DataModule& data)
{
    Nido n;
    bool ok = false;
    const int id = data.IdNidoCorrente.trimmed().toInt(&ok);
    if (!ok || id == 0 || !data.Tbl_AnagNido.isOpen())
        return n;
    store::Table t;
    apri(t, data.Tbl_AnagNido, QStringLiteral("Id=%1").arg(id));
    if (!t.isEmpty()) {
        n.trovato = true;
        n.nome = t.asString(QStringLiteral("Nome"));
        n.indirizzo = t.asString(QStringLiteral("Indirizzo"));
        n.cap = t.asString(QStringLiteral("Cap"));
        n.citta = t.asString(QStringLiteral("Citta"));
        n.provincia = t.asString(QStringLiteral("Provincia"));
    }
    return n;
}

QString lineaPersonale(DataModule& data)
{
    const store::Table& personale = data.Tbl_Personale;
    if (!personale.isOpen())
        return QString();
    // The names as the staff grid shows them: through the educators and
    // roles under their current filters.
    store::Table t;
    t.bindLike(personale);
    t.setReadOnly(true);
    t.addLookupField(QStringLiteral("Educatrice"), 30, QStringLiteral("Id_Educatrice"), &data.Tbl_AnagEdu,
                     QStringLiteral("Id"), QStringLiteral("Nominativo"));
    t.addLookupField(QStringLiteral("Ruolo"), 30, QStringLiteral("Id_Ruolo"), &data.Tbl_Ruoli, QStringLiteral("Id"),
                     QStringLiteral("Ruolo"));
    t.open();
    QStringList entries;
    for (t.first(); !t.isEof(); t.next())
        entries.append(t.asString(QStringLiteral("Educatrice")) + QStringLiteral(" (") + t.asString(QStringLiteral("Ruolo"))
                       + QLatin1Char(')'));
    return entries.join(QStringLiteral(" - "));
}

} // namespace velmora::records
