#include "AccountRemoval.h"

#include "Alert.h"
#include "BrowserLauncher.h"
#include "Store.h"
#include "WebFallbackWindow.h"

namespace AccountRemoval {

bool confirmAndRemove(const Account& account, const QString& informative)
{
    const QString name = account.displayName();
    const int answer = Alert::run(
        QStringLiteral("Remove ") + name + QLatin1Char('?'), informative,
        {QStringLiteral("Remove & delete session"), QStringLiteral("Remove, keep session"), QStringLiteral("Cancel")});
    if (answer == Alert::firstButton + 1) {
        Store::shared().remove(account, false);
        return true;
    }
    if (answer != Alert::firstButton)
        return false;
    if (BrowserLauncher::accountInUse(account.id)) {
        Alert::run(QStringLiteral("Close the browser windows of ") + name + QStringLiteral(" first"),
                   QStringLiteral("Its browser is still running with this account's session and would write it back. "
                                  "Close its windows, then remove the account again."),
                   {QStringLiteral("OK")});
        return false;
    }
    Store::shared().remove(account, true);
    WKWebsiteDataStoreHelper::remove(account.id);
    return true;
}

} // namespace AccountRemoval
