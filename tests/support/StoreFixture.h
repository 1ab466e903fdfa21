#pragma once

#include "core/TavoStore.h"
#include "platform/linux/SettingsPreferences.h"
#include "support/ManualClock.h"

#include <QNetworkAccessManager>
#include <QTemporaryDir>
#include <memory>

namespace tavo::test {

// Everything a store needs, real except the clock: real preferences in a temporary file,
// a real network manager. Build the store with make() after setting preferences up.
struct StoreFixture {
    QTemporaryDir dir;
    std::unique_ptr<SettingsPreferences> prefs = std::make_unique<SettingsPreferences>(dir.filePath("Tavo.json"));
    QNetworkAccessManager network;
    ManualClock clock;
    CloudConfig config{QStringLiteral("127.0.0.1:9"), false, QStringLiteral("127.0.0.1"), 9};
    std::unique_ptr<TavoStore> store;

    // Points the cloud (and optionally the local server) at development clouds.
    void useCloud(const QString& host) { config.cloudHost = host; }
    void useLocal(int port) { config.localPort = port; }

    TavoStore& make() {
        store = std::make_unique<TavoStore>(StoreServices{&network, prefs.get(), &clock, config});
        return *store;
    }
};

} // namespace tavo::test
