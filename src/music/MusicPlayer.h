#pragma once

#include "music/MusicTrack.h"
#include "platform/NowPlaying.h"

#include <QObject>
#include <QPointer>
#include <functional>
#include <memory>

class QMediaPlayer;
class QAudioOutput;
class QNetworkAccessManager;

namespace tavo {

// The one player of music the assistant starts. Callers use the toggle and stop sequences;
// the playing state comes back through the callback given to play(). Media keys and the
// desktop's player controls arrive as remote commands.
class MusicPlayer : public QObject {
    Q_OBJECT
public:
    // `center` empty = the desktop's (MPRIS on the session bus).
    explicit MusicPlayer(std::unique_ptr<NowPlayingCenter> center = {}, QObject* parent = nullptr);
    ~MusicPlayer() override;
    static MusicPlayer& shared();

    // Replaces the callback, starts the track and publishes it as now playing.
    virtual void play(const TavoMusicTrack& track, std::function<void(bool)> onPlayingChanged);
    // Pause when playing, else play (buffering counts as not playing).
    virtual void toggle();
    // Pause, drop the item, clear now playing, report false. The caller clears `music`.
    virtual void stop();

    bool isPlaying() const;
    bool hasItem() const;
    // Which of the desktop's outputs the music plays on; an unknown id means the default.
    void setOutputDevice(const QByteArray& id);
    QByteArray outputDevice() const;
    bool hasEnded() const; // played to its end, or the back end gave up on it
    NowPlayingCenter& nowPlaying() const { return *m_center; }

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

    std::unique_ptr<NowPlayingCenter> m_center;
    QMediaPlayer* m_player;
    QAudioOutput* m_output;
    QNetworkAccessManager* m_network;
    std::function<void(bool)> m_onPlayingChanged;
    quint64 m_generation = 0; // per published track, so late artwork for an old one is dropped
};

} // namespace tavo
