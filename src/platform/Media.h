#pragma once

#include "platform/Audio.h"
#include "platform/SpeechEngine.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QUrl>
#include <functional>
#include <memory>

class QIODevice;

namespace tavo {

// A music stream on the desktop's output.
class StreamPlayer {
public:
    virtual ~StreamPlayer() = default;
    // Runs on the owner's thread whenever the playing state or the stream's status changed.
    virtual void onChange(std::function<void()> changed) = 0;
    virtual void setSource(const QUrl& url) = 0; // empty: no item
    // A stream fetched by the caller; the player reads it until the next source.
    virtual void setSourceDevice(QIODevice* device, const QUrl& url) = 0;
    virtual bool hasItem() const = 0;
    virtual void play() = 0;
    virtual void pause() = 0;
    virtual bool isPlaying() const = 0; // sound is coming out, not loading or buffering
    virtual bool hasEnded() const = 0;  // played to its end, or the back end gave up on it
    virtual qint64 positionMs() const = 0;
    virtual void setOutputDevice(const QByteArray& id) = 0; // unknown: the default
    virtual QByteArray outputDevice() const = 0;
};

struct AudioDevice {
    QByteArray id;
    QString name;
};

// Everything that records, plays or speaks, and the image decoding that comes with music.
// It lives in a module of its own, loaded on first use, so a program that never makes a
// sound never maps the media libraries, the sound server's client or the speech engine.
class MediaModule {
public:
    virtual ~MediaModule() = default;
    virtual std::unique_ptr<AudioInput> microphone() = 0;
    virtual std::unique_ptr<AudioOutput> speaker() = 0;
    virtual std::unique_ptr<SpeechEngine> speech() = 0;
    virtual std::unique_ptr<StreamPlayer> streamPlayer() = 0;
    virtual QList<AudioDevice> audioOutputs() = 0;
    virtual QByteArray defaultAudioOutput() = 0;
    // The image in `bytes` saved as a PNG of at most `side` pixels a side at `file`; false
    // when it is not an image worth decoding. Safe on any thread.
    virtual bool saveCover(const QByteArray& bytes, int side, const QString& file) = 0;
};

// The module, loaded on the first call; nothing when it cannot be found or loaded (then
// nothing plays, records or speaks, and the log says why once).
MediaModule* media();

// The desktop's microphone and speakers: cheap stand-ins that load the module when first
// asked about sound. Without the module there is no microphone and no output.
std::unique_ptr<AudioInput> desktopMicrophone();
std::unique_ptr<AudioOutput> desktopSpeaker();

} // namespace tavo
