#include "support/DataRows.h"
#include "support/StoreFixture.h"

#include <QJsonArray>
#include <QTest>

using namespace tavo;

class SharingTest : public QObject {
    Q_OBJECT

    test::DevCloud cloud{{"--seed", "demo"}};
    const QString demo = "+919876543210";

    QJsonObject lastInviteBody() { return cloud.lastRequestBody("/v1/device/1/invite"); }
    static QStringList phones(const TavoStore& store) {
        QStringList out;
        for (const Member& m : store.members())
            out << m.phone;
        return out;
    }

private slots:
    void initTestCase() { QVERIFY(cloud.start()); }
    void init() {
        cloud.post("/dev/reset");
        cloud.post("/dev/requests/clear");
    }

    // What the form sends: refusals send nothing; a blank list or the all-selected chips mean
    // every relay. "relays" is a list text, or the selected chips of box 1 (4 relays); "sent"
    // the mask.
    void inviteForm_data() { TAVO_JSON_ROWS("sharing-invites.json"); }
    void inviteForm() {
        QFETCH(QJsonObject, row);
        const QString phone = row["phone"].toString(), toast = row["toast"].toString();
        test::StoreFixture f;
        TavoStore& store = f.makeSignedIn(cloud, demo);
        if (row["relays"].isString()) {
            store.invite(1, phone, row["relays"].toString());
        } else {
            QList<int> chips;
            for (const QJsonValue& c : row["relays"].toArray())
                chips << c.toInt();
            store.inviteWithChips(1, phone, chips, 4);
        }
        QTRY_COMPARE(store.toast(), std::optional<QString>(toast));
        QVERIFY(store.toastIsError());
        if (row["sent"].isNull()) {
            QTest::qWait(100);
            QCOMPARE(cloud.requestCount("POST", "/v1/device/1/invite"), 0);
            return;
        }
        QCOMPARE(lastInviteBody(), (QJsonObject{{"phone", phone}, {"acl_mask", row["sent"].toInteger()}}));
        QTRY_VERIFY(phones(store).contains(phone)); // the list reloads after the invite
    }

    // A number that never signed in gets a share link; one that did is reached over WhatsApp,
    // which clears the earlier link.
    void inviteAndRemove() {
        test::StoreFixture f;
        TavoStore& store = f.makeSignedIn(cloud, demo);
        store.invite(1, "+919800000001", "2");
        QTRY_VERIFY(store.pendingInviteShareLink().has_value());
        QVERIFY(store.pendingInviteShareLink()->startsWith("https://wa.me/919800000001?text="));

        cloud.signIn("+919811111111");
        store.invite(1, "+919811111111", "");
        QTRY_COMPARE(store.toast(), std::optional<QString>("Invited — WhatsApp sent"));
        QVERIFY(!store.toastIsError());
        QCOMPARE(store.pendingInviteShareLink(), std::nullopt);
        QTRY_COMPARE(phones(store), (QStringList{demo, "+919800000001", "+919811111111"}));
        QCOMPARE(store.members().last().acl_mask, 4294967295);

        // Removal reloads the list; a refused removal keeps it and says why.
        const qint64 member = store.members().at(1).user_id;
        store.removeMember(1, member);
        QTRY_COMPARE(store.toast(), std::optional<QString>("Removed"));
        QVERIFY(!store.toastIsError());
        QTRY_COMPARE(phones(store), (QStringList{demo, "+919811111111"}));
        store.removeMember(1, member);
        QTRY_COMPARE(store.toast(), std::optional<QString>("Not a member"));
        QVERIFY(store.toastIsError());
        QCOMPARE(phones(store), (QStringList{demo, "+919811111111"}));
    }

    // A change of access reaches the member's open client at once, as a replaced record.
    void reinviteChangesTheMembersMask() {
        test::StoreFixture owner, member;
        TavoStore& own = owner.makeSignedIn(cloud, demo);
        TavoStore& theirs = member.makeSignedIn(cloud, "+919800000001");
        QTRY_COMPARE(theirs.conn(), TavoStore::ConnStatus::Connected);
        auto livingRoomMask = [&]() -> qint64 {
            for (const Device& d : theirs.devices())
                if (d.id == 1) return d.acl_mask;
            return -1;
        };
        own.invite(1, "+919800000001", "1");
        QTRY_COMPARE(livingRoomMask(), 1);
        own.invite(1, "+919800000001", "2,3");
        QTRY_COMPARE(livingRoomMask(), 6);
        QCOMPARE(std::count_if(theirs.devices().cbegin(), theirs.devices().cend(),
                               [](const Device& d) { return d.id == 1; }),
                 1);
    }

    // A reply that doesn't decode as a whole keeps the list shown before.
    void malformedListKeepsMembers() {
        test::StoreFixture f;
        TavoStore& store = f.makeSignedIn(cloud, demo);
        store.loadMembers(1);
        QTRY_COMPARE(store.members().size(), 1);
        cloud.post("/dev/answer-next",
                   {{"method", "GET"},
                    {"path", "/v1/device/1/members"},
                    {"status", 200},
                    {"body", R"({"members":[{"user_id":7,"phone":"+15550000007","role":"member"}]})"}});
        store.loadMembers(1);
        QTRY_VERIFY(store.toast().has_value());
        QVERIFY(store.toastIsError());
        QCOMPARE(phones(store), QStringList{demo});
    }
};

QTEST_MAIN(SharingTest)
#include "tst_sharing.moc"
