#include "AccountsFile.h"
#include "AppDriver.h"
#include "Paths.h"
#include "TestEnvironment.h"

#include <QDir>
#include <QFileInfo>

#include <functional>

// The whole app on a real X server with a real tray host (trayer): clicks,
// key presses and the global shortcut, then what it wrote.
class TestTrayApp : public QObject {
    Q_OBJECT

private:
    // How long a step may take: generous, for the sanitizer build on a busy machine.
    static constexpr int patience = 20000;

    QString m_bin;
    std::unique_ptr<AppDriver> m_driver;
    QProcess* m_app = nullptr;
    Account m_claudeWork, m_githubWork, m_githubPerso;

    QString accountsFile() const { return Paths::dataFolder() + QStringLiteral("/accounts.json"); }
    QString argsFile() const { return m_bin + QStringLiteral("/chromium.args"); }

    QList<Account> stored() const
    {
        return AccountsFile::decode(TestEnvironment::readFile(accountsFile())).value_or(QList<Account>{});
    }

    std::optional<Account> storedAccount(const QUuid& id) const
    {
        for (const Account& account : stored()) {
            if (account.id == id)
                return account;
        }
        return std::nullopt;
    }

    QStringList browserArguments() { return TestEnvironment::recordedArguments(m_bin + "/chromium", patience); }

    QStringList expectedArguments(const Account& account) const
    {
        return {QStringLiteral("--user-data-dir=") + Paths::dataFolder() + QStringLiteral("/profiles/") +
                    account.idText(),
                QStringLiteral("--no-first-run"), QStringLiteral("--no-default-browser-check"), account.url};
    }

    static Account account(const QString& site, const QString& label, const QString& url)
    {
        Account a;
        a.siteName = site;
        a.label = label;
        a.url = url;
        return a;
    }

    QPoint waitForTrayIcon()
    {
        QList<QPoint> icons;
        const bool found = QTest::qWaitFor(
            [&] {
                icons = m_driver->trayIcons();
                return !icons.isEmpty();
            },
            patience);
        return found ? icons.first() : QPoint(-1, -1);
    }

    static void key(const QString& keys) { AppDriver::xdotool({QStringLiteral("key"), keys}); }
    // The menu needs a moment to open and grab the keyboard.
    // Does what opens the menu, then waits until the menu's window is up. A slow
    // start (the sanitizer build) may miss the first click, so it tries again.
    void openMenu(const std::function<void()>& how)
    {
        const int before = m_driver->visibleAppWindows();
        bool opened = false;
        for (int attempt = 0; attempt < 3 && !opened; ++attempt) {
            how();
            opened = QTest::qWaitFor([&] { return m_driver->visibleAppWindows() > before; }, patience / 2);
        }
        QVERIFY(opened);
        QTest::qWait(200); // the keyboard grab follows the mapping
    }

    void openMenuWithShortcut()
    {
        openMenu([] { key(QStringLiteral("ctrl+alt+s")); });
    }

private Q_SLOTS:
    void initTestCase()
    {
        m_bin = TestEnvironment::makeFakeBrowsers({"chromium"});
        m_driver = std::make_unique<AppDriver>(m_bin);
        m_claudeWork = account("Claude", "work", "https://claude.ai/login");
        m_githubWork = account("GitHub", "work", "https://github.com/login");
        m_githubPerso = account("GitHub", "perso", "https://github.com/login");
        TestEnvironment::writeFile(accountsFile(), AccountsFile::encode({m_githubWork, m_githubPerso, m_claudeWork}));
        m_app = m_driver->start();
        QVERIFY(waitForTrayIcon().x() >= 0);
    }

    void aClickOpensTheMenuAndAnAccountOpensInItsProfile()
    {
        const QPoint icon = waitForTrayIcon();
        openMenu([&] {
            AppDriver::xdotool({"mousemove", QString::number(icon.x()), QString::number(icon.y()), "click", "1"});
        });
        key(QStringLiteral("Down")); // the first account: Claude's "work"
        key(QStringLiteral("Return"));
        QCOMPARE(browserArguments(), expectedArguments(m_claudeWork));
        QTRY_VERIFY_WITH_TIMEOUT(storedAccount(m_claudeWork.id).value_or(Account{}).lastOpened.has_value(), patience);
        QCOMPARE(QFileInfo(Paths::dataFolder() + "/profiles/" + m_claudeWork.idText()).permissions() & 0x0077,
                 QFileDevice::Permissions());
    }

    void theShortcutOpensTheSameMenu()
    {
        openMenuWithShortcut();
        key(QStringLiteral("Down"));
        key(QStringLiteral("Down")); // GitHub: perso comes before work
        key(QStringLiteral("Return"));
        QCOMPARE(browserArguments(), expectedArguments(m_githubPerso));
    }

