#include "support/StoreFixture.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QTest>

using namespace tavo;

namespace {

QJsonObject obj(const char* text) {
    return QJsonDocument::fromJson(QByteArray(text)).object();
}

// Two boxes: 1 "Hall" (3 relays, named 1 and 3, online on HomeNet) and 2 "Shed" (offline).
const char* twoBoxes = R"({"type":"welcome","devices":[
  {"id":1,"mac":"m1","name":"Hall","relay_count":3,"relay_names":{"1":"Fan","3":"Lamp"},"acl_mask":7,
   "role":"owner","online":true,"states":[true,false,true],"wifi_ssid":"HomeNet","wifi_rssi":-50},
  {"id":2,"mac":"m2","name":"Shed","relay_count":2,"relay_names":{},"acl_mask":1,"role":"member",
   "online":false,"offline_since":"2026-01-05T08:00:00Z"}]})";

} // namespace

// handleWS as a table: a frame applied to the two-box list gives this list and this toast.
class MessagesTest : public QObject {
    Q_OBJECT

private slots:
    void handle_data() {
        QTest::addColumn<QString>("frame");
        QTest::addColumn<QString>("check"); // what to look at, see handle()
        QTest::addColumn<QString>("expect");
        QTest::addColumn<QString>("toast"); // "" = none; "!" prefix = error

        QTest::newRow("state replaces states and marks online")
            << R"({"type":"state","device_id":2,"states":[true,true]})" << "2.states" << "1,1" << "";
        QTest::newRow("state without states empties them")
            << R"({"type":"state","device_id":1})" << "1.states" << "" << "";
        QTest::newRow("state with a non-bool entry empties them")
            << R"({"type":"state","device_id":1,"states":[true,1]})" << "1.states" << "" << "";
        QTest::newRow("state for an unknown box: nothing")
            << R"({"type":"state","device_id":9,"states":[false]})" << "1.states" << "1,0,1" << "";
        QTest::newRow("state marks online") << R"({"type":"state","device_id":2,"states":[]})" << "2.online" << "1" << "";
        QTest::newRow("device_id as text matches nothing")
            << R"({"type":"state","device_id":"1","states":[]})" << "1.states" << "1,0,1" << "";
        QTest::newRow("presence online without ssid keeps the old one")
            << R"({"type":"presence","device_id":1,"online":true,"wifi_rssi":-70})" << "1.wifi" << "HomeNet/-70" << "";
        QTest::newRow("presence offline clears wifi, sets since and hint")
            << R"({"type":"presence","device_id":1,"online":false,"offline_since":"2026-01-05T09:00:00Z","offline_hint":"Unplugged","wifi_ssid":"X"})"
            << "1.offline" << "0|2026-01-05T09:00:00Z|Unplugged|-|-" << "";
        QTest::newRow("presence online clears since and hint")
            << R"({"type":"presence","device_id":2,"online":true,"offline_since":"x","wifi_ssid":"Shed-AP"})"
            << "2.offline" << "1|-|-|Shed-AP|-" << "";
        QTest::newRow("presence with a non-bool online reads offline")
            << R"({"type":"presence","device_id":1,"online":"yes"})" << "1.offline" << "0|-|-|-|-" << "";
        QTest::newRow("names merges one channel")
            << R"({"type":"names","device_id":1,"names":{"2":"Heater"}})" << "1.names" << "1=Fan;2=Heater;3=Lamp" << "";
        QTest::newRow("names of another shape: no change")
            << R"({"type":"names","device_id":1,"names":{"2":5}})" << "1.names" << "1=Fan;3=Lamp" << "";
        QTest::newRow("device_added appends and greets")
            << R"({"type":"device_added","device":{"id":5,"mac":"m5","name":"Attic","relay_count":1,"relay_names":{},"acl_mask":1,"role":"member","online":true}})"
            << "ids" << "1,2,5" << "You've been added to Attic";
        QTest::newRow("device_added for a known box leaves one copy at the end")
            << R"({"type":"device_added","device":{"id":1,"mac":"m1","name":"Hall 2","relay_count":3,"relay_names":{},"acl_mask":7,"role":"owner","online":true}})"
            << "ids" << "2,1" << "You've been added to Hall 2";
        QTest::newRow("device_added that does not decode: silent")
            << R"({"type":"device_added","device":{"id":5,"name":"No role"}})"
            << "ids"
            << "1,2"
            << "";
        QTest::newRow("device_added with 2^31-1 relays: silent")
            << R"({"type":"device_added","device":{"id":5,"mac":"m5","name":"Attic","relay_count":2147483647,"relay_names":{},"acl_mask":1,"role":"member","online":true}})"
            << "ids"
            << "1,2"
            << "";
        QTest::newRow("welcome with 33 relays empties")
            << R"({"type":"welcome","devices":[{"id":4,"mac":"m","name":"n","relay_count":33,"relay_names":{},"acl_mask":1,"role":"owner","online":true}]})"
            << "ids"
            << ""
            << "";
        QTest::newRow("state with more states than any box empties them")
            << QString(R"({"type":"state","device_id":1,"states":[%1]})")
                   .arg(QStringList(33, "true").join(','))
            << "1.states"
            << ""
            << "";
        QTest::newRow("names keeps channel keys only")
            << R"({"type":"names","device_id":1,"names":{"2":"Heater","0":"x","99":"y"}})"
            << "1.names"
            << "1=Fan;2=Heater;3=Lamp"
            << "";
        QTest::newRow("names with a name over the bound: no change")
            << QString(R"({"type":"names","device_id":1,"names":{"2":"%1"}})").arg(QString(1025, 'h'))
            << "1.names"
            << "1=Fan;3=Lamp"
            << "";
        QTest::newRow("device_added without an object: silent") << R"({"type":"device_added","device":[1]})"
                                                                << "ids"
                                                                << "1,2"
                                                                << "";
        QTest::newRow("device_removed removes and warns") << R"({"type":"device_removed","device_id":1})"
                                                          << "ids"
                                                          << "2"
                                                          << "!Access removed";
        QTest::newRow("device_removed for an unknown box: no toast")
            << R"({"type":"device_removed","device_id":7})" << "ids" << "1,2" << "";
        QTest::newRow("error shows its text") << R"({"type":"error","error":"Box busy"})" << "ids" << "1,2" << "!Box busy";
        QTest::newRow("error without text: nothing") << R"({"type":"error"})" << "ids" << "1,2" << "";
        QTest::newRow("welcome without devices empties") << R"({"type":"welcome"})" << "ids" << "" << "";
        QTest::newRow("welcome with one bad entry empties")
            << R"({"type":"welcome","devices":[{"id":1,"mac":"m","name":"n","relay_count":1,"relay_names":{},"acl_mask":1,"online":true}]})"
            << "ids" << "" << "";
        QTest::newRow("welcome with a string") << R"({"type":"welcome","devices":"boxes"})" << "ids" << "" << "";
        QTest::newRow("welcome with null") << R"({"type":"welcome","devices":null})" << "ids" << "" << "";
        QTest::newRow("welcome with an object") << R"({"type":"welcome","devices":{"id":1}})" << "ids" << "" << "";
        QTest::newRow("welcome with null states decodes")
            << R"({"type":"welcome","devices":[{"id":4,"mac":"m","name":"n","relay_count":2,"relay_names":{},"acl_mask":1,"role":"owner","online":true,"states":null}]})"
            << "4.states" << "absent" << "";
        QTest::newRow("unknown type ignored") << R"({"type":"hello","devices":[]})" << "ids" << "1,2" << "";
        QTest::newRow("type not a string ignored") << R"({"type":5})" << "ids" << "1,2" << "";
    }

