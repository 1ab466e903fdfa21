#include "cloud/Api.h"
#include "cloud/Endpoints.h"
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

    // "authorization" null: the header is absent.
    void headers_data() { TAVO_JSON_ROWS("api-headers.json"); }
    void headers() {
        QFETCH(QJsonObject, row);
        const QString token = row["token"].toString(), method = row["method"].toString();
        const QJsonValue authorization = row["authorization"];
        auto result = QCoro::waitFor(api(token).send<EmptyOK>(method, Endpoints::devices()));
        QVERIFY(!result.ok()); // unsigned-in tokens are refused; the request still arrived

        const QJsonObject seen = lastRequest(cloud);
        QCOMPARE(seen.value("method").toString(), method);
        QCOMPARE(seen.value("path").toString(), QString("/v1/devices"));
        const QJsonObject headers = seen.value("headers").toObject();
        QCOMPARE(headers.value("content-type").toString(), QString("application/json"));
        if (!authorization.isNull())
            QCOMPARE(headers.value("authorization").toString(), authorization.toString());
        else
            QVERIFY2(!headers.contains("authorization"),
                     qPrintable(headers.value("authorization").toString()));
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

    void addressThatIsNotAUrlFails_data() { TAVO_JSON_ROWS("api-addresses.json"); }

    void addressThatIsNotAUrlFails() {
        QFETCH(QJsonObject, row);
        const QString path = row["path"].toString();
        auto result = QCoro::waitFor(api().send<EmptyOK>("POST", path, QByteArray("{}")));
        QVERIFY(!result.ok());
        QCOMPARE(result.failure().kind, Failure::Kind::InvalidAddress);
        QVERIFY(lastRequest(cloud).isEmpty());
    }
};

QTEST_GUILESS_MAIN(ApiTest)
#include "tst_api.moc"
