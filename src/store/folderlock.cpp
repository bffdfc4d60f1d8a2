#include "folderlock.h"
#include "errors.h"

#include <QAtomicInt>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QSqlError>
#include <QSqlQuery>
#include <QSysInfo>

namespace velmora::store {

const char* const FolderLock::lockFileName = "velmora.lock";
const char* const FolderLock::infoFileName = "velmora.lock.info";

namespace {

QAtomicInt s_serial;

QString userName()
{
    QString user = qEnvironmentVariable("USERNAME");
    if (user.isEmpty())
        user = qEnvironmentVariable("USER");
    return user;
}

} // namespace

FolderLock::FolderLock(const QString& folderPath)
    : m_folder(QDir::cleanPath(folderPath))
{
}

FolderLock::~FolderLock()
{
    release();
}

FolderLock::Result FolderLock::acquire(QString* message)
{
    if (m_held)
        return Result::Acquired;
    const QString shown = QDir::toNativeSeparators(m_folder);
    auto unavailable = [&](const QString& why) {
        if (message)
            *message = QStringLiteral("Impossibile riservare la cartella dati \"%1\" a questo programma: %2")
                           .arg(shown, why);
        return Result::Unavailable;
    };
    auto engineTrouble = [&](const DbError& e) {
        if (e.cause() == DbError::Cause::ReadOnly)
            return unavailable(QStringLiteral("la cartella è in sola lettura."));
        return unavailable(QStringLiteral("il file %1 non si può usare.\n%2").arg(QString::fromLatin1(lockFileName), e.message()));
    };
    if (!QFileInfo(m_folder).isDir())
        return unavailable(QStringLiteral("la cartella non esiste."));

    const QString path = QDir(m_folder).filePath(QString::fromLatin1(lockFileName));
    m_connection = QStringLiteral("velmora-lock-%1").arg(s_serial.fetchAndAddRelaxed(1));
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_connection);
    db.setDatabaseName(path);
    // Refused at once: waiting would only make the second program slower to
    // say that the folder is in use.
    db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=0"));
    if (!db.open()) {
        const DbError e = engineError(db.lastError(), path);
        db = QSqlDatabase();
        closeConnection();
        return engineTrouble(e);
    }
    QSqlQuery begin(db);
    if (!begin.exec(QStringLiteral("BEGIN IMMEDIATE"))) {
        const DbError e = engineError(begin.lastError(), path);
        begin = QSqlQuery();
        db = QSqlDatabase();
        closeConnection();
        if (e.cause() != DbError::Cause::Locked)
            return engineTrouble(e);
        if (message) {
            const QString holder = holderText();
            *message = QStringLiteral("La cartella dati \"%1\" è già in uso da un altro programma Velmora%2. "
                                      "Chiudere quel programma e riprovare: la stessa cartella dati non può essere "
                                      "usata da due programmi insieme.")
                           .arg(shown, holder.isEmpty() ? QString() : QStringLiteral(" (%1)").arg(holder));
        }
        return Result::InUse;
    }
    m_held = true;

    // Who holds the folder, for the message of a program refused later.
    QSaveFile info(QDir(m_folder).filePath(QString::fromLatin1(infoFileName)));
    if (info.open(QIODevice::WriteOnly | QIODevice::Text)) {
        const QDateTime since = m_clock ? m_clock() : QDateTime::currentDateTime();
        const QString text = QStringLiteral("computer=%1\nutente=%2\nprocesso=%3\ndal=%4\n")
                                 .arg(QSysInfo::machineHostName(), userName(),
                                      QString::number(QCoreApplication::applicationPid()),
                                      since.toString(Qt::ISODate));
        info.write(text.toUtf8());
        info.commit(); // a note that cannot be written only makes a vaguer message
    }
    return Result::Acquired;
}

void FolderLock::release()
{
    if (m_held) {
        m_held = false;
        QFile::remove(QDir(m_folder).filePath(QString::fromLatin1(infoFileName)));
        QSqlDatabase db = QSqlDatabase::database(m_connection, false);
        QSqlQuery(db).exec(QStringLiteral("ROLLBACK"));
    }
    closeConnection();
}

void FolderLock::closeConnection()
{
    if (m_connection.isEmpty())
        return;
    {
        QSqlDatabase db = QSqlDatabase::database(m_connection, false);
        db.close();
    }
    QSqlDatabase::removeDatabase(m_connection);
    m_connection.clear();
}

QString FolderLock::holderText() const
{
    QFile info(QDir(m_folder).filePath(QString::fromLatin1(infoFileName)));
    if (!info.open(QIODevice::ReadOnly | QIODevice::Text))
        return QString();
    QHash<QString, QString> fields;
    for (const QString& line : QString::fromUtf8(info.read(4096)).split(QLatin1Char('\n'))) {
        const qsizetype eq = line.indexOf(QLatin1Char('='));
        if (eq > 0)
            fields.insert(line.left(eq), line.mid(eq + 1).trimmed());
    }
    QStringList parts;
    if (!fields.value(QStringLiteral("computer")).isEmpty())
        parts << QStringLiteral("sul computer %1").arg(fields.value(QStringLiteral("computer")));
    if (!fields.value(QStringLiteral("utente")).isEmpty())
        parts << QStringLiteral("dall'utente %1").arg(fields.value(QStringLiteral("utente")));
    const QDateTime since = QDateTime::fromString(fields.value(QStringLiteral("dal")), Qt::ISODate);
    if (since.isValid())
        parts << QStringLiteral("dalle %1 del %2").arg(since.toString(QStringLiteral("HH:mm")),
                                                        since.toString(QStringLiteral("dd/MM/yyyy")));
    if (!fields.value(QStringLiteral("processo")).isEmpty())
        parts << QStringLiteral("processo %1").arg(fields.value(QStringLiteral("processo")));
    return parts.join(QStringLiteral(", "));
}

} // namespace velmora::store
