#include "setup/BoxScanner.h"

#include "platform/Clock.h"
#include "setup/BoxClient.h"

#include <QHash>
#include <QTcpSocket>
#include <QTimer>
#include <algorithm>
#include <atomic>

namespace tavo {

namespace discovered {

namespace {
bool onAccount(const std::optional<CloudStatus>& status, const QList<Device>& devices) {
    if (!status || !status->isClaimed()) return false;
    const qint64 id = *status->device_id;
    return std::any_of(devices.begin(), devices.end(), [id](const Device& d) { return d.id == id; });
}
} // namespace

bool isMine(const DiscoveredBox& box, const QList<Device>& devices) {
    return onAccount(box.status, devices);
}

bool canClaim(const DiscoveredBox& box) {
    return box.status && box.status->connected && box.status->hasPairCode();
}

QString subtitle(const DiscoveredBox& box, const QList<Device>& devices) {
    if (!box.status) return QStringLiteral("Offline");
    if (onAccount(box.status, devices)) return QStringLiteral("Already on your account");
    if (box.status->hasPairCode()) return QStringLiteral("Ready · tap to add · ") + *box.status->pair_code;
    if (!box.status->connected) return QStringLiteral("Offline");
    return QStringLiteral("Already claimed elsewhere");
}

QString sortKey(const DiscoveredBox& box) {
    if (box.status && box.status->name) return *box.status->name;
    return box.id;
}

QList<DiscoveredBox> merge(const QList<DiscoveredBox>& finished) {
    QList<DiscoveredBox> out;
    QHash<QString, qsizetype> at;
    for (const DiscoveredBox& box : finished) {
        const auto it = at.constFind(box.id);
        if (it == at.constEnd()) {
            at.insert(box.id, out.size());
            out << box;
        } else if (!out[*it].status && box.status) {
            // The same box on another address (IPv4 and IPv6, two interfaces): an address
            // that answered says more than one that did not, however late it finished.
            out[*it] = box;
        }
    }
    // QString's operator< compares UTF-16 code units, which is code-point order for the
    // Basic Multilingual Plane and case-sensitive ("Z" < "a").
    std::stable_sort(out.begin(), out.end(),
                     [](const DiscoveredBox& a, const DiscoveredBox& b) { return sortKey(a) < sortKey(b); });
    return out;
}

} // namespace discovered

BoxScanner::BoxScanner(QNetworkAccessManager& network, ServiceBrowserFactory browsers, QObject* parent)
    : QObject(parent), m_network(network), m_browsers(std::move(browsers)) {}

BoxScanner::~BoxScanner() = default;

void BoxScanner::setScanning(bool on) {
    if (m_scanning == on) return;
    m_scanning = on;
    emit scanningChanged();
}

void BoxScanner::start() {
    if (m_browser) return; // running, or failed until stop()
    setScanning(true);
    m_browser = m_browsers(QString::fromLatin1(serviceType));
    connect(m_browser.get(), &ServiceBrowser::failed, this, [this] { setScanning(false); });
    connect(m_browser.get(), &ServiceBrowser::resultsChanged, this,
            [self = QPointer<BoxScanner>(this)](const QList<ServiceInstance>& results) {
                if (self) self->handle(results);
            });
    m_browser->start();
}

void BoxScanner::clear() {
    if (m_found.isEmpty()) return;
    m_found.clear();
    emit foundChanged();
}

void BoxScanner::stop() {
    if (m_browser) {
        disconnect(m_browser.get(), nullptr, this, nullptr);
        m_browser->cancel();
        m_browser.reset();
    }
    setScanning(false);
}

void BoxScanner::setDevices(const QList<Device>& devices) {
    m_devices = devices;
    emit foundChanged();
}

QVariantList BoxScanner::rows() const {
    QVariantList out;
    for (const DiscoveredBox& box : m_found) {
        const bool mine = discovered::isMine(box, m_devices);
        const std::optional<QUrl> base = boxBase(box.host, box.port);
        out << QVariantMap{{"id", box.id},
                           {"title", box.id},
                           {"subtitle", discovered::subtitle(box, m_devices)},
                           {"mine", mine},
                           {"canClaim", discovered::canClaim(box)},
                           {"enabled", !mine && discovered::canClaim(box)},
                           {"pairCode", box.status ? box.status->pair_code.value_or(QString()) : QString()},
                           {"host", box.host},
                           {"port", box.port},
                           {"address", base ? base->authority() : box.host}};
    }
    return out;
}

namespace {

// Children finishing in any order; the parent waits for the last.
struct Resolutions {
    int remaining = 0;
    QList<DiscoveredBox> finished;
    Wakeup done;
};

QCoro::Task<> resolveInto(std::shared_ptr<Resolutions> all, std::shared_ptr<ServiceBrowser> browser,
                          QNetworkAccessManager& network, ServiceInstance instance) {
    const std::optional<DiscoveredBox> box = co_await BoxScanner::resolve(browser, network, instance);
    if (box) all->finished << *box;
    if (--all->remaining == 0) all->done.fire();
}

} // namespace

QCoro::Task<> BoxScanner::handle(QList<ServiceInstance> results) {
    QPointer<BoxScanner> self(this);
    const quint64 pass = ++m_passesStarted;
    auto all = std::make_shared<Resolutions>();
    all->remaining = int(results.size());
    if (all->remaining > 0) {
        for (const ServiceInstance& instance : results)
            resolveInto(all, m_browser, m_network, instance);
        co_await all->done;
    }
    // A pass over an older result set that ends after a newer one would bring back boxes
    // that have gone: once a newer pass has published, the older ones say nothing.
    if (!self || pass < m_passPublished) co_return;
    m_passPublished = pass;
    m_found = discovered::merge(all->finished);
    emit foundChanged();
}

QCoro::Task<std::optional<DiscoveredBox>> BoxScanner::resolve(std::shared_ptr<ServiceBrowser> browser,
                                                              QNetworkAccessManager& network,
                                                              ServiceInstance instance) {
    if (instance.name.isEmpty()) co_return std::nullopt;
    const std::optional<HostPort> endpoint = co_await resolveEndpoint(browser, instance);
    if (!endpoint) co_return std::nullopt;
    DiscoveredBox box{instance.name, endpoint->host, endpoint->port, std::nullopt};
    const std::optional<QUrl> base = boxBase(endpoint->host, endpoint->port);
    if (!base) co_return box;
    const BoxClient client(network, *base);
    Result<CloudStatus> status = co_await client.cloudStatus();
    if (status) box.status = std::move(status).value();
    co_return box;
}

namespace {

// The first of "connected", "failed" and the deadline decides; later calls do nothing.
struct Reach {
    std::atomic_flag finished = ATOMIC_FLAG_INIT;
    std::optional<HostPort> result;
    Wakeup done;
    QPointer<QTcpSocket> socket;

