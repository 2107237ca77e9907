#include "AppDriver.h"
#include "TestEnvironment.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <unistd.h>

// The app as a native client of a headless sway session with waybar's tray: no
// global shortcut, no menu at the pointer. "corvalink --menu" (what a user binds
// to a key) opens the account switcher; wtype types into it.
class TestWaylandSession : public QObject {
    Q_OBJECT

private:
    static constexpr int patience = 20000;
    // Outside the test's home, which the user nobody cannot enter.
    QTemporaryDir m_runtimeDir{QDir::tempPath() + u"/corvalink-sway-XXXXXX"_s};
    const QString m_runtime = m_runtimeDir.path();
    OwnedProcess m_sway, m_keyboard, m_bus, m_waybar;
    AppDriver m_driver;
    std::unique_ptr<OwnedProcess> m_app;
    const Account m_course = TestAccounts::make("Cours", u"\u00C9cole"_s, "https://ecole.example/");

    static QByteArray runClient(const QString& program, const QStringList& arguments)
    {
        QProcess process;
        process.start(program, arguments);
        process.waitForFinished(patience);
        return process.readAllStandardOutput();
    }
    static void type(const QStringList& arguments) { runClient(u"wtype"_s, arguments); }
    // Where waybar draws its tray: the top left corner.
    static QImage trayArea() { return QImage::fromData(runClient(u"grim"_s, {"-g", "0,0 40x28", "-"})); }

