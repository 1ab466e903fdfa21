#include "shell/SingleInstance.h"

#include "cloud/CloudConfig.h"

#include <QDir>
#include <QLocalServer>
#include <QLocalSocket>
#include <QPointer>
#include <QStandardPaths>

namespace tavo {

namespace {

QString defaultPath() {
    QString dir = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (dir.isEmpty()) dir = QDir::tempPath();
    return QDir(dir).filePath(applicationID() + QStringLiteral(".socket"));
}

} // namespace

SingleInstance::SingleInstance(QString path, QObject* parent)
    : QObject(parent), m_path(path.isEmpty() ? defaultPath() : std::move(path)) {}

SingleInstance::~SingleInstance() = default;

bool SingleInstance::forwardToRunning(const QUrl& link, int timeoutMs) {
    QLocalSocket socket;
    socket.connectToServer(m_path);
    if (!socket.waitForConnected(timeoutMs)) return false;
    const QByteArray request = link.isEmpty() ? QByteArray("show\n") : "open " + link.toEncoded() + '\n';
    socket.write(request);
    if (!socket.waitForBytesWritten(timeoutMs)) return false;
    // The first instance answers once it has acted, so this one exits only after the hand-over.
    return socket.waitForReadyRead(timeoutMs) && socket.readLine().trimmed() == "ok";
}

bool SingleInstance::listen() {
    m_server = new QLocalServer(this);
    m_server->setSocketOptions(QLocalServer::UserAccessOption);
    if (!m_server->listen(m_path)) {
        // A file left by an instance that crashed: nobody answers on it, so it can go.
        QLocalSocket probe;
        probe.connectToServer(m_path);
        if (probe.waitForConnected(500)) return false; // someone else is running after all
        QLocalServer::removeServer(m_path);
        if (!m_server->listen(m_path)) return false;
    }
    connect(m_server, &QLocalServer::newConnection, this, &SingleInstance::accept);
    return true;
}

void SingleInstance::accept() {
    while (QLocalSocket* socket = m_server->nextPendingConnection()) {
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        connect(socket, &QLocalSocket::readyRead, this, [this, socket] {
            if (!socket->canReadLine()) {
                if (socket->bytesAvailable() > maxRequestBytes) socket->abort(); // not one of ours
                return;
            }
            const QByteArray line = socket->readLine(maxRequestBytes).trimmed();
            QPointer<QLocalSocket> guard(socket);
            handle(line);
            if (guard) {
                guard->write("ok\n");
                guard->disconnectFromServer();
            }
        });
    }
}

void SingleInstance::handle(const QByteArray& line) {
    if (line == "show") {
        emit showRequested();
    } else if (line.startsWith("open ")) {
        const QUrl link = QUrl::fromEncoded(line.mid(5), QUrl::StrictMode);
        if (link.isValid()) emit linkReceived(link);
    }
}

} // namespace tavo
