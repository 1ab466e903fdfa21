// The box's local API records, form encoding, gateway guessing and the pure set-up rules.

#include "setup/BoxClient.h"
#include "setup/BoxScanner.h"
#include "setup/Sanitize.h"
#include "setup/TavoBoxProbe.h"
#include "setup/WifiCreds.h"

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

Device device(qint64 id) {
    Device d;
    d.id = id;
    return d;
}

} // namespace

class TestBoxApi : public QObject {
    Q_OBJECT
private slots:
    void formEncoding_data() {
        QTest::addColumn<QString>("value");
        QTest::addColumn<QByteArray>("encoded");
        QTest::newRow("reserved marks") << "a&b=c+d e" << QByteArray("a%26b%3Dc%2Bd%20e");
        QTest::newRow("unreserved pass") << "AZaz09-._~" << QByteArray("AZaz09-._~");
        QTest::newRow("utf-8 bytes, upper hex") << "café/?" << QByteArray("caf%C3%A9%2F%3F");
        QTest::newRow("percent itself") << "100%" << QByteArray("100%25");
        QTest::newRow("empty") << "" << QByteArray("");
    }
    void formEncoding() {
        QFETCH(QString, value);
        QFETCH(QByteArray, encoded);
        QCOMPARE(BoxClient::formEncode(value), encoded);
    }

    void connectBody() {
        QCOMPARE(BoxClient::connectBody("My Home", "p&ss=w+rd 1"),
                 QByteArray("ssid=My%20Home&password=p%26ss%3Dw%2Brd%201"));
        QCOMPARE(BoxClient::connectBody("Open", ""), QByteArray("ssid=Open&password="));
    }

    void cloudStatusDecoding_data() {
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<bool>("decodes");
        QTest::addColumn<bool>("hasID");
        QTest::newRow("minimal") << QByteArray(R"({"ok":true,"connected":false})") << true << false;
        QTest::newRow("no connected") << QByteArray(R"({"ok":true})") << false << false;
        QTest::newRow("no ok") << QByteArray(R"({"connected":true})") << false << false;
        QTest::newRow("device_id null")
            << QByteArray(R"({"ok":true,"connected":true,"device_id":null})") << true << false;
        QTest::newRow("device_id") << QByteArray(R"({"ok":true,"connected":true,"device_id":42})") << true
                                   << true;
        QTest::newRow("connected as text")
            << QByteArray(R"({"ok":true,"connected":"yes"})") << false << false;
        QTest::newRow("optional of wrong type")
            << QByteArray(R"({"ok":true,"connected":true,"states":[true,1]})") << false << false;
        QTest::newRow("unknown keys ignored")
            << QByteArray(R"({"ok":false,"connected":true,"uptime":5,"names":{"1":"Fan"}})") << true << false;
        QTest::newRow("not an object") << QByteArray("[]") << false << false;
    }
    void cloudStatusDecoding() {
        QFETCH(QByteArray, body);
        QFETCH(bool, decodes);
        QFETCH(bool, hasID);
        const Result<CloudStatus> s = json::decode<CloudStatus>(body);
        QCOMPARE(s.ok(), decodes);
        if (decodes) QCOMPARE(s->device_id.has_value(), hasID);
    }

    void identityDecoding_data() {
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<bool>("decodes");
        QTest::newRow("empty object") << QByteArray("{}") << true;
        QTest::newRow("all")
            << QByteArray(
                   R"({"id":"t1","name":"Tavo-1","ip":"192.168.4.1","ap":"Tavo-1","mac":"m","relays":4})")
            << true;
        QTest::newRow("nulls") << QByteArray(R"({"id":null,"relays":null})") << true;
        QTest::newRow("relays as text") << QByteArray(R"({"relays":"4"})") << false;
        QTest::newRow("not json") << QByteArray("<html>") << false;
    }
    void identityDecoding() {
        QFETCH(QByteArray, body);
        QFETCH(bool, decodes);
        QCOMPARE(json::decode<BoxIdentity>(body).ok(), decodes);
    }

