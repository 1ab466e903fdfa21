// DNS-SD through the Avahi daemon. Avahi calls back on its own poll thread; everything that
// leaves that thread is posted to the main thread.

#include "core/Logging.h"
#include "platform/ServiceBrowser.h"

#include <QCoreApplication>
#include <QLoggingCategory>
#include <QPointer>
#include <QTimer>
#include <atomic>
#include <net/if.h>
#include <vector>

#include <avahi-client/client.h>
#include <avahi-client/lookup.h>
#include <avahi-common/error.h>
#include <avahi-common/thread-watch.h>

#include "platform/Clock.h"

namespace tavo {

namespace {

template <class F> void postToMain(F&& f) {
    if (QCoreApplication* app = QCoreApplication::instance())
        QMetaObject::invokeMethod(app, std::forward<F>(f), Qt::QueuedConnection);
}

// The daemon connection and its poll thread, shared by a browser and its pending resolutions
// so that a resolution outliving its browser still ends.
class AvahiSession {
public:
    static std::shared_ptr<AvahiSession> open(std::function<void()> onFailure) {
        auto session = std::shared_ptr<AvahiSession>(new AvahiSession);
        session->m_onFailure = std::move(onFailure);
        session->m_poll = avahi_threaded_poll_new();
        if (!session->m_poll) return nullptr;
        int error = 0;
        session->m_client = avahi_client_new(avahi_threaded_poll_get(session->m_poll), AvahiClientFlags(0),
                                             &AvahiSession::clientChanged, session.get(), &error);
        if (!session->m_client) {
            qCInfo(lcDnsSd) << "no DNS-SD daemon:" << avahi_strerror(error);
            return nullptr;
        }
        if (avahi_threaded_poll_start(session->m_poll) < 0) return nullptr;
        return session;
    }

    ~AvahiSession() {
        if (m_poll) avahi_threaded_poll_stop(m_poll);
        if (m_client) avahi_client_free(m_client);
        if (m_poll) avahi_threaded_poll_free(m_poll);
    }

    AvahiClient* client() const { return m_client; }
    void lock() const { avahi_threaded_poll_lock(m_poll); }
    void unlock() const { avahi_threaded_poll_unlock(m_poll); }

private:
    AvahiSession() = default;
    static void clientChanged(AvahiClient*, AvahiClientState state, void* data) {
        if (state == AVAHI_CLIENT_FAILURE) {
            auto* self = static_cast<AvahiSession*>(data);
            if (self->m_onFailure) self->m_onFailure();
        }
    }

    AvahiThreadedPoll* m_poll = nullptr;
    AvahiClient* m_client = nullptr;
    std::function<void()> m_onFailure; // called on Avahi's thread
};

// One resolution: the first of the answer and the deadline decides.
struct PendingResolve {
    std::atomic_flag finished = ATOMIC_FLAG_INIT;
    std::optional<HostPort> result;
    Wakeup done;
    std::shared_ptr<AvahiSession> session; // held until Avahi answered

    void finish(std::optional<HostPort> value) {
        if (finished.test_and_set()) return;
        result = std::move(value);
        done.fire();
    }
};

class AvahiBrowser : public ServiceBrowser {
public:
    explicit AvahiBrowser(QString type) : m_type(std::move(type)) {}
    ~AvahiBrowser() override { cancel(); }

    void start() override {
        if (m_session || m_failed) return;
        QPointer<AvahiBrowser> self(this);
        auto fail = [self] {
            postToMain([self] {
                if (self) self->reportFailure();
            });
        };
        m_session = AvahiSession::open(fail);
        if (!m_session) {
            fail();
            return;
        }
        m_session->lock();
        m_browser = avahi_service_browser_new(m_session->client(), AVAHI_IF_UNSPEC, AVAHI_PROTO_UNSPEC,
                                              m_type.toUtf8().constData(), nullptr, AvahiLookupFlags(0),
                                              &AvahiBrowser::browsed, this);
        m_session->unlock();
        if (!m_browser) fail();
    }

    void cancel() override {
        if (!m_session) return;
        m_session->lock();
        if (m_browser) avahi_service_browser_free(m_browser);
        m_browser = nullptr;
        m_session->unlock();
        m_session.reset();
    }

