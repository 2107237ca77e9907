#pragma once

#include "Account.h"

#include <QHash>
#include <QObject>
#include <QPointer>
#include <QUrl>
#include <QUuid>

#include <functional>

class WebHelper;

// The in-app web window of an account, for when no browser can be started. Its
// web data belongs to that account alone and stays on disk between windows and
// runs. The window lives in the helper process (corvalink-web) that hosts all
// of this process's web windows, so that the tray app never loads the web
// engine; this object stands for it while it is open.
class WebFallbackWindow : public QObject {
    Q_OBJECT

public:
    explicit WebFallbackWindow(const Account& account);
    WebFallbackWindow() = delete;
    ~WebFallbackWindow() override;

    // Opens the account's window, or raises the one already open, also when
    // another Corvalink process (a "corvalink --open" run) started it; then
    // open() has no entry for it.
    static void show(const Account& account);
    // The same, with a link: a window already open loads it.
    static void showLink(const Account& account, const QUrl& link);

    // The windows open now, by account id. An entry exists from the request
    // until the helper reports the window gone (its store closed) or ends.
    static const QHash<QUuid, WebFallbackWindow*>& open();

    // Asks every window to close and waits for the helper to end, as quitting
    // the app does; a helper that does not end in time is stopped.
    static void closeAll();

    // Where the account's cookies, storage and cache live.
    static QString dataDir(const QUuid& id);
    // The web engine's own folder for the account, beside dataDir's parent.
    static QString engineDir(const QUuid& id);

    // The window's arguments for the helper (the URL only when it parses as an absolute address).
    static QStringList helperArguments(const Account& account);

    // Where the helper listens for "raise" and "close" for the account, whichever
    // process started it; empty without a private runtime folder.
    static QString controlSocket(const QUuid& id);

    // Whether the helper has said that the window is on screen.
    bool isShown() const { return m_started; }

    void raise();
    void load(const QUrl& link);
    // Asks the window to close; the helper is stopped if the window is still there a few seconds later.
    void close();

Q_SIGNALS:
    // The window is on screen.
    void shown();
    // The window is gone. `wasShown` is false when it never came up.
    void closed(bool wasShown);

private:
    static bool raiseElsewhere(const QUuid& id);
    void start(const Account& account);
    void forget(bool wasShown);

    QUuid m_id;
    QPointer<WebHelper> m_helper;
    bool m_started = false;
    bool m_closing = false;
};

// Deletes an account's in-app web data.
namespace WKWebsiteDataStoreHelper {

// Asynchronous: closes the account's window if one is open and waits until
// its store is closed, then deletes the data; calls done with an empty text, or with
// the reason the data could not be deleted.
void remove(const QUuid& id, std::function<void(const QString& error)> done = {});

} // namespace WKWebsiteDataStoreHelper
