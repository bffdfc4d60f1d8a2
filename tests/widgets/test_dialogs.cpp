#include "document.h"
#include "qtdialogs.h"
#include "scripteddialogs.h"
#include "scripteddialogs_qtest.h"

#include <QApplication>
#include <QDialog>
#include <QFile>
#include <QPageLayout>
#include <QPageSize>
#include <QPrinter>
#include <QTemporaryDir>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QTranslator>

#include <functional>

using namespace velmora;

using ScriptStep = std::function<void(ScriptedDialogs&)>;
// Shows boxes and returns the answers it got, written as text.
using ShowStep = std::function<QString(ScriptedDialogs&)>;
// Runs a convenience call against a Dialogs.
using DialogsCall = std::function<void(Dialogs&)>;

Q_DECLARE_METATYPE(ScriptStep)
Q_DECLARE_METATYPE(ShowStep)
Q_DECLARE_METATYPE(DialogsCall)
Q_DECLARE_METATYPE(velmora::BoxType)
Q_DECLARE_METATYPE(velmora::Button)
Q_DECLARE_METATYPE(velmora::Buttons)

namespace {

QString answerText(Button b)
{
    switch (b) {
    case Button::Ok:
        return QStringLiteral("Ok");
    case Button::Yes:
        return QStringLiteral("Yes");
    case Button::No:
        return QStringLiteral("No");
    case Button::Cancel:
        return QStringLiteral("Cancel");
    case Button::None:
        break;
    }
    return QStringLiteral("None");
}

QString answerText(const std::optional<QString>& s)
{
    return s ? QStringLiteral("\"%1\"").arg(*s) : QStringLiteral("nullopt");
}

// Answers every box with the same button and remembers how it was asked.
class FixedAnswer : public Dialogs
{
public:
    explicit FixedAnswer(Button answer) : m_answer(answer) {}
    Button message(BoxType type, const QString&, Buttons buttons, const QString&) override
    {
        lastType = type;
        lastButtons = buttons;
        return m_answer;
    }
    std::optional<QString> input(const QString&, const QString&, const QString&, bool) override
    {
        return std::nullopt;
    }
    int execForm(QDialog&) override { return 0; }
    bool printSetup(const print::Document&) override { return false; }
    void preview(const print::Document&) override {}
    bool openUrl(const QUrl&) override { return false; }
    BoxType lastType = BoxType::Plain;
    Buttons lastButtons;

private:
    Button m_answer;
};

// Runs `show` (which opens a modal box) while `handle` deals with the box
// from inside its event loop. Never hangs: with no modal box to handle, or a
// box still open a few seconds later, every top-level window is ended and the
// returned message says what happened. Both timers live on this stack frame,
// so neither can fire once the call is over.
QString driveModal(const std::function<void()>& show, const std::function<void(QWidget*)>& handle)
{
    QString problem;
    const auto endAll = [] {
        for (QWidget* w : QApplication::topLevelWidgets()) {
            // done() leaves exec() even where a close would be refused.
            if (auto* dialog = qobject_cast<QDialog*>(w))
                dialog->done(QDialog::Rejected);
            else
                w->close();
        }
    };

    QTimer handler;
    handler.setSingleShot(true);
    QObject::connect(&handler, &QTimer::timeout, qApp, [&] {
        QWidget* modal = QApplication::activeModalWidget();
        if (!modal) {
            problem = QStringLiteral("no modal box was shown");
            endAll();
            return;
        }
        handle(modal);
    });

    QTimer watchdog;
    watchdog.setSingleShot(true);
    QObject::connect(&watchdog, &QTimer::timeout, qApp, [&] {
        problem = QStringLiteral("the box was still open after the handler ran");
        endAll();
    });

    handler.start(0);
    watchdog.start(5000);
    show();
    if (handler.isActive())
        problem = QStringLiteral("the call returned without showing a modal box");
    return problem;
}

// A one-page document with a single text, as a report would lay it out.
print::Document tinyDocument(const QString& title, const QString& name = QStringLiteral("Rossi Anna"))
{
    print::PageText text;
    text.name = QStringLiteral("nome");
    text.rect = QRectF(10, 20, 80, 8);
    text.text = name;
    text.font = QFont(QStringLiteral("DejaVu Sans"), 10);
    print::Page page;
    page.texts.append(text);
    print::Document doc;
    doc.title = title;
    doc.pages.append(page);
    return doc;
}

// What a report does once laid out: set-up, then the preview when confirmed.
QString runReport(Dialogs& d, const print::Document& doc)
{
    if (!d.printSetup(doc))
        return QStringLiteral("cancelled");
    d.preview(doc);
    return QStringLiteral("previewed");
}

} // namespace

class TestDialogs : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();

    void scriptedAnswersInOrder();
    void scriptChecks_data();
    void scriptChecks();
    void clearForgetsEverything();
    void convenienceBoxes_data();
    void convenienceBoxes();
    void confirmIsTrueOnlyForYes_data();
    void confirmIsTrueOnlyForYes();

    void italianTranslationsLoaded();
    void realMessageBox_data();
    void realMessageBox();
    void realInputBox_data();
    void realInputBox();

    void reportScripts_data();
    void reportScripts();
    void previewKeepsItsPages();
    void clearForgetsReports();
    void pendingFormMeansNotDone();
    void pdfFileNames_data();
    void pdfFileNames();
    void printsIntoPdfFile();
    void realPrintSetupProposesPrintsName();
};

