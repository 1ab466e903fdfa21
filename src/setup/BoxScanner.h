#pragma once

#include "devices/Device.h"
#include "platform/ServiceBrowser.h"
#include "setup/BoxRecords.h"

#include <QNetworkAccessManager>
#include <QObject>
#include <QPointer>
#include <QVariantList>

#include <qcoro/qcorotask.h>

namespace tavo {

// One box found on the local network. `id` is the announced instance name.
struct DiscoveredBox {
    QString id;
    QString host;
    int port = 0;
    std::optional<CloudStatus> status;
    friend bool operator==(const DiscoveredBox&, const DiscoveredBox&) = default;
};

namespace discovered {
bool isMine(const DiscoveredBox& box, const QList<Device>& devices);
bool canClaim(const DiscoveredBox& box);
QString subtitle(const DiscoveredBox& box, const QList<Device>& devices);
// The list key: the status's name, else the instance name.
QString sortKey(const DiscoveredBox& box);
// Resolutions in the order they finished to the published list: one row per name (the first
// finisher, unless a later one has the status it lacks), stably sorted by key in code-point
// order.
QList<DiscoveredBox> merge(const QList<DiscoveredBox>& finished);
} // namespace discovered

// Boxes announcing "_tavo._tcp" on the local network, while the add-box screen is open.
// Idle (no browser) -> start -> Browsing -> failure -> Failed (browser kept, start does
// nothing) -> stop -> Idle. `found` survives every state change.
class BoxScanner : public QObject {
    Q_OBJECT
    Q_PROPERTY(bool scanning READ scanning NOTIFY scanningChanged)
    Q_PROPERTY(QVariantList rows READ rows NOTIFY foundChanged)
public:
    static constexpr auto serviceType = "_tavo._tcp";
    static constexpr std::chrono::milliseconds reachWithin{1500};

    explicit BoxScanner(QNetworkAccessManager& network, ServiceBrowserFactory browsers = makeDnsSdBrowser,
                        QObject* parent = nullptr);
    ~BoxScanner() override;

    Q_INVOKABLE void start();
    Q_INVOKABLE void stop();
    void clear(); // forgets what was found
    Q_INVOKABLE void rescan() {
        stop();
        start();
    }

    bool scanning() const { return m_scanning; }
    bool hasBrowser() const { return bool(m_browser); }
    const QList<DiscoveredBox>& found() const { return m_found; }
    // The rows for the screens, classified against `devices` (set by whoever shows them);
    // titled by the announced name.
    QVariantList rows() const;
    void setDevices(const QList<Device>& devices);

    // One browse result to a box: reachable within 1.5 s, then its cloud status (absent on
    // any failure). Nothing when it cannot be reached.
    static QCoro::Task<std::optional<DiscoveredBox>> resolve(std::shared_ptr<ServiceBrowser> browser,
                                                             QNetworkAccessManager& network,
                                                             ServiceInstance instance);
    static QCoro::Task<std::optional<HostPort>> resolveEndpoint(std::shared_ptr<ServiceBrowser> browser,
                                                                ServiceInstance instance);

signals:
    void scanningChanged();
    void foundChanged();

private:
    QCoro::Task<> handle(QList<ServiceInstance> results);
    void setScanning(bool on);

    QNetworkAccessManager& m_network;
    ServiceBrowserFactory m_browsers;
    std::shared_ptr<ServiceBrowser> m_browser;
    bool m_scanning = false;
    QList<DiscoveredBox> m_found;
    quint64 m_passesStarted = 0, m_passPublished = 0; // result sets resolved, and the latest on show
    QList<Device> m_devices;
};

} // namespace tavo
