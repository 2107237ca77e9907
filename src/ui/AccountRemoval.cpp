#include "AccountRemoval.h"

#include "Alert.h"
#include "BrowserLauncher.h"
#include "LinkRules.h"
#include "Store.h"
#include "WebFallbackWindow.h"

namespace {

// The account's link rules go with it.
void removeFromStore(const Account& account, bool deleteProfile)
{
    Store::shared().remove(account, deleteProfile);
    LinkRules::shared().dropMissing(Store::shared().accounts());
}

} // namespace

namespace AccountRemoval {

bool confirmAndRemove(const Account& account, const QString& informative)
{
    const QString name = account.displayName();
    const int answer = Alert::run(
        QStringLiteral("Remove ") + name + QLatin1Char('?'), informative,
        {QStringLiteral("Remove & delete session"), QStringLiteral("Remove, keep session"), QStringLiteral("Cancel")});
    if (answer == Alert::firstButton + 1) {
        removeFromStore(account, false);
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
    removeFromStore(account, true);
    WKWebsiteDataStoreHelper::remove(account.id);
    return true;
}

} // namespace AccountRemoval
