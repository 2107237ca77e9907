#pragma once

#include <QObject>
#include <QString>

class LocalSocket;
class QSocketNotifier;

// Listens on a Unix-domain socket for LocalSocket peers; the path goes with the server.
class LocalServer : public QObject {
    Q_OBJECT

public:
    explicit LocalServer(QObject* parent = nullptr);
    ~LocalServer() override;

    // Takes `path` over, replacing whatever is left there: call it only once no one
    // answers at that path. The socket is the user's alone.
    bool listen(const QString& path);
    QString errorString() const { return m_error; }

Q_SIGNALS:
    // The socket is the server's child until given another parent or deleted.
    void newConnection(LocalSocket* socket);

private:
    void acceptAll();

    int m_fd = -1;
    QSocketNotifier* m_incoming = nullptr;
    QByteArray m_path;
    QString m_error;
};
