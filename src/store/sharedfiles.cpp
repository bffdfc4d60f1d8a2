#include "sharedfiles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QtGlobal>

#ifdef Q_OS_UNIX
#include <cerrno>
#include <fcntl.h>
#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>
#endif

namespace velmora::store {

#ifdef Q_OS_UNIX

namespace {

QByteArray encoded(const QString& path)
{
    return QFile::encodeName(path);
}

bool statOf(const QString& path, struct stat& st)
{
    return ::stat(encoded(path).constData(), &st) == 0;
}

QString accountName(uid_t uid)
{
    if (const passwd* pw = ::getpwuid(uid))
        return QString::fromLocal8Bit(pw->pw_name);
    return QString::number(uid);
}

QString groupName(gid_t gid)
{
    if (const group* gr = ::getgrgid(gid))
        return QString::fromLocal8Bit(gr->gr_name);
    return QString::number(gid);
}

// Whether this process has `gid` among its groups.
bool processInGroup(gid_t gid)
{
    if (::getegid() == gid)
        return true;
    const int n = ::getgroups(0, nullptr);
    if (n <= 0)
        return false;
    std::vector<gid_t> groups(static_cast<size_t>(n), 0);
    const int got = ::getgroups(n, groups.data());
    for (int i = 0; i < got; ++i)
        if (groups[size_t(i)] == gid)
            return true;
    return false;
}

// Whether the group database lists `account` as a member of `gid` (joined,
// perhaps after this login).
bool listedInGroup(gid_t gid, const QString& account)
{
    const group* gr = ::getgrgid(gid);
    if (!gr)
        return false;
    if (const passwd* pw = ::getpwnam(encoded(account).constData()); pw && pw->pw_gid == gid)
        return true;
    for (char** m = gr->gr_mem; m && *m; ++m)
        if (QString::fromLocal8Bit(*m) == account)
            return true;
    return false;
}

QString quotedPath(const QString& path)
{
    QString p = path;
    return QLatin1Char('\'') + p.replace(QLatin1Char('\''), QLatin1String("'\\''")) + QLatin1Char('\'');
}

bool shareFd(int fd, const struct stat& dir, unsigned mode)
{
    bool ok = true;
    struct stat st;
    if (::fstat(fd, &st) != 0)
        return false;
    if (st.st_gid != dir.st_gid && ::fchown(fd, uid_t(-1), dir.st_gid) != 0)
        ok = false;
    if ((st.st_mode & 07777) != mode && ::fchmod(fd, mode_t(mode)) != 0)
        ok = false;
    return ok;
}

} // namespace

unsigned sharedFileMode(const QString& folder)
{
    struct stat st;
    if (!statOf(folder, st))
        return 0600;
    unsigned mode = 0600;
    mode |= st.st_mode & 0060; // the group's read and write
    mode |= st.st_mode & 0004; // others read only
    return mode;
}

bool shareNewFile(int fd, const QString& folder)
{
    struct stat dir;
    if (!statOf(folder, dir))
        return false;
    return shareFd(fd, dir, sharedFileMode(folder));
}

bool shareNewFile(const QString& path, const QString& folder)
{
    // O_NONBLOCK: never wait on a special file; the file is only changed.
    const int fd = ::open(encoded(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return false;
    const bool ok = shareNewFile(fd, folder);
    ::close(fd);
    return ok;
}

bool shareLike(int fd, const QString& model)
{
    struct stat m;
    if (!statOf(model, m))
        return false;
    bool ok = true;
    const uid_t owner = ::geteuid() == 0 ? m.st_uid : uid_t(-1);
    if (::fchown(fd, owner, m.st_gid) != 0)
        ok = false;
    if (::fchmod(fd, m.st_mode & 0777) != 0)
        ok = false;
    return ok;
}

bool makeSharedPath(const QString& path)
{
    const QString clean = QDir::cleanPath(QDir::current().absoluteFilePath(path));
    if (QFileInfo(clean).isDir())
        return true;
    const QString parent = QFileInfo(clean).absolutePath();
    if (parent == clean || !makeSharedPath(parent))
        return false;
    if (::mkdir(encoded(clean).constData(), 0700) != 0)
        return errno == EEXIST && QFileInfo(clean).isDir();
    struct stat up;
    if (statOf(parent, up)) {
        // The group first: a change of group may drop the set-group bit.
        if (::chown(encoded(clean).constData(), uid_t(-1), up.st_gid) != 0) {
            // Not a member of the parent's group: the folder keeps this
            // account's group, which is all it can have.
        }
        ::chmod(encoded(clean).constData(), up.st_mode & 07777 & ~mode_t(S_ISUID));
    }
    return true;
}

int createSharedFile(const QString& path)
{
    const int fd = ::open(encoded(path).constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd < 0)
        return -1;
    shareNewFile(fd, QFileInfo(path).absolutePath());
    return fd;
}

QString currentAccount()
{
    return accountName(::geteuid());
}

QString ownerOf(const QString& path)
{
    struct stat st;
    return statOf(path, st) ? accountName(st.st_uid) : QString();
}

QString groupOf(const QString& path)
{
    struct stat st;
    return statOf(path, st) ? groupName(st.st_gid) : QString();
}

QString permissionText(const QString& path)
{
    struct stat st;
    if (!statOf(path, st))
        return QString();
    const char* letters = "rwxrwxrwx";
    QString out;
    for (int i = 0; i < 9; ++i)
        out += (st.st_mode & (0400 >> i)) ? QLatin1Char(letters[i]) : QLatin1Char('-');
    return out;
}

QString comeOttenereScrittura(const QString& path)
{
    const QString user = currentAccount();
    struct stat st;
    const bool known = statOf(path, st);
    const bool folder = known && S_ISDIR(st.st_mode);
    const QString what = folder ? QStringLiteral("la cartella dati") : QStringLiteral("il file %1").arg(QFileInfo(path).fileName());
    const QString group = known ? groupName(st.st_gid) : QString();
    if (!known || st.st_gid == 0 || group == QLatin1String("root"))
        return QStringLiteral("Chiedere a chi amministra il computer di concedere a questo utente (%1) la scrittura "
                              "nella cartella dati, poi riavviare il programma.")
            .arg(user);
    if (!processInGroup(st.st_gid)) {
        if (listedInGroup(st.st_gid, user))
            return QStringLiteral("L'utente %1 è già stato aggiunto al gruppo \"%2\", a cui appartiene %3, ma il "
                                  "gruppo vale solo dal prossimo accesso: uscire dal computer (o riavviarlo), "
                                  "rientrare e riavviare il programma.")
                .arg(user, group, what);
        return QStringLiteral("Chiedere a chi amministra il computer di concedere a questo utente (%1) la scrittura "
                              "nella cartella dati, poi riavviare il programma. La cartella appartiene al gruppo "
                              "\"%2\": basta aggiungere l'utente a quel gruppo (per esempio con il comando: "
                              "usermod -aG %2 %1) e rientrare nel computer.")
            .arg(user, group);
    }
    // A member of the group, but the group may not write it (a file made
    // by an older version, or copied in by hand).
    const QString mode = folder ? QStringLiteral("2770") : QStringLiteral("660");
    return QStringLiteral("L'utente %1 fa già parte del gruppo \"%2\", ma %3 appartiene all'utente %4 con i permessi "
                          "%5, che non danno al gruppo la lettura e la scrittura. Chiedere a chi amministra il computer di "
                          "eseguire il comando: chgrp %2 %6 && chmod %7 %6")
        .arg(user, group, what, accountName(st.st_uid), permissionText(path), quotedPath(path), mode);
}

#else

unsigned sharedFileMode(const QString&) { return 0644; }
bool shareNewFile(const QString&, const QString&) { return true; }
bool shareNewFile(int, const QString&) { return true; }
bool shareLike(int, const QString&) { return true; }
bool makeSharedPath(const QString& path) { return QDir().mkpath(path); }
int createSharedFile(const QString&) { return -1; }
QString currentAccount() { return qEnvironmentVariable("USERNAME", qEnvironmentVariable("USER")); }
QString ownerOf(const QString& path) { return QFileInfo(path).owner(); }
QString groupOf(const QString& path) { return QFileInfo(path).group(); }
QString permissionText(const QString&) { return QString(); }
QString comeOttenereScrittura(const QString&)
{
    return QStringLiteral("Chiedere a chi amministra il computer di concedere a questo utente (%1) la scrittura "
                          "nella cartella dati, poi riavviare il programma.")
        .arg(currentAccount());
}

#endif

} // namespace velmora::store
