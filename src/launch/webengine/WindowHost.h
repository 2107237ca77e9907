#pragma once

#include <QHash>
#include <QObject>
#include <QPointer>

#include <memory>

class QLocalServer;
class QLockFile;
class WebWindow;

// Every web window of one helper process, by profile name (the account's id).
// Windows share the web engine; each has a profile, a store and a lock of its
// own. It reports on standard output: "shown ID" once a window is on screen,
// "closed ID" once its profile is gone and its store closed, "refused ID" when
// another process holds that store. It quits when no window is left.
class WindowHost : public QObject {
    Q_OBJECT

public:
    struct Request {
        QString profile;
        QString storage;
        QString title;
        QString url;
        QString control;
    };

    // Reads a window's "--name=value" arguments; false without a profile or store.
    static bool parse(const QStringList& arguments, Request* request);

    // Opens the window, or raises the one already open for the profile.
    void open(const Request& request);
    // Acts on the tray's line "window ARGS…", "raise ID", "open ID URL" or "close ID".
    void handleLine(const QByteArray& line);
    // Closes every window, as when the tray's side of standard input ends.
    void closeAll();
    bool isEmpty() const { return m_windows.isEmpty() && m_closing == 0; }

private:
    struct Entry {
        QPointer<WebWindow> window;
        std::unique_ptr<QLockFile> lock;
        QPointer<QLocalServer> control;
        QString storage;
    };

    void listenOnControlSocket(Entry& entry, const QString& path);
    void windowGone(const QString& profile);
    void finishClosing(const QString& profile, const std::shared_ptr<Entry>& entry, int attemptsLeft);
    static void report(const char* what, const QString& profile);
    void quitWhenEmpty();

    QHash<QString, std::shared_ptr<Entry>> m_windows;
    int m_closing = 0;
};
