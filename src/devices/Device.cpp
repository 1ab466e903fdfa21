#include "devices/Device.h"

#include <QLocale>
#include <QRegularExpression>
#include <QTimeZone>

namespace tavo {

std::optional<Device> Device::fromJson(json::Reader& r) {
    Device d;
    d.id = r.required<qint64>("id");
    d.mac = r.required<QString>("mac");
    d.name = r.required<QString>("name");
    d.relay_count = r.required<int>("relay_count");
    d.relay_names = r.required<QMap<QString, QString>>("relay_names");
    d.acl_mask = r.required<qint64>("acl_mask");
    d.role = r.required<QString>("role");
    d.online = r.required<bool>("online");
    d.states = r.optional<QList<bool>>("states");
    d.offline_since = r.optional<QString>("offline_since");
    d.offline_hint = r.optional<QString>("offline_hint");
    d.wifi_ssid = r.optional<QString>("wifi_ssid");
    d.wifi_rssi = r.optional<qint64>("wifi_rssi");
    if (!r.ok()) return std::nullopt;

    if (d.relay_count < 0 || d.relay_count > maxRelays)
        r.fail("relay_count", QStringLiteral("is outside 0 to %1").arg(maxRelays));
    else if (d.states && !statesInBounds(*d.states))
        r.fail("states", QStringLiteral("has more than %1 entries").arg(maxRelays));
    for (const auto& [key, text] :
         {std::pair{"mac", &d.mac}, std::pair{"name", &d.name}, std::pair{"role", &d.role}})
        if (text->size() > maxTextLength)
            r.fail(key, QStringLiteral("is longer than %1 characters").arg(maxTextLength));
    for (const auto& [key, text] :
         {std::pair{"offline_since", &d.offline_since}, std::pair{"offline_hint", &d.offline_hint},
          std::pair{"wifi_ssid", &d.wifi_ssid}})
        if (*text && (*text)->size() > maxTextLength)
            r.fail(key, QStringLiteral("is longer than %1 characters").arg(maxTextLength));
    if (auto names = channelNames(d.relay_names))
        d.relay_names = *names;
    else
        r.fail("relay_names", QStringLiteral("holds a name longer than %1 characters").arg(maxTextLength));
    if (!r.ok()) return std::nullopt;
    return d;
}

namespace {

// A channel's key as the cloud writes it: 1 to maxRelays in plain decimal, no sign, no zeros in
// front. Checked by hand: a welcome carries thousands of names, and this runs for each.
static_assert(Device::maxRelays < 100, "channel keys have at most two digits");
bool isChannelKey(QStringView key) {
    if (key.isEmpty() || key.size() > 2 || key.front() == u'0') return false;
    int ch = 0;
    for (const QChar c : key) {
        if (c < u'0' || c > u'9') return false;
        ch = ch * 10 + (c.unicode() - u'0');
    }
    return ch <= Device::maxRelays;
}

} // namespace

std::optional<QMap<QString, QString>> Device::channelNames(const QMap<QString, QString>& names) {
    bool allChannels = true;
    for (auto it = names.constBegin(); it != names.constEnd(); ++it) {
        if (it.value().size() > maxTextLength) return std::nullopt;
        allChannels = allChannels && isChannelKey(it.key());
    }
    if (allChannels) return names; // the usual case: shared, not copied
    QMap<QString, QString> kept;
    for (auto it = names.constBegin(); it != names.constEnd(); ++it)
        if (isChannelKey(it.key())) kept.insert(it.key(), it.value());
    return kept;
}

QJsonObject Device::toJson() const {
    QJsonObject o{{"id", id},
                  {"mac", mac},
                  {"name", name},
                  {"relay_count", relay_count},
                  {"relay_names", json::Codec<QMap<QString, QString>>::encode(relay_names)},
                  {"acl_mask", acl_mask},
                  {"role", role},
                  {"online", online}};
    json::putOptional(o, "states", states);
    json::putOptional(o, "offline_since", offline_since);
    json::putOptional(o, "offline_hint", offline_hint);
    json::putOptional(o, "wifi_ssid", wifi_ssid);
    json::putOptional(o, "wifi_rssi", wifi_rssi);
    return o;
}

QList<bool> Device::effectiveStates() const {
    return states ? *states : QList<bool>(qMax(0, relay_count), false);
}

bool Device::isOn(int ch) const {
    const QList<bool> s = effectiveStates();
    return ch >= 1 && ch <= s.size() && s.at(ch - 1);
}

QString Device::relayName(int ch) const {
    const auto it = relay_names.constFind(QString::number(ch));
    return it != relay_names.constEnd() ? *it : defaultRelayName(ch);
}

QString Device::defaultRelayName(int ch) {
    return QStringLiteral("Relay %1").arg(ch);
}

bool Device::isAllowed(int ch) const {
    return ch >= 1 && ch <= 64 && (quint64(acl_mask) >> (ch - 1)) & 1u;
}

std::optional<QDateTime> parseInternetDateTime(const QString& text) {
    static const QRegularExpression form(
        QStringLiteral(R"(^\d{4}-\d{2}-\d{2}T\d{2}:\d{2}:\d{2}(\.\d+)?(Z|[+-]\d{2}:\d{2})$)"),
        QRegularExpression::CaseInsensitiveOption);
    if (!form.match(text).hasMatch()) return std::nullopt;
    QDateTime dt = QDateTime::fromString(text, Qt::ISODateWithMs);
    if (!dt.isValid()) return std::nullopt;
    return dt;
}

std::optional<QString> offlineDiag(const Device& device, const QLocale& locale, const QTimeZone& zone) {
    if (device.online) return std::nullopt;
    QString text = device.offline_hint.value_or(
        QStringLiteral("The box hasn't reached the server — it likely lost power or WiFi. Power-cycle the "
                       "box and check the router."));
    if (device.offline_since) {
        if (auto when = parseInternetDateTime(*device.offline_since))
            text += QStringLiteral("\nLast alive ") +
                    locale.toString(when->toTimeZone(zone), QStringLiteral("ddd h:mm AP")) + QLatin1Char('.');
    }
    return text;
}

std::optional<QString> offlineDiag(const Device& device) {
    return offlineDiag(device, QLocale::system(), QTimeZone::systemTimeZone());
}

} // namespace tavo
