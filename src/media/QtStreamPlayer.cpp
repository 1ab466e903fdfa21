#include "media/QtStreamPlayer.h"

#include "core/Logging.h"

#include <QAudioDevice>
#include <QAudioOutput>
#include <QMediaDevices>
#include <QMediaPlayer>

namespace tavo {

QtStreamPlayer::QtStreamPlayer() : m_player(new QMediaPlayer(this)), m_output(new QAudioOutput(this)) {
    m_player->setAudioOutput(m_output);
    // The back end may report from its own threads; the owner hears of it on ours.
    const auto changed = [this] {
        if (m_changed) m_changed();
    };
    connect(m_player, &QMediaPlayer::playbackStateChanged, this, changed, Qt::QueuedConnection);
    connect(m_player, &QMediaPlayer::mediaStatusChanged, this, changed, Qt::QueuedConnection);
    // The bar only stops; why a stream would not play is for the log.
    connect(m_player, &QMediaPlayer::errorOccurred, this, [](QMediaPlayer::Error, const QString& why) {
        qCWarning(lcMusic) << "the stream does not play:" << why;
    });
}

QtStreamPlayer::~QtStreamPlayer() = default;

void QtStreamPlayer::setSource(const QUrl& url) {
    m_player->setSource(url);
}

void QtStreamPlayer::setSourceDevice(QIODevice* device, const QUrl& url) {
    m_player->setSourceDevice(device, url);
}

bool QtStreamPlayer::hasItem() const {
    return !m_player->source().isEmpty();
}

void QtStreamPlayer::play() {
    m_player->play();
}

void QtStreamPlayer::pause() {
    m_player->pause();
}

// Playing means sound is coming out: a player that is still loading or buffering waits.
bool QtStreamPlayer::isPlaying() const {
    if (m_player->playbackState() != QMediaPlayer::PlayingState) return false;
    const QMediaPlayer::MediaStatus s = m_player->mediaStatus();
    return s == QMediaPlayer::LoadedMedia || s == QMediaPlayer::BufferedMedia;
}

bool QtStreamPlayer::hasEnded() const {
    const QMediaPlayer::MediaStatus s = m_player->mediaStatus();
    return s == QMediaPlayer::EndOfMedia || s == QMediaPlayer::InvalidMedia;
}

qint64 QtStreamPlayer::positionMs() const {
    return m_player->position();
}

void QtStreamPlayer::setOutputDevice(const QByteArray& id) {
    const QList<QAudioDevice> outputs = QMediaDevices::audioOutputs();
    const auto it =
        std::find_if(outputs.cbegin(), outputs.cend(), [&](const QAudioDevice& d) { return d.id() == id; });
    m_output->setDevice(it != outputs.cend() ? *it : QMediaDevices::defaultAudioOutput());
}

QByteArray QtStreamPlayer::outputDevice() const {
    return m_output->device().id();
}

} // namespace tavo
