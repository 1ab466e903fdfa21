#pragma once

#include <QByteArray>
#include <QString>
#include <optional>

#include <qcoro/qcorotask.h>

namespace tavo {

// Generic-password items keyed by (service, account). The desktop's keychain talks over
// D-Bus, so every call is a task rather than a blocking call on the main thread.
class Keychain {
public:
    virtual ~Keychain() = default;
    // The item's data, or nothing when it is missing or cannot be read.
    virtual QCoro::Task<std::optional<QByteArray>> read(QString service, QString account) = 0;
    // Both report nothing: callers treat the keychain as best effort.
    virtual QCoro::Task<> remove(QString service, QString account) = 0;
    virtual QCoro::Task<> write(QString service, QString account, QByteArray data) = 0;
};

} // namespace tavo
