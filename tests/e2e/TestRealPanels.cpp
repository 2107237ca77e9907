#include "AppDriver.h"
#include "TestEnvironment.h"
#include "XDoTool.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>

// The tray in the real panels of XFCE (xfce4-panel 4.18: its systray plugin
// hosts StatusNotifierItems and draws their menus with libdbusmenu-gtk) and
// LXQt (lxqt-panel 1.2: its Status Notifier plugin calls Activate on a left
// click, and the app shows its own menu), with openbox as the window manager:
// the icon is clicked and an account picked from the menu, as a person does.
class TestRealPanels : public QObject {
    Q_OBJECT

private:
    static constexpr int patience = 20000;

private Q_SLOTS:
    // Each panel across the top of the screen, holding the tray alone: the icon is its first item.
    void anAccountIsPickedFromTheMenu_data()
    {
        QTest::addColumn<QString>("panel");
        QTest::addColumn<QString>("configFile");
        QTest::addColumn<QByteArray>("config");
        QTest::newRow("XFCE") << u"xfce4-panel"_s << u"xfce4/xfconf/xfce-perchannel-xml/xfce4-panel.xml"_s
                              << QByteArray(R"(<?xml version="1.0" encoding="UTF-8"?>
<channel name="xfce4-panel" version="1.0">
  <property name="configver" type="int" value="2"/>
  <property name="panels" type="array">
    <value type="int" value="1"/>
    <property name="panel-1" type="empty">
      <property name="position" type="string" value="p=6;x=0;y=0"/>
      <property name="length" type="uint" value="100"/>
      <property name="size" type="uint" value="28"/>
      <property name="plugin-ids" type="array"><value type="int" value="1"/></property>
    </property>
  </property>
  <property name="plugins" type="empty"><property name="plugin-1" type="string" value="systray"/></property>
</channel>
)");
        QTest::newRow("LXQt") << u"lxqt-panel"_s << u"lxqt/panel.conf"_s
                              << QByteArray("[General]\n__userfile__=true\npanels=panel1\n\n[panel1]\n"
                                            "plugins=statusnotifier\nposition=Top\npanelSize=28\nwidth=100\n"
                                            "width-percent=true\nbackground-color=#808080\n\n"
                                            "[statusnotifier]\ntype=statusnotifier\n");
    }

    void anAccountIsPickedFromTheMenu()
    {
        QFETCH(QString, panel);
        QFETCH(QString, configFile);
        QFETCH(QByteArray, config);
        TestEnvironment::writeFile(qEnvironmentVariable("XDG_CONFIG_HOME") + u'/' + configFile, config);
        OwnedProcess bus, windowManager, panelProcess;
        QVERIFY(TestEnvironment::startSessionBus(bus)); // the panel's own services start on it with this environment
        const QString address = qEnvironmentVariable("DBUS_SESSION_BUS_ADDRESS");
        AppDriver driver;
        driver.environment.insert(u"DBUS_SESSION_BUS_ADDRESS"_s, address);
        windowManager.start(u"openbox"_s, {});
        panelProcess.start(panel, {});
        const QDBusConnection connection = QDBusConnection::connectToBus(address, panel);
        QVERIFY2(QTest::qWaitFor(
                     [&] { return connection.interface()->isServiceRegistered(u"org.kde.StatusNotifierWatcher"_s); },
                     patience),
                 panelProcess.log().constData());
        const Account work = TestAccounts::make("work", "GitHub"), perso = TestAccounts::make("perso", "GitHub");
        AppDriver::writeAccounts({work, perso});
        const auto app = driver.start();
        QTest::qWait(2000); // registered, and drawn by the panel
        // Opening perso puts it first in its group: the next menu shows the new order.
        for (const auto& [downs, account] : {std::pair{1, perso}, {2, work}})
            QVERIFY2(driver.pickFromTray("1", downs) == AppDriver::expectedArguments(account),
                     panelProcess.log().constData());
        // The panel goes and an XEmbed tray comes: the icon moves there, and
        // leaves it when the panel is back.
        panelProcess.kill();
        OwnedProcess trayer;
        trayer.start(u"trayer"_s, {"--edge", "top", "--widthtype", "request", "--height", "24"});
        QTRY_VERIFY2_WITH_TIMEOUT(!AppDriver::trayIcons().isEmpty(), app->log().constData(), patience);
        panelProcess.start(panel, {});
        QTRY_VERIFY2_WITH_TIMEOUT(AppDriver::trayIcons().isEmpty(), app->log().constData(), patience);
    }
};

CORVALINK_TEST_MAIN(TestRealPanels)
#include "TestRealPanels.moc"
