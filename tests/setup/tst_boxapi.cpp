// The box's local API records, form encoding, gateway guessing and the pure set-up rules.

#include "setup/BoxClient.h"
#include "setup/BoxScanner.h"
#include "setup/Sanitize.h"
#include "setup/TavoBoxProbe.h"
#include "setup/WifiCreds.h"
#include "support/DataRows.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QTest>
#include <arpa/inet.h>
#include <netinet/in.h>

using namespace tavo;

namespace {

InterfaceAddress v4(const char* text) {
    sockaddr_in in{};
    in.sin_family = AF_INET;
    inet_pton(AF_INET, text, &in.sin_addr);
    sockaddr_storage s{};
    std::memcpy(&s, &in, sizeof in);
    return {s};
}

InterfaceAddress v6(const char* text) {
    sockaddr_in6 in{};
    in.sin6_family = AF_INET6;
    inet_pton(AF_INET6, text, &in.sin6_addr);
    sockaddr_storage s{};
    std::memcpy(&s, &in, sizeof in);
    return {s};
}

CloudStatus status(bool connected, std::optional<qint64> id, std::optional<QString> code,
                   std::optional<QString> name = std::nullopt) {
    CloudStatus s;
    s.ok = true;
    s.connected = connected;
    s.device_id = id;
    s.pair_code = std::move(code);
    s.name = std::move(name);
    return s;
}

std::optional<QString> optionalString(const QJsonValue& v) {
    return v.isString() ? std::optional(v.toString()) : std::nullopt;
}

Device device(qint64 id) {
    Device d;
    d.id = id;
    return d;
}

} // namespace

class TestBoxApi : public QObject {
    Q_OBJECT
private slots:
    void formEncoding_data() { TAVO_JSON_ROWS("boxapi-form.json"); }
    void formEncoding() {
        QFETCH(QJsonObject, row);
        QCOMPARE(BoxClient::formEncode(row["value"].toString()), row["encoded"].toString().toUtf8());
    }

    void cloudStatusDecoding_data() { TAVO_JSON_ROWS("boxapi-status.json"); }
    void cloudStatusDecoding() {
        QFETCH(QJsonObject, row);
        const QJsonValue body = row["body"];
        const Result<CloudStatus> s =
            json::decode<CloudStatus>(body.isArray() ? QJsonDocument(body.toArray()).toJson()
                                                     : QJsonDocument(body.toObject()).toJson());
        QCOMPARE(s.ok(), row["decodes"].toBool());
        if (s.ok()) QCOMPARE(s->device_id.has_value(), row["hasID"].toBool());
    }

    void identityDecoding_data() { TAVO_JSON_ROWS("boxapi-identity.json"); }
    void identityDecoding() {
        QFETCH(QJsonObject, row);
        QCOMPARE(json::decode<BoxIdentity>(row["body"].toString().toUtf8()).ok(), row["decodes"].toBool());
    }

    void gateway_data() { TAVO_JSON_ROWS("boxapi-gateway.json"); }
    // Entries: "4:addr", "6:addr", "-" (no address); null = the enumeration failed.
    void gateway() {
        QFETCH(QJsonObject, row);
        InterfaceList list;
        if (!row["interfaces"].isNull()) list = std::vector<InterfaceAddress>{};
        for (const QJsonValue& v : row["interfaces"].toArray()) {
            const QString e = v.toString();
            const QByteArray addr = e.mid(2).toLatin1();
            if (e == "-")
                list->push_back({});
            else
                list->push_back(e.startsWith("4:") ? v4(addr.constData()) : v6(addr.constData()));
        }
        QCOMPARE(currentIPv4Gateway(list), optionalString(row["gateway"]));
    }

