// Hostile peers on loopback: a device socket that sends huge, broken or absurdly nested
// frames, HTTP replies that are junk or never come, an event stream that never ends a line.
// Each gives the error the client defines for it, keeps what the store held, and costs
// bounded memory.

#include "support/LoopbackPeer.h"
#include "support/StoreFixture.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QTcpSocket>
#include <QTest>

using namespace tavo;
using namespace std::chrono_literals;
using Conn = TavoStore::ConnStatus;

namespace {

QJsonObject box(qint64 id, const QString& name) {
    return {{"id", id},           {"mac", QStringLiteral("AA:BB:CC:00:00:%1").arg(id)},
            {"name", name},       {"relay_count", 2},
            {"relay_names", QJsonObject{{"1", "Fan"}}},
            {"acl_mask", 3},      {"role", "owner"},
            {"online", true},     {"states", QJsonArray{false, true}}};
}

QByteArray compact(const QJsonObject& o) {
    return QJsonDocument(o).toJson(QJsonDocument::Compact);
}

const QByteArray welcome = compact({{"type", "welcome"}, {"devices", QJsonArray{box(1, "Porch"), box(2, "Den")}}});
const QByteArray marker = compact({{"type", "state"}, {"device_id", 1}, {"states", QJsonArray{true, false}}});

constexpr qint64 MiB = 1024 * 1024;

// How a hostile frame is put on the wire.
enum class Shape { Text, Long, Fragments };

} // namespace

Q_DECLARE_METATYPE(Shape)

class HostileTest : public QObject {
    Q_OBJECT

private slots:
    void socketFrames_data() {
        QTest::addColumn<Shape>("shape");
        QTest::addColumn<QByteArray>("head"); // Text: the payload; Long: what comes before the filler
        QTest::addColumn<qint64>("size");     // Long and Fragments: the message's length
        QTest::addColumn<int>("closeCode");   // the client's close, or 0 when it reads on
        QTest::addColumn<QString>("firstName"); // box 1's name afterwards

        const QByteArray padded = "{\"type\":\"state\",\"device_id\":1,\"states\":[true,true],\"pad\":\"";
        QTest::newRow("invalid UTF-8 in a text frame")
            << Shape::Text << QByteArray("{\"type\":\"error\",\"error\":\"\xff\xfe\"}") << qint64(0) << 1007
            << "Porch";
        QTest::newRow("a 16 MiB text frame") << Shape::Long << padded << 16 * MiB << 1009 << "Porch";
        QTest::newRow("a 16 MiB message in 64 fragments") << Shape::Fragments << padded << 16 * MiB << 1009
                                                          << "Porch";
        QTest::newRow("100 000 nested arrays") << Shape::Text << QByteArray(100'000, '[') << qint64(0) << 0
                                               << "Porch";
        QTest::newRow("100 000 nested objects")
            << Shape::Text << QByteArray("{\"a\":").repeated(100'000) << qint64(0) << 0 << "Porch";
        QTest::newRow("nesting inside a welcome")
            << Shape::Text
            << QByteArray("{\"type\":\"welcome\",\"devices\":") + QByteArray(5000, '[') + QByteArray(5000, ']') + "}"
            << qint64(0) << 0 << "Porch";
        // Large but legitimate: a welcome of 1 MiB still arrives whole through the socket's
        // bounded read buffer.
        QTest::newRow("a 1 MiB welcome")
            << Shape::Long << QByteArray("{\"type\":\"welcome\",\"devices\":[") + compact(box(1, "Big")) + "," + compact(box(2, "Den")) + "],\"pad\":\""
            << 1 * MiB << 0 << "Big";
    }

    void socketFrames() {
        QFETCH(Shape, shape);
        QFETCH(QByteArray, head);
        QFETCH(qint64, size);
        QFETCH(int, closeCode);
        QFETCH(QString, firstName);

        test::LoopbackPeer peer([&](QTcpSocket* socket, test::LoopbackPeer& p) {
            const bool first = p.accepted() == 1;
            test::RawWebSocketServer::accept(socket, p, [=](test::RawWebSocketServer& ws) {
                ws.send(test::RawWebSocketServer::text(welcome));
                if (!first) return; // the reconnect gets a plain welcome
                switch (shape) {
                case Shape::Text:
                    ws.send(test::RawWebSocketServer::text(head) + test::RawWebSocketServer::text(marker));
                    break;
                case Shape::Long:
                    ws.sendLong(head, 'x', size, "\"}", test::RawWebSocketServer::text(marker));
                    break;
                case Shape::Fragments: {
                    const qint64 piece = size / 64;
                    int sent = 0;
                    ws.sendLazily([=]() mutable -> std::optional<QByteArray> {
                        ++sent;
                        if (sent == 1)
                            return test::RawWebSocketServer::frame(0x1, head + QByteArray(piece - head.size(), 'x'),
                                                                   false);
                        if (sent < 64) return test::RawWebSocketServer::frame(0x0, QByteArray(piece, 'x'), false);
                        if (sent == 64)
                            return test::RawWebSocketServer::frame(0x0, QByteArray(piece - 2, 'x') + "\"}") +
                                   test::RawWebSocketServer::text(marker);
                        return std::nullopt;
                    });
                    break;
                }
                }
            });
        });

        test::StoreFixture f;
        f.prefs->setValue(PrefKey::session, "tok");
        f.prefs->setValue(PrefKey::phone, "+15550000001");
        f.useCloud(peer.host());
        QVERIFY(test::resetPeakResident());
        const qint64 before = test::residentKiB(QCoreApplication::applicationPid());
        TavoStore& store = f.make();

        if (closeCode == 0) {
            // Read on: the marker after the hostile frame arrives on the same socket.
            QTRY_COMPARE_WITH_TIMEOUT(store.devices().value(0).states, std::optional<QList<bool>>({true, false}),
                                      10'000);
            QCOMPARE(store.devices().at(0).name, firstName);
            QCOMPARE(store.conn(), Conn::Connected);
            QCOMPARE(peer.accepted(), 1);
            QVERIFY2(!peer.notes().join(' ').contains("close"), qPrintable(peer.notes().join(" | ")));
        } else {
            // The client fails the connection with the code of the protocol, keeps the list it
            // had and reopens after the usual delay.
            QTRY_VERIFY_WITH_TIMEOUT(peer.notes().contains(QStringLiteral("close %1").arg(closeCode)), 10'000);
            QTRY_COMPARE(store.conn(), Conn::Connecting);
            QCOMPARE(store.devices().size(), 2);
            QCOMPARE(store.devices().at(0).name, firstName);
            QCOMPARE(store.devices().at(0).states, std::optional<QList<bool>>({false, true}));
            f.clock.advance(3s);
            QTRY_COMPARE(store.conn(), Conn::Connected);
            QCOMPARE(peer.accepted(), 2);
        }
        QCOMPARE(store.devices().at(1).name, QString("Den"));
        const qint64 grew = test::peakResidentKiB() - before;
        qInfo("peak resident growth %lld KiB", grew);
        // Never a buffer the size of what the peer sends: 16 MiB messages are refused from
        // their headers. (Not under AddressSanitizer, whose quarantine keeps freed memory.)
        if (!test::underAddressSanitizer) QVERIFY2(grew < 16 * 1024, qPrintable(QString::number(grew)));
    }
};

QTEST_GUILESS_MAIN(HostileTest)
#include "tst_hostile.moc"
