#include "BrowserLauncher.h"
#include "Settings.h"
#include "Store.h"
#include "TestEnvironment.h"
#include "TestHttpServer.h"

#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>

#include <csignal>

// The product's promise with a real browser: Debian's Chromium, headless,
// started by the launcher with each account's own profile folder.
class TestChromiumIsolation : public QObject {
    Q_OBJECT

private:
    TestHttpServer m_server;

    static Account account(const QString& label)
    {
        Account a;
        a.siteName = QStringLiteral("Local");
        a.label = label;
        a.browser = QStringLiteral("Chromium");
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
        const QString lock = Store::shared().profileDir(account.id) + QStringLiteral("/SingletonLock");
        QTRY_VERIFY_WITH_TIMEOUT(!QFileInfo(lock).isSymLink() && !QFileInfo::exists(lock), 60000);
    }

private Q_SLOTS:
    void initTestCase()
    {
        if (BrowserLauncher::findExecutable(QStringLiteral("Chromium")).isEmpty())
            QFAIL("Debian's chromium is not installed: run tools/install-deps.sh");
        // Headless, and as root Chromium needs --no-sandbox; the machine has no network.
        Settings::setExtraArgs(QStringLiteral("--headless --no-sandbox --disable-gpu --disable-background-networking "
                                              "--disable-component-update --disable-sync --dump-dom"));
    }

    void accountsOfOneSiteKeepSeparateCookies()
    {
        const Account alice = account(QStringLiteral("alice"));
        const Account bob = account(QStringLiteral("bob"));
        openAndWait(alice, QStringLiteral("/login?user=alice"));
        openAndWait(bob, QStringLiteral("/login?user=bob"));

        openAndWait(alice, QStringLiteral("/whoami"));
        QCOMPARE(m_server.lastCookieFor(QStringLiteral("/whoami")), QStringLiteral("session=alice"));
        openAndWait(bob, QStringLiteral("/whoami"));
        QCOMPARE(m_server.lastCookieFor(QStringLiteral("/whoami")), QStringLiteral("session=bob"));

        // A third account has no session at all.
        openAndWait(account(QStringLiteral("carol")), QStringLiteral("/whoami"));
        QCOMPARE(m_server.lastCookieFor(QStringLiteral("/whoami")), QStringLiteral(""));
    }

    // Removal must not delete a profile under a running browser: it would write it back.
    void aRunningBrowserHoldsItsProfile()
    {
        const QString headless = Settings::extraArgs();
        Settings::setExtraArgs(QString(headless).remove(QStringLiteral(" --dump-dom"))); // stays running
        Account a = account(QStringLiteral("running"));
        a.url = m_server.url(QStringLiteral("/running"));
        const QString profile = Store::shared().profileDir(a.id);
        QVERIFY(!BrowserLauncher::profileInUse(profile));
        QVERIFY(BrowserLauncher::open(a));
        Settings::setExtraArgs(headless);
        QTRY_VERIFY_WITH_TIMEOUT(m_server.countFor(QStringLiteral("/running")) > 0, 60000);
        QVERIFY(BrowserLauncher::profileInUse(profile));

        const QString owner = QFile::symLinkTarget(profile + QStringLiteral("/SingletonLock"));
        const pid_t pid = owner.mid(owner.lastIndexOf('-') + 1).toInt();
        QVERIFY(pid > 0);
        ::kill(pid, SIGKILL);
        QTRY_VERIFY_WITH_TIMEOUT(!BrowserLauncher::profileInUse(profile), 10000); // a stale lock is no owner
    }

    void aUrlThatChromiumWouldReadAsASwitchRunsNothing()
    {
        // A program that leaves a mark when Chromium runs it as its utility prefix.
        const QString program = TestEnvironment::home() + QStringLiteral("/leave-mark");
        TestEnvironment::writeFile(program, "#!/bin/sh\n: > \"$0.ran\"\nexec \"$@\"\n");
        QFile::setPermissions(program, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        const QString switchText = QStringLiteral("--utility-cmd-prefix=") + program;
        const QStringList urls{QLatin1Char(' ') + switchText, QStringLiteral("\t\n") + switchText,
                               QStringLiteral("\u00A0\u2003") + switchText, QStringLiteral("\x01") + switchText,
                               QStringLiteral("https://example.org/\x7F")};
        Account a = account(QStringLiteral("mallory"));
        for (const QString& url : urls) {
            a.url = url;
            QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("could be read as a browser switch")));
            QVERIFY2(!BrowserLauncher::open(a), qPrintable(url));
        }
        QTest::qWait(3000);
        QVERIFY(!QFileInfo::exists(program + QStringLiteral(".ran")));
        QVERIFY(!QFileInfo::exists(Store::shared().profileDir(a.id)));

        // The same text handed to Chromium does run the program: the check above means something.
        const QStringList headless = Settings::extraArgs().split(' ');
        QProcess::execute(BrowserLauncher::findExecutable(QStringLiteral("Chromium")),
                          headless + QStringList{"--user-data-dir=" + TestEnvironment::home() + "/control",
                                                 urls.first(), QStringLiteral("about:blank")});
        QTRY_VERIFY_WITH_TIMEOUT(QFileInfo::exists(program + QStringLiteral(".ran")), 30000);
    }

    void aProfileFolderThatCannotBeMadeStartsNoBrowser()
    {
        Account a = account(QStringLiteral("blocked"));
        a.url = m_server.url(QStringLiteral("/blocked"));
        const QString profile = Store::shared().profileDir(a.id);
        TestEnvironment::writeFile(profile, "a file in the folder's place");
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("cannot be made private and writable")));
        QVERIFY(!BrowserLauncher::open(a));
        QTest::qWait(3000);
        QCOMPARE(m_server.countFor(QStringLiteral("/blocked")), 0);
        QCOMPARE(TestEnvironment::readFile(profile), QByteArray("a file in the folder's place"));
    }
};

CORVALINK_TEST_MAIN(TestChromiumIsolation)
#include "TestChromiumIsolation.moc"
