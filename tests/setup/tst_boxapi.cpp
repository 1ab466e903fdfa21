// Finding a box and its local API. On its hotspot, with simulated boxes on loopback standing
// in for the gateway and the hotspot candidates; on the home network, the DNS-SD scanner's
// states when no daemon can be reached, and result sets in an order a daemon cannot be made to
// give on cue (discovery against a real Avahi daemon runs in the test network, tst_netns.cpp).
// Then the API's records, form encoding, gateway guessing and the pure set-up rules.

#include "fakes/ScriptedBrowser.h"
#include "setup/BoxClient.h"
#include "setup/BoxScanner.h"
#include "setup/Sanitize.h"
#include "setup/TavoBoxProbe.h"
#include "setup/WifiCreds.h"
#include "support/BoxSim.h"
#include "support/DataRows.h"

#include <QJsonArray>
#include <QNetworkAccessManager>
#include <QSignalSpy>
#include <QTest>
#include <arpa/inet.h>
#include <memory>
#include <netinet/in.h>
#include <qcoro/qcorotask.h>

using namespace tavo;

namespace {

// "4:ADDRESS" or "6:ADDRESS"; "-" for an entry without an address.
InterfaceAddress address(const QString& entry) {
    if (entry == "-") return {};
    sockaddr_storage s{};
    const QByteArray text = entry.mid(2).toLatin1();
    if (entry.startsWith("4:")) {
        s.ss_family = AF_INET;
        inet_pton(AF_INET, text.constData(), &reinterpret_cast<sockaddr_in*>(&s)->sin_addr);
    } else {
        s.ss_family = AF_INET6;
        inet_pton(AF_INET6, text.constData(), &reinterpret_cast<sockaddr_in6*>(&s)->sin6_addr);
    }
    return {s};
}

std::optional<QString> optionalString(const QJsonValue& v) {
    return v.isString() ? std::optional(v.toString()) : std::nullopt;
}

} // namespace

class TestBoxApi : public QObject {
    Q_OBJECT
    std::map<QString, std::unique_ptr<test::BoxSim>> m_boxes;

    // One simulator per behaviour, started once.
    QString box(const QString& label, QStringList args = {}) {
        auto& sim = m_boxes[label];
        if (!sim) {
            sim = std::make_unique<test::BoxSim>(args);
            if (!sim->start()) qFatal("tavo-boxsim did not start: %s", qPrintable(sim->log()));
        }
        return sim->base();
    }
private slots:
    void initTestCase() {
        // The Avahi client finds its daemon on the system bus: point it at nothing.
        qputenv("DBUS_SYSTEM_BUS_ADDRESS", "unix:path=/nonexistent/tavo-test-bus");
    }

    void failsQuietlyThenRestartsOnlyAfterStop() {
        QNetworkAccessManager network;
        BoxScanner scanner(network);
        QSignalSpy scanning(&scanner, &BoxScanner::scanningChanged);
        scanner.stop(); // no browser yet: nothing to end
        QVERIFY(!scanner.scanning());
        QVERIFY(!scanner.hasBrowser());
        QCOMPARE(scanning.size(), 0);

        scanner.start();
        QVERIFY(scanner.scanning());
        QTRY_VERIFY(!scanner.scanning()); // Failed: browser kept, nothing shown
        QVERIFY(scanner.hasBrowser());
        QVERIFY(scanner.found().isEmpty());

        scanning.clear();
        scanner.start(); // does nothing while failed
        QVERIFY(!scanner.scanning());
        QCOMPARE(scanning.size(), 0);

        scanner.stop();
        QVERIFY(!scanner.hasBrowser());
        scanner.start(); // browses again
        QVERIFY(scanner.scanning());
        QTRY_VERIFY(!scanner.scanning());
    }

    // A pass over an older result set that ends last does not bring back a box that went.
    void anOlderPassNeverOverwritesANewerOne() {
        test::BoxSim slow({"--joined", "Home Net", "--delay-ms", "800"}), fast({"--joined", "Home Net"});
        QVERIFY(slow.start() && fast.start());
        auto browser = std::make_shared<test::ScriptedBrowser>();
        browser->addresses = {{"Gone", {"127.0.0.1", slow.port()}}, {"Here", {"127.0.0.1", fast.port()}}};
        QNetworkAccessManager network;
        BoxScanner scanner(network, [browser](const QString&) { return browser; });
        const auto ids = [&] {
            QStringList out;
            for (const DiscoveredBox& box : scanner.found())
                out << box.id;
            return out;
        };
        scanner.start();
        browser->report({"Gone"}); // read for 800 ms
        browser->report({"Here"}); // "Gone" went away at once
        QTRY_COMPARE(ids(), QStringList{"Here"});
        QTest::qWait(1200); // the first pass is over
        QCOMPARE(ids(), QStringList{"Here"});
        QCOMPARE(browser->resolved, QStringList({"Gone", "Here"}));
    }

