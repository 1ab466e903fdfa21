#include "platform/Preferences.h"
#include "support/DataRows.h"
#include "support/DevCloud.h"
#include "support/StoreFixture.h"

#include <QJsonArray>
#include <QSignalSpy>
#include <QTest>

#include <qcoro/qcorotask.h>

using namespace tavo;
using Conn = TavoStore::ConnStatus;

class SignInTest : public QObject {
    Q_OBJECT

    test::DevCloud cloud{{"--otp-code", "246810"}};

private slots:
    void initTestCase() { QVERIFY(cloud.start()); }
    void init() { cloud.post("/dev/requests/clear"); }

    // The number as typed, or a code for a good number: a refusal sends nothing.
    void typed_data() { TAVO_JSON_ROWS("signin-typed.json"); }
    void typed() {
        QFETCH(QJsonObject, row);
        const QString toast = row["toast"].toString();
        test::StoreFixture f;
        f.useCloud(cloud.host());
        TavoStore& store = f.make();
        store.setPhone(row["phone"].toString("+919876543210"));
        if (row.contains("code"))
            store.verifyOTP(row["code"].toString());
        else
            store.sendOTP();
        if (!toast.isEmpty()) {
            QCOMPARE(store.toast(), std::optional<QString>(toast));
            QVERIFY(store.toastIsError());
            QVERIFY(!store.busy());
            QCOMPARE(cloud.get("/dev/requests").value("requests").toArray().size(), 0);
            return;
        }
        QVERIFY(store.busy());
        QTRY_COMPARE(store.screenKind(), Screen::Kind::Otp);
        QVERIFY(!store.busy());
        QCOMPARE(store.toast(), std::nullopt);
        QVERIFY(
            !cloud.get("/dev/requests").value("requests")[0]["headers"].toObject().contains("authorization"));
    }

    // A wrong code keeps everything as it was; the right one is stored before Home shows.
    void verifyCode() {
        test::StoreFixture f;
        f.useCloud(cloud.host());
        TavoStore& store = f.make();
        store.setPhone("+919876543210");
        store.sendOTP();
        QTRY_COMPARE(store.screenKind(), Screen::Kind::Otp);
        store.verifyOTP("000000");
        QTRY_VERIFY(!store.busy());
        QCOMPARE(store.toast(), std::optional<QString>("Invalid code"));
        QCOMPARE(store.phone(), QString("+919876543210"));
        QVERIFY(store.sessionToken().isEmpty());
        QCOMPARE(store.screenKind(), Screen::Kind::Otp);
        QVERIFY(!f.prefs->value(PrefKey::session).isValid());

        bool persistedAtHome = false;
        connect(&store, &TavoStore::screenChanged, this, [&] {
            if (store.screenKind() == Screen::Kind::Home)
                persistedAtHome = f.prefs->string(PrefKey::session) == store.sessionToken() &&
                                  f.prefs->string(PrefKey::phone) == QString("+919876543210") &&
                                  f.prefs->int64(PrefKey::userID) == store.userID();
        });
        store.verifyOTP("246810");
        QVERIFY(store.busy());
        QTRY_COMPARE(store.screenKind(), Screen::Kind::Home);
        QVERIFY(persistedAtHome);
        QVERIFY(!store.sessionToken().isEmpty());
        QVERIFY(store.userID() > 0);
        QVERIFY(!store.busy());
        QTRY_COMPARE(store.conn(), Conn::Connected);
    }

