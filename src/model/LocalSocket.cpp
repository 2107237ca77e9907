#include "LocalSocket.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QSocketNotifier>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <utility>

namespace {

// A flood is read a bounded amount at a time, so the owner's size checks run in between.
constexpr int chunkBytes = 64 * 1024;
constexpr int chunksPerRead = 16;
// A peer whose queue is full is tried again for this long.
constexpr int connectTimeoutMs = 1000;

bool wouldBlock()
{
    return errno == EAGAIN || errno == EWOULDBLOCK;
}

// Waits for `events` on `fd`; false on timeout or failure.
bool waitFor(int fd, short events, const QDeadlineTimer& deadline)
{
    for (;;) {
        pollfd entry{fd, events, 0};
        const int ready = ::poll(&entry, 1, int(deadline.remainingTime()));
        if (ready >= 0 || errno != EINTR)
            return ready > 0;
    }
}

} // namespace

bool LocalSocket::addressOf(const QString& path, sockaddr_un* address)
{
    const QByteArray name = QFile::encodeName(path);
    *address = sockaddr_un{};
    address->sun_family = AF_UNIX;
    if (name.isEmpty() || size_t(name.size()) >= sizeof address->sun_path)
        return false;
    std::memcpy(address->sun_path, name.constData(), name.size());
    return true;
}

std::unique_ptr<LocalSocket> LocalSocket::connectTo(const QString& path)
{
    sockaddr_un address;
    if (!addressOf(path, &address))
        return nullptr;
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0)
        return nullptr;
    const QDeadlineTimer deadline(connectTimeoutMs);
    while (::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
        // A listener whose queue is full refuses for now, not for good.
        if (errno == EINTR || (wouldBlock() && !deadline.hasExpired())) {
            if (errno != EINTR)
                ::poll(nullptr, 0, 10);
            continue;
        }
        ::close(fd);
        return nullptr;
    }
    return std::make_unique<LocalSocket>(fd);
}

LocalSocket::LocalSocket(int fd, QObject* parent)
    : QObject(parent)
    , m_fd(fd)
{
    ::fcntl(m_fd, F_SETFL, ::fcntl(m_fd, F_GETFL) | O_NONBLOCK);
    m_readable = new QSocketNotifier(m_fd, QSocketNotifier::Read, this);
    connect(m_readable, &QSocketNotifier::activated, this, [this] {
        const qsizetype before = m_received.size();
        const bool open = readAvailable();
        if (m_received.size() > before)
            Q_EMIT readyRead();
        if (!open && m_fd >= 0)
            abort();
    });
}

LocalSocket::~LocalSocket()
{
    delete m_readable;
    delete m_writable;
    if (m_fd >= 0)
        ::close(m_fd);
}

bool LocalSocket::readAvailable()
{
    char chunk[chunkBytes];
    for (int i = 0; i < chunksPerRead;) {
        const ssize_t size = ::recv(m_fd, chunk, sizeof chunk, 0);
        if (size > 0) {
            m_received.append(chunk, size);
            ++i;
        } else if (size == 0 || errno != EINTR) {
            return size < 0 && wouldBlock();
        }
    }
    return true;
}

bool LocalSocket::writeAll(const QByteArray& bytes, int timeoutMs)
{
    if (m_fd < 0)
        return false;
    m_queued.append(bytes);
    const QDeadlineTimer deadline(timeoutMs);
    while (sendSome()) {
        if (m_queued.isEmpty())
            return true;
        if (!waitFor(m_fd, POLLOUT, deadline))
            return false;
    }
    return false;
}

bool LocalSocket::waitForReadyRead(int timeoutMs)
{
    const qsizetype before = m_received.size();
    const QDeadlineTimer deadline(timeoutMs);
    while (m_fd >= 0 && waitFor(m_fd, POLLIN, deadline)) {
        const bool open = readAvailable();
        if (m_received.size() > before)
            return true;
        if (!open)
            abort();
    }
    return false;
}

void LocalSocket::send(const QByteArray& bytes)
{
    if (m_fd < 0)
        return;
    m_queued.append(bytes);
    writeQueued();
}

void LocalSocket::disconnectFromPeer()
{
    m_closeWhenSent = true;
    if (m_queued.isEmpty())
        abort();
}

void LocalSocket::abort()
{
    if (m_fd < 0)
        return;
    m_readable->setEnabled(false);
    if (m_writable)
        m_writable->setEnabled(false);
    ::close(std::exchange(m_fd, -1));
    m_queued.clear();
    m_sent = 0;
    Q_EMIT disconnected();
}

bool LocalSocket::sendSome()
{
    while (m_sent < m_queued.size()) {
        const ssize_t size = ::send(m_fd, m_queued.constData() + m_sent, m_queued.size() - m_sent, MSG_NOSIGNAL);
        if (size > 0)
            m_sent += size;
        else if (size == 0 || errno != EINTR)
            return size < 0 && wouldBlock();
    }
    m_queued.clear();
    m_sent = 0;
    return true;
}

// What the peer does not take now waits for the socket to be writable.
void LocalSocket::writeQueued()
{
    if (!sendSome()) {
        abort();
        return;
    }
    if (m_queued.isEmpty()) {
        if (m_writable)
            m_writable->setEnabled(false);
        if (m_closeWhenSent)
            abort();
        return;
    }
    if (!m_writable) {
        m_writable = new QSocketNotifier(m_fd, QSocketNotifier::Write, this);
        connect(m_writable, &QSocketNotifier::activated, this, &LocalSocket::writeQueued);
    }
    m_writable->setEnabled(true);
}
