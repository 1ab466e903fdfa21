#include "support/SessionDaemons.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QStandardPaths>
#include <QThread>

namespace tavo::test {

namespace {
void killAndWait(QProcess& p) {
    if (p.state() == QProcess::NotRunning) return;
    p.terminate();
    if (!p.waitForFinished(3000)) {
        p.kill();
        p.waitForFinished();
    }
}
} // namespace

PrivateBus::~PrivateBus() {
    killAndWait(m_daemon);
}

bool PrivateBus::start() {
    m_daemon.start(QStringLiteral("dbus-daemon"), {"--session", "--nofork", "--print-address=1"});
    if (!m_daemon.waitForReadyRead(5000)) return false;
    m_address = QString::fromUtf8(m_daemon.readLine()).trimmed();
    return !m_address.isEmpty();
}

NullSink::~NullSink() {
    killAndWait(m_daemon);
}

bool NullSink::start() {
    if (!m_dir.isValid()) return false;
    QFile::setPermissions(m_dir.path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("XDG_RUNTIME_DIR", m_dir.path());
    env.insert("PULSE_RUNTIME_PATH", m_dir.path() + "/pulse");
    env.insert("HOME", m_dir.path()); // cookie and state stay in here
    m_daemon.setProcessEnvironment(env);
    m_daemon.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    m_daemon.start(QStringLiteral("pulseaudio"),
                   {"--daemonize=no", "--exit-idle-time=-1", "--disallow-exit", "-n", "--log-target=stderr",
                    "--log-level=error", "--load=module-native-protocol-unix",
                    "--load=module-null-sink sink_name=null", "--load=module-always-sink"});
    if (!m_daemon.waitForStarted(5000)) return false;
    const QString socket = m_dir.path() + "/pulse/native";
    for (QDeadlineTimer deadline(10'000); !deadline.hasExpired(); QThread::msleep(50)) {
        if (m_daemon.state() == QProcess::NotRunning) return false;
        if (QFile::exists(socket)) {
            qputenv("PULSE_SERVER", ("unix:" + socket).toUtf8());
            qputenv("PULSE_RUNTIME_PATH", (m_dir.path() + "/pulse").toUtf8());
            return true;
        }
    }
    return false;
}

SecretService::~SecretService() {
    killAndWait(m_daemon);
}

bool SecretService::start() {
    if (!m_dir.isValid() || !m_bus.start()) return false;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("DBUS_SESSION_BUS_ADDRESS", m_bus.address());
    env.insert("XDG_DATA_HOME", m_dir.filePath("data"));
    env.insert("XDG_RUNTIME_DIR", m_dir.path());
    env.insert("HOME", m_dir.path());
    m_daemon.setProcessEnvironment(env);
    m_daemon.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    // --unlock wants a password on standard input: it creates the login keyring with it.
    m_daemon.start(QStringLiteral("gnome-keyring-daemon"), {"--foreground", "--unlock", "--components=secrets"});
    if (!m_daemon.waitForStarted(5000)) return false;
    m_daemon.write("test-password\n");
    m_daemon.waitForBytesWritten(3000); // the writes are flushed by an event loop this start() does not run
    m_daemon.closeWriteChannel();
    qputenv("DBUS_SESSION_BUS_ADDRESS", m_bus.address().toUtf8());
    // Ready once the service name is owned on the bus.
    for (QDeadlineTimer deadline(10'000); !deadline.hasExpired(); QThread::msleep(50)) {
        if (m_daemon.state() == QProcess::NotRunning) return false;
        QProcess probe;
        probe.setProcessEnvironment(env);
        probe.start(QStringLiteral("dbus-send"), {"--session", "--print-reply", "--dest=org.freedesktop.DBus",
                                                  "/org/freedesktop/DBus", "org.freedesktop.DBus.NameHasOwner",
                                                  "string:org.freedesktop.secrets"});
        probe.waitForFinished(3000);
        if (probe.readAllStandardOutput().contains("boolean true")) return true;
    }
    return false;
}

int SecretService::itemCount(const QString& service, const QString& account) const {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("DBUS_SESSION_BUS_ADDRESS", m_bus.address());
    QProcess search;
    search.setProcessEnvironment(env);
    search.start(QStringLiteral("secret-tool"), {"search", "--all", "server", service, "user", account});
    search.waitForFinished(5000);
    // secret-tool prints one "[/org/freedesktop/secrets/collection/...]" header per item.
    const QList<QByteArray> lines = search.readAllStandardOutput().split('\n');
    return int(std::count_if(lines.begin(), lines.end(), [](const QByteArray& l) { return l.startsWith("[/"); }));
}

QString missingTool(std::initializer_list<const char*> tools) {
    for (const char* tool : tools)
        if (QStandardPaths::findExecutable(QString::fromLatin1(tool)).isEmpty())
            return QStringLiteral("%1 is not installed").arg(QLatin1String(tool));
    return {};
}

} // namespace tavo::test
