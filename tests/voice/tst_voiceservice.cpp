#include "media/QtAudio.h"
#include "support/DataRows.h"
#include "support/DevCloud.h"
#include "support/SessionDaemons.h"
#include "support/SpeechWav.h"
#include "voice/VoiceService.h"
#include "voice/WavFile.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QTest>

using namespace tavo;
using test::tone;
using namespace std::chrono_literals;
using State = VoiceService::State;

Q_DECLARE_METATYPE(tavo::WavSound)

namespace {

QJsonArray frames(const char* json) {
    return QJsonDocument::fromJson(json).array();
}

// Scripted frames used by more than one test.
const char* const kEnd = "[{\"type\":\"tts.end\"}]";
const char* const kReady = "[{\"type\":\"ready\"}]";
const char* const kReadyHey = "[{\"type\":\"ready\"},{\"type\":\"transcript.partial\",\"text\":\"hey\"}]";
const char* const kCancel = "{\"type\":\"cancel\"}";

// Real playback, counting the completions asked for and those heard.
struct CountingOutput final : AudioOutput {
    QtAudioOutput real;
    int waiting = 0, played = 0;
    std::optional<QString> attach(const AudioFormat& format) override { return real.attach(format); }
    void schedule(std::vector<float> samples, std::function<void()> playedBack) override {
        if (!playedBack) return real.schedule(std::move(samples), {});
        ++waiting;
        real.schedule(std::move(samples), [this, playedBack] {
            --waiting, ++played;
            playedBack();
        });
    }
    bool isPlaying() const override { return real.isPlaying(); }
    void play() override { real.play(); }
    void stop() override { real.stop(); }
};

} // namespace

// The voice session against the development cloud's scripted voice socket, with real
// playback into a null sink and a WAV file as the microphone.
class VoiceServiceTest : public QObject {
    Q_OBJECT

    test::NullSink sound;
    test::DevCloud cloud;
    QString token;

    std::unique_ptr<VoiceService>
    service(WavSound mic = tone(), QString session = {},
            std::unique_ptr<AudioOutput> speaker = std::make_unique<QtAudioOutput>()) {
        auto input = std::make_unique<WavFileInput>(std::move(mic));
        WavFileInput* file = input.get();
        if (session.isNull()) session = token;
        auto s = std::make_unique<VoiceService>([session] { return session; }, "ws://" + cloud.host(),
                                                std::move(input), std::move(speaker));
        // The user stops speaking when the file ends.
        connect(file, &WavFileInput::finished, s.get(), &VoiceService::stop);
        return s;
    }
    void script(const QJsonArray& onOpen, const QJsonArray& onStop, const QString& closeAfter = {}) {
        QJsonObject body{{"on_open", onOpen}, {"on_stop", onStop}};
        if (!closeAfter.isEmpty()) body.insert("close_after", closeAfter);
        cloud.post("/dev/voice/script", body);
    }
    QJsonObject last() { return cloud.get("/dev/voice/last"); }

private slots:
    void initTestCase() {
        if (const QString missing = test::missingTool({"pulseaudio"}); !missing.isEmpty())
            QSKIP(qPrintable(missing));
        QVERIFY(sound.start());
        QVERIFY(cloud.start());
        token = cloud.signIn("+15550002222").value("session_token").toString();
        QVERIFY(!token.isEmpty());
    }

