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

// Hosts keep what they know of an id, and a click may arrive after the menu
// changed: an id always names the same item (an account's opening, its
// removal, a site's header, a command), never another, for the whole run.
class Ids {
public:
    int of(const QString& key);

private:
    QHash<QString, int> m_ids;
};

Built build(const QList<MenuEntry>& entries, Ids& ids);

} // namespace HostMenu