    void withAltHeldTheItemsRemove()
    {
        openMenuWithShortcut();
        AppDriver::xdotool({"keydown", "alt"});
        key(QStringLiteral("Down"));
        key(QStringLiteral("Return")); // "Remove work…" of Claude
        AppDriver::xdotool({"keyup", "alt"});
        QTRY_COMPARE_WITH_TIMEOUT(m_driver->visibleWindows("^Corvalink$"), 1, patience);
        key(QStringLiteral("Escape"));
        QTRY_COMPARE_WITH_TIMEOUT(m_driver->visibleWindows("^Corvalink$"), 0, patience);
        QVERIFY(storedAccount(m_claudeWork.id));
        QVERIFY(!QFileInfo::exists(argsFile())); // nothing was opened either

        openMenuWithShortcut();
        AppDriver::xdotool({"keydown", "alt"});
        key(QStringLiteral("Down"));
        key(QStringLiteral("Return"));
        AppDriver::xdotool({"keyup", "alt"});
        QTRY_COMPARE_WITH_TIMEOUT(m_driver->visibleWindows("^Corvalink$"), 1, patience);
        key(QStringLiteral("Tab"));
        key(QStringLiteral("Return")); // "Remove, keep session"
        QTRY_VERIFY_WITH_TIMEOUT(!storedAccount(m_claudeWork.id), patience);
        QCOMPARE(stored().size(), 2);
        QVERIFY(QFileInfo::exists(Paths::dataFolder() + "/profiles/" + m_claudeWork.idText()));
    }

    void aSecondStartLeavesOneIconAndHandsOverSettings()
    {
        const auto second = m_driver->run({});
        QCOMPARE(second.exitCode, 0);
        QTest::qWait(300);
        QCOMPARE(m_driver->trayIcons().size(), 1);

        QCOMPARE(m_driver->run({QStringLiteral("--settings")}).exitCode, 0);
        QTRY_COMPARE_WITH_TIMEOUT(m_driver->visibleWindows("^Corvalink$"), 1, patience);
        QCOMPARE(m_driver->trayIcons().size(), 1);
    }

    void theCommandLine()
    {
        const auto list = m_driver->run({QStringLiteral("--list")});
        QCOMPARE(list.exitCode, 0);
        QCOMPARE(QString::fromUtf8(list.out),
                 m_githubPerso.idText() + "\tGitHub\tperso\n" + m_githubWork.idText() + "\tGitHub\twork\n");

        QCOMPARE(m_driver->run({QStringLiteral("--open"), QStringLiteral("work")}).exitCode, 0);
        QCOMPARE(browserArguments(), expectedArguments(m_githubWork));
        QCOMPARE(m_driver->run({QStringLiteral("--open"), m_githubPerso.idText().toLower()}).exitCode, 0);
        QCOMPARE(browserArguments(), expectedArguments(m_githubPerso));

        const auto unknown = m_driver->run({QStringLiteral("--open"), QStringLiteral("nobody")});
        QCOMPARE(unknown.exitCode, 2);
        QVERIFY(unknown.err.contains("nobody"));
        QVERIFY(unknown.err.contains(m_githubWork.idText().toUtf8()));

        TestEnvironment::writeFile(accountsFile(),
                                   AccountsFile::encode(stored() << account("Claude", "work", "https://claude.ai")));
        const QByteArray before = TestEnvironment::readFile(accountsFile());
        const auto ambiguous = m_driver->run({QStringLiteral("--open"), QStringLiteral("work")});
        QCOMPARE(ambiguous.exitCode, 2);
        QVERIFY(ambiguous.err.contains("2 accounts are labelled \"work\""));
        QCOMPARE(TestEnvironment::readFile(accountsFile()), before);

        // An unreadable file is not an empty list, and it stays as it is.
        const QByteArray corrupt = before.left(before.size() / 2);
        TestEnvironment::writeFile(accountsFile(), corrupt);
        for (const QStringList& arguments : {QStringList{"--list"}, QStringList{"--open", "perso"}}) {
            const auto unreadable = m_driver->run(arguments);
            QCOMPARE(unreadable.exitCode, 2);
            QVERIFY2(unreadable.err.contains("could not be read") && unreadable.err.contains(accountsFile().toUtf8()) &&
                         unreadable.err.contains("not valid JSON"),
                     unreadable.err.constData());
            QVERIFY(unreadable.out.isEmpty());
        }
        QCOMPARE(TestEnvironment::readFile(accountsFile()), corrupt);
        TestEnvironment::writeFile(accountsFile(), before);

        // A mistyped option says so instead of starting the tray app.
        for (const QString& option : {QStringLiteral("--lst"), QStringLiteral("--open=work")}) {
            const auto mistyped = m_driver->run({option});
            QCOMPARE(mistyped.exitCode, 2);
            QVERIFY(mistyped.err.contains("unknown option " + option.toUtf8()) && mistyped.err.contains("Usage:"));
        }
        // A wrong key needs no display to be told.
        QProcess headless;
        QProcessEnvironment noDisplay = m_driver->environment();
        noDisplay.remove(QStringLiteral("DISPLAY"));
        headless.setProcessEnvironment(noDisplay);
        headless.start(m_driver->executable(), {QStringLiteral("--open"), QStringLiteral("nobody")});
        QVERIFY(headless.waitForFinished(patience));
        QCOMPARE(headless.exitCode(), 2);
        QVERIFY(headless.readAllStandardError().contains("nobody"));

        // One line per account, whatever a label holds.
        TestEnvironment::writeFile(accountsFile(),
                                   AccountsFile::encode({account("Tab\tSite", "two\nlines\\ \x01", "https://x.org")}));
        const auto listed = m_driver->run({QStringLiteral("--list")});
        QCOMPARE(listed.out.count('\n'), 1);
        QVERIFY(listed.out.endsWith("\tTab\\tSite\ttwo\\nlines\\\\ \\x01\n"));
        TestEnvironment::writeFile(accountsFile(), before);

        QCOMPARE(m_driver->run({QStringLiteral("--version")}).out.trimmed(), QByteArray("Corvalink 0.1.0"));
        QVERIFY(m_driver->run({QStringLiteral("--help")}).out.contains("--open KEY"));
    }

