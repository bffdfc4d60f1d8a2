#include "mainwindow.h"
#include "aboutbox.h"
#include "access.h"
#include "builders.h"
#include "children.h"
#include "dataedits.h"
#include "datagrid.h"
#include "datanavigator.h"
#include "datafolder.h"
#include "dialogs.h"
#include "evaluations.h"
#include "lookups.h"
#include "fonts.h"
#include "keyboard.h"
#include "nursery.h"
#include "phases.h"
#include "pictures.h"
#include "prints.h"
#include "reportforms.h"
#include "sheet.h"
#include "staff.h"

#include <QApplication>
#include <QCloseEvent>
#include <QCursor>
#include <QComboBox>
#include <QDir>
#include <QEvent>
#include <QFileInfo>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QPainter>
#include <QRadioButton>
#include <QRandomGenerator>
#include <QShowEvent>
#include <QStatusBar>
#include <QStatusTipEvent>
#include <QToolBar>
#include <QToolButton>

namespace velmora {

namespace {

const QString versionText = QStringLiteral("Versione " VELMORA_VERSION);

// A white panel. Painted by hand: a style sheet would also keep the
// window's font from reaching the controls laid on the panel, which would
// then be drawn in the desktop's font, wider than the one they were laid
// out for.
class WhitePanel : public QWidget
{
public:
    WhitePanel(const char* name, QWidget* parent) : QWidget(parent) { setObjectName(QString::fromLatin1(name)); }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter p(this);
        p.fillRect(rect(), Qt::white);
    }
};

QGroupBox* hiddenBox(QWidget* parent, const char* name, const QRect& rect)
{
    auto* g = new QGroupBox(parent);
    g->setObjectName(QString::fromLatin1(name));
    g->setGeometry(rect);
    g->setAutoFillBackground(true);
    g->hide();
    return g;
}

} // namespace

TFrm_Main::TFrm_Main(const QString& programDir, Dialogs& dialogs, QWidget* parent)
    : TFrm_Main(programDir, dialogs, QString(), parent)
{
}

TFrm_Main::TFrm_Main(const QString& programDir, Dialogs& dialogs, const QString& serverLine, QWidget* parent)
    : QMainWindow(parent), Start(&Data), Data(dialogs)
{
    setObjectName(QStringLiteral("TFrm_Main"));
    Data.shell = this;
    Data.PercorsoDb = QDir(programDir).filePath(QStringLiteral("db")) + QDir::separator();
    Data.RigaServer = serverLine;
    buildWindow();
    composeScreens();
    plainGridTitles(this);
    // The start-up runs while the main window is being made; the report
    // windows and then the About box come after it.
    FormCreate();
    Reports = new reports::Prints(Data, *Sheet, this);
    Sheet->setPrints(Reports);
    Data.onEvent(Btn_ConfrontoSingolo, &QToolButton::clicked, Reports, &reports::Prints::Btn_ConfrontoSingoloClick);
    Data.onEvent(Btn_ConfrontoMultiplo, &QToolButton::clicked, Reports, &reports::Prints::Btn_ConfrontoMultiploClick);
    Taboutbox = new AboutBox(programDir, this, &Data.dialogs);
    // F1 reaches the program's windows through the application, whichever
    // control has the focus (a registry's grid, a box over the window).
    qApp->installEventFilter(this);
}

QList<QObject*> TFrm_Main::reportForms() const
{
    if (!Reports)
        return {};
    return {Reports->QR_Area, Reports->QR_Grafico, Reports->QR_GraficoMultiplo, Reports->QR_GraficoSormontato};
}

TFrm_Main::~TFrm_Main()
{
    // The day's copy reads through the tables' connections: finished before
    // they close.
    Start.termina();
    Data.shell = nullptr;
}

