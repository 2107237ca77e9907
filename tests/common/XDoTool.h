#pragma once

#include <QStringList>

// xdotool on the test's X server: key presses, clicks and window search.
namespace XDoTool {

// Runs xdotool and returns the lines it printed. A search walks every window,
// and one that vanishes meanwhile (the web engine makes and drops short-lived
// ones) aborts it with an X error and no output; such a run is repeated, so an
// empty result always means nothing matched.
QStringList run(const QStringList& arguments);

// Presses keys ("ctrl+alt+s"), then gives the server and the receiver a moment.
void key(const QString& keys);

// The visible windows whose name matches, e.g. "^Title$".
QStringList windowsNamed(const QString& pattern);

} // namespace XDoTool
