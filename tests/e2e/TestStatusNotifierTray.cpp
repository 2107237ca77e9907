#include "AppDriver.h"
#include "TestEnvironment.h"
#include "XDoTool.h"
#include "sni/DBusMenuTypes.h"

#include <QDBusConnection>
#include <QDBusInterface>
#include <QDBusMessage>

// A StatusNotifierItem watcher, as KDE Plasma and GNOME's AppIndicator have.
class FakeWatcher : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.kde.StatusNotifierWatcher")

public:
    QStringList items;

public Q_SLOTS:
    void RegisterStatusNotifierItem(const QString& service) { items.append(service); }
};

// The watcher starts on a private session bus after the app, and the test plays
// the host that reads the item and drives its exported menu: it stands for what
// the real panels (test_real_panels, test_desktop_shells) cannot show, such as
// a click on an id read before the menu changed. No XEmbed tray runs.
class TestStatusNotifierTray : public QObject {
    Q_OBJECT

private:
    static constexpr int patience = 20000;
    OwnedProcess m_bus;
    AppDriver m_driver;
    std::unique_ptr<OwnedProcess> m_app;
    FakeWatcher m_watcher;
    const Account m_work = TestAccounts::make("work", "GitHub"), m_perso = TestAccounts::make("perso", "GitHub");

    QDBusMessage callMenu(const QString& method, const QVariantList& arguments)
    {
        QDBusMessage call = QDBusMessage::createMethodCall(m_watcher.items.value(0), u"/MenuBar"_s,
                                                           u"com.canonical.dbusmenu"_s, method);
        call.setArguments(arguments);
        return QDBusConnection::sessionBus().call(call, QDBus::Block, patience);
    }

    // The id the host reads for the top-level item labelled `label`.
    int idOf(const QString& label)
    {
        callMenu(u"AboutToShow"_s, {0});
        const QDBusMessage reply = callMenu(u"GetLayout"_s, {0, 1, QStringList{u"label"_s}});
        for (const DBusMenuLayout& item :
             qdbus_cast<DBusMenuLayout>(reply.arguments().value(1).value<QDBusArgument>()).children) {
            if (item.properties.value(u"label"_s) == label)
                return item.id;
        }
        return -1;
    }
    // The menu as libdbusmenu-glib, XFCE's and waybar's menu library, draws it:
    // labels, "*" after those with an icon, submenus indented; then a click.
    QString realHost(const QString& label)
    {
        return AppDriver::readAndClickWithLibdbusmenu(m_watcher.items.value(0), label);
    }

private Q_SLOTS:
    void theIconAppearsWhenTheWatcherStartsLate()
    {
        DBusMenuTypes::registerAll();
        QVERIFY(TestEnvironment::startSessionBus(m_bus) && QDBusConnection::sessionBus().isConnected());
        m_driver.environment.insert(u"DBUS_SESSION_BUS_ADDRESS"_s, qEnvironmentVariable("DBUS_SESSION_BUS_ADDRESS"));
        AppDriver::writeAccounts({m_work, m_perso, TestAccounts::make("R&D_team", "Claude")});
        m_app = m_driver.start();
        QTest::qWait(1500); // the app is up, with no tray anywhere
        QDBusConnection bus = QDBusConnection::sessionBus();
        QVERIFY(bus.registerObject(u"/StatusNotifierWatcher"_s, &m_watcher,
                                   QDBusConnection::ExportAllSlots | QDBusConnection::ExportAllProperties));
        QVERIFY(bus.registerService(u"org.kde.StatusNotifierWatcher"_s));
        QTRY_COMPARE_WITH_TIMEOUT(m_watcher.items.size(), 1, patience);
        // Not installed in the test home: the pixmaps, which every host draws, not a name LXQt would look for.
        QVERIFY(QDBusInterface(m_watcher.items.first(), u"/StatusNotifierItem"_s, u"org.kde.StatusNotifierItem"_s)
                    .property("IconName")
                    .toString()
                    .isEmpty());
    }

    // The host draws the menu with a "Remove account" submenu, every account with
    // a dot or a blank of its size (same indent); a click opens the account in its
    // profile; a changed file shows at the next opening, a long label shortened.
    void theHostDrawsAndDrivesTheMenu()
    {
        QCOMPARE(realHost(u"perso"_s),
                 u"Claude|R&D__team*|---|GitHub|perso*|work*|---|Add account\u2026|Remove account|"
                 "  Claude \u2013 R&D__team\u2026|  GitHub \u2013 perso\u2026|  GitHub \u2013 work\u2026|---|"
                 "Settings\u2026|About Corvalink|---|Quit Corvalink"_s);
        QCOMPARE(m_driver.browserArguments(), AppDriver::expectedArguments(m_perso));
        const QString added = u"added"_s + QString(400, u'x');
        AppDriver::writeAccounts(AppDriver::storedAccounts() << TestAccounts::make(added, "GitHub"));
        callMenu(u"AboutToShow"_s, {0}); // a host opens the menu: the file is read again
        QVERIFY(realHost(u"GitHub \u2013 work\u2026"_s).contains(u"|"_s + added.left(39) + u"\u2026*|"_s));
        QTRY_COMPARE_WITH_TIMEOUT(XDoTool::windowsNamed(u"^Corvalink$"_s).size(), 1, patience);
        XDoTool::key(u"Tab"_s);
        XDoTool::key(u"Return"_s); // "Remove, keep session"
        QTRY_VERIFY_WITH_TIMEOUT(!Account::find(AppDriver::storedAccounts(), m_work.id), patience);
        QVERIFY(!realHost({}).contains(u"|work*|"_s));
    }

    // An id names one item for good: a click sent with an id read before the
    // list changed still opens the account it named (GNOME's AppIndicator keeps
    // the layout it read); libdbusmenu-glib's clicks (EventGroup) arrive too.
    void idsNeverNameAnotherItem()
    {
        const Account a = TestAccounts::make("a", "Site"), b = TestAccounts::make("b", "Site");
        AppDriver::writeAccounts({a, b});
        const int idOfA = idOf(u"a"_s);
        QVERIFY(realHost(u"b"_s).startsWith(u"Site|a*|b*|"_s)); // b now comes first
        QCOMPARE(m_driver.browserArguments(), AppDriver::expectedArguments(b));
        callMenu(u"AboutToShow"_s, {0});
        callMenu(u"Event"_s, {idOfA, u"clicked"_s, QVariant::fromValue(QDBusVariant(0)), 0u});
        QCOMPARE(m_driver.browserArguments(), AppDriver::expectedArguments(a));
        QVERIFY(realHost(u"b"_s).startsWith(u"Site|a*|b*|---|Add account"_s));
        QCOMPARE(m_driver.browserArguments(), AppDriver::expectedArguments(b));
    }
};

CORVALINK_TEST_MAIN(TestStatusNotifierTray)
#include "TestStatusNotifierTray.moc"
