#pragma once

#include "cloud/SocketInbox.h"
#include "platform/Audio.h"
#include "platform/Clock.h"
#include "voice/AudioConvert.h"

#include <QJsonObject>
#include <QMutex>
#include <QObject>
#include <QPointer>
#include <QTimer>
#include <functional>
#include <memory>
#include <optional>

#include <qcoro/qcorotask.h>

class QWebSocket;

namespace tavo {

// One spoken exchange with the assistant: streams the microphone to the voice socket,
// shows what the server heard, plays the spoken answer and ends when it has been heard.
// Lives on the main thread; created by the voice screen, one exchange at a time.
class VoiceService : public QObject {
    Q_OBJECT
    Q_PROPERTY(State state READ state NOTIFY stateChanged)
    Q_PROPERTY(QString heard READ heard NOTIFY heardChanged)
    Q_PROPERTY(bool heardIsFinal READ heardIsFinal NOTIFY heardChanged)
    Q_PROPERTY(QString spoken READ spoken NOTIFY spokenChanged)
    Q_PROPERTY(qint64 fired READ fired NOTIFY firedChanged)
    Q_PROPERTY(QString errorText READ errorTextOrEmpty NOTIFY errorTextChanged)
public:
    enum class State { Idle, Listening, Thinking, Speaking, Error };
    Q_ENUM(State)

    using TokenProvider = std::function<QString()>;

    // `socketBase` is the cloud's WebSocket base ("wss://host"); the voice socket never goes
    // to the local development server.
    VoiceService(TokenProvider tokenProvider, const QString& socketBase, std::unique_ptr<AudioInput> input,
                 std::unique_ptr<AudioOutput> output, QObject* parent = nullptr);
    ~VoiceService() override;

    State state() const { return m_state; }
    QString heard() const { return m_heard; }
    bool heardIsFinal() const { return m_heardIsFinal; }
    QString spoken() const { return m_spoken; }
    qint64 fired() const { return m_fired; }
    std::optional<QString> errorText() const { return m_errorText; }
    QString errorTextOrEmpty() const { return m_errorText.value_or(QString()); }
    QString voiceStreamURL() const { return m_voiceStreamURL; }

    Q_INVOKABLE void start();
    Q_INVOKABLE void stop();
    Q_INVOKABLE void cancel();

    // The socket's idle and total limits; tests shorten them.
    void setTimeouts(std::chrono::milliseconds request, std::chrono::milliseconds resource);

signals:
    void stateChanged();
    void heardChanged();
    void spokenChanged();
    void firedChanged();
    void errorTextChanged();
    void serverReady(); // audio from now on reaches the server; what came before was dropped

private:
    // fuzz/voice_event feeds frames to handleFrame without a socket.
    friend class VoiceFrameFuzzer;

    QCoro::Task<> readLoop(QPointer<SocketInbox> inbox, CancelToken cancel);
    // One frame of the voice socket: a JSON event as text, speech samples as binary.
    void handleFrame(const SocketInbox::Frame& frame);
    void handleEvent(const QJsonObject& event);

    bool requestMicPermission() const;
    std::optional<QString> wireEngine();
    void onInputBuffer(const AudioBuffer& buffer);
    void drainCapture(); // sends what the tap has captured so far
    void stopCapture();  // no more buffers, and the device closed
    void enqueueTTS(const QByteArray& data);
    void finishWhenPlayerDrains();
    void tearDown();
    void closeSocket();
    void sendText(const QString& type);

    void setState(State s);
    void setHeard(const QString& text, bool final);
    void setSpoken(const QString& text);
    void setFired(qint64 n);
    void setErrorText(std::optional<QString> text);
    void fail(const QString& text);

    State m_state = State::Idle;
    QString m_heard;
    bool m_heardIsFinal = false;
    QString m_spoken;
    qint64 m_fired = 0;
    std::optional<QString> m_errorText;

    TokenProvider m_tokenProvider;
    QString m_voiceStreamURL;
    QPointer<QWebSocket> m_ws;
    std::optional<CancelToken> m_readerTask;
    // The session limits: no frame for `request`, or the whole exchange past `resource`.
    QTimer m_requestTimer;
    QTimer m_resourceTimer;

    std::unique_ptr<AudioInput> m_input;   // the engine's input node
    std::unique_ptr<AudioOutput> m_player; // the speech player
    const AudioFormat m_captureFmt = captureFormat();
    const AudioFormat m_ttsFmt = speechFormat();
    std::unique_ptr<CaptureConverter> m_converter;
    bool m_engineWired = false;
    bool m_serverReady = false;
    bool m_playerScheduled = false;
    bool m_stopPending = false;    // stop() came before the socket opened
    bool m_answerComplete = false; // tts.end came: a close after it is no failure
    struct CaptureQueue {
        QMutex mutex;
        std::vector<AudioBuffer> buffers;
    };
    std::shared_ptr<CaptureQueue> m_captured; // the installed tap's, until capture stops
    // Counts exchanges, so a drain completion queued for an earlier one ends nothing.
    quint64 m_exchange = 0;
    // Why the socket was aborted by a session limit, for the failure it causes.
    std::optional<QString> m_abortReason;
};

} // namespace tavo
