// The voice socket against a real development cloud: espeak-ng speech recognised by the cloud's
// pocketsphinx, answered by its assistant (really switching relays) and spoken back; and the
// development script that stands in for all of that.
#include "support/DevCloud.h"
#include "support/SpeechWav.h"
#include "voice/AudioConvert.h"
#include "voice/WavFile.h"

#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QTemporaryDir>
#include <QTest>
#include <QWebSocket>
#include <QtEndian>
#include <cmath>

using namespace tavo;

namespace {

constexpr int micRate = 16000;
constexpr int replyRate = 24000;
constexpr qsizetype clientChunk = 1365 * 2; // one capture buffer of the desktop client
constexpr qsizetype replyFrame = 4800;

QString compact(const QJsonObject& o) {
    return QString::fromUtf8(QJsonDocument(o).toJson(QJsonDocument::Compact));
}

QList<qint16> samplesOf(const QByteArray& s16) {
    QList<qint16> out;
    for (qsizetype i = 0; i + 1 < s16.size(); i += 2)
        out << qFromLittleEndian<qint16>(s16.constData() + i);
    return out;
}

int peakOf(const QByteArray& s16) {
    int peak = 0;
    for (qint16 s : samplesOf(s16))
        peak = std::max(peak, std::abs(int(s)));
    return peak;
}

int signChanges(const QByteArray& s16) {
    const QList<qint16> s = samplesOf(s16);
    int n = 0;
    for (qsizetype i = 1; i < s.size(); ++i)
        n += (s[i - 1] < 0) != (s[i] < 0);
    return n;
}

// One socket and every frame that came back on it, in order.
class Socket : public QObject {
public:
    struct Frame {
        bool binary = false;
        QByteArray data;
        qint64 ms = 0; // since the socket was opened
    };

    explicit Socket(const QUrl& url) {
        connect(&ws, &QWebSocket::textMessageReceived, this, [this](const QString& t) {
            frames.append({false, t.toUtf8(), clock.elapsed()});
        });
        connect(&ws, &QWebSocket::binaryMessageReceived, this, [this](const QByteArray& b) {
            frames.append({true, b, clock.elapsed()});
        });
        connect(&ws, &QWebSocket::aboutToClose, this, [this] { closeHandshake = true; });
        connect(&ws, &QWebSocket::disconnected, this, [this] { ++disconnects; });
        clock.start();
        ws.open(url);
    }

    // A text frame's type, the raw text when it has none, "binary" for audio.
    static QString typeOf(const Frame& f) {
        if (f.binary) return QStringLiteral("binary");
        const QJsonObject o = QJsonDocument::fromJson(f.data).object();
        return o.contains("type") ? o.value("type").toString() : QString::fromUtf8(f.data);
    }
    QStringList types() const {
        QStringList out;
        for (const Frame& f : frames)
            out << typeOf(f);
        return out;
    }
    // The exchange's shape: the types with runs of the same one written once.
    QStringList shape() const {
        QStringList out;
        for (const QString& t : types())
            if (out.isEmpty() || out.back() != t) out << t;
        return out;
    }
    QList<QJsonObject> ofType(const QString& type) const {
        QList<QJsonObject> out;
        for (const Frame& f : frames)
            if (!f.binary && typeOf(f) == type) out << QJsonDocument::fromJson(f.data).object();
        return out;
    }
    qint64 msAt(const QString& type) const {
        for (const Frame& f : frames)
            if (typeOf(f) == type) return f.ms;
        return -1;
    }
    QStringList texts() const {
        QStringList out;
        for (const Frame& f : frames)
            if (!f.binary) out << QString::fromUtf8(f.data);
        return out;
    }
    QList<QByteArray> audio() const {
        QList<QByteArray> out;
        for (const Frame& f : frames)
            if (f.binary) out << f.data;
        return out;
    }
    bool has(const QString& type) const { return types().contains(type); }

