#include "mainwindow.h"
#include "aboutbox.h"
#include "dialogs.h"
#include "children.h"
#include "datanavigator.h"
#include "evaluations.h"
#include "lookups.h"
#include "phases.h"
#include "prints.h"
#include "reportforms.h"
#include "sheet.h"
#include "staff.h"
#include "errors.h"
#include "upgrade.h"

#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QDir>
#include <QEvent>
#include <QFileInfo>
#include <QGroupBox>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QRandomGenerator>
#include <QStatusBar>
#include <QStatusTipEvent>
#include <QToolBar>
#include <QToolButton>

namespace velmora {

namespace {

const char* const versionText = "Versione 1.12";

// A control's hint shows in the status bar's first panel while the pointer is
// over it, and as a tooltip.
template <typename W>
W* hinted(W* w, const QString& hint)
{
    w->setStatusTip(hint);
    w->setToolTip(hint);
    return w;
}

QToolButton* pictureButton(QWidget* parent, const char* name, const QString& text, const QRect& rect)
{
    auto* b = new QToolButton(parent);
    b->setObjectName(QString::fromLatin1(name));
    b->setText(text);
    b->setGeometry(rect);
    b->setCursor(Qt::PointingHandCursor);
    b->setAutoRaise(true);
    b->setToolButtonStyle(Qt::ToolButtonTextOnly);
    return b;
}

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
    : QMainWindow(parent), m_dialogs(dialogs)
{
    setObjectName(QStringLiteral("TFrm_Main"));
    PercorsoDb = QDir(programDir).filePath(QStringLiteral("db")) + QDir::separator();
    setupTables();
    buildWindow();
    // The start-up runs while the main window is being made; the report
    // windows and then the About box come after it.
    FormCreate();
    Reports = new reports::Prints(*this);
    connect(Btn_ConfrontoSingolo, &QToolButton::clicked, Reports, &reports::Prints::Btn_ConfrontoSingoloClick);
    connect(Btn_ConfrontoMultiplo, &QToolButton::clicked, Reports, &reports::Prints::Btn_ConfrontoMultiploClick);
    Taboutbox = new AboutBox(programDir, this);
}

QList<QObject*> TFrm_Main::reportForms() const
{
    if (!Reports)
        return {};
    return {Reports->QR_Area, Reports->QR_Grafico, Reports->QR_GraficoMultiplo, Reports->QR_GraficoSormontato};
}

TFrm_Main::~TFrm_Main()
{
    // The table objects close (dropping what is pending) before the folder
    // that holds their connections goes.
    for (store::Table* t : {&Tbl_App, &Tbl_FasiVal, &Tbl_Personale, &Tbl_Aree, &Tbl_Ruoli, &Tbl_Valutazioni,
                            &Tbl_AnagBimbi, &Tbl_AnagEdu, &Tbl_AnagNido})
        t->close();
}

void TFrm_Main::setupBindings()
{
    const struct { store::Table* table; const char* file; const char* index; bool readOnly; } bindings[] = {
        {&Tbl_AnagNido, "AnagNido.db", "Nominativo", true},
        {&Tbl_AnagEdu, "AnagEdu.db", "Cognome-Nome", true},
        {&Tbl_AnagBimbi, "AnagBimbi.DB", "Cognome-Nome", true},
        {&Tbl_Valutazioni, "Valutaz.db", "", false},
        {&Tbl_Ruoli, "Ruoli.db", "", true},
        {&Tbl_Aree, "Aree.db", "", true},
        {&Tbl_Personale, "Personale.db", "", false},
        {&Tbl_FasiVal, "FasiVal.db", "NumeroFase", false},
    };
    for (const auto& b : bindings) {
        b.table->setTableName(QString::fromLatin1(b.file));
        b.table->setIndexName(QString::fromLatin1(b.index));
        b.table->setReadOnly(b.readOnly);
    }
}

void TFrm_Main::setupTables()
{
    setupBindings();
    Tbl_AnagEdu.addCalculatedField(QStringLiteral("Nominativo"), store::FieldType::String, 50);
    Tbl_AnagEdu.addCalculatedField(QStringLiteral("Resp"), store::FieldType::String, 2);
    Tbl_AnagEdu.setDisplayLabel(QStringLiteral("Resp"), QStringLiteral("Responsabile"));
    Tbl_AnagEdu.onCalcFields = [this](store::Table& t) { Tbl_AnagEduCalcFields(t); };
    Tbl_AnagEdu.onNewRecord = [this](store::Table& t) { Tbl_AnagEduNewRecord(t); };
    Tbl_AnagNido.afterScroll = [this](store::Table&) { Tbl_AnagNidoAfterScroll(); };
}

void TFrm_Main::buildWindow()
{
    setWindowTitle(QStringLiteral("  Velmora"));
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint
                   | Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint);
    QFont f(QStringLiteral("Tahoma"));
    f.setPixelSize(13);
    setFont(f);

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
    Pnl_Accesso = new QWidget(centralWidget());
    Pnl_Accesso->setObjectName(QStringLiteral("Pnl_Accesso"));
    Pnl_Accesso->setGeometry(8, 8, 841, 593);
    Pnl_Accesso->setStyleSheet(QStringLiteral("#Pnl_Accesso { background: white; }"));
    Pnl_Accesso->setAttribute(Qt::WA_StyledBackground);

