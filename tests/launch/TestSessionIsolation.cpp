#include "BrowserLauncher.h"
#include "Paths.h"
#include "Settings.h"
#include "TestEnvironment.h"
#include "TestHttpServer.h"
#include "WebFallbackWindow.h"
#include "XDoTool.h"

#include <csignal>
#include <unistd.h>

using TestAccounts::make;

// The product's promise with the real engines: Debian's Chromium, headless,
// started by the launcher with each account's own profile folder, and the
// in-app web window in its helper process on a real X server.
class TestSessionIsolation : public QObject {
    Q_OBJECT

private:
    TestHttpServer m_server;

    static Account account(const QString& label)
    {
        Account a = make(label, u"Local"_s);
        a.browser = u"Chromium"_s;
        return a;
    }

    // Opens the account at the path and waits until its browser has exited, so
    // its cookies are on disk and its profile is free again.
    void openAndWait(Account account, const QString& path)
    {
        account.url = m_server.url(path);
        const int before = m_server.countFor(QUrl(account.url).path());
        QVERIFY(BrowserLauncher::open(account));
        QTRY_VERIFY_WITH_TIMEOUT(m_server.countFor(QUrl(account.url).path()) > before, 60000);
        QTRY_VERIFY_WITH_TIMEOUT(!BrowserLauncher::accountInUse(account.id), 60000);
    }
    static QString cookiesIn(const QString& profile)
    {
        QProcess sqlite;
        sqlite.start(u"sqlite3"_s, {profile + u"/cookies.sqlite"_s, u"select group_concat(value) from moz_cookies"_s});
        return sqlite.waitForFinished(10000) ? QString::fromUtf8(sqlite.readAllStandardOutput()).trimmed() : QString();
    }

    Account webAccount(const QString& label, const QString& path) { return make(label, "Claude", m_server.url(path)); }
    static QStringList titled(const QString& label)
    {
        return XDoTool::windowsNamed(u"^Claude \u2013 "_s + label + u'$');
    }
    static QString helper() { return QCoreApplication::applicationDirPath() + u"/corvalink-web"_s; }

    void showAndWaitForPage(Account a, const QString& path = {})
    {
        a.url = path.isEmpty() ? a.url : m_server.url(path);
        const int before = m_server.countFor(QUrl(a.url).path());
        WebFallbackWindow::show(a);
        QTRY_VERIFY_WITH_TIMEOUT(m_server.countFor(QUrl(a.url).path()) > before, 30000);
    }
    // Processes by parent, read from /proc.
    static QMultiHash<pid_t, pid_t> processTree()
    {
        QMultiHash<pid_t, pid_t> children;
        for (const QString& entry : QDir(u"/proc"_s).entryList(QDir::Dirs)) {
            const QByteArray stat = TestEnvironment::readFile(u"/proc/"_s + entry + u"/stat"_s);
            const QList<QByteArray> fields = stat.mid(stat.lastIndexOf(')') + 2).split(' ');
            if (entry.toInt() > 0 && fields.size() > 1)
                children.insert(fields.at(1).toInt(), entry.toInt());
        }
        return children;
    }
    static QList<pid_t> webHelpers()
    {
        QList<pid_t> found = processTree().values(::getpid());
        found.removeIf(
            [](pid_t pid) { return !QFile::symLinkTarget(u"/proc/%1/exe"_s.arg(pid)).endsWith(u"/corvalink-web"_s); });
        return found;
    }
    static QList<pid_t> renderersUnder(pid_t root)
    {
        const QMultiHash<pid_t, pid_t> tree = processTree();
        QList<pid_t> renderers, pending{root};
        while (!pending.isEmpty()) {
            const pid_t pid = pending.takeLast();
            pending += tree.values(pid);
            if (TestEnvironment::readFile(u"/proc/%1/cmdline"_s.arg(pid)).contains("--type=renderer"))
                renderers << pid;
        }
        return renderers;
    }
    int ticksOf(const QString& user) const { return m_server.countFor(u"/tick"_s, u"user="_s + user); }
    void waitForStored(int count, const QString& seen)
    {
        QTRY_COMPARE_WITH_TIMEOUT(m_server.countFor(u"/stored"_s), count, 30000);
        QCOMPARE(m_server.lastQueryFor(u"/stored"_s), u"seen="_s + seen);
    }

