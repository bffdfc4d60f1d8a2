// velmora-sample-prints <output-folder> [<program-folder>]
// Lays a small demonstration nursery in a temporary program folder (or in
// the "db" folder of <program-folder>, kept afterwards to try the program
// on it; its educators Rossi and Verdi have the password "pw"), starts
// the main window on it (offscreen unless another platform is asked for),
// logs in and runs every print, writing what the preview would show into
// PDF files: scheda.pdf, riepilogo-nonso.pdf, grafico.pdf, profili.pdf and
// confronto.pdf. The pictures of the prints in the README come from these.
//
// Then it does the same on a second nursery, always in a temporary folder,
// made of the cases that try the paper: sixteen areas with names as long
// as the registry takes, a child of 100 months (an expected development of
// 19,45 on the axis of 0 to 14) with a note of five lines, a staff line of
// five educators, an evaluation answered "Si" in every item of all fourteen
// phases of every area (one area with phase 14 twice: a total of 15) and
// one answered "Non so" throughout. Those go into scheda-difficile.pdf,
// riepilogo-nonso-difficile.pdf, grafico-difficile.pdf,
// profili-difficile.pdf and confronto-difficile.pdf. For every file it
// names the texts printed over one another, if any.
#include "commandline.h"
#include "demonursery.h"
#include "datafolder.h"
#include "document.h"
#include "evaluations.h"
#include "installer.h"
#include "access.h"
#include "mainwindow.h"
#include "nursery.h"
#include "prints.h"
#include "scoring.h"
#include "scripteddialogs.h"
#include "sheet.h"
#include "table.h"

#include <QApplication>
#include <QDir>
#include <QTemporaryDir>
#include <QTextStream>

using namespace velmora;
using tools::Folder;
using tools::phases;

namespace {

// Answers every question with Yes, confirms every print set-up and writes
// each previewed document into the next file name.
class PdfDialogs : public ScriptedDialogs
{
public:
    QString next;
    QStringList written;

