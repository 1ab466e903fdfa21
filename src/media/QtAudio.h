#pragma once

#include "platform/Audio.h"

#include <QIODevice>
#include <QObject>
#include <QTimer>
#include <deque>
#include <memory>

class QAudioSink;
class QAudioSource;

namespace tavo {

// The desktop's default microphone through QtMultimedia, captured in its own format.
class QtAudioInput final : public QObject, public AudioInput {
    Q_OBJECT
public:
    explicit QtAudioInput(QObject* parent = nullptr);
    ~QtAudioInput() override;

    bool available() const override;
    AudioFormat format() const override;
    void installTap(int frames, std::function<void(AudioBuffer)> onBuffer) override;
    void removeTap() override;
    std::optional<QString> start() override;
    void stop() override;

private:
    void readAvailable();

    std::unique_ptr<QAudioSource> m_source;
    QIODevice* m_io = nullptr;
    AudioFormat m_format;
    int m_tapFrames = 0;
    std::function<void(AudioBuffer)> m_onBuffer;
    QByteArray m_pending;
};

// What the sound server pulls: the queued speech, and silence while nothing is queued, so
// the stream's position counts every frame it has played.
class SampleQueue final : public QIODevice {
    Q_OBJECT
public:
    // Appends samples; returns the stream position (in frames) at which they end.
    qint64 append(const std::vector<float>& samples);
    void clear();
    qint64 served() const { return m_served; }

protected:
    qint64 readData(char* data, qint64 maxSize) override;
    qint64 writeData(const char*, qint64) override { return -1; }
    bool isSequential() const override { return true; }
    qint64 bytesAvailable() const override { return 1 << 16; } // never at an end

private:
    std::deque<float> m_samples;
    qint64 m_served = 0;   // frames handed to the sound server
    qint64 m_queueEnd = 0; // stream position where the last queued sample ends
};

// Speech playback to the default output through a QAudioSink pulling from a SampleQueue.
class QtAudioOutput final : public QObject, public AudioOutput {
    Q_OBJECT
public:
    explicit QtAudioOutput(QObject* parent = nullptr);
    ~QtAudioOutput() override;

    std::optional<QString> attach(const AudioFormat& format) override;
    void schedule(std::vector<float> samples, std::function<void()> playedBack) override;
    bool isPlaying() const override { return m_playing; }
    void play() override;
    void stop() override;

private:
    void checkPlayed();

    AudioFormat m_format;
    std::unique_ptr<QAudioSink> m_sink;
    SampleQueue m_queue;
    bool m_playing = false;
    struct Pending {
        qint64 end = 0; // stream position, frames
        std::function<void()> done;
    };
    std::deque<Pending> m_pending;
    // Runs only while a completion waits: the sink reports no position changes by itself.
    QTimer m_playedTimer;
};

} // namespace tavo
