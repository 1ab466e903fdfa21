// The development cloud killed and restarted over and over (same port, same database) while a
// store under test and a real `tavoctl watch` hold sockets to it: each comes back within the
// reconnect delay with the cloud's device list, and neither crashes. How long tavoctl takes and
// whether it grows is measured in bench/.

#include "cloud/Endpoints.h"
#include "support/DevCloud.h"
#include "support/LoopbackPeer.h"
#include "support/StoreFixture.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QProcess>
#include <QTest>

#include <qcoro/qcorotask.h>

using namespace tavo;
using namespace std::chrono_literals;
using Conn = TavoStore::ConnStatus;

namespace {

constexpr int restarts = 50;
// tavoctl runs on real time: each of its reconnects waits the full 3 s, so it is followed on the
// first restarts only; it keeps running through the rest, which it meets at random points
// (connected, waiting, or retrying against a cloud that is down).
constexpr int followedTavoctlRestarts = 5;

// What `tavoctl watch --json` has printed: the connection and the boxes as of its last lines.
struct Watcher {
    QProcess process;
    QByteArray pending;
    QString conn;
    QMap<qint64, QJsonObject> devices;

    void read() {
        pending += process.readAllStandardOutput();
        qsizetype nl;
        while ((nl = pending.indexOf('\n')) >= 0) {
            const QJsonObject line = QJsonDocument::fromJson(pending.left(nl)).object();
            pending.remove(0, nl + 1);
            const QString type = line.value("type").toString();
            if (type == "conn") {
                conn = line.value("conn").toString();
            } else if (type == "device") {
                const QJsonObject d = line.value("device").toObject();
                devices.insert(d.value("id").toInteger(), d);
            } else if (type == "removed") {
                devices.remove(line.value("device_id").toInteger());
            }
        }
    }
    QJsonArray list() const {
        QJsonArray out;
        for (const QJsonObject& d : devices)
            out.append(d);
        return out;
    }
};

} // namespace

class RestartTest : public QObject {
    Q_OBJECT

    QTemporaryDir dir;
    const QString phone = "+919876543210";

    // The cloud's list as its HTTP API gives it now, in the store's own decoding.
    static QList<Device> cloudList(TavoStore& store) {
        Result<DeviceList> list = QCoro::waitFor(store.api().send<DeviceList>("GET", Endpoints::devices()));
        return list ? list->devices : QList<Device>();
    }
    static QJsonArray asJson(const QList<Device>& devices) {
        return json::Codec<QList<Device>>::encode(devices).toArray();
    }

private slots:
    void killedAndRestarted() {
        test::DevCloud cloud{{"--seed", "demo", "--db", dir.filePath("cloud.db")}};
        QVERIFY(cloud.start());
        cloud.args() << "--port" << QString::number(cloud.port()); // tavoctl's address stays valid

        test::StoreFixture f;
        TavoStore& store = f.makeSignedIn(cloud, phone);
        QTRY_COMPARE(store.conn(), Conn::Connected);

        // tavoctl with a session of its own in its own settings file.
        cloud.writeSession(dir.path(), phone);
        Watcher watch;
        const QProcessEnvironment env = cloud.clientEnv(dir.path());
        watch.process.setProcessEnvironment(env);
        connect(&watch.process, &QProcess::readyReadStandardOutput, this, [&] { watch.read(); });
        watch.process.start(TAVOCTL_PATH, {"watch", "--json"});
        QVERIFY(watch.process.waitForStarted());
        QTRY_COMPARE_WITH_TIMEOUT(watch.conn, QString("connected"), 10'000);
        QTRY_COMPARE(watch.list(), asJson(cloudList(store)));

        for (int i = 1; i <= restarts; ++i) {
            const bool followed = i <= followedTavoctlRestarts;
            cloud.stop();
            QTRY_COMPARE(store.conn(), Conn::Connecting);
            if (followed) QTRY_COMPARE(watch.conn, QString("connecting"));
            QVERIFY2(cloud.start(), qPrintable(cloud.log()));

            // A change while both are away: only the next welcome can bring it.
            const QString name = QStringLiteral("Fan %1").arg(i);
            cloud.post("/dev/device/1/names", {{"names", QJsonObject{{"1", name}}}});

            f.clock.advance(3s); // how soon after the delay it is back is bench/'s to measure
            QTRY_COMPARE(store.conn(), Conn::Connected);
            QTRY_COMPARE(store.devices().value(0).relay_names.value("1"), name);
            QCOMPARE(store.devices(), cloudList(store));

            if (followed) {
                QTRY_COMPARE_WITH_TIMEOUT(watch.conn, QString("connected"), 10'000);
                QTRY_COMPARE(watch.list(), asJson(store.devices()));
            }
            QCOMPARE(watch.process.state(), QProcess::Running);
        }
        // The last restarts met tavoctl at any point; given a retry or two it has the list too.
        QTRY_COMPARE_WITH_TIMEOUT(watch.conn, QString("connected"), 8000);
        QTRY_COMPARE_WITH_TIMEOUT(watch.list(), asJson(store.devices()), 8000);

        // Still a clean exit: SIGTERM ends the watch with status 0.
        watch.process.terminate();
        QVERIFY(watch.process.waitForFinished(10'000));
        QCOMPARE(watch.process.exitStatus(), QProcess::NormalExit);
        QCOMPARE(watch.process.exitCode(), 0);
    }
};

QTEST_GUILESS_MAIN(RestartTest)
#include "tst_restarts.moc"
