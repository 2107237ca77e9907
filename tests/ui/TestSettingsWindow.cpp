#include "AccountsFile.h"
#include "AddAccountForm.h"
#include "Contrast.h"
#include "Feedback.h"
#include "LoginItem.h"
#include "Settings.h"
#include "SettingsWindowController.h"
#include "Store.h"
#include "SwitchButton.h"
#include "TestAccounts.h"
#include "TestEnvironment.h"
#include "WidgetFinder.h"

// The settings window and its General tab, through the widgets a person uses.
class TestSettingsWindow : public QObject {
    Q_OBJECT

private:
    const QString m_bin = TestEnvironment::home() + u"/bin"_s;
    const QString m_notSetUp = u"iCloud Drive is not set up on this computer. Mount it at ~/Library/Mobile "
                               "Documents/com~apple~CloudDocs, then reopen Settings."_s;

    SettingsWindowController& controller() { return SettingsWindowController::shared(); }
    static SettingsWindow* window() { return SettingsWindowController::shared().window(); }

    // Reopens the window on the General tab, which builds the page afresh.
    QWidget* general()
    {
        if (window())
            window()->close();
        controller().show(0);
        return window()->page(0)->content();
    }
    template <typename T> T* control(const QString& row)
    {
        return WidgetFinder::in<T>(WidgetFinder::row(general(), row));
    }

private Q_SLOTS:
    void init()
    {
        Settings::d().clear();
        QDir(TestEnvironment::home() + u"/Library"_s).removeRecursively();
        QDir(m_bin).removeRecursively();
        QDir().mkpath(m_bin);
        qputenv("PATH", m_bin.toUtf8());
    }

    void theWindowIsBuiltOnceAndKeepsItsTab()
    {
        controller().show(2);
        SettingsWindow* first = window();
        first->close();
        controller().show();
        QVERIFY(window() == first && first->isVisible() && first->currentTab() == 2);
        QVERIFY(!first->windowFlags().testFlag(Qt::WindowMinimizeButtonHint));
        QCOMPARE(first->minimumSize(), first->maximumSize()); // sized by its page, not by hand
    }

    void browserChoiceSwitchesAndFlags()
    {
        QCOMPARE(control<SelectView>(u"Default browser"_s)->items(), QStringList{"Automatic"});
        TestEnvironment::makeFakeBrowsers({"chromium", "vivaldi"}, m_bin);
        Settings::setDefaultBrowser(u"Brave Browser"_s); // not installed: shown as Automatic, kept
        SelectView* select = control<SelectView>(u"Default browser"_s);
        QCOMPARE(select->items(), (QStringList{"Automatic", "Chromium", "Vivaldi"}));
        QVERIFY(select->selected() == "Automatic" && Settings::defaultBrowser() == u"Brave Browser"_s);
        WidgetFinder::choose(select, "Vivaldi");
        QCOMPARE(Settings::defaultBrowser(), u"Vivaldi"_s);
        WidgetFinder::choose(select, "Automatic");
        QVERIFY(!Settings::d().contains(Settings::defaultBrowserKey));

        control<SwitchButton>(u"Incognito"_s)->click();
        QVERIFY(Settings::incognito());
        QLineEdit* flags = control<QLineEdit>(u"Extra browser flags"_s);
        QTest::keyClicks(flags, u"--a"_s);
        QCOMPARE(Settings::extraArgs(), "--a");
        flags->selectAll();
        QTest::keyClick(flags, Qt::Key_Backspace);
        QVERIFY(Settings::d().contains(Settings::extraArgsKey) && Settings::extraArgs().isEmpty());

        // Offscreen there is neither an X11 grab nor a portal: nothing to switch on.
        QVERIFY(!control<SwitchButton>(u"Quick-switch shortcut"_s)->isEnabled());
        QVERIFY(
            WidgetFinder::label(general(), "Bind a key to \"corvalink --menu\" in the desktop's keyboard settings"));
    }

    // Subtitles and footnotes, measured in the pixels of the window, on a light
    // palette and on a dark one set while the window is open.
    void secondaryTextKeepsItsContrast()
    {
        QPalette dark;
        for (const auto& [role, color] : {std::pair{QPalette::Window, 0x202326},
                                          {QPalette::Base, 0x141618},
                                          {QPalette::Button, 0x292c30},
                                          {QPalette::WindowText, 0xfcfcfc},
                                          {QPalette::Text, 0xfcfcfc},
                                          {QPalette::ButtonText, 0xfcfcfc}})
            dark.setColor(role, QColor::fromRgb(color));
        const QPalette light = QApplication::palette();
        controller().show(0);
        for (const QPalette& palette : {light, dark}) {
            QApplication::setPalette(palette);
            QTest::qWait(50);
            for (const QString& text : {u"Accounts list only"_s, m_notSetUp}) {
                QLabel* label = WidgetFinder::label(window()->page(0)->content(), text);
                const QImage shot = window()->grab(QRect(label->mapTo(window(), QPoint()), label->size())).toImage();
                const double best = contrastIn(shot, shot.pixelColor(0, 0), 4.5).second;
                QVERIFY2(best >= 4.5, qPrintable(u"%1: %2:1"_s.arg(text).arg(best)));
            }
        }
        QApplication::setPalette(light);
    }

