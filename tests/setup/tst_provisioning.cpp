// The set-up road in the store, against a real development cloud, a simulated box on
// loopback (standing in for the hotspot gateway) and a real keyring.

#include "platform/linux/SecretServiceKeychain.h"
#include "setup/WifiCreds.h"
#include "support/BoxSim.h"
#include "support/SessionDaemons.h"
#include "support/StoreFixture.h"

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
    QStringList toasts; // every toast, errors marked "!"

    void watchToasts() {
        QObject::connect(store, &TavoStore::toastChanged, store, [this] {
            if (store->toast()) toasts << (store->toastIsError() ? "!" : "") + *store->toast();
        });
    }
    // The poll runs on the manual clock while the box joins in real time; without this wait
    // the clock could run out the whole deadline before the box is on the cloud.
    void awaitJoined() {
        QTRY_COMPARE_WITH_TIMEOUT(box->sim()["registered"].toBool(), true, 10000);
    }
    bool pump(const std::function<bool()>& done, int steps = 40) {
        return f.clock.advanceUntil(done, std::chrono::milliseconds(1500), steps);
    }
};

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
            r->box = std::make_unique<test::BoxSim>(QStringList{"--cloud", m_cloud.httpBase(), "--join-delay-ms", "300"} + boxArgs);
            if (!r->box->start()) qFatal("tavo-boxsim did not start: %s", qPrintable(r->box->log()));
            gateway = r->box->base().mid(QStringLiteral("http://").size());
        }
        r->f.keychain = &m_keychain;
        r->f.boxNetwork = {[gateway] { return gateway; }, {}};
        r->store = &r->f.makeSignedIn(m_cloud, QStringLiteral("+9198000003%1").arg(++m_phones, 2, 10, QLatin1Char('0')));
        r->watchToasts();
        return r;
    }
    QCoro::Task<> saveCreds(QString ssid, QString password) { return WifiCreds::save(m_keychain, ssid, password); }
    std::optional<WifiCreds::Pair> savedCreds() { return QCoro::waitFor(WifiCreds::load(m_keychain)); }

