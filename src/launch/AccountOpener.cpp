#include "AccountOpener.h"

#include "BrowserLauncher.h"
#include "Store.h"
#include "WebFallbackWindow.h"

namespace AccountOpener {

Outcome open(const Account& account)
{
    Store::shared().markOpened(account);
    if (BrowserLauncher::open(account))
        return Outcome::Browser;
    WebFallbackWindow::show(account);
    return Outcome::WebWindow;
}

} // namespace AccountOpener
