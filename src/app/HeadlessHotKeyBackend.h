#pragma once

#include "HotKeyBackend.h"

// For sessions without X11 (Wayland, offscreen): arming does nothing and says so once.
class HeadlessHotKeyBackend : public HotKeyBackend {
public:
    void installHandler(std::function<void()>) override {}
    bool registerHotKey() override;
    void unregisterHotKey() override {}

private:
    bool m_told = false;
};
