#include "AppDriver.h"
#include "AccountsFile.h"
#include "Paths.h"
#include "TestEnvironment.h"
#include "XDoTool.h"

AppDriver::AppDriver()
    : bin(TestEnvironment::makeFakeBrowsers({"chromium"}))
    , environment(QProcessEnvironment::systemEnvironment())
{
    environment.insert(u"PATH"_s, bin);
}

QString AppDriver::executable()
{
    return QCoreApplication::applicationDirPath() + u"/corvalink"_s;
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

QString AppDriver::accountsFile()
{
    return Paths::dataFolder() + u"/accounts.json"_s;
}

void AppDriver::writeAccounts(const QList<Account>& accounts)
{
    TestEnvironment::writeFile(accountsFile(), AccountsFile::encode(accounts));
}

QList<Account> AppDriver::storedAccounts()
{
    return AccountsFile::decode(TestEnvironment::readFile(accountsFile())).value_or(QList<Account>{});
}

QStringList AppDriver::browserArguments() const
{
    return TestEnvironment::recordedArguments(bin + u"/chromium"_s, 20000);
}

QStringList AppDriver::expectedArguments(const Account& account)
{
    return {"--user-data-dir=" + Paths::profileFolder(account.id), "--no-first-run", "--no-default-browser-check",
            account.url};
}

QList<QPoint> AppDriver::trayIcons()
{
    QProcess tree;
    tree.start(u"xwininfo"_s, {"-root", "-tree"});
    tree.waitForFinished(5000);
    // e.g.        0x40000a "Corvalink": ("corvalink" "Corvalink")  22x22+0+0  +1257+1
    // Only windows nested deeper than the root's own children count: before the
    // host has reparented it, the icon is a top-level window at 0,0, and a
    // click there goes nowhere. The icon sits in the host's panel at the top.
    static const QRegularExpression line(
        u"^ {6,}0x\\S+ .*\\(\"corvalink\" \"Corvalink\"\\)\\s+(\\d+)x(\\d+)[+-]\\d+[+-]\\d+\\s+\\+(-?\\d+)\\+(-?\\d+)"_s);
    QList<QPoint> icons;
    for (const QString& text : QString::fromUtf8(tree.readAllStandardOutput()).split(u'\n')) {
        const auto match = line.match(text);
        const int width = match.captured(1).toInt(), height = match.captured(2).toInt(), y = match.captured(4).toInt();
        if (match.hasMatch() && width <= 32 && height <= 32 && y >= 0 && y < 32)
            icons.append(QPoint(match.captured(3).toInt() + width / 2, y + height / 2));
    }
    return icons;
}

int AppDriver::appWindows()
{
    return int(XDoTool::run({"search", "--onlyvisible", "--classname", "corvalink"}).size());
}
