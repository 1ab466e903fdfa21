#include "voice/AudioConvert.h"

#include <QtEndian>
#include <soxr.h>

namespace tavo {

namespace {

constexpr int wireRate = 16000;
constexpr int speechRate = 24000;
constexpr int capacityHeadroom = 512;
constexpr float sampleScale = 1.0f / 32768.0f;

} // namespace

AudioFormat captureFormat() {
    AudioFormat f;
    f.setSampleRate(wireRate);
    f.setChannelCount(1);
    f.setSampleFormat(AudioFormat::Int16);
    return f;
}

AudioFormat speechFormat() {
    AudioFormat f;
    f.setSampleRate(speechRate);
    f.setChannelCount(1);
    f.setSampleFormat(AudioFormat::Float);
    return f;
}

int captureCapacity(int frames, int inputRate) {
    if (inputRate <= 0) return capacityHeadroom;
    const double ratio = double(wireRate) / double(inputRate);
    return int(double(frames) * ratio) + capacityHeadroom;
}

std::unique_ptr<CaptureConverter> CaptureConverter::create(const AudioFormat& input) {
    if (input.sampleRate() <= 0 || input.channelCount() <= 0 || input.sampleFormat() == AudioFormat::Unknown)
        return nullptr;
    const soxr_io_spec_t io = soxr_io_spec(SOXR_FLOAT32_I, SOXR_INT16_I);
    soxr_io_spec_t spec = io;
    spec.flags |= SOXR_NO_DITHER; // speech recognition gains nothing from dither noise
    const soxr_quality_spec_t quality = soxr_quality_spec(SOXR_HQ, 0);
    soxr_error_t error = nullptr;
    soxr_t resampler = soxr_create(input.sampleRate(), wireRate, 1, &error, &spec, &quality, nullptr);
    if (error || !resampler) return nullptr;
    return std::unique_ptr<CaptureConverter>(new CaptureConverter(input, resampler));
}

CaptureConverter::CaptureConverter(const AudioFormat& input, soxr* resampler)
    : m_input(input), m_resampler(resampler) {}

CaptureConverter::~CaptureConverter() {
    soxr_delete(m_resampler);
}

QByteArray CaptureConverter::convert(const AudioBuffer& buffer) {
    if (buffer.format != m_input) return {};
    const int frames = buffer.frames();
    if (frames == 0) return {};

    // Mono first: the mean of the channels, as floats in [-1, 1].
    const int channels = m_input.channelCount();
    const int sampleBytes = m_input.bytesPerSample();
    const char* p = buffer.data.constData();
    m_mono.resize(size_t(frames));
    for (int i = 0; i < frames; ++i) {
        float sum = 0;
        for (int c = 0; c < channels; ++c, p += sampleBytes)
            sum += m_input.normalizedSampleValue(p);
        m_mono[size_t(i)] = sum / float(channels);
    }

    m_out.resize(size_t(captureCapacity(frames, m_input.sampleRate())));
    size_t used = 0;
    size_t produced = 0;
    const soxr_error_t error =
        soxr_process(m_resampler, m_mono.data(), m_mono.size(), &used, m_out.data(), m_out.size(), &produced);
    if (error || produced == 0) return {};
    QByteArray bytes(qsizetype(produced * 2), Qt::Uninitialized);
    for (size_t i = 0; i < produced; ++i)
        qToLittleEndian<qint16>(m_out[i], bytes.data() + 2 * i);
    return bytes;
}

std::vector<float> speechSamples(const QByteArray& frame) {
    const qsizetype count = frame.size() / 2;
    std::vector<float> samples(static_cast<size_t>(count));
    const char* p = frame.constData();
    for (qsizetype i = 0; i < count; ++i)
        samples[size_t(i)] = float(qFromLittleEndian<qint16>(p + 2 * i)) * sampleScale;
    return samples;
}

} // namespace tavo
