// The DNS-SD scanner's states when no daemon can be reached, and result sets in an order a
// daemon cannot be made to give on cue. Discovery against a real Avahi daemon runs in the
// test network (tst_netns.cpp); the row rules are in tst_boxapi.cpp.

#include "fakes/ScriptedBrowser.h"
#include "setup/BoxScanner.h"
#include "support/BoxSim.h"

#include <QNetworkAccessManager>
#include <QSignalSpy>
#include <QTest>

using namespace tavo;

class TestScanner : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() {
        // The Avahi client finds its daemon on the system bus: point it at nothing.
        qputenv("DBUS_SYSTEM_BUS_ADDRESS", "unix:path=/nonexistent/tavo-test-bus");
    }

    void failsQuietlyThenRestartsOnlyAfterStop() {
        QNetworkAccessManager network;
        BoxScanner scanner(network);
        QSignalSpy scanning(&scanner, &BoxScanner::scanningChanged);
        scanner.stop(); // no browser yet: nothing to end
        QVERIFY(!scanner.scanning());
        QVERIFY(!scanner.hasBrowser());
        QCOMPARE(scanning.size(), 0);

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

    // A pass over an older result set that ends last does not bring back a box that went.
    void anOlderPassNeverOverwritesANewerOne() {
        test::BoxSim slow({"--joined", "Home Net", "--delay-ms", "800"}), fast({"--joined", "Home Net"});
        QVERIFY(slow.start() && fast.start());
        auto browser = std::make_shared<test::ScriptedBrowser>();
        browser->addresses = {{"Gone", {"127.0.0.1", slow.port()}}, {"Here", {"127.0.0.1", fast.port()}}};
        QNetworkAccessManager network;
        BoxScanner scanner(network, [browser](const QString&) { return browser; });
        const auto ids = [&] {
            QStringList out;
            for (const DiscoveredBox& box : scanner.found())
                out << box.id;
            return out;
        };
        scanner.start();
        browser->report({"Gone"}); // read for 800 ms
        browser->report({"Here"}); // "Gone" went away at once
        QTRY_COMPARE(ids(), QStringList{"Here"});
        QTest::qWait(1200); // the first pass is over
        QCOMPARE(ids(), QStringList{"Here"});
        QCOMPARE(browser->resolved, QStringList({"Gone", "Here"}));
    }
};

QTEST_GUILESS_MAIN(TestScanner)
#include "tst_scanner.moc"
