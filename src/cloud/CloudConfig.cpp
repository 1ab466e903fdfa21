#include "cloud/CloudConfig.h"

namespace tavo {

CloudConfig CloudConfig::fromBuild() {
    return {QStringLiteral(TAVO_CLOUD_HOST), TAVO_CLOUD_TLS, QStringLiteral(TAVO_LOCAL_HOST), 3200};
}

CloudConfig CloudConfig::fromEnvironment() {
    CloudConfig c = fromBuild();
    if (const QString host = qEnvironmentVariable("TAVO_CLOUD_HOST"); !host.isEmpty()) c.cloudHost = host;
    if (qEnvironmentVariableIsSet("TAVO_CLOUD_TLS"))
        c.cloudTLS = qEnvironmentVariableIntValue("TAVO_CLOUD_TLS") != 0;
    return c;
}

QString CloudConfig::httpBase(bool useLocalServer) const {
    if (useLocalServer) return QStringLiteral("http://%1:%2").arg(localHost).arg(localPort);
    return (cloudTLS ? QStringLiteral("https://") : QStringLiteral("http://")) + cloudHost;
}

QString CloudConfig::socketBase(bool useLocalServer) const {
    if (useLocalServer) return QStringLiteral("ws://%1:%2").arg(localHost).arg(localPort);
    return (cloudTLS ? QStringLiteral("wss://") : QStringLiteral("ws://")) + cloudHost;
}

QString applicationID() {
    return QStringLiteral(TAVO_APP_ID);
}

} // namespace tavo
