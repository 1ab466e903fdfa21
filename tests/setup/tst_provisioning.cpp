// The set-up road in the store, against a real development cloud, a simulated box on
// loopback (standing in for the hotspot gateway) and a real keyring.

#include "platform/linux/SecretServiceKeychain.h"
#include "setup/WifiCreds.h"
#include "support/BoxSim.h"
#include "support/ChildProcess.h"
#include "support/DataRows.h"
#include "support/SessionDaemons.h"
#include "support/StoreFixture.h"

#include <QNetworkInformation>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTest>
#include <qcoro/qcorotask.h>

using namespace tavo;
using Kind = ProvisionStep::Kind;

namespace {

struct Rig {
    test::StoreFixture f;
    std::unique_ptr<test::BoxSim> box;
    TavoStore* store = nullptr;
    std::function<std::optional<QString>()> gateway; // where the hotspot probe finds a box
    QStringList toasts;                              // every toast, errors marked "!"

    void watchToasts() {
        QObject::connect(store, &TavoStore::toastChanged, store, [this] {
            if (store->toast()) toasts << (store->toastIsError() ? "!" : "") + *store->toast();
        });
    }
    // The poll runs on the manual clock while the box joins in real time; without this wait
    // the clock could run out the whole deadline before the box is on the cloud.
    void awaitJoined() { QTRY_COMPARE_WITH_TIMEOUT(box->sim()["registered"].toBool(), true, 10000); }
    bool pump(const std::function<bool()>& done, int steps = 40) {
        return f.clock.advanceUntil(done, std::chrono::milliseconds(1500), steps);
    }
};

// Notes when the keyring has answered a read of the saved WiFi.
QCoro::Task<> loadInto(Keychain& keychain, std::shared_ptr<bool> answered) {
    co_await WifiCreds::load(keychain);
    *answered = true;
}

} // namespace

class TestProvisioning : public QObject {
    Q_OBJECT
    test::SecretService m_keyring;
    SecretServiceKeychain m_keychain;
    test::DevCloud m_cloud;
    int m_phones = 0;

    std::unique_ptr<Rig> rig(QStringList boxArgs, bool withBox = true) {
        auto r = std::make_unique<Rig>();
        std::optional<QString> gateway;
        if (withBox) {
            r->box = std::make_unique<test::BoxSim>(
                QStringList{"--cloud", m_cloud.httpBase(), "--join-delay-ms", "300"} + boxArgs);
            if (!r->box->start()) qFatal("tavo-boxsim did not start: %s", qPrintable(r->box->log()));
            gateway = r->box->base().mid(QStringLiteral("http://").size());
        }
        r->f.keychain = &m_keychain;
        r->gateway = [gateway] { return gateway; };
        r->f.boxNetwork = {[rig = r.get()] { return rig->gateway(); }, {}};
        r->store = &r->f.makeSignedIn(
            m_cloud, QStringLiteral("+9198000003%1").arg(++m_phones, 2, 10, QLatin1Char('0')));
        r->watchToasts();
        return r;
    }
    std::optional<WifiCreds::Pair> savedCreds() { return QCoro::waitFor(WifiCreds::load(m_keychain)); }

private slots:
    void initTestCase() {
        if (const QString missing = test::missingTool({"dbus-daemon", "gnome-keyring-daemon"});
            !missing.isEmpty())
            QSKIP(qPrintable(missing));
        QVERIFY(m_keyring.start());
        QVERIFY(m_cloud.start());
    }

    void hotspotToClaimedBox() {
        QCoro::waitFor(WifiCreds::save(m_keychain, "Saved", "old"));
        auto r = rig({});
        TavoStore& s = *r->store;
        s.setProvHomeSSID("typed");
        s.beginProvision();
        QCOMPARE(s.prov().kind, Kind::Searching);
        QTRY_COMPARE(s.prov().kind, Kind::OnAP);
        QCOMPARE(s.prov().base, QUrl(r->box->base()));
        QTRY_COMPARE(s.provHomeSSID(), QString("Saved")); // the saved pair wins over text typed before
        QCOMPARE(s.provHomePass(), QString("old"));

        s.setProvHomeSSID("Home & Co");
        s.setProvHomePass("p=1+2 3%");
        QStringList steps;
        connect(&s, &TavoStore::provChanged, &s, [&] { steps << s.prov().name(); });
        s.provisionSubmit();
        r->awaitJoined();
        QVERIFY2(r->pump([&] { return s.prov().kind == Kind::Idle; }), qPrintable(steps.join(' ')));

        const QJsonObject received = r->box->sim();
        QCOMPARE(received["ssid"].toString(), QString("Home & Co"));
        QCOMPARE(received["password"].toString(), QString("p=1+2 3%"));
        QCOMPARE(savedCreds(), std::optional(WifiCreds::Pair{"Home & Co", "p=1+2 3%"}));
        QCOMPARE(m_keyring.itemCount(applicationID(), WifiCreds::account), 1); // replaced, not added
        QCOMPARE(s.screen(), Screen::home());
        QCOMPARE(s.devices().size(), 1);
        QCOMPARE(s.devices().first().role, QString("owner"));
        QVERIFY(r->toasts.contains("Box added"));
        QCOMPARE(steps, QStringList({"submitting", "waitingForCloud", "havePair", "idle"}));
        QCOMPARE(s.busy(), false); // the auto-claim never touches busy
    }

