#pragma once

#include "platform/LaunchAtLogin.h"

#include <QByteArray>
#include <QString>

namespace tavo {

// Launch at login as an XDG autostart entry, $XDG_CONFIG_HOME/autostart/<app id>.desktop.
class XdgAutostart : public LaunchAtLogin {
public:
    // `command` is the program to start (one path, quoted as the entry needs); `entryPath`
    // empty = the standard place.
    explicit XdgAutostart(QString command, QString entryPath = {});

    // `arg` as one argument of an Exec value, as it is written in the file.
    static QByteArray execArgument(const QString& arg);

    bool isEnabled() const override;
    bool setEnabled(bool on) override;
    QString entryPath() const { return m_path; }

private:
    QString m_command;
    QString m_path;
};

} // namespace tavo
