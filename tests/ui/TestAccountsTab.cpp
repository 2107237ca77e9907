#include "AccountsFile.h"
#include "AddAccountForm.h"
#include "Feedback.h"
#include "Settings.h"
#include "SettingsWindowController.h"
#include "Store.h"
#include "TestAccounts.h"
#include "TestEnvironment.h"
#include "WebFallbackWindow.h"
#include "WidgetFinder.h"

#include <QDir>
#include <QFileInfo>
#include <QLayout>
#include <QMenu>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QSysInfo>
#include <QToolButton>

// The Accounts tab and the add-account form, with fake browsers on PATH.
class TestAccountsTab : public QObject {
    Q_OBJECT

private:
    QString m_bin;

    SettingsWindowController& controller() { return SettingsWindowController::shared(); }
    QWidget* page() { return controller().accountsPage()->content(); }

    // Puts the accounts in the file and shows the tab built from them.
    QWidget* showAccounts(const QList<Account>& accounts)
    {
        TestEnvironment::writeFile(Store::shared().activeFile(), AccountsFile::encode(accounts));
        Store::shared().reload();
        controller().show(1);
        controller().accountsPage()->rebuild(true);
        return page();
    }

    static Account account(const QString& label, std::optional<QString> color = std::nullopt)
    {
        Account a = TestAccounts::make(label, QStringLiteral("GitHub"), QStringLiteral("https://github.com/login"));
        a.color = color;
        return a;
    }

    QAction* action(QWidget* root, const QString& rowTitle, const QString& title)
    {
        QWidget* row = WidgetFinder::row(root, rowTitle);
        if (!row)
            return nullptr;
        QMenu* menu = row->findChild<QToolButton*>(QStringLiteral("actions"))->menu();
        for (QAction* item : menu->actions()) {
            if (item->text() == title)
                return item;
            if (item->menu()) {
                for (QAction* sub : item->menu()->actions()) {
                    if (sub->text() == title)
                        return sub;
                }
            }
        }
        return nullptr;
    }

    // The colour dot stands before the row's text.
    static bool hasDot(QWidget* row)
    {
        QWidget* text = row->layout()->itemAt(0)->widget();
        const auto* image = text->findChild<QLabel*>(QString(), Qt::FindDirectChildrenOnly);
        return image && !image->pixmap().isNull();
    }

    static QStringList storedLabels() { return TestAccounts::labels(Store::shared().accounts()); }

private Q_SLOTS:
    void init()
    {
        Settings::d().clear();
        m_bin = TestEnvironment::home() + "/bin";
        QDir(m_bin).removeRecursively();
        QDir().mkpath(m_bin);
        qputenv("PATH", m_bin.toUtf8());
    }

    void anEmptyStore()
    {
        QWidget* root = showAccounts({});
        QWidget* row = WidgetFinder::row(root, QStringLiteral("No accounts yet"));
        QVERIFY(row);
        QCOMPARE(row->layout()->itemAt(2)->widget()->layout()->count(), 0);
        QVERIFY(WidgetFinder::label(root, "Each account has its own isolated browser profile. Log in once, then "
                                          "open it from the menu bar any time."));
        QVERIFY(WidgetFinder::button(root, QStringLiteral("Add account\u2026")));
    }

    void rowsShowLabelSiteAndLastOpening()
    {
        Account opened = account(QStringLiteral("opened"), QStringLiteral("Blue"));
        opened.lastOpened = Account::nowReferenceSeconds() - 300;
        QWidget* root = showAccounts({account(QStringLiteral("never")), opened});
        QVERIFY(WidgetFinder::label(root, QStringLiteral("GitHub \u00B7 never opened")));
        QVERIFY(WidgetFinder::label(root, QStringLiteral("GitHub \u00B7 opened 5 min. ago")));

        // A dot only with a colour; the colour menu marks the current one.
        QVERIFY(!hasDot(WidgetFinder::row(root, "never")));
        QVERIFY(hasDot(WidgetFinder::row(root, "opened")));
        QVERIFY(action(root, "never", "None")->isChecked());
        QVERIFY(!action(root, "never", "Blue")->isChecked());
        QVERIFY(!action(root, "never", "Blue")->isCheckable()); // no empty box beside the others
        QVERIFY(action(root, "opened", "Blue")->isChecked());
        QVERIFY(action(root, "opened", "Blue")->icon().isNull() == false);
        QVERIFY(action(root, "opened", "None")->icon().isNull());
    }

