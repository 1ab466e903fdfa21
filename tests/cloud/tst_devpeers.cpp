// A smoke test of the development cloud itself: it refuses a voice socket without a session,
// a box claimed by pair code reaches the claimer's socket, and silence gets its answer. Its other rules are
// what the client's own tests in voice/ and setup/ stand on, and fail there when they break.
#include "cloud/Json.h"
#include "support/DevCloud.h"

#include <QJsonDocument>
#include <QNetworkReply>
#include <QTest>
#include <QWebSocket>

using namespace tavo;

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

} // namespace

class DevPeersTest : public QObject {
    Q_OBJECT
    test::DevCloud cloud{{"--seed", "demo"}};

private slots:
    void initTestCase() { QVERIFY(cloud.start()); }

    void smoke() {
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
        QNetworkAccessManager nam;
        QNetworkRequest req(QUrl(cloud.httpBase() + "/v1/device/claim"));
        req.setHeader(QNetworkRequest::ContentTypeHeader, "application/json");
        req.setRawHeader("Authorization", "Bearer " + token.toUtf8());
        std::unique_ptr<QNetworkReply> r(nam.post(req, json::compact({{"pair_code", code}})));
        QTRY_VERIFY(r->isFinished());
        QCOMPARE(r->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt(), 200);
        QTRY_COMPARE(mine.ofType("device_added"), 1);
        QCOMPARE(mine.frames.last().value("device").toObject().value("acl_mask").toInteger(),
                 0b111); // every relay the claimer's
        QVERIFY(cloud.post("/dev/voice/script", {{"close_after", "later"}}).contains("error"));

        // Unscripted, it listens, and answers silence as such.
        Socket voice("ws://" + cloud.host() + "/v1/voice/stream?token=" + token);
        QTRY_COMPARE_WITH_TIMEOUT(voice.ofType("ready"), 1, 15'000);
        voice.ws.sendBinaryMessage(QByteArray(32'000, '\0'));
        voice.ws.sendTextMessage(R"({"type":"stop"})");
        QTRY_COMPARE_WITH_TIMEOUT(voice.ofType("tts.end"), 1, 15'000);
        const auto response = std::find_if(voice.frames.begin(), voice.frames.end(),
                                           [](const QJsonObject& f) { return f["type"] == "response"; });
        QVERIFY(response != voice.frames.end());
        QCOMPARE((*response)["text"].toString(), "Sorry, I didn't catch that.");
    }
};

QTEST_GUILESS_MAIN(DevPeersTest)
#include "tst_devpeers.moc"
