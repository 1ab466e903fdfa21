#include "voice/VoiceService.h"

#include "cloud/Json.h"
#include "cloud/SocketInbox.h"
#include "cloud/Tls.h"
#include "core/Logging.h"

#include <QJsonDocument>
#include <QLoggingCategory>
#include <QMutexLocker>
#include <QUrl>
#include <QWebSocket>
#include <cmath>

namespace tavo {

namespace {

constexpr int tapFrames = 4096;
constexpr std::chrono::milliseconds requestTimeout{90'000};
constexpr std::chrono::milliseconds resourceTimeout{120'000};

// "fired" as the server sent it: integers as they are, other finite numbers within the
// signed 64-bit range truncated toward zero; anything else is no count at all.
std::optional<qint64> firedCount(const QJsonValue& v) {
    if (!v.isDouble()) return std::nullopt;
    const qint64 a = v.toInteger(0);
    if (a == v.toInteger(1)) return a; // a whole number Qt holds exactly
    const double d = v.toDouble();
    constexpr double limit = 9223372036854775808.0; // 2^63
    if (!std::isfinite(d) || d < -limit || d >= limit) return std::nullopt;
    return qint64(std::trunc(d));
}

QString socketFailure(const QWebSocket* ws) {
    if (!ws) return QStringLiteral("The connection was closed.");
    if (std::optional<QString> tls = tlsFailure(*ws)) return *tls;
    if (ws->error() != QAbstractSocket::UnknownSocketError) return ws->errorString();
    if (!ws->closeReason().isEmpty()) return ws->closeReason();
    return QStringLiteral("The connection was closed.");
}

} // namespace

VoiceService::VoiceService(TokenProvider tokenProvider, const QString& socketBase,
                           std::unique_ptr<AudioInput> input, std::unique_ptr<AudioOutput> output,
                           QObject* parent)
    : QObject(parent), m_tokenProvider(std::move(tokenProvider)),
      m_voiceStreamURL(socketBase + QStringLiteral("/v1/voice/stream")), m_input(std::move(input)),
      m_player(std::move(output)) {
    for (QTimer* t : {&m_requestTimer, &m_resourceTimer}) {
        t->setSingleShot(true);
        connect(t, &QTimer::timeout, this, [this] {
            if (!m_ws) return;
            m_abortReason = QStringLiteral("The request timed out.");
            m_ws->abort();
        });
    }
    setTimeouts(requestTimeout, resourceTimeout);
}

VoiceService::~VoiceService() {
    tearDown();
}

void VoiceService::setTimeouts(std::chrono::milliseconds request, std::chrono::milliseconds resource) {
    m_requestTimer.setInterval(request);
    m_resourceTimer.setInterval(resource);
}

void VoiceService::start() {
    if (m_state != State::Idle && m_state != State::Error) return;
    ++m_exchange;
    // A socket left behind by a failed read is closed before a new one opens.
    if (m_readerTask) std::exchange(m_readerTask, std::nullopt)->cancel();
    closeSocket();

    setErrorText(std::nullopt);
    setHeard(QString(), false);
    setSpoken(QString());
    setFired(0);
    m_serverReady = false;
    m_playerScheduled = false;
    m_answerComplete = false;

    if (!requestMicPermission()) return fail(QStringLiteral("Microphone access denied."));
    if (const auto error = wireEngine()) {
        tearDown(); // nothing half-wired stays open
        return fail(QStringLiteral("Audio setup failed: ") + *error);
    }
    const QString token = m_tokenProvider ? m_tokenProvider() : QString();
    const QUrl url(m_voiceStreamURL + QStringLiteral("?token=") + token, QUrl::StrictMode);
    if (token.isEmpty() || !url.isValid() || url.host().isEmpty()) {
        tearDown(); // the microphone does not stay open behind an error
        return fail(QStringLiteral("Not signed in."));
    }

    auto* ws = new QWebSocket(QString(), QWebSocketProtocol::VersionLatest, this);
    auto* inbox = new SocketInbox(ws);
    m_ws = ws;
    m_abortReason.reset();
    CancelToken reader;
    m_readerTask = reader;
    m_stopPending = false;
    connect(ws, &QWebSocket::connected, this, [this, ws] {
        if (ws == m_ws && std::exchange(m_stopPending, false)) sendText(QStringLiteral("stop"));
    });
    ws->open(url);
    m_requestTimer.start();
    m_resourceTimer.start();
    readLoop(inbox, reader);
    setState(State::Listening);
}

void VoiceService::stop() {
    if (!m_ws) return;
    drainCapture(); // what was heard before the stop goes first; nothing goes after it
    // A stop before the socket is open would be dropped; it goes once the socket opens.
    if (m_ws->state() == QAbstractSocket::ConnectedState)
        sendText(QStringLiteral("stop"));
    else
        m_stopPending = true;
    stopCapture();
    setState(State::Thinking);
}

void VoiceService::cancel() {
    if (m_ws) sendText(QStringLiteral("cancel"));
    tearDown();
    setState(State::Idle);
}

QCoro::Task<> VoiceService::readLoop(QPointer<SocketInbox> inbox, CancelToken cancel) {
    QPointer<VoiceService> self(this);
    QPointer<QWebSocket> ws = m_ws;
    while (!cancel.isCancelled()) {
        std::optional<SocketInbox::Frame> frame;
        if (inbox) frame = co_await inbox->next(cancel);
        if (!self || cancel.isCancelled()) co_return;
        if (!frame) {
            m_requestTimer.stop();
            m_resourceTimer.stop();
            // A finished or cancelled exchange has nothing to report, and neither has one
            // whose whole answer came: it plays to its end.
            if (m_answerComplete)
                closeSocket();
            else if (m_state != State::Idle)
                fail(m_abortReason.value_or(socketFailure(ws)));
            co_return;
        }
        m_requestTimer.start();
        handleFrame(*frame);
    }
}

void VoiceService::handleFrame(const SocketInbox::Frame& frame) {
    if (const auto* text = std::get_if<QString>(&frame)) {
        const QJsonDocument doc = QJsonDocument::fromJson(text->toUtf8());
        if (doc.isObject()) handleEvent(doc.object());
    } else {
        enqueueTTS(std::get<QByteArray>(frame));
    }
}

void VoiceService::handleEvent(const QJsonObject& event) {
    const QJsonValue typeValue = event.value(QStringLiteral("type"));
    const QString type = typeValue.isString() ? typeValue.toString() : QString();
    const QJsonValue text = event.value(QStringLiteral("text"));

    if (type == QLatin1String("ready")) {
        m_serverReady = true; // and still listening: a stop may have come first
        emit serverReady();
    } else if (type == QLatin1String("transcript.partial")) {
        setHeard(text.isString() ? text.toString() : QString(), false);
    } else if (type == QLatin1String("transcript.final")) {
        setHeard(text.isString() ? text.toString() : m_heard, true);
        setState(State::Thinking);
    } else if (type == QLatin1String("response")) {
        const QJsonValue transcript = event.value(QStringLiteral("transcript"));
        if (transcript.isString()) setHeard(transcript.toString(), true);
        if (text.isString()) setSpoken(text.toString());
        if (const auto n = firedCount(event.value(QStringLiteral("fired")))) setFired(*n);
    } else if (type == QLatin1String("tts.start")) {
        setState(State::Speaking);
        if (!m_player->isPlaying()) {
            m_player->play();
            m_playerScheduled = true;
        }
    } else if (type == QLatin1String("tts.end")) {
        m_answerComplete = true;
        finishWhenPlayerDrains();
    } else if (type == QLatin1String("tts.error")) {
        tearDown();
        setState(State::Idle);
    } else if (type == QLatin1String("error")) {
        const QJsonValue message = event.value(QStringLiteral("error"));
        fail(message.isString() ? message.toString() : QStringLiteral("error"));
    }
}

bool VoiceService::requestMicPermission() const {
    return m_input->available();
}

std::optional<QString> VoiceService::wireEngine() {
    if (!m_engineWired) {
        if (auto error = m_player->attach(m_ttsFmt)) return error;
        m_engineWired = true;
    }
    const AudioFormat input = m_input->format();
    if (input.sampleRate() <= 0) return QStringLiteral("input sample rate is 0");
    m_converter = CaptureConverter::create(input);
    m_input->removeTap();
    // Buffers may come from an audio thread: they queue here and the main thread sends them.
    // A tap that has been removed keeps its own queue, which nothing reads any more.
    auto captured = std::make_shared<CaptureQueue>();
    m_captured = captured;
    m_input->installTap(tapFrames, [this, captured](AudioBuffer buffer) {
        {
            const QMutexLocker lock(&captured->mutex);
            captured->buffers.push_back(std::move(buffer));
            if (captured->buffers.size() > 1) return; // a drain is already on its way
        }
        QMetaObject::invokeMethod(
            this,
            [this, captured] {
                if (captured == m_captured) drainCapture();
            },
            Qt::QueuedConnection);
    });
    return m_input->start();
}

void VoiceService::drainCapture() {
    if (!m_captured) return;
    std::vector<AudioBuffer> buffers;
    {
        const QMutexLocker lock(&m_captured->mutex);
        buffers.swap(m_captured->buffers);
    }
    for (const AudioBuffer& b : buffers)
        onInputBuffer(b);
}

void VoiceService::stopCapture() {
    m_input->removeTap();
    m_input->stop(); // the device is released, not only unread
    m_captured.reset();
}

void VoiceService::onInputBuffer(const AudioBuffer& buffer) {
    if (!m_serverReady || !m_converter) return; // nothing is sent before "ready", nor kept for later
    const QByteArray bytes = m_converter->convert(buffer);
    if (bytes.isEmpty()) return;
    if (m_ws) m_ws->sendBinaryMessage(bytes);
}

void VoiceService::enqueueTTS(const QByteArray& data) {
    std::vector<float> samples = speechSamples(data);
    if (samples.empty()) return;
    m_player->schedule(std::move(samples));
    if (!m_player->isPlaying()) m_player->play();
}

void VoiceService::finishWhenPlayerDrains() {
    if (m_playerScheduled && m_player->isPlaying()) {
        // One silent frame behind the speech: the player plays in order, so once it has
        // been heard, so has everything queued before it.
        const quint64 exchange = m_exchange;
        m_player->schedule({0.0f}, [this, exchange] {
            QMetaObject::invokeMethod(
                this,
                [this, exchange] {
                    if (exchange != m_exchange) return;
                    tearDown();
                    setState(State::Idle);
                },
                Qt::QueuedConnection);
        });
        return;
    }
    tearDown();
    setState(State::Idle);
}

void VoiceService::tearDown() {
    stopCapture();
    m_player->stop();
    m_engineWired = false;
    if (m_readerTask) std::exchange(m_readerTask, std::nullopt)->cancel();
    closeSocket();
    m_converter.reset();
}

void VoiceService::closeSocket() {
    m_requestTimer.stop();
    m_resourceTimer.stop();
    if (m_ws) closeAndDispose(m_ws);
    m_ws = nullptr;
}

void VoiceService::sendText(const QString& type) {
    m_ws->sendTextMessage(QString::fromUtf8(json::compact({{"type", type}})));
}

// Every failure ends the exchange: the microphone is closed and the socket with it.
void VoiceService::fail(const QString& text) {
    qCDebug(lcVoice) << "exchange failed:" << text;
    tearDown();
    setErrorText(text);
    setState(State::Error);
}

void VoiceService::setState(State s) {
    if (m_state == s) return;
    m_state = s;
    emit stateChanged();
}

void VoiceService::setHeard(const QString& text, bool final) {
    if (m_heard == text && m_heardIsFinal == final) return;
    m_heard = text;
    m_heardIsFinal = final;
    emit heardChanged();
}

void VoiceService::setSpoken(const QString& text) {
    if (m_spoken == text) return;
    m_spoken = text;
    emit spokenChanged();
}

void VoiceService::setFired(qint64 n) {
    if (m_fired == n) return;
    m_fired = n;
    emit firedChanged();
}

void VoiceService::setErrorText(std::optional<QString> text) {
    if (m_errorText == text) return;
    m_errorText = std::move(text);
    emit errorTextChanged();
}

} // namespace tavo
