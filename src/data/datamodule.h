#pragma once
// The data module: the nine table objects of the program and the state every
// screen shares. It sits below the screens: a screen or a print is given the
// data module, never the main window.
#include "datafolder.h"
#include "errors.h"
#include "foldercheck.h"
#include "table.h"

#include <QDateTime>
#include <QRandomGenerator>
#include <QString>

#include <functional>
#include <memory>
#include <type_traits>
#include <utility>

namespace velmora {

class Dialogs;

// What the screens ask of the window that holds them. The main window
// implements it; a screen never sees the main window itself.
class Shell
{
public:
    virtual ~Shell() = default;
    // Enables or disables, in this order, the exit, logout and report
    // buttons, the five toolbar buttons and the navigators of the children
    // and evaluation lists: the navigation lock while a registry or the
    // evaluation sheet is in front. Nothing else changes.
    virtual void AbilitaNavigazione(bool enabled) = 0;
    // False while a registry or the evaluation sheet holds the lock.
    virtual bool navigazioneAbilitata() const = 0;
    // Brings the access panel or the list screen to the front.
    virtual void mostraAccesso() = 0;
    virtual void mostraElenco() = 0;
    // The registries toolbar Tb_Setup, shown to a responsible educator only.
    virtual void mostraSetup(bool visible) = 0;
    virtual bool setupVisibile() const = 0;
    // Writes the version text into the status bar.
    virtual void mostraVersione() = 0;
};

class DataModule
{
public:
    explicit DataModule(Dialogs& dialogs);
    ~DataModule();
    DataModule(const DataModule&) = delete;
    DataModule& operator=(const DataModule&) = delete;

    // Every box of the program goes through here.
    Dialogs& dialogs;
    // The window holding the screens; set by the main window before any
    // screen runs a handler.
    Shell* shell = nullptr;

    // The data folder: the program's folder followed by "db" and a separator.
    QString PercorsoDb;
    // The connection line of a server given on the command line (--server);
    // empty unless given. Without it the environment variable VELMORA_SERVER
    // or the folder's server.conf may name a server; none of them: SQLite.
    QString RigaServer;
    // Id of the current nursery as text; "0" when none.
    QString IdNidoCorrente = QStringLiteral("0");
    // True while the nursery registry is open: moving through the nurseries
    // there does not make the access panel follow them (its educators list
    // follows the nursery chosen, and this registry only edits them).
    bool registroNidiAperto = false;
    // Attendance suffix of the children filter: attendingOnly or empty.
    QString FiltroFrequenza;
    static const QString attendingOnly;

    // The one random source of the program (colours of surplus chart
    // series), seeded from the clock at start-up.
    QRandomGenerator Random;
    // "The present moment": the one clock of the program, replaced in tests.
    std::function<QDateTime()> Now = [] { return QDateTime::currentDateTime(); };

    // Table objects and the copy cursor. The lookups of the staff and phases
    // tables are defined here; the screens that own the other reactions
    // (calculated fields, defaults, follow-ups) attach them.
    store::Table Tbl_AnagNido{QStringLiteral("Tbl_AnagNido")};
    store::Table Tbl_AnagEdu{QStringLiteral("Tbl_AnagEdu")};
    store::Table Tbl_AnagBimbi{QStringLiteral("Tbl_AnagBimbi")};
    store::Table Tbl_Valutazioni{QStringLiteral("Tbl_Valutazioni")};
    store::Table Tbl_Ruoli{QStringLiteral("Tbl_Ruoli")};
    store::Table Tbl_Aree{QStringLiteral("Tbl_Aree")};
    store::Table Tbl_Personale{QStringLiteral("Tbl_Personale")};
    store::Table Tbl_FasiVal{QStringLiteral("Tbl_FasiVal")};
    store::Table Tbl_App{QStringLiteral("Tbl_App")};

    // Binds the eight tables to the data folder at PercorsoDb, or to the
    // server its line names (store::chooseEngine). False, with nothing bound,
    // when the folder or its children table is missing; a line that cannot
    // be read or a server that cannot be reached is said in a box first.
    bool bind();
    store::DataFolder* folder() const { return m_folder.get(); }

    // Marks a table file found damaged while the program runs, for the full
    // check and the restore question at the next start.
    void segnaDanneggiato(const QString& fileName);

    // Reopens a table read-only or writable, keeping filter, index and Tag.
    static void ImpostaSolaLettura(store::Table& table, bool readOnly);
    // Filters the children by the current nursery and FiltroFrequenza.
    void ApplicaFiltroBimbi();
    // The navigation lock of the window holding the screens.
    void AbilitaNavigazione(bool enabled);

    // Clears the selection mark of every evaluation of every nursery, through
    // the copy cursor.
    void AzzeraSelezioni();

    // Sets a filter in its three steps: off, text, on.
    static void impostaFiltro(store::Table& table, const QString& filter);
    // A text read as a whole number, 0 when it is not one.
    static int wholeNumber(const QString& text);

    // Runs a handler; an engine error reaches the user as its message, and a
    // silently cancelled operation simply ends.
    template <typename F> void guarded(F&& f);

    // Connects a user event of a screen (a button's click, a menu item, a
    // list's double click or Return...) to its handler, run inside
    // `guarded`. `handler` is a member function of `receiver` or a function
    // object; it takes the signal's arguments or none. The screens connect
    // every event that runs a handler through here, so that none can run
    // unguarded; the connection ends with `receiver`, as Qt's own does.
    template <typename Sender, typename Signal, typename Receiver, typename Handler>
    QMetaObject::Connection onEvent(Sender* sender, Signal signal, Receiver* receiver, Handler handler);

private:
    std::unique_ptr<store::DataFolder> m_folder;
    void showError(const QString& message);
    // An engine error told to the user; a damaged file is marked first.
    void erroreMotore(const store::DbError& e);
};

template <typename F>
void DataModule::guarded(F&& f)
{
    try {
        f();
    } catch (const store::Abort&) {
    } catch (const store::DbError& e) {
        erroreMotore(e);
    }
}

template <typename Sender, typename Signal, typename Receiver, typename Handler>
QMetaObject::Connection DataModule::onEvent(Sender* sender, Signal signal, Receiver* receiver, Handler handler)
{
    return QObject::connect(sender, signal, receiver, [this, receiver, handler](auto... args) {
        guarded([&] {
            if constexpr (std::is_member_function_pointer_v<Handler>) {
                if constexpr (std::is_invocable_v<Handler, Receiver*, decltype(args)...>)
                    std::invoke(handler, receiver, args...);
                else
                    std::invoke(handler, receiver);
            } else {
                if constexpr (std::is_invocable_v<const Handler&, decltype(args)...>)
                    std::invoke(handler, args...);
                else
                    std::invoke(handler);
            }
        });
    });
}

} // namespace velmora
