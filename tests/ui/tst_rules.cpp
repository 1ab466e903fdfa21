#include "support/DataRows.h"
#include "ui/UiRules.h"

#include <QJSEngine>
#include <QJSValue>
#include <QTest>

using namespace tavo;

class RulesTest : public QObject {
    Q_OBJECT

private slots:
    void relayNameChanges_data() {
        QTest::addColumn<QVariantMap>("current");
        QTest::addColumn<QVariantMap>("drafts");
        QTest::addColumn<QVariantMap>("sent");
        const QVariantMap names{{"1", "Fan"}, {"3", "Lamp"}};
        QTest::newRow("unchanged drafts send nothing")
            << names << UiRules::relayNameDrafts(names, 3) << QVariantMap{};
        QTest::newRow("the default name of an unnamed relay is no change")
            << names << QVariantMap{{"1", "Fan"}, {"2", "Relay 2"}, {"3", "Lamp"}} << QVariantMap{};
        QTest::newRow("a cleared field keeps the old name")
            << names << QVariantMap{{"1", "  "}, {"2", "Heater"}} << QVariantMap{{"2", "Heater"}};
        QTest::newRow("trimmed before comparing and sending")
            << names << QVariantMap{{"1", " Fan \n"}, {"3", " Desk lamp "}}
            << QVariantMap{{"3", "Desk lamp"}};
        QTest::newRow("channels beyond the box are ignored")
            << names << QVariantMap{{"4", "Ghost"}, {"x", "Y"}} << QVariantMap{};
    }

    void relayNameChanges() {
        QFETCH(QVariantMap, current);
        QFETCH(QVariantMap, drafts);
        QFETCH(QVariantMap, sent);
        QCOMPARE(UiRules::relayNameChanges(current, 3, drafts), sent);
    }

    void renameTo_data() {
        QTest::addColumn<QString>("draft");
        QTest::addColumn<QString>("sent");
        QTest::newRow("same name") << "Hall"
                                   << "";
        QTest::newRow("same after trimming") << "  Hall\n"
                                             << "";
        QTest::newRow("blank") << "   "
                               << "";
        QTest::newRow("new name, trimmed") << " Lounge "
                                           << "Lounge";
    }

    void renameTo() {
        QFETCH(QString, draft);
        QFETCH(QString, sent);
        QCOMPARE(UiRules::renameTo("Hall", draft), sent);
    }

    void greeting_data() {
        QTest::addColumn<int>("hour");
        QTest::addColumn<int>("boxes");
        QTest::addColumn<bool>("food");
        QTest::addColumn<QString>("text");
        const QString ask = ". Tap a chip below or just ask.";
        QTest::newRow("04:59") << 4 << 1 << false << "Up late.\n\nI can control your 1 box" + ask;
        QTest::newRow("05:00") << 5 << 3 << false << "Good morning.\n\nI can control your 3 boxes" + ask;
        QTest::newRow("16:59") << 16 << 2 << true
                               << "Good afternoon.\n\nI can control your 2 boxes, order food/groceries" + ask;
        QTest::newRow("21:00 food only")
            << 21 << 0 << true << "Good evening.\n\nI can order food/groceries" + ask;
        QTest::newRow("22:00 nothing yet")
            << 22 << 0 << false
            << "Late night.\n\nPair a box from the home screen, or hook up a skill to get started.";
    }
    void greeting() {
        QFETCH(int, hour);
        QFETCH(int, boxes);
        QFETCH(bool, food);
        QTEST(UiRules::greeting(hour, boxes, food), "text");
    }

    void quickChips_data() { TAVO_JSON_ROWS("rules-chips.json"); }
    void quickChips() {
        QFETCH(QJsonObject, row);
        QCOMPARE(UiRules::quickChips(row["hour"].toInt(), row["names"].toVariant().toStringList(),
                                     row["boxes"].toInt(), row["food"].toBool()),
                 row["chips"].toVariant().toStringList());
    }

    // Shown on a voice reply: no screen test reaches a plural.
    void firedCaption() {
        QCOMPARE(UiRules::firedCaption(0), QString());
        QCOMPARE(UiRules::firedCaption(1), QString("1 relay toggled"));
        QCOMPARE(UiRules::firedCaption(3), QString("3 relays toggled"));
    }

    void foodSkill() {
        const QVariantMap swiggy{{"id", "swiggy"}, {"connected", true}};
        QVERIFY(UiRules::foodConnected({QVariantMap{{"id", "other"}, {"connected", true}}, swiggy}));
        QVERIFY(!UiRules::foodConnected({QVariantMap{{"id", "swiggy"}, {"connected", false}}}));
        QVERIFY(!UiRules::foodConnected({}));
    }

    void threadStamp_data() { TAVO_JSON_ROWS("rules-stamps.json"); }
    void threadStamp() {
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
        QFETCH(QJsonObject, row);
        QCOMPARE(UiRules::threadStamp(row["updatedAt"].toString(),
                                      QDateTime(QDate(2026, 12, 7), QTime(12, 0), Qt::UTC)),
                 row["stamp"].toString());
    }

    // The invite's relay chips: everything selected at first, All/None flips the whole set.
    void relayChips() {
        const QVariantList all{1, 2, 3};
        QCOMPARE(UiRules::initialInviteRelays(4), (QVariantList{1, 2, 3, 4}));
        QCOMPARE(UiRules::initialInviteRelays(0), (QVariantList{1}));
        QCOMPARE(UiRules::allChipLabel(all, 3), QString("None"));
        QCOMPARE(UiRules::allChipLabel(QVariantList{1, 3}, 3), QString("All"));
        QCOMPARE(UiRules::tapAllChip(all, 3), QVariantList{});
        QCOMPARE(UiRules::tapAllChip(QVariantList{2}, 3), all);
        QCOMPARE(UiRules::tapRelayChip(QVariantList{1, 3}, 2), all);
        QCOMPARE(UiRules::tapRelayChip(all, 2), (QVariantList{1, 3}));
        // What QML hands over: numbers as doubles, a JS array, or nothing at all.
        QCOMPARE(UiRules::tapRelayChip(QVariantList{3.0, 1.0}, 2), all);
        QJSEngine js;
        QCOMPARE(UiRules::tapRelayChip(QVariant::fromValue(js.evaluate("[3, 1]")), 2), all);
        QCOMPARE(UiRules::tapRelayChip(QVariant::fromValue(QJSValue()), 2), QVariantList{2});
        QCOMPARE(UiRules::allChipLabel(QVariant(), 3), QString("All"));
    }
};

QTEST_MAIN(RulesTest)
#include "tst_rules.moc"
