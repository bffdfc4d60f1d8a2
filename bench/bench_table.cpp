// The table-layer figures (area_select, answer_post, child_follow, clear_sel)
// and the peak memory workload with the child process that runs it.

#include "bench_table.h"

#include <QCoreApplication>
#include <QProcess>

namespace bench {

Figure benchAreaSelect(Session& s, Direct& d, const FolderFacts& facts)
{
    Figure f(QStringLiteral("area_select"));
    std::vector<qint64> layerTotals, directTotals;
    Stopwatch w;
    // Both sides on the same evaluation and area, one after the other, the
    // first of the two taking turns: neither finds the pages the other read
    // more often than it leaves them.
    for (int rep = -warmupReps; rep < areaSelectReps; ++rep) {
        const int r = rep < 0 ? 1000 - rep : rep;
        const int v = evaluationFor(r, facts), a = areaFor(r, facts);
        for (int side = 0; side < 2; ++side) {
            const bool layer = (side == 0) == (rep % 2 == 0);
            w.start();
            const qint64 total = layer ? s.areaSelect(v, a, nullptr) : d.areaSelect(v, a);
            const double us = w.us();
            const double sent = w.sent();
            if (rep < 0)
                continue;
            (layer ? f.layer : f.direct).push_back(us);
            if (layer)
                f.sent.push_back(sent);
            (layer ? layerTotals : directTotals).push_back(total);
        }
    }
    int differ = 0;
    for (size_t i = 0; i < layerTotals.size(); ++i)
        differ += layerTotals[i] != directTotals[i];
    if (differ)
        say(QStringLiteral("#   area_select: WARNING %1 area totals differ between the layer and direct SQL").arg(differ));
    else
        say(QStringLiteral("#   area_select: all %1 area totals agree (e.g. %2)").arg(layerTotals.size()).arg(num(layerTotals[0] / 100.0, 2)));
    return f;
}

Figure benchAnswerPost(Session& s, Direct& d, const FolderFacts& facts)
{
    Figure f(QStringLiteral("answer_post"));
    Stopwatch w;
    int unchanged = 0, outOfStep = 0;
    for (int rep = -warmupReps; rep < answerPostReps; ++rep) {
        const int r = rep < 0 ? 2000 - rep : rep;
        const int v = evaluationFor(r, facts), a = areaFor(r, facts);
        const scoring::AnswerLists lists = s.prepareAnswer(r, v, a);
        const qint64 stored = d.areaSelect(v, a);
        w.start();
        const qint64 total = s.answerPost(lists);
        const double us = w.us();
        if (rep >= 0)
            f.sent.push_back(w.sent());
        // The new total must be what plain SQL now reads from the file.
        outOfStep += total != d.areaSelect(v, a);
        unchanged += total == stored;
        if (rep >= 0)
            f.layer.push_back(us);
    }
    for (int rep = -warmupReps; rep < answerPostReps; ++rep) {
        const int r = rep < 0 ? 2000 - rep : rep;
        const int v = evaluationFor(r, facts), a = areaFor(r, facts);
        const Direct::PendingAnswer p = d.prepareAnswer(r, v, a);
        w.start();
        (void)d.answerPost(p, v, a);
        const double us = w.us();
        if (rep >= 0)
            f.direct.push_back(us);
    }
    // A flipped answer does not always move the total (e.g. "Non so" to
    // "Non esiste"); a total that disagrees with the file is what matters.
    say(QStringLiteral("#   answer_post: %1 posts; %2 totals out of step with the file%3; %4 left the total unchanged")
            .arg(answerPostReps + warmupReps)
            .arg(outOfStep)
            .arg(outOfStep ? QStringLiteral(" (WARNING)") : QString())
            .arg(unchanged));
    return f;
}

Figure benchChildFollow(Session& s, Direct& d, const FolderFacts& facts)
{
    Figure f(QStringLiteral("child_follow"));
    const int nursery = nurseryFor(facts);
    s.followChildren(nursery);
    const std::vector<int> ids = d.childrenOf(nursery);
    Stopwatch w;
    for (int rep = -warmupReps; rep < childFollowReps; ++rep) {
        w.start();
        s.nextChild();
        const double us = w.us();
        if (rep >= 0) {
            f.layer.push_back(us);
            f.sent.push_back(w.sent());
        }
    }
    const int listed = s.children.recordCount();
    s.stopFollowing();
    size_t pos = 0;
    for (int rep = -warmupReps; rep < childFollowReps; ++rep) {
        pos = (pos + 1) % std::max<size_t>(1, ids.size());
        w.start();
        (void)d.followChild(ids.empty() ? 0 : ids[pos]);
        const double us = w.us();
        if (rep >= 0)
            f.direct.push_back(us);
    }
    say(QStringLiteral("#   child_follow: nursery %1, %2 children listed by the layer, %3 by direct SQL")
            .arg(nursery).arg(listed).arg(ids.size()));
    return f;
}

Figure benchClearSel(Session& s, Direct& d, const FolderFacts& facts)
{
    Figure f(QStringLiteral("clear_sel"), clearSelLimitUs);
    Stopwatch w;
    int left = 0;
    // The two sides take turns on the same marks, so that a busy moment of
    // the disk falls on both alike.
    for (int rep = 0; rep < clearSelReps; ++rep)
        for (int side = 0; side < 2; ++side) {
            const bool layer = (side == 0) == (rep % 2 == 0);
            d.markSome(rep, facts.evaluations);
            w.start();
            if (layer)
                s.clearSelection();
            else
                d.clearSelection();
            (layer ? f.layer : f.direct).push_back(w.us());
            if (layer)
                f.sent.push_back(w.sent());
            // On a server a program's marks are its own, not the column
            // another connection set: only the engine's clear empties it.
            if (layer && !d.server())
                left += d.selected() != 0;
        }
    if (left)
        say(QStringLiteral("#   clear_sel: WARNING %1 clears through the layer left marks behind").arg(left));
    return f;
}

// ------------------------------------------------------------------ memory

int runWorkload(const QString& path, const FolderFacts& facts)
{
    try {
        Session s(path);
        s.login();
        // The phases were opened with no filter; from now on they are filtered.
        filterTo(s.phases, QStringLiteral("Id_Valutazione=%1").arg(evaluationFor(0, facts)));
        for (int rep = 0; rep < areaSelectReps; ++rep)
            s.areaSelect(evaluationFor(rep, facts), areaFor(rep, facts), nullptr);
        for (int rep = 0; rep < memoryAnswerPostReps; ++rep) {
            const int v = evaluationFor(rep, facts), a = areaFor(rep, facts);
            s.answerPost(s.prepareAnswer(rep, v, a));
        }
        s.followChildren(nurseryFor(facts));
        for (int rep = 0; rep < childFollowReps; ++rep)
            s.nextChild();
        s.stopFollowing();
    } catch (const DbError& e) {
        QTextStream(stderr) << "workload: " << e.message() << '\n';
        return 1;
    }
    out() << "vmhwm_kb=" << peakRssKb() << Qt::endl;
    return 0;
}

qint64 measureInChild(const QString& path, const FolderFacts& facts)
{
    QProcess p;
    p.setProcessChannelMode(QProcess::SeparateChannels);
    p.start(QCoreApplication::applicationFilePath(),
            {QString::fromLatin1(workloadArg), path, QString::number(facts.evaluations), QString::number(facts.areas),
             QString::number(facts.nurseries)});
    if (!p.waitForFinished(300000)) {
        p.kill();
        p.waitForFinished();
        say(QStringLiteral("#   memory workload on %1 did not finish").arg(path));
        return 0;
    }
    const QString text = QString::fromLocal8Bit(p.readAllStandardOutput());
    const QString err = QString::fromLocal8Bit(p.readAllStandardError()).trimmed();
    if (!err.isEmpty())
        say(QStringLiteral("#   memory workload: %1").arg(err));
    for (const QString& line : text.split(QLatin1Char('\n')))
        if (line.startsWith(QLatin1String("vmhwm_kb=")))
            return line.mid(9).toLongLong();
    say(QStringLiteral("#   memory workload on %1 gave no figure (exit %2)").arg(path).arg(p.exitCode()));
    return 0;
}

} // namespace bench
