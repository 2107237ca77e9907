#include "Store.h"
#include "TestEnvironment.h"
#include "TestHttpServer.h"
#include "WebFallbackWindow.h"
#include "XDoTool.h"

#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>

// The in-app web window with the real web engine, in its helper process, on a
// real X server.
class TestWebFallbackWindow : public QObject {
    Q_OBJECT

private:
    TestHttpServer m_server;

    Account account(const QString& label, const QString& path)
    {
        Account a;
        a.siteName = QStringLiteral("Claude");
        a.label = label;
        a.url = m_server.url(path);
        return a;
    }

    void showAndWaitForPage(const Account& a)
    {
        const QString path = QUrl(a.url).path();
        const int before = m_server.countFor(path);
        WebFallbackWindow::show(a);
        QTRY_VERIFY_WITH_TIMEOUT(m_server.countFor(path) > before, 30000);
    }

    static void closeAndWait(const QUuid& id)
    {
        WebFallbackWindow* window = WebFallbackWindow::open().value(id);
        QVERIFY(window);
        window->close();
        QTRY_VERIFY_WITH_TIMEOUT(!WebFallbackWindow::open().contains(id), 10000);
    }

    static QString removeAndWait(const QUuid& id)
    {
        QString outcome = QStringLiteral("pending");
        WKWebsiteDataStoreHelper::remove(id, [&](const QString& error) { outcome = error; });
        if (!QTest::qWaitFor([&] { return outcome != QLatin1String("pending"); }, 10000))
            return QStringLiteral("timed out");
        return outcome;
    }

    static QStringList windowsTitled(const QString& title)
    {
        return XDoTool::searchVisible({QStringLiteral("--name"), QLatin1Char('^') + title + QLatin1Char('$')});
    }

    static bool loadsWebEngine()
    {
        QFile maps(QStringLiteral("/proc/self/maps"));
        maps.open(QIODevice::ReadOnly);
        return maps.readAll().contains("WebEngine");
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
        const Account a = account(QStringLiteral("work"), QStringLiteral("/one"));
        showAndWaitForPage(a);
        QVERIFY(!loadsWebEngine()); // the engine lives in the helper, not here

        QStringList found;
        QTRY_VERIFY_WITH_TIMEOUT(!(found = windowsTitled("Claude \u2013 work")).isEmpty(), 10000);
        QCOMPARE(found.size(), 1);
        const QStringList geometry = XDoTool::run({"getwindowgeometry", found.first()});
        QVERIFY2(geometry.join(' ').contains(QStringLiteral("Geometry: 1100x760")), qPrintable(geometry.join(' ')));

        WebFallbackWindow* window = WebFallbackWindow::open().value(a.id);
        WebFallbackWindow::show(a);
        QCOMPARE(WebFallbackWindow::open().size(), 1);
        QCOMPARE(WebFallbackWindow::open().value(a.id), window);
        QTest::qWait(300);
        QCOMPARE(windowsTitled("Claude \u2013 work").size(), 1);

        // Closed by the user with Ctrl+W.
        XDoTool::run({"windowfocus", "--sync", found.first()});
        XDoTool::run({"key", "ctrl+w"});
        QTRY_VERIFY_WITH_TIMEOUT(!WebFallbackWindow::open().contains(a.id), 10000);
    }

    void theHelpersCommandLine()
    {
        Account a = account(QStringLiteral("work"), QStringLiteral("/x"));
        a.url = QStringLiteral("--no-sandbox");
        QStringList arguments = WebFallbackWindow::helperArguments(a);
        QCOMPARE(arguments.size(), 3); // a URL that does not parse is not passed: a blank window
        for (const QString& argument : arguments)
            QVERIFY(argument.contains('='));
        QCOMPARE(arguments.at(2), QStringLiteral("--title=Claude \u2013 work"));

        a.url = QStringLiteral("https://example.org/a b");
        QCOMPARE(WebFallbackWindow::helperArguments(a).size(), 3);
        a.url = QStringLiteral("https://example.org/login?next=%2F");
        QCOMPARE(WebFallbackWindow::helperArguments(a).last(),
                 QStringLiteral("--url=https://example.org/login?next=%2F"));
    }

    void aUrlThatDoesNotParseGivesABlankWindow()
    {
        const int requests = int(m_server.requests().size());
        Account a = account(QStringLiteral("blank"), QString());
        a.url = QStringLiteral("not a url at all");
        WebFallbackWindow::show(a);
        QStringList found;
        QTRY_VERIFY_WITH_TIMEOUT(!(found = windowsTitled("Claude \u2013 blank")).isEmpty(), 10000);
        // Once the web view has set up its rendering, the same window is still
        // there: it was not dropped and made again (a visible flash).
        QTest::qWait(500);
        QCOMPARE(windowsTitled("Claude \u2013 blank"), found);
        QCOMPARE(int(m_server.requests().size()), requests);
        closeAndWait(a.id);
    }

