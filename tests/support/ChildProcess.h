#pragma once

#include <QProcess>
#include <QRegularExpression>
#include <optional>

namespace tavo::test {

// Starts a development peer and waits (up to 10 s) for the stdout line matching `ready`.
// Afterwards its output keeps being drained, stderr into `log`, so it never blocks on a full
// pipe. Nothing when it exits or stays silent first.
std::optional<QRegularExpressionMatch> startAndAwaitLine(QProcess& process, const QString& program,
                                                         const QStringList& args,
                                                         const QRegularExpression& ready, QString& log);

// A program run to its end (killed after `timeoutMs`): exit code (-1 when it crashed or was
// killed) and what it wrote.
struct Run {
    int code = -1;
    QString out, err;
};
Run runProgram(const QString& program, const QStringList& args,
               const QProcessEnvironment& env = QProcessEnvironment::systemEnvironment(),
               int timeoutMs = 60'000, const QByteArray& input = {});

// Ends `process` if it runs: SIGTERM, and SIGKILL if it is still there after 3 s (at once when
// not `gently`).
void stopProcess(QProcess& process, bool gently = true);

// Writes `script` as a program only its owner may run, making its folder; false on failure.
bool writeExecutable(const QString& path, const QByteArray& script);

} // namespace tavo::test
