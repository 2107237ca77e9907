#pragma once

#include "HotKeyBackend.h"

#include <QDBusMessage>
#include <QObject>
#include <QVariantMap>

#include <functional>

// The shortcut through the desktop, where it offers the GlobalShortcuts portal
// (KDE Plasma 5.27 and later): one shortcut, "Open the account menu", with
// Ctrl+Alt+S as the preferred trigger. The desktop may give it another
// trigger, or let the user change it; trigger() says which it reported.
class PortalHotKeyBackend : public QObject, public HotKeyBackend {
    Q_OBJECT

public:
    PortalHotKeyBackend();
    ~PortalHotKeyBackend() override;

    // Whether the session bus has a portal with GlobalShortcuts.
    static bool available();

    void installHandler(std::function<void()> onPress) override;
    void setChangeHandler(std::function<void()> onChange) override;
    // Asks the desktop to bind the shortcut; true while the request is under way
    // or granted, false once the desktop refused it.
    bool registerHotKey() override;
    void unregisterHotKey() override;
    Kind kind() const override { return Kind::Portal; }
    QString trigger() const override { return m_trigger; }
    bool refused() const override { return m_refused; }

private Q_SLOTS:
    void onResponse(uint response, const QVariantMap& results);
    void onActivated(const QDBusMessage& signal);

private:
    // Calls a method whose answer comes as the Response signal of a request
    // object; `then` gets that answer.
    void request(const QString& method, QList<QVariant> arguments, QVariantMap options,
                 std::function<void(uint, const QVariantMap&)> then);
    void bind();
    // Takes the trigger of our shortcut when the reply lists it as bound.
    bool takeBound(const QVariantMap& results);
    void failed(const QString& why);

    std::function<void()> m_onPress;
    std::function<void()> m_onChange;
    std::function<void(uint, const QVariantMap&)> m_pending;
    QString m_requestPath;
    QString m_session;
    QString m_trigger;
    bool m_wanted = false;
    bool m_refused = false;
    int m_token = 0;
};
