#pragma once

#include "Account.h"

#include <QUrl>

// The three steps every place that opens an account takes, in this order:
// record the opening, start the account's browser, and fall back to the in-app
// web window when no browser could be started.
namespace AccountOpener {

// Refused: the account opens nowhere (BrowserLauncher::refusal), and `why` says why.
enum class Outcome { Browser, WebWindow, Refused };

Outcome open(const Account& account, QString* why = nullptr);

// The same with a link in place of the login URL; the link passes the same guard.
Outcome openLink(const Account& account, const QUrl& link, QString* why = nullptr);

} // namespace AccountOpener
