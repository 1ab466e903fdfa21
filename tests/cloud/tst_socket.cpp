#include "platform/Preferences.h"
#include "support/DevCloud.h"
#include "support/StoreFixture.h"

#include <QJsonArray>
#include <QTest>

using namespace tavo;
using namespace std::chrono_literals;
using Conn = TavoStore::ConnStatus;

// The device socket's life against a real development cloud.
class SocketTest : public QObject {
    Q_OBJECT

    test::DevCloud cloud{{"--seed", "demo"}};
    const QString phone = "+919876543210";

    int openSockets() { return cloud.get("/dev/sockets").value("total").toInt(); }
    int socketsOpened() { return cloud.get("/dev/sockets").value("opened").toInt(); }

    // A store with a restored demo session, pointed at the cloud.
    std::unique_ptr<test::StoreFixture> restored() {
        auto f = std::make_unique<test::StoreFixture>();
        f->makeSignedIn(cloud, phone);
        return f;
    }

private slots:
    void initTestCase() { QVERIFY(cloud.start()); }
    void init() { cloud.post("/dev/reset"); }

    void lostSocketReopensAfterThreeSeconds() {
        auto f = restored();
        TavoStore& store = *f->store;
        QTRY_COMPARE(store.conn(), Conn::Connected);
        const int opened = socketsOpened();

        cloud.post("/dev/drop-sockets");
        QTRY_COMPARE(store.conn(), Conn::Connecting);
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

    void foregroundWhileConnectingRefetchesWithoutASecondSocket() {
        auto f = restored();
        TavoStore& store = *f->store;
        QTRY_COMPARE(store.conn(), Conn::Connected);
        cloud.post("/dev/drop-sockets");
        QTRY_COMPARE(store.conn(), Conn::Connecting);
        const int opened = socketsOpened();
        cloud.post("/dev/requests/clear");

        store.reconnectIfStale();
        QTRY_COMPARE(cloud.get("/dev/requests").value("requests").toArray().size(), 1);
        QCOMPARE(
            cloud.get("/dev/requests").value("requests").toArray().at(0).toObject().value("path").toString(),
            QString("/v1/devices"));
        QTest::qWait(100);
        QCOMPARE(socketsOpened(), opened);
        f->clock.advance(3s);
        QTRY_COMPARE(store.conn(), Conn::Connected);
        QCOMPARE(socketsOpened(), opened + 1);
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

    void relayRoundTrip() {
        auto f = restored();
        TavoStore& store = *f->store;
        QTRY_COMPARE(store.conn(), Conn::Connected);

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

    void binaryFramesAndJunkOnTheWire() {
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
    }
};

QTEST_GUILESS_MAIN(SocketTest)
#include "tst_socket.moc"
