#include "sim/PtyLink.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

namespace {

QString systemError(const QString &what)
{
    return QStringLiteral("%1: %2").arg(what, QString::fromLocal8Bit(std::strerror(errno)));
}

} // namespace

PtyLink::~PtyLink()
{
    removeLink();
    close();
}

bool PtyLink::open(QString *error)
{
    m_master = ::posix_openpt(O_RDWR | O_NOCTTY);
    if (m_master < 0) {
        *error = systemError(QStringLiteral("posix_openpt"));
        return false;
    }
    if (::grantpt(m_master) != 0 || ::unlockpt(m_master) != 0) {
        *error = systemError(QStringLiteral("grantpt/unlockpt"));
        close();
        return false;
    }
    const char *name = ::ptsname(m_master);
    if (!name) {
        *error = systemError(QStringLiteral("ptsname"));
        close();
        return false;
    }
    m_slavePath = QFile::decodeName(name);

    m_slave = ::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (m_slave < 0) {
        *error = systemError(QStringLiteral("open %1").arg(m_slavePath));
        close();
        return false;
    }
    // Raw: no echo of what the console sends, no CR/LF translation either way.
    termios tio{};
    if (::tcgetattr(m_slave, &tio) == 0) {
        ::cfmakeraw(&tio);
        ::cfsetispeed(&tio, B9600);
        ::cfsetospeed(&tio, B9600);
        ::tcsetattr(m_slave, TCSANOW, &tio);
    }

    const int flags = ::fcntl(m_master, F_GETFL);
    ::fcntl(m_master, F_SETFL, flags | O_NONBLOCK);
    ::fcntl(m_master, F_SETFD, FD_CLOEXEC);
    return true;
}

bool PtyLink::createLink(const QString &dir, int port, QString *error)
{
    const QDir base(dir);
    if (!base.mkpath(QStringLiteral("ports"))) {
        *error = QStringLiteral("cannot create %1").arg(base.absoluteFilePath(QStringLiteral("ports")));
        return false;
    }
    const QString path = QDir::cleanPath(base.absoluteFilePath(QStringLiteral("ports/COM%1").arg(port)));
    // Made under a temporary name and renamed over the old entry, so the port is never missing in between.
    const QString temp = QStringLiteral("%1.%2.tmp").arg(path).arg(::getpid());
    const QByteArray tempName = QFile::encodeName(temp);
    ::unlink(tempName.constData());
    if (::symlink(QFile::encodeName(m_slavePath).constData(), tempName.constData()) != 0) {
        *error = systemError(QStringLiteral("symlink %1").arg(temp));
        return false;
    }
    if (::rename(tempName.constData(), QFile::encodeName(path).constData()) != 0) {
        *error = systemError(QStringLiteral("rename to %1").arg(path));
        ::unlink(tempName.constData());
        return false;
    }
    m_linkPath = path;
    return true;
}

void PtyLink::removeLink()
{
    if (m_linkPath.isEmpty())
        return;
    const QByteArray name = QFile::encodeName(m_linkPath);
    char target[4096];
    const ssize_t n = ::readlink(name.constData(), target, sizeof target - 1);
    if (n > 0 && QFile::decodeName(QByteArray(target, n)) == m_slavePath)
        ::unlink(name.constData());
    m_linkPath.clear();
}

void PtyLink::close()
{
    if (m_slave >= 0)
        ::close(m_slave);
    if (m_master >= 0)
        ::close(m_master);
    m_slave = -1;
    m_master = -1;
}
