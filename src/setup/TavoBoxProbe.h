#pragma once

#include "platform/Clock.h"
#include "platform/NetworkInterfaces.h"
#include "setup/BoxRecords.h"

#include <QStringList>
#include <QUrl>
#include <functional>

#include <qcoro/qcorotask.h>

namespace tavo {

// The gateway a 192.168 address implies: the first IPv4 entry in 192.168.x.y gives 192.168.x.1.
std::optional<QString> currentIPv4Gateway(const InterfaceList& interfaces);

// Finds a box while this computer is on the box's hotspot.
class TavoBoxProbe {
public:
    // Where to look. Production reads the real interfaces and sweeps the hotspot addresses
    // boxes use; tests hand in loopback addresses so no real network is ever probed.
    struct Network {
        std::function<std::optional<QString>()> gateway = [] {
            return currentIPv4Gateway(listInterfaceAddresses());
        };
        QStringList candidates = hotspotCandidates();
        // The real network, unless TAVO_BOX_HOTSPOT=host[:port] names the one place a box's
        // hotspot answers (development: a simulated box on loopback; no sweep then).
        static Network fromEnvironment();
    };

    TavoBoxProbe() = default;
    explicit TavoBoxProbe(Network network) : m_network(std::move(network)) {}

    static constexpr int candidateTimeoutMs = 200;
    static QStringList hotspotCandidates();

    // The gateway first with the caller's time-out, then every candidate at once with 200 ms
    // each; the first identity wins and the other probes are aborted.
    QCoro::Task<std::optional<QUrl>> find(int timeoutMs) const;

    // Status exactly 200 from `url` itself (no redirects) within `timeoutMs` in all, and a
    // decodable identity, over a session of its own; anything else is nothing.
    static QCoro::Task<std::optional<BoxIdentity>> probe(QUrl url, int timeoutMs, CancelToken cancel = {});

private:
    Network m_network;
};

} // namespace tavo
