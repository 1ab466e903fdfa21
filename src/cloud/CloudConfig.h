#pragma once

#include <QString>

namespace tavo {

// Where the cloud is. The defaults come from the build (TAVO_CLOUD_HOST, TAVO_CLOUD_TLS,
// TAVO_LOCAL_HOST); tests point both at development clouds on ephemeral ports.
struct CloudConfig {
    QString cloudHost; // host[:port], no scheme
    bool cloudTLS = true;
    QString localHost; // loopback host of the local development server
    int localPort = 3200;

    static CloudConfig fromBuild();
    // The build's, with TAVO_CLOUD_HOST / TAVO_CLOUD_TLS (0 or 1) from the environment when
    // set: how end-to-end tests point the executables at a development cloud.
    static CloudConfig fromEnvironment();

    // Base addresses, without a trailing slash.
    QString httpBase(bool useLocalServer) const;
    QString socketBase(bool useLocalServer) const;
};

QString applicationID();

} // namespace tavo
