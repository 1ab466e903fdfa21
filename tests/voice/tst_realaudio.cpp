#include "media/QtAudio.h"
#include "support/ChildProcess.h"
#include "support/DataRows.h"
#include "support/DevCloud.h"
#include "support/SessionDaemons.h"
#include "support/SpeechWav.h"
#include "voice/VoiceService.h"

#include <QJsonArray>
#include <QTemporaryDir>
#include <QTest>
#include <QtEndian>
#include <cmath>

using namespace tavo;
using State = VoiceService::State;
using test::rms;

// A spoken request through the whole pipeline: espeak-ng speech played into a PulseAudio
// virtual microphone, captured by QtMultimedia, recognised by the development cloud, and the
// spoken answer played into a null sink whose monitor is recorded.
class RealAudioTest : public QObject {
    Q_OBJECT

    test::NullSink sound;
    test::DevCloud cloud{{"--otp-code", "123456"}};
    QTemporaryDir dir;

    // A box of `phone`'s with a relay named Fan, off.
    qint64 boxWithFan(const QString& phone) {
        return cloud
            .post("/dev/devices", {{"owner", phone},
                                   {"name", "Den"},
                                   {"relay_count", 2},
                                   {"relay_names", QJsonObject{{"1", "Fan"}}}})
            .value("device")["id"]
            .toInteger();
    }
    bool fanIsOn(qint64 id) {
        for (const QJsonValue& b : cloud.get("/dev/state").value("boxes").toArray())
            if (b["id"].toInteger() == id) return b["states"][0].toBool();
        return false;
    }

private slots:
    void initTestCase() {
        if (const QString missing =
                test::missingTool({"pulseaudio", "pactl", "paplay", "parec", "espeak-ng"});
            !missing.isEmpty())
            QSKIP(qPrintable(missing));
        QVERIFY(sound.start(true));
        QVERIFY(cloud.start());
    }

    void spokenRequestSwitchesRelay() {
        const QString phone = "+15550003333";
        const qint64 id = boxWithFan(phone);
        QVERIFY(id > 0);
        QVERIFY(!fanIsOn(id));
        const QString token = cloud.signIn(phone).value("session_token").toString();
        const QString wav = dir.filePath("request.wav");
        QCOMPARE(test::espeakWav("turn on the fan", wav), QString());

        auto input = std::make_unique<QtAudioInput>();
        QtAudioInput* mic = input.get();
        VoiceService voice([token] { return token; }, "ws://" + cloud.host(), std::move(input),
                           std::make_unique<QtAudioOutput>());
        QVERIFY(mic->available());
        voice.start();
        QCOMPARE(voice.state(), State::Listening);
        // Audio flows once the server is ready; then the user speaks and stops.
        QTRY_VERIFY_WITH_TIMEOUT(cloud.get("/dev/voice/last").value("binary_frames").toInt() > 0, 10'000);
        QVERIFY(sound.speakIntoMicrophone(wav));
        QTest::qWait(400); // the last of it reaches the tap
        QVERIFY(sound.startRecordingOutput());
        voice.stop();

        QTRY_COMPARE_WITH_TIMEOUT(voice.state(), State::Speaking, 15'000);
        QTRY_COMPARE_WITH_TIMEOUT(voice.state(), State::Idle, 15'000);
        const QByteArray played = sound.stopRecordingOutput();
        QVERIFY(!voice.errorText());
        QVERIFY2(voice.heard().contains("fan"), qPrintable(voice.heard()));
        QVERIFY(voice.heardIsFinal());
        QCOMPARE(voice.fired(), qint64(1));
        QVERIFY(!voice.spoken().isEmpty());
        QVERIFY(fanIsOn(id));
        // The answer was heard: the sink's monitor carried sound, not silence.
        QVERIFY2(played.size() > 16000, qPrintable(QString::number(played.size())));
        QVERIFY2(rms(played) > 0.01, qPrintable(QString::number(rms(played))));
    }

    // However the exchange fails, the microphone is closed: PulseAudio lists no recording
    // stream of ours afterwards.
    // "closeAfter" empty: the server falls silent.
    void failureClosesMicrophone_data() { TAVO_JSON_ROWS("mic-failures.json"); }
    void failureClosesMicrophone() {
        QFETCH(QJsonObject, row);
        const QString closeAfter = row["closeAfter"].toString();
        const bool userStops = row["userStops"].toBool();
        const auto recordings = [this] { return sound.clientStreams("source-outputs").join('\n'); };
        const QString token = cloud.signIn("+15550005555").value("session_token").toString();
        QJsonObject script{{"on_open", QJsonArray{QJsonObject{{"type", "ready"}}}},
                           {"on_stop", QJsonArray{}}};
        if (!closeAfter.isEmpty()) script.insert("close_after", closeAfter);
        cloud.post("/dev/voice/script", script);
        VoiceService voice([token] { return token; }, "ws://" + cloud.host(),
                           std::make_unique<QtAudioInput>(), std::make_unique<QtAudioOutput>());
        voice.setTimeouts(std::chrono::milliseconds(userStops ? 60'000 : 2000), std::chrono::minutes(2));
        voice.start();
        QTRY_VERIFY_WITH_TIMEOUT(!recordings().isEmpty(), 5000); // listening: the microphone is open
        if (userStops) {
            QTRY_VERIFY_WITH_TIMEOUT(cloud.get("/dev/voice/last").value("binary_frames").toInt() > 0, 10'000);
            voice.stop();
        }
        QTRY_COMPARE_WITH_TIMEOUT(voice.state(), State::Error, 10'000);
        QTRY_COMPARE_WITH_TIMEOUT(recordings(), QString(), 3000);
    }

    // The command line's exchange from a WAV file, as a user runs it.
    void tavoctlVoiceFromFile() {
        const QString phone = "+15550004444";
        const qint64 id = boxWithFan(phone);
        const QString wav = dir.filePath("ctl.wav");
        QCOMPARE(test::espeakWav("turn on the fan", wav), QString());
        QTemporaryDir home;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment(); // the sound server too
        env.insert("TAVO_CLOUD_HOST", cloud.host());
        env.insert("TAVO_CLOUD_TLS", "0");
        env.insert("XDG_CONFIG_HOME", home.path());
        env.remove("TAVO_MEDIA_DIR"); // the sound module found beside the program, as installed
        const auto tavoctl = [&](const QStringList& args) {
            const test::Run run = test::runProgram(TAVOCTL_PATH, args, env);
            return std::pair{run.code, run.out};
        };
        QCOMPARE(tavoctl({"login", phone, "--code", "123456"}).first, 0);
        QVERIFY(sound.startRecordingOutput());
        const auto [code, output] = tavoctl({"voice", "--file", wav});
        const QByteArray played = sound.stopRecordingOutput();
        QCOMPARE(code, 0);
        QVERIFY2(output.contains("You: turn on the fan\n"), qPrintable(output));
        QVERIFY2(output.contains("Tavo: Turned on Fan in Den."), qPrintable(output));
        QVERIFY(fanIsOn(id));
        QVERIFY2(rms(played) > 0.01, qPrintable(QString::number(rms(played))));

        const auto [badCode, badOutput] = tavoctl({"voice", "--file", dir.filePath("missing.wav")});
        QCOMPARE(badCode, 1);
        QVERIFY(badOutput.isEmpty());
    }
};

QTEST_GUILESS_MAIN(RealAudioTest)
#include "tst_realaudio.moc"