void TestDialogs::initTestCase()
{
    installItalianTranslations(*qApp);
    // A second call must not stack a second set of translators.
    const auto before = qApp->findChildren<QTranslator*>().size();
    installItalianTranslations(*qApp);
    QCOMPARE(qApp->findChildren<QTranslator*>().size(), before);
}

void TestDialogs::scriptedAnswersInOrder()
{
    ScriptedDialogs d;
    d.expectMessage(BoxType::Confirmation, QStringLiteral("Eliminare il bambino?"), Button::Yes);
    d.expectInput(QStringLiteral("Password:"), QStringLiteral("segreta"), true);
    d.expectMessage(BoxType::Warning, QStringLiteral("Salvare?"), Button::Cancel);
    d.expectInput(QStringLiteral("Cognome:"), std::nullopt);

    QVERIFY(!d.done());
    QVERIFY(d.confirm(QStringLiteral("Eliminare il bambino?")));
    QCOMPARE(d.input(QStringLiteral("Accesso"), QStringLiteral("Password:"), QString(), true),
             std::optional<QString>(QStringLiteral("segreta")));
    QCOMPARE(d.message(BoxType::Warning, QStringLiteral("Salvare?"),
                       Button::Yes | Button::No | Button::Cancel, QStringLiteral("Anagrafe")),
             Button::Cancel);
    QCOMPARE(d.input(QStringLiteral("Cerca"), QStringLiteral("Cognome:"), QStringLiteral("Ros"), false),
             std::nullopt);
    QVERIFY(d.done());
    VERIFY_DIALOGS(d);

    const auto& shown = d.shown();
    QCOMPARE(shown.size(), 4);

    QCOMPARE(shown[0].kind, ScriptedDialogs::Shown::Message);
    QCOMPARE(shown[0].type, BoxType::Confirmation);
    QCOMPARE(shown[0].caption, QStringLiteral("Conferma"));
    QCOMPARE(shown[0].text, QStringLiteral("Eliminare il bambino?"));
    QCOMPARE(shown[0].buttons, Button::Yes | Button::No);

    QCOMPARE(shown[1].kind, ScriptedDialogs::Shown::Input);
    QCOMPARE(shown[1].caption, QStringLiteral("Accesso"));
    QCOMPARE(shown[1].text, QStringLiteral("Password:"));
    QVERIFY(shown[1].masked);
    QCOMPARE(shown[1].buttons, Button::Ok | Button::Cancel);

    QCOMPARE(shown[2].type, BoxType::Warning);
    QCOMPARE(shown[2].caption, QStringLiteral("Anagrafe"));
    QCOMPARE(shown[2].buttons, Button::Yes | Button::No | Button::Cancel);

    QCOMPARE(shown[3].kind, ScriptedDialogs::Shown::Input);
    QVERIFY(!shown[3].masked);
    QCOMPARE(shown[3].initial, QStringLiteral("Ros"));
}

