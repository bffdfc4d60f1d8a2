// The evaluation sheet: the child and the evaluation on top, the staff who
// took part beneath them, and the way back to the children list.
#include "sheet.h"
#include "choicecolumn.h"
#include "builders.h"
#include "dataedits.h"
#include "datagrid.h"
#include "datanavigator.h"
#include "datamodule.h"
#include "dialogs.h"
#include "evaluationprints.h"

#include <QApplication>
#include <QComboBox>
#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPalette>
#include <QToolButton>

#include <functional>

namespace velmora {

namespace {

void postIfEditing(store::Table& t)
{
    if (t.state() == store::Table::State::Edit || t.state() == store::Table::State::Insert)
        t.post();
}

// The tint of the fields that are shown but not changed here.
const QColor childTint(223, 239, 255);
// The colour of the rules between the parts of the sheet.
const QColor ruleColour(0, 128, 255);

QLabel* caption(QWidget* parent, const QString& text, int x, int y)
{
    auto* l = new QLabel(text, parent);
    l->move(x, y);
    l->adjustSize();
    return l;
}

void tint(QWidget* w)
{
    QPalette p = w->palette();
    p.setColor(QPalette::Base, childTint);
    w->setPalette(p);
}

// A thin rule painted in its own colour, all of it: a frame's own drawing
// would shade or outline it in the style's colours.
class Rule : public QFrame
{
public:
    using QFrame::QFrame;

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter p(this);
        p.fillRect(rect(), palette().color(QPalette::WindowText));
    }
};

QFrame* rule(QWidget* parent, const char* name, int y)
{
    auto* f = new Rule(parent);
    f->setObjectName(QString::fromLatin1(name));
    f->setFrameShape(QFrame::NoFrame);
    QPalette p = f->palette();
    p.setColor(QPalette::WindowText, ruleColour);
    f->setPalette(p);
    f->setGeometry(8, y, parent->width() - 16, 2);
    return f;
}

} // namespace

EvaluationSheet::EvaluationSheet(DataModule& d, QGroupBox* box, QObject* parent)
    : QObject(parent), GB_Valutazione(box), data(d)
{
    GB_Valutazione->setTitle(QStringLiteral("Scheda di Valutazione"));
    SpeedButton7 = speedButton(GB_Valutazione, "SpeedButton7", QStringLiteral("Torna"),
                               QStringLiteral("Torna all'elenco dei bambini"),
                               QRect(GB_Valutazione->width() - 63, GB_Valutazione->height() - 63, 55, 55), Glyph::Torna);
    data.onEvent(SpeedButton7, &QToolButton::clicked, this, &EvaluationSheet::SpeedButton7Click);

    buildUpperPart();
    buildStaff();
}

void EvaluationSheet::mostra()
{
    GB_Valutazione->show();
    GB_Valutazione->raise();
    emit aperta();
}

void EvaluationSheet::buildUpperPart()
{
    QWidget* box = GB_Valutazione;

    auto childEdit = [&](const char* name, const QString& title, const QString& field, int x, int width) {
        caption(box, title, x, 16);
        auto* e = new DataEdit(box);
        e->setObjectName(QString::fromLatin1(name));
        e->setDialogs(&data.dialogs);
        e->setDataSource(&data.Tbl_AnagBimbi, field);
        e->setGeometry(x, 32, width, 21);
        tint(e);
        return e;
    };
    DBEdit17 = childEdit("DBEdit17", QStringLiteral("Nome"), QStringLiteral("Nome"), 8, 145);
    DBEdit18 = childEdit("DBEdit18", QStringLiteral("Cognome"), QStringLiteral("Cognome"), 161, 145);
    DBEdit19 = childEdit("DBEdit19", QStringLiteral("Data Di Nascita"), QStringLiteral("DataDiNascita"), 314, 90);
    DBEdit20 = childEdit("DBEdit20", QStringLiteral("Sesso"), QStringLiteral("Sesso"), 412, 41);
    caption(box, QStringLiteral("Note"), 461, 16);
    DBMemo3 = new DataMemo(box);
    DBMemo3->setObjectName(QStringLiteral("DBMemo3"));
    DBMemo3->setDialogs(&data.dialogs);
    DBMemo3->setDataSource(&data.Tbl_AnagBimbi, QStringLiteral("Note"));
    DBMemo3->setGeometry(461, 32, box->width() - 469, 41);
    tint(DBMemo3);

    Shape1 = rule(box, "Shape1", 80);

    auto evaluationEdit = [&](const char* name, const QString& title, const QString& field, int x, int width) {
        caption(box, title, x, 88);
        auto* e = new DataEdit(box);
        e->setObjectName(QString::fromLatin1(name));
        e->setDialogs(&data.dialogs);
        e->setDataSource(&data.Tbl_Valutazioni, field);
        e->setGeometry(x, 104, width, 21);
        return e;
    };
    DBEdit21 = evaluationEdit("DBEdit21", QStringLiteral("Data Valutazione"), QStringLiteral("DataValutazione"), 8, 100);
    DBEdit22 = evaluationEdit("DBEdit22", QStringLiteral("Mesi Bimbo"), QStringLiteral("MesiBimbo"), 116, 65);

    // The theoretical development beside the age; the evaluations list
    // keeps it up to date.
    auto* l = new QLabel(QStringLiteral("Età anagrafica"), box);
    l->setObjectName(QStringLiteral("Lbl_SviluppoTeorico"));
    l->move(189, 88);
    l->adjustSize();
    Txt_SviluppoTeorico = new QLineEdit(box);
    Txt_SviluppoTeorico->setObjectName(QStringLiteral("Txt_SviluppoTeorico"));
    Txt_SviluppoTeorico->setReadOnly(true);
    Txt_SviluppoTeorico->setGeometry(189, 104, 81, 21);

    Shape2 = rule(box, "Shape2", 244);
}

