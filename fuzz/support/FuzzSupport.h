#pragma once

// What every fuzz target shares: the one Qt application, stand-ins for the services that
// would reach the desktop (keyring, sound, browser) and a network manager that never opens a
// socket. The parsers under test are always the production ones; only their surroundings are
// replaced here.

#include "chat/ChatSpeaker.h"
#include "core/TavoStore.h"
#include "music/MusicPlayer.h"
#include "platform/Clock.h"
#include "platform/Keychain.h"
#include "platform/Preferences.h"
#include "skills/SkillsAuth.h"

#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QVariantMap>
#include <cstdio>
#include <cstdlib>
#include <memory>

namespace tavo::fuzz {

// Once per process, from LLVMFuzzerInitialize: a QCoreApplication, hermetic folders under a
// fresh temporary directory, and no Qt logging (bad input makes Qt warn on every run).
void initialize();

// Runs posted events and deferred deletes, so nothing an input created outlives its run
// (LeakSanitizer would report it).
void drainEvents();

// A broken rule of the code under test: a crash report for libFuzzer.
[[noreturn]] inline void violated(const char* what) {
    std::fprintf(stderr, "fuzz: %s\n", what);
    std::abort();
}
#define TAVO_FUZZ_REQUIRE(cond)                                                                              \
    do {                                                                                                     \
        if (!(cond)) ::tavo::fuzz::violated("requirement failed: " #cond);                                   \
    } while (0)

class MemoryPreferences final : public Preferences {
public:
    QVariant value(const QString& key) const override { return m_values.value(key); }
    void setValue(const QString& key, const QVariant& value) override { m_values.insert(key, value); }
    void remove(const QString& key) override { m_values.remove(key); }

private:
    QVariantMap m_values;
};

class NoKeychain final : public Keychain {
public:
    QCoro::Task<std::optional<QByteArray>> read(QString, QString) override { co_return std::nullopt; }
    QCoro::Task<> remove(QString, QString) override { co_return; }
    QCoro::Task<> write(QString, QString, QByteArray) override { co_return; }
};

// Time stands still: a sleep ends only when its token is cancelled (the store cancels its
// own sleeps when it is destroyed, so no coroutine frame is left behind).
class StillClock final : public Clock {
public:
    QDateTime now() const override;
    QCoro::Task<> sleep(std::chrono::milliseconds duration, CancelToken cancel = {}) override;
};

// Takes the tracks the assistant starts without playing them.
class SilentMusicPlayer final : public MusicPlayer {
public:
    SilentMusicPlayer() : MusicPlayer(Inert{}) {}
    void play(const TavoMusicTrack& track, std::function<void(bool)> onPlayingChanged) override;
    void toggle() override {}
    void stop() override;

    std::optional<TavoMusicTrack> track;

private:
    std::function<void(bool)> m_onPlayingChanged;
};

// The network as the store sees it, without sockets: the next request gets the scripted
// reply (the status and the body, delivered in pieces of `chunk` bytes, one piece per turn of
// the event loop); any other request fails as if the host refused it.
class OfflineNetwork final : public QNetworkAccessManager {
public:
    void script(QByteArray body, qsizetype chunk, int status = 200);
    int requests = 0;

protected:
    QNetworkReply* createRequest(Operation op, const QNetworkRequest& request, QIODevice* outgoing) override;

private:
    struct Scripted {
        QByteArray body;
        qsizetype chunk;
        int status;
    };
    std::optional<Scripted> m_next;
};

// Everything a store is built from. One kit per input, so no state crosses runs.
struct StoreKit {
    OfflineNetwork& network;
    MemoryPreferences prefs;
    StillClock clock;
    ChatSpeaker speaker; // the real one, over a recording engine
    SilentMusicPlayer music;
    SkillsAuth noBrowser{[](const QUrl&) { return false; }};
    NoKeychain keychain;

    StoreKit();
    // A store signed in as far as chat needs (a token) but not connected: without a phone
    // number the restored session never opens the device socket.
    std::unique_ptr<TavoStore> make(bool withToken);
};

// The process's one offline network manager.
OfflineNetwork& network();

} // namespace tavo::fuzz