void TestDialogs::scriptChecks_data()
{
    QTest::addColumn<ScriptStep>("script");
    QTest::addColumn<ShowStep>("show");
    QTest::addColumn<QString>("answers");
    QTest::addColumn<int>("failureCount");
    QTest::addColumn<int>("problemCount");
    // Each of these must appear somewhere in the problems.
    QTest::addColumn<QStringList>("mentions");

    const ScriptStep nothing = [](ScriptedDialogs&) {};
    const ShowStep showNothing = [](ScriptedDialogs&) { return QString(); };

    QTest::newRow("unexpected message")
        << nothing
        << ShowStep([](ScriptedDialogs& d) { d.error(QStringLiteral("Disco pieno")); return QString(); })
        << QString() << 1 << 1 << QStringList{QStringLiteral("Disco pieno"), QStringLiteral("Error")};

    QTest::newRow("unexpected confirmation answers No")
        << nothing
        << ShowStep([](ScriptedDialogs& d) {
               return answerText(d.message(BoxType::Confirmation, QStringLiteral("Uscire?"),
                                           Button::Yes | Button::No));
           })
        << QStringLiteral("No") << 1 << 1 << QStringList{QStringLiteral("Uscire?")};

    QTest::newRow("unexpected three-button box answers Cancel")
        << nothing
        << ShowStep([](ScriptedDialogs& d) {
               return answerText(d.message(BoxType::Warning, QStringLiteral("Salvare?"),
                                           Button::Yes | Button::No | Button::Cancel));
           })
        << QStringLiteral("Cancel") << 1 << 1 << QStringList{QStringLiteral("Salvare?")};

    QTest::newRow("unexpected input answers nullopt")
        << nothing
        << ShowStep([](ScriptedDialogs& d) {
               return answerText(d.input(QString(), QStringLiteral("Nome:"), QStringLiteral("x"), false));
           })
        << QStringLiteral("nullopt") << 1 << 1 << QStringList{QStringLiteral("Nome:")};

    QTest::newRow("wrong text")
        << ScriptStep([](ScriptedDialogs& d) {
               d.expectMessage(BoxType::Confirmation, QStringLiteral("Eliminare la sezione?"), Button::Yes);
           })
        << ShowStep([](ScriptedDialogs& d) {
               return answerText(d.message(BoxType::Confirmation, QStringLiteral("Eliminare il bambino?"),
                                           Button::Yes | Button::No));
           })
        << QStringLiteral("No") << 1 << 1
        << QStringList{QStringLiteral("Eliminare la sezione?"), QStringLiteral("Eliminare il bambino?")};

    QTest::newRow("wrong type")
        << ScriptStep([](ScriptedDialogs& d) { d.expectMessage(BoxType::Warning, QStringLiteral("Data errata")); })
        << ShowStep([](ScriptedDialogs& d) { d.error(QStringLiteral("Data errata")); return QString(); })
        << QString() << 1 << 1 << QStringList{QStringLiteral("Warning"), QStringLiteral("Error")};

    QTest::newRow("answer not among the buttons")
        << ScriptStep([](ScriptedDialogs& d) { d.expectMessage(BoxType::Error, QStringLiteral("Errore"), Button::Yes); })
        << ShowStep([](ScriptedDialogs& d) {
               return answerText(d.message(BoxType::Error, QStringLiteral("Errore"), Button::Ok));
           })
        << QStringLiteral("Ok") << 1 << 1 << QStringList{QStringLiteral("Yes")};

    QTest::newRow("Cancel scripted on a Yes/No question")
        << ScriptStep([](ScriptedDialogs& d) {
               d.expectMessage(BoxType::Confirmation, QStringLiteral("Stampare?"), Button::Cancel);
           })
        << ShowStep([](ScriptedDialogs& d) { return d.confirm(QStringLiteral("Stampare?")) ? "true" : "false"; })
        << QStringLiteral("false") << 1 << 1 << QStringList{QStringLiteral("Cancel")};

    QTest::newRow("entry never shown")
        << ScriptStep([](ScriptedDialogs& d) {
               d.expectMessage(BoxType::Information, QStringLiteral("Salvataggio completato"));
           })
        << showNothing << QString() << 0 << 1 << QStringList{QStringLiteral("Salvataggio completato")};

    QTest::newRow("message where input expected")
        << ScriptStep([](ScriptedDialogs& d) { d.expectInput(QStringLiteral("Nome:"), QStringLiteral("Anna")); })
        << ShowStep([](ScriptedDialogs& d) { d.information(QStringLiteral("Fatto")); return QString(); })
        << QString() << 1 << 2 << QStringList{QStringLiteral("Fatto"), QStringLiteral("Nome:")};

    QTest::newRow("input with another prompt")
        << ScriptStep([](ScriptedDialogs& d) { d.expectInput(QStringLiteral("Nome:"), QStringLiteral("Anna")); })
        << ShowStep([](ScriptedDialogs& d) {
               return answerText(d.input(QString(), QStringLiteral("Cognome:"), QString(), false));
           })
        << QStringLiteral("nullopt") << 1 << 2 << QStringList{QStringLiteral("Cognome:"), QStringLiteral("Nome:")};

    QTest::newRow("input not masked as expected")
        << ScriptStep([](ScriptedDialogs& d) {
               d.expectInput(QStringLiteral("Password:"), QStringLiteral("segreta"), true);
           })
        << ShowStep([](ScriptedDialogs& d) {
               return answerText(d.input(QString(), QStringLiteral("Password:"), QString(), false));
           })
        << QStringLiteral("nullopt") << 1 << 1 << QStringList{QStringLiteral("masked")};

    // An extra box before the expected one must not derail the rest.
    QTest::newRow("extra box before the expected one")
        << ScriptStep([](ScriptedDialogs& d) {
               d.expectMessage(BoxType::Confirmation, QStringLiteral("Eliminare?"), Button::Yes);
           })
        << ShowStep([](ScriptedDialogs& d) {
               d.warning(QStringLiteral("Imprevisto"));
               return answerText(d.message(BoxType::Confirmation, QStringLiteral("Eliminare?"),
                                           Button::Yes | Button::No));
           })
        << QStringLiteral("Yes") << 1 << 1 << QStringList{QStringLiteral("Imprevisto")};

    // A box with the wrong wording uses up its entry: the next box still matches.
    QTest::newRow("wrong text then a right box")
        << ScriptStep([](ScriptedDialogs& d) {
               d.expectMessage(BoxType::Error, QStringLiteral("Codice fiscale errato"));
               d.expectMessage(BoxType::Confirmation, QStringLiteral("Continuare?"), Button::Yes);
           })
        << ShowStep([](ScriptedDialogs& d) {
               d.error(QStringLiteral("Codice fiscale non valido"));
               return d.confirm(QStringLiteral("Continuare?")) ? "true" : "false";
           })
        << QStringLiteral("true") << 1 << 1 << QStringList{QStringLiteral("Codice fiscale non valido")};

    QTest::newRow("any text accepted")
        << ScriptStep([](ScriptedDialogs& d) { d.expectAnyMessage(BoxType::Error); })
        << ShowStep([](ScriptedDialogs& d) { d.error(QStringLiteral("UNIQUE constraint failed")); return QString(); })
        << QString() << 0 << 0 << QStringList();

    QTest::newRow("any text still checks the type")
        << ScriptStep([](ScriptedDialogs& d) { d.expectAnyMessage(BoxType::Error); })
        << ShowStep([](ScriptedDialogs& d) { d.warning(QStringLiteral("Attenzione")); return QString(); })
        << QString() << 1 << 1 << QStringList{QStringLiteral("Warning")};

    QTest::newRow("pattern accepted")
        << ScriptStep([](ScriptedDialogs& d) {
               d.expectMessage(BoxType::Error, QRegularExpression(QStringLiteral("^Impossibile salvare: ")));
           })
        << ShowStep([](ScriptedDialogs& d) {
               d.error(QStringLiteral("Impossibile salvare: database is locked"));
               return QString();
           })
        << QString() << 0 << 0 << QStringList();

    QTest::newRow("pattern refused")
        << ScriptStep([](ScriptedDialogs& d) {
               d.expectMessage(BoxType::Error, QRegularExpression(QStringLiteral("^Impossibile salvare: ")));
           })
        << ShowStep([](ScriptedDialogs& d) {
               d.error(QStringLiteral("Impossibile aprire: database is locked"));
               return QString();
           })
        << QString() << 1 << 1 << QStringList{QStringLiteral("Impossibile aprire")};
}

