#include "support/BoxSim.h"

#include <QDeadlineTimer>
#include <QEventLoop>
#include <QJsonDocument>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QRegularExpression>

namespace tavo::test {

bool BoxSim::start() {
    stop();
    m_process = std::make_unique<QProcess>();
    QStringList command = m_prefix;
    command << QStringLiteral(TAVO_BOXSIM_PATH) << m_args;
    m_process->start(command.takeFirst(), command);
    if (!m_process->waitForStarted(5000)) return false;
    static const QRegularExpression listening(QStringLiteral("listening on (http://[^\\s]+):(\\d+)"));
    QByteArray out;
    for (QDeadlineTimer deadline(10'000); !deadline.hasExpired();) {
        m_process->waitForReadyRead(100);
        out += m_process->readAllStandardOutput();
        m_log += QString::fromUtf8(m_process->readAllStandardError());
        if (auto m = listening.match(QString::fromUtf8(out)); m.hasMatch()) {
            m_port = m.captured(2).toInt();
            m_base = m.captured(1) + QLatin1Char(':') + m.captured(2);
            QObject::connect(m_process.get(), &QProcess::readyReadStandardError, m_process.get(),
                             [this] { m_log += QString::fromUtf8(m_process->readAllStandardError()); });
            QObject::connect(m_process.get(), &QProcess::readyReadStandardOutput, m_process.get(),
                             [this] { m_process->readAllStandardOutput(); });
            return true;
        }
        if (m_process->state() == QProcess::NotRunning) break;
    }
    qWarning("tavo-boxsim did not start: %s", qPrintable(m_log));
    return false;
}

void BoxSim::stop() {
    if (!m_process) return;
    if (m_process->state() != QProcess::NotRunning) {
        m_process->terminate(); // lets it take its DNS-SD announcement down
        if (!m_process->waitForFinished(3000)) {
            m_process->kill();
            m_process->waitForFinished(3000);
        }
    }
    m_process.reset();
}

QJsonObject BoxSim::sim() const {
    QNetworkAccessManager nam;
    std::unique_ptr<QNetworkReply> reply(nam.get(QNetworkRequest(QUrl(m_base + QStringLiteral("/api/_sim")))));
    QEventLoop loop;
    QObject::connect(reply.get(), &QNetworkReply::finished, &loop, &QEventLoop::quit);
    loop.exec();
    return QJsonDocument::fromJson(reply->readAll()).object();
}

} // namespace tavo::test