    // As the client streams a capture: one frame per buffer.
    int sendAudio(const QByteArray& s16) {
        int n = 0;
        for (qsizetype at = 0; at < s16.size(); at += clientChunk, ++n)
            ws.sendBinaryMessage(s16.mid(at, clientChunk));
        return n;
    }
    void send(const QJsonObject& o) {
        if (o.value("type") == QLatin1String("stop")) stopMs = clock.elapsed();
        ws.sendTextMessage(compact(o));
    }

    QWebSocket ws;
    QElapsedTimer clock;
    QList<Frame> frames;
    qint64 stopMs = -1;
    bool closeHandshake = false; // a close frame came or went, unlike when the connection just drops
    int disconnects = 0;
};

} // namespace

class VoiceStreamTest : public QObject {
    Q_OBJECT

    test::DevCloud cloud{{"--seed", "demo"}};
    const QString phone = "+919876543210"; // owns "Living Room" (box 1): Fan, Lamp, TV, Heater
    QTemporaryDir dir;
    QString token;

    QUrl voiceUrl(const QString& t) const {
        return QUrl("ws://" + cloud.host() + "/v1/voice/stream?token=" + QUrl::toPercentEncoding(t));
    }
    QByteArray speech(const QString& text) {
        const QString wav = dir.filePath(QString(text).replace(' ', '_') + ".wav");
        const QString error = test::espeakWav(text, wav);
        if (!error.isEmpty()) qWarning("%s", qPrintable(error));
        // Converted the way the client converts its microphone, one tap buffer at a time.
        const auto sound = readWav(wav);
        if (!std::holds_alternative<WavSound>(sound)) return {};
        const WavSound& pcm = std::get<WavSound>(sound);
        auto converter = CaptureConverter::create(pcm.format);
        if (!converter) return {};
        QByteArray out;
        const qsizetype tap = 4096 * pcm.format.bytesPerFrame();
        for (qsizetype at = 0; at < pcm.data.size(); at += tap)
            out += converter->convert({pcm.format, pcm.data.mid(at, tap)});
        return out;
    }
    QJsonArray statesOf(int boxIndex) {
        return cloud.get("/dev/state")
            .value("boxes")
            .toArray()
            .at(boxIndex)
            .toObject()
            .value("states")
            .toArray();
    }
    QJsonObject last() { return cloud.get("/dev/voice/last"); }
    // Timings for the log: opening to "ready" (a fresh recogniser loads its model first), "stop" to
    // "response".
    static void report(const char* what, const Socket& s) {
        qInfo("%s: ready %lld ms after opening; response %lld ms after stop", what, s.msAt("ready"),
              s.msAt("response") - s.stopMs);
    }

    // The reply's audio: 100 ms frames of 24 kHz s16, the last maybe shorter, of a plausible length.
    static void verifySpokenReply(const Socket& s) {
        const QList<QByteArray> audio = s.audio();
        QVERIFY(!audio.isEmpty());
        QByteArray all;
        for (qsizetype i = 0; i < audio.size(); ++i) {
            QCOMPARE(audio[i].size() % 2, qsizetype(0));
            if (i + 1 < audio.size()) QCOMPARE(audio[i].size(), replyFrame);
            QVERIFY(audio[i].size() <= replyFrame);
            all += audio[i];
        }
        const double seconds = double(all.size()) / (2 * replyRate);
        QVERIFY2(seconds > 0.3 && seconds < 10, qPrintable(QString::number(seconds)));
        QVERIFY(peakOf(all) > 1000); // speech, not silence
    }

private slots:
    void initTestCase() {
        QVERIFY(dir.isValid());
        QVERIFY(cloud.start());
    }
    void init() {
        cloud.post("/dev/reset");
        token = cloud.signIn(phone).value("session_token").toString();
        QVERIFY(!token.isEmpty());
    }