    // Scripted server frames against the state table (exchanges.json): the microphone plays
    // half a second, then the user stops. "fired" is text where a double cannot hold it; "error"
    // is "-" for none, "*" for any; "played": the
    // answer's audio was heard to its end before the exchange ended; "requestMs": a request
    // limit in place of the default.
    void exchange_data() { TAVO_JSON_ROWS("exchanges.json"); }
    void exchange() {
        QFETCH(QJsonObject, row);
        script(row["onOpen"].toArray(), row["onStop"].toArray(), row["closeAfter"].toString());
        auto counting = std::make_unique<CountingOutput>();
        CountingOutput* out = counting.get();
        auto voice = service(tone(), {}, std::move(counting));
        if (row.contains("requestMs"))
            voice->setTimeouts(std::chrono::milliseconds(row["requestMs"].toInt()), 120s);
        bool heardAtEnd = false;
        connect(voice.get(), &VoiceService::stateChanged, this, [&] {
            if (voice->state() == State::Idle) heardAtEnd = out->waiting == 0 && out->played > 0;
        });
        voice->start();
        QCOMPARE(voice->state(), State::Listening);
        const auto state =
            State(QMetaEnum::fromType<State>().keyToValue(qPrintable(row["state"].toString())));
        QTRY_COMPARE_WITH_TIMEOUT(voice->state(), state, 10'000);
        QTest::qWait(100); // nothing further arrives to change it
        QCOMPARE(voice->state(), state);
        QCOMPARE(voice->heard(), row["heard"].toString());
        QCOMPARE(voice->heardIsFinal(), row["heardIsFinal"].toBool());
        QCOMPARE(voice->spoken(), row["spoken"].toString());
        QCOMPARE(voice->fired(), row["fired"].toVariant().toLongLong());
        const QString error = row["error"].toString();
        if (error == "-")
            QVERIFY(!voice->errorText());
        else if (error == "*")
            QVERIFY(!voice->errorText().value_or("").isEmpty());
        else
            QCOMPARE(voice->errorText(), std::optional<QString>(error));
        if (row["played"].toBool()) QVERIFY(heardAtEnd);
    }

    // Captured audio flows only after "ready", as 16 kHz frames of one tap buffer each.
    void audioOnlyAfterReady() {
        script({}, {}); // the server never says "ready"
        auto voice = service(tone(48000, 1000));
        voice->start();
        QTRY_COMPARE_WITH_TIMEOUT(voice->state(), State::Thinking, 5000);
        QTest::qWait(200);
        QCOMPARE(last().value("binary_frames").toInt(), 0);
        voice->cancel();

        script(frames(kReady), frames(kEnd));
        voice->start();
        QTRY_COMPARE_WITH_TIMEOUT(voice->state(), State::Idle, 10'000);
        const QJsonObject got = last();
        // 48000 frames in 4096-frame taps: 11 full and one partial buffer.
        QVERIFY2(got.value("binary_frames").toInt() >= 10, qPrintable(QJsonDocument(got).toJson()));
        QVERIFY(got.value("binary_frames").toInt() <= 12);
        const int bytes = got.value("binary_bytes").toInt();
        QVERIFY2(bytes > 30000 && bytes <= 32000, qPrintable(QString::number(bytes))); // ≤ 1 s of 16 kHz s16
        QCOMPARE(got.value("frames_before_ready").toInt(), 0);
        QCOMPARE(got.value("frames_after_stop").toInt(), 0);
    }

    void startFailures_data() {
        QTest::addColumn<WavSound>("mic");
        QTest::addColumn<QString>("token");
        QTest::addColumn<QString>("error");
        QTest::newRow("no input rate") << tone(0) << token << "Audio setup failed: input sample rate is 0";
        for (const char* bad : {"", "a b#c"}) // none, or one that breaks the address
            QTest::newRow(*bad ? "token breaks the address" : "no token")
                << tone() << bad << "Not signed in.";
    }
    void startFailures() {
        QFETCH(WavSound, mic);
        QFETCH(QString, token);
        QFETCH(QString, error);
        const int opened = last().value("binary_frames").toInt();
        auto voice = service(mic, token.isEmpty() ? QString("") : token);
        voice->start();
        QCOMPARE(voice->state(), State::Error);
        QCOMPARE(voice->errorText(), std::optional<QString>(error));
        // stop() without a socket changes nothing; cancel() always idles.
        voice->stop();
        QCOMPARE(voice->state(), State::Error);
        voice->cancel();
        QCOMPARE(voice->state(), State::Idle);
        voice->cancel(); // twice is harmless
        QCOMPARE(voice->state(), State::Idle);
        QCOMPARE(voice->errorText(), std::optional<QString>(error)); // kept until the next start
        QCOMPARE(last().value("binary_frames").toInt(), opened);
    }

    // A second exchange wires the player again and is spoken too; start() while busy does
    // nothing; starting again from an error clears the old error at once.
    void restartsAfterErrorAndAgain() {
        auto ok = service();
        for (const char* answer : {"first", "second"}) {
            script(frames(kReadyHey),
                   QJsonArray{QJsonObject{{"type", "response"}, {"text", answer}},
                              QJsonObject{{"type", "tts.start"}}, 2400, QJsonObject{{"type", "tts.end"}}});
            ok->start();
            QTRY_COMPARE(ok->heard(), QString("hey"));
            ok->start(); // busy: ignored
            QCOMPARE(ok->heard(), QString("hey"));
            QTRY_COMPARE_WITH_TIMEOUT(ok->state(), State::Speaking, 5000);
            QTRY_COMPARE_WITH_TIMEOUT(ok->state(), State::Idle, 5000);
            QCOMPARE(ok->spoken(), QString(answer));
            QTRY_COMPARE(last().value("closed_code").toInt(), 1001); // going away
        }
        script(frames("[{\"type\":\"transcript.partial\",\"text\":\"hey\"},"
                      "{\"type\":\"error\",\"error\":\"Recognizer unavailable\"}]"),
               {});
        ok->start();
        QTRY_COMPARE_WITH_TIMEOUT(ok->state(), State::Error, 5000);
        QCOMPARE(ok->heard(), QString("hey"));
        script(frames(kReady), {});
        ok->start();
        QVERIFY(!ok->errorText());
        QCOMPARE(ok->heard(), QString());
        ok->cancel();
    }

    // A cancelled exchange tells the server, and a failure the closing socket reports
    // afterwards is not shown.
    void cancelClosesQuietly() {
        script(frames(kReady), {});
        auto voice = service(tone(16000, 3000));
        voice->start();
        QTRY_VERIFY_WITH_TIMEOUT(last().value("binary_frames").toInt() > 0, 5000);
        voice->cancel();
        QCOMPARE(voice->state(), State::Idle);
        QTRY_VERIFY(last().value("texts").toArray().contains(QString(kCancel)));
        QTest::qWait(200);
        QCOMPARE(voice->state(), State::Idle);
        QVERIFY(!voice->errorText());
    }
};

QTEST_GUILESS_MAIN(VoiceServiceTest)
#include "tst_voiceservice.moc"