    void theKeyboardReachesEverything()
    {
        controller().show(0);
        QVERIFY(QTest::qWaitForWindowActive(window()));
        for (const auto& [keys, tab] : {std::pair{Qt::ControlModifier | Qt::Key_PageDown, 1},
                                        {Qt::ControlModifier | Qt::Key_Tab, 2},
                                        {Qt::ControlModifier | Qt::Key_Tab, 0},
                                        {Qt::ControlModifier | Qt::Key_PageUp, 2}}) {
            QTest::keyClick(window(), keys.key(), keys.keyboardModifiers());
            QCOMPARE(window()->currentTab(), tab);
        }
        // Tab reaches the browser select, and Space opens it.
        auto* select = general()->findChild<SelectView*>();
        QVERIFY(QTest::qWaitForWindowActive(window()));
        for (int i = 0; i < 30 && QApplication::focusWidget() != select; ++i)
            QTest::keyClick(QApplication::focusWidget() ? QApplication::focusWidget() : window(), Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), select);
        QTest::keyClick(select, Qt::Key_Space);
        QTRY_VERIFY(select->findChild<QMenu*>() && select->findChild<QMenu*>()->isVisible());
        select->findChild<QMenu*>()->close();

        // The keypad's Enter saves the add form as Return does.
        TestEnvironment::makeFakeBrowsers({"chromium"}, m_bin);
        controller().addAccount();
        controller().addForm()->labelField()->setText(u"keypad"_s);
        QTRY_VERIFY(controller().addForm()->labelField()->isVisible());
        QTest::keyClick(controller().addForm()->labelField(), Qt::Key_Enter, Qt::KeypadModifier);
        QVERIFY(!controller().addForm() && Store::shared().accounts().last().label == "keypad");

        // Escape and Ctrl+W close the window.
        for (const QKeyCombination keys : {QKeyCombination(Qt::Key_Escape), Qt::ControlModifier | Qt::Key_W}) {
            controller().show(0);
            QVERIFY(QTest::qWaitForWindowActive(window()));
            QTest::keyClick(window(), keys.key(), keys.keyboardModifiers());
            QTRY_VERIFY(!window()->isVisible());
        }
    }

    void syncSwitchFollowsICloudDrive()
    {
        const auto mountDrive = [] { TestEnvironment::writeFile(Store::cloudRoot() + u"/Documents/a.txt"_s, "a"); };
        Settings::setICloudSync(true);
        QDir().mkpath(Store::cloudRoot()); // where the drive would be mounted, with nothing mounted
        SwitchButton* sync = control<SwitchButton>(u"Sync with iCloud Drive"_s);
        QVERIFY(!sync->isEnabled() && !sync->isChecked() && WidgetFinder::label(general(), m_notSetUp));

        Settings::setICloudSync(false);
        mountDrive();
        sync = control<SwitchButton>(u"Sync with iCloud Drive"_s);
        QVERIFY(sync->isEnabled());
        // iCloud Drive goes away while the page is shown: the store refuses.
        QDir(TestEnvironment::home() + u"/Library"_s).removeRecursively();
        const int beeps = Feedback::beepCount();
        sync->click();
        QVERIFY(!sync->isChecked() && !Settings::iCloudSync() && Feedback::beepCount() == beeps + 1);
        mountDrive();
        sync->click();
        QVERIFY(sync->isChecked() && Store::shared().syncing());
        sync->click();
        QVERIFY(!Store::shared().syncing() && !Store::shared().isWatching());
    }

    void loginSwitchShowsWhatTheSystemHolds()
    {
        SwitchButton* login = control<SwitchButton>(u"Open at login"_s);
        login->click();
        QVERIFY(login->isChecked() && LoginItem::isEnabled());
        login->click();
        QVERIFY(!LoginItem::isEnabled());
        // The autostart folder cannot be made: the switch springs back.
        const QString autostart = QFileInfo(LoginItem::entryPath()).path();
        QDir(autostart).removeRecursively();
        TestEnvironment::writeFile(autostart, "blocked");
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression(u"^Launch at login failed: "_s));
        login->click();
        QVERIFY(!login->isChecked());
        QFile::remove(autostart);
    }

    void aChangedAccountsFileRebuildsTheAccountsPage()
    {
        controller().show(1);
        QWidget* before = controller().accountsPage()->content();
        TestEnvironment::writeFile(Store::shared().activeFile(), AccountsFile::encode({TestAccounts::make(u"afar"_s)}));
        Store::shared().reload();
        QVERIFY(controller().accountsPage()->content() != before);
        QVERIFY(WidgetFinder::label(controller().accountsPage()->content(), u"afar"_s));
    }
};

CORVALINK_TEST_MAIN(TestSettingsWindow)
#include "TestSettingsWindow.moc"
