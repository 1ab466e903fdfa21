#pragma once

#include "cloud/Json.h"

namespace tavo {

// What a box says about its link to the cloud ("/api/cloud-status"). Only `connected`,
// `device_id`, `pair_code` and `name` are read; the rest is kept as decoded.
struct CloudStatus {
    bool ok = false;
    bool connected = false;
    std::optional<qint64> device_id;
    std::optional<QString> pair_code;
    std::optional<QString> name;
    std::optional<QString> fw;
    std::optional<int> relay_count;
    std::optional<QList<bool>> states;
    std::optional<QMap<QString, QString>> names;
    std::optional<QString> wifi_ssid;
    std::optional<QString> wifi_ip;

    static std::optional<CloudStatus> fromJson(json::Reader& r) {
        CloudStatus s{r.required<bool>("ok"),
                      r.required<bool>("connected"),
                      r.optional<qint64>("device_id"),
                      r.optional<QString>("pair_code"),
                      r.optional<QString>("name"),
                      r.optional<QString>("fw"),
                      r.optional<int>("relay_count"),
                      r.optional<QList<bool>>("states"),
                      r.optional<QMap<QString, QString>>("names"),
                      r.optional<QString>("wifi_ssid"),
                      r.optional<QString>("wifi_ip")};
        if (!r.ok()) return std::nullopt;
        return s;
    }
    QJsonObject toJson() const {
        QJsonObject o{{"ok", ok}, {"connected", connected}};
        json::putOptional(o, "device_id", device_id);
        json::putOptional(o, "pair_code", pair_code);
        json::putOptional(o, "name", name);
        json::putOptional(o, "fw", fw);
        json::putOptional(o, "relay_count", relay_count);
        json::putOptional(o, "states", states);
        json::putOptional(o, "names", names);
        json::putOptional(o, "wifi_ssid", wifi_ssid);
        json::putOptional(o, "wifi_ip", wifi_ip);
        return o;
    }
    bool hasPairCode() const { return pair_code && !pair_code->isEmpty(); }
    bool isClaimed() const { return device_id && *device_id > 0; }
    friend bool operator==(const CloudStatus&, const CloudStatus&) = default;
};

// A box's "/api/device-info". Callers only care that one came back.
struct BoxIdentity {
    std::optional<QString> id;
    std::optional<QString> name;
    std::optional<QString> ip;
    std::optional<QString> ap;
    std::optional<QString> mac;
    std::optional<int> relays;

    static std::optional<BoxIdentity> fromJson(json::Reader& r) {
        BoxIdentity b{r.optional<QString>("id"), r.optional<QString>("name"), r.optional<QString>("ip"),
                      r.optional<QString>("ap"), r.optional<QString>("mac"),  r.optional<int>("relays")};
        if (!r.ok()) return std::nullopt;
        return b;
    }
    QJsonObject toJson() const {
        QJsonObject o;
        json::putOptional(o, "id", id);
        json::putOptional(o, "name", name);
        json::putOptional(o, "ip", ip);
        json::putOptional(o, "ap", ap);
        json::putOptional(o, "mac", mac);
        json::putOptional(o, "relays", relays);
        return o;
    }
    friend bool operator==(const BoxIdentity&, const BoxIdentity&) = default;
};

} // namespace tavo
