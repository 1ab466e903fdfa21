#pragma once

#include "platform/Audio.h"

#include <QByteArray>
#include <memory>
#include <vector>

struct soxr;

namespace tavo {

// The voice socket's microphone format: 16 kHz, signed 16-bit, mono.
AudioFormat captureFormat();
// The assistant's speech as it is played: 24 kHz, 32-bit float, mono.
AudioFormat speechFormat();

// Output room for one converted buffer: the exact rate-converted length plus headroom, so
// the resampler never runs out of space.
int captureCapacity(int frames, int inputRate);

// Converts captured buffers from the microphone's own format to `captureFormat()` bytes.
// Stateful: the resampler carries its filter history from one buffer to the next.
class CaptureConverter {
public:
    // Nothing when the input cannot be converted (no rate, unknown sample type).
    static std::unique_ptr<CaptureConverter> create(const AudioFormat& input);
    ~CaptureConverter();
    CaptureConverter(const CaptureConverter&) = delete;
    CaptureConverter& operator=(const CaptureConverter&) = delete;

    // The wire bytes for one buffer; empty when the buffer does not match the input format
    // or the resampler produced nothing yet.
    QByteArray convert(const AudioBuffer& buffer);

private:
    CaptureConverter(const AudioFormat& input, soxr* resampler);

    AudioFormat m_input;
    soxr* m_resampler;
    std::vector<float> m_mono;
    std::vector<qint16> m_out;
};

// One speech frame from the socket (s16 LE mono) as float samples; an odd trailing byte
// is ignored.
std::vector<float> speechSamples(const QByteArray& frame);

} // namespace tavo
