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
    doOpenChatThread(id);
}

QCoro::Task<> TavoStore::doOpenChatThread(qint64 id) {
    if (m_sessionToken.isEmpty()) co_return;
    QPointer<TavoStore> self(this);
    const QString get = QStringLiteral("GET");
    Result<ChatThreadDetail> reply = co_await api().send<ChatThreadDetail>(get, Endpoints::chatThread(id));
    if (!self) co_return;
    if (!reply) {
        showToast(reply.failure().description(), true);
        co_return;
    }
    setCurrentThreadID(reply->id);
    m_services.preferences->setValue(PrefKey::threadID, reply->id);
    QList<ChatMessage> messages;
    messages.reserve(reply->messages.size());
    for (const ChatThreadMessage& m : reply->messages)
        messages.append(
            {QUuid::createUuid(),
             m.role == QLatin1String("user") ? ChatMessage::Role::User : ChatMessage::Role::Assistant,
             m.content, 0, false});
    setChatMessages(messages);
}

void TavoStore::newChatThread() {
    setCurrentThreadID(0);
    m_services.preferences->remove(PrefKey::threadID);
    setChatMessages({});
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
