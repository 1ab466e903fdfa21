#include "support/SessionDaemons.h"
#include "support/ChildProcess.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QThread>

namespace tavo::test {

namespace {
// Ready once `daemon` owns `name` on the session bus of `env`.
bool waitForName(const QProcess& daemon, const QProcessEnvironment& env, const QString& name) {
    for (QDeadlineTimer deadline(10'000); !deadline.hasExpired(); QThread::msleep(50)) {
        if (daemon.state() == QProcess::NotRunning) return false;
        if (runProgram(QStringLiteral("dbus-send"),
                       {"--session", "--print-reply", "--dest=org.freedesktop.DBus", "/org/freedesktop/DBus",
                        "org.freedesktop.DBus.NameHasOwner", "string:" + name},
                       env, 3000)
                .out.contains("boolean true"))
            return true;
    }
    return false;
}
} // namespace

PrivateBus::~PrivateBus() {
    stopProcess(m_daemon);
}

bool PrivateBus::start() {
    m_daemon.start(QStringLiteral("dbus-daemon"), {"--session", "--nofork", "--print-address=1"});
    if (!m_daemon.waitForReadyRead(5000)) return false;
    m_address = QString::fromUtf8(m_daemon.readLine()).trimmed();
    return !m_address.isEmpty();
}

VirtualDisplay::~VirtualDisplay() {
    stopProcess(m_server);
}

bool VirtualDisplay::start(const QStringList& extraArgs) {
    // It writes the number it took once it takes connections.
    m_server.start(QStringLiteral("Xvfb"),
                   QStringList{"-displayfd", "1", "-screen", "0", "1280x800x24", "-nolisten", "tcp"} +
                       extraArgs);
    if (!m_server.waitForReadyRead(10'000)) return false;
    m_name = u':' + QString::fromLatin1(m_server.readAllStandardOutput()).trimmed();
    return m_name.size() > 1;
}

NullSink::~NullSink() {
    stopProcess(m_recorder);
    stopProcess(m_daemon);
}

bool NullSink::start(bool microphone) {
    if (!m_dir.isValid()) return false;
    QFile::setPermissions(m_dir.path(),
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("XDG_RUNTIME_DIR", m_dir.path());
    env.insert("PULSE_RUNTIME_PATH", m_dir.path() + "/pulse");
    env.insert("HOME", m_dir.path()); // cookie and state stay in here
    m_daemon.setProcessEnvironment(env);
    m_daemon.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    QStringList args{"--daemonize=no",
                     "--exit-idle-time=-1",
                     "--disallow-exit",
                     "-n",
                     "--log-target=stderr",
                     "--log-level=error",
                     "--load=module-native-protocol-unix",
                     "--load=module-null-sink sink_name=null",
                     "--load=module-always-sink"};
    if (microphone)
        args << "--load=module-null-sink sink_name=micfeed"
             << "--load=module-remap-source master=micfeed.monitor source_name=mic";
    m_daemon.start(QStringLiteral("pulseaudio"), args);
    if (!m_daemon.waitForStarted(5000)) return false;
    const QString socket = m_dir.path() + "/pulse/native";
    for (QDeadlineTimer deadline(10'000); !deadline.hasExpired(); QThread::msleep(50)) {
        if (m_daemon.state() == QProcess::NotRunning) return false;
        if (QFile::exists(socket)) {
            qputenv("PULSE_SERVER", ("unix:" + socket).toUtf8());
            qputenv("PULSE_RUNTIME_PATH", (m_dir.path() + "/pulse").toUtf8());
            if (!microphone) return true;
            return pactl({"set-default-sink", "null"}) && pactl({"set-default-source", "mic"});
        }
    }
    return false;
}

// Run after start() has pointed this process's audio clients at the server.
bool NullSink::pactl(const QStringList& args) {
    return runProgram(QStringLiteral("pactl"), args, QProcessEnvironment::systemEnvironment(), 10'000).code ==
           0;
}

QStringList NullSink::clientStreams(const QString& kind) const {
    QStringList streams;
    for (const QString& line : runProgram(QStringLiteral("pactl"), {"list", "short", kind},
                                          QProcessEnvironment::systemEnvironment(), 3000)
                                   .out.split('\n', Qt::SkipEmptyParts))
        if (line.section('\t', 2, 2) != QLatin1String("-")) streams << line;
    return streams;
}

bool NullSink::speakIntoMicrophone(const QString& wavPath) {
    QProcess p;
    p.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    p.start(QStringLiteral("paplay"), {"--device=micfeed", wavPath});
    if (!p.waitForStarted(5000)) return false;
    // The event loop keeps running while the sound plays: the capture side reads it.
    for (QDeadlineTimer deadline(30'000); p.state() != QProcess::NotRunning && !deadline.hasExpired();)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    return p.state() == QProcess::NotRunning && p.exitCode() == 0;
}

bool NullSink::startRecordingOutput() {
    // A short latency: by default parec gets the monitor's audio in large fragments, so on a
    // busy machine a sound that ends just before the stop may still be in the server.
    m_recorder.start(QStringLiteral("parec"), {"--device=null.monitor", "--format=s16le", "--channels=1",
                                               "--rate=16000", "--raw", "--latency-msec=20"});
    return m_recorder.waitForStarted(5000);
}

QByteArray NullSink::stopRecordingOutput() {
    QByteArray data = m_recorder.readAllStandardOutput();
    stopProcess(m_recorder);
    return data + m_recorder.readAllStandardOutput();
}

SecretService::~SecretService() {
    stopProcess(m_daemon);
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
    m_daemon.start(QStringLiteral("gnome-keyring-daemon"),
                   {"--foreground", "--unlock", "--components=secrets"});
    if (!m_daemon.waitForStarted(5000)) return false;
    m_daemon.write("test-password\n");
    m_daemon.waitForBytesWritten(3000); // the writes are flushed by an event loop this start() does not run
    m_daemon.closeWriteChannel();
    qputenv("DBUS_SESSION_BUS_ADDRESS", m_bus.address().toUtf8());
    return waitForName(m_daemon, env, QStringLiteral("org.freedesktop.secrets"));
}

int SecretService::itemCount(const QString& service, const QString& account) const {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("DBUS_SESSION_BUS_ADDRESS", m_bus.address());
    // secret-tool prints one "[/org/freedesktop/secrets/collection/...]" header per item.
    const Run search = runProgram(QStringLiteral("secret-tool"),
                                  {"search", "--all", "server", service, "user", account}, env, 5000);
    return int((u'\n' + search.out).count(QLatin1String("\n[/")));
}

NotificationServer::~NotificationServer() {
    stopProcess(m_daemon);
}

bool NotificationServer::start(const QString& iconDir) {
    if (!m_dir.isValid() || !m_bus.start() || !m_display.start()) return false;
    // A rule on the desktop-entry hint rewrites the message, so the history shows the hint came.
    QFile config(m_dir.filePath("dunstrc"));
    if (!config.open(QIODevice::WriteOnly)) return false;
    config.write("[global]\n    markup = no\n    icon_path = " + iconDir.toUtf8() +
                 "\n[entry]\n    desktop_entry = app.tavo.Desktop\n    format = \"desktop-entry hint\"\n");
    config.close();
    m_env = QProcessEnvironment::systemEnvironment();
    m_env.insert("DBUS_SESSION_BUS_ADDRESS", m_bus.address());
    m_env.insert("DISPLAY", m_display.name());
    m_env.insert("HOME", m_dir.path());
    m_daemon.setProcessEnvironment(m_env);
    m_daemon.start(QStringLiteral("dunst"), {"-config", config.fileName()});
    return waitForName(m_daemon, m_env, QStringLiteral("org.freedesktop.Notifications"));
}

QByteArray NotificationServer::dunstctl(const QStringList& args) const {
    return runProgram(QStringLiteral("dunstctl"), args, m_env, 5000).out.toUtf8();
}

QList<QVariantMap> NotificationServer::takeAll() {
    dunstctl({"close-all"});
    QList<QVariantMap> out;
    const QJsonArray shown =
        QJsonDocument::fromJson(dunstctl({"history"})).object().value("data").toArray().at(0).toArray();
    qint64 latest = m_taken;
    for (const QJsonValue& v : shown) { // the latest first; the history keeps them all
        QVariantMap fields;
        const QJsonObject n = v.toObject();
        for (auto it = n.begin(); it != n.end(); ++it)
            fields.insert(it.key(), it.value().toObject().value("data").toVariant());
        // By time, not id: a notification that replaces a closed one keeps that one's id.
        const qint64 made = fields.value("timestamp").toLongLong();
        if (made <= m_taken) continue;
        latest = std::max(latest, made);
        out.prepend(fields);
    }
    m_taken = latest;
    return out;
}

bool NotificationServer::clickTop() const {
    if (dunstctl({"count", "displayed"}).trimmed() == "0") return false;
    dunstctl({"action", "0"});
    return true;
}

void stopSpawnedUnder(const QString& runDir) {
    // KILL: a dispatcher with no sound server to play into hangs in its own SIGTERM handling.
    // Its speech modules end with it.
    QProcess::execute(QStringLiteral("pkill"),
                      {"-KILL", "-f", "--", QRegularExpression::escape(runDir + u'/')});
}

QString missingTool(std::initializer_list<const char*> tools) {
    for (const char* tool : tools)
        if (QStandardPaths::findExecutable(QString::fromLatin1(tool)).isEmpty())
            return QStringLiteral("%1 is not installed").arg(QLatin1String(tool));
    return {};
}

} // namespace tavo::test