    void handle() {
        QFETCH(QString, frame);
        QFETCH(QString, check);
        QFETCH(QString, expect);
        QFETCH(QString, toast);

        test::StoreFixture f;
        TavoStore& store = f.make();
        store.handleWS(obj(twoBoxes));
        QCOMPARE(store.devices().size(), 2);
        store.handleWS(QJsonDocument::fromJson(frame.toUtf8()).object());

        auto box = [&](qint64 id) -> const Device* {
            for (const Device& d : store.devices())
                if (d.id == id) return &d;
            return nullptr;
        };
        QString actual;
        const QStringList parts = check.split('.');
        if (check == "ids") {
            QStringList ids;
            for (const Device& d : store.devices()) ids << QString::number(d.id);
            actual = ids.join(',');
        } else {
            const Device* d = box(parts[0].toLongLong());
            QVERIFY(d);
            const QString what = parts[1];
            if (what == "states") {
                if (!d->states) actual = "absent";
                else {
                    QStringList s;
                    for (bool b : *d->states) s << (b ? "1" : "0");
                    actual = s.join(',');
                }
            } else if (what == "online") {
                actual = d->online ? "1" : "0";
            } else if (what == "wifi") {
                actual = d->wifi_ssid.value_or("-") + "/" + (d->wifi_rssi ? QString::number(*d->wifi_rssi) : "-");
            } else if (what == "offline") {
                actual = QStringList{d->online ? "1" : "0", d->offline_since.value_or("-"), d->offline_hint.value_or("-"),
                                     d->wifi_ssid.value_or("-"), d->wifi_rssi ? QString::number(*d->wifi_rssi) : "-"}
                             .join('|');
            } else if (what == "names") {
                QStringList n;
                for (auto it = d->relay_names.cbegin(); it != d->relay_names.cend(); ++it) n << it.key() + "=" + it.value();
                actual = n.join(';');
            }
        }
        QCOMPARE(actual, expect);

        if (toast.isEmpty()) {
            QCOMPARE(store.toast(), std::nullopt);
        } else {
            const bool error = toast.startsWith('!');
            QCOMPARE(store.toast(), std::optional<QString>(error ? toast.mid(1) : toast));
            QCOMPARE(store.toastIsError(), error);
        }
    }

