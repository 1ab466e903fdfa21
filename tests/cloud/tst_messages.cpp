#include "support/DataRows.h"
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
    // A frame applied to the two-box list gives this list and this toast ("!" for an error).
    void handle_data() { TAVO_JSON_ROWS("messages.json"); }

    void handle() {
        QFETCH(QJsonObject, row);
        const QString check = row["check"].toString(), expect = row["expect"].toString(),
                      toast = row["toast"].toString();

        test::StoreFixture f;
        TavoStore& store = f.make();
        store.handleWS(obj(twoBoxes));
        QCOMPARE(store.devices().size(), 2);
        store.handleWS(row["frame"].toObject());

        auto box = [&](qint64 id) -> const Device* {
            for (const Device& d : store.devices())
                if (d.id == id) return &d;
            return nullptr;
        };
        QString actual;
        const QStringList parts = check.split('.');
        if (check == "ids") {
            QStringList ids;
            for (const Device& d : store.devices())
                ids << QString::number(d.id);
            actual = ids.join(',');
        } else {
            const Device* d = box(parts[0].toLongLong());
            QVERIFY(d);
            const QString what = parts[1];
            if (what == "states") {
                if (!d->states)
                    actual = "absent";
                else {
                    QStringList s;
                    for (bool b : *d->states)
                        s << (b ? "1" : "0");
                    actual = s.join(',');
                }
            } else if (what == "online") {
                actual = d->online ? "1" : "0";
            } else if (what == "wifi") {
                actual =
                    d->wifi_ssid.value_or("-") + "/" + (d->wifi_rssi ? QString::number(*d->wifi_rssi) : "-");
            } else if (what == "offline") {
                actual = QStringList{d->online ? "1" : "0", d->offline_since.value_or("-"),
                                     d->offline_hint.value_or("-"), d->wifi_ssid.value_or("-"),
                                     d->wifi_rssi ? QString::number(*d->wifi_rssi) : "-"}
                             .join('|');
            } else if (what == "names") {
                QStringList n;
                for (auto it = d->relay_names.cbegin(); it != d->relay_names.cend(); ++it)
                    n << it.key() + "=" + it.value();
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

    void relayCommandsAreOptimistic_data() { TAVO_JSON_ROWS("messages-optimistic.json"); }
    void relayCommandsAreOptimistic() {
        QFETCH(QJsonObject, row);
        const int ch = row["ch"].toInt();
        const bool on = row["on"].toBool();
        test::StoreFixture f;
        TavoStore& store = f.make();
        store.handleWS(obj(R"({"type":"welcome","devices":[{"id":8,"mac":"m","name":"n","relay_count":4,
            "relay_names":{},"acl_mask":1,"role":"member","online":true}]})"));
        QVERIFY(!store.devices().at(0).states);
        // No socket: the message is dropped silently, the local change stays.
        if (row["op"] == "set")
            store.setRelay(8, ch, on);
        else
            store.allRelays(8, on);
        store.setRelay(99, 1, true); // an unknown box changes nothing here
        QStringList s;
        for (bool b : *store.devices().at(0).states)
            s << (b ? "1" : "0");
        QCOMPARE(s.join(','), row["states"].toString());
        QCOMPARE(store.toast(), std::nullopt);
    }
};

QTEST_GUILESS_MAIN(MessagesTest)
#include "tst_messages.moc"
