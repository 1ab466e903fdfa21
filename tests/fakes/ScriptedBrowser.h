#pragma once

#include "platform/ServiceBrowser.h"

#include <QMap>
#include <QStringList>

namespace tavo::test {

// A DNS-SD browser the test drives, for orders of events a real daemon cannot be made to
// produce on cue: it reports the result sets it is given and resolves each instance to the
// address the test names (real boxes behind them). Records what it was asked.
class ScriptedBrowser : public ServiceBrowser {
public:
    QMap<QString, HostPort> addresses; // instance name -> where it resolves; absent: it does not
    QStringList resolved;              // instance names, in the order asked

    void start() override {}
    void cancel() override {}
    QCoro::Task<std::optional<HostPort>> resolve(ServiceInstance instance,
                                                 std::chrono::milliseconds) override {
        resolved << instance.name;
        co_return addresses.contains(instance.name) ? std::optional(addresses.value(instance.name))
                                                    : std::nullopt;
    }

    void report(const QStringList& names) {
        QList<ServiceInstance> set;
        for (const QString& name : names)
            set << ServiceInstance{name, QStringLiteral("_tavo._tcp"), QStringLiteral("local"), 1, 0};
        emit resultsChanged(set);
    }
};

} // namespace tavo::test
