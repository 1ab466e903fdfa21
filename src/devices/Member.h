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
    QJsonObject toJson() const {
        return {{"user_id", user_id}, {"phone", phone}, {"role", role}, {"acl_mask", acl_mask}};
    }
    friend bool operator==(const Member&, const Member&) = default;
};

// The reply of the member list.
struct MemberList {
    QList<Member> members;
    static std::optional<MemberList> fromJson(json::Reader& r) {
        MemberList l{r.required<QList<Member>>("members")};
        if (!r.ok()) return std::nullopt;
        return l;
    }
    QJsonObject toJson() const { return {{"members", json::Codec<QList<Member>>::encode(members)}}; }
};

// The reply to an invite. `ok` is required but not read.
struct InviteResult {
    bool ok = false;
    std::optional<bool> whatsapp_delivered;
    std::optional<QString> share_link;

    static std::optional<InviteResult> fromJson(json::Reader& r) {
        InviteResult i{r.required<bool>("ok"), r.optional<bool>("whatsapp_delivered"),
                       r.optional<QString>("share_link")};
        if (!r.ok()) return std::nullopt;
        return i;
    }
    QJsonObject toJson() const {
        QJsonObject o{{"ok", ok}};
        json::putOptional(o, "whatsapp_delivered", whatsapp_delivered);
        json::putOptional(o, "share_link", share_link);
        return o;
    }
};

// The relay list text of a chip selection: empty when every relay is selected (= all).
// An empty selection gives the empty text too; callers must not send that as an invite.
QString relayChipsToCSV(const QList<int>& selected, int total);

// The ACL mask of a relay list text: blank = all relays (0xFFFFFFFF); pieces that are not
// channel numbers 1..32 are skipped. nullopt when no piece names a channel.
std::optional<qint64> inviteMask(const QString& relaysCSV);

} // namespace tavo
