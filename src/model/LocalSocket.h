#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>

#include <memory>

class QSocketNotifier;
struct sockaddr_un;

// A connected Unix-domain stream socket between Corvalink processes of one user.
// Plain POSIX on purpose: the tray app then starts without a network library.
// Short exchanges of a start block with a timeout; a running app reads and
// writes as the peer goes, through the event loop.
class LocalSocket : public QObject {
    Q_OBJECT

public:
    // Connected to whoever listens at `path`, or null when nobody does.
    static std::unique_ptr<LocalSocket> connectTo(const QString& path);

    // Fills in the address of a socket at `path`; false when the path cannot be one.
    static bool addressOf(const QString& path, sockaddr_un* address);

    // Takes over a connected descriptor.
    explicit LocalSocket(int fd, QObject* parent = nullptr);
    ~LocalSocket() override;

    // Blocking: false when the peer did not take every byte in time, or left.
    bool writeAll(const QByteArray& bytes, int timeoutMs);
    // Blocking: false when nothing more came in time, or the peer left.
    bool waitForReadyRead(int timeoutMs);

    // Queues bytes; they go as the peer takes them.
    void send(const QByteArray& bytes);
    // Ends the connection once every queued byte has gone.
    void disconnectFromPeer();
    // Ends it now, dropping what is queued.
    void abort();

    // Everything read so far.
    const QByteArray& received() const { return m_received; }
    bool isConnected() const { return m_fd >= 0; }

Q_SIGNALS:
    void readyRead();
    // Once, whichever side ended the connection.
    void disconnected();

private:
    // Reads what has arrived; false once the peer has left.
    bool readAvailable();
    // Sends what the peer takes now; false once it has left.
    bool sendSome();
    void writeQueued();

    int m_fd = -1;
    QByteArray m_received;
    QByteArray m_queued;
    qsizetype m_sent = 0;
    bool m_closeWhenSent = false;
    QSocketNotifier* m_readable = nullptr;
    QSocketNotifier* m_writable = nullptr;
};
