// Saved conversations: list, open, start afresh, delete. The open one is currentThreadID,
// mirrored in "tavo_thread_id" while it is positive.

#include "cloud/Endpoints.h"
#include "core/TavoStore.h"
#include "platform/Preferences.h"

namespace tavo {

void TavoStore::loadChatThreads() {
    doLoadChatThreads();
}

QCoro::Task<> TavoStore::doLoadChatThreads() {
    if (m_sessionToken.isEmpty()) co_return;
    setChatThreadsLoading(true);
    QPointer<TavoStore> self(this);
    const QString get = QStringLiteral("GET");
    Result<ChatThreadList> reply = co_await api().send<ChatThreadList>(get, Endpoints::chatThreads());
    if (!self) co_return;
    if (reply) setChatThreads(reply->threads); // a failure keeps the rows shown before
    setChatThreadsLoading(false);
}

void TavoStore::openChatThread(qint64 id) {
    doOpenChatThread(id, false);
}

QCoro::Task<bool> TavoStore::doOpenChatThread(qint64 id, bool resuming) {
    if (m_sessionToken.isEmpty()) co_return false;
    QPointer<TavoStore> self(this);
    const quint64 asked = m_conversation;
    const QString get = QStringLiteral("GET");
    Result<ChatThreadDetail> reply = co_await api().send<ChatThreadDetail>(get, Endpoints::chatThread(id));
    if (!self) co_return false;
    // New, or another Open, came first: the user has moved on from what this one was for. A
    // resumed thread also gives way to a conversation begun while it loaded.
    if (asked != m_conversation || (resuming && !m_chatMessages.isEmpty())) co_return false;
    if (!reply) {
        if (!resuming)
            showToast(reply.failure().description(), true);
        else if (reply.failure().kind == Failure::Kind::Api)
            m_services.preferences->remove(PrefKey::threadID);
        co_return false;
    }
    QList<ChatMessage> messages;
    messages.reserve(reply->messages.size());
    for (const ChatThreadMessage& m : reply->messages)
        messages.append(
            {QUuid::createUuid(),
             m.role == QLatin1String("user") ? ChatMessage::Role::User : ChatMessage::Role::Assistant,
             m.content, 0, false});
    showConversation(messages, reply->id);
    co_return true;
}

void TavoStore::newChatThread() {
    showConversation({}, 0);
}

void TavoStore::showConversation(const QList<ChatMessage>& messages, qint64 threadID) {
    ++m_conversation;
    endChatTurnShown();
    setCurrentThreadID(threadID);
    if (threadID > 0)
        m_services.preferences->setValue(PrefKey::threadID, threadID);
    else
        m_services.preferences->remove(PrefKey::threadID);
    setChatMessages(messages);
}

// Until the thread is on screen the chat is a new conversation, so a line sent meanwhile never
// continues a thread whose history is not shown. The saved id stays for the next start when
// the cloud can't be reached now, and goes when it says no.
void TavoStore::resumeChatThread() {
    const qint64 id = m_currentThreadID;
    if (id <= 0) return;
    setCurrentThreadID(0);
    doOpenChatThread(id, true);
}

void TavoStore::deleteChatThread(qint64 id) {
    doDeleteChatThread(id);
}

QCoro::Task<> TavoStore::doDeleteChatThread(qint64 id) {
    QPointer<TavoStore> self(this);
    const QString del = QStringLiteral("DELETE");
    Result<EmptyOK> reply = co_await api().send<EmptyOK>(del, Endpoints::chatThread(id));
    if (!self) co_return;
    if (!reply) {
        showToast(reply.failure().description(), true);
        co_return;
    }
    QList<ChatThreadRow> rows = m_chatThreads;
    rows.removeIf([id](const ChatThreadRow& r) { return r.id == id; });
    setChatThreads(rows);
    if (m_currentThreadID == id) newChatThread();
}

} // namespace tavo
