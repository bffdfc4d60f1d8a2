// velmora-screens <folder>
// Lays the demonstration nursery in a temporary program folder, starts the
// main window on it (offscreen unless another platform is asked for) and
// walks through every screen as the responsible educator Rossi would,
// writing a picture of each into <folder>: accesso.png (the access panel),
// elenco.png (the children list), anagrafica-nido.png,
// anagrafica-educatrici.png, anagrafica-bimbi.png, gestione-ruoli.png,
// gestione-aree.png (the five registries), scheda.png (the evaluation sheet
// with an area chosen and its answers), nuovo-nido.png (the new-nursery
// form) and about.png (the About box). Nothing is saved to the data: every
// question is answered No and every form is cancelled.
#include "commandline.h"
#include "demonursery.h"

#include "aboutbox.h"
#include "access.h"
#include "evaluations.h"
#include "fonts.h"
#include "lookups.h"
#include "mainwindow.h"
#include "nursery.h"
#include "phases.h"
#include "scripteddialogs.h"
#include "sheet.h"
#include "table.h"

#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QGroupBox>
#include <QImage>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTextStream>
#include <QToolButton>

#include <functional>

using namespace velmora;

namespace {

// Lets the layouts, the grids' scroll bars and the painting settle, as they
// do before a person looks.
void settle()
{
    for (int i = 0; i < 3; ++i)
        QCoreApplication::processEvents();
}

// Answers every question No, gives the demonstration password, refuses
// every print and shows each form for `onForm` before cancelling it.
class ScreenDialogs : public ScriptedDialogs
{
public:
    std::function<void(QDialog&)> onForm;

    Button message(BoxType type, const QString& text, Buttons buttons, const QString& caption) override
    {
        ScriptedDialogs::message(type, text, buttons, caption);
        return buttons & Button::No ? Button::No : Button::Ok;
    }
    std::optional<QString> input(const QString&, const QString&, const QString&, bool) override
    {
        return QStringLiteral("pw");
    }
    bool printSetup(const print::Document&) override { return false; }
    int execForm(QDialog& form) override
    {
        form.show();
        settle();
        if (onForm)
            onForm(form);
        form.hide();
        return QDialog::Rejected;
    }
};

class Pictures
{
public:
    explicit Pictures(const QDir& out) : m_out(out) {}

    void take(QWidget& w, const QString& name)
    {
        settle();
        const QString file = m_out.filePath(name);
        if (w.grab().toImage().save(file, "PNG")) {
            QTextStream(stdout) << file << '\n';
            ++m_written;
        } else {
            QTextStream(stderr) << "Impossibile scrivere " << file << '\n';
        }
    }
    int written() const { return m_written; }

private:
    QDir m_out;
    int m_written = 0;
};

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    if (QLocale().language() != QLocale::Italian)
        QLocale::setDefault(QLocale(QLocale::Italian, QLocale::Italy));
    tools::CommandLine cmd(QStringLiteral(
        "Scrive un'immagine PNG di ogni schermata del programma, su un piccolo nido dimostrativo:\n"
        "accesso.png, elenco.png, anagrafica-nido.png, anagrafica-educatrici.png, anagrafica-bimbi.png,\n"
        "gestione-ruoli.png, gestione-aree.png, scheda.png, nuovo-nido.png e about.png."));
    cmd.parser().addPositionalArgument(QStringLiteral("cartella"),
                                       QStringLiteral("La cartella in cui scrivere le immagini (creata se manca)."),
                                       QStringLiteral("<cartella>"));
    if (const auto status = cmd.parse(app.arguments(), {QStringLiteral("<cartella>")}, 0))
        return *status;
    const QDir out(cmd.parser().positionalArguments().constFirst());
    if (!QDir().mkpath(out.path())) {
        QTextStream(stderr) << "Impossibile creare la cartella " << out.path() << '\n';
        return 1;
    }
    // The faces the program draws with, as it loads them at start.
    loadProgramFonts();

    QTemporaryDir programDir;
    const QString problem = tools::layDemoNursery(QDir(programDir.path()).filePath(QStringLiteral("db")));
    if (!problem.isEmpty()) {
        QTextStream(stderr) << problem << '\n';
        return 1;
    }

    ScreenDialogs d;
    TFrm_Main w(programDir.path(), d);
    if (w.shouldEnd())
        return 1;
    w.show();
    Pictures pictures(out);
    pictures.take(w, QStringLiteral("accesso.png"));

    // Rossi, the responsible educator, logs in; the first child is current.
    w.Data.Tbl_AnagEdu.locate(QStringLiteral("Cognome"), QStringLiteral("Rossi"));
    w.Access->SpeedButton4->click();
    w.Data.Tbl_AnagBimbi.locate(QStringLiteral("Cognome"), QStringLiteral("Bianchi"));
    pictures.take(w, QStringLiteral("elenco.png"));


    const struct
    {
        QToolButton* open;
        QGroupBox* box;
        const char* file;
    } registries[] = {
        {w.ToolButton1, w.GB_AnagraficaNido, "anagrafica-nido.png"},
        {w.ToolButton3, w.GB_AnagraficaEducatrici, "anagrafica-educatrici.png"},
        {w.ToolButton5, w.GB_AnagraficaBimbi, "anagrafica-bimbi.png"},
        {w.ToolButton7, w.GB_AnagraficaRuoli, "gestione-ruoli.png"},
        {w.ToolButton9, w.GB_AnagraficaAree, "gestione-aree.png"},
    };
    for (const auto& r : registries) {
        r.open->click();
        pictures.take(w, QString::fromLatin1(r.file));
        // Its "Esci", the one button of the box named so.
        for (QToolButton* b : r.box->findChildren<QToolButton*>())
            if (b->text() == QLatin1String("Esci"))
                b->click();
    }

    // The last evaluation of Bianchi on the sheet, the first area chosen,
    // on its last phase, answered in part.
    w.Data.Tbl_AnagBimbi.locate(QStringLiteral("Cognome"), QStringLiteral("Bianchi"));
    w.Data.Tbl_Valutazioni.last();
    w.Evaluations->Modifica1Click();
    if (w.Phases->CB_Area->count() > 0)
        emit w.Phases->CB_Area->activated(0);
    w.Data.Tbl_FasiVal.last();
    pictures.take(w, QStringLiteral("scheda.png"));
    w.Sheet->SpeedButton7Click();

    // The new-nursery form, a name being typed, from the nursery registry.
    d.onForm = [&](QDialog& form) {
        if (auto* name = form.findChild<QLineEdit*>(QStringLiteral("DBEdit1")))
            name->setText(QStringLiteral("Nido d'infanzia L'Arcobaleno"));
        pictures.take(form, QStringLiteral("nuovo-nido.png"));
    };
    w.ToolButton1->click();
    w.Nursery->SpeedButton11->click();
    w.Nursery->SpeedButton3->click();

    d.onForm = [&](QDialog& form) { pictures.take(form, QStringLiteral("about.png")); };
    w.SpeedButton13->click();

    return pictures.written() == 10 ? 0 : 1;
}
