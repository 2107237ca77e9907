#include "AccountSwitcher.h"
#include "AccountsFile.h"
#include "AppDelegate.h"
#include "CommandLine.h"
#include "Contrast.h"
#include "HotKey.h"
#include "LoginItem.h"
#include "Paths.h"
#include "Settings.h"
#include "SingleInstance.h"
#include "StatusMenu.h"
#include "StatusMenuContent.h"
#include "Store.h"
#include "TestEnvironment.h"
#include "TrayArtwork.h"
#include "WidgetFinder.h"

#include <QCheckBox>
#include <QLocalSocket>
#include <QPainter>

using Kind = MenuEntry::Kind;
using TestAccounts::labels;

// What the status menu holds and what its actions do to the store; the
// preferences and the start-at-login entry.
class TestStatusMenu : public QObject {
    Q_OBJECT

private:
    const QString m_tail =
        u"Add account\u2026|Hold Alt on an account to remove it|---|Settings\u2026|About Corvalink|---|"
        "Quit Corvalink"_s;

    static Account account(const QString& site, const QString& label, std::optional<QString> color = std::nullopt)
    {
        Account a = TestAccounts::make(label, site, "https://example.org/" + label);
        a.color = color;
        return a;
    }
    static QString visibleTitles(const QMenu& menu)
    {
        QStringList result;
        for (QAction* action : menu.actions()) {
            if (action->isVisible())
                result << (action->isSeparator() ? u"---"_s : action->text());
        }
        return result.join(u'|');
    }
    static void writeAccounts(const QList<Account>& accounts)
    {
        TestAccounts::write(Store::shared().activeFile(), accounts);
        Store::shared().reload();
    }

    static QString configFile() { return qEnvironmentVariable("XDG_CONFIG_HOME") + u"/Corvalink/Corvalink.conf"_s; }

private Q_SLOTS:
    // Sites in code-point order of their NFC form, accounts by last opening then
    // label, indented under their site; coloured ones carry a dot; "&" shows as
    // itself and nothing is markup. While Alt is held, each account swaps for its
    // "Remove …" alternate. The keys drawn beside the items act while it is open.
    void groupsOrderAlternatesAndKeys()
    {
        QMenu menu;
        QList<MenuEntry> triggered;
        StatusMenu statusMenu(&menu, [&](const MenuEntry& entry) { triggered << entry; });
        Account recent = account("GitHub", "zeta work", "Blue");
        recent.lastOpened = Account::nowReferenceSeconds();
        statusMenu.populate(StatusMenuContent::build(
            {account("alpha", "x"), account("GitHub", "b"), account("github", "lower"), recent,
             account("GitHub", "A", "Mauve"), account(u"Caf\u00E9"_s, "composed"),
             account(u"Cafe\u0301"_s, "decomposed"), account("AT&T", "R&D <b>team</b> &amp;")}));
        QCOMPARE(visibleTitles(menu),
                 u"AT&&T|   R&&D <b>team</b> &&amp;|---|Caf\u00E9|   composed|   decomposed|---|GitHub|"
                 "   zeta work|   A|   b|---|alpha|   x|---|github|   lower|---|"_s +
                     m_tail);
        QVERIFY(menu.actions().at(7)->font().bold() && !menu.actions().at(8)->font().bold());

        statusMenu.showAlternates(true);
        QVERIFY(visibleTitles(menu).contains(u"|GitHub|   Remove zeta work\u2026|   Remove A\u2026|"_s));
        QVERIFY(menu.actions().at(8)->icon().isNull()); // the alternate has no dot
        menu.actions().at(8)->trigger();
        QVERIFY(triggered.size() == 1 && triggered.first().kind == Kind::RemoveAlternate);
        QCOMPARE(triggered.first().account->id, recent.id);
        statusMenu.showAlternates(false);
        QVERIFY(visibleTitles(menu).contains("|   zeta work|") && menu.actions().at(7)->font().bold());

        for (const auto& [keys, command] : {std::pair{Qt::ControlModifier | Qt::Key_N, MenuEntry::Command::Add},
                                            {Qt::ControlModifier | Qt::Key_Comma, MenuEntry::Command::Settings},
                                            {Qt::ControlModifier | Qt::Key_Q, MenuEntry::Command::Quit}}) {
            menu.popup(QPoint(10, 10));
            QVERIFY(QTest::qWaitForWindowExposed(&menu));
            QTest::keyClick(&menu, keys.key(), keys.keyboardModifiers());
            QVERIFY(triggered.last().command == command && !menu.isVisible());
        }

        // A shorter list next time: nothing of the longer one shows.
        statusMenu.populate(StatusMenuContent::build({}));
        QCOMPARE(visibleTitles(menu), "No accounts yet|---|" + m_tail);
        QVERIFY(!menu.actions().at(0)->isEnabled() && !menu.actions().at(3)->isEnabled()); // the hint is no item
    }

