#pragma once

#include "platform/NowPlaying.h"

#include <QDBusConnection>
#include <QElapsedTimer>
#include <QObject>
#include <QVariantMap>

namespace tavo {

// Now playing as an MPRIS2 player on the session bus (org.mpris.MediaPlayer2.tavo), which
// desktop shells, media keys and playerctl speak. Without a session bus it only remembers.
class MprisNowPlaying : public QObject, public NowPlayingCenter {
    Q_OBJECT
public:
    explicit MprisNowPlaying(QDBusConnection bus = QDBusConnection::sessionBus(), QObject* parent = nullptr);
    ~MprisNowPlaying() override;

    std::optional<NowPlayingInfo> current() const override { return m_info; }
    void set(const std::optional<NowPlayingInfo>& info) override;
    void setCanPlayStopped(bool can) override;
    bool canPlay() const { return m_info || m_canPlayStopped; }
    void setCommandHandler(std::function<void(RemoteCommand)> handler) override {
        m_handler = std::move(handler);
    }
    bool isPublished() const { return m_published; }

    // For the adaptors.
    QString playbackStatus() const;
    QVariantMap metadata() const;
    qint64 positionMicroseconds() const;
    void command(RemoteCommand c) {
        if (m_handler) m_handler(c);
    }

private:
    void propertiesChanged(const QVariantMap& changed);

    QDBusConnection m_bus;
    bool m_published = false;
    std::optional<NowPlayingInfo> m_info;
    bool m_canPlayStopped = false;
    quint64 m_track = 0;
    QElapsedTimer m_since; // since the last report, for a position that runs on between reports
    std::function<void(RemoteCommand)> m_handler;
};

} // namespace tavo
