#include "chat/ChatStatus.h"
#include "support/StoreFixture.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QTest>

using namespace tavo;

class ChatStatusTest : public QObject {
    Q_OBJECT

private slots:
    void captions_data();
    void captions() {
        QFETCH(QString, tool);
        QFETCH(QString, caption);
        QCOMPARE(ChatStatus::text(tool), caption);
    }

    void statusQuestions_data();
    void statusQuestions() {
        QFETCH(QString, text);
        QFETCH(bool, local);
        QCOMPARE(isStatusQuestion(text), local);
    }

    void localAnswer_data();
    void localAnswer() {
        QFETCH(QString, devices);
        QFETCH(QString, answer);
        test::StoreFixture f;
        TavoStore& store = f.make();
        const QJsonArray list = QJsonDocument::fromJson(devices.toUtf8()).array();
        store.handleWS({{"type", "welcome"}, {"devices", list}});
        QCOMPARE(store.devices().size(), list.size());
        QCOMPARE(store.chatStatusCaption(), answer);
    }
};

void ChatStatusTest::captions_data() {
    QTest::addColumn<QString>("tool");
    QTest::addColumn<QString>("caption");
    QTest::newRow("relay") << "tavo_set_relay"
                           << "Toggling relay…";
    QTest::newRow("devices list") << "tavo_devices_list"
                                  << "Looking at your boxes…";
    QTest::newRow("checkout") << "swiggy_im_checkout"
                              << "Placing your order…";
    QTest::newRow("track order") << "swiggy_im_track_order"
                                 << "Tracking your order…";
    QTest::newRow("food prefix") << "swiggy_food_search"
                                 << "Searching Swiggy Food…";
    QTest::newRow("dineout prefix") << "swiggy_dineout_book"
                                    << "Searching Dineout…";
    QTest::newRow("exact match is case-sensitive") << "TAVO_SET_RELAY"
                                                   << "Tavo Set Relay…";
    QTest::newRow("empty name") << ""
                                << "Working on it…";
    QTest::newRow("unknown: words capitalised") << "weather_now_TODAY"
                                                << "Weather Now Today…";
    QTest::newRow("unknown, doubled underscore keeps both spaces") << "a__b"
                                                                   << "A  B…";
    QTest::newRow("a prefix alone still matches") << "swiggy_food_"
                                                  << "Searching Swiggy Food…";
}

void ChatStatusTest::statusQuestions_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("local");
    QTest::newRow("whats on") << "whats on" << true;
    QTest::newRow("what's on right now?") << "what's on right now?" << true;
    QTest::newRow("what is on?") << "what is on?" << true;
    QTest::newRow("capitals") << "STATUS?" << true;
    QTest::newRow("current status") << "current status?" << true;
    QTest::newRow("status batao") << "status batao" << true;
    QTest::newRow("anything on") << "Anything on?" << true;
    QTest::newRow("what's the state") << "what's the state" << true;
    QTest::newRow("kya kya chal raha hai") << "kya kya chal raha hai?" << true;
    QTest::newRow("kaunsa on") << "kaunsa on" << true;
    QTest::newRow("kaun-sa on hai") << "kaun-sa on hai" << true;
    QTest::newRow("kitne on hai") << "kitne on hai" << true;
    QTest::newRow("batayein") << "batayein" << true;
    QTest::newRow("sab kaisa hai") << "sab kaisa hai?" << true;
    QTest::newRow("surrounding spaces") << "   status   " << true;
    QTest::newRow("anchored: more words") << "status of the fan" << false;
    QTest::newRow("anchored: prefix words") << "tell me what's on" << false;
    QTest::newRow("two question marks") << "status??" << false;
    QTest::newRow("a command") << "turn on the fan" << false;
}

void ChatStatusTest::localAnswer_data() {
    QTest::addColumn<QString>("devices");
    QTest::addColumn<QString>("answer");
    const QString a =
        R"({"id":1,"mac":"a","name":"A","relay_count":3,"relay_names":{},"acl_mask":7,"role":"owner","online":true,"states":[true,true,false]})";
    const QString b =
        R"({"id":2,"mac":"b","name":"B","relay_count":2,"relay_names":{},"acl_mask":3,"role":"owner","online":false,"states":[false,false]})";
    const QString one =
        R"({"id":3,"mac":"c","name":"C","relay_count":1,"relay_names":{},"acl_mask":1,"role":"owner","online":true,"states":[true]})";
    const QString none =
        R"({"id":4,"mac":"d","name":"D","relay_count":2,"relay_names":{},"acl_mask":3,"role":"member","online":true})";
    QTest::newRow("two boxes, one with relays on") << "[" + a + "," + b + "]"
                                                   << "2 relays on across 2 boxes.";
    QTest::newRow("one relay on one box") << "[" + one + "]"
                                          << "1 relay on across 1 box.";
    QTest::newRow("offline boxes count as boxes") << "[" + one + "," + b + "," + none + "]"
                                                  << "1 relay on across 3 boxes.";
    QTest::newRow("all off") << "[" + b + "]"
                             << "Everything is off.";
    QTest::newRow("no states") << "[" + none + "]"
                               << "Everything is off.";
    QTest::newRow("no devices") << "[]"
                                << "Everything is off.";
}

QTEST_MAIN(ChatStatusTest)
#include "tst_chatstatus.moc"
