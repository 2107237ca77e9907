#include "BrowserLauncher.h"
#include "Paths.h"
#include "Settings.h"
#include "TestAccounts.h"
#include "TestEnvironment.h"
#include "TestHttpServer.h"

#include <csignal>

// The product's promise with a real browser: Debian's Chromium, headless,
// started by the launcher with each account's own profile folder.
class TestChromiumIsolation : public QObject {
    Q_OBJECT

private:
    TestHttpServer m_server;

    static Account account(const QString& label)
    {
        Account a = TestAccounts::make(label, u"Local"_s);
        a.browser = u"Chromium"_s;
        return a;
    }

    // Opens the account at the path and waits until that Chromium has exited,
    // so its cookies are on disk and its profile is free again.
    void openAndWait(Account account, const QString& path)
    {
        account.url = m_server.url(path);
        const int before = m_server.countFor(QUrl(account.url).path());
        QVERIFY(BrowserLauncher::open(account));
        QTRY_VERIFY_WITH_TIMEOUT(m_server.countFor(QUrl(account.url).path()) > before, 60000);
        const QString lock = Paths::profileFolder(account.id) + u"/SingletonLock"_s;
        QTRY_VERIFY_WITH_TIMEOUT(!QFileInfo(lock).isSymLink() && !QFileInfo::exists(lock), 60000);
    }

private Q_SLOTS:
    void initTestCase()
    {
        if (BrowserLauncher::findExecutable(u"Chromium"_s).isEmpty())
            QFAIL("Debian's chromium is not installed: run tools/install-deps.sh");
        // Headless, and as root Chromium needs --no-sandbox; the machine has no network.
        Settings::setExtraArgs(QStringLiteral("--headless --no-sandbox --disable-gpu --disable-background-networking "
                                              "--disable-component-update --disable-sync --dump-dom"));
    }

    void accountsOfOneSiteKeepSeparateCookies()
    {
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
    }

    // Removal must not delete a profile under a running browser: it would write it back.
    void aRunningBrowserHoldsItsProfile()
    {
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
        const QStringList urls{QLatin1Char(' ') + switchText, u"\t\n"_s + switchText, u"\u00A0\u2003"_s + switchText,
                               u"\x01"_s + switchText, u"https://example.org/\x7F"_s};
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
    }

    void aProfileFolderThatCannotBeMadeStartsNoBrowser()
    {
        Account a = account(u"blocked"_s);
        a.url = m_server.url(u"/blocked"_s);
        const QString profile = Paths::profileFolder(a.id);
        TestEnvironment::writeFile(profile, "a file in the folder's place");
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression(u"cannot be made private and writable"_s));
        QVERIFY(!BrowserLauncher::open(a));
        QTest::qWait(3000);
        QCOMPARE(m_server.countFor(u"/blocked"_s), 0);
        QCOMPARE(TestEnvironment::readFile(profile), QByteArray("a file in the folder's place"));
    }
};

CORVALINK_TEST_MAIN(TestChromiumIsolation)
#include "TestChromiumIsolation.moc"
