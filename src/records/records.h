#pragma once
// The evaluation records without widgets. The rules an evaluation's phases
// follow (an area's total, the number the next phase takes, when no phase may
// follow) read through cursors of their own, bound like the table objects they
// are given: the given table's cursor, filter and events are left untouched,
// so the sheet and the prints ask the same questions without a screen.

#include "scoring.h"
#include "table.h"

#include <QString>
#include <QVariant>
#include <QVector>

namespace velmora {
class DataModule;
}

namespace velmora::records {

// The filter that selects the phases of evaluation `valutazione` in area
// `area` (either may be empty: then the other alone; both empty: none, all
// phases), only those with a "Non so" answer when `soloNonSo`.
QString filtroFasi(const QString& valutazione, const QString& area, bool soloNonSo = false);

// What the area chooser and the printed sheet name an area by: its code,
// " - " and its name, at most 50 characters (AreaCombo).
QString etichettaArea(const store::Table& area);

// The four answer lists of the phase under `fase`'s cursor.
scoring::AnswerLists risposte(const store::Table& fase);

// Area total of the phases `fasi` selects now, read through `copia` (a copy
// cursor, left closed). With CopyRows::Shown it starts from the rows `fasi`
// holds when they are all in memory and nothing was written since they were
// read: the total of what the sheet shows costs no reading of the file.
double totaleSelezione(store::Table& copia, const store::Table& fasi,
                       store::Table::CopyRows rows = store::Table::CopyRows::Shown);

// Area total of the phases of the file `fasi` is bound to that `filtro`
// selects (in `fasi`'s order), through a cursor of its own.
double totaleFiltro(const store::Table& fasi, const QString& filtro);

// Area total of evaluation `valutazione` in area `area`.
double totaleArea(const store::Table& fasi, int valutazione, int area);

// One area of an evaluation, as the profile chart draws it.
struct TotaleArea
{
    int id = 0;
    QString breve; // AreaBreve: the code on the chart's axis
    QString nome;  // Area: the name in the key
    double totale = 0;
    int fasi = 0;  // phases stored for the area
};

// Every area that `aree` selects, in its order, with the total of
// evaluation `valutazione` in it; `fasi` gives the phases' file and order.
QVector<TotaleArea> totaliAree(const store::Table& aree, const store::Table& fasi, int valutazione);

// Whether every area has at least one phase: the profile prints need it.
bool completa(const QVector<TotaleArea>& aree);

// The number a new phase is proposed with, or why no phase may follow.
struct PropostaFase
{
    enum class Stop {
        Nessuno,        // a phase may follow: `numero` is proposed
        FasePrecedente0, // the last phase scored 0
        Quattordici,    // the fourteen phases are there
    };
    Stop stop = Stop::Nessuno;
    int numero = 1;
    bool operator==(const PropostaFase&) const = default;
};

// The proposal over the phases `fasi` selects (one evaluation's area, in
// phase order), walked through a cursor of its own: after the highest phase
// the next, unless the last one scored 0 or the fourteenth is there; on an
// area without phases the expected development of a child of `mesiBimbo`
// months, less one (1 when that falls outside 1-14).
PropostaFase propostaFase(const store::Table& fasi, const QVariant& mesiBimbo);

// The same over the phases of evaluation `valutazione` in area `area`.
PropostaFase propostaFase(const store::Table& fasi, int valutazione, int area, const QVariant& mesiBimbo);

// ---------------------------------------------------------------- a print's head

// The current nursery: the one whose Id is IdNidoCorrente, wherever the
// nursery table's cursor rests (the registry leaves it where it was used).
struct Nido
{
    bool trovato = false;
    QString nome, indirizzo, cap, citta, provincia;
    // Street + " - " + Cap + " - " + city + " - " + province, empty parts
    // kept; empty when no nursery is current.
    QString riga() const;
};
Nido nidoCorrente(const DataModule& data);

// The staff of the current evaluation, as the sheet's staff grid selects
// them, each as "educator (role)", joined by " - ".
QString lineaPersonale(DataModule& data);

} // namespace velmora::records
