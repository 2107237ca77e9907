#include "AccountsFile.h"
#include "AppDriver.h"
#include "Paths.h"
#include "TestAccounts.h"
#include "TestEnvironment.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <unistd.h>

// The app as a native client of a headless sway session: no tray, no global
// shortcut, no menu at the pointer. "corvalink --menu" (what a user binds to a
// key) opens the account switcher; wtype types into it.
class TestWaylandSession : public QObject {
    Q_OBJECT

private:
    static constexpr int patience = 20000;
    // Outside the test's home, which the user nobody cannot enter.
    QTemporaryDir m_runtimeDir{QDir::tempPath() + u"/corvalink-sway-XXXXXX"_s};
    QString m_runtime = m_runtimeDir.path();
    QString m_bin;
    QProcess m_sway;
    QProcess m_keyboard;
    std::unique_ptr<AppDriver> m_driver;
    std::unique_ptr<QProcess> m_app;
    Account m_work, m_perso, m_course;

    QProcessEnvironment clientEnvironment() const
    {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(u"WAYLAND_DISPLAY"_s, m_runtime + u"/wayland-1"_s);
        environment.insert(u"XDG_SESSION_TYPE"_s, u"wayland"_s);
        environment.remove(u"DISPLAY"_s);
        environment.remove(u"QT_QPA_PLATFORM"_s); // Qt picks Wayland itself
        const QStringList sockets = QDir(m_runtime).entryList({u"sway-ipc.*.sock"_s}, QDir::System);
        if (!sockets.isEmpty())
            environment.insert(u"SWAYSOCK"_s, m_runtime + QLatin1Char('/') + sockets.first());
        return environment;
    }

    QByteArray runClient(const QString& program, const QStringList& arguments)
    {
        QProcess process;
        process.setProcessEnvironment(clientEnvironment());
        process.start(program, arguments);
        process.waitForFinished(patience);
        return process.readAllStandardOutput();
    }

    // The app's windows as sway has them: title, shell, floating, focused.
    QList<QJsonObject> appWindows()
    {
        QList<QJsonObject> found;
        const std::function<void(const QJsonObject&, bool)> walk = [&](const QJsonObject& node, bool floating) {
            if (node.value(u"app_id"_s).toString() == QLatin1String(CORVALINK_APP_ID)) {
                QJsonObject window = node;
                window.insert(u"floating"_s, floating);
                found.append(window);
            }
            for (const QJsonValue& child : node.value(u"nodes"_s).toArray())
                walk(child.toObject(), floating);
            for (const QJsonValue& child : node.value(u"floating_nodes"_s).toArray())
                walk(child.toObject(), true);
        };
        walk(QJsonDocument::fromJson(runClient(u"swaymsg"_s, {"-r", "-t", "get_tree"})).object(), false);
        return found;
    }

    void type(const QStringList& arguments) { runClient(u"wtype"_s, arguments); }

