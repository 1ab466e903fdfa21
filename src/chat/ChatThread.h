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
        ChatThreadRow t{r.required<qint64>("id"), r.required<QString>("title"), r.required<QString>("created_at"),
                        r.required<QString>("updated_at")};
        if (!r.ok()) return std::nullopt;
        return t;
    }
    QJsonObject toJson() const {
        return {{"id", id}, {"title", title}, {"created_at", created_at}, {"updated_at", updated_at}};
    }
    friend bool operator==(const ChatThreadRow&, const ChatThreadRow&) = default;
};

} // namespace tavo
