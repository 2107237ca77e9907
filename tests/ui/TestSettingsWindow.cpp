#include "AccountsFile.h"
#include "AddAccountForm.h"
#include "Contrast.h"
#include "Feedback.h"
#include "LoginItem.h"
#include "SelectView.h"
#include "Settings.h"
#include "SettingsWindowController.h"
#include "Store.h"
#include "SwitchButton.h"
#include "TestAccounts.h"
#include "TestEnvironment.h"
#include "WidgetFinder.h"

#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QRegularExpression>
#include <QToolButton>

// The settings window and its General tab, through the widgets a person uses.
class TestSettingsWindow : public QObject {
    Q_OBJECT

private:
    SettingsWindowController& controller() { return SettingsWindowController::shared(); }

    // Reopens the window on the General tab, which builds the page afresh.
    QWidget* general()
    {
        if (controller().window())
            controller().window()->close();
        controller().show(0);
        return controller().window()->page(0)->content();
    }

    template <typename T> T* control(const QString& rowTitle)
    {
        QWidget* row = WidgetFinder::row(general(), rowTitle);
        return row ? row->findChild<T*>() : nullptr;
    }

    static void usePath(const QString& folder) { qputenv("PATH", folder.toUtf8()); }

private Q_SLOTS:
    void init()
    {
        Settings::d().clear();
        QDir(TestEnvironment::home() + "/Library").removeRecursively();
        const QString bin = TestEnvironment::home() + "/bin";
        QDir(bin).removeRecursively();
        QDir().mkpath(bin);
        usePath(bin);
    }

    void theWindowIsBuiltOnceWithThreeTabs()
    {
        controller().show(0);
        SettingsWindow* window = controller().window();
        QVERIFY(window);
        QCOMPARE(window->tabCount(), 3);
        QCOMPARE(window->tabButton(0)->text(), QStringLiteral("General"));
        QCOMPARE(window->tabButton(1)->text(), QStringLiteral("Accounts"));
        QCOMPARE(window->tabButton(2)->text(), QStringLiteral("About"));
        QVERIFY(!window->tabButton(0)->icon().isNull());
        QCOMPARE(window->tabButton(0)->toolButtonStyle(), Qt::ToolButtonTextUnderIcon);

        controller().show(2);
        QCOMPARE(controller().window(), window);
        QCOMPARE(window->currentTab(), 2);
        window->close();
        QVERIFY(!window->isVisible());
        controller().show();
        QCOMPARE(controller().window(), window);
        QCOMPARE(window->currentTab(), 2);
        QVERIFY(window->isVisible());
        QVERIFY(window->windowFlags().testFlag(Qt::WindowCloseButtonHint));
        QVERIFY(!window->windowFlags().testFlag(Qt::WindowMinimizeButtonHint));
        QCOMPARE(window->minimumSize(), window->maximumSize()); // sized by its page, not by hand
    }

    void browserChoice()
    {
        QCOMPARE(control<SelectView>("Default browser")->items(), QStringList{"Automatic"});

        TestEnvironment::makeFakeBrowsers({"chromium", "vivaldi"}, qEnvironmentVariable("PATH"));
        Settings::setDefaultBrowser(QStringLiteral("Brave Browser")); // not installed: shown as Automatic
        SelectView* select = control<SelectView>("Default browser");
        QCOMPARE(select->items(), (QStringList{"Automatic", "Chromium", "Vivaldi"}));
        QCOMPARE(select->selected(), QStringLiteral("Automatic"));
        QCOMPARE(*Settings::defaultBrowser(), QStringLiteral("Brave Browser"));

        select->popUp();
        select->menu()->actions().at(2)->trigger();
        QCOMPARE(*Settings::defaultBrowser(), QStringLiteral("Vivaldi"));
        select->popUp();
        select->menu()->actions().at(0)->trigger();
        QVERIFY(!Settings::d().contains(Settings::defaultBrowserKey));
    }

