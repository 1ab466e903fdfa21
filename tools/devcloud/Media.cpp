#include "Media.h"

#include <QBuffer>
#include <QImage>
#include <QPainter>
#include <QtEndian>
#include <cmath>
#include <numbers>

namespace tavo::devcloud {
namespace {

// A soft A-major chord with a slow swell: long enough to test pause and stop, small enough to stay cheap.
QByteArray toneWav() {
    constexpr int rate = 22050;
    constexpr int frames = rate * toneSeconds;
    constexpr double notes[] = {220.0, 277.18, 329.63};
    QByteArray pcm(frames * 2, Qt::Uninitialized);
    auto* out = reinterpret_cast<uchar*>(pcm.data());
    for (int i = 0; i < frames; ++i) {
        const double t = double(i) / rate;
        double v = 0;
        for (double f : notes)
            v += std::sin(2 * std::numbers::pi * f * t);
        const double swell = 0.6 + 0.4 * std::sin(2 * std::numbers::pi * 0.25 * t);
        qToLittleEndian<qint16>(qint16(v / 3 * swell * 9000), out + 2 * i);
    }
    QByteArray wav;
    auto u32 = [&wav](quint32 x) {
        char b[4];
        qToLittleEndian(x, b);
        wav.append(b, 4);
    };
    auto u16 = [&wav](quint16 x) {
        char b[2];
        qToLittleEndian(x, b);
        wav.append(b, 2);
    };
    wav.append("RIFF");
    u32(36 + pcm.size());
    wav.append("WAVEfmt ");
    u32(16);
    u16(1); // PCM
    u16(1); // mono
    u32(rate);
    u32(rate * 2); // bytes per second
    u16(2);        // block align
    u16(16);       // bits per sample
    wav.append("data");
    u32(pcm.size());
    wav.append(pcm);
    return wav;
}

QByteArray coverPng() {
    QImage image(256, 256, QImage::Format_RGB32);
    QPainter p(&image);
    QLinearGradient g(0, 0, 256, 256);
    g.setColorAt(0, QColor(0x1f, 0x3a, 0x5f));
    g.setColorAt(1, QColor(0xe0, 0x8e, 0x45));
    p.fillRect(image.rect(), g);
    p.setRenderHint(QPainter::Antialiasing);
    p.setBrush(QColor(255, 255, 255, 200));
    p.setPen(Qt::NoPen);
    p.drawEllipse(QPointF(128, 128), 56, 56);
    p.setBrush(QColor(0x1f, 0x3a, 0x5f));
    p.drawEllipse(QPointF(128, 128), 12, 12);
    p.end();
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return png;
}

} // namespace

std::optional<MediaFile> mediaFile(const QString& name) {
    if (name == QLatin1String("tone.wav")) {
        static const QByteArray wav = toneWav();
        return MediaFile{wav, "audio/wav"};
    }
    if (name == QLatin1String("cover.png")) {
        static const QByteArray png = coverPng();
        return MediaFile{png, "image/png"};
    }
    return std::nullopt;
}

} // namespace tavo::devcloud
