// The demonstration nursery of the tools: laid through the table layer with
// the program's own scoring rules, so that it reads as if typed in.
#include "demonursery.h"
#include "datafolder.h"
#include "installer.h"
#include "scoring.h"
#include "table.h"

#include <QDate>
#include <QVariantMap>

namespace velmora::tools {

int Folder::add(const QString& file, const QVariantMap& values) { return store::appendRecord(df, file, values); }

QList<int> Folder::ids(const QString& file)
{
    store::Table t;
    t.setDataFolder(&df);
    t.setTableName(file);
    t.open();
    QList<int> out;
    for (t.first(); !t.isEof(); t.next())
        out << t.asInteger(QStringLiteral("Id"));
    return out;
}

// Phases of one area: consecutive numbers from `from`, every item "Si" up to
// the last phase, which is answered in part; the answer lists are written by
// the program's own rules, as the sheet stores them.
void phases(Folder& f, int evaluation, int area, int from, int to, bool nonSo)
{
    using scoring::Answer;
    for (int n = from; n <= to; ++n) {
        scoring::AnswerLists lists;
        for (int item = 1; item <= 11; ++item) {
            Answer a = Answer::Si;
            if (n == to) {
                if (item == 4 || item == 9)
                    a = Answer::No;
                else if (item == 6 || item == 10)
                    a = Answer::AVolte;
                else if (item == 7 || item == 11)
                    a = nonSo ? Answer::NonSo : Answer::NonEsiste;
            }
            scoring::setAnswer(lists, item, a);
        }
        f.add(QStringLiteral("FasiVal.db"),
              {{"Id_Valutazione", evaluation}, {"Id_Area", area}, {"NumFase", n}, {"Si", lists.si},
               {"No", lists.no}, {"AVolte", lists.aVolte}, {"NonSo", lists.nonSo}});
    }
}


QString layDemoNursery(const QString& db)
{
    const QString problem = store::layDataFolder(db);
    if (!problem.isEmpty())
        return problem;
    Folder f(db);
    const int nido = f.add(QStringLiteral("AnagNido.db"),
                           {{"Nome", QStringLiteral("Nido d'infanzia Il Girasole")},
                            {"Indirizzo", QStringLiteral("Via dei Tigli 12")}, {"Cap", QStringLiteral("20121")},
                            {"Citta", QStringLiteral("Milano")}, {"Provincia", QStringLiteral("MI")}});
    const int anna = f.add(QStringLiteral("AnagEdu.db"), {{"Id_Nido", nido}, {"Nome", QStringLiteral("Anna")},
                                                         {"Cognome", QStringLiteral("Rossi")},
                                                         {"Password", QStringLiteral("pw")}, {"Responsabile", true}});
    const int laura = f.add(QStringLiteral("AnagEdu.db"), {{"Id_Nido", nido}, {"Nome", QStringLiteral("Laura")},
                                                          {"Cognome", QStringLiteral("Verdi")},
                                                          {"Password", QStringLiteral("pw")}, {"Responsabile", false}});
    const QList<int> roles = f.ids(QStringLiteral("Ruoli.db"));
    const QList<int> areas = f.ids(QStringLiteral("Aree.db"));

    struct Child { const char* nome; const char* cognome; QDate nascita; const char* sesso; const char* note; };
    const Child children[] = {
        {"Giulia", "Bianchi", QDate(2024, 3, 15), "F",
         "Allergia alle arachidi. Inserimento graduale a settembre, con la mamma nei primi giorni."},
        {"Marco", "Esposito", QDate(2024, 1, 20), "M", ""},
        {"Sofia", "Ferrari", QDate(2023, 11, 2), "F", "Porta gli occhiali."},
    };
    int evaluationNumber = 0;
    for (const Child& c : children) {
        const int child = f.add(QStringLiteral("AnagBimbi.DB"),
                                {{"Id_Nido", nido}, {"Nome", QString::fromUtf8(c.nome)}, {"Cognome", QString::fromUtf8(c.cognome)},
                                 {"DataDiNascita", c.nascita}, {"Sesso", QString::fromLatin1(c.sesso)},
                                 {"Note", QString::fromUtf8(c.note)}, {"Frequenza", true}});
        const int count = evaluationNumber == 0 ? 3 : 1;
        for (int k = 0; k < count; ++k, ++evaluationNumber) {
            const int months = 12 + 6 * k + evaluationNumber % 3;
            const int v = f.add(QStringLiteral("Valutaz.db"),
                                {{"Id_Bimbo", child}, {"DataValutazione", c.nascita.addMonths(months)},
                                 {"MesiBimbo", months}, {"Sel", false}});
            f.add(QStringLiteral("Personale.db"), {{"Id_Valutazione", v}, {"Id_Educatrice", anna}, {"Id_Ruolo", roles.value(0)}});
            f.add(QStringLiteral("Personale.db"), {{"Id_Valutazione", v}, {"Id_Educatrice", laura}, {"Id_Ruolo", roles.value(1)}});
            for (int i = 0; i < areas.size(); ++i) {
                const int top = 2 + (months / 6) + (i * 7 + evaluationNumber * 3) % 4;
                phases(f, v, areas[i], std::max(1, top - 3), top, i % 3 == 0);
            }
        }
    }
    return QString();
}


} // namespace velmora::tools
