#include "cloud/Api.h"
#include "cloud/Json.h"
#include "platform/Preferences.h"
#include "platform/linux/SettingsPreferences.h"
#include "support/DataRows.h"
#include "support/DevCloud.h"
#include "support/StoreFixture.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QNetworkReply>
#include <QTemporaryDir>
#include <QTest>
#include <QUrlQuery>
#include <QWebSocket>

using namespace tavo;
using namespace std::chrono_literals;
using Conn = TavoStore::ConnStatus;

namespace {

// One socket and the text frames that came back on it.
struct Socket {
    explicit Socket(const QString& url) {
        QObject::connect(&ws, &QWebSocket::textMessageReceived, [this](const QString& t) {
            frames << QJsonDocument::fromJson(t.toUtf8()).object();
        });
        QObject::connect(&ws, &QWebSocket::disconnected, [this] { ++disconnects; });
        ws.open(QUrl(url));
    }
    int ofType(const QString& type) const {
        return int(std::count_if(frames.begin(), frames.end(),
                                 [&](const QJsonObject& f) { return f["type"] == type; }));
    }
    QWebSocket ws;
    QList<QJsonObject> frames;
    int disconnects = 0;
};

// Two boxes: 1 "Hall" (3 relays, named 1 and 3, online on HomeNet) and 2 "Shed" (offline, its
// states not told).
const char* twoBoxes = R"({"type":"welcome","devices":[
  {"id":1,"mac":"m1","name":"Hall","relay_count":3,"relay_names":{"1":"Fan","3":"Lamp"},"acl_mask":7,
   "role":"owner","online":true,"states":[true,false,true],"wifi_ssid":"HomeNet","wifi_rssi":-50},
  {"id":2,"mac":"m2","name":"Shed","relay_count":2,"relay_names":{},"acl_mask":1,"role":"member",
   "online":false,"offline_since":"2026-01-05T08:00:00Z"}]})";

} // namespace

// The client and real development clouds: API::send over real HTTP, the device socket's life,
// the cloud's own sockets, and the store's handling of each message the socket brings.
class SocketTest : public QObject {
    Q_OBJECT

    test::DevCloud cloud{{"--seed", "demo"}};
    const QString phone = "+919876543210";
    test::DevCloud local; // the local server the API may be switched to
    QTemporaryDir dir;
    std::unique_ptr<SettingsPreferences> prefs;
    QNetworkAccessManager nam;
    CloudConfig config;

    API api(const QString& token = {}) { return API(nam, config, *prefs, token); }

    // What the given cloud saw of our last request.
    QJsonObject lastRequest(test::DevCloud& c) {
        const QJsonArray all = c.get("/dev/requests").value("requests").toArray();
        return all.isEmpty() ? QJsonObject() : all.last().toObject();
    }

    static QString respond(int status, const QString& body) {
        QUrlQuery q;
        q.addQueryItem("status", QString::number(status));
        q.addQueryItem("body", QString::fromLatin1(QUrl::toPercentEncoding(body)));
        return "/dev/respond?" + q.toString(QUrl::FullyEncoded);
    }

    int openSockets() { return cloud.get("/dev/sockets").value("total").toInt(); }
    int socketsOpened() { return cloud.get("/dev/sockets").value("opened").toInt(); }

    // A store with a restored demo session, pointed at the cloud.
    std::unique_ptr<test::StoreFixture> restored() {
        auto f = std::make_unique<test::StoreFixture>();
        f->makeSignedIn(cloud, phone);
        return f;
    }

private slots:
    void initTestCase() {
        QVERIFY(cloud.start());
        QVERIFY(local.start());
        prefs = std::make_unique<SettingsPreferences>(dir.filePath("Tavo.json"));
        config = CloudConfig{cloud.host(), false, "127.0.0.1", local.port()};
    }
    void init() {
        cloud.post("/dev/reset");
        prefs->remove(PrefKey::useLocalServer);
        cloud.post("/dev/requests/clear");
        local.post("/dev/requests/clear");
    }

