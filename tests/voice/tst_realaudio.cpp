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

using namespace tavo;
using State = VoiceService::State;

// Real sound on both ends: a PulseAudio virtual microphone captured by QtMultimedia, and
// espeak-ng speech recognised by the development cloud with the spoken answer played into a
// null sink whose monitor is recorded. (The window's voice overlay speaks into the same
// microphone in the screen tests.)
class RealAudioTest : public QObject {
    Q_OBJECT

    test::NullSink sound;
    test::DevCloud cloud{{"--otp-code", "123456"}};
    QTemporaryDir dir;

private slots:
    void initTestCase() {
        if (const QString missing =
                test::missingTool({"pulseaudio", "pactl", "paplay", "parec", "espeak-ng"});
            !missing.isEmpty())
            QSKIP(qPrintable(missing));
        QVERIFY(sound.start(true));
        QVERIFY(cloud.start());
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
        const qint64 id = cloud
                              .post("/dev/devices", {{"owner", phone},
                                                     {"name", "Den"},
                                                     {"relay_count", 2},
                                                     {"relay_names", QJsonObject{{"1", "Fan"}}}})
                              .value("device")["id"]
                              .toInteger();
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
        const QJsonArray boxes = cloud.get("/dev/state").value("boxes").toArray();
        QVERIFY(std::any_of(boxes.begin(), boxes.end(), [&](const QJsonValue& b) {
            return b["id"].toInteger() == id && b["states"][0].toBool();
        }));
        // The answer was heard: the sink's monitor carried sound, not silence.
        QVERIFY2(test::rms(played) > 0.01, qPrintable(QString::number(test::rms(played))));

        const auto [badCode, badOutput] = tavoctl({"voice", "--file", dir.filePath("missing.wav")});
        QCOMPARE(badCode, 1);
        QVERIFY(badOutput.isEmpty());
    }
};

QTEST_GUILESS_MAIN(RealAudioTest)
#include "tst_realaudio.moc"
