#include "AboutTab.h"
#include "AccountsFile.h"
#include "AddAccountForm.h"
#include "Feedback.h"
#include "PageViewController.h"
#include "Settings.h"
#include "SettingsWindowController.h"
#include "SitePreset.h"
#include "Store.h"
#include "TestAccounts.h"
#include "TestEnvironment.h"
#include "WebFallbackWindow.h"
#include "WidgetFinder.h"

#include <QLayout>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QSysInfo>
#include <QToolButton>

using WidgetFinder::answerNextAlert;
using WidgetFinder::choose;

// The Accounts tab and the add-account form, with fake browsers on PATH.
class TestAccountsTab : public QObject {
    Q_OBJECT

private:
    const QString m_bin = TestEnvironment::home() + u"/bin"_s;
    std::optional<Account> m_saved;
    int m_cancels = 0;
    std::unique_ptr<AddAccountForm> m_form;

    SettingsWindowController& controller() { return SettingsWindowController::shared(); }
    QWidget* page() { return controller().accountsPage()->content(); }
    static QStringList storedLabels() { return TestAccounts::labels(Store::shared().accounts()); }
    static const Account& first() { return Store::shared().accounts().first(); }
    static QString profile(const Account& account) { return Store::shared().profileDir(account.id); }
    static Account account(const QString& label) { return TestAccounts::make(label, "GitHub", "https://x.org"); }

    // Puts the accounts in the file and shows the tab built from them.
    QWidget* showAccounts(const QList<Account>& accounts)
    {
        TestEnvironment::writeFile(Store::shared().activeFile(), AccountsFile::encode(accounts));
        Store::shared().reload();
        controller().show(1);
        controller().accountsPage()->rebuild(true);
        return page();
    }

    // An item of the row's action menu or of its submenus.
    QAction* action(const QString& rowTitle, const QString& title)
    {
        QMenu* menu = WidgetFinder::row(page(), rowTitle)->findChild<QToolButton*>(u"actions"_s)->menu();
        for (QAction* item : menu->findChildren<QAction*>()) {
            if (item->text() == title)
                return item;
        }
        return nullptr;
    }

    // The colour dot stands before the row's text.
    bool hasDot(const QString& rowTitle)
    {
        auto* text = WidgetFinder::row(page(), rowTitle)->layout()->itemAt(0)->widget();
        const auto* image = text->findChild<QLabel*>(QString(), Qt::FindDirectChildrenOnly);
        return image && !image->pixmap().isNull();
    }

    // The add-account form on its own, filled in and saved.
    AddAccountForm& form()
    {
        m_saved.reset();
        m_cancels = 0;
        m_form = std::make_unique<AddAccountForm>([this](const Account& a) { m_saved = a; }, [this] { ++m_cancels; });
        return *m_form;
    }
    std::optional<Account> save(const QString& site, const QString& label, const QString& url)
    {
        form().siteField()->setText(site);
        m_form->labelField()->setText(label);
        m_form->urlField()->setText(url);
        m_form->saveTapped();
        return m_saved;
    }

private Q_SLOTS:
    void init()
    {
        Settings::d().clear();
        QDir(m_bin).removeRecursively();
        QDir().mkpath(m_bin);
        qputenv("PATH", m_bin.toUtf8());
    }
    void cleanup() { m_form.reset(); }

    void rowsShowLabelSiteLastOpeningAndColour()
    {
        QWidget* root = showAccounts({});
        QVERIFY(WidgetFinder::row(root, u"No accounts yet"_s) && WidgetFinder::button(root, u"Add account\u2026"_s));
        Account opened = account(u"opened"_s);
        opened.color = "Blue";
        opened.lastOpened = Account::nowReferenceSeconds() - 300;
        root = showAccounts({account(u"never"_s), opened});
        QVERIFY(WidgetFinder::label(root, u"GitHub \u00B7 never opened"_s));
        QVERIFY(WidgetFinder::label(root, u"GitHub \u00B7 opened 5 min. ago"_s));
        // A dot only with a colour; the colour menu marks the current one, with no empty boxes.
        QVERIFY(!hasDot("never") && hasDot("opened"));
        QVERIFY(action("never", "None")->isChecked() && !action("never", "Blue")->isCheckable());
        QVERIFY(action("opened", "Blue")->isChecked() && !action("opened", "Blue")->icon().isNull());
    }

    void aBrowserThatIsGoneShowsDefaultAndChoosingItClearsIt()
    {
        TestEnvironment::makeFakeBrowsers({"chromium"}, m_bin);
        Account a = account(u"work"_s);
        a.browser = "Vivaldi";
        auto* select = WidgetFinder::in<SelectView>(WidgetFinder::row(showAccounts({a}), u"work"_s));
        QCOMPARE(select->items(), (QStringList{"Default", "Chromium"}));
        QCOMPARE(select->selected(), "Default");
        QCOMPARE(first().browser, u"Vivaldi"_s);
        choose(select, "Default");
        QVERIFY(!first().browser);
        choose(select, "Chromium");
        QCOMPARE(first().browser, u"Chromium"_s);
    }

