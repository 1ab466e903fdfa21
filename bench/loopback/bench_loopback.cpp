// The real store and screens against a development cloud over loopback, on the offscreen
// platform (software scene graph), with the session and cloud host tavo itself would use
// (XDG_CONFIG_HOME after `tavoctl login`, TAVO_CLOUD_HOST, TAVO_CLOUD_TLS=0):
//
//  - tap: a mouse click on a relay tile of the device grid, timed to the store's device socket
//    reporting the "set" frame's bytes written to the kernel, and on to the cloud's "state"
//    answer arriving on that socket; also to the screens having been updated for the
//    store's optimistic switch, which follows the send;
//  - redraw: another client of the same account switches the relay; timed from the store
//    applying the pushed "state" to the presenting of the first frame laid out after it.
//
// Prints "RESULT NAME.ms MEDIAN p95 P95 max MAX runs N" lines for scripts/bench.

#include "cloud/Endpoints.h"
#include "core/TavoStore.h"
#include "platform/linux/XdgAutostart.h"
#include "shell/DesktopNotifier.h"
#include "shell/DesktopServices.h"
#include "shell/LoginItem.h"
#include "ui/store/App.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QNetworkAccessManager>
#include <QPointer>
#include <QQmlApplicationEngine>
#include <QQuickItem>
#include <QQuickWindow>
#include <QTemporaryDir>
#include <QTest>
#include <QWebSocket>
#include <QtQml/QQmlExtensionPlugin>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <functional>
#include <optional>

Q_IMPORT_QML_PLUGIN(TavoPlugin)

using namespace tavo;

namespace {

using Clock = std::chrono::steady_clock;

long long nowNs() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(Clock::now().time_since_epoch()).count();
}

bool waitUntil(const std::function<bool()>& done, int timeoutMs) {
    QElapsedTimer timer;
    timer.start();
    while (!done()) {
        if (timer.elapsed() > timeoutMs) return false;
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 10);
    }
    return true;
}

void pause(int ms) {
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < ms)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, ms);
}

int fail(const char* why) {
    std::fprintf(stderr, "tavo-bench-loopback: %s\n", why);
    return 1;
}

void report(const char* name, std::vector<double> ms) {
    std::sort(ms.begin(), ms.end());
    const size_t n = ms.size();
    const double median = n % 2 ? ms[n / 2] : (ms[n / 2 - 1] + ms[n / 2]) / 2;
    const double p95 = ms[std::min(n - 1, size_t(double(n) * 0.95))];
    std::printf("RESULT %s.ms %.3f p95 %.3f min %.3f max %.3f runs %zu\n", name, median, p95, ms.front(),
                ms.back(), n);
    std::fflush(stdout);
}

// The relay tile (its tap area) of `relayName` in the card of `deviceName`. Tiles are made anew
// whenever the card's relays change, so callers look them up afresh.
QQuickItem* findTile(QQuickItem* item, const QString& deviceName, const QString& relayName) {
    if (item->objectName() == QLatin1String("relayArea") &&
        item->property("accessibleName").toString().startsWith(relayName + QLatin1String(", "))) {
        for (QQuickItem* up = item->parentItem(); up; up = up->parentItem())
            if (up->property("relayCount").isValid())
                return up->property("name").toString() == deviceName ? item : nullptr;
    }
    for (QQuickItem* child : item->childItems())
        if (QQuickItem* hit = findTile(child, deviceName, relayName)) return hit;
    return nullptr;
}

bool tileShows(QQuickItem* tile, bool on) {
    return tile && tile->property("accessibleName")
                       .toString()
                       .endsWith(on ? QLatin1String(", on") : QLatin1String(", off"));
}

QWebSocket* openSocket(TavoStore& store) {
    for (QWebSocket* ws : store.findChildren<QWebSocket*>())
        if (ws->state() == QAbstractSocket::ConnectedState) return ws;
    return nullptr;
}

} // namespace

