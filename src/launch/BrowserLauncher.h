#pragma once

#include "Account.h"

#include <QString>
#include <QStringList>

#include <optional>

// Finds the installed Chromium-based and Firefox-family browsers and starts one
// with the account's own profile folder. Stateless: every call looks at the
// disk and the preferences.
namespace BrowserLauncher {

// The 24 Chromium-based browser names, then the 9 of the Firefox family, in
// the order that decides the automatic choice.
const QStringList& known();

// Firefox and its derivatives: a profile folder given with --profile.
bool isFirefoxFamily(const QString& name);

// The executables that stand for a browser name on Linux, in the order tried.
QStringList executables(const QString& name);

// PATH, then the snap and flatpak export folders.
QStringList searchFolders();

// The executable that would be started for the name, or empty when none is installed.
QString findExecutable(const QString& name);

QStringList installedBrowsers();

// The account's own browser, else the default-browser preference, else the first
// installed one; nothing when no browser is installed.
std::optional<QString> resolveBrowser(const Account& account);

// The account's profile folder for the browser started from `executable`: one
// per family, where a sandboxed (snap, flatpak) browser may write.
QString profileFolder(const Account& account, const QString& browser, const QString& executable);

// The command line as the first platform's launcher takes it: "-na", the browser
// name, "--args" and the browser's own switches, the URL last.
QStringList launchArguments(const Account& account, const QString& browser, const QString& profileDir);

// Whether a running browser holds the profile folder (Chromium's SingletonLock
// names its host and process). Deleting the folder under it would not delete
// the session: the browser writes it back.
bool profileInUse(const QString& profileDir);

// Whether a running browser holds any of the account's profile folders.
bool accountInUse(const QUuid& id);

// An http or https address with a host, which no browser could take for a switch.
bool isWebAddress(const QString& url);

// Why the account must open nowhere, neither in a browser nor in a web window:
// its URL is not an http or https address with a host, or its profile folder is
// a link the user made to a folder that is not private. Empty when it may open.
QString refusal(const Account& account);

// Whether a browser was started. A URL that a browser would take for a switch is refused.
bool open(const Account& account);

} // namespace BrowserLauncher
