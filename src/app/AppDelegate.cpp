#include "AppDelegate.h"

#include "AccountOpener.h"
#include "AccountRemoval.h"
#include "AccountSwitcher.h"
#include "CommandLine.h"
#include "DefaultBrowser.h"
#include "HotKey.h"
#include "LinkRules.h"
#include "OpenRequest.h"
#include "Settings.h"
#include "SettingsWindowController.h"
#include "StatusItem.h"
#include "StatusMenu.h"
#include "Store.h"
#include "TrayArtwork.h"

#include <QApplication>
#include <QCursor>
#include <QMenu>
#include <QScreen>
#include <QTimer>

namespace {

// Autostart can run before the panel: how long to wait for a tray before
// telling the user how else to reach the app.
constexpr int reachableCheckMs = 120000;

// A menu pops up at the pointer only where the app may place its own windows.
bool menusPopUpAtCursor()
{
    return QGuiApplication::platformName() == QLatin1String("xcb");
}

// The menu as the accounts file holds it now: every opening reads it afresh.
QList<MenuEntry> currentEntries()
{
    Store::shared().reload();
    return StatusMenuContent::build(Store::shared().accounts());
}

// QMenu splits a menu taller than the screen into columns, cutting groups apart:
// fewer accounts instead, until the menu is one column.
void fitToScreen(StatusMenu& menu)
{
    qsizetype rows = menu.rowsInFirstColumn();
    for (qsizetype room = rows - StatusMenuContent::tailRows(); rows >= 0 && room > 0; --room) {
        menu.populate(StatusMenuContent::build(Store::shared().accounts(), room));
        rows = menu.rowsInFirstColumn();
    }
}

} // namespace

AppDelegate::AppDelegate(QObject* parent)
    : QObject(parent)
{
}

AppDelegate::~AppDelegate()
{
    delete m_switcher;
    delete m_menu;
}

void AppDelegate::setUpApplication()
{
    QApplication::setApplicationName(QStringLiteral("Corvalink"));
    QApplication::setApplicationVersion(QStringLiteral(CORVALINK_VERSION));
    QApplication::setDesktopFileName(QStringLiteral(CORVALINK_APP_ID));
    QApplication::setWindowIcon(TrayArtwork::applicationIcon());
    QApplication::setQuitOnLastWindowClosed(false);
}

bool AppDelegate::applicationDidFinishLaunching(const QStringList& arguments)
{
    if (const auto folder = CommandLine::snapshotFolder(arguments)) {
        SettingsWindowController::shared().snapshot(*folder);
        return false;
    }
    if (arguments.contains(QStringLiteral("--settings")))
        SettingsWindowController::shared().show();

    m_menu = new QMenu;
    m_statusMenu = new StatusMenu(m_menu, [this](const MenuEntry& entry) { trigger(entry); });
    connect(m_menu, &QMenu::aboutToShow, this, &AppDelegate::menuNeedsUpdate);
    m_statusItem = new StatusItem(
        m_menu, [this] { return hostMenuEntries(); }, [this](const MenuEntry& entry) { trigger(entry); }, this);
    connect(m_statusItem, &StatusItem::clicked, this, &AppDelegate::popUpMenu);

    QPointer<AppDelegate> self(this);
    HotKey::shared().action = [self] {
        if (self)
            self->popUpMenu();
    };
    HotKey::shared().setEnabled(Settings::hotkeyEnabled());
    m_statusItem->start(TrayArtwork::icon(), QStringLiteral(CORVALINK_APP_ID "-symbolic"));
    QTimer::singleShot(reachableCheckMs, this, &AppDelegate::checkReachable);
    // Started by the desktop to open a link.
    if (const CommandLine::Request request = CommandLine::parse(arguments); request.mode == CommandLine::Mode::Link)
        handleLink(request.link, [](const SingleInstance::Answer&) {});
    return true;
}

// Neither a tray nor a shortcut: the settings window is the way in, and says how
// to bind a key to "corvalink --menu".
void AppDelegate::checkReachable()
{
    if (m_statusItem->isOnTray() || HotKey::shared().isRegistered())
        return;
    qWarning("Corvalink: no system tray and no shortcut; showing the settings window. Bind a key to "
             "\"corvalink --menu\" to open the account menu");
    SettingsWindowController::shared().show(0);
}

// The host's copy is built when a host first asks for it, not at start-up;
// from then on it follows every change of the list.
QList<MenuEntry> AppDelegate::hostMenuEntries()
{
    if (!m_followingStore) {
        m_followingStore = true;
        connect(&Store::shared(), &Store::accountsChanged, m_statusItem, &StatusItem::menuChanged);
    }
    return currentEntries();
}

void AppDelegate::menuNeedsUpdate()
{
    m_statusMenu->populate(currentEntries());
    fitToScreen(*m_statusMenu);
}

void AppDelegate::popUpMenu()
{
    if (!menusPopUpAtCursor()) {
        showSwitcher();
        return;
    }
    if (m_menu && !m_menu->isVisible())
        m_menu->popup(QCursor::pos());
}

AccountSwitcher* AppDelegate::switcher() const
{
    return m_switcher;
}

void AppDelegate::showSwitcher()
{
    if (m_switcher) {
        m_switcher->raise();
        m_switcher->activateWindow();
        return;
    }
    m_switcher = new AccountSwitcher(switcherGroups(), [this](const Account& account) { openAccount(account); });
    m_switcher->show();
    m_switcher->raise();
    m_switcher->activateWindow();
}

