#include "HeadlessHotKeyBackend.h"

#include <QtGlobal>

bool HeadlessHotKeyBackend::registerHotKey()
{
    if (!m_told) {
        qWarning("Corvalink: no X11 connection, so the global shortcut Control+Alt+S is not available");
        m_told = true;
    }
    return false;
}
