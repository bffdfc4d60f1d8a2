// velmora-sample-prints <output-folder> [<program-folder>]
// Lays a small demonstration nursery in a temporary program folder (or in
// the "db" folder of <program-folder>, kept afterwards to try the program
// on it; its educators Rossi and Verdi have the password "pw"), starts
// the main window on it (offscreen unless another platform is asked for),
// logs in and runs every print, writing what the preview would show into
// PDF files: scheda.pdf, riepilogo-nonso.pdf, grafico.pdf, profili.pdf and
// confronto.pdf. The pictures of the prints in the README come from these.
#include "commandline.h"
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
    }
};

struct Folder
{
    store::DataFolder df;
    explicit Folder(const QString& path) : df(path) {}

    int add(const QString& file, const QVariantMap& values) { return store::appendRecord(df, file, values); }
    QList<int> ids(const QString& file)
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
};

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

QString layDemo(const QString& db)
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
        "scheda.pdf, riepilogo-nonso.pdf, grafico.pdf, profili.pdf e confronto.pdf."));
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
    QTemporaryDir temporary;
    const QString programDir = args.size() == 2 ? args[1] : temporary.path();
    QDir().mkpath(programDir);
    const QString problem = layDemo(QDir(programDir).filePath(QStringLiteral("db")));
    if (!problem.isEmpty()) {
        QTextStream(stderr) << problem << '\n';
        return 1;
    }

    PdfDialogs d;
    TFrm_Main w(programDir, d);
    if (w.shouldEnd())
        return 1;
    w.Data.Tbl_AnagEdu.locate(QStringLiteral("Cognome"), QStringLiteral("Rossi"));
    d.expectInput(QStringLiteral("Password"), QStringLiteral("pw"), true);
    w.Access->DBLookupListBox1DblClick();

    // The first child in the list, its last evaluation.
    w.Data.Tbl_AnagBimbi.locate(QStringLiteral("Cognome"), QStringLiteral("Bianchi"));
    w.Data.Tbl_Valutazioni.last();
    d.next = out.filePath(QStringLiteral("scheda.pdf"));
    w.Reports->SpeedButton10Click();
    d.next = out.filePath(QStringLiteral("grafico.pdf"));
    w.Reports->SpeedButton8Click();
    d.next = out.filePath(QStringLiteral("profili.pdf"));
    w.Reports->Btn_ConfrontoSingoloClick();
    d.next = out.filePath(QStringLiteral("confronto.pdf"));
    w.Reports->Btn_ConfrontoMultiploClick();

    // The summary of the "Non so" answers, as leaving the sheet offers it.
    w.Data.Tbl_AnagBimbi.locate(QStringLiteral("Cognome"), QStringLiteral("Bianchi"));
    w.Data.Tbl_Valutazioni.last();
    w.Evaluations->Modifica1Click();
    d.next = out.filePath(QStringLiteral("riepilogo-nonso.pdf"));
    w.Sheet->SpeedButton7Click();

    for (const QString& file : d.written)
        QTextStream(stdout) << file << '\n';
    return d.written.size() == 5 ? 0 : 1;
}
