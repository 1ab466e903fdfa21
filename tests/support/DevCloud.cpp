#include "support/DevCloud.h"

#include "platform/Preferences.h"
#include "platform/linux/SettingsPreferences.h"
#include "support/ChildProcess.h"

#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QJsonArray>
#include <QNetworkReply>
#include <QRegularExpression>

namespace tavo::test {

DevCloud::DevCloud(QStringList extraArgs)
    : m_args(std::move(extraArgs)), m_nam(std::make_unique<QNetworkAccessManager>()) {}

DevCloud::~DevCloud() {
    stop();
}

bool DevCloud::start() {
    stop();
    m_process = std::make_unique<QProcess>();
    QStringList args = m_args;
    if (!args.contains(QStringLiteral("--port"))) args << QStringLiteral("--port") << QStringLiteral("0");
    static const QRegularExpression listening(QStringLiteral("listening on [^\\s:]+:(\\d+)"));
    const auto m = startAndAwaitLine(*m_process, QStringLiteral(TAVO_DEVCLOUD_PATH), args, listening, m_log);
    if (!m) return false;
    m_port = m->captured(1).toInt();
    return true;
}

void DevCloud::stop() {
    if (m_process) stopProcess(*m_process, false);
    m_process.reset();
}

bool DevCloud::running() const {
    return m_process && m_process->state() == QProcess::Running;
}

QString DevCloud::state() const {
    if (!m_process) return QStringLiteral("not started");
    if (running()) return QStringLiteral("running");
    if (m_process->exitStatus() == QProcess::CrashExit)
        return QStringLiteral("crashed: ") + m_process->errorString();
    return QStringLiteral("exited with %1").arg(m_process->exitCode());
}

QJsonObject fetchJson(QNetworkAccessManager& nam, const QByteArray& method, const QUrl& url,
                      const QByteArray& body) {
    QNetworkRequest req(url);
    req.setHeader(QNetworkRequest::ContentTypeHeader, QByteArrayLiteral("application/json"));
    std::unique_ptr<QNetworkReply> reply(nam.sendCustomRequest(req, method, body));
    QEventLoop loop;
    QObject::connect(reply.get(), &QNetworkReply::finished, &loop, &QEventLoop::quit);
    loop.exec();
    return QJsonDocument::fromJson(reply->readAll()).object();
}

QJsonObject DevCloud::signIn(const QString& phone) {
    post(QStringLiteral("/v1/auth/start"), {{"phone", phone}});
    const QString code =
        get(QStringLiteral("/dev/otp?phone=") + QString::fromLatin1(QUrl::toPercentEncoding(phone)))
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

QList<QJsonObject> DevCloud::requestBodies(const QString& path) {
    QList<QJsonObject> bodies;
    for (const QJsonValue& r : get(QStringLiteral("/dev/requests")).value("requests").toArray())
        if (r.toObject().value("path") == path)
            bodies << QJsonDocument::fromJson(r.toObject().value("body").toString().toUtf8()).object();
    return bodies;
}

void DevCloud::writeSession(const QString& home, const QString& phone, const QString& token) {
    const QJsonObject session = signIn(phone);
    SettingsPreferences prefs(home + QStringLiteral("/config/Tavo/Tavo.json"));
    prefs.setValue(PrefKey::session, token.isEmpty() ? session.value("session_token").toString() : token);
    prefs.setValue(PrefKey::phone, phone);
    prefs.setValue(PrefKey::userID, session.value("user_id").toInteger());
    prefs.remove(PrefKey::threadID); // a cloud reset since: no thread of an earlier session
}

QProcessEnvironment DevCloud::clientEnv(const QString& home) const {
    const QString run = home + QStringLiteral("/run");
    QDir().mkpath(run);
    QFile::setPermissions(run, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), home + QStringLiteral("/config"));
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), run);
    env.insert(QStringLiteral("TAVO_CLOUD_HOST"), host());
    env.insert(QStringLiteral("TAVO_CLOUD_TLS"), tls() ? QStringLiteral("1") : QStringLiteral("0"));
    env.remove(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"));
    return env;
}

} // namespace tavo::test