    // Addresses as resolution yields them, to a box's base and its status address.
    void boxAddress_data() { TAVO_JSON_ROWS("boxapi-address.json"); }
    void boxAddress() {
        QFETCH(QJsonObject, row);
        const std::optional<QUrl> base = boxBase(row["host"].toString(), row["port"].toInt());
        const std::optional<QString> status = optionalString(row["status"]); // none = no usable address
        QCOMPARE(base.has_value(), status.has_value());
        if (base) QCOMPARE(boxURL(*base, "/api/cloud-status")->toString(QUrl::FullyEncoded), *status);
    }

    void pairCodeField_data() { TAVO_JSON_ROWS("boxapi-paircode.json"); }
    void pairCodeField() {
        QFETCH(QJsonObject, row);
        QCOMPARE(Sanitize::pairCode(row["typed"].toString()), row["shown"].toString());
    }

    void claimCode_data() { TAVO_JSON_ROWS("boxapi-claimcode.json"); }
    void claimCode() {
        QFETCH(QJsonObject, row);
        QCOMPARE(Sanitize::claimCode(row["typed"].toString()), row["sent"].toString());
    }

    void wifiValue_data() { TAVO_JSON_ROWS("boxapi-wifi.json"); }
    void wifiValue() {
        QFETCH(QJsonObject, row);
        const QByteArray stored = row.contains("storedHex")
                                      ? QByteArray::fromHex(row["storedHex"].toString().toLatin1())
                                      : row["stored"].toString().toUtf8();
        const auto pair = WifiCreds::parse(stored);
        QCOMPARE(pair.has_value(), !row["ssid"].isNull());
        if (!pair) return;
        QCOMPARE(pair->ssid, row["ssid"].toString());
        QCOMPARE(pair->password, row["password"].toString());
        QCOMPARE(WifiCreds::value(pair->ssid, pair->password), stored);
    }

    void classification_data() { TAVO_JSON_ROWS("boxapi-classification.json"); }
    // The account has boxes 0 and 7.
    void classification() {
        QFETCH(QJsonObject, row);
        std::optional<CloudStatus> st;
        if (const QJsonObject o = row["status"].toObject(); !row["status"].isNull())
            st = status(o["connected"].toBool(),
                        o.contains("device_id") ? std::optional(o["device_id"].toInteger()) : std::nullopt,
                        optionalString(o["pair_code"]));
        const QList<Device> devices{device(0), device(7)};
        const DiscoveredBox box{"Tavo Box", "192.168.1.20", 80, st};
        QCOMPARE(discovered::isMine(box, devices), row["mine"].toBool());
        QCOMPARE(discovered::canClaim(box), row["claimable"].toBool());
        QCOMPARE(discovered::subtitle(box, devices), row["subtitle"].toString());
    }

    void mergeFound() {
        const auto named = [](QString id, QString host, std::optional<QString> name) {
            return DiscoveredBox{id, host, 80,
                                 name ? std::optional(status(true, std::nullopt, std::nullopt, name))
                                      : std::nullopt};
        };
        // In finishing order: the second "b" is a later resolution of the same instance; "d"
        // first finished on an address that gave no status, then on one that did.
        const QList<DiscoveredBox> finished{
            named("b", "10.0.0.2", std::nullopt), named("zz", "10.0.0.3", "apple"),
            named("d", "fd00::4", std::nullopt),  named("b", "10.0.0.9", std::nullopt),
            named("c", "10.0.0.4", "Zebra"),      named("a2", "10.0.0.5", "apple"),
            named("d", "10.0.0.6", "dog"),        named("d", "10.0.0.7", std::nullopt)};
        const QList<DiscoveredBox> rows = discovered::merge(finished);
        QStringList order;
        for (const DiscoveredBox& b : rows)
            order << b.id + "@" + b.host;
        // "Zebra" < "apple" < "b" < "dog" by code point; the two "apple" keys keep finishing order.
        QCOMPARE(order,
                 QStringList({"c@10.0.0.4", "zz@10.0.0.3", "a2@10.0.0.5", "b@10.0.0.2", "d@10.0.0.6"}));
        QVERIFY(discovered::merge({}).isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestBoxApi)
#include "tst_boxapi.moc"
