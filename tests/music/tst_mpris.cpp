// Music the assistant starts, seen and driven by a real MPRIS client (playerctl) on a private
// session bus, playing the development cloud's track into a PulseAudio null sink.
#include "music/MusicPlayer.h"
#include "platform/linux/MprisNowPlaying.h"
#include "support/DataRows.h"
#include "support/LoopbackPeer.h"
#include "support/SessionDaemons.h"
#include "support/StoreFixture.h"

#include <QBuffer>
#include <QImage>
#include <QTcpSocket>
#include <QTimer>
#include <QtTest>

using namespace tavo;
using namespace tavo::test;

namespace {

QByteArray png(const QImage& image) {
    QByteArray out;
    QBuffer buffer(&out);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return out;
}

QImage filled(int side, QImage::Format format = QImage::Format_RGB32) {
    QImage image(side, side, format);
    image.fill(Qt::darkCyan);
    return image;
}

// A picture server, good and bad: small covers at /cover/N.png, one followed by 6 MiB at
// /huge.png, one sent a byte every 100 ms at /slow.png, 3000 px at /wide.png, 25 megapixels
// (a small file) at /giant.png. Notes "asked PATH", "sent PATH" and "closed PATH".
LoopbackPeer::Handler pictures() {
    const QByteArray small = png(filled(64)), wide = png(filled(3000)),
                     giant = png(filled(5000, QImage::Format_Mono));
    return [=](QTcpSocket* socket, LoopbackPeer& peer) {
        QObject::connect(socket, &QTcpSocket::readyRead, socket, [=, &peer] {
            const QByteArray seen = socket->peek(socket->bytesAvailable());
            if (!seen.contains("\r\n\r\n")) return;
            socket->readAll();
            const QString path = QString::fromLatin1(seen.split(' ').value(1));
            peer.note("asked " + path);
            QObject::connect(socket, &QTcpSocket::disconnected, socket,
                             [&peer, path] { peer.note("closed " + path); });
            QByteArray body = path == "/wide.png" ? wide : path == "/giant.png" ? giant : small;
            if (path == "/huge.png") body += QByteArray(6 * 1024 * 1024, '\0');
            const QByteArray head = "HTTP/1.1 200 OK\r\nContent-Type: image/png\r\nContent-Length: " +
                                    QByteArray::number(body.size()) + "\r\n\r\n";
            if (path != "/slow.png") {
                socket->write(head + body);
                peer.note("sent " + path);
                return;
            }
            socket->write(head);
            auto* drip = new QTimer(socket);
            QObject::connect(drip, &QTimer::timeout, socket, [socket, body, at = qsizetype(0)]() mutable {
                if (at < body.size()) socket->write(body.mid(at++, 1));
            });
            drip->start(100);
        });
    };
}

} // namespace

class MprisTest : public QObject {
    Q_OBJECT
    DevCloud cloud{{"--seed", "demo"}};
    PrivateBus bus;
    NullSink sink;
    StoreFixture fx;
    std::unique_ptr<MusicPlayer> player;
    QTemporaryDir cache;
    std::unique_ptr<LoopbackPeer> peer;

    TavoMusicTrack trackWithCover(const QString& path) {
        const QString base = QStringLiteral("http://%1").arg(peer->host());
        return {"Cover test", std::nullopt, base + "/stream", base + path, std::nullopt, std::nullopt};
    }
    QString artwork() const {
        const std::optional<NowPlayingInfo> info = player->nowPlaying().current();
        return info ? info->artworkURL : QString();
    }

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
    // What the desktop and the player say, for a wait that ran out.
    QString playback() {
        return QStringLiteral("desktop: %1 at %2; player: %3 %4")
            .arg(playerctl({"status"}), playerctl({"position"}))
            .arg(player->isPlaying() ? "playing" : "not playing", player->hasEnded() ? "(ended)" : "");
    }

private slots:
    void initTestCase() {
        if (const QString missing = missingTool({"dbus-daemon", "pulseaudio", "playerctl"});
            !missing.isEmpty())
            QSKIP(qPrintable(missing));
        qputenv("XDG_CACHE_HOME", cache.path().toUtf8()); // the covers land here
        QVERIFY(cloud.start());
        QVERIFY(bus.start());
        QVERIFY(sink.start());
        peer = std::make_unique<LoopbackPeer>(pictures());
        player = std::make_unique<MusicPlayer>(
            std::make_unique<MprisNowPlaying>(bus.connect("tavo-under-test")), &fx.clock);
        fx.music = player.get();
        fx.makeSignedIn(cloud, "+919876543210");
    }

