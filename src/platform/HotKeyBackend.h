#pragma once

#include <QString>

#include <functional>
#include <memory>

// The system-wide registration of Control+Alt+S, one per platform.
class HotKeyBackend {
public:
    // How the shortcut reaches the app: an X11 key grab, the desktop's
    // GlobalShortcuts portal, or not at all.
    enum class Kind { X11, Portal, None };

    virtual ~HotKeyBackend() = default;

    virtual Kind kind() const = 0;
    // The keys that trigger it as the user should read them; empty when unknown.
    virtual QString trigger() const { return {}; }
    // For backends whose state changes later (the desktop answers, or refuses).
    virtual void setChangeHandler(std::function<void()>) {}
    // Whether a registration that looked granted was refused since.
    virtual bool refused() const { return false; }

    // Installs what delivers presses to onPress; called once.
    virtual void installHandler(std::function<void()> onPress) = 0;
    // Whether the combination is now registered; false when another client holds it.
    virtual bool registerHotKey() = 0;
    virtual void unregisterHotKey() = 0;
};

// The X11 grab where the app runs on an X server outside a Wayland session,
// else the portal where the desktop offers it, else one that registers nothing.
std::unique_ptr<HotKeyBackend> makeHotKeyBackend();
