#include "devices/Device.h"
#include "support/DataRows.h"

#include <QJsonDocument>
#include <QLocale>
#include <QTest>
#include <QTimeZone>

using namespace tavo;

class DeviceTest : public QObject {
    Q_OBJECT

private slots:
    // A complete record changed as the row says: "id" as raw text, "set" keys replaced,
    // "without" one key left out, "long" a text of 1025 characters. Sizes that drive a loop or
    // an allocation in every screen are bounded; "names": the relay names kept.
    void decode_data() { TAVO_JSON_ROWS("device-decode.json"); }

    void decode() {
        QFETCH(QJsonObject, row);
        QJsonObject record = QJsonDocument::fromJson(R"({"mac":"m","name":"n","relay_count":2,
            "relay_names":{"1":"Fan"},"acl_mask":3,"role":"owner","online":true})")
                                 .object();
        const QJsonObject set = row["set"].toObject();
        for (auto it = set.begin(); it != set.end(); ++it)
            record[it.key()] = it.value();
        record.remove(row["without"].toString());
        const QString longText(1025, 'x'), longField = row["long"].toString();
        if (longField == "relay_names")
            record[longField] = QJsonObject{{"1", longText}};
        else if (!longField.isEmpty())
            record[longField] = longText;
        const QByteArray json =
            "{\"id\":" + row["id"].toString("1").toUtf8() + "," + json::compact(record).mid(1);

        const Result<Device> d = json::decode<Device>(json);
        QCOMPARE(d.ok(), row["decodes"].toBool());
        if (!d.ok())
            QVERIFY(d.failure().description().contains('"'));
        else // encodes back alike
            QCOMPARE(json::decode<Device>(json::compact(d->toJson())).value(), d.value());
        if (row.contains("names")) QCOMPARE(d->toJson()["relay_names"].toObject(), row["names"].toObject());
    }

    void displayRules() {
        Device d;
        d.relay_count = 3;
        d.acl_mask = 0b101;
        QCOMPARE(d.effectiveStates(), QList<bool>({false, false, false}));
        QVERIFY(d.isAllowed(1) && !d.isAllowed(2) && d.isAllowed(3));
        QVERIFY(!d.isAllowed(0) && !d.isAllowed(65));
        d.acl_mask = -1; // all bits, including the sign bit for channel 64
        QVERIFY(d.isAllowed(64));
    }

    // Offline text for a box in Kolkata's time zone; "hint" and "since" absent when not sent.
    void offlineDiag_data() { TAVO_JSON_ROWS("device-offline.json"); }

    void offlineDiag() {
        QFETCH(QJsonObject, row);
        Device d;
        d.online = row["online"].toBool();
        if (row.contains("hint")) d.offline_hint = row["hint"].toString();
        if (row.contains("since")) d.offline_since = row["since"].toString();
        const auto diag =
            tavo::offlineDiag(d, QLocale(QLocale::English, QLocale::UnitedStates), QTimeZone("Asia/Kolkata"));
        QCOMPARE(diag, row["text"].isNull() ? std::nullopt : std::optional(row["text"].toString()));
    }
};

QTEST_GUILESS_MAIN(DeviceTest)
#include "tst_device.moc"
