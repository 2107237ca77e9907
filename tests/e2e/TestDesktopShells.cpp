#include "AppDriver.h"
#include "TestEnvironment.h"
#include "XDoTool.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusInterface>
#include <QStandardPaths>

// The tray in whole desktop shells, which `make desktop-test` installs, each on
// a session bus of its own: KDE Plasma 5.27's plasmashell under Xvfb with
// openbox (no KWin), its watcher in kded5 as in a Plasma session; GNOME Shell
// 43 headless on Wayland with the AppIndicator extension.
class TestDesktopShells : public QObject {
    Q_OBJECT

private:
    static constexpr int patience = 60000;

    static bool hasService(const QDBusConnection& bus, const QString& name)
    {
        return bus.interface()->isServiceRegistered(name);
    }
    static QVariant call(const QDBusConnection& bus, const QString& service, const QString& path,
                         const QString& interface, const QString& method, const QVariantList& arguments)
    {
        QDBusInterface target(service, path, interface, bus);
        return target.callWithArgumentList(QDBus::Block, method, arguments).arguments().value(0);
    }
    static QDBusConnection startBus(QProcess& daemon, const QString& name)
    {
        return TestEnvironment::startSessionBus(daemon)
                   ? QDBusConnection::connectToBus(qEnvironmentVariable("DBUS_SESSION_BUS_ADDRESS"), name)
                   : QDBusConnection(name);
    }
    const Account m_work = TestAccounts::make("work", "GitHub"), m_perso = TestAccounts::make("perso", "GitHub");

private Q_SLOTS:
    // A left click calls Activate, and the app pops its own menu up at the
    // pointer; a right click shows the menu Plasma draws from the exported one.
    void kdePlasma()
    {
        if (QStandardPaths::findExecutable(u"plasmashell"_s).isEmpty())
            QSKIP("plasmashell is not installed (make desktop-test installs it)");
        qputenv("XDG_CURRENT_DESKTOP", "KDE");
        OwnedProcess bus, windowManager, kded, shell;
        const QDBusConnection connection = startBus(bus, u"plasma"_s);
        QVERIFY(connection.isConnected());
        windowManager.start(u"openbox"_s, {});
        kded.start(u"kded5"_s, {});
        QTRY_VERIFY_WITH_TIMEOUT(hasService(connection, u"org.kde.kded5"_s), patience);
        call(connection, u"org.kde.kded5"_s, u"/kded"_s, u"org.kde.kded5"_s, u"loadModule"_s,
             {u"statusnotifierwatcher"_s});
        shell.start(u"plasmashell"_s, {});
        // One panel across the top holding the tray alone: ours is its first item.
        // Asked again until it holds: the shell lays out its default panel a moment after it starts.
        const auto layOut = [&] {
            return call(connection, u"org.kde.plasmashell"_s, u"/PlasmaShell"_s, u"org.kde.PlasmaShell"_s,
                        u"evaluateScript"_s,
                        {u"var ps = panels(); if (ps.length != 1 || ps[0].location != 'top') {"
                         " ps.forEach(function (p) { p.remove(); }); var p = new Panel('org.kde.panel');"
                         " p.location = 'top'; p.height = 28; p.addWidget('org.kde.plasma.systemtray'); }"
                         " print(panels().length + ' ' + panels()[0].location);"_s})
                .toString();
        };
        QTRY_COMPARE_WITH_TIMEOUT(layOut(), u"1 top"_s, patience);

        AppDriver::writeAccounts({m_work, m_perso});
        AppDriver driver;
        const auto app = driver.start();
        QTest::qWait(3000); // registered, and drawn by the panel
        // Opening perso puts it first: Plasma's menu, read afresh, shows the new order.
        for (const auto& [button, downs, account] : {std::tuple{"1", 1, m_perso}, {"3", 2, m_work}})
            QVERIFY2(driver.pickFromTray(button, downs) == AppDriver::expectedArguments(account),
                     shell.log().constData());
    }

    // The extension draws the menu from the exported one; the test's own
    // extension (gnome-shell/extensions/shell-driver@corvalink) clicks its items as a pointer would.
    void gnomeShellWithAppIndicator()
    {
        if (QStandardPaths::findExecutable(u"gnome-shell"_s).isEmpty())
            QSKIP("gnome-shell is not installed (make desktop-test installs it)");
        qputenv("XDG_CURRENT_DESKTOP", "GNOME");
        OwnedProcess bus, systemBus, shell;
        const QDBusConnection connection = startBus(bus, u"gnome"_s);
        QVERIFY(connection.isConnected());
        // The shell needs a system bus, if only to find no login manager on it.
        systemBus.start(u"dbus-daemon"_s,
                        {"--config-file=/usr/share/dbus-1/session.conf", "--nofork", "--print-address"});
        QVERIFY(systemBus.waitForReadyRead(10000));
        qputenv("DBUS_SYSTEM_BUS_ADDRESS", systemBus.readLine().trimmed());
        // The test's own extension is found among the system's.
        qputenv("XDG_DATA_DIRS", CORVALINK_E2E_DIR ":/usr/local/share:/usr/share");
        QCOMPARE(QProcess::execute(u"gsettings"_s, {"set", "org.gnome.shell", "enabled-extensions",
                                                    "['ubuntu-appindicators@ubuntu.com', 'shell-driver@corvalink']"}),
                 0);
        shell.start(u"gnome-shell"_s, {"--headless", "--wayland", "--no-x11", "--virtual-monitor", "1280x800",
                                       "--wayland-display=corvalink-gnome"});
        QTRY_VERIFY2_WITH_TIMEOUT(hasService(connection, u"org.corvalink.ShellDriver"_s), shell.log().constData(),
                                  patience);
        const auto shellEval = [&](const QString& code) {
            return call(connection, u"org.corvalink.ShellDriver"_s, u"/org/corvalink/ShellDriver"_s,
                        u"org.corvalink.ShellDriver"_s, u"Eval"_s, {code})
                .toString();
        };
        const QString menu = u"const menu = Object.entries(Main.panel.statusArea)"
                             ".find(([key]) => key.startsWith('appindicator-'))[1].menu; "_s;

        AppDriver::writeAccounts({m_work, m_perso});
        AppDriver driver;
        driver.environment.insert(u"WAYLAND_DISPLAY"_s, u"corvalink-gnome"_s);
        driver.environment.insert(u"XDG_SESSION_TYPE"_s, u"wayland"_s);
        driver.environment.remove(u"DISPLAY"_s);
        const auto app = driver.start();
        QTRY_COMPARE_WITH_TIMEOUT(shellEval(menu + u"!!menu"_s), u"true"_s, patience);
        // Opening work puts it first: the extension's menu shows the new order,
        // and a click opens the account it shows.
        for (const auto& [order, account] : {std::pair{"GitHub perso work", m_work}, {"GitHub work perso", m_perso}}) {
            shellEval(menu + u"menu.open()"_s);
            QTRY_COMPARE_WITH_TIMEOUT(
                shellEval(menu + u"menu._getMenuItems().slice(0, 3).map(item => item.label.text).join(' ')"_s),
                u"\"%1\""_s.arg(QLatin1String(order)), 10000);
            shellEval(menu + u"const C = imports.gi.Clutter; menu._getMenuItems().find(item => item.label &&"
                             " item.label.text === '%1').activate(C.Event.new(C.EventType.BUTTON_RELEASE))"_s.arg(
                                 account.label));
            QCOMPARE(driver.browserArguments(), AppDriver::expectedArguments(account));
        }
    }
};

CORVALINK_TEST_MAIN(TestDesktopShells)
#include "TestDesktopShells.moc"
