#pragma once

#include "core/TavoStore.h"
#include "fakes/RecordingSpeaker.h"
#include "music/MusicPlayer.h"
#include "platform/Preferences.h"
#include "platform/linux/SecretServiceKeychain.h"
#include "platform/linux/SettingsPreferences.h"
#include "support/DevCloud.h"
#include "support/ManualClock.h"

#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QTemporaryDir>
#include <QTest>
#include <algorithm>
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
    MusicPlayer ownMusic; // its media back end comes only with a first track
    MusicPlayer* music = &ownMusic;
    // Tests never open a real browser: unless a test brings its own, opening fails.
    SkillsAuth noBrowser{[](const QUrl&) { return false; }};
    SkillsAuth* skillsAuth = &noBrowser;
    SecretServiceKeychain secretService; // this process's session bus, when the store uses it
    Keychain* keychain = &secretService;
    // Never the machine's real networks: a test that probes names its loopback boxes.
    TavoBoxProbe::Network boxNetwork{[] { return std::optional<QString>(); }, {}};
    bool connectOnRestore = true;
    std::unique_ptr<TavoStore> store;

    // Requests still on their way to the loopback cloud end before the store goes: a reply the
    // network manager deletes unfinished never resumes the task awaiting it, which then leaks.
    ~StoreFixture() {
        static_cast<void>(QTest::qWaitFor(
            [this] {
                const QList<QNetworkReply*> replies = network.findChildren<QNetworkReply*>();
                return std::none_of(replies.cbegin(), replies.cend(),
                                    [](const QNetworkReply* r) { return r->isRunning(); });
            },
            2000)); // one that never ends (a silent peer's) is left to the manager
    }
    StoreFixture() = default;
    StoreFixture(const StoreFixture&) = delete;
    StoreFixture& operator=(const StoreFixture&) = delete;

    // Points the cloud at a development cloud.
    void useCloud(const QString& host) { config.cloudHost = host; }

    // What make() builds a store from; `net` in place of the fixture's own network.
    StoreServices services(QNetworkAccessManager* net = nullptr) {
        return {net ? net : &network, prefs.get(), &clock,     config,          &speaker, music,
                skillsAuth,           keychain,    boxNetwork, connectOnRestore};
    }
    TavoStore& make(QNetworkAccessManager* net = nullptr) {
        store = std::make_unique<TavoStore>(services(net));
        return *store;
    }

    // A store restored with a made-up session on a peer that takes any token.
    TavoStore& makeWithSession(const QString& host, QNetworkAccessManager* net = nullptr) {
        prefs->setValue(PrefKey::session, QStringLiteral("tok"));
        prefs->setValue(PrefKey::phone, QStringLiteral("+15550000001"));
        useCloud(host);
        return make(net);
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
