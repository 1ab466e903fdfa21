#include "cloud/SocketInbox.h"

#include <QAbstractSocket>
#include <QTimer>
#include <QWebSocket>

namespace tavo {

SocketInbox::SocketInbox(QWebSocket* socket) : QObject(socket) {
    connect(socket, &QWebSocket::textMessageReceived, this, [this](const QString& t) { push(t); });
    connect(socket, &QWebSocket::binaryMessageReceived, this, [this](const QByteArray& b) { push(b); });
    connect(socket, &QWebSocket::disconnected, this, &SocketInbox::close);
    connect(socket, qOverload<QAbstractSocket::SocketError>(&QWebSocket::error), this, &SocketInbox::close);
}

void SocketInbox::push(Frame frame) {
    if (m_closed) return;
    m_frames.push_back(std::move(frame));
    if (m_waiting) std::exchange(m_waiting, std::nullopt)->fire();
}

void SocketInbox::close() {
    m_closed = true;
    if (m_waiting) std::exchange(m_waiting, std::nullopt)->fire();
}

QCoro::Task<std::optional<SocketInbox::Frame>> SocketInbox::next(CancelToken cancel) {
    QPointer<SocketInbox> self(this);
    while (!cancel.isCancelled()) {
        if (!m_frames.empty()) {
            Frame f = std::move(m_frames.front());
            m_frames.pop_front();
            co_return f;
        }
        if (m_closed) co_return std::nullopt;
        Wakeup wakeup;
        m_waiting = wakeup;
        cancel.onCancel([weak = wakeup.weak()] { Wakeup::fire(weak); });
        co_await wakeup;
        if (!self) co_return std::nullopt; // the socket (and we with it) went away
    }
    co_return std::nullopt;
}

void closeAndDispose(QWebSocket* ws) {
    QObject::disconnect(ws, nullptr, nullptr, nullptr);
    // A socket still opening, or whose connection has just dropped, has no handshake to finish;
    // a close frame would be written to a TCP socket that is not connected (and Qt warns).
    const auto* tcp = ws->findChild<QAbstractSocket*>();
    if (ws->state() != QAbstractSocket::ConnectedState || !tcp ||
        tcp->state() != QAbstractSocket::ConnectedState) {
        ws->abort();
        ws->deleteLater();
        return;
    }
    QObject::connect(ws, &QWebSocket::disconnected, ws, &QObject::deleteLater);
    QTimer::singleShot(2000, ws, &QObject::deleteLater);
    ws->close(QWebSocketProtocol::CloseCodeGoingAway);
}

} // namespace tavo
