#pragma once

#include <QAudioFormat>
#include <QByteArray>
#include <QString>
#include <functional>
#include <optional>
#include <vector>

namespace tavo {

// A run of captured audio in the capture device's own format.
struct AudioBuffer {
    QAudioFormat format;
    QByteArray data; // interleaved frames
    int frames() const { return format.bytesPerFrame() > 0 ? int(data.size() / format.bytesPerFrame()) : 0; }
};

// The microphone. Buffers may arrive on any thread; callers post them to their own.
class AudioInput {
public:
    virtual ~AudioInput() = default;
    // Whether recording is possible at all (the desktop has no permission prompt: an input
    // device is the permission).
    virtual bool available() const = 0;
    // The capture format; a sample rate of 0 when there is nothing usable.
    virtual QAudioFormat format() const = 0;
    // Delivers captured audio in buffers of `frames` frames once started. Installing again
    // replaces the previous tap.
    virtual void installTap(int frames, std::function<void(AudioBuffer)> onBuffer) = 0;
    virtual void removeTap() = 0; // capture stops
    // An error description when capture cannot start.
    virtual std::optional<QString> start() = 0;
    virtual void stop() = 0;
};

// The speech player: mono float samples played in the order they were scheduled.
class AudioOutput {
public:
    virtual ~AudioOutput() = default;
    // Prepares playback in `format` (32-bit float, mono); an error description on failure.
    virtual std::optional<QString> attach(const QAudioFormat& format) = 0;
    // Queues samples after everything queued before. `playedBack` runs (on any thread) once
    // the last of them has been heard, not merely handed to the sound server.
    virtual void schedule(std::vector<float> samples, std::function<void()> playedBack = {}) = 0;
    virtual bool isPlaying() const = 0;
    virtual void play() = 0;
    virtual void stop() = 0; // drops what is queued; pending completions never run
};

} // namespace tavo
