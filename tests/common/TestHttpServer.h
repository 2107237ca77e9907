#pragma once

#include <QList>
#include <QPair>
#include <QTcpServer>

// A tiny HTTP server on 127.0.0.1 for login pages: /login?user=NAME sets the
// cookie session=NAME; every request is recorded with the cookies it carried.
class TestHttpServer : public QTcpServer {
    Q_OBJECT

public:
    struct Request {
        QString path;
        QString cookie;
    };

    TestHttpServer();

    QString url(const QString& path) const;
    const QList<Request>& requests() const { return m_requests; }
    // The cookie header of the last request for the path, or a null text.
    QString lastCookieFor(const QString& path) const;
    int countFor(const QString& path) const;

private:
    void serve(QTcpSocket* socket);

    QList<Request> m_requests;
};
