#pragma once

#include <QDBusArgument>
#include <QList>
#include <QMetaType>
#include <QStringList>
#include <QVariantMap>

// The wire types of com.canonical.dbusmenu and org.kde.StatusNotifierItem.
struct DBusMenuLayout {
    int id = 0;
    QVariantMap properties;
    QList<DBusMenuLayout> children;
};

// An item id with its properties: their values, or (removed ones) their names.
template <typename Properties> struct DBusMenuItemData {
    int id = 0;
    Properties properties;
};
using DBusMenuItemProperties = DBusMenuItemData<QVariantMap>;
using DBusMenuItemPropertiesList = QList<DBusMenuItemProperties>;
using DBusMenuItemKeys = DBusMenuItemData<QStringList>;
using DBusMenuItemKeysList = QList<DBusMenuItemKeys>;

struct DBusMenuEvent {
    int id = 0;
    QString eventId;
    QDBusVariant data;
    uint timestamp = 0;
};
using DBusMenuEventList = QList<DBusMenuEvent>;

struct DBusImage {
    int width = 0;
    int height = 0;
    QByteArray argb; // ARGB32 in network byte order
};
using DBusImageList = QList<DBusImage>;

struct DBusToolTip {
    QString iconName;
    DBusImageList image;
    QString title;
    QString description;
};

Q_DECLARE_METATYPE(DBusMenuLayout)
Q_DECLARE_METATYPE(DBusMenuItemProperties)
Q_DECLARE_METATYPE(DBusMenuItemKeys)
Q_DECLARE_METATYPE(DBusMenuEvent)
Q_DECLARE_METATYPE(DBusImage)
Q_DECLARE_METATYPE(DBusToolTip)

QDBusArgument& operator<<(QDBusArgument& argument, const DBusMenuLayout& item);
const QDBusArgument& operator>>(const QDBusArgument& argument, DBusMenuLayout& item);
template <typename Properties>
QDBusArgument& operator<<(QDBusArgument& argument, const DBusMenuItemData<Properties>& item)
{
    argument.beginStructure();
    argument << item.id << item.properties;
    argument.endStructure();
    return argument;
}
template <typename Properties>
const QDBusArgument& operator>>(const QDBusArgument& argument, DBusMenuItemData<Properties>& item)
{
    argument.beginStructure();
    argument >> item.id >> item.properties;
    argument.endStructure();
    return argument;
}
QDBusArgument& operator<<(QDBusArgument& argument, const DBusMenuEvent& event);
const QDBusArgument& operator>>(const QDBusArgument& argument, DBusMenuEvent& event);
QDBusArgument& operator<<(QDBusArgument& argument, const DBusImage& image);
const QDBusArgument& operator>>(const QDBusArgument& argument, DBusImage& image);
QDBusArgument& operator<<(QDBusArgument& argument, const DBusToolTip& tip);
const QDBusArgument& operator>>(const QDBusArgument& argument, DBusToolTip& tip);

namespace DBusMenuTypes {

// Registers every type above with QtDBus; safe to call more than once.
void registerAll();

} // namespace DBusMenuTypes
