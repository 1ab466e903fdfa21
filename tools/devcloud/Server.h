#pragma once

#include "CloudState.h"

#include <QAbstractHttpServer>
#include <QHttpServerRequest>
#include <QHttpServerResponder>
#include <QJsonArray>
#include <QMultiMap>
#include <QRandomGenerator>
#include <memory>

class QWebSocket;

namespace tavo::devcloud {

struct Options {
    quint16 port = 3200;
    QString db;
    bool seedDemo = false;
    QString otpCode; // fixed sign-in code, else random
};

class Server : public QAbstractHttpServer {
    Q_OBJECT
public:
    explicit Server(Options options);
    bool start(); // listens on loopback and prints the listening line

protected:
    bool handleRequest(const QHttpServerRequest& request, QTcpSocket* socket) override;
    void missingHandler(const QHttpServerRequest& request, QTcpSocket* socket) override;

private:
    struct Reply {
        int status = 200;
        QByteArray body;
        QByteArray contentType = "application/json";
    };
    static Reply json(const QJsonObject& o, int status = 200);
    static Reply error(int status, const QString& text) { return json({{"error", text}}, status); }

    Reply route(const QHttpServerRequest& request);
    Reply routeDev(const QString& method, const QStringList& parts, const QHttpServerRequest& request,
                   const QJsonObject& body);
    std::optional<qint64> authorise(const QHttpServerRequest& request) const;
    void record(const QHttpServerRequest& request);
    void seed();

    void acceptSocket();
    void onClientFrame(QWebSocket* ws, qint64 user, const QString& text);
    void pushTo(qint64 user, const QJsonObject& msg);
    void pushToBox(const Box& box, const QJsonObject& msg);
    void pushState(const Box& box);

    Options m_options;
    CloudState m_state;
    QMap<QString, QString> m_pendingCodes; // phone -> code
    QMultiMap<qint64, QWebSocket*> m_sockets;
    QJsonArray m_requests;
    int m_socketsOpened = 0;
    int m_lastCloseCode = 0;
};

} // namespace tavo::devcloud
