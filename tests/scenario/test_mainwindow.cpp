// The main window as a person meets it at start: where the data folder must
// be, what the window shows, the navigation lock, the hints and the exit.

#include "installer.h"
#include "aboutbox.h"
#include "datanavigator.h"
#include "access.h"
#include "mainwindow.h"
#include "nursery.h"
#include "scenariofixture.h"
#include "scripteddialogs.h"
#include "scripteddialogs_qtest.h"
#include "table.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QGroupBox>
#include <QLabel>
#include <QStatusTipEvent>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>
#include <QUrl>

using namespace velmora;

namespace {

QList<QWidget*> enabledWidgets(QWidget* root)
{
    QList<QWidget*> out;
    for (QWidget* w : root->findChildren<QWidget*>())
        if (w->isEnabled())
            out << w;
    return out;
}

} // namespace

class TestMainWindow : public QObject
{
    Q_OBJECT

private slots:
    void missingDataEndsSilently_data();
    void missingDataEndsSilently();
    void programWithoutDataFolderExitsNonZero();
    void windowsMadeAtStart();
    void windowAsLaidOut();
    void firstNurseryByNameIsCurrent();
    void olderFolderUpgradedAtStart();
    void abilitaNavigazioneTouchesExactlyItsControls();
    void hintsShowInStatusBar_data();
    void hintsShowInStatusBar();
    void exitAsksFirst_data();
    void exitAsksFirst();
};

void TestMainWindow::missingDataEndsSilently_data()
{
    QTest::addColumn<QString>("remove");
    // Without the folder, or without the children table in it, the program
    // ends before opening anything, and shows no box.
    QTest::newRow("no data folder") << QStringLiteral("db");
    QTest::newRow("no children table") << QStringLiteral("db/AnagBimbi.DB");
}

void TestMainWindow::missingDataEndsSilently()
{
    QFETCH(QString, remove);
    ScenarioFolder p;
    const QString target = QDir(p.path()).filePath(remove);
    if (QFileInfo(target).isDir())
        QVERIFY2(QDir(target).removeRecursively(), qPrintable(QStringLiteral("could not remove the folder ") + target));
    else
        QVERIFY2(QFile::remove(target), qPrintable(QStringLiteral("could not remove ") + target));
    ScriptedDialogs dialogs;
    TFrm_Main w(p.path(), dialogs);
    const auto seen = [&] {
        return QStringLiteral("data folder missing: %1, ending: %2; %3; %4; %5")
            .arg(w.dataFolderMissing() ? QStringLiteral("yes") : QStringLiteral("no"),
                 w.shouldEnd() ? QStringLiteral("yes") : QStringLiteral("no"), tableState(w.Data.Tbl_AnagNido),
                 tableState(w.Data.Tbl_Ruoli), dialogsShown(dialogs));
    };
    QVERIFY2(w.dataFolderMissing(), qPrintable(seen()));
    QVERIFY2(w.shouldEnd(), qPrintable(seen()));
    QVERIFY2(!w.Data.Tbl_AnagNido.isOpen(), qPrintable(seen()));
    QVERIFY2(!w.Data.Tbl_Ruoli.isOpen(), qPrintable(seen()));
    VERIFY_DIALOGS(dialogs);
    QVERIFY2(dialogs.shown().isEmpty(), qPrintable(dialogsShown(dialogs)));
}

void TestMainWindow::programWithoutDataFolderExitsNonZero()
{
    // The real program, copied where no data folder lies beside it: it ends
    // at once, with no window and a status a terminal can see.
    QTemporaryDir dir;
    const QString program = QDir(dir.path()).filePath(QStringLiteral("Velmora"));
    QVERIFY2(QFile::copy(QStringLiteral(VELMORA_PROGRAM), program),
             qPrintable(QStringLiteral("could not copy %1 to %2").arg(QStringLiteral(VELMORA_PROGRAM), program)));
    QProcess p;
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(program, {});
    QVERIFY2(p.waitForFinished(60000),
             qPrintable(QStringLiteral("%1 did not finish within a minute: state %2, %3")
                            .arg(program, QString::number(int(p.state())), p.errorString())));
    QCOMPARE(p.exitStatus(), QProcess::NormalExit);
    QCOMPARE(p.exitCode(), 1);
}

