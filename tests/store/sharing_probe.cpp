// A second program on the test server, for the test of two programs at
// once: it opens the children's table of the folder whose server line it is
// given and answers commands read from its standard input, one line each:
//
//   add <name>        appends a child and posts it      -> "ok <Id>"
//   begin <Id>        goes to the child and edits it    -> "ok"
//   set <name>        types the name of the child edited -> "ok"
//   post | cancel     ends the edit                     -> "ok" or "errore <message>"
//   list              the names its open table shows    -> "righe <name>,<name>,..."
//
// and, on the evaluations, as the evaluations screen and the login do:
//
//   mark <Id>         toggles the selection mark (double click) -> "ok"
//   login             clears every mark of this program, as a login does,
//                     and shows the evaluations again   -> "ok"
//   months <Id> <n>   edits the months of an evaluation and posts -> "ok" or "errore <message>"
//   evaluations       what its open evaluations show    -> "valutazioni <Id>:<months>[*],..."
//                     ('*' after a marked one)
//
// Between commands the event loop runs, so that the changes other programs
// announce reach the open table as they would in the program.

#include "datafolder.h"
#include "errors.h"
#include "serverline.h"
#include "table.h"

#include <QCoreApplication>
#include <QSocketNotifier>

#include <cstdio>
#include <unistd.h>

using namespace velmora::store;

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "uso: sharing_probe <riga del server>\n");
        return 2;
    }
    DataFolder folder(QStringLiteral("."), parseServerLine(QString::fromUtf8(argv[1])));
    Table t(QStringLiteral("AnagBimbi.DB"));
    t.setDataFolder(&folder);
    t.setTableName(QStringLiteral("AnagBimbi.DB"));
    t.open();
    Table evaluations(QStringLiteral("Valutaz.db"));
    evaluations.setDataFolder(&folder);
    evaluations.setTableName(QStringLiteral("Valutaz.db"));
    evaluations.open();

    const auto answer = [](const QString& text) {
        std::printf("%s\n", qPrintable(QString(text).replace(QLatin1Char('\n'), QLatin1Char(' '))));
        std::fflush(stdout);
    };
    const auto command = [&](const QString& line) {
        const QString verb = line.section(QLatin1Char(' '), 0, 0);
        const QString arg = line.section(QLatin1Char(' '), 1);
        try {
            if (verb == QLatin1String("add")) {
                t.append();
                t.setValue(QStringLiteral("Id_Nido"), 1);
                t.setValue(QStringLiteral("Nome"), arg);
                t.post();
                answer(QStringLiteral("ok ") + t.asString(QStringLiteral("Id")));
            } else if (verb == QLatin1String("begin")) {
                if (!t.locate(QStringLiteral("Id"), arg.toInt()))
                    return answer(QStringLiteral("errore record non trovato"));
                t.edit();
                answer(QStringLiteral("ok"));
            } else if (verb == QLatin1String("set")) {
                t.setValue(QStringLiteral("Nome"), arg);
                answer(QStringLiteral("ok"));
            } else if (verb == QLatin1String("post")) {
                t.post();
                answer(QStringLiteral("ok"));
            } else if (verb == QLatin1String("cancel")) {
                t.cancel();
                answer(QStringLiteral("ok"));
            } else if (verb == QLatin1String("list")) {
                QStringList names;
                const int field = t.findField(QStringLiteral("Nome"));
                for (int row = 0; row < t.rowCount(); ++row)
                    names << t.valueAt(row, field).toString();
                answer(QStringLiteral("righe ") + names.join(QLatin1Char(',')));
            } else if (verb == QLatin1String("mark")) {
                if (!evaluations.locate(QStringLiteral("Id"), arg.toInt()))
                    return answer(QStringLiteral("errore valutazione non trovata"));
                evaluations.edit();
                evaluations.setValue(QStringLiteral("Sel"), !evaluations.asBoolean(QStringLiteral("Sel")));
                evaluations.post();
                answer(QStringLiteral("ok"));
            } else if (verb == QLatin1String("login")) {
                // The login's statement runs on a table object that is not
                // open; the screens read the evaluations afterwards.
                Table all;
                all.setDataFolder(&folder);
                all.setTableName(QStringLiteral("Valutaz.db"));
                all.setAllUnread(QStringLiteral("Sel"), false);
                evaluations.refresh();
                answer(QStringLiteral("ok"));
            } else if (verb == QLatin1String("months")) {
                if (!evaluations.locate(QStringLiteral("Id"), arg.section(QLatin1Char(' '), 0, 0).toInt()))
                    return answer(QStringLiteral("errore valutazione non trovata"));
                evaluations.edit();
                evaluations.setValue(QStringLiteral("MesiBimbo"), arg.section(QLatin1Char(' '), 1).toInt());
                try {
                    evaluations.post();
                } catch (const DbError&) {
                    evaluations.cancel();
                    throw;
                }
                answer(QStringLiteral("ok"));
            } else if (verb == QLatin1String("evaluations")) {
                // Read as the list of evaluations reads them: row by row,
                // without moving the cursor.
                QStringList rows;
                const int id = evaluations.findField(QStringLiteral("Id"));
                const int months = evaluations.findField(QStringLiteral("MesiBimbo"));
                const int sel = evaluations.findField(QStringLiteral("Sel"));
                for (int row = 0; row < evaluations.rowCount(); ++row)
                    rows << evaluations.valueAt(row, id).toString() + QLatin1Char(':') + evaluations.valueAt(row, months).toString()
                            + (evaluations.valueAt(row, sel).toBool() ? QStringLiteral("*") : QString());
                answer(QStringLiteral("valutazioni ") + rows.join(QLatin1Char(',')));
            } else {
                answer(QStringLiteral("errore comando sconosciuto"));
            }
        } catch (const DbError& e) {
            answer(QStringLiteral("errore ") + e.message());
        }
    };

    QByteArray pending;
    QSocketNotifier input(STDIN_FILENO, QSocketNotifier::Read);
    QObject::connect(&input, &QSocketNotifier::activated, [&] {
        char buf[4096];
        const ssize_t n = ::read(STDIN_FILENO, buf, sizeof buf);
        if (n <= 0) {
            input.setEnabled(false);
            QCoreApplication::quit();
            return;
        }
        pending.append(buf, n);
        int end;
        while ((end = pending.indexOf('\n')) >= 0) {
            const QString line = QString::fromUtf8(pending.left(end)).trimmed();
            pending.remove(0, end + 1);
            if (!line.isEmpty())
                command(line);
        }
    });
    return app.exec();
}
