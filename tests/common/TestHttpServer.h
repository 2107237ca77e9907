#pragma once

#include <QTcpServer>
#include <QTcpSocket>
#include <QUrlQuery>

// A tiny HTTP server on 127.0.0.1 for login pages: /login?user=NAME sets the
// cookie session=NAME; every request is recorded with the cookies it carried.
class TestHttpServer : public QTcpServer {
public:
    struct Request {
        QString path;
        QString cookie;
    };
    QList<Request> requests;

    TestHttpServer()
    {
        listen(QHostAddress::LocalHost);
        connect(this, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket* socket = nextPendingConnection()) {
                connect(socket, &QTcpSocket::readyRead, this, [this, socket] { serve(socket); });
                connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
            }
        });
    }

    QString url(const QString& path) const
    {
        return QStringLiteral("http://127.0.0.1:%1%2").arg(serverPort()).arg(path);
    }

    // The cookie header of the last request for the path ("" without one), or a null text.
    QString lastCookieFor(const QString& path) const
    {
        const auto it =
            std::find_if(requests.crbegin(), requests.crend(), [&](const Request& r) { return r.path == path; });
        return it == requests.crend() ? QString() : it->cookie.isNull() ? QStringLiteral("") : it->cookie;
    }

    int countFor(const QString& path) const
    {
        return int(std::count_if(requests.cbegin(), requests.cend(), [&](const Request& r) { return r.path == path; }));
    }

private:
    void serve(QTcpSocket* socket)
    {
        if (!socket->canReadLine() || !socket->peek(65536).contains("\r\n\r\n"))
            return;
        const QUrl target(QString::fromLatin1(socket->readLine().trimmed().split(' ').value(1)));
        Request request{target.path(), {}};
        for (QByteArray line; !(line = socket->readLine().trimmed()).isEmpty();) {
            if (line.toLower().startsWith("cookie:"))
                request.cookie = QString::fromLatin1(line.mid(7).trimmed());
        }
        requests.append(request);
        QByteArray headers = "HTTP/1.1 200 OK\r\nContent-Type: text/html\r\nConnection: close\r\n";
        const QString user = QUrlQuery(target).queryItemValue(QStringLiteral("user"));
        if (request.path == QLatin1String("/login") && !user.isEmpty())
            headers += "Set-Cookie: session=" + user.toLatin1() + "; Max-Age=86400; Path=/\r\n";
        const QByteArray body = "<html><body>" + request.cookie.toHtmlEscaped().toUtf8() + "</body></html>";
        socket->write(headers + "Content-Length: " + QByteArray::number(body.size()) + "\r\n\r\n" + body);
        socket->disconnectFromHost();
    }
};
