#pragma once

#include "DBusMenuExporter.h"
#include "DBusMenuTypes.h"

#include <QIcon>
#include <QObject>

#include <optional>

class QDBusServiceWatcher;

// The tray icon on hosts that speak StatusNotifierItem (KDE Plasma, GNOME with
// AppIndicator, XFCE): an item of our own on the session bus that says it is a
// menu, so a left click shows the menu the host draws from our exported one.
// It registers with the StatusNotifierWatcher whenever one appears, also long
// after start (autostart before the panel).
class StatusNotifierItem : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.kde.StatusNotifierItem")
    Q_PROPERTY(QString Category READ category)
    Q_PROPERTY(QString Id READ id)
    Q_PROPERTY(QString Title READ title)
    Q_PROPERTY(QString Status READ status)
    Q_PROPERTY(int WindowId READ windowId)
    Q_PROPERTY(QString IconName READ iconName)
    Q_PROPERTY(DBusImageList IconPixmap READ iconPixmap)
    Q_PROPERTY(QString OverlayIconName READ emptyName)
    Q_PROPERTY(DBusImageList OverlayIconPixmap READ noImage)
    Q_PROPERTY(QString AttentionIconName READ emptyName)
    Q_PROPERTY(DBusImageList AttentionIconPixmap READ noImage)
    Q_PROPERTY(QString AttentionMovieName READ emptyName)
    Q_PROPERTY(DBusToolTip ToolTip READ toolTip)
    Q_PROPERTY(bool ItemIsMenu READ itemIsMenu)
    Q_PROPERTY(QDBusObjectPath Menu READ menu)
    Q_PROPERTY(QString IconThemePath READ emptyName)

public:
    StatusNotifierItem(DBusMenuExporter::Provider menu, DBusMenuExporter::ClickHandler onClick,
                       QObject* parent = nullptr);
    ~StatusNotifierItem() override;

    // Whether a StatusNotifierWatcher is on the session bus now.
    static bool watcherPresent();

    // Exports the item and registers it with the watcher, now and whenever a
    // watcher appears again. Returns whether the item is registered now.
    bool start();
    bool isRegistered() const { return m_registered; }

    void setIcon(const QIcon& icon, const QString& themeName);

    QString category() const { return QStringLiteral("ApplicationStatus"); }
    QString id() const { return QStringLiteral("corvalink"); }
    QString title() const { return QStringLiteral("Corvalink"); }
    QString status() const { return QStringLiteral("Active"); }
    int windowId() const { return 0; }
    QString iconName() const;
    DBusImageList iconPixmap() const;
    QString emptyName() const { return {}; }
    DBusImageList noImage() const { return {}; }
    DBusToolTip toolTip() const { return {QString(), {}, QStringLiteral("Corvalink"), QString()}; }
    bool itemIsMenu() const { return true; }
    QDBusObjectPath menu() const;

public Q_SLOTS:
    void Activate(int x, int y);
    void SecondaryActivate(int x, int y);
    void ContextMenu(int x, int y);
    void Scroll(int delta, const QString& orientation);

    // The items changed: hosts that drew the menu get the new layout now.
    void menuChanged();

Q_SIGNALS:
    // The protocol's signals, the only ones on the bus.
    Q_SCRIPTABLE void NewTitle();
    Q_SCRIPTABLE void NewIcon();
    Q_SCRIPTABLE void NewAttentionIcon();
    Q_SCRIPTABLE void NewOverlayIcon();
    Q_SCRIPTABLE void NewToolTip();
    Q_SCRIPTABLE void NewStatus(const QString& status);
    // Registered with a watcher (again): the icon is on a panel.
    void registered();
    // The watcher went (its panel quit): the icon is on no panel.
    void unregistered();
    // A host asked for the menu by a click on the icon (Activate, SecondaryActivate, ContextMenu).
    void activated();

private:
    void registerWithWatcher();

    DBusMenuExporter* m_menu;
    QDBusServiceWatcher* m_watcher = nullptr;
    QString m_service;
    QString m_themeName;
    // Looked up when a host first asks, not at start-up.
    mutable std::optional<QString> m_iconName;
    QIcon m_icon;
    mutable DBusImageList m_pixmaps;
    bool m_registered = false;
};
