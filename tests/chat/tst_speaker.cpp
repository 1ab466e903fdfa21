// Reply speech: the length rule in user-perceived characters, interruption and the utterance
// asked of the synthesizer, then the desktop's real engine when speech-dispatcher is there.
#include "chat/ChatSpeaker.h"
#include "fakes/RecordingSpeechEngine.h"
#include "media/QtSpeechEngine.h"
#include "support/DataRows.h"
#include "support/SessionDaemons.h"

#include <QLocalServer>
#include <QTemporaryDir>
#include <QTextToSpeech>
#include <QtTest>

using namespace tavo;
using namespace tavo::test;

class SpeakerTest : public QObject {
    Q_OBJECT
private slots:
    // Replies up to 280 user-perceived characters are read out: "unit" repeated "times", then "tail".
    void lengthRule_data() { TAVO_JSON_ROWS("speaker-lengths.json"); }
    void lengthRule() {
        QFETCH(QJsonObject, row);
        const QString text = row["unit"].toString().repeated(row["times"].toInt()) + row["tail"].toString();
        const bool spoken = row["spoken"].toBool();
        auto log = std::make_shared<RecordingSpeechEngine::Log>();
        ChatSpeaker speaker(std::make_unique<RecordingSpeechEngine>(log));
        speaker.speak(text);
        QCOMPARE(log->utterances.size(), spoken ? 1 : 0);
        if (spoken) QCOMPARE(log->utterances.first().text, text);
    }

    void newerReplyCutsTheOlderOff() {
        auto log = std::make_shared<RecordingSpeechEngine::Log>();
        ChatSpeaker speaker(std::make_unique<RecordingSpeechEngine>(log));
        speaker.speak("Turned on Fan.");
        QVERIFY(speaker.isSpeaking());
        speaker.speak("Turned off Fan.");
        log->speaking = false; // the second finished
        speaker.speak("Turned on Lamp.");
        QCOMPARE(log->calls, (QStringList{"speak:Turned on Fan.", "stop", "speak:Turned off Fan.",
                                          "speak:Turned on Lamp."}));
        // A reply too long to read still leaves what is being said alone.
        speaker.speak(QString(300, u'x'));
        QCOMPARE(log->calls.size(), 4);
        // What the synthesizer is asked for each reply.
        const Utterance u = log->utterances.value(0);
        QCOMPARE(u.rateMultiplier, 1.05);
        QCOMPARE(u.pitchMultiplier, 1.0);
        QCOMPARE(u.volume, 0.95);
        QCOMPARE(u.voicePreference, (QStringList{"en-US", "en-GB", "en-IN"}));
    }

    // The reply's English voice among those the engine offers (en-US, en-GB, en-IN preferred).
    void pickVoice_data() { TAVO_JSON_ROWS("speaker-voices.json"); }
    void pickVoice() {
        QFETCH(QJsonObject, row);
        QCOMPARE(tavo::pickVoice({"en-US", "en-GB", "en-IN"}, row["available"].toVariant().toStringList()),
                 row["chosen"].toString());
    }

    // A rate multiplier as the speech engine's rate, -1 to 1.
    void rateMapping_data() { TAVO_JSON_ROWS("speaker-rates.json"); }
    void rateMapping() {
        QFETCH(QJsonObject, row);
        const double rate = QtSpeechEngine::rateFor(row["multiplier"].toDouble());
        QVERIFY2(qAbs(rate - row["rate"].toDouble()) < 1e-9, qPrintable(QString::number(rate)));
    }

