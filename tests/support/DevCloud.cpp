#include "support/DevCloud.h"

#include <QJsonArray>

#include <QDeadlineTimer>
#include <QEventLoop>
#include <QJsonDocument>
#include <QNetworkReply>
#include <QRegularExpression>
#include <QTest>

namespace tavo::test {

DevCloud::DevCloud(QStringList extraArgs) : m_args(std::move(extraArgs)), m_nam(std::make_unique<QNetworkAccessManager>()) {}

DevCloud::~DevCloud() {
    stop();
}

bool DevCloud::start() {
    stop();
    m_process = std::make_unique<QProcess>();
    QStringList args = m_args;
    if (!args.contains(QStringLiteral("--port"))) args << QStringLiteral("--port") << QStringLiteral("0");
    m_process->setProcessChannelMode(QProcess::SeparateChannels);
    m_process->start(QStringLiteral(TAVO_DEVCLOUD_PATH), args);
    if (!m_process->waitForStarted(5000)) return false;

    static const QRegularExpression listening(QStringLiteral("listening on [^\\s:]+:(\\d+)"));
    QByteArray out;
    QDeadlineTimer deadline(10000);
    while (!deadline.hasExpired()) {
        m_process->waitForReadyRead(100);
        out += m_process->readAllStandardOutput();
        m_log += QString::fromUtf8(m_process->readAllStandardError());
        if (auto m = listening.match(QString::fromUtf8(out)); m.hasMatch()) {
            m_port = m.captured(1).toInt();
            // Keep draining stderr so the child never blocks on a full pipe.
            QObject::connect(m_process.get(), &QProcess::readyReadStandardError, m_process.get(),
                             [this] { m_log += QString::fromUtf8(m_process->readAllStandardError()); });
            QObject::connect(m_process.get(), &QProcess::readyReadStandardOutput, m_process.get(),
                             [this] { m_process->readAllStandardOutput(); });
            return true;
        }
        if (m_process->state() == QProcess::NotRunning) break;
    }
    qWarning("tavo-devcloud did not start: %s", qPrintable(m_log));
    return false;
}

void DevCloud::stop() {
    if (!m_process) return;
    if (m_process->state() != QProcess::NotRunning) {
        m_process->kill();
        m_process->waitForFinished(5000);
    }
    m_process.reset();
}

bool DevCloud::running() const {
    return m_process && m_process->state() == QProcess::Running;
}

QJsonObject DevCloud::request(const QByteArray& method, const QString& path, const QByteArray& body) {
    QNetworkRequest req(QUrl(httpBase() + path));
    req.setHeader(QNetworkRequest::ContentTypeHeader, QByteArrayLiteral("application/json"));
    QNetworkReply* reply = m_nam->sendCustomRequest(req, method, body);
    QEventLoop loop;
    QObject::connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
    loop.exec();
    const QByteArray data = reply->readAll();
    reply->deleteLater();
    return QJsonDocument::fromJson(data).object();
}

QJsonObject DevCloud::get(const QString& path) {
    return request("GET", path, {});
}

QJsonObject DevCloud::post(const QString& path, const QJsonObject& body) {
    return request("POST", path, QJsonDocument(body).toJson(QJsonDocument::Compact));
}

QJsonObject DevCloud::signIn(const QString& phone) {
    post(QStringLiteral("/v1/auth/start"), {{"phone", phone}});
    const QString code = get(QStringLiteral("/dev/otp?phone=") + QString::fromLatin1(QUrl::toPercentEncoding(phone)))
                             .value("code")
                             .toString();
    return post(QStringLiteral("/v1/auth/verify"), {{"phone", phone}, {"code", code}});
}

int DevCloud::requestCount(const QString& method, const QString& path) {
    int n = 0;
    for (const QJsonValue& r : get(QStringLiteral("/dev/requests")).value("requests").toArray())
        n += r.toObject().value("method") == method && r.toObject().value("path") == path;
    return n;
}

} // namespace tavo::test