    void spokenCommandSwitchesTheRelay_data() {
        QTest::addColumn<QString>("said");
        QTest::addColumn<QString>("heard"); // a word the final transcript must have
        QTest::addColumn<int>("ch");        // in "Living Room"
        QTest::addColumn<bool>("on");
        QTest::addColumn<QString>("relay");
        QTest::newRow("fan off") << "turn off the fan"
                                 << "fan" << 1 << false << "Fan";
        QTest::newRow("fan on") << "turn on the fan"
                                << "fan" << 1 << true << "Fan";
        QTest::newRow("lamp in a box") << "switch on the lamp in the living room"
                                       << "lamp" << 2 << true << "Lamp";
        QTest::newRow("relay number") << "turn relay four on"
                                      << "four" << 4 << true << "Heater";
    }
    void spokenCommandSwitchesTheRelay() {
        QFETCH(QString, said);
        QFETCH(QString, heard);
        QFETCH(int, ch);
        QFETCH(bool, on);
        QFETCH(QString, relay);
        const QByteArray audio = speech(said);
        QVERIFY(audio.size() > micRate); // over half a second of speech

        // The relay starts the other way, set over the device socket, which then sees the switch.
        Socket device(QUrl("ws://" + cloud.host() + "/ws/client?token=" + token));
        QTRY_VERIFY(device.has("welcome"));
        device.send({{"type", "set"}, {"device_id", 1}, {"ch", ch}, {"state", !on}});
        QTRY_COMPARE(statesOf(0).at(ch - 1).toBool(), !on);
        const qsizetype pushesBefore = device.ofType("state").size();

        Socket voice(voiceUrl(token));
        QTRY_VERIFY_WITH_TIMEOUT(voice.has("ready"), 15000);
        const int chunks = voice.sendAudio(audio);
        voice.send({{"type", "stop"}});
        QTRY_VERIFY_WITH_TIMEOUT(voice.has("tts.end"), 15000);

        QCOMPARE(voice.shape(), QStringList({"ready", "transcript.partial", "transcript.final", "response",
                                             "tts.start", "binary", "tts.end"}));
        const QList<QJsonObject> partials = voice.ofType("transcript.partial");
        for (qsizetype i = 0; i < partials.size(); ++i) {
            QVERIFY(!partials[i].value("text").toString().isEmpty());
            if (i > 0) QVERIFY(partials[i].value("text") != partials[i - 1].value("text")); // only changes
        }
        const QString final = voice.ofType("transcript.final").at(0).value("text").toString();
        qInfo("said \"%s\", heard \"%s\"", qPrintable(said), qPrintable(final));
        report(QTest::currentDataTag(), voice);
        QVERIFY2(final.split(' ').contains(heard), qPrintable(final));

        const QJsonObject response = voice.ofType("response").at(0);
        QCOMPARE(response.value("transcript").toString(), final);
        QVERIFY(response.value("fired").isDouble());
        QCOMPARE(response.value("fired").toDouble(), 1.0);
        const QString reply = response.value("text").toString();
        QVERIFY2(reply.contains(relay) && reply.contains("Living Room"), qPrintable(reply));
        verifySpokenReply(voice);

        QCOMPARE(statesOf(0).at(ch - 1).toBool(), on);
        const QJsonObject logged = cloud.get("/dev/state").value("activity").toArray().last().toObject();
        QCOMPARE(logged.value("source").toString(), QString("voice"));
        QCOMPARE(logged.value("ch").toInt(), ch);
        QCOMPARE(logged.value("state").toBool(), on);
        QTRY_VERIFY(device.ofType("state").size() > pushesBefore);
        QCOMPARE(device.ofType("state").back().value("states").toArray().at(ch - 1).toBool(), on);

        // The cloud leaves the socket open after the reply; the client closes it.
        QTest::qWait(100);
        QCOMPARE(voice.disconnects, 0);
        voice.ws.close(QWebSocketProtocol::CloseCodeGoingAway);
        QTRY_COMPARE(voice.disconnects, 1);
        QTRY_COMPARE(last().value("closed_code").toInt(), 1001);
        const QJsonObject seen = last();
        QCOMPARE(seen.value("binary_frames").toInt(), chunks);
        QCOMPARE(seen.value("binary_bytes").toInteger(), qint64(audio.size()));
        QCOMPARE(seen.value("frames_before_ready").toInt(), 0);
        QCOMPARE(seen.value("texts").toArray(), QJsonArray({R"({"type":"stop"})"}));
        QCOMPARE(seen.value("transcript").toString(), final);
    }

