#pragma once

#include "Account.h"

#include <QHash>
#include <QUuid>
#include <QWidget>

#include <functional>

// The in-app web window of an account, for when no browser can be started. Its
// web data belongs to that account alone and stays on disk between windows and runs.
class WebFallbackWindow : public QWidget {
    Q_OBJECT

public:
    explicit WebFallbackWindow(const Account& account);
    WebFallbackWindow() = delete;
    ~WebFallbackWindow() override;

    // Opens the account's window, or raises the one already open.
    static void show(const Account& account);

    // The windows open now, by account id. An entry exists exactly while its window does.
    static const QHash<QUuid, WebFallbackWindow*>& open();

    // Where the account's cookies, storage and cache live.
    static QString dataDir(const QUuid& id);

    // Whether the web engine module has been loaded in this process.
    static bool engineLoaded();

private:
    QUuid m_id;
};

// Deletes an account's in-app web data.
namespace WKWebsiteDataStoreHelper {

// Asynchronous: calls done once the data is gone, with an empty text, or with
// the reason it could not be deleted (a window of the account is still open, say).
void remove(const QUuid& id, std::function<void(const QString& error)> done = {});

} // namespace WKWebsiteDataStoreHelper
