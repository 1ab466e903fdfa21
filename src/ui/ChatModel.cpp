#include "ui/ChatModel.h"

#include "core/TavoStore.h"

namespace tavo {

QObject* ChatModel::store() const {
    return m_store;
}

void ChatModel::setStore(QObject* store) {
    auto* s = qobject_cast<TavoStore*>(store);
    if (s == m_store) return;
    if (m_store) disconnect(m_store, nullptr, this, nullptr);
    m_store = s;
    if (s) {
        connect(s, &TavoStore::chatMessagesChanged, this, &ChatModel::sync);
        connect(s, &TavoStore::chatLiveStatusChanged, this, &ChatModel::liveStatusChanged);
        connect(s, &TavoStore::chatThreadsChanged, this, &ChatModel::threadsChanged);
    }
    sync();
    emit storeChanged();
    emit liveStatusChanged();
    emit threadsChanged();
}

QString ChatModel::liveStatus() const {
    return m_store ? m_store->chatLiveStatus().value_or(QString()) : QString();
}

bool ChatModel::hasLiveStatus() const {
    return m_store && m_store->chatLiveStatus().has_value();
}

QVariantList ChatModel::threads() const {
    QVariantList rows;
    if (!m_store) return rows;
    for (const ChatThreadRow& t : m_store->chatThreads())
        rows.append(QVariantMap{{"id", t.id}, {"title", t.title}, {"updatedAt", t.updated_at}});
    return rows;
}

int ChatModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : int(m_rows.size());
}

QVariant ChatModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= m_rows.size()) return {};
    const ChatMessage& m = m_rows.at(index.row());
    switch (role) {
    case IsUserRole:
        return m.role == ChatMessage::Role::User;
    case ContentRole:
        return m.content;
    case FiredRole:
        return m.fired;
    case ErrRole:
        return m.err;
    default:
        return {};
    }
}

QHash<int, QByteArray> ChatModel::roleNames() const {
    return {{IsUserRole, "isUser"}, {ContentRole, "content"}, {FiredRole, "fired"}, {ErrRole, "err"}};
}

// A streaming reply rewrites its last bubble and appends new ones: those update in place, so
// the list keeps its place. Anything else (another thread, a new chat) resets the list.
void ChatModel::sync() {
    const QList<ChatMessage> next = m_store ? m_store->chatMessages() : QList<ChatMessage>{};
    const qsizetype old = m_rows.size();
    bool extends = next.size() >= old;
    for (qsizetype i = 0; extends && i + 1 < old; ++i)
        extends = m_rows[i].id == next[i].id;
    if (!extends) {
        beginResetModel();
        m_rows = next;
        endResetModel();
    } else {
        if (old > 0 && !(m_rows[old - 1] == next[old - 1])) {
            m_rows[old - 1] = next[old - 1];
            emit dataChanged(index(int(old - 1)), index(int(old - 1)));
        }
        if (next.size() > old) {
            beginInsertRows({}, int(old), int(next.size() - 1));
            m_rows.append(next.mid(old));
            endInsertRows();
        }
    }
    if (m_rows.size() != old) emit countChanged();
}

} // namespace tavo