    static QString removeAndWait(const QUuid& id)
    {
        QString outcome = u"timed out"_s;
        WKWebsiteDataStoreHelper::remove(id, [&](const QString& error) { outcome = error; });
        (void)QTest::qWaitFor([&] { return outcome != u"timed out"_s; }, 10000);
        return outcome;
    }

private Q_SLOTS:
    void accountsOfOneSiteKeepSeparateCookies()
    {
        if (BrowserLauncher::findExecutable(u"Chromium"_s).isEmpty())
            QFAIL("Debian's chromium is not installed: run tools/install-deps.sh");

        // Headless, and as root Chromium needs --no-sandbox; the machine has no network.
        Settings::setExtraArgs(QStringLiteral("--headless --no-sandbox --disable-gpu --disable-background-networking "
                                              "--disable-component-update --disable-sync --dump-dom"));
        const Account alice = account(u"alice"_s);
        const Account bob = account(u"bob"_s);
        openAndWait(alice, u"/login?user=alice"_s);
        openAndWait(bob, u"/login?user=bob"_s);

        openAndWait(alice, u"/whoami"_s);
        QCOMPARE(m_server.lastCookieFor(u"/whoami"_s), u"session=alice"_s);
        openAndWait(bob, u"/whoami"_s);
        QCOMPARE(m_server.lastCookieFor(u"/whoami"_s), u"session=bob"_s);

        // A third account has no session at all.
        openAndWait(account(u"carol"_s), u"/whoami"_s);
        QCOMPARE(m_server.lastCookieFor(u"/whoami"_s), u""_s);

        // Removal must not delete a profile under a running browser: it would write it back.
        const QString headless = Settings::extraArgs();
        Settings::setExtraArgs(QString(headless).remove(u" --dump-dom"_s)); // stays running
        Account a = account(u"running"_s);
        a.url = m_server.url(u"/running"_s);
        const QString profile = Paths::profileFolder(a.id);
        QVERIFY(!BrowserLauncher::profileInUse(profile));
        QVERIFY(BrowserLauncher::open(a));
        Settings::setExtraArgs(headless);
        QTRY_VERIFY_WITH_TIMEOUT(m_server.countFor(u"/running"_s) > 0, 60000);
        QVERIFY(BrowserLauncher::profileInUse(profile));

        const QString owner = QFile::symLinkTarget(profile + u"/SingletonLock"_s);
        const pid_t pid = owner.mid(owner.lastIndexOf('-') + 1).toInt();
        QVERIFY(pid > 0);
        ::kill(pid, SIGKILL);
        QTRY_VERIFY_WITH_TIMEOUT(!BrowserLauncher::profileInUse(profile), 10000); // a stale lock is no owner
    }

    void aUrlThatChromiumWouldReadAsASwitchRunsNothing()
    {
        // A program that leaves a mark when Chromium runs it as its utility prefix.
        const QString program = TestEnvironment::home() + u"/leave-mark"_s;
        TestEnvironment::writeFile(program, "#!/bin/sh\n: > \"$0.ran\"\nexec \"$@\"\n");
        QFile::setPermissions(program, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        const QString switchText = u"--utility-cmd-prefix="_s + program;
        const QStringList urls{switchText,          " " + switchText,
                               "\t\n" + switchText, u"\u00A0\u2003"_s + switchText,
                               "\x01" + switchText, u"https://example.org/\x7F"_s};
        Account a = account(u"mallory"_s);
        for (const QString& url : urls) {
            a.url = url;
            QTest::ignoreMessage(QtWarningMsg, QRegularExpression(u"could be read as a browser switch"_s));
            QVERIFY2(!BrowserLauncher::open(a), qPrintable(url));
        }
        QTest::qWait(3000);
        QVERIFY(!QFileInfo::exists(program + u".ran"_s));
        QVERIFY(!QFileInfo::exists(Paths::profileFolder(a.id)));

        // The same text handed to Chromium does run the program: the check above means something.
        const QStringList headless = Settings::extraArgs().split(' ');
        QProcess::execute(BrowserLauncher::findExecutable(u"Chromium"_s),
                          headless + QStringList{"--user-data-dir=" + TestEnvironment::home() + "/control",
                                                 urls.first(), u"about:blank"_s});
        QTRY_VERIFY_WITH_TIMEOUT(QFileInfo::exists(program + u".ran"_s), 30000);
        Account blocked = account(u"blocked"_s);
        blocked.url = m_server.url(u"/blocked"_s);
        const QString profile = Paths::profileFolder(blocked.id);
        TestEnvironment::writeFile(profile, "a file in the folder's place");
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression(u"cannot be made private and writable"_s));
        QVERIFY(!BrowserLauncher::open(blocked));
        QTest::qWait(3000);
        QCOMPARE(m_server.countFor(u"/blocked"_s), 0);
        QCOMPARE(TestEnvironment::readFile(profile), QByteArray("a file in the folder's place"));
    }

