// The home WiFi item against a real gnome-keyring on a private session bus.

#include "cloud/CloudConfig.h"
#include "platform/linux/SecretServiceKeychain.h"
#include "setup/WifiCreds.h"
#include "support/SessionDaemons.h"

#include <QTest>
#include <qcoro/qcorotask.h>

using namespace tavo;

class TestWifiCreds : public QObject {
    Q_OBJECT
    test::SecretService m_keyring;
    SecretServiceKeychain m_keychain;

    int items() const { return m_keyring.itemCount(applicationID(), WifiCreds::account); }

private slots:
    void initTestCase() {
        if (const QString missing = test::missingTool({"dbus-daemon", "gnome-keyring-daemon", "secret-tool"});
            !missing.isEmpty())
            QSKIP(qPrintable(missing));
        QVERIFY(m_keyring.start());
    }

    void nothingStored() {
        QCOMPARE(QCoro::waitFor(WifiCreds::load(m_keychain)), std::nullopt);
    }

    void roundTrips_data() {
        QTest::addColumn<QString>("ssid");
        QTest::addColumn<QString>("password");
        QTest::addColumn<QString>("loadedSSID");
        QTest::addColumn<QString>("loadedPassword");
        QTest::newRow("plain") << "Home" << "secret" << "Home" << "secret";
        QTest::newRow("empty password") << "Cafe" << "" << "Cafe" << "";
        QTest::newRow("line feed in the password survives") << "Home" << "two\nlines" << "Home" << "two\nlines";
        QTest::newRow("line feed in the name does not") << "Ho\nme" << "pw" << "Ho" << "me\npw";
        QTest::newRow("utf-8 and marks") << "Wí-Fi ☕ & co" << "p=a+s s" << "Wí-Fi ☕ & co" << "p=a+s s";
    }
    void roundTrips() {
        QFETCH(QString, ssid);
        QFETCH(QString, password);
        QCoro::waitFor(WifiCreds::save(m_keychain, ssid, password));
        const auto loaded = QCoro::waitFor(WifiCreds::load(m_keychain));
        QVERIFY(loaded);
        QTEST(loaded->ssid, "loadedSSID");
        QTEST(loaded->password, "loadedPassword");
        QCOMPARE(items(), 1); // every save replaced the one item
    }

    void secondSaveReplacesFirst() {
        QCoro::waitFor(WifiCreds::save(m_keychain, "First", "one"));
        QCoro::waitFor(WifiCreds::save(m_keychain, "Second", "two"));
        QCOMPARE(items(), 1);
        QCOMPARE(QCoro::waitFor(WifiCreds::load(m_keychain)), std::optional(WifiCreds::Pair{"Second", "two"}));
    }

    void valueWithoutLineFeedReadsAsNothing() {
        QCoro::waitFor(m_keychain.write(applicationID(), WifiCreds::account, "just-a-name"));
        QCOMPARE(QCoro::waitFor(WifiCreds::load(m_keychain)), std::nullopt);
    }
};

QTEST_GUILESS_MAIN(TestWifiCreds)
#include "tst_wificreds.moc"