void EvaluationSheet::buildStaff()
{
    QWidget* box = GB_Valutazione;
    store::Table& t = data.Tbl_Personale;
    t.setReaction(store::Table::Reaction::OnNewRecord, this, [this](store::Table&) { Tbl_PersonaleNewRecord(); });

    caption(box, QStringLiteral("Personale impiegato nella valutazione"), 286, 88);
    DBGrid10 = new DataGrid(box);
    DBGrid10->setObjectName(QStringLiteral("DBGrid10"));
    DBGrid10->setDialogs(&data.dialogs);
    DBGrid10->addColumn(QStringLiteral("Educatrice"), QStringLiteral("Educatrice"), 170);
    DBGrid10->addColumn(QStringLiteral("Ruolo"), QStringLiteral("Ruolo"), 110);
    DBGrid10->setTable(&t);
    DBGrid10->setGeometry(286, 104, 300, 112);

    using B = DataNavigator::Button;
    DBNavigator10 = new DataNavigator(box);
    DBNavigator10->setObjectName(QStringLiteral("DBNavigator10"));
    DBNavigator10->setTable(&t);
    DBNavigator10->setDialogs(&data.dialogs);
    DBNavigator10->setGeometry(286, 218, 300, 18);
    const QList<QPair<B, QString>> hints = {
        {B::First, QStringLiteral("Primo valore")},
        {B::Prior, QStringLiteral("Valore precedente")},
        {B::Next, QStringLiteral("Valore successivo")},
        {B::Last, QStringLiteral("Ultimo valore")},
        {B::Insert, QStringLiteral("Inserisci educatrice")},
        {B::Delete, QStringLiteral("Cancella educatrice")},
        {B::Edit, QStringLiteral("Modifica educatrice")},
        {B::Post, QStringLiteral("Salva modifiche")},
        {B::Cancel, QStringLiteral("Cancella modifiche")},
        {B::Refresh, QStringLiteral("Refresh data")},
    };
    for (const auto& h : hints)
        DBNavigator10->setHint(h.first, h.second);
    DBNavigator10->setVisibleButtons(DataNavigator::allButtons());
    // Ctrl+Delete in the grid deletes as the navigator does, after asking.
    connect(DBGrid10, &DataGrid::deleteKeyPressed, this, [this] { DBNavigator10->trigger(B::Delete); });

    // The educator and the role are chosen in the grid's own cells, from the
    // current nursery's educators and from the roles; the grid always shows
    // the two drop-downs on its current row.
    auto* educatrice = new ChoiceColumn(DBGrid10, 0, data.Tbl_AnagEdu, QStringLiteral("Nominativo"),
                                        QStringLiteral("Id_Educatrice"), &data.dialogs);
    auto* ruolo = new ChoiceColumn(DBGrid10, 1, data.Tbl_Ruoli, QStringLiteral("Ruolo"), QStringLiteral("Id_Ruolo"),
                                   &data.dialogs);
    CB_Educatrice = educatrice->combo();
    CB_Educatrice->setObjectName(QStringLiteral("CB_Educatrice"));
    CB_Ruolo = ruolo->combo();
    CB_Ruolo->setObjectName(QStringLiteral("CB_Ruolo"));

    caption(box, QStringLiteral("Note"), 594, 88);
    DBMemo4 = new DataMemo(box);
    DBMemo4->setObjectName(QStringLiteral("DBMemo4"));
    DBMemo4->setDialogs(&data.dialogs);
    DBMemo4->setDataSource(&t, QStringLiteral("Note"));
    DBMemo4->setGeometry(594, 104, box->width() - 602, 132);

    data.onEvent(qApp, &QApplication::focusChanged, this, [this](QWidget* old, QWidget* now) {
        if (old && nellaParteStaff(old) && !(now && nellaParteStaff(now)))
            DBGrid10Exit();
    });
}

