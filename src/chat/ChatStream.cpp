// One chat turn: the user's bubble, a local answer or the streamed reply, and what the
// stream's records do to the conversation, the music and the saved thread.

#include "chat/ChatSpeaker.h"
#include "chat/ChatStatus.h"
#include "chat/EventStream.h"
#include "cloud/Endpoints.h"
#include "cloud/OwnedReply.h"
#include "core/Logging.h"
#include "core/TavoStore.h"
#include "music/MusicPlayer.h"
#include "platform/Preferences.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QLoggingCategory>
#include <QNetworkReply>
#include <memory>

namespace tavo {

namespace {

constexpr int historyLength = 17;
constexpr int conversationLength = 40;

QString stringOr(const QJsonObject& o, const char* key, const QString& fallback) {
    const QJsonValue v = o.value(QLatin1StringView(key));
    return v.isString() ? v.toString() : fallback;
}

std::optional<QString> optionalString(const QJsonObject& o, const char* key) {
    const QJsonValue v = o.value(QLatin1StringView(key));
    if (!v.isString()) return std::nullopt;
    return v.toString();
}

bool isEventStream(const QNetworkReply& reply) {
    const QByteArray type = reply.header(QNetworkRequest::ContentTypeHeader).toByteArray();
    return type.split(';').first().trimmed().toLower() == "text/event-stream";
}

QString notAReplyText() {
    return QStringLiteral("That answer didn't come from the assistant, so nothing was done. Check your "
                          "connection and try again.");
}

// Waits until the reply has more bytes or has finished.
QCoro::Task<> nextActivity(QNetworkReply* reply) {
    if (reply->bytesAvailable() > 0 || reply->isFinished()) co_return;
    Wakeup wake;
    const auto weak = wake.weak();
    const auto fire = [weak] { Wakeup::fire(weak); };
    const QMetaObject::Connection a = QObject::connect(reply, &QIODevice::readyRead, fire);
    const QMetaObject::Connection b = QObject::connect(reply, &QNetworkReply::finished, fire);
    co_await wake;
    QObject::disconnect(a);
    QObject::disconnect(b);
}

} // namespace

ChatSpeaker& TavoStore::speaker() const {
    return *m_services.speaker;
}

MusicPlayer& TavoStore::musicPlayer() const {
    return *m_services.music;
}

void TavoStore::sendChat(const QString& text, const QString& context) {
    doSendChat(text.trimmed(), context);
}

QCoro::Task<> TavoStore::doSendChat(QString text, QString context) {
    if (text.isEmpty()) co_return;
    if (m_sessionToken.isEmpty()) {
        showToast(QStringLiteral("Sign in to chat"), true);
        co_return;
    }
    appendChatMessage({QUuid::createUuid(), ChatMessage::Role::User, text, 0, false});

    if (isStatusQuestion(text) && !m_devices.isEmpty()) {
        appendChatMessage({QUuid::createUuid(), ChatMessage::Role::Assistant, chatStatusCaption(), 0, false});
        co_return;
    }

    setChatBusy(true);
    setChatTyping(true);
    QJsonArray history;
    const qsizetype earlier = m_chatMessages.size() - 1;
    for (qsizetype i = qMax<qsizetype>(0, earlier - historyLength); i < earlier; ++i) {
        const ChatMessage& m = m_chatMessages.at(i);
        history.append(QJsonObject{{"role", m.role == ChatMessage::Role::Assistant ? "assistant" : "user"},
                                   {"content", m.content}});
    }

    QPointer<TavoStore> self(this);
    ChatTurn turn;
    turn.conversation = m_conversation;
    const std::optional<Failure> failure = co_await streamChat(turn, text, history, context);
    if (!self) co_return;
    if (shows(turn)) {
        if (failure && failure->kind == Failure::Kind::SessionEnded) {
            // Signed out: the conversation went with the account, and its toast says why.
        } else if (failure) {
            appendChatMessage(
                {QUuid::createUuid(), ChatMessage::Role::Assistant, failure->description(), 0, true});
        } else if (m_chatMessages.size() > conversationLength) {
            setChatMessages(m_chatMessages.mid(m_chatMessages.size() - conversationLength));
        }
        endChatTurnShown();
    }
    emit chatTurnEnded();
}

void TavoStore::endChatTurnShown() {
    setChatBusy(false);
    setChatTyping(false);
    setChatLiveStatus(std::nullopt);
}

QByteArray TavoStore::chatRequestBody(const QString& message, const QJsonArray& history,
                                      const QString& context) const {
    QString playing;
    if (m_music) {
        playing = m_music->title;
        if (m_music->artist && !m_music->artist->isEmpty())
            playing += QStringLiteral(" — ") + *m_music->artist;
    }
    QJsonObject body{{"message", message}, {"history", history}, {"currently_playing", playing}};
    if (m_currentThreadID > 0) body.insert("thread_id", m_currentThreadID);
    if (!context.isEmpty()) body.insert("context", context);
    return json::compact(body);
}

QCoro::Task<std::optional<Failure>> TavoStore::streamChat(ChatTurn& turn, QString message, QJsonArray history,
                                                          QString context) {
    const QString path = Endpoints::chatStream();
    const API cloud = api();
    std::optional<QNetworkRequest> req = cloud.request(path);
    if (!req) co_return Failure::invalidAddress(QStringLiteral("The address for %1 isn't valid.").arg(path));
    req->setRawHeader("Accept", "text/event-stream");
    const QByteArray body = chatRequestBody(message, history, context);

    OwnedReply reply(m_services.network->post(*req, body));
    // A store that goes away mid-reply stops the transfer instead of reading it to the end.
    connect(this, &QObject::destroyed, reply.get(), &QNetworkReply::abort);
    QPointer<TavoStore> self(this);

    EventStreamReader reader([&](const QString& record) {
        if (self) flushRecord(turn, record);
    });
    bool streaming = false;
    QByteArray errorBody;
    while (true) {
        if (!streaming) {
            const QVariant status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
            if (status.isValid() && status.toInt() >= 300) {
                // Refusals are read whole; nothing of them is treated as events.
                errorBody += reply->readAll();
                if (reply->isFinished())
                    co_return cloud.refusal(status.toInt(), json::utf8OrEmpty(errorBody));
            } else if (status.isValid() || reply->bytesAvailable() > 0) {
                // A captive portal or a proxy answering in the cloud's place: its page is no
                // reply, and nothing was done.
                if (!isEventStream(*reply)) {
                    reply->abort();
                    co_return Failure::transport(notAReplyText());
                }
                streaming = true;
            }
        }
        if (streaming) {
            const QByteArray chunk = reply->readAll();
            if (!chunk.isEmpty()) reader.feed(chunk);
            if (!self) co_return std::nullopt;
        }
        if (reply->isFinished() && reply->bytesAvailable() == 0) break;
        co_await nextActivity(reply.get());
        if (!self) co_return std::nullopt;
    }

    const QVariant status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
    if (status.isValid() && status.toInt() >= 300)
        co_return cloud.refusal(status.toInt(), json::utf8OrEmpty(errorBody + reply->readAll()));
    if (reply->error() != QNetworkReply::NoError) co_return transportFailure(*reply);

    reader.finish();
    if (!self || !shows(turn)) co_return std::nullopt;
    setChatLiveStatus(std::nullopt);
    if (turn.bubblePending && !turn.failed)
        appendChatMessage(
            {QUuid::createUuid(), ChatMessage::Role::Assistant, QStringLiteral("Done."), 0, false});
    if (turn.relayTouched) speaker().speak(turn.replyText);
    co_return std::nullopt;
}

void TavoStore::flushRecord(ChatTurn& turn, const QString& data) {
    if (data.isEmpty()) return;
    // A turn whose conversation is no longer shown touches nothing on screen. Music is the
    // desktop's, not the conversation's: it follows the cloud whatever is shown.
    const bool shown = shows(turn);
    QJsonParseError error{};
    const QJsonDocument doc = QJsonDocument::fromJson(data.toUtf8(), &error);
    if (error.error != QJsonParseError::NoError || !doc.isObject()) return;
    const QJsonObject record = doc.object();
    const QJsonValue typeValue = record.value("type");
    if (!typeValue.isString()) return;
    const QString type = typeValue.toString();

    if (type == "text") {
        if (!shown) return;
        const QString delta = stringOr(record, "delta", {});
        if (delta.isEmpty()) return;
        if (turn.bubblePending) {
            setChatTyping(false);
            setChatLiveStatus(std::nullopt);
            appendChatMessage({QUuid::createUuid(), ChatMessage::Role::Assistant, QString(), 0, false});
            turn.bubbleIndex = m_chatMessages.size() - 1;
            turn.bubblePending = false;
        }
        turn.replyText += delta;
        // Rewritten under a new identity, so views notice the change.
        const int fired = m_chatMessages.at(turn.bubbleIndex).fired;
        replaceChatMessage(turn.bubbleIndex,
                           {QUuid::createUuid(), ChatMessage::Role::Assistant, turn.replyText, fired, false});
    } else if (type == "tool") {
        if (!shown) return;
        const QString name = stringOr(record, "tool", {});
        if (name == QLatin1String("tavo_set_relay")) turn.relayTouched = true;
        setChatTyping(false);
        setChatLiveStatus(ChatStatus::text(name));
    } else if (type == "error") {
        if (!shown) return;
        const QString msg = stringOr(record, "message", QStringLiteral("Assistant unavailable"));
        turn.failed = true;
        if (turn.bubblePending)
            appendChatMessage({QUuid::createUuid(), ChatMessage::Role::Assistant, msg, 0, true});
        else
            replaceChatMessage(turn.bubbleIndex,
                               {QUuid::createUuid(), ChatMessage::Role::Assistant, msg, 0, true});
    } else if (type == "music_play") {
        const QString stream = stringOr(record, "stream_url", {});
        if (stream.isEmpty()) return;
        const std::optional<qint64> duration = json::exactInteger(record.value("duration_ms"));
        TavoMusicTrack track{stringOr(record, "title", QStringLiteral("Now playing")),
                             optionalString(record, "artist"),
                             stream,
                             optionalString(record, "thumbnail"),
                             duration && *duration > 0 ? duration : std::nullopt,
                             optionalString(record, "source_url")};
        setMusic(track);
        QPointer<TavoStore> self(this);
        musicPlayer().play(track, [self](bool playing) {
            if (self) self->setMusicPlaying(playing);
        });
    } else if (type == "music_stop") {
        stopMusic();
    } else if (type == "done") {
        if (!shown) return;
        const std::optional<qint64> thread = json::exactInteger(record.value("thread_id"));
        if (thread && *thread > 0) {
            setCurrentThreadID(*thread);
            m_services.preferences->setValue(PrefKey::threadID, *thread);
        }
    }
}

void TavoStore::toggleMusic() {
    musicPlayer().toggle();
}

void TavoStore::stopMusic() {
    musicPlayer().stop();
    setMusic(std::nullopt);
}

void TavoStore::appendChatMessage(const ChatMessage& m) {
    m_chatMessages.append(m);
    emit chatMessagesChanged();
}

void TavoStore::replaceChatMessage(qsizetype index, const ChatMessage& m) {
    m_chatMessages[index] = m;
    emit chatMessagesChanged();
}

} // namespace tavo
