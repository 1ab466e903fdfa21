#include "ui/UiRules.h"

#include <QTest>

using namespace tavo;

class RulesTest : public QObject {
    Q_OBJECT

private slots:
    void discoveryHeader_data() {
        QTest::addColumn<bool>("scanning");
        QTest::addColumn<int>("found");
        QTest::addColumn<QString>("dot");
        QTest::addColumn<QString>("title");
        QTest::addColumn<bool>("note");
        QTest::newRow("scanning, nothing yet") << true << 0 << "connecting" << "Scanning this network…" << false;
        QTest::newRow("scanning, one found") << true << 1 << "connecting" << "Found on this network" << false;
        QTest::newRow("stopped with boxes") << false << 2 << "connected" << "Found on this network" << false;
        QTest::newRow("stopped, empty") << false << 0 << "offline" << "Nothing found yet" << true;
    }
    void discoveryHeader() {
        QFETCH(bool, scanning);
        QFETCH(int, found);
        QFETCH(QString, dot);
        QFETCH(QString, title);
        QFETCH(bool, note);
        QCOMPARE(UiRules::discoveryDot(scanning, found), dot);
        QCOMPARE(UiRules::discoveryTitle(scanning, found), title);
        QCOMPARE(UiRules::discoveryNote(scanning, found), note);
    }

    void pairCodeEntry_data() {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("shown");
        QTest::addColumn<bool>("claimable");
        QTest::newRow("eight characters") << "abcd1234" << "ABCD-1234" << true;
        QTest::newRow("seven") << "ABCD-123" << "ABCD-123" << false;
        QTest::newRow("pasted with spaces") << " ab cd-12 34 " << "ABCD-1234" << true;
    }
    void pairCodeEntry() {
        QFETCH(QString, typed);
        QFETCH(QString, shown);
        QFETCH(bool, claimable);
        QCOMPARE(UiRules::pairCodeInput(typed), shown);
        QCOMPARE(UiRules::canClaimCode(shown, false), claimable);
        QVERIFY(!UiRules::canClaimCode(shown, true)); // never while busy
    }

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

    void devicesState_data() {
        QTest::addColumn<int>("count");
        QTest::addColumn<int>("conn");
        QTest::addColumn<QString>("state");
        QTest::newRow("connecting, nothing yet") << 0 << 1 << "skeleton";
        QTest::newRow("offline, nothing") << 0 << 0 << "skeleton";
        QTest::newRow("connected, none") << 0 << 2 << "empty";
        QTest::newRow("boxes while reconnecting") << 2 << 1 << "grid";
    }

    void devicesState() {
        QFETCH(int, count);
        QFETCH(int, conn);
        QFETCH(QString, state);
        QCOMPARE(UiRules::devicesState(count, conn), state);
    }

    void signIn() {
        QVERIFY(!UiRules::canSendCode("987", false));
        QVERIFY(UiRules::canSendCode("9876", false));
        QVERIFY(!UiRules::canSendCode("9876543210", true));
        QCOMPARE(UiRules::codeInput("12ab 3456789"), "123456");
        QCOMPARE(UiRules::composePhone("91", "9876543210"), "+919876543210");
        QCOMPARE(UiRules::refill("+447911123456"), (QVariantMap{{"iso", "GB"}, {"national", "7911123456"}}));
    }
};

QTEST_MAIN(RulesTest)
#include "tst_rules.moc"