    // A lost socket reopens after 3 s, not before; the app brought to the front meanwhile
    // refetches the list but opens no second socket.
    void lostSocketReopensAfterThreeSeconds() {
        auto f = restored();
        TavoStore& store = *f->store;
        QTRY_COMPARE(store.conn(), Conn::Connected);
        const int opened = socketsOpened();

        cloud.post("/dev/drop-sockets");
        QTRY_COMPARE(store.conn(), Conn::Connecting);
        cloud.post("/dev/requests/clear");
        store.reconnectIfStale();
        QTRY_COMPARE(cloud.get("/dev/requests").value("requests").toArray().size(), 1);
        QCOMPARE(lastRequest(cloud).value("path").toString(), QString("/v1/devices"));
        f->clock.advance(2900ms);
        QTest::qWait(100);
        QCOMPARE(socketsOpened(), opened); // not before 3 s
        f->clock.advance(100ms);
        QTRY_COMPARE(store.conn(), Conn::Connected);
        QCOMPARE(socketsOpened(), opened + 1);
        QCOMPARE(openSockets(), 1);
    }

    // Resetting the cloud closes every open socket (forgetting their sessions) and keeps serving.
    void resetWithManySocketsOpenKeepsServing() {
        std::vector<std::unique_ptr<test::StoreFixture>> stores;
        for (int i = 0; i < 4; ++i)
            stores.push_back(restored());
        QTRY_COMPARE(openSockets(), 4);
        cloud.post("/dev/reset");
        QVERIFY2(cloud.running(), qPrintable(cloud.state()));
        for (auto& f : stores)
            QTRY_COMPARE(f->store->conn(), Conn::Connecting);
        QCOMPARE(openSockets(), 0);
    }

    // Signed out while connected (the socket closes with 1001) or still connecting: no reader
    // is left, and nothing opens a socket again.
    void signOutStaysDown_data() {
        QTest::addColumn<bool>("connected");
        QTest::newRow("connected") << true;
        QTest::newRow("connecting") << false;
    }
    void signOutStaysDown() {
        QFETCH(bool, connected);
        auto f = restored();
        TavoStore& store = *f->store;
        QCoreApplication::processEvents();
        if (connected)
            QTRY_COMPARE(store.conn(), Conn::Connected);
        else
            QCOMPARE(store.conn(), Conn::Connecting);
        const int opened = socketsOpened();
        store.signOut();
        QCOMPARE(store.conn(), Conn::Offline);
        QVERIFY(!store.readerRunning());
        QTRY_COMPARE(openSockets(), 0);
        if (connected) QCOMPARE(cloud.get("/dev/sockets").value("last_close_code").toInt(), 1001);
        f->clock.advance(10s);
        QTest::qWait(300);
        if (connected) QCOMPARE(socketsOpened(), opened); // a connecting one may yet arrive, closed
        QCOMPARE(store.conn(), Conn::Offline);
        QCOMPARE(openSockets(), 0);
    }

    void foregroundWhileOfflineReconnects() {
        // A stored token without a phone stays offline at start-up; activation still reconnects.
        test::StoreFixture f;
        f.prefs->setValue(PrefKey::session, cloud.signIn(phone).value("session_token").toString());
        f.useCloud(cloud.host());
        TavoStore& store = f.make();
        QCoreApplication::processEvents();
        QCOMPARE(store.conn(), Conn::Offline);
        store.reconnectIfStale();
        QCOMPARE(store.conn(), Conn::Connecting);
        QTRY_COMPARE(store.conn(), Conn::Connected);

        store.signOut();
        store.reconnectIfStale(); // signed out: nothing
        QCOMPARE(store.conn(), Conn::Offline);
        QVERIFY(!store.readerRunning());
    }

