#pragma once

#include "devices/Device.h"

#include <QByteArray>
#include <QJsonObject>
#include <QList>
#include <QString>
#include <optional>
#include <variant>

namespace tavo {

// A device-socket frame read into what the store applies: the message and, for a "welcome",
// its device list already decoded. Reading touches nothing shared, so the reader can hand a
// large frame (a welcome of thousands of boxes) to a worker thread and keep the main thread free.
struct SocketMessage {
    QJsonObject message;
    // A welcome's boxes: empty when the list is missing, not a list, or holds one bad entry.
    std::optional<QList<Device>> welcome;

    static SocketMessage of(QJsonObject message);
    // A text frame, or a binary one holding UTF-8 JSON; nothing when it is no JSON object.
    static std::optional<SocketMessage> read(const std::variant<QString, QByteArray>& frame);
};

} // namespace tavo