    // A box that does not take the WiFi details, however it says so (or fails to): back to the
    // portal with the reason, the saved pair untouched. Deadlines are totals on the store's
    // clock: a trickle of bytes does not keep the request alive past 6 s. "toast": a pattern.
    void refusedCredentials_data() { TAVO_JSON_ROWS("provisioning-refusals.json"); }
    void refusedCredentials() {
        QFETCH(QJsonObject, row);
        const QStringList boxArgs = row["boxArgs"].toVariant().toStringList();
        const QString toast = row["toast"].toString();
        QCoro::waitFor(WifiCreds::save(m_keychain, "Before", "kept"));
        auto r = rig(boxArgs);
        TavoStore& s = *r->store;
        s.beginProvision();
        QTRY_COMPARE(s.prov().kind, Kind::OnAP);
        s.setProvHomeSSID("New");
        s.provisionSubmit();
        QTRY_VERIFY(r->box->sim()["connect_count"].toInt() >= 1); // a dropped connection is asked twice
        r->f.clock.advance(std::chrono::milliseconds(5999));
        QTest::qWait(100);
        if (boxArgs.contains("--trickle-ms")) QCOMPARE(s.prov().kind, Kind::Submitting); // not before 6 s
        r->f.clock.advance(std::chrono::milliseconds(1));
        QTRY_COMPARE(s.prov(), ProvisionStep::onAP(QUrl(r->box->base())));
        QCOMPARE(r->toasts.size(), 1);
        QVERIFY2(QRegularExpression(toast).match(r->toasts.first()).hasMatch(),
                 qPrintable(r->toasts.first()));
        QCOMPARE(savedCreds(), std::optional(WifiCreds::Pair{"Before", "kept"}));
    }

    // Without an SSID the box is not asked. The poll reads the status within 4 s in all; a box
    // that trickles it is read again.
    void pollOutlastsATricklingStatus() {
        auto r = rig({"--trickle-ms", "300", "--trickle-route", "/api/cloud-status"});
        TavoStore& s = *r->store;
        QCoro::waitFor(s.doScanForBox());
        s.setProvHomeSSID("");
        s.setProvHomePass("only a password");
        QCoro::waitFor(s.doProvisionSubmit());
        QCOMPARE(s.prov().kind, Kind::OnAP);
        QCOMPARE(r->toasts, QStringList{"!Enter WiFi SSID"});
        QCOMPARE(r->box->sim()["connect_count"].toInt(), 0);
        r->f.clock.advance(std::chrono::milliseconds(2500)); // the toast's time, not the poll's
        s.setProvHomeSSID("Home");
        s.provisionSubmit();
        QTRY_COMPARE(s.prov().kind, Kind::WaitingForCloud);
        QTRY_COMPARE(r->f.clock.pendingSleeps(std::chrono::milliseconds(1500)), 1);
        r->f.clock.advance(std::chrono::milliseconds(1500));
        QTRY_COMPARE(r->box->sim()["status_reads"].toInt(), 1);
        QCOMPARE(r->f.clock.pendingSleeps(std::chrono::milliseconds(1500)), 0); // reading
        r->f.clock.advance(std::chrono::seconds(4));
        QTRY_COMPARE(r->f.clock.pendingSleeps(std::chrono::milliseconds(1500)), 1); // the next round
        QCOMPARE(s.prov().kind, Kind::WaitingForCloud);
        QCOMPARE(r->toasts.size(), 1); // a failed read is silent
    }