void TestDialogs::scriptChecks()
{
    QFETCH(ScriptStep, script);
    QFETCH(ShowStep, show);
    QFETCH(QString, answers);
    QFETCH(int, failureCount);
    QFETCH(int, problemCount);
    QFETCH(QStringList, mentions);

    ScriptedDialogs d;
    script(d);
    QCOMPARE(show(d), answers);

    const QStringList problems = d.problems();
    QCOMPARE(d.failures().size(), failureCount);
    QVERIFY2(problems.size() == problemCount, qPrintable(problems.join('\n')));
    QCOMPARE(d.done(), problemCount == failureCount);
    const QString all = problems.join('\n');
    for (const QString& m : mentions)
        QVERIFY2(all.contains(m), qPrintable(QStringLiteral("\"%1\" not in:\n%2").arg(m, all)));
}

void TestDialogs::clearForgetsEverything()
{
    ScriptedDialogs d;
    d.expectMessage(BoxType::Error, QStringLiteral("a"));
    d.expectMessage(BoxType::Error, QStringLiteral("b"));
    d.warning(QStringLiteral("c"));
    QVERIFY(!d.problems().isEmpty());

    d.clear();
    QVERIFY(d.done());
    QVERIFY(d.shown().isEmpty());
    QVERIFY(d.problems().isEmpty());

    // The old entries are gone: the same box is now unexpected.
    d.error(QStringLiteral("a"));
    QCOMPARE(d.failures().size(), 1);
}

void TestDialogs::convenienceBoxes_data()
{
    QTest::addColumn<DialogsCall>("call");
    QTest::addColumn<BoxType>("type");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<Buttons>("buttons");

    const Buttons ok = Button::Ok;
    const QString text = QStringLiteral("Testo");
    QTest::newRow("confirm") << DialogsCall([=](Dialogs& d) { d.confirm(text); })
                             << BoxType::Confirmation << QStringLiteral("Conferma") << (Button::Yes | Button::No);
    QTest::newRow("error") << DialogsCall([=](Dialogs& d) { d.error(text); })
                           << BoxType::Error << QStringLiteral("Errore") << ok;
    QTest::newRow("warning") << DialogsCall([=](Dialogs& d) { d.warning(text); })
                             << BoxType::Warning << QStringLiteral("Attenzione") << ok;
    QTest::newRow("information") << DialogsCall([=](Dialogs& d) { d.information(text); })
                                 << BoxType::Information << QStringLiteral("Informazione") << ok;
    QTest::newRow("plain") << DialogsCall([=](Dialogs& d) { d.plain(text); })
                           << BoxType::Plain << QCoreApplication::applicationName() << ok;
    QTest::newRow("own caption") << DialogsCall([=](Dialogs& d) { d.error(text, QStringLiteral("Iscrizioni")); })
                                 << BoxType::Error << QStringLiteral("Iscrizioni") << ok;
    QTest::newRow("no buttons means OK")
        << DialogsCall([=](Dialogs& d) { d.message(BoxType::Information, text, Button::None); })
        << BoxType::Information << QStringLiteral("Informazione") << ok;
}

void TestDialogs::convenienceBoxes()
{
    QFETCH(DialogsCall, call);
    QFETCH(BoxType, type);
    QFETCH(QString, caption);
    QFETCH(Buttons, buttons);

    ScriptedDialogs d;
    d.expectAnyMessage(type, buttons.testFlag(Button::Ok) ? Button::Ok : Button::Yes);
    call(d);
    VERIFY_DIALOGS(d);
    QCOMPARE(d.shown().size(), 1);
    const auto& box = d.shown().first();
    QCOMPARE(box.type, type);
    QCOMPARE(box.caption, caption);
    QCOMPARE(box.text, QStringLiteral("Testo"));
    QCOMPARE(box.buttons, buttons);
}

void TestDialogs::confirmIsTrueOnlyForYes_data()
{
    QTest::addColumn<Button>("answer");
    QTest::addColumn<bool>("confirmed");
    QTest::newRow("Yes") << Button::Yes << true;
    QTest::newRow("No") << Button::No << false;
    QTest::newRow("Cancel") << Button::Cancel << false;
    QTest::newRow("Ok") << Button::Ok << false;
    QTest::newRow("None") << Button::None << false;
}

void TestDialogs::confirmIsTrueOnlyForYes()
{
    QFETCH(Button, answer);
    QFETCH(bool, confirmed);
    FixedAnswer d(answer);
    QCOMPARE(d.confirm(QStringLiteral("Procedere?")), confirmed);
    QCOMPARE(d.lastType, BoxType::Confirmation);
    QCOMPARE(d.lastButtons, Button::Yes | Button::No);
}

