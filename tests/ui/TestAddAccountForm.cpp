#include "AboutTab.h"
#include "AddAccountForm.h"
#include "Feedback.h"
#include "PageViewController.h"
#include "SitePreset.h"
#include "TestEnvironment.h"
#include "WidgetFinder.h"

#include <QDir>
#include <QPushButton>
#include <QVBoxLayout>

// The add-account form on its own, and the About tab's texts.
class TestAddAccountForm : public QObject {
    Q_OBJECT

private:
    std::optional<Account> m_saved;
    int m_cancels = 0;
    std::unique_ptr<AddAccountForm> m_form;

    AddAccountForm& form()
    {
        m_saved.reset();
        m_cancels = 0;
        m_form = std::make_unique<AddAccountForm>([this](const Account& a) { m_saved = a; }, [this] { ++m_cancels; });
        return *m_form;
    }

    static void pick(SelectView* select, const QString& entry)
    {
        select->popUp();
        select->menu()->actions().at(select->items().indexOf(entry))->trigger();
    }

    // Saving with these texts either beeps or yields an account.
    std::optional<Account> save(const QString& site, const QString& label, const QString& url)
    {
        AddAccountForm& f = form();
        f.siteField()->setText(site);
        f.labelField()->setText(label);
        f.urlField()->setText(url);
        f.saveTapped();
        return m_saved;
    }

private Q_SLOTS:
    void init() { qputenv("PATH", QByteArray()); }
    void cleanup() { m_form.reset(); }

    void aNewFormShowsTheFirstPreset()
    {
        AddAccountForm& f = form();
        QCOMPARE(f.sitePicker()->items(), (QStringList{"Claude", "ChatGPT", "GitHub", "Google", "Custom"}));
        QCOMPARE(f.siteField()->text() + ' ' + f.urlField()->text(), "Claude " + SitePreset::all().first().loginUrl);
        for (const SitePreset& preset : SitePreset::all().mid(0, 4))
            QVERIFY(QUrl(preset.loginUrl).scheme() == QLatin1String("https") &&
                    !QUrl(preset.loginUrl).host().isEmpty());
    }

    void customThenReturnOnlyBeeps()
    {
        AddAccountForm& f = form();
        f.labelField()->setText(QStringLiteral("work"));
        pick(f.sitePicker(), QStringLiteral("Custom"));
        QCOMPARE(f.siteField()->text(), QString());
        QCOMPARE(f.urlField()->text(), QStringLiteral("https://"));
        const int beeps = Feedback::beepCount();
        f.saveTapped();
        QCOMPARE(Feedback::beepCount(), beeps + 1);
        QVERIFY(!m_saved);
        QCOMPARE(f.urlField()->text(), QStringLiteral("https://"));
    }

    void aPresetOverwritesSiteAndUrlOnly()
    {
        TestEnvironment::makeFakeBrowsers({"chromium"});
        qputenv("PATH", (TestEnvironment::home() + "/fakebin").toUtf8());
        AddAccountForm& f = form();
        f.labelField()->setText(QStringLiteral("perso"));
        f.siteField()->setText(QStringLiteral("typed"));
        pick(f.browserPicker(), QStringLiteral("Chromium"));
        pick(f.colorPicker(), QStringLiteral("Blue"));
        pick(f.sitePicker(), QStringLiteral("GitHub"));
        QCOMPARE(f.siteField()->text(), QStringLiteral("GitHub"));
        QCOMPARE(f.urlField()->text(), SitePreset::all().at(2).loginUrl);
        QCOMPARE(f.labelField()->text(), QStringLiteral("perso"));
        f.saveTapped();
        QVERIFY(m_saved);
        QCOMPARE(*m_saved->browser, QStringLiteral("Chromium"));
        QCOMPARE(*m_saved->color, QStringLiteral("Blue"));
        QVERIFY(!m_saved->lastOpened);
    }

    void validationAndCompletion_data()
    {
        QTest::addColumn<QString>("site");
        QTest::addColumn<QString>("label");
        QTest::addColumn<QString>("url");
        QTest::addColumn<QString>("savedUrl"); // null: only a beep
        QTest::newRow("no scheme") << "Site"
                                   << "work"
                                   << "example.org/login"
                                   << "https://example.org/login";
        QTest::newRow("other scheme trimmed") << "Site"
                                              << "work"
                                              << " \tftp://files.example.org  "
                                              << "ftp://files.example.org";
        QTest::newRow(":// inside") << "Site"
                                    << "work"
                                    << "example.org/?next=https://x" << QString();
        QTest::newRow("no host") << "Site"
                                 << "work"
                                 << "https://" << QString();
        QTest::newRow("spaces in url") << "Site"
                                       << "work"
                                       << "exa mple.org" << QString();
        QTest::newRow("empty label") << "Site"
                                     << " \t "
                                     << "https://example.org" << QString();
        QTest::newRow("empty site") << "\u00A0"
                                    << "work"
                                    << "https://example.org" << QString();
    }

