#pragma once
// The real main window on the offscreen platform, logged in, for the sheet
// figures (bench_sheet.cpp) and the prints (bench_reports.cpp).

#include "bench_table.h"
#include "evaluations.h"
#include "access.h"
#include "mainwindow.h"
#include "phases.h"
#include "sheet.h"
#include "prints.h"
#include "scripteddialogs.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QGroupBox>
#include <QTemporaryDir>

#include <memory>
#include <vector>

namespace bench {

// ------------------------------------------------------------------ the sheet

// Everything an action on the window leaves for the event loop (repaints,
// deferred layout) is part of what the user waits for.
void settle();

void reportDialogs(const velmora::ScriptedDialogs& dlg, const QString& when);

// The scripted dialogs, and for the prints: every print set-up is confirmed
// at once and the previewed pages are painted into a PDF file, so that a
// print is timed from the click to the moment its preview could show
// (`readyUs`) and up to the last page painted.
struct BenchDialogs : velmora::ScriptedDialogs
{
    QString pdfPath;  // prints go into this file while it is set
    Stopwatch clock;  // started by the caller at the click
    double readyUs = 0;
    int pages = 0;
    bool written = false;

    bool printSetup(const velmora::print::Document& doc) override
    {
        if (pdfPath.isEmpty())
            return ScriptedDialogs::printSetup(doc);
        readyUs = clock.us();
        return true;
    }
    void preview(const velmora::print::Document& doc) override
    {
        if (pdfPath.isEmpty())
            return ScriptedDialogs::preview(doc);
        pages = doc.pageCount();
        written = doc.writePdf(pdfPath);
    }
};

// The real window, logged in, with an existing evaluation open on the sheet.
struct Sheet
{
    QTemporaryDir programDir{QDir::temp().filePath(QStringLiteral("velmora-bench-prog-XXXXXX"))};
    BenchDialogs dlg;
    std::unique_ptr<velmora::TFrm_Main> w;
    int evaluation = 0;
    int area = 0;

    // Empty when the window is up and logged in; otherwise what went wrong.
    // `whileCopying`, when given, runs again and again while the day's copy
    // is being written, until it returns false.
    QString start(const QString& folder, const std::function<bool()>& whileCopying = {})
    {
        if (!programDir.isValid())
            return QStringLiteral("cannot create a program folder: ") + programDir.errorString();
        const QString db = programDir.filePath(QStringLiteral("db"));
        if (!QFile::link(QFileInfo(folder).absoluteFilePath(), db))
            return QStringLiteral("cannot link %1 to %2").arg(db, folder);
        QElapsedTimer t;
        t.start();
        w = std::make_unique<velmora::TFrm_Main>(programDir.path(), dlg);
        reportDialogs(dlg, QStringLiteral("at start-up"));
        if (w->shouldEnd())
            return QStringLiteral("the window ended at start-up");
        w->resize(1024, 768);
        w->show();
        settle();
        say(QStringLiteral("# sheet: window built and shown in %1 ms").arg(t.elapsed()));
        // The first start of the day copies the folder in a thread of its
        // own; the figures are taken once it is done, as on any later start.
        t.start();
        while (whileCopying && w->Start.copiaGiornalieraInCorso() && whileCopying())
            ;
        w->Start.attendiCopiaGiornaliera();
        say(QStringLiteral("# sheet: the daily copy of the folder took %1 ms more (once a day, in its own thread)")
                .arg(t.elapsed()));

        // Log in as the first educator of the current nursery.
        t.start();
        if (!w->Data.Tbl_AnagEdu.isOpen() || w->Data.Tbl_AnagEdu.isEmpty())
            return QStringLiteral("no educator in the current nursery");
        w->Data.Tbl_AnagEdu.first();
        dlg.expectInput(QStringLiteral("Password"), w->Data.Tbl_AnagEdu.asString(QStringLiteral("Password")), true);
        w->accessScreen().DBLookupListBox1DblClick();
        settle();
        reportDialogs(dlg, QStringLiteral("at login"));
        if (!dlg.done() || w->accessPanelInFront())
            return QStringLiteral("the login did not go through");
        say(QStringLiteral("# sheet: login in %1 ms").arg(t.elapsed()));
        return QString();
    }

