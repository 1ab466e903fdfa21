#include "support/LoopbackPeer.h"

#include <QCryptographicHash>
#include <QFile>
#include <QHostAddress>
#include <QRegularExpression>
#include <QTcpServer>
#include <QTcpSocket>
#include <QtEndian>
#include <future>

namespace tavo::test {

QJsonObject deviceRecord(qint64 id, const QString& name, int relays, const QJsonObject& names,
                         QJsonArray states) {
    if (states.isEmpty())
        for (int i = 0; i < relays; ++i)
            states.append(false);
    return {{"id", id},
            {"mac", QStringLiteral("AA:BB:CC:00:00:%1").arg(id)},
            {"name", name},
            {"relay_count", relays},
            {"relay_names", names},
            {"acl_mask", (qint64(1) << relays) - 1},
            {"role", "owner"},
            {"online", true},
            {"states", states}};
}

class LoopbackPeer::Thread : public QThread {
public:
    Thread(LoopbackPeer& peer, std::promise<quint16> port) : m_peer(peer), m_port(std::move(port)) {}

protected:
    void run() override {
        QTcpServer server;
        QObject::connect(&server, &QTcpServer::newConnection, &server, [&] {
            while (QTcpSocket* socket = server.nextPendingConnection()) {
                ++m_peer.m_accepted;
                m_peer.m_handler(socket, m_peer);
            }
        });
        m_port.set_value(server.listen(QHostAddress::LocalHost, 0) ? server.serverPort() : 0);
        exec();
    }

private:
    LoopbackPeer& m_peer;
    std::promise<quint16> m_port;
};

LoopbackPeer::LoopbackPeer(Handler onConnection) : m_handler(std::move(onConnection)) {
    std::promise<quint16> port;
    std::future<quint16> listening = port.get_future();
    m_thread = std::make_unique<Thread>(*this, std::move(port));
    m_thread->start();
    m_port = listening.get();
}

LoopbackPeer::~LoopbackPeer() {
    m_thread->quit();
    m_thread->wait();
}

void LoopbackPeer::note(const QString& line) {
    QMutexLocker lock(&m_mutex);
    m_notes << line;
}

QStringList LoopbackPeer::notes() const {
    QMutexLocker lock(&m_mutex);
    return m_notes;
}

void RawWebSocketServer::accept(QTcpSocket* socket, LoopbackPeer& peer, Script onOpen) {
    auto* self = new RawWebSocketServer(socket, peer);
    self->m_onOpen = std::move(onOpen);
    QObject::connect(socket, &QTcpSocket::readyRead, socket, [self] { self->readClient(); });
    QObject::connect(socket, &QTcpSocket::bytesWritten, socket, [self] { self->pump(); });
    QObject::connect(socket, &QObject::destroyed, [self] { delete self; });
    QObject::connect(socket, &QTcpSocket::disconnected, socket, [self, &peer] {
        peer.note(QStringLiteral("disconnected"));
        self->m_next = nullptr;
    });
    self->readClient();
}

namespace {

// A server frame's header for a payload of `n` bytes.
QByteArray frameHeader(quint8 opcode, quint64 n, bool fin) {
    QByteArray out;
    out.append(char((fin ? 0x80 : 0) | opcode));
    if (n < 126) {
        out.append(char(n));
    } else if (n <= 0xFFFF) {
        out.append(char(126));
        out.append(char(n >> 8)).append(char(n & 0xFF));
    } else {
        out.append(char(127));
        for (int shift = 56; shift >= 0; shift -= 8)
            out.append(char((n >> shift) & 0xFF));
    }
    return out;
}

} // namespace

QByteArray RawWebSocketServer::frame(quint8 opcode, const QByteArray& payload, bool fin) {
    return frameHeader(opcode, quint64(payload.size()), fin) + payload;
}

void RawWebSocketServer::send(const QByteArray& bytes) {
    m_socket->write(bytes);
}

void RawWebSocketServer::sendLazily(std::function<std::optional<QByteArray>()> next) {
    m_next = std::move(next);
    pump();
}

void RawWebSocketServer::sendLong(const QByteArray& head, char fill, qint64 size, const QByteArray& tail,
                                  const QByteArray& after) {
    m_socket->write(frameHeader(0x1, quint64(size), true) + head);
    qint64 filler = size - head.size() - tail.size();
    bool ended = false;
    sendLazily([=]() mutable -> std::optional<QByteArray> {
        if (filler > 0) {
            const qint64 n = qMin<qint64>(256 * 1024, filler);
            filler -= n;
            return QByteArray(n, fill);
        }
        if (std::exchange(ended, true)) return std::nullopt;
        return tail + after;
    });
}

void RawWebSocketServer::pump() {
    while (m_next && m_socket->bytesToWrite() < 256 * 1024) {
        std::optional<QByteArray> piece = m_next();
        if (!piece) {
            m_next = nullptr;
            return;
        }
        m_socket->write(*piece);
    }
}

void RawWebSocketServer::readClient() {
    m_in += m_socket->readAll();
    if (!m_open) {
        const qsizetype end = m_in.indexOf("\r\n\r\n");
        if (end < 0) return;
        static const QRegularExpression keyLine(QStringLiteral("(?im)^sec-websocket-key:\\s*(\\S+)"));
        const QString key = keyLine.match(QString::fromLatin1(m_in.left(end))).captured(1);
        m_in.remove(0, end + 4);
        const QByteArray accept =
            QCryptographicHash::hash(key.toLatin1() + "258EAFA5-E914-47DA-95CA-C5AB0DC85B11",
                                     QCryptographicHash::Sha1)
                .toBase64();
        m_socket->write("HTTP/1.1 101 Switching Protocols\r\nUpgrade: websocket\r\nConnection: Upgrade\r\n"
                        "Sec-WebSocket-Accept: " +
                        accept + "\r\n\r\n");
        m_open = true;
        if (m_onOpen) m_onOpen(*this);
    }
    // Client frames are masked; only whole frames are read.
    while (m_in.size() >= 2) {
        const quint8 opcode = quint8(m_in[0]) & 0x0F;
        quint64 length = quint8(m_in[1]) & 0x7F;
        qsizetype at = 2;
        if (length == 126) {
            if (m_in.size() < 4) return;
            length = qFromBigEndian<quint16>(m_in.constData() + 2);
            at = 4;
        } else if (length == 127) {
            if (m_in.size() < 10) return;
            length = qFromBigEndian<quint64>(m_in.constData() + 2);
            at = 10;
        }
        if (quint64(m_in.size()) < at + 4 + length) return;
        const QByteArray mask = m_in.mid(at, 4);
        QByteArray payload = m_in.mid(at + 4, qsizetype(length));
        for (qsizetype i = 0; i < payload.size(); ++i)
            payload[i] = char(payload[i] ^ mask[i % 4]);
        m_in.remove(0, at + 4 + qsizetype(length));
        if (opcode == 0x1) m_peer.note(QStringLiteral("text ") + QString::fromUtf8(payload));
        if (opcode == 0x8) {
            const int code = payload.size() >= 2 ? qFromBigEndian<quint16>(payload.constData()) : 1005;
            m_peer.note(QStringLiteral("close %1").arg(code));
            m_socket->write(frame(0x8, payload.left(2)));
            m_socket->disconnectFromHost();
            return;
        }
    }
}

namespace {

qint64 statusField(const QString& path, const QByteArray& field) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) return -1;
    for (const QByteArray& line : f.readAll().split('\n'))
        if (line.startsWith(field + ':'))
            return line.mid(field.size() + 1).trimmed().split(' ').value(0).toLongLong();
    return -1;
}

} // namespace

qint64 residentKiB(qint64 pid) {
    return statusField(QStringLiteral("/proc/%1/status").arg(pid), "VmRSS");
}

qint64 peakResidentKiB() {
    return statusField(QStringLiteral("/proc/self/status"), "VmHWM");
}

bool resetPeakResident() {
    QFile f(QStringLiteral("/proc/self/clear_refs"));
    return f.open(QIODevice::WriteOnly) && f.write("5") == 1;
}

} // namespace tavo::test
