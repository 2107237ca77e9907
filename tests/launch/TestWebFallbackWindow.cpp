#include "Store.h"
#include "TestEnvironment.h"
#include "TestHttpServer.h"
#include "WebFallbackWindow.h"

#include <QDir>
#include <QFileInfo>

// The in-app web window with the real web engine, on a real X server.
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
        QTRY_VERIFY(!WebFallbackWindow::open().contains(id));
    }

    static QString removeAndWait(const QUuid& id)
    {
        QString outcome = QStringLiteral("pending");
        WKWebsiteDataStoreHelper::remove(id, [&](const QString& error) { outcome = error; });
        if (!QTest::qWaitFor([&] { return outcome != QLatin1String("pending"); }, 10000))
            return QStringLiteral("timed out");
        return outcome;
    }

private Q_SLOTS:
    void theEngineIsLoadedOnlyWithTheFirstWindow()
    {
        QVERIFY(!WebFallbackWindow::engineLoaded());
        const Account a = account(QStringLiteral("work"), QStringLiteral("/start"));
        showAndWaitForPage(a);
        QVERIFY(WebFallbackWindow::engineLoaded());
        closeAndWait(a.id);
    }

    void oneWindowPerAccount()
    {
        const Account a = account(QStringLiteral("work"), QStringLiteral("/one"));
        showAndWaitForPage(a);
        WebFallbackWindow* window = WebFallbackWindow::open().value(a.id);
        QCOMPARE(window->windowTitle(), QStringLiteral("Claude \u2013 work"));
        QCOMPARE(window->size(), QSize(1100, 760));
        QVERIFY(QTest::qWaitForWindowExposed(window));

        WebFallbackWindow::show(a);
        QCOMPARE(WebFallbackWindow::open().size(), 1);
        QCOMPARE(WebFallbackWindow::open().value(a.id), window);
        QVERIFY(window->isVisible());
        closeAndWait(a.id);
    }

    void aUrlThatDoesNotParseGivesABlankWindow()
    {
        const int requests = int(m_server.requests().size());
        Account a = account(QStringLiteral("blank"), QString());
        a.url = QStringLiteral("not a url at all");
        WebFallbackWindow::show(a);
        QVERIFY(WebFallbackWindow::open().contains(a.id));
        QTest::qWait(500);
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

        // Removal refuses while the window is open, and deletes the session once it is closed.
        QVERIFY(removeAndWait(alice.id).contains(QStringLiteral("open")));
        closeAndWait(alice.id);
        QVERIFY(QFileInfo::exists(WebFallbackWindow::dataDir(alice.id)));
        QCOMPARE(removeAndWait(alice.id), QString());
        QVERIFY(!QFileInfo::exists(WebFallbackWindow::dataDir(alice.id)));

        showAndWaitForPage(alice);
        QCOMPARE(m_server.lastCookieFor(QStringLiteral("/whoami")), QStringLiteral(""));
        closeAndWait(alice.id);
        closeAndWait(bob.id);
        QCOMPARE(QFileInfo(WebFallbackWindow::dataDir(bob.id)).permissions() & 0x0077, QFileDevice::Permissions());
    }

    void removingAnAccountThatNeverHadWebDataSucceeds() { QCOMPARE(removeAndWait(QUuid::createUuid()), QString()); }
};

CORVALINK_TEST_MAIN(TestWebFallbackWindow)
#include "TestWebFallbackWindow.moc"
