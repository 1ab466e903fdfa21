#pragma once

#include "music/MusicTrack.h"
#include "platform/Clock.h"
#include "platform/NowPlaying.h"

#include <QObject>
#include <QPointer>
#include <functional>
#include <memory>

class QNetworkReply;

class QNetworkAccessManager;

namespace tavo {

class StreamPlayer;

// The one player of music the assistant starts. Callers use the toggle and stop sequences;
// the playing state comes back through the callback given to play(). Media keys and the
// desktop's player controls arrive as remote commands.
class MusicPlayer : public QObject {
    Q_OBJECT
public:
    // `center` empty = the desktop's (MPRIS on the session bus). `clock` times cover downloads
    // (none: real time). Cheap: the media back end and the desktop's player come with the
    // first track.
    explicit MusicPlayer(std::unique_ptr<NowPlayingCenter> center = {}, Clock* clock = nullptr,
                         QObject* parent = nullptr);
    ~MusicPlayer() override;

    // Replaces the callback, starts the track and publishes it as now playing.
    virtual void play(const TavoMusicTrack& track, std::function<void(bool)> onPlayingChanged);
    // Pause when playing, else play (buffering counts as not playing). After the desktop's
    // stop, play starts the track again from the beginning.
    virtual void toggle();
    // Pause, drop the item, clear now playing, report false. The caller clears `music`.
    virtual void stop();

    // Covers: at most this many bytes, fetched within this time, decoded to at most this many
    // pixels a side; the cache keeps the latest few.
    static constexpr qint64 maxCoverBytes = 5 * 1024 * 1024;
    static constexpr std::chrono::milliseconds coverLimit{10'000};
    static constexpr int coverSide = 512;
    static constexpr int cachedCovers = 50;
    static QString coverCacheDir();

    bool isPlaying() const;
    bool hasItem() const;
    // Which of the desktop's outputs the music plays on; an unknown id means the default.
    void setOutputDevice(const QByteArray& id);
    QByteArray outputDevice() const;
    bool hasEnded() const; // played to its end, or the back end gave up on it
    NowPlayingCenter& nowPlaying() const;

protected:
    // For stand-ins that override the three operations above (fuzz/): no media player, audio
    // output, network or now-playing center is made, so nothing reaches a sound server or the
    // network. The other members must not be called on such a player.
    struct Inert {};
    explicit MusicPlayer(Inert, QObject* parent = nullptr);

private:
    void publishNowPlaying(const TavoMusicTrack& track);
    void refreshNowPlayingPlaybackInfo();
    void statusChanged();
    void remote(RemoteCommand c);
    void play();         // the item, or the track again when the desktop stopped it
    void stopPlayback(); // the stop sequence; the track can be played again
    void setStream(const QUrl& url);
    void fetchCover(const QUrl& url, quint64 generation);
    StreamPlayer* backend(); // null without the media module
    void takeCommands() const;

    mutable std::unique_ptr<NowPlayingCenter> m_center; // made when first needed
    std::unique_ptr<StreamPlayer> m_player;             // with m_network, see backend()
    QNetworkAccessManager* m_network = nullptr;
    QPointer<QNetworkReply> m_stream; // an https stream fetched by us, see setStream
    Clock* m_clock = nullptr;
    std::function<void(bool)> m_onPlayingChanged;
    std::optional<TavoMusicTrack> m_track; // the one play() was given, until the app stops it
    quint64 m_generation = 0;              // per published track, so late artwork for an old one is dropped
};

} // namespace tavo
