#include "support/BoxSim.h"

#include "support/ChildProcess.h"
#include "support/DevCloud.h"

#include <QRegularExpression>

namespace tavo::test {

bool BoxSim::start() {
    stop();
    m_process = std::make_unique<QProcess>();
    QStringList command = m_prefix;
    command << QStringLiteral(TAVO_BOXSIM_PATH) << m_args;
    static const QRegularExpression listening(QStringLiteral("listening on (http://[^\\s]+):(\\d+)"));
    const QString program = command.takeFirst();
    const auto m = startAndAwaitLine(*m_process, program, command, listening, m_log);
    if (!m) return false;
    m_port = m->captured(2).toInt();
    m_base = m->captured(1) + QLatin1Char(':') + m->captured(2);
    return true;
}

void BoxSim::stop() {
    if (m_process) stopProcess(*m_process); // gently: it takes its DNS-SD announcement down
    m_process.reset();
}

QJsonObject BoxSim::sim() const {
    QNetworkAccessManager nam;
    return fetchJson(nam, "GET", QUrl(m_base + QStringLiteral("/api/_sim")));
}

} // namespace tavo::test
