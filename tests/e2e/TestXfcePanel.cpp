#include "AppDriver.h"
#include "TestEnvironment.h"
#include "XDoTool.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>

// The tray in XFCE's real panel (xfce4-panel 4.18; its systray plugin hosts
// StatusNotifierItems and draws their menus with libdbusmenu-gtk), with openbox
// as the window manager: the icon is clicked and an account picked from the
// menu the panel draws, as a person does.
class TestXfcePanel : public QObject {
    Q_OBJECT

private:
    static constexpr int patience = 20000;
    OwnedProcess m_bus, m_windowManager, m_panel;
    AppDriver m_driver;
    std::unique_ptr<OwnedProcess> m_app;

    // One panel across the top holding the system tray alone: the icon is its first item.
    static QByteArray panelConfig()
    {
        return R"(<?xml version="1.0" encoding="UTF-8"?>
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
)";
    }

private Q_SLOTS:
    void anAccountIsPickedFromThePanelsMenu()
    {
        TestEnvironment::writeFile(qEnvironmentVariable("XDG_CONFIG_HOME") +
                                       u"/xfce4/xfconf/xfce-perchannel-xml/xfce4-panel.xml"_s,
                                   panelConfig());
        QVERIFY(TestEnvironment::startSessionBus(m_bus)); // xfconfd starts on it with this environment
        m_driver.environment.insert(u"DBUS_SESSION_BUS_ADDRESS"_s, qEnvironmentVariable("DBUS_SESSION_BUS_ADDRESS"));
        m_windowManager.start(u"openbox"_s, {});
        m_panel.start(u"xfce4-panel"_s, {});
        QVERIFY(QTest::qWaitFor(
            [] {
                return QDBusConnection::sessionBus().interface()->isServiceRegistered(
                    u"org.kde.StatusNotifierWatcher"_s);
            },
            patience));
        const Account work = TestAccounts::make("work", "GitHub"), perso = TestAccounts::make("perso", "GitHub");
        AppDriver::writeAccounts({work, perso});
        m_app = m_driver.start();
        QTest::qWait(2000); // registered, and drawn by the panel
        // Opening perso puts it first in its group: the panel's next menu shows the new order.
        for (const auto& [downs, account] : {std::pair{1, perso}, {2, work}}) {
            XDoTool::run({"mousemove", "14", "14", "click", "1"});
            QTest::qWait(1000);
            for (int down = 0; down < downs; ++down)
                XDoTool::key(u"Down"_s); // past the "GitHub" header
            XDoTool::key(u"Return"_s);
            QCOMPARE(m_driver.browserArguments(), AppDriver::expectedArguments(account));
        }
    }
};

CORVALINK_TEST_MAIN(TestXfcePanel)
#include "TestXfcePanel.moc"
