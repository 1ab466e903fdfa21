#include "support/DataRows.h"
#include "support/StoreFixture.h"

#include <QJsonArray>
#include <QTest>

using namespace tavo;

namespace {

QString roles(const QList<ChatMessage>& messages) {
    QStringList out;
    for (const ChatMessage& m : messages)
        out << (m.role == ChatMessage::Role::User ? "user" : "assistant");
    return out.join(',');
}

QList<qint64> ids(const QList<ChatThreadRow>& rows) {
    QList<qint64> out;
    for (const ChatThreadRow& r : rows)
        out << r.id;
    return out;
}

} // namespace

class ThreadsTest : public QObject {
    Q_OBJECT

    test::DevCloud cloud;
    const QString phone = "+15550000001";

    qint64 saveThread(const QString& title, const QJsonArray& messages) {
        return cloud.post("/dev/chat/thread", {{"phone", phone}, {"title", title}, {"messages", messages}})
            .value("id")
            .toInteger();
    }
    static QJsonObject msg(const char* role, const char* content) {
        return {{"role", role}, {"content", content}};
    }

private slots:
    void initTestCase() { QVERIFY(cloud.start()); }
    void init() { cloud.post("/dev/reset"); }

    void openReplacesTheConversation() {
        const qint64 id =
            saveThread("Fans", {msg("user", "fan on"), msg("assistant", "Done"), msg("User", "thanks")});
        test::StoreFixture f;
        TavoStore& store = f.makeSignedIn(cloud, phone);
        store.openChatThread(id);
        QTRY_COMPARE(store.currentThreadID(), id);
        QCOMPARE(f.prefs->int64(PrefKey::threadID), id);
        // Only exactly "user" is the user's; "User" reads as the assistant's.
        QCOMPARE(roles(store.chatMessages()), "user,assistant,assistant");
        QCOMPARE(store.chatMessages().at(2).content, "thanks");
        // One that fails to open keeps what is shown.
        store.openChatThread(id + 100);
        QTRY_COMPARE(store.toast(), std::optional<QString>("Thread not found"));
        QVERIFY(store.toastIsError());
        QCOMPARE(store.currentThreadID(), id);
        QCOMPARE(store.chatMessages().size(), 3);
    }

    // The window's start: the saved thread comes back with its history, or a new conversation
    // begins; the next line never continues a thread the user cannot see.
    void resumeAtStart_data() {
        QTest::addColumn<bool>("exists");
        QTest::newRow("the saved thread opens") << true;
        QTest::newRow("a thread deleted elsewhere: a new conversation") << false;
    }
    void resumeAtStart() {
        QFETCH(bool, exists);
        const qint64 id = saveThread("Fans", {msg("user", "fan on"), msg("assistant", "Done")});
        test::StoreFixture f;
        f.prefs->setValue(PrefKey::threadID, exists ? id : id + 100);
        TavoStore& store = f.makeSignedIn(cloud, phone);
        store.resumeChatThread();
        QCOMPARE(store.currentThreadID(), 0); // nothing continued before it is on screen
        if (exists) {
            QTRY_COMPARE(store.currentThreadID(), id);
            QCOMPARE(roles(store.chatMessages()), "user,assistant");
        } else {
            QTRY_VERIFY(!f.prefs->value(PrefKey::threadID).isValid());
            QVERIFY(store.chatMessages().isEmpty());
            QVERIFY(!store.toast()); // nothing the user asked for failed
        }
        store.sendChat("hello");
        QTRY_VERIFY(!store.chatBusy());
        const QJsonObject body = cloud.lastRequestBody("/v1/chat/stream");
        QCOMPARE(body.value("thread_id").toInteger(0), exists ? id : 0);
        QCOMPARE(body.value("history").toArray().size(), exists ? 2 : 0);
    }

    // "which": the open thread, the other or an id not in the list; "error": the cloud refuses.
    void deleting_data() { TAVO_JSON_ROWS("threads-deletes.json"); }
    void deleting() {
        QFETCH(QJsonObject, row);
        const QString which = row["which"].toString(), error = row["error"].toString();
        const bool cleared = row["cleared"].toBool();
        const int rowsLeft = row["rowsLeft"].toInt();
        const qint64 open = saveThread("Open", {msg("user", "a")});
        const qint64 other = saveThread("Other", {msg("user", "b")});
        test::StoreFixture f;
        TavoStore& store = f.makeSignedIn(cloud, phone);
        store.loadChatThreads();
        QTRY_COMPARE(store.chatThreads().size(), 2);
        store.openChatThread(open);
        QTRY_COMPARE(store.currentThreadID(), open);

        const qint64 target = which == "open" ? open : which == "other" ? other : 999;
        const QString path = QStringLiteral("/v1/chat/threads/%1").arg(target);
        cloud.post("/dev/requests/clear");
        if (!error.isEmpty())
            cloud.post("/dev/fail-next",
                       {{"method", "DELETE"}, {"path", path}, {"status", 500}, {"error", error}});
        store.deleteChatThread(target);
        if (!error.isEmpty())
            QTRY_COMPARE(store.toast(), std::optional<QString>(error));
        else
            QTRY_COMPARE(cloud.requestCount("DELETE", path), 1);
        if (which != "unknown") QTRY_COMPARE(store.chatThreads().size(), rowsLeft);
        QTest::qWait(100);
        QCOMPARE(store.chatThreads().size(), rowsLeft);
        QCOMPARE(ids(store.chatThreads()).contains(target), !error.isEmpty());
        QCOMPARE(store.chatMessages().isEmpty(), cleared);
        QCOMPARE(store.currentThreadID(), cleared ? 0 : open);
        QCOMPARE(f.prefs->value(PrefKey::threadID).isValid(), !cleared);
        if (error.isEmpty()) QVERIFY(!store.toast());
    }

    // A failed list after a good one keeps the earlier rows and clears the loading flag.
    void failedListKeepsRows() {
        const qint64 a = saveThread("A", {msg("user", "a")});
        test::StoreFixture f;
        TavoStore& store = f.makeSignedIn(cloud, phone);
        store.loadChatThreads();
        QVERIFY(store.chatThreadsLoading());
        QTRY_VERIFY(!store.chatThreadsLoading());
        QCOMPARE(ids(store.chatThreads()), QList<qint64>{a});

        saveThread("B", {msg("user", "b")});
        cloud.post("/dev/fail-next", {{"method", "GET"}, {"path", "/v1/chat/threads"}, {"status", 502}});
        store.loadChatThreads();
        QTRY_VERIFY(!store.chatThreadsLoading());
        QCOMPARE(ids(store.chatThreads()), QList<qint64>{a});
        QVERIFY(!store.toast()); // list failures are silent
    }
};

QTEST_MAIN(ThreadsTest)
#include "tst_threads.moc"
