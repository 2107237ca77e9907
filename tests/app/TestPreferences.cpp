#include "LoginItem.h"
#include "Settings.h"
#include "TestEnvironment.h"

class TestPreferences : public QObject {
    Q_OBJECT

private:
    static QString configFile() { return qEnvironmentVariable("XDG_CONFIG_HOME") + u"/Corvalink/Corvalink.conf"_s; }

private Q_SLOTS:
    // Fresh values; "Automatic" removes the key; empty flags stay stored.
    void freshValuesAndRemovedKeys()
    {
        QVERIFY(Settings::hotkeyEnabled() && !LoginItem::isEnabled());
        QVERIFY(!Settings::iCloudSync() && !Settings::incognito() && !Settings::defaultBrowser());
        Settings::setDefaultBrowser(u"Brave Browser"_s);
        Settings::setDefaultBrowser(std::nullopt);
        QVERIFY(!Settings::d().contains(Settings::defaultBrowserKey));
        Settings::setExtraArgs(QString());
        QVERIFY(Settings::d().contains(Settings::extraArgsKey) && Settings::extraArgs().isEmpty());
    }

    // Only a real boolean false switches the shortcut off.
    void shortcutFlagWrittenByAnotherTool()
    {
        const QList<std::pair<QByteArray, bool>> lines{{"false", false}, {"true", true},  {"yes", true}, {"no", true},
                                                       {"0", true},      {"FALSE", true}, {"", true}};
        for (const auto& [value, armed] : lines) {
            Settings::d().clear();
            Settings::d().sync();
            TestEnvironment::writeFile(configFile(), "[General]\nhotkeyEnabled=" + value + "\n");
            Settings::d().sync();
            QVERIFY2(Settings::hotkeyEnabled() == armed, value.constData());
        }
        Settings::d().setValue(Settings::hotkeyEnabledKey, 0); // a number in memory is no boolean either
        QVERIFY(Settings::hotkeyEnabled());
        Settings::d().setValue(Settings::hotkeyEnabledKey, false);
        QVERIFY(!Settings::hotkeyEnabled());
    }

    void autostartEntryOnAndOff()
    {
        LoginItem::setLaunchAtLogin(true);
        QVERIFY(LoginItem::isEnabled());
        QVERIFY(LoginItem::entryPath().endsWith(u"/autostart/corvalink.desktop"_s));
        const QStringList entry = QString::fromUtf8(TestEnvironment::readFile(LoginItem::entryPath())).split(u'\n');
        for (const char* line : {"[Desktop Entry]", "Type=Application", "Name=Corvalink",
                                 "X-GNOME-Autostart-enabled=true", "X-KDE-autostart-after=panel"})
            QVERIFY2(entry.contains(QString::fromLatin1(line)), line);
        QVERIFY(entry.contains("Exec=\"" + QCoreApplication::applicationFilePath() + '"'));
        LoginItem::setLaunchAtLogin(false);
        QVERIFY(!QFileInfo::exists(LoginItem::entryPath()) && !LoginItem::isEnabled());
    }

    void switchedOffOrForeignEntriesAreNotEnabled()
    {
        for (const char* off : {"Hidden=true\n", "X-GNOME-Autostart-enabled=false\n"}) {
            LoginItem::setLaunchAtLogin(true);
            TestEnvironment::writeFile(LoginItem::entryPath(), TestEnvironment::readFile(LoginItem::entryPath()) + off);
            QVERIFY2(!LoginItem::isEnabled(), off);
        }
        // Someone else's entry of the same name is neither ours to report, nor to
        // delete, nor to overwrite.
        const QByteArray foreign("[Desktop Entry]\nType=Application\nName=Other\nExec=other\n");
        TestEnvironment::writeFile(LoginItem::entryPath(), foreign);
        QVERIFY(!LoginItem::isEnabled());
        LoginItem::setLaunchAtLogin(false);
        QCOMPARE(TestEnvironment::readFile(LoginItem::entryPath()), foreign);
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression(u"^Launch at login failed: .+own entry"_s));
        LoginItem::setLaunchAtLogin(true);
        QCOMPARE(TestEnvironment::readFile(LoginItem::entryPath()), foreign);
        QVERIFY(!LoginItem::isEnabled());
        QFile::remove(LoginItem::entryPath());
    }

    void execIsQuotedForTheDesktopEntryFormat()
    {
        const QList<std::pair<QString, QString>> cases{{"/usr/bin/corvalink", "\"/usr/bin/corvalink\""},
                                                       {"/opt/my apps/corvalink", "\"/opt/my apps/corvalink\""},
                                                       {"/x/a\"b$c", "\"/x/a\\\\\"b\\\\$c\""},
                                                       {"/x/a\\b", "\"/x/a\\\\\\\\b\""},
                                                       {"/x/100%", "\"/x/100%%\""}};
        for (const auto& [path, exec] : cases)
            QCOMPARE(LoginItem::quotedExec(path), exec);
    }
};

CORVALINK_TEST_MAIN(TestPreferences)
#include "TestPreferences.moc"
