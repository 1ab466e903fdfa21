// How discovered boxes are classified, merged and ordered, and the scanner's states when no
// daemon can be reached. Discovery against a real Avahi daemon runs in the test network
// (tst_netns.cpp).

#include "setup/BoxScanner.h"
#include "support/CloudStatusOf.h"

#include <QNetworkAccessManager>
#include <QSignalSpy>
#include <QTest>

using namespace tavo;

namespace {

DiscoveredBox box(QString id, std::optional<CloudStatus> status = std::nullopt) {
    return {std::move(id), QStringLiteral("192.168.1.9"), 80, std::move(status)};
}


QStringList ids(const QList<DiscoveredBox>& boxes) {
    QStringList out;
    for (const DiscoveredBox& b : boxes) out << b.id + "@" + b.host;
    return out;
}

} // namespace

Q_DECLARE_METATYPE(std::optional<CloudStatus>)

class TestScanner : public QObject {
    Q_OBJECT
private slots:
    void classification_data() {
        QTest::addColumn<std::optional<CloudStatus>>("st");
        QTest::addColumn<bool>("mine");
        QTest::addColumn<bool>("claimable");
        QTest::addColumn<QString>("subtitle");
        // The account holds box 7.
        QTest::newRow("no status") << std::optional<CloudStatus>() << false << false << "Offline";
        QTest::newRow("ours") << std::optional(test::cloudStatus(true, 7, std::nullopt)) << true << false
                              << "Already on your account";
        QTest::newRow("ours, even offline") << std::optional(test::cloudStatus(false, 7, std::nullopt)) << true << false
                                            << "Already on your account";
        QTest::newRow("ready") << std::optional(test::cloudStatus(true, 0, "AB12-CD34")) << false << true
                               << "Ready · tap to add · AB12-CD34";
        QTest::newRow("code but not on the cloud") << std::optional(test::cloudStatus(false, std::nullopt, "AB12-CD34")) << false
                                                   << false << "Ready · tap to add · AB12-CD34";
        QTest::newRow("empty code, offline") << std::optional(test::cloudStatus(false, std::nullopt, "")) << false << false
                                             << "Offline";
        QTest::newRow("someone else's") << std::optional(test::cloudStatus(true, 9, std::nullopt)) << false << false
                                        << "Already claimed elsewhere";
        QTest::newRow("device id 0 is unclaimed") << std::optional(test::cloudStatus(true, 0, std::nullopt)) << false << false
                                                  << "Already claimed elsewhere";
    }
    void classification() {
        QFETCH(std::optional<CloudStatus>, st);
        QFETCH(bool, mine);
        QFETCH(bool, claimable);
        QFETCH(QString, subtitle);
        Device ours;
        ours.id = 7;
        const DiscoveredBox b = box("Tavo Porch", st);
        QCOMPARE(discovered::isMine(b, {ours}), mine);
        QCOMPARE(discovered::canClaim(b), claimable);
        QCOMPARE(discovered::subtitle(b, {ours}), subtitle);
        const Device zero; // id 0 on the account never makes an unclaimed box ours
        QVERIFY(!discovered::isMine(box("z", test::cloudStatus(true, 0, std::nullopt)), {zero}));
    }

    void mergeKeepsTheFirstFinisherAndSortsByCodePoint() {
        const QList<DiscoveredBox> finished{
            box("b-instance", test::cloudStatus(true, 0, "X", "kitchen")),
            {"Tavo Porch", "10.0.0.1", 80, std::nullopt},
            box("Zed"),
            {"Tavo Porch", "10.0.0.2", 80, std::nullopt}, // same instance, later: dropped
            box("a-instance", test::cloudStatus(true, 0, "Y", "Kitchen")),
            box("Émile"),
            box("same", test::cloudStatus(true, 0, "Z", "Kitchen")), // ties keep their finishing order
        };
        // "K" < "T" < "Z" < "k" < "É": case-sensitive code-point order, names before instance ids.
        QCOMPARE(ids(discovered::merge(finished)),
                 QStringList({"a-instance@192.168.1.9", "same@192.168.1.9", "Tavo Porch@10.0.0.1",
                              "Zed@192.168.1.9", "b-instance@192.168.1.9", "Émile@192.168.1.9"}));
        QVERIFY(discovered::merge({}).isEmpty());
    }

    void initTestCase() {
        // The Avahi client finds its daemon on the system bus: point it at nothing.
        qputenv("DBUS_SYSTEM_BUS_ADDRESS", "unix:path=/nonexistent/tavo-test-bus");
    }

    void failsQuietlyThenRestartsOnlyAfterStop() {
        QNetworkAccessManager network;
        BoxScanner scanner(network);
        QSignalSpy scanning(&scanner, &BoxScanner::scanningChanged);
        QVERIFY(!scanner.scanning());
        QVERIFY(!scanner.hasBrowser());

        scanner.start();
        QVERIFY(scanner.scanning());
        QTRY_VERIFY(!scanner.scanning()); // Failed: browser kept, nothing shown
        QVERIFY(scanner.hasBrowser());
        QVERIFY(scanner.found().isEmpty());

        scanning.clear();
        scanner.start(); // does nothing while failed
        QVERIFY(!scanner.scanning());
        QCOMPARE(scanning.size(), 0);

        scanner.stop();
        QVERIFY(!scanner.hasBrowser());
        scanner.start(); // browses again
        QVERIFY(scanner.scanning());
        QTRY_VERIFY(!scanner.scanning());
    }

    void stopWithoutBrowser() {
        QNetworkAccessManager network;
        BoxScanner scanner(network);
        scanner.stop();
        QVERIFY(!scanner.scanning());
        QVERIFY(!scanner.hasBrowser());
    }
};

QTEST_GUILESS_MAIN(TestScanner)
#include "tst_scanner.moc"
