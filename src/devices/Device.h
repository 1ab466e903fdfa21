#pragma once

#include "cloud/Json.h"

#include <QDateTime>
#include <QList>
#include <QMap>
#include <QMetaType>
#include <QString>
#include <optional>

namespace tavo {

// One box the user may use, as the cloud describes it (HTTP device list and socket).
// Channel ch is position ch-1 of `states`, bit ch-1 of `acl_mask`, and key "ch" of `relay_names`.
struct Device {
    // Bounds of a record the client takes: every screen, the tray and tavoctl loop over the
    // relays, and the ACL mask has 32 relay bits. A box outside them is a malformed record.
    static constexpr int maxRelays = 32;
    static constexpr qsizetype maxTextLength = 1024; // names, hints: anything a screen lays out

    qint64 id = 0;
    QString mac;
    QString name;
    int relay_count = 0;
    QMap<QString, QString> relay_names;
    qint64 acl_mask = 0;
    QString role;
    bool online = false;
    std::optional<QList<bool>> states;
    std::optional<QString> offline_since;
    std::optional<QString> offline_hint;
    std::optional<QString> wifi_ssid;
    std::optional<qint64> wifi_rssi;

    static std::optional<Device> fromJson(json::Reader& r);
    QJsonObject toJson() const;
    friend bool operator==(const Device&, const Device&) = default;

    bool isOwner() const { return role == QLatin1String("owner"); }
    // `states`, or relay_count times off while the cloud hasn't said.
    QList<bool> effectiveStates() const;
    bool isOn(int ch) const;
    // The channel's own name, else "Relay N".
    QString relayName(int ch) const;
    static QString defaultRelayName(int ch); // "Relay N"
    bool isAllowed(int ch) const;

    // The channel-name map as the client keeps it: only keys naming a channel ("1" to "32";
    // the only keys ever looked up), and only names within the text bound. nullopt when a
    // name is too long.
    static std::optional<QMap<QString, QString>> channelNames(const QMap<QString, QString>& names);
    // States within the relay bound; nullopt for a longer list.
    static bool statesInBounds(const QList<bool>& states) { return states.size() <= maxRelays; }
};

// Reply of the device list.
struct DeviceList {
    QList<Device> devices;
    static std::optional<DeviceList> fromJson(json::Reader& r) {
        return DeviceList{r.required<QList<Device>>("devices")};
    }
    QJsonObject toJson() const { return {{"devices", json::Codec<QList<Device>>::encode(devices)}}; }
};

// The offline card's explanation, or nothing while the box is online. `zone` and `locale`
// are the user's; tests pass fixed ones.
std::optional<QString> offlineDiag(const Device& device, const QLocale& locale, const QTimeZone& zone);
std::optional<QString> offlineDiag(const Device& device);

// Internet date-time ("2026-01-05T09:00:00Z", optional fractional seconds, Z or an offset).
std::optional<QDateTime> parseInternetDateTime(const QString& text);

} // namespace tavo

Q_DECLARE_METATYPE(tavo::Device)
