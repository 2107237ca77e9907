#pragma once

#include "HotKeyBackend.h"

#include <QObject>

#include <functional>
#include <memory>

// The one global shortcut, Control+Alt+S.
class HotKey : public QObject {
    Q_OBJECT

public:
    static HotKey& shared();

    explicit HotKey(std::unique_ptr<HotKeyBackend> backend);
    ~HotKey() override;

    // What a press does; always run on the main thread, after the event that
    // carried the press has been handled.
    std::function<void()> action;

    // Every call first withdraws the registration; true then registers afresh.
    void setEnabled(bool enabled);

    bool isRegistered() const { return m_registered && !m_backend->refused(); }
    // Asked for and not granted: never true before the first arming.
    bool isRefused() const { return m_wanted && !isRegistered(); }
    HotKeyBackend::Kind kind() const { return m_backend->kind(); }
    // The keys that trigger it, as the desktop or the grab has them.
    QString trigger() const { return m_backend->trigger(); }

Q_SIGNALS:
    // The registration or its trigger changed after the fact.
    void changed();

private:
    void pressed();

    std::unique_ptr<HotKeyBackend> m_backend;
    bool m_registered = false;
    bool m_wanted = false;
    bool m_handlerInstalled = false;
};
