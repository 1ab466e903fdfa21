#include "chat/ChatStatus.h"
#include "support/DataRows.h"
#include "support/StoreFixture.h"

#include <QJsonArray>
#include <QJsonDocument>
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

    // "boxes" from a: 2 of 3 on; b: offline, all off; c: its one relay on; d: no states at all.
    void localAnswer_data() { TAVO_JSON_ROWS("chatstatus-answers.json"); }
    void localAnswer() {
        QFETCH(QJsonObject, row);
        const QJsonObject box = QJsonDocument::fromJson(R"({
          "a":{"id":1,"mac":"a","name":"A","relay_count":3,"relay_names":{},"acl_mask":7,"role":"owner","online":true,"states":[true,true,false]},
          "b":{"id":2,"mac":"b","name":"B","relay_count":2,"relay_names":{},"acl_mask":3,"role":"owner","online":false,"states":[false,false]},
          "c":{"id":3,"mac":"c","name":"C","relay_count":1,"relay_names":{},"acl_mask":1,"role":"owner","online":true,"states":[true]},
          "d":{"id":4,"mac":"d","name":"D","relay_count":2,"relay_names":{},"acl_mask":3,"role":"member","online":true}})")
                                    .object();
        QJsonArray list;
        for (QChar b : row["boxes"].toString())
            list.append(box[b]);
        test::StoreFixture f;
        TavoStore& store = f.make();
        store.handleWS({{"type", "welcome"}, {"devices", list}});
        QCOMPARE(store.devices().size(), list.size());
        QCOMPARE(store.chatStatusCaption(), row["answer"].toString());
    }
};

QTEST_MAIN(ChatStatusTest)
#include "tst_chatstatus.moc"
