#pragma once

#include "Announcement.h"
#include "CloudLink.h"

#include <QAbstractHttpServer>
#include <QHostAddress>
#include <QJsonObject>
#include <QStringList>
#include <memory>
#include <optional>

namespace tavo::boxsim {

struct Options {
    QHostAddress address{QHostAddress::LocalHost};
    quint16 port = 0;
    QUrl cloud; // tavo-devcloud's base; invalid = no cloud
    QString name = QStringLiteral("Tavo-1A2B");
    int relays = 4;
    QString mac; // empty = derived from the address and port
    int joinDelayMs = 3000;
    QString joinedSSID; // set = on the home network from the start
    QString announce;   // DNS-SD instance name, with joinedSSID
    // Misbehaviour for tests
    bool refuseConnect = false;
    bool neverOnline = false;
    int infoStatus = 200;
    int connectStatus = 200;
    int delayMs = 0;
    int trickleMs = 0;    // > 0: reply bodies go out one byte every N ms
    QString trickleRoute; // only this route's, when set
    QUrl redirectTo;      // valid: every route answers 302 to it
    QStringList status;   // what successive cloud-status answers are; the last one repeats
};

// The cloud-status answers a box can be made to give.
inline const QStringList statusModes{QStringLiteral("normal"), QStringLiteral("offline-code"),
                                     QStringLiteral("online-no-code"), QStringLiteral("garbage")};

// One Tavo box's local HTTP API: its hotspot set-up routes and, for tests, what it received.
class Simulator : public QAbstractHttpServer {
    Q_OBJECT
public:
    explicit Simulator(Options options);
    bool start(); // listens, prints the listening line, then joins and announces as asked

protected:
    bool handleRequest(const QHttpServerRequest& request, QTcpSocket* socket) override;
    void missingHandler(const QHttpServerRequest& request, QTcpSocket* socket) override;

private:
    struct Reply {
        Reply(int status = 200, QJsonObject body = {}) : status(status), body(std::move(body)) {}
        static Reply bytes(QByteArray raw) {
            Reply r;
            r.raw = std::move(raw);
            return r;
        }
        static Reply redirect(QByteArray location) {
            Reply r(302);
            r.location = std::move(location);
            return r;
        }
        int status = 200;
        QJsonObject body;
        std::optional<QByteArray> raw; // sent instead of `body`
        QByteArray location;
    };
    // After `delayMs`; the body one byte every `trickleMs` (default: the box's own --trickle-ms).
    void send(QTcpSocket* socket, const Reply& reply, int delayMs, std::optional<int> trickleMs = {});
    static void write(QTcpSocket* socket, const QByteArray& head, const QByteArray& body, int trickleMs);
    void refuse(QTcpSocket* socket, int delayMs);
    Reply connectWifi(const QByteArray& form);
    Reply deviceInfo() const;
    Reply cloudStatus();
    Reply simState() const;
    void joined(const QString& ssid);

    Options m_options;
    std::unique_ptr<CloudLink> m_cloud;
    std::unique_ptr<Announcement> m_announcement;
    QTimer m_joining;
    std::optional<QString> m_ssid, m_password; // as last received
    std::optional<QString> m_joinedSSID;       // the network the box is on
    int m_connectCount = 0;
    int m_requests = 0;
    int m_statusReads = 0;
};

} // namespace tavo::boxsim