    // The road from the portal to where the steps end ("until"), as the box's statuses and the
    // cloud's next answer to one request ("failNext") make it: only a status with both a code
    // and the cloud ends the poll ("reads": the status reads it took), and the last toasts,
    // the store's boxes ("devices", on the home screen) and the cloud's ("cloudDevices").
    void roadEnds_data() { TAVO_JSON_ROWS("provisioning-roads.json"); }
    void roadEnds() {
        QFETCH(QJsonObject, row);
        auto r = rig(row["boxArgs"].toVariant().toStringList());
        TavoStore& s = *r->store;
        QCoro::waitFor(s.doScanForBox());
        s.setProvHomeSSID("Home");
        if (row.contains("failNext")) m_cloud.post("/dev/fail-next", row["failNext"].toObject());
        s.provisionSubmit();
        r->awaitJoined();
        QVERIFY(r->pump([&] { return s.prov().name() == row["until"].toString(); }));
        const QStringList toasts = row["toasts"].toVariant().toStringList();
        QCOMPARE(r->toasts.mid(r->toasts.size() - toasts.size()), toasts);
        if (row.contains("reads")) QCOMPARE(r->box->sim()["status_reads"].toInt(), row["reads"].toInt());
        if (row.contains("devices")) {
            QCOMPARE(s.devices().size(), row["devices"].toInt());
            QCOMPARE(s.screen(), Screen::home());
        }
        if (row.contains("cloudDevices"))
            QTRY_COMPARE(QCoro::waitFor(s.api().send<DeviceList>("GET", "/v1/devices"))->devices.size(),
                         row["cloudDevices"].toInt());
    }

    void boxThatNeverComesOnlineAsksForTheCode() {
        auto r = rig({"--never-online"});
        TavoStore& s = *r->store;
        s.beginProvision();
        QTRY_COMPARE(s.prov().kind, Kind::OnAP);
        s.setProvHomeSSID("Home");
        s.provisionSubmit();
        QTRY_COMPARE(s.prov().kind, Kind::WaitingForCloud);
        const int before = r->box->sim()["requests"].toInt();
        QVERIFY(r->pump([&] { return s.prov().kind == Kind::ManualPair; }, 40));
        QCOMPARE(r->toasts.last(),
                 QString("!Box took too long to come online. Type the pair code manually."));
        const int polls = r->box->sim()["requests"].toInt() - before - 1; // less this read of /api/_sim
        QVERIFY2(polls >= 29 && polls <= 30, qPrintable(QString::number(polls)));
    }

    // With no box to find, a submit does nothing; a claim by code works all the same.
    void manualClaim() {
        auto r = rig({}, false);
        TavoStore& s = *r->store;
        s.beginProvision();
        QTRY_COMPARE(s.prov().kind, Kind::NeedsAP);
        QCoro::waitFor(s.doProvisionSubmit());
        QCOMPARE(s.prov().kind, Kind::NeedsAP);
        QVERIFY(r->toasts.isEmpty());
        const QString code =
            m_cloud
                .post("/dev/boxes/register",
                      {{"mac", "02:00:00:00:aa:01"}, {"name", "Porch"}, {"relays", 2}})["pair_code"]
                .toString();
        QVERIFY(!code.isEmpty());

        QCoro::waitFor(s.doClaim(" \t "));
        QCOMPARE(r->toasts, QStringList{"!Enter the pair code"});
        QCOMPARE(s.busy(), false);

        QSignalSpy busy(&s, &TavoStore::busyChanged);
        QCoro::waitFor(s.doClaim("  " + code.toLower() + "\t"));
        QCOMPARE(busy.size(), 2); // on, then off
        QCOMPARE(s.busy(), false);
        QCOMPARE(r->toasts.last(), QString("Box added"));
        QCOMPARE(s.screen(), Screen::home());
        QCOMPARE(s.devices().size(), 1);
        QCOMPARE(s.devices().first().name, QString("Porch"));
        QCOMPARE(s.prov().kind, Kind::NeedsAP); // claim never moves the set-up steps

        QCoro::waitFor(s.doClaim(code)); // used
        QVERIFY2(r->toasts.last().startsWith("!"), qPrintable(r->toasts.last()));
        QVERIFY(r->toasts.last().size() > 1);
        QCOMPARE(s.busy(), false);
    }

