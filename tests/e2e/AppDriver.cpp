#include "AppDriver.h"
#include "XDoTool.h"

#include <QCoreApplication>
#include <QRegularExpression>

AppDriver::AppDriver(const QString& fakeBin)
    : environment(QProcessEnvironment::systemEnvironment())
{
    environment.insert(QStringLiteral("PATH"), fakeBin);
}

QString AppDriver::executable() const
{
    return QCoreApplication::applicationDirPath() + QStringLiteral("/corvalink");
}

QProcess* AppDriver::start(const QStringList& arguments) const
{
    auto* process = new QProcess;
    process->setProcessEnvironment(environment);
    process->setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process->start(executable(), arguments);
    process->waitForStarted();
    return process;
}

AppDriver::Result AppDriver::run(const QStringList& arguments, int timeoutMs) const
{
    QProcess process;
    process.setProcessEnvironment(environment);
    process.start(executable(), arguments);
    if (!process.waitForFinished(timeoutMs)) {
        process.kill();
        process.waitForFinished();
        return {};
    }
    return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1, process.readAllStandardOutput(),
            process.readAllStandardError()};
}

QList<QPoint> AppDriver::trayIcons()
{
    QProcess tree;
    tree.start(QStringLiteral("xwininfo"), {QStringLiteral("-root"), QStringLiteral("-tree")});
    tree.waitForFinished(5000);
    // e.g.        0x40000a "Corvalink": ("corvalink" "Corvalink")  22x22+0+0  +1257+1
    // Only windows nested deeper than the root's own children count: before the
    // host has reparented it, the icon is a top-level window at 0,0, and a
    // click there goes nowhere. The icon sits in the host's panel at the top.
    static const QRegularExpression line(QStringLiteral(
        "^ {6,}0x\\S+ .*\\(\"corvalink\" \"Corvalink\"\\)\\s+(\\d+)x(\\d+)[+-]\\d+[+-]\\d+\\s+\\+(-?\\d+)\\+(-?\\d+)"));
    QList<QPoint> icons;
    for (const QString& text : QString::fromUtf8(tree.readAllStandardOutput()).split(QLatin1Char('\n'))) {
        const auto match = line.match(text);
        const int width = match.captured(1).toInt(), height = match.captured(2).toInt();
        const int y = match.captured(4).toInt();
        if (match.hasMatch() && width <= 32 && height <= 32 && y >= 0 && y < 32)
            icons.append(QPoint(match.captured(3).toInt() + width / 2, y + height / 2));
    }
    return icons;
}

int AppDriver::appWindows()
{
    return int(XDoTool::run({"search", "--onlyvisible", "--classname", "corvalink"}).size());
}
