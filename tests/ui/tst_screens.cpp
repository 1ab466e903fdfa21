// Screen tests: the real QML module over a real store signed in to a development cloud.
// `Hub` gives the QML tests what a person at the keyboard would also have: the sign-in code
// (read from the cloud's development endpoint) and a look at what reached the cloud.

#include "support/StoreFixture.h"

#include <QJsonArray>
#include <QQmlContext>
#include <QQmlEngine>
#include <QQuickStyle>
#include <QtQml/QQmlExtensionPlugin>
#include <QtQuickTest>

Q_IMPORT_QML_PLUGIN(TavoPlugin)

using namespace tavo;

class Hub : public QObject {
    Q_OBJECT
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
    Q_INVOKABLE bool signInDemo() {
        TavoStore& store = *fixture.store;
        if (!store.sessionToken().isEmpty()) store.signOut();
        store.setPhone(demo);
        store.sendOTP();
        if (!QTest::qWaitFor([&] { return store.screenKind() == Screen::Kind::Otp; })) return false;
        store.verifyOTP(otp(demo));
        return QTest::qWaitFor([&] { return store.devices().size() == 3; });
    }
    Q_INVOKABLE void signOut() { fixture.store->signOut(); }
    Q_INVOKABLE void clearToast() {
        fixture.clock.advance(std::chrono::milliseconds(3000));
    } // toasts last 2.5 s
    Q_INVOKABLE int requestCount(const QString& method, const QString& pathPrefix) {
        int n = 0;
        for (const QJsonValue& r : cloud.get("/dev/requests").value("requests").toArray())
            n += r.toObject().value("method") == method &&
                 r.toObject().value("path").toString().startsWith(pathPrefix);
        return n;
    }
    Q_INVOKABLE bool relayOnInCloud(int box, int ch) {
        for (const QJsonValue& b : cloud.get("/dev/state").value("boxes").toArray())
            if (b.toObject().value("id").toInt() == box)
                return b.toObject().value("states").toArray().at(ch - 1).toBool();
        return false;
    }
};

class Setup : public QObject {
    Q_OBJECT
    Hub hub;

public slots:
    void applicationAvailable() {
        QQuickStyle::setStyle(QStringLiteral("Basic"));
        QVERIFY(hub.cloud.start());
        hub.fixture.useCloud(hub.cloud.host());
        hub.fixture.make();
    }
    void qmlEngineAvailable(QQmlEngine* engine) {
        engine->addImportPath(QStringLiteral("qrc:/qt/qml"));
        static const bool registered =
            qmlRegisterSingletonInstance("Tavo", 1, 0, "Store", hub.fixture.store.get()) >= 0;
        Q_UNUSED(registered)
        engine->rootContext()->setContextProperty("Hub", &hub);
    }
};

QUICK_TEST_MAIN_WITH_SETUP(screens, Setup)
#include "tst_screens.moc"
