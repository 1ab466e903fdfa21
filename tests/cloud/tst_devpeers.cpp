// The development cloud keeps the parts of the contract the client's own tests stand on: the
// voice socket's refusal, its script and its record of a session, and a claimed box reaching the
// claimer's socket. The client's side of each is tested in voice/ and setup/.
#include "support/DevCloud.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QNetworkReply>
#include <QTest>
#include <QWebSocket>

using namespace tavo;

namespace {

// One socket and the frames that came back on it: "binary" for audio, else the text.
struct Socket {
    explicit Socket(const QString& url) {
        QObject::connect(&ws, &QWebSocket::textMessageReceived, [this](const QString& t) { frames << t; });
        QObject::connect(&ws, &QWebSocket::binaryMessageReceived,
                         [this](const QByteArray&) { frames << "binary"; });
        QObject::connect(&ws, &QWebSocket::disconnected, [this] { ++disconnects; });
        ws.open(QUrl(url));
    }
    QStringList ofType(const QString& type) const {
        QStringList out;
        for (const QString& f : frames)
            if (QJsonDocument::fromJson(f.toUtf8()).object().value("type") == type) out << f;
        return out;
    }
    void send(const QJsonObject& o) { ws.sendTextMessage(QJsonDocument(o).toJson(QJsonDocument::Compact)); }
    QWebSocket ws;
    QStringList frames;
    int disconnects = 0;
};

} // namespace

class DevPeersTest : public QObject {
    Q_OBJECT

    test::DevCloud cloud{{"--seed", "demo"}};
    QString token(const QString& phone) { return cloud.signIn(phone).value("session_token").toString(); }
    QString voiceUrl(const QString& t) { return "ws://" + cloud.host() + "/v1/voice/stream?token=" + t; }

private slots:
    void initTestCase() { QVERIFY(cloud.start()); }

    void voiceSocket() {
        Socket refused(voiceUrl("not-a-session"));
        QTRY_COMPARE(refused.disconnects, 1);
        QCOMPARE(refused.frames.size(), 1);
        QCOMPARE(QJsonDocument::fromJson(refused.frames[0].toUtf8()).object(),
                 QJsonObject({{"type", "error"}, {"error", "Unauthorized"}}));
        QCOMPARE(refused.ws.closeCode(), QWebSocketProtocol::CloseCodePolicyViolated);

        // A script stands in for recognition once; what the client sent is recorded.
        QCOMPARE(cloud.post("/dev/voice/script", {{"on_open", QJsonArray{QJsonObject{{"type", "ready"}}}},
                                                  {"on_stop", QJsonArray{"[1,2]", 4800}}}),
                 QJsonObject({{"ok", true}}));
        QVERIFY(cloud.post("/dev/voice/script", {{"close_after", "later"}}).contains("error"));
        const QString t = token("+919876543210");
        Socket scripted(voiceUrl(t));
        QTRY_COMPARE(scripted.frames, QStringList{R"({"type":"ready"})"});
        scripted.ws.sendBinaryMessage(QByteArray(2730, '\0'));
        scripted.send({{"type", "stop"}});
        QTRY_COMPARE(scripted.frames, (QStringList{R"({"type":"ready"})", "[1,2]", "binary"}));
        scripted.ws.close(QWebSocketProtocol::CloseCodeGoingAway);
        QTRY_COMPARE(cloud.get("/dev/voice/last").value("closed_code").toInt(), 1001);
        const QJsonObject last = cloud.get("/dev/voice/last");
        QCOMPARE(last.value("binary_frames").toInt(), 1);
        QCOMPARE(last.value("texts").toArray(), QJsonArray{R"({"type":"stop"})"});

        // The next session listens again, and silence is answered as such.
        Socket real(voiceUrl(t));
        QTRY_VERIFY_WITH_TIMEOUT(!real.ofType("ready").isEmpty(), 15'000);
        real.ws.sendBinaryMessage(QByteArray(32'000, '\0'));
        real.send({{"type", "stop"}});
        QTRY_VERIFY_WITH_TIMEOUT(!real.ofType("tts.end").isEmpty(), 15'000);
        QCOMPARE(QJsonDocument::fromJson(real.ofType("response").value(0).toUtf8()).object().value("text"),
                 "Sorry, I didn't catch that.");
    }

    void claimReachesTheClaimer() {
        const QString t = token("+919800000511");
        Socket mine("ws://" + cloud.host() + "/ws/client?token=" + t);
        QTRY_COMPARE(mine.ofType("welcome").size(), 1);
        const QString mac = "02:00:00:00:0E:11";
        const QString code =
            cloud.post("/dev/boxes/register", {{"mac", mac}, {"relays", 3}}).value("pair_code").toString();
        QVERIFY(!code.isEmpty());

        // The claim goes through the client's own HTTP path in setup/; here only the peer's rules.
        const auto claim = [&](const QString& c) {
            QNetworkAccessManager nam;
            QNetworkRequest req(QUrl(cloud.httpBase() + "/v1/device/claim"));
            req.setHeader(QNetworkRequest::ContentTypeHeader, "application/json");
            req.setRawHeader("Authorization", "Bearer " + t.toUtf8());
            std::unique_ptr<QNetworkReply> r(
                nam.post(req, QJsonDocument(QJsonObject{{"pair_code", c}}).toJson()));
            if (!QTest::qWaitFor([&] { return r->isFinished(); }, 10'000)) return -1;
            return r->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
        };
        QCOMPARE(claim(code), 200);
        QCOMPARE(claim(code), 404); // used up
        QTRY_COMPARE(mine.ofType("device_added").size(), 1);
        const QJsonObject added = QJsonDocument::fromJson(mine.ofType("device_added")[0].toUtf8())
                                      .object()
                                      .value("device")
                                      .toObject();
        QCOMPARE(added.value("acl_mask").toInteger(), 0b111);
        QCOMPARE(cloud.get("/dev/boxes/" + mac).value("pair_code").toString(), QString()); // no code left
    }
};

QTEST_GUILESS_MAIN(DevPeersTest)
#include "tst_devpeers.moc"
