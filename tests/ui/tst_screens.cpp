// Screen tests: the real QML module over a real store signed in to a development cloud.
// `Hub` gives the QML tests what a person at the keyboard would also have: the sign-in code
// (read from the cloud's development endpoint) and a look at what reached the cloud.

#include "platform/linux/SecretServiceKeychain.h"
#include "platform/linux/XdgAutostart.h"
#include "shell/DesktopNotifier.h"
#include "shell/LoginItem.h"
#include "support/BoxSim.h"
#include "support/SessionDaemons.h"
#include "support/SpeechWav.h"
#include "support/StoreFixture.h"
#include "ui/store/App.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QQmlContext>
#include <QQmlEngine>
#include <QQuickStyle>
#include <QTemporaryDir>
#include <QtQml/QQmlExtensionPlugin>
#include <QtQuickTest>

Q_IMPORT_QML_PLUGIN(TavoPlugin)

using namespace tavo;

class Hub : public QObject {
    Q_OBJECT
    Q_PROPERTY(QString shotDir READ shotDir CONSTANT)
    Q_PROPERTY(QSize shotSize READ shotSize CONSTANT)
public:
    test::DevCloud cloud{{"--seed", "demo"}};
    test::StoreFixture fixture;
    const QString demo = "+919876543210";

    Q_INVOKABLE void reset() {
        cloud.post("/dev/reset");
        cloud.post("/dev/requests/clear");
    }
    Q_INVOKABLE QString otp(const QString& phone) {
        return cloud.get("/dev/otp?phone=" + QUrl::toPercentEncoding(phone)).value("code").toString();
    }
    // Signs the demo account in through the store's own sign-in, and waits for its boxes.
    Q_INVOKABLE bool signInDemo() { return signInAs(demo, 3); }
    // Any number: one never seen before is a new account without boxes.
    Q_INVOKABLE bool signInAs(const QString& phone, int boxes) {
        TavoStore& store = *fixture.store;
        if (!store.sessionToken().isEmpty()) store.signOut();
        store.setPhone(phone);
        store.sendOTP();
        const auto failed = [&] {
            qWarning("sign-in failed (cloud %s): %s", qPrintable(cloud.state()),
                     qPrintable(cloud.log().right(2000)));
            return false;
        };
        if (!QTest::qWaitFor([&] { return store.screenKind() == Screen::Kind::Otp; })) return failed();
        store.verifyOTP(otp(phone));
        const bool in = QTest::qWaitFor([&] {
            return store.devices().size() == boxes && store.conn() == TavoStore::ConnStatus::Connected;
        });
        return in || failed();
    }
    Q_INVOKABLE void signOut() { fixture.store->signOut(); }

    // The development cloud's own endpoints, for scripting replies and saving threads.
    Q_INVOKABLE QVariantMap post(const QString& path, const QVariantMap& body) {
        return cloud.post(path, QJsonObject::fromVariantMap(body)).toVariantMap();
    }
    Q_INVOKABLE QVariantMap get(const QString& path) { return cloud.get(path).toVariantMap(); }

    // Sound: a null sink for the speakers and a virtual microphone the test speaks into.
    test::NullSink sound;
    bool soundUp = false;
    QTemporaryDir speechDir;
    Q_INVOKABLE bool hasSound() const { return soundUp; }
    // espeak-ng says `text` into the microphone; false (with a warning) when it could not.
    Q_INVOKABLE bool speak(const QString& text) {
        const QString wav = speechDir.filePath("speech.wav");
        if (const QString error = test::espeakWav(text, wav); !error.isEmpty()) {
            qWarning("speak: %s", qPrintable(error));
            return false;
        }
        return sound.speakIntoMicrophone(wav);
    }

    // A new box on its hotspot, where the store's probe looks; none after stopBox().
    std::unique_ptr<test::BoxSim> box;
    std::optional<QString> gateway;
    Q_INVOKABLE bool startBox(const QStringList& args) {
        box = std::make_unique<test::BoxSim>(QStringList{"--cloud", cloud.httpBase()} + args);
        if (!box->start()) return false;
        gateway = box->base().mid(QStringLiteral("http://").size());
        return true;
    }
    Q_INVOKABLE void stopBox() {
        box.reset();
        gateway.reset();
    }
    // Moves the manual clock on while the store's poll sleeps, until the set-up steps end.
    Q_INVOKABLE bool pumpSetup(const QString& until) {
        TavoStore& store = *fixture.store;
        return fixture.clock.advanceUntil([&] { return store.provKind() == until; },
                                          std::chrono::milliseconds(1500));
    }

