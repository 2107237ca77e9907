#pragma once

#include "HostMenu.h"
#include "StatusMenuContent.h"

#include <QIcon>
#include <QObject>
#include <QPointer>

#include <functional>

class QMenu;
class QSystemTrayIcon;
class QTimer;
class StatusNotifierItem;

// The tray icon on whichever tray the desktop has, now or later: a
// StatusNotifierItem host on the session bus (KDE Plasma, GNOME with
// AppIndicator), else an XEmbed tray on X11. Either may appear after the app
// (autostart before the panel).
class StatusItem : public QObject {
    Q_OBJECT

public:
    using Entries = std::function<QList<MenuEntry>()>;
    using Trigger = std::function<void(const MenuEntry&)>;

    // `menu` is the app's own menu, for XEmbed trays; hosts draw `entries` themselves.
    StatusItem(QMenu* menu, Entries entries, Trigger trigger, QObject* parent = nullptr);
    ~StatusItem() override;

    void start(const QIcon& icon, const QString& iconName);
    // Whether an icon is on a panel now.
    bool isOnTray() const;
    // The list changed: a host that draws the menu gets it now, not at its next opening.
    void menuChanged();

Q_SIGNALS:
    // A left click on an XEmbed tray, or a host that calls Activate: the app
    // pops its own menu up (or the switcher where menus cannot pop up).
    void clicked();
    // An icon is on a panel (again).
    void shownOnTray();

private:
    void waitForTray();
    void lookForTray();
    void useXEmbed();

    QMenu* m_menu;
    Entries m_entries;
    Trigger m_trigger;
    QIcon m_icon;
    StatusNotifierItem* m_sni = nullptr;
    QPointer<QSystemTrayIcon> m_xembed;
    QTimer* m_poll = nullptr;
    QHash<QString, MenuEntry> m_targets;
    HostMenu::Ids m_ids;
};