    void switchesAndFlags()
    {
        SwitchButton* incognito = control<SwitchButton>("Incognito");
        QVERIFY(!incognito->isChecked());
        incognito->click();
        QVERIFY(Settings::incognito());

        QLineEdit* flags = control<QLineEdit>("Extra browser flags");
        QTest::keyClicks(flags, QStringLiteral("--a"));
        QCOMPARE(Settings::extraArgs(), QStringLiteral("--a"));
        flags->selectAll();
        QTest::keyClick(flags, Qt::Key_Backspace);
        QVERIFY(Settings::d().contains(Settings::extraArgsKey));
        QCOMPARE(Settings::extraArgs(), QString());

        // Offscreen there is neither an X11 grab nor a portal: nothing to switch on.
        SwitchButton* shortcut = control<SwitchButton>("Quick-switch shortcut");
        QVERIFY(!shortcut->isChecked());
        QVERIFY(!shortcut->isEnabled());
        QVERIFY(
            WidgetFinder::label(general(), "Bind a key to \"corvalink --menu\" in the desktop's keyboard settings"));
    }

    // Subtitles and footnotes, measured in the pixels of the window, on a light
    // palette and on a dark one set while the window is open.
    void secondaryTextKeepsItsContrast()
    {
        QPalette dark;
        for (const auto& [role, color] :
             {std::pair{QPalette::Window, QColor(0x20, 0x23, 0x26)},
              std::pair{QPalette::WindowText, QColor(0xfc, 0xfc, 0xfc)},
              std::pair{QPalette::Base, QColor(0x14, 0x16, 0x18)}, std::pair{QPalette::Text, QColor(0xfc, 0xfc, 0xfc)},
              std::pair{QPalette::Button, QColor(0x29, 0x2c, 0x30)},
              std::pair{QPalette::ButtonText, QColor(0xfc, 0xfc, 0xfc)}})
            dark.setColor(role, color);
        const QPalette light = QApplication::palette();
        controller().show(0);
        for (const QPalette& palette : {light, dark}) {
            QApplication::setPalette(palette);
            SettingsWindow* window = controller().window();
            QTest::qWait(50);
            for (const char* text : {"Accounts list only", "iCloud Drive is not set up on this computer. Mount it at "
                                                           "~/Library/Mobile Documents/com~apple~CloudDocs, then "
                                                           "reopen Settings."}) {
                QLabel* label = WidgetFinder::label(window->page(0)->content(), QString::fromUtf8(text));
                QVERIFY2(label, text);
                const QImage shot = window->grab(QRect(label->mapTo(window, QPoint()), label->size())).toImage();
                const QColor background = shot.pixelColor(0, 0);
                double best = 1;
                for (int y = 0; y < shot.height(); ++y) {
                    for (int x = 0; x < shot.width(); ++x)
                        best = std::max(best, contrastRatio(shot.pixelColor(x, y), background));
                }
                QVERIFY2(best >= 4.5, qPrintable(QStringLiteral("%1: %2:1").arg(text).arg(best)));
            }
        }
        QApplication::setPalette(light);
    }

    void theKeyboardReachesEverything()
    {
        controller().show(0);
        SettingsWindow* window = controller().window();
        QVERIFY(QTest::qWaitForWindowActive(window));
        const QList<std::pair<QKeyCombination, int>> steps{{Qt::ControlModifier | Qt::Key_PageDown, 1},
                                                           {Qt::ControlModifier | Qt::Key_Tab, 2},
                                                           {Qt::ControlModifier | Qt::Key_Tab, 0},
                                                           {Qt::ControlModifier | Qt::Key_PageUp, 2}};
        for (const auto& [keys, tab] : steps) {
            QTest::keyClick(window, keys.key(), keys.keyboardModifiers());
            QCOMPARE(window->currentTab(), tab);
        }

        // Tab reaches the browser select, and Space opens it.
        window->selectTab(0);
        auto* select = general()->findChild<SelectView*>();
        window = controller().window();
        QVERIFY(QTest::qWaitForWindowActive(window));
        for (int i = 0; i < 30 && QApplication::focusWidget() != select; ++i)
            QTest::keyClick(QApplication::focusWidget() ? QApplication::focusWidget() : window, Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), select);
        QTest::keyClick(select, Qt::Key_Space);
        QTRY_VERIFY(select->findChild<QMenu*>() && select->findChild<QMenu*>()->isVisible());
        select->findChild<QMenu*>()->close();

