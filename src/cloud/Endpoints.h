#pragma once

// Every cloud path the client calls, relative to the base address. IDs are written in decimal.

#include <QString>
#include <QUrl>

namespace tavo::Endpoints {

inline QString id(qint64 v) {
    return QString::number(v);
}

inline QString authStart() {
    return QStringLiteral("/v1/auth/start");
}
inline QString authVerify() {
    return QStringLiteral("/v1/auth/verify");
}
inline QString devices() {
    return QStringLiteral("/v1/devices");
}
inline QString deviceClaim() {
    return QStringLiteral("/v1/device/claim");
}
inline QString device(qint64 deviceID) {
    return QStringLiteral("/v1/device/") + id(deviceID);
}
inline QString deviceName(qint64 deviceID) {
    return device(deviceID) + QStringLiteral("/name");
}
inline QString deviceMember(qint64 deviceID, qint64 userID) {
    return device(deviceID) + QStringLiteral("/member/") + id(userID);
}
inline QString deviceMembers(qint64 deviceID) {
    return device(deviceID) + QStringLiteral("/members");
}
inline QString deviceInvite(qint64 deviceID) {
    return device(deviceID) + QStringLiteral("/invite");
}
inline QString deviceLogs(qint64 deviceID, int limit) {
    return device(deviceID) + QStringLiteral("/logs?limit=") + QString::number(limit);
}
inline QString chatStream() {
    return QStringLiteral("/v1/chat/stream");
}
inline QString chatThreads() {
    return QStringLiteral("/v1/chat/threads");
}
inline QString chatThread(qint64 threadID) {
    return chatThreads() + QLatin1Char('/') + id(threadID);
}
inline QString skills() {
    return QStringLiteral("/v1/skills");
}
inline QString swiggyConnect() {
    return QStringLiteral("/v1/skills/swiggy/connect");
}
// The id comes from the cloud; encoded so it stays one path segment.
inline QString skillDisconnect(const QString& skillID) {
    return QStringLiteral("/v1/skills/") + QString::fromLatin1(QUrl::toPercentEncoding(skillID)) +
           QStringLiteral("/disconnect");
}

// The device socket, relative to the socket base.
inline QString clientSocket() {
    return QStringLiteral("/ws/client");
}

} // namespace tavo::Endpoints
