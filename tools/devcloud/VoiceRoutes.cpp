// The voice endpoint: one spoken exchange per socket. The audio is recognised against a grammar of
// what the assistant understands, answered by the same assistant as chat, and the reply spoken back.

#include "Server.h"
#include "Speech.h"

#include <QJsonDocument>
#include <QUrlQuery>
#include <QWebSocket>
#include <QtEndian>
#include <cmath>
#include <numbers>

namespace tavo::devcloud {

namespace {

constexpr qsizetype speechFrameBytes = 4800; // 100 ms of the spoken reply
constexpr qint64 maxToneBytes = 1 << 20;

QString compact(const QJsonObject& o) {
    return QString::fromUtf8(QJsonDocument(o).toJson(QJsonDocument::Compact));
}

// A scripted binary frame: `bytes` of a 440 Hz tone at the reply's rate.
QByteArray tone(qsizetype bytes) {
    QByteArray out((bytes + 1) / 2 * 2, Qt::Uninitialized);
    for (qsizetype i = 0; i < out.size() / 2; ++i) {
        const double t = double(i) / Speech::sampleRate;
        qToLittleEndian<qint16>(qint16(std::lround(8000 * std::sin(2 * std::numbers::pi * 440 * t))),
                                out.data() + 2 * i);
    }
    out.truncate(bytes);
    return out;
}

bool isToneSize(const QJsonValue& v) {
    const double d = v.toDouble(-1);
    return v.isDouble() && d >= 0 && d <= maxToneBytes && d == std::floor(d);
}

bool validFrames(const QJsonValue& frames) {
    if (frames.isUndefined()) return true;
    if (!frames.isArray()) return false;
    for (const auto& f : frames.toArray())
        if (!f.isObject() && !f.isString() && !isToneSize(f)) return false;
    return true;
}

} // namespace

class VoiceSession : public QObject {
public:
    VoiceSession(Server& server, QWebSocket* ws, qint64 user)
        : QObject(ws), m_server(server), m_ws(ws), m_user(user), m_log(std::make_shared<Server::VoiceLog>()) {
    }

    void open(std::optional<QJsonObject> script);

private:
    void onText(const QString& text);
    void onAudio(const QByteArray& pcm);
    void onClosing();
    void onDisconnected();
    void stop();
    void cancel();
    void answer(const QString& transcript);
    void speak(const QString& text);
    void play(const QString& moment);
    void send(const QJsonObject& frame);
    void fail(const QString& why);
    void release();

