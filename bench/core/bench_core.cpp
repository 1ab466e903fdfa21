// Micro-benchmarks of the core's hot paths (Google Benchmark), on the code the store runs:
// the device socket's "welcome" decoding and "state" handling, the chat stream's event
// parsing and the voice capture conversion. No network: the store has a manual clock and no
// session, and its socket handler is called directly.

#include "chat/ChatSpeaker.h"
#include "chat/EventStream.h"
#include "cloud/Json.h"
#include "cloud/SocketMessage.h"
#include "core/TavoStore.h"
#include "devices/Device.h"
#include "music/MusicPlayer.h"
#include "platform/linux/SecretServiceKeychain.h"
#include "platform/linux/SettingsPreferences.h"
#include "support/ManualClock.h"
#include "voice/AudioConvert.h"

#include <QCoreApplication>
#include <QJsonArray>
#include <QJsonDocument>
#include <QNetworkAccessManager>
#include <QTemporaryDir>
#include <QtEndian>
#include <benchmark/benchmark.h>
#include <cmath>
#include <cstring>
#include <memory>
#include <string>

using namespace tavo;

namespace {

// `boxes` boxes of `relays` relays each, as the cloud sends them: named relays, all fields.
QList<Device> makeDevices(int boxes, int relays, bool on) {
    QList<Device> list;
    list.reserve(boxes);
    for (int b = 0; b < boxes; ++b) {
        Device d;
        d.id = 1'000'000'000'000LL + b;
        d.mac = QStringLiteral("02:00:00:%1:%2:%3")
                    .arg((b >> 16) & 0xff, 2, 16, QLatin1Char('0'))
                    .arg((b >> 8) & 0xff, 2, 16, QLatin1Char('0'))
                    .arg(b & 0xff, 2, 16, QLatin1Char('0'));
        d.name = QStringLiteral("Box %1").arg(b + 1);
        d.relay_count = relays;
        for (int ch = 1; ch <= relays; ++ch)
            d.relay_names.insert(QString::number(ch), QStringLiteral("Relay %1").arg(ch));
        d.acl_mask = (1LL << relays) - 1;
        d.role = b % 4 ? QStringLiteral("owner") : QStringLiteral("member");
        d.online = b % 10 != 0;
        d.states = QList<bool>(relays, on);
        if (d.online) {
            d.wifi_ssid = QStringLiteral("HomeNet");
            d.wifi_rssi = -52;
        } else {
            d.offline_since = QStringLiteral("2026-01-05T06:00:00Z");
        }
        list.append(d);
    }
    return list;
}

QString welcomeText(int boxes, int relays, bool on = false) {
    QJsonArray devices;
    for (const Device& d : makeDevices(boxes, relays, on))
        devices.append(d.toJson());
    const QJsonObject welcome{{"type", "welcome"}, {"devices", devices}};
    return QString::fromUtf8(QJsonDocument(welcome).toJson(QJsonDocument::Compact));
}

// A store as the socket reader uses it, with no session (so no socket) and a manual clock.
struct BenchStore {
    QTemporaryDir dir;
    SettingsPreferences prefs{dir.filePath("Tavo.json")};
    QNetworkAccessManager network;
    test::ManualClock clock;
    SkillsAuth noBrowser{[](const QUrl&) { return false; }};
    ChatSpeaker speaker;
    MusicPlayer music;
    SecretServiceKeychain keychain;
    TavoStore store{
        StoreServices{&network, &prefs, &clock,
                      CloudConfig{QStringLiteral("127.0.0.1:9"), false, QStringLiteral("127.0.0.1"), 9},
                      &speaker, &music, &noBrowser, &keychain}};
};

// What the socket reader does with a text frame before the handler: UTF-8, then JSON.
QJsonObject parseFrame(const QString& text) {
    return QJsonDocument::fromJson(text.toUtf8()).object();
}

// The welcome of 1,000 boxes × 8 relays, from the text frame to the device list: what the
// socket reader hands to a worker thread.
void BM_WelcomeDecode(benchmark::State& state) {
    const QString text = welcomeText(int(state.range(0)), int(state.range(1)));
    for (auto _ : state) {
        auto message = SocketMessage::read(text);
        if (!message || !message->welcome || message->welcome->size() != state.range(0))
            state.SkipWithError("welcome did not decode");
        benchmark::DoNotOptimize(message);
    }
    state.SetBytesProcessed(state.iterations() * text.toUtf8().size());
}
BENCHMARK(BM_WelcomeDecode)->Args({1000, 8})->Unit(benchmark::kMillisecond);

// The same, already parsed: the record decoding alone.
void BM_WelcomeDecodeParsed(benchmark::State& state) {
    const QJsonValue devicesValue =
        parseFrame(welcomeText(int(state.range(0)), int(state.range(1)))).value("devices");
    for (auto _ : state) {
        auto devices = json::decodeValue<QList<Device>>(devicesValue);
        benchmark::DoNotOptimize(devices);
    }
}
BENCHMARK(BM_WelcomeDecodeParsed)->Args({1000, 8})->Unit(benchmark::kMillisecond);

// What is left to the main thread: the store applying decoded welcomes that differ, so each one
// replaces the list.
void BM_WelcomeApplied(benchmark::State& state) {
    BenchStore s;
    const std::optional<SocketMessage> messages[2] = {
        SocketMessage::read(welcomeText(int(state.range(0)), int(state.range(1)), false)),
        SocketMessage::read(welcomeText(int(state.range(0)), int(state.range(1)), true))};
    int changes = 0;
    QObject::connect(&s.store, &TavoStore::devicesChanged, [&changes] { ++changes; });
    qint64 i = 0;
    for (auto _ : state)
        s.store.handleWS(*messages[i++ % 2]);
    if (changes != state.iterations()) state.SkipWithError("a welcome did not replace the list");
}
BENCHMARK(BM_WelcomeApplied)->Args({1000, 8})->Unit(benchmark::kMicrosecond);

QList<QJsonObject> stateMessages(int boxes, int relays) {
    QList<QJsonObject> out;
    const QList<Device> devices = makeDevices(boxes, relays, false);
    for (int i = 0; i < 2 * boxes; ++i) {
        const Device& d = devices[i % boxes];
        QJsonArray states;
        for (int ch = 0; ch < relays; ++ch)
            states.append((i / boxes + ch) % 2 == 0);
        out.append(QJsonObject{{"type", "state"}, {"device_id", d.id}, {"states", states}});
    }
    return out;
}

// "state" pushes through the store's socket handler, spread over every box of the list.
void BM_StateHandled(benchmark::State& state) {
    const int boxes = int(state.range(0)), relays = int(state.range(1));
    BenchStore s;
    s.store.handleWS(parseFrame(welcomeText(boxes, relays)));
    if (s.store.devices().size() != boxes) state.SkipWithError("welcome did not decode");
    const QList<QJsonObject> messages = stateMessages(boxes, relays);
    qint64 changes = 0;
    QObject::connect(&s.store, &TavoStore::devicesChanged, [&changes] { ++changes; });
    qint64 i = 0;
    for (auto _ : state)
        s.store.handleWS(messages[i++ % messages.size()]);
    if (changes != state.iterations()) state.SkipWithError("a state push was not applied");
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_StateHandled)->Args({3, 4})->Args({1000, 8});

// The same from the text frame: UTF-8 and JSON parsing, then the handler.
void BM_StateFrameHandled(benchmark::State& state) {
    const int boxes = int(state.range(0)), relays = int(state.range(1));
    BenchStore s;
    s.store.handleWS(parseFrame(welcomeText(boxes, relays)));
    QStringList frames;
    for (const QJsonObject& m : stateMessages(boxes, relays))
        frames.append(QString::fromUtf8(QJsonDocument(m).toJson(QJsonDocument::Compact)));
    qint64 i = 0;
    for (auto _ : state)
        s.store.handleWS(parseFrame(frames[i++ % frames.size()]));
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_StateFrameHandled)->Args({3, 4})->Args({1000, 8});

// A streamed chat reply as the cloud sends it: text deltas, a tool call, the end.
QByteArray chatBody(qsizetype atLeast) {
    const QByteArray delta =
        "data: {\"type\":\"text\",\"delta\":\"Turning on the fan in the living room now. \"}\n\n";
    const QByteArray tool = "data: {\"type\":\"tool\",\"name\":\"tavo_set_relay\",\"args\":{\"device_id\":"
                            "1000000000001,\"ch\":1,\"state\":true}}\n\n";
    QByteArray body;
    while (body.size() < atLeast) {
        for (int i = 0; i < 8; ++i)
            body += delta;
        body += ": keep-alive\n\n";
        body += tool;
    }
    body += "data: {\"type\":\"done\",\"thread_id\":42}\n\n";
    return body;
}

// Server-sent events parsing, fed in chunks of range(0) bytes (as the network hands them over).
void BM_EventStream(benchmark::State& state) {
    const QByteArray body = chatBody(1 << 20);
    const qsizetype chunk = state.range(0);
    qint64 records = 0;
    for (auto _ : state) {
        EventStreamReader reader([&records](const QString& r) { records += r.size() > 0; });
        for (qsizetype at = 0; at < body.size(); at += chunk)
            reader.feed(QByteArrayView(body).sliced(at, std::min(chunk, body.size() - at)));
        reader.finish();
    }
    benchmark::DoNotOptimize(records);
    state.SetBytesProcessed(state.iterations() * body.size());
}
BENCHMARK(BM_EventStream)->Arg(64)->Arg(1460)->Arg(16384)->Unit(benchmark::kMillisecond);

// One capture buffer of 4096 frames at 48 kHz converted to the voice socket's frame payload
// (16 kHz s16 mono). range(0): channels, range(1): 1 for 16-bit integers, 0 for floats.
void BM_CaptureConvert(benchmark::State& state) {
    const int channels = int(state.range(0));
    const bool int16 = state.range(1) == 1;
    AudioFormat input;
    input.setSampleRate(48000);
    input.setChannelCount(channels);
    input.setSampleFormat(int16 ? AudioFormat::Int16 : AudioFormat::Float);
    const int frames = 4096;
    AudioBuffer buffer{input, QByteArray(qsizetype(frames) * input.bytesPerFrame(), Qt::Uninitialized)};
    char* p = buffer.data.data();
    for (int i = 0; i < frames; ++i) {
        const float v = 0.4f * std::sin(float(i) * 2.0f * 3.14159265f * 440.0f / 48000.0f);
        for (int c = 0; c < channels; ++c) {
            if (int16) {
                qToLittleEndian<qint16>(qint16(v * 32767.0f), p);
                p += 2;
            } else {
                std::memcpy(p, &v, sizeof v);
                p += sizeof v;
            }
        }
    }
    auto converter = CaptureConverter::create(input);
    if (!converter) return state.SkipWithError("no converter");
    for (int i = 0; i < 4; ++i)
        converter->convert(buffer); // past the resampler's start-up delay
    qint64 bytes = 0;
    for (auto _ : state) {
        const QByteArray frame = converter->convert(buffer);
        bytes += frame.size();
        benchmark::DoNotOptimize(frame.constData());
    }
    if (bytes == 0) state.SkipWithError("the converter produced nothing");
    state.SetLabel(std::to_string(bytes / state.iterations()) +
                   " bytes out"); // CSV wants no per-run counters
}
BENCHMARK(BM_CaptureConvert)->Args({2, 1})->Args({1, 0})->Unit(benchmark::kMicrosecond);

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv); // the store and its network manager want one
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
