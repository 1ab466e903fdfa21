// How a box joins an account: a simulated box (tavo-boxsim) registers by MAC once it is on a
// network and shows the pair code it got; a signed-in user claims the box with that code.

#include "Server.h"

namespace tavo::devcloud {

std::optional<Server::Reply> Server::routeBoxRegistry(const QString& method, const QStringList& parts,
                                                      const QJsonObject& body) {
    if (parts.value(1) != "boxes") return std::nullopt;

    if (parts.size() == 3 && parts[2] == "register" && method == "POST") {
        const QString mac = body.value("mac").toString().trimmed().toUpper();
        if (mac.isEmpty()) return error(400, "mac required");
        const int relays = body.value("relays").toInt(4);
        if (relays < 1 || relays > 32) return error(400, "relays must be 1-32");
        Box* b = m_state.boxByMac(mac);
        if (b && b->owner != 0) return json({{"pair_code", ""}, {"device_id", b->id}});
        if (!b) {
            b = &m_state.addBox(0, body.value("name").toString("Tavo Box"), relays);
            b->mac = mac;
        }
        // A box that registers again while unclaimed keeps showing the code it already has.
        if (b->pairCode.isEmpty()) b->pairCode = m_state.newPairCode();
        b->online = true;
        if (body.contains("wifi_ssid")) b->wifiSSID = body.value("wifi_ssid").toString();
        m_state.save();
        return json({{"pair_code", b->pairCode}, {"device_id", 0}});
    }
    if (parts.size() == 3 && method == "GET") {
        const Box* b = m_state.boxByMac(parts[2]);
        if (!b) return error(404, "Unknown box");
        // The relay states and names let the box's own status page agree with the cloud.
        QJsonArray states;
        for (bool s : b->states)
            states.append(s);
        QJsonObject names;
        for (auto it = b->names.constBegin(); it != b->names.constEnd(); ++it)
            names.insert(it.key(), it.value());
        return json({{"device_id", b->owner != 0 ? b->id : 0},
                     {"pair_code", b->owner != 0 ? QString() : b->pairCode},
                     {"states", states},
                     {"relay_names", names}});
    }
    return std::nullopt;
}

Server::Reply Server::claim(const QJsonObject& body, qint64 user) {
    const QJsonValue code = body.value("pair_code");
    if (!code.isString()) return error(400, "pair_code required");
    Box* b = m_state.boxByPairCode(code.toString());
    if (!b) return error(404, "Unknown or already used pair code");
    b->owner = user;
    b->members.clear();
    m_state.retirePairCode(*b);
    m_state.save();
    // No activity entry: the log has no kind for a box joining an account.
    pushTo(user, {{"type", "device_added"}, {"device", m_state.deviceJson(*b, user)}});
    return json({{"ok", true}});
}

} // namespace tavo::devcloud
