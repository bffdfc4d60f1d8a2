#pragma once
#include <QDialog>

class QLabel;

namespace velmora {

// The About box: version label and four areas that open a link with the
// desktop's default handler (e-mail, the two web sites, the user guide).
class AboutBox : public QDialog
{
    Q_OBJECT

public:
    explicit AboutBox(const QString& programDir, QWidget* parent = nullptr);

    QLabel* Lbl_Versione = nullptr;
    QLabel* Image2 = nullptr;
    QLabel* Image3 = nullptr;
    QLabel* Image4 = nullptr;
    QLabel* Label1 = nullptr;

    // Where each area leads.
    QUrl linkOf(const QLabel* area) const;

private:
    QString m_programDir;
};

} // namespace velmora