    // As drawn: every account's text starts at the same place, dot or none ("Mauve"
    // is no colour); site headers read at 4.5:1; a long label ends in "…" and shows
    // whole in the tooltip.
    void theDrawnMenu()
    {
        QMenu menu;
        StatusMenu statusMenu(&menu, [](const MenuEntry&) {});
        const QString longLabel = QString(5000, u'w');
        statusMenu.populate(StatusMenuContent::build(
            {account("GitHub", "blue", "Blue"), account("GitHub", "mauve", "Mauve"), account("GitHub", longLabel)}));
        menu.popup(QPoint(0, 0));
        QVERIFY(QTest::qWaitForWindowExposed(&menu));
        const QImage shot = menu.grab().toImage();
        const auto row = [&](int index) { return shot.copy(menu.actionGeometry(menu.actions().at(index))); };
        const QColor back = row(1).pixelColor(row(1).width() - 3, row(1).height() / 2);
        const auto textStart = [&](const QImage& image) {
            for (int x = 0; x < image.width(); ++x) {
                for (int y = 0; y < image.height(); ++y) {
                    const QColor c = image.pixelColor(x, y);
                    if (c.hslSaturation() < 60 && contrastRatio(c, back) > 3)
                        return x;
                }
            }
            return -1;
        };
        QVERIFY(textStart(row(1)) > 0 && textStart(row(1)) == textStart(row(2)));
        QVERIFY(pixelsWhere(row(0), [&](const QColor& c) { return contrastRatio(c, back) >= 4.5; }) > 10);
        QAction* shortened = menu.actions().at(3);
        QVERIFY(shortened->text().endsWith(u'\u2026') && shortened->toolTip() == longLabel);
        QVERIFY(menu.sizeHint().width() < 500);
    }

    // Past the screen's height: one column, the most recently opened accounts
    // with their whole groups, and "More accounts…" for the switcher.
    void aListTallerThanTheScreen()
    {
        QList<Account> many;
        for (int i = 0; i < 40; ++i)
            many << account(u"Site %1"_s.arg(i % 8), u"account %1"_s.arg(i));
        many[37].lastOpened = Account::nowReferenceSeconds();
        writeAccounts(many);
        AppDelegate delegate;
        QVERIFY(delegate.applicationDidFinishLaunching({u"corvalink"_s}));
        delegate.menuNeedsUpdate();
        QMenu& menu = *delegate.menu();
        QStringList shown;
        for (QAction* action : menu.actions()) {
            if (action->isVisible()) {
                QCOMPARE(menu.actionGeometry(action).x(), menu.actionGeometry(menu.actions().first()).x());
                shown << action->text().trimmed();
            }
        }
        QVERIFY2(shown.size() > 12 && shown.contains("account 37") && shown.contains(u"More accounts\u2026"_s),
                 qPrintable(shown.join(u'|')));
        for (int i = 0; i < 40; ++i) {
            if (shown.contains(many[i].label))
                QVERIFY(shown.indexOf(many[i].siteName) >= 0);
        }
        WidgetFinder::withText<QAction>(&menu, u"More accounts\u2026"_s)->trigger();
        QTRY_VERIFY(delegate.switcher() && delegate.switcher()->shownAccounts().size() == 40);
    }

