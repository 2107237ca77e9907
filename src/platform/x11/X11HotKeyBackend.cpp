#include "X11HotKeyBackend.h"

#include <QCoreApplication>

#include <xcb/xcb.h>
#include <xcb/xcb_keysyms.h>

namespace {

constexpr uint16_t shortcutModifiers = XCB_MOD_MASK_CONTROL | XCB_MOD_MASK_1;
// Lock keys must not matter: CapsLock is Lock, NumLock is Mod2 on every usual layout.
constexpr uint16_t lockModifiers[] = {0, XCB_MOD_MASK_LOCK, XCB_MOD_MASK_2, XCB_MOD_MASK_LOCK | XCB_MOD_MASK_2};
constexpr uint16_t ignoredModifiers = XCB_MOD_MASK_LOCK | XCB_MOD_MASK_2;
constexpr uint32_t keysymS = 0x0073; // XK_s
// XKB event subtypes (the byte after the response type): a new keyboard, a new map.
constexpr uint8_t xkbNewKeyboardNotify = 0;
constexpr uint8_t xkbMapNotify = 1;

// The first event code of the XKB extension, or 0 without it. Qt selects the
// XKB events it needs on the connection it shares with us.
uint8_t xkbFirstEvent(xcb_connection_t* connection)
{
    static const char name[] = "XKEYBOARD";
    xcb_query_extension_reply_t* reply =
        xcb_query_extension_reply(connection, xcb_query_extension(connection, sizeof name - 1, name), nullptr);
    const uint8_t first = reply && reply->present ? reply->first_event : 0;
    free(reply);
    return first;
}

} // namespace

X11HotKeyBackend::X11HotKeyBackend(xcb_connection_t* connection, uint32_t rootWindow)
    : m_connection(connection)
    , m_root(rootWindow)
    , m_xkbEvent(xkbFirstEvent(connection))
{
}

X11HotKeyBackend::~X11HotKeyBackend()
{
    if (m_onPress && QCoreApplication::instance())
        QCoreApplication::instance()->removeNativeEventFilter(this);
}

void X11HotKeyBackend::installHandler(std::function<void()> onPress)
{
    m_onPress = std::move(onPress);
    QCoreApplication::instance()->installNativeEventFilter(this);
}

QList<uint8_t> X11HotKeyBackend::keycodesOfS() const
{
    QList<uint8_t> keycodes;
    xcb_key_symbols_t* symbols = xcb_key_symbols_alloc(m_connection);
    if (!symbols)
        return keycodes;
    if (xcb_keycode_t* codes = xcb_key_symbols_get_keycode(symbols, keysymS)) {
        for (xcb_keycode_t* code = codes; *code != XCB_NO_SYMBOL; ++code) {
            if (!keycodes.contains(*code))
                keycodes.append(*code);
        }
        free(codes);
    }
    xcb_key_symbols_free(symbols);
    return keycodes;
}

bool X11HotKeyBackend::registerHotKey()
{
    const QList<uint8_t> keycodes = keycodesOfS();
    QList<xcb_void_cookie_t> cookies;
    for (uint8_t keycode : keycodes) {
        for (uint16_t locks : lockModifiers)
            cookies.append(xcb_grab_key_checked(m_connection, 1, m_root, shortcutModifiers | locks, keycode,
                                                XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC));
    }
    // Wait for the server's answer to every grab: another client holding the
    // combination shows up only as a BadAccess error here.
    bool refused = keycodes.isEmpty();
    for (const xcb_void_cookie_t& cookie : cookies) {
        if (xcb_generic_error_t* error = xcb_request_check(m_connection, cookie)) {
            refused = true;
            free(error);
        }
    }
    if (refused) {
        ungrab(keycodes);
        qWarning("Corvalink: Control+Alt+S is held by another program; the global shortcut is off");
        return false;
    }
    m_grabbed = keycodes;
    m_registered = true;
    return true;
}

void X11HotKeyBackend::ungrab(const QList<uint8_t>& keycodes)
{
    for (uint8_t keycode : keycodes) {
        for (uint16_t locks : lockModifiers)
            xcb_ungrab_key(m_connection, keycode, m_root, shortcutModifiers | locks);
    }
    xcb_flush(m_connection);
}

void X11HotKeyBackend::unregisterHotKey()
{
    ungrab(m_grabbed);
    m_grabbed.clear();
    m_registered = false;
}

bool X11HotKeyBackend::nativeEventFilter(const QByteArray& eventType, void* message, qintptr*)
{
    if (eventType != "xcb_generic_event_t")
        return false;
    auto* event = static_cast<xcb_generic_event_t*>(message);
    const uint8_t type = event->response_type & ~0x80;
    // Layout switches (setxkbmap, the desktop's switcher) come only as XKB
    // notices, never as a core mapping notice.
    const bool xkbMapChange =
        m_xkbEvent != 0 && type == m_xkbEvent && (event->pad0 == xkbNewKeyboardNotify || event->pad0 == xkbMapNotify);
    if ((type == XCB_MAPPING_NOTIFY || xkbMapChange) && m_registered) {
        // The keycodes of s may have moved: grab them afresh.
        unregisterHotKey();
        registerHotKey();
        return false;
    }
    if (type != XCB_KEY_PRESS || !m_registered)
        return false;
    auto* press = reinterpret_cast<xcb_key_press_event_t*>(event);
    const uint16_t modifiers = press->state & 0xff & ~ignoredModifiers;
    if (!m_grabbed.contains(press->detail) || modifiers != shortcutModifiers)
        return false;
    if (m_onPress)
        m_onPress();
    return true;
}
