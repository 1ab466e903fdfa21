#include "support/DataRows.h"
#include "support/SpeechWav.h"
#include "voice/AudioConvert.h"
#include "voice/WavFile.h"

#include <QJsonArray>
#include <QTest>
#include <QtEndian>
#include <cmath>

using namespace tavo;
using test::rms;

namespace {

AudioFormat format(int rate, int channels, AudioFormat::SampleFormat sample) {
    AudioFormat f;
    f.setSampleRate(rate);
    f.setChannelCount(channels);
    f.setSampleFormat(sample);
    return f;
}

// `frames` frames of a 440 Hz sine at half scale, the same on every channel, starting at
// frame `offset` so consecutive buffers join up.
AudioBuffer sine(const AudioFormat& f, int frames, int offset = 0) {
    QByteArray data(qsizetype(frames) * f.bytesPerFrame(), '\0');
    char* p = data.data();
    for (int i = 0; i < frames; ++i) {
        const double v = 0.5 * std::sin(2 * M_PI * 440.0 * (offset + i) / f.sampleRate());
        for (int c = 0; c < f.channelCount(); ++c, p += f.bytesPerSample()) {
            switch (f.sampleFormat()) {
            case AudioFormat::Int16:
                qToLittleEndian<qint16>(qint16(v * 32767), p);
                break;
            case AudioFormat::Int32:
                qToLittleEndian<qint32>(qint32(v * 2147483647.0), p);
                break;
            case AudioFormat::Float:
                qToLittleEndian<float>(float(v), p);
                break;
            case AudioFormat::UInt8:
                *reinterpret_cast<quint8*>(p) = quint8(128 + v * 127);
                break;
            default:
                break;
            }
        }
    }
    return {f, data};
}

template <typename T> QByteArray le(T v) {
    QByteArray b(sizeof(T), '\0');
    qToLittleEndian(v, b.data());
    return b;
}
QByteArray chunk(const QString& id, const QByteArray& body) {
    QByteArray c = id.toLatin1() + le<quint32>(body.size()) + body;
    if (body.size() % 2) c += '\0';
    return c;
}
// A file as a row builds it: "text" as it is, or a RIFF/WAVE file of "chunks", each [id, hex
// body] or, for a format chunk, [id, tag, channels, rate, bits, hex extension]; then "tail"
// (hex) after the RIFF's declared end.
QByteArray wavOf(const QJsonObject& row) {
    if (row.contains("text")) return row["text"].toString().toUtf8();
    QByteArray chunks;
    for (const QJsonValue& c : row["chunks"].toArray()) {
        const QJsonArray a = c.toArray();
        QByteArray body = QByteArray::fromHex(a.last().toString().toLatin1());
        if (a.size() == 6) {
            const quint16 channels = a[2].toInt(), bits = a[4].toInt(), block = channels * bits / 8;
            const quint32 rate = a[3].toInt();
            body = le<quint16>(a[1].toInt()) + le(channels) + le(rate) + le(rate * block) + le(block) +
                   le(bits) + body;
        }
        chunks += chunk(a[0].toString(), body);
    }
    return "RIFF" + le<quint32>(4 + chunks.size()) + "WAVE" + chunks +
           QByteArray::fromHex(row["tail"].toString().toLatin1());
}

} // namespace

class ConversionTest : public QObject {
    Q_OBJECT

private slots:
    // Each tap buffer becomes one wire payload of the rate-converted length, in any input
    // format, and the sound survives the trip (downmix and scaling included); a format it
    // cannot convert is refused.
    void convertsTapBuffers_data() { TAVO_JSON_ROWS("tap-formats.json"); }
    void convertsTapBuffers() {
        QFETCH(QJsonObject, row);
        const auto sample =
            QStringList{"Unknown", "UInt8", "Int16", "Int32", "Float"}.indexOf(row["sample"].toString());
        const AudioFormat input =
            format(row["rate"].toInt(), row["channels"].toInt(), AudioFormat::SampleFormat(sample));
        auto converter = CaptureConverter::create(input);
        QCOMPARE(bool(converter), !row["refused"].toBool());
        if (!converter) return;
        // A buffer in another format than the one it was made for is dropped, not misread.
        const AudioFormat other = format(input.sampleRate(), input.channelCount() + 1, input.sampleFormat());
        QVERIFY(converter->convert(sine(other, 4096)).isEmpty());
        QVERIFY(converter->convert({input, {}}).isEmpty());
        const double exact = 4096.0 * 16000 / input.sampleRate();
        qsizetype total = 0;
        QByteArray last;
        constexpr int buffers = 12;
        for (int b = 0; b < buffers; ++b) {
            last = converter->convert(sine(input, 4096, b * 4096));
            QCOMPARE(last.size() % 2, 0);
            QVERIFY(last.size() / 2 <= captureCapacity(4096, input.sampleRate()));
            total += last.size() / 2;
        }
        // The resampler works in blocks of its own, so single payloads vary; over the run it
        // holds back only its filter delay, never whole buffers (nor loses what a buffer sized
        // without its headroom would cut off).
        QVERIFY2(total <= qsizetype(buffers * exact) + 1, qPrintable(QString::number(total)));
        QVERIFY2(total >= qsizetype(buffers * exact) - 600, qPrintable(QString::number(total)));
        // A half-scale sine has an RMS of 0.5/√2 ≈ 0.354.
        QVERIFY2(std::abs(rms(last) - 0.354) < 0.02, qPrintable(QString::number(rms(last))));
    }

    void speechFrames_data() { TAVO_JSON_ROWS("speech-frames.json"); }
    void speechFrames() {
        QFETCH(QJsonObject, row);
        const std::vector<float> got = speechSamples(QByteArray::fromHex(row["frame"].toString().toLatin1()));
        QList<float> samples;
        for (const QJsonValue& v : row["samples"].toArray())
            samples << float(v.toDouble());
        QCOMPARE(QList<float>(got.begin(), got.end()), samples);
    }

    void wavFiles_data() { TAVO_JSON_ROWS("wav-files.json"); }
    void wavFiles() {
        QFETCH(QJsonObject, row);
        const auto parsed = parseWav(wavOf(row));
        if (const QString error = row["error"].toString(); !error.isEmpty()) {
            QCOMPARE(std::get<QString>(parsed), error);
            return;
        }
        QVERIFY(std::holds_alternative<WavSound>(parsed));
        const WavSound& sound = std::get<WavSound>(parsed);
        QCOMPARE(sound.format.sampleRate(), row["rate"].toInt());
        QCOMPARE(sound.format.channelCount(), row["channels"].toInt());
        QCOMPARE(sound.data, QByteArray::fromHex(row["data"].toString().toLatin1()));
    }
};

QTEST_GUILESS_MAIN(ConversionTest)
#include "tst_conversion.moc"