    // Searches that overlap ("Retry scan" while one runs): the latest started decides, and one
    // the user has left never does, whatever order they end in.
    void overlappingSearches_data() { TAVO_JSON_ROWS("provisioning-overlaps.json"); }
    void overlappingSearches() {
        QFETCH(QJsonObject, row);
        const QString meanwhile = row["meanwhile"].toString();
        auto r = rig({"--delay-ms", "300"});
        TavoStore& s = *r->store;
        // Searched again: the first search asks a closed port, refused at once; the second the
        // box, which answers 300 ms later.
        const auto box = r->gateway;
        int searches = 0;
        r->gateway = [&]() -> std::optional<QString> {
            return ++searches == 1 && meanwhile == "again" ? std::optional<QString>("127.0.0.1:9") : box();
        };
        s.beginProvision();
        if (meanwhile == "again") s.scanForBox();
        if (meanwhile == "pair code") s.showManualPair();
        if (meanwhile == "cancel") s.cancelProvision();
        QTRY_VERIFY(r->box->sim()["requests"].toInt() >= 2); // the box was asked (and this read)
        QTest::qWait(400);                                   // and has answered
        QCOMPARE(s.prov().name(), row["kind"].toString());
    }

    // An auto-claim that cannot reach the cloud keeps the code the box showed: the manual card
    // gets it, and a press (kept on failing) or a change of the computer's network claims
    // again.
    void pairCodeOutlivesAFailedClaim() {
        auto r = rig({});
        TavoStore& s = *r->store;
        QCoro::waitFor(s.doScanForBox());
        s.setProvHomeSSID("Home");
        QString shown;
        connect(&s, &TavoStore::provChanged, &s, [&] {
            if (s.prov().kind == Kind::HavePair) shown = s.prov().code;
        });
        const QJsonObject unreachable{{"method", "POST"},
                                      {"path", "/v1/device/claim"},
                                      {"status", 503},
                                      {"body", R"({"error":"Try again later"})"}};
        m_cloud.post("/dev/fail-next", unreachable);
        s.provisionSubmit();
        r->awaitJoined();
        QVERIFY(r->pump([&] { return s.prov().kind == Kind::ManualPair; }));
        QCOMPARE(r->toasts.last(), QString("!Try again later"));
        QVERIFY(!shown.isEmpty());
        QCOMPARE(s.provPairCode(), shown);

        m_cloud.post("/dev/fail-next", unreachable);
        QCoro::waitFor(s.doManualClaim(s.provPairCode()));
        QCOMPARE(s.prov().kind, Kind::ManualPair); // the card stays, code and all
        QCOMPARE(s.provPairCode(), shown);
        // What the desktop's network monitor reports on joining the home network. (Qt's GLib
        // monitor, all a machine without NetworkManager has, never reports a kernel route
        // change, so the test network cannot make one happen.)
        QNetworkInformation* network = QNetworkInformation::instance();
        QVERIFY(network);
        emit network->reachabilityChanged(QNetworkInformation::Reachability::Online);
        QTRY_COMPARE(s.prov().kind, Kind::Idle);
        QCOMPARE(s.screen(), Screen::home());
        QCOMPARE(s.devices().size(), 1);
        QCOMPARE(s.provPairCode(), QString()); // used up
    }

    // Last, as it leaves the keyring locked: locked, its unlock prompt up on a display nobody
    // looks at, the keyring never answers. The search, the portal and the poll go on
    // without it; only the prefill is missed.
    void aLockedKeyringStopsNothing() {
        if (const QString missing = test::missingTool({"Xvfb", "dbus-send"}); !missing.isEmpty())
            QSKIP(qPrintable(missing));
        test::VirtualDisplay display;
        QVERIFY(display.start());
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("DBUS_SESSION_BUS_ADDRESS", m_keyring.busAddress());
        const auto bus = [&](const QStringList& args) {
            return test::runProgram("dbus-send", QStringList{"--session", "--print-reply"} + args, env, 5000)
                       .code == 0;
        };
        QVERIFY(bus({"--dest=org.freedesktop.DBus", "/org/freedesktop/DBus",
                     "org.freedesktop.DBus.UpdateActivationEnvironment",
                     "dict:string:string:DISPLAY," + display.name()}));
        QVERIFY(bus({"--dest=org.freedesktop.secrets", "/org/freedesktop/secrets",
                     "org.freedesktop.Secret.Service.Lock",
                     "array:objpath:/org/freedesktop/secrets/collection/login"}));
        auto answered = std::make_shared<bool>(false);
        loadInto(m_keychain, answered);

        auto r = rig({});
        TavoStore& s = *r->store;
        s.beginProvision();
        QTRY_COMPARE(s.prov().kind, Kind::OnAP);
        s.setProvHomeSSID("Home");
        s.provisionSubmit();
        r->awaitJoined();
        QVERIFY(r->pump([&] { return s.prov().kind == Kind::Idle; }));
        QCOMPARE(s.devices().size(), 1);
        QVERIFY(!*answered); // the keyring was asked all along, and is still silent
    }
};

QTEST_GUILESS_MAIN(TestProvisioning)
#include "tst_provisioning.moc"
