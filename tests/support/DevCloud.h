#pragma once

#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkAccessManager>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <memory>

namespace tavo::test {

// One request, waited for in an event loop: the JSON object it got back, empty if none.
QJsonObject fetchJson(QNetworkAccessManager& nam, const QByteArray& method, const QUrl& url,
                      const QByteArray& body = {});

// A real tavo-devcloud process on an ephemeral loopback port, in memory unless a db file is
// given. Stopped (killed) when destroyed.
class DevCloud {
public:
    explicit DevCloud(QStringList extraArgs = {});
    ~DevCloud();

    bool start(); // waits for the listening line
    void stop();  // kill and wait
    bool running() const;
    // "running", or how the process ended (for a failing test's message).
    QString state() const;

    int port() const { return m_port; }
    QString host() const { return QStringLiteral("127.0.0.1:%1").arg(m_port); }
    // Started with --tls: HTTPS, and this process must trust its CA (trustCAFile).
    bool tls() const { return m_args.contains(QStringLiteral("--tls")); }
    QString httpBase() const {
        return (tls() ? QStringLiteral("https://") : QStringLiteral("http://")) + host();
    }
    QString socketBase() const {
        return (tls() ? QStringLiteral("wss://") : QStringLiteral("ws://")) + host();
    }
    // Arguments to start the next run with (e.g. --db FILE, --port N).
    QStringList& args() { return m_args; }

    // Blocking helpers for test set-up (they spin an event loop).
    QJsonObject get(const QString& path) { return fetchJson(*m_nam, "GET", httpBase() + path); }
    QJsonObject post(const QString& path, const QJsonObject& body = {}) {
        return fetchJson(*m_nam, "POST", httpBase() + path,
                         QJsonDocument(body).toJson(QJsonDocument::Compact));
    }
    // Signs a phone in through the real sign-in endpoints; returns {user_id, session_token}.
    QJsonObject signIn(const QString& phone);
    // How many of the recorded requests (/dev/requests) had this method and exact path.
    int requestCount(const QString& method, const QString& path);
    // The JSON bodies of the recorded requests to this exact path, oldest first.
    QList<QJsonObject> requestBodies(const QString& path);
    QJsonObject lastRequestBody(const QString& path) {
        const QList<QJsonObject> bodies = requestBodies(path);
        return bodies.isEmpty() ? QJsonObject() : bodies.last();
    }

    // A settings file under `home` (home/config/Tavo/Tavo.json) with a session of `phone`, as
    // a sign-in leaves it for `tavo` and `tavoctl`; `token` stands in for the real one.
    void writeSession(const QString& home, const QString& phone, const QString& token = {});
    // What `tavo` and `tavoctl` run with against this cloud: config and a 0700 runtime folder
    // under `home`, no desktop bus.
    QProcessEnvironment clientEnv(const QString& home) const;

    QString log() const { return m_log; }

private:
    QStringList m_args;
    std::unique_ptr<QProcess> m_process;
    std::unique_ptr<QNetworkAccessManager> m_nam;
    int m_port = 0;
    QString m_log;
};

} // namespace tavo::test
