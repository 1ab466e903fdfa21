// The device socket: open, read, reopen, send, tear down. `conn` follows it.

#include "cloud/Endpoints.h"
#include "cloud/Json.h"
#include "cloud/SocketInbox.h"
#include "cloud/Tls.h"
#include "core/Logging.h"
#include "core/TavoStore.h"
#include "platform/Preferences.h"

#include <QLoggingCategory>
#include <QTcpSocket>
#include <QTimer>
#include <QWebSocket>
#include <QtConcurrent>

#include <qcoro/qcorofuture.h>

namespace tavo {

namespace {

constexpr std::chrono::milliseconds reconnectDelay{3000};
// Frames sent while the socket is still opening wait for it; beyond this they are dropped.
constexpr int maxPendingSends = 64;
// The largest message the cloud may send (a welcome of thousands of boxes fits). Qt's own limit
// is 2 GiB, and a frame costs about four times its size as it is decoded, so a peer could make
// the client allocate without bound; beyond this the socket fails with 1009 and reopens.
constexpr quint64 maxMessageBytes = 4 * 1024 * 1024;
// QWebSocket decodes everything its TCP socket has read in one go, and the reader handles each
// frame as it is emitted, so a burst as large as the kernel's auto-tuned buffer (megabytes: some
// 28 000 states) held the main thread for 200 ms and more. A small kernel buffer keeps each
// read, and so each turn of the event loop, to a few milliseconds of messages; the rest waits
// in the peer (TCP flow control). Qt's own buffer stays unlimited, so large frames still arrive.
constexpr int receiveBufferBytes = 64 * 1024;
// A frame this large (a welcome of a few hundred boxes) is parsed and decoded on a worker
// thread: a thousand boxes take milliseconds, and the window would miss frames meanwhile. The
// small ones (states, presence) cost less than the hop.
constexpr qsizetype workerFrameBytes = 32 * 1024;

qsizetype frameSize(const SocketInbox::Frame& frame) {
    return std::visit([](const auto& f) { return f.size(); }, frame);
}

} // namespace

void TavoStore::connectWS() {
    teardownWSTask();
    setConn(ConnStatus::Connecting);

    const QString address =
        m_services.config.socketBase(m_services.preferences->boolean(PrefKey::useLocalServer)) +
        Endpoints::clientSocket() + QStringLiteral("?token=") + m_sessionToken;
    const QUrl url(address, QUrl::StrictMode);
    if (!url.isValid() || url.host().isEmpty()) return; // stays "connecting"; nothing to read

    auto* ws = new QWebSocket(QString(), QWebSocketProtocol::VersionLatest, this);
    ws->setMaxAllowedIncomingFrameSize(maxMessageBytes);
    ws->setMaxAllowedIncomingMessageSize(maxMessageBytes);
    auto* inbox = new SocketInbox(ws);
    connect(ws, &QWebSocket::connected, this, [this, ws] {
        // The TCP socket is QWebSocket's child; without one (another transport) nothing changes.
        if (auto* tcp = ws->findChild<QTcpSocket*>())
            tcp->setSocketOption(QAbstractSocket::ReceiveBufferSizeSocketOption, receiveBufferBytes);
        for (const QString& text : std::exchange(m_pendingSends, {}))
            ws->sendTextMessage(text);
    });
    m_ws = ws;
    CancelToken reader;
    m_wsTask = reader;
    ws->open(url);
    readWSLoop(inbox, reader, m_sessionToken);
}

void TavoStore::teardownWSTask() {
    if (m_wsTask) std::exchange(m_wsTask, std::nullopt)->cancel();
    m_pendingSends.clear();
    if (m_ws) closeAndDispose(m_ws);
    m_ws = nullptr;
}

// One reader per socket. A reader that was torn down ends without touching anything, and in
// particular never reopens a socket: only a reader whose own socket failed does that.
QCoro::Task<> TavoStore::readWSLoop(QPointer<SocketInbox> inbox, CancelToken cancel, QString token) {
    QPointer<TavoStore> self(this);
    const QPointer<QWebSocket> ws = inbox ? qobject_cast<QWebSocket*>(inbox->parent()) : nullptr;
    while (!cancel.isCancelled() && inbox) {
        std::optional<SocketInbox::Frame> frame = co_await inbox->next(cancel);
        if (!self || cancel.isCancelled()) co_return;
        if (!frame) break;

        // Frames are read one after another either way, so they are applied in arrival order.
        std::optional<SocketMessage> message;
        if (frameSize(*frame) < workerFrameBytes) {
            message = SocketMessage::read(*frame);
        } else {
            message = co_await QtConcurrent::run(&SocketMessage::read, std::move(*frame));
            if (!self || cancel.isCancelled()) co_return;
        }
        if (!message) continue;
        if (m_conn != ConnStatus::Connected) {
            m_socketTlsError.clear();
            setConn(ConnStatus::Connected);
        }
        handleWS(*message);
        if (!self) co_return;
    }
    if (!self || cancel.isCancelled()) co_return;
    m_socketTlsError = ws ? tlsFailure(*ws).value_or(QString()) : QString();

    // Our socket failed or closed. The cloud closes it as a policy violation (1008) when it
    // refuses the token: retrying every 3 s would never end, so the session does.
    if (ws && ws->closeCode() == QWebSocketProtocol::CloseCodePolicyViolated && endRefusedSession(token))
        co_return;
    if (m_sessionToken.isEmpty()) {
        setConn(ConnStatus::Offline);
        co_return;
    }
    setConn(ConnStatus::Connecting);
    co_await m_services.clock->sleep(reconnectDelay, cancel);
    if (!self || cancel.isCancelled()) co_return;
    qCDebug(lcCloud) << "reopening the device socket";
    connectWS();
}

void TavoStore::reconnectIfStale() {
    if (m_sessionToken.isEmpty()) return;
    refetchDevices();
    if (m_conn == ConnStatus::Offline) connectWS();
}

void TavoStore::wsSend(const QJsonObject& message) {
    if (!m_ws) return;
    const QString text = QString::fromUtf8(json::compact(message));
    switch (m_ws->state()) {
    case QAbstractSocket::ConnectedState:
        if (m_ws->sendTextMessage(text) != text.toUtf8().size()) {
            showToast(m_ws->errorString().isEmpty() ? QStringLiteral("Couldn't send to the cloud.")
                                                    : m_ws->errorString(),
                      true);
            return;
        }
        m_ws->flush(); // to the kernel now, not after whatever the event loop runs first
        return;
    case QAbstractSocket::ConnectingState:
    case QAbstractSocket::HostLookupState:
        // Still opening: the frame goes out once it is open, as one would expect of a socket
        // that exists. Dropped (with the socket) if it never opens.
        if (m_pendingSends.size() < maxPendingSends) m_pendingSends.append(text);
        return;
    default:
        // Closed and waiting to reopen: dropped quietly; the next "welcome" brings the truth.
        return;
    }
}

} // namespace tavo
