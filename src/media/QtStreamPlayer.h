#pragma once

#include "platform/Media.h"

#include <QObject>

class QAudioOutput;
class QMediaPlayer;

namespace tavo {

// A music stream through QMediaPlayer (GStreamer) on one of the desktop's outputs.
class QtStreamPlayer final : public QObject, public StreamPlayer {
    Q_OBJECT
public:
    QtStreamPlayer();
    ~QtStreamPlayer() override;

    void onChange(std::function<void()> changed) override { m_changed = std::move(changed); }
    void setSource(const QUrl& url) override;
    void setSourceDevice(QIODevice* device, const QUrl& url) override;
    bool hasItem() const override;
    void play() override;
    void pause() override;
    bool isPlaying() const override;
    bool hasEnded() const override;
    qint64 positionMs() const override;
    void setOutputDevice(const QByteArray& id) override;
    QByteArray outputDevice() const override;

private:
    QMediaPlayer* m_player;
    QAudioOutput* m_output;
    std::function<void()> m_changed;
};

} // namespace tavo
