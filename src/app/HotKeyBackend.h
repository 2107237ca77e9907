#pragma once

#include <functional>
#include <memory>

// The system-wide registration of Control+Alt+S, one per platform.
class HotKeyBackend {
public:
    virtual ~HotKeyBackend() = default;

    // Installs what delivers presses to onPress; called once.
    virtual void installHandler(std::function<void()> onPress) = 0;
    // Whether the combination is now registered; false when another client holds it.
    virtual bool registerHotKey() = 0;
    virtual void unregisterHotKey() = 0;
};

// The X11 backend where the app runs on an X server, otherwise one that registers nothing.
std::unique_ptr<HotKeyBackend> makeHotKeyBackend();
