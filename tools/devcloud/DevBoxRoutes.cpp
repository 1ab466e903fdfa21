// The development routes for boxes changed from outside the client under test: a box made on
// an account, a simulated box registering (PairingRoutes.cpp), and a box going offline, renamed
// by another client, shared or unshared.

#include "Server.h"

#include <QDateTime>

namespace tavo::devcloud {

std::span<const Server::DevRoute> Server::devBoxRoutes() {
    // POST /dev/device/{id}/ACTION, on a box that exists.
    struct BoxAction {
        const char* name;
        Reply (*answer)(Server& server, Box& box, const QJsonObject& body);
    };
    static constexpr BoxAction actions[] = {
        {"presence",
         [](Server& s, Box& b, const QJsonObject& body) {
             b.online = body.value("online").toBool();
             b.offlineSince = body.value("offline_since").toString();
             if (!b.online && b.offlineSince.isEmpty())
                 b.offlineSince = QDateTime::currentDateTimeUtc().toString(Qt::ISODate);
             b.offlineHint = body.value("offline_hint").toString();
             if (body.contains("wifi_ssid")) b.wifiSSID = body.value("wifi_ssid").toString();
             if (body.contains("wifi_rssi")) b.wifiRSSI = body.value("wifi_rssi").toInteger();
             s.m_state.save();
             QJsonObject msg{{"type", "presence"}, {"device_id", b.id}, {"online", b.online}};
             for (const char* key : {"offline_since", "offline_hint", "wifi_ssid", "wifi_rssi"})
                 if (body.contains(key)) msg.insert(key, body.value(key));
             if (!b.online && !msg.contains("offline_since")) msg.insert("offline_since", b.offlineSince);
             s.pushToBox(b, msg);
             return json({{"ok", true}});
         }},
        {"names",
         [](Server& s, Box& b, const QJsonObject& body) {
             const QJsonObject names = body.value("names").toObject();
             for (auto it = names.constBegin(); it != names.constEnd(); ++it)
                 b.names.insert(it.key(), it->toString());
             s.m_state.save();
             s.pushToBox(b, {{"type", "names"}, {"device_id", b.id}, {"names", names}});
             return json({{"ok", true}});
         }},
        {"share",
         [](Server& s, Box& b, const QJsonObject& body) {
             const QString phone = body.value("phone").toString();
             if (!isE164(phone)) return error(400, "phone must be E.164");
             const qint64 user = s.m_state.userFor(phone, true);
             b.members.insert(user, body.value("acl_mask").toInteger(1));
             s.m_state.save();
             s.pushTo(user, {{"type", "device_added"}, {"device", s.m_state.deviceJson(b, user)}});
             return json({{"ok", true}});
         }},
        {"unshare",
         [](Server& s, Box& b, const QJsonObject& body) {
             const qint64 user = s.m_state.userFor(body.value("phone").toString(), false);
             b.members.remove(user);
             s.m_state.save();
             s.pushTo(user, {{"type", "device_removed"}, {"device_id", b.id}});
             return json({{"ok", true}});
         }},
    };
    static constexpr DevRoute routes[] = {
        {"POST", "devices",
         [](Server& s, const DevRequest& r) {
             const QString owner = r.body.value("owner").toString();
             if (!isE164(owner)) return error(400, "owner must be E.164");
             const int relays = r.body.value("relay_count").toInt(4);
             if (relays < 1 || relays > 32) return error(400, "relay_count must be 1-32");
             const qint64 ownerID = s.m_state.userFor(owner, true);
             Box& b = s.m_state.addBox(ownerID, r.body.value("name").toString("New Box"), relays,
                                       r.body.value("id").toInteger(0));
             const QJsonObject names = r.body.value("relay_names").toObject();
             for (auto it = names.constBegin(); it != names.constEnd(); ++it)
                 b.names.insert(it.key(), it->toString());
             if (r.body.contains("online")) b.online = r.body.value("online").toBool();
             s.m_state.save();
             s.pushTo(ownerID, {{"type", "device_added"}, {"device", s.m_state.deviceJson(b, ownerID)}});
             return json({{"device", s.m_state.deviceJson(b, ownerID)}});
         }},
        {"POST", "device",
         [](Server& s, const DevRequest& r) {
             Box* b = s.m_state.box(r.parts.value(2).toLongLong());
             if (!b) return error(404, "Unknown box");
             for (const BoxAction& action : actions)
                 if (r.parts.value(3) == QLatin1String(action.name)) return action.answer(s, *b, r.body);
             return error(404, "Not found");
         }},
        {nullptr, "boxes",
         [](Server& s, const DevRequest& r) {
             return s.routeBoxRegistry(r.method, r.parts, r.body).value_or(error(404, "Not found"));
         }},
    };
    return routes;
}

} // namespace tavo::devcloud
