#pragma once
// A program folder for scenario tests: a data folder laid by the installer
// beside where the program would be, with direct access to its tables
// through a connection of its own, so a test can lay rows before the main
// window starts and read back what the window stored.
#include "datafolder.h"
#include "installer.h"
#include "access.h"
#include "mainwindow.h"
#include "nursery.h"
#include "scripteddialogs.h"
#include "scripteddialogs_qtest.h"
#include "table.h"

#include <QDir>
#include <QList>
#include <QTemporaryDir>
#include <QTest>
#include <QVariantMap>

struct ScenarioFolder
{
    QTemporaryDir dir;

    explicit ScenarioFolder(velmora::store::Layout layout = velmora::store::Layout::Current)
    {
        const QString problem = velmora::store::layDataFolder(db(), layout);
        if (!problem.isEmpty())
            qFatal("%s", qPrintable(problem));
    }
    QString path() const { return dir.path(); }
    QString db() const { return QDir(dir.path()).filePath(QStringLiteral("db")); }

    // Appends one record to `file` and returns its Id.
    int add(const QString& file, const QVariantMap& values) const
    {
        velmora::store::DataFolder folder(db());
        return velmora::store::appendRecord(folder, file, values);
    }
    int nursery(const QString& name) const { return add(QStringLiteral("AnagNido.db"), {{"Nome", name}}); }

    // Every record of `file` matching `filter`, stored fields only.
    QList<QVariantMap> rows(const QString& file, const QString& filter = QString()) const
    {
        velmora::store::DataFolder folder(db());
        velmora::store::Table t;
        t.setDataFolder(&folder);
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
};

// Logs in the educator with surname `cognome` of the current nursery, whose
// password is "pw".
inline void login(velmora::TFrm_Main& w, velmora::ScriptedDialogs& d, const QString& cognome)
{
    QVERIFY(w.Data.Tbl_AnagEdu.locate(QStringLiteral("Cognome"), cognome));
    d.expectInput(QStringLiteral("Password"), QStringLiteral("pw"), true);
    w.Access->DBLookupListBox1DblClick();
    VERIFY_DIALOGS(d);
    QVERIFY(!w.accessPanelInFront());
}

// Makes `child` current, with its evaluations listed, as choosing it in the
// children list does.
inline void chooseChild(velmora::TFrm_Main& w, int child)
{
    QVERIFY(w.Data.Tbl_AnagBimbi.locate(QStringLiteral("Id"), child));
    w.Data.Tbl_Valutazioni.setFiltered(false);
    w.Data.Tbl_Valutazioni.setFilter(QStringLiteral("Id_Bimbo=%1").arg(child));
    w.Data.Tbl_Valutazioni.setFiltered(true);
}