void TestMainWindow::windowsMadeAtStart()
{
    ScenarioFolder p;
    p.nursery(QStringLiteral("Il Girasole"));
    ScriptedDialogs dialogs;
    TFrm_Main w(p.path(), dialogs);
    QStringList names;
    for (QObject* r : w.reportForms())
        names << r->objectName();
    QCOMPARE(names, (QStringList{"TQR_Area", "TQR_Grafico", "TQR_GraficoMultiplo", "TQR_GraficoSormontato"}));
    QVERIFY2(control<AboutBox>(&w, "Taboutbox"), "no About box was made at start");
    control<AboutBox>(&w, "Taboutbox")->Lbl_Versione->clear();
    // The box is modal: it goes through the dialogs seam like every other.
    QString shownVersion;
    QImage shownBox;
    dialogs.expectForm(QStringLiteral("Taboutbox"), [&](QDialog& box) {
        shownVersion = control<AboutBox>(&w, "Taboutbox")->Lbl_Versione->text();
        shownBox = box.grab().toImage();
        return int(QDialog::Accepted);
    });
    w.SpeedButton13Click();
    VERIFY_DIALOGS(dialogs);
    QCOMPARE(shownVersion, QStringLiteral("Versione 1.12"));
    // Which data are in use: here the folder beside the program, written
    // in white on the black of the box under the subtitle.
    QLabel* dati = control<AboutBox>(&w, "Taboutbox")->Lbl_Dati;
    const QString dbPath = QDir(p.path()).filePath(QStringLiteral("db"));
    QCOMPARE(dati->text(), QStringLiteral("Dati: cartella %1").arg(QFileInfo(dbPath).canonicalFilePath()));
    int ink = 0;
    const QRect area = dati->geometry();
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            ink += qGray(shownBox.pixel(x, y)) > 200;
    QVERIFY2(ink > 50, qPrintable(QStringLiteral("only %1 white pixels where the data are named").arg(ink)));
    QCOMPARE(control<AboutBox>(&w, "Taboutbox")->Lbl_Versione->text(), QStringLiteral("Versione 1.12"));
    QCOMPARE(control<AboutBox>(&w, "Taboutbox")->windowTitle(), QStringLiteral("About"));
    // The guide that ships with the program opens from the bottom line.
    const QUrl guide = control<AboutBox>(&w, "Taboutbox")->linkOf(control<AboutBox>(&w, "Taboutbox")->Label1);
    QVERIFY2(guide.isLocalFile(), qPrintable(QStringLiteral("the link is ") + guide.toString()));
    QVERIFY2(guide.toLocalFile().endsWith(QLatin1String("docs/guida-utente.html")),
             qPrintable(QStringLiteral("the link is ") + guide.toString()));
    QCOMPARE(control<AboutBox>(&w, "Taboutbox")->Label1->text(),
             QStringLiteral("Scarica la guida del software \"Le tavole di sviluppo di Velmora\""));
    QCOMPARE(control<AboutBox>(&w, "Taboutbox")->linkOf(control<AboutBox>(&w, "Taboutbox")->Image2).scheme(),
             QStringLiteral("mailto"));
}

