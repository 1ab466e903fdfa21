// The start-up baseline for bench/cold-start: the least a Qt Quick window costs here, one
// Rectangle in a window of tavo's size, quitting once its first frame has been presented.
// Prints "bare-window: first frame after N ms" (N since main), and "bare-window: phase NAME at
// NS" at the phases tavo also marks (NS: the monotonic clock), for bench/cold-start's split.

#include <QElapsedTimer>
#include <QGuiApplication>
#include <QQmlApplicationEngine>
#include <QQuickWindow>
#include <cstdio>
#include <ctime>

namespace {
void phase(const char* name) {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    std::printf("bare-window: phase %s at %lld\n", name,
                static_cast<long long>(now.tv_sec) * 1'000'000'000LL + now.tv_nsec);
}
} // namespace

int main(int argc, char* argv[]) {
    QElapsedTimer sinceMain;
    sinceMain.start();
    phase("main");
    QGuiApplication app(argc, argv);
    phase("application");
    QQmlApplicationEngine engine;
    engine.loadData("import QtQuick\nimport QtQuick.Window\n"
                    "Window { width: 900; height: 640; visible: true\n"
                    "  Rectangle { anchors.fill: parent; color: \"#15161a\" } }\n");
    auto* window =
        engine.rootObjects().isEmpty() ? nullptr : qobject_cast<QQuickWindow*>(engine.rootObjects().first());
    if (!window) return 1;
    phase("qml");
    // frameSwapped may come from a render thread; the first one ends the run.
    QObject::connect(
        window, &QQuickWindow::frameSwapped, window,
        [&app, &sinceMain, done = false]() mutable {
            if (std::exchange(done, true)) return;
            phase("first-frame");
            std::printf("bare-window: first frame after %lld ms\n",
                        static_cast<long long>(sinceMain.elapsed()));
            std::fflush(stdout);
            QMetaObject::invokeMethod(&app, &QCoreApplication::quit, Qt::QueuedConnection);
        },
        Qt::DirectConnection);
    return app.exec();
}
