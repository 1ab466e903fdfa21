#include "media/QtAudio.h"

#include <QAudioDevice>
#include <QAudioSink>
#include <QAudioSource>
#include <QMediaDevices>
#include <algorithm>
#include <cstring>

namespace tavo {

namespace {

constexpr int playedCheckMs = 20;

AudioFormat fromQt(const QAudioFormat& f) {
    AudioFormat out;
    out.setSampleRate(f.sampleRate());
    out.setChannelCount(f.channelCount());
    switch (f.sampleFormat()) {
    case QAudioFormat::UInt8:
        out.setSampleFormat(AudioFormat::UInt8);
        break;
    case QAudioFormat::Int16:
        out.setSampleFormat(AudioFormat::Int16);
        break;
    case QAudioFormat::Int32:
        out.setSampleFormat(AudioFormat::Int32);
        break;
    case QAudioFormat::Float:
        out.setSampleFormat(AudioFormat::Float);
        break;
    default:
        break;
    }
    return out;
}

QAudioFormat toQt(const AudioFormat& f) {
    static constexpr QAudioFormat::SampleFormat samples[] = {QAudioFormat::Unknown, QAudioFormat::UInt8,
                                                             QAudioFormat::Int16, QAudioFormat::Int32,
                                                             QAudioFormat::Float};
    QAudioFormat out;
    out.setSampleRate(f.sampleRate());
    out.setChannelCount(f.channelCount());
    out.setSampleFormat(samples[f.sampleFormat()]);
    return out;
}

} // namespace

QtAudioInput::QtAudioInput(QObject* parent) : QObject(parent) {}

QtAudioInput::~QtAudioInput() {
    stop();
}

bool QtAudioInput::available() const {
    return !QMediaDevices::defaultAudioInput().isNull();
}

AudioFormat QtAudioInput::format() const {
    const QAudioDevice device = QMediaDevices::defaultAudioInput();
    return device.isNull() ? AudioFormat() : fromQt(device.preferredFormat());
}

void QtAudioInput::installTap(int frames, std::function<void(AudioBuffer)> onBuffer) {
    m_tapFrames = frames;
    m_onBuffer = std::move(onBuffer);
    m_pending.clear();
}

void QtAudioInput::removeTap() {
    m_onBuffer = nullptr;
    stop();
}

std::optional<QString> QtAudioInput::start() {
    stop();
    const QAudioDevice device = QMediaDevices::defaultAudioInput();
    if (device.isNull()) return QStringLiteral("no microphone");
    const QAudioFormat preferred = device.preferredFormat();
    m_format = fromQt(preferred);
    m_source = std::make_unique<QAudioSource>(device, preferred);
    m_io = m_source->start();
    if (!m_io || m_source->error() != QAudio::NoError) {
        stop();
        return QStringLiteral("the microphone could not be opened");
    }
    connect(m_io, &QIODevice::readyRead, this, &QtAudioInput::readAvailable);
    return std::nullopt;
}

void QtAudioInput::stop() {
    if (m_source) m_source->stop();
    m_source.reset();
    m_io = nullptr;
    m_pending.clear();
}

// A fixed-size read loop: the source's readAll() returns only part of what it holds.
void QtAudioInput::readAvailable() {
    const qsizetype bufferBytes = qsizetype(m_tapFrames) * m_format.bytesPerFrame();
    if (!m_io || bufferBytes <= 0) return;
    for (;;) {
        const qsizetype have = m_pending.size();
        m_pending.resize(bufferBytes);
        const qint64 n = m_io->read(m_pending.data() + have, bufferBytes - have);
        m_pending.resize(have + std::max<qint64>(n, 0));
        if (n <= 0) return;
        if (m_pending.size() == bufferBytes) {
            AudioBuffer buffer{m_format, std::exchange(m_pending, {})};
            if (m_onBuffer) m_onBuffer(std::move(buffer));
            if (!m_io) return; // the tap's owner stopped capture
        }
    }
}

qint64 SampleQueue::append(const std::vector<float>& samples) {
    m_queueEnd = std::max(m_queueEnd, m_served) + qint64(samples.size());
    m_samples.insert(m_samples.end(), samples.begin(), samples.end());
    return m_queueEnd;
}

void SampleQueue::clear() {
    m_samples.clear();
    m_served = 0;
    m_queueEnd = 0;
}

qint64 SampleQueue::readData(char* data, qint64 maxSize) {
    const qint64 frames = maxSize / qint64(sizeof(float));
    const qint64 fromQueue = std::min<qint64>(frames, qint64(m_samples.size()));
    auto* out = reinterpret_cast<float*>(data);
    std::copy_n(m_samples.begin(), fromQueue, out);
    m_samples.erase(m_samples.begin(), m_samples.begin() + fromQueue);
    std::fill(out + fromQueue, out + frames, 0.0f);
    m_served += frames;
    return frames * qint64(sizeof(float));
}

QtAudioOutput::QtAudioOutput(QObject* parent) : QObject(parent) {
    m_playedTimer.setInterval(playedCheckMs);
    connect(&m_playedTimer, &QTimer::timeout, this, &QtAudioOutput::checkPlayed);
}

QtAudioOutput::~QtAudioOutput() {
    stop();
}

std::optional<QString> QtAudioOutput::attach(const AudioFormat& format) {
    const QAudioDevice device = QMediaDevices::defaultAudioOutput();
    if (device.isNull()) return QStringLiteral("no audio output");
    if (m_sink && format == m_format) return std::nullopt;
    stop();
    m_format = format;
    m_sink = std::make_unique<QAudioSink>(device, toQt(format));
    return std::nullopt;
}

void QtAudioOutput::schedule(std::vector<float> samples, std::function<void()> playedBack) {
    const qint64 end = m_queue.append(samples);
    if (!playedBack) return;
    m_pending.push_back({end, std::move(playedBack)});
    if (m_playing) m_playedTimer.start();
}

void QtAudioOutput::play() {
    if (m_playing || !m_sink) return;
    m_queue.open(QIODevice::ReadOnly);
    m_sink->start(&m_queue);
    m_playing = m_sink->error() == QAudio::NoError;
    if (m_playing && !m_pending.empty()) m_playedTimer.start();
}

void QtAudioOutput::stop() {
    m_playedTimer.stop();
    m_pending.clear();
    if (m_sink) m_sink->stop();
    m_queue.close();
    m_queue.clear();
    m_playing = false;
}

// The sink's processed time is its playback clock, so a position it has passed was heard.
void QtAudioOutput::checkPlayed() {
    if (!m_sink || m_format.sampleRate() <= 0) return;
    const qint64 played = m_sink->processedUSecs() * m_format.sampleRate() / 1'000'000;
    while (!m_pending.empty() && m_pending.front().end <= played) {
        auto done = std::move(m_pending.front().done);
        m_pending.pop_front();
        done();
    }
    if (m_pending.empty()) m_playedTimer.stop();
}

} // namespace tavo