void TestDialogs::italianTranslationsLoaded()
{
    QCOMPARE(QCoreApplication::translate("QPlatformTheme", "Cancel"), QStringLiteral("Annulla"));
}

void TestDialogs::realMessageBox_data()
{
    QTest::addColumn<BoxType>("type");
    QTest::addColumn<Buttons>("buttons");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<Button>("press");
    QTest::addColumn<QMessageBox::Icon>("icon");
    QTest::addColumn<QString>("title");
    // Button texts, with the '&' removed, in the order Yes, No, Cancel, Ok
    // (only those present).
    QTest::addColumn<QStringList>("labels");

    QTest::newRow("confirmation, Yes") << BoxType::Confirmation << (Button::Yes | Button::No) << QString()
                                       << Button::Yes << QMessageBox::Question << QStringLiteral("Conferma")
                                       << QStringList{QStringLiteral("Sì"), QStringLiteral("No")};
    QTest::newRow("confirmation, No") << BoxType::Confirmation << (Button::Yes | Button::No) << QString()
                                      << Button::No << QMessageBox::Question << QStringLiteral("Conferma")
                                      << QStringList{QStringLiteral("Sì"), QStringLiteral("No")};
    QTest::newRow("warning, Cancel")
        << BoxType::Warning << (Button::Yes | Button::No | Button::Cancel) << QStringLiteral("Registro")
        << Button::Cancel << QMessageBox::Warning << QStringLiteral("Registro")
        << QStringList{QStringLiteral("Sì"), QStringLiteral("No"), QStringLiteral("Annulla")};
    QTest::newRow("error") << BoxType::Error << Buttons(Button::Ok) << QString() << Button::Ok
                           << QMessageBox::Critical << QStringLiteral("Errore") << QStringList{QStringLiteral("OK")};
    QTest::newRow("information") << BoxType::Information << Buttons(Button::Ok) << QString() << Button::Ok
                                 << QMessageBox::Information << QStringLiteral("Informazione")
                                 << QStringList{QStringLiteral("OK")};
    QTest::newRow("plain") << BoxType::Plain << Buttons(Button::Ok) << QStringLiteral("Velmora") << Button::Ok
                           << QMessageBox::NoIcon << QStringLiteral("Velmora") << QStringList{QStringLiteral("OK")};
}

void TestDialogs::realMessageBox()
{
    QFETCH(BoxType, type);
    QFETCH(Buttons, buttons);
    QFETCH(QString, caption);
    QFETCH(Button, press);
    QFETCH(QMessageBox::Icon, icon);
    QFETCH(QString, title);
    QFETCH(QStringList, labels);

    const QString text = QStringLiteral("Eliminare l'iscrizione di <b>Rossi</b>?");
    const QList<QPair<Button, QMessageBox::StandardButton>> order = {
        {Button::Yes, QMessageBox::Yes},
        {Button::No, QMessageBox::No},
        {Button::Cancel, QMessageBox::Cancel},
        {Button::Ok, QMessageBox::Ok},
    };

    QString seenText, seenTitle;
    Qt::TextFormat seenFormat = Qt::AutoText;
    QMessageBox::Icon seenIcon = QMessageBox::NoIcon;
    QStringList seenLabels;
    QtDialogs dialogs;
    Button answer = Button::None;
    const QString problem = driveModal(
        [&] { answer = dialogs.message(type, text, buttons, caption); },
        [&](QWidget* modal) {
            auto* box = qobject_cast<QMessageBox*>(modal);
            if (!box) {
                modal->close();
                return;
            }
            seenText = box->text();
            seenFormat = box->textFormat();
            seenTitle = box->windowTitle();
            seenIcon = box->icon();
            for (const auto& [ours, standard] : order) {
                if (QAbstractButton* b = box->button(standard))
                    seenLabels << b->text().remove(QLatin1Char('&'));
            }
            for (const auto& [ours, standard] : order) {
                if (ours == press && box->button(standard))
                    box->button(standard)->click();
            }
        });
    QVERIFY2(problem.isEmpty(), qPrintable(problem));
    QCOMPARE(seenText, text);
    // Texts may quote names or database errors: markup must show as typed.
    QCOMPARE(seenFormat, Qt::PlainText);
    QCOMPARE(seenTitle, title);
    QCOMPARE(seenIcon, icon);
    QCOMPARE(seenLabels, labels);
    QCOMPARE(answer, press);
}

void TestDialogs::realInputBox_data()
{
    QTest::addColumn<bool>("masked");
    QTest::addColumn<QString>("initial");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<bool>("accept");
    QTest::addColumn<QString>("display");
    QTest::addColumn<std::optional<QString>>("result");

    QTest::newRow("masked") << true << QString() << QStringLiteral("abc") << true << QStringLiteral("***")
                            << std::optional<QString>(QStringLiteral("abc"));
    // The initial text comes selected: typing replaces it.
    QTest::newRow("plain, typed over the initial text")
        << false << QStringLiteral("Anna") << QStringLiteral("Rossi") << true << QStringLiteral("Rossi")
        << std::optional<QString>(QStringLiteral("Rossi"));
    QTest::newRow("plain, initial text kept")
        << false << QStringLiteral("Anna") << QString() << true << QStringLiteral("Anna")
        << std::optional<QString>(QStringLiteral("Anna"));
    QTest::newRow("cancelled") << true << QString() << QStringLiteral("abc") << false << QStringLiteral("***")
                               << std::optional<QString>();
}

