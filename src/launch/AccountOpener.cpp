#include "AccountOpener.h"

#include "BrowserLauncher.h"
#include "Settings.h"
#include "Store.h"
#include "WebFallbackWindow.h"

namespace AccountOpener {

namespace {

Outcome openWith(const Account& account, const std::optional<QUrl>& link, QString* why)
{
    // The user may have edited the preferences file by hand since the last opening.
    Settings::reread();
    if (const QString refusal = BrowserLauncher::refusal(account); !refusal.isEmpty()) {
        qWarning("Corvalink: %s is not opened: %s", qPrintable(account.idText()), qPrintable(refusal));
        if (why)
            *why = account.displayName() + QStringLiteral(" is not opened: ") + refusal + QLatin1Char('.');
        return Outcome::Refused;
    }
    Store::shared().markOpened(account);
    if (BrowserLauncher::open(account))
        return Outcome::Browser;
    if (link)
        WebFallbackWindow::showLink(account, *link);
    else
        WebFallbackWindow::show(account);
    return Outcome::WebWindow;
}

} // namespace

Outcome open(const Account& account, QString* why)
{
    return openWith(account, std::nullopt, why);
}

Outcome openLink(const Account& account, const QUrl& link, QString* why)
{
    // The browser gets the account's usual arguments with the link in the URL's place.
    Account withLink = account;
    withLink.url = link.toString(QUrl::FullyEncoded);
    return openWith(withLink, link, why);
}

} // namespace AccountOpener
