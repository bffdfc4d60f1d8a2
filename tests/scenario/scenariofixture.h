#pragma once
// A program folder for scenario tests: a data folder laid by the installer
// beside where the program would be, with direct access to its tables
// through a connection of its own, so a test can lay rows before the main
// window starts and read back what the window stored.
//
// On the server run (VELMORA_TEST_ENGINE=server, see tests/store/storefixture.h)
// the data folder holds only server.conf, whose line names a schema of the
// test server of this folder's own: the program finds its tables there as an
// installed one finds them on a nursery network's server.
#include "../store/storefixture.h"
#include "datafolder.h"
#include "installer.h"
#include "access.h"
#include "evaluations.h"
#include "mainwindow.h"
#include "nursery.h"
#include "scripteddialogs.h"
#include "scripteddialogs_qtest.h"
#include "table.h"
#include "controls.h"
#include "datanavigator.h"

#include <QAbstractButton>
#include <QDate>
#include <QDir>
#include <QGroupBox>
#include <QList>
#include <QStringList>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>
#include <QVariantMap>

// Runs a helper step and stops the test when it failed.
#define STEP(x)                                                                                                        \
    do {                                                                                                               \
        x;                                                                                                             \
        if (QTest::currentTestFailed())                                                                                \
            return;                                                                                                    \
    } while (0)

// ------------------------------------------------------------ records to lay
// The records a scenario lays before the window starts, each with the values
// most scenarios want, so that a test names only what differs:
//     p.child({.nursery = a, .cognome = "Neri", .born = QDate(2024, 6, 10)});
// A value left invalid (an invalid QVariant or QDate) is not stored: the
// field stays empty. A nursery, child or evaluation Id left at 0 is the one
// laid last through these builders (a record laid with `add` does not count).
namespace scenario {

// An educator: Anna Rossi, password "pw", responsible of her nursery.
struct Educator
{
    int nursery = 0;
    QString nome = QStringLiteral("Anna");
    QString cognome = QStringLiteral("Rossi");
    QVariant password = QStringLiteral("pw");
    QVariant responsabile = true;
};

// A child attending the nursery: "Bimbo" of no surname, no birth date.
struct Child
{
    int nursery = 0;
    QString nome = QStringLiteral("Bimbo");
    QString cognome;
    QVariant frequenza = true;
    QDate born;       // DataDiNascita
    QVariantMap more; // any other field
};

// An evaluation of 15 January 2026, the child's age and the selection mark
// not stored.
struct Evaluation
{
    int child = 0;
    QDate date = QDate(2026, 1, 15); // DataValutazione
    QVariant months;                 // MesiBimbo
    QVariant sel;
};

// One phase of an evaluation in an area (by its Id; 0: the first area), with
// its four lists of answered items ("-01-02...").
struct Phase
{
    int evaluation = 0;
    int area = 0;
    int numFase = 1;
    QString si, no, aVolte, nonSo;
};

} // namespace scenario

struct ScenarioFolder
{
    QTemporaryDir dir;

    QString schema; // on the server run: the schema of this folder's tables
    // When set, rows() reads through this folder (the window's): on a server
    // the selection marks are the program's own, seen only through its
    // connection.
    velmora::store::DataFolder* program = nullptr;

    explicit ScenarioFolder(velmora::store::Layout layout = velmora::store::Layout::Current)
    {
        using namespace velmora::store;
        if (storetest::onServer()) {
            static int serial = 0;
            schema = QStringLiteral("scena_%1_%2").arg(QCoreApplication::applicationPid()).arg(++serial);
            storetest::adminExec(QStringLiteral("CREATE SCHEMA %1").arg(quoted(schema)));
            QDir().mkpath(db());
            QFile conf(QDir(db()).filePath(serverFileName()));
            if (!conf.open(QIODevice::WriteOnly))
                qFatal("cannot write server.conf");
            conf.write(qEnvironmentVariable("VELMORA_TEST_SERVER").toUtf8()
                       + " options='-c search_path=" + schema.toUtf8() + "'\n");
            conf.close();
            const std::unique_ptr<DataFolder> folder = open();
            const QString problem = layServerTables(*folder, layout == Layout::Older ? 0 : -1);
            if (!problem.isEmpty())
                qFatal("%s", qPrintable(problem));
            return;
        }
        const QString problem = layDataFolder(db(), layout);
        if (!problem.isEmpty())
            qFatal("%s", qPrintable(problem));
    }
    ~ScenarioFolder()
    {
        if (!schema.isEmpty())
            storetest::adminExec(QStringLiteral("DROP SCHEMA %1 CASCADE").arg(velmora::store::quoted(schema)));
    }
    ScenarioFolder(const ScenarioFolder&) = delete;
    ScenarioFolder& operator=(const ScenarioFolder&) = delete;

