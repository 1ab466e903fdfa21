#include "support/SpeechWav.h"
#include "voice/AudioConvert.h"
#include "voice/WavFile.h"

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
QByteArray le16(quint16 v) {
    return le(v);
}
QByteArray le32(quint32 v) {
    return le(v);
}
QByteArray chunk(const char* id, const QByteArray& body) {
    QByteArray c = QByteArray(id, 4) + le32(quint32(body.size())) + body;
    if (body.size() % 2) c += '\0';
    return c;
}
QByteArray fmtBody(quint16 tag, quint16 channels, quint32 rate, quint16 bits) {
    const quint16 block = quint16(channels * bits / 8);
    return le16(tag) + le16(channels) + le32(rate) + le32(rate * block) + le16(block) + le16(bits);
}
QByteArray riff(const QByteArray& chunks) {
    return "RIFF" + le32(quint32(4 + chunks.size())) + "WAVE" + chunks;
}

} // namespace

class ConversionTest : public QObject {
    Q_OBJECT

private slots:
    // Each tap buffer becomes one wire payload of the rate-converted length, in any input
    // format, and the sound survives the trip (downmix and scaling included).
    void convertsTapBuffers_data() {
        QTest::addColumn<AudioFormat>("input");
        QTest::newRow("48 kHz mono s16") << format(48000, 1, AudioFormat::Int16);
        QTest::newRow("44.1 kHz stereo s16") << format(44100, 2, AudioFormat::Int16);
        QTest::newRow("48 kHz stereo float") << format(48000, 2, AudioFormat::Float);
        QTest::newRow("32 kHz mono s32") << format(32000, 1, AudioFormat::Int32);
        QTest::newRow("16 kHz mono u8") << format(16000, 1, AudioFormat::UInt8);
    }
    void convertsTapBuffers() {
        QFETCH(AudioFormat, input);
        auto converter = CaptureConverter::create(input);
        QVERIFY(converter);
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

    void refusesWhatItCannotConvert() {
        QVERIFY(!CaptureConverter::create(format(0, 1, AudioFormat::Int16)));
        QVERIFY(!CaptureConverter::create(format(48000, 1, AudioFormat::Unknown)));
        auto converter = CaptureConverter::create(format(48000, 1, AudioFormat::Int16));
        QVERIFY(converter);
        // A buffer in another format than the one it was made for is dropped, not misread.
        QVERIFY(converter->convert(sine(format(44100, 2, AudioFormat::Int16), 4096)).isEmpty());
        QVERIFY(converter->convert({format(48000, 1, AudioFormat::Int16), {}}).isEmpty());
    }

    void speechFrames_data() {
        QTest::addColumn<QByteArray>("frame");
        QTest::addColumn<QList<float>>("samples");
        QTest::newRow("one byte is nothing") << QByteArray(1, '\x7F') << QList<float>{};
        QTest::newRow("extremes") << QByteArray::fromHex("0080ff7f0000")
                                  << QList<float>{-1.0f, 32767.0f / 32768.0f, 0.0f};
        QTest::newRow("odd trailing byte ignored") << QByteArray::fromHex("0040ff") << QList<float>{0.5f};
        QTest::newRow("little endian") << QByteArray::fromHex("00c0") << QList<float>{-0.5f};
    }
    void speechFrames() {
        QFETCH(QByteArray, frame);
        QFETCH(QList<float>, samples);
        const std::vector<float> got = speechSamples(frame);
        QCOMPARE(QList<float>(got.begin(), got.end()), samples);
    }

    void wavFiles_data() {
        const QByteArray pcm = QByteArray::fromHex("01000200030004000500");
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QString>("error");
        QTest::addColumn<int>("rate");
        QTest::addColumn<int>("channels");
        QTest::addColumn<QByteArray>("data");
        QTest::newRow("plain") << riff(chunk("fmt ", fmtBody(1, 1, 22050, 16)) + chunk("data", pcm)) << ""
                               << 22050 << 1 << pcm;
        QTest::newRow("odd chunk before data")
            << riff(chunk("fmt ", fmtBody(1, 1, 16000, 16)) + chunk("LIST", "abc") + chunk("data", pcm)) << ""
            << 16000 << 1 << pcm;
        QTest::newRow("extensible float stereo")
            << riff(chunk("fmt ", fmtBody(0xFFFE, 2, 48000, 32) + le16(22) + le16(32) + le32(3) + le16(3) +
                                      QByteArray(14, '\0')) +
                    chunk("data", QByteArray(16, '\0')))
            << "" << 48000 << 2 << QByteArray(16, '\0');
        QTest::newRow("partial last frame trimmed")
            << riff(chunk("fmt ", fmtBody(1, 2, 8000, 16)) + chunk("data", pcm)) << "" << 8000 << 2
            << pcm.left(8);
        QTest::newRow("data cut short")
            << riff(chunk("fmt ", fmtBody(1, 1, 8000, 16))) + "data" + le32(1000) + pcm << "" << 8000 << 1
            << pcm;
        QTest::newRow("rate of zero is kept")
            << riff(chunk("fmt ", fmtBody(1, 1, 0, 16)) + chunk("data", pcm)) << "" << 0 << 1 << pcm;
        QTest::newRow("not a WAV") << QByteArray("hello world, not audio") << "not a WAV file" << 0 << 0
                                   << QByteArray();
        QTest::newRow("24-bit") << riff(chunk("fmt ", fmtBody(1, 1, 8000, 24)) + chunk("data", pcm))
                                << "unsupported WAV sample format" << 0 << 0 << QByteArray();
        QTest::newRow("data first") << riff(chunk("data", pcm) + chunk("fmt ", fmtBody(1, 1, 8000, 16)))
                                    << "WAV data before its format" << 0 << 0 << QByteArray();
        QTest::newRow("no data") << riff(chunk("fmt ", fmtBody(1, 1, 8000, 16)))
                                 << "WAV file has no sound data" << 0 << 0 << QByteArray();
        QTest::newRow("short fmt") << riff(chunk("fmt ", "abcd")) << "WAV format chunk is too short" << 0 << 0
                                   << QByteArray();
    }
    void wavFiles() {
        QFETCH(QByteArray, file);
        QFETCH(QString, error);
        QFETCH(int, rate);
        QFETCH(int, channels);
        QFETCH(QByteArray, data);
        const auto parsed = parseWav(file);
        if (!error.isEmpty()) {
            QCOMPARE(std::get<QString>(parsed), error);
            return;
        }
        QVERIFY(std::holds_alternative<WavSound>(parsed));
        const WavSound& sound = std::get<WavSound>(parsed);
        QCOMPARE(sound.format.sampleRate(), rate);
        QCOMPARE(sound.format.channelCount(), channels);
        QCOMPARE(sound.data, data);
    }
};

QTEST_GUILESS_MAIN(ConversionTest)
#include "tst_conversion.moc"
