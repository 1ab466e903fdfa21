// Box set-up across a real network: a client namespace (192.168.4.23) and a box namespace
// (192.168.4.1) joined by a veth, each with its own Avahi daemon. Runs only inside
// scripts/testnet, which creates and removes that network; elsewhere it skips.

#include "platform/linux/SecretServiceKeychain.h"
#include "setup/BoxScanner.h"
#include "setup/WifiCreds.h"
#include "support/BoxSim.h"
#include "support/SessionDaemons.h"
#include "support/StoreFixture.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QTest>
#include <qcoro/qcorotask.h>

using namespace tavo;
using Kind = ProvisionStep::Kind;

class TestNetns : public QObject {
    Q_OBJECT
    QString m_boxExec = qEnvironmentVariable("TAVO_TESTNET_BOX_EXEC");
    QString m_clientAddr = qEnvironmentVariable("TAVO_CLIENT_ADDR");
    QString m_boxAddr = qEnvironmentVariable("TAVO_BOX_ADDR");
    test::SecretService m_keyring;
    SecretServiceKeychain m_keychain;
    test::DevCloud m_cloud{{"--listen", "0.0.0.0", "--otp-code", "123456"}};
    QTemporaryDir m_home;

    // The cloud as a box in the other namespace reaches it.
    QString cloudFromBox() const { return QStringLiteral("http://%1:%2").arg(m_clientAddr).arg(m_cloud.port()); }

    std::unique_ptr<test::BoxSim> boxAt(int port, QStringList args) {
        auto box = std::make_unique<test::BoxSim>(
            QStringList{"--address", m_boxAddr, "--port", QString::number(port), "--cloud", cloudFromBox()} + args);
        box->setProgram({m_boxExec});
        if (!box->start()) qFatal("tavo-boxsim did not start: %s", qPrintable(box->log()));
        return box;
    }

