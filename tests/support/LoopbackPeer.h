#pragma once

#include <QByteArray>
#include <QJsonArray>
#include <QJsonObject>
#include <QMutex>
#include <QString>
#include <QStringList>
#include <QThread>
#include <atomic>
#include <functional>
#include <memory>
#include <optional>

class QTcpSocket;

namespace tavo::test {

// A complete device record as the cloud sends one, owned, online, every relay open to the
// owner; `states` empty means every relay off.
QJsonObject deviceRecord(qint64 id, const QString& name, int relays, const QJsonObject& names = {},
                         QJsonArray states = {});

// A TCP server on 127.0.0.1 (ephemeral port) with a thread and event loop of its own, so a
// peer that floods or sends huge pieces never runs on the event loop a test measures.
// `onConnection` runs on the peer's thread for every accepted socket (owned by the server).
class LoopbackPeer {
public:
    using Handler = std::function<void(QTcpSocket*, LoopbackPeer&)>;
    explicit LoopbackPeer(Handler onConnection);
    ~LoopbackPeer(); // stops the thread; its sockets go with it

    quint16 port() const { return m_port; }
    QString host() const { return QStringLiteral("127.0.0.1:%1").arg(m_port); }
    int accepted() const { return m_accepted.load(); }

    // A log the peer's thread writes and the test reads ("close 1009", "text {...}").
    void note(const QString& line);
    QStringList notes() const;

private:
    class Thread;
    Handler m_handler;
    std::unique_ptr<QThread> m_thread;
    quint16 m_port = 0;
    std::atomic<int> m_accepted{0};
    mutable QMutex m_mutex;
    QStringList m_notes;
};

// The server end of a WebSocket written by hand on a peer's socket, so a test can send what a
// server library never would (invalid UTF-8 in a text frame, frames of any length). It answers
// the upgrade, then notes what the client sends: "text …" for text frames and "close N" for
// its close frame. Lives on the peer's thread, parented to the socket.
class RawWebSocketServer {
public:
    // Everything it sends after the upgrade, given the connection to send on.
    using Script = std::function<void(RawWebSocketServer&)>;
    static void accept(QTcpSocket* socket, LoopbackPeer& peer, Script onOpen);

    // One unmasked frame; `fin` false leaves the message open for continuation frames (opcode 0).
    static QByteArray frame(quint8 opcode, const QByteArray& payload, bool fin = true);
    static QByteArray text(const QByteArray& payload) { return frame(0x1, payload); }

    void send(const QByteArray& bytes);
    // Bytes from `next` until it returns nothing, each piece once the socket has drained below
    // 256 KiB, so the peer never holds much of a huge message itself. Stops if the client goes.
    void sendLazily(std::function<std::optional<QByteArray>()> next);
    // One text frame of exactly `size` payload bytes: `head`, then `fill` bytes, then `tail`,
    // then `after` (e.g. the next frame), written lazily.
    void sendLong(const QByteArray& head, char fill, qint64 size, const QByteArray& tail,
                  const QByteArray& after = {});

private:
    RawWebSocketServer(QTcpSocket* socket, LoopbackPeer& peer) : m_socket(socket), m_peer(peer) {}
    void readClient();
    void pump();

    QTcpSocket* m_socket;
    LoopbackPeer& m_peer;
    QByteArray m_in;
    bool m_open = false;
    Script m_onOpen;
    std::function<std::optional<QByteArray>()> m_next;
};

// A process's resident memory in KiB (VmRSS of /proc/PID/status); -1 if unreadable. The
// benchmarks weigh other processes with it.
qint64 residentKiB(qint64 pid);
// This process's peak resident memory since the last resetPeakResident() (VmHWM), in KiB.
qint64 peakResidentKiB();
bool resetPeakResident();

// AddressSanitizer keeps freed memory in quarantine, so resident sizes mean little there.
// (The tests build with GCC only, which says so in __SANITIZE_ADDRESS__.)
#ifdef __SANITIZE_ADDRESS__
inline constexpr bool underAddressSanitizer = true;
#else
inline constexpr bool underAddressSanitizer = false;
#endif

} // namespace tavo::test
