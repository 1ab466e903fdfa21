#include "music/MusicPlayer.h"

#include "cloud/Tls.h"
#include "platform/Media.h"
#include "platform/linux/MprisNowPlaying.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFutureWatcher>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QStandardPaths>
#include <QTimer>
#include <QtConcurrent>
#include <cmath>

namespace tavo {

MusicPlayer::MusicPlayer(std::unique_ptr<NowPlayingCenter> center, Clock* clock, QObject* parent)
    : QObject(parent), m_center(std::move(center)), m_clock(clock) {
    if (m_center) takeCommands();
}

MusicPlayer::MusicPlayer(Inert, QObject* parent) : QObject(parent) {}

MusicPlayer::~MusicPlayer() = default;

void MusicPlayer::takeCommands() const {
    m_center->setCommandHandler([self = QPointer(const_cast<MusicPlayer*>(this))](RemoteCommand c) {
        if (self) self->remote(c);
    });
}

// The desktop hears of a player once there is music: it lists every one it is told of.
NowPlayingCenter& MusicPlayer::nowPlaying() const {
    if (!m_center) {
        m_center = std::make_unique<MprisNowPlaying>();
        takeCommands();
    }
    return *m_center;
}

// The media back end (GStreamer, the sound server, the device list) is slow to start and
// large; it comes with the first track. Without the media module nothing plays.
StreamPlayer* MusicPlayer::backend() {
    if (m_player) return m_player.get();
    MediaModule* module = media();
    if (!module) return nullptr;
    m_player = module->streamPlayer();
    m_network = new QNetworkAccessManager(this);
    m_player->onChange([this] { statusChanged(); });
    return m_player.get();
}

bool MusicPlayer::isPlaying() const {
    return m_player && m_player->isPlaying();
}

bool MusicPlayer::hasItem() const {
    return m_player && m_player->hasItem();
}

bool MusicPlayer::hasEnded() const {
    return m_player && m_player->hasEnded();
}

void MusicPlayer::play(const TavoMusicTrack& track, std::function<void(bool)> onPlayingChanged) {
    m_onPlayingChanged = std::move(onPlayingChanged);
    m_track.reset();
    const QUrl url(track.streamURL, QUrl::StrictMode);
    if (!url.isValid() || url.scheme().isEmpty()) return;
    StreamPlayer* player = backend();
    if (!player) return;
    m_track = track;
    setStream(url);
    player->play();
    publishNowPlaying(track);
}

void MusicPlayer::play() {
    if (!m_player) return; // nothing was ever played
    // After the desktop's stop there is no item left to resume: the track starts over.
    if (!hasItem() && m_track) {
        setStream(QUrl(m_track->streamURL, QUrl::StrictMode));
        m_player->play();
        publishNowPlaying(*m_track);
        return;
    }
    m_player->play();
}

void MusicPlayer::toggle() {
    if (isPlaying())
        m_player->pause();
    else
        play();
}

void MusicPlayer::stop() {
    m_track.reset(); // the app's own stop: the track goes from the store as well
    stopPlayback();
}

void MusicPlayer::stopPlayback() {
    if (m_player) {
        m_player->pause();
        setStream(QUrl());
    }
    ++m_generation;
    if (m_center) {
        m_center->set(std::nullopt);
        m_center->setCanPlayStopped(m_track.has_value());
    }
    if (m_onPlayingChanged) m_onPlayingChanged(false);
}

// The media back end fetches a stream over TLS of its own, which knows only the system's CAs;
// with CAs of our own added, an https stream comes through our network stack instead.
void MusicPlayer::setStream(const QUrl& url) {
    QPointer<QNetworkReply> previous = std::exchange(m_stream, nullptr);
    if (url.scheme() == u"https" && extraCAsTrusted()) {
        m_stream = m_network->get(QNetworkRequest(url));
        m_player->setSourceDevice(m_stream, url);
    } else {
        m_player->setSource(url);
    }
    if (previous) { // the player has let go of it
        previous->abort();
        previous->deleteLater();
    }
}

void MusicPlayer::remote(RemoteCommand c) {
    switch (c) {
    case RemoteCommand::Play:
        play();
        break;
    case RemoteCommand::Pause:
        if (m_player) m_player->pause();
        break;
    case RemoteCommand::TogglePlayPause:
        toggle();
        break;
    case RemoteCommand::Stop:
        stopPlayback();
        break; // the track stays in the store, and can be played again
    }
}

void MusicPlayer::statusChanged() {
    if (m_onPlayingChanged) m_onPlayingChanged(isPlaying());
    refreshNowPlayingPlaybackInfo();
}

void MusicPlayer::publishNowPlaying(const TavoMusicTrack& track) {
    NowPlayingInfo info;
    info.title = track.title;
    info.artist = track.artist;
    if (track.durationMs) info.durationSec = double(*track.durationMs) / 1000.0;
    info.elapsedSec = 0.0;
    info.rate = 1.0;
    const quint64 generation = ++m_generation;
    nowPlaying().set(info);

    if (!track.thumbnailURL) return;
    const QUrl art(*track.thumbnailURL, QUrl::StrictMode);
    if (!art.isValid() || art.scheme().isEmpty()) return;
    fetchCover(art, generation);
}

QString MusicPlayer::coverCacheDir() {
    return QStandardPaths::writableLocation(QStandardPaths::CacheLocation) + QStringLiteral("/covers");
}

namespace {

QCoro::Task<> abortWhenLate(Clock* clock, std::chrono::milliseconds limit, CancelToken finished,
                            QPointer<QNetworkReply> reply) {
    co_await clock->sleep(limit, finished);
    if (!finished.isCancelled() && reply) reply->abort();
}

// On a pool thread: the cover as a small PNG in the cache, or "" when it is not an image
// worth decoding.
QString decodeCover(const QByteArray& bytes, const QString& name) {
    const QString dir = MusicPlayer::coverCacheDir();
    QDir().mkpath(dir);
    QString file = dir + u'/' + name + QStringLiteral(".png");
    if (!media()->saveCover(bytes, MusicPlayer::coverSide, file)) return {};
    // The newest few stay; a long listening session does not fill the disk.
    const QFileInfoList covers = QDir(dir).entryInfoList({QStringLiteral("*.png")}, QDir::Files, QDir::Time);
    for (qsizetype i = MusicPlayer::cachedCovers; i < covers.size(); ++i)
        if (covers[i].absoluteFilePath() != file) QFile::remove(covers[i].absoluteFilePath());
    return file;
}

} // namespace

void MusicPlayer::fetchCover(const QUrl& art, quint64 generation) {
    QNetworkReply* reply = m_network->get(QNetworkRequest(art));
    // Too big, or too slow in all (a trickle never trips an idle time-out): no cover.
    connect(reply, &QNetworkReply::downloadProgress, reply, [reply](qint64 received, qint64 total) {
        if (received > maxCoverBytes || total > maxCoverBytes) reply->abort();
    });
    const CancelToken finished;
    if (m_clock)
        abortWhenLate(m_clock, coverLimit, finished, reply);
    else
        QTimer::singleShot(coverLimit, reply, &QNetworkReply::abort);
    connect(reply, &QNetworkReply::finished, this, [this, reply, generation, art, finished] {
        finished.cancel();
        reply->deleteLater();
        if (reply->error() != QNetworkReply::NoError) return;
        // Decoding a large cover is slow; it runs on a pool thread and lands back here.
        const QByteArray bytes = reply->readAll();
        if (bytes.size() > maxCoverBytes) return; // arrived whole before it could be cut off
        auto* watcher = new QFutureWatcher<QString>(this);
        connect(watcher, &QFutureWatcher<QString>::finished, this, [this, watcher, generation] {
            watcher->deleteLater();
            const QString file = watcher->result();
            std::optional<NowPlayingInfo> merged = nowPlaying().current();
            // Stopped or replaced meanwhile: this cover belongs to nothing on show.
            if (file.isEmpty() || !merged || generation != m_generation) return;
            merged->artworkURL = QUrl::fromLocalFile(file).toString();
            nowPlaying().set(merged);
        });
        // One file per cover URL: desktops cache artwork by its URL.
        const QString name = QString::fromLatin1(
            QCryptographicHash::hash(art.toEncoded(), QCryptographicHash::Sha1).toHex().left(16));
        watcher->setFuture(QtConcurrent::run([bytes, name] { return decodeCover(bytes, name); }));
    });
}

void MusicPlayer::refreshNowPlayingPlaybackInfo() {
    // Nothing published (before the first track, after a stop): nothing to refresh; an
    // empty entry would show the desktop a player without a track.
    std::optional<NowPlayingInfo> info = nowPlaying().current();
    if (!info) return;
    info->rate = isPlaying() ? 1.0 : 0.0;
    if (hasItem()) {
        const double seconds = double(m_player->positionMs()) / 1000.0;
        if (std::isfinite(seconds)) info->elapsedSec = seconds;
    }
    nowPlaying().set(info);
}

void MusicPlayer::setOutputDevice(const QByteArray& id) {
    if (StreamPlayer* player = backend()) player->setOutputDevice(id);
}

QByteArray MusicPlayer::outputDevice() const {
    if (m_player) return m_player->outputDevice();
    MediaModule* module = media();
    return module ? module->defaultAudioOutput() : QByteArray();
}

} // namespace tavo
