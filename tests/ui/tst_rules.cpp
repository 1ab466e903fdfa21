#include "support/DataRows.h"
#include "ui/kit/InputHelpers.h"
#include "ui/store/ChatModel.h"
#include "ui/store/DeviceModel.h"

#include <QJSEngine>
#include <QJSValue>
#include <QTest>

using namespace tavo;
using SentNames = QMap<QString, QString>;

class RulesTest : public QObject {
    Q_OBJECT

private slots:
    // A box of three relays, the first and last named: what the editor's save sends.
    void relayNameChanges_data() { TAVO_JSON_ROWS("rules-relay-names.json"); }
    void relayNameChanges() {
        QFETCH(QJsonObject, row);
        Device box;
        box.relay_count = 3;
        box.relay_names = {{"1", "Fan"}, {"3", "Lamp"}};
        SentNames sent;
        for (const QString& key : row["sent"].toObject().keys())
            sent.insert(key, row["sent"][key].toString());
        QCOMPARE(DeviceModel::relayNameChanges(box, row["drafts"].toObject().toVariantMap()), sent);
    }

    // A box renamed from "Hall": what is sent, "" for nothing.
    void renameTo_data() { TAVO_JSON_ROWS("rules-renames.json"); }
    void renameTo() {
        QFETCH(QJsonObject, row);
        QCOMPARE(DeviceModel::renameTo("Hall", row["draft"].toString()), row["sent"].toString());
    }

    void greeting_data() { TAVO_JSON_ROWS("rules-greetings.json"); }
    void greeting() {
        QFETCH(QJsonObject, row);
        QCOMPARE(ChatModel::greetingFor(row["hour"].toInt(), row["boxes"].toInt(), row["food"].toBool()),
                 row["text"].toString());
    }

    void quickChips_data() { TAVO_JSON_ROWS("rules-chips.json"); }
    void quickChips() {
        QFETCH(QJsonObject, row);
        QCOMPARE(ChatModel::chipsFor(row["hour"].toInt(), row["names"].toVariant().toStringList(),
                                     row["boxes"].toInt(), row["food"].toBool()),
                 row["chips"].toVariant().toStringList());
    }

    void threadStamp_data() { TAVO_JSON_ROWS("rules-stamps.json"); }
    void threadStamp() {
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
        QFETCH(QJsonObject, row);
        QCOMPARE(ChatModel::threadStamp(row["updatedAt"].toString(),
                                        QDateTime(QDate(2026, 12, 7), QTime(12, 0), Qt::UTC)),
                 row["stamp"].toString());
    }

    // The invite's relay chips: everything selected at first, All/None flips the whole set.
    void relayChips() {
        // (A box's first pick, and the All/None chip on a full or an empty pick: the members screen.)
        const QVariantList all{1, 2, 3};
        QCOMPARE(InputHelpers::initialInviteRelays(0), (QVariantList{1}));
        QCOMPARE(InputHelpers::allChipLabel(QVariantList{1, 3}, 3), QString("All"));
        QCOMPARE(InputHelpers::tapAllChip(QVariantList{2}, 3), all);
        QCOMPARE(InputHelpers::tapRelayChip(QVariantList{1, 3}, 2), all);
        QCOMPARE(InputHelpers::tapRelayChip(all, 2), (QVariantList{1, 3}));
        // What QML hands over: numbers as doubles, a JS array, or nothing at all.
        QCOMPARE(InputHelpers::tapRelayChip(QVariantList{3.0, 1.0}, 2), all);
        QJSEngine js;
        QCOMPARE(InputHelpers::tapRelayChip(QVariant::fromValue(js.evaluate("[3, 1]")), 2), all);
        QCOMPARE(InputHelpers::tapRelayChip(QVariant::fromValue(QJSValue()), 2), QVariantList{2});
        QCOMPARE(InputHelpers::allChipLabel(QVariant(), 3), QString("All"));
    }
};

QTEST_MAIN(RulesTest)
#include "tst_rules.moc"
