#include "AccountSwitcher.h"
#include "AccountsFile.h"
#include "AppDelegate.h"
#include "Contrast.h"
#include "HotKey.h"
#include "StatusMenu.h"
#include "StatusMenuContent.h"
#include "Store.h"
#include "TestAccounts.h"
#include "TestEnvironment.h"
#include "TrayArtwork.h"
#include "WidgetFinder.h"

#include <QDir>
#include <QFileInfo>
#include <QLineEdit>
#include <QMenu>
#include <QPainter>

// What the status menu holds, and what its actions do to the store.
class TestStatusMenu : public QObject {
    Q_OBJECT

private:
    using Kind = MenuEntry::Kind;

    static Account account(const QString& site, const QString& label, std::optional<QString> color = std::nullopt)
    {
        Account a = TestAccounts::make(label, site, QStringLiteral("https://example.org/") + label);
        a.color = color;
        return a;
    }

    static QStringList titles(const QList<MenuEntry>& entries)
    {
        QStringList result;
        for (const MenuEntry& entry : entries)
            result << (entry.kind == Kind::Separator ? QStringLiteral("---") : entry.title);
        return result;
    }

    static const QStringList& tail()
    {
        static const QStringList texts{"Add account\u2026",
                                       "Hold Alt on an account to remove it",
                                       "---",
                                       "Settings\u2026",
                                       "About Corvalink",
                                       "---",
                                       "Quit Corvalink"};
        return texts;
    }

    static void writeAccounts(const QList<Account>& accounts)
    {
        TestEnvironment::writeFile(Store::shared().activeFile(), AccountsFile::encode(accounts));
        Store::shared().reload();
    }

private Q_SLOTS:
    void emptyStore()
    {
        const QList<MenuEntry> entries = StatusMenuContent::build({});
        QCOMPARE(titles(entries), QStringList({"No accounts yet", "---"}) + tail());
        QVERIFY(!entries.at(0).enabled);
        QVERIFY(entries.at(2).enabled);
        QCOMPARE(entries.at(2).shortcut, QKeySequence(QStringLiteral("Ctrl+N")));
        QVERIFY(!entries.at(3).enabled); // the hint
        QCOMPARE(entries.at(5).shortcut, QKeySequence(QStringLiteral("Ctrl+,")));
        QCOMPARE(entries.at(6).shortcut, QKeySequence());
        QCOMPARE(entries.at(8).shortcut, QKeySequence(QStringLiteral("Ctrl+Q")));
        QCOMPARE(entries.at(8).command, MenuEntry::Command::Quit);
    }

    void groupsAndOrder()
    {
        Account recent = account("GitHub", "zeta work");
        recent.lastOpened = Account::nowReferenceSeconds();
        const QList<Account> accounts{account("alpha", "x"),
                                      account("GitHub", "b"),
                                      account("github", "lower"),
                                      recent,
                                      account("GitHub", "A"),
                                      account("Caf\u00E9", "composed"),
                                      account("Cafe\u0301", "decomposed"),
                                      account("Zeta", "z")};
        const QList<MenuEntry> entries = StatusMenuContent::build(accounts);
        QCOMPARE(titles(entries), QStringList({"Caf\u00E9",
                                               "composed",
                                               "Remove composed\u2026",
                                               "decomposed",
                                               "Remove decomposed\u2026",
                                               "---",
                                               "GitHub",
                                               "zeta work",
                                               "Remove zeta work\u2026",
                                               "A",
                                               "Remove A\u2026",
                                               "b",
                                               "Remove b\u2026",
                                               "---",
                                               "Zeta",
                                               "z",
                                               "Remove z\u2026",
                                               "---",
                                               "alpha",
                                               "x",
                                               "Remove x\u2026",
                                               "---",
                                               "github",
                                               "lower",
                                               "Remove lower\u2026",
                                               "---"}) +
                                      tail());
        const MenuEntry& header = entries.at(6);
        QCOMPARE(header.kind, Kind::Header);
        QVERIFY(!header.enabled);
        const MenuEntry& item = entries.at(7);
        QCOMPARE(item.kind, Kind::Account);
        QCOMPARE(item.indentation, 1);
        QCOMPARE(item.account->id, recent.id);
        QCOMPARE(entries.at(8).kind, Kind::RemoveAlternate);
        QCOMPARE(entries.at(8).account->id, recent.id);
    }

