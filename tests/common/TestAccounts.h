#pragma once

#include "Account.h"

#include <QList>
#include <QStringList>

// Account records for tests, and what tests compare them by.
namespace TestAccounts {

inline Account make(const QString& label, const QString& site = QStringLiteral("Site"),
                    const QString& url = QStringLiteral("https://example.org/login"))
{
    Account account;
    account.siteName = site;
    account.url = url;
    account.label = label;
    return account;
}

inline QStringList labels(const QList<Account>& accounts)
{
    QStringList result;
    for (const Account& account : accounts)
        result << account.label;
    return result;
}

} // namespace TestAccounts
