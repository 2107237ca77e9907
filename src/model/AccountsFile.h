#pragma once

#include "Account.h"

#include <QByteArray>
#include <QList>

#include <optional>

// The accounts.json format: a UTF-8 JSON array of account objects, keys in
// code-point order, optional keys left out when absent.
namespace AccountsFile {

QByteArray encode(const QList<Account>& accounts);

// Either every element or nothing: one bad element rejects the whole file.
// When it is rejected and `why` is given, it says what is wrong, for the user.
std::optional<QList<Account>> decode(const QByteArray& bytes, QString* why = nullptr);

} // namespace AccountsFile
