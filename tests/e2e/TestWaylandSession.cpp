#include "AccountsFile.h"
#include "AppDriver.h"
#include "Paths.h"
#include "TestAccounts.h"
#include "TestEnvironment.h"

#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>

#include <unistd.h>

// The app as a native client of a headless sway session: no tray, no global
// shortcut, no menu at the pointer. "corvalink --menu" (what a user binds to a
// key) opens the account switcher; wtype types into it.
class TestWaylandSession : public QObject {
    Q_OBJECT

private:
    static constexpr int patience = 20000;
    // Outside the test's home, which the user nobody cannot enter.
    QTemporaryDir m_runtimeDir{QDir::tempPath() + QStringLiteral("/corvalink-sway-XXXXXX")};
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
        environment.insert(QStringLiteral("WAYLAND_DISPLAY"), m_runtime + QStringLiteral("/wayland-1"));
        environment.insert(QStringLiteral("XDG_SESSION_TYPE"), QStringLiteral("wayland"));
        environment.remove(QStringLiteral("DISPLAY"));
        environment.remove(QStringLiteral("QT_QPA_PLATFORM")); // Qt picks Wayland itself
        const QStringList sockets = QDir(m_runtime).entryList({QStringLiteral("sway-ipc.*.sock")}, QDir::System);
        if (!sockets.isEmpty())
            environment.insert(QStringLiteral("SWAYSOCK"), m_runtime + QLatin1Char('/') + sockets.first());
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
            if (node.value(QStringLiteral("app_id")).toString() == QLatin1String(CORVALINK_APP_ID)) {
                QJsonObject window = node;
                window.insert(QStringLiteral("floating"), floating);
                found.append(window);
            }
            for (const QJsonValue& child : node.value(QStringLiteral("nodes")).toArray())
                walk(child.toObject(), floating);
            for (const QJsonValue& child : node.value(QStringLiteral("floating_nodes")).toArray())
                walk(child.toObject(), true);
        };
        walk(QJsonDocument::fromJson(runClient(QStringLiteral("swaymsg"), {"-r", "-t", "get_tree"})).object(), false);
        return found;
    }

    void type(const QStringList& arguments) { runClient(QStringLiteral("wtype"), arguments); }

    // The switcher among them: the one of its fixed size.
    std::optional<QJsonObject> switcher()
    {
        for (const QJsonObject& window : appWindows()) {
            if (window.value(QStringLiteral("window_rect")).toObject().value(QStringLiteral("width")).toInt() == 360)
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
        const QString config = m_runtime + QStringLiteral("/config");
        TestEnvironment::writeFile(config, "output HEADLESS-1 resolution 1280x800\n");
        QFile::setPermissions(config, QFile::ReadOwner | QFile::ReadOther);

        QProcessEnvironment swayEnvironment;
        swayEnvironment.insert(QStringLiteral("XDG_RUNTIME_DIR"), m_runtime);
        swayEnvironment.insert(QStringLiteral("WLR_BACKENDS"), QStringLiteral("headless"));
        swayEnvironment.insert(QStringLiteral("WLR_LIBINPUT_NO_DEVICES"), QStringLiteral("1"));
        swayEnvironment.insert(QStringLiteral("WLR_RENDERER"), QStringLiteral("pixman"));
        swayEnvironment.insert(QStringLiteral("PATH"), QStringLiteral("/usr/bin:/bin"));
        m_sway.setProcessEnvironment(swayEnvironment);
        m_sway.start(QStringLiteral("setpriv"),
                     {"--reuid=65534", "--regid=65534", "--clear-groups", "sway", "-c", config});
        QTRY_VERIFY_WITH_TIMEOUT(QFileInfo::exists(m_runtime + QStringLiteral("/wayland-1")) &&
                                     !clientEnvironment().value(QStringLiteral("SWAYSOCK")).isEmpty(),
                                 patience);
        // A keyboard for the whole session: a seat without one leaves no window active.
        m_keyboard.setProcessEnvironment(clientEnvironment());
        m_keyboard.start(QStringLiteral("wtype"), {"-s", "600000", "-k", "F13"});

        m_bin = TestEnvironment::makeFakeBrowsers({"chromium"});
        m_work = TestAccounts::make(QStringLiteral("work"), QStringLiteral("GitHub"),
                                    QStringLiteral("https://github.com/w"));
        m_work.color = QStringLiteral("Blue");
        m_perso = TestAccounts::make(QStringLiteral("perso"), QStringLiteral("GitHub"),
                                     QStringLiteral("https://github.com/p"));
        m_course = TestAccounts::make(QStringLiteral("Cours"), QStringLiteral("\u00C9cole"),
                                      QStringLiteral("https://ecole.example/"));
        m_course.color = QStringLiteral("Red");
        TestEnvironment::writeFile(Paths::dataFolder() + QStringLiteral("/accounts.json"),
                                   AccountsFile::encode({m_work, m_perso, m_course}));
        m_driver = std::make_unique<AppDriver>(m_bin);
        QProcessEnvironment environment = clientEnvironment();
        environment.insert(QStringLiteral("PATH"), m_bin);
        m_driver->setEnvironment(environment);
        m_app.reset(m_driver->start());
        QTest::qWait(1000);
    }

    void menuOpensTheSwitcherAsANativeFloatingWindow()
    {
        QCOMPARE(m_driver->run({QStringLiteral("--menu")}).exitCode, 0);
        QTRY_VERIFY_WITH_TIMEOUT(switcher().has_value(), patience);
        const QJsonObject window = *switcher();
        QCOMPARE(window.value(QStringLiteral("shell")).toString(), QStringLiteral("xdg_shell")); // not XWayland
        QVERIFY(window.value(QStringLiteral("floating")).toBool());
        QTRY_VERIFY_WITH_TIMEOUT(switcher().value_or(QJsonObject()).value(QStringLiteral("focused")).toBool(),
                                 patience);
    }

    void typingFiltersAndReturnOpens()
    {
        type({QStringLiteral("ecol")});
        type({QStringLiteral("-k"), QStringLiteral("Return")});
        const QStringList arguments = TestEnvironment::recordedArguments(m_bin + "/chromium", patience);
        QCOMPARE(arguments.value(0), "--user-data-dir=" + Paths::dataFolder() + "/profiles/" + m_course.idText());
        QCOMPARE(arguments.last(), m_course.url);
        QTRY_VERIFY_WITH_TIMEOUT(!switcher(), patience);
    }

    void escapeOrAnotherWindowCloses()
    {
        QCOMPARE(m_driver->run({QStringLiteral("--menu")}).exitCode, 0);
        QTRY_VERIFY_WITH_TIMEOUT(switcher().has_value(), patience);
        type({QStringLiteral("-k"), QStringLiteral("Escape")});
        QTRY_VERIFY_WITH_TIMEOUT(!switcher(), patience);

        QCOMPARE(m_driver->run({QStringLiteral("--menu")}).exitCode, 0);
        QTRY_VERIFY_WITH_TIMEOUT(switcher().has_value(), patience);
        QCOMPARE(m_driver->run({QStringLiteral("--settings")}).exitCode, 0);
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
