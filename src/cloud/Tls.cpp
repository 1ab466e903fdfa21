#include "cloud/Tls.h"

#include <QFile>
#include <QNetworkReply>
#include <QSslCipher>
#include <QSslConfiguration>
#include <QWebSocket>
#include <atomic>

namespace tavo {

namespace {
std::atomic<bool> extraCAs = false;
} // namespace

bool extraCAsTrusted() {
    return extraCAs;
}

QString cloudCAFile() {
    if (qEnvironmentVariableIsSet("TAVO_CA_FILE")) return qEnvironmentVariable("TAVO_CA_FILE");
    return QStringLiteral(TAVO_CA_FILE);
}

std::optional<QString> trustCAFile(const QString& pemFile) {
    QFile file(pemFile);
    if (!file.open(QIODevice::ReadOnly))
        return QStringLiteral("Can't read the CA file %1: %2").arg(pemFile, file.errorString());
    const QList<QSslCertificate> cas = QSslCertificate::fromData(file.readAll(), QSsl::Pem);
    if (cas.isEmpty()) return QStringLiteral("The CA file %1 holds no PEM certificate").arg(pemFile);
    QSslConfiguration tls = QSslConfiguration::defaultConfiguration();
    // Adding CAs turns off the loading of the system's on demand: they are added explicitly.
    tls.setCaCertificates(QSslConfiguration::systemCaCertificates() + cas);
    QSslConfiguration::setDefaultConfiguration(tls);
    extraCAs = true;
    return std::nullopt;
}

std::optional<QString> trustCloudCAs() {
    const QString file = cloudCAFile();
    if (file.isEmpty()) return std::nullopt;
    return trustCAFile(file);
}

namespace {

// A plain HTTP server on a TLS port reads the handshake as a bad request and closes.
const char* const closedInHandshake = "the cloud closed the connection before TLS was set up";

} // namespace

std::optional<QString> tlsFailure(const QNetworkReply& reply) {
    if (reply.error() == QNetworkReply::SslHandshakeFailedError) return reply.errorString();
    if (reply.error() == QNetworkReply::RemoteHostClosedError && reply.url().scheme() == u"https" &&
        reply.sslConfiguration().sessionCipher().isNull())
        return QStringLiteral("SSL handshake failed: ") + QLatin1String(closedInHandshake);
    return std::nullopt;
}

std::optional<QString> tlsFailure(const QWebSocket& ws) {
    if (ws.error() == QAbstractSocket::SslHandshakeFailedError) return ws.errorString();
    if (ws.error() == QAbstractSocket::RemoteHostClosedError && ws.requestUrl().scheme() == u"wss" &&
        ws.sslConfiguration().sessionCipher().isNull())
        return QString::fromLatin1(closedInHandshake);
    return std::nullopt;
}

TlsWarmUp::TlsWarmUp() : m_thread([] { static_cast<void>(QSslConfiguration::defaultConfiguration()); }) {}

} // namespace tavo
