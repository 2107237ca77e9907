#include "StatusNotifierItem.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusServiceWatcher>
#include <QImage>
#include <QtEndian>

namespace {

const QString watcherService = QStringLiteral("org.kde.StatusNotifierWatcher");
const QString itemPath = QStringLiteral("/StatusNotifierItem");
const QString menuPath = QStringLiteral("/MenuBar");

DBusImage toDBusImage(const QImage& source)
{
    const QImage image = source.convertToFormat(QImage::Format_ARGB32);
    DBusImage result{image.width(), image.height(), {}};
    result.argb.resize(qsizetype(image.width()) * image.height() * 4);
    auto* out = reinterpret_cast<quint32*>(result.argb.data());
    for (int y = 0; y < image.height(); ++y) {
        const auto* line = reinterpret_cast<const quint32*>(image.constScanLine(y));
        for (int x = 0; x < image.width(); ++x)
            *out++ = qToBigEndian(line[x]);
    }
    return result;
}

} // namespace

StatusNotifierItem::StatusNotifierItem(DBusMenuExporter::Provider menu, DBusMenuExporter::ClickHandler onClick,
                                       QObject* parent)
    : QObject(parent)
    , m_menu(new DBusMenuExporter(std::move(menu), std::move(onClick), this))
    , m_service(QStringLiteral("org.kde.StatusNotifierItem-%1-1").arg(QCoreApplication::applicationPid()))
{
    DBusMenuTypes::registerAll();
}

StatusNotifierItem::~StatusNotifierItem()
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    bus.unregisterObject(itemPath);
    bus.unregisterObject(menuPath);
    bus.unregisterService(m_service);
}

bool StatusNotifierItem::watcherPresent()
{
    const QDBusConnection bus = QDBusConnection::sessionBus();
    return bus.isConnected() && bus.interface()->isServiceRegistered(watcherService);
}

// LXQt draws IconName alone whenever one is sent: only a name the theme has,
// else the pixmaps (a build that was never installed).
QString StatusNotifierItem::iconName() const
{
    if (!m_iconName)
        m_iconName = QIcon::hasThemeIcon(m_themeName) ? m_themeName : QString();
    return *m_iconName;
}

QDBusObjectPath StatusNotifierItem::menu() const
{
    return QDBusObjectPath(menuPath);
}

bool StatusNotifierItem::start()
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected())
        return false;
    if (!m_watcher) {
        bus.registerService(m_service);
        bus.registerObject(itemPath, this,
                           QDBusConnection::ExportAllSlots | QDBusConnection::ExportAllProperties |
                               QDBusConnection::ExportScriptableSignals);
        bus.registerObject(menuPath, m_menu,
                           QDBusConnection::ExportAllSlots | QDBusConnection::ExportAllProperties |
                               QDBusConnection::ExportAllSignals);
        m_watcher = new QDBusServiceWatcher(watcherService, bus, QDBusServiceWatcher::WatchForOwnerChange, this);
        connect(m_watcher, &QDBusServiceWatcher::serviceOwnerChanged, this,
                [this](const QString&, const QString&, const QString& owner) {
                    m_registered = false;
                    if (!owner.isEmpty())
                        registerWithWatcher();
                    else
                        Q_EMIT unregistered();
                });
    }
    registerWithWatcher();
    return m_registered;
}

void StatusNotifierItem::registerWithWatcher()
{
    QDBusMessage call = QDBusMessage::createMethodCall(watcherService, QStringLiteral("/StatusNotifierWatcher"),
                                                       watcherService, QStringLiteral("RegisterStatusNotifierItem"));
    call << m_service;
    const QDBusMessage reply = QDBusConnection::sessionBus().call(call, QDBus::Block, 5000);
    m_registered = reply.type() == QDBusMessage::ReplyMessage;
    if (m_registered)
        Q_EMIT registered();
}

void StatusNotifierItem::setIcon(const QIcon& icon, const QString& themeName)
{
    m_themeName = themeName;
    m_iconName.reset();
    m_icon = icon;
    m_pixmaps.clear();
    Q_EMIT NewIcon();
}

// Drawn when a host first asks, not at start-up.
DBusImageList StatusNotifierItem::iconPixmap() const
{
    if (m_pixmaps.isEmpty()) {
        for (int size : {16, 22, 32, 48})
            m_pixmaps.append(toDBusImage(m_icon.pixmap(size, size).toImage()));
    }
    return m_pixmaps;
}

void StatusNotifierItem::menuChanged()
{
    m_menu->announceChanges();
}

// The item says it is a menu, but KDE Plasma and LXQt call Activate on a left
// click all the same and show nothing themselves: the app shows its own menu.
void StatusNotifierItem::Activate(int, int)
{
    Q_EMIT activated();
}

void StatusNotifierItem::SecondaryActivate(int, int)
{
    Q_EMIT activated();
}

void StatusNotifierItem::ContextMenu(int, int)
{
    Q_EMIT activated();
}

void StatusNotifierItem::Scroll(int, const QString&) {}