    void aBrowserThatIsGoneShowsDefaultAndChoosingItClearsIt()
    {
        TestEnvironment::makeFakeBrowsers({"chromium"}, m_bin);
        Account a = account(QStringLiteral("work"));
        a.browser = QStringLiteral("Vivaldi");
        QWidget* root = showAccounts({a});
        auto* select = WidgetFinder::row(root, "work")->findChild<SelectView*>();
        QCOMPARE(select->items(), (QStringList{"Default", "Chromium"}));
        QCOMPARE(select->selected(), QStringLiteral("Default"));
        QCOMPARE(*Store::shared().accounts().first().browser, QStringLiteral("Vivaldi"));
        select->popUp();
        select->menu()->actions().at(0)->trigger();
        QVERIFY(!Store::shared().accounts().first().browser);
        select->popUp();
        select->menu()->actions().at(1)->trigger();
        QCOMPARE(*Store::shared().accounts().first().browser, QStringLiteral("Chromium"));
    }

    void renameAndRecolour()
    {
        QWidget* root = showAccounts({account(QStringLiteral("work"))});
        WidgetFinder::answerNextAlert(QStringLiteral("Save"), QStringLiteral(""));
        action(root, "work", "Rename\u2026")->trigger();
        QCOMPARE(storedLabels(), QStringList{"work"}); // empty text is ignored

        WidgetFinder::answerNextAlert(QStringLiteral("Cancel"), QStringLiteral("other"));
        action(page(), "work", "Rename\u2026")->trigger();
        QCOMPARE(storedLabels(), QStringList{"work"});

        WidgetFinder::answerNextAlert(QStringLiteral("Save"), QStringLiteral(" job "));
        action(page(), "work", "Rename\u2026")->trigger();
        QCOMPARE(storedLabels(), QStringList{" job "}); // as typed
        QVERIFY(WidgetFinder::label(page(), " job "));

        action(page(), " job ", "Green")->trigger();
        QCOMPARE(*Store::shared().accounts().first().color, QStringLiteral("Green"));
        action(page(), " job ", "None")->trigger();
        QVERIFY(!Store::shared().accounts().first().color);
    }

    void removeKeepsOrDeletesTheProfile()
    {
        const Account keep = account(QStringLiteral("keep"));
        const Account drop = account(QStringLiteral("drop"));
        QWidget* root = showAccounts({keep, drop});
        for (const Account& a : {keep, drop})
            QDir().mkpath(Store::shared().profileDir(a.id));

        WidgetFinder::answerNextAlert(QStringLiteral("Cancel"));
        action(root, "keep", "Remove\u2026")->trigger();
        QCOMPARE(storedLabels(), (QStringList{"keep", "drop"}));

        WidgetFinder::answerNextAlert(QStringLiteral("Remove, keep session"));
        action(page(), "keep", "Remove\u2026")->trigger();
        QCOMPARE(storedLabels(), QStringList{"drop"});
        QVERIFY(QFileInfo::exists(Store::shared().profileDir(keep.id)));

        // A browser still running on the profile would write the session back:
        // nothing is removed until its windows are closed.
        const QString lock = Store::shared().profileDir(drop.id) + QStringLiteral("/SingletonLock");
        QVERIFY(
            QFile::link(QSysInfo::machineHostName() + '-' + QString::number(QCoreApplication::applicationPid()), lock));
        WidgetFinder::answerNextAlert(QStringLiteral("Remove & delete session"));
        WidgetFinder::answerNextAlert(QStringLiteral("OK"));
        action(page(), "drop", "Remove\u2026")->trigger();
        QCOMPARE(storedLabels(), QStringList{"drop"});
        QVERIFY(QFileInfo::exists(Store::shared().profileDir(drop.id)));

        // Once it has gone, the profile and the in-app web data go with the account.
        QVERIFY(QFile::remove(lock));
        QDir().mkpath(WebFallbackWindow::dataDir(drop.id) + QStringLiteral("/Cookies"));
        QDir().mkpath(WebFallbackWindow::engineDir(drop.id));
        WidgetFinder::answerNextAlert(QStringLiteral("Remove & delete session"));
        action(page(), "drop", "Remove\u2026")->trigger();
        QVERIFY(storedLabels().isEmpty());
        QVERIFY(!QFileInfo::exists(Store::shared().profileDir(drop.id)));
        QTRY_VERIFY(!QFileInfo::exists(WebFallbackWindow::dataDir(drop.id)));
        QVERIFY(!QFileInfo::exists(WebFallbackWindow::engineDir(drop.id)));
    }