    void validationAndCompletion()
    {
        QFETCH(QString, site);
        QFETCH(QString, label);
        QFETCH(QString, url);
        QFETCH(QString, savedUrl);
        const int beeps = Feedback::beepCount();
        const auto saved = save(site, label, url);
        if (savedUrl.isNull()) {
            QVERIFY(!saved);
            QCOMPARE(Feedback::beepCount(), beeps + 1);
            QCOMPARE(m_form->urlField()->text(), url); // what was typed stays
        } else {
            QVERIFY(saved);
            QCOMPARE(saved->url, savedUrl);
            QCOMPARE(saved->label, label.trimmed());
        }
    }

    void trimmingTakesSpaceSeparatorsAndTabsOnly()
    {
        QCOMPARE(AddAccountForm::trimmed(QStringLiteral("\u00A0\t work \u2003")), QStringLiteral("work"));
        QCOMPARE(AddAccountForm::trimmed(QStringLiteral(" work\n")), QStringLiteral("work\n"));
        const auto saved = save(QStringLiteral("  Git Hub\t"), QStringLiteral("\twork "), QStringLiteral("github.com"));
        QVERIFY(saved);
        QCOMPARE(saved->siteName, QStringLiteral("Git Hub"));
        QCOMPARE(saved->label, QStringLiteral("work"));
        QVERIFY(!saved->browser);
        QVERIFY(!saved->color);
    }

    void browserChoicesAreTakenWhenTheFormIsMade()
    {
        AddAccountForm& f = form();
        QCOMPARE(f.browserPicker()->items(), QStringList{"Default"});
        qputenv("PATH", TestEnvironment::makeFakeBrowsers({"vivaldi"}, TestEnvironment::home() + "/later").toUtf8());
        QCOMPARE(f.browserPicker()->items(), QStringList{"Default"});
        QCOMPARE(form().browserPicker()->items(), (QStringList{"Default", "Vivaldi"}));
    }

    void returnSavesAndEscapeCancels()
    {
        AddAccountForm& f = form();
        PageViewController page([&] { return f.sections(); });
        page.show();
        QVERIFY(QTest::qWaitForWindowActive(&page));
        QVERIFY(WidgetFinder::label(page.content(), QStringLiteral("New account")));
        QVERIFY(WidgetFinder::button(page.content(), QStringLiteral("Add & Log in")));
        f.labelField()->setFocus();
        QTest::keyClicks(f.labelField(), QStringLiteral("work"));
        // Through the window, as the platform delivers keys, so shortcuts apply.
        QTest::keyClick(page.windowHandle(), Qt::Key_Escape);
        QTRY_COMPARE(m_cancels, 1);
        QVERIFY(!m_saved);
        QTest::keyClick(page.windowHandle(), Qt::Key_Return);
        QTRY_VERIFY(m_saved);
        QCOMPARE(m_saved->label, QStringLiteral("work"));

        // The same controls survive a rebuild of the page.
        page.rebuild(false);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QCOMPARE(f.labelField()->text(), QStringLiteral("work"));
        QVERIFY(page.content()->isAncestorOf(f.labelField()));
    }

    void aboutTexts()
    {
        QCOMPARE(AboutTab::versionText(std::nullopt, std::nullopt), QStringLiteral("Version dev (1)"));
        QCOMPARE(AboutTab::versionText(QStringLiteral("1.2"), QStringLiteral("42")),
                 QStringLiteral("Version 1.2 (42)"));

        AboutTab about;
        QWidget page;
        auto* layout = new QVBoxLayout(&page);
        for (QWidget* view : about.sections())
            layout->addWidget(view);
        QCOMPARE(WidgetFinder::row(&page, "Accounts")->findChildren<QLabel*>().last()->text(), QStringLiteral("0"));
        QCOMPARE(WidgetFinder::row(&page, "Browsers detected")->findChildren<QLabel*>().last()->text(),
                 QStringLiteral("0"));
        const QString privacy =
            QStringLiteral("Every account lives in its own isolated Chromium profile. Corvalink never "
                           "reads or stores your passwords, makes no network connections and has "
                           "no analytics. All data stays in ~/data/Corvalink.");
        // The test's XDG_DATA_HOME is ~/data.
        QVERIFY(WidgetFinder::label(&page, privacy));
    }
};

CORVALINK_TEST_MAIN(TestAddAccountForm)
#include "TestAddAccountForm.moc"
