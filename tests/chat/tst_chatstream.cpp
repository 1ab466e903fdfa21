#include "chat/EventStream.h"
#include "support/ChatText.h"
#include "support/DataRows.h"
#include "support/StoreFixture.h"

#include <QJsonArray>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

using namespace tavo;

namespace {

using test::bubbles;

QString rec(const char* json) {
    return QStringLiteral("data: %1\n\n").arg(QString::fromUtf8(json));
}

} // namespace

class ChatStreamTest : public QObject {
    Q_OBJECT

    test::DevCloud cloud{{"--seed", "demo"}};
    const QString demo = "+919876543210";

    QJsonObject lastChatBody() { return cloud.lastRequestBody("/v1/chat/stream"); }
    // Sends one line and waits for the turn to end.
    static bool turn(TavoStore& store, const QString& text) {
        store.sendChat(text);
        return QTest::qWaitFor([&] { return !store.chatBusy(); }, 10'000);
    }

private slots:
    void initTestCase() { QVERIFY(cloud.start()); }
    void init() {
        cloud.post("/dev/reset");
        cloud.post("/dev/requests/clear");
    }

    // Records as the reader sees them, whatever the chunking: every pair of split points of
    // the body (UTF-8) gives the same records.
    void readerRecords_data() { TAVO_JSON_ROWS("stream-records.json"); }
    void readerRecords() {
        QFETCH(QJsonObject, row);
        const QByteArray body = row["body"].toString().toUtf8();
        const QStringList records = row["records"].toVariant().toStringList();
        for (qsizetype a = 0; a <= body.size(); ++a) {
            for (qsizetype b = a; b <= body.size(); ++b) {
                QStringList got;
                EventStreamReader reader([&](const QString& r) { got << r; });
                reader.feed(QByteArrayView(body).first(a));
                reader.feed(QByteArrayView(body).sliced(a, b - a));
                reader.feed(QByteArrayView(body).sliced(b));
                reader.finish();
                QVERIFY2(got == records,
                         qPrintable(QStringLiteral("split at %1,%2: %3").arg(a).arg(b).arg(got.join(" / "))));
            }
        }
    }

    // A peer that never ends a line, or sends a huge record, costs bounded memory: the
    // oversize line or record is dropped and reading goes on with the next one.
    void readerDropsOversizeInput() {
        QStringList got;
        EventStreamReader reader([&](const QString& r) { got << r; }, 1024);
        reader.feed("data: ");
        for (int i = 0; i < 1000; ++i)
            reader.feed(QByteArray(512, 'x'));
        reader.feed("\n\ndata: after\n\ndata: a\n");
        for (int i = 0; i < 10; ++i)
            reader.feed("data: " + QByteArray(200, 'y') + "\n");
        reader.feed("\ndata: last\n\n");
        reader.finish();
        QCOMPARE(got, (QStringList{"after", "last"}));
    }

    // flushRecord's outcomes, fed through a real socket in the chunks given (text, or
    // {"base64": bytes} to split inside a character), and replies the cloud refused or that
    // broke off ("script"): an error bubble, the turn over (the transport's own words where the
    // conversation ends in "*"). "thread": the one the next line continues; "caption": the
    // last a tool showed; "music": the track the store holds after it ("title|artist|duration").
    void streamOutcomes_data() { TAVO_JSON_ROWS("stream-outcomes.json"); }
    void streamOutcomes() {
        QFETCH(QJsonObject, row);
        const QString conversation = row.value("conversation").toString();
        test::StoreFixture f;
        TavoStore& store = f.makeSignedIn(cloud, "+15550000001"); // no boxes: nothing answers locally
        cloud.post("/dev/chat/next", row.contains("script") ? row["script"].toObject()
                                                            : QJsonObject{{"chunks", row["chunks"]}});
        // A tool's caption takes the typing dots' place while it runs.
        QString caption;
        bool typingWithCaption = false;
        connect(&store, &TavoStore::chatLiveStatusChanged, this, [&] {
            if (!store.chatLiveStatus()) return;
            caption = *store.chatLiveStatus();
            typingWithCaption |= store.chatTyping();
        });
        store.sendChat("  hi \n");
        QVERIFY(store.chatBusy() && store.chatTyping());
        QTRY_VERIFY_WITH_TIMEOUT(!store.chatBusy(), 10'000);
        QCOMPARE(caption, row["caption"].toString());
        QVERIFY(!typingWithCaption);
        if (conversation.endsWith("A!:*")) {
            QVERIFY(bubbles(store.chatMessages()).startsWith(conversation.chopped(1)));
            QVERIFY(store.chatMessages().last().content.size() > 3);
        } else if (row.contains("conversation")) {
            QCOMPARE(bubbles(store.chatMessages()), conversation);
        }
        if (const qint64 thread = row.value("thread").toInteger(-1); thread >= 0) {
            QCOMPARE(store.currentThreadID(), thread);
            QCOMPARE(f.prefs->int64(PrefKey::threadID), thread);
        }
        QCOMPARE(f.speaker.spoken, row["spoken"].toVariant().toStringList());
        QVERIFY(!store.chatTyping());
        QCOMPARE(store.chatLiveStatus(), std::nullopt);
        const std::optional<TavoMusicTrack>& m = store.music();
        const QString music = m ? QStringLiteral("%1|%2|%3")
                                      .arg(m->title, m->artist.value_or("-"),
                                           m->durationMs ? QString::number(*m->durationMs) : "-")
                                : "-";
        QCOMPARE(music, row["music"].toString("-"));
    }

    // New chat, Open or quitting while a reply streams: the turn's later pieces, captions and
    // "done" stay out of the conversation now shown, which the next line continues as it
    // should; a store that goes stops the transfer, and nothing else runs.
    void turnBelongsToItsConversation_data() { TAVO_JSON_ROWS("stream-moves.json"); }
    void turnBelongsToItsConversation() {
        QFETCH(QJsonObject, row);
        const QString move = row["move"].toString();
        const bool openSaved = move == "open";
        const QString phone = "+15550000001";
        const qint64 saved =
            cloud
                .post("/dev/chat/thread",
                      {{"phone", phone},
                       {"title", "Saved"},
                       {"messages", QJsonArray{QJsonObject{{"role", "user"}, {"content", "old"}},
                                               QJsonObject{{"role", "assistant"}, {"content", "kept"}}}}})
                .value("id")
                .toInteger();
        test::StoreFixture f;
        TavoStore& store = f.makeSignedIn(cloud, phone);
        cloud.post("/dev/chat/next", {{"pause_ms", 150},
                                      {"chunks", QJsonArray{rec(R"({"type":"text","delta":"Hel"})"),
                                                            rec(R"({"type":"tool","tool":"tavo_set_relay"})"),
                                                            rec(R"({"type":"text","delta":"lo"})"),
                                                            rec(R"({"type":"done","thread_id":777})")}}});
        QSignalSpy ended(&store, &TavoStore::chatTurnEnded);
        // The user moves on as soon as the first piece shows.
        connect(&store, &TavoStore::chatMessagesChanged, this, [&] {
            if (bubbles(store.chatMessages()) != "U:hi|A:Hel") return;
            QTimer::singleShot(0, this, [&] {
                if (move == "quit")
                    f.store.reset();
                else if (openSaved)
                    store.openChatThread(saved);
                else
                    store.newChatThread();
            });
        });
        store.sendChat("hi");
        if (move == "quit") {
            QTRY_VERIFY_WITH_TIMEOUT(!f.store, 10'000);
            QTest::qWait(700);                              // past the rest of the reply
            QCOMPARE(f.prefs->int64(PrefKey::threadID), 0); // its "done" never arrived
            return;
        }
        QVERIFY(ended.wait(10'000));
        const QString shown = openSaved ? "U:old|A:kept" : "";
        const qint64 thread = openSaved ? saved : 0;
        QTRY_COMPARE(bubbles(store.chatMessages()), shown);
        QCOMPARE(store.currentThreadID(), thread);
        QCOMPARE(f.prefs->int64(PrefKey::threadID), thread);
        QVERIFY(!store.chatBusy() && !store.chatTyping());
        QCOMPARE(store.chatLiveStatus(), std::nullopt);
        QVERIFY(f.speaker.spoken.isEmpty()); // its relay reply is not read out over another conversation

        QVERIFY(turn(store, "next"));
        const QJsonObject body = lastChatBody();
        QCOMPARE(body.value("thread_id").toInteger(0), thread);
        QCOMPARE(body.value("history").toArray().size(), openSaved ? 2 : 0);
    }

    // Signed out, nothing reaches the cloud: no turn, no saved conversations.
    void blankAndSignedOut() {
        test::StoreFixture f;
        f.useCloud(cloud.host());
        TavoStore& store = f.make();
        store.sendChat("hello");
        QCOMPARE(store.toast(), std::optional<QString>("Sign in to chat"));
        QVERIFY(store.toastIsError());
        QVERIFY(store.chatMessages().isEmpty());
        store.loadChatThreads();
        store.openChatThread(1);
        QVERIFY(!store.chatThreadsLoading());
        QTest::qWait(100);
        QCOMPARE(cloud.get("/dev/requests").value("requests").toArray().size(), 0);

        test::StoreFixture g;
        TavoStore& signedIn = g.makeSignedIn(cloud, demo);
        signedIn.sendChat(" \n\t ");
        QVERIFY(signedIn.chatMessages().isEmpty());
        QVERIFY(!signedIn.chatBusy());
    }

    // Status questions are answered from the pushed device list, with no request, and only
    // while there are devices.
    void localAnswer() {
        test::StoreFixture f;
        TavoStore& store = f.makeSignedIn(cloud, demo);
        QTRY_VERIFY(!store.devices().isEmpty());
        store.sendChat("  What's on?  ");
        QCOMPARE(bubbles(store.chatMessages()), "U:What's on?|A:1 relay on across 3 boxes.");
        QVERIFY(!store.chatBusy());
        QCOMPARE(cloud.requestCount("POST", "/v1/chat/stream"), 0);

        test::StoreFixture g;
        TavoStore& empty = g.makeSignedIn(cloud, "+15550000002");
        QVERIFY(turn(empty, "what's on"));
        QCOMPARE(cloud.requestCount("POST", "/v1/chat/stream"), 1);
    }

    void currentlyPlayingGoesWithTheNextTurn() {
        test::StoreFixture f;
        TavoStore& store = f.makeSignedIn(cloud, "+15550000001");
        QVERIFY(turn(store, "play some jazz"));
        QVERIFY(turn(store, "who is this?"));
        QCOMPARE(lastChatBody().value("currently_playing").toString(), "Jazz — Tavo Dev Radio");
    }

    // History carries the 17 messages before the new one; a successful turn keeps the last 40.
    void historyAndCut() {
        test::StoreFixture f;
        TavoStore& store = f.makeSignedIn(cloud, "+15550000001");
        for (int i = 1; i <= 20; ++i)
            QVERIFY(turn(store, QStringLiteral("line %1").arg(i)));
        QCOMPARE(store.chatMessages().size(), 40);
        QCOMPARE(store.chatMessages().first().content, "line 1");

        QVERIFY(turn(store, "line 21"));
        QCOMPARE(store.chatMessages().size(), 40);
        QCOMPARE(store.chatMessages().first().content, "line 2"); // 42 became the last 40
        const QJsonObject body = lastChatBody();
        QCOMPARE(body.value("currently_playing").toString(), ""); // nothing plays
        QVERIFY(!body.contains("context"));
        const QJsonArray history = body.value("history").toArray();
        QCOMPARE(history.size(), 17);
        QCOMPARE(history.last().toObject().value("role").toString(), "assistant");
        QCOMPARE(history.first().toObject().value("role").toString(), "assistant"); // the reply to line 12
        QCOMPARE(history.at(1).toObject(), (QJsonObject{{"role", "user"}, {"content", "line 13"}}));
    }
};

QTEST_MAIN(ChatStreamTest)
#include "tst_chatstream.moc"
