#include "AppDriver.h"
#include "TestEnvironment.h"
#include "XDoTool.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusInterface>
#include <QStandardPaths>

// The tray in whole desktop shells, which `make desktop-test` installs: KDE
// Plasma 5.27's plasmashell under Xvfb with openbox (no KWin), its watcher in
// kded5 as in a Plasma session.
class TestDesktopShells : public QObject {
    Q_OBJECT

private:
    static constexpr int patience = 60000;
    OwnedProcess m_bus;

    static bool hasService(const QString& name)
    {
        return QDBusConnection::sessionBus().interface()->isServiceRegistered(name);
    }
    static QVariant call(const QString& service, const QString& path, const QString& interface, const QString& method,
                         const QVariantList& arguments)
    {
        QDBusInterface target(service, path, interface);
        return target.callWithArgumentList(QDBus::Block, method, arguments).arguments().value(0);
    }

private Q_SLOTS:
    void initTestCase() { QVERIFY(TestEnvironment::startSessionBus(m_bus)); }

    // A left click calls Activate, and the app pops its own menu up at the
    // pointer; a right click shows the menu Plasma draws from the exported one.
    void kdePlasma()
    {
        if (QStandardPaths::findExecutable(u"plasmashell"_s).isEmpty())
            QSKIP("plasmashell is not installed (make desktop-test installs it)");
        qputenv("XDG_CURRENT_DESKTOP", "KDE");
        OwnedProcess windowManager, kded, shell;
        windowManager.start(u"openbox"_s, {});
        kded.start(u"kded5"_s, {});
        QTRY_VERIFY_WITH_TIMEOUT(hasService(u"org.kde.kded5"_s), patience);
        call(u"org.kde.kded5"_s, u"/kded"_s, u"org.kde.kded5"_s, u"loadModule"_s, {u"statusnotifierwatcher"_s});
        shell.start(u"plasmashell"_s, {});
        QTRY_VERIFY2_WITH_TIMEOUT(call(u"org.kde.StatusNotifierWatcher"_s, u"/StatusNotifierWatcher"_s,
                                       u"org.freedesktop.DBus.Properties"_s, u"Get"_s,
                                       {u"org.kde.StatusNotifierWatcher"_s, u"IsStatusNotifierHostRegistered"_s})
                                      .value<QDBusVariant>()
                                      .variant()
                                      .toBool(),
                                  shell.log().constData(), patience);
        // One panel across the top holding the tray alone: ours is its first item.
        // Asked again until it holds: the shell lays out its default panel a moment after it starts.
        const auto layOut = [] {
            return call(u"org.kde.plasmashell"_s, u"/PlasmaShell"_s, u"org.kde.PlasmaShell"_s, u"evaluateScript"_s,
                        {u"var ps = panels(); if (ps.length != 1 || ps[0].location != 'top') {"
                         " ps.forEach(function (p) { p.remove(); }); var p = new Panel('org.kde.panel');"
                         " p.location = 'top'; p.height = 28; p.addWidget('org.kde.plasma.systemtray'); }"
                         " print(panels().length + ' ' + panels()[0].location);"_s})
                .toString();
        };
        QTRY_COMPARE_WITH_TIMEOUT(layOut(), u"1 top"_s, patience);

        const Account work = TestAccounts::make("work", "GitHub"), perso = TestAccounts::make("perso", "GitHub");
        AppDriver::writeAccounts({work, perso});
        AppDriver driver;
        const auto app = driver.start();
        QTest::qWait(3000); // registered, and drawn by the panel
        // Opening perso puts it first: Plasma's menu, read afresh, shows the new order.
        for (const auto& [button, downs, account] : {std::tuple{"1", 1, perso}, {"3", 2, work}}) {
            XDoTool::run({"mousemove", "14", "14", "click", button});
            QTest::qWait(1500);
            for (int down = 0; down < downs; ++down)
                XDoTool::key(u"Down"_s);
            XDoTool::key(u"Return"_s);
            QVERIFY2(driver.browserArguments() == AppDriver::expectedArguments(account), shell.log().constData());
        }
    }
};

CORVALINK_TEST_MAIN(TestDesktopShells)
#include "TestDesktopShells.moc"
