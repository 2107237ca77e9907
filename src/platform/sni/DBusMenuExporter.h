#pragma once

#include "DBusMenuItem.h"
#include "DBusMenuTypes.h"

#include <QHash>
#include <QObject>
#include <QStringList>

#include <functional>

// Offers a menu to a tray host that draws it itself (com.canonical.dbusmenu).
// The host asks for the layout before it shows the menu; the items come fresh
// from the provider then, and a click comes back as the item's id.
class DBusMenuExporter : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "com.canonical.dbusmenu")
    Q_PROPERTY(uint Version READ version)
    Q_PROPERTY(QString TextDirection READ textDirection)
    Q_PROPERTY(QString Status READ status)
    Q_PROPERTY(QStringList IconThemePath READ iconThemePath)

public:
    using Provider = std::function<QList<DBusMenuItem>()>;
    using ClickHandler = std::function<void(int id)>;

    DBusMenuExporter(Provider provider, ClickHandler onClick, QObject* parent = nullptr);

    uint version() const { return 3; }
    QString textDirection() const { return QStringLiteral("ltr"); }
    // The items changed: once a host has asked for the menu, it gets the new
    // layout, and the new properties of items it holds, now.
    void announceChanges();
    QString status() const { return QStringLiteral("normal"); }
    QStringList iconThemePath() const { return {}; }

public Q_SLOTS:
    uint GetLayout(int parentId, int recursionDepth, const QStringList& propertyNames, DBusMenuLayout& layout);
    DBusMenuItemPropertiesList GetGroupProperties(const QList<int>& ids, const QStringList& propertyNames);
    QDBusVariant GetProperty(int id, const QString& name);
    void Event(int id, const QString& eventId, const QDBusVariant& data, uint timestamp);
    QList<int> EventGroup(const DBusMenuEventList& events);
    bool AboutToShow(int id);
    QList<int> AboutToShowGroup(const QList<int>& ids, QList<int>& idErrors);

Q_SIGNALS:
    void ItemsPropertiesUpdated(const DBusMenuItemPropertiesList& updated, const DBusMenuItemKeysList& removed);
    void LayoutUpdated(uint revision, int parent);
    void ItemActivationRequested(int id, uint timestamp);

private:
    // Rebuilds the items; true when they differ from the last ones. Hosts keep
    // what they hold for an id: items whose properties changed are sent again.
    bool refresh();
    const DBusMenuItem* find(int id) const;
    static QVariantMap properties(const DBusMenuItem& item, const QStringList& names);
    static DBusMenuLayout layoutOf(const DBusMenuItem& item, int depth, const QStringList& names);

    Provider m_provider;
    ClickHandler m_onClick;
    DBusMenuItem m_root;
    // The ids a host may show, and whether a click on one does something: a
    // host may click an item of the layout it read before the last one.
    QHash<int, bool> m_clickable;
    uint m_revision = 1;
    bool m_built = false;
};
