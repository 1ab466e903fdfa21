#pragma once

#include "music/MusicTrack.h"

#include <QObject>
#include <functional>

namespace tavo {

// The one player of music the assistant starts. Callers use the toggle and stop sequences;
// the playing state comes back through the callback given to play().
class MusicPlayer : public QObject {
    Q_OBJECT
public:
    explicit MusicPlayer(QObject* parent = nullptr);
    ~MusicPlayer() override;
    static MusicPlayer& shared();

    // Replaces the callback, starts the track and publishes it as now playing.
    void play(const TavoMusicTrack& track, std::function<void(bool)> onPlayingChanged);
    // Pause when playing, else play.
    void toggle();
    // Pause, drop the item, clear now playing, report false. The caller clears `music`.
    void stop();
};

} // namespace tavo
