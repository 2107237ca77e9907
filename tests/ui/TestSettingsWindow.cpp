#include "AccountsFile.h"
#include "AddAccountForm.h"
#include "CardView.h"
#include "Contrast.h"
#include "DefaultBrowser.h"
#include "ElidedLabel.h"
#include "Feedback.h"
#include "LinkRules.h"
#include "LoginItem.h"
#include "PageViewController.h"
#include "RelativeDate.h"
#include "RoundBadge.h"
#include "SelectView.h"
#include "Settings.h"
#include "SettingsWindowController.h"
#include "SitePreset.h"
#include "Store.h"
#include "SwitchButton.h"
#include "TestEnvironment.h"
#include "UI.h"
#include "WebFallbackWindow.h"
#include "WidgetFinder.h"

#include <QLayout>
#include <QScreen>
#include <QScrollArea>
#include <QSysInfo>
#include <QToolButton>

using namespace WidgetFinder;

// The settings window, its tabs, the add-account form and the toolkit they are
// made of, through the widgets a person uses, with fake browsers on PATH.
class TestSettingsWindow : public QObject {
    Q_OBJECT

private:
    const QString m_bin = TestEnvironment::home() + u"/bin"_s;
    const QString m_notSetUp = u"iCloud Drive is not set up on this computer. Mount it at ~/Library/Mobile "
                               "Documents/com~apple~CloudDocs, then reopen Settings."_s;
    std::optional<Account> m_saved;
    int m_cancels = 0;
    std::unique_ptr<AddAccountForm> m_form;

    static SettingsWindowController& controller() { return SettingsWindowController::shared(); }
    static SettingsWindow* window() { return controller().window(); }
    static QWidget* page() { return controller().accountsPage()->content(); }
    static QStringList storedLabels() { return TestAccounts::labels(Store::shared().accounts()); }
    static const Account& first() { return Store::shared().accounts().first(); }
    static QString profile(const Account& account) { return Store::shared().profileDir(account.id); }
    static Account account(const QString& label) { return TestAccounts::make(label, "GitHub", "https://x.org"); }
    static void store(const QList<Account>& accounts)
    {
        TestAccounts::write(Store::shared().activeFile(), accounts);
        Store::shared().reload();
    }

    // The General tab afresh: the window is reopened on it.
    static QWidget* general()
    {
        if (window())
            window()->close();
        controller().show(0);
        return window()->page(0)->content();
    }
    template <typename T> static T* control(const QString& row) { return in<T>(WidgetFinder::row(general(), row)); }

    // The Accounts tab built from these accounts.
    static QWidget* showAccounts(const QList<Account>& accounts)
    {
        store(accounts);
        controller().show(1);
        controller().accountsPage()->rebuild(true);
        return page();
    }
    // An item of the row's action menu or of its submenus.
    static QAction* action(const QString& rowTitle, const QString& title)
    {
        return withText<QAction>(WidgetFinder::row(page(), rowTitle)->findChild<QToolButton*>(u"actions"_s), title);
    }
    // The colour dot stands before the row's text; without a colour, a blank of its size.
    static bool hasDot(const QString& rowTitle)
    {
        auto* text = WidgetFinder::row(page(), rowTitle)->layout()->itemAt(0)->widget();
        const auto* image = text->findChild<QLabel*>(QString(), Qt::FindDirectChildrenOnly);
        return image && pixelsWhere(image->pixmap().toImage(), [](const QColor& c) { return c.alpha() > 0; }) > 0;
    }

