#pragma once

#include <QProcess>

// A D-Bus session bus of the test's own, for tray hosts and portals that the
// test plays or starts. Its address is put into the environment, so this
// process and every child started afterwards use it.
class PrivateSessionBus {
public:
    PrivateSessionBus();
    ~PrivateSessionBus();

    bool isRunning() const { return m_daemon.state() == QProcess::Running; }

private:
    QProcess m_daemon;
};
