// Box management: rename, forget (the owner unpairs everyone) and membership removal.

#include "Server.h"

namespace tavo::devcloud {

std::optional<Server::Reply> Server::routeDevice(const QString& method, const QStringList& parts,
                                                 const QJsonObject& body, qint64 user) {
    if (parts.size() < 3 || parts[0] != "v1" || parts[1] != "device") return std::nullopt;
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
        m_state.save();
        return json({{"ok", true}});
    }
    if (parts.size() == 3 && method == "DELETE") {
        if (b->owner != user) return error(403, "Only the owner can forget this box");
        const QList<qint64> users = m_state.usersOf(*b);
        // Unpaired: nobody sees it until it is claimed again.
        b->owner = 0;
        b->members.clear();
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
        m_state.save();
        pushTo(member, {{"type", "device_removed"}, {"device_id", id}});
        return json({{"ok", true}});
    }
    return std::nullopt;
}

} // namespace tavo::devcloud