    // The add-account form on its own, filled in and saved.
    AddAccountForm& form()
    {
        m_saved.reset();
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

    // Pixels further than the tolerance from the colour.
    static int pixelsAwayFrom(const QImage& image, const QColor& from, int tolerance)
    {
        return pixelsWhere(image, [&](const QColor& c) { return colourDistance(c, from) > tolerance; });
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
    void cleanup() { m_form.reset(); }

    // The browser choice, flags and switches; the sync and login switches show what
    // is true and spring back when the system refuses.
    void theGeneralTab()
    {
        QCOMPARE(control<SelectView>(u"Default browser"_s)->items(), QStringList{"Automatic"});
        TestEnvironment::makeFakeBrowsers({"chromium", "vivaldi"}, m_bin);
        Settings::setDefaultBrowser(u"Brave Browser"_s); // not installed: shown as Automatic, kept
        SelectView* select = control<SelectView>(u"Default browser"_s);
        QVERIFY(select->items() == (QStringList{"Automatic", "Chromium", "Vivaldi"}) &&
                select->selected() == "Automatic");
        QCOMPARE(Settings::defaultBrowser(), u"Brave Browser"_s);
        choose(select, "Vivaldi");
        QCOMPARE(Settings::defaultBrowser(), u"Vivaldi"_s);
        choose(select, "Automatic");
        QVERIFY(!Settings::d().contains(Settings::defaultBrowserKey));

        control<SwitchButton>(u"Incognito"_s)->click();
        QLineEdit* flags = control<QLineEdit>(u"Extra browser flags"_s);
        QTest::keyClicks(flags, u"--a"_s);
        QVERIFY(Settings::incognito() && Settings::extraArgs() == "--a");

        // Offscreen there is neither an X11 grab nor a portal: nothing to switch on.
        QVERIFY(!control<SwitchButton>(u"Quick-switch shortcut"_s)->isEnabled());
        QVERIFY(label(general(), "Bind a key to \"corvalink --menu\" in the desktop's keyboard settings"));

        // The sync switch follows iCloud Drive.
        const auto mountDrive = [] { TestEnvironment::writeFile(Store::cloudRoot() + u"/Documents/a.txt"_s, "a"); };
        Settings::setICloudSync(true);
        QDir().mkpath(Store::cloudRoot()); // where the drive would be mounted, with nothing mounted
        SwitchButton* sync = control<SwitchButton>(u"Sync with iCloud Drive"_s);
        QVERIFY(!sync->isEnabled() && !sync->isChecked() && label(general(), m_notSetUp));
        Settings::setICloudSync(false);
        mountDrive();
        sync = control<SwitchButton>(u"Sync with iCloud Drive"_s);

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

        // The login switch shows what the system holds.
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

        // Links: the switch makes Corvalink the desktop's browser through the real
        // xdg-settings (a build never installed gets a desktop entry of its own),
        // gives links back to the one before, and shows the truth once another
        // program took them.
        qputenv("PATH", (m_bin + u":/usr/bin:/bin"_s).toUtf8());
        const QString applications = qEnvironmentVariable("XDG_DATA_HOME") + u"/applications/"_s;
        TestEnvironment::makeFakeBrowsers({"plain"}, m_bin);
        TestEnvironment::writeFile(applications + u"plain.desktop"_s,
                                   "[Desktop Entry]\nType=Application\nName=Plain\nExec=plain %u\nMimeType=text/html;"
                                   "x-scheme-handler/http;x-scheme-handler/https;x-scheme-handler/about;"
                                   "x-scheme-handler/unknown;\n");
        const auto setDefault = [](const QString& entry) {
            return QProcess::execute(u"xdg-settings"_s, {"set", "default-web-browser", entry}) == 0;
        };
        QVERIFY(setDefault(u"plain.desktop"_s));
        SwitchButton* links = control<SwitchButton>(u"Open links in Corvalink"_s);
        QVERIFY(!links->isChecked());
        for (const auto& [on, expected] :
             {std::pair{true, "app.corvalink.Corvalink.desktop"}, {false, "plain.desktop"}}) {
            links->click();
            QVERIFY(links->isChecked() == on && DefaultBrowser::current() == QString::fromLatin1(expected));
        }
        links->click();
        QVERIFY(setDefault(u"plain.desktop"_s) && !control<SwitchButton>(u"Open links in Corvalink"_s)->isChecked());
    }

    // Subtitles and footnotes, measured in the pixels of the window, on a light
    // palette and on a dark one set while the window is open.
    static QPalette darkPalette()
    {
        QPalette dark;
        for (const auto& [role, color] : {std::pair{QPalette::Window, 0x202326},
                                          {QPalette::Base, 0x141618},
                                          {QPalette::Button, 0x292c30},
                                          {QPalette::WindowText, 0xfcfcfc},
                                          {QPalette::Text, 0xfcfcfc},
                                          {QPalette::ButtonText, 0xfcfcfc}})
            dark.setColor(role, QColor::fromRgb(color));
        return dark;
    }
    // The footnotes of the General tab read at 4.5:1 in the picture of the window.
    void footnotesAreReadable(const QImage& window)
    {
        for (const QString& text : {u"Accounts list only"_s, m_notSetUp}) {
            QLabel* shown = label(controller().window()->page(0)->content(), text);
            const QImage shot = window.copy(QRect(shown->mapTo(controller().window(), QPoint()), shown->size()));
            const auto readable = [&](const QColor& c) { return contrastRatio(c, shot.pixelColor(0, 0)) >= 4.5; };
            QVERIFY2(pixelsWhere(shot, readable) > 0, qPrintable(text));
        }
    }

    void secondaryTextKeepsItsContrast()
    {
        const QPalette light = QApplication::palette();
        general(); // built afresh, with iCloud Drive not set up
        for (const QPalette& palette : {light, darkPalette()}) {
            QApplication::setPalette(palette);
            QTest::qWait(50);
            footnotesAreReadable(window()->grab().toImage());
        }
        QApplication::setPalette(light);

        // Tabs by key; Tab reaches the browser select and Space opens it; Escape
        // and Ctrl+W close the window, which opens again as it was.
        controller().show(0);
        QVERIFY(QTest::qWaitForWindowActive(window()));
        for (const auto& [keys, tab] : {std::pair{Qt::ControlModifier | Qt::Key_PageDown, 1},
                                        {Qt::ControlModifier | Qt::Key_Tab, 2},
                                        {Qt::ControlModifier | Qt::Key_Tab, 0},
                                        {Qt::ControlModifier | Qt::Key_PageUp, 2},
                                        {Qt::ControlModifier | Qt::ShiftModifier | Qt::Key_Backtab, 1},
                                        {Qt::ControlModifier | Qt::ShiftModifier | Qt::Key_Tab, 0}}) {
            QTest::keyClick(window(), keys.key(), keys.keyboardModifiers());
            QCOMPARE(window()->currentTab(), tab);
        }
        SettingsWindow* opened = window();
        for (const QKeyCombination keys : {QKeyCombination(Qt::Key_Escape), Qt::ControlModifier | Qt::Key_W}) {
            QTest::keyClick(window(), keys.key(), keys.keyboardModifiers());
            QTRY_VERIFY(!window()->isVisible());
            controller().show();
            QVERIFY(QTest::qWaitForWindowActive(window()) && window() == opened && window()->currentTab() == 0);
        }
        // Every Tab stop shows where the keyboard is.
        general();
        QVERIFY(QTest::qWaitForWindowActive(window()));
        QSet<QWidget*> stops;
        for (QWidget* at = window(); stops.size() < 30; QTest::keyClick(at, Qt::Key_Tab)) {
            at = QApplication::focusWidget() ? QApplication::focusWidget() : window();
            if (stops.contains(at))
                break;
            if (at == window())
                continue;
            stops.insert(at);
            const QImage focused = at->grab().toImage();
            at->clearFocus();
            QVERIFY2(at->grab().toImage() != focused, at->metaObject()->className());
            at->setFocus(Qt::TabFocusReason);
        }
        auto* select = general()->findChild<SelectView*>();
        QVERIFY(QTest::qWaitForWindowActive(window()));
        for (int i = 0; i < 30 && QApplication::focusWidget() != select; ++i)
            QTest::keyClick(QApplication::focusWidget() ? QApplication::focusWidget() : window(), Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), select);
        QTest::keyClick(select, Qt::Key_Space);
        QTRY_VERIFY(select->menu() && select->menu()->isVisible());
        select->menu()->close();
    }

    // Rows show label, site and last opening, and a dot only with a colour; the
    // colour menu marks the current one, with no empty boxes; a changed file
    // rebuilds the page by itself.
    void accountRows()
    {
        QWidget* empty = showAccounts({});
        QVERIFY(WidgetFinder::row(empty, u"No accounts yet"_s) && button(empty, u"Add account\u2026"_s));
        Account opened = account(u"opened"_s), gone = account(u"gone"_s);
        opened.color = "Blue";
        opened.lastOpened = Account::nowReferenceSeconds() - 300;
        gone.browser = "Vivaldi"; // not installed: shown as Default
        store({gone, opened});
        QTRY_VERIFY(label(page(), u"GitHub \u00B7 never opened"_s) && page() != empty);
        QVERIFY(label(page(), u"GitHub \u00B7 opened 5 min. ago"_s));
        QVERIFY(!hasDot("gone") && hasDot("opened"));
        const auto textAt = [](const QString& title) { return label(page(), title)->mapTo(page(), QPoint()).x(); };
        QCOMPARE(textAt(u"gone"_s), textAt(u"opened"_s));
        QVERIFY(action("gone", "None")->isChecked() && !action("gone", "Blue")->isCheckable());
        QVERIFY(action("opened", "Blue")->isChecked() && !action("opened", "Blue")->icon().isNull());

        auto* select = in<SelectView>(WidgetFinder::row(page(), u"gone"_s));
        QVERIFY(select->items() == QStringList{"Default"} && select->selected() == "Default");
        QCOMPARE(first().browser, u"Vivaldi"_s);
        choose(select, "Default");
        QVERIFY(!first().browser);

        // Renamed and recoloured from the row's menu.
        showAccounts({account(u"work"_s)});
        for (const auto& [answer, typed, stored] : {std::tuple{"Save", "", "work"}, // empty text is ignored
                                                    {"Cancel", "other", "work"},
                                                    {"Save", " job ", " job "}}) {
            answerNextAlert(answer, typed);
            action(storedLabels().first(), u"Rename\u2026"_s)->trigger();
            QCOMPARE(storedLabels(), QStringList{stored});
        }
        // Spaces only: asked again, saying why.
        answerNextAlert(u"Save"_s, u"  "_s);
        bool askedAgain = false;
        QTimer again;
        again.callOnTimeout([&] {
            QWidget* modal = QApplication::activeModalWidget();
            if (modal && label(modal, u"Enter a label, such as work or perso."_s) && !askedAgain) {
                askedAgain = true;
                button(modal, u"Cancel"_s)->click();
            }
        });
        again.start(20);
        action(" job ", u"Rename\u2026"_s)->trigger();
        QVERIFY(askedAgain && storedLabels() == QStringList{" job "});
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
        QVERIFY(LinkRules::shared().add(u"github.com"_s, keep.id));
        answerNextAlert(u"Remove, keep session"_s);
        action("keep", u"Remove\u2026"_s)->trigger();
        QVERIFY(storedLabels() == QStringList{"drop"} && QFileInfo::exists(profile(keep)));
        QVERIFY(LinkRules(Store::shared().baseDir()).rules().isEmpty()); // its link rules went with it

        // A browser still running on the profile would write the session back:
        // nothing is removed until its windows are closed.
        const QString lock = profile(drop) + u"/SingletonLock"_s;
        QVERIFY(
            QFile::link(QSysInfo::machineHostName() + '-' + QString::number(QCoreApplication::applicationPid()), lock));
        for (const char* answer : {"Remove & delete session", "OK"})
            answerNextAlert(answer);
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

        // Rows built before the list changed act on the right account, and the
        // page follows a removal made elsewhere (the tray menu).
        const Account gone = account(u"gone"_s);
        showAccounts({gone, account(u"second"_s)});
        QAction* removeGone = action("gone", u"Remove\u2026"_s);
        Store::shared().remove(gone, false);
        bool asked = false;
        answerNextAlert(u"Remove & delete session"_s, QString(), &asked);
        removeGone->trigger(); // its account is gone: nothing happens, nothing is asked
        QTest::qWait(100);
        QVERIFY(!asked && !WidgetFinder::row(page(), u"gone"_s));
        answerNextAlert(u"Save"_s, u"renamed"_s);
        action("second", u"Rename\u2026"_s)->trigger();
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
            // Asked again (Ctrl+N in the menu): the half-filled form comes forward.
            AddAccountForm* halfFilled = controller().addForm();
            controller().addAccount();
            QVERIFY(controller().addForm() == halfFilled && halfFilled->labelField()->text() == "work");
            saving ? controller().addForm()->saveTapped() : controller().addForm()->cancelTapped();
            QVERIFY(!controller().addForm() && label(page(), u"existing"_s));
            QCOMPARE(storedLabels(), (QStringList{"existing", "work"}));
        }
        QVERIFY(Store::shared().accounts().last().lastOpened);
        QCOMPARE(TestEnvironment::recordedArguments(m_bin + u"/chromium"_s).value(3), "https://claude.ai/login");

        // With many accounts the window stays on the screen and its column scrolls
        // to the last row and the "Add account…" button.
        QList<Account> many;
        for (int i = 0; i < 30; ++i)
            many << account(u"account %1"_s.arg(i));
        const QRect screen = window()->screen()->availableGeometry();
        window()->move(screen.left() + 40, screen.bottom() - 300); // where the user left it
        showAccounts(many);
        QVERIFY(page()->height() > screen.height() && screen.contains(window()->frameGeometry()));
        window()->move(screen.left() + 40, screen.bottom() - 100);
        window()->selectTab(0);
        QVERIFY2(screen.contains(window()->frameGeometry()), qPrintable(QDebug::toString(window()->frameGeometry())));
        window()->selectTab(1);
        QAbstractButton* add = button(page(), u"Add account\u2026"_s);
        controller().accountsPage()->findChild<QScrollArea*>()->ensureWidgetVisible(add);
        QVERIFY(!add->visibleRegion().isEmpty());
        showAccounts({});

        // A new form shows the first preset; another preset overwrites site and URL
        // only; "Custom" leaves a bare scheme, which only beeps.
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
        // Site, label, URL as typed, and the URL saved; or, refused, the field that
        // says what is wrong under it (with a beep; the text stays).
        const QList<std::array<QString, 4>> cases{{"Site", "work", "example.org/login", "https://example.org/login"},
                                                  {"Site", "work", " \tftp://files.example.org  ", "url"},
                                                  {"Site", "work", "javascript://example.com/%0Aalert(1)", "url"},
                                                  {"Site", "work", "file://localhost/etc/passwd", "url"},
                                                  {"Site", "work", "example.org/?next=https://x", "url"},
                                                  {"Site", "work", "https://", "url"},
                                                  {"Site", "work", "exa mple.org", "url"},
                                                  {"Site", " \t ", "https://example.org", "label"},
                                                  {u"\u00A0"_s, "work", "https://example.org", "site"}};
        for (const auto& [site, label, url, outcome] : cases) {
            const int beeps = Feedback::beepCount();
            const auto saved = save(site, label, url);
            QCOMPARE(saved ? saved->url : m_form->urlField()->text(), saved ? outcome : url);
            QCOMPARE(Feedback::beepCount(), beeps + (saved ? 0 : 1));
            QStringList complaints;
            for (const auto& [name, field] : {std::pair<const char*, QLineEdit*>{"site", m_form->siteField()},
                                              {"label", m_form->labelField()},
                                              {"url", m_form->urlField()}})
                if (!AddAccountForm::problemText(field).isEmpty())
                    complaints << name;
            QCOMPARE(complaints, saved ? QStringList() : QStringList{outcome});
        }

        // Trimming takes space separators and tabs, not line breaks.
        QCOMPARE(AddAccountForm::trimmed(u"\u00A0\t work \u2003"_s) + AddAccountForm::trimmed(u" b\n"_s), "workb\n");
        const auto saved = save(u"  Git Hub\t"_s, u"\twork "_s, u"github.com"_s);
        QVERIFY(saved->siteName == "Git Hub" && saved->label == "work" && !saved->browser && !saved->color);

        // Browsers are looked for when a form is made.
        qputenv("PATH", TestEnvironment::makeFakeBrowsers({"vivaldi"}, TestEnvironment::home() + u"/later"_s).toUtf8());
        QCOMPARE(m_form->browserPicker()->items(), QStringList{"Default"});
        QCOMPARE(form().browserPicker()->items(), (QStringList{"Default", "Vivaldi"}));

        // Escape cancels, Return and the keypad's Enter save, through the window as
        // the platform delivers keys; the same controls survive a rebuild of the page.
        AddAccountForm& f = form();
        PageViewController formPage([&] { return f.sections(); });
        formPage.show();
        connect(&f, &AddAccountForm::layoutChanged, &formPage, [&] { formPage.rebuild(false); });
        QVERIFY(QTest::qWaitForWindowActive(&formPage));
        // Saved without a label: the window says so under the field, until typing starts.
        f.labelField()->setFocus();
        QTest::keyClick(formPage.windowHandle(), Qt::Key_Return);
        const auto said = [&] { return label(formPage.content(), u"Enter a label, such as work or perso."_s); };
        QTRY_VERIFY(said() && said()->isVisible() && !m_saved);
        QVERIFY(said()->mapTo(&formPage, QPoint()).y() >= f.labelField()->mapTo(&formPage, QPoint(0, 20)).y());
        QCOMPARE(QApplication::focusWidget(), f.labelField());
        QTest::keyClicks(f.labelField(), u"work"_s);
        QVERIFY(!said()->isVisible());
        QTest::keyClick(formPage.windowHandle(), Qt::Key_Escape);
        QTRY_VERIFY(m_cancels == 1 && !m_saved);
        for (const auto modifier : {Qt::NoModifier, Qt::KeypadModifier}) {
            m_saved.reset();
            QTest::keyClick(formPage.windowHandle(), modifier ? Qt::Key_Enter : Qt::Key_Return, modifier);
            QTRY_COMPARE(m_saved.value_or(Account{}).label, "work");
        }
        formPage.rebuild(false);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(f.labelField()->text() == "work" && formPage.content()->isAncestorOf(f.labelField()));
    }