    Server& m_server;
    QWebSocket* m_ws;
    qint64 m_user;
    std::shared_ptr<Server::VoiceLog> m_log;
    std::optional<QJsonObject> m_script; // frames to send instead of listening
    std::unique_ptr<Recognizer> m_recognizer;
    QString m_partial;
    bool m_ready = false;
    bool m_stopped = false;
    bool m_closing = false; // this side closes or aborts
};

void VoiceSession::open(std::optional<QJsonObject> script) {
    m_server.m_lastVoice = m_log;
    m_script = std::move(script);
    connect(m_ws, &QWebSocket::textMessageReceived, this, &VoiceSession::onText);
    connect(m_ws, &QWebSocket::binaryMessageReceived, this, &VoiceSession::onAudio);
    connect(m_ws, &QWebSocket::aboutToClose, this, &VoiceSession::onClosing);
    connect(m_ws, &QWebSocket::disconnected, this, &VoiceSession::onDisconnected);
    if (m_script) return play(QStringLiteral("open"));

    QString error;
    m_recognizer = m_server.m_recognizers.take(error);
    if (!m_recognizer) return fail(QStringLiteral("Speech recognition is unavailable: ") + error);
    Recognizer& r = *m_recognizer;
    const QString grammar =
        voiceGrammar(m_server.boxViews(m_user), [&r](const QString& w) { return r.knows(w); });
    if (!r.begin(grammar, error)) return fail(QStringLiteral("Speech recognition cannot start: ") + error);
    m_ready = true;
    send({{"type", "ready"}});
}

void VoiceSession::onText(const QString& text) {
    m_log->texts << text;
    const QString type = QJsonDocument::fromJson(text.toUtf8()).object().value("type").toString();
    if (type == QLatin1String("stop")) stop();
    if (type == QLatin1String("cancel")) cancel(); // anything else is ignored
}

void VoiceSession::onAudio(const QByteArray& pcm) {
    ++m_log->binaryFrames;
    m_log->binaryBytes += pcm.size();
    if (!m_ready) ++m_log->framesBeforeReady;
    if (m_stopped) ++m_log->framesAfterStop;
    if (!m_recognizer || !m_recognizer->listening() || m_stopped) return;
    const QString partial = m_recognizer->feed(pcm);
    if (partial.isEmpty() || partial == m_partial) return;
    m_partial = partial;
    send({{"type", "transcript.partial"}, {"text", partial}});
}

// Only a close the client starts tells its code; after an abort there is none.
void VoiceSession::onClosing() {
    if (!m_closing) m_log->closedCode = int(m_ws->closeCode());
}

void VoiceSession::onDisconnected() {
    release();
}

void VoiceSession::stop() {
    if (m_stopped) return;
    m_stopped = true;
    if (m_script) return play(QStringLiteral("stop"));
    if (!m_recognizer) return; // it failed and said so
    const QString transcript = m_recognizer->end();
    release();
    m_log->transcript = transcript;
    send({{"type", "transcript.final"}, {"text", transcript}});
    answer(transcript);
}

void VoiceSession::cancel() {
    m_stopped = true;
    release();
    m_closing = true;
    m_ws->close(QWebSocketProtocol::CloseCodeNormal);
}

void VoiceSession::answer(const QString& transcript) {
    QString reply;
    int fired = 0;
    if (transcript.isEmpty()) {
        reply = QStringLiteral("Sorry, I didn't catch that.");
    } else {
        const QString base = m_server.mediaBase(m_ws->localPort());
        for (const AssistantStep& step :
             planReply(heardAsTyped(transcript), m_server.boxViews(m_user), base)) {
            if (step.record.value("type") == QLatin1String("text"))
                reply += step.record.value("delta").toString();
            if (!step.action) continue;
            m_server.applySwitch(m_user, step.action->box, step.action->ch, step.action->on,
                                 QStringLiteral("voice"));
            ++fired;
        }
    }
    send({{"type", "response"}, {"transcript", transcript}, {"text", reply}, {"fired", fired}});
    speak(reply);
}

void VoiceSession::speak(const QString& text) {
    QString error;
    const QByteArray audio = Speech::speak(text, error);
    if (audio.isEmpty()) return fail(QStringLiteral("Speech synthesis failed: ") + error);
    send({{"type", "tts.start"}});
    for (qsizetype at = 0; at < audio.size(); at += speechFrameBytes)
        m_ws->sendBinaryMessage(audio.mid(at, speechFrameBytes));
    send({{"type", "tts.end"}});
}

void VoiceSession::play(const QString& moment) {
    for (const auto& frame : m_script->value("on_" + moment).toArray()) {
        if (frame.isObject()) {
            m_ready = m_ready || frame.toObject().value("type") == QLatin1String("ready");
            send(frame.toObject());
        } else if (frame.isString()) {
            m_ws->sendTextMessage(frame.toString());
        } else {
            m_ws->sendBinaryMessage(tone(frame.toInteger()));
        }
    }
    if (m_script->value("close_after").toString() != moment) return;
    // A failing connection: no close handshake, but what was sent still goes out first.
    m_closing = true;
    m_ws->flush();
    m_ws->abort();
}

void VoiceSession::send(const QJsonObject& frame) {
    m_ws->sendTextMessage(compact(frame));
}

void VoiceSession::fail(const QString& why) {
    release();
    send({{"type", "error"}, {"error", why}});
}

void VoiceSession::release() {
    m_server.m_recognizers.give(std::move(m_recognizer));
}

void Server::acceptVoice(QWebSocket* ws) {
    const QString token = QUrlQuery(ws->requestUrl()).queryItemValue("token");
    const std::optional<qint64> user = m_state.userOfToken(token);
    connect(ws, &QWebSocket::disconnected, ws, &QObject::deleteLater);
    if (!user) {
        ws->sendTextMessage(compact({{"type", "error"}, {"error", "Unauthorized"}}));
        ws->close(QWebSocketProtocol::CloseCodePolicyViolated, QStringLiteral("Unauthorized"));
        return;
    }
    (new VoiceSession(*this, ws, *user))->open(std::exchange(m_nextVoice, std::nullopt));
}

Server::Reply Server::scriptNextVoice(const QJsonObject& body) {
    if (!validFrames(body.value("on_open")) || !validFrames(body.value("on_stop")))
        return error(400, "on_open and on_stop must be arrays of objects, strings or byte counts");
    const QJsonValue closeAfter = body.value("close_after");
    if (!closeAfter.isUndefined() && closeAfter != QLatin1String("open") &&
        closeAfter != QLatin1String("stop"))
        return error(400, R"(close_after must be "open" or "stop")");
    m_nextVoice = body;
    return json({{"ok", true}});
}

Server::Reply Server::lastVoice() const {
    const VoiceLog log = m_lastVoice ? *m_lastVoice : VoiceLog{};
    return json({{"binary_frames", log.binaryFrames},
                 {"binary_bytes", log.binaryBytes},
                 {"frames_before_ready", log.framesBeforeReady},
                 {"frames_after_stop", log.framesAfterStop},
                 {"texts", QJsonArray::fromStringList(log.texts)},
                 {"transcript", log.transcript ? QJsonValue(*log.transcript) : QJsonValue()},
                 {"closed_code", log.closedCode ? QJsonValue(*log.closedCode) : QJsonValue()}});
}

} // namespace tavo::devcloud