    auto* banner = new QLabel(QStringLiteral("Velmora"), Pnl_Accesso);
    banner->setObjectName(QStringLiteral("Image2"));
    banner->setGeometry(0, 8, 841, 105);
    banner->setAlignment(Qt::AlignCenter);
    QFont big = banner->font();
    big.setPixelSize(40);
    big.setBold(true);
    banner->setFont(big);

    auto* lblNido = new QLabel(QStringLiteral("Nido di riferimento:"), Pnl_Accesso);
    lblNido->move(256, 128);
    lblNido->adjustSize();
    DBLookupComboBox1 = hinted(new LookupComboBox(Pnl_Accesso), QStringLiteral("Seleziona il nido d'infanzia di riferimento"));
    DBLookupComboBox1->setObjectName(QStringLiteral("DBLookupComboBox1"));
    DBLookupComboBox1->setGeometry(328, 144, 177, 21);
    DBLookupComboBox1->setDialogs(&m_dialogs);
    DBLookupComboBox1->setListSource(&Tbl_AnagNido, QStringLiteral("Id"), QStringLiteral("Nome"));
    connect(DBLookupComboBox1, &LookupComboBox::closeUp, this, &TFrm_Main::DBLookupComboBox1CloseUp);
    auto* lblEdu = new QLabel(QStringLiteral("Educatrici:"), Pnl_Accesso);
    lblEdu->move(288, 200);
    lblEdu->adjustSize();
    DBLookupListBox1 = hinted(new LookupListBox(Pnl_Accesso), QStringLiteral("Seleziona l'educatrice per accedere"));
    DBLookupListBox1->setObjectName(QStringLiteral("DBLookupListBox1"));
    DBLookupListBox1->setGeometry(328, 216, 177, 180);
    DBLookupListBox1->setDialogs(&m_dialogs);
    DBLookupListBox1->setListSource(&Tbl_AnagEdu, QStringLiteral("Id"), QStringLiteral("Nominativo"));
    connect(DBLookupListBox1, &LookupListBox::doubleClicked, this, &TFrm_Main::DBLookupListBox1DblClick);
    DBLookupListBox1->setContextMenuPolicy(Qt::CustomContextMenu);
    auto* menu = new QMenu(DBLookupListBox1);
    menu->setObjectName(QStringLiteral("PopupMenu1"));
    QAction* reset = menu->addAction(QStringLiteral("Resetta password"));
    reset->setObjectName(QStringLiteral("Resettapassword1"));
    connect(reset, &QAction::triggered, this, &TFrm_Main::Resettapassword1Click);
    connect(DBLookupListBox1, &QWidget::customContextMenuRequested, this,
            [this, menu](const QPoint& at) { menu->popup(DBLookupListBox1->viewport()->mapToGlobal(at)); });

