#pragma once

#include <QString>
#include <QUrl>

// The desktop's default web browser, which is the program desktops hand links
// to: read and set through xdg-settings (xdg-utils), which speaks to each
// desktop in its own way.
namespace DefaultBrowser {

// Corvalink's desktop entry id.
QString corvalinkEntry();

// The default's desktop entry id; empty when the desktop names none.
QString current();

// Makes Corvalink the default and remembers the one before it. False, with the
// reason in `why`, when the desktop refused.
bool takeLinks(QString* why);
// Gives links back to the browser that had them before.
bool giveLinksBack(QString* why);

// The browser a link opens in without an account: the remembered one while
// Corvalink has the links, else the default. Its name, empty when there is none.
QString plainBrowserName();
// Starts it with the link as its one argument; false when it could not.
bool openWithoutAccount(const QUrl& link);

} // namespace DefaultBrowser
