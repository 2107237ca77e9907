#include "HotKey.h"

#include "HeadlessHotKeyBackend.h"
#include "portal/PortalHotKeyBackend.h"
#include "x11/X11HotKeyBackend.h"

#include <QGuiApplication>
#include <QMetaObject>

#include <xcb/xcb.h>

std::unique_ptr<HotKeyBackend> makeHotKeyBackend()
{
    // Under Wayland an X11 grab sees keys only while an X window has focus, even
    // when Qt itself runs through XWayland.
    const bool wayland = qEnvironmentVariable("XDG_SESSION_TYPE") == QLatin1String("wayland") ||
                         qEnvironmentVariableIsSet("WAYLAND_DISPLAY");
    auto* x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    if (x11 && !wayland) {
        xcb_connection_t* connection = x11->connection();
        const xcb_screen_t* screen = connection ? xcb_setup_roots_iterator(xcb_get_setup(connection)).data : nullptr;
        if (screen)
            return std::make_unique<X11HotKeyBackend>(connection, screen->root);
    }
    if (PortalHotKeyBackend::available())
        return std::make_unique<PortalHotKeyBackend>();
    return std::make_unique<HeadlessHotKeyBackend>();
}

HotKey& HotKey::shared()
{
    static HotKey* hotKey = new HotKey(makeHotKeyBackend());
    return *hotKey;
}

HotKey::HotKey(std::unique_ptr<HotKeyBackend> backend)
    : m_backend(std::move(backend))
{
    m_backend->setChangeHandler([this] { Q_EMIT changed(); });
}

HotKey::~HotKey()
{
    setEnabled(false);
}

void HotKey::setEnabled(bool enabled)
{
    if (m_registered) {
        m_backend->unregisterHotKey();
        m_registered = false;
    }
    if (!enabled)
        return;
    if (!m_handlerInstalled) {
        m_backend->installHandler([this] { pressed(); });
        m_handlerInstalled = true;
    }
    m_registered = m_backend->registerHotKey();
}

void HotKey::pressed()
{
    // Never run the action inside the event handler: queue it.
    QMetaObject::invokeMethod(
        this,
        [this] {
            if (action)
                action();
        },
        Qt::QueuedConnection);
}
