// velmora-screens <folder>
// Lays the demonstration nursery in a temporary program folder, starts the
// main window on it (offscreen unless another platform is asked for) and
// walks through every screen as the responsible educator Rossi would,
// writing a picture of each into <folder>: accesso.png (the access panel),
// elenco.png (the children list), anagrafica-nido.png,
// anagrafica-educatrici.png, anagrafica-bimbi.png, gestione-ruoli.png,
// gestione-aree.png (the five registries), scheda.png (the evaluation sheet
// with an area chosen and its answers), nuovo-nido.png (the new-nursery
// form) and about.png (the About box). For the user guide it also writes
// the program's boxes as they show on the way: password.png (the password
// asked at login), elenco-selezione.png (an evaluation marked in the "S"
// column), nuova-fase.png (the phase number asked for a new phase),
// rifiuto-fase.png (a new phase refused after one scored 0),
// domanda-nonso.png (the "Non so" summary offered on the way back) and
// anagrafica-bimbi-nuovo.png (a child being typed into the registry),
// elenco-tutti.png (every child listed, one who no longer attends apart),
// rifiuto-cancella.png (an evaluation that Verdi, not responsible, may not
// delete). The data folder is a temporary one: the marks and the phase
// added on the way vanish with it; every other question is answered No and
// every form is cancelled.
#include "commandline.h"
#include "demonursery.h"

#include "aboutbox.h"
#include <QLabel>
#include "access.h"
#include "children.h"
#include "datanavigator.h"
#include "evaluations.h"
#include "fonts.h"
#include "lookups.h"
#include "mainwindow.h"
#include "nursery.h"
#include "qtdialogs.h"
#include "phases.h"
#include "scripteddialogs.h"
#include "sheet.h"
#include "table.h"

#include <QApplication>
#include <QDate>
#include <QDialog>
#include <QDir>
#include <QGroupBox>
#include <QImage>
#include <QInputDialog>
#include <QLineEdit>
#include <QMap>
#include <QMessageBox>
#include <QRadioButton>
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


// Answers every question No (Yes to those in `yesTo`), gives the
// demonstration password and the proposed value of any other input, refuses
// every print and shows each form for `onForm` before cancelling it. A box
// whose text or prompt begins with a key of `boxPictures` is also drawn as
// the program shows it and written under that key's name.
class ScreenDialogs : public ScriptedDialogs
{
public:
    explicit ScreenDialogs(Pictures& pictures) : m_pictures(pictures) {}

    std::function<void(QDialog&)> onForm;
    QMap<QString, QString> boxPictures;
    QStringList yesTo;

