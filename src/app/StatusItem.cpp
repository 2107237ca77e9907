#include "StatusItem.h"

#include "HostMenu.h"
#include "sni/StatusNotifierItem.h"

#include <QGuiApplication>
#include <QSystemTrayIcon>
#include <QTimer>

namespace {

// An XEmbed tray can only be asked for, not waited on: look once a second.
constexpr int trayPollMs = 1000;

} // namespace

StatusItem::StatusItem(QMenu* menu, Entries entries, Trigger trigger, QObject* parent)
    : QObject(parent)
    , m_menu(menu)
    , m_entries(std::move(entries))
    , m_trigger(std::move(trigger))
{
}

StatusItem::~StatusItem()
{
    delete m_xembed;
}

void StatusItem::start(const QIcon& icon, const QString& iconName)
{
    m_icon = icon;
    m_poll = new QTimer(this);
    m_poll->setInterval(trayPollMs);
    connect(m_poll, &QTimer::timeout, this, &StatusItem::lookForTray);
    m_sni = new StatusNotifierItem(
        [this] {
            HostMenu::Built built = HostMenu::build(m_entries(), m_ids);
            m_targets = std::move(built.targets);
            return built.items;
        },
        [this](int id) {
            // A click may name an item of an earlier layout: its key still says which.
            if (const auto target = m_targets.constFind(m_ids.keyOf(id)); target != m_targets.cend())
                m_trigger(*target);
        },
        this);
    m_sni->setIcon(icon, iconName);
    connect(m_sni, &StatusNotifierItem::activated, this, &StatusItem::clicked);
    connect(m_sni, &StatusNotifierItem::registered, this, [this] {
        // One icon only: the host's, which also offers the menu on a left click.
        delete m_xembed;
        m_poll->stop();
        Q_EMIT shownOnTray();
    });
    // The panel went, and another kind of tray may come (an XEmbed one).
    connect(m_sni, &StatusNotifierItem::unregistered, this, &StatusItem::waitForTray);
    if (!m_sni->start())
        waitForTray();
}

void StatusItem::waitForTray()
{
    m_poll->start();
    lookForTray();
}

void StatusItem::menuChanged()
{
    if (m_sni)
        m_sni->menuChanged();
}

bool StatusItem::isOnTray() const
{
    return (m_sni && m_sni->isRegistered()) || (m_xembed && m_xembed->isVisible());
}

void StatusItem::lookForTray()
{
    // Asking Qt for a tray while a watcher is up would make it put up a D-Bus
    // icon of its own beside ours.
    if (StatusNotifierItem::watcherPresent() || QGuiApplication::platformName() != QLatin1String("xcb"))
        return;
    if (QSystemTrayIcon::isSystemTrayAvailable()) {
        m_poll->stop();
        if (!m_xembed)
            useXEmbed();
    }
}

void StatusItem::useXEmbed()
{
    m_xembed = new QSystemTrayIcon(m_icon);
    m_xembed->setToolTip(QStringLiteral("Corvalink"));
    m_xembed->setContextMenu(m_menu);
    connect(m_xembed, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason reason) {
        if (reason == QSystemTrayIcon::Trigger)
            Q_EMIT clicked();
    });
    m_xembed->show();
    Q_EMIT shownOnTray();
}