    // A failed check must not leave its windows to the next one.
    void cleanup()
    {
        WebFallbackWindow::closeAll();
        QTRY_VERIFY_WITH_TIMEOUT(WebFallbackWindow::open().isEmpty(), 10000);
    }

    void oneWindowPerAccount()
    {
        const Account a = webAccount(u"work"_s, u"/one"_s);
        showAndWaitForPage(a);
        QVERIFY(!TestEnvironment::readFile(u"/proc/self/maps"_s).contains("WebEngine")); // it lives in the helper
        QStringList found;
        QTRY_VERIFY_WITH_TIMEOUT(!(found = titled("work")).isEmpty(), 30000);
        // A link handed to the account loads in the window already open, also
        // one whose text holds a command word.
        WebFallbackWindow::showLink(a, QUrl(m_server.url(u"/linked?then=close"_s)));
        QTRY_VERIFY_WITH_TIMEOUT(m_server.countFor(u"/linked"_s) == 1, 30000);
        QCOMPARE(titled("work"), found);

        // Closed by the user with Ctrl+W.
        XDoTool::run({"windowfocus", "--sync", found.first()});
        XDoTool::run({"key", "ctrl+w"});
        QTRY_VERIFY_WITH_TIMEOUT(!WebFallbackWindow::open().contains(a.id), 10000);
    }

    // Every web window lives in one helper; each account keeps its own local
    // storage, cache and renderer, so one page's crash leaves the others running.
    void oneHelperForAllWindows()
    {
        const Account alice = webAccount(u"alice"_s, u"/storage?user=alice"_s),
                      bob = webAccount(u"bob"_s, u"/storage?user=bob"_s);
        showAndWaitForPage(alice);
        waitForStored(1, u"null"_s);
        showAndWaitForPage(bob);
        waitForStored(2, u"null"_s);                     // none of alice's storage
        QCOMPARE(m_server.countFor(u"/cached.js"_s), 2); // nor her cache
        const QList<pid_t> helper = webHelpers();
        QCOMPARE(helper.size(), 1);
        QVERIFY(!titled("alice").isEmpty() && !titled("bob").isEmpty());

        // Renderers are killed one by one until one page stops: the other goes on.
        QString stopped;
        for (const pid_t renderer : renderersUnder(helper.first())) {
            ::kill(renderer, SIGKILL);
            QTest::qWait(500);
            const int aliceTicks = ticksOf(u"alice"_s), bobTicks = ticksOf(u"bob"_s);
            QTest::qWait(2000);
            const bool aliceGoesOn = ticksOf(u"alice"_s) > aliceTicks, bobGoesOn = ticksOf(u"bob"_s) > bobTicks;
            QVERIFY(aliceGoesOn || bobGoesOn);
            if (!aliceGoesOn || !bobGoesOn) {
                stopped = aliceGoesOn ? u"bob"_s : u"alice"_s;
                break;
            }
        }
        QVERIFY(!stopped.isEmpty());
        QCOMPARE(webHelpers(), helper);
        QVERIFY(!titled("alice").isEmpty() && !titled("bob").isEmpty());
        // The crashed window loads again, from its own storage and cache.
        WebFallbackWindow::showLink(stopped == u"alice"_s ? alice : bob, QUrl(m_server.url(u"/storage"_s)));
        waitForStored(3, stopped);
        QCOMPARE(m_server.countFor(u"/cached.js"_s), 2);

        // One window closed beside another: its store is let go and reopens with its data.
        WebFallbackWindow::open().value(alice.id)->close();
        QTRY_VERIFY_WITH_TIMEOUT(!WebFallbackWindow::open().contains(alice.id), 10000);
        QVERIFY(titled("alice").isEmpty() && !titled("bob").isEmpty());
        WebFallbackWindow::showLink(alice, QUrl(m_server.url(u"/storage"_s)));
        waitForStored(4, u"alice"_s);
        QCOMPARE(webHelpers(), helper);

        // Removal beside an open window: nothing writes alice's data back.
        QCOMPARE(removeAndWait(alice.id), QString());
        QTest::qWait(1000);
        QVERIFY(!QFileInfo::exists(WebFallbackWindow::dataDir(alice.id)));
        // The helper ends with its last window.
        WebFallbackWindow::open().value(bob.id)->close();
        QTRY_VERIFY_WITH_TIMEOUT(webHelpers().isEmpty(), 10000);
    }

