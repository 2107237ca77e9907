#include "LocalServer.h"

#include "LocalSocket.h"

#include <QFile>
#include <QSocketNotifier>

#include <cerrno>
#include <cstring>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace {

constexpr int backlog = 50;

} // namespace

LocalServer::LocalServer(QObject* parent)
    : QObject(parent)
{
}

LocalServer::~LocalServer()
{
    if (m_fd < 0)
        return;
    delete m_incoming;
    ::close(m_fd);
    ::unlink(m_path.constData());
}

bool LocalServer::listen(const QString& path)
{
    sockaddr_un address;
    if (!LocalSocket::addressOf(path, &address)) {
        m_error = QStringLiteral("the path is too long for a socket");
        return false;
    }
    const QByteArray name = QFile::encodeName(path);
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    ::unlink(name.constData());
    if (fd < 0 || ::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 ||
        ::chmod(name.constData(), S_IRUSR | S_IWUSR) != 0 || ::listen(fd, backlog) != 0) {
        m_error = QString::fromLocal8Bit(std::strerror(errno));
        if (fd >= 0)
            ::close(fd);
        ::unlink(name.constData());
        return false;
    }
    m_fd = fd;
    m_path = name;
    m_incoming = new QSocketNotifier(m_fd, QSocketNotifier::Read, this);
    connect(m_incoming, &QSocketNotifier::activated, this, &LocalServer::acceptAll);
    return true;
}

void LocalServer::acceptAll()
{
    for (;;) {
        const int fd = ::accept4(m_fd, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
        if (fd >= 0)
            Q_EMIT newConnection(new LocalSocket(fd, this));
        else if (errno != EINTR)
            return;
    }
}
