#pragma once

#include <QString>

// The few texts that state facts about the platform. The first platform's
// wording stays here for a macOS build; this build shows the Linux one.
namespace PlatformTexts {

QString removeHint();
QString shortcutSubtitle();
QString showFolderButton();
QString syncFootnoteAvailable();
QString syncFootnoteMissing();
QString dataStaysIn(const QString& dataFolder);

} // namespace PlatformTexts
