#pragma once

#include <QTcpServer>
#include <QTcpSocket>
#include <QUrlQuery>

// A tiny HTTP server on 127.0.0.1 for login pages: /login?user=NAME sets the
// cookie session=NAME; every request is recorded with the cookies it carried.
// /storage?user=NAME runs /cached.js (cacheable for an hour), which reports the
// page's local storage as /stored?seen=VALUE, stores NAME there, and then asks
// for /tick?user=STORED four times a second while the page lives.
class TestHttpServer : public QTcpServer {
public:
    struct Request {
        QString path;
        QString cookie;
        QString query;
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
        const Request* last = lastFor(path);
        return !last ? QString() : last->cookie.isNull() ? QStringLiteral("") : last->cookie;
    }
    QString lastQueryFor(const QString& path) const
    {
        const Request* last = lastFor(path);
        return last ? last->query : QString();
    }

    int countFor(const QString& path, const QString& query = {}) const
    {
        return int(std::count_if(requests.cbegin(), requests.cend(), [&](const Request& r) {
            return r.path == path && (query.isNull() || r.query == query);
        }));
    }

private:
    const Request* lastFor(const QString& path) const
    {
        const auto it =
            std::find_if(requests.crbegin(), requests.crend(), [&](const Request& r) { return r.path == path; });
        return it == requests.crend() ? nullptr : &*it;
    }

    void serve(QTcpSocket* socket)
    {
        if (!socket->canReadLine() || !socket->peek(65536).contains("\r\n\r\n"))
            return;
        const QUrl target(QString::fromLatin1(socket->readLine().trimmed().split(' ').value(1)));
        Request request{target.path(), {}, target.query()};
        for (QByteArray line; !(line = socket->readLine().trimmed()).isEmpty();) {
            if (line.toLower().startsWith("cookie:"))
                request.cookie = QString::fromLatin1(line.mid(7).trimmed());
        }
        requests.append(request);
        QByteArray headers = "HTTP/1.1 200 OK\r\nContent-Type: text/html\r\nConnection: close\r\n";
        const QString user = QUrlQuery(target).queryItemValue(QStringLiteral("user"));
        if (request.path == QLatin1String("/login") && !user.isEmpty())
            headers += "Set-Cookie: session=" + user.toLatin1() + "; Max-Age=86400; Path=/\r\n";
        QByteArray body = "<html><body>" + request.cookie.toHtmlEscaped().toUtf8() + "</body></html>";
        if (request.path == QLatin1String("/storage"))
            body = "<html><body><script src=\"/cached.js\"></script></body></html>";
        if (request.path == QLatin1String("/cached.js")) {
            headers = "HTTP/1.1 200 OK\r\nContent-Type: text/javascript\r\nCache-Control: max-age=3600\r\n"
                      "Connection: close\r\n";
            body = "const user = new URLSearchParams(location.search).get('user');\n"
                   "fetch('/stored?seen=' + localStorage.getItem('user'));\n"
                   "if (user) localStorage.setItem('user', user);\n"
                   "setInterval(() => fetch('/tick?user=' + localStorage.getItem('user')), 250);\n";
        }
        socket->write(headers + "Content-Length: " + QByteArray::number(body.size()) + "\r\n\r\n" + body);
        socket->disconnectFromHost();
    }
};
