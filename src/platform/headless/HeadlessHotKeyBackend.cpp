#include "HeadlessHotKeyBackend.h"

#include <QtGlobal>

bool HeadlessHotKeyBackend::registerHotKey()
{
    if (!m_told) {
        qWarning("Corvalink: this session offers no global shortcut to the app; bind a key to \"corvalink --menu\" "
                 "in the desktop's keyboard settings");
        m_told = true;
    }
    return false;
}
