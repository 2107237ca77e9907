#include "PlatformTexts.h"

#include "Paths.h"

namespace PlatformTexts {

#ifdef Q_OS_MACOS
QString removeHint()
{
    return QStringLiteral("Hold \u2325 on an account to remove it");
}
QString shortcutSubtitle(HotKeyBackend::Kind, const QString&, bool)
{
    return QStringLiteral("\u2303\u2325S opens the account menu from anywhere");
}
QString showFolderButton()
{
    return QStringLiteral("Show in Finder");
}
QString syncFootnoteAvailable()
{
    return QStringLiteral("Your accounts appear on every Mac signed in to the same iCloud. Logins stay on each Mac, "
                          "so you log in once per account on each one.");
}
QString syncFootnoteMissing()
{
    return QStringLiteral("iCloud Drive is off on this Mac. Turn it on in System Settings \u2192 Apple Account "
                          "\u2192 iCloud, then reopen Settings.");
}
QString dataStaysIn(const QString&)
{
    return QStringLiteral("All data stays in ~/Library/Application Support/Corvalink.");
}
#else
QString removeHint()
{
    return QStringLiteral("Hold Alt on an account to remove it");
}
QString shortcutSubtitle(HotKeyBackend::Kind kind, const QString& trigger, bool refused)
{
    switch (kind) {
    case HotKeyBackend::Kind::X11:
        return refused ? QStringLiteral("Ctrl+Alt+S is taken by another program")
                       : QStringLiteral("Ctrl+Alt+S opens the account menu from anywhere");
    case HotKeyBackend::Kind::Portal:
        if (refused)
            return QStringLiteral("The desktop bound no key: bind one to \"corvalink --menu\" in its keyboard "
                                  "settings");
        return (trigger.isEmpty() ? QStringLiteral("The desktop's shortcut") : trigger) +
               QStringLiteral(" opens the account menu from anywhere");
    case HotKeyBackend::Kind::None:
        break;
    }
    return QStringLiteral("Bind a key to \"corvalink --menu\" in the desktop's keyboard settings");
}
QString showFolderButton()
{
    return QStringLiteral("Show in File Manager");
}
QString syncFootnoteAvailable()
{
    return QStringLiteral("Your accounts appear on every computer signed in to the same iCloud. Logins stay on each "
                          "computer, so you log in once per account on each one.");
}
QString syncFootnoteMissing()
{
    return QStringLiteral("iCloud Drive is not set up on this computer. Mount it at "
                          "~/Library/Mobile Documents/com~apple~CloudDocs, then reopen Settings.");
}
QString dataStaysIn(const QString& dataFolder)
{
    return QStringLiteral("All data stays in ") + Paths::withTilde(dataFolder) + QLatin1Char('.');
}
#endif

} // namespace PlatformTexts
