#pragma once

#include "cloud/Json.h"

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
        return {{"id", id}, {"name", name}, {"description", description}, {"provider", provider}, {"connected", connected}};
    }
    friend bool operator==(const Skill&, const Skill&) = default;
};

} // namespace tavo
