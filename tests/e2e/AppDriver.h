#pragma once

#include <QPoint>
#include <QProcess>
#include <QProcessEnvironment>

// Runs the real corvalink executable with fake browsers first on its PATH.
class AppDriver {
public:
    explicit AppDriver(const QString& fakeBin);

    QString executable() const;
    QProcessEnvironment environment;

    // A long-running instance of the tray app.
    QProcess* start(const QStringList& arguments = {}) const;
    // A short run: waits for the exit and returns it (exit code -1 when it hung or crashed).
    struct Result {
        int exitCode = -1;
        QByteArray out;
        QByteArray err;
    };
    Result run(const QStringList& arguments, int timeoutMs = 20000) const;

    // The centres of corvalink's icons in the XEmbed tray host.
    static QList<QPoint> trayIcons();
    // Every visible window of corvalink, menus included.
    static int appWindows();
};
