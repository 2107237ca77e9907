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
    // What each item does, by its key (see Ids): the entry to trigger.
    QHash<QString, MenuEntry> targets;
    // Every item's key, in the order of the menu.
    QStringList keys;
};

// Hosts keep what they know of an id, and a click may arrive after the menu
// changed: an id always names the same item (an account's opening, its
// removal, a site's header, a command), never another, for the whole run.
// When items change places, every item gets a new id: GNOME's AppIndicator
// extension never moves an item it has, but adds new ones where they belong.
class Ids {
public:
    int of(const QString& key);
    // What an id named when it was handed out.
    QString keyOf(int id) const { return m_keys.value(id); }
    // Whether the items of the last layout come in another order in this one.
    bool reordered(const QStringList& keys) const;
    // New ids for every item. The current ones still name their items, since
    // hosts may show them yet; those of earlier layouts name nothing any more.
    void renew();
    void remember(const QStringList& keys) { m_lastOrder = keys; }

private:
    QHash<QString, int> m_ids;
    QHash<int, QString> m_keys;
    QStringList m_lastOrder;
    int m_next = 1; // 0 is the root's
};

Built build(const QList<MenuEntry>& entries, Ids& ids);

} // namespace HostMenu