void EvaluationSheet::mostraSviluppoTeorico(const QString& text)
{
    Txt_SviluppoTeorico->setText(text);
}

void EvaluationSheet::posaTornaAllElenco(QWidget* panel, const QRect& where)
{
    SpeedButton7->setParent(panel);
    SpeedButton7->setGeometry(where);
    SpeedButton7->show();
}

void EvaluationSheet::ChiudiRigaPersonale()
{
    // Dropped when nobody filled it in, as leaving the staff part drops it
    // (the way back and the print buttons do not take the focus).
    DBGrid10Exit();
    postIfEditing(data.Tbl_Personale);
}

bool EvaluationSheet::nellaParteStaff(QWidget* w) const
{
    // The drop-downs sit in the grid; their lists are windows of their own,
    // still children of the drop-downs.
    for (QWidget* p = w; p; p = p->parentWidget())
        if (p == DBGrid10 || p == DBNavigator10 || p == DBMemo4)
            return true;
    return false;
}

void EvaluationSheet::Tbl_PersonaleNewRecord()
{
    data.Tbl_Personale.setValue(QStringLiteral("Id_Valutazione"), data.Tbl_Valutazioni.value(QStringLiteral("Id")));
}

void EvaluationSheet::DBGrid10Exit()
{
    store::Table& t = data.Tbl_Personale;
    if (t.state() == store::Table::State::Insert && !t.isModified())
        t.cancel();
}

void EvaluationSheet::postaValutazione()
{
    // A date or number refused by its field, still in its box, is told once,
    // by the box. Posting first would tell it twice: the post is refused with
    // a message, and the box, losing the focus to that message, tells it
    // again on top of it.
    if (!commitPendingEdits(GB_Valutazione))
        throw store::Abort();
    postIfEditing(data.Tbl_Valutazioni);
}

void EvaluationSheet::postaInSospeso()
{
    postaValutazione();
    ChiudiRigaPersonale();
    postIfEditing(data.Tbl_FasiVal);
}

void EvaluationSheet::SpeedButton7Click()
{
    data.guarded([&] {
        postaInSospeso();
        emit chiusa();
        GB_Valutazione->hide();
        data.AbilitaNavigazione(true);

        const QString id = data.Tbl_Valutazioni.isOpen() ? data.Tbl_Valutazioni.asString(QStringLiteral("Id")) : QString();
        if (!data.Tbl_FasiVal.isOpen())
            data.Tbl_FasiVal.open();
        data.Tbl_FasiVal.setFiltered(false);
        data.Tbl_FasiVal.setFilter(id.isEmpty() ? QString() : QStringLiteral("(nonso<>'') and (Id_Valutazione=%1)").arg(id));
        data.Tbl_FasiVal.setFiltered(true);
        if (data.Tbl_FasiVal.isEmpty())
            return;
        if (!data.dialogs.confirm(QStringLiteral("Nella valutazione sono presenti dei \"Non So\". Desideri stampare un "
                                                "riepilogo dei \"Non so\" per verificarli?")))
            return;
        StampaRiepilogoNonSo();
    });
}

bool EvaluationSheet::SalvaPrimaDiChiudere()
{
    if (GB_Valutazione->isHidden())
        return true;
    bool saved = true;
    for (const std::function<void()>& step : std::initializer_list<std::function<void()>>{
             [this] { postaValutazione(); },
             [this] { ChiudiRigaPersonale(); },
             [this] { postIfEditing(data.Tbl_FasiVal); },
         }) {
        bool done = false;
        data.guarded([&] {
            step();
            done = true;
        });
        saved = saved && done;
    }
    return saved;
}

void EvaluationSheet::AbbandonaInSospeso()
{
    for (store::Table* t : {&data.Tbl_Valutazioni, &data.Tbl_Personale, &data.Tbl_FasiVal})
        data.guarded([&] {
            if (t->state() == store::Table::State::Edit || t->state() == store::Table::State::Insert)
                t->cancel();
        });
}

void EvaluationSheet::StampaRiepilogoNonSo()
{
    if (m_prints)
        m_prints->StampaRiepilogoNonSo();
}

} // namespace velmora