    // What the recogniser listens for comes from the caller's own boxes; names it cannot say are left
    // out rather than spoiling the grammar.
    void grammarFollowsTheCallersBoxes_data() {
        QTest::addColumn<QJsonObject>("box"); // made for the caller, unless empty
        QTest::addColumn<QString>("said");
        QTest::addColumn<int>("fired");
        QTest::addColumn<QString>("reply"); // part of the answer
        QTest::newRow("no boxes") << QJsonObject{} << "turn everything off" << 0 << "couldn't find";
        QTest::newRow("unsayable names")
            << QJsonObject{{"name", "Qwrtz Shed"},
                           {"relay_count", 2},
                           {"relay_names", QJsonObject{{"1", "Xyzzy"}, {"2", "Fan"}}}}
            << "turn on the fan" << 1 << "Fan in Qwrtz Shed";
    }
    void grammarFollowsTheCallersBoxes() {
        QFETCH(QJsonObject, box);
        QFETCH(QString, said);
        QFETCH(int, fired);
        QFETCH(QString, reply);
        const QString caller = "+15550100001";
        if (!box.isEmpty()) {
            box.insert("owner", caller);
            QVERIFY(cloud.post("/dev/devices", box).contains("device"));
        }
        Socket voice(voiceUrl(cloud.signIn(caller).value("session_token").toString()));
        QTRY_VERIFY_WITH_TIMEOUT(!voice.frames.isEmpty(), 15000);
        QCOMPARE(voice.types().at(0), QString("ready"));
        voice.sendAudio(speech(said));
        voice.send({{"type", "stop"}});
        QTRY_VERIFY_WITH_TIMEOUT(voice.has("response"), 15000);
        const QJsonObject response = voice.ofType("response").at(0);
        qInfo("said \"%s\", heard \"%s\"", qPrintable(said),
              qPrintable(response.value("transcript").toString()));
        QCOMPARE(response.value("fired").toInt(), fired);
        QVERIFY2(response.value("text").toString().contains(reply),
                 qPrintable(response.value("text").toString()));
        if (fired) QCOMPARE(statesOf(3), QJsonArray({false, true})); // after the demo's three boxes
    }

    void silenceIsNotCaught() {
        Socket voice(voiceUrl(token));
        QTRY_VERIFY_WITH_TIMEOUT(voice.has("ready"), 15000);
        voice.sendAudio(QByteArray(2 * micRate, '\0'));
        // What the socket does not know is ignored.
        const QStringList junk = {"not json", "[1,2]", R"({"type":"bogus"})"};
        for (const QString& text : junk)
            voice.ws.sendTextMessage(text);
        voice.send({{"type", "stop"}});
        QTRY_VERIFY_WITH_TIMEOUT(voice.has("tts.end"), 15000);
        report("silence", voice);

        QCOMPARE(voice.shape(),
                 QStringList({"ready", "transcript.final", "response", "tts.start", "binary", "tts.end"}));
        QCOMPARE(voice.ofType("transcript.final").at(0),
                 QJsonObject({{"type", "transcript.final"}, {"text", ""}}));
        QCOMPARE(voice.ofType("response").at(0), QJsonObject({{"type", "response"},
                                                              {"transcript", ""},
                                                              {"text", "Sorry, I didn't catch that."},
                                                              {"fired", 0}}));
        verifySpokenReply(voice);
        QCOMPARE(statesOf(0), QJsonArray({true, false, false, false})); // the seed's, untouched
        QCOMPARE(last().value("texts").toArray(),
                 QJsonArray::fromStringList(QStringList(junk) << R"({"type":"stop"})"));
        QVERIFY(last().value("closed_code").isNull()); // still open
    }