    // A token the cloud refuses ends the session, found out by any request or by the device
    // socket: the store's sign-out, the sign-in screen, a toast saying why. A refusal of a
    // token that is no longer the session's ends nothing.
    void refusedSessionEnds_data() { TAVO_JSON_ROWS("signin-refusals.json"); }
    void refusedSessionEnds() {
        QFETCH(QJsonObject, row);
        const QString how = row["how"].toString();
        test::StoreFixture f;
        f.connectOnRestore = how == "socket";
        f.useCloud(cloud.host());
        const QString token =
            how == "stale" ? cloud.signIn("+15550000001").value("session_token").toString() : "revoked";
        f.prefs->setValue(PrefKey::session, token);
        f.prefs->setValue(PrefKey::phone, "+15550000001");
        f.prefs->setValue(PrefKey::threadID, qint64(7));
        TavoStore& store = f.make();
        QSignalSpy expired(&store, &TavoStore::sessionExpired);
        // The socket's refusal may come before any wait here could see Home; the expiry
        // signal below is what shows a session was restored and then ended.
        if (how != "socket") QTRY_COMPARE(store.screenKind(), Screen::Kind::Home);
        if (how == "http") store.loadMembers(1);
        if (how == "stale") {
            const API old(f.network, f.config, *f.prefs, "an older session's",
                          [&](const QString& t) { return store.endRefusedSession(t); });
            const Result<DeviceList> reply = QCoro::waitFor(old.send<DeviceList>("GET", "/v1/devices"));
            QCOMPARE(reply.failure().status, 401);
            QCOMPARE(reply.failure().kind, Failure::Kind::Api);
            QTest::qWait(100);
            QCOMPARE(expired.size(), 0);
            QCOMPARE(store.sessionToken(), token);
            return;
        }
        QTRY_COMPARE(expired.size(), 1);
        QCOMPARE(store.screenKind(), Screen::Kind::Auth);
        QCOMPARE(store.toast(), std::optional<QString>("Your session has expired. Sign in again."));
        QVERIFY(store.toastIsError());
        QVERIFY(store.sessionToken().isEmpty());
        QCOMPARE(store.conn(), Conn::Offline);
        QVERIFY(!store.readerRunning());
        for (const char* key : {PrefKey::session, PrefKey::phone, PrefKey::threadID})
            QVERIFY2(!f.prefs->value(key).isValid(), key);
        f.clock.advance(std::chrono::seconds(10));
        QTest::qWait(100);
        QCOMPARE(expired.size(), 1); // and no reconnecting
    }

    // What one account saw is gone at sign-out, so the next account on this desktop never sees
    // it.
    void signOutForgetsTheAccount() {
        test::StoreFixture f;
        const QString phone = "+15550000002";
        TavoStore& store = f.makeSignedIn(cloud, phone);
        QTRY_COMPARE(store.conn(), Conn::Connected);
        const qint64 box = cloud.post("/dev/devices", {{"owner", phone}, {"name", "Den"}, {"relay_count", 2}})
                               .value("device")
                               .toObject()
                               .value("id")
                               .toInteger();
        cloud.post(
            "/dev/chat/thread",
            {{"phone", phone}, {"messages", QJsonArray{QJsonObject{{"role", "user"}, {"content", "hi"}}}}});
        store.loadMembers(box);
        store.loadSkills();
        store.loadChatThreads();
        store.invite(box, "+15550000003", "");
        store.sendChat("play some jazz");
        QTRY_VERIFY(!store.members().isEmpty() && !store.skills().isEmpty() &&
                    !store.chatThreads().isEmpty() && store.pendingInviteShareLink() && store.music() &&
                    !store.chatBusy());

        store.signOut();
        QVERIFY(store.devices().isEmpty() && store.members().isEmpty() && store.skills().isEmpty());
        QVERIFY(store.chatThreads().isEmpty() && store.chatMessages().isEmpty());
        QCOMPARE(store.music(), std::nullopt);
        QCOMPARE(store.pendingInviteShareLink(), std::nullopt);
    }

    // Another account signing in over a kept session (as `tavoctl login` does) starts afresh:
    // never the previous user's conversation.
    void anotherAccountStartsFresh() {
        test::StoreFixture f;
        f.prefs->setValue(PrefKey::threadID, qint64(7));
        TavoStore& store = f.makeSignedIn(cloud, "+15550000004");
        QCOMPARE(store.currentThreadID(), 7);
        QTRY_COMPARE(store.conn(), Conn::Connected);
        store.setPhone("+15550000005");
        store.sendOTP();
        QTRY_COMPARE(store.screenKind(), Screen::Kind::Otp);
        store.verifyOTP("246810");
        QTRY_COMPARE(store.screenKind(), Screen::Kind::Home);
        QCOMPARE(store.currentThreadID(), 0);
        QVERIFY(!f.prefs->value(PrefKey::threadID).isValid());
    }
};

QTEST_GUILESS_MAIN(SignInTest)
#include "tst_signin.moc"
