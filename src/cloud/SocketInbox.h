#pragma once

#include "platform/Clock.h"

#include <QByteArray>
#include <QObject>
#include <QPointer>
#include <QString>
#include <deque>
#include <optional>
#include <variant>

#include <qcoro/qcorotask.h>

class QWebSocket;

namespace tavo {

// Turns a QWebSocket's signals into "wait for the next message", so the reader can be one
// main-thread coroutine that suspends between frames. Frames queue in arrival order.
class SocketInbox : public QObject {
    Q_OBJECT
public:
    using Frame = std::variant<QString, QByteArray>; // text or binary

    explicit SocketInbox(QWebSocket* socket);
    ~SocketInbox() override { close(); } // a waiting reader sees the end, never hangs

    // The next frame, or nothing once the socket has closed or failed (after the frames that
    // came before the close) or `cancel` fired.
    QCoro::Task<std::optional<Frame>> next(CancelToken cancel);

private:
    void push(Frame frame);
    void close();

    std::deque<Frame> m_frames;
    bool m_closed = false;
    std::optional<Wakeup> m_waiting;
};

// Closes with 1001 (going away) and lets the close handshake finish before the socket is
// deleted; a socket that never answers goes after two seconds.
void closeAndDispose(QWebSocket* ws);

} // namespace tavo
