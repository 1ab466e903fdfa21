#include "support/ChildProcess.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace tavo::test {

std::optional<QRegularExpressionMatch> startAndAwaitLine(QProcess& process, const QString& program,
                                                         const QStringList& args,
                                                         const QRegularExpression& ready, QString& log) {
    process.setProcessChannelMode(QProcess::SeparateChannels);
    process.start(program, args);
    if (!process.waitForStarted(5000)) return std::nullopt;
    QByteArray out;
    for (QDeadlineTimer deadline(10'000); !deadline.hasExpired();) {
        process.waitForReadyRead(100);
        out += process.readAllStandardOutput();
        log += QString::fromUtf8(process.readAllStandardError());
        if (auto m = ready.match(QString::fromUtf8(out)); m.hasMatch()) {
            QObject::connect(&process, &QProcess::readyReadStandardError, &process,
                             [&process, &log] { log += QString::fromUtf8(process.readAllStandardError()); });
            QObject::connect(&process, &QProcess::readyReadStandardOutput, &process,
                             [&process] { process.readAllStandardOutput(); });
            return m;
        }
        if (process.state() == QProcess::NotRunning) break;
    }
    qWarning("%s did not start: %s", qPrintable(program), qPrintable(log));
    return std::nullopt;
}

Run runProgram(const QString& program, const QStringList& args, const QProcessEnvironment& env, int timeoutMs,
               const QByteArray& input) {
    QProcess p;
    p.setProcessEnvironment(env);
    p.start(program, args);
    if (!input.isEmpty()) p.write(input);
    p.closeWriteChannel();
    if (!p.waitForFinished(timeoutMs)) p.kill();
    p.waitForFinished();
    return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1,
            QString::fromUtf8(p.readAllStandardOutput()), QString::fromUtf8(p.readAllStandardError())};
}

void stopProcess(QProcess& process, bool gently) {
    if (process.state() == QProcess::NotRunning) return;
    if (gently) process.terminate();
    if (!gently || !process.waitForFinished(3000)) process.kill();
    process.waitForFinished(5000);
}

bool writeExecutable(const QString& path, const QByteArray& script) {
    QFile file(path);
    return QDir().mkpath(QFileInfo(path).path()) && file.open(QIODevice::WriteOnly) &&
           file.write(script) == script.size() &&
           file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
}

} // namespace tavo::test
