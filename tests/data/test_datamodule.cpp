// A screen's event connected through DataModule::onEvent runs its handler
// inside the error guard: an engine error reaches the user as its message
// and goes no further, a cancelled operation simply ends, the handler gets
// the signal's arguments when it takes them, and nothing runs once the
// screen that owns the handler is gone.
#include "datamodule.h"
#include "errors.h"
#include "scripteddialogs.h"
#include "scripteddialogs_qtest.h"

#include <QButtonGroup>
#include <QRadioButton>
#include <QTest>
#include <QToolButton>
#include <QWidget>

#include <algorithm>
#include <memory>

using namespace velmora;

namespace {

enum class Outcome { Done, EngineError, Cancelled };

// A screen with one handler, as the program's screens have them.
class Screen : public QObject
{
public:
    Outcome outcome = Outcome::Done;
    int runs = 0;
    void Btn_Click()
    {
        ++runs;
        if (outcome == Outcome::EngineError)
            throw store::DbError(QStringLiteral("Il file FasiVal.db è bloccato da un altro programma."),
                                 store::DbError::Cause::Locked);
        if (outcome == Outcome::Cancelled)
            throw store::Abort();
    }
};

} // namespace

class TestDataModule : public QObject
{
    Q_OBJECT

private slots:
    void handlerRunsGuarded_data();
    void handlerRunsGuarded();
    void handlerGetsTheSignalsArguments();
    void nothingRunsOnceTheReceiverIsGone();
};

void TestDataModule::handlerRunsGuarded_data()
{
    QTest::addColumn<int>("outcome");
    QTest::addColumn<QString>("message"); // the error box, empty for none

    QTest::newRow("nothing wrong") << int(Outcome::Done) << QString();
    QTest::newRow("engine error: told") << int(Outcome::EngineError)
                                        << QStringLiteral("Il file FasiVal.db è bloccato da un altro programma.");
    QTest::newRow("cancelled: ends silently") << int(Outcome::Cancelled) << QString();
}

void TestDataModule::handlerRunsGuarded()
{
    QFETCH(int, outcome);
    QFETCH(QString, message);
    ScriptedDialogs d;
    DataModule data(d);
    QWidget panel;
    auto* button = new QToolButton(&panel);
    Screen screen;
    screen.outcome = Outcome(outcome);
    data.onEvent(button, &QToolButton::clicked, &screen, &Screen::Btn_Click);
    // Twice: a failed run leaves the button working.
    if (!message.isEmpty()) {
        d.expectMessage(BoxType::Error, message);
        d.expectMessage(BoxType::Error, message);
    }
    button->click();
    button->click();
    QCOMPARE(screen.runs, 2);
    VERIFY_DIALOGS(d);
}

void TestDataModule::handlerGetsTheSignalsArguments()
{
    ScriptedDialogs d;
    DataModule data(d);
    QWidget panel;
    QButtonGroup group;
    auto* first = new QRadioButton(&panel);
    auto* second = new QRadioButton(&panel);
    group.addButton(first, 0);
    group.addButton(second, 1);
    first->setChecked(true);
    QList<QPair<int, bool>> toggled;
    Screen screen;
    data.onEvent(&group, &QButtonGroup::idToggled, &screen, [&](int id, bool checked) {
        toggled << qMakePair(id, checked);
        if (id == 1 && checked)
            throw store::DbError(QStringLiteral("Rifiutato."));
    });
    d.expectMessage(BoxType::Error, QStringLiteral("Rifiutato."));
    second->click();
    std::sort(toggled.begin(), toggled.end());
    QCOMPARE(toggled, (QList<QPair<int, bool>>{{0, false}, {1, true}}));
    QVERIFY(second->isChecked());
    VERIFY_DIALOGS(d);
}

void TestDataModule::nothingRunsOnceTheReceiverIsGone()
{
    ScriptedDialogs d;
    DataModule data(d);
    QWidget panel;
    auto* button = new QToolButton(&panel);
    int runs = 0;
    auto screen = std::make_unique<Screen>();
    data.onEvent(button, &QToolButton::clicked, screen.get(), [&runs] { ++runs; });
    button->click();
    screen.reset();
    button->click();
    QCOMPARE(runs, 1);
    VERIFY_DIALOGS(d);
}

QTEST_MAIN(TestDataModule)
#include "test_datamodule.moc"