QList<AccountSwitcher::Group> AppDelegate::switcherGroups()
{
    QList<AccountSwitcher::Group> groups;
    for (const MenuEntry& entry : currentEntries()) {
        if (entry.kind == MenuEntry::Kind::Header)
            groups.append({entry.title, {}});
        else if (entry.kind == MenuEntry::Kind::Account && entry.account && !groups.isEmpty())
            groups.last().accounts.append(*entry.account);
    }
    return groups;
}

void AppDelegate::trigger(const MenuEntry& entry)
{
    switch (entry.kind) {
    case MenuEntry::Kind::Account:
        if (entry.account)
            openAccount(*entry.account);
        // The opening reorders its group: a host's copy follows now.
        m_statusItem->menuChanged();
        return;
    case MenuEntry::Kind::RemoveAlternate:
        if (entry.account)
            removeAccount(*entry.account);
        m_statusItem->menuChanged();
        return;
    default:
        break;
    }
    switch (entry.command) {
    case MenuEntry::Command::Add:
        showAdd();
        break;
    case MenuEntry::Command::Settings:
        showSettings();
        break;
    case MenuEntry::Command::About:
        showAbout();
        break;
    case MenuEntry::Command::Quit:
        QCoreApplication::quit();
        break;
    case MenuEntry::Command::MoreAccounts:
        showSwitcher();
        break;
    case MenuEntry::Command::None:
        break;
    }
}

void AppDelegate::openAccount(const Account& account)
{
    AccountOpener::open(account);
}

void AppDelegate::removeAccount(const Account& account)
{
    AccountRemoval::confirmAndRemove(
        account, QStringLiteral("Deleting the saved session means you'll have to log in again if you re-add it."));
}

void AppDelegate::showAdd()
{
    SettingsWindowController::shared().addAccount();
}

void AppDelegate::showSettings()
{
    SettingsWindowController::shared().show(0);
}

void AppDelegate::showAbout()
{
    SettingsWindowController::shared().show(2);
}

void AppDelegate::handleArguments(const QStringList& arguments, const SingleInstance::Reply& reply)
{
    const CommandLine::Request request = CommandLine::parse(arguments);
    if (request.mode == CommandLine::Mode::Open) {
        OpenRequest::run(request.key, request.link, reply);
        return;
    }
    if (request.mode == CommandLine::Mode::Link) {
        handleLink(request.link, reply);
        return;
    }
    const bool settings = arguments.contains(QStringLiteral("--settings"));
    // A plain second start (the application menu, a launcher) shows that this one runs.
    if (request.mode == CommandLine::Mode::Menu || (request.mode == CommandLine::Mode::Tray && !settings))
        popUpMenu();
    if (settings)
        SettingsWindowController::shared().show();
    reply({});
}

void AppDelegate::handleLink(const QString& text, const SingleInstance::Reply& reply)
{
    const auto link = CommandLine::acceptedLink(text);
    Store& store = Store::shared();
    store.reload();
    if (!link || !store.readError().isEmpty()) {
        reply({2, link ? QStringLiteral("the accounts file %1 could not be read: %2")
                             .arg(store.activeFile(), store.readError())
                       : CommandLine::linkRefusal});
        return;
    }
    // A rule of a removed account goes with it (the list was read, so absence means removal).
    LinkRules& rules = LinkRules::shared();
    rules.dropMissing(store.accounts());
    if (const auto id = rules.accountFor(link->host(), store.accounts())) {
        OpenRequest::open(*Account::find(store.accounts(), *id), link, reply);
        return;
    }
    chooseAccountFor(*link, reply);
}

// The switcher, with the accounts of the link's own site first.
void AppDelegate::chooseAccountFor(const QUrl& link, const SingleInstance::Reply& reply)
{
    if (m_switcher && !m_choosingLink)
        m_switcher->close();
    if (!m_switcher) {
        QList<AccountSwitcher::Group> groups = switcherGroups();
        const QString domain = LinkRules::registrableDomain(link.host());
        std::stable_partition(groups.begin(), groups.end(), [&](const AccountSwitcher::Group& group) {
            return std::any_of(group.accounts.cbegin(), group.accounts.cend(), [&](const Account& account) {
                return LinkRules::registrableDomain(QUrl(account.url).host()) == domain;
            });
        });
        m_switcher = new AccountSwitcher(groups, [](const Account&) {});
        connect(m_switcher, &QObject::destroyed, this, [this] { m_choosingLink = false; });
        // Where the pointer is, on X11 (the link came from what the user was looking
        // at), and whole on that screen.
        if (const QScreen* screen = QGuiApplication::screenAt(QCursor::pos()); screen && menusPopUpAtCursor()) {
            const QRect free = screen->availableGeometry();
            const QPoint wanted = QCursor::pos() - QPoint(m_switcher->width() / 2, 20);
            m_switcher->move(std::clamp(wanted.x(), free.left(), free.right() - m_switcher->width()),
                             std::clamp(wanted.y(), free.top(), free.bottom() - m_switcher->height()));
        }
    }
    m_choosingLink = true;
    m_switcher->chooseFor(
        link, DefaultBrowser::plainBrowserName(),
        [link, reply](const std::optional<Account>& account, bool always) {
            if (!account) {
                reply(DefaultBrowser::openWithoutAccount(link)
                          ? SingleInstance::Answer{}
                          : SingleInstance::Answer{1, QStringLiteral("The browser could not be started.")});
                return;
            }
            if (always)
                LinkRules::shared().add(link.host(), account->id);
            OpenRequest::open(*account, link, reply);
        },
        [reply] {
            reply({1, QStringLiteral("No account was chosen for the link.")});
        });
    m_switcher->show();
    m_switcher->raise();
    m_switcher->activateWindow();
}