    // The desktop's engine lists an English voice and really sounds: the synthesizer shows up
    // as a stream on the null sink, and speaking ends by itself.
    void realEngine() {
        if (const QString missing = missingTool({"speech-dispatcher", "pulseaudio", "pactl"});
            !missing.isEmpty())
            QSKIP(qPrintable(missing));
        NullSink sink;
        QVERIFY(sink.start());
        qputenv("XDG_RUNTIME_DIR", sink.runtimeDir().toUtf8()); // speech-dispatcher's socket goes here

        {
            QTextToSpeech tts;
            QVERIFY(tts.state() != QTextToSpeech::Error);
            QStringList languages;
            for (const QLocale& l : tts.availableLocales())
                languages << l.bcp47Name();
            QVERIFY2(!tavo::pickVoice({"en-US", "en-GB", "en-IN"}, languages).isEmpty(),
                     qPrintable(languages.join(',')));
        }

        QtSpeechEngine engine;
        engine.speak({"Turned on the fan in the living room.", 1.05, 1.0, 0.95, {"en-US", "en-GB", "en-IN"}});
        QVERIFY(engine.isSpeaking());
        const auto streams = [&] { return sink.clientStreams("sink-inputs"); };
        QTRY_VERIFY_WITH_TIMEOUT(!streams().isEmpty(), 20'000);
        QTRY_VERIFY_WITH_TIMEOUT(!engine.isSpeaking(), 20'000);

        // Interrupting: a stop silences it at once.
        engine.speak({"This sentence is long enough to be cut off before it ends, which is the point.", 1.0,
                      1.0, 1.0, QStringList{"en-US"}});
        QTRY_VERIFY_WITH_TIMEOUT(!streams().isEmpty(), 20'000);
        engine.stop();
        QTRY_VERIFY_WITH_TIMEOUT(!engine.isSpeaking(), 3000);
        QTest::qWait(500);
        QVERIFY(!engine.isSpeaking()); // and stays silent: no late report revives it
    }

    // Where nothing can be heard, speaking still ends soon after the utterance's length (not
    // after tavoctl's 60 s cap), and the engine goes away without aborting the process.
    void speechThatCannotPlay_data() {
        QTest::addColumn<bool>("answering"); // false: a speech-dispatcher socket that never answers
        QTest::newRow("no sound server") << true;
        QTest::newRow("speech service not answering") << false;
    }
    void speechThatCannotPlay() {
        QFETCH(bool, answering);
        if (const QString missing = missingTool({"speech-dispatcher"}); !missing.isEmpty())
            QSKIP(qPrintable(missing));
        QTemporaryDir runtime; // no PulseAudio socket in it
        const QByteArray oldRuntime = qgetenv("XDG_RUNTIME_DIR"), oldAddress = qgetenv("SPEECHD_ADDRESS");
        qputenv("XDG_RUNTIME_DIR", runtime.path().toUtf8());
        // Kept open to the end of the process: the engine's thread stays blocked on it, as it does
        // on a real dispatcher that hangs. (Closing it would fail the engine's half-made
        // connection, which Qt's speech-dispatcher plugin does not survive.)
        static QLocalServer* silent = new QLocalServer;
        if (answering) {
            qunsetenv("SPEECHD_ADDRESS"); // speech-dispatcher starts itself, then finds no sound
        } else {
            QVERIFY(silent->listen(runtime.filePath("silent.sock")));
            qputenv("SPEECHD_ADDRESS", "unix_socket:" + runtime.filePath("silent.sock").toUtf8());
        }
        const QString text = "Turned on the fan.";
        {
            QtSpeechEngine engine;
            engine.speak({text, 1.05, 1.0, 0.95, {"en-US"}});
            QVERIFY(engine.isSpeaking());
            // Bounded by the start-up allowance and the utterance, far below the 60 s cap.
            QTRY_VERIFY_WITH_TIMEOUT(!engine.isSpeaking(),
                                     6000 + int(QtSpeechEngine::expectedMs(text, 1.05)) + 4000);
            engine.speak({text, 1.05, 1.0, 0.95, {"en-US"}}); // and quitting right after a reply
        }
        qputenv("XDG_RUNTIME_DIR", oldRuntime);
        if (oldAddress.isEmpty())
            qunsetenv("SPEECHD_ADDRESS");
        else
            qputenv("SPEECHD_ADDRESS", oldAddress);
    }
};

QTEST_GUILESS_MAIN(SpeakerTest)
#include "tst_speaker.moc"
