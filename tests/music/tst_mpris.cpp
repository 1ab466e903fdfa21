// Music the assistant starts, seen and driven by a real MPRIS client (playerctl) on a private
// session bus, playing the development cloud's track into a PulseAudio null sink.
#include "music/MusicPlayer.h"
#include "platform/linux/MprisNowPlaying.h"
#include "support/SessionDaemons.h"
#include "support/StoreFixture.h"

#include <QImage>
#include <QtTest>

using namespace tavo;
using namespace tavo::test;

class MprisTest : public QObject {
    Q_OBJECT
    DevCloud cloud{{"--seed", "demo"}};
    PrivateBus bus;
    NullSink sink;
    std::unique_ptr<MusicPlayer> player;
    StoreFixture fx;

    QString playerctl(const QStringList& args) {
        QProcess p;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("DBUS_SESSION_BUS_ADDRESS", bus.address());
        p.setProcessEnvironment(env);
        p.start("playerctl", QStringList{"-p", "tavo"} + args);
        // Our own player answers it, so the event loop must keep running meanwhile. A loaded
        // machine (two test processes, GStreamer starting up) can take seconds.
        QDeadlineTimer deadline(15'000);
        while (!p.waitForFinished(5)) {
            if (deadline.hasExpired()) return "(playerctl hung)";
            QCoreApplication::processEvents();
        }
        return QString::fromUtf8(p.readAllStandardOutput() + p.readAllStandardError()).trimmed();
    }
    TavoStore& store() { return *fx.store; }

private slots:
    void initTestCase() {
        if (const QString missing = missingTool({"dbus-daemon", "pulseaudio", "playerctl"}); !missing.isEmpty())
            QSKIP(qPrintable(missing));
        QVERIFY(cloud.start());
        QVERIFY(bus.start());
        QVERIFY(sink.start());
        player = std::make_unique<MusicPlayer>(std::make_unique<MprisNowPlaying>(bus.connect("tavo-under-test")));
        fx.music = player.get();
        fx.makeSignedIn(cloud, "+919876543210");
    }

    // The assistant's "play" starts the cloud's track; the desktop sees title, artist, length
    // and, once downloaded and decoded, the cover.
    void chatStartsATrackTheDesktopSees() {
        store().sendChat("play some jazz");
        QTRY_VERIFY_WITH_TIMEOUT(store().musicPlaying(), 15'000);
        QVERIFY(store().music());
        QCOMPARE(store().music()->title, "Jazz");
        QTRY_COMPARE_WITH_TIMEOUT(playerctl({"status"}), "Playing", 20'000);
        const QString format = "{{xesam:title}}|{{xesam:artist}}|{{mpris:length}}";
        QCOMPARE(playerctl({"metadata", "--format", format}), "Jazz|Tavo Dev Radio|20000000");

        QString art;
        QTRY_VERIFY_WITH_TIMEOUT(!(art = playerctl({"metadata", "mpris:artUrl"})).isEmpty() &&
                                     art.startsWith("file://"), 10'000);
        const QImage cover(QUrl(art).toLocalFile());
        QCOMPARE(cover.size(), QSize(256, 256));
        QTRY_VERIFY(playerctl({"position"}).toDouble() > 0.2); // the position runs on
    }

    void playPauseFromTheDesktop() {
        QVERIFY(store().musicPlaying());
        playerctl({"play-pause"});
        QTRY_VERIFY(!store().musicPlaying());
        QTRY_COMPARE(playerctl({"status"}), "Paused");
        const double paused = playerctl({"position"}).toDouble();
        QTest::qWait(400);
        QCOMPARE(playerctl({"position"}).toDouble(), paused); // a paused track stands still
        playerctl({"play-pause"});
        QTRY_VERIFY(store().musicPlaying());
        QTRY_COMPARE_WITH_TIMEOUT(playerctl({"status"}), "Playing", 20'000);
    }

    // The desktop's stop ends the sound but leaves the track in the store, as the bar keeps it.
    void remoteStopKeepsTheTrack() {
        playerctl({"stop"});
        QTRY_VERIFY(!store().musicPlaying());
        QVERIFY(!player->hasItem());
        QVERIFY(store().music());
        QCOMPARE(playerctl({"status"}), "Stopped");
        QVERIFY(!player->nowPlaying().current()); // nothing left on show
    }

    // The app's own stop clears the track too; chat can start another afterwards.
    void stopThenANewTrack() {
        store().stopMusic();
        QVERIFY(!store().music());
        QVERIFY(!store().musicPlaying());
        store().sendChat("play rain sounds");
        QTRY_VERIFY_WITH_TIMEOUT(store().musicPlaying(), 15'000);
        QTRY_COMPARE(playerctl({"metadata", "xesam:title"}), "Rain Sounds");
        store().sendChat("stop the music");
        QTRY_VERIFY(!store().music());
        QTRY_COMPARE(playerctl({"status"}), "Stopped");
    }
};

QTEST_MAIN(MprisTest)
#include "tst_mpris.moc"
