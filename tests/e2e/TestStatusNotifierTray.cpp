#include "AccountsFile.h"
#include "AppDriver.h"
#include "Paths.h"
#include "PrivateSessionBus.h"
#include "TestAccounts.h"
#include "TestEnvironment.h"
#include "XDoTool.h"
#include "sni/DBusMenuTypes.h"

#include <QDBusConnection>
#include <QDBusInterface>
#include <QDBusMessage>
#include <QDBusReply>

// A StatusNotifierItem host, as KDE Plasma and GNOME's AppIndicator have: a
// watcher on a private session bus that starts after the app, and a host that
// reads the item and drives its exported menu. No XEmbed tray runs.
class FakeWatcher : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.kde.StatusNotifierWatcher")
    Q_PROPERTY(bool IsStatusNotifierHostRegistered READ hostRegistered)
    Q_PROPERTY(int ProtocolVersion READ protocolVersion)
    Q_PROPERTY(QStringList RegisteredStatusNotifierItems READ items)

public:
    QStringList m_items;
    bool hostRegistered() const { return true; }
    int protocolVersion() const { return 0; }
    QStringList items() const { return m_items; }

public Q_SLOTS:
    void RegisterStatusNotifierItem(const QString& service) { m_items.append(service); }
    void RegisterStatusNotifierHost(const QString&) {}
};

class TestStatusNotifierTray : public QObject {
    Q_OBJECT

private:
    static constexpr int patience = 20000;
    std::unique_ptr<PrivateSessionBus> m_bus;
    QString m_bin;
    std::unique_ptr<AppDriver> m_driver;
    std::unique_ptr<QProcess> m_app;
    FakeWatcher m_watcher;
    Account m_work, m_perso, m_claude;

    static Account account(const QString& site, const QString& label)
    {
        return TestAccounts::make(label, site, "https://example.org/" + label);
    }

    static QString accountsFile() { return Paths::dataFolder() + u"/accounts.json"_s; }

    QDBusMessage callMenu(const QString& method, const QVariantList& arguments)
    {
        QDBusMessage call = QDBusMessage::createMethodCall(m_watcher.m_items.value(0), u"/MenuBar"_s,
                                                           u"com.canonical.dbusmenu"_s, method);
        call.setArguments(arguments);
        return QDBusConnection::sessionBus().call(call, QDBus::Block, patience);
    }

    // What the host draws when it opens the menu: labels, submenus indented.
    QStringList openMenu(QHash<QString, int>* ids = nullptr)
    {
        callMenu(u"AboutToShow"_s, {0});
        const QDBusMessage reply = callMenu(u"GetLayout"_s, {0, -1, QStringList()});
        if (reply.arguments().size() != 2)
            return {reply.errorMessage()};
        const auto root = qdbus_cast<DBusMenuLayout>(reply.arguments().at(1).value<QDBusArgument>());
        QStringList lines;
        const std::function<void(const DBusMenuLayout&, QString)> walk = [&](const DBusMenuLayout& item,
                                                                             QString indent) {
            for (const DBusMenuLayout& child : item.children) {
                const QString label = child.properties.value(u"type"_s).toString() == "separator"
                                          ? u"---"_s
                                          : child.properties.value(u"label"_s).toString();
                lines << indent + label;
                if (ids)
                    ids->insert(label, child.id);
                walk(child, indent + u"  "_s);
            }
        };
        walk(root, QString());
        return lines;
    }

    void click(const QString& label)
    {
        QHash<QString, int> ids;
        openMenu(&ids);
        QVERIFY2(ids.contains(label), qPrintable(label));
        callMenu(u"Event"_s, {ids.value(label), u"clicked"_s, QVariant::fromValue(QDBusVariant(0)), 0u});
    }

private Q_SLOTS:
    void initTestCase()
    {
        DBusMenuTypes::registerAll();
        m_bus = std::make_unique<PrivateSessionBus>();
        QVERIFY(QDBusConnection::sessionBus().isConnected());

        m_bin = TestEnvironment::makeFakeBrowsers({"chromium"});
        m_work = account("GitHub", "work");
        m_perso = account("GitHub", "perso");
        m_claude = account("Claude", "R&D_team");
        TestEnvironment::writeFile(accountsFile(), AccountsFile::encode({m_work, m_perso, m_claude}));
        m_driver = std::make_unique<AppDriver>(m_bin);
        m_app.reset(m_driver->start());
    }

    void theIconAppearsWhenTheWatcherStartsLate()
    {
        QTest::qWait(1500); // the app is up, with no tray anywhere
        QDBusConnection bus = QDBusConnection::sessionBus();
        QVERIFY(bus.registerObject(u"/StatusNotifierWatcher"_s, &m_watcher,
                                   QDBusConnection::ExportAllSlots | QDBusConnection::ExportAllProperties));
        QVERIFY(bus.registerService(u"org.kde.StatusNotifierWatcher"_s));
        QTRY_COMPARE_WITH_TIMEOUT(m_watcher.m_items.size(), 1, patience);

        QDBusInterface item(m_watcher.m_items.first(), u"/StatusNotifierItem"_s, u"org.kde.StatusNotifierItem"_s);
        QCOMPARE(item.property("ItemIsMenu").toBool(), true); // a left click shows the host's menu
        QCOMPARE(item.property("Title").toString(), u"Corvalink"_s);
        QCOMPARE(item.property("Menu").value<QDBusObjectPath>().path(), u"/MenuBar"_s);
    }

    void theHostDrawsTheMenuWithARemoveSubmenu()
    {
        const QStringList menu = openMenu();
        QCOMPARE(menu.join(u'|'),
                 u"Claude|R&D__team|---|GitHub|perso|work|---|Add account\u2026|Remove account|"
                 "  Claude \u2013 R&D__team\u2026|  GitHub \u2013 perso\u2026|  GitHub \u2013 work\u2026|---|"
                 "Settings\u2026|About Corvalink|---|Quit Corvalink"_s);
    }

    void aClickOpensTheAccountInItsProfile()
    {
        click(u"perso"_s);
        const QStringList arguments = TestEnvironment::recordedArguments(m_bin + "/chromium", patience);
        QCOMPARE(arguments.value(0), "--user-data-dir=" + Paths::dataFolder() + "/profiles/" + m_perso.idText());
        QCOMPARE(arguments.last(), m_perso.url);
    }

    void aChangedFileShowsAtTheNextOpening()
    {
        QList<Account> accounts = *AccountsFile::decode(TestEnvironment::readFile(accountsFile()));
        accounts.append(account("GitHub", "added"));
        TestEnvironment::writeFile(accountsFile(), AccountsFile::encode(accounts));
        QVERIFY(openMenu().contains(u"added"_s));
    }

    void theRemoveSubmenuAsksAndRemoves()
    {
        click(u"GitHub \u2013 work\u2026"_s);
        QTRY_COMPARE_WITH_TIMEOUT(XDoTool::windowsNamed(u"^Corvalink$"_s).size(), 1, patience);
        XDoTool::key(u"Tab"_s);
        XDoTool::key(u"Return"_s); // "Remove, keep session"
        QTRY_VERIFY_WITH_TIMEOUT(!TestEnvironment::readFile(accountsFile()).contains(m_work.idText().toUtf8()),
                                 patience);
        QVERIFY(!openMenu().contains(u"work"_s));
    }

    void cleanupTestCase()
    {
        m_app->kill();
        m_app->waitForFinished();
    }
};

CORVALINK_TEST_MAIN(TestStatusNotifierTray)
#include "TestStatusNotifierTray.moc"