void TestMainWindow::windowAsLaidOut()
{
    ScenarioFolder p;
    p.nursery(QStringLiteral("Il Girasole"));
    ScriptedDialogs dialogs;
    TFrm_Main w(p.path(), dialogs);
    QVERIFY2(!w.shouldEnd(), qPrintable(screenState(w, dialogs)));
    QCOMPARE(w.windowTitle(), QStringLiteral("  Velmora"));
    QCOMPARE(w.size(), QSize(857, 632));
    QVERIFY2(!(w.windowFlags() & Qt::WindowMaximizeButtonHint),
             qPrintable(QStringLiteral("window flags 0x%1").arg(int(w.windowFlags()), 0, 16)));
    QVERIFY2(w.accessPanelInFront(), qPrintable(screenState(w, dialogs)));
    QCOMPARE(control<QWidget>(&w, "Pnl_Accesso")->geometry(), QRect(8, 8, 841, 593));
    QCOMPARE(control<QWidget>(&w, "Pnl_Bambini")->geometry(), QRect(8, 8, 841, 593));
    QCOMPARE(control<QLabel>(&w, "StatusVersion")->text(), QStringLiteral("Versione 1.12"));
    QCOMPARE(control<QLabel>(&w, "StatusHint")->width(), 700);
    const QList<QPair<QGroupBox*, QRect>> boxes = {
        {control<QGroupBox>(&w, "GB_AnagraficaNido"), QRect(136, 96, 529, 337)},
        {control<QGroupBox>(&w, "GB_AnagraficaEducatrici"), QRect(136, 96, 529, 353)},
        {control<QGroupBox>(&w, "GB_AnagraficaBimbi"), QRect(136, 72, 497, 481)},
        {control<QGroupBox>(&w, "GB_AnagraficaRuoli"), QRect(136, 96, 489, 289)},
        {control<QGroupBox>(&w, "GB_AnagraficaAree"), QRect(136, 96, 489, 289)},
        {control<QGroupBox>(&w, "GB_Valutazione"), QRect(0, 33, 841, 561)}};
    for (const auto& [box, rect] : boxes) {
        QCOMPARE(box->geometry(), rect);
        QVERIFY2(box->isHidden(), qPrintable(box->objectName()));
        QCOMPARE(box->parentWidget(), control<QWidget>(&w, "Pnl_Bambini"));
    }
    const QStringList captions = {QStringLiteral("Anagrafica nido"), QStringLiteral("Anagrafica educatrici"),
                                  QStringLiteral("Anagrafica bimbi"), QStringLiteral("Gestione ruoli"),
                                  QStringLiteral("Gestione aree")};
    const QList<QToolButton*> tools = {control<QToolButton>(&w, "ToolButton1"), control<QToolButton>(&w, "ToolButton3"),
                                       control<QToolButton>(&w, "ToolButton5"), control<QToolButton>(&w, "ToolButton7"),
                                       control<QToolButton>(&w, "ToolButton9")};
    for (int i = 0; i < tools.size(); ++i)
        QCOMPARE(tools[i]->text(), captions[i]);
    for (auto [button, left] : QList<QPair<QToolButton*, int>>{{control<QToolButton>(&w, "Btn_ConfrontoMultiplo"), 592},
                                                               {control<QToolButton>(&w, "Btn_ConfrontoSingolo"), 648},
                                                               {control<QToolButton>(&w, "Btn_LogOut"), 727},
                                                               {control<QToolButton>(&w, "Btn_Esci"), 783}})
        QCOMPARE(button->geometry(), QRect(left, 535, 55, 55));
    QVERIFY2(w.Data.Tbl_Ruoli.isOpen(), qPrintable(tableState(w.Data.Tbl_Ruoli)));
    QVERIFY2(w.Data.Tbl_AnagNido.isReadOnly(), qPrintable(tableState(w.Data.Tbl_AnagNido)));
    VERIFY_DIALOGS(dialogs);
}

void TestMainWindow::firstNurseryByNameIsCurrent()
{
    // Whatever order they were recorded in, the first by name is current.
    ScenarioFolder p;
    for (const QString& name : QStringList{QStringLiteral("Pollicino"), QStringLiteral("arcobaleno"), QStringLiteral("Girotondo")})
        p.nursery(name);
    ScriptedDialogs dialogs;
    TFrm_Main w(p.path(), dialogs);
    QCOMPARE(w.Data.IdNidoCorrente, QStringLiteral("2"));
    QCOMPARE(w.Data.Tbl_AnagNido.asString(QStringLiteral("Nome")), QStringLiteral("arcobaleno"));
    QCOMPARE(w.Data.FiltroFrequenza, QStringLiteral(" and (frequenza is null or frequenza = True)"));
}

void TestMainWindow::olderFolderUpgradedAtStart()
{
    ScenarioFolder p(store::Layout::Older);
    p.nursery(QStringLiteral("Il Girasole"));
    ScriptedDialogs dialogs;
    dialogs.expectMessage(BoxType::Warning,
                          QStringLiteral("I Database sono attualmente aggiornati alla versione 1.02.Per proseguire è "
                                         "necessario effettuare l'upgrade alla versione 1.12!\nCliccando sul tasto Ok "
                                         "l'upgrade verrà effettuato in modo automatico"));
    dialogs.expectMessage(BoxType::Warning, QStringLiteral("Aggiornamento completato"));
    {
        TFrm_Main w(p.path(), dialogs);
        QVERIFY2(!w.shouldEnd(), qPrintable(screenState(w, dialogs)));
    }
    VERIFY_DIALOGS(dialogs);
    // The next start finds the column and says nothing.
    ScriptedDialogs again;
    TFrm_Main w(p.path(), again);
    QVERIFY2(again.shown().isEmpty(), qPrintable(dialogsShown(again)));
}