    // A URL that does not parse, or would be a switch, is not passed: the window
    // comes up blank, once (not dropped and made again, a visible flash).
    void theHelpersCommandLine()
    {
        Account blank = webAccount(u"blank"_s, {});
        for (const char* url : {"--no-sandbox", "https://example.org/a b", "not a url at all"}) {
            blank.url = QString::fromLatin1(url);
            const QStringList arguments = WebFallbackWindow::helperArguments(blank);
            QVERIFY(arguments.size() == 4 && arguments.filter(u"="_s).size() == 4);
            QCOMPARE(arguments.at(2), u"--title=Claude \u2013 blank"_s);
        }
        blank.url = "https://example.org/login?next=%2F";
        QCOMPARE(WebFallbackWindow::helperArguments(blank).last(), "--url=https://example.org/login?next=%2F");

        const int requests = int(m_server.requests.size());
        blank.url = "not a url at all";
        WebFallbackWindow::show(blank);
        QStringList found;
        QTRY_VERIFY_WITH_TIMEOUT(!(found = titled("blank")).isEmpty(), 30000);
        QTest::qWait(500);
        QVERIFY(titled("blank") == found && m_server.requests.size() == requests);
    }

    // A window that another Corvalink process started (a "--open" run) is raised,
    // not started twice; removal closes it before deleting its data, and deletes
    // a link to data elsewhere, not the data.
    void aWindowOfAnotherProcess()
    {
        const Account a = webAccount(u"elsewhere"_s, u"/elsewhere"_s);
        QVERIFY(Paths::makePrivateDir(Paths::dataFolder() + u"/webdata"_s) &&
                Paths::makePrivateDir(WebFallbackWindow::dataDir(a.id)));
        OwnedProcess other;
        other.start(helper(), WebFallbackWindow::helperArguments(a));
        QVERIFY(other.waitForReadyRead(30000) && other.readAllStandardOutput().contains("shown"));
        WebFallbackWindow::show(a);
        QVERIFY(!WebFallbackWindow::open().contains(a.id));
        QTest::qWait(1000);
        QVERIFY(titled("elsewhere").size() == 1 && other.state() == QProcess::Running);
        QVERIFY(removeAndWait(a.id).isEmpty());
        QVERIFY(!QFileInfo::exists(WebFallbackWindow::dataDir(a.id)));
        // It may have ended while the removal ran the event loop.
        QTRY_COMPARE_WITH_TIMEOUT(other.state(), QProcess::NotRunning, 10000);

        const QString disk = TestEnvironment::home() + u"/disk"_s;
        TestEnvironment::writeFile(disk + u"/Cookies"_s, "cookies");
        QVERIFY(QFile::link(disk, WebFallbackWindow::dataDir(a.id)));
        QVERIFY(removeAndWait(a.id).isEmpty() && QFileInfo::exists(disk + u"/Cookies"_s) &&
                !QFileInfo(WebFallbackWindow::dataDir(a.id)).isSymLink());
    }