    // The switcher among them: the one of its fixed size.
    std::optional<QJsonObject> switcher()
    {
        for (const QJsonObject& window : appWindows()) {
            if (window.value(u"window_rect"_s).toObject().value(u"width"_s).toInt() == 360)
                return window;
        }
        return std::nullopt;
    }

private Q_SLOTS:
    void initTestCase()
    {
        if (geteuid() != 0)
            QSKIP("sway runs as the user nobody, which needs root to arrange");
        QVERIFY(::chown(QFile::encodeName(m_runtime).constData(), 65534, 65534) == 0);
        QFile::setPermissions(m_runtime, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        const QString config = m_runtime + u"/config"_s;
        TestEnvironment::writeFile(config, "output HEADLESS-1 resolution 1280x800\n");
        QFile::setPermissions(config, QFile::ReadOwner | QFile::ReadOther);

        QProcessEnvironment swayEnvironment;
        swayEnvironment.insert(u"XDG_RUNTIME_DIR"_s, m_runtime);
        swayEnvironment.insert(u"WLR_BACKENDS"_s, u"headless"_s);
        swayEnvironment.insert(u"WLR_LIBINPUT_NO_DEVICES"_s, u"1"_s);
        swayEnvironment.insert(u"WLR_RENDERER"_s, u"pixman"_s);
        swayEnvironment.insert(u"PATH"_s, u"/usr/bin:/bin"_s);
        m_sway.setProcessEnvironment(swayEnvironment);
        m_sway.start(u"setpriv"_s, {"--reuid=65534", "--regid=65534", "--clear-groups", "sway", "-c", config});
        QTRY_VERIFY_WITH_TIMEOUT(QFileInfo::exists(m_runtime + u"/wayland-1"_s) &&
                                     !clientEnvironment().value(u"SWAYSOCK"_s).isEmpty(),
                                 patience);
        // A keyboard for the whole session: a seat without one leaves no window active.
        m_keyboard.setProcessEnvironment(clientEnvironment());
        m_keyboard.start(u"wtype"_s, {"-s", "600000", "-k", "F13"});

        m_bin = TestEnvironment::makeFakeBrowsers({"chromium"});
        m_work = TestAccounts::make(u"work"_s, u"GitHub"_s, u"https://github.com/w"_s);
        m_work.color = u"Blue"_s;
        m_perso = TestAccounts::make(u"perso"_s, u"GitHub"_s, u"https://github.com/p"_s);
        m_course = TestAccounts::make(u"Cours"_s, u"\u00C9cole"_s, u"https://ecole.example/"_s);
        m_course.color = u"Red"_s;
        TestEnvironment::writeFile(Paths::dataFolder() + u"/accounts.json"_s,
                                   AccountsFile::encode({m_work, m_perso, m_course}));
        m_driver = std::make_unique<AppDriver>(m_bin);
        QProcessEnvironment environment = clientEnvironment();
        environment.insert(u"PATH"_s, m_bin);
        m_driver->environment = environment;
        m_app.reset(m_driver->start());
        QTest::qWait(1000);
    }

    void menuOpensTheSwitcherAsANativeFloatingWindow()
    {
        QCOMPARE(m_driver->run({u"--menu"_s}).exitCode, 0);
        QTRY_VERIFY_WITH_TIMEOUT(switcher().has_value(), patience);
        const QJsonObject window = *switcher();
        QCOMPARE(window.value(u"shell"_s).toString(), u"xdg_shell"_s); // not XWayland
        QVERIFY(window.value(u"floating"_s).toBool());
        QTRY_VERIFY_WITH_TIMEOUT(switcher().value_or(QJsonObject()).value(u"focused"_s).toBool(), patience);
    }

    void typingFiltersAndReturnOpens()
    {
        type({u"ecol"_s});
        type({u"-k"_s, u"Return"_s});
        const QStringList arguments = TestEnvironment::recordedArguments(m_bin + "/chromium", patience);
        QCOMPARE(arguments.value(0), "--user-data-dir=" + Paths::dataFolder() + "/profiles/" + m_course.idText());
        QCOMPARE(arguments.last(), m_course.url);
        QTRY_VERIFY_WITH_TIMEOUT(!switcher(), patience);
    }

    void escapeOrAnotherWindowCloses()
    {
        QCOMPARE(m_driver->run({u"--menu"_s}).exitCode, 0);
        QTRY_VERIFY_WITH_TIMEOUT(switcher().has_value(), patience);
        type({u"-k"_s, u"Escape"_s});
        QTRY_VERIFY_WITH_TIMEOUT(!switcher(), patience);

        QCOMPARE(m_driver->run({u"--menu"_s}).exitCode, 0);
        QTRY_VERIFY_WITH_TIMEOUT(switcher().has_value(), patience);
        QCOMPARE(m_driver->run({u"--settings"_s}).exitCode, 0);
        QTRY_VERIFY_WITH_TIMEOUT(!switcher() && appWindows().size() == 1, patience);
    }

    void cleanupTestCase()
    {
        for (QProcess* process : {m_app.get(), &m_keyboard, &m_sway}) {
            if (process) {
                process->kill();
                process->waitForFinished();
            }
        }
    }
};

CORVALINK_TEST_MAIN(TestWaylandSession)
#include "TestWaylandSession.moc"
