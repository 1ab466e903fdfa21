#pragma once

#include "cloud/Json.h"

#include <QUrl>

namespace tavo {

// A connectable outside service.
struct Skill {
    QString id;
    QString name;
    QString description;
    QString provider;
    bool connected = false;

    static std::optional<Skill> fromJson(json::Reader& r) {
        Skill s{r.required<QString>("id"), r.required<QString>("name"), r.required<QString>("description"),
                r.required<QString>("provider"), r.required<bool>("connected")};
        if (!r.ok()) return std::nullopt;
        return s;
    }
    QJsonObject toJson() const {
        return {{"id", id},
                {"name", name},
                {"description", description},
                {"provider", provider},
                {"connected", connected}};
    }
    friend bool operator==(const Skill&, const Skill&) = default;
};

struct SkillsListResponse {
    bool ok = false;
    QList<Skill> skills;
    static std::optional<SkillsListResponse> fromJson(json::Reader& r) {
        SkillsListResponse l{r.required<bool>("ok"), r.required<QList<Skill>>("skills")};
        if (!r.ok()) return std::nullopt;
        return l;
    }
    QJsonObject toJson() const { return {{"ok", ok}, {"skills", json::Codec<QList<Skill>>::encode(skills)}}; }
};

struct SkillsConnectResponse {
    bool ok = false; // not read
    QString authorize_url;
    static std::optional<SkillsConnectResponse> fromJson(json::Reader& r) {
        SkillsConnectResponse c{r.required<bool>("ok"), r.required<QString>("authorize_url")};
        if (!r.ok()) return std::nullopt;
        return c;
    }
    QJsonObject toJson() const { return {{"ok", ok}, {"authorize_url", authorize_url}}; }
};

// What the service's redirect says: success only when the first "ok" is exactly "1".
struct SkillCallback {
    bool ok = false;
    QString toast;
};
SkillCallback readSkillCallback(const QUrl& callback);

// First letter of each white-space separated word upper case, the rest lower: "SWIGGY" -> "Swiggy".
QString capitalizedWords(const QString& text);

} // namespace tavo
