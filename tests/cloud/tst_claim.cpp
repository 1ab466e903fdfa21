// Boxes joining an account in the development cloud: a box registers by MAC and gets a pair
// code, a signed-in user claims it with that code, over real HTTP and the device socket.

#include "support/DevCloud.h"

#include <QEventLoop>
#include <QJsonArray>
#include <QJsonDocument>
#include <QNetworkReply>
#include <QRegularExpression>
#include <QSet>
#include <QTemporaryDir>
#include <QTest>
#include <QWebSocket>

using namespace tavo;

namespace {

struct Answer {
    int status = 0;
    QJsonObject body;
};

// The frames one user's device socket received.
class Listener {
public:
    Listener(const QString& base, const QString& token) {
        QObject::connect(&m_ws, &QWebSocket::textMessageReceived, &m_ws, [this](const QString& text) {
            m_frames.append(QJsonDocument::fromJson(text.toUtf8()).object());
        });
        QString url = base;
        url.replace(QLatin1String("http://"), QLatin1String("ws://"));
        m_ws.open(QUrl(url + QStringLiteral("/ws/client?token=") + token));
    }
    bool welcomed() const { return !ofType("welcome").isEmpty(); }
    QList<QJsonObject> ofType(const QString& type) const {
        QList<QJsonObject> out;
        for (const QJsonObject& f : m_frames)
            if (f.value("type").toString() == type) out.append(f);
        return out;
    }
    void send(const QJsonObject& frame) {
        m_ws.sendTextMessage(QString::fromUtf8(QJsonDocument(frame).toJson(QJsonDocument::Compact)));
    }

private:
    QWebSocket m_ws;
    QList<QJsonObject> m_frames;
};

} // namespace

class ClaimTest : public QObject {
    Q_OBJECT

    test::DevCloud cloud;
    QNetworkAccessManager nam;

    Answer call(test::DevCloud& c, const QByteArray& method, const QString& path, const QByteArray& body = {},
                const QString& token = {}) {
        QNetworkRequest req(QUrl(c.httpBase() + path));
        req.setHeader(QNetworkRequest::ContentTypeHeader, QByteArrayLiteral("application/json"));
        if (!token.isEmpty()) req.setRawHeader("Authorization", "Bearer " + token.toUtf8());
        std::unique_ptr<QNetworkReply> reply(nam.sendCustomRequest(req, method, body));
        QEventLoop loop;
        connect(reply.get(), &QNetworkReply::finished, &loop, &QEventLoop::quit);
        loop.exec();
        return {reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt(),
                QJsonDocument::fromJson(reply->readAll()).object()};
    }
    Answer claim(test::DevCloud& c, const QString& code, const QString& token) {
        return call(c, "POST", "/v1/device/claim", QJsonDocument(QJsonObject{{"pair_code", code}}).toJson(),
                    token);
    }
    QString signIn(const QString& phone) { return cloud.signIn(phone).value("session_token").toString(); }
    QString registerBox(const QString& mac, int relays = 4) {
        return cloud
            .post("/dev/boxes/register",
                  {{"mac", mac}, {"name", "Porch " + mac.right(2)}, {"relays", relays}})
            .value("pair_code")
            .toString();
    }
    QJsonArray devicesOf(const QString& token) {
        return call(cloud, "GET", "/v1/devices", {}, token).body.value("devices").toArray();
    }

private slots:
    void initTestCase() { QVERIFY(cloud.start()); }
    void init() { cloud.post("/dev/reset"); }

