#include "support/StoreFixture.h"

#include <QJsonArray>
#include <QTest>

using namespace tavo;

namespace {

ActivityEntry entry(const QString& action, std::optional<int> ch = {}, std::optional<bool> state = {},
                    std::optional<QString> who = {}, const QString& source = "app") {
    return {1, "2026-12-07T10:00:00Z", who, source, action, ch, state};
}

Device livingRoom() {
    Device d;
    d.id = 1;
    d.name = "Living Room";
    d.relay_count = 4;
    d.relay_names = {{"2", "Lamp"}};
    return d;
}

const QDateTime now = QDateTime::fromString("2026-12-07T12:00:00Z", Qt::ISODate);

} // namespace

Q_DECLARE_METATYPE(ActivityEntry)

class ActivityTest : public QObject {
    Q_OBJECT

private slots:
    // The sheet and the history tab word the same entry differently, on purpose.
    void sentences_data() {
        QTest::addColumn<ActivityEntry>("e");
        QTest::addColumn<QString>("sheet");
        QTest::addColumn<QString>("history");
        QTest::newRow("named relay on") << entry("set", 2, true) << "turned on Lamp" << "turned on Lamp";
        QTest::newRow("unnamed relay off") << entry("set", 3, false) << "turned off Relay 3" << "turned off Relay 3";
        QTest::newRow("set without state") << entry("set", 3) << "turned off Relay 3" << "set";
        QTest::newRow("set without channel") << entry("set", {}, true) << "turned on a relay" << "set";
        QTest::newRow("all on") << entry("all", {}, true) << "turned ALL relays on" << "all";
        QTest::newRow("all without state") << entry("all") << "turned ALL relays off" << "all";
        QTest::newRow("all_on") << entry("all_on") << "all_on" << "all on";
        QTest::newRow("all_off") << entry("all_off") << "all_off" << "all off";
        QTest::newRow("rename_relay") << entry("rename_relay", 2) << "renamed a relay" << "rename_relay";
        QTest::newRow("rename_device") << entry("rename_device") << "renamed the box" << "rename_device";
        QTest::newRow("member_added") << entry("member_added") << "added a member" << "member_added";
        QTest::newRow("member_removed") << entry("member_removed") << "removed a member" << "member_removed";
        QTest::newRow("unknown word verbatim") << entry("firmware_update") << "firmware_update" << "firmware_update";
        QTest::newRow("unknown word with relay") << entry("pulse", 2, true) << "pulse" << "turned on Lamp";
    }
    void sentences() {
        QFETCH(ActivityEntry, e);
        QFETCH(QString, sheet);
        QFETCH(QString, history);
        QCOMPARE(activity::sheetLine(e, {livingRoom()}, 1), sheet);
        QCOMPARE(activity::historyLine(e, livingRoom()), history);
    }

    // The sheet's relay name falls back when the box is not in the list.
    void relayNameOfUnknownBox() {
        QCOMPARE(activity::sheetLine(entry("set", 2, true), {livingRoom()}, 9), "turned on Relay 2");
        QCOMPARE(activity::relayName(entry("all"), {livingRoom()}, 1), "");
    }

    void actors_data() {
        QTest::addColumn<ActivityEntry>("e");
        QTest::addColumn<QString>("actor");
        QTest::addColumn<int>("dot");
        QTest::newRow("app user") << entry("set", 1, true, "+919876543210") << "+919876543210" << int(activity::Dot::On);
        QTest::newRow("from chat") << entry("set", 1, false, "+919876543210", "chat") << "+919876543210 · chat"
                                   << int(activity::Dot::Dim);
        QTest::newRow("system") << entry("all_off", {}, {}, {}, "system") << "system · system" << int(activity::Dot::Accent);
        QTest::newRow("system from the app") << entry("all") << "system" << int(activity::Dot::Dim);
    }
    void actors() {
        QFETCH(ActivityEntry, e);
        QFETCH(QString, actor);
        QFETCH(int, dot);
        QCOMPARE(activity::actor(e), actor);
        QCOMPARE(int(activity::sheetDot(e)), dot);
    }

