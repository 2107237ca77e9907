#include "AccountsFile.h"
#include "AppDriver.h"
#include "Paths.h"
#include "TestEnvironment.h"

#include <QDir>
#include <QFileInfo>
#include <QImage>
#include <QProcess>

// "corvalink --snapshot FOLDER" renders the three settings tabs and quits.
class TestSnapshot : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<AppDriver> m_driver;

    QString folder(const QString& name) const { return TestEnvironment::home() + QLatin1Char('/') + name; }

private Q_SLOTS:
    void initTestCase()
    {
        m_driver = std::make_unique<AppDriver>(TestEnvironment::makeFakeBrowsers({"chromium"}));
        Account account;
        account.siteName = QStringLiteral("GitHub");
        account.url = QStringLiteral("https://github.com/login");
        account.label = QStringLiteral("work");
        account.color = QStringLiteral("Blue");
        TestEnvironment::writeFile(Paths::dataFolder() + "/accounts.json", AccountsFile::encode({account}));
    }

    void threeTabsIntoAFolderEndingInASlash()
    {
        QDir().mkpath(folder("shots"));
        const auto result = m_driver->run({QStringLiteral("--snapshot"), folder("shots") + "/"});
        QCOMPARE(result.exitCode, 0);
        for (int i = 0; i < 3; ++i) {
            const QImage image(folder("shots") + QStringLiteral("/tab%1.png").arg(i));
            QVERIFY2(!image.isNull(), qPrintable(QString::number(i)));
            QCOMPARE(image.width(), 540);
            QVERIFY(image.pixelColor(image.width() - 3, image.height() - 3).lightness() > 200); // light palette
        }
        QVERIFY(!QFileInfo::exists(folder("shots/tab3.png")));
    }

    void theAddFormReplacesTheListWithSnapAdd()
    {
        QDir().mkpath(folder("list"));
        QDir().mkpath(folder("form"));
        QCOMPARE(m_driver->run({QStringLiteral("--snapshot"), folder("list")}).exitCode, 0);
        QProcessEnvironment environment = m_driver->environment();
        environment.insert(QStringLiteral("SNAP_ADD"), QString());
        QProcess process;
        process.setProcessEnvironment(environment);
        process.start(m_driver->executable(),
                      {QStringLiteral("--snapshot"), folder("form"), QStringLiteral("--settings")});
        QVERIFY(process.waitForFinished(30000));
        QCOMPARE(process.exitCode(), 0);
        const QImage list(folder("list/tab1.png"));
        const QImage form(folder("form/tab1.png"));
        QVERIFY(!list.isNull() && !form.isNull());
        QVERIFY(form.height() > list.height() + 100); // six rows and the buttons against one row
        QCOMPARE(QImage(folder("form/tab0.png")), QImage(folder("list/tab0.png")));
    }

    void aMissingFolderWritesNothingAndStillQuits()
    {
        const auto result = m_driver->run({QStringLiteral("--snapshot"), folder("missing")});
        QCOMPARE(result.exitCode, 0);
        QVERIFY(!QFileInfo::exists(folder("missing")));
    }

    // "--open" with no browser and no running instance opens a web window itself;
    // when its helper cannot start, or is not there, it says so and fails.
    void openingWithAHelperThatCannotStartFails()
    {
        const QString installed = folder("installed");
        QDir().mkpath(installed);
        QVERIFY(QFile::copy(m_driver->executable(), installed + "/corvalink"));
        QFile::setPermissions(installed + "/corvalink", QFile::ReadOwner | QFile::ExeOwner);
        TestEnvironment::writeFile(installed + "/corvalink-web", "#!/nonexistent/interpreter\n");
        QFile::setPermissions(installed + "/corvalink-web", QFile::ReadOwner | QFile::ExeOwner);
        QProcessEnvironment environment = m_driver->environment();
        environment.insert(QStringLiteral("PATH"), folder("no-browsers"));

        for (bool helperThere : {true, false}) {
            if (!helperThere)
                QFile::remove(installed + "/corvalink-web");
            QProcess process;
            process.setProcessEnvironment(environment);
            process.start(installed + "/corvalink", {QStringLiteral("--open"), QStringLiteral("work")});
            QVERIFY2(process.waitForFinished(30000), "--open hangs");
            QCOMPARE(process.exitCode(), 1);
            QVERIFY(process.readAllStandardError().contains("could not"));
        }
    }
};

CORVALINK_TEST_MAIN(TestSnapshot)
#include "TestSnapshot.moc"
