#include "support/DataRows.h"
#include "support/StoreFixture.h"

#include <QJsonArray>
#include <QTest>

using namespace tavo;

class ManagementTest : public QObject {
    Q_OBJECT

    test::DevCloud cloud{{"--seed", "demo"}};
    const QString demo = "+919876543210";

    QJsonObject box(qint64 id) {
        for (const QJsonValue& b : cloud.get("/dev/state").value("boxes").toArray())
            if (b.toObject().value("id").toInteger() == id) return b.toObject();
        return {};
    }
    TavoStore& signedIn(test::StoreFixture& f) {
        TavoStore& store = f.makeSignedIn(cloud, demo);
        [[maybe_unused]] const bool ready = QTest::qWaitFor([&] { return store.devices().size() == 3; });
        return store;
    }

private slots:
    void initTestCase() { QVERIFY(cloud.start()); }
    void init() {
        cloud.post("/dev/reset");
        cloud.post("/dev/requests/clear");
    }

    // "stored": the name on the cloud afterwards; "local": in the list ("-" for none); a toast is
    // an error.
    void rename_data() { TAVO_JSON_ROWS("management-renames.json"); }

    void rename() {
        QFETCH(QJsonObject, row);
        const qint64 id = row["id"].toInteger();
        const std::optional<QString> toast =
            row["toast"].isNull() ? std::nullopt : std::optional(row["toast"].toString());
        test::StoreFixture f;
        TavoStore& store = signedIn(f);
        cloud.post("/dev/requests/clear");
        store.renameDevice(id, row["typed"].toString());
        const QString path = QStringLiteral("/v1/device/%1/name").arg(id);
        if (row["sent"].toBool()) QTRY_COMPARE(cloud.requestCount("PUT", path), 1);
        QTRY_COMPARE(store.toast(), toast);
        if (toast) QVERIFY(store.toastIsError());
        QTest::qWait(100); // a reply or a late request lands too
        QCOMPARE(store.toast(), toast);
        QCOMPARE(cloud.requestCount("PUT", path), row["sent"].toBool() ? 1 : 0);
        QCOMPARE(box(id).value("name").toString(), row["stored"].toString());
        const auto d = std::find_if(store.devices().cbegin(), store.devices().cend(),
                                    [&](const Device& x) { return x.id == id; });
        QCOMPARE(d == store.devices().cend() ? QString("-") : d->name, row["local"].toString());
    }

    // Names merge locally; only the renamed channels travel, and the cloud keeps the rest.
    void relayNamesMerge() {
        test::StoreFixture f;
        TavoStore& store = signedIn(f);
        store.renameRelays(1, {{"1", "Ceiling Fan"}, {"3", "Telly"}});
        const QMap<QString, QString> expected{
            {"1", "Ceiling Fan"}, {"2", "Lamp"}, {"3", "Telly"}, {"4", "Heater"}};
        QCOMPARE(store.devices().at(0).relay_names, expected);
        QTRY_COMPARE(box(1).value("relay_names").toObject(),
                     (QJsonObject{{"1", "Ceiling Fan"}, {"2", "Lamp"}, {"3", "Telly"}, {"4", "Heater"}}));
    }

    // "left": boxes in the list afterwards; "twice": the list holds the box twice, and both go.
    void forgetAndLeave_data() { TAVO_JSON_ROWS("management-removals.json"); }
    void forgetAndLeave() {
        QFETCH(QJsonObject, row);
        const qint64 id = row["id"].toInteger();
        test::StoreFixture f;
        TavoStore& store = signedIn(f);
        if (row["twice"].toBool()) {
            QJsonArray list;
            for (const Device& d : store.devices() + QList<Device>{store.devices().at(0)})
                list.append(d.toJson());
            store.handleWS({{"type", "welcome"}, {"devices", list}});
            QCOMPARE(store.devices().size(), 4);
            cloud.post("/dev/drop-sockets"); // so only the delete's own result changes the list
        }
        row["leave"].toBool() ? store.leaveDevice(id) : store.forgetDevice(id);
        QTRY_COMPARE(store.toast(), std::optional<QString>(row["toast"].toString()));
        QCOMPARE(store.toastIsError(), row["error"].toBool());
        QTest::qWait(100); // the cloud's device_removed push, if any, lands too
        QCOMPARE(store.devices().size(), row["left"].toInt());
    }
};

QTEST_MAIN(ManagementTest)
#include "tst_management.moc"
