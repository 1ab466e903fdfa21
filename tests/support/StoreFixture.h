#pragma once

#include "core/TavoStore.h"
#include "fakes/RecordingSpeaker.h"
#include "platform/Preferences.h"
#include "platform/linux/SettingsPreferences.h"
#include "support/DevCloud.h"
#include "support/ManualClock.h"

#include <QNetworkAccessManager>
#include <QTemporaryDir>
#include <memory>

namespace tavo::test {

// Everything a store needs, real except the clock: real preferences in a temporary file,
// a real network manager. Build the store with make() after setting preferences up.
struct StoreFixture {
    QTemporaryDir dir;
    std::unique_ptr<SettingsPreferences> prefs =
        std::make_unique<SettingsPreferences>(dir.filePath("Tavo.json"));
    QNetworkAccessManager network;
    ManualClock clock;
    CloudConfig config{QStringLiteral("127.0.0.1:9"), false, QStringLiteral("127.0.0.1"), 9};
    RecordingSpeaker speaker;
    MusicPlayer* music = nullptr; // nullptr: the shared player
    // Tests never open a real browser: unless a test brings its own, opening fails.
    SkillsAuth noBrowser{[](const QUrl&) { return false; }};
    SkillsAuth* skillsAuth = &noBrowser;
    Keychain* keychain = nullptr; // nullptr: the Secret Service of this process's session bus
    // Never the machine's real networks: a test that probes names its loopback boxes.
    TavoBoxProbe::Network boxNetwork{[] { return std::optional<QString>(); }, {}};
    bool connectOnRestore = true;
    std::unique_ptr<TavoStore> store;

    // Points the cloud (and optionally the local server) at development clouds.
    void useCloud(const QString& host) { config.cloudHost = host; }
    void useLocal(int port) { config.localPort = port; }

    TavoStore& make() {
        store = std::make_unique<TavoStore>(StoreServices{&network, prefs.get(), &clock, config, &speaker, music,
                                                          skillsAuth, keychain, boxNetwork, connectOnRestore});
        return *store;
    }

    // A store that starts with a session of `phone` on `cloud`, as if restored after sign-in.
    TavoStore& makeSignedIn(DevCloud& cloud, const QString& phone) {
        const QJsonObject session = cloud.signIn(phone);
        prefs->setValue(PrefKey::session, session.value("session_token").toString());
        prefs->setValue(PrefKey::phone, phone);
        prefs->setValue(PrefKey::userID, session.value("user_id").toInteger());
        useCloud(cloud.host());
        return make();
    }
};

} // namespace tavo::test
