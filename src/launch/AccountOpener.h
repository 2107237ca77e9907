#pragma once

#include "Account.h"

// The three steps every place that opens an account takes, in this order:
// record the opening, start the account's browser, and fall back to the in-app
// web window when no browser could be started.
namespace AccountOpener {

// Refused: the account opens nowhere (BrowserLauncher::refusal), and `why` says why.
enum class Outcome { Browser, WebWindow, Refused };

Outcome open(const Account& account, QString* why = nullptr);

} // namespace AccountOpener
