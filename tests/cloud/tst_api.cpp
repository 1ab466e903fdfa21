#include "cloud/Api.h"
#include "cloud/Endpoints.h"
#include "devices/Device.h"
#include "platform/Preferences.h"
#include "platform/linux/SettingsPreferences.h"
#include "support/DataRows.h"
#include "support/DevCloud.h"

#include <QJsonArray>
#include <QTemporaryDir>
#include <QTest>
#include <QUrlQuery>

using namespace tavo;

// API::send against real development clouds over real HTTP.
class ApiTest : public QObject {
    Q_OBJECT

    test::DevCloud cloud;
    test::DevCloud local;
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

private slots:
    void initTestCase() {
        QVERIFY(cloud.start());
        QVERIFY(local.start());
        prefs = std::make_unique<SettingsPreferences>(dir.filePath("Tavo.json"));
        config = CloudConfig{cloud.host(), false, "127.0.0.1", local.port()};
    }

    void init() {
        prefs->remove(PrefKey::useLocalServer);
        cloud.post("/dev/requests/clear");
        local.post("/dev/requests/clear");
    }

    void headers_data() {
        QTest::addColumn<QString>("token");
        QTest::addColumn<QString>("method");
        QTest::addColumn<QVariant>("authorization"); // invalid = header absent
        QTest::newRow("no token, no Authorization at all") << "" << "GET" << QVariant();
        QTest::newRow("token as bearer") << "tok-1" << "GET" << QVariant("Bearer tok-1");
        QTest::newRow("delete carries the same headers") << "tok-2" << "DELETE" << QVariant("Bearer tok-2");
    }

    void headers() {
        QFETCH(QString, token);
        QFETCH(QString, method);
        QFETCH(QVariant, authorization);
        auto result = QCoro::waitFor(api(token).send<EmptyOK>(method, Endpoints::devices()));
        QVERIFY(!result.ok()); // unsigned-in tokens are refused; the request still arrived

        const QJsonObject seen = lastRequest(cloud);
        QCOMPARE(seen.value("method").toString(), method);
        QCOMPARE(seen.value("path").toString(), QString("/v1/devices"));
        const QJsonObject headers = seen.value("headers").toObject();
        QCOMPARE(headers.value("content-type").toString(), QString("application/json"));
        if (authorization.isValid()) QCOMPARE(headers.value("authorization").toString(), authorization.toString());
        else QVERIFY2(!headers.contains("authorization"), qPrintable(headers.value("authorization").toString()));
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

    void tlsBaseAddress() {
        CloudConfig tls{"cloud.example", true, "127.0.0.1", 3200};
        QCOMPARE(tls.httpBase(false), QString("https://cloud.example"));
        QCOMPARE(tls.socketBase(false), QString("wss://cloud.example"));
        QCOMPARE(tls.httpBase(true), QString("http://127.0.0.1:3200"));
        QCOMPARE(tls.socketBase(true), QString("ws://127.0.0.1:3200"));
    }

    void errorText_data() { TAVO_JSON_ROWS("api-errors.json"); }

    void errorText() {
        QFETCH(QJsonObject, row);
        const int status = row["status"].toInt();
        const QString body = row["body"].toString();
        auto result = QCoro::waitFor(api().send<EmptyOK>("POST", respond(status, body), QByteArray("{}")));
        QVERIFY(!result.ok());
        QCOMPARE(result.failure().kind, Failure::Kind::Api);
        QCOMPARE(result.failure().status, status);
        QCOMPARE(result.failure().body, body);
        QCOMPARE(result.failure().description(), row["text"].toString());
    }

    void realRefusal() {
        auto result = QCoro::waitFor(api("no-such-token").send<DeviceList>("GET", Endpoints::devices()));
        QVERIFY(!result.ok());
        QCOMPARE(result.failure().status, 401);
        QCOMPARE(result.failure().description(), QString("Unauthorized"));
    }

    void decoding_data() { TAVO_JSON_ROWS("api-decoding.json"); }

    void decoding() {
        QFETCH(QJsonObject, row);
        auto result = QCoro::waitFor(
            api().send<EmptyOK>("GET", respond(row["status"].toInt(), row["body"].toString())));
        QCOMPARE(result.ok(), row["decodes"].toBool());
        if (!result.ok()) {
            QCOMPARE(result.failure().kind, Failure::Kind::Decode);
            QVERIFY(!result.failure().description().isEmpty());
            return;
        }
        QCOMPARE(result->ok.has_value(), !row["ok"].isNull()); // null = absent
        if (result->ok) QCOMPARE(*result->ok, row["ok"].toBool());
    }

    void exactIdsFromTheRealDeviceList() {
        const QJsonObject session = cloud.signIn("+15550000001");
        const QString token = session.value("session_token").toString();
        QVERIFY(!token.isEmpty());
        const qint64 big = 9007199254740993; // 2^53 + 1: a double would round it
        cloud.post("/dev/devices", {{"owner", "+15550000001"}, {"name", "Big"}, {"relay_count", 2}, {"id", big}});

        auto result = QCoro::waitFor(api(token).send<DeviceList>("GET", Endpoints::devices()));
        QVERIFY2(result.ok(), result.ok() ? "" : qPrintable(result.failure().description()));
        QCOMPARE(result->devices.size(), 1);
        QCOMPARE(result->devices.first().id, big);
        QCOMPARE(result->devices.first().relay_count, 2);
        QVERIFY(result->devices.first().isOwner());
    }

    void addressThatIsNotAUrlFails_data() {
        QTest::addColumn<QString>("path");
        QTest::newRow("space") << "/v1/skills/a b/disconnect";
        QTest::newRow("bad escape") << "/v1/skills/%zz/disconnect";
        QTest::newRow("path that moves the host") << "@evil.example/v1";
    }

    void addressThatIsNotAUrlFails() {
        QFETCH(QString, path);
        auto result = QCoro::waitFor(api().send<EmptyOK>("POST", path, QByteArray("{}")));
        QVERIFY(!result.ok());
        QCOMPARE(result.failure().kind, Failure::Kind::InvalidAddress);
        QVERIFY(lastRequest(cloud).isEmpty());
    }

    void transportFailurePassesThrough() {
        CloudConfig dead{"127.0.0.1:1", false, "127.0.0.1", 1};
        auto result = QCoro::waitFor(API(nam, dead, *prefs, "tok").send<EmptyOK>("GET", "/v1/devices"));
        QVERIFY(!result.ok());
        QCOMPARE(result.failure().kind, Failure::Kind::Transport);
        QVERIFY(result.failure().description().contains("refused", Qt::CaseInsensitive));
    }
};

QTEST_GUILESS_MAIN(ApiTest)
#include "tst_api.moc"