    void relTime_data() {
        QTest::addColumn<QString>("when");
        QTest::addColumn<QString>("text");
        auto ago = [](int s) { return now.addSecs(-s).toString(Qt::ISODate); };
        QTest::newRow("59 s") << ago(59) << "59s ago";
        QTest::newRow("60 s") << ago(60) << "1m ago";
        QTest::newRow("3599 s") << ago(3599) << "59m ago";
        QTest::newRow("3600 s") << ago(3600) << "1h ago";
        QTest::newRow("86399 s") << ago(86399) << "23h ago";
        QTest::newRow("86400 s") << ago(86400) << "1d ago";
        QTest::newRow("future") << ago(-5) << "-5s ago";
        QTest::newRow("fractional seconds parse") << "2026-12-07T11:58:59.900Z" << "1m ago";
        QTest::newRow("other time zone") << "2026-12-07T16:30:00+05:30" << "1h ago";
        QTest::newRow("unparsable = now") << "yesterday" << "0s ago";
    }
    void relTime() {
        QFETCH(QString, when);
        QFETCH(QString, text);
        QCOMPARE(activity::relTime(when, now), text);
    }

    void relativeWhen_data() {
        QTest::addColumn<QString>("when");
        QTest::addColumn<QString>("text");
        QTest::newRow("seconds") << "2026-12-07T11:59:30Z" << "30 sec. ago";
        QTest::newRow("minutes") << "2026-12-07T11:55:00Z" << "5 min. ago";
        QTest::newRow("hours") << "2026-12-07T09:00:00Z" << "3 hr. ago";
        QTest::newRow("one day") << "2026-12-06T12:00:00Z" << "1 day ago";
        QTest::newRow("days") << "2026-12-04T12:00:00Z" << "3 days ago";
        QTest::newRow("weeks") << "2026-11-20T12:00:00Z" << "2 wk. ago";
        QTest::newRow("future") << "2026-12-07T12:10:00Z" << "in 10 min.";
        QTest::newRow("fractional seconds shown raw") << "2026-12-07T11:55:00.250Z" << "2026-12-07T11:55:00.250Z";
        QTest::newRow("no time zone shown raw") << "2026-12-07T11:55:00" << "2026-12-07T11:55:00";
    }
    void relativeWhen() {
        QFETCH(QString, when);
        QFETCH(QString, text);
        QCOMPARE(activity::relativeWhen(when, now), text);
    }

    // Latest first by text; equal times keep the order they were fetched in.
    void historyOrder() {
        Device study = livingRoom();
        study.id = 2;
        auto at = [](qint64 id, const QString& when) {
            ActivityEntry e = entry("set", 1, true);
            e.id = id;
            e.when = when;
            return e;
        };
        QList<HistoryItem> items{{livingRoom(), at(1, "2026-12-07T10:00:00Z")},
                                 {livingRoom(), at(2, "2026-12-07T11:00:00Z")},
                                 {study, at(3, "2026-12-07T10:00:00Z")},
                                 {study, at(4, "2026-12-07T12:00:00Z")}};
        activity::sortHistory(items);
        QList<qint64> order;
        for (const HistoryItem& h : items)
            order << h.entry.id;
        QCOMPARE(order, (QList<qint64>{4, 2, 1, 3}));
    }

    // Against the development cloud: the switches made are the log, newest first; a box whose
    // fetch fails leaves the others' entries in the history and says why once.
    void fetchAndHistory() {
        test::DevCloud cloud;
        QVERIFY(cloud.start());
        const QString owner = "+15550001111";
        cloud.post("/dev/devices", {{"owner", owner}, {"name", "Hall"}, {"relay_count", 2}, {"id", 1}});
        cloud.post("/dev/devices", {{"owner", owner}, {"name", "Shed"}, {"relay_count", 1}, {"id", 2}});
        test::StoreFixture f;
        TavoStore& store = f.makeSignedIn(cloud, owner);
        QTRY_COMPARE(store.devices().size(), 2);
        store.setRelay(1, 2, true);
        QTRY_VERIFY(store.devices().at(0).isOn(2));
        store.allRelays(2, true);
        QTRY_VERIFY(store.devices().at(1).isOn(1));

        const QList<ActivityEntry> log = QCoro::waitFor(store.fetchActivityLog(1, 10));
        QCOMPARE(log.size(), 1);
        QCOMPARE(log.first().who_phone, std::optional<QString>(owner));
        QCOMPARE(activity::sheetLine(log.first(), store.devices(), 1), "turned on Relay 2");

        cloud.post("/dev/fail-next", {{"method", "GET"}, {"path", "/v1/device/1/logs"}, {"status", 503}, {"error", "Busy"}});
        const QList<HistoryItem> history = QCoro::waitFor(store.fetchHistory());
        QCOMPARE(history.size(), 1);
        QCOMPARE(history.first().device.name, "Shed");
        QCOMPARE(history.first().entry.action, "all");
        QCOMPARE(store.toast(), std::optional<QString>("Busy"));
        QVERIFY(store.toastIsError());
    }
};

QTEST_MAIN(ActivityTest)
#include "tst_activity.moc"