    void theMenuShowsTheFileAsItIsOnDisk()
    {
        AppDelegate delegate;
        QVERIFY(delegate.applicationDidFinishLaunching({u"corvalink"_s}));
        writeAccounts({account("GitHub", "work")});
        delegate.menuNeedsUpdate();
        QVERIFY(visibleTitles(*delegate.menu()).contains("|   work|"));

        // Edited by hand while the app runs.
        TestAccounts::write(Store::shared().activeFile(), {account("GitHub", "edited")});
        delegate.menuNeedsUpdate();
        QVERIFY(visibleTitles(*delegate.menu()).contains("|   edited|") &&
                !visibleTitles(*delegate.menu()).contains("work"));

        // The panel may be light or dark, and an XEmbed tray does not say which.
        for (const QColor panel :
             {QColor(Qt::white), QColor(0xe0, 0xe0, 0xe0), QColor(0x20, 0x20, 0x20), QColor(Qt::black)}) {
            QImage image(22, 22, QImage::Format_RGB32);
            image.fill(panel);
            QPainter painter(&image);
            TrayArtwork::icon().paint(&painter, image.rect());
            painter.end();
            const int readable = pixelsWhere(image, [&](const QColor& c) { return contrastRatio(c, panel) >= 3.0; });
            QVERIFY2(readable >= 40, qPrintable(panel.name() + u": %1 pixels stand out"_s.arg(readable)));
        }
        // The installed symbolic icon, as GTK draws it on a dark panel and on a light one: in the panel's text colour.
        QProcess gtk;
        gtk.start(u"/usr/bin/python3"_s,
                  {QStringLiteral(CORVALINK_TEST_COMMON_DIR "/symbolic-icon.py"),
                   QStringLiteral(CORVALINK_TEST_COMMON_DIR "/../../resources/corvalink-symbolic.svg")});
        const QByteArray said = gtk.waitForFinished(30000) ? gtk.readAllStandardOutput().simplified() : QByteArray();
        const QList<QByteArray> counts = said.split(' '); // white TINTED DRAWN black TINTED DRAWN
        QVERIFY2(counts.size() == 6 && counts[1].toInt() > 0.95 * counts[2].toInt() &&
                     counts[4].toInt() > 0.95 * counts[5].toInt(),
                 said.constData());
    }

    // Where a menu cannot pop up at the pointer (here offscreen, as on Wayland),
    // the shortcut opens the account switcher.
    void theShortcutOpensTheSwitcherWhereMenusCannotPopUp()
    {
        const QString bin = TestEnvironment::makeFakeBrowsers({"chromium"});
        qputenv("PATH", bin.toUtf8());
        const Account perso = account("GitHub", "perso");
        writeAccounts(
            {account("GitHub", "work", "Blue"), perso, account(u"\u00C9cole"_s, "Cours"), account("Claude", "R&D")});
        AppDelegate delegate;
        QVERIFY(delegate.applicationDidFinishLaunching({u"corvalink"_s}));
        HotKey::shared().action();
        AccountSwitcher* switcher = delegate.switcher();
        QVERIFY(switcher && switcher->isVisible());
        QTRY_COMPARE(QApplication::focusWidget(), switcher->searchField());
        QCOMPARE(labels(switcher->shownAccounts()), (QStringList{"R&D", "perso", "work", "Cours"}));

        // Case and accents do not count, and the text may match anywhere.
        const QList<std::pair<QString, QStringList>> filters{
            {"ecole", {"Cours"}}, {"GITHUB", {"perso", "work"}}, {"r&", {"R&D"}}, {"ORK", {"work"}}, {"zz", {}}};
        for (const auto& [typed, expected] : filters) {
            switcher->searchField()->clear();
            QTest::keyClicks(switcher->searchField(), typed);
            QCOMPARE(labels(switcher->shownAccounts()), expected);
        }

        // Up and Down move among accounts; Return opens as the menu does.
        switcher->searchField()->clear();
        for (const Qt::Key key : {Qt::Key_Down, Qt::Key_Down, Qt::Key_Up, Qt::Key_Return})
            QTest::keyClick(switcher->searchField(), key);
        QCOMPARE(TestEnvironment::recordedArguments(bin + u"/chromium"_s).last(), perso.url);
        QTRY_VERIFY(!delegate.switcher());
    }
    // A link without a rule opens the chooser: the link's own site first, typing
    // filters, a second link takes the first one's place, Escape drops it, the
    // box makes a rule that opens the next link at once, and the previous browser
    // opens it without an account.
    void theLinkChooser()
    {
        const QString bin = TestEnvironment::makeFakeBrowsers({"chromium", "plain"});
        qputenv("PATH", (bin + u":/usr/bin:/bin"_s).toUtf8());
        TestEnvironment::writeFile(
            qEnvironmentVariable("XDG_DATA_HOME") + u"/applications/plain.desktop"_s,
            "[Desktop Entry]\nType=Application\nName=Plain\nExec=plain --new %u\nMimeType=text/html;"
            "x-scheme-handler/http;x-scheme-handler/https;x-scheme-handler/about;"
            "x-scheme-handler/unknown;\n");
        QVERIFY(QProcess::execute(u"xdg-settings"_s, {"set", "default-web-browser", "plain.desktop"}) == 0);
        Account perso = account("GitHub", "perso"), work = account("GitHub", "work");
        perso.url = work.url = u"https://github.com/login"_s;
        writeAccounts({account("Claude", "x"), work, perso});
        AppDelegate delegate;
        QVERIFY(delegate.applicationDidFinishLaunching({u"corvalink"_s}));
        QList<int> answers;
        const auto reply = [&](const SingleInstance::Answer& answer) { answers << answer.status; };
        delegate.handleLink(u"https://gist.github.com/a"_s, reply);
        AccountSwitcher* chooser = delegate.switcher();
        QVERIFY(chooser && chooser->isVisible());
        QCOMPARE(labels(chooser->shownAccounts()), (QStringList{"perso", "work", "x"}));
        QTest::keyClicks(chooser->searchField(), u"wor"_s);
        QCOMPARE(labels(chooser->shownAccounts()), QStringList{"work"});
        delegate.handleLink(u"https://github.com/pulls"_s, reply);
        QVERIFY(answers == QList<int>{1} && delegate.switcher() == chooser);
        chooser->alwaysBox()->setChecked(true);
        QTest::keyClick(chooser->searchField(), Qt::Key_Return);
        QCOMPARE(TestEnvironment::recordedArguments(bin + u"/chromium"_s).last(), u"https://github.com/pulls"_s);
        QTRY_VERIFY(answers == (QList<int>{1, 0}) && !delegate.switcher());
        delegate.handleLink(u"https://github.com/issues"_s, reply); // the rule: no chooser
        QVERIFY(!delegate.switcher() && answers.last() == 0);
        QCOMPARE(TestEnvironment::recordedArguments(bin + u"/chromium"_s).mid(0, 1),
                 QStringList{"--user-data-dir=" + Paths::profileFolder(work.id)});
        delegate.handleLink(u"https://example.org/"_s, reply);
        QTest::keyClick(delegate.switcher()->searchField(), Qt::Key_Escape);
        QTRY_VERIFY(answers.size() == 4 && answers.last() == 1 && !delegate.switcher());
        delegate.handleLink(u"https://example.org/"_s, reply);
        QTest::keyClicks(delegate.switcher()->searchField(), u"zz"_s); // only the plain browser is left
        QTest::keyClick(delegate.switcher()->searchField(), Qt::Key_Return);
        QCOMPARE(TestEnvironment::recordedArguments(bin + u"/plain"_s), (QStringList{"--new", "https://example.org/"}));
    }

