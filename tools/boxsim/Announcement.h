#pragma once

#include <QProcess>
#include <QString>

namespace tavo::boxsim {

// The box's DNS-SD announcement, made by avahi-publish for as long as this object lives.
// Without a reachable avahi-daemon the child fails; the box keeps serving and says so.
class Announcement {
public:
    Announcement(const QString& instance, quint16 port);
    ~Announcement();
    Announcement(const Announcement&) = delete;
    Announcement& operator=(const Announcement&) = delete;

private:
    QProcess m_child;
};

} // namespace tavo::boxsim