    void relayCommandsAreOptimistic_data() {
        QTest::addColumn<QString>("op");
        QTest::addColumn<int>("ch");
        QTest::addColumn<bool>("on");
        QTest::addColumn<QString>("states");
        QTest::newRow("absent states become a full list") << "set" << 2 << true << "0,1,0,0";
        QTest::newRow("channel 0 changes nothing but fills the list") << "set" << 0 << true << "0,0,0,0";
        QTest::newRow("channel above the count") << "set" << 5 << true << "0,0,0,0";
        QTest::newRow("all ignores the acl") << "all" << 0 << true << "1,1,1,1";
    }

    void relayCommandsAreOptimistic() {
        QFETCH(QString, op);
        QFETCH(int, ch);
        QFETCH(bool, on);
        QFETCH(QString, states);
        test::StoreFixture f;
        TavoStore& store = f.make();
        store.handleWS(obj(R"({"type":"welcome","devices":[{"id":8,"mac":"m","name":"n","relay_count":4,
            "relay_names":{},"acl_mask":1,"role":"member","online":true}]})"));
        QVERIFY(!store.devices().at(0).states);
        // No socket: the message is dropped silently, the local change stays.
        if (op == "set") store.setRelay(8, ch, on);
        else store.allRelays(8, on);
        store.setRelay(99, 1, true); // an unknown box changes nothing here
        QStringList s;
        for (bool b : *store.devices().at(0).states) s << (b ? "1" : "0");
        QCOMPARE(s.join(','), states);
        QCOMPARE(store.toast(), std::nullopt);
    }
};

QTEST_GUILESS_MAIN(MessagesTest)
#include "tst_messages.moc"
