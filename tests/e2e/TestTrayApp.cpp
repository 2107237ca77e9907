#include "AppDriver.h"
#include "Paths.h"
#include "TestEnvironment.h"
#include "XDoTool.h"

#include <functional>

using XDoTool::key;

// The whole app on a real X server with a real tray host (trayer): clicks,
// key presses and the global shortcut, then what it wrote.
class TestTrayApp : public QObject {
    Q_OBJECT

private:
    // How long a step may take: generous, for the sanitizer build on a busy machine.
    static constexpr int patience = 20000;
    AppDriver m_driver;
    std::unique_ptr<OwnedProcess> m_app;
    const Account m_claudeWork = TestAccounts::make("work", "Claude", "https://claude.ai/login");
    const Account m_githubWork = TestAccounts::make("work", "GitHub", "https://github.com/login");
    const Account m_githubPerso = TestAccounts::make("perso", "GitHub", "https://github.com/login");

    static QList<Account> stored() { return AppDriver::storedAccounts(); }
    // The browser was started for the account, with the exact arguments.
    bool opened(const Account& account) const
    {
        return m_driver.browserArguments() == AppDriver::expectedArguments(account);
    }
    // A short run ended with the code and said each of the texts.
    static bool said(const AppDriver::Result& result, int exitCode, const QByteArrayList& texts)
    {
        return result.exitCode == exitCode && std::all_of(texts.cbegin(), texts.cend(), [&](const QByteArray& text) {
                   return (result.out + result.err).contains(text);
               });
    }
    static int alerts() { return int(XDoTool::windowsNamed(u"^Corvalink$"_s).size()); }

    QPoint trayIcon()
    {
        QList<QPoint> icons;
        (void)QTest::qWaitFor([&] { return !(icons = AppDriver::trayIcons()).isEmpty(); }, patience);
        return icons.value(0, QPoint(-1, -1));
    }

    // Does what opens the menu, then waits until the menu's window is up. A slow
    // start (the sanitizer build) may miss the first press, so it tries again.
    void openMenu(const std::function<void()>& how = [] { key(u"ctrl+alt+s"_s); })
    {
        const int before = AppDriver::appWindows();
        bool opened = false;
        for (int attempt = 0; attempt < 3 && !opened; ++attempt) {
            how();
            opened = QTest::qWaitFor([&] { return AppDriver::appWindows() > before; }, patience / 2);
        }
        QVERIFY(opened);
        QTest::qWait(200); // the keyboard grab follows the mapping
    }

    void chooseFromMenu(const QStringList& keys)
    {
        openMenu();
        for (const QString& k : keys)
            key(k);
    }
    void quitFromMenu()
    {
        chooseFromMenu({"Up", "Return"}); // the last item
        QTRY_COMPARE_WITH_TIMEOUT(m_app->state(), QProcess::NotRunning, patience);
    }

private Q_SLOTS:
    void theMenuOpensAccountsAndRemovesThem()
    {
        AppDriver::writeAccounts({m_githubWork, m_githubPerso, m_claudeWork});
        m_app = m_driver.start();
        QVERIFY(trayIcon().x() >= 0);
        const QPoint icon = trayIcon();
        openMenu([&] {
            XDoTool::run({"mousemove", QString::number(icon.x()), QString::number(icon.y()), "click", "1"});
        });
        key(u"Down"_s); // the first account: Claude's "work"
        key(u"Return"_s);
        QVERIFY(opened(m_claudeWork));
        QTRY_VERIFY_WITH_TIMEOUT(Account::find(stored(), m_claudeWork.id).value_or(Account{}).lastOpened, patience);
        QVERIFY(TestEnvironment::isPrivate(Paths::profileFolder(m_claudeWork.id)));

        chooseFromMenu({"Down", "Down", "Return"}); // the shortcut: GitHub's perso comes before work
        QVERIFY(opened(m_githubPerso));
        // Alt still down from the shortcut is no press of Alt in the open menu: no "Remove …" items.
        XDoTool::run({"keydown", "ctrl+alt"});
        openMenu([] { key(u"s"_s); });
        key(u"Down"_s); // the first account, with Alt and Ctrl still down
        key(u"Return"_s);
        XDoTool::run({"keyup", "ctrl+alt"});
        QVERIFY(opened(m_claudeWork));
        for (const bool confirm : {false, true}) {
            openMenu();
            XDoTool::run({"keydown", "alt"});
            key(u"Down"_s);
            key(u"Return"_s); // "Remove work…" of Claude
            XDoTool::run({"keyup", "alt"});
            QTRY_COMPARE_WITH_TIMEOUT(alerts(), 1, patience);
            if (confirm)
                key(u"Tab"_s); // to "Remove, keep session"
            key(confirm ? u"Return"_s : u"Escape"_s);
            QTRY_COMPARE_WITH_TIMEOUT(alerts(), 0, patience);
            QTRY_COMPARE_WITH_TIMEOUT(Account::find(stored(), m_claudeWork.id).has_value(), !confirm, patience);
        }
        QCOMPARE(stored().size(), 2);
        QVERIFY(QFileInfo::exists(Paths::profileFolder(m_claudeWork.id)));
        QVERIFY(!QFileInfo::exists(m_driver.bin + u"/chromium.args"_s)); // nothing was opened either
    }