    // tavoctl as a user runs it, signed in to the development cloud.
    std::pair<int, QString> tavoctl(const QStringList& args) {
        QProcess p;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("TAVO_CLOUD_HOST", m_cloud.host());
        env.insert("TAVO_CLOUD_TLS", "0");
        env.insert("XDG_CONFIG_HOME", m_home.filePath("config"));
        p.setProcessEnvironment(env);
        p.start(TAVOCTL_PATH, args);
        p.waitForFinished(120'000);
        return {p.exitCode(), QString::fromUtf8(p.readAllStandardOutput() + p.readAllStandardError())};
    }

private slots:
    void initTestCase() {
        if (m_boxExec.isEmpty()) QSKIP("needs the test network: run under scripts/testnet --avahi (as root)");
        QVERIFY(m_keyring.start());
        QVERIFY(m_cloud.start());
    }

    // The store's whole road with the production probe: the real interface list of this
    // namespace names 192.168.4.1 as the gateway, where the box's hotspot API answers.
    void provisionThroughTheHotspot() {
        auto box = boxAt(80, {"--name", "Tavo-4E21", "--join-delay-ms", "800"});
        test::StoreFixture f;
        f.keychain = &m_keychain;
        f.boxNetwork = {};
        TavoStore& s = f.makeSignedIn(m_cloud, "+919800000401");
        s.beginProvision();
        QTRY_COMPARE_WITH_TIMEOUT(s.prov().kind, Kind::OnAP, 5000);
        QCOMPARE(s.prov().base, QUrl("http://" + m_boxAddr));
        QCOMPARE(s.provHeadline(), "Found box at " + m_boxAddr);
        s.setProvHomeSSID("Home Net");
        s.setProvHomePass("pw & more");
        QStringList steps;
        connect(&s, &TavoStore::provChanged, &s, [&] { steps << s.prov().name(); });
        s.provisionSubmit();
        // The poll runs on the manual clock, the box joins in real time: let it join first.
        QTRY_COMPARE_WITH_TIMEOUT(box->sim()["registered"].toBool(), true, 10000);
        QVERIFY2(f.clock.advanceUntil([&] { return s.prov().kind == Kind::Idle; }, std::chrono::milliseconds(1500)),
                 qPrintable(steps.join(' ') + '\n' + box->log()));
        QCOMPARE(s.screen(), Screen::home());
        QCOMPARE(s.devices().size(), 1);
        QCOMPARE(box->sim()["password"].toString(), QString("pw & more"));
        QCOMPARE(QCoro::waitFor(WifiCreds::load(m_keychain)), std::optional(WifiCreds::Pair{"Home Net", "pw & more"}));
    }

    // What a new user does in the terminal: set up, list, switch.
    void tavoctlSetsUpABox() {
        auto box = boxAt(80, {"--name", "Tavo-77AC", "--mac", "02:00:00:00:77:ac", "--join-delay-ms", "1500"});
        QCOMPARE(tavoctl({"login", "+919800000402", "--code", "123456"}).first, 0);
        const auto [code, output] = tavoctl({"box", "setup", "--ssid", "Home Net", "--password", "secret"});
        QVERIFY2(code == 0, qPrintable(output));
        const QStringList expected{"Looking for a Tavo box nearby…", "Found box at " + m_boxAddr,
                                   "Sending WiFi details to box…", "Waiting for the box to reach the cloud…",
                                   "Got pair code ", "Box added"};
        qsizetype at = 0;
        for (const QString& line : expected) {
            at = output.indexOf(line, at);
            QVERIFY2(at >= 0, qPrintable(line + " missing from:\n" + output));
        }
        const auto [listed, devices] = tavoctl({"devices", "--json"});
        QCOMPARE(listed, 0);
        const QJsonArray list = QJsonDocument::fromJson(devices.toUtf8()).array();
        QCOMPARE(list.size(), 1);
        const QString id = QString::number(list.at(0)["id"].toInteger());
        QCOMPARE(tavoctl({"relay", id, "2", "on"}).first, 0);
        const auto [_, after] = tavoctl({"devices", "--json"});
        QCOMPARE(QJsonDocument::fromJson(after.toUtf8()).array().at(0)["states"].toArray().at(1).toBool(), true);
    }

    // A box on the home network, announced through the box namespace's Avahi daemon and found
    // through this namespace's.
    void scannerFindsAndClassifiesAnnouncedBox() {
        auto box = boxAt(8081, {"--name", "Porch", "--joined", "Home Net", "--announce", "Tavo Porch"});
        test::StoreFixture f;
        TavoStore& s = f.makeSignedIn(m_cloud, "+919800000403");
        QNetworkAccessManager network;
        BoxScanner scanner(network);
        scanner.start();
        QVERIFY(scanner.scanning());
        QTRY_COMPARE_WITH_TIMEOUT(scanner.found().size(), 1, 15000);
        const DiscoveredBox found = scanner.found().first();
        QCOMPARE(found.id, QString("Tavo Porch"));
        QCOMPARE(found.host, m_boxAddr);
        QCOMPARE(found.port, 8081);
        QVERIFY(found.status && discovered::canClaim(found));
        const QVariantMap row = scanner.rows().first().toMap();
        QCOMPARE(row["title"].toString(), QString("Porch"));
        QCOMPARE(row["subtitle"].toString(), "Ready · tap to add · " + *found.status->pair_code);
        QVERIFY(row["enabled"].toBool());

        QCoro::waitFor(s.doClaim(*found.status->pair_code));
        QCOMPARE(s.devices().size(), 1);
        scanner.setDevices(s.devices());
        scanner.rescan(); // the list stays until the new pass is resolved
        QCOMPARE(scanner.found().size(), 1);
        QTRY_COMPARE_WITH_TIMEOUT(scanner.rows().first().toMap()["subtitle"].toString(),
                                  QString("Already on your account"), 15000);
        QVERIFY(!scanner.rows().first().toMap()["enabled"].toBool());
        scanner.stop();
        QCOMPARE(scanner.found().size(), 1);
    }
};

QTEST_GUILESS_MAIN(TestNetns)
#include "tst_netns.moc"
