#pragma once

namespace tavo {

// Starting the app when the user logs in. The desktop's own record is the only state: it is
// read again every time a menu or screen shows the switch.
class LaunchAtLogin {
public:
    virtual ~LaunchAtLogin() = default;
    virtual bool isEnabled() const = 0;
    // Whether the request succeeded; a failure is logged, never shown.
    virtual bool setEnabled(bool on) = 0;
};

} // namespace tavo
