#include "SingleInstance.h"

#include <QDataStream>
#include <QDir>
#include <QLocalServer>
#include <QLocalSocket>
#include <QLockFile>
#include <QPointer>
#include <QStandardPaths>

#include <unistd.h>

namespace {

constexpr int connectTimeoutMs = 1000;
// Opening an account in a web window answers once its helper is up.
constexpr int answerTimeoutMs = 60000;

} // namespace

SingleInstance::SingleInstance(QObject* parent)
    : QObject(parent)
{
}

QString SingleInstance::socketPath()
{
    QString folder = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (folder.isEmpty())
        folder = QDir::tempPath();
    return folder + QStringLiteral("/corvalink-") + QString::number(getuid()) + QStringLiteral(".socket");
}

std::optional<SingleInstance::Answer> SingleInstance::handOver(const QStringList& arguments)
{
    QLocalSocket socket;
    socket.connectToServer(socketPath());
    if (!socket.waitForConnected(connectTimeoutMs))
        return std::nullopt;
    QByteArray message;
    QDataStream out(&message, QIODevice::WriteOnly);
    out << arguments;
    socket.write(message);
    socket.waitForBytesWritten(connectTimeoutMs);

    QDataStream stream(&socket);
    Answer answer;
    for (;;) {
        stream.startTransaction();
        qint32 status = 0;
        stream >> status >> answer.message;
        if (stream.commitTransaction()) {
            answer.status = status;
            return answer;
        }
        if (!socket.waitForReadyRead(answerTimeoutMs))
            return Answer{1, QStringLiteral("The running Corvalink did not answer.")};
    }
}

bool SingleInstance::becomePrimary(const QStringList& arguments)
{
    const QString path = socketPath();
    // Held from the look for a running instance until this one listens.
    QLockFile startLock(path + QStringLiteral(".lock"));
    if (!startLock.lock())
        qWarning("Corvalink: cannot lock %s.lock; another start may run at the same time", qPrintable(path));
    if (handOver(arguments))
        return false;
    // Nobody answered: whatever is left at the path is from an instance that died.
    QLocalServer::removeServer(path);
    m_server = new QLocalServer(this);
    m_server->setSocketOptions(QLocalServer::UserAccessOption);
    if (!m_server->listen(path))
        qWarning("Corvalink: cannot listen on %s: %s", qPrintable(path), qPrintable(m_server->errorString()));
    connect(m_server, &QLocalServer::newConnection, this, &SingleInstance::acceptConnection);
    return true;
}

void SingleInstance::acceptConnection()
{
    while (QLocalSocket* socket = m_server->nextPendingConnection()) {
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        connect(socket, &QLocalSocket::readyRead, this, [this, socket] {
            QDataStream stream(socket);
            stream.startTransaction();
            QStringList arguments;
            stream >> arguments;
            if (!stream.commitTransaction())
                return;
            const QPointer<QLocalSocket> asker(socket);
            const Reply reply = [asker](const Answer& answer) {
                if (!asker)
                    return;
                QByteArray bytes;
                QDataStream out(&bytes, QIODevice::WriteOnly);
                out << qint32(answer.status) << answer.message;
                asker->write(bytes);
                asker->flush();
            };
            if (m_handler)
                m_handler(arguments, reply);
            else
                reply({});
        });
    }
}
