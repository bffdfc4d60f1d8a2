#include "aboutbox.h"
#include "dialogs.h"
#include "fonts.h"

#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPalette>
#include <QPushButton>
#include <QUrl>

namespace velmora {

namespace {

// A label that opens its link through the About box on a click.
class LinkArea : public QLabel
{
public:
    LinkArea(const QString& text, const QUrl& url, AboutBox* parent)
        : QLabel(text, parent), m_box(parent), m_url(url)
    {
        setCursor(Qt::PointingHandCursor);
        setToolTip(url.toString());
    }
    QUrl url() const { return m_url; }

protected:
    void mouseReleaseEvent(QMouseEvent* e) override
    {
        if (e->button() == Qt::LeftButton && rect().contains(e->position().toPoint()))
            m_box->apri(this);
        QLabel::mouseReleaseEvent(e);
    }

private:
    AboutBox* m_box;
    QUrl m_url;
};

} // namespace

AboutBox::AboutBox(const QString& programDir, QWidget* parent, Dialogs* dialogs)
    : QDialog(parent), m_programDir(programDir), m_dialogs(dialogs)
{
    setObjectName(QStringLiteral("Taboutbox"));
    setWindowTitle(QStringLiteral("About"));
    setFixedSize(500, 372);
    setModal(true);
    // Tahoma at 11 pixels: the contact lines fit their areas of the picture.
    setFont(tahomaFont(11));
    // White writing on black (a palette, not a style sheet, so that the
    // font set below reaches every label).
    QPalette black = palette();
    black.setColor(QPalette::Window, Qt::black);
    black.setColor(QPalette::WindowText, Qt::white);
    setPalette(black);
    setAutoFillBackground(true);

    auto* title = new QLabel(QStringLiteral("Velmora"), this);
    title->setGeometry(24, 40, 300, 48);
    QFont big = title->font();
    big.setPointSize(26);
    big.setBold(true);
    title->setFont(big);
    auto* subtitle = new QLabel(QStringLiteral("Valutazione dello sviluppo al nido d'infanzia"), this);
    subtitle->setGeometry(24, 92, 452, 20);

    // Which data the program works on: the folder, or the server's database.
    Lbl_Dati = new QLabel(this);
    Lbl_Dati->setObjectName(QStringLiteral("Lbl_Dati"));
    Lbl_Dati->setGeometry(24, 120, 452, 34);
    Lbl_Dati->setWordWrap(true);

    Lbl_Versione = new QLabel(this);
    Lbl_Versione->setObjectName(QStringLiteral("Lbl_Versione"));
    Lbl_Versione->setGeometry(300, 12, 184, 20);
    Lbl_Versione->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    QFont bold = Lbl_Versione->font();
    bold.setBold(true);
    Lbl_Versione->setFont(bold);

    const QString guide = guidePath();
    Image2 = new LinkArea(QStringLiteral("supporto@velmora.example"), QUrl(QStringLiteral("mailto:supporto@velmora.example")), this);
    Image2->setGeometry(275, 216, 150, 17);
    Image3 = new LinkArea(QStringLiteral("https://velmora.example"), QUrl(QStringLiteral("https://velmora.example/")), this);
    Image3->setGeometry(240, 232, 193, 17);
    Image4 = new LinkArea(QStringLiteral("Il progetto Velmora per i nidi d'infanzia"), QUrl(QStringLiteral("https://velmora.example/nidi/")), this);
    Image4->setGeometry(128, 288, 241, 62);
    Image4->setAlignment(Qt::AlignCenter);
    Image4->setWordWrap(true);
    Label1 = new LinkArea(QStringLiteral("Scarica la guida del software \"Le tavole di sviluppo di Velmora\""),
                          QUrl::fromLocalFile(guide), this);
    Label1->setGeometry(0, 350, 500, 18);
    Label1->setAlignment(Qt::AlignCenter);
    for (QLabel* l : {Image2, Image3, Image4, Label1})
        l->setObjectName(l == Image2 ? QStringLiteral("Image2") : l == Image3 ? QStringLiteral("Image3")
                         : l == Image4 ? QStringLiteral("Image4") : QStringLiteral("Label1"));

    auto* ok = new QPushButton(QStringLiteral("OK"), this);
    ok->setDefault(true);
    ok->setGeometry(410, 310, 75, 25);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
}

QString AboutBox::datiInUso(const QString& folderPath, const QString& server)
{
    if (!server.isEmpty())
        return QStringLiteral("Dati: %1").arg(server);
    return QStringLiteral("Dati: cartella %1").arg(QDir::toNativeSeparators(folderPath));
}

QUrl AboutBox::linkOf(const QLabel* area) const
{
    if (const auto* link = dynamic_cast<const LinkArea*>(area))
        return link->url();
    return QUrl();
}

QString AboutBox::guidePath() const
{
    return QDir(m_programDir).absoluteFilePath(QStringLiteral("docs/guida-utente.html"));
}

bool AboutBox::apri(const QLabel* area)
{
    const QUrl url = linkOf(area);
    if (url.isEmpty())
        return false;
    const auto tell = [this](const QString& text) {
        if (m_dialogs)
            m_dialogs->warning(text);
        else
            QMessageBox::warning(this, QStringLiteral("Attenzione"), text);
        return false;
    };
    if (url.isLocalFile() && !QFileInfo(url.toLocalFile()).isFile())
        return tell(QStringLiteral("La guida del software non si trova: manca il file\n%1\n\n"
                                   "Reinstallare il programma per riaverla.")
                        .arg(QDir::toNativeSeparators(url.toLocalFile())));
    const bool opened = m_dialogs ? m_dialogs->openUrl(url) : QDesktopServices::openUrl(url);
    if (!opened)
        return tell(QStringLiteral("Impossibile aprire %1: nessun programma del computer sa aprirlo.")
                        .arg(url.isLocalFile() ? QDir::toNativeSeparators(url.toLocalFile()) : url.toString()));
    return true;
}

bool AboutBox::apriGuida()
{
    return apri(Label1);
}

} // namespace velmora
