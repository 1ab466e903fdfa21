#pragma once

#include <QByteArray>
#include <QString>
#include <QtGlobal>
#include <cstring>
#include <functional>
#include <optional>
#include <vector>

namespace tavo {

// A PCM format: rate, channels and sample type. Our own rather than the media library's, so
// the voice pipeline builds and runs without it (tavoctl maps no media library until it
// records or plays).
class AudioFormat {
public:
    enum SampleFormat { Unknown, UInt8, Int16, Int32, Float };

    int sampleRate() const { return m_rate; }
    void setSampleRate(int rate) { m_rate = rate; }
    int channelCount() const { return m_channels; }
    void setChannelCount(int channels) { m_channels = channels; }
    SampleFormat sampleFormat() const { return m_sample; }
    void setSampleFormat(SampleFormat sample) { m_sample = sample; }
    bool isValid() const { return m_rate > 0 && m_channels > 0 && m_sample != Unknown; }

    int bytesPerSample() const {
        switch (m_sample) {
        case UInt8:
            return 1;
        case Int16:
            return 2;
        case Int32:
        case Float:
            return 4;
        case Unknown:
            break;
        }
        return 0;
    }
    int bytesPerFrame() const { return bytesPerSample() * m_channels; }

    // One sample at `p` (native byte order, any alignment) in [-1, 1].
    float normalizedSampleValue(const void* p) const {
        switch (m_sample) {
        case UInt8:
            return (float(*static_cast<const quint8*>(p)) - 128.0f) / 128.0f;
        case Int16:
            return float(read<qint16>(p)) / 32768.0f;
        case Int32:
            return float(double(read<qint32>(p)) / 2147483648.0);
        case Float:
            return read<float>(p);
        case Unknown:
            break;
        }
        return 0.0f;
    }

    friend bool operator==(const AudioFormat&, const AudioFormat&) = default;

private:
    template <typename T> static T read(const void* p) {
        T v;
        std::memcpy(&v, p, sizeof v);
        return v;
    }

    int m_rate = 0;
    int m_channels = 0;
    SampleFormat m_sample = Unknown;
};

// A run of captured audio in the capture device's own format.
struct AudioBuffer {
    AudioFormat format;
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
    virtual AudioFormat format() const = 0;
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
    virtual std::optional<QString> attach(const AudioFormat& format) = 0;
    // Queues samples after everything queued before. `playedBack` runs (on any thread) once
    // the last of them has been heard, not merely handed to the sound server.
    virtual void schedule(std::vector<float> samples, std::function<void()> playedBack = {}) = 0;
    virtual bool isPlaying() const = 0;
    virtual void play() = 0;
    virtual void stop() = 0; // drops what is queued; pending completions never run
};

} // namespace tavo
