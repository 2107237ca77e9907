#pragma once

#include "StatusMenuContent.h"
#include "sni/DBusMenuItem.h"

#include <QHash>
#include <QList>

// The status menu as a tray host draws it from the exported copy. Such a menu
// cannot show alternates while a key is held, so the hint about them gives way
// to a "Remove account" submenu with one item per account, in menu order.
namespace HostMenu {

struct Built {
    QList<DBusMenuItem> items;
    // What each item id does: the entry to trigger.
    QHash<int, MenuEntry> targets;
};

Built build(const QList<MenuEntry>& entries);

} // namespace HostMenu
