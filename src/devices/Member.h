#pragma once

#include "cloud/Json.h"

namespace tavo {

// One user with access to a box.
struct Member {
    qint64 user_id = 0;
    QString phone;
    QString role;
    qint64 acl_mask = 0;

    static std::optional<Member> fromJson(json::Reader& r) {
        Member m{r.required<qint64>("user_id"), r.required<QString>("phone"), r.required<QString>("role"),
                 r.required<qint64>("acl_mask")};
        if (!r.ok()) return std::nullopt;
        return m;
    }
    QJsonObject toJson() const { return {{"user_id", user_id}, {"phone", phone}, {"role", role}, {"acl_mask", acl_mask}}; }
    friend bool operator==(const Member&, const Member&) = default;
};

} // namespace tavo
