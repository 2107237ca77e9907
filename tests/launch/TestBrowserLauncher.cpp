#include "BrowserLauncher.h"
#include "Settings.h"
#include "Store.h"
#include "TestEnvironment.h"

#include <QDir>
#include <QFileInfo>

// Fake browsers: scripts named like the real executables that record their arguments.
class TestBrowserLauncher : public QObject {
    Q_OBJECT

private:
    QString m_bin;

    static Account account(const QString& url = QStringLiteral("https://example.org/login"))
    {
        Account a;
        a.siteName = QStringLiteral("Example");
        a.url = url;
        a.label = QStringLiteral("work");
        return a;
    }

    static QStringList recorded(const QString& executable) { return TestEnvironment::recordedArguments(executable); }

    void usePath(const QStringList& folders) { qputenv("PATH", folders.join(':').toUtf8()); }

private Q_SLOTS:
    void init()
    {
        QDir(TestEnvironment::home()).removeRecursively();
        QDir().mkpath(TestEnvironment::home());
        m_bin = TestEnvironment::home() + QStringLiteral("/bin");
        QDir().mkpath(m_bin);
        usePath({m_bin});
        Settings::d().clear();
    }

    void nothingInstalledStartsNothingAndCreatesNothing()
    {
        QVERIFY(BrowserLauncher::installedBrowsers().isEmpty());
        QVERIFY(!BrowserLauncher::resolveBrowser(account()));
        const Account a = account();
        QVERIFY(!BrowserLauncher::open(a));
        QVERIFY(!QFileInfo::exists(Store::shared().profileDir(a.id)));
    }

    void discoveryFollowsTheKnownOrderAndTheFirstFolderWins()
    {
        const QString other = TestEnvironment::home() + QStringLiteral("/other");
        TestEnvironment::makeFakeBrowsers({"chromium", "microsoft-edge", "google-chrome-beta"}, m_bin);
        TestEnvironment::makeFakeBrowsers({"chromium-browser"}, other);
        TestEnvironment::writeFile(m_bin + "/vivaldi", "not executable");
        usePath({other, m_bin});
        QCOMPARE(BrowserLauncher::installedBrowsers(),
                 (QStringList{"Google Chrome Beta", "Microsoft Edge", "Chromium"}));
        QCOMPARE(BrowserLauncher::findExecutable(QStringLiteral("Chromium")), other + "/chromium-browser");
    }

    void flatpakExportsInTheHomeFolderCount()
    {
        TestEnvironment::makeFakeBrowsers({"com.brave.Browser"},
                                          TestEnvironment::home() + "/.local/share/flatpak/exports/bin");
        QCOMPARE(BrowserLauncher::installedBrowsers(), QStringList{"Brave Browser"});
    }

    void resolution()
    {
        TestEnvironment::makeFakeBrowsers({"microsoft-edge", "chromium"}, m_bin);
        Account a = account();
        QCOMPARE(*BrowserLauncher::resolveBrowser(a), QStringLiteral("Microsoft Edge"));

        Settings::setDefaultBrowser(QStringLiteral("Chromium"));
        a.browser = QStringLiteral("Vivaldi"); // not installed: passed over
        QCOMPARE(*BrowserLauncher::resolveBrowser(a), QStringLiteral("Chromium"));

        a.browser = QStringLiteral("Microsoft Edge");
        QCOMPARE(*BrowserLauncher::resolveBrowser(a), QStringLiteral("Microsoft Edge"));

        a.browser = std::nullopt;
        Settings::setDefaultBrowser(QStringLiteral("Automatic"));
        QCOMPARE(*BrowserLauncher::resolveBrowser(a), QStringLiteral("Microsoft Edge"));
    }

    void argumentList_data()
    {
        QTest::addColumn<bool>("incognito");
        QTest::addColumn<QString>("extra");
        QTest::addColumn<QStringList>("switches");
        QTest::newRow("plain") << false << QString() << QStringList{};
        QTest::newRow("incognito") << true << QString() << QStringList{"--incognito"};
        QTest::newRow("incognito and flags")
            << true << QStringLiteral("--a --b") << QStringList{"--incognito", "--a", "--b"};
        QTest::newRow("spaces only") << false << QStringLiteral("    ") << QStringList{};
        QTest::newRow("stray spaces") << false << QStringLiteral("  --a   --b  ") << QStringList{"--a", "--b"};
        QTest::newRow("tab stays inside") << false << QStringLiteral("--a\t--b") << QStringList{"--a\t--b"};
        QTest::newRow("no unquoting") << false << QStringLiteral("\"--a b\"") << QStringList{"\"--a", "b\""};
    }

    void argumentList()
    {
        QFETCH(bool, incognito);
        QFETCH(QString, extra);
        QFETCH(QStringList, switches);
        Settings::setIncognito(incognito);
        Settings::setExtraArgs(extra);
        TestEnvironment::makeFakeBrowsers({"brave-browser"}, m_bin);
        Account a = account();
        a.browser = QStringLiteral("Brave Browser");

        QVERIFY(BrowserLauncher::open(a));
        const QString profile = Store::shared().profileDir(a.id);
        const QStringList browserArguments =
            QStringList{"--user-data-dir=" + profile, "--no-first-run", "--no-default-browser-check"} + switches +
            QStringList{a.url};
        QCOMPARE(BrowserLauncher::launchArguments(a, QStringLiteral("Brave Browser"), profile),
                 QStringList({"-na", "Brave Browser", "--args"}) + browserArguments);
        QCOMPARE(recorded(m_bin + "/brave-browser"), browserArguments);
    }

    void everyAccountHasItsOwnPrivateProfileFolder()
    {
        TestEnvironment::makeFakeBrowsers({"chromium"}, m_bin);
        const Account first = account();
        const Account second = account();
        QVERIFY(BrowserLauncher::open(first));
        const QString firstDir = recorded(m_bin + "/chromium").first();
        QVERIFY(BrowserLauncher::open(second));
        const QString secondDir = recorded(m_bin + "/chromium").first();
        QVERIFY(BrowserLauncher::open(first));
        QCOMPARE(recorded(m_bin + "/chromium").first(), firstDir);
        QVERIFY(firstDir != secondDir);

        const QString profile = Store::shared().profileDir(first.id);
        QCOMPARE(firstDir, "--user-data-dir=" + profile);
        QVERIFY(profile.endsWith("/Corvalink/profiles/" + first.idText()));
        QCOMPARE(QFileInfo(profile).permissions() & 0x0077, QFileDevice::Permissions());
        QCOMPARE(QFileInfo(QFileInfo(profile).path()).permissions() & 0x0077, QFileDevice::Permissions());
    }

    void aUrlThatLooksLikeASwitchIsRefused()
    {
        TestEnvironment::makeFakeBrowsers({"chromium"}, m_bin);
        const Account a = account(QStringLiteral("--utility-cmd-prefix=/bin/sh"));
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("refused to open")));
        QVERIFY(!BrowserLauncher::open(a));
        QTest::qWait(200);
        QVERIFY(!QFileInfo::exists(m_bin + "/chromium.args"));
        QVERIFY(!QFileInfo::exists(Store::shared().profileDir(a.id)));
    }
};

CORVALINK_TEST_MAIN(TestBrowserLauncher)
#include "TestBrowserLauncher.moc"