    QCoro::Task<std::optional<HostPort>> resolve(ServiceInstance instance,
                                                 std::chrono::milliseconds within) override {
        auto pending = std::make_shared<PendingResolve>();
        if (!m_session) co_return std::nullopt;
        pending->session = m_session;
        std::weak_ptr<PendingResolve> weak = pending;
        QTimer::singleShot(within, qApp, [weak] {
            if (auto p = weak.lock()) p->finish(std::nullopt);
        });
        auto* context = new std::shared_ptr<PendingResolve>(pending);
        m_session->lock();
        AvahiServiceResolver* resolver =
            avahi_service_resolver_new(m_session->client(), instance.interfaceIndex, instance.protocol,
                                       instance.name.toUtf8().constData(), instance.type.toUtf8().constData(),
                                       instance.domain.toUtf8().constData(), AVAHI_PROTO_UNSPEC,
                                       AvahiLookupFlags(0), &AvahiBrowser::resolved, context);
        m_session->unlock();
        if (!resolver) {
            delete context;
            pending->finish(std::nullopt);
        }
        co_await pending->done;
        co_return pending->result;
    }

private:
    void reportFailure() {
        m_failed = true;
        emit failed();
    }

    // Avahi's thread, with its lock held.
    static void browsed(::AvahiServiceBrowser*, AvahiIfIndex iface, AvahiProtocol protocol,
                        AvahiBrowserEvent event, const char* name, const char* type, const char* domain,
                        AvahiLookupResultFlags, void* data) {
        auto* self = static_cast<AvahiBrowser*>(data);
        switch (event) {
        case AVAHI_BROWSER_NEW:
        case AVAHI_BROWSER_REMOVE: {
            const ServiceInstance instance{QString::fromUtf8(name), QString::fromUtf8(type),
                                           QString::fromUtf8(domain), iface, protocol};
            auto& set = self->m_instances; // touched only on Avahi's thread
            std::erase(set, instance);
            if (event == AVAHI_BROWSER_NEW) set.push_back(instance);
            QPointer<AvahiBrowser> weak(self);
            const QList<ServiceInstance> snapshot(set.begin(), set.end());
            postToMain([weak, snapshot] {
                if (weak && weak->m_session) emit weak->resultsChanged(snapshot);
            });
            break;
        }
        case AVAHI_BROWSER_FAILURE: {
            QPointer<AvahiBrowser> weak(self);
            postToMain([weak] {
                if (weak) weak->reportFailure();
            });
            break;
        }
        case AVAHI_BROWSER_ALL_FOR_NOW:
        case AVAHI_BROWSER_CACHE_EXHAUSTED:
            break;
        }
    }

    static void resolved(AvahiServiceResolver* resolver, AvahiIfIndex iface, AvahiProtocol,
                         AvahiResolverEvent event, const char*, const char*, const char*, const char*,
                         const AvahiAddress* address, uint16_t port, AvahiStringList*, AvahiLookupResultFlags,
                         void* data) {
        auto* context = static_cast<std::shared_ptr<PendingResolve>*>(data);
        std::optional<HostPort> result;
        if (event == AVAHI_RESOLVER_FOUND && address) {
            char text[AVAHI_ADDRESS_STR_MAX];
            avahi_address_snprint(text, sizeof text, address);
            QString host = QString::fromLatin1(text);
            // A link-local address means nothing without the interface it was seen on.
            const uint8_t* v6 = address->data.ipv6.address;
            char name[IF_NAMESIZE];
            if (address->proto == AVAHI_PROTO_INET6 && v6[0] == 0xfe && (v6[1] & 0xc0) == 0x80 &&
                iface >= 0 && if_indextoname(unsigned(iface), name))
                host += u'%' + QString::fromLatin1(name);
            result = HostPort{host, port};
        }
        avahi_service_resolver_free(resolver);
        std::shared_ptr<PendingResolve> pending = std::move(*context);
        delete context;
        postToMain([pending, result] {
            pending->finish(result);
            pending->session.reset();
        });
    }

    QString m_type;
    std::shared_ptr<AvahiSession> m_session;
    ::AvahiServiceBrowser* m_browser = nullptr;
    std::vector<ServiceInstance> m_instances;
    bool m_failed = false;
};

} // namespace

std::shared_ptr<ServiceBrowser> makeDnsSdBrowser(const QString& type) {
    return std::make_shared<AvahiBrowser>(type);
}

} // namespace tavo