    void theCommandLine()
    {
        QVERIFY(said(
            m_driver.run({"--list"}), 0,
            {(m_githubPerso.idText() + "\tGitHub\tperso\n" + m_githubWork.idText() + "\tGitHub\twork\n").toUtf8()}));
        QVERIFY(said(m_driver.run({"--open", "work"}), 0, {}) && opened(m_githubWork));
        QVERIFY(said(m_driver.run({"--open", m_githubPerso.idText().toLower()}), 0, {}) && opened(m_githubPerso));
        AppDriver headless = m_driver; // a wrong key needs no display to be told
        headless.environment.remove(u"DISPLAY"_s);
        QVERIFY(said(headless.run({"--open", "nobody"}), 2, {"nobody", m_githubWork.idText().toUtf8()}));
        for (const QString& option : {u"--lst"_s, u"--open=work"_s}) // not the tray app
            QVERIFY(said(m_driver.run({option}), 2, {"unknown option " + option.toUtf8(), "Usage:"}));
        QVERIFY(said(m_driver.run({"--version"}), 0, {"Corvalink "}) &&
                said(m_driver.run({"--help"}), 0, {"--open KEY"}));

        // Ambiguous keys and unreadable files leave the file as it is; the latter is no empty list.
        AppDriver::writeAccounts(stored() << TestAccounts::make("work", "Claude"));
        const QByteArray before = TestEnvironment::readFile(AppDriver::accountsFile());
        QVERIFY(said(m_driver.run({"--open", "work"}), 2, {"2 accounts are labelled \"work\""}));
        QCOMPARE(TestEnvironment::readFile(AppDriver::accountsFile()), before);
        TestEnvironment::writeFile(AppDriver::accountsFile(), before.left(before.size() / 2));
        for (const QStringList& arguments : {QStringList{"--list"}, QStringList{"--open", "perso"}}) {
            const auto unreadable = m_driver.run(arguments);
            QVERIFY2(said(unreadable, 2, {"could not be read", AppDriver::accountsFile().toUtf8(), "not valid JSON"}) &&
                         unreadable.out.isEmpty(),
                     unreadable.err.constData());
        }
        QCOMPARE(TestEnvironment::readFile(AppDriver::accountsFile()), before.left(before.size() / 2));

        // One line per account, whatever a label holds.
        AppDriver::writeAccounts({TestAccounts::make(u"two\nlines\\ \x01\u2028\u202E"_s, "Tab\tSite")});
        const auto listed = m_driver.run({"--list"});
        QVERIFY(listed.out.count('\n') == 1 &&
                listed.out.endsWith("\tTab\\tSite\ttwo\\nlines\\\\ \\x01\\u2028\\u202e\n"));
        TestEnvironment::writeFile(AppDriver::accountsFile(), before);
    }

    // Links are refused before any browser starts unless they are http or https
    // addresses; "--open KEY URL" opens that page. With Corvalink as the desktop's
    // browser, the real xdg-open ends in the chooser and gio open in the rule made there.
    void linksFromOtherApplications()
    {
        Account withLink = m_githubPerso;
        withLink.url = u"https://github.com/pulls"_s;
        QVERIFY(said(m_driver.run({"--open", "perso", withLink.url}), 0, {}) && opened(withLink));
        for (const QString& hostile :
             {u" https://x.org"_s, u"-https://x.org"_s, u"https://x.org/\x01"_s, u"file:///etc/passwd"_s,
              u"javascript:alert(1)"_s, u"https://x.org/"_s + QString(100000, u'a')}) {
            QCOMPARE(m_driver.run({hostile}).exitCode, 2);
            QCOMPARE(m_driver.run({"--open", "perso", hostile}).exitCode, 2);
        }
        QVERIFY(!QFileInfo::exists(m_driver.bin + u"/chromium.args"_s));

        QString entry = QString::fromUtf8(TestEnvironment::readFile(
            QStringLiteral(CORVALINK_TEST_COMMON_DIR "/../../resources/app.corvalink.Corvalink.desktop")));
        entry.replace(u"Exec=corvalink %u"_s, u"Exec="_s + m_driver.executable() + u" %u"_s);
        TestEnvironment::writeFile(
            qEnvironmentVariable("XDG_DATA_HOME") + u"/applications/app.corvalink.Corvalink.desktop"_s, entry.toUtf8());
        QProcessEnvironment desktop = m_driver.environment;
        desktop.insert(u"PATH"_s, m_driver.bin + u":/usr/bin:/bin"_s);
        const auto start = [&](OwnedProcess& process, const QString& program, const QStringList& arguments) {
            process.setProcessEnvironment(desktop);
            process.start(program, arguments);
            return process.waitForFinished(patience) && process.exitCode() == 0;
        };
        OwnedProcess setting, xdgOpen, gioOpen;
        QVERIFY(start(setting, u"xdg-settings"_s, {"set", "default-web-browser", "app.corvalink.Corvalink.desktop"}));
        xdgOpen.setProcessEnvironment(desktop);
        xdgOpen.start(u"xdg-open"_s, {withLink.url});
        QTRY_COMPARE_WITH_TIMEOUT(alerts(), 1, patience); // the chooser, GitHub's accounts first
        QTest::qWait(300);
        key(u"alt+a"_s); // "Always open github.com in this account"
        key(u"Return"_s);
        QVERIFY(opened(withLink));
        QTRY_COMPARE_WITH_TIMEOUT(xdgOpen.state(), QProcess::NotRunning, patience);
        QCOMPARE(xdgOpen.exitCode(), 0);
        withLink.url = u"https://github.com/issues"_s;
        QVERIFY(start(gioOpen, u"gio"_s, {"open", withLink.url}));
        QVERIFY(opened(withLink));
    }