    SpeedButton4 = hinted(pictureButton(Pnl_Accesso, "SpeedButton4", QStringLiteral("Accedi"), QRect(464, 400, 55, 55)),
                          QStringLiteral("Clicca quì ed accedi al programma"));
    SpeedButton13 = hinted(pictureButton(Pnl_Accesso, "SpeedButton13", QStringLiteral("About"), QRect(720, 530, 55, 55)),
                           QStringLiteral("About"));
    SpeedButton9 = hinted(pictureButton(Pnl_Accesso, "SpeedButton9", QStringLiteral("Esci"), QRect(783, 530, 55, 55)),
                          QStringLiteral("Esci"));
    connect(SpeedButton13, &QToolButton::clicked, this, &TFrm_Main::SpeedButton13Click);
    connect(SpeedButton4, &QToolButton::clicked, this, &TFrm_Main::SpeedButton4Click);
    connect(SpeedButton9, &QToolButton::clicked, this, &TFrm_Main::Btn_EsciClick);
}

void TFrm_Main::buildListScreen()
{
    Pnl_Bambini = new QWidget(centralWidget());
    Pnl_Bambini->setObjectName(QStringLiteral("Pnl_Bambini"));
    Pnl_Bambini->setGeometry(8, 8, 841, 593);
    Pnl_Bambini->setStyleSheet(QStringLiteral("#Pnl_Bambini { background: white; }"));
    Pnl_Bambini->setAttribute(Qt::WA_StyledBackground);

    Tb_Setup = new QToolBar(Pnl_Bambini);
    Tb_Setup->setObjectName(QStringLiteral("Tb_Setup"));
    Tb_Setup->setGeometry(0, 0, 841, 29);
    Tb_Setup->setMovable(false);
    Tb_Setup->setToolButtonStyle(Qt::ToolButtonTextOnly);
    QFont bold = Tb_Setup->font();
    bold.setBold(true);
    Tb_Setup->setFont(bold);
    auto tool = [&](const char* name, const QString& caption) {
        auto* b = new QToolButton(Tb_Setup);
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
    DBNavigator1->setGeometry(8, 500, 240, 25);
    auto* notes = new QLabel(QStringLiteral("Note"), Pnl_Bambini);
    notes->setObjectName(QStringLiteral("Label3"));
    notes->move(480, 40);
    GroupBox1 = new QGroupBox(QStringLiteral("Valutazioni effettuate"), Pnl_Bambini);
    GroupBox1->setObjectName(QStringLiteral("GroupBox1"));
    GroupBox1->setGeometry(480, 200, 353, 320);
    DBNavigator7 = new DataNavigator(GroupBox1);
    DBNavigator7->setObjectName(QStringLiteral("DBNavigator7"));
    DBNavigator7->setGeometry(8, 285, 200, 25);

    Btn_ConfrontoMultiplo = hinted(pictureButton(Pnl_Bambini, "Btn_ConfrontoMultiplo", QStringLiteral("Confronto"), QRect(592, 535, 55, 55)),
                                   QStringLiteral("Stampa il grafico di comparazione tra i bimbi"));
    Btn_ConfrontoSingolo = hinted(pictureButton(Pnl_Bambini, "Btn_ConfrontoSingolo", QStringLiteral("Profili"), QRect(648, 535, 55, 55)),
                                  QStringLiteral("Stampa il grafico completo del bimbo"));
    Btn_LogOut = hinted(pictureButton(Pnl_Bambini, "Btn_LogOut", QStringLiteral("Esci\nutente"), QRect(727, 535, 55, 55)),
                        QStringLiteral("Accedi al programma come altra educatrice"));
    Btn_Esci = hinted(pictureButton(Pnl_Bambini, "Btn_Esci", QStringLiteral("Esci"), QRect(783, 535, 55, 55)),
                      QStringLiteral("Esci dall'applicazione"));
    connect(Btn_Esci, &QToolButton::clicked, this, &TFrm_Main::Btn_EsciClick);
    connect(Btn_LogOut, &QToolButton::clicked, this, &TFrm_Main::Btn_LogOutClick);

    GB_AnagraficaNido = hiddenBox(Pnl_Bambini, "GB_AnagraficaNido", QRect(136, 96, 529, 337));
    GB_AnagraficaEducatrici = hiddenBox(Pnl_Bambini, "GB_AnagraficaEducatrici", QRect(136, 96, 529, 353));
    GB_AnagraficaBimbi = hiddenBox(Pnl_Bambini, "GB_AnagraficaBimbi", QRect(136, 72, 497, 481));
    GB_AnagraficaRuoli = hiddenBox(Pnl_Bambini, "GB_AnagraficaRuoli", QRect(136, 96, 489, 289));
    GB_AnagraficaAree = hiddenBox(Pnl_Bambini, "GB_AnagraficaAree", QRect(136, 96, 489, 289));
    GB_Valutazione = hiddenBox(Pnl_Bambini, "GB_Valutazione", QRect(0, 33, 841, 561));
    buildNurseryRegistry();
    Children = new ChildrenScreen(*this);
    Evaluations = new EvaluationsScreen(*this);
    Staff = new StaffRegistries(*this);
    Sheet = new EvaluationSheet(*this);
    Phases = new PhasesScreen(*this);
}

void TFrm_Main::showAccessPanel() { Pnl_Accesso->raise(); }
void TFrm_Main::showListScreen() { Pnl_Bambini->raise(); }

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

bool TFrm_Main::event(QEvent* e)
{
    if (e->type() == QEvent::StatusTip) {
        StatusHint->setText(static_cast<QStatusTipEvent*>(e)->tip());
        return true;
    }
    return QMainWindow::event(e);
}

void TFrm_Main::closeEvent(QCloseEvent* e)
{
    if (Sheet && !Sheet->SalvaPrimaDiChiudere()) {
        e->ignore();
        return;
    }
    // A registry still open is left through its own way out, which posts
    // what was typed and keeps its rules (a nursery keeps a responsible
    // educator); when that way out refuses, with its message, the window
    // stays open.
    const std::pair<QGroupBox*, std::function<void()>> registries[] = {
        {GB_AnagraficaNido, [this] { SpeedButton3Click(); }},
        {GB_AnagraficaEducatrici, [this] { Staff->SpeedButton1Click(); }},
        {GB_AnagraficaRuoli, [this] { Staff->SpeedButton5Click(); }},
        {GB_AnagraficaAree, [this] { Staff->SpeedButton6Click(); }},
        {GB_AnagraficaBimbi, [this] { Children->SpeedButton2Click(); }},
    };
    for (const auto& [box, leave] : registries) {
        if (!box || box->isHidden())
            continue;
        leave();
        if (!box->isHidden()) {
            e->ignore();
            return;
        }
    }
    QMainWindow::closeEvent(e);
}

void TFrm_Main::quit()
{
    m_end = true;
    QCoreApplication::quit();
}

void TFrm_Main::ImpostaSolaLettura(store::Table& table, bool readOnly)
{
    table.close();
    table.setReadOnly(readOnly);
    table.open();
}

void TFrm_Main::FormCreate()
{
    // There is no window skin on this platform: the classic look is always on.

    // The data folder beside the program, and its children table, or nothing.
    const QFileInfo folder(PercorsoDb);
    m_folder = std::make_unique<store::DataFolder>(folder.absoluteFilePath());
    if (!m_folder->exists() || m_folder->filePath(QStringLiteral("AnagBimbi.DB")).isEmpty()) {
        m_dataFolderMissing = true;
        quit();
        return;
    }

    for (store::Table* t : {&Tbl_AnagNido, &Tbl_AnagEdu, &Tbl_AnagBimbi, &Tbl_Valutazioni, &Tbl_Ruoli, &Tbl_Aree,
                            &Tbl_Personale, &Tbl_FasiVal})
        t->setDataFolder(m_folder.get());
    store::AggiornaSchema(*m_folder, [this](const QString& text) { m_dialogs.warning(text); });


    // Seeds the colours of the charts' surplus series.
    Random.seed(quint32(QDateTime::currentMSecsSinceEpoch()));
    FiltroFrequenza = QStringLiteral(" and (frequenza is null or frequenza = True)");

    showAccessPanel();
    GB_Valutazione->move(0, GB_Valutazione->y());
    for (QGroupBox* g : {GB_Valutazione, GB_AnagraficaNido, GB_AnagraficaBimbi, GB_AnagraficaRuoli,
                         GB_AnagraficaEducatrici, GB_AnagraficaAree})
        g->hide();
    IdNidoCorrente = QStringLiteral("0");

    StatusVersion->setText(QString::fromLatin1(versionText));
    guarded([&] {
        Tbl_AnagNido.open();
        // A nursery is needed before anything else can be done.
        for (;;) {
            if (Tbl_AnagNido.isEmpty()) {
                ImpostaSolaLettura(Tbl_AnagNido, false);
                SpeedButton11Click();
                ImpostaSolaLettura(Tbl_AnagNido, true);
            }
            if (!Tbl_AnagNido.isEmpty())
                break;
            if (!m_dialogs.confirm(QStringLiteral("Per proseguire è indispensabile inserire un nido. Procedere?"))) {
                quit();
                break;
            }
        }
        IdNidoCorrente = Tbl_AnagNido.asString(QStringLiteral("Id"));
        Tbl_AnagNidoAfterScroll();
        Tbl_Ruoli.open();
        Tbl_Ruoli.first();
    });
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
    if (m_dialogs.confirm(QStringLiteral("Siete sicurdi di voler uscire dall'applicazione?")))
        quit();
}

void TFrm_Main::SpeedButton13Click()
{
    Taboutbox->Lbl_Versione->setText(QString::fromLatin1(versionText));
    Taboutbox->exec();
}

} // namespace velmora
