// The start-up baseline for bench/cold-start: the least a Qt Quick window costs here, one
// Rectangle in a window of tavo's size, quitting once its first frame has been presented.
// Prints "bare-window: first frame after N ms" (N since main).

#include <QElapsedTimer>
#include <QGuiApplication>
#include <QQmlApplicationEngine>
#include <QQuickWindow>
#include <cstdio>

int main(int argc, char* argv[]) {
    QElapsedTimer sinceMain;
    sinceMain.start();
    QGuiApplication app(argc, argv);
    QQmlApplicationEngine engine;
    engine.loadData("import QtQuick\nimport QtQuick.Window\n"
                    "Window { width: 900; height: 640; visible: true\n"
                    "  Rectangle { anchors.fill: parent; color: \"#15161a\" } }\n");
    auto* window =
        engine.rootObjects().isEmpty() ? nullptr : qobject_cast<QQuickWindow*>(engine.rootObjects().first());
    if (!window) return 1;
    // frameSwapped may come from a render thread; the first one ends the run.
    QObject::connect(
        window, &QQuickWindow::frameSwapped, window,
        [&app, &sinceMain, done = false]() mutable {
            if (std::exchange(done, true)) return;
            std::printf("bare-window: first frame after %lld ms\n",
                        static_cast<long long>(sinceMain.elapsed()));
            std::fflush(stdout);
            QMetaObject::invokeMethod(&app, &QCoreApplication::quit, Qt::QueuedConnection);
        },
        Qt::DirectConnection);
    return app.exec();
}
