#pragma once

#include <QString>
#include <QVariant>
#include <optional>

namespace tavo {

// Keys of the per-application preference store. Stored settings rely on these exact names.
namespace PrefKey {
inline constexpr auto session = "tavo_session";
inline constexpr auto phone = "tavo_phone";
inline constexpr auto userID = "tavo_user_id";
inline constexpr auto threadID = "tavo_thread_id";
inline constexpr auto useLocalServer = "tavo_use_local_server";
inline constexpr auto notifyPresence = "tavo_notify_presence"; // desktop notifications, per kind
inline constexpr auto notifyAccess = "tavo_notify_access";
inline constexpr auto notifyRelays = "tavo_notify_relays";
} // namespace PrefKey

// The user-defaults store. Values keep their type (a number stays a number, a string a string),
// so the typed readers below can refuse a value of the wrong kind instead of converting it.
class Preferences {
public:
    virtual ~Preferences() = default;

    // An invalid QVariant when the key is absent.
    virtual QVariant value(const QString& key) const = 0;
    virtual void setValue(const QString& key, const QVariant& value) = 0;
    virtual void remove(const QString& key) = 0;

    // Present and a string; anything else reads as absent.
    std::optional<QString> string(const QString& key) const;
    // Present and a whole number within the signed 64-bit range; anything else reads as 0.
    qint64 int64(const QString& key) const;
    // Present and a boolean; anything else reads as false.
    bool boolean(const QString& key) const;
};

} // namespace tavo