    // Empty when the sheet is open; otherwise what went wrong.
    QString open(const QString& folder)
    {
        const QString problem = start(folder);
        if (!problem.isEmpty())
            return problem;
        double us = 0;
        return openSheet(&us);
    }

    // From the list screen, logged in: the first child with an evaluation,
    // its first evaluation opened on the sheet ("Modifica valutazione"),
    // timed from the click to the event queue empty again (`us`).
    QString openSheet(double* us, double* sent = nullptr)
    {
        velmora::store::Table& children = w->Data.Tbl_AnagBimbi;
        velmora::store::Table& evaluations = w->Data.Tbl_Valutazioni;
        bool found = false;
        for (children.first(); !children.isEof() && !children.isEmpty(); children.next()) {
            filterTo(evaluations, QStringLiteral("Id_Bimbo=") + children.asString(QStringLiteral("Id")));
            if (!evaluations.isEmpty()) {
                found = true;
                break;
            }
        }
        if (!found)
            return QStringLiteral("no child of the current nursery has an evaluation");
        evaluations.first();
        evaluation = evaluations.asInteger(QStringLiteral("Id"));

        Stopwatch t;
        t.start();
        w->evaluationsScreen().Modifica1Click();
        settle();
        *us = t.us();
        if (sent)
            *sent = t.sent();
        reportDialogs(dlg, QStringLiteral("opening the evaluation"));
        if (w->findChild<QGroupBox*>(QStringLiteral("GB_Valutazione"))->isHidden())
            return QStringLiteral("the sheet did not open");
        area = w->phasesScreen().chiaveArea().toInt();
        if (w->Data.Tbl_FasiVal.recordCount() < 2)
            return QStringLiteral("the chosen area lists fewer than two phases");
        return QString();
    }

    // "Torna all'elenco dei bambini": the summary of the "Non so" it may
    // offer is declined (the scripted dialogs' safe answer) and forgotten.
    void closeSheet()
    {
        w->evaluationSheet().SpeedButton7Click();
        settle();
        dlg.clear();
    }

    // One login through the access panel, from the double click on the
    // educator list to the list screen shown and repainted; -1 when the
    // login did not go through.
    double login()
    {
        if (!w->Data.Tbl_AnagEdu.isOpen() || w->Data.Tbl_AnagEdu.isEmpty())
            return -1;
        w->Data.Tbl_AnagEdu.first();
        dlg.expectInput(QStringLiteral("Password"), w->Data.Tbl_AnagEdu.asString(QStringLiteral("Password")), true);
        Stopwatch t;
        t.start();
        w->accessScreen().DBLookupListBox1DblClick();
        settle();
        const double us = t.us();
        reportDialogs(dlg, QStringLiteral("at login"));
        if (!dlg.done() || w->accessPanelInFront())
            return -1;
        return us;
    }

    // The window closed and built again on the same folder, from nothing to
    // the access panel shown and repainted (the day's copy is there already);
    // -1 when it did not start. Not logged in afterwards.
    double restart()
    {
        w.reset();
        settle();
        Stopwatch t;
        t.start();
        w = std::make_unique<velmora::TFrm_Main>(programDir.path(), dlg);
        if (w->shouldEnd())
            return -1;
        w->resize(1024, 768);
        w->show();
        settle();
        const double us = t.us();
        reportDialogs(dlg, QStringLiteral("at start-up"));
        return w->accessPanelInFront() ? us : -1;
    }

    void logout()
    {
        w->accessScreen().Btn_LogOutClick();
        settle();
    }
};

// Logs in and opens the sheet in the real window and times login, open_sheet,
// answer_click, phase_move, area_change and startup, each printed and added
// to `figures`.
void benchSheet(const QString& folder, Session& s, Direct& d, const FolderFacts& facts, std::vector<Figure>& figures);

} // namespace bench
