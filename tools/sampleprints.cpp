// velmora-sample-prints <output-folder> [<program-folder>]
// Lays a small demonstration nursery in a temporary program folder (or in
// the "db" folder of <program-folder>, kept afterwards to try the program
// on it; its educators Rossi and Verdi have the password "pw"), starts
// the main window on it (offscreen unless another platform is asked for),
// logs in and runs every print, writing what the preview would show into
// PDF files: scheda.pdf, riepilogo-nonso.pdf, grafico.pdf, profili.pdf and
// confronto.pdf. The pictures of the prints in the README come from these.
#include "commandline.h"
#include "demonursery.h"
#include "document.h"
#include "evaluations.h"
#include "access.h"
#include "mainwindow.h"
#include "nursery.h"
#include "prints.h"
#include "scripteddialogs.h"
#include "sheet.h"

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
    const QString problem = tools::layDemoNursery(QDir(programDir).filePath(QStringLiteral("db")));
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