    // Junk on the wire is skipped and a binary frame is read as text; then relays go both ways.
    void relayRoundTrip() {
        auto f = restored();
        TavoStore& store = *f->store;
        QTRY_COMPARE(store.conn(), Conn::Connected);
        const QByteArray error = R"({"type":"error","error":"From binary"})";
        cloud.post("/dev/push", {{"phone", phone}, {"frame", "not json"}});
        cloud.post("/dev/push", {{"phone", phone}, {"frame", "[1,2]"}});
        cloud.post("/dev/push", {{"phone", phone},
                                 {"frame", QString::fromLatin1(QByteArray("\xff\xfe{").toBase64())},
                                 {"binary", true}});
        cloud.post("/dev/push",
                   {{"phone", phone}, {"frame", QString::fromLatin1(error.toBase64())}, {"binary", true}});
        QTRY_COMPARE(store.toast(), std::optional<QString>("From binary"));
        QCOMPARE(store.conn(), Conn::Connected);
        QCOMPARE(store.devices().size(), 3);

        store.setRelay(2, 1, true); // Study, channel 1
        QCOMPARE(store.devices().at(1).states, std::optional<QList<bool>>({true, false}));
        QTRY_COMPARE(
            cloud.get("/dev/state").value("boxes").toArray().at(1).toObject().value("states").toArray(),
            QJsonArray({true, false}));

        // The cloud's answer is the truth, a refusal's too: the optimistic switch of an offline
        // shared box (Guest House, relay 1 only) comes back to what the box holds, still offline.
        store.allRelays(3, true);
        QCOMPARE(store.devices().at(2).states, std::optional<QList<bool>>({true, true, true}));
        QTRY_COMPARE(store.devices().at(2).states, std::optional<QList<bool>>({false, false, false}));
        QTRY_VERIFY(!store.devices().at(2).online);
        QCOMPARE(store.toast(), std::optional<QString>("Box is offline"));
        cloud.post("/dev/device/3/presence", {{"online", true}});
        store.allRelays(3, true); // forbidden channels stay as they were
        QTRY_COMPARE(store.devices().at(2).states, std::optional<QList<bool>>({true, false, false}));

        // A refused command comes back as an error toast and the real state.
        store.setRelay(3, 2, true);
        QCOMPARE(store.devices().at(2).states, std::optional<QList<bool>>({true, true, false}));
        QTRY_COMPARE(store.toast(), std::optional<QString>("No access to this relay"));
        QVERIFY(store.toastIsError());
        QTRY_COMPARE(store.devices().at(2).states, std::optional<QList<bool>>({true, false, false}));
        QVERIFY(store.devices().at(2).online);
    }

    // The development cloud itself: it refuses a voice socket without a session, and a box
    // claimed by pair code reaches the claimer's socket. Its other rules are what the client's
    // own tests in voice/, setup/ and tst_tls.cpp (silence answered) stand on, and fail there
    // when they break.
    void devCloudSmoke() {
        Socket refused("ws://" + cloud.host() + "/v1/voice/stream?token=not-a-session");
        QTRY_COMPARE(refused.disconnects, 1);
        QCOMPARE(refused.frames,
                 QList<QJsonObject>{QJsonObject({{"type", "error"}, {"error", "Unauthorized"}})});

        const QString token = cloud.signIn("+919800000511").value("session_token").toString();
        Socket mine("ws://" + cloud.host() + "/ws/client?token=" + token);
        QTRY_COMPARE(mine.ofType("welcome"), 1);
        const QString code =
            cloud.post("/dev/boxes/register", {{"mac", "02:00:00:00:0E:11"}, {"relays", 3}})["pair_code"]
                .toString();
        QVERIFY(!code.isEmpty());
        QVERIFY(QCoro::waitFor(api(token).send<EmptyOK>("POST", "/v1/device/claim",
                                                        json::compact({{"pair_code", code}})))
                    .ok());
        QTRY_COMPARE(mine.ofType("device_added"), 1);
        QCOMPARE(mine.frames.last().value("device").toObject().value("acl_mask").toInteger(),
                 0b111); // every relay the claimer's
        QVERIFY(cloud.post("/dev/voice/script", {{"close_after", "later"}}).contains("error"));
    }

    // A frame applied to the two-box list, or a switch ("op") made with no socket, the change
    // kept, gives this toast ("!" for an error) and these fields of box "check" as its record
    // has them (absent ones null), or these "ids" in order.
    void messages_data() { TAVO_JSON_ROWS("socket-messages.json"); }

