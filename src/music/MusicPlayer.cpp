#include "music/MusicPlayer.h"

// Placeholder until the media back end lands.
namespace tavo {
MusicPlayer::MusicPlayer(QObject* parent) : QObject(parent) {}
MusicPlayer::~MusicPlayer() = default;
MusicPlayer& MusicPlayer::shared() {
    static auto* p = new MusicPlayer;
    return *p;
}
void MusicPlayer::play(const TavoMusicTrack&, std::function<void(bool)>) {}
void MusicPlayer::toggle() {}
void MusicPlayer::stop() {}
} // namespace tavo
