#pragma once

#include "platform/Keychain.h"

#include <QString>
#include <optional>

#include <qcoro/qcorotask.h>

// The last home WiFi given to a box, kept in the keychain to prefill the next set-up.
// One item: service = the application id, account "home_wifi", value "ssid\npassword".
namespace tavo::WifiCreds {

struct Pair {
    QString ssid;
    QString password;
    friend bool operator==(const Pair&, const Pair&) = default;
};

inline constexpr auto account = "home_wifi";

// The stored value split at its first line feed; nothing when absent, not UTF-8 or without one.
std::optional<Pair> parse(const std::optional<QByteArray>& value);
QByteArray value(const QString& ssid, const QString& password);

QCoro::Task<std::optional<Pair>> load(Keychain& keychain);
// Delete, then add; failures are silent.
QCoro::Task<> save(Keychain& keychain, QString ssid, QString password);

} // namespace tavo::WifiCreds