    void claim_data() {
        QTest::addColumn<QByteArray>("body"); // FRESH = the box's code, USED = a code already claimed
        QTest::addColumn<bool>("signedIn");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("error"); // empty: claimed
        const QString required = "pair_code required";
        const QString unknown = "Unknown or already used pair code";
        QTest::newRow("fresh code") << QByteArray(R"({"pair_code":"FRESH"})") << true << 200 << "";
        QTest::newRow("no pair_code") << QByteArray("{}") << true << 400 << required;
        QTest::newRow("pair_code a number")
            << QByteArray(R"({"pair_code":12345678})") << true << 400 << required;
        QTest::newRow("pair_code null") << QByteArray(R"({"pair_code":null})") << true << 400 << required;
        QTest::newRow("malformed JSON") << QByteArray(R"({"pair_code":"FRESH")") << true << 400 << required;
        QTest::newRow("unknown code") << QByteArray(R"({"pair_code":"ZZZZ-ZZZZ"})") << true << 404 << unknown;
        QTest::newRow("empty code") << QByteArray(R"({"pair_code":""})") << true << 404 << unknown;
        QTest::newRow("used code") << QByteArray(R"({"pair_code":"USED"})") << true << 404 << unknown;
        QTest::newRow("no session") << QByteArray(R"({"pair_code":"FRESH"})") << false << 401
                                    << "Unauthorized";
    }
    void claim() {
        QFETCH(QByteArray, body);
        QFETCH(bool, signedIn);
        QFETCH(int, status);
        QFETCH(QString, error);
        const QString other = signIn("+919800000501");
        const QString used = registerBox("02:00:00:00:0E:01");
        QCOMPARE(claim(cloud, used, other).status, 200);
        const QString mac = "02:00:00:00:0E:02";
        const QString fresh = registerBox(mac, 4);
        const QString token = signIn("+919800000502");
        body.replace("FRESH", fresh.toUtf8()).replace("USED", used.toUtf8());

        const Answer a = call(cloud, "POST", "/v1/device/claim", body, signedIn ? token : QString());
        QCOMPARE(a.status, status);
        const QJsonObject box = cloud.get("/dev/boxes/" + mac);
        if (!error.isEmpty()) {
            QCOMPARE(a.body, QJsonObject({{"error", error}}));
            // Refused: the box waits for its owner with the same code, and nobody gained a box.
            QCOMPARE(box.value("device_id").toInteger(), 0);
            QCOMPARE(box.value("pair_code").toString(), fresh);
            QCOMPARE(devicesOf(token).size(), 0);
            QCOMPARE(devicesOf(other).size(), 1);
            return;
        }
        QCOMPARE(a.body, QJsonObject({{"ok", true}}));
        const QJsonArray devices = devicesOf(token);
        QCOMPARE(devices.size(), 1);
        const QJsonObject d = devices.first().toObject();
        QCOMPARE(d.value("role").toString(), QString("owner"));
        QCOMPARE(d.value("acl_mask").toInteger(), 0b1111);
        QCOMPARE(d.value("relay_count").toInt(), 4);
        QCOMPARE(d.value("mac").toString(), mac);
        QCOMPARE(d.value("name").toString(), QString("Porch 02"));
        QCOMPARE(d.value("online").toBool(), true);
        QCOMPARE(d.value("states").toArray(), QJsonArray({false, false, false, false}));
        // What the box reads back: claimed, no code left to show.
        QCOMPARE(box.value("device_id").toInteger(), d.value("id").toInteger());
        QCOMPARE(box.value("pair_code").toString(), QString());
    }

    // The claimer's sockets learn of the box at once, and it switches like any other.
    void claimedBoxIsPushedAndSwitches() {
        const QString token = signIn("+919800000511");
        const QString bystander = signIn("+919800000512");
        Listener mine(cloud.httpBase(), token), theirs(cloud.httpBase(), bystander);
        QTRY_VERIFY(mine.welcomed() && theirs.welcomed());
        const QString mac = "02:00:00:00:0E:11";
        const QString code = registerBox(mac, 3);
        QCOMPARE(claim(cloud, code, token).status, 200);

        QTRY_COMPARE(mine.ofType("device_added").size(), 1);
        const QJsonObject added = mine.ofType("device_added").first().value("device").toObject();
        QCOMPARE(added.value("role").toString(), QString("owner"));
        QCOMPARE(added.value("acl_mask").toInteger(), 0b111);
        const qint64 id = added.value("id").toInteger();

        mine.send({{"type", "set"}, {"device_id", id}, {"ch", 2}, {"state", true}});
        QTRY_COMPARE(mine.ofType("state").size(), 1);
        QCOMPARE(mine.ofType("state").first().value("states").toArray(), QJsonArray({false, true, false}));
        QCOMPARE(cloud.get("/dev/boxes/" + mac).value("states").toArray(), QJsonArray({false, true, false}));
        QCOMPARE(mine.ofType("error").size(), 0);
        QVERIFY(theirs.ofType("device_added").isEmpty() && theirs.ofType("state").isEmpty());
    }

