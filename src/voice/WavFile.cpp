#include "voice/WavFile.h"

#include <QFile>
#include <QtEndian>
#include <utility>

namespace tavo {

namespace {

constexpr quint16 pcmFormat = 1;
constexpr quint16 floatFormat = 3;
constexpr quint16 extensibleFormat = 0xFFFE;

quint16 u16(const char* p) {
    return qFromLittleEndian<quint16>(p);
}
quint32 u32(const char* p) {
    return qFromLittleEndian<quint32>(p);
}

AudioFormat::SampleFormat sampleFormat(quint16 tag, quint16 bits) {
    if (tag == floatFormat) return bits == 32 ? AudioFormat::Float : AudioFormat::Unknown;
    if (tag != pcmFormat) return AudioFormat::Unknown;
    switch (bits) {
    case 8:
        return AudioFormat::UInt8;
    case 16:
        return AudioFormat::Int16;
    case 32:
        return AudioFormat::Int32;
    default:
        return AudioFormat::Unknown;
    }
}

} // namespace

std::variant<WavSound, QString> parseWav(const QByteArray& bytes) {
    const char* p = bytes.constData();
    const qsizetype size = bytes.size();
    if (size < 12 || std::memcmp(p, "RIFF", 4) != 0 || std::memcmp(p + 8, "WAVE", 4) != 0)
        return QStringLiteral("not a WAV file");
    std::optional<AudioFormat> format;
    for (qsizetype at = 12; at + 8 <= size;) {
        const quint32 length = u32(p + at + 4);
        const char* body = p + at + 8;
        const qsizetype available = std::min<qsizetype>(qsizetype(length), size - at - 8);
        if (std::memcmp(p + at, "fmt ", 4) == 0) {
            if (available < 16) return QStringLiteral("WAV format chunk is too short");
            quint16 tag = u16(body);
            const quint16 bits = u16(body + 14);
            if (tag == extensibleFormat && available >= 26)
                tag = u16(body + 24); // the sub-format's first field
            AudioFormat f;
            f.setChannelCount(u16(body + 2));
            f.setSampleRate(int(std::min<quint32>(u32(body + 4), 1'000'000)));
            f.setSampleFormat(sampleFormat(tag, bits));
            if (f.sampleFormat() == AudioFormat::Unknown || f.channelCount() == 0)
                return QStringLiteral("unsupported WAV sample format");
            format = f;
        } else if (std::memcmp(p + at, "data", 4) == 0) {
            if (!format) return QStringLiteral("WAV data before its format");
            const int frameBytes = format->bytesPerFrame();
            return WavSound{*format, QByteArray(body, available - available % frameBytes)};
        }
        at += 8 + qsizetype(length) + (length & 1); // chunks are padded to even sizes
    }
    return QStringLiteral("WAV file has no sound data");
}

std::variant<WavSound, QString> readWav(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return file.errorString();
    return parseWav(file.readAll());
}

WavFileInput::WavFileInput(WavSound sound, QObject* parent) : QObject(parent), m_sound(std::move(sound)) {
    connect(&m_timer, &QTimer::timeout, this, &WavFileInput::deliverNext);
}

void WavFileInput::installTap(int frames, std::function<void(AudioBuffer)> onBuffer) {
    m_tapFrames = frames;
    m_onBuffer = std::move(onBuffer);
}

void WavFileInput::removeTap() {
    m_onBuffer = nullptr;
    m_timer.stop();
}

std::optional<QString> WavFileInput::start() {
    if (m_tapFrames <= 0 || m_sound.format.sampleRate() <= 0) return QStringLiteral("nothing to capture");
    m_offset = 0;
    m_started = true;
    if (!m_held) deliverInRealTime();
    return std::nullopt;
}

void WavFileInput::release() {
    if (!std::exchange(m_held, false) || !m_started) return;
    m_offset = 0;
    deliverInRealTime();
}

void WavFileInput::deliverInRealTime() {
    m_timer.start(std::max(1, int(qint64(m_tapFrames) * 1000 / m_sound.format.sampleRate())));
}

void WavFileInput::deliverNext() {
    const qsizetype bytes = qsizetype(m_tapFrames) * m_sound.format.bytesPerFrame();
    AudioBuffer buffer{m_sound.format, m_sound.data.mid(m_offset, bytes)};
    m_offset += bytes;
    const bool last = m_offset >= m_sound.data.size();
    if (last) m_timer.stop();
    if (m_onBuffer && !buffer.data.isEmpty()) m_onBuffer(std::move(buffer));
    if (last) emit finished();
}

} // namespace tavo