    void messages() {
        QFETCH(QJsonObject, row);
        const QString toast = row["toast"].toString();
        test::StoreFixture f;
        TavoStore& store = f.make();
        store.handleWS(QJsonDocument::fromJson(twoBoxes).object());
        QCOMPARE(store.devices().size(), 2);
        if (row["op"] == "set")
            store.setRelay(row["box"].toInteger(), row["ch"].toInt(), row["on"].toBool());
        else if (row["op"] == "all")
            store.allRelays(row["box"].toInteger(), row["on"].toBool());
        else
            store.handleWS(row["frame"].toObject());
        QJsonArray ids;
        QJsonObject box;
        for (const Device& d : store.devices()) {
            ids << d.id;
            if (d.id == row["check"].toInteger()) box = d.toJson();
        }
        box["ids"] = ids;
        const QJsonObject expect = row["expect"].toObject();
        QJsonObject seen;
        for (const QString& key : expect.keys())
            seen[key] = box.contains(key) ? box[key] : QJsonValue();
        QCOMPARE(json::compact(seen), json::compact(expect));
        QCOMPARE(store.toast(),
                 toast.isEmpty() ? std::nullopt : std::optional(toast.mid(toast.startsWith('!') ? 1 : 0)));
        if (!toast.isEmpty()) QCOMPARE(store.toastIsError(), toast.startsWith('!'));
    }

    void localServerSwitchIsReadPerCall() {
        prefs->setValue(PrefKey::useLocalServer, true);
        const API request = api("tok");
        QCOMPARE(request.request("/v1/devices")->url().toString(),
                 QString("http://127.0.0.1:%1/v1/devices").arg(local.port()));
        QCoro::waitFor(request.send<EmptyOK>("GET", "/v1/devices"));
        QCOMPARE(lastRequest(local).value("path").toString(), QString("/v1/devices"));
        QVERIFY(lastRequest(cloud).isEmpty());

        // The same API value follows the switch at the moment of the next call.
        prefs->setValue(PrefKey::useLocalServer, false);
        QCoro::waitFor(request.send<EmptyOK>("GET", "/v1/devices"));
        QCOMPARE(lastRequest(cloud).value("path").toString(), QString("/v1/devices"));
    }

    // A request that gets a reply of this "status" and "body", or one to "path": decoded ("ok":
    // the field, null when absent), or failed with this "kind" (and "text", the cloud's words).
    // A "method" with a "token" goes without a body; what the cloud saw of it has these headers
    // ("authorization" null: none).
    void replies_data() { TAVO_JSON_ROWS("socket-api-replies.json"); }
    void replies() {
        QFETCH(QJsonObject, row);
        const int status = row["status"].toInt();
        const QString body = row["body"].toString(), method = row["method"].toString("POST");
        const QString path = row.contains("path") ? row["path"].toString() : respond(status, body);
        auto result = QCoro::waitFor(
            api(row["token"].toString())
                .send<EmptyOK>(method, path,
                               row.contains("method") ? std::nullopt : std::optional(QByteArray("{}"))));
        if (!row.contains("kind")) {
            QVERIFY(result.ok());
            QCOMPARE(result->ok.has_value(), !row["ok"].isNull()); // null = absent
            if (result->ok) QCOMPARE(*result->ok, row["ok"].toBool());
            return;
        }
        QVERIFY(!result.ok());
        const QStringList kinds{"Api", "Transport", "Decode", "InvalidAddress"};
        QCOMPARE(kinds.value(int(result.failure().kind)), row["kind"].toString());
        if (row.contains("text")) {
            QCOMPARE(result.failure().status, status);
            QCOMPARE(result.failure().body, body);
            QCOMPARE(result.failure().description(), row["text"].toString());
        } else {
            QVERIFY(!result.failure().description().isEmpty());
        }
        const QJsonObject seen = lastRequest(cloud);
        if (row["kind"] == "InvalidAddress") QVERIFY(seen.isEmpty());
        if (!row.contains("authorization")) return;
        QCOMPARE(seen.value("method").toString(), method);
        QCOMPARE(seen.value("path").toString(), path);
        const QJsonObject headers = seen.value("headers").toObject();
        QCOMPARE(headers.value("content-type").toString(), QString("application/json"));
        QCOMPARE(headers.contains("authorization"), !row["authorization"].isNull());
        QCOMPARE(headers.value("authorization").toString(), row["authorization"].toString());
    }
};

QTEST_GUILESS_MAIN(SocketTest)
#include "tst_socket.moc"