    void theMenuShowsDotsAndSwapsInTheRemoveItemsWhileAltIsHeld()
    {
        QMenu menu;
        QList<MenuEntry> triggered;
        StatusMenu statusMenu(&menu, [&](const MenuEntry& entry) { triggered << entry; });
        statusMenu.populate(
            StatusMenuContent::build({account("GitHub", "work", "Blue"), account("GitHub", "perso", "Mauve")}));

        const auto visibleTitles = [&] {
            QStringList result;
            for (QAction* action : menu.actions()) {
                if (action->isVisible())
                    result << (action->isSeparator() ? QStringLiteral("---") : action->text());
            }
            return result;
        };
        // Accounts indented under their site, as the model says.
        QCOMPARE(visibleTitles(), QStringList({"GitHub", "   perso", "   work", "---"}) + tail());
        QVERIFY(menu.actions().at(0)->font().bold());
        QVERIFY(!menu.actions().at(1)->font().bold());
        QVERIFY(menu.actions().at(1)->icon().isNull()); // "Mauve" is no palette colour
        QVERIFY(!menu.actions().at(2)->icon().isNull());

        statusMenu.showAlternates(true);
        QCOMPARE(visibleTitles(),
                 QStringList({"GitHub", "   Remove perso\u2026", "   Remove work\u2026", "---"}) + tail());
        QVERIFY(menu.actions().at(2)->icon().isNull()); // the alternate has no dot
        menu.actions().at(2)->trigger();
        QCOMPARE(triggered.size(), 1);
        QCOMPARE(triggered.first().kind, Kind::RemoveAlternate);
        QCOMPARE(triggered.first().account->label, QStringLiteral("work"));
        statusMenu.showAlternates(false);
        // Accounts indented under their site, as the model says.
        QCOMPARE(visibleTitles(), QStringList({"GitHub", "   perso", "   work", "---"}) + tail());
        QVERIFY(menu.actions().at(0)->font().bold());
        QVERIFY(!menu.actions().at(1)->font().bold());

        // A shorter list next time: nothing of the longer one shows.
        statusMenu.populate(StatusMenuContent::build({}));
        QCOMPARE(visibleTitles(), QStringList({"No accounts yet", "---"}) + tail());
        menu.actions().at(2)->trigger();
        QCOMPARE(triggered.last().command, MenuEntry::Command::Add);
        QCOMPARE(menu.actions().at(2)->shortcut(), QKeySequence(QStringLiteral("Ctrl+N")));
    }

    void theMenuShowsTheFileAsItIsOnDisk()
    {
        AppDelegate delegate;
        QVERIFY(delegate.applicationDidFinishLaunching({QStringLiteral("corvalink")}));
        writeAccounts({account("GitHub", "work")});
        delegate.menuNeedsUpdate();
        QStringList texts;
        for (QAction* action : delegate.menu()->actions())
            texts << action->text();
        QVERIFY(texts.contains("   work"));

        // Edited by hand while the app runs.
        TestEnvironment::writeFile(Store::shared().activeFile(), AccountsFile::encode({account("GitHub", "edited")}));
        delegate.menuNeedsUpdate();
        texts.clear();
        for (QAction* action : delegate.menu()->actions())
            texts << action->text();
        QVERIFY(texts.contains("   edited"));
        QVERIFY(!texts.contains("   work"));
    }

    // The panel may be light or dark, and an XEmbed tray does not say which.
    void theTrayIconReadsOnLightAndDarkPanels()
    {
        for (const QColor panel :
             {QColor(Qt::white), QColor(0xe0, 0xe0, 0xe0), QColor(0x20, 0x20, 0x20), QColor(Qt::black)}) {
            QImage image(22, 22, QImage::Format_RGB32);
            image.fill(panel);
            QPainter painter(&image);
            TrayArtwork::icon().paint(&painter, image.rect());
            painter.end();
            int readable = 0;
            for (int y = 0; y < image.height(); ++y) {
                for (int x = 0; x < image.width(); ++x) {
                    readable += contrastRatio(image.pixelColor(x, y), panel) >= 3.0;
                }
            }
            QVERIFY2(readable >= 40, qPrintable(panel.name() + QStringLiteral(": %1 pixels stand out").arg(readable)));
        }
    }

    // What is drawn is what is stored: "&" shows as itself, nothing is markup.
    // The keys drawn beside the items act while the menu is open.
    void userTextIsShownAsItIsAndTheKeysAct()
    {
        QMenu menu;
        QList<MenuEntry> triggered;
        StatusMenu statusMenu(&menu, [&](const MenuEntry& entry) { triggered << entry; });
        statusMenu.populate(StatusMenuContent::build({account("AT&T", "R&D <b>team</b> &amp;")}));
        QCOMPARE(menu.actions().at(0)->text(), QStringLiteral("AT&&T"));
        QCOMPARE(menu.actions().at(1)->text(), QStringLiteral("   R&&D <b>team</b> &&amp;"));

        const QList<std::pair<QKeyCombination, MenuEntry::Command>> keys{
            {Qt::ControlModifier | Qt::Key_N, MenuEntry::Command::Add},
            {Qt::ControlModifier | Qt::Key_Comma, MenuEntry::Command::Settings},
            {Qt::ControlModifier | Qt::Key_Q, MenuEntry::Command::Quit}};
        for (const auto& [combination, command] : keys) {
            menu.popup(QPoint(10, 10));
            QVERIFY(QTest::qWaitForWindowExposed(&menu));
            QTest::keyClick(&menu, combination.key(), combination.keyboardModifiers());
            QCOMPARE(triggered.size() > 0 ? triggered.last().command : MenuEntry::Command::None, command);
            QVERIFY(!menu.isVisible());
        }
    }