    void gateway_data() {
        // Entries: "4:addr", "6:addr", "-" (no address); "failed" = the enumeration failed.
        QTest::addColumn<QStringList>("interfaces");
        QTest::addColumn<QString>("gateway"); // "" = none
        QTest::newRow("first 192.168 decides")
            << QStringList{"4:10.0.0.5", "4:192.168.7.9", "4:192.168.1.4"} << "192.168.7.1";
        QTest::newRow("hotspot client") << QStringList{"4:127.0.0.1", "4:192.168.4.23"} << "192.168.4.1";
        QTest::newRow("ipv6 and empty entries skipped")
            << QStringList{"-", "6:fe80::1", "4:192.168.42.200"} << "192.168.42.1";
        QTest::newRow("no private 192.168")
            << QStringList{"4:10.1.2.3", "4:172.16.0.9", "4:192.169.1.1"} << "";
        QTest::newRow("empty list") << QStringList{} << "";
        QTest::newRow("enumeration failed") << QStringList{"failed"} << "";
    }
    void gateway() {
        QFETCH(QStringList, interfaces);
        QFETCH(QString, gateway);
        InterfaceList list = std::vector<InterfaceAddress>{};
        for (const QString& e : interfaces) {
            const QByteArray addr = e.mid(2).toLatin1();
            if (e == "failed")
                list.reset();
            else if (e == "-")
                list->push_back({});
            else
                list->push_back(e.startsWith("4:") ? v4(addr.constData()) : v6(addr.constData()));
        }
        QCOMPARE(currentIPv4Gateway(list).value_or(QString()), gateway);
    }

    // Addresses as resolution yields them, to a box's base and its status address.
    void boxAddress_data() {
        QTest::addColumn<QString>("host");
        QTest::addColumn<int>("port");
        QTest::addColumn<QString>("status"); // "" = no usable address
        QTest::newRow("IPv4") << "192.168.4.1" << 8081 << "http://192.168.4.1:8081/api/cloud-status";
        QTest::newRow("IPv6 in brackets")
            << "fd00:4::1" << 8081 << "http://[fd00:4::1]:8081/api/cloud-status";
        QTest::newRow("link-local keeps its zone")
            << "fe80::1%tcli0" << 80 << "http://[fe80::1%25tcli0]:80/api/cloud-status";
        QTest::newRow("host name") << "tavo-box.local" << 80 << "http://tavo-box.local:80/api/cloud-status";
        QTest::newRow("no host") << "" << 80 << "";
        QTest::newRow("not a host") << "a b" << 80 << "";
    }
    void boxAddress() {
        QFETCH(QString, host);
        QFETCH(int, port);
        QFETCH(QString, status);
        const std::optional<QUrl> base = boxBase(host, port);
        QCOMPARE(base.has_value(), !status.isEmpty());
        if (base) QCOMPARE(boxURL(*base, "/api/cloud-status")->toString(QUrl::FullyEncoded), status);
    }

    void pairCodeField_data() {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("shown");
        QTest::newRow("eight with a space") << "abcd efgh"
                                            << "ABCD-EFGH";
        QTest::newRow("dash among four dropped") << "ab-c"
                                                 << "ABC";
        QTest::newRow("ten become eight") << "abcdefghij"
                                          << "ABCD-EFGH";
        QTest::newRow("four stay four") << "wxyz"
                                        << "WXYZ";
        QTest::newRow("five split") << "12345"
                                    << "1234-5";
        QTest::newRow("punctuation dropped") << "a.b,c!d?e"
                                             << "ABCD-E";
        QTest::newRow("unicode letters kept") << "äbcdé"
                                              << "ÄBCD-É";
        QTest::newRow("retyped dash") << "ABCD-EFGH"
                                      << "ABCD-EFGH";
    }
    void pairCodeField() {
        QFETCH(QString, typed);
        QFETCH(QString, shown);
        QCOMPARE(Sanitize::pairCode(typed), shown);
    }

