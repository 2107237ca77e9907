#include "SingleInstance.h"

#include "FileLock.h"
#include "LocalServer.h"
#include "LocalSocket.h"
#include "Paths.h"

#include <QDataStream>
#include <QIODevice>
#include <QPointer>
#include <QTimer>

#include <unistd.h>

namespace {

constexpr int writeTimeoutMs = 1000;
// Opening an account in a web window answers once its helper is up.
constexpr int answerTimeoutMs = 60000;
// Requests are a few arguments: a peer that sends more, or takes longer to send
// a whole one, is dropped rather than kept in memory and parsed again and again.
constexpr qint64 maxRequestBytes = 1024 * 1024;
constexpr int requestTimeoutMs = 5000;
constexpr quint32 maxArguments = 64;
// An answer may list every account as a candidate.
constexpr qint64 maxAnswerBytes = 64 * 1024 * 1024;

} // namespace

SingleInstance::SingleInstance(QObject* parent)
    : QObject(parent)
{
}

QString SingleInstance::socketPath()
{
    // Only in a folder no one else can write: in a shared one another user could
    // take the name first and answer in our place.
    const QString folder = Paths::runtimeFolder();
    if (folder.isEmpty())
        return {};
    return folder + QStringLiteral("/corvalink-") + QString::number(getuid()) + QStringLiteral(".socket");
}

std::optional<SingleInstance::Answer> SingleInstance::handOver(const QStringList& arguments)
{
    if (socketPath().isEmpty())
        return std::nullopt;
    const auto socket = LocalSocket::connectTo(socketPath());
    if (!socket)
        return std::nullopt;
    QByteArray message;
    QDataStream out(&message, QIODevice::WriteOnly);
    out << arguments;
    socket->writeAll(message, writeTimeoutMs);

    Answer answer;
    for (;;) {
        QDataStream stream(socket->received());
        qint32 status = 0;
        stream >> status >> answer.message;
        if (stream.status() == QDataStream::Ok) {
            answer.status = status;
            return answer;
        }
        if (socket->received().size() > maxAnswerBytes)
            return Answer{1, QStringLiteral("The running Corvalink sent an answer too long to read.")};
        if (!socket->waitForReadyRead(answerTimeoutMs))
            return Answer{1, QStringLiteral("The running Corvalink did not answer.")};
    }
}

bool SingleInstance::becomePrimary(const QStringList& arguments)
{
    const QString path = socketPath();
    if (path.isEmpty()) {
        qWarning("Corvalink: no private runtime folder (XDG_RUNTIME_DIR, or ~/.cache/Corvalink/run): later starts "
                 "cannot reach this one");
        return true;
    }
    // Held from the look for a running instance until this one listens.
    const FileLock startLock(path, FileLock::Kind::Start);
    if (!startLock.isLocked())
        qWarning("Corvalink: cannot lock the start of %s; another start may run at the same time", qPrintable(path));
    if (handOver(arguments))
        return false;
    // Nobody answered: whatever is left at the path is from an instance that died.
    m_server = new LocalServer(this);
    if (!m_server->listen(path))
        qWarning("Corvalink: cannot listen on %s: %s", qPrintable(path), qPrintable(m_server->errorString()));
    connect(m_server, &LocalServer::newConnection, this, &SingleInstance::accept);
    return true;
}

void SingleInstance::accept(LocalSocket* socket)
{
    connect(socket, &LocalSocket::disconnected, socket, &QObject::deleteLater);
    auto* deadline = new QTimer(socket);
    deadline->setSingleShot(true);
    connect(deadline, &QTimer::timeout, socket, [socket] {
        qWarning("Corvalink: dropped a peer that sent no whole request within %d ms", requestTimeoutMs);
        socket->abort();
    });
    deadline->start(requestTimeoutMs);
    connect(socket, &LocalSocket::readyRead, this, [this, socket, deadline] {
        // A peer cannot fill our memory, nor before its request nor after it.
        if (socket->received().size() > maxRequestBytes) {
            qWarning("Corvalink: dropped a peer that sent more than %lld bytes", maxRequestBytes);
            socket->abort();
            return;
        }
        // One request per connection; what comes after it is not read.
        if (!deadline->isActive())
            return;
        QDataStream stream(socket->received());
        // Read by hand: QDataStream would reserve room for whatever count a
        // peer claims, gigabytes for four bytes.
        quint32 count = 0;
        stream >> count;
        if (stream.status() == QDataStream::Ok && count > maxArguments) {
            qWarning("Corvalink: dropped a peer that announced %u arguments", count);
            socket->abort();
            return;
        }
        QStringList arguments;
        for (quint32 i = 0; i < count && stream.status() == QDataStream::Ok; ++i) {
            QString argument;
            stream >> argument;
            arguments.append(argument);
        }
        if (stream.status() != QDataStream::Ok)
            return;
        deadline->stop();
        const QPointer<LocalSocket> asker(socket);
        const Reply reply = [asker](const Answer& answer) {
            if (!asker)
                return;
            QByteArray bytes;
            QDataStream out(&bytes, QIODevice::WriteOnly);
            out << qint32(answer.status) << answer.message;
            asker->send(bytes);
            // One answer per connection; the peer has no reason to stay.
            asker->disconnectFromPeer();
        };
        if (m_handler)
            m_handler(arguments, reply);
        else
            reply({});
    });
}
