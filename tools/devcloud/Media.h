#pragma once

#include <QByteArray>
#include <QString>
#include <optional>

namespace tavo::devcloud {

struct MediaFile {
    QByteArray body;
    QByteArray contentType;
};

// Files the development assistant hands out with "music_play": generated once, served on loopback.
std::optional<MediaFile> mediaFile(const QString& name);
constexpr int toneSeconds = 20; // the length of "tone.wav"

} // namespace tavo::devcloud
