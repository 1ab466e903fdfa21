#include "support/DataRows.h"
#include "support/StoreFixture.h"

#include <QJsonArray>
#include <QTest>

using namespace tavo;

namespace {

ActivityEntry entry(const QString& action, std::optional<int> ch = {}, std::optional<bool> state = {},
                    std::optional<QString> who = {}, const QString& source = "app") {
    return {1, "2026-12-07T10:00:00Z", who, source, action, ch, state};
}

// An entry as a row gives it: "action", and "ch", "state", "who", "source" when present.
ActivityEntry entryOf(const QJsonObject& row) {
    return entry(row["action"].toString(),
                 row.contains("ch") ? std::optional(row["ch"].toInt()) : std::nullopt,
                 row.contains("state") ? std::optional(row["state"].toBool()) : std::nullopt,
                 row.contains("who") ? std::optional(row["who"].toString()) : std::nullopt,
                 row["source"].toString("app"));
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

class ActivityTest : public QObject {
    Q_OBJECT

private slots:
    // The sheet and the history tab word the same entry differently, on purpose.
    void sentences_data() { TAVO_JSON_ROWS("activity-sentences.json"); }
    void sentences() {
        QFETCH(QJsonObject, row);
        const ActivityEntry e = entryOf(row);
        QCOMPARE(activity::sheetLine(e, {livingRoom()}, 1), row["sheet"].toString());
        QCOMPARE(activity::historyLine(e, livingRoom()), row["history"].toString());
    }

    // The sheet's relay name falls back when the box is not in the list.
    void relayNameOfUnknownBox() {
        QCOMPARE(activity::sheetLine(entry("set", 2, true), {livingRoom()}, 9), "turned on Relay 2");
        QCOMPARE(activity::relayName(entry("all"), {livingRoom()}, 1), "");
    }

    void actors_data() { TAVO_JSON_ROWS("activity-actors.json"); }
    void actors() {
        QFETCH(QJsonObject, row);
        const ActivityEntry e = entryOf(row);
        QCOMPARE(activity::actor(e), row["actor"].toString());
        QCOMPARE(int(activity::sheetDot(e)),
                 QStringList({"On", "Dim", "Accent"}).indexOf(row["dot"].toString()));
    }

    // How long ago, as the history words it ("ago" seconds before now, or "when") and as the
    // sheet does ("sheet").
    void ago_data() { TAVO_JSON_ROWS("activity-ago.json"); }
    void ago() {
        QFETCH(QJsonObject, row);
        const QString when = row.contains("ago") ? now.addSecs(-row["ago"].toInt()).toString(Qt::ISODate)
                                                 : row["when"].toString();
        QCOMPARE(row["sheet"].toBool() ? activity::sheetAgo(when, now) : activity::historyAgo(when, now),
                 row["text"].toString());
    }

    // Latest first by text; equal times keep the order they were fetched in.
    void historyOrder() {
        QList<HistoryItem> items;
        for (const int hour : {10, 11, 10, 12}) { // ids 1 to 4
            ActivityEntry e = entry("set", 1, true);
            e.id = items.size() + 1;
            e.when = QStringLiteral("2026-12-07T%1:00:00Z").arg(hour);
            items.append({livingRoom(), e});
        }
        activity::sortHistory(items);
        QList<qint64> order;
        for (const HistoryItem& h : items)
            order << h.entry.id;
        QCOMPARE(order, (QList<qint64>{4, 2, 1, 3}));
    }

    // Against the development cloud (the screens read its seeded log): a box whose fetch fails
    // leaves the others' entries in the history and says why once.
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

        cloud.post("/dev/fail-next",
                   {{"method", "GET"}, {"path", "/v1/device/1/logs"}, {"status", 503}, {"error", "Busy"}});
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
