#pragma once

#include <QString>
#include <optional>

namespace tavo {

// The track the assistant chose for playback.
struct TavoMusicTrack {
    QString title;
    std::optional<QString> artist;
    QString streamURL;
    std::optional<QString> thumbnailURL;
    std::optional<qint64> durationMs;
    std::optional<QString> sourceURL;

    friend bool operator==(const TavoMusicTrack&, const TavoMusicTrack&) = default;
};

} // namespace tavo
