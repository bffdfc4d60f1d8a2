// The user guide as the About box opens it: from the build folder, where the
// program runs, the link leads to a guide that exists, whose pictures all
// exist beside it and which covers every task of the educator. Where the
// guide is missing, the box says so instead of doing nothing.

#include "aboutbox.h"
#include "scripteddialogs.h"
#include "scripteddialogs_qtest.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>

using namespace velmora;

class TestGuide : public QObject
{
    Q_OBJECT

private slots:
    void guideBesideTheBuiltProgram();
    void everyPictureAndTaskOfTheGuide_data();
    void everyPictureAndTaskOfTheGuide();
    void missingGuideIsSaid();
};

namespace {

QString readAll(const QString& path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return QString();
    return QString::fromUtf8(f.readAll());
}

} // namespace

void TestGuide::guideBesideTheBuiltProgram()
{
    // The folder the built program runs from, as it passes it to the box.
    AboutBox box(QStringLiteral(VELMORA_PROGRAM_DIR));
    const QUrl link = box.linkOf(box.Label1);
    QVERIFY(link.isLocalFile());
    QCOMPARE(QFileInfo(link.toLocalFile()).canonicalFilePath(), QFileInfo(box.guidePath()).canonicalFilePath());
    QVERIFY2(QFileInfo(box.guidePath()).isFile(), qPrintable(box.guidePath()));
    // The copy is the guide of the sources, not an older one.
    QCOMPARE(readAll(box.guidePath()), readAll(QStringLiteral(VELMORA_SOURCE_DIR "/docs/guida-utente.html")));
}

void TestGuide::everyPictureAndTaskOfTheGuide_data()
{
    QTest::addColumn<QString>("docs");
    QTest::newRow("sorgenti") << QStringLiteral(VELMORA_SOURCE_DIR "/docs");
    QTest::newRow("compilazione") << QStringLiteral(VELMORA_PROGRAM_DIR "/docs");
}

void TestGuide::everyPictureAndTaskOfTheGuide()
{
    QFETCH(QString, docs);
    const QString html = readAll(QDir(docs).filePath(QStringLiteral("guida-utente.html")));
    QVERIFY2(!html.isEmpty(), qPrintable(docs));

    // Every picture, and every picture with an Italian description.
    const QRegularExpression img(QStringLiteral("<img\\b[^>]*>"));
    const QRegularExpression src(QStringLiteral("src=\"([^\"]+)\""));
    const QRegularExpression alt(QStringLiteral("alt=\"([^\"]{8,})\""));
    int pictures = 0;
    for (auto it = img.globalMatch(html); it.hasNext();) {
        const QString tag = it.next().captured(0);
        const QString file = src.match(tag).captured(1);
        QVERIFY2(file.startsWith(QLatin1String("img/")) && file.endsWith(QLatin1String(".png")), qPrintable(tag));
        QVERIFY2(QFileInfo(QDir(docs).filePath(file)).isFile(), qPrintable(file));
        QVERIFY2(alt.match(tag).hasMatch(), qPrintable(tag));
        ++pictures;
    }
    QVERIFY(pictures > 0);

    // Every anchor of the contents leads to a section.
    const QRegularExpression href(QStringLiteral("href=\"#([^\"]+)\""));
    for (auto it = href.globalMatch(html); it.hasNext();) {
        const QString anchor = it.next().captured(1);
        QVERIFY2(html.contains(QStringLiteral("id=\"%1\"").arg(anchor)), qPrintable(anchor));
    }

    // The tasks of an educator, each under its own heading.
    const QStringList tasks = {
        QStringLiteral("Il primo avvio e il primo nido"),
        QStringLiteral("Entrare e uscire"),
        QStringLiteral("Password dimenticata"),
        QStringLiteral("Inserire un bambino"),
        QStringLiteral("Bimbi frequentanti e ordine dell'elenco"),
        QStringLiteral("Creare e riaprire una valutazione"),
        QStringLiteral("Il personale della valutazione"),
        QStringLiteral("Scegliere un'area"),
        QStringLiteral("Inserire una nuova fase"),
        QStringLiteral("Rispondere alle domande"),
        QStringLiteral("Totale per area e sviluppo atteso"),
        QStringLiteral("La colonna «S»"),
        QStringLiteral("Le stampe"),
        QStringLiteral("Cancellare"),
        QStringLiteral("Educatrici, ruoli e aree"),
        QStringLiteral("Le copie giornaliere e la cartella dati"),
        QStringLiteral("La tastiera"),
    };
    const QRegularExpression heading(QStringLiteral("<h2[^>]*>(.*?)</h2>"));
    QStringList headings;
    for (auto it = heading.globalMatch(html); it.hasNext();)
        headings << it.next().captured(1);
    for (const QString& task : tasks) {
        const bool found = std::any_of(headings.cbegin(), headings.cend(),
                                       [&](const QString& h) { return h.contains(task); });
        QVERIFY2(found, qPrintable(task));
    }
    // The program's own words for the first start.
    QVERIFY(html.contains(QStringLiteral("Kemlo")));
}

void TestGuide::missingGuideIsSaid()
{
    QTemporaryDir empty;
    QVERIFY(empty.isValid());
    ScriptedDialogs dialogs;
    AboutBox box(empty.path(), nullptr, &dialogs);
    dialogs.expectMessage(BoxType::Warning,
                          QRegularExpression(QStringLiteral("^La guida del software non si trova: manca il file\\n.*"
                                                            "guida-utente\\.html")));
    QVERIFY(!box.apri(box.Label1));
    VERIFY_DIALOGS(dialogs);
}

QTEST_MAIN(TestGuide)
#include "test_guide.moc"
