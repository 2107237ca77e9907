#pragma once

#include <QList>
#include <QString>

// A site the add-account form can fill in: its name and its login page.
struct SitePreset {
    QString name;
    QString loginUrl;

    // Claude, ChatGPT, GitHub, Google, then Custom with "https://".
    static const QList<SitePreset>& all();
};
