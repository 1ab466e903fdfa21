#pragma once

#include "cloud/Json.h"

namespace tavo {

// One saved conversation in the list.
struct ChatThreadRow {
    qint64 id = 0;
    QString title;
    QString created_at;
    QString updated_at;

    static std::optional<ChatThreadRow> fromJson(json::Reader& r) {
        ChatThreadRow t{r.required<qint64>("id"), r.required<QString>("title"),
                        r.required<QString>("created_at"), r.required<QString>("updated_at")};
        if (!r.ok()) return std::nullopt;
        return t;
    }
    QJsonObject toJson() const {
        return {{"id", id}, {"title", title}, {"created_at", created_at}, {"updated_at", updated_at}};
    }
    friend bool operator==(const ChatThreadRow&, const ChatThreadRow&) = default;
};

// The reply of the thread list.
struct ChatThreadList {
    QList<ChatThreadRow> threads;
    static std::optional<ChatThreadList> fromJson(json::Reader& r) {
        ChatThreadList l{r.required<QList<ChatThreadRow>>("threads")};
        if (!r.ok()) return std::nullopt;
        return l;
    }
    QJsonObject toJson() const { return {{"threads", json::Codec<QList<ChatThreadRow>>::encode(threads)}}; }
};

// One saved message. Any role but exactly "user" is the assistant's.
struct ChatThreadMessage {
    qint64 id = 0;
    QString role;
    QString content;
    QString created_at;

    static std::optional<ChatThreadMessage> fromJson(json::Reader& r) {
        ChatThreadMessage m{r.required<qint64>("id"), r.required<QString>("role"),
                            r.required<QString>("content"), r.required<QString>("created_at")};
        if (!r.ok()) return std::nullopt;
        return m;
    }
    QJsonObject toJson() const {
        return {{"id", id}, {"role", role}, {"content", content}, {"created_at", created_at}};
    }
    friend bool operator==(const ChatThreadMessage&, const ChatThreadMessage&) = default;
};

// One saved conversation with its messages, oldest first.
struct ChatThreadDetail {
    qint64 id = 0;
    QString title;
    QList<ChatThreadMessage> messages;

    static std::optional<ChatThreadDetail> fromJson(json::Reader& r) {
        ChatThreadDetail d{r.required<qint64>("id"), r.required<QString>("title"),
                           r.required<QList<ChatThreadMessage>>("messages")};
        if (!r.ok()) return std::nullopt;
        return d;
    }
    QJsonObject toJson() const {
        return {{"id", id},
                {"title", title},
                {"messages", json::Codec<QList<ChatThreadMessage>>::encode(messages)}};
    }
};

} // namespace tavo
