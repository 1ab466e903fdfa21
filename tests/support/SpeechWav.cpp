#include "support/SpeechWav.h"

#include <QFile>
#include <QProcess>
#include <QtEndian>
#include <cmath>

namespace tavo::test {

QString espeakWav(const QString& text, const QString& path, const QStringList& espeakArgs) {
    QProcess espeak;
    espeak.setProcessChannelMode(QProcess::MergedChannels);
    espeak.start(QStringLiteral("espeak-ng"), QStringList(espeakArgs)
                                                  << QStringLiteral("-w") << path << text);
    if (!espeak.waitForStarted(5000))
        return QStringLiteral("espeak-ng cannot start: ") + espeak.errorString();
    if (!espeak.waitForFinished(30000)) {
        espeak.kill();
        espeak.waitForFinished(1000);
        return QStringLiteral("espeak-ng did not finish");
    }
    const QString output = QString::fromLocal8Bit(espeak.readAll()).trimmed();
    if (espeak.exitStatus() != QProcess::NormalExit || espeak.exitCode() != 0)
        return QStringLiteral("espeak-ng failed (%1): %2").arg(espeak.exitCode()).arg(output);
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
