#include "HotKey.h"
#include "TestEnvironment.h"
#include "portal/PortalHotKeyBackend.h"

// The shortcut through the desktop: Debian's real xdg-desktop-portal on a
// private session bus, with a desktop backend of the test's own that binds
// what it is asked to, reports a trigger and sends Activated on request.
class TestHotKeyPortal : public QObject {
    Q_OBJECT

private:
    static constexpr int patience = 15000;
    QProcess m_bus;
    QProcess m_desktop, m_portal;
    QByteArray m_said;

    bool desktopSaid(const QByteArray& words)
    {
        return QTest::qWaitFor([&] { return (m_said += m_desktop.readAllStandardOutput()).contains(words); }, patience);
    }

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(TestEnvironment::startSessionBus(m_bus));
        const QString portals = TestEnvironment::home() + u"/portals"_s;
        TestEnvironment::writeFile(portals + u"/corvalinktest.portal"_s,
                                   "[portal]\nDBusName=org.freedesktop.impl.portal.desktop.corvalinktest\n"
                                   "Interfaces=org.freedesktop.impl.portal.GlobalShortcuts\nUseIn=corvalinktest\n");
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(u"XDG_DESKTOP_PORTAL_DIR"_s, portals);
        environment.insert(u"XDG_CURRENT_DESKTOP"_s, u"corvalinktest"_s);

        m_desktop.setProcessEnvironment(environment);
        m_desktop.start(u"/usr/bin/python3"_s, {QStringLiteral(CORVALINK_TEST_COMMON_DIR "/fake-shortcuts-portal.py"),
                                                u"org.freedesktop.impl.portal.desktop.corvalinktest"_s});
        QVERIFY(desktopSaid("ready"));
        m_portal.setProcessEnvironment(environment);
        m_portal.setProcessChannelMode(QProcess::ForwardedOutputChannel);
        m_portal.start(u"/usr/libexec/xdg-desktop-portal"_s, {u"--replace"_s});
        QVERIFY(QTest::qWaitFor([] { return PortalHotKeyBackend::available(); }, patience));
    }

    void bindsAndReactsAndLetsGo()
    {
        HotKey hotKey(std::make_unique<PortalHotKeyBackend>());
        QSignalSpy changed(&hotKey, &HotKey::changed);
        int presses = 0;
        hotKey.action = [&] { ++presses; };
        QCOMPARE(hotKey.kind(), HotKeyBackend::Kind::Portal);

        hotKey.setEnabled(true);
        QVERIFY(desktopSaid("bind open-menu CTRL+ALT+s Open the account menu"));
        QTRY_COMPARE_WITH_TIMEOUT(hotKey.trigger(), u"Ctrl+Alt+S (test desktop)"_s, patience);
        QVERIFY(changed.count() >= 1 && hotKey.isRegistered());

        m_desktop.write("activate open-menu\n");
        QTRY_COMPARE_WITH_TIMEOUT(presses, 1, patience);
        m_desktop.write("activate something-else\n");
        QVERIFY(desktopSaid("activated something-else"));

        // Switched off: the session is closed, and the desktop's presses no longer count.
        hotKey.setEnabled(false);
        QVERIFY(desktopSaid("closed"));
        m_desktop.write("activate open-menu\n");
        QVERIFY(desktopSaid("no session"));
        QTest::qWait(300);
        QVERIFY(presses == 1 && !hotKey.isRegistered());

        // And on again.
        m_said.clear();
        hotKey.setEnabled(true);
        QVERIFY(desktopSaid("bind open-menu"));
        QTRY_VERIFY_WITH_TIMEOUT(!hotKey.trigger().isEmpty(), patience);
        m_desktop.write("activate open-menu\n");
        QTRY_COMPARE_WITH_TIMEOUT(presses, 2, patience);
    }

    void cleanupTestCase()
    {
        for (QProcess* process : {&m_portal, &m_desktop}) {
            process->kill();
            process->waitForFinished();
        }
    }
};

CORVALINK_TEST_MAIN(TestHotKeyPortal)
#include "TestHotKeyPortal.moc"