    void sessionsAreSeparateAndSurviveClosing()
    {
        Account alice = account(QStringLiteral("alice"), QStringLiteral("/login?user=alice"));
        Account bob = account(QStringLiteral("bob"), QStringLiteral("/login?user=bob"));
        showAndWaitForPage(alice);
        showAndWaitForPage(bob);
        QCOMPARE(WebFallbackWindow::open().size(), 2);
        closeAndWait(alice.id);
        closeAndWait(bob.id);

        alice.url = m_server.url(QStringLiteral("/whoami"));
        showAndWaitForPage(alice);
        QCOMPARE(m_server.lastCookieFor(QStringLiteral("/whoami")), QStringLiteral("session=alice"));
        bob.url = alice.url;
        showAndWaitForPage(bob);
        QCOMPARE(m_server.lastCookieFor(QStringLiteral("/whoami")), QStringLiteral("session=bob"));

        // Removal with the window open closes it, waits for its helper, then deletes
        // the session and the engine's own folder of the account.
        QVERIFY(QFileInfo::exists(WebFallbackWindow::engineDir(alice.id)));
        QCOMPARE(removeAndWait(alice.id), QString());
        QVERIFY(!WebFallbackWindow::open().contains(alice.id));
        QVERIFY(windowsTitled("Claude \u2013 alice").isEmpty());
        QVERIFY(!QFileInfo::exists(WebFallbackWindow::dataDir(alice.id)));
        QVERIFY(!QFileInfo::exists(WebFallbackWindow::engineDir(alice.id)));

        showAndWaitForPage(alice);
        QCOMPARE(m_server.lastCookieFor(QStringLiteral("/whoami")), QStringLiteral(""));
        closeAndWait(alice.id);
        closeAndWait(bob.id);
        QCOMPARE(QFileInfo(WebFallbackWindow::dataDir(bob.id)).permissions() & 0x0077, QFileDevice::Permissions());
    }

    void quittingClosesEveryWindowAndWaitsForIt()
    {
        // A folder left open to others by an earlier version is made private.
        const QString webdata = Store::shared().baseDir() + QStringLiteral("/webdata");
        QDir().mkpath(webdata);
        QFile::setPermissions(webdata, QFileDevice::Permissions(0x7755));
        const Account a = account(QStringLiteral("one"), QStringLiteral("/q1"));
        const Account b = account(QStringLiteral("two"), QStringLiteral("/q2"));
        showAndWaitForPage(a);
        showAndWaitForPage(b);
        QCOMPARE(QFileInfo(webdata).permissions() & 0x0077, QFileDevice::Permissions());

        WebFallbackWindow::closeAll(); // what quitting runs, with no event loop after it
        QVERIFY(WebFallbackWindow::open().isEmpty());
        QVERIFY(windowsTitled("Claude \u2013 one").isEmpty());
        QVERIFY(windowsTitled("Claude \u2013 two").isEmpty());
    }

    // The helper's input ends when its parent dies, however it dies; a second
    // helper on the same web data refuses to start.
    void aHelperLeftAloneClosesAndNoTwoShareAStore()
    {
        const Account a = account(QStringLiteral("orphan"), QStringLiteral("/orphan"));
        showAndWaitForPage(a);
        QProcess second;
        second.start(QCoreApplication::applicationDirPath() + QStringLiteral("/corvalink-web"),
                     WebFallbackWindow::helperArguments(a));
        QVERIFY(second.waitForFinished(10000));
        QCOMPARE(second.exitCode(), 3);
        QVERIFY(second.readAllStandardError().contains("already uses"));
        closeAndWait(a.id);

        QProcess orphan;
        orphan.start(QCoreApplication::applicationDirPath() + QStringLiteral("/corvalink-web"),
                     WebFallbackWindow::helperArguments(a));
        QTRY_VERIFY_WITH_TIMEOUT(!windowsTitled("Claude \u2013 orphan").isEmpty(), 30000);
        orphan.closeWriteChannel();
        QVERIFY(orphan.waitForFinished(10000));
        QCOMPARE(orphan.exitCode(), 0);
    }

    void removingAnAccountThatNeverHadWebDataSucceeds() { QCOMPARE(removeAndWait(QUuid::createUuid()), QString()); }
};

CORVALINK_TEST_MAIN(TestWebFallbackWindow)
#include "TestWebFallbackWindow.moc"
