#include "Paths.h"
#include "TestAccounts.h"
#include "TestEnvironment.h"
#include "TestHttpServer.h"
#include "WebFallbackWindow.h"
#include "XDoTool.h"

// The in-app web window with the real web engine, in its helper process, on a
// real X server.
class TestWebFallbackWindow : public QObject {
    Q_OBJECT

private:
    TestHttpServer m_server;

    Account account(const QString& label, const QString& path)
    {
        return TestAccounts::make(label, "Claude", m_server.url(path));
    }
    static QStringList windowsTitled(const QString& label)
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
    static void closeAndWait(const QUuid& id)
    {
        WebFallbackWindow::open().value(id)->close();
        QTRY_VERIFY_WITH_TIMEOUT(!WebFallbackWindow::open().contains(id), 10000);
    }
    static QString removeAndWait(const QUuid& id)
    {
        QString outcome = u"timed out"_s;
        WKWebsiteDataStoreHelper::remove(id, [&](const QString& error) { outcome = error; });
        (void)QTest::qWaitFor([&] { return outcome != u"timed out"_s; }, 10000);
        return outcome;
    }

private Q_SLOTS:
    // A failed check must not leave its windows to the next one.
    void cleanup()
    {
        WebFallbackWindow::closeAll();
        QTRY_VERIFY_WITH_TIMEOUT(WebFallbackWindow::open().isEmpty(), 10000);
    }

    void oneWindowPerAccountInItsOwnProcess()
    {
        const Account a = account(u"work"_s, u"/one"_s);
        showAndWaitForPage(a);
        QVERIFY(!TestEnvironment::readFile(u"/proc/self/maps"_s).contains("WebEngine")); // it lives in the helper
        QStringList found;
        QTRY_VERIFY_WITH_TIMEOUT(!(found = windowsTitled("work")).isEmpty(), 10000);
        QVERIFY(XDoTool::run({"getwindowgeometry", found.first()}).join(' ').contains("Geometry: 1100x760"));
        WebFallbackWindow* window = WebFallbackWindow::open().value(a.id);
        WebFallbackWindow::show(a);
        QTest::qWait(300);
        QVERIFY(WebFallbackWindow::open().size() == 1 && WebFallbackWindow::open().value(a.id) == window);
        QCOMPARE(windowsTitled("work").size(), 1);
        // Closed by the user with Ctrl+W.
        XDoTool::run({"windowfocus", "--sync", found.first()});
        XDoTool::run({"key", "ctrl+w"});
        QTRY_VERIFY_WITH_TIMEOUT(!WebFallbackWindow::open().contains(a.id), 10000);
    }

    // A URL that does not parse, or would be a switch, is not passed: the window
    // comes up blank, once (not dropped and made again, a visible flash).
    void theHelpersCommandLine()
    {
        Account a = account(u"blank"_s, {});
        for (const char* url : {"--no-sandbox", "https://example.org/a b", "not a url at all"}) {
            a.url = QString::fromLatin1(url);
            const QStringList arguments = WebFallbackWindow::helperArguments(a);
            QVERIFY(arguments.size() == 3 && arguments.filter(u"="_s).size() == 3);
            QCOMPARE(arguments.at(2), u"--title=Claude \u2013 blank"_s);
        }
        a.url = "https://example.org/login?next=%2F";
        QCOMPARE(WebFallbackWindow::helperArguments(a).last(), "--url=https://example.org/login?next=%2F");

        const int requests = int(m_server.requests().size());
        a.url = "not a url at all";
        WebFallbackWindow::show(a);
        QStringList found;
        QTRY_VERIFY_WITH_TIMEOUT(!(found = windowsTitled("blank")).isEmpty(), 10000);
        QTest::qWait(500);
        QVERIFY(windowsTitled("blank") == found && m_server.requests().size() == requests);
    }

    void sessionsAreSeparateAndSurviveClosing()
    {
        // A folder left open to others by an earlier version is made private.
        const QString webdata = Paths::dataFolder() + u"/webdata"_s;
        QDir().mkpath(webdata);
        QFile::setPermissions(webdata, QFileDevice::Permissions(0x7755));
        const Account alice = account(u"alice"_s, u"/login?user=alice"_s),
                      bob = account(u"bob"_s, u"/login?user=bob"_s);
        for (const Account& a : {alice, bob})
            showAndWaitForPage(a);
        QVERIFY(TestEnvironment::isPrivate(webdata) && TestEnvironment::isPrivate(WebFallbackWindow::dataDir(bob.id)));
        WebFallbackWindow::closeAll(); // what quitting runs, with no event loop after it
        QVERIFY(WebFallbackWindow::open().isEmpty() && windowsTitled("alice").isEmpty() &&
                windowsTitled("bob").isEmpty());

        showAndWaitForPage(alice, u"/whoami"_s);
        QCOMPARE(m_server.lastCookieFor(u"/whoami"_s), "session=alice");
        showAndWaitForPage(bob, u"/whoami"_s);
        QCOMPARE(m_server.lastCookieFor(u"/whoami"_s), "session=bob");

        // Removal with the window open closes it, waits for its helper, then deletes
        // the session and the engine's own folder of the account.
        QVERIFY(QFileInfo::exists(WebFallbackWindow::engineDir(alice.id)));
        QCOMPARE(removeAndWait(alice.id), QString());
        QVERIFY(!WebFallbackWindow::open().contains(alice.id) && windowsTitled("alice").isEmpty());
        QVERIFY(!QFileInfo::exists(WebFallbackWindow::dataDir(alice.id)));
        QVERIFY(!QFileInfo::exists(WebFallbackWindow::engineDir(alice.id)));
        showAndWaitForPage(alice, u"/whoami"_s);
        QCOMPARE(m_server.lastCookieFor(u"/whoami"_s), "");
        QCOMPARE(removeAndWait(QUuid::createUuid()), QString()); // an account that never had web data
    }

    // The helper's input ends when its parent dies, however it dies; a second
    // helper on the same web data refuses to start.
    void aHelperLeftAloneClosesAndNoTwoShareAStore()
    {
        const Account a = account(u"orphan"_s, u"/orphan"_s);
        showAndWaitForPage(a);
        QProcess second;
        second.start(helper(), WebFallbackWindow::helperArguments(a));
        QVERIFY(second.waitForFinished(10000) && second.exitCode() == 3);
        QVERIFY(second.readAllStandardError().contains("already uses"));
        closeAndWait(a.id);

        QProcess orphan;
        orphan.start(helper(), WebFallbackWindow::helperArguments(a));
        QTRY_VERIFY_WITH_TIMEOUT(!windowsTitled("orphan").isEmpty(), 30000);
        orphan.closeWriteChannel();
        QVERIFY(orphan.waitForFinished(10000) && orphan.exitCode() == 0);
    }
};

CORVALINK_TEST_MAIN(TestWebFallbackWindow)
#include "TestWebFallbackWindow.moc"