void TFrm_Main::buildWindow()
{
    setWindowTitle(QStringLiteral("  Velmora"));
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint
                   | Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint);
    // The window is laid out for Tahoma at 13 pixels (loaded at start).
    setFont(windowFont());

    auto* client = new QWidget(this);
    client->setObjectName(QStringLiteral("client"));
    client->setBackgroundRole(QPalette::Button);
    client->setAutoFillBackground(true);
    setCentralWidget(client);

    auto* bar = new QStatusBar(this);
    bar->setObjectName(QStringLiteral("StatusBar1"));
    bar->setFixedHeight(20);
    bar->setSizeGripEnabled(false);
    StatusHint = new QLabel(bar);
    StatusHint->setObjectName(QStringLiteral("StatusHint"));
    StatusHint->setFixedWidth(700);
    StatusVersion = new QLabel(bar);
    StatusVersion->setObjectName(QStringLiteral("StatusVersion"));
    StatusVersion->setAlignment(Qt::AlignCenter);
    StatusVersion->setFrameStyle(QFrame::Panel | QFrame::Raised);
    bar->addWidget(StatusHint);
    bar->addWidget(StatusVersion, 1);
    setStatusBar(bar);

    buildListScreen();
    buildAccessPanel();
    setFixedSize(857, 632);
}

void TFrm_Main::buildAccessPanel()
{
    Pnl_Accesso = new WhitePanel("Pnl_Accesso", centralWidget());
    Pnl_Accesso->setGeometry(8, 8, 841, 593);

    auto* banner = new QLabel(QStringLiteral("Velmora"), Pnl_Accesso);
    banner->setObjectName(QStringLiteral("Image2"));
    banner->setGeometry(0, 8, 841, 105);
    banner->setAlignment(Qt::AlignCenter);
    QFont big = banner->font();
    big.setPixelSize(40);
    big.setBold(true);
    banner->setFont(big);

    // At the left, beside the chooser and the educators: the program's own
    // picture, as high as the controls it stands beside.
    Image1 = new QLabel(Pnl_Accesso);
    Image1->setObjectName(QStringLiteral("Image1"));
    Image1->setGeometry(32, 140, 200, 300);
    Image1->setPixmap(accessPicture(Image1->size(), qApp->devicePixelRatio()));

    SpeedButton13 = speedButton(Pnl_Accesso, "SpeedButton13", QStringLiteral("About"), QStringLiteral("About"),
                                QRect(720, 530, 55, 55), Glyph::About);
    SpeedButton9 = speedButton(Pnl_Accesso, "SpeedButton9", QStringLiteral("Esci"), QStringLiteral("Esci"),
                               QRect(783, 530, 55, 55), Glyph::Esci);
    Data.onEvent(SpeedButton13, &QToolButton::clicked, this, &TFrm_Main::SpeedButton13Click);
    Data.onEvent(SpeedButton9, &QToolButton::clicked, this, &TFrm_Main::Btn_EsciClick);
}

