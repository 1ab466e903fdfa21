#include "ChatStore.h"

#include <QDateTime>
#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>

namespace tavo::devcloud {

namespace {

QString now() {
    return QDateTime::currentDateTimeUtc().toString(Qt::ISODateWithMs);
}

QSqlQuery prepared(const QString& sql, const QVariantList& values) {
    QSqlQuery q;
    q.prepare(sql);
    for (const QVariant& v : values)
        q.addBindValue(v);
    if (!q.exec()) qWarning("devcloud: %s: %s", qPrintable(sql), qPrintable(q.lastError().text()));
    return q;
}

} // namespace

void ChatStore::open() {
    QSqlQuery q;
    q.exec(QStringLiteral("CREATE TABLE IF NOT EXISTS chat_threads (id INTEGER PRIMARY KEY AUTOINCREMENT, "
                          "user INTEGER NOT NULL, "
                          "title TEXT NOT NULL, created_at TEXT NOT NULL, updated_at TEXT NOT NULL)"));
    q.exec(QStringLiteral(
        "CREATE TABLE IF NOT EXISTS chat_messages (id INTEGER PRIMARY KEY AUTOINCREMENT, "
        "thread INTEGER NOT NULL, role TEXT NOT NULL, content TEXT NOT NULL, created_at TEXT NOT NULL)"));
}

void ChatStore::reset() {
    QSqlQuery q;
    q.exec(QStringLiteral("DELETE FROM chat_messages"));
    q.exec(QStringLiteral("DELETE FROM chat_threads"));
}

qint64 ChatStore::threadFor(qint64 user, qint64 requested, const QString& firstMessage) {
    if (requested > 0) {
        QSqlQuery q = prepared(QStringLiteral("SELECT id FROM chat_threads WHERE id = ? AND user = ?"),
                               {requested, user});
        if (q.next()) return requested;
    }
    QString title = firstMessage.simplified();
    if (title.size() > 40) title = title.left(39) + QStringLiteral("…");
    const QString stamp = now();
    QSqlQuery q = prepared(
        QStringLiteral("INSERT INTO chat_threads (user, title, created_at, updated_at) VALUES (?, ?, ?, ?)"),
        {user, title, stamp, stamp});
    return q.lastInsertId().toLongLong();
}

void ChatStore::addMessage(qint64 thread, const QString& role, const QString& content) {
    const QString stamp = now();
    prepared(
        QStringLiteral("INSERT INTO chat_messages (thread, role, content, created_at) VALUES (?, ?, ?, ?)"),
        {thread, role, content, stamp});
    prepared(QStringLiteral("UPDATE chat_threads SET updated_at = ? WHERE id = ?"), {stamp, thread});
}

QJsonArray ChatStore::threadsOf(qint64 user) const {
    QSqlQuery q =
        prepared(QStringLiteral("SELECT id, title, created_at, updated_at FROM chat_threads WHERE user = ? "
                                "ORDER BY updated_at DESC, id DESC"),
                 {user});
    QJsonArray out;
    while (q.next())
        out.append(QJsonObject{{"id", q.value(0).toLongLong()},
                               {"title", q.value(1).toString()},
                               {"created_at", q.value(2).toString()},
                               {"updated_at", q.value(3).toString()}});
    return out;
}

std::optional<QJsonObject> ChatStore::detail(qint64 user, qint64 thread) const {
    QSqlQuery t =
        prepared(QStringLiteral("SELECT title FROM chat_threads WHERE id = ? AND user = ?"), {thread, user});
    if (!t.next()) return std::nullopt;
    QSqlQuery q =
        prepared(QStringLiteral(
                     "SELECT id, role, content, created_at FROM chat_messages WHERE thread = ? ORDER BY id"),
                 {thread});
    QJsonArray messages;
    while (q.next())
        messages.append(QJsonObject{{"id", q.value(0).toLongLong()},
                                    {"role", q.value(1).toString()},
                                    {"content", q.value(2).toString()},
                                    {"created_at", q.value(3).toString()}});
    return QJsonObject{{"id", thread}, {"title", t.value(0).toString()}, {"messages", messages}};
}

bool ChatStore::remove(qint64 user, qint64 thread) {
    QSqlQuery q =
        prepared(QStringLiteral("DELETE FROM chat_threads WHERE id = ? AND user = ?"), {thread, user});
    if (q.numRowsAffected() <= 0) return false;
    prepared(QStringLiteral("DELETE FROM chat_messages WHERE thread = ?"), {thread});
    return true;
}

} // namespace tavo::devcloud