    void unknownTokenIsRefused() {
        Socket voice(voiceUrl("not-a-session"));
        QTRY_COMPARE(voice.disconnects, 1);
        QCOMPARE(voice.frames.size(), qsizetype(1));
        QCOMPARE(voice.ofType("error"), QList<QJsonObject>({{{"type", "error"}, {"error", "Unauthorized"}}}));
        QVERIFY(voice.closeHandshake);
        QCOMPARE(voice.ws.closeCode(), QWebSocketProtocol::CloseCodePolicyViolated);
    }

    void cancelClosesNormallyAndForgetsTheCommand() {
        Socket voice(voiceUrl(token));
        QTRY_VERIFY_WITH_TIMEOUT(voice.has("ready"), 15000);
        voice.sendAudio(speech("turn off the fan"));
        voice.send({{"type", "cancel"}});
        QTRY_COMPARE(voice.disconnects, 1);
        QVERIFY(voice.closeHandshake);
        QCOMPARE(voice.ws.closeCode(), QWebSocketProtocol::CloseCodeNormal);
        QVERIFY(!voice.has("transcript.final"));
        QVERIFY(!voice.has("response"));
        QCOMPARE(statesOf(0).at(0).toBool(), true); // the fan stays on
        QCOMPARE(last().value("texts").toArray(), QJsonArray({R"({"type":"cancel"})"}));
        QVERIFY(last().value("transcript").isNull());
    }

    void closeCodeIsTheClientsOwn_data() {
        QTest::addColumn<bool>("handshake");
        QTest::addColumn<QJsonValue>("code");
        QTest::newRow("closed") << true << QJsonValue(1001);
        QTest::newRow("dropped") << false << QJsonValue();
    }
    void closeCodeIsTheClientsOwn() {
        QFETCH(bool, handshake);
        QFETCH(QJsonValue, code);
        Socket voice(voiceUrl(token));
        QTRY_VERIFY_WITH_TIMEOUT(voice.has("ready"), 15000);
        voice.sendAudio(QByteArray(clientChunk, '\0'));
        QTRY_COMPARE(last().value("binary_frames").toInt(), 1);
        if (handshake) {
            voice.ws.close(QWebSocketProtocol::CloseCodeGoingAway);
            QTRY_COMPARE(last().value("closed_code"), code);
        } else {
            voice.ws.abort();
            QTest::qWait(300); // on loopback the cloud sees the drop at once
        }
        QCOMPARE(last().value("closed_code"), code);
    }

    void scriptReplacesRecognition() {
        QCOMPARE(cloud.post("/dev/voice/script",
                            {{"on_open", QJsonArray{QJsonObject{{"type", "ready"}}, "not json", 4800}},
                             {"on_stop", QJsonArray{QJsonObject{{"type", "tts.error"}}, "[1,2]", 1001}}}),
                 QJsonObject({{"ok", true}}));
        Socket voice(voiceUrl(token));
        QTRY_COMPARE(voice.frames.size(), qsizetype(3));
        QCOMPARE(voice.types(), QStringList({"ready", "not json", "binary"}));
        const QByteArray tone = voice.audio().at(0);
        QCOMPARE(tone.size(), qsizetype(4800));
        QVERIFY(std::abs(peakOf(tone) - 8000) < 200);
        QVERIFY(std::abs(signChanges(tone) - 88) <= 2); // 440 Hz over 100 ms at 24 kHz

        voice.sendAudio(speech("turn off the fan"));
        voice.send({{"type", "stop"}});
        QTRY_COMPARE(voice.frames.size(), qsizetype(6));
        QCOMPARE(voice.texts().mid(2), QStringList({R"({"type":"tts.error"})", "[1,2]"}));
        QCOMPARE(voice.audio().at(1).size(), qsizetype(1001));
        QTest::qWait(200);
        QCOMPARE(voice.frames.size(), qsizetype(6)); // nothing recognised, nothing answered
        QCOMPARE(statesOf(0).at(0).toBool(), true);

        voice.ws.close(QWebSocketProtocol::CloseCodeGoingAway);
        QTRY_COMPARE(last().value("closed_code").toInt(), 1001);
        QCOMPARE(last().value("frames_before_ready").toInt(), 0);
        QVERIFY(last().value("transcript").isNull());

        // The script is used once: the next session listens again.
        Socket next(voiceUrl(token));
        QTRY_VERIFY_WITH_TIMEOUT(next.has("ready"), 15000);
        next.send({{"type", "stop"}});
        QTRY_VERIFY(next.has("transcript.final"));
        QCOMPARE(next.frames.at(0).data, QByteArray(R"({"type":"ready"})"));
    }

