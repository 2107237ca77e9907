#pragma once

#include "HotKeyBackend.h"

#include <QString>

// The few texts that state facts about the platform. The first platform's
// wording stays here for a macOS build; this build shows the Linux one.
namespace PlatformTexts {

QString removeHint();
// What holds for the shortcut in this session: the X11 grab, the trigger the
// desktop reported through its portal, or how to bind a key without either;
// `refused` when it is switched on but another program holds it.
QString shortcutSubtitle(HotKeyBackend::Kind kind, const QString& trigger, bool refused);
QString showFolderButton();
QString syncFootnoteAvailable();
QString syncFootnoteMissing();
QString dataStaysIn(const QString& dataFolder);

} // namespace PlatformTexts