    void rowsBuiltBeforeTheListChangedActOnTheRightAccount()
    {
        const Account first = account(QStringLiteral("first"));
        const Account second = account(QStringLiteral("second"));
        QWidget* root = showAccounts({first, second});
        QAction* renameSecond = action(root, "second", "Rename\u2026");
        QAction* removeFirst = action(root, "first", "Remove\u2026");

        // Removed from the tray menu: the page is not rebuilt for that.
        Store::shared().remove(first, false);
        WidgetFinder::answerNextAlert(QStringLiteral("Save"), QStringLiteral("renamed"));
        renameSecond->trigger();
        QCOMPARE(storedLabels(), QStringList{"renamed"});

        bool asked = false;
        WidgetFinder::answerNextAlert(QStringLiteral("Remove & delete session"), QString(), &asked);
        removeFirst->trigger(); // its account is gone: nothing happens, nothing is asked
        QTest::qWait(100);
        QVERIFY(!asked);
        QCOMPARE(storedLabels(), QStringList{"renamed"});
        QApplication::closeAllWindows();
    }

    void addingAnAccountAppendsShowsTheListAndOpensIt()
    {
        TestEnvironment::makeFakeBrowsers({"chromium"}, m_bin);
        showAccounts({account(QStringLiteral("existing"))});
        controller().addAccount();
        AddAccountForm* form = controller().addForm();
        QVERIFY(form);
        QVERIFY(WidgetFinder::label(page(), QStringLiteral("New account")));
        QTRY_COMPARE(QApplication::focusWidget(), form->labelField());

        form->labelField()->setText(QStringLiteral("work"));
        form->saveTapped();
        QVERIFY(!controller().addForm());
        QCOMPARE(storedLabels(), (QStringList{"existing", "work"}));
        QVERIFY(WidgetFinder::label(page(), QStringLiteral("existing")));
        QVERIFY(Store::shared().accounts().last().lastOpened);
        QCOMPARE(TestEnvironment::recordedArguments(m_bin + "/chromium").value(3), "https://claude.ai/login");

        controller().addAccount();
        controller().addForm()->cancelTapped();
        QVERIFY(!controller().addForm());
        QCOMPARE(storedLabels(), (QStringList{"existing", "work"}));
        QVERIFY(WidgetFinder::label(page(), QStringLiteral("existing")));
    }

    // With many accounts the window stays on the screen and its column scrolls
    // to the last row and the "Add account…" button.
    void aLongListScrollsInsideTheScreen()
    {
        QList<Account> many;
        for (int i = 0; i < 30; ++i)
            many << account(QStringLiteral("account %1").arg(i));
        showAccounts(many);
        QWidget* window = controller().window();
        const QRect screen = window->screen()->availableGeometry();
        QVERIFY(controller().accountsPage()->preferredContentSize().height() > screen.height());
        QVERIFY(window->frameGeometry().height() <= screen.height());

        auto* scroll = controller().accountsPage()->findChild<QScrollArea*>();
        QVERIFY(scroll && scroll->verticalScrollBar()->maximum() > 0);
        QPushButton* add = nullptr;
        for (QPushButton* button : page()->findChildren<QPushButton*>())
            add = button->text() == QStringLiteral("Add account\u2026") ? button : add;
        QVERIFY(add);
        scroll->ensureWidgetVisible(add);
        QVERIFY(!add->visibleRegion().isEmpty());
        QCOMPARE(page()->width(), 540); // the column keeps its measures
        showAccounts({});
    }
};

CORVALINK_TEST_MAIN(TestAccountsTab)
#include "TestAccountsTab.moc"
