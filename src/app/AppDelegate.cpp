#include "AppDelegate.h"

#include "AccountOpener.h"
#include "AccountRemoval.h"
#include "CommandLine.h"
#include "HotKey.h"
#include "OpenRequest.h"
#include "Settings.h"
#include "SettingsWindowController.h"
#include "StatusMenu.h"
#include "Store.h"
#include "Symbols.h"

#include <QApplication>
#include <QCursor>
#include <QFile>
#include <QMenu>
#include <QSystemTrayIcon>
#include <QTimer>

namespace {

// Autostart can run before the panel: look for a tray this long before giving up.
constexpr int trayRetryMs = 1000;
constexpr int trayRetries = 120;

QIcon trayIcon()
{
    const QString artwork = QStringLiteral(":/menubar.svg");
    if (QFile::exists(artwork)) {
        QIcon icon(artwork);
        icon.setIsMask(true);
        return icon;
    }
    return Symbols::icon(QStringLiteral("person.2.circle"), 18, QApplication::palette().color(QPalette::WindowText));
}

} // namespace

AppDelegate::AppDelegate(QObject* parent)
    : QObject(parent)
{
}

AppDelegate::~AppDelegate()
{
    delete m_menu;
}

bool AppDelegate::applicationDidFinishLaunching(const QStringList& arguments)
{
    m_statusItem = new QSystemTrayIcon(this);
    m_statusItem->setIcon(trayIcon());
    m_statusItem->setToolTip(QStringLiteral("Corvalink"));

    if (const auto folder = CommandLine::snapshotFolder(arguments)) {
        SettingsWindowController::shared().snapshot(*folder);
        return false;
    }
    if (arguments.contains(QStringLiteral("--settings")))
        SettingsWindowController::shared().show();

    m_menu = new QMenu;
    m_statusMenu = new StatusMenu(m_menu, [this](const MenuEntry& entry) { trigger(entry); });
    connect(m_menu, &QMenu::aboutToShow, this, &AppDelegate::menuNeedsUpdate);
    m_statusItem->setContextMenu(m_menu);
    connect(m_statusItem, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason reason) {
        if (reason == QSystemTrayIcon::Trigger)
            popUpMenu();
    });

    QPointer<AppDelegate> self(this);
    HotKey::shared().action = [self] {
        if (self)
            self->popUpMenu();
    };
    HotKey::shared().setEnabled(Settings::hotkeyEnabled());
    showIconWhenTrayIsUp();
    return true;
}

void AppDelegate::showIconWhenTrayIsUp()
{
    if (QSystemTrayIcon::isSystemTrayAvailable()) {
        m_statusItem->show();
        return;
    }
    m_trayRetry = new QTimer(this);
    m_trayRetry->setInterval(trayRetryMs);
    connect(m_trayRetry, &QTimer::timeout, this, [this, tries = 0]() mutable {
        if (QSystemTrayIcon::isSystemTrayAvailable()) {
            m_trayRetry->stop();
            m_statusItem->show();
        } else if (++tries == trayRetries) {
            m_trayRetry->stop();
            qWarning("Corvalink: no system tray found; the menu opens with Control+Alt+S");
            m_statusItem->show();
        }
    });
    m_trayRetry->start();
}

void AppDelegate::menuNeedsUpdate()
{
    Store::shared().reload();
    m_statusMenu->populate(StatusMenuContent::build(Store::shared().accounts()));
}

void AppDelegate::popUpMenu()
{
    if (m_menu && !m_menu->isVisible())
        m_menu->popup(QCursor::pos());
}

void AppDelegate::trigger(const MenuEntry& entry)
{
    switch (entry.kind) {
    case MenuEntry::Kind::Account:
        if (entry.account)
            openAccount(*entry.account);
        return;
    case MenuEntry::Kind::RemoveAlternate:
        if (entry.account)
            removeAccount(*entry.account);
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
        OpenRequest::run(request.key, reply);
        return;
    }
    if (arguments.contains(QStringLiteral("--settings")))
        SettingsWindowController::shared().show();
    reply({});
}