void TestMainWindow::abilitaNavigazioneTouchesExactlyItsControls()
{
    ScenarioFolder p;
    p.nursery(QStringLiteral("Il Girasole"));
    ScriptedDialogs dialogs;
    TFrm_Main w(p.path(), dialogs);
    const QList<QWidget*> before = enabledWidgets(&w);
    w.AbilitaNavigazione(false);
    const QList<QWidget*> after = enabledWidgets(&w);
    QSet<QWidget*> changed(before.cbegin(), before.cend());
    for (QWidget* x : after)
        changed.remove(x);
    const QList<QWidget*> locked = lockedControls(w);
    const QSet<QWidget*> expected(locked.cbegin(), locked.cend());
    // Children of a disabled navigator follow it; only the eleven are set.
    for (QWidget* x : std::as_const(changed))
        if (!expected.contains(x))
            QVERIFY2(expected.contains(x->parentWidget()), qPrintable(x->objectName()));
    for (QWidget* x : expected)
        QVERIFY2(!x->isEnabled(), qPrintable(x->objectName()));
    QVERIFY2(control<QWidget>(&w, "Pnl_Bambini")->isEnabled(),
             qPrintable(widgetState(control<QWidget>(&w, "Pnl_Bambini"))));
    QVERIFY2(control<QGroupBox>(&w, "GB_AnagraficaNido")->isHidden(), qPrintable(screenState(w)));
    w.AbilitaNavigazione(true);
    QCOMPARE(enabledWidgets(&w).size(), before.size());
}

void TestMainWindow::hintsShowInStatusBar_data()
{
    QTest::addColumn<QString>("control");
    QTest::addColumn<QString>("hint");
    QTest::newRow("login") << "SpeedButton4" << QStringLiteral("Clicca quì ed accedi al programma");
    QTest::newRow("about") << "SpeedButton13" << QStringLiteral("About");
    QTest::newRow("exit") << "SpeedButton9" << QStringLiteral("Esci");
    QTest::newRow("chooser") << "DBLookupComboBox1" << QStringLiteral("Seleziona il nido d'infanzia di riferimento");
    QTest::newRow("educators") << "DBLookupListBox1" << QStringLiteral("Seleziona l'educatrice per accedere");
    QTest::newRow("compare") << "Btn_ConfrontoMultiplo" << QStringLiteral("Stampa il grafico di comparazione tra i bimbi");
    QTest::newRow("profiles") << "Btn_ConfrontoSingolo" << QStringLiteral("Stampa il grafico completo del bimbo");
    QTest::newRow("logout") << "Btn_LogOut" << QStringLiteral("Accedi al programma come altra educatrice");
    QTest::newRow("quit") << "Btn_Esci" << QStringLiteral("Esci dall'applicazione");
}

void TestMainWindow::hintsShowInStatusBar()
{
    QFETCH(QString, control);
    QFETCH(QString, hint);
    ScenarioFolder p;
    p.nursery(QStringLiteral("Il Girasole"));
    ScriptedDialogs dialogs;
    TFrm_Main w(p.path(), dialogs);
    auto* c = ::control<QWidget>(&w, control);
    // What the toolkit sends when the pointer enters a control with a hint.
    QStatusTipEvent tip(c->statusTip());
    QApplication::sendEvent(c, &tip);
    QCOMPARE(::control<QLabel>(&w, "StatusHint")->text(), hint);
}

void TestMainWindow::exitAsksFirst_data()
{
    QTest::addColumn<QString>("button");
    QTest::addColumn<bool>("yes");
    QTest::newRow("list screen, No") << "Btn_Esci" << false;
    QTest::newRow("list screen, Yes") << "Btn_Esci" << true;
    QTest::newRow("access panel, No") << "SpeedButton9" << false;
    QTest::newRow("access panel, Yes") << "SpeedButton9" << true;
}

void TestMainWindow::exitAsksFirst()
{
    QFETCH(QString, button);
    QFETCH(bool, yes);
    ScenarioFolder p;
    p.nursery(QStringLiteral("Il Girasole"));
    ScriptedDialogs dialogs;
    TFrm_Main w(p.path(), dialogs);
    dialogs.expectMessage(BoxType::Confirmation, QStringLiteral("Siete sicurdi di voler uscire dall'applicazione?"),
                          yes ? Button::Yes : Button::No);
    control<QToolButton>(&w, button)->click();
    VERIFY_DIALOGS(dialogs);
    QCOMPARE(w.shouldEnd(), yes);
}

QTEST_MAIN(TestMainWindow)
#include "test_mainwindow.moc"
