#pragma once

#include <QString>

// Start at login through an XDG autostart entry,
// $XDG_CONFIG_HOME/autostart/corvalink.desktop.
namespace LoginItem {

QString entryPath();

// Enabled exactly when the entry exists, is ours and is not switched off with Hidden=true.
bool isEnabled();

// Writes or removes the entry that starts `executable` (this program unless
// said otherwise). A failure goes to the log as "Launch at login failed: " and
// the reason; nothing else is stored.
void setLaunchAtLogin(bool enabled, const QString& executable = {});

// The entry's text for the given executable.
QString desktopEntry(const QString& executable);

// The executable as an Exec value: in double quotes, with the characters the
// desktop entry format reserves escaped.
QString quotedExec(const QString& executable);

} // namespace LoginItem
