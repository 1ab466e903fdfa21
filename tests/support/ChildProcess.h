#pragma once

#include <QProcess>
#include <QRegularExpression>
#include <optional>

namespace tavo::test {

// Starts a development peer and waits (up to 10 s) for the stdout line matching `ready`.
// Afterwards its output keeps being drained, stderr into `log`, so it never blocks on a full
// pipe. Nothing when it exits or stays silent first.
std::optional<QRegularExpressionMatch> startAndAwaitLine(QProcess& process, const QString& program,
                                                         const QStringList& args, const QRegularExpression& ready,
                                                         QString& log);

} // namespace tavo::test
