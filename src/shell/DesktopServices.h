#pragma once

#include "chat/ChatSpeaker.h"
#include "core/TavoStore.h"
#include "music/MusicPlayer.h"
#include "platform/linux/RealClock.h"
#include "platform/linux/SecretServiceKeychain.h"
#include "platform/linux/SettingsPreferences.h"
#include "skills/SkillsAuth.h"

#include <QDesktopServices>
#include <QNetworkAccessManager>

namespace tavo {

// The desktop's services a window's store runs on, each built once and cheap until first
// used (speech, the media back end and MPRIS, the keyring). The window app and its
// benchmarks wire the same.
struct DesktopServices {
    QNetworkAccessManager network;
    SettingsPreferences preferences;
    RealClock clock;
    ChatSpeaker speaker;
    MusicPlayer music;
    SkillsAuth skillsAuth{
        [](const QUrl& url) { return QDesktopServices::openUrl(url); }}; // sign-ins in the desktop's browser
    SecretServiceKeychain keychain;

    StoreServices forStore() {
        return {&network, &preferences, &clock,      CloudConfig::fromEnvironment(),
                &speaker, &music,       &skillsAuth, &keychain};
    }
};

} // namespace tavo