private slots:
    void initTestCase() {
        if (const QString missing = test::missingTool({"dbus-daemon", "gnome-keyring-daemon"}); !missing.isEmpty())
            QSKIP(qPrintable(missing));
        QVERIFY(m_keyring.start());
        QVERIFY(m_cloud.start());
    }

    void hotspotToClaimedBox() {
        QCoro::waitFor(saveCreds("Saved", "old"));
        auto r = rig({});
        TavoStore& s = *r->store;
        s.setProvHomeSSID("typed");
        s.beginProvision();
        QCOMPARE(s.prov().kind, Kind::Searching);
        QTRY_COMPARE(s.prov().kind, Kind::OnAP);
        QCOMPARE(s.prov().base, QUrl(r->box->base()));
        QCOMPARE(s.provHomeSSID(), QString("Saved")); // the saved pair wins over typed text
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
        QCOMPARE(s.screen(), Screen::home());
        QCOMPARE(s.devices().size(), 1);
        QCOMPARE(s.devices().first().role, QString("owner"));
        QVERIFY(r->toasts.contains("Box added"));
        QCOMPARE(steps, QStringList({"submitting", "waitingForCloud", "havePair", "idle"}));
        QCOMPARE(s.busy(), false); // the auto-claim never touches busy
    }

    void refusedCredentialsKeepThePortalAndTheOldCreds() {
        QCoro::waitFor(saveCreds("Before", "kept"));
        auto r = rig({"--refuse-connect"});
        TavoStore& s = *r->store;
        s.beginProvision();
        QTRY_COMPARE(s.prov().kind, Kind::OnAP);
        s.setProvHomeSSID("New");
        QCoro::waitFor(s.doProvisionSubmit());
        QCOMPARE(s.prov(), ProvisionStep::onAP(QUrl(r->box->base())));
        QCOMPARE(r->toasts.size(), 1);
        QVERIFY2(r->toasts.first().startsWith("!Couldn't reach the box: "), qPrintable(r->toasts.first()));
        QCOMPARE(savedCreds(), std::optional(WifiCreds::Pair{"Before", "kept"}));
    }

    void boxThatNeverComesOnlineAsksForTheCode() {
        auto r = rig({"--never-online"});
        TavoStore& s = *r->store;
        s.beginProvision();
        QTRY_COMPARE(s.prov().kind, Kind::OnAP);
        s.provisionSubmit();
        QTRY_COMPARE(s.prov().kind, Kind::WaitingForCloud);
        const int before = r->box->sim()["requests"].toInt();
        QVERIFY(r->pump([&] { return s.prov().kind == Kind::ManualPair; }, 40));
        QCOMPARE(r->toasts.last(), QString("!Box took too long to come online. Type the pair code manually."));
        const int polls = r->box->sim()["requests"].toInt() - before - 1; // less this read of /api/_sim
        QVERIFY2(polls >= 29 && polls <= 30, qPrintable(QString::number(polls)));
    }

    void submitGuards() {
        auto r = rig({}, false);
        TavoStore& s = *r->store;
        s.beginProvision();
        QTRY_COMPARE(s.prov().kind, Kind::NeedsAP);
        QCoro::waitFor(s.doProvisionSubmit());
        QCOMPARE(s.prov().kind, Kind::NeedsAP);
        QVERIFY(r->toasts.isEmpty());

        auto withBox = rig({});
        TavoStore& t = *withBox->store;
        QCoro::waitFor(t.doScanForBox());
        QCOMPARE(t.prov().kind, Kind::OnAP);
        t.setProvHomeSSID("");
        t.setProvHomePass("only a password");
        QCoro::waitFor(t.doProvisionSubmit());
        QCOMPARE(t.prov().kind, Kind::OnAP);
        QCOMPARE(withBox->toasts, QStringList{"!Enter WiFi SSID"});
        QCOMPARE(withBox->box->sim()["connect_count"].toInt(), 0);
    }

    void manualClaim() {
        auto r = rig({}, false);
        TavoStore& s = *r->store;
        const QString code = m_cloud.post("/dev/boxes/register", {{"mac", "02:00:00:00:aa:01"}, {"name", "Porch"}, {"relays", 2}})
                                 ["pair_code"].toString();
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
        QCOMPARE(s.prov().kind, Kind::Idle); // claim never moves the set-up steps

        QCoro::waitFor(s.doClaim(code)); // used
        QVERIFY2(r->toasts.last().startsWith("!"), qPrintable(r->toasts.last()));
        QVERIFY(r->toasts.last().size() > 1);
        QCOMPARE(s.busy(), false);
    }

    // "Pair code" (or "Cancel") while the search runs: the late result no longer moves the steps.
    void aSearchLeftBehindDoesNotDecide() {
        auto r = rig({"--delay-ms", "300"});
        TavoStore& s = *r->store;
        s.beginProvision();
        s.showManualPair();
        QTRY_VERIFY(r->box->sim()["requests"].toInt() >= 2); // the probe was answered (and this read)
        QTest::qWait(400);
        QCOMPARE(s.prov().kind, Kind::ManualPair);
    }

    void deviceRefreshFailureAfterAutoClaimStillClaims() {
        auto r = rig({});
        TavoStore& s = *r->store;
        QCoro::waitFor(s.doScanForBox());
        s.setProvHomeSSID("Home");
        m_cloud.post("/dev/fail-next", {{"method", "GET"}, {"path", "/v1/devices"}, {"status", 503},
                                       {"body", R"({"error":"Try again later"})"}});
        s.provisionSubmit();
        r->awaitJoined();
        QVERIFY(r->pump([&] { return s.prov().kind == Kind::ManualPair; }));
        QCOMPARE(r->toasts.mid(r->toasts.size() - 2), QStringList({"Box added", "!Try again later"}));
        // Claimed all the same: the cloud lists it.
        QTRY_COMPARE(QCoro::waitFor(s.api().send<DeviceList>("GET", "/v1/devices"))->devices.size(), 1);
    }
};

QTEST_GUILESS_MAIN(TestProvisioning)
#include "tst_provisioning.moc"