    // Long texts are shortened where they would be cut, user text is never
    // markup, and the accessory keeps its room.
    void rowsShortenTheirTexts()
    {
        const QString subtitle = "BEGIN" + QString(300, u'x') + "END";
        const QString title = "R&D <b>team</b> " + QString(200, u'y');
        auto* field = new QLineEdit;
        std::unique_ptr<QWidget> row(UI::row(title, subtitle, {}, {field}));
        row->setFixedWidth(492);
        row->show();
        QVERIFY(QTest::qWaitForWindowExposed(row.get()));
        const QList<ElidedLabel*> labels = row->findChildren<ElidedLabel*>();
        const QString shown = labels.last()->shownText();
        QVERIFY(shown.size() < subtitle.size() && shown.startsWith("BEGIN") && shown.endsWith("END"));
        QVERIFY(labels.first()->shownText().startsWith("R&D <b>team</b> ") &&
                labels.first()->shownText().endsWith(QChar(0x2026)) && labels.first()->toolTip() == title);
        QCOMPARE(labels.first()->textFormat(), Qt::PlainText);
        QVERIFY(field->width() > 0);
        QStringList picks;
        SelectView select({"Automatic", "Chromium", "Chromium", "Vivaldi"}, "Chromium",
                          [&](const QString& pick) { picks << pick; });
        select.show();
        QVERIFY(QTest::qWaitForWindowExposed(&select));
        for (QWidget* target : QList<QWidget*>{select.findChild<QLabel*>(), select.findChild<RoundBadge*>(), &select}) {
            QTest::mouseClick(&select, Qt::LeftButton, {}, target->mapTo(&select, target->rect().center()));
            QTRY_VERIFY(select.menu() && select.menu()->isVisible());
            select.menu()->close();
        }
        select.popUp();
        const QList<QAction*> actions = select.menu()->actions();
        QVERIFY(!actions.at(0)->isChecked() && actions.at(1)->isChecked() && actions.at(2)->isChecked());
        QVERIFY(!actions.at(0)->isCheckable() && !actions.at(3)->isCheckable()); // no empty boxes
        actions.at(2)->trigger();                                                // the entry already chosen
        select.popUp();
        select.menu()->actions().at(3)->trigger();
        QCOMPARE(picks, (QStringList{"Chromium", "Vivaldi"}));
        QCOMPARE(select.title(), "Vivaldi");

        SelectView stale({"a", "b"}, "gone", {});
        QCOMPARE(stale.title(), "gone");
        stale.popUp();
        for (QAction* action : stale.menu()->actions())
            QVERIFY(!action->isChecked());

        // A disabled switch shows its track, the keyboard's focus shows as a ring,
        // and every control carries its row's name.
        auto* off = new SwitchButton(false);
        auto* focused = new SwitchButton(false);
        off->setEnabled(false);
        std::unique_ptr<QWidget> card(UI::card(
            {UI::row(u"Disabled"_s, std::nullopt, {}, {off}), UI::row(u"Focused"_s, std::nullopt, {}, {focused})}));
        card->show();
        QVERIFY(QTest::qWaitForWindowActive(card.get()));
        QCOMPARE(off->accessibleName(), "Disabled");
        QCOMPARE(focused->accessibleName(), "Focused");

        const QImage disabled = off->grab().toImage();
        const QColor background = disabled.pixelColor(0, 0);

        // More than the knob (about 18 x 18 inside the track) stands out from the card.
        QVERIFY(pixelsAwayFrom(disabled, background, 120) >
                pixelsAwayFrom(disabled.copy(2, 2, 18, 18), background, 120) + 20);

        const QImage before = focused->grab().toImage();
        QTest::keyClick(card.get(), Qt::Key_Tab);
        QTRY_VERIFY(focused->hasFocus());
        const QColor highlight = focused->palette().color(QPalette::Highlight);
        QVERIFY(pixelsAwayFrom(focused->grab().toImage(), highlight, 60) < pixelsAwayFrom(before, highlight, 60) - 20);
    }