    // scripts/screenshots sets TAVO_SHOT_DIR; the tests then save the states they build.
    // TAVO_SHOT_SIZE=WxH sizes the test windows (900×640 otherwise).
    QString shotDir() const { return qEnvironmentVariable("TAVO_SHOT_DIR"); }
    static QSize shotSize() {
        const QStringList parts = qEnvironmentVariable("TAVO_SHOT_SIZE").split(u'x');
        const int w = parts.value(0).toInt(), h = parts.value(1).toInt();
        return w > 0 && h > 0 ? QSize(w, h) : QSize(900, 640);
    }
    Q_INVOKABLE void clearToast() { fixture.clock.advance(std::chrono::seconds(3)); } // toasts last 2.5 s
    // The desktop's autostart folder lives here (XDG_CONFIG_HOME), never in the real home.
    QTemporaryDir configHome;
    Q_INVOKABLE bool autostartEntryExists() const {
        return !QDir(configHome.filePath("autostart")).entryList({"*.desktop"}, QDir::Files).isEmpty();
    }
    // A plain file where the folder should be: every attempt to add the entry fails.
    Q_INVOKABLE bool blockAutostart(bool on) {
        const QString path = configHome.filePath("autostart");
        if (!on) return QFile::remove(path);
        QDir(path).removeRecursively();
        QFile f(path);
        return f.open(QIODevice::WriteOnly);
    }
    // The rows of a data-driven screen test, from a JSON file beside it.
    Q_INVOKABLE QVariantList rows(const QString& name) const {
        QFile file(QStringLiteral(QUICK_TEST_SOURCE_DIR "/") + name);
        const QVariantList rows = file.open(QIODevice::ReadOnly)
                                      ? QJsonDocument::fromJson(file.readAll()).array().toVariantList()
                                      : QVariantList();
        if (rows.isEmpty()) qFatal("no rows in %s", qPrintable(file.fileName())); // a missing file is no pass
        return rows;
    }
};

class Setup : public QObject {
    Q_OBJECT
    test::SecretService keyring; // before the hub: it points the session bus here
    SecretServiceKeychain keychain;
    Hub hub;
    std::unique_ptr<XdgAutostart> autostart;
    std::unique_ptr<LoginItem> loginItem;
    std::unique_ptr<DesktopNotifier> notifier;
    std::unique_ptr<App> app;

public slots:
    void applicationAvailable() {
        QQuickStyle::setStyle(QStringLiteral("Basic"));
        // DNS-SD never browses a real network from here: the scanner finds no daemon.
        qputenv("DBUS_SYSTEM_BUS_ADDRESS", "unix:path=/nonexistent/tavo-test-bus");
        qputenv("XDG_CONFIG_HOME", hub.configHome.path().toUtf8());
        autostart = std::make_unique<XdgAutostart>("tavo", hub.configHome.filePath("autostart/tavo.desktop"));
        loginItem = std::make_unique<LoginItem>(*autostart);
        QVERIFY(keyring.start());
        // Before anything opens an audio device: the voice screens speak into this.
        hub.soundUp = test::missingTool({"pulseaudio", "pactl", "paplay", "parec", "espeak-ng"}).isEmpty() &&
                      hub.sound.start(true);
        QVERIFY(hub.cloud.start());
        hub.fixture.keychain = &keychain;
        hub.fixture.useCloud(hub.cloud.host());
        hub.fixture.boxNetwork = {[this] { return hub.gateway; }, {}};
        hub.fixture.make();
        notifier = std::make_unique<DesktopNotifier>(*hub.fixture.store, *hub.fixture.prefs,
                                                     QDBusConnection::sessionBus(), [] { return true; });
        app = std::make_unique<App>(*hub.fixture.store, *loginItem, *notifier);
    }
    void qmlEngineAvailable(QQmlEngine* engine) {
        engine->addImportPath(QStringLiteral("qrc:/qt/qml"));
        engine->rootContext()->setContextProperty("Hub", &hub);
    }
};

QUICK_TEST_MAIN_WITH_SETUP(screens, Setup)
#include "tst_screens.moc"
