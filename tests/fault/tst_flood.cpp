// A socket flood: states pushed at full speed from a loopback peer on its own thread, through
// the real device socket. Every one is applied, in order; how long the main thread is held
// meanwhile is measured in bench/.

#include "support/LoopbackPeer.h"
#include "support/StoreFixture.h"

#include <QEventLoop>
#include <QJsonArray>
#include <QJsonDocument>
#include <QTest>
#include <QTimer>

using namespace tavo;

namespace {

// Under AddressSanitizer (whole stacks recorded on every allocation) a state costs about a
// millisecond instead of ten microseconds: a fifth of the flood still fills the socket buffers
// many times over.
constexpr int floodCount = test::underAddressSanitizer ? 20'000 : 100'000;
constexpr int relays = 17; // 2^17 > 100 000: the states spell the message's number

QJsonArray bitsOf(int n) {
    QJsonArray out;
    for (int ch = 0; ch < relays; ++ch)
        out.append(bool((n >> ch) & 1));
    return out;
}

int numberOf(const QList<bool>& states) {
    int n = 0;
    for (qsizetype ch = 0; ch < states.size(); ++ch)
        n |= int(states[ch]) << ch;
    return n;
}

} // namespace

class FloodTest : public QObject {
    Q_OBJECT

private slots:
    void statesAtFullSpeed() {
        test::LoopbackPeer peer([](QTcpSocket* socket, test::LoopbackPeer& p) {
            test::RawWebSocketServer::accept(socket, p, [](test::RawWebSocketServer& ws) {
                ws.send(test::RawWebSocketServer::text(json::compact(
                    {{"type", "welcome"},
                     {"devices", QJsonArray{test::deviceRecord(1, "Flood", relays, {{"1", "First"}}),
                                            test::deviceRecord(2, "Bystander", 2)}}})));
                // All of it at once: the socket's write buffer holds the whole flood and the
                // kernel passes it on as fast as the client reads.
                QByteArray flood;
                for (int i = 1; i <= floodCount; ++i)
                    flood += test::RawWebSocketServer::text(
                        json::compact({{"type", "state"}, {"device_id", 1}, {"states", bitsOf(i)}}));
                ws.send(flood);
            });
        });

        test::StoreFixture f;
        TavoStore& store = f.makeWithSession(peer.host());

        int applied = 0, outOfOrder = 0, last = 0;
        QList<Device> bystanderSeen;
        QEventLoop loop;
        connect(&store, &TavoStore::devicesChanged, &loop, [&] {
            if (store.devices().size() != 2) return;
            const int n = numberOf(store.devices().at(0).effectiveStates());
            if (n == last) return; // the welcome, or a change elsewhere
            ++applied;
            if (n != last + 1) ++outOfOrder;
            last = n;
            if (n == floodCount) loop.quit();
        });

        QTimer::singleShot(120'000, &loop, &QEventLoop::quit); // a hang fails below, not by timeout
        loop.exec();

        QCOMPARE(applied, floodCount);
        QCOMPARE(outOfOrder, 0);
        QCOMPARE(store.devices().at(0).effectiveStates().size(), relays);
        QCOMPARE(numberOf(store.devices().at(0).effectiveStates()), floodCount);
        QCOMPARE(store.devices().at(0).relay_names.value("1"), QString("First"));
        QCOMPARE(store.devices().at(1).name, QString("Bystander"));
        QCOMPARE(store.devices().at(1).effectiveStates(), QList<bool>({false, false}));
        QCOMPARE(store.conn(), TavoStore::ConnStatus::Connected);
    }
};

QTEST_GUILESS_MAIN(FloodTest)
#include "tst_flood.moc"