    QString path() const { return dir.path(); }
    QString db() const { return QDir(dir.path()).filePath(QStringLiteral("db")); }
    // The path of the table file `name`.
    QString file(const QString& name) const { return QDir(db()).filePath(name); }

    // The data folder as another program opens it: its files, or its server.
    std::unique_ptr<velmora::store::DataFolder> open() const
    {
        using namespace velmora::store;
        const EngineChoice choice = chooseEngine(db(), QString(), QString());
        return choice.engine == Engine::PostgreSQL ? std::make_unique<DataFolder>(db(), choice.line)
                                                   : std::make_unique<DataFolder>(db());
    }

    // Appends one record to `file` and returns its Id.
    int add(const QString& file, const QVariantMap& values) const
    {
        const std::unique_ptr<velmora::store::DataFolder> folder = open();
        return velmora::store::appendRecord(*folder, file, values);
    }

    // ------------------------------------------------ the records of a scenario
    int nursery(const QString& name) const { return nursery(QVariantMap{{"Nome", name}}); }
    int nursery(const QVariantMap& fields) const { return last.nursery = add(QStringLiteral("AnagNido.db"), fields); }
    int educator(const scenario::Educator& e = {}) const
    {
        QVariantMap v{{"Id_Nido", e.nursery ? e.nursery : last.nursery}, {"Nome", e.nome}, {"Cognome", e.cognome}};
        stored(v, QStringLiteral("Password"), e.password);
        stored(v, QStringLiteral("Responsabile"), e.responsabile);
        return add(QStringLiteral("AnagEdu.db"), v);
    }
    int child(const scenario::Child& c = {}) const
    {
        QVariantMap v{{"Id_Nido", c.nursery ? c.nursery : last.nursery}, {"Nome", c.nome}, {"Cognome", c.cognome}};
        stored(v, QStringLiteral("Frequenza"), c.frequenza);
        if (c.born.isValid())
            v.insert(QStringLiteral("DataDiNascita"), c.born);
        v.insert(c.more);
        return last.child = add(QStringLiteral("AnagBimbi.DB"), v);
    }
    int evaluation(const scenario::Evaluation& e = {}) const
    {
        QVariantMap v{{"Id_Bimbo", e.child ? e.child : last.child}};
        if (e.date.isValid())
            v.insert(QStringLiteral("DataValutazione"), e.date);
        stored(v, QStringLiteral("MesiBimbo"), e.months);
        stored(v, QStringLiteral("Sel"), e.sel);
        last.evaluation = add(QStringLiteral("Valutaz.db"), v);
        // On a server a program's marks are its own: the mark is laid in
        // the table, as a folder brought to the server holds it.
        if (!schema.isEmpty() && e.sel.isValid() && !e.sel.isNull())
            storetest::adminExec(QStringLiteral("UPDATE %1.\"Valutaz\" SET \"Sel\" = %2 WHERE \"Id\" = %3")
                                     .arg(velmora::store::quoted(schema),
                                          e.sel.toBool() ? QStringLiteral("TRUE") : QStringLiteral("FALSE"))
                                     .arg(last.evaluation));
        return last.evaluation;
    }
    int phase(const scenario::Phase& f) const
    {
        return add(QStringLiteral("FasiVal.db"),
                   {{"Id_Valutazione", f.evaluation ? f.evaluation : last.evaluation},
                    {"Id_Area", f.area ? f.area : firstArea()}, {"NumFase", f.numFase}, {"Si", f.si}, {"No", f.no},
                    {"AVolte", f.aVolte}, {"NonSo", f.nonSo}});
    }
    int role(const QString& name) const { return add(QStringLiteral("Ruoli.db"), {{"Ruolo", name}}); }
    // The Ids of the areas, in the order of the areas table.
    QList<int> areas() const
    {
        QList<int> out;
        for (const QVariantMap& r : rows(QStringLiteral("Aree.db")))
            out << r.value(QStringLiteral("Id")).toInt();
        return out;
    }
    int firstArea() const { return areas().value(0); }

