#pragma once

// Saved conversations of the development assistant, in their own SQLite tables next to the
// cloud state.

#include <QJsonArray>
#include <QJsonObject>
#include <QString>
#include <optional>

namespace tavo::devcloud {

class ChatStore {
public:
    void open(); // on the default database connection the cloud state opened
    void reset();

    // The thread to continue: `requested` when it is the user's, else a new one titled by
    // the first message.
    qint64 threadFor(qint64 user, qint64 requested, const QString& firstMessage);
    void addMessage(qint64 thread, const QString& role, const QString& content);

    QJsonArray threadsOf(qint64 user) const;                             // newest activity first
    std::optional<QJsonObject> detail(qint64 user, qint64 thread) const; // nothing when not the user's
    bool remove(qint64 user, qint64 thread);
};

} // namespace tavo::devcloud