    // Where a menu cannot pop up at the pointer (here offscreen, as on Wayland),
    // the shortcut opens the account switcher.
    void theShortcutOpensTheSwitcherWhereMenusCannotPopUp()
    {
        const QString bin = TestEnvironment::makeFakeBrowsers({"chromium"});
        qputenv("PATH", bin.toUtf8());
        const Account work = account("GitHub", "work", "Blue");
        const Account perso = account("GitHub", "perso");
        const Account course = account("\u00C9cole", "Cours");
        const Account rnd = account("Claude", "R&D");
        writeAccounts({work, perso, course, rnd});
        AppDelegate delegate;
        QVERIFY(delegate.applicationDidFinishLaunching({QStringLiteral("corvalink")}));
        QVERIFY(HotKey::shared().action);
        HotKey::shared().action();
        AccountSwitcher* switcher = delegate.switcher();
        QVERIFY(switcher && switcher->isVisible());
        QTRY_COMPARE(QApplication::focusWidget(), switcher->searchField());
        QCOMPARE(TestAccounts::labels(switcher->shownAccounts()), (QStringList{"R&D", "perso", "work", "Cours"}));

        // Case and accents do not count, and the text may match anywhere.
        const QList<std::pair<QString, QStringList>> filters{
            {"ecole", {"Cours"}}, {"GITHUB", {"perso", "work"}}, {"r&", {"R&D"}}, {"ORK", {"work"}}, {"zz", {}}};
        for (const auto& [typed, expected] : filters) {
            switcher->searchField()->clear();
            QTest::keyClicks(switcher->searchField(), typed);
            QCOMPARE(TestAccounts::labels(switcher->shownAccounts()), expected);
        }

        // Up and Down move among accounts; Return opens as the menu does.
        switcher->searchField()->clear();
        QTest::keyClick(switcher->searchField(), Qt::Key_Down);
        QTest::keyClick(switcher->searchField(), Qt::Key_Down);
        QTest::keyClick(switcher->searchField(), Qt::Key_Up);
        QTest::keyClick(switcher->searchField(), Qt::Key_Return);
        QCOMPARE(TestEnvironment::recordedArguments(bin + "/chromium").last(), perso.url);
        QTRY_VERIFY(!delegate.switcher());
        QVERIFY(Store::shared().accounts().at(1).lastOpened);

        // Escape, or turning to another window, closes it.
        delegate.popUpMenu();
        QVERIFY(delegate.switcher());
        QTest::keyClick(delegate.switcher()->searchField(), Qt::Key_Escape);
        QTRY_VERIFY(!delegate.switcher());
        delegate.popUpMenu();
        QTRY_VERIFY(delegate.switcher()->isActiveWindow());
        QWidget other;
        other.show();
        other.activateWindow();
        QTRY_VERIFY(!delegate.switcher());
    }

    void removalAsksFirst()
    {
        const Account work = account("GitHub", "work");
        const Account perso = account("GitHub", "perso");
        writeAccounts({work, perso});
        QDir().mkpath(Store::shared().profileDir(work.id));
        QDir().mkpath(Store::shared().profileDir(perso.id));
        const QByteArray before = TestEnvironment::readFile(Store::shared().activeFile());
        AppDelegate delegate;

        bool asked = false;
        WidgetFinder::answerNextAlert("Cancel", QString(), &asked);
        delegate.removeAccount(work);
        QVERIFY(asked);
        QCOMPARE(TestEnvironment::readFile(Store::shared().activeFile()), before);

        WidgetFinder::answerNextAlert("Remove, keep session");
        delegate.removeAccount(work);
        QCOMPARE(Store::shared().accounts().size(), 1);
        QVERIFY(QFileInfo::exists(Store::shared().profileDir(work.id)));

        WidgetFinder::answerNextAlert("Remove & delete session");
        delegate.removeAccount(perso);
        QVERIFY(Store::shared().accounts().isEmpty());
        QVERIFY(!QFileInfo::exists(Store::shared().profileDir(perso.id)));
    }
};

CORVALINK_TEST_MAIN(TestStatusMenu)
#include "TestStatusMenu.moc"