    // Every record of `file` matching `filter`, stored fields only.
    QList<QVariantMap> rows(const QString& file, const QString& filter = QString()) const
    {
        const std::unique_ptr<velmora::store::DataFolder> own = program ? nullptr : open();
        velmora::store::Table t;
        t.setDataFolder(program ? program : own.get());
        t.setTableName(file);
        if (!filter.isEmpty()) {
            t.setFilter(filter);
            t.setFiltered(true);
        }
        t.open();
        QList<QVariantMap> out;
        for (t.first(); !t.isEof(); t.next()) {
            QVariantMap r;
            for (int i = 0; i < t.storedFieldCount(); ++i)
                r.insert(t.field(i).name(), t.field(i).value());
            out << r;
        }
        t.close();
        return out;
    }
    int count(const QString& file, const QString& filter = QString()) const { return int(rows(file, filter).size()); }

private:
    // The Ids laid last, which a record to lay falls back on.
    struct Last
    {
        int nursery = 0;
        int child = 0;
        int evaluation = 0;
    };
    mutable Last last;

    static void stored(QVariantMap& v, const QString& field, const QVariant& value)
    {
        if (value.isValid())
            v.insert(field, value);
    }
};

// ------------------------------------------------------------ what a check saw
// Descriptions of the state a scenario reached, for the messages of checks
// that fail. QVERIFY2 works its message out on every check, passed or not,
// so these only read: they show no box and change no state. Those that read
// a table's records (tableAt, columnOf, notFound) serve the checks that have
// just read that table themselves, when its selection is already in memory.

namespace velmora::store {

inline QString stateText(Table::State state)
{
    switch (state) {
    case Table::State::Inactive: return QStringLiteral("Inactive");
    case Table::State::Browse: return QStringLiteral("Browse");
    case Table::State::Edit: return QStringLiteral("Edit");
    case Table::State::Insert: return QStringLiteral("Insert");
    case Table::State::CalcFields: return QStringLiteral("CalcFields");
    }
    return QString::number(int(state));
}

// Names a table object's state in the messages of QCOMPARE.
inline char* toString(Table::State state)
{
    return qstrdup(qPrintable(stateText(state)));
}

} // namespace velmora::store

// A table object without reading its rows: name, state, read-only, filter.
// "Tbl_AnagEdu: Browse, read-only, filter "Id_Nido=1" (on)".
inline QString tableState(const velmora::store::Table& t)
{
    QString s = t.objectName() + QStringLiteral(": ")
        + (t.isOpen() ? velmora::store::stateText(t.state()) : QStringLiteral("closed"));
    s += t.isReadOnly() ? QStringLiteral(", read-only") : QStringLiteral(", writable");
    if (t.controlsDisabled())
        s += QStringLiteral(", controls disabled");
    if (t.isFiltered() || !t.filter().isEmpty())
        s += QStringLiteral(", filter \"%1\" (%2)").arg(t.filter(), t.isFiltered() ? QStringLiteral("on") : QStringLiteral("off"));
    return s;
}

// tableState and the record under the cursor: its Id, its place and how many
// records the table selects.
inline QString tableAt(const velmora::store::Table& t)
{
    QString s = tableState(t);
    if (!t.isOpen())
        return s;
    const int row = t.recNo();
    if (row < 0)
        return s + QStringLiteral(", no current record of %1").arg(t.recordCount());
    const QVariant id = t.findField(QStringLiteral("Id")) >= 0 ? t.value(QStringLiteral("Id")) : QVariant();
    return s + QStringLiteral(", on Id %1 (record %2 of %3)")
                   .arg(id.isNull() ? QStringLiteral("<none>") : id.toString())
                   .arg(row + 1)
                   .arg(t.recordCount());
}

