#pragma once

#include "platform/Keychain.h"

namespace tavo {

// The Secret Service (gnome-keyring, KWallet's bridge) through QtKeychain.
class SecretServiceKeychain : public Keychain {
public:
    QCoro::Task<std::optional<QByteArray>> read(QString service, QString account) override;
    QCoro::Task<> remove(QString service, QString account) override;
    QCoro::Task<> write(QString service, QString account, QByteArray data) override;
};

} // namespace tavo
