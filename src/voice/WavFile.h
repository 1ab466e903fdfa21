#pragma once

#include "platform/Audio.h"

#include <QObject>
#include <QTimer>
#include <variant>

namespace tavo {

// A PCM WAV file's sound: 8-bit unsigned, 16/32-bit signed or 32-bit float samples.
struct WavSound {
    AudioFormat format;
    QByteArray data; // interleaved frames, whole frames only
};

// Reads a WAV file's "fmt " and "data" chunks, wherever they sit; an error text otherwise.
std::variant<WavSound, QString> readWav(const QString& path);
std::variant<WavSound, QString> parseWav(const QByteArray& bytes);

// A microphone that plays a WAV file: it delivers the file's frames in tap-sized buffers at
// the pace they would be spoken, then reports `finished`. What the voice pipeline hears
// from it is exactly what it would hear from a real device in that format.
class WavFileInput final : public QObject, public AudioInput {
    Q_OBJECT
public:
    explicit WavFileInput(WavSound sound, QObject* parent = nullptr);

    bool available() const override { return true; }
    AudioFormat format() const override { return m_sound.format; }
    void installTap(int frames, std::function<void(AudioBuffer)> onBuffer) override;
    void removeTap() override;
    std::optional<QString> start() override;
    void stop() override {
        m_timer.stop();
        m_started = false;
    }
    // Held, a started file waits for release() before its first buffer, so that a peer that
    // drops what comes before it is ready still hears the whole file.
    void hold() { m_held = true; }
    void release();

signals:
    void finished(); // the last buffer has been delivered

private:
    void deliverNext();
    void deliverInRealTime(); // one tap's worth per tap's duration

    WavSound m_sound;
    int m_tapFrames = 0;
    std::function<void(AudioBuffer)> m_onBuffer;
    qsizetype m_offset = 0;
    bool m_held = false;
    bool m_started = false;
    QTimer m_timer;
};

} // namespace tavo
