#include "sheet.h"
#include "mainwindow.h"

#include <QGroupBox>
#include <QToolButton>

namespace velmora {

namespace {

void postIfEditing(store::Table& t)
{
    if (t.state() == store::Table::State::Edit || t.state() == store::Table::State::Insert)
        t.post();
}

} // namespace

EvaluationSheet::EvaluationSheet(TFrm_Main& main)
    : QObject(&main), m(main)
{
    m.GB_Valutazione->setTitle(QStringLiteral("Scheda di Valutazione"));
    SpeedButton7 = new QToolButton(m.GB_Valutazione);
    SpeedButton7->setObjectName(QStringLiteral("SpeedButton7"));
    SpeedButton7->setText(QStringLiteral("Torna"));
    const QString hint = QStringLiteral("Torna all'elenco dei bambini");
    SpeedButton7->setToolTip(hint);
    SpeedButton7->setStatusTip(hint);
    SpeedButton7->setCursor(Qt::PointingHandCursor);
    SpeedButton7->setGeometry(m.GB_Valutazione->width() - 63, m.GB_Valutazione->height() - 63, 55, 55);
    connect(SpeedButton7, &QToolButton::clicked, this, &EvaluationSheet::SpeedButton7Click);
}

void EvaluationSheet::SpeedButton7Click()
{
    m.guarded([&] {
        postIfEditing(m.Tbl_Valutazioni);
        postIfEditing(m.Tbl_Personale);
        postIfEditing(m.Tbl_FasiVal);
        m.GB_Valutazione->hide();
        m.AbilitaNavigazione(true);

        const QString id = m.Tbl_Valutazioni.isOpen() ? m.Tbl_Valutazioni.asString(QStringLiteral("Id")) : QString();
        if (!m.Tbl_FasiVal.isOpen())
            m.Tbl_FasiVal.open();
        m.Tbl_FasiVal.setFiltered(false);
        m.Tbl_FasiVal.setFilter(id.isEmpty() ? QString() : QStringLiteral("(nonso<>'') and (Id_Valutazione=%1)").arg(id));
        m.Tbl_FasiVal.setFiltered(true);
        if (m.Tbl_FasiVal.isEmpty())
            return;
        if (!m.m_dialogs.confirm(QStringLiteral("Nella valutazione sono presenti dei \"Non So\". Desideri stampare un "
                                                "riepilogo dei \"Non so\" per verificarli?")))
            return;
        StampaRiepilogoNonSo();
    });
}

void EvaluationSheet::StampaRiepilogoNonSo()
{
}

} // namespace velmora
