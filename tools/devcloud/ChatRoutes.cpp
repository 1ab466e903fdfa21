// The chat endpoints: the streamed reply (server-sent events, written as they happen) and the
// saved threads.

#include "Assistant.h"
#include "Server.h"

#include <QJsonDocument>
#include <QPointer>
#include <QTcpSocket>
#include <QTimer>
#include <algorithm>
#include <memory>

namespace tavo::devcloud {

namespace {

constexpr int stepDelayMs = 40; // paces the reply so a client sees it grow

QByteArray sseEvent(const QJsonObject& record) {
    return "data: " + QJsonDocument(record).toJson(QJsonDocument::Compact) + "\n\n";
}

// Writes one chunked response piece by piece, each after a short pause, flushing every one.
class ChunkedWriter {
public:
    struct Piece {
        QByteArray bytes;
        std::function<void()> before; // runs just before the bytes go out
    };

    static void start(QTcpSocket* socket, int status, const QByteArray& contentType, QList<Piece> pieces,
                      int pauseMs = stepDelayMs, bool drop = false) {
        auto self = std::make_shared<ChunkedWriter>();
        self->m_socket = socket;
        self->m_pieces = std::move(pieces);
        self->m_pauseMs = pauseMs;
        self->m_drop = drop;
        const QByteArray head = "HTTP/1.1 " + QByteArray::number(status) + (status < 300 ? " OK" : " Error") +
                                "\r\nContent-Type: " + contentType +
                                "\r\nCache-Control: no-cache\r\nTransfer-Encoding: chunked\r\n\r\n";
        socket->write(head);
        socket->flush();
        next(self);
    }

private:
    static void next(const std::shared_ptr<ChunkedWriter>& self) {
        QTimer::singleShot(self->m_pauseMs, [self] {
            if (!self->m_socket) return; // the client went away
            if (self->m_pieces.isEmpty() && self->m_drop) {
                self->m_socket->abort();
                return;
            }
            if (self->m_pieces.isEmpty()) {
                self->m_socket->write("0\r\n\r\n");
                self->m_socket->flush();
                return;
            }
            Piece piece = self->m_pieces.takeFirst();
            if (piece.before) piece.before();
            if (!piece.bytes.isEmpty()) {
                self->m_socket->write(QByteArray::number(piece.bytes.size(), 16) + "\r\n" + piece.bytes +
                                      "\r\n");
                self->m_socket->flush();
            }
            next(self);
        });
    }

    QPointer<QTcpSocket> m_socket;
    QList<Piece> m_pieces;
    int m_pauseMs = stepDelayMs;
    bool m_drop = false;
};

} // namespace

Server::Reply Server::scriptNextChat(const QJsonObject& body) {
    ChatScript script;
    script.status = body.value("status").toInt(200);
    for (const auto& c : body.value("chunks").toArray()) {
        const QJsonValue v = c;
        script.chunks << (v.isObject()
                              ? QByteArray::fromBase64(v.toObject().value("base64").toString().toLatin1())
                              : v.toString().toUtf8());
    }
    script.error = body.value("error").toString();
    script.pauseMs = std::clamp(body.value("pause_ms").toInt(stepDelayMs), 0, 10'000);
    script.contentType = body.value("content_type").toString().toUtf8();
    script.drop = body.value("drop").toBool();
    m_nextChat = script;
    return json({{"ok", true}});
}

QList<BoxView> Server::boxViews(qint64 user) {
    QList<BoxView> boxes;
    for (qint64 id : m_state.boxesOf(user)) {
        const Box& b = *m_state.box(id);
        boxes << BoxView{b.id, b.name, b.relayCount, b.names, m_state.maskOf(b, user), b.online};
    }
    return boxes;
}

void Server::applySwitch(qint64 user, qint64 boxID, int ch, bool on, const QString& source) {
    Box* b = m_state.box(boxID);
    if (!b || ch < 1 || ch > b->relayCount) return;
    b->states[ch - 1] = on;
    m_state.logActivity({0, b->id, user, source, QStringLiteral("set"), ch, on, {}});
    pushState(*b);
}

void Server::streamChat(const QHttpServerRequest& request, QTcpSocket* socket) {
    const std::optional<qint64> user = authorise(request);
    if (!user) {
        const QByteArray body = R"({"error":"Unauthorized"})";
        ChunkedWriter::start(socket, 401, "application/json", {{body, {}}});
        return;
    }
    const QJsonObject body = QJsonDocument::fromJson(request.body()).object();
    const QString message = body.value("message").toString().trimmed();
    if (message.isEmpty()) {
        ChunkedWriter::start(socket, 400, "application/json", {{R"({"error":"Message is empty"})", {}}});
        return;
    }
    const qint64 thread = m_chat.threadFor(*user, body.value("thread_id").toInteger(0), message);
    m_chat.addMessage(thread, QStringLiteral("user"), message);
    const QJsonObject done{{"type", "done"}, {"thread_id", thread}};

    if (std::optional<ChatScript> script = std::exchange(m_nextChat, std::nullopt)) {
        QList<ChunkedWriter::Piece> pieces;
        if (!script->error.isEmpty()) {
            pieces << ChunkedWriter::Piece{sseEvent({{"type", "error"}, {"message", script->error}}), {}}
                   << ChunkedWriter::Piece{sseEvent(done), {}};
        }
        for (const QByteArray& c : script->chunks)
            pieces << ChunkedWriter::Piece{c, {}};
        const QByteArray type = script->status >= 300           ? QByteArray("application/json")
                                : script->contentType.isEmpty() ? QByteArray("text/event-stream")
                                                                : script->contentType;
        ChunkedWriter::start(socket, script->status, type, pieces, script->pauseMs, script->drop);
        return;
    }

    const QString base = mediaBase(socket->localPort());
    const QList<AssistantStep> steps = planReply(message, boxViews(*user), base);

    QString reply;
    QList<ChunkedWriter::Piece> pieces;
    pieces << ChunkedWriter::Piece{": the development assistant\n\n", {}};
    for (const AssistantStep& step : steps) {
        if (step.record.value("type") == QLatin1String("text"))
            reply += step.record.value("delta").toString();
        std::function<void()> before;
        if (step.action) before = [this, u = *user, a = *step.action] { applySwitch(u, a.box, a.ch, a.on); };
        pieces << ChunkedWriter::Piece{sseEvent(step.record), before};
    }
    m_chat.addMessage(thread, QStringLiteral("assistant"), reply.isEmpty() ? QStringLiteral("Done.") : reply);
    pieces << ChunkedWriter::Piece{sseEvent(done), {}};
    ChunkedWriter::start(socket, 200, "text/event-stream", pieces);
}

std::optional<Server::Reply> Server::routeChat(const QString& method, const QStringList& parts, qint64 user) {
    if (parts.size() < 3 || parts[0] != "v1" || parts[1] != "chat" || parts[2] != "threads")
        return std::nullopt;
    if (parts.size() == 3 && method == "GET") return json({{"threads", m_chat.threadsOf(user)}});
    if (parts.size() != 4) return std::nullopt;
    bool isID = false;
    const qint64 id = parts[3].toLongLong(&isID);
    if (!isID) return error(404, "Thread not found");
    if (method == "GET") {
        if (std::optional<QJsonObject> d = m_chat.detail(user, id)) return json(*d);
        return error(404, "Thread not found");
    }
    if (method == "DELETE") {
        // Deleting a thread that is already gone succeeds, as deletes do.
        m_chat.remove(user, id);
        return json({{"ok", true}});
    }
    return std::nullopt;
}

} // namespace tavo::devcloud
