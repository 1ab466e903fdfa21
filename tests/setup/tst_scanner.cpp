// The DNS-SD scanner's states when no daemon can be reached. Discovery against a real Avahi
// daemon runs in the test network (tst_netns.cpp); the row rules are in tst_boxapi.cpp.

#include "setup/BoxScanner.h"

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
