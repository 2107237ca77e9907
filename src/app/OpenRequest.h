#pragma once

#include "Account.h"
#include "SingleInstance.h"

#include <QString>
#include <QUrl>

#include <functional>

// "corvalink --open KEY", in whichever process carries it out: the running
// instance, or the --open run itself when none runs.
namespace OpenRequest {

// Opens the account whose id or label is KEY as the menu does, and answers
// once it is shown (status 0) or could not be (2 for a wrong key or an
// unreadable accounts file, 1 when nothing could be shown), with a message for
// the user.
// With a link, that page instead of the login URL (already checked by the caller).
using Done = std::function<void(const SingleInstance::Answer&)>;
void run(const QString& key, const QString& link, const Done& done);

// Opens the account (with the link, when given) and answers as above.
void open(const Account& account, const std::optional<QUrl>& link, const Done& done);

} // namespace OpenRequest
