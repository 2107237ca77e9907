#pragma once

#include <QObject>
#include <QUuid>

class QProcess;

// The corvalink-web process that hosts the in-app web windows this process
// opens: started with the first window, it ends once its last window has
// closed. The windows share its web engine; each keeps a profile, a store and
// renderer processes of its own, so sessions still never mix.
class WebHelper : public QObject {
    Q_OBJECT

public:
    // How long windows may take to close (their profiles write the cookies
    // out), and then a helper to stop once asked to.
    static constexpr int closeGraceMs = 5000;
    static constexpr int stopGraceMs = 2000;

    // The helper that takes new windows, started now if none runs.
    static WebHelper* forNewWindow(const QString& program);
    // Every helper still running, one that is ending included.
    static QList<WebHelper*> all();

    // Opens a window; its arguments are corvalink-web's command-line ones.
    void openWindow(const QStringList& arguments);
    // Sends "raise", "open" (with a link) or "close" to one window.
    void send(const QByteArray& verb, const QUuid& id, const QByteArray& argument = {});
    // Ends the helper's input: its windows close and it ends.
    void closeAll();
    // Blocks until the helper has ended, stopping it if it takes too long.
    bool waitForEnd();
    // For a helper that no longer answers: every window goes with it.
    void stop();

Q_SIGNALS:
    // A window is on screen.
    void shown(const QUuid& id);
    // A window is gone and its store closed, or it could not open.
    void closed(const QUuid& id);
    // The helper has ended (or never started): none of its windows is left.
    void ended();

private:
    explicit WebHelper(const QString& program);
    void readReports();
    void windowClosed(const QUuid& id);
    void finish();

    QProcess* m_process;
    QByteArray m_pending;
    int m_windows = 0;
    bool m_inputClosed = false;
};
