#pragma once

#include "Account.h"

#include <QHash>
#include <QObject>
#include <QUuid>

#include <functional>

class QProcess;

// The in-app web window of an account, for when no browser can be started. Its
// web data belongs to that account alone and stays on disk between windows and
// runs. The window lives in a helper process (corvalink-web), so that the tray
// app never loads the web engine; this object stands for it while it is open.
class WebFallbackWindow : public QObject {
    Q_OBJECT

public:
    explicit WebFallbackWindow(const Account& account);
    WebFallbackWindow() = delete;
    ~WebFallbackWindow() override;

    // Opens the account's window, or raises the one already open.
    static void show(const Account& account);

    // The windows open now, by account id. An entry exists exactly while its window does.
    static const QHash<QUuid, WebFallbackWindow*>& open();

    // Closes every window, as quitting the app does.
    static void closeAll();

    // Where the account's cookies, storage and cache live.
    static QString dataDir(const QUuid& id);

    // The helper's command line for the account (the URL only when it parses as an absolute address).
    static QStringList helperArguments(const Account& account);

    void raise();
    void close();

Q_SIGNALS:
    void closed();

private:
    void start(const Account& account);

    QUuid m_id;
    QProcess* m_process;
};

// Deletes an account's in-app web data.
namespace WKWebsiteDataStoreHelper {

// Asynchronous: calls done once the data is gone, with an empty text, or with
// the reason it could not be deleted (a window of the account is still open, say).
void remove(const QUuid& id, std::function<void(const QString& error)> done = {});

} // namespace WKWebsiteDataStoreHelper
