#include "AccountOpener.h"

#include "BrowserLauncher.h"
#include "Settings.h"
#include "Store.h"
#include "WebFallbackWindow.h"

namespace AccountOpener {

Outcome open(const Account& account, QString* why)
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
    WebFallbackWindow::show(account);
    return Outcome::WebWindow;
}

} // namespace AccountOpener
