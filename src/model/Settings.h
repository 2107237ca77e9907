#pragma once

#include <QSettings>
#include <QString>

#include <optional>

// The user's preferences: typed values in ~/.config/Corvalink/Corvalink.conf.
namespace Settings {

inline const QString hotkeyEnabledKey = QStringLiteral("hotkeyEnabled");
inline const QString iCloudSyncKey = QStringLiteral("iCloudSync");
inline const QString defaultBrowserKey = QStringLiteral("defaultBrowser");
inline const QString incognitoKey = QStringLiteral("incognito");
inline const QString extraArgsKey = QStringLiteral("extraArgs");
// The desktop's default web browser before Corvalink took links over (a desktop entry id).
inline const QString previousWebBrowserKey = QStringLiteral("previousWebBrowser");

QSettings& d();

// True unless a boolean false is stored. The file keeps booleans as the words
// "true" and "false" (any case) or 1 and 0; any other text ("yes") is not a boolean.
bool hotkeyEnabled();
void setHotkeyEnabled(bool enabled);

bool iCloudSync();
void setICloudSync(bool enabled);

// Absent means the launcher's automatic choice; writing nothing removes the key.
std::optional<QString> defaultBrowser();
void setDefaultBrowser(const std::optional<QString>& name);

bool incognito();
void setIncognito(bool enabled);

// The text the user wrote, commas and semicolons included.
QString extraArgs();
void setExtraArgs(const QString& text);

QString previousWebBrowser();
void setPreviousWebBrowser(const QString& desktopId);

// Takes in what was written to the file since it was last read (an edit by
// hand while the app runs); done before every opening.
void reread();

} // namespace Settings
