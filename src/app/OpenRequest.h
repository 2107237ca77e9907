#pragma once

#include "SingleInstance.h"

#include <QString>

#include <functional>

// "corvalink --open KEY", in whichever process carries it out: the running
// instance, or the --open run itself when none runs.
namespace OpenRequest {

// Opens the account whose id or label is KEY as the menu does, and answers
// once it is shown (status 0) or could not be (2 for a wrong key or an
// unreadable accounts file, 1 when nothing could be shown), with a message for
// the user.
void run(const QString& key, const std::function<void(const SingleInstance::Answer&)>& done);

} // namespace OpenRequest