void TestDialogs::realInputBox()
{
    QFETCH(bool, masked);
    QFETCH(QString, initial);
    QFETCH(QString, typed);
    QFETCH(bool, accept);
    QFETCH(QString, display);
    QFETCH(std::optional<QString>, result);

    QString seenTitle, seenLabel, seenDisplay;
    QtDialogs dialogs;
    std::optional<QString> answer = QStringLiteral("(not returned)");
    const QString problem = driveModal(
        [&] { answer = dialogs.input(QStringLiteral("Accesso"), QStringLiteral("Password:"), initial, masked); },
        [&](QWidget* modal) {
            auto* dialog = qobject_cast<QInputDialog*>(modal);
            auto* edit = dialog ? dialog->findChild<QLineEdit*>() : nullptr;
            if (!edit) {
                modal->close();
                return;
            }
            seenTitle = dialog->windowTitle();
            if (auto* label = dialog->findChild<QLabel*>())
                seenLabel = label->text();
            QTest::keyClicks(edit, typed);
            seenDisplay = edit->displayText();
            if (accept)
                dialog->accept();
            else
                dialog->reject();
        });
    QVERIFY2(problem.isEmpty(), qPrintable(problem));
    QCOMPARE(seenTitle, QStringLiteral("Accesso"));
    QCOMPARE(seenLabel, QStringLiteral("Password:"));
    QCOMPARE(seenDisplay, display);
    QCOMPARE(answer, result);
}

void TestDialogs::reportScripts_data()
{
    QTest::addColumn<ScriptStep>("script");
    QTest::addColumn<ShowStep>("show");
    QTest::addColumn<QString>("answers");
    QTest::addColumn<int>("failureCount");
    QTest::addColumn<int>("problemCount");
    QTest::addColumn<int>("previewCount");
    // Each of these must appear somewhere in the problems.
    QTest::addColumn<QStringList>("mentions");

    const ScriptStep nothing = [](ScriptedDialogs&) {};
    const ScriptStep confirm = [](ScriptedDialogs& d) { d.expectPrintSetup(true); };
    const ScriptStep cancel = [](ScriptedDialogs& d) { d.expectPrintSetup(false); };
    const print::Document doc = tinyDocument(QStringLiteral("Registro presenze"));
    const print::Document other = tinyDocument(QStringLiteral("Schede di valutazione"));
    const QString setup = QStringLiteral("print set-up");

    QTest::newRow("confirmed, then previewed")
        << confirm << ShowStep([=](ScriptedDialogs& d) { return runReport(d, doc); })
        << QStringLiteral("previewed") << 0 << 0 << 1 << QStringList();

    QTest::newRow("cancelled, no preview")
        << cancel << ShowStep([=](ScriptedDialogs& d) { return runReport(d, doc); })
        << QStringLiteral("cancelled") << 0 << 0 << 0 << QStringList();

    QTest::newRow("two reports in a row")
        << ScriptStep([](ScriptedDialogs& d) {
               d.expectPrintSetup(true);
               d.expectPrintSetup(true);
           })
        << ShowStep([=](ScriptedDialogs& d) { return runReport(d, doc) + ' ' + runReport(d, other); })
        << QStringLiteral("previewed previewed") << 0 << 0 << 2 << QStringList();

    QTest::newRow("unexpected set-up is cancelled")
        << nothing << ShowStep([=](ScriptedDialogs& d) { return runReport(d, doc); })
        << QStringLiteral("cancelled") << 1 << 1 << 0
        << QStringList{setup, QStringLiteral("Registro presenze"), QStringLiteral("script is over")};

    QTest::newRow("set-up where a message is expected")
        << ScriptStep([](ScriptedDialogs& d) { d.expectMessage(BoxType::Information, QStringLiteral("Fatto")); })
        << ShowStep([=](ScriptedDialogs& d) { return runReport(d, doc); })
        << QStringLiteral("cancelled") << 1 << 2 << 0 << QStringList{setup, QStringLiteral("Fatto")};

    // The set-up entry stays for the set-up that follows the stray box.
    QTest::newRow("message before the expected set-up")
        << confirm
        << ShowStep([=](ScriptedDialogs& d) {
               d.information(QStringLiteral("Fatto"));
               return runReport(d, doc);
           })
        << QStringLiteral("previewed") << 1 << 1 << 1 << QStringList{QStringLiteral("Fatto")};

    QTest::newRow("input where a set-up is expected")
        << confirm
        << ShowStep([](ScriptedDialogs& d) {
               return answerText(d.input(QString(), QStringLiteral("Anno:"), QString(), false));
           })
        << QStringLiteral("nullopt") << 1 << 2 << 0
        << QStringList{QStringLiteral("Anno:"), QStringLiteral("print set-up answered Confirm")};

    QTest::newRow("set-up never shown")
        << cancel << ShowStep([](ScriptedDialogs&) { return QString(); })
        << QString() << 0 << 1 << 0 << QStringList{QStringLiteral("print set-up answered Cancel")};

    QTest::newRow("preview without set-up")
        << nothing
        << ShowStep([=](ScriptedDialogs& d) {
               d.preview(doc);
               return QString();
           })
        << QString() << 1 << 1 << 1 << QStringList{QStringLiteral("preview"), QStringLiteral("Registro presenze")};

    QTest::newRow("preview after a cancelled set-up")
        << cancel
        << ShowStep([=](ScriptedDialogs& d) {
               const bool confirmed = d.printSetup(doc);
               d.preview(doc);
               return confirmed ? "true" : "false";
           })
        << QStringLiteral("false") << 1 << 1 << 1 << QStringList{QStringLiteral("preview")};

    QTest::newRow("box between set-up and preview")
        << ScriptStep([](ScriptedDialogs& d) {
               d.expectPrintSetup(true);
               d.expectMessage(BoxType::Information, QStringLiteral("Stampa pronta"));
           })
        << ShowStep([=](ScriptedDialogs& d) {
               d.printSetup(doc);
               d.information(QStringLiteral("Stampa pronta"));
               d.preview(doc);
               return QString();
           })
        << QString() << 1 << 1 << 1 << QStringList{QStringLiteral("preview")};

    QTest::newRow("two previews after one set-up")
        << confirm
        << ShowStep([=](ScriptedDialogs& d) {
               const QString first = runReport(d, doc);
               d.preview(doc);
               return first;
           })
        << QStringLiteral("previewed") << 1 << 1 << 2 << QStringList{QStringLiteral("box 3")};

    QTest::newRow("preview of another document")
        << confirm
        << ShowStep([=](ScriptedDialogs& d) {
               d.printSetup(doc);
               d.preview(other);
               return QString();
           })
        << QString() << 1 << 1 << 1
        << QStringList{QStringLiteral("Schede di valutazione"), QStringLiteral("Registro presenze")};
}

