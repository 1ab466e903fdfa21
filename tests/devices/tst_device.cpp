#include "devices/Device.h"

#include <QLocale>
#include <QTest>
#include <QTimeZone>

using namespace tavo;

class DeviceTest : public QObject {
    Q_OBJECT

private slots:
    void decode_data() {
        QTest::addColumn<QString>("json");
        QTest::addColumn<bool>("decodes");
        const QString base = R"({"id":%1,"mac":"m","name":"n","relay_count":2,"relay_names":{"1":"Fan"},"acl_mask":3,%2"online":true%3})";
        QTest::newRow("complete") << base.arg("1", R"("role":"owner",)", "") << true;
        QTest::newRow("no role fails") << base.arg("1", "", "") << false;
        QTest::newRow("null states is absent") << base.arg("1", R"("role":"owner",)", R"(,"states":null)") << true;
        QTest::newRow("states of numbers fail") << base.arg("1", R"("role":"owner",)", R"(,"states":[1,0])") << false;
        QTest::newRow("fractional id fails") << base.arg("1.5", R"("role":"owner",)", "") << false;
        QTest::newRow("id beyond 64 bits fails, not 0") << base.arg("18446744073709551616", R"("role":"owner",)", "") << false;
        QTest::newRow("1e2 is an integer") << base.arg("1e2", R"("role":"owner",)", "") << true;
        QTest::newRow("rssi as text fails")
            << base.arg("1", R"("role":"owner",)", R"(,"wifi_rssi":"-50")") << false;
        QTest::newRow("unknown keys ignored")
            << base.arg("1", R"("role":"owner","colour":"red",)", "") << true;
        QTest::newRow("relay name not a string")
            << base.arg("1", R"("role":"owner",)", "").replace(R"("Fan")", "7") << false;
        // Sizes that drive a loop or an allocation in every screen are bounded.
        const QString owner = R"("role":"owner",)";
        for (const char* count : {"2147483647", "33", "-1"})
            QTest::newRow(qPrintable(QString("relay_count %1 fails").arg(count)))
                << base.arg("1", owner, "")
                       .replace(R"("relay_count":2)", QString(R"("relay_count":)") + count)
                << false;
        QTest::newRow("relay_count 32 decodes")
            << base.arg("1", owner, "").replace(R"("relay_count":2)", R"("relay_count":32)") << true;
        QTest::newRow("33 states fail")
            << base.arg("1", owner, R"(,"states":[)" + QStringList(33, "true").join(',') + "]") << false;
        QTest::newRow("name over 1024 characters fails")
            << base.arg("1", owner, "").replace(R"("name":"n")", QString(R"("name":"%1")").arg(QString(1025, 'n')))
            << false;
        QTest::newRow("relay name over 1024 characters fails")
            << base.arg("1", owner, "").replace(R"("Fan")", QString(R"("%1")").arg(QString(1025, 'f'))) << false;
        QTest::newRow("hint over 1024 characters fails")
            << base.arg("1", owner, QString(R"(,"offline_hint":"%1")").arg(QString(1025, 'h'))) << false;
    }

    void decode() {
        QFETCH(QString, json);
        QFETCH(bool, decodes);
        const Result<Device> d = json::decode<Device>(json.toUtf8());
        QCOMPARE(d.ok(), decodes);
        if (!decodes)
            QVERIFY(d.failure().description().contains('"'));
        else
            QCOMPARE(json::decode<Device>(json::compact(d->toJson())).value(),
                     d.value()); // encodes back alike
    }

    // Keys that name no channel are never read, so they are not kept either.
    void onlyChannelNamesKept() {
        const Result<Device> d = json::decode<Device>(
            R"({"id":1,"mac":"m","name":"n","relay_count":2,"relay_names":{"1":"Fan","01":"x","0":"y","33":"z","main":"w"},)"
            R"("acl_mask":3,"role":"owner","online":true})");
        QVERIFY(d.ok());
        QCOMPARE(d->relay_names, (QMap<QString, QString>{{"1", "Fan"}}));
    }

    void displayRules() {
        Device d;
        d.relay_count = 3;
        d.relay_names = {{"1", "Fan"}};
        d.acl_mask = 0b101;
        QCOMPARE(d.effectiveStates(), QList<bool>({false, false, false}));
        QCOMPARE(d.relayName(1), QString("Fan"));
        QCOMPARE(d.relayName(3), QString("Relay 3"));
        QVERIFY(d.isAllowed(1) && !d.isAllowed(2) && d.isAllowed(3));
        QVERIFY(!d.isAllowed(0) && !d.isAllowed(65));
        d.acl_mask = -1; // all bits, including the sign bit for channel 64
        QVERIFY(d.isAllowed(64));
    }

    void offlineDiag_data() {
        QTest::addColumn<bool>("online");
        QTest::addColumn<QVariant>("hint");
        QTest::addColumn<QVariant>("since");
        QTest::addColumn<QString>("text"); // "" = none
        const QString standard = "The box hasn't reached the server — it likely lost power or WiFi. "
                                 "Power-cycle the box and check the router.";
        QTest::newRow("online: none") << true << QVariant("x") << QVariant() << "";
        QTest::newRow("standard text alone") << false << QVariant() << QVariant() << standard;
        QTest::newRow("without fractional seconds")
            << false << QVariant() << QVariant("2026-01-05T09:07:00Z") << standard + "\nLast alive Mon 2:37 PM.";
        QTest::newRow("with fractional seconds and an offset")
            << false << QVariant("Unplugged") << QVariant("2026-01-06T20:15:30.250+01:00") << "Unplugged\nLast alive Wed 12:45 AM.";
        QTest::newRow("unparsable since is left out") << false << QVariant("Hint") << QVariant("yesterday") << "Hint";
        QTest::newRow("no time zone is not an internet date-time") << false << QVariant("Hint") << QVariant("2026-01-05T09:07:00") << "Hint";
    }

    void offlineDiag() {
        QFETCH(bool, online);
        QFETCH(QVariant, hint);
        QFETCH(QVariant, since);
        QFETCH(QString, text);
        Device d;
        d.online = online;
        if (hint.isValid()) d.offline_hint = hint.toString();
        if (since.isValid()) d.offline_since = since.toString();
        const auto diag = tavo::offlineDiag(d, QLocale(QLocale::English, QLocale::UnitedStates), QTimeZone("Asia/Kolkata"));
        QCOMPARE(diag.value_or(QString()), text);
        QCOMPARE(diag.has_value(), !text.isEmpty());
    }
};

QTEST_GUILESS_MAIN(DeviceTest)
#include "tst_device.moc"
