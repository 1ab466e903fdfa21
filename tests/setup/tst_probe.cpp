// Finding a box on its hotspot, with simulated boxes on loopback standing in for the gateway
// and the hotspot candidates.

#include "setup/TavoBoxProbe.h"
#include "support/BoxSim.h"
#include "support/DataRows.h"
#include "support/LoopbackPeer.h"

#include <QTcpSocket>
#include <QTest>
#include <memory>
#include <qcoro/qcorotask.h>

using namespace tavo;

// A "box" whose identity is a megabyte long.
test::LoopbackPeer::Handler hugeIdentity() {
    return [](QTcpSocket* socket, test::LoopbackPeer&) {
        QObject::connect(socket, &QTcpSocket::readyRead, socket, [socket] {
            if (!socket->peek(socket->bytesAvailable()).contains("\r\n\r\n")) return;
            socket->readAll();
            const QByteArray body = R"({"name":")" + QByteArray(1024 * 1024, 'x') + R"("})";
            socket->write("HTTP/1.1 200 OK\r\nContent-Type: application/json\r\nContent-Length: " +
                          QByteArray::number(body.size()) + "\r\n\r\n" + body);
        });
    };
}

class TestProbe : public QObject {
    Q_OBJECT
    std::map<QString, std::unique_ptr<test::BoxSim>> m_boxes;
    test::LoopbackPeer m_huge{hugeIdentity()};

    // One simulator per behaviour, started once.
    QString box(const QString& label, QStringList args = {}) {
        auto& sim = m_boxes[label];
        if (!sim) {
            sim = std::make_unique<test::BoxSim>(args);
            if (!sim->start()) qFatal("tavo-boxsim did not start: %s", qPrintable(sim->log()));
        }
        return sim->base();
    }
    static TavoBoxProbe probeWith(std::optional<QString> gatewayBase, QStringList candidates) {
        std::optional<QString> gateway;
        if (gatewayBase) gateway = gatewayBase->mid(QStringLiteral("http://").size());
        return TavoBoxProbe({[gateway] { return gateway; }, candidates});
    }

private slots:
    // Boxes by label ("" = none): a candidate has its own 200 ms, the gateway the caller's time
    // (1200 ms here); only a 200 from the address probed counts, within its limit in all.
    void find_data() { TAVO_JSON_ROWS("probe-find.json"); }
    void find() {
        QFETCH(QJsonObject, row);
        const QString gateway = row["gateway"].toString(), found = row["found"].toString();
        const auto base = [this](const QString& label) -> QString {
            if (label == "ok") return box("ok");
            if (label == "204") return box("204", {"--info-status", "204"});
            if (label == "500") return box("500", {"--info-status", "500"});
            if (label == "slow") return box("slow", {"--delay-ms", "120"});
            if (label == "late") return box("late", {"--delay-ms", "600"});
            if (label == "trickle") return box("trickle", {"--trickle-ms", "40"}); // seconds for its body
            if (label == "redirect")
                return box("redirect", {"--redirect-to", box("ok") + "/api/device-info"});
            if (label == "closed") return "http://127.0.0.1:9"; // refused at once
            if (label == "huge") return "http://" + m_huge.host();
            return label;
        };
        QStringList urls;
        for (const QString& c : row["candidates"].toVariant().toStringList())
            urls << base(c);
        const TavoBoxProbe probe =
            probeWith(gateway.isEmpty() ? std::nullopt : std::optional(base(gateway)), urls);
        const std::optional<QUrl> result = QCoro::waitFor(probe.find(1200));
        QCOMPARE(result.has_value(), !found.isEmpty());
        if (result) QCOMPARE(result->toString(), base(found));
    }
};

QTEST_GUILESS_MAIN(TestProbe)
#include "tst_probe.moc"
