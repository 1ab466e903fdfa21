// Frames of the voice socket, handed to VoiceService the way its socket reader hands them
// (handleFrame: JSON events as text, speech samples as binary), without a socket. Frames are
// separated by byte 0x1E; a frame starting with byte 0x00 is binary (the rest of it), any
// other is text (UTF-8, as the socket decodes text frames).
//
// Checked after every frame: an error state always has its text; a binary frame schedules
// exactly one sample per two bytes, each within [-1, 1].

#include "support/FuzzSupport.h"
#include "voice/VoiceService.h"

#include <QWebSocket>

#include <cmath>

namespace tavo {

namespace {

class SilentInput final : public AudioInput {
public:
    bool available() const override { return true; }
    AudioFormat format() const override { return captureFormat(); }
    void installTap(int, std::function<void(AudioBuffer)>) override {}
    void removeTap() override {}
    std::optional<QString> start() override { return std::nullopt; }
    void stop() override {}
};

// Plays nothing; a completion runs as soon as it is scheduled (the player drained at once).
class SilentOutput final : public AudioOutput {
public:
    explicit SilentOutput(qsizetype& scheduled) : m_scheduled(scheduled) {}
    std::optional<QString> attach(const AudioFormat&) override { return std::nullopt; }
    void schedule(std::vector<float> samples, std::function<void()> playedBack) override {
        for (const float s : samples)
            TAVO_FUZZ_REQUIRE(std::isfinite(s) && s >= -1.0f && s <= 1.0f);
        m_scheduled += qsizetype(samples.size());
        if (playedBack) playedBack();
    }
    bool isPlaying() const override { return m_playing; }
    void play() override { m_playing = true; }
    void stop() override { m_playing = false; }

private:
    qsizetype& m_scheduled;
    bool m_playing = false;
};

} // namespace

class VoiceFrameFuzzer {
public:
    static void run(QByteArrayView input) {
        qsizetype scheduled = 0;
        VoiceService voice([] { return QStringLiteral("fuzz-token"); }, QStringLiteral("ws://127.0.0.1:9"),
                           std::make_unique<SilentInput>(), std::make_unique<SilentOutput>(scheduled));
        qsizetype start = 0;
        while (start <= input.size()) {
            qsizetype end = input.indexOf('\x1E', start);
            if (end < 0) end = input.size();
            const QByteArrayView frame = input.sliced(start, end - start);
            start = end + 1;
            const qsizetype before = scheduled;
            if (frame.startsWith('\0')) {
                voice.handleFrame(frame.sliced(1).toByteArray());
                const qsizetype samples = (frame.size() - 1) / 2;
                TAVO_FUZZ_REQUIRE(scheduled - before == samples);
            } else {
                voice.handleFrame(QString::fromUtf8(frame));
                TAVO_FUZZ_REQUIRE(scheduled - before <= 1); // at most the drain marker
            }
            fuzz::drainEvents();
            if (voice.state() == VoiceService::State::Error) TAVO_FUZZ_REQUIRE(voice.errorText().has_value());
            TAVO_FUZZ_REQUIRE(!voice.m_ws); // frames never open a socket
        }
    }
};

} // namespace tavo

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    tavo::fuzz::initialize();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    tavo::VoiceFrameFuzzer::run(QByteArrayView(reinterpret_cast<const char*>(data), qsizetype(size)));
    tavo::fuzz::drainEvents();
    return 0;
}