    void sessionsAreSeparateAndSurviveClosing()
    {
        // A folder left open to others by an earlier version is made private.
        const QString webdata = Paths::dataFolder() + u"/webdata"_s;
        QDir().mkpath(webdata);
        QFile::setPermissions(webdata, QFileDevice::Permissions(0x7755));
        const Account alice = webAccount(u"alice"_s, u"/login?user=alice"_s),
                      bob = webAccount(u"bob"_s, u"/login?user=bob"_s);
        for (const Account& a : {alice, bob})
            showAndWaitForPage(a);
        QVERIFY(TestEnvironment::isPrivate(webdata) && TestEnvironment::isPrivate(WebFallbackWindow::dataDir(bob.id)));
        WebFallbackWindow::closeAll(); // what quitting runs, with no event loop after it
        QVERIFY(WebFallbackWindow::open().isEmpty() && titled("alice").isEmpty() && titled("bob").isEmpty());

        showAndWaitForPage(alice, u"/whoami"_s);
        QCOMPARE(m_server.lastCookieFor(u"/whoami"_s), "session=alice");
        showAndWaitForPage(bob, u"/whoami"_s);
        QCOMPARE(m_server.lastCookieFor(u"/whoami"_s), "session=bob");

        // Removal with the window open closes it, waits for its helper, then deletes
        // the session and the engine's own folder of the account.
        QVERIFY(QFileInfo::exists(WebFallbackWindow::engineDir(alice.id)));
        QCOMPARE(removeAndWait(alice.id), QString());
        QVERIFY(!WebFallbackWindow::open().contains(alice.id) && titled("alice").isEmpty());
        QVERIFY(!QFileInfo::exists(WebFallbackWindow::dataDir(alice.id)));
        QVERIFY(!QFileInfo::exists(WebFallbackWindow::engineDir(alice.id)));
        showAndWaitForPage(alice, u"/whoami"_s);
        QCOMPARE(m_server.lastCookieFor(u"/whoami"_s), "");
        QCOMPARE(removeAndWait(QUuid::createUuid()), QString()); // an account that never had web data
        // The helper's input ends when its parent dies, however it dies; a second
        // helper on the same web data refuses to start.
        const Account a = webAccount(u"orphan"_s, u"/orphan"_s);
        showAndWaitForPage(a);
        QProcess second;
        second.start(helper(), WebFallbackWindow::helperArguments(a));
        QVERIFY(second.waitForFinished(10000) && second.exitCode() == 3);
        QVERIFY(second.readAllStandardError().contains("already uses"));
        WebFallbackWindow::open().value(a.id)->close();
        QTRY_VERIFY_WITH_TIMEOUT(!WebFallbackWindow::open().contains(a.id), 10000);

        QProcess orphan;
        orphan.start(helper(), WebFallbackWindow::helperArguments(a));
        QTRY_VERIFY_WITH_TIMEOUT(!titled("orphan").isEmpty(), 30000);
        orphan.closeWriteChannel();
        QVERIFY(orphan.waitForFinished(10000) && orphan.exitCode() == 0);
    }

    // Debian's Firefox ESR, headless: each account's cookie stays in the profile
    // Corvalink made for it (Firefox's own prefs.js is there), user.js took
    // effect, and removal waits for the browser to end.
    void firefoxKeepsAccountsApart()
    {
        if (BrowserLauncher::findExecutable(u"Firefox ESR"_s).isEmpty())
            QFAIL("Debian's firefox-esr is not installed: run tools/install-deps.sh test");
        Settings::setExtraArgs(u"--headless --screenshot "_s + TestEnvironment::home() + u"/shot.png"_s);
        Account alice = account(u"alice"_s), bob = account(u"bob"_s);
        alice.browser = bob.browser = u"Firefox ESR"_s;
        openAndWait(alice, u"/login?user=alice"_s);
        openAndWait(bob, u"/login?user=bob"_s);
        openAndWait(alice, u"/whoami"_s);
        QCOMPARE(m_server.lastCookieFor(u"/whoami"_s), u"session=alice"_s);
        const QString profile = Paths::firefoxProfileFolder(alice.id);
        QVERIFY(cookiesIn(profile) == "alice" && cookiesIn(Paths::firefoxProfileFolder(bob.id)) == "bob");
        const QByteArray prefs = TestEnvironment::readFile(profile + u"/prefs.js"_s);
        QVERIFY(prefs.contains(R"(user_pref("browser.startup.homepage_override.mstone", "ignore");)"));

        Settings::setExtraArgs(u"--headless"_s); // stays running
        alice.url = m_server.url(u"/running"_s);
        QVERIFY(BrowserLauncher::open(alice));
        QTRY_VERIFY_WITH_TIMEOUT(m_server.countFor(u"/running"_s) > 0, 60000);
        QTRY_VERIFY_WITH_TIMEOUT(BrowserLauncher::accountInUse(alice.id), 30000);
        const QString owner = QFile::symLinkTarget(profile + u"/lock"_s);
        ::kill(owner.mid(owner.lastIndexOf(u"+"_s) + 1).toInt(), SIGTERM);
        QTRY_VERIFY_WITH_TIMEOUT(!BrowserLauncher::accountInUse(alice.id), 30000);
    }
};

CORVALINK_TEST_MAIN(TestSessionIsolation)
#include "TestSessionIsolation.moc"
