#include "HotKey.h"
#include "LoginItem.h"
#include "Settings.h"
#include "TestEnvironment.h"

#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

class TestPreferences : public QObject {
    Q_OBJECT

private:
    static QString configFile() { return qEnvironmentVariable("XDG_CONFIG_HOME") + "/Corvalink/Corvalink.conf"; }

    // As another tool would: straight into the file, then let the store re-read it.
    static void writeConfig(const QByteArray& lines)
    {
        Settings::d().clear();
        Settings::d().sync();
        TestEnvironment::writeFile(configFile(), "[General]\n" + lines);
        Settings::d().sync();
    }

private Q_SLOTS:
    void freshValuesThenValuesThatSurviveARestart()
    {
        QVERIFY(Settings::hotkeyEnabled());
        QVERIFY(!Settings::iCloudSync() && !Settings::incognito() && !Settings::defaultBrowser());
        QVERIFY(!LoginItem::isEnabled());

        Settings::setHotkeyEnabled(false);
        Settings::setIncognito(true);
        Settings::setICloudSync(true);
        Settings::setDefaultBrowser(QStringLiteral("Brave Browser"));
        Settings::setExtraArgs(QStringLiteral("--a  --b"));
        Settings::d().sync();

        QSettings reread(configFile(), QSettings::IniFormat);
        QCOMPARE(reread.value(Settings::hotkeyEnabledKey).toString(), QStringLiteral("false"));
        Settings::d().sync();
        QVERIFY(!Settings::hotkeyEnabled());
        QVERIFY(Settings::incognito());
        QVERIFY(Settings::iCloudSync());
        QCOMPARE(*Settings::defaultBrowser(), QStringLiteral("Brave Browser"));
        QCOMPARE(Settings::extraArgs(), QStringLiteral("--a  --b"));
    }

    void automaticBrowserRemovesTheKeyAndEmptyFlagsStayStored()
    {
        Settings::setDefaultBrowser(QStringLiteral("Chromium"));
        Settings::setDefaultBrowser(std::nullopt);
        QVERIFY(!Settings::d().contains(Settings::defaultBrowserKey));
        Settings::setExtraArgs(QString());
        QVERIFY(Settings::d().contains(Settings::extraArgsKey));
        QCOMPARE(Settings::extraArgs(), QString());
    }

    void shortcutFlagWrittenByAnotherTool_data()
    {
        QTest::addColumn<QByteArray>("line");
        QTest::addColumn<bool>("armed");
        QTest::newRow("boolean false") << QByteArray("hotkeyEnabled=false\n") << false;
        QTest::newRow("boolean true") << QByteArray("hotkeyEnabled=true\n") << true;
        QTest::newRow("yes") << QByteArray("hotkeyEnabled=yes\n") << true;
        QTest::newRow("no") << QByteArray("hotkeyEnabled=no\n") << true;
        QTest::newRow("zero") << QByteArray("hotkeyEnabled=0\n") << true;
        QTest::newRow("FALSE") << QByteArray("hotkeyEnabled=FALSE\n") << true;
        QTest::newRow("empty") << QByteArray("hotkeyEnabled=\n") << true;
        QTest::newRow("absent") << QByteArray("") << true;
    }

    void shortcutFlagWrittenByAnotherTool()
    {
        QFETCH(QByteArray, line);
        QFETCH(bool, armed);
        writeConfig(line);
        QCOMPARE(Settings::hotkeyEnabled(), armed);
    }

    void numberStoredInMemoryIsNotABoolean()
    {
        Settings::d().setValue(Settings::hotkeyEnabledKey, 0);
        QVERIFY(Settings::hotkeyEnabled());
        Settings::d().setValue(Settings::hotkeyEnabledKey, false);
        QVERIFY(!Settings::hotkeyEnabled());
    }

