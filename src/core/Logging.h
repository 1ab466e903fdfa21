#pragma once

#include <QLoggingCategory>

// One logging category per subsystem, each declared here once: QT_LOGGING_RULES names them.
Q_DECLARE_LOGGING_CATEGORY(lcChat)     // tavo.chat: the assistant's streams, speech
Q_DECLARE_LOGGING_CATEGORY(lcCloud)    // tavo.cloud: the device socket
Q_DECLARE_LOGGING_CATEGORY(lcDnsSd)    // tavo.dnssd: box discovery
Q_DECLARE_LOGGING_CATEGORY(lcMusic)    // tavo.music: the player
Q_DECLARE_LOGGING_CATEGORY(lcPlatform) // tavo.platform: the desktop's services
Q_DECLARE_LOGGING_CATEGORY(lcShell)    // tavo.shell: the window, tray and notifications
Q_DECLARE_LOGGING_CATEGORY(lcSkills)   // tavo.skills: skill sign-in
Q_DECLARE_LOGGING_CATEGORY(lcVoice)    // tavo.voice: voice sessions