void TestDialogs::reportScripts()
{
    QFETCH(ScriptStep, script);
    QFETCH(ShowStep, show);
    QFETCH(QString, answers);
    QFETCH(int, failureCount);
    QFETCH(int, problemCount);
    QFETCH(int, previewCount);
    QFETCH(QStringList, mentions);

    ScriptedDialogs d;
    script(d);
    QCOMPARE(show(d), answers);

    const QStringList problems = d.problems();
    const QString all = problems.join('\n');
    QVERIFY2(d.failures().size() == failureCount, qPrintable(all));
    QVERIFY2(problems.size() == problemCount, qPrintable(all));
    QCOMPARE(d.done(), problemCount == failureCount);
    QCOMPARE(d.previews().size(), previewCount);
    for (const QString& m : mentions)
        QVERIFY2(all.contains(m), qPrintable(QStringLiteral("\"%1\" not in:\n%2").arg(m, all)));
}

void TestDialogs::previewKeepsItsPages()
{
    ScriptedDialogs d;
    d.expectPrintSetup(true);
    print::Document doc = tinyDocument(QStringLiteral("Elenco bambini"));
    doc.pages.append(print::Page());
    QCOMPARE(runReport(d, doc), QStringLiteral("previewed"));
    VERIFY_DIALOGS(d);

    // The record is a copy: the report may drop or reuse its document.
    doc.pages.first().texts.first().text = QStringLiteral("cambiato");
    doc.title = QStringLiteral("cambiato");

    QCOMPARE(d.previews().size(), 1);
    const print::Document& seen = d.previews().first();
    QCOMPARE(seen.title, QStringLiteral("Elenco bambini"));
    QCOMPARE(seen.pageCount(), 2);
    const print::PageText* text = seen.pages.first().text(QStringLiteral("nome"));
    QVERIFY(text);
    QCOMPARE(text->text, QStringLiteral("Rossi Anna"));
    QCOMPARE(text->rect, QRectF(10, 20, 80, 8));
    QVERIFY(seen.pages.at(1).texts.isEmpty());

    const auto& shown = d.shown();
    QCOMPARE(shown.size(), 2);
    QCOMPARE(shown[0].kind, ScriptedDialogs::Shown::PrintSetup);
    QCOMPARE(shown[0].caption, QStringLiteral("Imposta stampa"));
    QCOMPARE(shown[0].text, QStringLiteral("Elenco bambini"));
    QCOMPARE(shown[0].pages, 2);
    QCOMPARE(shown[1].kind, ScriptedDialogs::Shown::Preview);
    QCOMPARE(shown[1].caption, QStringLiteral("Anteprima di stampa"));
    QCOMPARE(shown[1].text, QStringLiteral("Elenco bambini"));
    QCOMPARE(shown[1].pages, 2);
}

void TestDialogs::clearForgetsReports()
{
    const print::Document doc = tinyDocument(QStringLiteral("Registro presenze"));
    ScriptedDialogs d;
    d.expectPrintSetup(true);
    d.expectPrintSetup(false);
    QVERIFY(d.printSetup(doc));

    d.clear();
    QVERIFY(d.done());
    QVERIFY(d.shown().isEmpty());
    QVERIFY(d.previews().isEmpty());
    QVERIFY(d.problems().isEmpty());

    // The confirmed set-up is forgotten too: a preview after a fresh box
    // still wants a set-up of its own.
    d.expectMessage(BoxType::Information, QStringLiteral("Pronto"));
    d.information(QStringLiteral("Pronto"));
    d.preview(doc);
    QCOMPARE(d.failures().size(), 1);
    QVERIFY2(d.failures().first().contains(QStringLiteral("no confirmed print set-up")),
             qPrintable(d.failures().first()));

    // And so is the second entry: a set-up is now unexpected.
    QVERIFY(!d.printSetup(doc));
    QCOMPARE(d.failures().size(), 2);
}

