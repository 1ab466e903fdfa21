#include "support/SpeechWav.h"
#include "support/ChildProcess.h"

#include <QFile>
#include <QtEndian>
#include <cmath>

namespace tavo::test {

QString espeakWav(const QString& text, const QString& path, const QStringList& espeakArgs) {
    const Run espeak =
        runProgram(QStringLiteral("espeak-ng"), QStringList(espeakArgs) << "-w" << path << text,
                   QProcessEnvironment::systemEnvironment(), 30'000);
    if (espeak.code != 0)
        return QStringLiteral("espeak-ng failed (%1): %2").arg(espeak.code).arg(espeak.err.trimmed());
    if (QFile(path).size() <= 44) return QStringLiteral("espeak-ng wrote no audio to ") + path;
    return {};
}

WavSound tone(int rate, int ms) {
    AudioFormat f;
    f.setSampleRate(rate);
    f.setChannelCount(1);
    f.setSampleFormat(AudioFormat::Int16);
    const int frames = rate * ms / 1000;
    QByteArray data(frames * 2, '\0');
    for (int i = 0; i < frames; ++i)
        qToLittleEndian<qint16>(qint16(3000 * std::sin(2 * M_PI * 300.0 * i / std::max(rate, 1))),
                                data.data() + 2 * i);
    return {f, data};
}

double rms(const QByteArray& s16) {
    double sum = 0;
    const qsizetype n = s16.size() / 2;
    for (qsizetype i = 0; i < n; ++i) {
        const double v = qFromLittleEndian<qint16>(s16.constData() + 2 * i) / 32768.0;
        sum += v * v;
    }
    return n ? std::sqrt(sum / double(n)) : 0;
}

} // namespace tavo::test
