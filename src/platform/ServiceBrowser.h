#pragma once

#include <QList>
#include <QObject>
#include <QString>
#include <chrono>
#include <functional>
#include <memory>
#include <optional>

#include <qcoro/qcorotask.h>

namespace tavo {

// One announced DNS-SD service instance, as browsing reports it.
struct ServiceInstance {
    QString name;
    QString type;
    QString domain;
    int interfaceIndex = -1;
    int protocol = -1;
    friend bool operator==(const ServiceInstance&, const ServiceInstance&) = default;
};

struct HostPort {
    QString host;
    int port = 0;
    friend bool operator==(const HostPort&, const HostPort&) = default;
};

// Browses one service type. Lives on the main thread; whatever thread the platform calls
// back on, the signals are delivered here. Every change reports the complete current set.
class ServiceBrowser : public QObject {
    Q_OBJECT
public:
    ~ServiceBrowser() override = default;
    virtual void start() = 0;
    // Stops browsing; resolutions already asked for still finish.
    virtual void cancel() = 0;
    // The address an instance is announced at, or nothing when not known within `within`.
    virtual QCoro::Task<std::optional<HostPort>> resolve(ServiceInstance instance,
                                                         std::chrono::milliseconds within) = 0;

signals:
    void resultsChanged(const QList<tavo::ServiceInstance>& results);
    void failed();
};

using ServiceBrowserFactory = std::function<std::shared_ptr<ServiceBrowser>(const QString& type)>;

// The desktop's DNS-SD browser (Avahi on Linux). When no daemon is reachable it reports
// failed() soon after start().
std::shared_ptr<ServiceBrowser> makeDnsSdBrowser(const QString& type);

} // namespace tavo
