#include "support/SpeechWav.h"

#include <QFile>
#include <QProcess>

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

} // namespace tavo::test