void TFrm_Main::buildListScreen()
{
    Pnl_Bambini = new WhitePanel("Pnl_Bambini", centralWidget());
    Pnl_Bambini->setGeometry(8, 8, 841, 593);

    Tb_Setup = new QToolBar(Pnl_Bambini);
    Tb_Setup->setObjectName(QStringLiteral("Tb_Setup"));
    Tb_Setup->setGeometry(0, 0, 841, 29);
    Tb_Setup->setMovable(false);
    Tb_Setup->setToolButtonStyle(Qt::ToolButtonTextOnly);
    // Flat, with bold captions.
    Tb_Setup->setFont(windowFont(true));
    auto tool = [&](const char* name, const QString& caption) {
        // Flat; with the focus, a dotted rectangle shows it.
        auto* b = new KeyButton(Tb_Setup, 2);
        b->setObjectName(QString::fromLatin1(name));
        b->setText(caption);
        b->setFixedHeight(24);
        b->setCursor(Qt::PointingHandCursor);
        b->setAutoRaise(true);
        Tb_Setup->addWidget(b);
        auto* gap = new QWidget(Tb_Setup);
        gap->setFixedWidth(8);
        Tb_Setup->addWidget(gap);
        return b;
    };
    ToolButton1 = tool("ToolButton1", QStringLiteral("Anagrafica nido"));
    ToolButton3 = tool("ToolButton3", QStringLiteral("Anagrafica educatrici"));
    ToolButton5 = tool("ToolButton5", QStringLiteral("Anagrafica bimbi"));
    ToolButton7 = tool("ToolButton7", QStringLiteral("Gestione ruoli"));
    ToolButton9 = tool("ToolButton9", QStringLiteral("Gestione aree"));

    // The children list, its navigator and the evaluations list are laid in
    // their places; their contents come with the children and evaluations
    // screens.
    DBNavigator1 = new DataNavigator(Pnl_Bambini);
    DBNavigator1->setObjectName(QStringLiteral("DBNavigator1"));
    DBNavigator1->setGeometry(27, 520, 468, 18);
    auto* notes = new QLabel(QStringLiteral("Note"), Pnl_Bambini);
    notes->setObjectName(QStringLiteral("Label3"));
    notes->move(480, 40);
    GroupBox1 = new QGroupBox(QStringLiteral("Valutazioni effettuate"), Pnl_Bambini);
    GroupBox1->setObjectName(QStringLiteral("GroupBox1"));
    GroupBox1->setGeometry(480, 200, 353, 320);
    DBNavigator7 = new DataNavigator(GroupBox1);
    DBNavigator7->setObjectName(QStringLiteral("DBNavigator7"));
    // Along the bottom of the group box, 18 pixels high.
    DBNavigator7->setGeometry(2, GroupBox1->height() - 20, GroupBox1->width() - 4, 18);

    Btn_ConfrontoMultiplo = speedButton(Pnl_Bambini, "Btn_ConfrontoMultiplo", QStringLiteral("Confronto"),
                                        QStringLiteral("Stampa il grafico di comparazione tra i bimbi"),
                                        QRect(592, 535, 55, 55), Glyph::Confronto);
    Btn_ConfrontoSingolo = speedButton(Pnl_Bambini, "Btn_ConfrontoSingolo", QStringLiteral("Profili"),
                                       QStringLiteral("Stampa il grafico completo del bimbo"), QRect(648, 535, 55, 55),
                                       Glyph::Profili);
    Btn_LogOut = speedButton(Pnl_Bambini, "Btn_LogOut", QStringLiteral("Esci utente"),
                             QStringLiteral("Accedi al programma come altra educatrice"), QRect(727, 535, 55, 55),
                             Glyph::EsciUtente);
    Btn_Esci = speedButton(Pnl_Bambini, "Btn_Esci", QStringLiteral("Esci"), QStringLiteral("Esci dall'applicazione"),
                           QRect(783, 535, 55, 55), Glyph::Esci);
    Data.onEvent(Btn_Esci, &QToolButton::clicked, this, &TFrm_Main::Btn_EsciClick);

    GB_AnagraficaNido = hiddenBox(Pnl_Bambini, "GB_AnagraficaNido", QRect(136, 96, 529, 337));
    GB_AnagraficaEducatrici = hiddenBox(Pnl_Bambini, "GB_AnagraficaEducatrici", QRect(136, 96, 529, 353));
    GB_AnagraficaBimbi = hiddenBox(Pnl_Bambini, "GB_AnagraficaBimbi", QRect(136, 72, 497, 481));
    GB_AnagraficaRuoli = hiddenBox(Pnl_Bambini, "GB_AnagraficaRuoli", QRect(136, 96, 489, 289));
    GB_AnagraficaAree = hiddenBox(Pnl_Bambini, "GB_AnagraficaAree", QRect(136, 96, 489, 289));
    GB_Valutazione = hiddenBox(Pnl_Bambini, "GB_Valutazione", QRect(0, 33, 841, 561));
}

void TFrm_Main::composeScreens()
{
    Nursery = new NurseryRegistry(Data, GB_AnagraficaNido, this);
    Sheet = new EvaluationSheet(Data, GB_Valutazione, this);
    Phases = new PhasesScreen(Data, *Sheet, this);
    Children = new ChildrenScreen(Data, Pnl_Bambini, DBNavigator1, GB_AnagraficaBimbi, this);
    Evaluations = new EvaluationsScreen(Data, Pnl_Bambini, GroupBox1, DBNavigator7, *Sheet, *Phases, this);
    Staff = new StaffRegistries(Data, GB_AnagraficaEducatrici, GB_AnagraficaRuoli, GB_AnagraficaAree, this);
    Access = new AccessScreen(Data, Pnl_Accesso, this);

    Data.onEvent(ToolButton1, &QToolButton::clicked, Nursery, &NurseryRegistry::ToolButton1Click);
    Data.onEvent(ToolButton3, &QToolButton::clicked, Staff, &StaffRegistries::ToolButton3Click);
    Data.onEvent(ToolButton5, &QToolButton::clicked, Children, &ChildrenScreen::ToolButton5Click);
    Data.onEvent(ToolButton7, &QToolButton::clicked, Staff, &StaffRegistries::ToolButton7Click);
    Data.onEvent(ToolButton9, &QToolButton::clicked, Staff, &StaffRegistries::ToolButton9Click);
    Data.onEvent(Btn_LogOut, &QToolButton::clicked, Access, &AccessScreen::Btn_LogOutClick);

    // Tab in the order the controls are read: on the access panel the
    // nursery, the educator, the login, then About and the way out; on the
    // list screen the toolbar, the children with their navigator and
    // choices, the notes, the evaluations with theirs, the buttons.
    setTabChain(Access->tabChain() + QList<QWidget*>{SpeedButton13, SpeedButton9});
    setTabChain(QList<QWidget*>{ToolButton1, ToolButton3, ToolButton5, ToolButton7, ToolButton9} + Children->tabChain()
                + Evaluations->tabChain()
                + QList<QWidget*>{Btn_ConfrontoMultiplo, Btn_ConfrontoSingolo, Btn_LogOut, Btn_Esci});
}

