#pragma once

#include <QJsonObject>
#include <QProcess>
#include <QStringList>
#include <memory>

namespace tavo::test {

// A real tavo-boxsim process, on an ephemeral loopback port unless the arguments say
// otherwise. Killed when destroyed.
class BoxSim {
public:
    explicit BoxSim(QStringList args = {}) : m_args(std::move(args)) {}
    ~BoxSim() { stop(); }

    // Runs the simulator through a launcher, e.g. one that enters the box's network namespace.
    void setProgram(QStringList prefix) { m_prefix = std::move(prefix); }
    bool start(); // waits for the listening line
    void stop();

    int port() const { return m_port; }
    QString base() const { return m_base; } // "http://ADDR:PORT"
    // What the box received and counted (GET /api/_sim); blocking.
    QJsonObject sim() const;
    QString log() const { return m_log; }

private:
    QStringList m_args, m_prefix;
    std::unique_ptr<QProcess> m_process;
    int m_port = 0;
    QString m_base;
    QString m_log;
};

} // namespace tavo::test
