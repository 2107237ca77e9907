#pragma once

#include <QObject>
#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

class LocalServer;
class LocalSocket;

// Keeps one Corvalink per user: a later start hands its arguments to the running
// one, which answers with an exit status and a message for the later start.
class SingleInstance : public QObject {
    Q_OBJECT

public:
    struct Answer {
        int status = 0;
        QString message;
    };
    using Reply = std::function<void(const Answer&)>;
    using Handler = std::function<void(const QStringList& arguments, const Reply& reply)>;

    explicit SingleInstance(QObject* parent = nullptr);

    // True when this process is now the running instance; false when another one
    // was found and has been given the arguments. Two starts at the same moment
    // never both become the running instance.
    bool becomePrimary(const QStringList& arguments);

    // What the running instance answered, or nothing when none runs.
    static std::optional<Answer> handOver(const QStringList& arguments);

    // Called on the running instance for every hand-over; it must reply once.
    void setHandler(Handler handler) { m_handler = std::move(handler); }

    static QString socketPath();

private:
    void accept(LocalSocket* socket);

    LocalServer* m_server = nullptr;
    Handler m_handler;
};
