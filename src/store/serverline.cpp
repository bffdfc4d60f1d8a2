#include "serverline.h"
#include "errors.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QSqlDatabase>

namespace velmora::store {

namespace {

// The keywords libpq knows (PostgreSQL 15). A word outside the list is a
// typing mistake that the server would only report as a failed connection.
const char* const knownKeywords[] = {
    "host", "hostaddr", "port", "dbname", "user", "password", "passfile", "channel_binding",
    "connect_timeout", "client_encoding", "options", "application_name", "fallback_application_name",
    "keepalives", "keepalives_idle", "keepalives_interval", "keepalives_count", "tcp_user_timeout",
    "sslmode", "requiressl", "sslcompression", "sslcert", "sslkey", "sslpassword", "sslrootcert", "sslcrl",
    "sslcrldir", "sslsni", "requirepeer", "ssl_min_protocol_version", "ssl_max_protocol_version",
    "gssencmode", "krbsrvname", "gsslib", "service", "target_session_attrs",
};

DbError lineError(const QString& line, const QString& why)
{
    return DbError(QStringLiteral("La riga di collegamento al server \"%1\" non è valida: %2.").arg(line.left(200), why),
                   DbError::Cause::Refused);
}

// A value as libpq reads it back: in single quotes, with \ before ' and \.
QString quotedValue(const QString& value)
{
    QString v = value;
    v.replace(QLatin1Char('\\'), QLatin1String("\\\\"));
    v.replace(QLatin1Char('\''), QLatin1String("\\'"));
    return QLatin1Char('\'') + v + QLatin1Char('\'');
}

} // namespace

ServerLine parseServerLine(const QString& text)
{
    // The password never reaches a message: the line is quoted up to it.
    const QString shown = [&] {
        const int at = text.indexOf(QLatin1String("password"), 0, Qt::CaseInsensitive);
        return at < 0 ? text.trimmed() : text.left(at).trimmed() + QStringLiteral(" …");
    }();
    ServerLine line;
    const int n = int(text.size());
    int i = 0;
    auto skipSpaces = [&] {
        while (i < n && text[i].isSpace())
            ++i;
    };
    skipSpaces();
    if (i == n)
        throw lineError(shown, QStringLiteral("è vuota"));
    while (i < n) {
        const int start = i;
        while (i < n && !text[i].isSpace() && text[i] != QLatin1Char('='))
            ++i;
        const QString key = text.mid(start, i - start);
        skipSpaces();
        if (key.isEmpty() || i == n || text[i] != QLatin1Char('='))
            throw lineError(shown, key.isEmpty() ? QStringLiteral("manca una parola chiave prima di \"=\"")
                                                 : QStringLiteral("dopo \"%1\" manca \"=\"").arg(key));
        ++i;
        skipSpaces();
        QString value;
        if (i < n && text[i] == QLatin1Char('\'')) {
            ++i;
            bool closed = false;
            while (i < n) {
                const QChar c = text[i++];
                if (c == QLatin1Char('\\') && i < n) {
                    value += text[i++];
                } else if (c == QLatin1Char('\'')) {
                    closed = true;
                    break;
                } else {
                    value += c;
                }
            }
            if (!closed)
                throw lineError(shown, QStringLiteral("il valore di \"%1\" apre un apice che non chiude").arg(key));
        } else {
            while (i < n && !text[i].isSpace()) {
                if (text[i] == QLatin1Char('\\') && i + 1 < n)
                    ++i;
                value += text[i++];
            }
        }
        skipSpaces();
        const QByteArray k = key.toLatin1();
        bool known = false;
        for (const char* w : knownKeywords)
            known = known || k == w;
        if (!known || key.toLatin1() != key.toUtf8())
            throw lineError(shown, QStringLiteral("la parola chiave \"%1\" non è conosciuta").arg(key));
        if (key == QLatin1String("host")) {
            line.host = value;
        } else if (key == QLatin1String("port")) {
            bool ok = false;
            line.port = value.toInt(&ok);
            if (!ok || line.port <= 0 || line.port > 65535)
                throw lineError(shown, QStringLiteral("la porta \"%1\" non è un numero tra 1 e 65535").arg(value));
        } else if (key == QLatin1String("dbname")) {
            line.dbname = value;
        } else if (key == QLatin1String("user")) {
            line.user = value;
        } else if (key == QLatin1String("password")) {
            line.password = value;
        } else {
            // Qt joins the options with ';' and turns every ';' into a
            // space, also inside a value: such a value would arrive changed.
            if (value.contains(QLatin1Char(';')))
                throw lineError(shown, QStringLiteral("il valore di \"%1\" non può contenere \";\"").arg(key));
            line.options << key + QLatin1Char('=') + quotedValue(value);
        }
    }
    if (line.dbname.isEmpty() && line.options.filter(QRegularExpression(QStringLiteral("^service="))).isEmpty())
        throw lineError(shown, QStringLiteral("manca il nome del database (dbname=...)"));
    return line;
}

void ServerLine::apply(QSqlDatabase& db) const
{
    db.setHostName(host);
    if (port > 0)
        db.setPort(port);
    db.setDatabaseName(dbname);
    db.setUserName(user);
    db.setPassword(password);
    db.setConnectOptions(options.join(QLatin1Char(';')));
}

QString ServerLine::describe() const
{
    QString where = host.isEmpty() ? QStringLiteral("localhost") : host;
    if (port > 0)
        where += QLatin1Char(':') + QString::number(port);
    return QStringLiteral("database %1 sul server %2").arg(dbname, where);
}

QString serverFileName()
{
    return QStringLiteral("server.conf");
}

EngineChoice chooseEngine(const QString& folderPath, const QString& option, const QString& environment)
{
    EngineChoice choice;
    QString text;
    if (!option.trimmed().isEmpty()) {
        text = option;
        choice.source = QStringLiteral("l'opzione --server");
    } else if (!environment.trimmed().isEmpty()) {
        text = environment;
        choice.source = QStringLiteral("la variabile d'ambiente VELMORA_SERVER");
    } else {
        QFile f(QDir(folderPath).filePath(serverFileName()));
        if (!f.exists())
            return choice;
        if (!f.open(QIODevice::ReadOnly | QIODevice::Text))
            throw DbError(QStringLiteral("Impossibile leggere il file %1 della cartella dati: %2")
                              .arg(serverFileName(), f.errorString()),
                          DbError::Cause::CannotOpen);
        const QStringList lines = QString::fromUtf8(f.readAll()).split(QLatin1Char('\n'));
        for (const QString& l : lines) {
            if (!l.trimmed().isEmpty() && !l.trimmed().startsWith(QLatin1Char('#'))) {
                text = l;
                break;
            }
        }
        if (text.isEmpty())
            return choice;
        choice.source = QStringLiteral("il file %1 della cartella dati").arg(serverFileName());
    }
    choice.line = parseServerLine(text);
    choice.engine = Engine::PostgreSQL;
    return choice;
}

EngineChoice chooseEngine(const QString& folderPath, const QString& option)
{
    return chooseEngine(folderPath, option, qEnvironmentVariable("VELMORA_SERVER"));
}

} // namespace velmora::store