// The values of `field` in the records `t` selects, in order, read without
// moving the cursor.
inline QString columnOf(const velmora::store::Table& t, const QString& field)
{
    const int f = t.findField(field);
    if (!t.isOpen() || f < 0)
        return QStringLiteral("<none>");
    QStringList out;
    const int rows = t.rowCount();
    for (int row = 0; row < rows && row < 30; ++row)
        out << t.valueAt(row, f).toString();
    if (rows > 30)
        out << QStringLiteral("... (%1 in all)").arg(rows);
    return out.isEmpty() ? QStringLiteral("<no record>") : out.join(QStringLiteral(", "));
}

// What a locate that found nothing looked through.
inline QString notFound(const velmora::store::Table& t, const QString& field, const QVariant& value)
{
    return QStringLiteral("no record with %1 = %2 in %3; %1 of its records: %4")
        .arg(field, value.toString(), tableAt(t), columnOf(t, field));
}

// A widget's name, whether it is hidden and whether it is enabled.
inline QString widgetState(const QWidget* w)
{
    if (!w)
        return QStringLiteral("<no widget>");
    return QStringLiteral("%1: %2, %3")
        .arg(w->objectName(), w->isHidden() ? QStringLiteral("hidden") : QStringLiteral("shown"),
             w->isEnabled() ? QStringLiteral("enabled") : QStringLiteral("disabled"));
}

// A check box or radio button: widgetState and whether it is checked.
inline QString buttonState(const QAbstractButton* b)
{
    if (!b)
        return widgetState(b);
    return widgetState(b) + (b->isChecked() ? QStringLiteral(", checked") : QStringLiteral(", unchecked"));
}

// Which screen of the window is in front, which of its boxes (registries,
// evaluation sheet) are shown and whether the navigation is free.
inline QString screenState(const velmora::TFrm_Main& w)
{
    QStringList boxes;
    for (const QGroupBox* b :
         {control<QGroupBox>(&w, "GB_AnagraficaNido"), control<QGroupBox>(&w, "GB_AnagraficaEducatrici"),
          control<QGroupBox>(&w, "GB_AnagraficaBimbi"), control<QGroupBox>(&w, "GB_AnagraficaRuoli"),
          control<QGroupBox>(&w, "GB_AnagraficaAree"), control<QGroupBox>(&w, "GB_Valutazione")})
        if (b && !b->isHidden())
            boxes << b->objectName();
    return QStringLiteral("%1 in front, %2, navigation %3, nursery %4")
        .arg(w.accessPanelInFront() ? QStringLiteral("access panel") : QStringLiteral("children list"),
             boxes.isEmpty() ? QStringLiteral("no box shown")
                             : QStringLiteral("shown: ") + boxes.join(QStringLiteral(", ")),
             control<QToolButton>(&w, "Btn_LogOut") && control<QToolButton>(&w, "Btn_LogOut")->isEnabled()
                 ? QStringLiteral("free")
                 : QStringLiteral("locked"),
             w.Data.IdNidoCorrente);
}

// The boxes shown through `d` so far, oldest first.
inline QString dialogsShown(const velmora::ScriptedDialogs& d)
{
    QStringList out;
    for (const velmora::ScriptedDialogs::Shown& b : d.shown()) {
        QString one = velmora::ScriptedDialogs::kindName(b.kind) + QStringLiteral(" \"") + b.text + QLatin1Char('"');
        if (b.kind == velmora::ScriptedDialogs::Shown::Input && b.masked)
            one += QStringLiteral(" (masked)");
        out << one;
    }
    return out.isEmpty() ? QStringLiteral("no box shown") : QStringLiteral("boxes shown: ") + out.join(QStringLiteral("; "));
}

// The screen and the boxes shown so far, as after a login.
inline QString screenState(const velmora::TFrm_Main& w, const velmora::ScriptedDialogs& d)
{
    return screenState(w) + QStringLiteral("; ") + dialogsShown(d);
}

