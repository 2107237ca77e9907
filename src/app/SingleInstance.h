#pragma once

#include <QObject>
#include <QStringList>

class QLocalServer;

// Keeps one Corvalink per user: a later start hands its arguments to the running
// one and exits.
class SingleInstance : public QObject {
    Q_OBJECT

public:
    explicit SingleInstance(QObject* parent = nullptr);

    // True when this process is now the running instance; false when another one
    // was found and has been given the arguments.
    bool becomePrimary(const QStringList& arguments);

    static QString socketPath();

Q_SIGNALS:
    void argumentsReceived(const QStringList& arguments);

private:
    void acceptConnection();

    QLocalServer* m_server = nullptr;
};