void TFrm_Main::mostraAccesso()
{
    Pnl_Accesso->raise();
    // The keys go to the panel now in front, from its first control; the
    // focus left on the list screen would act on it unseen.
    Access->focusNurseryChooser();
    mostraSuggerimentoSottoIlPuntatore();
}

void TFrm_Main::mostraElenco()
{
    Pnl_Bambini->raise();
    Children->focusList();
    mostraSuggerimentoSottoIlPuntatore();
}

void TFrm_Main::mostraSuggerimentoSottoIlPuntatore()
{
    // The hint of the screen that went away would stay until the pointer
    // crossed another control: the toolkit tells of a control entered, not
    // of a screen raised under a pointer that stands still.
    QString hint;
    if (isVisible()) {
        for (QWidget* w = childAt(mapFromGlobal(QCursor::pos())); w && w != this; w = w->parentWidget()) {
            if (!w->statusTip().isEmpty()) {
                hint = w->statusTip();
                break;
            }
        }
    }
    StatusHint->setText(hint);
}
void TFrm_Main::mostraSetup(bool visible) { Tb_Setup->setVisible(visible); }
bool TFrm_Main::setupVisibile() const { return !Tb_Setup->isHidden(); }
void TFrm_Main::mostraVersione() { StatusVersion->setText(versionText); }
bool TFrm_Main::navigazioneAbilitata() const { return Btn_LogOut->isEnabled(); }

bool TFrm_Main::accessPanelInFront() const
{
    const QObjectList& kids = centralWidget()->children();
    for (auto it = kids.crbegin(); it != kids.crend(); ++it) {
        if (*it == Pnl_Accesso)
            return true;
        if (*it == Pnl_Bambini)
            return false;
    }
    return false;
}

void TFrm_Main::showEvent(QShowEvent* e)
{
    // In the middle of the desktop, the first time it shows.
    if (!m_centred && !e->spontaneous()) {
        m_centred = true;
        centreOnScreen(this);
    }
    QMainWindow::showEvent(e);
}

bool TFrm_Main::focusNextPrevChild(bool next)
{
    if (QWidget* w = nextShownInFocusChain(this, next)) {
        w->setFocus(next ? Qt::TabFocusReason : Qt::BacktabFocusReason);
        return true;
    }
    return QMainWindow::focusNextPrevChild(next);
}

bool TFrm_Main::event(QEvent* e)
{
    if (e->type() == QEvent::StatusTip) {
        StatusHint->setText(static_cast<QStatusTipEvent*>(e)->tip());
        return true;
    }
    return QMainWindow::event(e);
}