    void finish(std::optional<HostPort> value) {
        if (finished.test_and_set()) return;
        result = std::move(value);
        if (socket) {
            socket->abort();
            socket->deleteLater();
        }
        done.fire();
    }
};

QCoro::Task<> connectTo(std::shared_ptr<Reach> reach, std::shared_ptr<ServiceBrowser> browser,
                        ServiceInstance instance) {
    const std::optional<HostPort> announced = co_await browser->resolve(instance, BoxScanner::reachWithin);
    if (!announced) {
        reach->finish(std::nullopt);
        co_return;
    }
    if (reach->finished.test()) co_return;
    auto* socket = new QTcpSocket;
    reach->socket = socket;
    std::weak_ptr<Reach> weak = reach;
    QObject::connect(socket, &QTcpSocket::connected, socket, [weak, socket] {
        if (auto r = weak.lock())
            r->finish(HostPort{socket->peerAddress().toString(), int(socket->peerPort())});
    });
    QObject::connect(socket, &QTcpSocket::errorOccurred, socket, [weak] {
        if (auto r = weak.lock()) r->finish(std::nullopt);
    });
    socket->connectToHost(announced->host, quint16(announced->port));
}

} // namespace

QCoro::Task<std::optional<HostPort>> BoxScanner::resolveEndpoint(std::shared_ptr<ServiceBrowser> browser,
                                                                 ServiceInstance instance) {
    if (!browser) co_return std::nullopt;
    auto reach = std::make_shared<Reach>();
    std::weak_ptr<Reach> weak = reach;
    QTimer::singleShot(reachWithin, qApp, [weak] {
        if (auto r = weak.lock()) r->finish(std::nullopt);
    });
    connectTo(reach, browser, instance);
    co_await reach->done;
    co_return reach->result;
}

} // namespace tavo
