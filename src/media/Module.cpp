// The media module's entry: what the programs load on their first sound.

#include "media/QtAudio.h"
#include "media/QtSpeechEngine.h"
#include "media/QtStreamPlayer.h"

#include <QAudioDevice>
#include <QBuffer>
#include <QImage>
#include <QImageReader>
#include <QMediaDevices>

namespace tavo {

namespace {

class QtMediaModule final : public MediaModule {
public:
    std::unique_ptr<AudioInput> microphone() override { return std::make_unique<QtAudioInput>(); }
    std::unique_ptr<AudioOutput> speaker() override { return std::make_unique<QtAudioOutput>(); }
    std::unique_ptr<SpeechEngine> speech() override { return std::make_unique<QtSpeechEngine>(); }
    std::unique_ptr<StreamPlayer> streamPlayer() override { return std::make_unique<QtStreamPlayer>(); }

    QList<AudioDevice> audioOutputs() override {
        QList<AudioDevice> rows;
        for (const QAudioDevice& d : QMediaDevices::audioOutputs())
            rows.append({d.id(), d.description()});
        return rows;
    }

    QByteArray defaultAudioOutput() override { return QMediaDevices::defaultAudioOutput().id(); }

    // The dimensions are read before any pixel is, so a small file claiming a huge image
    // costs nothing.
    bool saveCover(const QByteArray& bytes, int side, const QString& file) override {
        QByteArray data = bytes;
        QBuffer buffer(&data);
        buffer.open(QIODevice::ReadOnly);
        QImageReader reader(&buffer);
        const QSize size = reader.size();
        if (size.isValid() && qint64(size.width()) * size.height() > qint64(4096) * 4096) return false;
        if (size.isValid() && (size.width() > side || size.height() > side))
            reader.setScaledSize(size.scaled(side, side, Qt::KeepAspectRatio));
        QImage image = reader.read();
        if (image.isNull()) return false;
        if (image.width() > side || image.height() > side)
            image = image.scaled(side, side, Qt::KeepAspectRatio, Qt::SmoothTransformation);
        return image.save(file, "PNG");
    }
};

} // namespace

} // namespace tavo

extern "C" Q_DECL_EXPORT tavo::MediaModule* tavo_media_module() {
    static tavo::QtMediaModule module;
    return &module;
}
