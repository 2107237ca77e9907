#pragma once

#include <QStringList>

// xdotool on the test's X server.
namespace XDoTool {

// Runs xdotool and returns the lines it printed. A search walks every window,
// and one that vanishes meanwhile (the web engine makes and drops short-lived
// ones) aborts it with an X error and no output; such a run is repeated, so an
// empty result always means nothing matched.
QStringList run(const QStringList& arguments);

// The visible windows that match, e.g. {"--name", "^Title$"}.
QStringList searchVisible(const QStringList& query);

} // namespace XDoTool
