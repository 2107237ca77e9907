#include "HotKeyBackend.h"
#include "headless/HeadlessHotKeyBackend.h"
#include "portal/PortalHotKeyBackend.h"
#include "x11/X11HotKeyBackend.h"

#include <QGuiApplication>

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