    // Fresh values; "Automatic" removes the key; empty flags stay stored.
    void preferences()
    {
        Settings::d().clear();
        QVERIFY(Settings::hotkeyEnabled() && !LoginItem::isEnabled());
        QVERIFY(!Settings::iCloudSync() && !Settings::incognito() && !Settings::defaultBrowser());
        Settings::setExtraArgs(QString());
        QVERIFY(Settings::d().contains(Settings::extraArgsKey) && Settings::extraArgs().isEmpty());

        // Only a boolean false (as a word in any case, or 0) switches the shortcut off.
        const QList<std::pair<QByteArray, bool>> lines{{"false", false}, {"true", true},   {"yes", true}, {"no", true},
                                                       {"0", false},     {"FALSE", false}, {"", true}};
        for (const auto& [value, armed] : lines) {
            Settings::d().clear();
            Settings::d().sync();
            TestEnvironment::writeFile(configFile(), "[General]\nhotkeyEnabled=" + value + "\n");
            Settings::d().sync();
            QVERIFY2(Settings::hotkeyEnabled() == armed, value.constData());
        }
        Settings::d().setValue(Settings::hotkeyEnabledKey, 2); // nor is a number other than 0 or 1
        QVERIFY(Settings::hotkeyEnabled());

        // Written by hand while the app runs: taken at the next opening, as written.
        TestEnvironment::writeFile(configFile(),
                                   "[General]\nextraArgs=--window-size=800,600 --lang=fr;x\nincognito=1\n");
        Settings::reread();
        QVERIFY(Settings::incognito() && Settings::extraArgs() == "--window-size=800,600 --lang=fr;x");
    }