    void autostartEntryOnAndOff()
    {
        LoginItem::setLaunchAtLogin(true);
        QVERIFY(LoginItem::isEnabled());
        const QString entry = QString::fromUtf8(TestEnvironment::readFile(LoginItem::entryPath()));
        QVERIFY(LoginItem::entryPath().endsWith(QStringLiteral("/autostart/corvalink.desktop")));
        for (const char* line : {"[Desktop Entry]", "Type=Application", "Name=Corvalink",
                                 "X-GNOME-Autostart-enabled=true", "X-KDE-autostart-after=panel"})
            QVERIFY2(entry.split('\n').contains(QString::fromLatin1(line)), line);
        QVERIFY(entry.contains(QStringLiteral("Exec=\"") + QCoreApplication::applicationFilePath() + '"'));

        LoginItem::setLaunchAtLogin(false);
        QVERIFY(!QFileInfo::exists(LoginItem::entryPath()));
        QVERIFY(!LoginItem::isEnabled());
    }

    void switchedOffOrForeignEntriesAreNotEnabled()
    {
        for (const char* off : {"Hidden=true\n", "X-GNOME-Autostart-enabled=false\n"}) {
            LoginItem::setLaunchAtLogin(true);
            QFile file(LoginItem::entryPath());
            QVERIFY(file.open(QIODevice::Append));
            file.write(off);
            file.close();
            QVERIFY2(!LoginItem::isEnabled(), off);
        }

        // Someone else's entry of the same name is neither ours to report, nor to
        // delete, nor to overwrite.
        const QByteArray foreign("[Desktop Entry]\nType=Application\nName=Other\nExec=other\n");
        TestEnvironment::writeFile(LoginItem::entryPath(), foreign);
        QVERIFY(!LoginItem::isEnabled());
        LoginItem::setLaunchAtLogin(false);
        QCOMPARE(TestEnvironment::readFile(LoginItem::entryPath()), foreign);
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("^Launch at login failed: .+own entry")));
        LoginItem::setLaunchAtLogin(true);
        QCOMPARE(TestEnvironment::readFile(LoginItem::entryPath()), foreign);
        QVERIFY(!LoginItem::isEnabled());
        QFile::remove(LoginItem::entryPath());
    }

    void failureIsLoggedAndTheStatusTellsTheTruth()
    {
        const QString autostart = QFileInfo(LoginItem::entryPath()).path();
        QDir(autostart).removeRecursively();
        TestEnvironment::writeFile(autostart, "a file where the folder should be");
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("^Launch at login failed: .+")));
        LoginItem::setLaunchAtLogin(true);
        QVERIFY(!LoginItem::isEnabled());
        QFile::remove(autostart);
    }

    void withoutX11TheShortcutSaysSoOnce()
    {
        HotKey hotKey(makeHotKeyBackend()); // offscreen: no X11 connection
        QTest::ignoreMessage(QtWarningMsg,
                             "Corvalink: this session offers no global shortcut to the app; bind a key to "
                             "\"corvalink --menu\" in the desktop's keyboard settings");
        QTest::failOnWarning(QRegularExpression(QStringLiteral(".*")));
        hotKey.setEnabled(true);
        hotKey.setEnabled(true);
        QVERIFY(!hotKey.isRegistered());
    }

    void execIsQuotedForTheDesktopEntryFormat_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("exec");
        QTest::newRow("plain") << "/usr/bin/corvalink"
                               << "\"/usr/bin/corvalink\"";
        QTest::newRow("space") << "/opt/my apps/corvalink"
                               << "\"/opt/my apps/corvalink\"";
        QTest::newRow("quote and dollar") << "/x/a\"b$c"
                                          << "\"/x/a\\\\\"b\\\\$c\"";
        QTest::newRow("backslash") << "/x/a\\b"
                                   << "\"/x/a\\\\\\\\b\"";
        QTest::newRow("percent") << "/x/100%"
                                 << "\"/x/100%%\"";
    }

    void execIsQuotedForTheDesktopEntryFormat()
    {
        QFETCH(QString, path);
        QFETCH(QString, exec);
        QCOMPARE(LoginItem::quotedExec(path), exec);
    }
};

CORVALINK_TEST_MAIN(TestPreferences)
#include "TestPreferences.moc"
