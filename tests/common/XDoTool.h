#pragma once

#include <QProcess>
#include <QTest>

// xdotool on the test's X server: key presses, clicks and window search.
namespace XDoTool {

// Runs xdotool and returns the lines it printed. A search walks every window,
// and one that vanishes meanwhile (the web engine makes and drops short-lived
// ones) aborts it with an X error and no output; such a run is repeated, so an
// empty result always means nothing matched.
inline QStringList run(const QStringList& arguments)
{
    QByteArray output;
    for (int attempt = 0; attempt < 5; ++attempt) {
        QProcess process;
        process.start(QStringLiteral("xdotool"), arguments);
        process.waitForFinished(10000);
        output = process.readAllStandardOutput();
        if (!process.readAllStandardError().contains("X Error"))
            break;
    }
    return QString::fromUtf8(output).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

// Presses keys ("ctrl+alt+s"), then gives the server and the receiver a moment.
inline void key(const QString& keys)
{
    run({QStringLiteral("key"), keys});
    QTest::qWait(150);
}

// The visible windows whose name matches, e.g. "^Title$".
inline QStringList windowsNamed(const QString& pattern)
{
    return run({QStringLiteral("search"), QStringLiteral("--onlyvisible"), QStringLiteral("--name"), pattern});
}

} // namespace XDoTool
