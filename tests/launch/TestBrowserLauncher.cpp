#include "AccountOpener.h"
#include "BrowserLauncher.h"
#include "Paths.h"
#include "Settings.h"
#include "Store.h"
#include "TestEnvironment.h"
#include "WebFallbackWindow.h"

// Fake browsers: scripts named like the real executables that record their arguments.
class TestBrowserLauncher : public QObject {
    Q_OBJECT

private:
    const QString m_bin = TestEnvironment::home() + u"/bin"_s;

    static void usePath(const QStringList& folders) { qputenv("PATH", folders.join(u':').toUtf8()); }
    QStringList recorded(const QString& name) const { return TestEnvironment::recordedArguments(m_bin + u'/' + name); }

private Q_SLOTS:
    void init()
    {
        QDir(TestEnvironment::home()).removeRecursively();
        QDir().mkpath(m_bin);
        usePath({m_bin});
        Settings::d().clear();
    }

    // Nothing installed starts nothing and creates nothing; then the known order
    // holds and the first folder on PATH wins.
    void discoveryAndResolution()
    {
        const Account nowhere = TestAccounts::make("work");
        QVERIFY(BrowserLauncher::installedBrowsers().isEmpty() && !BrowserLauncher::open(nowhere));
        QVERIFY(!QFileInfo::exists(Paths::profileFolder(nowhere.id)));
        const QString other = TestEnvironment::home() + u"/other"_s;
        TestEnvironment::makeFakeBrowsers({"chromium", "microsoft-edge", "google-chrome-beta"}, m_bin);
        TestEnvironment::makeFakeBrowsers({"chromium-browser"}, other);
        TestEnvironment::writeFile(m_bin + u"/vivaldi"_s, "not executable");
        usePath({other, m_bin});
        QCOMPARE(BrowserLauncher::installedBrowsers(),
                 (QStringList{"Google Chrome Beta", "Microsoft Edge", "Chromium"}));
        QCOMPARE(BrowserLauncher::findExecutable(u"Chromium"_s), other + u"/chromium-browser"_s);

        // Flatpak exports in the home folder count too.
        TestEnvironment::makeFakeBrowsers({"com.brave.Browser"},
                                          TestEnvironment::home() + u"/.local/share/flatpak/exports/bin"_s);
        QVERIFY(BrowserLauncher::installedBrowsers().contains("Brave Browser"));

        // The account's own choice, else the default, else the first installed.
        Account a = TestAccounts::make("work");
        const QList<std::tuple<std::optional<QString>, QString, QString>> cases{
            {std::nullopt, "", "Google Chrome Beta"},
            {u"Vivaldi"_s, "Chromium", "Chromium"}, // not installed: passed over
            {u"Microsoft Edge"_s, "Chromium", "Microsoft Edge"},
            {std::nullopt, "Automatic", "Google Chrome Beta"}};
        for (const auto& [own, fallback, resolved] : cases) {
            a.browser = own;
            Settings::setDefaultBrowser(fallback.isEmpty() ? std::nullopt : std::optional(fallback));
            QCOMPARE(*BrowserLauncher::resolveBrowser(a), resolved);
        }
    }

    // Exact lists for each family and each preference; the URL always last.
    void argumentList_data()
    {
        QTest::addColumn<QString>("browser");
        QTest::addColumn<bool>("incognito");
        QTest::addColumn<QString>("extra");
        QTest::addColumn<QStringList>("switches");
        const QStringList chromium{"--no-first-run", "--no-default-browser-check"};
        QTest::newRow("plain") << "Brave Browser" << false << QString() << chromium;
        QTest::newRow("incognito and flags")
            << "Brave Browser" << true << u"--a --b"_s << chromium + QStringList{"--incognito", "--a", "--b"};
        QTest::newRow("spaces only") << "Brave Browser" << false << u"    "_s << chromium;
        QTest::newRow("stray spaces") << "Brave Browser" << false << u"  --a   --b  "_s
                                      << chromium + QStringList{"--a", "--b"};
        QTest::newRow("tab stays inside")
            << "Brave Browser" << false << u"--a\t--b"_s << chromium + QStringList{"--a\t--b"};
        QTest::newRow("no unquoting") << "Brave Browser" << false << u"\"--a b\""_s
                                      << chromium + QStringList{"\"--a", "b\""};
        QTest::newRow("firefox plain") << "Firefox" << false << QString() << QStringList{};
        QTest::newRow("firefox private, flags")
            << "Firefox ESR" << true << u" --a  --b"_s << QStringList{"--a", "--b", "--private-window"};
    }

    void argumentList()
    {
        QFETCH(QString, browser);
        QFETCH(bool, incognito);
        QFETCH(QString, extra);
        QFETCH(QStringList, switches);
        Settings::setIncognito(incognito);
        Settings::setExtraArgs(extra);
        const QString executable = BrowserLauncher::executables(browser).first();
        TestEnvironment::makeFakeBrowsers({executable}, m_bin);
        Account a = TestAccounts::make("work");
        a.browser = browser;
        QVERIFY(BrowserLauncher::open(a));
        const bool firefox = BrowserLauncher::isFirefoxFamily(browser);
        const QString profile = firefox ? Paths::firefoxProfileFolder(a.id) : Paths::profileFolder(a.id);
        const QStringList expected =
            (firefox ? QStringList{"--profile", profile} : QStringList{"--user-data-dir=" + profile}) + switches +
            QStringList{a.url};
        QCOMPARE(BrowserLauncher::launchArguments(a, browser, profile),
                 QStringList({"-na", browser, "--args"}) + expected);
        QCOMPARE(recorded(executable), expected);
        QCOMPARE(QFileInfo::exists(profile + u"/user.js"_s), firefox);
    }

