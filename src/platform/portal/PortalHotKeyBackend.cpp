#include "PortalHotKeyBackend.h"

#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusMetaType>

#include <algorithm>

namespace {

const QString portalService = QStringLiteral("org.freedesktop.portal.Desktop");
const QString portalPath = QStringLiteral("/org/freedesktop/portal/desktop");
const QString shortcutsInterface = QStringLiteral("org.freedesktop.portal.GlobalShortcuts");
const QString shortcutId = QStringLiteral("open-menu");

struct Shortcut {
    QString id;
    QVariantMap properties;
};
using ShortcutList = QList<Shortcut>;

QDBusArgument& operator<<(QDBusArgument& argument, const Shortcut& shortcut)
{
    argument.beginStructure();
    argument << shortcut.id << shortcut.properties;
    argument.endStructure();
    return argument;
}

const QDBusArgument& operator>>(const QDBusArgument& argument, Shortcut& shortcut)
{
    argument.beginStructure();
    argument >> shortcut.id >> shortcut.properties;
    argument.endStructure();
    return argument;
}

QDBusConnection bus()
{
    return QDBusConnection::sessionBus();
}

ShortcutList wantedShortcuts()
{
    return {{shortcutId,
             {{QStringLiteral("description"), QStringLiteral("Open the account menu")},
              {QStringLiteral("preferred_trigger"), QStringLiteral("CTRL+ALT+s")}}}};
}

} // namespace

Q_DECLARE_METATYPE(Shortcut)

PortalHotKeyBackend::PortalHotKeyBackend()
{
    qDBusRegisterMetaType<Shortcut>();
    qDBusRegisterMetaType<ShortcutList>();
    bus().connect(portalService, portalPath, shortcutsInterface, QStringLiteral("Activated"), this,
                  SLOT(onActivated(QDBusMessage)));
}

PortalHotKeyBackend::~PortalHotKeyBackend()
{
    unregisterHotKey();
}

bool PortalHotKeyBackend::available()
{
    if (!bus().isConnected())
        return false;
    QDBusMessage get = QDBusMessage::createMethodCall(
        portalService, portalPath, QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Get"));
    get << shortcutsInterface << QStringLiteral("version");
    return bus().call(get, QDBus::Block, 3000).type() == QDBusMessage::ReplyMessage;
}

void PortalHotKeyBackend::installHandler(std::function<void()> onPress)
{
    m_onPress = std::move(onPress);
}

void PortalHotKeyBackend::setChangeHandler(std::function<void()> onChange)
{
    m_onChange = std::move(onChange);
}

void PortalHotKeyBackend::request(const QString& method, QList<QVariant> arguments, QVariantMap options,
                                  std::function<void(uint, const QVariantMap&)> then)
{
    // The request object's path is known before the call, so the answer cannot
    // arrive before we listen for it.
    const QString token = QStringLiteral("corvalink%1").arg(++m_token);
    QString sender = bus().baseService().mid(1);
    sender.replace(QLatin1Char('.'), QLatin1Char('_'));
    if (!m_requestPath.isEmpty())
        bus().disconnect(portalService, m_requestPath, QStringLiteral("org.freedesktop.portal.Request"),
                         QStringLiteral("Response"), this, SLOT(onResponse(uint, QVariantMap)));
    m_requestPath = portalPath + QStringLiteral("/request/") + sender + QLatin1Char('/') + token;
    bus().connect(portalService, m_requestPath, QStringLiteral("org.freedesktop.portal.Request"),
                  QStringLiteral("Response"), this, SLOT(onResponse(uint, QVariantMap)));
    m_pending = std::move(then);

    options.insert(QStringLiteral("handle_token"), token);
    QDBusMessage call = QDBusMessage::createMethodCall(portalService, portalPath, shortcutsInterface, method);
    arguments.append(options);
    call.setArguments(arguments);
    const QDBusMessage reply = bus().call(call, QDBus::Block, 5000);
    if (reply.type() != QDBusMessage::ReplyMessage)
        failed(reply.errorMessage());
}

bool PortalHotKeyBackend::registerHotKey()
{
    m_wanted = true;
    m_refused = false;
    if (!m_session.isEmpty()) {
        bind();
        return !m_refused;
    }
    // A fresh session path each time: one that failed may not be gone yet.
    // KDE Plasma takes the shortcuts from here and ignores those of BindShortcuts.
    QVariantMap options{{QStringLiteral("session_handle_token"), QStringLiteral("corvalink%1").arg(++m_token)},
                        {QStringLiteral("shortcuts"), QVariant::fromValue(wantedShortcuts())}};
    request(QStringLiteral("CreateSession"), {}, options, [this](uint response, const QVariantMap& results) {
        if (response != 0) {
            failed(QStringLiteral("the desktop refused a shortcut session"));
            return;
        }
        // Portals send the handle as a string, though it is an object path.
        const QVariant handle = results.value(QStringLiteral("session_handle"));
        m_session = handle.canConvert<QDBusObjectPath>() ? handle.value<QDBusObjectPath>().path() : handle.toString();
        // KDE Plasma binds with the session and says so here: asking again at
        // once may meet a session the portal does not know yet.
        if (m_wanted && !takeBound(results))
            bind();
    });
    return !m_refused;
}

void PortalHotKeyBackend::bind()
{
    request(QStringLiteral("BindShortcuts"),
            {QVariant::fromValue(QDBusObjectPath(m_session)), QVariant::fromValue(wantedShortcuts()), QString()}, {},
            [this](uint response, const QVariantMap& results) {
                if (response != 0) {
                    failed(QStringLiteral("the desktop did not bind it"));
                    return;
                }
                if (!takeBound(results))
                    failed(QStringLiteral("the desktop bound no key to it"));
            });
}

// Bound is what a reply lists, whatever its response said.
bool PortalHotKeyBackend::takeBound(const QVariantMap& results)
{
    const auto bound = qdbus_cast<ShortcutList>(results.value(QStringLiteral("shortcuts")));
    const auto ours =
        std::find_if(bound.cbegin(), bound.cend(), [](const Shortcut& shortcut) { return shortcut.id == shortcutId; });
    if (ours == bound.cend())
        return false;
    m_trigger = ours->properties.value(QStringLiteral("trigger_description")).toString();
    if (m_onChange)
        m_onChange();
    return true;
}

void PortalHotKeyBackend::failed(const QString& why)
{
    qWarning("Corvalink: the shortcut could not be set up through the desktop: %s", qPrintable(why));
    m_refused = true;
    m_trigger.clear();
    if (m_onChange)
        m_onChange();
}

// The session stays: KDE Plasma's backend binds nothing for any session of the
// app once one was closed, so switching the shortcut on again would do nothing.
// Switched off, the desktop's presses simply do not count.
void PortalHotKeyBackend::unregisterHotKey()
{
    m_wanted = false;
    m_trigger.clear();
}

void PortalHotKeyBackend::onResponse(uint response, const QVariantMap& results)
{
    if (auto then = std::exchange(m_pending, {}))
        then(response, results);
}

void PortalHotKeyBackend::onActivated(const QDBusMessage& signal)
{
    const QList<QVariant> arguments = signal.arguments();
    if (arguments.size() < 2)
        return;
    const QString session = arguments.at(0).value<QDBusObjectPath>().path();
    if (m_wanted && session == m_session && arguments.at(1).toString() == shortcutId && m_onPress)
        m_onPress();
}