void TestDialogs::pendingFormMeansNotDone()
{
    ScriptedDialogs d;
    d.expectForm(QStringLiteral("formIscrizione"), [](QDialog&) { return int(QDialog::Accepted); });
    QVERIFY(!d.done());
    QVERIFY(d.problems().join('\n').contains(QStringLiteral("formIscrizione")));

    QDialog form;
    form.setObjectName(QStringLiteral("formIscrizione"));
    QCOMPARE(d.execForm(form), int(QDialog::Accepted));
    QVERIFY(d.done());
    VERIFY_DIALOGS(d);
}

void TestDialogs::pdfFileNames_data()
{
    QTest::addColumn<QString>("title");
    QTest::addColumn<QString>("fileName");

    QTest::newRow("plain") << QStringLiteral("Registro presenze") << QStringLiteral("Registro presenze.pdf");
    QTest::newRow("accents kept") << QStringLiteral("Attività di novembre")
                                  << QStringLiteral("Attività di novembre.pdf");
    QTest::newRow("school year with a slash") << QStringLiteral("Iscritti 2023/24")
                                              << QStringLiteral("Iscritti 2023 24.pdf");
    QTest::newRow("characters no file name holds")
        << QStringLiteral("Sezione \"Girasoli\": a*b?c<d>e|f\\g") << QStringLiteral("Sezione Girasoli a b c d e f g.pdf");
    QTest::newRow("line breaks and tabs") << QStringLiteral("Schede\n\tvalutazione")
                                          << QStringLiteral("Schede valutazione.pdf");
    QTest::newRow("leading dot would hide it") << QStringLiteral(".Elenco") << QStringLiteral("Elenco.pdf");
    QTest::newRow("trailing dot") << QStringLiteral("Elenco bambini.") << QStringLiteral("Elenco bambini.pdf");
    QTest::newRow("already ends in .pdf") << QStringLiteral("Elenco.PDF") << QStringLiteral("Elenco.pdf");
    QTest::newRow("untitled") << QString() << QStringLiteral("stampa.pdf");
    QTest::newRow("nothing usable") << QStringLiteral(" / . ") << QStringLiteral("stampa.pdf");
}

void TestDialogs::pdfFileNames()
{
    QFETCH(QString, title);
    QFETCH(QString, fileName);
    QCOMPARE(pdfFileNameFor(title), fileName);
}

void TestDialogs::printsIntoPdfFile()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString path = dir.filePath(pdfFileNameFor(QStringLiteral("Registro presenze")));

    QtDialogs dialogs;
    QPrinter& printer = dialogs.printer();
    // One printer for the life of the dialogs, so that choices carry over.
    QCOMPARE(&dialogs.printer(), &printer);
    const QPageLayout layout = printer.pageLayout();
    QCOMPARE(layout.pageSize().id(), QPageSize::A4);
    QCOMPARE(layout.orientation(), QPageLayout::Portrait);

    // What the set-up leaves on the printer when a PDF file is chosen.
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(path);
    print::Document doc = tinyDocument(QStringLiteral("Registro presenze"));
    doc.pages.append(doc.pages.first());
    doc.print(printer);

    QFile file(path);
    QVERIFY2(file.open(QIODevice::ReadOnly), qPrintable(path));
    const QByteArray pdf = file.readAll();
    QVERIFY(pdf.startsWith("%PDF"));
    // Both pages written, not only the first.
    QCOMPARE(pdf.count("/Type /Page") - pdf.count("/Type /Pages"), qsizetype(2));
}

// Printing into a PDF file, the set-up proposes each print's own name in the
// folder of the last file: the second child's print never offers the first
// one's file.
void TestDialogs::realPrintSetupProposesPrintsName()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    QtDialogs dialogs;
    QPrinter& printer = dialogs.printer();
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(dir.filePath(QStringLiteral("Scheda di valutazione.pdf")));

    QStringList proposed; // as the set-up shows them
    for (const QString& name : {QStringLiteral("Scheda di valutazione - Bianchi Giulia - 15-05-2026"),
                                QStringLiteral("Scheda di valutazione - Verdi/Neri Luca - 16-05-2026")}) {
        print::Document doc = tinyDocument(QStringLiteral("Scheda di valutazione"));
        doc.fileName = name;
        bool confirmed = true;
        const QString problem = driveModal([&] { confirmed = dialogs.printSetup(doc); },
                                           [&](QWidget* modal) {
                                               proposed << printer.outputFileName();
                                               if (auto* box = qobject_cast<QDialog*>(modal))
                                                   box->reject();
                                               else
                                                   modal->close();
                                           });
        QVERIFY2(problem.isEmpty(), qPrintable(problem));
        QVERIFY(!confirmed);
    }
    QCOMPARE(proposed, (QStringList{dir.filePath(QStringLiteral("Scheda di valutazione - Bianchi Giulia - 15-05-2026.pdf")),
                                    dir.filePath(QStringLiteral("Scheda di valutazione - Verdi Neri Luca - 16-05-2026.pdf"))}));
}

QTEST_MAIN(TestDialogs)
#include "test_dialogs.moc"
