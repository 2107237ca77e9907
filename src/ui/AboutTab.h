#pragma once

#include <QList>
#include <QString>

#include <optional>

class QWidget;

// The About tab: icon, name, version, tagline, credit line, a few facts and the
// privacy statement.
class AboutTab {
public:
    QList<QWidget*> sections();

    // "Version " + short version + " (" + build + ")", with "dev" and "1" for what is missing.
    static QString versionText(const std::optional<QString>& shortVersion, const std::optional<QString>& build);
    // The version this program was built as.
    static QString versionText();
};