    // The assistant's "play" starts the cloud's track; the desktop sees title, artist, length
    // and, once downloaded and decoded, the cover.
    void chatStartsATrackTheDesktopSees() {
        store().sendChat("play some jazz");
        QTRY_VERIFY_WITH_TIMEOUT(store().musicPlaying(), 15'000);
        QTRY_COMPARE_WITH_TIMEOUT(playerctl({"status"}), "Playing", 20'000);
        const QString format = "{{xesam:title}}|{{xesam:artist}}|{{mpris:length}}";
        QCOMPARE(playerctl({"metadata", "--format", format}), "Jazz|Tavo Dev Radio|20000000");

        QString art;
        QTRY_VERIFY_WITH_TIMEOUT(
            !(art = playerctl({"metadata", "mpris:artUrl"})).isEmpty() && art.startsWith("file://"), 10'000);
        const QImage cover(QUrl(art).toLocalFile());
        QCOMPARE(cover.size(), QSize(256, 256));
        // The position runs on. GStreamer's clock under AddressSanitizer on a loaded machine has
        // taken 20 s to start moving after "Playing".
        QTRY_VERIFY2_WITH_TIMEOUT(playerctl({"position"}).toDouble() > 0.2, qPrintable(playback()), 60'000);
    }

    void playPauseFromTheDesktop() {
        QVERIFY(store().musicPlaying());
        playerctl({"play-pause"});
        QTRY_VERIFY(!store().musicPlaying());
        QTRY_COMPARE_WITH_TIMEOUT(playerctl({"status"}), "Paused", 20'000);
        const double paused = playerctl({"position"}).toDouble();
        QTest::qWait(400);
        QCOMPARE(playerctl({"position"}).toDouble(), paused); // a paused track stands still
        playerctl({"play-pause"});
        QTRY_VERIFY(store().musicPlaying());
        QTRY_COMPARE_WITH_TIMEOUT(playerctl({"status"}), "Playing", 20'000);
    }

    // The desktop's stop ends the sound but leaves the track in the store, as the bar keeps it;
    // the bar's play button, or the desktop's, then plays it again from the start.
    void remoteStopKeepsTheTrack_data() {
        QTest::addColumn<QString>("playedBy");
        QTest::newRow("the bar") << "bar";
        QTest::newRow("the desktop") << "desktop";
    }
    void remoteStopKeepsTheTrack() {
        QFETCH(QString, playedBy);
        QTRY_VERIFY2_WITH_TIMEOUT(playerctl({"position"}).toDouble() > 0.5, qPrintable(playback()), 60'000);
        const double before = playerctl({"position"}).toDouble();
        playerctl({"stop"});
        QTRY_VERIFY(!store().musicPlaying());
        QVERIFY(!player->hasItem());
        QVERIFY(store().music());
        QCOMPARE(playerctl({"status"}), "Stopped");
        QVERIFY(!player->nowPlaying().current()); // nothing left on show

        if (playedBy == "bar")
            store().toggleMusic(); // what its play button does
        else
            playerctl({"play"});
        QTRY_VERIFY_WITH_TIMEOUT(store().musicPlaying(), 15'000);
        QTRY_COMPARE_WITH_TIMEOUT(playerctl({"status"}), "Playing", 20'000);
        QCOMPARE(playerctl({"metadata", "xesam:title"}), "Jazz");
        QVERIFY(playerctl({"position"}).toDouble() < before); // from the start
    }

    // The app's own stop clears the track too; chat can start another afterwards.
    void stopThenANewTrack() {
        store().stopMusic();
        QVERIFY(!store().music());
        QVERIFY(!store().musicPlaying());
        store().sendChat("play rain sounds");
        QTRY_VERIFY_WITH_TIMEOUT(store().musicPlaying(), 15'000);
        QTRY_COMPARE_WITH_TIMEOUT(playerctl({"metadata", "xesam:title"}), "Rain Sounds", 20'000);
        store().sendChat("stop the music");
        QTRY_VERIFY(!store().music());
        QTRY_COMPARE_WITH_TIMEOUT(playerctl({"status"}), "Stopped", 20'000);
        store().toggleMusic(); // nothing to play again after the app's own stop
        QTest::qWait(300);
        QVERIFY(!player->hasItem());
    }

    // Covers within limits: one too large or too slow ends its download and shows none, one
    // too large to decode is not decoded, a big one is kept small.
    // "side" of the cover on show; 0 = none.
    void coverLimits_data() { TAVO_JSON_ROWS("mpris-covers.json"); }
    void coverLimits() {
        QFETCH(QJsonObject, row);
        const QString path = row["path"].toString();
        const int side = row["side"].toInt();
        player->play(trackWithCover(path), {});
        if (side > 0) {
            QTRY_VERIFY_WITH_TIMEOUT(!artwork().isEmpty(), 10'000);
            QCOMPARE(QImage(QUrl(artwork()).toLocalFile()).size(), QSize(side, side));
            return;
        }
        if (path == "/slow.png") {
            QTRY_VERIFY(peer->notes().contains("asked " + path));
            fx.clock.advance(std::chrono::seconds(10));
            QTRY_VERIFY(peer->notes().contains("closed " + path)); // we hung up
        } else {
            QTRY_VERIFY(peer->notes().contains("sent " + path));
            QTest::qWait(1000); // time to fetch and decode, had it been taken
        }
        QVERIFY(artwork().isEmpty());
    }

    // The cache keeps the latest 50 covers.
    void coverCacheStaysBounded() {
        for (int i = 0; i < 55; ++i) {
            player->play(trackWithCover(QStringLiteral("/cover/%1.png").arg(100 + i)), {});
            QTRY_VERIFY(!artwork().isEmpty());
        }
        QCOMPARE(QDir(MusicPlayer::coverCacheDir()).entryList({"*.png"}, QDir::Files).size(),
                 MusicPlayer::cachedCovers);
        QVERIFY(QFile::exists(QUrl(artwork()).toLocalFile()));
        player->stop();
    }
};

QTEST_MAIN(MprisTest)
#include "tst_mpris.moc"
