// What the fault tests prove about content, measured for time and memory: the main thread under
// a socket flood, tavoctl coming back after cloud restarts and whether it grows, and what a
// hostile 16 MiB frame costs. Prints one "RESULT name value" line per figure for scripts/bench.
#include "support/DevCloud.h"
#include "support/LoopbackPeer.h"
#include "support/StoreFixture.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QJsonArray>
#include <QJsonDocument>
#include <QProcess>
#include <QTest>
#include <QTimer>
#include <cstdio>
#include <ctime>

using namespace tavo;
using namespace std::chrono_literals;

namespace {

using json::compact;

QJsonObject box(qint64 id, int relays) {
    return test::deviceRecord(id, "Flood", relays);
}

// CPU time of the calling thread: between two heartbeat ticks it is the work that held the
// event loop, without the time a loaded machine left it unscheduled.
qint64 threadCpuMs() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return qint64(t.tv_sec) * 1000 + t.tv_nsec / 1'000'000;
}

test::StoreFixture& storeOn(test::StoreFixture& f, const QString& host) {
    f.prefs->setValue(PrefKey::session, "tok");
    f.prefs->setValue(PrefKey::phone, "+15550000001");
    f.useCloud(host);
    f.make();
    return f;
}

// 100,000 states pushed at once; the longest the main thread was held while they arrived.
void flood() {
    constexpr int count = 100'000, relays = 17;
    test::LoopbackPeer peer([](QTcpSocket* socket, test::LoopbackPeer& p) {
        test::RawWebSocketServer::accept(socket, p, [](test::RawWebSocketServer& ws) {
            ws.send(test::RawWebSocketServer::text(
                compact({{"type", "welcome"}, {"devices", QJsonArray{box(1, relays)}}})));
            QByteArray all;
            for (int i = 1; i <= count; ++i) {
                QJsonArray bits;
                for (int ch = 0; ch < relays; ++ch)
                    bits.append(bool((i >> ch) & 1));
                all += test::RawWebSocketServer::text(
                    compact({{"type", "state"}, {"device_id", 1}, {"states", bits}}));
            }
            ws.send(all);
        });
    });
    test::StoreFixture f;
    TavoStore& store = *storeOn(f, peer.host()).store;
    QEventLoop loop;
    QObject::connect(&store, &TavoStore::devicesChanged, &loop, [&] {
        const QList<bool> s = store.devices().value(0).effectiveStates();
        int n = 0; // the states spell the message's number
        for (qsizetype ch = 0; ch < s.size(); ++ch)
            n |= int(s[ch]) << ch;
        if (n == count) loop.quit();
    });
    qint64 cpuAtTick = threadCpuMs(), longest = 0;
    QTimer heartbeat;
    heartbeat.setTimerType(Qt::PreciseTimer);
    heartbeat.setInterval(5);
    QObject::connect(&heartbeat, &QTimer::timeout, &loop, [&] {
        const qint64 cpu = threadCpuMs();
        longest = qMax(longest, cpu - std::exchange(cpuAtTick, cpu));
    });
    heartbeat.start();
    QTimer::singleShot(120'000, &loop, &QEventLoop::quit);
    QElapsedTimer took;
    took.start();
    loop.exec();
    std::printf("RESULT flood_hold.ms %lld total_ms %lld\n", longest, took.elapsed());
}

// tavoctl watch through cloud restarts: the slowest return after a kill, and its growth.
void restarts(const QString& work) {
    constexpr int rounds = 10;
    test::DevCloud cloud{{"--seed", "demo", "--db", work + "/restarts.db"}};
    if (!cloud.start()) return;
    cloud.args() << "--port" << QString::number(cloud.port());
    const QJsonObject session = cloud.signIn("+919876543210");
    {
        SettingsPreferences prefs(work + "/config/Tavo/Tavo.json");
        prefs.setValue(PrefKey::session, session.value("session_token").toString());
        prefs.setValue(PrefKey::phone, "+919876543210");
        prefs.setValue(PrefKey::userID, session.value("user_id").toInteger());
    }
    QProcess watch;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("XDG_CONFIG_HOME", work + "/config");
    env.insert("TAVO_CLOUD_HOST", cloud.host());
    env.insert("TAVO_CLOUD_TLS", "0");
    watch.setProcessEnvironment(env);
    QString conn;
    QObject::connect(&watch, &QProcess::readyReadStandardOutput, [&] {
        while (watch.canReadLine()) {
            const QJsonObject line = QJsonDocument::fromJson(watch.readLine()).object();
            if (line.value("type") == "conn") conn = line.value("conn").toString();
        }
    });
    watch.start(TAVOCTL_PATH, {"watch", "--json"});
    QTest::qWaitFor([&] { return conn == "connected"; }, 10'000);
    qint64 slowest = 0, rssAtStart = 0;
    for (int i = 0; i < rounds; ++i) {
        if (i == 2) rssAtStart = test::residentKiB(watch.processId()); // after warming up
        QElapsedTimer sinceKill;
        sinceKill.start();
        cloud.stop();
        QTest::qWaitFor([&] { return conn == "connecting"; }, 10'000);
        cloud.start();
        QTest::qWaitFor([&] { return conn == "connected"; }, 10'000);
        slowest = qMax(slowest, sinceKill.elapsed());
    }
    std::printf("RESULT restart_back.ms %lld\nRESULT restart_rss_growth.kib %lld\n", slowest,
                test::residentKiB(watch.processId()) - rssAtStart);
    watch.terminate();
    watch.waitForFinished();
}

// A 16 MiB text frame, refused from its header: the peak growth it caused.
void hugeFrame() {
    test::LoopbackPeer peer([](QTcpSocket* socket, test::LoopbackPeer& p) {
        test::RawWebSocketServer::accept(socket, p, [](test::RawWebSocketServer& ws) {
            ws.send(test::RawWebSocketServer::text(
                compact({{"type", "welcome"}, {"devices", QJsonArray{box(1, 2)}}})));
            ws.sendLong("{\"type\":\"state\",\"pad\":\"", 'x', 16 * 1024 * 1024, "\"}", {});
        });
    });
    test::resetPeakResident();
    const qint64 before = test::residentKiB(QCoreApplication::applicationPid());
    test::StoreFixture f;
    storeOn(f, peer.host());
    QTest::qWaitFor([&] { return peer.notes().contains("close 1009"); }, 30'000);
    std::printf("RESULT frame16_peak_growth.kib %lld\n", test::peakResidentKiB() - before);
}

} // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    QTemporaryDir work;
    hugeFrame(); // first, before the others have raised the peak
    flood();
    restarts(work.path());
    return 0;
}