    Button message(BoxType type, const QString& text, Buttons buttons, const QString& caption) override
    {
        QTextStream(stdout) << "box: " << text << '\n';
        ScriptedDialogs::message(type, text, buttons, caption);
        return buttons & Button::Yes ? Button::Yes : Button::Ok;
    }
    bool printSetup(const print::Document&) override { return true; }
    void preview(const print::Document& doc) override
    {
        QString error;
        if (next.isEmpty() || !doc.writePdf(next, &error)) {
            QTextStream(stderr) << "cannot write " << next << ": " << error << '\n';
            return;
        }
        written << next;
        // What a reader could not read: texts printed over one another.
        for (const print::TextOverlap& o : doc.overlappingTexts())
            QTextStream(stdout) << next << ": page " << o.page + 1 << ": " << o.first->name << " \"" << o.first->text
                                << "\" over " << o.second->name << " \"" << o.second->text << "\"\n";
    }
};

// A laid nursery and what its prints are run on.
struct Demo
{
    QString problem;    // why the folder could not be laid; empty when laid
    QString surname;    // the child whose prints are written
    int printed = 0;    // the evaluation of the sheet and the profile chart
    int summarised = 0; // the evaluation whose "Non so" are summarised
};

// Educators of `nido` named "Nome Cognome", the first one responsible.
void layEducators(Folder& f, int nido, QList<int>& educators, const QStringList& names)
{
    for (const QString& full : names) {
        const QStringList parts = full.split(QLatin1Char(' '));
        educators << f.add(QStringLiteral("AnagEdu.db"),
                           {{"Id_Nido", nido}, {"Nome", parts.value(0)}, {"Cognome", parts.value(1)},
                            {"Password", QStringLiteral("pw")}, {"Responsabile", educators.isEmpty()}});
    }
}

// The demonstration nursery the screens tool shows too; its prints are run
// on Bianchi's last evaluation, the third one laid.
Demo layDemo(const QString& db)
{
    Demo demo;
    demo.problem = tools::layDemoNursery(db);
    if (!demo.problem.isEmpty())
        return demo;
    Folder f(db);
    const QList<int> evaluations = f.ids(QStringLiteral("Valutaz.db"));
    demo.printed = demo.summarised = evaluations.value(2);
    demo.surname = QStringLiteral("Bianchi");
    return demo;
}

// Phases `from` to `to` of one area, every item given `answer`.
void alike(Folder& f, int evaluation, int area, int from, int to, scoring::Answer answer)
{
    for (int n = from; n <= to; ++n) {
        scoring::AnswerLists lists;
        for (int item = 1; item <= 11; ++item)
            scoring::setAnswer(lists, item, answer);
        f.add(QStringLiteral("FasiVal.db"),
              {{"Id_Valutazione", evaluation}, {"Id_Area", area}, {"NumFase", n}, {"Si", lists.si},
               {"No", lists.no}, {"AVolte", lists.aVolte}, {"NonSo", lists.nonSo}});
    }
}

// The nursery of the hard cases (see the head of this file).
Demo layHard(const QString& db)
{
    Demo demo;
    demo.problem = store::layDataFolder(db);
    if (!demo.problem.isEmpty())
        return demo;
    Folder f(db);
    const int nido = f.add(QStringLiteral("AnagNido.db"),
                           {{"Nome", QStringLiteral("Nido d'infanzia comunale Il Piccolo Principe di San Giovanni")},
                            {"Indirizzo", QStringLiteral("Viale della Repubblica Partigiana 128, scala B, interno 4")},
                            {"Cap", QStringLiteral("50032")},
                            {"Citta", QStringLiteral("San Giovanni in Persiceto")},
                            {"Provincia", QStringLiteral("BO")}});
    QList<int> educators;
    layEducators(f, nido, educators,
                 {QStringLiteral("Anna Rossi"), QStringLiteral("Laura Verdi"), QStringLiteral("Maria Bruno"),
                  QStringLiteral("Chiara Colombo"), QStringLiteral("Francesca Mancini")});
    const QList<int> roles = f.ids(QStringLiteral("Ruoli.db"));

    // Sixteen areas: the eight laid by the installer and eight more, their
    // names as long as the registry takes (50 characters).
    const char* more[][2] = {
        {"MU", "Musica, ritmo e ascolto di suoni e rumori ambiental"},
        {"AR", "Espressione grafica, pittorica e manipolativa libe"},
        {"NA", "Esplorazione della natura e dell'ambiente esterno"},
        {"AL", "Alimentazione, assaggi e autonomia durante il past"},
        {"SO", "Sonno, riposo e ritmi della giornata al nido d'inf"},
        {"IG", "Igiene personale, cura di sé e controllo sfinteric"},
        {"CN", "Conoscenza del corpo, schema corporeo e lateralità"},
        {"IN", "Inserimento, distacco dai genitori e ricongiungim"},
    };
    for (const auto& a : more)
        f.add(QStringLiteral("Aree.db"), {{"AreaBreve", QString::fromUtf8(a[0])}, {"Area", QString::fromUtf8(a[1]).left(50)}});
    const QList<int> areas = f.ids(QStringLiteral("Aree.db"));

    const QDate born(2018, 4, 9);
    const int tommaso = f.add(QStringLiteral("AnagBimbi.DB"),
                              {{"Id_Nido", nido}, {"Nome", QStringLiteral("Tommaso")}, {"Cognome", QStringLiteral("Ricci")},
                               {"DataDiNascita", born}, {"Sesso", QStringLiteral("M")},
                               {"Note", QStringLiteral("Allergia alle arachidi e alla frutta a guscio: in caso di reazione chiamare subito la mamma.\r\n"
                                                       "Porta gli occhiali da lettura, da tenere nell'armadietto.\r\n"
                                                       "Il martedì e il giovedì esce alle 13 per la logopedia.\n"
                                                       "Ritirato anche dalla nonna Paola (delega firmata il 12 settembre).\n"
                                                       "Dorme volentieri con il suo peluche, un coniglio azzurro.")},
                               {"Frequenza", true}});
    // The older evaluation: every item "Non so"; the later one at 100
    // months: every item "Si", phase 14 twice in the second area.
    const int nonSo = f.add(QStringLiteral("Valutaz.db"), {{"Id_Bimbo", tommaso}, {"DataValutazione", born.addMonths(74)},
                                                          {"MesiBimbo", 74}, {"Sel", false}});
    const int si = f.add(QStringLiteral("Valutaz.db"), {{"Id_Bimbo", tommaso}, {"DataValutazione", born.addMonths(100)},
                                                       {"MesiBimbo", 100}, {"Sel", false}});
    for (int e = 0; e < educators.size(); ++e) {
        f.add(QStringLiteral("Personale.db"), {{"Id_Valutazione", si}, {"Id_Educatrice", educators[e]}, {"Id_Ruolo", roles.value(e % roles.size())}});
        f.add(QStringLiteral("Personale.db"), {{"Id_Valutazione", nonSo}, {"Id_Educatrice", educators[e]}, {"Id_Ruolo", roles.value(e % roles.size())}});
    }
    for (int i = 0; i < areas.size(); ++i) {
        alike(f, si, areas[i], 1, 14, scoring::Answer::Si);
        alike(f, nonSo, areas[i], 1, 14, scoring::Answer::NonSo);
    }
    alike(f, si, areas[1], 14, 14, scoring::Answer::Si);

    // Two more children for the comparison.
    const struct { const char* nome; const char* cognome; int months; int level; } others[] = {
        {"Beatrice", "Santoro", 30, 5}, {"Leonardo", "Marchetti", 20, 3}};
    for (const auto& o : others) {
        const int child = f.add(QStringLiteral("AnagBimbi.DB"),
                                {{"Id_Nido", nido}, {"Nome", QString::fromUtf8(o.nome)}, {"Cognome", QString::fromUtf8(o.cognome)},
                                 {"DataDiNascita", QDate(2024, 2, 1)}, {"Sesso", QStringLiteral("F")}, {"Frequenza", true}});
        const int v = f.add(QStringLiteral("Valutaz.db"), {{"Id_Bimbo", child}, {"DataValutazione", QDate(2024, 2, 1).addMonths(o.months)},
                                                          {"MesiBimbo", o.months}, {"Sel", false}});
        for (int i = 0; i < areas.size(); ++i)
            phases(f, v, areas[i], 1, o.level + i % 3, false);
    }
    demo.surname = QStringLiteral("Ricci");
    demo.printed = si;
    demo.summarised = nonSo;
    return demo;
}

// Logs in as Rossi on the nursery laid in `programDir` and runs every print,
// into the files named by the print with `suffix`. The files written.
QStringList runPrints(const QString& programDir, const Demo& demo, const QDir& out, const QString& suffix)
{
    PdfDialogs d;
    TFrm_Main w(programDir, d);
    if (w.shouldEnd())
        return {};
    w.Data.Tbl_AnagEdu.locate(QStringLiteral("Cognome"), QStringLiteral("Rossi"));
    d.expectInput(QStringLiteral("Password"), QStringLiteral("pw"), true);
    w.accessScreen().DBLookupListBox1DblClick();
    const auto file = [&](const char* name) { return out.filePath(QString::fromLatin1(name) + suffix + QStringLiteral(".pdf")); };
    const auto choose = [&](int evaluation) {
        w.Data.Tbl_AnagBimbi.locate(QStringLiteral("Cognome"), demo.surname);
        w.Data.Tbl_Valutazioni.locate(QStringLiteral("Id"), evaluation);
    };

    choose(demo.printed);
    d.next = file("scheda");
    w.prints().SpeedButton10Click();
    d.next = file("grafico");
    w.prints().SpeedButton8Click();
    d.next = file("profili");
    w.prints().Btn_ConfrontoSingoloClick();
    d.next = file("confronto");
    w.prints().Btn_ConfrontoMultiploClick();

    // The summary of the "Non so" answers, as leaving the sheet offers it.
    choose(demo.summarised);
    w.evaluationsScreen().Modifica1Click();
    d.next = file("riepilogo-nonso");
    w.evaluationSheet().SpeedButton7Click();
    return d.written;
}

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    if (QLocale().language() != QLocale::Italian)
        QLocale::setDefault(QLocale(QLocale::Italian, QLocale::Italy));
    velmora::tools::CommandLine cmd(QStringLiteral(
        "Scrive in file PDF tutte le stampe di un piccolo nido dimostrativo:\n"
        "scheda.pdf, riepilogo-nonso.pdf, grafico.pdf, profili.pdf e confronto.pdf;\n"
        "poi le stesse stampe dei casi difficili di un secondo nido (16 aree, un bambino\n"
        "di 100 mesi, una nota di cinque righe, risposte tutte uguali), con \"-difficile\"\n"
        "nel nome: scheda-difficile.pdf, grafico-difficile.pdf e cos\u00ec via."));
    cmd.parser().addPositionalArgument(QStringLiteral("cartella"),
                                       QStringLiteral("La cartella in cui scrivere i PDF (creata se manca)."),
                                       QStringLiteral("<cartella>"));
    cmd.parser().addPositionalArgument(
        QStringLiteral("programma"),
        QStringLiteral("La cartella del programma in cui lasciare i dati dimostrativi (nella sottocartella db)"
                       " per provare il programma: le educatrici Rossi e Verdi hanno la password \"pw\"."
                       " Senza, si usa una cartella temporanea."),
        QStringLiteral("[<cartella-del-programma>]"));
    if (const auto status = cmd.parse(app.arguments(), {QStringLiteral("<cartella>")}, 1))
        return *status;
    const QStringList args = cmd.parser().positionalArguments();
    const QDir out(args[0]);
    QDir().mkpath(out.path());
    QTemporaryDir temporary, temporaryHard;
    const QString programDir = args.size() == 2 ? args[1] : temporary.path();
    QDir().mkpath(programDir);

    struct Run { QString dir; Demo demo; QString suffix; };
    const QList<Run> runs = {
        {programDir, layDemo(QDir(programDir).filePath(QStringLiteral("db"))), QString()},
        {temporaryHard.path(), layHard(QDir(temporaryHard.path()).filePath(QStringLiteral("db"))), QStringLiteral("-difficile")},
    };
    QStringList written;
    for (const Run& run : runs) {
        if (!run.demo.problem.isEmpty()) {
            QTextStream(stderr) << run.demo.problem << '\n';
            return 1;
        }
        written += runPrints(run.dir, run.demo, out, run.suffix);
    }
    for (const QString& file : written)
        QTextStream(stdout) << file << '\n';
    return written.size() == 10 ? 0 : 1;
}