bool TFrm_Main::eventFilter(QObject* watched, QEvent* e)
{
    if (e->type() == QEvent::KeyPress && static_cast<QKeyEvent*>(e)->key() == Qt::Key_F1
        && (static_cast<QKeyEvent*>(e)->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier) {
        // Only for this window and the windows shown over it, each of which
        // has it among its parents.
        auto* w = qobject_cast<QWidget*>(watched);
        for (QWidget* top = w ? w->window() : nullptr; top; top = top->parentWidget() ? top->parentWidget()->window() : nullptr) {
            if (top == this) {
                Taboutbox->apriGuida();
                return true;
            }
        }
    }
    return QMainWindow::eventFilter(watched, e);
}

void TFrm_Main::closeEvent(QCloseEvent* e)
{
    // What the sheet or a registry cannot store keeps the window open only
    // if the user wants it so: after the refusal's own message, the user
    // chooses between going back to it and closing without it.
    const auto closeAnyway = [this] {
        return Data.dialogs.confirm(
            QStringLiteral("Le modifiche non salvate andranno perse. Chiudere comunque il programma?"));
    };
    if (Sheet && !Sheet->SalvaPrimaDiChiudere()) {
        if (!closeAnyway()) {
            e->ignore();
            return;
        }
        Sheet->AbbandonaInSospeso();
    }
    // A registry still open is left through its own way out, which posts
    // what was typed and keeps its rules (a nursery keeps a responsible
    // educator). When that way out refuses, with its message, only what it
    // could not store is given up if the user closes anyway.
    struct Open
    {
        QGroupBox* box;
        std::function<void()> leave;
        store::Table* table;
    };
    const Open registries[] = {
        {GB_AnagraficaNido, [this] { Nursery->SpeedButton3Click(); }, &Data.Tbl_AnagNido},
        {GB_AnagraficaEducatrici, [this] { Staff->SpeedButton1Click(); }, &Data.Tbl_AnagEdu},
        {GB_AnagraficaRuoli, [this] { Staff->SpeedButton5Click(); }, &Data.Tbl_Ruoli},
        {GB_AnagraficaAree, [this] { Staff->SpeedButton6Click(); }, &Data.Tbl_Aree},
        {GB_AnagraficaBimbi, [this] { Children->SpeedButton2Click(); }, &Data.Tbl_AnagBimbi},
    };
    for (const Open& r : registries) {
        if (!r.box || r.box->isHidden())
            continue;
        r.leave();
        if (r.box->isHidden())
            continue;
        if (!closeAnyway()) {
            e->ignore();
            return;
        }
        Data.guarded([&] {
            if (r.table->state() == store::Table::State::Edit || r.table->state() == store::Table::State::Insert)
                r.table->cancel();
        });
    }
    QMainWindow::closeEvent(e);
}

void TFrm_Main::quit()
{
    m_end = true;
    QCoreApplication::quit();
}

void TFrm_Main::FormCreate()
{
    switch (Start.avvia(*this)) {
    case startup::Esito::Prosegue:
        return;
    case startup::Esito::CartellaMancante:
        m_dataFolderMissing = true;
        break;
    case startup::Esito::NonParte:
        m_cannotStart = true;
        break;
    case startup::Esito::Fine:
        break;
    }
    quit();
}

void TFrm_Main::nascondiSchede()
{
    GB_Valutazione->move(0, GB_Valutazione->y());
    for (QGroupBox* g : {GB_Valutazione, GB_AnagraficaNido, GB_AnagraficaBimbi, GB_AnagraficaRuoli,
                         GB_AnagraficaEducatrici, GB_AnagraficaAree})
        g->hide();
}

void TFrm_Main::nuovoNido()
{
    Nursery->SpeedButton11Click();
}

void TFrm_Main::nidoScelto()
{
    Access->Tbl_AnagNidoAfterScroll();
    Access->showNursery(Data.Tbl_AnagNido.value(QStringLiteral("Id")));
}

void TFrm_Main::AbilitaNavigazione(bool enabled)
{
    for (QWidget* w : std::initializer_list<QWidget*>{Btn_Esci, Btn_LogOut, Btn_ConfrontoMultiplo, Btn_ConfrontoSingolo,
                                                      ToolButton1, ToolButton3, ToolButton5, ToolButton7, ToolButton9,
                                                      DBNavigator7, DBNavigator1})
        w->setEnabled(enabled);
}

void TFrm_Main::Btn_EsciClick()
{
    if (Data.dialogs.confirm(QStringLiteral("Siete sicurdi di voler uscire dall'applicazione?")))
        quit();
}

void TFrm_Main::SpeedButton13Click()
{
    Taboutbox->Lbl_Versione->setText(versionText);
    if (const store::DataFolder* f = Data.folder())
        Taboutbox->Lbl_Dati->setText(AboutBox::datiInUso(f->path(), f->isServer() ? f->serverLine().describe() : QString()));
    Data.dialogs.execForm(*Taboutbox);
}

} // namespace velmora
