#include "shell/LoginItem.h"

#include "platform/LaunchAtLogin.h"

namespace tavo {

bool LoginItem::isEnabled() const {
    return m_platform.isEnabled();
}

void LoginItem::setEnabled(bool on) {
    m_platform.setEnabled(on);
    emit enabledChanged();
}

} // namespace tavo