    // Boxes by label ("" = none): a candidate has its own 200 ms, the gateway the caller's time
    // (1200 ms here); only a 200 from the address probed counts, within its limit in all.
    void hotspotProbe_data() { TAVO_JSON_ROWS("boxapi-hotspot.json"); }
    void hotspotProbe() {
        QFETCH(QJsonObject, row);
        const QString gateway = row["gateway"].toString(), found = row["found"].toString();
        const auto base = [this](const QString& label) -> QString {
            if (label == "ok") return box("ok");
            if (label == "203") return box("203", {"--info-status", "203"}); // with its body
            if (label == "500") return box("500", {"--info-status", "500"});
            if (label == "slow") return box("slow", {"--delay-ms", "120"});
            if (label == "late") return box("late", {"--delay-ms", "600"});
            if (label == "trickle") return box("trickle", {"--trickle-ms", "40"}); // seconds for its body
            if (label == "redirect")
                return box("redirect", {"--redirect-to", box("ok") + "/api/device-info"});
            if (label == "closed") return "http://127.0.0.1:9";                           // refused at once
            if (label == "huge") return box("huge", {"--name", QString(48 * 1024, 'x')}); // name and ap
            return label;
        };
        QStringList urls;
        for (const QString& c : row["candidates"].toVariant().toStringList())
            urls << base(c);
        std::optional<QString> at; // the gateway as the interface list names it: no scheme
        if (!gateway.isEmpty()) at = base(gateway).mid(QStringLiteral("http://").size());
        const TavoBoxProbe probe({[at] { return at; }, urls});
        const std::optional<QUrl> result = QCoro::waitFor(probe.find(1200));
        QCOMPARE(result.has_value(), !found.isEmpty());
        if (result) QCOMPARE(result->toString(), base(found));
    }

    // Text as each rule makes it: a form value's encoding, the pair code field as typed, and
    // the code a claim sends.
    void textRules_data() { TAVO_JSON_ROWS("boxapi-text.json"); }
    void textRules() {
        QFETCH(QJsonObject, row);
        const QString in = row["in"].toString(), rule = row["rule"].toString();
        const QString out = rule == "form"        ? QString::fromLatin1(BoxClient::formEncode(in))
                            : rule == "pair code" ? Sanitize::pairCode(in)
                                                  : Sanitize::claimCode(in);
        QCOMPARE(out, row["out"].toString());
    }

    // A box's cloud status ("hasID": it names its box) and its identity, as bodies decode.
    void records_data() { TAVO_JSON_ROWS("boxapi-records.json"); }
    void records() {
        QFETCH(QJsonObject, row);
        const QByteArray body = row["body"].toString().toUtf8();
        if (row["record"] == "identity") {
            QCOMPARE(json::decode<BoxIdentity>(body).ok(), row["decodes"].toBool());
            return;
        }
        const Result<CloudStatus> s = json::decode<CloudStatus>(body);
        QCOMPARE(s.ok(), row["decodes"].toBool());
        if (s.ok()) QCOMPARE(s->device_id.has_value(), row["hasID"].toBool());
    }

    void gateway_data() { TAVO_JSON_ROWS("boxapi-gateway.json"); }
    // Entries: "4:addr", "6:addr", "-" (no address); null = the enumeration failed.
    void gateway() {
        QFETCH(QJsonObject, row);
        InterfaceList list;
        if (!row["interfaces"].isNull()) list = std::vector<InterfaceAddress>{};
        for (const QJsonValue& v : row["interfaces"].toArray())
            list->push_back(address(v.toString()));
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
    // The account has boxes 0 and 7; "status" is the box's, as it decodes.
    void classification() {
        QFETCH(QJsonObject, row);
        DiscoveredBox box{"Tavo Box", "192.168.1.20", 80, std::nullopt};
        if (!row["status"].isNull())
            box.status = json::decode<CloudStatus>(json::compact(row["status"].toObject())).value();
        QList<Device> devices(2);
        devices[1].id = 7;
        QCOMPARE(discovered::isMine(box, devices), row["mine"].toBool());
        QCOMPARE(discovered::canClaim(box), row["claimable"].toBool());
        QCOMPARE(discovered::subtitle(box, devices), row["subtitle"].toString());
    }

    void mergeFound() {
        const auto named = [](QString id, QString host, std::optional<QString> name) {
            DiscoveredBox box{id, host, 80, std::nullopt};
            if (name)
                box.status = json::decode<CloudStatus>(
                                 json::compact({{"ok", true}, {"connected", true}, {"name", *name}}))
                                 .value();
            return box;
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