// Records read back with ScenarioFolder::rows, one "{field: value, ...}" each.
inline QString rowsText(const QList<QVariantMap>& rows)
{
    if (rows.isEmpty())
        return QStringLiteral("no record");
    QStringList out;
    for (const QVariantMap& r : rows) {
        QStringList fields;
        for (auto it = r.cbegin(); it != r.cend(); ++it)
            fields << it.key() + QStringLiteral(": ") + (it.value().isNull() ? QStringLiteral("<null>") : it.value().toString());
        out << QLatin1Char('{') + fields.join(QStringLiteral(", ")) + QLatin1Char('}');
    }
    return QStringLiteral("%1 record(s): %2").arg(rows.size()).arg(out.join(QStringLiteral("; ")));
}

// ------------------------------------------------------------------ steps

// Logs in the educator with surname `cognome` of the current nursery, whose
// password is "pw".
inline void login(velmora::TFrm_Main& w, velmora::ScriptedDialogs& d, const QString& cognome)
{
    QVERIFY2(w.Data.Tbl_AnagEdu.locate(QStringLiteral("Cognome"), cognome),
             qPrintable(notFound(w.Data.Tbl_AnagEdu, QStringLiteral("Cognome"), cognome)));
    d.expectInput(QStringLiteral("Password"), QStringLiteral("pw"), true);
    w.accessScreen().DBLookupListBox1DblClick();
    VERIFY_DIALOGS(d);
    QVERIFY2(!w.accessPanelInFront(),
             qPrintable(QStringLiteral("after logging in as %1: %2").arg(cognome, screenState(w, d))));
}

// Makes `child` current, with its evaluations listed, as choosing it in the
// children list does.
// The eleven controls the navigation lock disables while a registry or
// the sheet is open: the toolbar, the bottom buttons and two navigators.
inline QList<QWidget*> lockedControls(velmora::TFrm_Main& w)
{
    return {control<QToolButton>(&w, "Btn_Esci"),
            control<QToolButton>(&w, "Btn_LogOut"),
            control<QToolButton>(&w, "Btn_ConfrontoMultiplo"),
            control<QToolButton>(&w, "Btn_ConfrontoSingolo"),
            control<QToolButton>(&w, "ToolButton1"),
            control<QToolButton>(&w, "ToolButton3"),
            control<QToolButton>(&w, "ToolButton5"),
            control<QToolButton>(&w, "ToolButton7"),
            control<QToolButton>(&w, "ToolButton9"),
            control<velmora::DataNavigator>(&w, "DBNavigator7"),
            control<velmora::DataNavigator>(&w, "DBNavigator1")};
}

inline void chooseChild(velmora::TFrm_Main& w, int child)
{
    QVERIFY2(w.Data.Tbl_AnagBimbi.locate(QStringLiteral("Id"), child),
             qPrintable(notFound(w.Data.Tbl_AnagBimbi, QStringLiteral("Id"), child)));
    w.Data.Tbl_Valutazioni.setFiltered(false);
    w.Data.Tbl_Valutazioni.setFilter(QStringLiteral("Id_Bimbo=%1").arg(child));
    w.Data.Tbl_Valutazioni.setFiltered(true);
}

// Makes `evaluation` of `child` current in the evaluations list.
inline void chooseEvaluation(velmora::TFrm_Main& w, int child, int evaluation)
{
    STEP(chooseChild(w, child));
    QVERIFY2(w.Data.Tbl_Valutazioni.locate(QStringLiteral("Id"), evaluation),
             qPrintable(notFound(w.Data.Tbl_Valutazioni, QStringLiteral("Id"), evaluation)));
}

// Opens `evaluation` of `child` on the sheet, as "Modifica" in the
// evaluations list does; the sheet applies the first area.
inline void openSheet(velmora::TFrm_Main& w, velmora::ScriptedDialogs& d, int child, int evaluation)
{
    STEP(chooseEvaluation(w, child, evaluation));
    w.evaluationsScreen().Modifica1Click();
    VERIFY_DIALOGS(d);
    QVERIFY2(!control<QGroupBox>(&w, "GB_Valutazione")->isHidden(), qPrintable(screenState(w, d)));
}
