#pragma once

#include "AccountsFile.h"
#include "Paths.h"
#include "TestEnvironment.h"
#include "XDoTool.h"

#include <QProcess>
#include <QProcessEnvironment>

// Runs the real corvalink executable, with a fake chromium alone on its PATH.
class AppDriver {
public:
    const QString bin = TestEnvironment::makeFakeBrowsers({"chromium"});
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();

    AppDriver() { environment.insert(u"PATH"_s, bin); }

    static QString executable() { return QCoreApplication::applicationDirPath() + u"/corvalink"_s; }

    // A long-running instance of the tray app.
    std::unique_ptr<OwnedProcess> start(const QStringList& arguments = {}) const
    {
        auto process = std::make_unique<OwnedProcess>();
        process->setProcessEnvironment(environment);
        process->setProcessChannelMode(QProcess::ForwardedErrorChannel);
        process->start(executable(), arguments);
        process->waitForStarted();
        return process;
    }

    // A short run: waits for the exit and returns it (exit code -1 when it hung or crashed).
    struct Result {
        int exitCode = -1;
        QByteArray out;
        QByteArray err;
    };
    Result run(const QStringList& arguments, int timeoutMs = 20000) const
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

    static QString accountsFile() { return Paths::dataFolder() + u"/accounts.json"_s; }
    static void writeAccounts(const QList<Account>& accounts) { TestAccounts::write(accountsFile(), accounts); }
    static QList<Account> storedAccounts()
    {
        return AccountsFile::decode(TestEnvironment::readFile(accountsFile())).value_or(QList<Account>{});
    }

    // What the fake chromium was started with, and what it should be for the account.
    QStringList browserArguments() const { return TestEnvironment::recordedArguments(bin + u"/chromium"_s, 20000); }
    static QStringList expectedArguments(const Account& account)
    {
        return {"--user-data-dir=" + Paths::profileFolder(account.id), "--no-first-run", "--no-default-browser-check",
                account.url};
    }

    // A click on the tray icon at the panel's first place (14,14), Down n times
    // in the menu that opens, Return: what the browser was given.
    QStringList pickFromTray(const char* button, int downs) const
    {
        XDoTool::run({"mousemove", "14", "14", "click", button});
        QTest::qWait(1500);
        for (int down = 0; down < downs; ++down)
            XDoTool::key(u"Down"_s);
        XDoTool::key(u"Return"_s);
        return browserArguments();
    }
    // The exported menu as libdbusmenu-glib reads it (XFCE's panel, waybar), one
    // line per item, after a click on the item labelled `label`.
    static QString readAndClickWithLibdbusmenu(const QString& service, const QString& label)
    {
        QProcess host;
        host.start(u"/usr/bin/python3"_s,
                   {QStringLiteral(CORVALINK_TEST_COMMON_DIR "/dbusmenu-host.py"), service, u"/MenuBar"_s, label});
        host.waitForFinished(20000);
        return QString::fromUtf8(host.readAllStandardOutput()).trimmed().replace(u'\n', u'|');
    }

    // The centres of corvalink's icons in the XEmbed tray host.
    static QList<QPoint> trayIcons()
    {
        QProcess tree;
        tree.start(u"xwininfo"_s, {"-root", "-tree"});
        tree.waitForFinished(5000);
        // e.g.        0x40000a "Corvalink": ("corvalink" "Corvalink")  22x22+0+0  +1257+1
        // Only windows nested deeper than the root's own children count: before the
        // host has reparented it, the icon is a top-level window at 0,0, and a
        // click there goes nowhere. The icon sits in the host's panel at the top.
        static const QRegularExpression line(u"^ {6,}0x\\S+ .*\\(\"corvalink\" \"Corvalink\"\\)\\s+(\\d+)x(\\d+)"
                                             "[+-]\\d+[+-]\\d+\\s+\\+(-?\\d+)\\+(-?\\d+)"_s);
        QList<QPoint> icons;
        for (const QString& text : QString::fromUtf8(tree.readAllStandardOutput()).split(u'\n')) {
            const auto match = line.match(text);
            const int width = match.captured(1).toInt(), height = match.captured(2).toInt(),
                      y = match.captured(4).toInt();
            if (match.hasMatch() && width <= 32 && height <= 32 && y >= 0 && y < 32)
                icons.append(QPoint(match.captured(3).toInt() + width / 2, y + height / 2));
        }
        return icons;
    }

    // Every visible window of corvalink, menus included.
    static int appWindows()
    {
        return int(XDoTool::run({"search", "--onlyvisible", "--classname", "corvalink"}).size());
    }
};