    Button message(BoxType type, const QString& text, Buttons buttons, const QString& caption) override
    {
        ScriptedDialogs::message(type, text, buttons, caption);
        if (const QString name = pictureFor(text); !name.isEmpty()) {
            // As QtDialogs lays it: the caption of its type, plain text.
            QString shown = text;
            shown.replace(QLatin1String("\r\n"), QLatin1String("\n")).replace(QLatin1Char('\r'), QLatin1Char('\n'));
            const QMessageBox::Icon icon = type == BoxType::Confirmation ? QMessageBox::Question
                : type == BoxType::Error                                 ? QMessageBox::Critical
                : type == BoxType::Warning                               ? QMessageBox::Warning
                : type == BoxType::Information                           ? QMessageBox::Information
                                                                         : QMessageBox::NoIcon;
            const Buttons effective = effectiveButtons(buttons);
            QMessageBox::StandardButtons standard;
            if (effective & Button::Ok)
                standard |= QMessageBox::Ok;
            if (effective & Button::Yes)
                standard |= QMessageBox::Yes;
            if (effective & Button::No)
                standard |= QMessageBox::No;
            if (effective & Button::Cancel)
                standard |= QMessageBox::Cancel;
            QMessageBox box(icon, effectiveCaption(type, caption), shown, standard);
            box.setTextFormat(Qt::PlainText);
            box.show();
            m_pictures.take(box, name);
            box.hide();
        }
        if (buttons & Button::Yes)
            for (const QString& t : yesTo)
                if (text.startsWith(t))
                    return Button::Yes;
        return buttons & Button::No ? Button::No : Button::Ok;
    }
    std::optional<QString> input(const QString& caption, const QString& prompt, const QString& initial,
                                 bool masked) override
    {
        const QString answer = masked ? QStringLiteral("pw") : initial;
        if (const QString name = pictureFor(prompt); !name.isEmpty()) {
            QInputDialog box;
            box.setInputMode(QInputDialog::TextInput);
            box.setWindowTitle(caption);
            box.setLabelText(prompt);
            // A masked box shows one '*' per typed character.
            box.setTextValue(masked ? QString(answer.size(), QLatin1Char('*')) : answer);
            box.show();
            // Typed, not proposed: the password is not selected.
            if (auto* edit = box.findChild<QLineEdit*>(); edit && masked)
                edit->deselect();
            m_pictures.take(box, name);
            box.hide();
        }
        return answer;
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

private:
    QString pictureFor(const QString& text)
    {
        for (auto it = boxPictures.cbegin(); it != boxPictures.cend(); ++it)
            if (text.startsWith(it.key())) {
                const QString name = it.value();
                boxPictures.erase(it); // one picture each
                return name;
            }
        return QString();
    }

    Pictures& m_pictures;
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
        "gestione-ruoli.png, gestione-aree.png, scheda.png, nuovo-nido.png e about.png; per la guida\n"
        "password.png, elenco-selezione.png, nuova-fase.png, rifiuto-fase.png, domanda-nonso.png e\n"
        "anagrafica-bimbi-nuovo.png, elenco-tutti.png, rifiuto-cancella.png."));
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
    // The faces the program draws with, as it loads them at start, and the
    // Italian words of the standard buttons ("Sì", "Annulla").
    loadProgramFonts();
    installItalianTranslations(app);

    QTemporaryDir programDir;
    const QString problem = tools::layDemoNursery(QDir(programDir.path()).filePath(QStringLiteral("db")));
    if (!problem.isEmpty()) {
        QTextStream(stderr) << problem << '\n';
        return 1;
    }

    Pictures pictures(out);
    ScreenDialogs d(pictures);
    TFrm_Main w(programDir.path(), d);
    if (w.shouldEnd())
        return 1;
    w.show();
    pictures.take(w, QStringLiteral("accesso.png"));
    d.boxPictures.insert(QStringLiteral("Password"), QStringLiteral("password.png"));

    // Rossi, the responsible educator, logs in; the first child is current.
    w.Data.Tbl_AnagEdu.locate(QStringLiteral("Cognome"), QStringLiteral("Rossi"));
    w.findChild<QToolButton*>(QStringLiteral("SpeedButton4"))->click();
    w.Data.Tbl_AnagBimbi.locate(QStringLiteral("Cognome"), QStringLiteral("Bianchi"));
    pictures.take(w, QStringLiteral("elenco.png"));


    const struct
    {
        QToolButton* open;
        QGroupBox* box;
        const char* file;
    } registries[] = {
        {w.findChild<QToolButton*>(QStringLiteral("ToolButton1")),
         w.findChild<QGroupBox*>(QStringLiteral("GB_AnagraficaNido")), "anagrafica-nido.png"},
        {w.findChild<QToolButton*>(QStringLiteral("ToolButton3")),
         w.findChild<QGroupBox*>(QStringLiteral("GB_AnagraficaEducatrici")), "anagrafica-educatrici.png"},
        {w.findChild<QToolButton*>(QStringLiteral("ToolButton5")),
         w.findChild<QGroupBox*>(QStringLiteral("GB_AnagraficaBimbi")), "anagrafica-bimbi.png"},
        {w.findChild<QToolButton*>(QStringLiteral("ToolButton7")),
         w.findChild<QGroupBox*>(QStringLiteral("GB_AnagraficaRuoli")), "gestione-ruoli.png"},
        {w.findChild<QToolButton*>(QStringLiteral("ToolButton9")),
         w.findChild<QGroupBox*>(QStringLiteral("GB_AnagraficaAree")), "gestione-aree.png"},
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
    w.evaluationsScreen().Modifica1Click();
    LookupComboBox* areas = w.findChild<LookupComboBox*>(QStringLiteral("CB_Area"));
    DataNavigator* phases = w.findChild<DataNavigator*>(QStringLiteral("DBNavigator11"));
    if (areas->count() > 0)
        emit areas->activated(0);
    w.Data.Tbl_FasiVal.last();
    pictures.take(w, QStringLiteral("scheda.png"));

    // A new phase in the last area: the number asked (the next one is
    // proposed), then a further phase refused, since the new one, not yet
    // answered, scored 0.
    if (areas->count() > 0)
        emit areas->activated(areas->count() - 1);
    d.boxPictures.insert(QStringLiteral("Numero fase"), QStringLiteral("nuova-fase.png"));
    phases->trigger(DataNavigator::Button::Insert);
    d.boxPictures.insert(QStringLiteral("La fase precedente"), QStringLiteral("rifiuto-fase.png"));
    phases->trigger(DataNavigator::Button::Insert);

    // Back to the list: the "Non so" summary is offered.
    d.boxPictures.insert(QStringLiteral("Nella valutazione sono presenti"), QStringLiteral("domanda-nonso.png"));
    w.evaluationSheet().SpeedButton7Click();

    // The first evaluation of Bianchi marked in the "S" column.
    w.Data.Tbl_Valutazioni.first();
    w.evaluationsScreen().DBGrid7DblClick();
    pictures.take(w, QStringLiteral("elenco-selezione.png"));
    w.evaluationsScreen().DBGrid7DblClick();

    // The new-nursery form, a name being typed, from the nursery registry.
    d.onForm = [&](QDialog& form) {
        if (auto* name = form.findChild<QLineEdit*>(QStringLiteral("DBEdit1")))
            name->setText(QStringLiteral("Nido d'infanzia L'Arcobaleno"));
        pictures.take(form, QStringLiteral("nuovo-nido.png"));
    };
    w.findChild<QToolButton*>(QStringLiteral("ToolButton1"))->click();
    w.findChild<QGroupBox*>(QStringLiteral("GB_AnagraficaNido"))
        ->findChild<QToolButton*>(QStringLiteral("SpeedButton11"))
        ->click();
    w.findChild<QToolButton*>(QStringLiteral("SpeedButton3"))->click();

    d.onForm = [&](QDialog& form) {
        // The demonstration folder is a temporary one: the picture names
        // the data folder of an installed program instead.
        static_cast<AboutBox&>(form).Lbl_Dati->setText(
            AboutBox::datiInUso(QStringLiteral("/var/lib/velmora/db"), QString()));
        pictures.take(form, QStringLiteral("about.png"));
    };
    w.findChild<QToolButton*>(QStringLiteral("SpeedButton13"))->click();

    // A child who no longer attends, typed into the children registry, then
    // the list of all children, where she shows apart.
    w.findChild<QToolButton*>(QStringLiteral("ToolButton5"))->click();
    store::Table& bimbi = w.Data.Tbl_AnagBimbi;
    bimbi.append();
    bimbi.setValue(QStringLiteral("Nome"), QStringLiteral("Chiara"));
    bimbi.setValue(QStringLiteral("Cognome"), QStringLiteral("Colombo"));
    bimbi.setValue(QStringLiteral("DataDiNascita"), QDate(2023, 6, 8));
    bimbi.setValue(QStringLiteral("Sesso"), QStringLiteral("F"));
    bimbi.setValue(QStringLiteral("Frequenza"), false);
    pictures.take(w, QStringLiteral("anagrafica-bimbi-nuovo.png"));
    bimbi.post();
    for (QToolButton* b : w.findChild<QGroupBox*>(QStringLiteral("GB_AnagraficaBimbi"))->findChildren<QToolButton*>())
        if (b->text() == QLatin1String("Esci"))
            b->click();
    w.findChild<QRadioButton*>(QStringLiteral("RadioButton2"))->click();
    pictures.take(w, QStringLiteral("elenco-tutti.png"));
    w.findChild<QRadioButton*>(QStringLiteral("Rb_Freq"))->click();

    // Verdi, not responsible, logs in and tries to delete an evaluation:
    // asked first, then refused.
    w.findChild<QToolButton*>(QStringLiteral("Btn_LogOut"))->click();
    w.Data.Tbl_AnagEdu.locate(QStringLiteral("Cognome"), QStringLiteral("Verdi"));
    w.findChild<QToolButton*>(QStringLiteral("SpeedButton4"))->click();
    w.Data.Tbl_AnagBimbi.locate(QStringLiteral("Cognome"), QStringLiteral("Bianchi"));
    d.yesTo << QStringLiteral("Eliminare il record?");
    d.boxPictures.insert(QStringLiteral("Attenzione! Solamente"), QStringLiteral("rifiuto-cancella.png"));
    w.findChild<DataNavigator*>(QStringLiteral("DBNavigator7"))->trigger(DataNavigator::Button::Delete);

    return pictures.written() == 18 ? 0 : 1;
}