    // The app's windows as sway has them (shell, focused), with whether they float.
    QList<QJsonObject> appWindows() const
    {
        QList<QJsonObject> found;
        const std::function<void(QJsonObject, bool)> walk = [&](QJsonObject node, bool floating) {
            node.insert(u"floating"_s, floating);
            if (node.value(u"app_id"_s).toString() == QLatin1String(CORVALINK_APP_ID))
                found.append(node);
            for (const QString& key : {u"nodes"_s, u"floating_nodes"_s}) {
                for (const QJsonValue& child : node.value(key).toArray())
                    walk(child.toObject(), floating || key == u"floating_nodes"_s);
            }
        };
        walk(QJsonDocument::fromJson(runClient(u"swaymsg"_s, {"-r", "-t", "get_tree"})).object(), false);
        return found;
    }
    // The switcher among them: the one of its fixed size.
    QJsonObject switcher() const
    {
        const QList<QJsonObject> windows = appWindows();
        const auto it = std::find_if(windows.cbegin(), windows.cend(), [](const QJsonObject& window) {
            return window.value(u"window_rect"_s).toObject().value(u"width"_s).toInt() == 360;
        });
        return it == windows.cend() ? QJsonObject() : *it;
    }
    // "corvalink --menu" shows the switcher.
    bool menu() const
    {
        return m_driver.run({"--menu"}).exitCode == 0 &&
               QTest::qWaitFor([&] { return !switcher().isEmpty(); }, patience);
    }

private Q_SLOTS:
    void theSwitcherAsANativeFloatingWindow()
    {
        if (geteuid() != 0)
            QSKIP("sway runs as the user nobody, which needs root to arrange");
        QVERIFY(::chown(QFile::encodeName(m_runtime).constData(), 65534, 65534) == 0);
        const QString config = m_runtime + u"/config"_s;
        TestEnvironment::writeFile(config, "output HEADLESS-1 resolution 1280x800\n");
        QFile::setPermissions(config, QFile::ReadOwner | QFile::ReadOther);
        m_sway.start(u"env"_s, {"-i", "XDG_RUNTIME_DIR=" + m_runtime, "WLR_BACKENDS=headless",
                                "WLR_LIBINPUT_NO_DEVICES=1", "WLR_RENDERER=pixman", "PATH=/usr/bin:/bin", "setpriv",
                                "--reuid=65534", "--regid=65534", "--clear-groups", "sway", "-c", config});
        const auto socket = [&] { return QDir(m_runtime).entryList({u"sway-ipc.*.sock"_s}, QDir::System).value(0); };
        QTRY_VERIFY2_WITH_TIMEOUT(QFileInfo::exists(m_runtime + u"/wayland-1"_s) && !socket().isEmpty(),
                                  m_sway.log().constData(), patience);

        // Every child from now on is a client of the session; Qt picks Wayland itself.
        qputenv("WAYLAND_DISPLAY", QFile::encodeName(m_runtime + u"/wayland-1"_s));
        qputenv("SWAYSOCK", QFile::encodeName(m_runtime + u'/' + socket()));
        qputenv("XDG_SESSION_TYPE", "wayland");
        qunsetenv("DISPLAY");
        qunsetenv("QT_QPA_PLATFORM");

        // A keyboard for the whole session: a seat without one leaves no window active.
        m_keyboard.start(u"wtype"_s, {"-s", "600000", "-k", "F13"});

        // waybar's tray, its StatusNotifierWatcher in the bar itself.
        QVERIFY(TestEnvironment::startSessionBus(m_bus));
        TestEnvironment::writeFile(qEnvironmentVariable("XDG_CONFIG_HOME") + u"/waybar/config"_s,
                                   R"({"position": "top", "height": 28, "modules-left": ["tray"]})");
        m_waybar.start(u"waybar"_s, {});
        QTRY_VERIFY2_WITH_TIMEOUT(!trayArea().isNull(), m_waybar.log().constData(), patience);
        const QImage emptyTray = trayArea();

        const Account perso = TestAccounts::make("perso", "GitHub");
        AppDriver::writeAccounts({TestAccounts::make("work", "GitHub"), perso, m_course});
        m_driver.environment = QProcessEnvironment::systemEnvironment();
        m_driver.environment.insert(u"PATH"_s, m_driver.bin);
        m_app = m_driver.start();
        QTRY_VERIFY2_WITH_TIMEOUT(trayArea() != emptyTray, m_waybar.log().constData(), patience);
        // No pointer in a headless session: the menu is driven through
        // libdbusmenu, as waybar's menus are, clicks sent as EventGroup.
        AppDriver::readAndClickWithLibdbusmenu(u"org.kde.StatusNotifierItem-%1-1"_s.arg(m_app->processId()),
                                               u"perso"_s);
        QCOMPARE(m_driver.browserArguments(), AppDriver::expectedArguments(perso));
        QVERIFY2(menu(), m_sway.log().constData());
        QCOMPARE(switcher().value(u"shell"_s).toString(), u"xdg_shell"_s); // not XWayland
        QVERIFY(switcher().value(u"floating"_s).toBool());
        QTRY_VERIFY_WITH_TIMEOUT(switcher().value(u"focused"_s).toBool(), patience);

        type({u"ecol"_s}); // typing filters, Return opens
        type({u"-k"_s, u"Return"_s});
        QCOMPARE(m_driver.browserArguments(), AppDriver::expectedArguments(m_course));
        QTRY_VERIFY_WITH_TIMEOUT(switcher().isEmpty(), patience);
        QVERIFY(menu());
        type({u"-k"_s, u"Escape"_s});
        QTRY_VERIFY_WITH_TIMEOUT(switcher().isEmpty(), patience);
        QVERIFY(menu());
        QCOMPARE(m_driver.run({"--settings"}).exitCode, 0);
        QTRY_VERIFY_WITH_TIMEOUT(switcher().isEmpty() && appWindows().size() == 1, patience);

        // A link opens the chooser centred, with the keyboard, the link's own site
        // first: Return opens the link in École's account.
        OwnedProcess link;
        link.setProcessEnvironment(m_driver.environment);
        link.start(m_driver.executable(), {"https://cours.ecole.example/lesson/1"});
        QTRY_VERIFY_WITH_TIMEOUT(switcher().value(u"focused"_s).toBool(), patience);
        const QJsonObject rect = switcher().value(u"rect"_s).toObject();
        QVERIFY(std::abs(rect.value(u"x"_s).toInt() + 180 - 640) < 40);
        type({u"-k"_s, u"Return"_s});
        Account withLink = m_course;
        withLink.url = u"https://cours.ecole.example/lesson/1"_s;
        QCOMPARE(m_driver.browserArguments(), AppDriver::expectedArguments(withLink));
        QTRY_COMPARE_WITH_TIMEOUT(link.state(), QProcess::NotRunning, patience);
        QCOMPARE(link.exitCode(), 0);
    }
};

CORVALINK_TEST_MAIN(TestWaylandSession)
#include "TestWaylandSession.moc"
