#pragma once

#include "Account.h"

#include <QString>

// Removing an account, as the status menu and the Accounts tab offer it.
namespace AccountRemoval {

// Asks with the three answers; "Remove & delete session" also deletes the
// account's browser profile and in-app web data (closing its web window first).
// While the account's browser still runs on its profile, that answer removes
// nothing and tells the user to close the browser's windows first. Returns
// whether the account was removed.
bool confirmAndRemove(const Account& account, const QString& informative);

} // namespace AccountRemoval