    // Firefox alone: accounts open in it, each in a profile apart from its
    // Chromium one; a sandboxed browser's profiles go where its sandbox may
    // write, and removal deletes them all.
    void firefoxAndSandboxedBrowsers()
    {
        const QString flatpak = TestEnvironment::home() + u"/.local/share/flatpak/exports/bin"_s;
        TestEnvironment::makeFakeBrowsers({"org.mozilla.firefox"}, flatpak);
        TestEnvironment::makeFakeBrowsers({"firefox-esr"}, m_bin);
        QCOMPARE(BrowserLauncher::installedBrowsers(), (QStringList{"Firefox", "Firefox ESR"}));
        const Account a = TestAccounts::make("work");
        QVERIFY(AccountOpener::open(a) == AccountOpener::Outcome::Browser);
        const QString sandboxed =
            TestEnvironment::home() + u"/.var/app/org.mozilla.firefox/data/Corvalink/firefox-profiles/"_s + a.idText();
        QCOMPARE(TestEnvironment::recordedArguments(flatpak + u"/org.mozilla.firefox"_s).mid(0, 2),
                 (QStringList{"--profile", sandboxed}));
        QVERIFY(TestEnvironment::isPrivate(sandboxed) && QFileInfo::exists(sandboxed + u"/user.js"_s));
        QCOMPARE(Paths::browserDataFolder(u"/snap/bin/chromium"_s),
                 TestEnvironment::home() + u"/snap/chromium/common/Corvalink"_s);

        Store::shared().remove(a, true);
        QVERIFY(!QFileInfo::exists(sandboxed) && Paths::accountProfileFolders(a.id).isEmpty());

        // Each Firefox-family browser, alone, under each of its executables' names, gets --profile.
        QVERIFY(QDir(flatpak).removeRecursively());
        for (const QString& name : BrowserLauncher::known().mid(BrowserLauncher::known().indexOf("Firefox"))) {
            for (const QString& executable : BrowserLauncher::executables(name)) {
                const QString folder = TestEnvironment::makeFakeBrowsers({executable}, TestEnvironment::home() +
                                                                                           u"/alone/"_s + executable);
                usePath({folder});
                QVERIFY2(BrowserLauncher::open(a) &&
                             TestEnvironment::recordedArguments(folder + u'/' + executable).value(0) == "--profile",
                         qPrintable(executable));
            }
        }
    }

    void everyAccountHasItsOwnPrivateProfileFolder()
    {
        TestEnvironment::makeFakeBrowsers({"chromium"}, m_bin);
        const Account first = TestAccounts::make("first"), second = TestAccounts::make("second");

        // Folders left open to others by an earlier version are made private.
        const QString profile = Paths::profileFolder(first.id);
        QDir().mkpath(profile);
        for (const QString& folder : {profile, QFileInfo(profile).path()})
            QFile::setPermissions(folder, QFileDevice::Permissions(0x7755));
        QVERIFY(BrowserLauncher::open(first));
        QCOMPARE(recorded("chromium").first(), "--user-data-dir=" + profile);
        QVERIFY(profile.endsWith("/Corvalink/profiles/" + first.idText()));
        QVERIFY(TestEnvironment::isPrivate(profile) && TestEnvironment::isPrivate(QFileInfo(profile).path()));
        QVERIFY(BrowserLauncher::open(second));
        QCOMPARE(recorded("chromium").first(), "--user-data-dir=" + Paths::profileFolder(second.id));
        QVERIFY(BrowserLauncher::open(first));
        QCOMPARE(recorded("chromium").first(), "--user-data-dir=" + profile);
    }

    // A stored URL that is not a web address, or a profile the user linked to a
    // folder that is not private, opens nowhere: no browser, no web window.
    void whatOpensNowhere()
    {
        TestEnvironment::makeFakeBrowsers({"chromium"}, m_bin);
        Account a = TestAccounts::make("work");
        for (const char* url : {"file:///etc/passwd", "javascript:alert(document.cookie)", "https://", "data:,x"}) {
            a.url = QString::fromLatin1(url);
            QVERIFY2(AccountOpener::open(a) == AccountOpener::Outcome::Refused, url);
        }
        a.url = u"https://example.org/login"_s;
        const QString disk = TestEnvironment::home() + u"/disk"_s;
        QVERIFY(QDir().mkpath(disk) && QDir().mkpath(QFileInfo(Paths::profileFolder(a.id)).path()));
        QVERIFY(QFile::link(disk, Paths::profileFolder(a.id)));
        QFile::setPermissions(disk, QFileDevice::Permissions(0x7755));
        QVERIFY(AccountOpener::open(a) == AccountOpener::Outcome::Refused);
        QVERIFY(recorded("chromium").isEmpty() && WebFallbackWindow::open().isEmpty());
        QVERIFY(QFileInfo(disk).permissions().testFlag(QFileDevice::ReadOther)); // never chmodded through the link
        QFile::setPermissions(disk, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
        QVERIFY(AccountOpener::open(a) == AccountOpener::Outcome::Browser);
        QCOMPARE(recorded("chromium").first(), "--user-data-dir=" + Paths::profileFolder(a.id));
    }
};

CORVALINK_TEST_MAIN(TestBrowserLauncher)
#include "TestBrowserLauncher.moc"
