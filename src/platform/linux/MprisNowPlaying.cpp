#include "platform/linux/MprisNowPlaying.h"

#include "cloud/CloudConfig.h"

#include <QDBusAbstractAdaptor>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <cmath>

namespace tavo {

namespace {

const QString objectPath = QStringLiteral("/org/mpris/MediaPlayer2");

class RootAdaptor : public QDBusAbstractAdaptor {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.mpris.MediaPlayer2")
    Q_PROPERTY(bool CanQuit READ no)
    Q_PROPERTY(bool CanRaise READ no)
    Q_PROPERTY(bool HasTrackList READ no)
    Q_PROPERTY(QString Identity READ identity)
    Q_PROPERTY(QString DesktopEntry READ desktopEntry)
    Q_PROPERTY(QStringList SupportedUriSchemes READ schemes)
    Q_PROPERTY(QStringList SupportedMimeTypes READ mimeTypes)
public:
    explicit RootAdaptor(QObject* parent) : QDBusAbstractAdaptor(parent) {}
    bool no() const { return false; }
    QString identity() const { return QStringLiteral("Tavo"); }
    QString desktopEntry() const { return applicationID(); }
    QStringList schemes() const { return {QStringLiteral("http"), QStringLiteral("https")}; }
    QStringList mimeTypes() const {
        return {QStringLiteral("audio/mpeg"), QStringLiteral("audio/wav"), QStringLiteral("audio/ogg")};
    }
public slots:
    void Raise() {}
    void Quit() {}
};

class PlayerAdaptor : public QDBusAbstractAdaptor {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.mpris.MediaPlayer2.Player")
    Q_PROPERTY(QString PlaybackStatus READ playbackStatus)
    Q_PROPERTY(QVariantMap Metadata READ metadata)
    Q_PROPERTY(qint64 Position READ position)
    Q_PROPERTY(double Rate READ one)
    Q_PROPERTY(double MinimumRate READ one)
    Q_PROPERTY(double MaximumRate READ one)
    Q_PROPERTY(double Volume READ one)
    Q_PROPERTY(bool CanGoNext READ no)
    Q_PROPERTY(bool CanGoPrevious READ no)
    Q_PROPERTY(bool CanSeek READ no)
    Q_PROPERTY(bool CanPlay READ canPlay)
    Q_PROPERTY(bool CanPause READ hasTrack)
    Q_PROPERTY(bool CanControl READ yes)
public:
    PlayerAdaptor(QObject* parent, MprisNowPlaying& owner) : QDBusAbstractAdaptor(parent), m_owner(owner) {}
    QString playbackStatus() const { return m_owner.playbackStatus(); }
    QVariantMap metadata() const { return m_owner.metadata(); }
    qint64 position() const { return m_owner.positionMicroseconds(); }
    double one() const { return 1.0; }
    bool no() const { return false; }
    bool yes() const { return true; }
    bool hasTrack() const { return m_owner.current().has_value(); }
    bool canPlay() const { return m_owner.canPlay(); }
public slots:
    void Play() { m_owner.command(RemoteCommand::Play); }
    void Pause() { m_owner.command(RemoteCommand::Pause); }
    void PlayPause() { m_owner.command(RemoteCommand::TogglePlayPause); }
    void Stop() { m_owner.command(RemoteCommand::Stop); }
    void Next() {}
    void Previous() {}
    void Seek(qint64) {}
    void SetPosition(const QDBusObjectPath&, qint64) {}
    void OpenUri(const QString&) {}
signals:
    void Seeked(qint64 position);

private:
    MprisNowPlaying& m_owner;
};

} // namespace

MprisNowPlaying::MprisNowPlaying(QDBusConnection bus, QObject* parent)
    : QObject(parent), m_bus(std::move(bus)) {
    new RootAdaptor(this);
    new PlayerAdaptor(this, *this);
    if (!m_bus.isConnected()) return;
    m_published = m_bus.registerObject(objectPath, this) &&
                  m_bus.registerService(QStringLiteral("org.mpris.MediaPlayer2.tavo"));
}

MprisNowPlaying::~MprisNowPlaying() {
    if (m_published) {
        m_bus.unregisterService(QStringLiteral("org.mpris.MediaPlayer2.tavo"));
        m_bus.unregisterObject(objectPath);
    }
}

void MprisNowPlaying::set(const std::optional<NowPlayingInfo>& info) {
    const std::optional<NowPlayingInfo> before = m_info;
    const bool sameTrack = before && info && before->title == info->title && before->artist == info->artist &&
                           before->durationSec == info->durationSec;
    if (info && !sameTrack) ++m_track; // a new track gets a new id
    m_info = info;
    m_since.start();
    QVariantMap changed;
    if (!sameTrack || before->artworkURL != info->artworkURL)
        changed.insert(QStringLiteral("Metadata"), metadata());
    if (!before || !info || before->rate != info->rate)
        changed.insert(QStringLiteral("PlaybackStatus"), playbackStatus());
    changed.insert(QStringLiteral("CanPlay"), canPlay());
    changed.insert(QStringLiteral("CanPause"), m_info.has_value());
    propertiesChanged(changed);
}

void MprisNowPlaying::setCanPlayStopped(bool can) {
    if (m_canPlayStopped == can) return;
    m_canPlayStopped = can;
    propertiesChanged({{QStringLiteral("CanPlay"), canPlay()}});
}

QString MprisNowPlaying::playbackStatus() const {
    if (!m_info) return QStringLiteral("Stopped");
    return m_info->rate > 0 ? QStringLiteral("Playing") : QStringLiteral("Paused");
}

QVariantMap MprisNowPlaying::metadata() const {
    if (!m_info)
        return {{QStringLiteral("mpris:trackid"),
                 QVariant::fromValue(QDBusObjectPath("/org/mpris/MediaPlayer2/TrackList/NoTrack"))}};
    QVariantMap m{{QStringLiteral("mpris:trackid"),
                   QVariant::fromValue(QDBusObjectPath(QStringLiteral("/app/tavo/track/%1").arg(m_track)))},
                  {QStringLiteral("xesam:title"), m_info->title}};
    if (m_info->artist) m.insert(QStringLiteral("xesam:artist"), QStringList{*m_info->artist});
    if (m_info->durationSec)
        m.insert(QStringLiteral("mpris:length"), qint64(std::llround(*m_info->durationSec * 1e6)));
    if (!m_info->artworkURL.isEmpty()) m.insert(QStringLiteral("mpris:artUrl"), m_info->artworkURL);
    return m;
}

qint64 MprisNowPlaying::positionMicroseconds() const {
    if (!m_info) return 0;
    double seconds = m_info->elapsedSec + m_info->rate * double(m_since.elapsed()) / 1000.0;
    if (m_info->durationSec) seconds = std::min(seconds, *m_info->durationSec);
    return qint64(std::llround(seconds * 1e6));
}

void MprisNowPlaying::propertiesChanged(const QVariantMap& changed) {
    if (!m_published || changed.isEmpty()) return;
    QDBusMessage signal = QDBusMessage::createSignal(
        objectPath, QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("PropertiesChanged"));
    signal << QStringLiteral("org.mpris.MediaPlayer2.Player") << changed << QStringList();
    m_bus.send(signal);
}

} // namespace tavo

#include "MprisNowPlaying.moc"
