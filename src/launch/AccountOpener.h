#pragma once

#include "Account.h"

// The three steps every place that opens an account takes, in this order:
// record the opening, start the account's browser, and fall back to the in-app
// web window when no browser could be started.
namespace AccountOpener {

enum class Outcome { Browser, WebWindow };

Outcome open(const Account& account);

} // namespace AccountOpener
