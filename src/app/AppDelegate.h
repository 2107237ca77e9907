#pragma once

#include "Account.h"
#include "AccountSwitcher.h"
#include "SingleInstance.h"

#include <QMenu>
#include <QObject>
#include <QPointer>
#include <QStringList>

class StatusItem;
class StatusMenu;
struct MenuEntry;

// The tray application: the status icon, its menu and what the menu's items do.
class AppDelegate : public QObject {
    Q_OBJECT

public:
    explicit AppDelegate(QObject* parent = nullptr);
    ~AppDelegate() override;

    // The application's name, icon and lifetime, before anything is shown.
    static void setUpApplication();

    // The start-up sequence, once the event loop runs. Returns false when the
    // process is to end (a snapshot run).
    bool applicationDidFinishLaunching(const QStringList& arguments);

    // Rebuilds the menu from the accounts file, every time it is about to open.
    void menuNeedsUpdate();

    void openAccount(const Account& account);
    void removeAccount(const Account& account);
    void showAdd();
    void showSettings();
    void showAbout();

    // What the shortcut and "corvalink --menu" do: the menu at the mouse pointer
    // where menus can pop up there (X11), else the account switcher.
    void popUpMenu();
    // The account switcher open now, if any.
    AccountSwitcher* switcher() const;

    // Arguments a later start handed over, and how to answer it.
    void handleArguments(const QStringList& arguments, const SingleInstance::Reply& reply);
    // A link handed by the desktop: to the account a rule names, or the user's choice.
    void handleLink(const QString& link, const SingleInstance::Reply& reply);

    QMenu* menu() const { return m_menu; }

private:
    void trigger(const MenuEntry& entry);
    QList<MenuEntry> hostMenuEntries();
    void showSwitcher();
    QList<AccountSwitcher::Group> switcherGroups();
    void checkReachable();
    void chooseAccountFor(const QUrl& link, const SingleInstance::Reply& reply);

    StatusItem* m_statusItem = nullptr;
    QPointer<QMenu> m_menu;
    StatusMenu* m_statusMenu = nullptr;
    QPointer<AccountSwitcher> m_switcher;
    bool m_followingStore = false;
    bool m_choosingLink = false;
};
