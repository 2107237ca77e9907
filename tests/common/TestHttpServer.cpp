#include "TestHttpServer.h"

#include <QTcpSocket>
#include <QUrlQuery>

TestHttpServer::TestHttpServer()
{
    listen(QHostAddress::LocalHost);
    connect(this, &QTcpServer::newConnection, this, [this] {
        while (QTcpSocket* socket = nextPendingConnection()) {
            connect(socket, &QTcpSocket::readyRead, this, [this, socket] { serve(socket); });
            connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
        }
    });
}

QString TestHttpServer::url(const QString& path) const
{
    return QStringLiteral("http://127.0.0.1:%1%2").arg(serverPort()).arg(path);
}

QString TestHttpServer::lastCookieFor(const QString& path) const
{
    for (auto it = m_requests.crbegin(); it != m_requests.crend(); ++it) {
        if (it->path == path)
            return it->cookie.isNull() ? QStringLiteral("") : it->cookie;
    }
    return {};
}

int TestHttpServer::countFor(const QString& path) const
{
    return int(std::count_if(m_requests.cbegin(), m_requests.cend(),
                             [&](const Request& request) { return request.path == path; }));
}

void TestHttpServer::serve(QTcpSocket* socket)
{
    if (!socket->canReadLine() || !socket->peek(65536).contains("\r\n\r\n"))
        return;
    const QList<QByteArray> requestLine = socket->readLine().trimmed().split(' ');
    Request request;
    while (socket->canReadLine()) {
        const QByteArray line = socket->readLine().trimmed();
        if (line.isEmpty())
            break;
        if (line.toLower().startsWith("cookie:"))
            request.cookie = QString::fromLatin1(line.mid(7).trimmed());
    }
    const QUrl target(QString::fromLatin1(requestLine.value(1)));
    request.path = target.path();
    m_requests.append(request);

    QByteArray headers = "HTTP/1.1 200 OK\r\nContent-Type: text/html\r\nConnection: close\r\n";
    const QString user = QUrlQuery(target).queryItemValue(QStringLiteral("user"));
    if (request.path == QLatin1String("/login") && !user.isEmpty())
        headers += "Set-Cookie: session=" + user.toLatin1() + "; Max-Age=86400; Path=/\r\n";
    const QByteArray body = "<html><body>" + request.cookie.toHtmlEscaped().toUtf8() + "</body></html>";
    socket->write(headers + "Content-Length: " + QByteArray::number(body.size()) + "\r\n\r\n" + body);
    socket->disconnectFromHost();
}