    // Codes are read off a label and typed: fresh per box, stable while unclaimed, and a
    // forgotten box comes back with a new one.
    void pairCodes() {
        static const QRegularExpression readable(QStringLiteral("^[A-HJ-NP-Z2-9]{4}-[A-HJ-NP-Z2-9]{4}$"));
        QSet<QString> codes;
        for (int i = 0; i < 20; ++i) {
            const QString code =
                registerBox(QStringLiteral("02:00:00:00:0F:%1").arg(i, 2, 10, QLatin1Char('0')));
            QVERIFY2(readable.match(code).hasMatch(), qPrintable(code));
            codes.insert(code);
        }
        QCOMPARE(codes.size(), 20);
        const QString mac = "02:00:00:00:0f:05"; // any case names the same box
        QVERIFY(codes.contains(registerBox(mac)));

        const QString token = signIn("+919800000521");
        const QString code = cloud.get("/dev/boxes/" + mac).value("pair_code").toString();
        QCOMPARE(claim(cloud, code, token).status, 200);
        const QJsonObject again = cloud.post("/dev/boxes/register", {{"mac", mac}, {"relays", 4}});
        QCOMPARE(again.value("pair_code").toString(), QString());
        QCOMPARE(again.value("device_id").toInteger(), devicesOf(token).first()["id"].toInteger());

        const QString forget = "/v1/device/" + QString::number(again.value("device_id").toInteger());
        QCOMPARE(call(cloud, "DELETE", forget, {}, token).status, 200);
        const QString renewed = cloud.get("/dev/boxes/" + mac).value("pair_code").toString();
        QVERIFY2(readable.match(renewed).hasMatch() && renewed != code, qPrintable(renewed));
        QCOMPARE(cloud.get("/dev/boxes/" + mac).value("device_id").toInteger(), 0);
        QCOMPARE(call(cloud, "GET", "/dev/boxes/02:00:00:00:0E:99").status, 404);
    }

    void claimsSurviveARestart() {
        QTemporaryDir dir;
        test::DevCloud stored({"--db", dir.filePath("cloud.sqlite")});
        QVERIFY(stored.start());
        const QString waiting =
            stored.post("/dev/boxes/register", {{"mac", "02:00:00:00:0E:21"}, {"relays", 2}})
                .value("pair_code")
                .toString();
        const QString used = stored.post("/dev/boxes/register", {{"mac", "02:00:00:00:0E:22"}, {"relays", 2}})
                                 .value("pair_code")
                                 .toString();
        const QString token = stored.signIn("+919800000531").value("session_token").toString();
        QCOMPARE(claim(stored, used, token).status, 200);

        stored.stop();
        QVERIFY(stored.start());
        QCOMPARE(claim(stored, used, token).status, 404);
        QCOMPARE(stored.get("/dev/boxes/02:00:00:00:0E:21").value("pair_code").toString(), waiting);
        QCOMPARE(claim(stored, waiting, token).status, 200);
        const QJsonArray devices =
            call(stored, "GET", "/v1/devices", {}, token).body.value("devices").toArray();
        QCOMPARE(devices.size(), 2);
        for (const QJsonValue& d : devices)
            QCOMPARE(d["role"].toString(), QString("owner"));
    }
};

QTEST_GUILESS_MAIN(ClaimTest)
#include "tst_claim.moc"
