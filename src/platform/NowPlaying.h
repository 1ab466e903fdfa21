#pragma once

#include <QString>
#include <functional>
#include <optional>

namespace tavo {

// What the desktop's media display shows for the track playing.
struct NowPlayingInfo {
    QString title;
    std::optional<QString> artist;
    std::optional<double> durationSec;
    double elapsedSec = 0;
    double rate = 0;    // 1 while playing
    QString artworkURL; // a local file once the cover has been fetched and decoded
    friend bool operator==(const NowPlayingInfo&, const NowPlayingInfo&) = default;
};

enum class RemoteCommand { Play, Pause, TogglePlayPause, Stop };

// The desktop's now-playing display and media keys.
class NowPlayingCenter {
public:
    virtual ~NowPlayingCenter() = default;
    virtual std::optional<NowPlayingInfo> current() const = 0;
    virtual void set(const std::optional<NowPlayingInfo>& info) = 0;
    // Whether play works with nothing on show (a stopped track that can start over).
    virtual void setCanPlayStopped(bool can) = 0;
    // Media keys and remote controls; every command is taken as handled.
    virtual void setCommandHandler(std::function<void(RemoteCommand)> handler) = 0;
};

} // namespace tavo
