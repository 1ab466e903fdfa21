#pragma once

#include <QDBusConnection>
#include <QProcess>
#include <QString>
#include <QTemporaryDir>
#include <QVariantMap>
#include <memory>

namespace tavo::test {

// A private D-Bus session bus (dbus-daemon --session) for one test; killed when destroyed.
class PrivateBus {
public:
    ~PrivateBus();
    bool start();
    QString address() const { return m_address; }
    // A connection of this test process to the bus, under `name`.
    QDBusConnection connect(const QString& name) const {
        return QDBusConnection::connectToBus(m_address, name);
    }

private:
    QProcess m_daemon;
    QString m_address;
};

// An Xvfb display, numbered by the server itself so parallel tests never meet; killed when
// destroyed.
class VirtualDisplay {
public:
    ~VirtualDisplay();
    bool start(const QStringList& extraArgs = {});
    QString name() const { return m_name; } // ":N"

private:
    QProcess m_server;
    QString m_name;
};

// A PulseAudio server with a null sink as its default output, in a runtime folder of its own
// so parallel tests do not meet. start() points this process's audio clients at it.
// With a microphone, the default input is a virtual source that plays what
// `speakIntoMicrophone` is given; otherwise it is the null sink's monitor.
class NullSink {
public:
    ~NullSink();
    bool start(bool microphone = false);
    QString runtimeDir() const { return m_dir.path(); }

    // Plays a sound file into the virtual microphone (paplay); true once it has played.
    bool speakIntoMicrophone(const QString& wavPath);
    // Records what reaches the null sink (its monitor) as 16 kHz s16 mono, until stopped.
    bool startRecordingOutput();
    QByteArray stopRecordingOutput();
    // The streams of clients ("sink-inputs" playing, "source-outputs" recording), one line
    // each as `pactl list short` gives them; a module's own streams are left out.
    QStringList clientStreams(const QString& kind) const;

private:
    bool pactl(const QStringList& args);

    QTemporaryDir m_dir;
    QProcess m_daemon;
    QProcess m_recorder;
};

// gnome-keyring's Secret Service on a private session bus, its keyrings in a folder of its
// own. start() points this process's session bus at it, so call it before anything in the
// process has connected to a session bus.
class SecretService {
public:
    ~SecretService();
    bool start();
    QString busAddress() const { return m_bus.address(); }
    // How many items of `service`/`account` the keyring holds, counted with secret-tool.
    int itemCount(const QString& service, const QString& account) const;

private:
    PrivateBus m_bus;
    QTemporaryDir m_dir;
    QProcess m_daemon;
};

// dunst, a real notification server, on a private session bus and an Xvfb display of its own.
// Icons are looked up in `iconDir`. start() does not move this process's session bus: connect
// to address() (PrivateBus::connect).
class NotificationServer {
public:
    ~NotificationServer();
    bool start(const QString& iconDir);
    const PrivateBus& bus() const { return m_bus; }

    // Every notification that arrived since the last call, oldest first, each as dunst keeps
    // it (summary, body, appname, icon_path, ...; message is "desktop-entry hint" when the
    // app's hint came). Closes them all.
    QList<QVariantMap> takeAll();
    // Clicks the notification on top, as the user would: the server sends ActionInvoked.
    // False while none is shown.
    bool clickTop() const;

private:
    QByteArray dunstctl(const QStringList& args) const;

    PrivateBus m_bus;
    QTemporaryDir m_dir;
    VirtualDisplay m_display;
    QProcess m_daemon;
    QProcessEnvironment m_env;
    qint64 m_taken = 0; // when the latest one takeAll returned was made (dunst's clock)
};

// Why a test needs skipping when one of `tools` is not installed; empty when all are.
QString missingTool(std::initializer_list<const char*> tools);

// Ends the daemons that programs under test started on demand in `runDir` (speech-dispatcher
// spawned by a client): they would outlive the test and its folder.
void stopSpawnedUnder(const QString& runDir);

} // namespace tavo::test
