#pragma once

#include "HotKeyBackend.h"

#include <QAbstractNativeEventFilter>
#include <QList>

#include <cstdint>

struct xcb_connection_t;

// Grabs Control+Alt+S on the root window for every keycode of the keysym s,
// with and without CapsLock and NumLock, and grabs again when the keyboard
// mapping or the XKB layout changes.
class X11HotKeyBackend : public HotKeyBackend, public QAbstractNativeEventFilter {
public:
    X11HotKeyBackend(xcb_connection_t* connection, uint32_t rootWindow);
    ~X11HotKeyBackend() override;

    void installHandler(std::function<void()> onPress) override;
    bool registerHotKey() override;
    void unregisterHotKey() override;
    Kind kind() const override { return Kind::X11; }
    QString trigger() const override { return QStringLiteral("Ctrl+Alt+S"); }

    bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr* result) override;

private:
    QList<uint8_t> keycodesOfS() const;
    void ungrab(const QList<uint8_t>& keycodes);

    xcb_connection_t* m_connection;
    uint32_t m_root;
    uint8_t m_xkbEvent;
    std::function<void()> m_onPress;
    QList<uint8_t> m_grabbed;
    bool m_registered = false;
};
