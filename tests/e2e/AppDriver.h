#pragma once

#include <QPoint>
#include <QProcess>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>

// Runs the real corvalink executable and drives it as a person would, with
// xdotool on the test's X server.
class AppDriver {
public:
    // fakeBin goes first on the app's PATH, so its fake browsers are found.
    explicit AppDriver(const QString& fakeBin);

    QString executable() const;
    QProcessEnvironment environment() const { return m_environment; }
    // For every process started from now on.
    void setEnvironment(const QProcessEnvironment& environment) { m_environment = environment; }

    // A long-running instance of the tray app.
    QProcess* start(const QStringList& arguments = {});
    // A short run: waits for the exit and returns it.
    struct Result {
        int exitCode = -1;
        QByteArray out;
        QByteArray err;
    };
    Result run(const QStringList& arguments, int timeoutMs = 20000) const;

    // The tray icons of corvalink that the tray host holds now.
    QList<QPoint> trayIcons() const;
    // Visible top-level windows of corvalink named like that.
    int visibleWindows(const QString& name) const;
    // Every visible window of corvalink, menus included.
    int visibleAppWindows() const;

    static void xdotool(const QStringList& arguments);

private:
    QProcessEnvironment m_environment;
    QList<QProcess*> m_processes;
};
