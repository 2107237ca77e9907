#include "DBusMenuExporter.h"

#include <functional>

namespace {

bool sameItems(const QList<DBusMenuItem>& a, const QList<DBusMenuItem>& b)
{
    if (a.size() != b.size())
        return false;
    for (qsizetype i = 0; i < a.size(); ++i) {
        const DBusMenuItem& x = a.at(i);
        const DBusMenuItem& y = b.at(i);
        if (x.id != y.id || x.label != y.label || x.enabled != y.enabled || x.separator != y.separator ||
            x.iconPng != y.iconPng || !sameItems(x.children, y.children))
            return false;
    }
    return true;
}

const DBusMenuItem* findIn(const DBusMenuItem& item, int id)
{
    if (item.id == id)
        return &item;
    for (const DBusMenuItem& child : item.children) {
        if (const DBusMenuItem* found = findIn(child, id))
            return found;
    }
    return nullptr;
}

} // namespace

DBusMenuExporter::DBusMenuExporter(Provider provider, ClickHandler onClick, QObject* parent)
    : QObject(parent)
    , m_provider(std::move(provider))
    , m_onClick(std::move(onClick))
{
    // The items are asked for when a host first wants them, not at start-up.
    DBusMenuTypes::registerAll();
}

bool DBusMenuExporter::refresh()
{
    m_built = true;
    DBusMenuItem root;
    root.children = m_provider();
    if (sameItems(root.children, m_root.children))
        return false;
    DBusMenuItemPropertiesList changed;
    DBusMenuItemKeysList removed; // a colour dot gone, say
    // The ids of this layout and of the one before it, which a host may still show.
    QHash<int, bool> clickable;
    const std::function<void(const DBusMenuItem&)> note = [&](const DBusMenuItem& item) {
        clickable.insert(item.id, item.enabled && !item.separator && item.children.isEmpty());
        for (const DBusMenuItem& child : item.children)
            note(child);
    };
    note(m_root);
    note(root);
    const std::function<void(const DBusMenuItem&)> compare = [&](const DBusMenuItem& item) {
        if (const DBusMenuItem* before = find(item.id)) {
            const QVariantMap was = properties(*before, {}), now = properties(item, {});
            if (was != now)
                changed.append({item.id, now});
            QStringList gone = was.keys();
            gone.removeIf([&](const QString& key) { return now.contains(key); });
            if (!gone.isEmpty())
                removed.append({item.id, gone});
        }
        for (const DBusMenuItem& child : item.children)
            compare(child);
    };
    compare(root);
    m_clickable = std::move(clickable);
    m_root = std::move(root);
    ++m_revision;
    if (!changed.isEmpty() || !removed.isEmpty())
        Q_EMIT ItemsPropertiesUpdated(changed, removed);
    return true;
}

void DBusMenuExporter::announceChanges()
{
    if (m_built && refresh())
        Q_EMIT LayoutUpdated(m_revision, 0);
}

const DBusMenuItem* DBusMenuExporter::find(int id) const
{
    return findIn(m_root, id);
}

QVariantMap DBusMenuExporter::properties(const DBusMenuItem& item, const QStringList& names)
{
    QVariantMap all;
    if (item.separator) {
        all.insert(QStringLiteral("type"), QStringLiteral("separator"));
    } else if (item.id != 0) {
        // An underscore marks a mnemonic in these labels: a user's own stays one.
        all.insert(QStringLiteral("label"), QString(item.label).replace(QLatin1Char('_'), QStringLiteral("__")));
        all.insert(QStringLiteral("enabled"), item.enabled);
        if (!item.iconPng.isEmpty())
            all.insert(QStringLiteral("icon-data"), item.iconPng);
    }
    if (!item.children.isEmpty())
        all.insert(QStringLiteral("children-display"), QStringLiteral("submenu"));
    if (names.isEmpty())
        return all;
    QVariantMap chosen;
    for (const QString& name : names) {
        if (all.contains(name))
            chosen.insert(name, all.value(name));
    }
    return chosen;
}

DBusMenuLayout DBusMenuExporter::layoutOf(const DBusMenuItem& item, int depth, const QStringList& names)
{
    DBusMenuLayout layout{item.id, properties(item, names), {}};
    if (depth != 0) {
        for (const DBusMenuItem& child : item.children)
            layout.children.append(layoutOf(child, depth - 1, names));
    }
    return layout;
}

uint DBusMenuExporter::GetLayout(int parentId, int recursionDepth, const QStringList& propertyNames,
                                 DBusMenuLayout& layout)
{
    if (!m_built)
        refresh();
    const DBusMenuItem* parent = find(parentId);
    layout = parent ? layoutOf(*parent, recursionDepth, propertyNames) : DBusMenuLayout{parentId, {}, {}};
    return m_revision;
}

DBusMenuItemPropertiesList DBusMenuExporter::GetGroupProperties(const QList<int>& ids, const QStringList& names)
{
    DBusMenuItemPropertiesList result;
    for (int id : ids) {
        if (const DBusMenuItem* item = find(id))
            result.append({id, properties(*item, names)});
    }
    return result;
}

QDBusVariant DBusMenuExporter::GetProperty(int id, const QString& name)
{
    const DBusMenuItem* item = find(id);
    return QDBusVariant(item ? properties(*item, {name}).value(name) : QVariant());
}

void DBusMenuExporter::Event(int id, const QString& eventId, const QDBusVariant&, uint)
{
    if (eventId != QLatin1String("clicked"))
        return;
    if (!m_clickable.value(id))
        return;
    // Answer the host first: the click may open a modal question.
    QMetaObject::invokeMethod(
        this, [this, id] { m_onClick(id); }, Qt::QueuedConnection);
}

QList<int> DBusMenuExporter::EventGroup(const DBusMenuEventList& events)
{
    QList<int> unknown;
    for (const DBusMenuEvent& event : events) {
        if (m_clickable.contains(event.id))
            Event(event.id, event.eventId, event.data, event.timestamp);
        else
            unknown.append(event.id);
    }
    return unknown;
}

bool DBusMenuExporter::AboutToShow(int id)
{
    if (id != 0)
        return false;
    if (!refresh())
        return false;
    Q_EMIT LayoutUpdated(m_revision, 0);
    return true;
}

QList<int> DBusMenuExporter::AboutToShowGroup(const QList<int>& ids, QList<int>& idErrors)
{
    idErrors.clear();
    QList<int> updates;
    for (int id : ids) {
        if (AboutToShow(id))
            updates.append(id);
    }
    return updates;
}