    void renameAndRecolour()
    {
        showAccounts({account(u"work"_s)});
        for (const auto& [answer, typed, stored] :
             {std::tuple{"Save", "", "work"},                                                 // empty text is ignored
              std::tuple{"Cancel", "other", "work"}, std::tuple{"Save", " job ", " job "}}) { // as typed
            answerNextAlert(answer, typed);
            action(storedLabels().first(), u"Rename\u2026"_s)->trigger();
            QCOMPARE(storedLabels(), QStringList{stored});
        }
        action(" job ", "Green")->trigger();
        QCOMPARE(first().color, u"Green"_s);
        action(" job ", "None")->trigger();
        QVERIFY(!first().color);
    }

    void removeKeepsOrDeletesTheSession()
    {
        const Account keep = account(u"keep"_s), drop = account(u"drop"_s);
        showAccounts({keep, drop});
        QDir().mkpath(profile(keep));
        QDir().mkpath(profile(drop));
        for (const char* answer : {"Cancel", "Remove, keep session"}) {
            answerNextAlert(answer);
            action("keep", u"Remove\u2026"_s)->trigger();
        }
        QCOMPARE(storedLabels(), QStringList{"drop"});
        QVERIFY(QFileInfo::exists(profile(keep)));

        // A browser still running on the profile would write the session back:
        // nothing is removed until its windows are closed.
        const QString lock = profile(drop) + u"/SingletonLock"_s;
        QVERIFY(
            QFile::link(QSysInfo::machineHostName() + '-' + QString::number(QCoreApplication::applicationPid()), lock));
        answerNextAlert(u"Remove & delete session"_s);
        answerNextAlert(u"OK"_s);
        action("drop", u"Remove\u2026"_s)->trigger();
        QVERIFY(storedLabels() == QStringList{"drop"} && QFileInfo::exists(profile(drop)));

        // Once it has gone, the profile and the in-app web data go with the account.
        QVERIFY(QFile::remove(lock));
        QDir().mkpath(WebFallbackWindow::dataDir(drop.id) + u"/Cookies"_s);
        QDir().mkpath(WebFallbackWindow::engineDir(drop.id));
        answerNextAlert(u"Remove & delete session"_s);
        action("drop", u"Remove\u2026"_s)->trigger();
        QVERIFY(storedLabels().isEmpty() && !QFileInfo::exists(profile(drop)));
        QTRY_VERIFY(!QFileInfo::exists(WebFallbackWindow::dataDir(drop.id)));
        QVERIFY(!QFileInfo::exists(WebFallbackWindow::engineDir(drop.id)));
    }

    void rowsBuiltBeforeTheListChangedActOnTheRightAccount()
    {
        const Account gone = account(u"gone"_s);
        showAccounts({gone, account(u"second"_s)});
        QAction* renameSecond = action("second", u"Rename\u2026"_s);
        QAction* removeGone = action("gone", u"Remove\u2026"_s);
        Store::shared().remove(gone, false); // from the tray menu: the page is not rebuilt for that
        answerNextAlert(u"Save"_s, u"renamed"_s);
        renameSecond->trigger();
        bool asked = false;
        answerNextAlert(u"Remove & delete session"_s, QString(), &asked);
        removeGone->trigger(); // its account is gone: nothing happens, nothing is asked
        QTest::qWait(100);
        QVERIFY(!asked);
        QCOMPARE(storedLabels(), QStringList{"renamed"});
        QApplication::closeAllWindows();
    }

    void addingAnAccountAppendsShowsTheListAndOpensIt()
    {
        TestEnvironment::makeFakeBrowsers({"chromium"}, m_bin);
        showAccounts({account(u"existing"_s)});
        for (const bool saving : {true, false}) {
            controller().addAccount();
            QTRY_COMPARE(QApplication::focusWidget(), controller().addForm()->labelField());
            controller().addForm()->labelField()->setText(u"work"_s);
            saving ? controller().addForm()->saveTapped() : controller().addForm()->cancelTapped();
            QVERIFY(!controller().addForm() && WidgetFinder::label(page(), u"existing"_s));
            QCOMPARE(storedLabels(), (QStringList{"existing", "work"}));
        }
        QVERIFY(Store::shared().accounts().last().lastOpened);
        QCOMPARE(TestEnvironment::recordedArguments(m_bin + u"/chromium"_s).value(3), "https://claude.ai/login");
    }

