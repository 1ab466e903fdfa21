#pragma once

#include "Assistant.h"
#include "ChatStore.h"
#include "CloudState.h"
#include "Media.h"
#include "Recognizer.h"

#include <QAbstractHttpServer>
#include <QHttpServerRequest>
#include <QHttpServerResponder>
#include <QJsonArray>
#include <QMultiMap>
#include <QRandomGenerator>
#include <QUrlQuery>
#include <memory>
#include <span>
#include <utility>

class QWebSocket;

namespace tavo::devcloud {

class VoiceSession;

struct Options {
    QString address = QStringLiteral("127.0.0.1"); // other addresses only inside a test's network namespace
    quint16 port = 3200;
    QString db;
    bool seedDemo = false;
    QString otpCode;         // fixed sign-in code, else random
    QString tlsCert, tlsKey; // PEM files: HTTP and both sockets over TLS on the one port
};

class Server : public QAbstractHttpServer {
    Q_OBJECT
    friend class VoiceSession;

public:
    explicit Server(Options options);
    bool start(); // listens and prints the listening line

protected:
    bool handleRequest(const QHttpServerRequest& request, QTcpSocket* socket) override;
    void missingHandler(const QHttpServerRequest& request, QTcpSocket* socket) override;

private:
    struct Reply {
        int status = 200;
        QByteArray body;
        QByteArray contentType = "application/json";
        QByteArray location; // a redirect's target
        QList<std::pair<QByteArray, QByteArray>> headers = {};
    };
    static Reply json(const QJsonObject& o, int status = 200);
    static Reply html(int status, QByteArray body) {
        return {status, std::move(body), "text/html; charset=utf-8", {}};
    }
    static Reply error(int status, const QString& text) { return json({{"error", text}}, status); }

    Reply route(const QHttpServerRequest& request);
    static Reply media(const MediaFile& file, const QByteArray& range);

    // The development routes under /dev/, for tests and scripts: one table per group, each row
    // answering METHOD (any when null) /dev/PATH, where the parts after PATH are the row's to read.
    struct DevRequest {
        QString method;
        QStringList parts; // "dev", then the path
        QUrlQuery query;
        QJsonObject body;
    };
    struct DevRoute {
        const char* method;
        const char* path;
        Reply (*answer)(Server& server, const DevRequest& request);
    };
    Reply routeDev(const DevRequest& request);
    // Sign-in codes, the request log, scripted answers, the state and its reset (DevRoutes.cpp)
    static std::span<const DevRoute> devCloudRoutes();
    // The device sockets: counted, dropped, pushed to (DevSocketRoutes.cpp)
    static std::span<const DevRoute> devSocketRoutes();
    // Boxes made, registered and changed from outside the client (DevBoxRoutes.cpp)
    static std::span<const DevRoute> devBoxRoutes();
    // The next chat and voice replies, saved threads, the last voice session (DevAssistantRoutes.cpp)
    static std::span<const DevRoute> devAssistantRoutes();
    std::optional<qint64> authorise(const QHttpServerRequest& request) const;
    // Where this server's media is fetched from, over TLS when it speaks TLS.
    QString mediaBase(quint16 port) const;
    void record(const QHttpServerRequest& request);
    void seed();
    bool setUpTls();

    // Box management (DeviceRoutes.cpp)
    std::optional<Reply> routeDevice(const QString& method, const QStringList& parts, const QUrlQuery& query,
                                     const QJsonObject& body, qint64 user);
    static bool isE164(const QString& phone);

    // Simulated boxes: registration by MAC, and the claim with a pair code (PairingRoutes.cpp)
    std::optional<Reply> routeBoxRegistry(const QString& method, const QStringList& parts,
                                          const QJsonObject& body);
    Reply claim(const QJsonObject& body, qint64 user);

    // Skills and their development sign-in page (SkillRoutes.cpp)
    std::optional<Reply> routeSkills(const QString& method, const QStringList& parts,
                                     const QHttpServerRequest& request, qint64 user);
    std::optional<Reply> routeSkillPage(const QStringList& parts, const QUrlQuery& query);

    // Chat (ChatRoutes.cpp)
    void streamChat(const QHttpServerRequest& request, QTcpSocket* socket);
    std::optional<Reply> routeChat(const QString& method, const QStringList& parts, qint64 user);
    Reply scriptNextChat(const QJsonObject& body);
    QList<BoxView> boxViews(qint64 user); // the user's boxes as the assistant sees them
    void applySwitch(qint64 user, qint64 box, int ch, bool on,
                     const QString& source = QStringLiteral("chat"));

    // Voice (VoiceRoutes.cpp)
    struct VoiceLog { // what /dev/voice/last shows of one session
        int binaryFrames = 0;
        qint64 binaryBytes = 0;
        int framesBeforeReady = 0;
        int framesAfterStop = 0;
        QStringList texts;
        std::optional<QString> transcript;
        std::optional<int> closedCode;
    };
    void acceptVoice(QWebSocket* ws);
    Reply scriptNextVoice(const QJsonObject& body);
    Reply lastVoice() const;

    void acceptSocket();
    void onClientFrame(QWebSocket* ws, qint64 user, const QString& text);
    void pushTo(qint64 user, const QJsonObject& msg);
    void pushToBox(const Box& box, const QJsonObject& msg);
    void pushState(const Box& box);
    static QJsonObject stateMessage(const Box& box);
    static QJsonObject presenceMessage(const Box& box);
    static void send(QWebSocket* ws, const QJsonObject& msg);

    Options m_options;
    CloudState m_state;
    ChatStore m_chat;
    // The next chat reply as a test scripted it, instead of the assistant's.
    struct ChatScript {
        int status = 200;
        QList<QByteArray> chunks; // written as they are, one flush each
        QString error;            // an "error" record, then "done"
        int pauseMs = 40;         // between pieces: long enough for a test to see one half-written
        QByteArray contentType;   // of a 2xx reply; empty: text/event-stream
        bool drop = false;        // the connection is cut after the chunks, the reply unfinished
    };
    std::optional<ChatScript> m_nextChat;
    std::optional<QJsonObject> m_nextVoice; // frames a test scripted for the next voice session
    std::shared_ptr<VoiceLog> m_lastVoice;
    RecognizerPool m_recognizers;
    // One-shot refusals a test arranged: "METHOD /path" -> reply.
    QMap<QString, Reply> m_failNext;
    QMap<QString, QString> m_pendingCodes; // phone -> code
    struct SkillSignIn {
        qint64 user = 0;
        QString skill, scheme;
    };
    QMap<QString, SkillSignIn> m_skillSignIns; // state -> sign-in waiting for Allow or Deny
    QMultiMap<qint64, QWebSocket*> m_sockets;
    QJsonArray m_requests;
    int m_socketsOpened = 0;
    int m_lastCloseCode = 0;
};

} // namespace tavo::devcloud
