// velmora-screens run as a user would: one picture of every screen, each a
// real drawing of the window (not a blank or a one-coloured image).

#include <QDir>
#include <QImage>
#include <QProcess>
#include <QSet>
#include <QTemporaryDir>
#include <QTest>

class TestScreensTool : public QObject
{
    Q_OBJECT

private slots:
    void picturesOfEveryScreen();
};

void TestScreensTool::picturesOfEveryScreen()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString out = QDir(dir.path()).filePath(QStringLiteral("schermate"));
    QProcess p;
    p.start(QString::fromUtf8(VELMORA_SCREENS), {out});
    QVERIFY(p.waitForFinished(120000));
    QCOMPARE(p.exitStatus(), QProcess::NormalExit);
    QVERIFY2(p.exitCode() == 0, p.readAllStandardError().constData());

    // The main window's pictures are its client area, the forms' their own;
    // the boxes (an empty size) are as large as their text makes them.
    const QList<QPair<QString, QSize>> pictures = {
        {QStringLiteral("accesso.png"), QSize(857, 632)},
        {QStringLiteral("elenco.png"), QSize(857, 632)},
        {QStringLiteral("anagrafica-nido.png"), QSize(857, 632)},
        {QStringLiteral("anagrafica-educatrici.png"), QSize(857, 632)},
        {QStringLiteral("anagrafica-bimbi.png"), QSize(857, 632)},
        {QStringLiteral("gestione-ruoli.png"), QSize(857, 632)},
        {QStringLiteral("gestione-aree.png"), QSize(857, 632)},
        {QStringLiteral("scheda.png"), QSize(857, 632)},
        {QStringLiteral("nuovo-nido.png"), QSize(482, 179)},
        {QStringLiteral("about.png"), QSize(500, 372)},
        {QStringLiteral("password.png"), QSize()},
        {QStringLiteral("elenco-selezione.png"), QSize(857, 632)},
        {QStringLiteral("nuova-fase.png"), QSize()},
        {QStringLiteral("rifiuto-fase.png"), QSize()},
        {QStringLiteral("domanda-nonso.png"), QSize()},
        {QStringLiteral("anagrafica-bimbi-nuovo.png"), QSize(857, 632)},
        {QStringLiteral("elenco-tutti.png"), QSize(857, 632)},
        {QStringLiteral("rifiuto-cancella.png"), QSize()},
    };
    QSet<QByteArray> seen;
    for (const auto& [name, size] : pictures) {
        const QImage img(QDir(out).filePath(name));
        QVERIFY2(!img.isNull(), qPrintable(name));
        if (size.isValid())
            QCOMPARE(img.size(), size);
        else
            QVERIFY2(img.width() > 150 && img.height() > 60, qPrintable(name));
        // Many colours: text, frames, glyphs, not one flat fill.
        QSet<QRgb> colours;
        for (int y = 0; y < img.height(); y += 2)
            for (int x = 0; x < img.width(); x += 2)
                colours.insert(img.pixel(x, y));
        QVERIFY2(colours.size() > 40, qPrintable(QStringLiteral("%1: %2 colours").arg(name).arg(colours.size())));
        // Every screen its own picture.
        const QByteArray bits(reinterpret_cast<const char*>(img.constBits()), img.sizeInBytes());
        QVERIFY2(!seen.contains(bits), qPrintable(name));
        seen.insert(bits);
    }
    QCOMPARE(QDir(out).entryList(QDir::Files).size(), pictures.size());
}

QTEST_GUILESS_MAIN(TestScreensTool)
#include "test_screens_tool.moc"
