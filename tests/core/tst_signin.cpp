#include "platform/Preferences.h"
#include "support/DevCloud.h"
#include "support/StoreFixture.h"

#include <QJsonArray>
#include <QTest>

using namespace tavo;
using Conn = TavoStore::ConnStatus;

class SignInTest : public QObject {
    Q_OBJECT

    test::DevCloud cloud{{"--otp-code", "246810"}};

    int requestsSeen() { return int(cloud.get("/dev/requests").value("requests").toArray().size()); }

    // A store that asked the cloud for a code and moved to code entry.
    bool atCodeEntry(test::StoreFixture& f) {
        f.useCloud(cloud.host());
        TavoStore& store = f.make();
        store.setPhone("+919876543210");
        store.sendOTP();
        return QTest::qWaitFor([&] { return store.screenKind() == Screen::Kind::Otp; });
    }

private slots:
    void initTestCase() { QVERIFY(cloud.start()); }
    void init() { cloud.post("/dev/requests/clear"); }

    void phoneValidation_data() {
        QTest::addColumn<QString>("phone");
        QTest::addColumn<bool>("accepted");
        QTest::newRow("spaces between groups") << "+91 98765 43210" << false;
        QTest::newRow("plus and exactly 7 digits") << "+1234567" << true;
        QTest::newRow("plus and 15 digits") << "+123456789012345" << true;
        QTest::newRow("plus and 16 digits") << "+1234567890123456" << false;
        QTest::newRow("no plus") << "919876543210" << false;
        QTest::newRow("non-ASCII digits") << "+٩١٩٨٧٦٥٤٣٢١٠" << false;
        QTest::newRow("trailing newline") << "+919876543210\n" << false;
    }

    void phoneValidation() {
        QFETCH(QString, phone);
        QFETCH(bool, accepted);
        test::StoreFixture f;
        f.useCloud(cloud.host());
        TavoStore& store = f.make();
        store.setPhone(phone);
        store.sendOTP();
        if (!accepted) {
            QCOMPARE(store.toast(), std::optional<QString>("Phone must be E.164, e.g. +919876543210"));
            QVERIFY(store.toastIsError());
            QVERIFY(!store.busy());
            QCOMPARE(requestsSeen(), 0);
            return;
        }
        QVERIFY(store.busy());
        QTRY_COMPARE(store.screenKind(), Screen::Kind::Otp);
        QVERIFY(!store.busy());
        QCOMPARE(store.toast(), std::nullopt);
        QVERIFY(!cloud.get("/dev/requests").value("requests").toArray().at(0).toObject().value("headers").toObject().contains("authorization"));
    }

    void codeValidation_data() {
        QTest::addColumn<QString>("code");
        QTest::newRow("five digits") << "12345";
        QTest::newRow("seven digits") << "1234567";
        QTest::newRow("leading space") << " 123456";
        QTest::newRow("letters") << "12a456";
        QTest::newRow("trailing line feed") << "123456\n";
    }

    void codeValidation() {
        QFETCH(QString, code);
        test::StoreFixture f;
        f.useCloud(cloud.host());
        TavoStore& store = f.make();
        store.setPhone("+919876543210");
        store.verifyOTP(code);
        QCOMPARE(store.toast(), std::optional<QString>("Enter the 6-digit code"));
        QVERIFY(!store.busy());
        QCOMPARE(requestsSeen(), 0);
    }

    void wrongCodeKeepsEverything() {
        test::StoreFixture f;
        QVERIFY(atCodeEntry(f));
        TavoStore& store = *f.store;
        store.verifyOTP("000000");
        QTRY_VERIFY(!store.busy());
        QCOMPARE(store.toast(), std::optional<QString>("Invalid code"));
        QCOMPARE(store.phone(), QString("+919876543210"));
        QVERIFY(store.sessionToken().isEmpty());
        QCOMPARE(store.screenKind(), Screen::Kind::Otp);
        QVERIFY(!f.prefs->value(PrefKey::session).isValid());
    }

    void unreachableCloudShowsTheTransportError() {
        test::StoreFixture f;
        f.useCloud("127.0.0.1:1"); // nothing listens: a transport failure
        TavoStore& store = f.make();
        store.setPhone("+919876543210");
        store.sendOTP();
        QTRY_VERIFY(!store.busy());
        QVERIFY(store.toastIsError());
        QVERIFY(store.toast() && !store.toast()->isEmpty());
        QCOMPARE(store.screenKind(), Screen::Kind::Auth);
    }

    void verifyPersistsBeforeHomeThenConnects() {
        test::StoreFixture f;
        QVERIFY(atCodeEntry(f));
        TavoStore& store = *f.store;

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
};

QTEST_GUILESS_MAIN(SignInTest)
#include "tst_signin.moc"