    // With many accounts the window stays on the screen and its column scrolls
    // to the last row and the "Add account…" button.
    void aLongListScrollsInsideTheScreen()
    {
        QList<Account> many;
        for (int i = 0; i < 30; ++i)
            many << account(u"account %1"_s.arg(i));
        showAccounts(many);
        const int screen = controller().window()->screen()->availableGeometry().height();
        QVERIFY(page()->height() > screen && controller().window()->frameGeometry().height() <= screen);
        QAbstractButton* add = WidgetFinder::button(page(), u"Add account\u2026"_s);
        controller().accountsPage()->findChild<QScrollArea*>()->ensureWidgetVisible(add);
        QVERIFY(!add->visibleRegion().isEmpty());
        showAccounts({});
    }

    // A new form shows the first preset; another preset overwrites site and URL
    // only; "Custom" leaves a bare scheme, which only beeps.
    void presetsFillSiteAndUrl()
    {
        qputenv("PATH", TestEnvironment::makeFakeBrowsers({"chromium"}).toUtf8());
        AddAccountForm& f = form();
        QCOMPARE(f.siteField()->text() + ' ' + f.urlField()->text(), "Claude " + SitePreset::all().first().loginUrl);
        f.labelField()->setText(u"perso"_s);
        choose(f.browserPicker(), "Chromium");
        choose(f.colorPicker(), "Blue");
        choose(f.sitePicker(), "GitHub");
        QCOMPARE(f.siteField()->text() + ' ' + f.urlField()->text(), "GitHub " + SitePreset::all().at(2).loginUrl);
        f.saveTapped();
        QVERIFY(m_saved->label == "perso" && m_saved->browser == u"Chromium"_s && m_saved->color == u"Blue"_s);

        choose(form().sitePicker(), "Custom");
        m_form->labelField()->setText(u"work"_s);
        QCOMPARE(m_form->siteField()->text() + ' ' + m_form->urlField()->text(), " https://");
        const int beeps = Feedback::beepCount();
        m_form->saveTapped();
        QVERIFY(!m_saved && Feedback::beepCount() == beeps + 1);
    }

    void validationAndCompletion()
    {
        // Site, label, URL as typed, and the URL saved (null: only a beep, the text stays).
        const QList<std::array<QString, 4>> cases{
            {"Site", "work", "example.org/login", "https://example.org/login"},
            {"Site", "work", " \tftp://files.example.org  ", "ftp://files.example.org"},
            {"Site", "work", "example.org/?next=https://x", QString()},
            {"Site", "work", "https://", QString()},
            {"Site", "work", "exa mple.org", QString()},
            {"Site", " \t ", "https://example.org", QString()},
            {u"\u00A0"_s, "work", "https://example.org", QString()}};
        for (const auto& [site, label, url, savedUrl] : cases) {
            const int beeps = Feedback::beepCount();
            const auto saved = save(site, label, url);
            QCOMPARE(saved ? saved->url : m_form->urlField()->text(), saved ? savedUrl : url);
            QCOMPARE(Feedback::beepCount(), beeps + (saved ? 0 : 1));
            QCOMPARE(saved.has_value(), !savedUrl.isNull());
        }
        // Trimming takes space separators and tabs, not line breaks.
        QCOMPARE(AddAccountForm::trimmed(u"\u00A0\t work \u2003"_s) + AddAccountForm::trimmed(u" b\n"_s), "workb\n");
        const auto saved = save(u"  Git Hub\t"_s, u"\twork "_s, u"github.com"_s);
        QVERIFY(saved->siteName == "Git Hub" && saved->label == "work" && !saved->browser && !saved->color);
        // Browsers are looked for when a form is made.
        qputenv("PATH", TestEnvironment::makeFakeBrowsers({"vivaldi"}, TestEnvironment::home() + u"/later"_s).toUtf8());
        QCOMPARE(m_form->browserPicker()->items(), QStringList{"Default"});
        QCOMPARE(form().browserPicker()->items(), (QStringList{"Default", "Vivaldi"}));
    }

    void returnSavesAndEscapeCancels()
    {
        AddAccountForm& f = form();
        PageViewController page([&] { return f.sections(); });
        page.show();
        QVERIFY(QTest::qWaitForWindowActive(&page));
        m_form->labelField()->setFocus();
        QTest::keyClicks(m_form->labelField(), u"work"_s);
        // Through the window, as the platform delivers keys, so shortcuts apply.
        QTest::keyClick(page.windowHandle(), Qt::Key_Escape);
        QTRY_VERIFY(m_cancels == 1 && !m_saved);
        QTest::keyClick(page.windowHandle(), Qt::Key_Return);
        QTRY_COMPARE(m_saved.value_or(Account{}).label, "work");
        // The same controls survive a rebuild of the page.
        page.rebuild(false);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(m_form->labelField()->text() == "work" && page.content()->isAncestorOf(m_form->labelField()));
    }

    void versionText()
    {
        QCOMPARE(AboutTab::versionText(std::nullopt, std::nullopt), "Version dev (1)");
        QCOMPARE(AboutTab::versionText(u"1.2"_s, u"42"_s), "Version 1.2 (42)");
    }
};

CORVALINK_TEST_MAIN(TestAccountsTab)
#include "TestAccountsTab.moc"
