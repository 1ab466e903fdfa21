#pragma once

#include <QString>

namespace tavo {

// Where the cloud is. The defaults come from the build (TAVO_CLOUD_HOST, TAVO_CLOUD_TLS,
// TAVO_LOCAL_HOST); tests point both at development clouds on ephemeral ports.
struct CloudConfig {
    QString cloudHost;  // host[:port], no scheme
    bool cloudTLS = true;
    QString localHost;  // loopback host of the local development server
    int localPort = 3200;

    static CloudConfig fromBuild();

    // Base addresses, without a trailing slash.
    QString httpBase(bool useLocalServer) const;
    QString socketBase(bool useLocalServer) const;
};

QString applicationID();

} // namespace tavo
