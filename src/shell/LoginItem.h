#pragma once

#include <QObject>

namespace tavo {

class LaunchAtLogin;

// Launch at login as the screens and the tray show it: one object for the process, so a
// toggle in one is seen by the other. The desktop's record stays the only state; every read
// asks it again, and a change it refuses springs back.
class LoginItem : public QObject {
    Q_OBJECT
    Q_PROPERTY(bool enabled READ isEnabled WRITE setEnabled NOTIFY enabledChanged)
public:
    explicit LoginItem(LaunchAtLogin& platform, QObject* parent = nullptr)
        : QObject(parent), m_platform(platform) {}

    bool isEnabled() const;
    void setEnabled(bool on);

signals:
    void enabledChanged(); // after every request, granted or not

private:
    LaunchAtLogin& m_platform;
};

} // namespace tavo