    // The channel to the running instance lives only in a private folder; a peer
    // that floods it, claims a huge request or never finishes one is dropped.
    void theInstanceChannel()
    {
        const QByteArray runtime = qgetenv("XDG_RUNTIME_DIR");
        qputenv("XDG_RUNTIME_DIR", "/tmp");
        const QString fallback = SingleInstance::socketPath();
        qputenv("XDG_RUNTIME_DIR", runtime);
        QVERIFY(fallback.startsWith(TestEnvironment::home()) && TestEnvironment::isPrivate(QFileInfo(fallback).path()));

        SingleInstance instance;
        QVERIFY(instance.becomePrimary({}));
        // A string that never ends, a list of two billion strings, half a count.
        const QByteArrayList requests{QByteArray::fromHex("000000017ffffff0") + QByteArray(8 << 20, 'x'), "xxxx",
                                      QByteArray(2, '\0')};
        QLocalSocket peers[3];
        for (int i = 0; i < 3; ++i) {
            peers[i].connectToServer(SingleInstance::socketPath());
            peers[i].write(requests[i]);
        }
        const auto dropped = [](const QLocalSocket& peer) { return peer.state() == QLocalSocket::UnconnectedState; };
        QTRY_VERIFY_WITH_TIMEOUT(std::all_of(std::begin(peers), std::end(peers), dropped), 10000);
        // An answer far larger than the socket takes at once arrives whole, then the connection ends.
        const QString longAnswer(3 << 20, 'a');
        instance.setHandler([&](const QStringList&, const SingleInstance::Reply& reply) { reply({7, longAnswer}); });
        QByteArray request;
        QDataStream out(&request, QIODevice::WriteOnly);
        out << QStringList{u"corvalink"_s};
        QLocalSocket asker;
        asker.connectToServer(SingleInstance::socketPath());
        asker.write(request);
        QByteArray answer;
        QTRY_VERIFY_WITH_TIMEOUT((answer += asker.readAll(), asker.state() == QLocalSocket::UnconnectedState), 10000);
        qint32 status = 0;
        QString message;
        QDataStream in(answer);
        in >> status >> message;
        QVERIFY(status == 7 && message == longAnswer);
        // What a peer answers is printed with its line breaks and tabs, nothing else raw.
        QCOMPARE(CommandLine::printable(u"a\n\tb\x1b[2J\u202E\u2028"_s), u"a\n\tb\\x1b[2J\\u202e\\u2028"_s);
    }

    // The entry starts this very program, and goes when switched off.
    void startAtLogin()
    {
        LoginItem::setLaunchAtLogin(true);
        QVERIFY(LoginItem::isEnabled() && LoginItem::entryPath().endsWith(u"/autostart/corvalink.desktop"_s));
        const QString entry = QString::fromUtf8(TestEnvironment::readFile(LoginItem::entryPath()));
        QVERIFY(entry.contains("\nExec=\"" + QCoreApplication::applicationFilePath() + "\"\n"));
        LoginItem::setLaunchAtLogin(false);
        QVERIFY(!QFileInfo::exists(LoginItem::entryPath()) && !LoginItem::isEnabled());
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
        const QList<std::pair<QString, QString>> cases{{"/usr/bin/corvalink", "\"/usr/bin/corvalink\""},
                                                       {"/opt/my apps/corvalink", "\"/opt/my apps/corvalink\""},
                                                       {"/x/a\"b$c", "\"/x/a\\\\\"b\\\\$c\""},
                                                       {"/x/a\\b", "\"/x/a\\\\\\\\b\""},
                                                       {"/x/100%", "\"/x/100%%\""}};
        for (const auto& [path, exec] : cases)
            QCOMPARE(LoginItem::quotedExec(path), exec);

        // A line break in the path would add lines to the entry.
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression(u"control character"_s));
        LoginItem::setLaunchAtLogin(true, u"/x/a\nExec=/bin/evil"_s);
        QVERIFY(!QFileInfo::exists(LoginItem::entryPath()));

        // A link to our entry is written through; a link that leads nowhere is the user's.
        const QString target = TestEnvironment::home() + u"/dotfiles/corvalink.desktop"_s;
        LoginItem::setLaunchAtLogin(true);
        QVERIFY(QDir().mkpath(QFileInfo(target).path()) && QFile::rename(LoginItem::entryPath(), target) &&
                QFile::link(target, LoginItem::entryPath()));
        LoginItem::setLaunchAtLogin(true);
        QVERIFY(QFileInfo(LoginItem::entryPath()).isSymLink() && LoginItem::isEnabled());
        QVERIFY(QFile::remove(target));
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression(u"own entry"_s));
        LoginItem::setLaunchAtLogin(true);
        QVERIFY(!QFileInfo::exists(target) && QFile::remove(LoginItem::entryPath()));
    }
};

CORVALINK_TEST_MAIN(TestStatusMenu)
#include "TestStatusMenu.moc"
