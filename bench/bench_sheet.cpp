// The sheet figures through the real main window: answer_click, phase_move
// and area_change, each against the table-layer work alone underneath it.

#include "bench_sheet.h"

#include <QCoreApplication>

#include <algorithm>
#include <QRadioButton>

namespace bench {

void settle()
{
    QCoreApplication::processEvents();
}

void reportDialogs(const velmora::ScriptedDialogs& dlg, const QString& when)
{
    const QStringList failures = dlg.failures();
    if (!failures.isEmpty())
        say(QStringLiteral("#   sheet: WARNING %1 unexpected box(es) %2: %3")
                .arg(failures.size())
                .arg(when, failures.first()));
}

namespace {

// An evaluation other than `v` for the direct sides, so that they never write
// the rows the window shows.
int otherEvaluation(int v, const FolderFacts& f)
{
    return f.evaluations > 1 ? 1 + (v % f.evaluations) : v;
}

// Moves `t` one step, bouncing at either end; `forward` keeps the direction.
void bounce(Table& t, bool& forward)
{
    const int n = t.recordCount();
    const int at = t.recNo();
    if (forward && at + 1 >= n)
        forward = false;
    else if (!forward && at <= 0)
        forward = true;
    if (forward)
        t.next();
    else
        t.prior();
}

Figure benchAnswerClick(Sheet& sh, Session& s, const FolderFacts& facts)
{
    std::vector<double> handler;
    Figure f(QStringLiteral("answer_click"));
    velmora::TFrm_Main& w = *sh.w;
    velmora::PhasesScreen& ph = w.phasesScreen();
    Stopwatch sw;
    int notStored = 0;
    for (int rep = -warmupReps; rep < answerClickReps; ++rep) {
        const int item = itemFor(rep + warmupReps);
        const int target = (ph.itemIndex(item) + 1) % velmora::PhasesScreen::Answers;
        QRadioButton* button = w.findChild<QRadioButton*>(QStringLiteral("Domanda%1_%2").arg(item).arg(target));
        sw.start();
        button->click();
        handler.push_back(sw.us());
        settle();
        const double us = sw.us();
        const double sent = sw.sent();
        notStored += int(scoring::answerOf(listsOf(w.Data.Tbl_FasiVal), item)) != target;
        if (rep >= 0) {
            f.layer.push_back(us);
            f.sent.push_back(sent);
        }
    }
    reportDialogs(sh.dlg, QStringLiteral("while clicking answers"));

    // Underneath: edit, set the four lists, post, and the area total through
    // the copy cursor, on the same phase shape of another evaluation.
    filterTo(s.phases, phaseFilter(otherEvaluation(sh.evaluation, facts), sh.area));
    s.phases.first();
    for (int rep = -warmupReps; rep < answerClickReps; ++rep) {
        const int item = itemFor(rep + warmupReps);
        const scoring::AnswerLists before = listsOf(s.phases);
        const scoring::AnswerLists lists =
            scoring::withAnswer(before, item, nextAnswer(scoring::answerOf(before, item)));
        sw.start();
        (void)s.answerPost(lists);
        const double us = sw.us();
        if (rep >= 0)
            f.direct.push_back(us);
    }
    say(QStringLiteral("#   answer_click: %1 clicks on evaluation %2 area %3; %4 did not store the clicked answer%5")
            .arg(answerClickReps + warmupReps)
            .arg(sh.evaluation)
            .arg(sh.area)
            .arg(notStored)
            .arg(notStored ? QStringLiteral(" (WARNING)") : QString()));
    say(QStringLiteral("#   answer_click: median %1 us in the click itself, the rest in the event loop")
            .arg(num(median(handler))));
    return f;
}

Figure benchPhaseMove(Sheet& sh, Session& s, const FolderFacts& facts)
{
    std::vector<double> handler;
    Figure f(QStringLiteral("phase_move"));
    velmora::TFrm_Main& w = *sh.w;
    velmora::PhasesScreen& ph = w.phasesScreen();
    Stopwatch sw;
    bool forward = true;
    int mismatched = 0;
    for (int rep = -warmupReps; rep < phaseMoveReps; ++rep) {
        sw.start();
        bounce(w.Data.Tbl_FasiVal, forward);
        handler.push_back(sw.us());
        settle();
        const double us = sw.us();
        const double sent = sw.sent();
        // The groups must show the answers of the phase now current.
        const scoring::AnswerLists l = listsOf(w.Data.Tbl_FasiVal);
        for (int item = scoring::FirstItem; item < scoring::FirstItem + scoring::ItemCount; ++item)
            if (int(scoring::answerOf(l, item)) != ph.itemIndex(item)) {
                ++mismatched;
                break;
            }
        if (rep >= 0) {
            f.layer.push_back(us);
            f.sent.push_back(sent);
        }
    }
    reportDialogs(sh.dlg, QStringLiteral("while moving along the phases"));

    filterTo(s.phases, phaseFilter(otherEvaluation(sh.evaluation, facts), sh.area));
    s.phases.first();
    forward = true;
    qint64 chars = 0;
    for (int rep = -warmupReps; rep < phaseMoveReps; ++rep) {
        sw.start();
        bounce(s.phases, forward);
        const scoring::AnswerLists l = listsOf(s.phases);
        const double us = sw.us();
        chars += l.si.size() + l.no.size() + l.aVolte.size() + l.nonSo.size();
        if (rep >= 0)
            f.direct.push_back(us);
    }
    say(QStringLiteral("#   phase_move: %1 moves over %2 phases; %3 left the groups out of step with the phase%4")
            .arg(phaseMoveReps + warmupReps)
            .arg(w.Data.Tbl_FasiVal.recordCount())
            .arg(mismatched)
            .arg(mismatched ? QStringLiteral(" (WARNING)") : QString()));
    say(QStringLiteral("#   phase_move: median %1 us in the move itself, the rest in the event loop")
            .arg(num(median(handler))));
    return f;
}

Figure benchAreaChange(Sheet& sh, Session& s, Direct& d, const FolderFacts& facts)
{
    std::vector<double> handler, key;
    Figure f(QStringLiteral("area_change"));
    velmora::TFrm_Main& w = *sh.w;
    velmora::PhasesScreen& ph = w.phasesScreen();
    Stopwatch sw;
    int differ = 0;
    int current = ph.chiaveArea().toInt();
    const auto nextArea = [&facts](int a) { return 1 + a % std::max(1, facts.areas); };
    for (int rep = -warmupReps; rep < areaChangeReps; ++rep) {
        const int a = nextArea(current);
        sw.start();
        ph.ImpostaChiaveArea(a);
        key.push_back(sw.us());
        ph.CB_AreaCloseUp();
        handler.push_back(sw.us());
        settle();
        const double us = sw.us();
        const double sent = sw.sent();
        current = a;
        // The total the sheet now shows must be what plain SQL reads.
        const qint64 shown = qRound64(ph.CalcolaTotaleArea(false) * 100.0);
        differ += shown != d.areaSelect(sh.evaluation, a) || ph.chiaveArea().toInt() != a;
        if (rep >= 0) {
            f.layer.push_back(us);
            f.sent.push_back(sent);
        }
    }
    reportDialogs(sh.dlg, QStringLiteral("while changing areas"));

    const int v2 = otherEvaluation(sh.evaluation, facts);
    current = sh.area;
    for (int rep = -warmupReps; rep < areaChangeReps; ++rep) {
        const int a = nextArea(current);
        sw.start();
        filterTo(s.phases, phaseFilter(v2, a));
        (void)s.areaTotal();
        const double us = sw.us();
        current = a;
        if (rep >= 0)
            f.direct.push_back(us);
    }
    say(QStringLiteral("#   area_change: %1 changes over %2 areas; %3 left a total or key out of step%4")
            .arg(areaChangeReps + warmupReps)
            .arg(facts.areas)
            .arg(differ)
            .arg(differ ? QStringLiteral(" (WARNING)") : QString()));
    say(QStringLiteral("#   area_change: median %1 us to set the key, %2 us up to the end of the close-up,"
                       " the rest in the event loop")
            .arg(num(median(key)), num(median(handler))));
    return f;
}

} // namespace

void benchSheet(const QString& folder, Session& s, Direct& d, const FolderFacts& facts, std::vector<Figure>& figures)
{
    Sheet sh;
    // While the first start of the day copies the folder, another program
    // on it (the session) keeps posting answers: each post must go through
    // without waiting for the copy to end.
    Figure duringCopy(QStringLiteral("post_during_copy"));
    int refused = 0;
    QString problem = sh.start(folder, [&] {
        const int rep = int(duringCopy.layer.size()) + refused;
        const int v = evaluationFor(rep, facts), a = areaFor(rep, facts);
        const scoring::AnswerLists lists = s.prepareAnswer(rep, v, a);
        Stopwatch t;
        t.start();
        try {
            s.answerPost(lists);
            duringCopy.layer.push_back(t.us());
        } catch (const DbError& e) {
            ++refused;
            s.phases.cancel();
            say(QStringLiteral("#   post_during_copy: refused after %1 ms: %2")
                    .arg(num(t.us() / 1000.0, 0), e.message().section(QLatin1Char('\n'), 0, 0)));
        }
        return rep < 10000;
    });
    if (!problem.isEmpty()) {
        say(QStringLiteral("# sheet: %1; no sheet figures").arg(problem));
        return;
    }
    if (!duringCopy.layer.empty() || refused) {
        say(QStringLiteral("bench post_during_copy median_us=%1 posts=%2 refused=%3")
                .arg(num(median(duringCopy.layer)))
                .arg(duringCopy.layer.size())
                .arg(refused));
        const double longest =
            duringCopy.layer.empty() ? 0.0 : *std::max_element(duringCopy.layer.begin(), duringCopy.layer.end());
        check(QStringLiteral("post_during_copy"), refused == 0 && longest < postDuringCopyLimitUs,
              QStringLiteral("posts=%1 refused=%2 max_us=%3 limit=%4")
                  .arg(duringCopy.layer.size())
                  .arg(refused)
                  .arg(num(longest), num(postDuringCopyLimitUs)));
    }
    // The login again and again: back to the access panel, then in.
    Figure login(QStringLiteral("login"), loginLimitUs);
    for (int rep = -1; rep < loginReps && problem.isEmpty(); ++rep) {
        sh.logout();
        Stopwatch count;
        count.start();
        const double us = sh.login();
        if (us < 0)
            problem = QStringLiteral("the login did not go through");
        else if (rep >= 0) {
            login.layer.push_back(us);
            login.sent.push_back(count.sent());
        }
    }
    if (!login.layer.empty()) {
        figures.push_back(login);
        printFigure(figures.back());
    }
    // The sheet opened on an evaluation and left again.
    Figure openSheet(QStringLiteral("open_sheet"), loginLimitUs);
    for (int rep = -1; rep < openSheetReps && problem.isEmpty(); ++rep) {
        double us = 0, sent = 0;
        problem = sh.openSheet(&us, &sent);
        if (problem.isEmpty() && rep >= 0) {
            openSheet.layer.push_back(us);
            openSheet.sent.push_back(sent);
        }
        if (rep + 1 < openSheetReps)
            sh.closeSheet();
    }
    if (!openSheet.layer.empty()) {
        figures.push_back(openSheet);
        printFigure(figures.back());
    }
    if (!problem.isEmpty()) {
        say(QStringLiteral("# sheet: %1; no more sheet figures").arg(problem));
        return;
    }
    say(QStringLiteral("# sheet: evaluation %1 open, area %2 chosen, %3 phases listed")
            .arg(sh.evaluation)
            .arg(sh.area)
            .arg(sh.w->Data.Tbl_FasiVal.recordCount()));
    figures.push_back(benchAnswerClick(sh, s, facts));
    printFigure(figures.back());
    figures.push_back(benchPhaseMove(sh, s, facts));
    printFigure(figures.back());
    figures.push_back(benchAreaChange(sh, s, d, facts));
    printFigure(figures.back());

    // Start-up last: it closes the window the figures above worked in.
    Figure startup(QStringLiteral("startup"), startupLimitUs);
    for (int rep = -1; rep < startupReps; ++rep) {
        Stopwatch count;
        count.start();
        const double us = sh.restart();
        const double sent = count.sent();
        if (us < 0) {
            say(QStringLiteral("# sheet: the window did not start again"));
            break;
        }
        if (rep >= 0) {
            startup.layer.push_back(us);
            startup.sent.push_back(sent);
        }
    }
    if (!startup.layer.empty()) {
        figures.push_back(startup);
        printFigure(figures.back());
    }
}

} // namespace bench
