#include "sim/pseudoterminal.h"

#include "link/wire/portnames.h"
#include "link/wire/systemfacts.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

namespace {

QString systemError(const char *what)
{
    return QStringLiteral("%1: %2").arg(QLatin1String(what),
                                        QString::fromLocal8Bit(strerror(errno)));
}

} // namespace

bool PseudoTerminal::open(QString *error)
{
    close();
    m_master = posix_openpt(O_RDWR | O_NOCTTY);
    if (m_master < 0) {
        *error = systemError("posix_openpt");
        return false;
    }
    if (grantpt(m_master) != 0 || unlockpt(m_master) != 0) {
        *error = systemError("grantpt/unlockpt");
        close();
        return false;
    }
    const char *name = ptsname(m_master);
    if (!name) {
        *error = systemError("ptsname");
        close();
        return false;
    }
    m_slaveName = QString::fromLocal8Bit(name);
    m_slave = ::open(name, O_RDWR | O_NOCTTY);
    if (m_slave < 0) {
        *error = systemError("open slave");
        close();
        return false;
    }
    // Raw, so that no byte of a frame is translated, echoed or held for a line end.
    termios tio{};
    if (tcgetattr(m_slave, &tio) != 0) {
        *error = systemError("tcgetattr");
        close();
        return false;
    }
    cfmakeraw(&tio);
    if (tcsetattr(m_slave, TCSANOW, &tio) != 0) {
        *error = systemError("tcsetattr");
        close();
        return false;
    }
    const int flags = fcntl(m_master, F_GETFL);
    if (flags < 0 || fcntl(m_master, F_SETFL, flags | O_NONBLOCK) != 0) {
        *error = systemError("fcntl");
        close();
        return false;
    }
    return true;
}

void PseudoTerminal::close()
{
    if (m_master >= 0) {
        ::close(m_master);
        m_master = -1;
    }
    if (m_slave >= 0) {
        ::close(m_slave);
        m_slave = -1;
    }
}

int PseudoTerminal::unread() const
{
    int count = 0;
    if (m_slave < 0 || ioctl(m_slave, FIONREAD, &count) != 0) {
        return 0;
    }
    return count;
}

bool AliasLink::create(const QString &directory, const QString &name, const QString &target,
                       QString *error)
{
    remove();
    if (directory.isEmpty()) {
        *error = QStringLiteral("no runtime folder for this user (XDG_RUNTIME_DIR), so no place "
                                "for the alias %1; give the console the device instead")
                     .arg(name);
        return false;
    }
    const QByteArray dir = QFile::encodeName(directory);
    if (!QDir().mkpath(QFileInfo(directory).path())) {
        *error = QStringLiteral("cannot create %1").arg(QFileInfo(directory).path());
        return false;
    }
    // Made closed from the start: one user's aliases are nobody else's business.
    if (::mkdir(dir.constData(), 0700) != 0 && errno != EEXIST) {
        *error = systemError("mkdir");
        return false;
    }
    // The console follows an alias only from a folder of the user's own that nobody else may
    // write to; a link put anywhere else would be ignored, and the folder may be a trap.
    const FileFacts folder = systemfacts::describe(directory);
    switch (portnames::judgeFolder(folder, systemfacts::currentUser())) {
    case portnames::AliasTrust::Trusted:
        break;
    case portnames::AliasTrust::FolderNotOwned:
        *error = QStringLiteral("refusing the alias folder %1: it belongs to user %2, not to you")
                     .arg(directory)
                     .arg(folder.owner);
        return false;
    case portnames::AliasTrust::FolderOpenToOthers:
        *error = QStringLiteral("refusing the alias folder %1: other users may write to it "
                                "(chmod 700 it, or remove it)")
                     .arg(directory);
        return false;
    default:
        *error = QStringLiteral("refusing the alias folder %1: it is not a folder").arg(directory);
        return false;
    }

    const QString path = directory + u'/' + name;
    const QFileInfo existing(path);
    if (existing.exists() && !existing.isSymLink()) {
        *error = QStringLiteral("%1 exists and is not a link; leaving it alone").arg(path);
        return false;
    }
    if (existing.isSymLink() && existing.exists()) {
        // Most likely another simulated pump given the same --port: it keeps running, but
        // nobody can reach it by number any more, and once we leave the number falls back to
        // the built-in serial port. Taken over all the same, because a link left by a pump
        // that was killed may lead to a pseudo-terminal someone else has since been given.
        std::fprintf(stderr,
                     "pumpsim: %s led to %s, which is still there (another simulated pump "
                     "with the same --port?); it leads here now, and nowhere once this pump "
                     "stops. Give each simulated pump its own --port.\n",
                     qPrintable(path), qPrintable(existing.symLinkTarget()));
    }
    // Made under a temporary name and renamed over: the name is never missing or half made.
    const QByteArray temporary = QFile::encodeName(path + QStringLiteral(".%1").arg(getpid()));
    ::unlink(temporary.constData());
    if (symlink(QFile::encodeName(target).constData(), temporary.constData()) != 0) {
        *error = systemError("symlink");
        return false;
    }
    if (rename(temporary.constData(), QFile::encodeName(path).constData()) != 0) {
        *error = systemError("rename");
        ::unlink(temporary.constData());
        return false;
    }
    m_path = path;
    m_target = target;
    return true;
}

void AliasLink::remove()
{
    if (m_path.isEmpty()) {
        return;
    }
    const QByteArray path = QFile::encodeName(m_path);
    char buffer[4096];
    const ssize_t length = readlink(path.constData(), buffer, sizeof buffer - 1);
    if (length >= 0 && QFile::decodeName(QByteArray(buffer, length)) == m_target) {
        ::unlink(path.constData());
    }
    m_path.clear();
    m_target.clear();
}
