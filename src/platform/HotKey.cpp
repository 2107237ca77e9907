#include "HotKey.h"

#include <QMetaObject>

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
    m_wanted = enabled;
    if (enabled && !m_handlerInstalled) {
        m_backend->installHandler([this] { pressed(); });
        m_handlerInstalled = true;
    }
    if (enabled)
        m_registered = m_backend->registerHotKey();
    Q_EMIT changed();
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