    // With no browser, accounts open in web windows. "--open" goes to the running
    // instance, so one window shows an account however often it is asked, and
    // quitting closes the windows before the app ends.
    void quitEndsTheProcessAndItsWebWindows()
    {
        QVERIFY(QFile::rename(m_bin + "/chromium", m_bin + "/chromium.off"));
        const QString window = QStringLiteral("^GitHub \u2013 perso$");
        for (int i = 0; i < 2; ++i)
            QCOMPARE(m_driver->run({QStringLiteral("--open"), QStringLiteral("perso")}, 60000).exitCode, 0);
        QTRY_COMPARE_WITH_TIMEOUT(m_driver->visibleWindows(window), 1, patience);
        QTest::qWait(500);
        QCOMPARE(m_driver->visibleWindows(window), 1);

        openMenuWithShortcut();
        key(QStringLiteral("Up")); // the last item
        key(QStringLiteral("Return"));
        QTRY_COMPARE_WITH_TIMEOUT(m_app->state(), QProcess::NotRunning, patience);
        QCOMPARE(m_app->exitCode(), 0);
        QCOMPARE(m_driver->visibleWindows(window), 0);
        QTRY_VERIFY_WITH_TIMEOUT(m_driver->trayIcons().isEmpty(), patience);
        delete m_app;
        m_app = nullptr;
        QVERIFY(QFile::rename(m_bin + "/chromium.off", m_bin + "/chromium"));
    }

    void twoStartsAtTheSameMomentMakeOneInstance()
    {
        for (int round = 0; round < 8; ++round) {
            std::unique_ptr<QProcess> first(m_driver->start());
            std::unique_ptr<QProcess> second(m_driver->start());
            const auto running = [&] {
                return int(first->state() == QProcess::Running) + int(second->state() == QProcess::Running);
            };
            QTRY_COMPARE_WITH_TIMEOUT(running(), 1, patience);
            QTest::qWait(300);
            QCOMPARE(running(), 1);
            for (QProcess* process : {first.get(), second.get()}) {
                process->kill();
                process->waitForFinished();
            }
        }
    }

    void snapshotAsTheLastArgumentStartsNormally()
    {
        m_app = m_driver->start({QStringLiteral("--snapshot")});
        QVERIFY(waitForTrayIcon().x() >= 0);
        openMenuWithShortcut();
        key(QStringLiteral("Up"));
        key(QStringLiteral("Return"));
        QTRY_COMPARE_WITH_TIMEOUT(m_app->state(), QProcess::NotRunning, patience);
        delete m_app;
        m_app = nullptr;
    }

    void cleanupTestCase()
    {
        if (m_app) {
            m_app->kill();
            m_app->waitForFinished();
            delete m_app;
        }
    }
};

CORVALINK_TEST_MAIN(TestTrayApp)
#include "TestTrayApp.moc"
