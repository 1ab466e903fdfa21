#pragma once

#include <QObject>
#include <QString>
#include <QUrl>

class QLocalServer;

namespace tavo {

// One running app per user. A second launch hands its request (show the window, or a
// "tavo:" link from the browser) to the first over a local socket in the user's runtime
// directory, then exits.
class SingleInstance : public QObject {
    Q_OBJECT
public:
    // `path` empty = $XDG_RUNTIME_DIR/<app id>.socket.
    explicit SingleInstance(QString path = {}, QObject* parent = nullptr);
    ~SingleInstance() override;

    // True when a running instance took the request; this process should then exit.
    bool forwardToRunning(const QUrl& link = {}, int timeoutMs = 2000);
    // Becomes the running instance. False when the socket can't be made.
    bool listen();

    QString path() const { return m_path; }
    static constexpr qsizetype maxRequestBytes = 8192;

signals:
    void showRequested();
    void linkReceived(const QUrl& link);

private:
    void accept();
    void handle(const QByteArray& line);

    QString m_path;
    QLocalServer* m_server = nullptr;
};

} // namespace tavo