    // The pictures for the README are light whatever the desktop uses.
    void snapshotsAreLight()
    {
        QApplication::setPalette(darkPalette());
        const QString folder = TestEnvironment::home() + u"/shots"_s;
        QDir().mkpath(folder);
        controller().snapshot(folder);
        const QImage general(folder + u"/tab0.png"_s);
        QVERIFY(general.pixelColor(general.width() - 2, general.height() - 2).lightnessF() > 0.8);
        footnotesAreReadable(general);
    }

    void textsByDateAndSize()
    {
        const QDateTime now = QDateTime::currentDateTimeUtc();
        for (const auto& [seconds, text] : {std::pair{-86400, "1 day ago"},
                                            {-3 * 86400 - 5, "3 days ago"},
                                            {-300, "5 min. ago"},
                                            {0, "now"},
                                            {2 * 3600, "in 2 hr."}})
            QCOMPARE(RelativeDate::shortText(now.addSecs(seconds), now), QString::fromLatin1(text));

        // At the default size the measures hold; a larger desktop font enlarges every
        // text in proportion, and fields are as large as the row text beside them.
        const QFont original = QApplication::font();
        auto* field = UI::field(QString(), QString(), 120);
        std::unique_ptr<QWidget> row(UI::row(u"Title"_s, std::nullopt, {}, {field}));
        row->setFont(UI::font(13)); // as the settings window sets it
        QCOMPARE(field->font().pixelSize(), row->findChild<ElidedLabel*>()->font().pixelSize());
        QFont large = original;
        large.setPointSizeF(original.pointSizeF() * 2);
        QApplication::setFont(large);
        QCOMPARE(UI::font(13).pixelSize(), 26);
        QApplication::setFont(original);
    }
};

CORVALINK_TEST_MAIN(TestSettingsWindow)
#include "TestSettingsWindow.moc"