    void scriptedFailuresAbortWithoutAHandshake_data() {
        QTest::addColumn<QString>("closeAfter");
        QTest::addColumn<QJsonArray>("onOpen");
        QTest::addColumn<QStringList>("received");
        QTest::addColumn<int>("beforeReady");
        QTest::newRow("after open") << "open" << QJsonArray{QJsonObject{{"type", "ready"}}}
                                    << QStringList{R"({"type":"ready"})"} << 0;
        QTest::newRow("after stop, never ready")
            << "stop" << QJsonArray{} << QStringList{R"({"type":"tts.start"})"} << 3;
    }
    void scriptedFailuresAbortWithoutAHandshake() {
        QFETCH(QString, closeAfter);
        QFETCH(QJsonArray, onOpen);
        QFETCH(QStringList, received);
        QFETCH(int, beforeReady);
        cloud.post("/dev/voice/script", {{"on_open", onOpen},
                                         {"on_stop", QJsonArray{QJsonObject{{"type", "tts.start"}}}},
                                         {"close_after", closeAfter}});
        Socket voice(voiceUrl(token));
        if (closeAfter == "stop") {
            QTRY_COMPARE(voice.ws.state(), QAbstractSocket::ConnectedState);
            for (int i = 0; i < beforeReady; ++i)
                voice.ws.sendBinaryMessage(QByteArray(clientChunk, '\0'));
            voice.send({{"type", "stop"}});
        }
        QTRY_COMPARE(voice.disconnects, 1);
        QCOMPARE(voice.texts(), received);
        QVERIFY(!voice.closeHandshake);
        const QJsonObject seen = last();
        QCOMPARE(seen.value("frames_before_ready").toInt(), beforeReady);
        QCOMPARE(seen.value("binary_frames").toInt(), beforeReady);
        QVERIFY(seen.value("closed_code").isNull());
    }

    void scriptIsChecked_data() {
        QTest::addColumn<QJsonObject>("script");
        QTest::newRow("frames not a list") << QJsonObject{{"on_open", "ready"}};
        QTest::newRow("a frame of another kind") << QJsonObject{{"on_stop", QJsonArray{true}}};
        QTest::newRow("a fractional byte count") << QJsonObject{{"on_open", QJsonArray{1.5}}};
        QTest::newRow("unknown moment") << QJsonObject{{"close_after", "later"}};
    }
    void scriptIsChecked() {
        QFETCH(QJsonObject, script);
        QVERIFY(cloud.post("/dev/voice/script", script).contains("error"));
        // Refused, so the next session is a real one.
        Socket voice(voiceUrl(token));
        QTRY_VERIFY_WITH_TIMEOUT(voice.has("ready"), 15000);
        QCOMPARE(voice.frames.size(), qsizetype(1));
    }

    void lastSessionBeforeAnyIsEmpty() {
        QCOMPARE(last(), QJsonObject({{"binary_frames", 0},
                                      {"binary_bytes", 0},
                                      {"frames_before_ready", 0},
                                      {"frames_after_stop", 0},
                                      {"texts", QJsonArray()},
                                      {"transcript", QJsonValue::Null},
                                      {"closed_code", QJsonValue::Null}}));
    }
};

QTEST_GUILESS_MAIN(VoiceStreamTest)
#include "tst_voicestream.moc"