int main(int argc, char* argv[]) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QApplication::setOrganizationName(QStringLiteral("Tavo"));
    QApplication::setApplicationName(QStringLiteral("Tavo"));
    const int runs =
        qEnvironmentVariableIsSet("TAVO_BENCH_RUNS") ? qEnvironmentVariableIntValue("TAVO_BENCH_RUNS") : 100;

    // Wired as tavo's main wires them.
    DesktopServices services;
    const CloudConfig config = CloudConfig::fromEnvironment();
    TavoStore store(services.forStore());
    if (store.sessionToken().isEmpty())
        return fail("no session: run tavoctl login first (same XDG_CONFIG_HOME)");
    QTemporaryDir autostartDir;
    XdgAutostart autostart(QCoreApplication::applicationFilePath(), autostartDir.filePath("tavo.desktop"));
    LoginItem loginItem(autostart);
    DesktopNotifier notifier(store, services.preferences, QDBusConnection::sessionBus(), [] { return true; });
    const App screens(store, loginItem, notifier);
    QQmlApplicationEngine engine;
    engine.addImportPath(QStringLiteral("qrc:/qt/qml")); // the screens' modules (not a default in Qt 6.4)
    engine.load(QUrl(QStringLiteral("qrc:/qt/qml/Tavo/Main.qml")));
    auto* window =
        engine.rootObjects().isEmpty() ? nullptr : qobject_cast<QQuickWindow*>(engine.rootObjects().first());
    if (!window) return fail("Main.qml did not load");
    window->show();

    // A box of the user's own that is online, and its first relay.
    const Device* box = nullptr;
    auto findBox = [&] {
        box = nullptr;
        for (const Device& d : store.devices())
            if (d.isOwner() && d.online && d.relay_count >= 2 && d.isAllowed(1)) return (box = &d) != nullptr;
        return false;
    };
    if (!waitUntil([&] { return store.conn() == TavoStore::ConnStatus::Connected && findBox(); }, 20000))
        return fail("no welcome with an online box of the user's own");
    const qint64 boxID = box->id;
    const QString boxName = box->name, relayName = box->relayName(1);
    auto isOn = [&] {
        for (const Device& d : store.devices())
            if (d.id == boxID) return d.isOn(1);
        return false;
    };
    if (!waitUntil([&] { return findTile(window->contentItem(), boxName, relayName) != nullptr; }, 5000))
        return fail("the device grid shows no tile for the box");
    pause(500); // past the first frames

    // Frame watching: armed once the pushed state is applied; 1 laid out with the tile showing
    // it, 2 in the scene graph, 3 presented.
    std::atomic<int> stage{-1};
    std::atomic<long long> frameAt{0};
    bool expectOn = false;
    QObject::connect(window, &QQuickWindow::afterAnimating, window, [&] {
        if (stage.load() == 0 && tileShows(findTile(window->contentItem(), boxName, relayName), expectOn))
            stage = 1;
    });
    QObject::connect(
        window, &QQuickWindow::beforeSynchronizing, window,
        [&] {
            int laidOut = 1;
            stage.compare_exchange_strong(laidOut, 2);
        },
        Qt::DirectConnection);
    QObject::connect(
        window, &QQuickWindow::frameSwapped, window,
        [&] {
            int synced = 2;
            if (stage.compare_exchange_strong(synced, 3)) frameAt = nowNs();
        },
        Qt::DirectConnection);

    // Tap: click, "set" written, "state" back.
    std::vector<double> tapToWritten, tapUiUpdated, tapToEcho;
    for (int i = 0; i < runs; ++i) {
        QWebSocket* ws = openSocket(store);
        if (!ws) return fail("the store's socket is not open");
        const bool target = !isOn();
        QQuickItem* tile = findTile(window->contentItem(), boxName, relayName);
        if (!tile) return fail("tile gone");
        const QPoint at = tile->mapToScene(QPointF(tile->width() / 2, tile->height() / 2)).toPoint();
        if (!QRect(QPoint(), window->size()).contains(at)) return fail("the tile is outside the window");
        long long written = 0, echoed = 0, uiUpdated = 0;
        // Connected after the screens' device model, so it runs once they have been updated.
        auto onSwitch = QObject::connect(&store, &TavoStore::devicesChanged, &store, [&] {
            if (!uiUpdated) uiUpdated = nowNs();
        });
        auto onWritten = QObject::connect(ws, &QWebSocket::bytesWritten, ws, [&] {
            if (!written) written = nowNs();
        });
        auto onText = QObject::connect(ws, &QWebSocket::textMessageReceived, ws, [&](const QString& text) {
            const QJsonObject m = QJsonDocument::fromJson(text.toUtf8()).object();
            if (!echoed && written && m.value("type") == QLatin1String("state") &&
                m.value("device_id").toInteger() == boxID &&
                m.value("states").toArray().at(0).toBool() == target)
                echoed = nowNs();
        });
        const long long t0 = nowNs();
        QTest::mouseClick(window, Qt::LeftButton, {}, at);
        const bool applied = isOn() == target; // the optimistic switch, right after the send
        const bool ok = waitUntil([&] { return echoed != 0; }, 3000);
        QObject::disconnect(onWritten);
        QObject::disconnect(onSwitch);
        QObject::disconnect(onText);
        if (!applied) return fail("the click did not switch the tile");
        if (!ok) return fail("no state answer from the cloud");
        tapToWritten.push_back(double(written - t0) / 1e6);
        tapUiUpdated.push_back(double(uiUpdated - t0) / 1e6);
        tapToEcho.push_back(double(echoed - t0) / 1e6);
        pause(30);
    }
    report("tap_to_written", tapToWritten);
    report("tap_ui_updated", tapUiUpdated);
    report("tap_to_state_back", tapToEcho);

    // Redraw: another client of the same account switches the relay.
    QWebSocket other;
    const QString url = config.socketBase(false) + Endpoints::clientSocket() + QStringLiteral("?token=") +
                        store.sessionToken();
    bool welcomed = false;
    QObject::connect(&other, &QWebSocket::textMessageReceived, &other, [&](const QString& t) {
        if (t.contains(QLatin1String("\"welcome\""))) welcomed = true;
    });
    other.open(QUrl(url));
    if (!waitUntil([&] { return welcomed; }, 5000)) return fail("the second client's socket did not open");

    std::vector<double> pushToFrame, sendToFrame;
    long long pushedAt = 0;
    QObject::connect(&store, &TavoStore::devicesChanged, &store, [&] {
        if (stage.load() == -1 && pushedAt == 0 && isOn() == expectOn) {
            pushedAt = nowNs();
            stage = 0;
        }
    });
    for (int i = 0; i < runs; ++i) {
        expectOn = !isOn();
        pushedAt = 0;
        frameAt = 0;
        stage = -1;
        const long long sentAt = nowNs();
        other.sendTextMessage(QString::fromUtf8(
            QJsonDocument(QJsonObject{{"type", "set"}, {"device_id", boxID}, {"ch", 1}, {"state", expectOn}})
                .toJson(QJsonDocument::Compact)));
        if (!waitUntil([&] { return stage.load() == 3; }, 3000))
            return fail("the pushed state was never drawn");
        pushToFrame.push_back(double(frameAt - pushedAt) / 1e6);
        sendToFrame.push_back(double(frameAt - sentAt) / 1e6);
        stage = -2;
        pause(30);
    }
    report("push_to_frame", pushToFrame);
    report("other_client_set_to_frame", sendToFrame);
    other.close();
    return 0;
}