    void claimCode_data() {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("sent");
        QTest::newRow("lower case in spaces") << "  abcd-1234 \t"
                                              << "ABCD-1234";
        QTest::newRow("inner dash and space stay") << "ab cd-12"
                                                   << "AB CD-12";
        QTest::newRow("line breaks are not trimmed") << "abcd\n"
                                                     << "ABCD\n";
        QTest::newRow("only blanks") << " \t "
                                     << "";
    }
    void claimCode() {
        QFETCH(QString, typed);
        QFETCH(QString, sent);
        QCOMPARE(Sanitize::claimCode(typed), sent);
    }

    void wifiValue_data() {
        QTest::addColumn<QByteArray>("stored");
        QTest::addColumn<bool>("present");
        QTest::addColumn<QString>("ssid");
        QTest::addColumn<QString>("password");
        QTest::newRow("pair") << QByteArray("Home\nsecret") << true << "Home"
                              << "secret";
        QTest::newRow("empty password") << QByteArray("Home\n") << true << "Home"
                                        << "";
        QTest::newRow("first line feed only") << QByteArray("Home\npass\nword") << true << "Home"
                                              << "pass\nword";
        QTest::newRow("no line feed") << QByteArray("Home") << false << ""
                                      << "";
        QTest::newRow("invalid utf-8") << QByteArray("Ho\xffme\npw") << false << ""
                                       << "";
        QTest::newRow("utf-8 name") << QByteArray("Café ☕\npw") << true << "Café ☕"
                                    << "pw";
    }
    void wifiValue() {
        QFETCH(QByteArray, stored);
        QFETCH(bool, present);
        const auto pair = WifiCreds::parse(stored);
        QCOMPARE(pair.has_value(), present);
        if (!present) return;
        QFETCH(QString, ssid);
        QFETCH(QString, password);
        QCOMPARE(pair->ssid, ssid);
        QCOMPARE(pair->password, password);
        QCOMPARE(WifiCreds::value(ssid, password), stored);
    }

    void classification_data() {
        QTest::addColumn<std::optional<CloudStatus>>("st");
        QTest::addColumn<bool>("mine");
        QTest::addColumn<bool>("claimable");
        QTest::addColumn<QString>("subtitle");
        // The account has boxes 0 and 7.
        QTest::newRow("no status") << std::optional<CloudStatus>() << false << false << "Offline";
        QTest::newRow("mine") << std::optional(status(true, 7, std::nullopt)) << true << false
                              << "Already on your account";
        QTest::newRow("id 0 is never mine")
            << std::optional(status(true, 0, std::nullopt)) << false << false << "Already claimed elsewhere";
        QTest::newRow("ready") << std::optional(status(true, std::nullopt, "ABCD-1234")) << false << true
                               << "Ready · tap to add · ABCD-1234";
        QTest::newRow("code while offline") << std::optional(status(false, std::nullopt, "ABCD-1234"))
                                            << false << false << "Ready · tap to add · ABCD-1234";
        QTest::newRow("empty code, offline")
            << std::optional(status(false, std::nullopt, "")) << false << false << "Offline";
        QTest::newRow("someone else's")
            << std::optional(status(true, 99, std::nullopt)) << false << false << "Already claimed elsewhere";
    }
    void classification() {
        QFETCH(std::optional<CloudStatus>, st);
        QFETCH(bool, mine);
        QFETCH(bool, claimable);
        QFETCH(QString, subtitle);
        const QList<Device> devices{device(0), device(7)};
        const DiscoveredBox box{"Tavo Box", "192.168.1.20", 80, st};
        QCOMPARE(discovered::isMine(box, devices), mine);
        QCOMPARE(discovered::canClaim(box), claimable);
        QCOMPARE(discovered::subtitle(box, devices), subtitle);
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

Q_DECLARE_METATYPE(std::optional<tavo::CloudStatus>)

QTEST_GUILESS_MAIN(TestBoxApi)
#include "tst_boxapi.moc"