    // With no browser, accounts open in web windows. "--open" goes to the running
    // instance, so one window shows an account however often it is asked, and
    // quitting closes the windows before the app ends.
    void quitEndsTheProcessAndItsWebWindows()
    {
        QVERIFY(QFile::rename(m_driver.bin + u"/chromium"_s, m_driver.bin + u"/chromium.off"_s));
        const QString window = u"^GitHub \u2013 perso$"_s;
        for (int i = 0; i < 2; ++i)
            QCOMPARE(m_driver.run({"--open", "perso"}, 60000).exitCode, 0);
        QTRY_COMPARE_WITH_TIMEOUT(XDoTool::windowsNamed(window).size(), 1, patience);
        QTest::qWait(500);
        QCOMPARE(XDoTool::windowsNamed(window).size(), 1);
        quitFromMenu();
        QCOMPARE(m_app->exitCode(), 0);
        QVERIFY(XDoTool::windowsNamed(window).isEmpty());
        QTRY_VERIFY_WITH_TIMEOUT(AppDriver::trayIcons().isEmpty(), patience);
        QVERIFY(QFile::rename(m_driver.bin + u"/chromium.off"_s, m_driver.bin + u"/chromium"_s));
        for (int round = 0; round < 8; ++round) {
            const auto first = m_driver.start(), second = m_driver.start();
            const auto running = [&] {
                return int(first->state() == QProcess::Running) + int(second->state() == QProcess::Running);
            };
            QTRY_COMPARE_WITH_TIMEOUT(running(), 1, patience);
            QTest::qWait(300);
            QCOMPARE(running(), 1);
            // The second start brought up the first one's menu.
            const int shown = AppDriver::appWindows();
            key(u"Escape"_s);
            QTRY_VERIFY_WITH_TIMEOUT(AppDriver::appWindows() < shown, patience);
        }
        m_app = m_driver.start({"--snapshot"});
        QVERIFY(trayIcon().x() >= 0);
        quitFromMenu();

        // "--open" with no browser and no running instance opens a web window itself;
        // when its helper cannot start, ends without showing one, or is not
        // there, it says so and fails.
        const QString installed = TestEnvironment::home() + u"/installed"_s;
        QVERIFY(QDir().mkpath(installed) && QFile::copy(m_driver.executable(), installed + u"/corvalink"_s));
        AppDriver noBrowser = m_driver;
        noBrowser.environment.insert(u"PATH"_s, installed + u"/none"_s);
        for (const QByteArray helper : {"#!/nonexistent/interpreter\n", "#!/bin/sh\nexit 0\n", ""}) {
            QFile::remove(installed + u"/corvalink-web"_s);
            if (!helper.isEmpty())
                TestEnvironment::writeFile(installed + u"/corvalink-web"_s, helper);
            for (const QString& file : {u"/corvalink"_s, u"/corvalink-web"_s})
                QFile::setPermissions(installed + file, QFile::ReadOwner | QFile::ExeOwner);
            QProcess process;
            process.setProcessEnvironment(noBrowser.environment);
            process.start(installed + u"/corvalink"_s, {"--open", "perso"});
            QVERIFY2(process.waitForFinished(30000) && process.exitCode() == 1, helper.constData());
            QVERIFY(process.readAllStandardError().contains("could not"));
        }
    }
};

CORVALINK_TEST_MAIN(TestTrayApp)
#include "TestTrayApp.moc"
