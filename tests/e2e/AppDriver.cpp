#include "AppDriver.h"
#include "XDoTool.h"

#include <QCoreApplication>
#include <QRegularExpression>
#include <QTest>

AppDriver::AppDriver(const QString& fakeBin)
    : m_environment(QProcessEnvironment::systemEnvironment())
{
    m_environment.insert(QStringLiteral("PATH"), fakeBin);
}

QString AppDriver::executable() const
{
    return QCoreApplication::applicationDirPath() + QStringLiteral("/corvalink");
}

QProcess* AppDriver::start(const QStringList& arguments)
{
    auto* process = new QProcess;
    process->setProcessEnvironment(m_environment);
    process->setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process->start(executable(), arguments);
    process->waitForStarted();
    return process;
}

AppDriver::Result AppDriver::run(const QStringList& arguments, int timeoutMs) const
{
    QProcess process;
    process.setProcessEnvironment(m_environment);
    process.start(executable(), arguments);
    Result result;
    if (!process.waitForFinished(timeoutMs)) {
        process.kill();
        process.waitForFinished();
        return result;
    }
    result.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    result.out = process.readAllStandardOutput();
    result.err = process.readAllStandardError();
    return result;
}

QList<QPoint> AppDriver::trayIcons() const
{
    QProcess tree;
    tree.start(QStringLiteral("xwininfo"), {QStringLiteral("-root"), QStringLiteral("-tree")});
    tree.waitForFinished(5000);
    // e.g.        0x40000a "Corvalink": ("corvalink" "Corvalink")  22x22+0+0  +1257+1
    // Only windows nested deeper than the root's own children count: before the
    // host has reparented it, the icon is a top-level window at 0,0, and a
    // click there goes nowhere.
    static const QRegularExpression line(QStringLiteral(
        "^ {6,}0x\\S+ .*\\(\"corvalink\" \"Corvalink\"\\)\\s+(\\d+)x(\\d+)[+-]\\d+[+-]\\d+\\s+\\+(-?\\d+)\\+(-?\\d+)"));
    QList<QPoint> icons;
    for (const QString& text : QString::fromUtf8(tree.readAllStandardOutput()).split(QLatin1Char('\n'))) {
        const auto match = line.match(text);
        if (!match.hasMatch())
            continue;
        const int width = match.captured(1).toInt();
        const int height = match.captured(2).toInt();
        // The icon sits inside the tray host's panel at the top of the screen.
        if (width <= 32 && height <= 32 && match.captured(4).toInt() >= 0 && match.captured(4).toInt() < 32)
            icons.append(QPoint(match.captured(3).toInt() + width / 2, match.captured(4).toInt() + height / 2));
    }
    return icons;
}

int AppDriver::visibleWindows(const QString& name) const
{
    return int(XDoTool::searchVisible({QStringLiteral("--name"), name}).size());
}

int AppDriver::visibleAppWindows() const
{
    return int(XDoTool::searchVisible({QStringLiteral("--classname"), QStringLiteral("corvalink")}).size());
}

void AppDriver::xdotool(const QStringList& arguments)
{
    XDoTool::run(arguments);
    QTest::qWait(150);
}
