// Box management: rename, forget (the owner unpairs everyone), members and invites, and the
// activity log.

#include "Server.h"

#include <QUrl>
#include <QUrlQuery>

namespace tavo::devcloud {

namespace {

// WhatsApp reaches only numbers that have used the service; others get a link to pass on.
QString shareLink(const QString& phone, const QString& boxName) {
    QString digits = phone;
    digits.remove('+');
    const QString text =
        QStringLiteral("You now have access to \"%1\" on Tavo. Sign in with this number to use it.")
            .arg(boxName);
    return QStringLiteral("https://wa.me/") + digits + QStringLiteral("?text=") +
           QString::fromUtf8(QUrl::toPercentEncoding(text));
}

} // namespace

std::optional<Server::Reply> Server::routeDevice(const QString& method, const QStringList& parts,
                                                 const QUrlQuery& query, const QJsonObject& body,
                                                 qint64 user) {
    if (parts.size() < 3 || parts[0] != "v1" || parts[1] != "device") return std::nullopt;
    if (parts.size() == 3 && parts[2] == "claim" && method == "POST") return claim(body, user);
    bool isID = false;
    const qint64 id = parts[2].toLongLong(&isID);
    if (!isID) return std::nullopt;
    Box* b = m_state.box(id);
    if (!b || !m_state.hasAccess(*b, user)) return error(404, "Unknown box");

    if (parts.size() == 4 && parts[3] == "name" && method == "PUT") {
        if (b->owner != user) return error(403, "Only the owner can rename this box");
        const QString name = body.value("name").toString().trimmed();
        if (name.isEmpty()) return error(400, "Name can't be empty");
        b->name = name;
        m_state.logActivity(
            {0, id, user, QStringLiteral("app"), QStringLiteral("rename_device"), {}, {}, {}});
        return json({{"ok", true}});
    }
    if (parts.size() == 3 && method == "DELETE") {
        if (b->owner != user) return error(403, "Only the owner can forget this box");
        const QList<qint64> users = m_state.usersOf(*b);
        // Unpaired: nobody sees it until it is claimed again, with a fresh code.
        b->owner = 0;
        b->members.clear();
        b->pairCode = m_state.newPairCode();
        m_state.save();
        for (qint64 u : users)
            pushTo(u, {{"type", "device_removed"}, {"device_id", id}});
        return json({{"ok", true}});
    }
    if (parts.size() == 5 && parts[3] == "member" && method == "DELETE") {
        const qint64 member = parts[4].toLongLong();
        if (member != user && b->owner != user) return error(403, "Only the owner can remove members");
        if (member == b->owner) return error(400, "The owner can't leave; forget the box instead");
        if (!b->members.remove(member)) return error(404, "Not a member");
        m_state.logActivity(
            {0, id, user, QStringLiteral("app"), QStringLiteral("member_removed"), {}, {}, {}});
        pushTo(member, {{"type", "device_removed"}, {"device_id", id}});
        return json({{"ok", true}});
    }
    if (parts.size() == 4 && parts[3] == "members" && method == "GET") {
        if (b->owner != user) return error(403, "Only the owner can see the members");
        QJsonArray list{QJsonObject{{"user_id", b->owner},
                                    {"phone", m_state.phoneOf(b->owner)},
                                    {"role", "owner"},
                                    {"acl_mask", m_state.maskOf(*b, b->owner)}}};
        for (auto it = b->members.constBegin(); it != b->members.constEnd(); ++it)
            list.append(QJsonObject{{"user_id", it.key()},
                                    {"phone", m_state.phoneOf(it.key())},
                                    {"role", "member"},
                                    {"acl_mask", *it}});
        return json({{"members", list}});
    }
    if (parts.size() == 4 && parts[3] == "invite" && method == "POST") {
        if (b->owner != user) return error(403, "Only the owner can invite");
        const QString phone = body.value("phone").toString();
        if (!isE164(phone)) return error(400, "Invalid phone number");
        const qint64 mask = body.value("acl_mask").toInteger(0);
        if (mask <= 0) return error(400, "Invalid relay list");
        const qint64 member = m_state.userFor(phone, true);
        if (member == b->owner) return error(400, "That number owns this box");
        const bool added = !b->members.contains(member);
        b->members.insert(member, mask);
        if (added)
            m_state.logActivity(
                {0, id, user, QStringLiteral("app"), QStringLiteral("member_added"), {}, {}, {}});
        else
            m_state.save();
        // New access or changed access alike: the member's client replaces its record.
        pushTo(member, {{"type", "device_added"}, {"device", m_state.deviceJson(*b, member)}});
        if (m_state.hasSignedIn(member)) return json({{"ok", true}, {"whatsapp_delivered", true}});
        return json({{"ok", true}, {"whatsapp_delivered", false}, {"share_link", shareLink(phone, b->name)}});
    }
    if (parts.size() == 4 && parts[3] == "logs" && method == "GET") {
        const int limit = std::clamp(int(query.queryItemValue("limit").toInt()), 1, 500);
        return json({{"logs", m_state.activityOf(id, limit)}});
    }
    return std::nullopt;
}

} // namespace tavo::devcloud
