#pragma once

#include "HotKeyBackend.h"

// For sessions with neither an X11 grab nor the portal (GNOME and sway on
// Wayland, offscreen): arming does nothing and says so once.
class HeadlessHotKeyBackend : public HotKeyBackend {
public:
    void installHandler(std::function<void()>) override {}
    bool registerHotKey() override;
    void unregisterHotKey() override {}
    Kind kind() const override { return Kind::None; }

private:
    bool m_told = false;
};