        // The keypad's Enter saves the add form as Return does.
        TestEnvironment::makeFakeBrowsers({"chromium"}, TestEnvironment::home() + "/bin");
        controller().addAccount();
        QVERIFY(controller().addForm());
        controller().addForm()->labelField()->setText(QStringLiteral("keypad"));
        QTRY_VERIFY(controller().addForm()->labelField()->isVisible());
        QTest::keyClick(controller().addForm()->labelField(), Qt::Key_Enter, Qt::KeypadModifier);
        QVERIFY(!controller().addForm());
        QCOMPARE(Store::shared().accounts().last().label, QStringLiteral("keypad"));

        // Escape and Ctrl+W close the window.
        for (const QKeyCombination keys : {QKeyCombination(Qt::Key_Escape), Qt::ControlModifier | Qt::Key_W}) {
            controller().show(0);
            QVERIFY(QTest::qWaitForWindowActive(controller().window()));
            QTest::keyClick(controller().window(), keys.key(), keys.keyboardModifiers());
            QTRY_VERIFY(!controller().window()->isVisible());
        }
    }

    void syncSwitchFollowsICloudDrive()
    {
        Settings::setICloudSync(true);
        QDir().mkpath(Store::cloudRoot()); // where the drive would be mounted, with nothing mounted
        SwitchButton* sync = control<SwitchButton>("Sync with iCloud Drive");
        QVERIFY(!sync->isEnabled());
        QVERIFY(!sync->isChecked());
        QVERIFY(WidgetFinder::label(general(), "iCloud Drive is not set up on this computer. Mount it at "
                                               "~/Library/Mobile Documents/com~apple~CloudDocs, then reopen "
                                               "Settings."));

        Settings::setICloudSync(false);
        TestEnvironment::writeFile(Store::cloudRoot() + "/Documents/notes.txt", "mounted");
        sync = control<SwitchButton>("Sync with iCloud Drive");
        QVERIFY(sync->isEnabled());
        QVERIFY(WidgetFinder::label(general(), "Your accounts appear on every computer signed in to the same "
                                               "iCloud. Logins stay on each computer, so you log in once per "
                                               "account on each one."));

        // iCloud Drive goes away while the page is shown: the store refuses.
        QDir(TestEnvironment::home() + "/Library").removeRecursively();
        const int beeps = Feedback::beepCount();
        sync->click();
        QVERIFY(!sync->isChecked());
        QCOMPARE(Feedback::beepCount(), beeps + 1);
        QVERIFY(!Settings::iCloudSync());

        TestEnvironment::writeFile(Store::cloudRoot() + "/Documents/notes.txt", "mounted");
        sync->click();
        QVERIFY(sync->isChecked());
        QVERIFY(Store::shared().syncing());
        sync->click();
        QVERIFY(!Store::shared().syncing());
        QVERIFY(!Store::shared().isWatching());
    }

    void loginSwitchShowsWhatTheSystemHolds()
    {
        SwitchButton* login = control<SwitchButton>("Open at login");
        QVERIFY(!login->isChecked());
        login->click();
        QVERIFY(login->isChecked());
        QVERIFY(LoginItem::isEnabled());
        login->click();
        QVERIFY(!LoginItem::isEnabled());

        // The autostart folder cannot be made: the switch springs back.
        const QString autostart = QFileInfo(LoginItem::entryPath()).path();
        QDir(autostart).removeRecursively();
        TestEnvironment::writeFile(autostart, "blocked");
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("^Launch at login failed: "));
        login->click();
        QVERIFY(!login->isChecked());
        QFile::remove(autostart);
    }

    void aChangedAccountsFileRebuildsTheAccountsPage()
    {
        controller().show(1);
        QWidget* before = controller().accountsPage()->content();
        const Account account = TestAccounts::make(QStringLiteral("from another machine"));
        TestEnvironment::writeFile(Store::shared().activeFile(), AccountsFile::encode({account}));
        Store::shared().reload();
        QVERIFY(controller().accountsPage()->content() != before);
        QVERIFY(WidgetFinder::label(controller().accountsPage()->content(), "from another machine"));
    }
};

CORVALINK_TEST_MAIN(TestSettingsWindow)
#include "TestSettingsWindow.moc"
