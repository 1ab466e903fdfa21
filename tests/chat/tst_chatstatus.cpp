#include "chat/ChatStatus.h"
#include "support/DataRows.h"
#include "support/StoreFixture.h"

#include <QJsonArray>
#include <QTest>

using namespace tavo;

class ChatStatusTest : public QObject {
    Q_OBJECT

private slots:
    void captions_data() { TAVO_JSON_ROWS("chatstatus-captions.json"); }
    void captions() {
        QFETCH(QJsonObject, row);
        QCOMPARE(ChatStatus::text(row["tool"].toString()), row["caption"].toString());
    }

    // One row per phrase pattern, then the anchoring that keeps commands away from it.
    void statusQuestions_data() { TAVO_JSON_ROWS("chatstatus-questions.json"); }
    void statusQuestions() {
        QFETCH(QJsonObject, row);
        QCOMPARE(isStatusQuestion(row["text"].toString()), row["local"].toBool());
    }

    // The pushed device list ("devices") in one sentence; offline boxes and boxes without states
    // count as boxes.
    void localAnswer_data() { TAVO_JSON_ROWS("chatstatus-answers.json"); }
    void localAnswer() {
        QFETCH(QJsonObject, row);
        test::StoreFixture f;
        TavoStore& store = f.make();
        store.handleWS({{"type", "welcome"}, {"devices", row["devices"]}});
        QCOMPARE(store.devices().size(), row["devices"].toArray().size());
        QCOMPARE(store.chatStatusCaption(), row["answer"].toString());
    }
};

QTEST_MAIN(ChatStatusTest)
#include "tst_chatstatus.moc"
