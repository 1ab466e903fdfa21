// Messages pushed on the device socket. Fields are read leniently: a missing or mistyped
// field takes its default, and odd input never stops the client.

#include "cloud/Json.h"
#include "core/TavoStore.h"

#include <QJsonDocument>

namespace tavo {

namespace {

qint64 readID(const QJsonObject& msg) {
    return json::exactInteger(msg.value("device_id")).value_or(0);
}

std::optional<QString> readString(const QJsonObject& msg, const char* key) {
    const QJsonValue v = msg.value(QLatin1StringView(key));
    return v.isString() ? std::optional<QString>(v.toString()) : std::nullopt;
}

// A list longer than any box's relays is no states list either.
QList<bool> readStates(const QJsonValue& v) {
    if (!v.isArray() || v.toArray().size() > Device::maxRelays) return {};
    QList<bool> out;
    for (const auto& item : v.toArray()) {
        if (!item.isBool()) return {};
        out.append(item.toBool());
    }
    return out;
}

// Names of channels only, each within the text bound; a name over it spoils the whole map.
std::optional<QMap<QString, QString>> readNames(const QJsonValue& v) {
    const auto names = v.isObject() ? json::decodeValue<QMap<QString, QString>>(v) : std::nullopt;
    return names ? Device::channelNames(*names) : std::nullopt;
}

} // namespace

void TavoStore::noticeSwitches(const Device& before, const Device& after) {
    const QList<bool> was = before.effectiveStates(), now = after.effectiveStates();
    if (!before.states || was.size() != now.size()) return; // nothing known to compare with
    DeviceNotice notice{DeviceNotice::Kind::RelaySwitched, after.id, after.name};
    for (int ch = 1; ch <= now.size(); ++ch) {
        if (was[ch - 1] == now[ch - 1]) continue;
        notice.relay = after.relayName(ch);
        notice.on = now[ch - 1];
        ++notice.switched;
    }
    if (notice.switched == 0) return;
    if (notice.switched > 1) notice.relay.clear();
    emit deviceNotice(notice);
}

Device* TavoStore::findDevice(qint64 id) {
    for (Device& d : m_devices)
        if (d.id == id) return &d;
    return nullptr;
}

SocketMessage SocketMessage::of(QJsonObject message) {
    SocketMessage out{std::move(message), std::nullopt};
    const QJsonValue type = out.message.value("type");
    if (type.isString() && type.toString() == QLatin1String("welcome"))
        out.welcome =
            json::decodeValue<QList<Device>>(out.message.value("devices")).value_or(QList<Device>());
    return out;
}

std::optional<SocketMessage> SocketMessage::read(const std::variant<QString, QByteArray>& frame) {
    const QByteArray bytes = std::holds_alternative<QString>(frame)
                                 ? std::get<QString>(frame).toUtf8()
                                 : json::utf8OrEmpty(std::get<QByteArray>(frame)).toUtf8();
    const QJsonDocument doc = QJsonDocument::fromJson(bytes);
    if (!doc.isObject()) return std::nullopt;
    return of(doc.object());
}

void TavoStore::handleWS(const SocketMessage& message) {
    const QJsonObject& msg = message.message;
    if (message.welcome) {
        setDevices(*message.welcome);
        m_switching.clear();
        return;
    }
    const QJsonValue type = msg.value("type");
    if (!type.isString()) return;
    const QString t = type.toString();

    if (t == QLatin1String("state")) {
        const QList<bool> states = readStates(msg.value("states"));
        if (Device* d = findDevice(readID(msg))) {
            const Device before = *d;
            d->states = states;
            d->online = true;
            // The first push after our own command is its answer; any other change is someone else's.
            const bool ours = m_switching.removeOne(d->id);
            const Device after = *d;
            emit devicesChanged();
            if (!before.online) emit deviceNotice({DeviceNotice::Kind::CameOnline, after.id, after.name});
            if (!ours) noticeSwitches(before, after);
        }
        return;
    }
    if (t == QLatin1String("presence")) {
        Device* d = findDevice(readID(msg));
        if (!d) return;
        const QJsonValue onlineValue = msg.value("online");
        const bool online = onlineValue.isBool() && onlineValue.toBool();
        const bool changed = d->online != online;
        d->online = online;
        d->offline_since = online ? std::nullopt : readString(msg, "offline_since");
        d->offline_hint = online ? std::nullopt : readString(msg, "offline_hint");
        if (online) {
            if (auto ssid = readString(msg, "wifi_ssid")) d->wifi_ssid = ssid;
            if (auto rssi = json::exactInteger(msg.value("wifi_rssi"))) d->wifi_rssi = rssi;
        } else {
            d->wifi_ssid.reset();
            d->wifi_rssi.reset();
        }
        const DeviceNotice notice{online ? DeviceNotice::Kind::CameOnline : DeviceNotice::Kind::WentOffline,
                                  d->id, d->name};
        emit devicesChanged();
        if (changed) emit deviceNotice(notice);
        return;
    }
    if (t == QLatin1String("names")) {
        Device* d = findDevice(readID(msg));
        if (!d) return;
        const auto names = readNames(msg.value("names"));
        if (!names) return;
        for (auto it = names->constBegin(); it != names->constEnd(); ++it)
            d->relay_names.insert(it.key(), it.value());
        emit devicesChanged();
        return;
    }
    if (t == QLatin1String("device_added")) {
        const QJsonValue value = msg.value("device");
        if (!value.isObject()) return;
        const std::optional<Device> device = json::decodeValue<Device>(value);
        if (!device) return;
        const bool known = findDevice(device->id) != nullptr; // a change of access, not a new box
        QList<Device> list = m_devices;
        list.removeIf([&](const Device& d) { return d.id == device->id; });
        list.append(*device);
        setDevices(list);
        showToast(QStringLiteral("You've been added to ") + device->name, false);
        if (!known) emit deviceNotice({DeviceNotice::Kind::Added, device->id, device->name});
        return;
    }
    if (t == QLatin1String("device_removed")) {
        const qint64 id = readID(msg);
        const Device* gone = findDevice(id);
        if (!gone) return;
        const DeviceNotice notice{DeviceNotice::Kind::Removed, id, gone->name};
        QList<Device> list = m_devices;
        list.removeIf([&](const Device& d) { return d.id == id; });
        setDevices(list);
        if (!m_removingDevices.contains(id)) {
            showToast(QStringLiteral("Access removed"), true);
            emit deviceNotice(notice);
        }
        return;
    }
    if (t == QLatin1String("error")) {
        if (auto text = readString(msg, "error")) showToast(*text, true);
        return;
    }
}

} // namespace tavo
