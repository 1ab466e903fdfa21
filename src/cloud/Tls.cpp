#include "cloud/Tls.h"

#include <QFile>
#include <QSslConfiguration>

namespace tavo {

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
    return std::nullopt;
}

std::optional<QString> trustCloudCAs() {
    const QString file = cloudCAFile();
    if (file.isEmpty()) return std::nullopt;
    return trustCAFile(file);
}

} // namespace tavo
