#pragma once
// The start-up of the program, in the order it runs (Avvio::avvia): the data
// folder, its lock, the check of every file with the restore question, the
// schema steps, the day's copy, the program's state, and a first nursery.
// It holds what start-up takes for the whole run (the folder's lock, the
// daily copy being made); the data module keeps the tables and the state.
#include "datamodule.h"

#include <QString>

#include <memory>

class QThread;
class QTimer;

namespace velmora {
namespace store {
class DailyCopy;
class FolderLock;
struct FolderProblem;
} // namespace store

namespace startup {

// What the start-up asks of the window that holds the screens. The main
// window implements it; the start-up never sees the main window itself.
class Finestra
{
public:
    virtual ~Finestra() = default;
    // The access panel alone in front: the evaluation sheet's and the
    // registries' group boxes hidden.
    virtual void nascondiSchede() = 0;
    // "Nuovo nido": the new-nursery dialog, over a writable nurseries table.
    virtual void nuovoNido() = 0;
    // The access panel follows the current nursery (its educators, its
    // entry in the chooser).
    virtual void nidoScelto() = 0;
};

// How the start-up ended.
enum class Esito {
    Prosegue,         // the window shows and the program runs
    CartellaMancante, // no data folder beside the program: ends at once, status 1
    NonParte,         // the folder cannot be used (in use, damaged, not writable); told; status 1
    Fine,             // the user wanted no nursery: ends as its event loop starts, status 0
};

class Avvio
{
public:
    // `data` is kept and first used by avvia(): the main window makes this
    // object before its data module, which it may then point at.
    explicit Avvio(DataModule* data);
    ~Avvio();
    Avvio(const Avvio&) = delete;
    Avvio& operator=(const Avvio&) = delete;

    // The start-up, step by step; the window's part goes through `finestra`.
    Esito avvia(Finestra& finestra);

    // The folder's two steps, after DataModule::bind() and before any table
    // opens; either one false, after its message, means the program cannot
    // go on. riservaCartella: the folder's lock (one program per data
    // folder), or an error box saying who holds it or why this account
    // cannot take it. controllaCartella: the check of every table file
    // (every page of one marked damaged while a program ran); a damaged or
    // missing file is named to the user, who is offered to put it back from
    // the newest daily copy that holds it sound; a folder that cannot be
    // written is told at once.
    bool riservaCartella();
    bool controllaCartella();
    // On a server instead of both: the server's shared lock (several
    // programs at once, none while the administrator's tool rewrites the
    // tables), and the schema steps under the exclusive lock when the tables
    // are older, refused with a box while other programs run.
    bool riservaServer();
    // Offers the damaged or missing file of `problem` back from a daily
    // copy: the question names the copy (date and time), what is lost and
    // where the damaged file is kept; an older copy holding more of the file
    // than the newest is offered too. False when the program must end.
    bool proponiRipristino(const store::FolderProblem& problem);

    // What to do about a data folder or file this account cannot write, in
    // Italian (the group, the command).
    static QString comeScrivere(const QString& path);
    // The daily copies live in "copie" beside the data folder.
    QString cartellaCopie() const;
    // Makes the day's copy of the data, when none was made today, a slice
    // at a time while the window is idle, then checks it in a thread of its
    // own, so that neither the window nor the user's posts wait for it; a
    // failure is told in one warning and the program goes on.
    void avviaCopiaGiornaliera();
    // Finishes a copy still being written, at once.
    void attendiCopiaGiornaliera();
    // Whether the day's copy is being written now.
    bool copiaGiornalieraInCorso() const;
    // At exit, before the tables close: finishes the day's copy and lets go
    // of it. The folder's lock stays until this object goes, after the
    // tables have closed.
    void termina();

private:
    DataModule& m_data;
    std::unique_ptr<store::FolderLock> m_lock;
    std::unique_ptr<store::DailyCopy> m_copia;
    std::unique_ptr<QTimer> m_copiaTimer;
    std::unique_ptr<QThread> m_verifica;
    void verificaCopiaGiornaliera();
};

} // namespace startup
} // namespace velmora
