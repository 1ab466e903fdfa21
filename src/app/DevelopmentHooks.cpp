#include "app/DevelopmentHooks.h"

#include "core/TavoStore.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QQuickItem>
#include <QQuickWindow>
#include <QTimer>
#include <algorithm>
#include <atomic>
#include <cstdio>
#include <ctime>

namespace tavo {

namespace {

// Screens made by Loaders are items of the tree but not QObject children: walk the items.
bool gridShown(QQuickItem* item) {
    if (item->objectName() == QLatin1String("deviceGrid")) return item->isVisible();
    const QList<QQuickItem*> children = item->childItems();
    return std::any_of(children.begin(), children.end(), gridShown);
}

void quitAfterScreenshot(QQuickWindow& window, const QString& file, int delayMs) {
    QTimer::singleShot(delayMs, &window, [&window, file] {
        window.grabWindow().save(file);
        QCoreApplication::quit();
    });
}

bool firstFrameWanted() {
    static const bool wanted = qgetenv("TAVO_DEVELOPMENT").split(',').contains("first-frame");
    return wanted;
}

// Frame signals may come from the render thread, hence the atomic: 1 grid laid out, 2 in the
// scene graph, 3 presented.
void quitAfterFirstFrameWithDevices(QQuickWindow& window, const TavoStore& store,
                                    const QElapsedTimer& sinceMain) {
    static std::atomic<int> stage{0};
    static std::atomic<bool> framed{false};
    QObject::connect(&store, &TavoStore::devicesChanged, &window, [&store, listed = false]() mutable {
        if (listed || store.devices().isEmpty()) return;
        listed = true;
        markStartupPhase("devices");
    });
    QObject::connect(&window, &QQuickWindow::afterAnimating, &window, [&window, &store] {
        int none = 0;
        if (stage.load() == 0 && !store.devices().isEmpty() && gridShown(window.contentItem()))
            stage.compare_exchange_strong(none, 1);
    });
    QObject::connect(
        &window, &QQuickWindow::beforeSynchronizing, &window,
        [] {
            int laidOut = 1;
            stage.compare_exchange_strong(laidOut, 2);
        },
        Qt::DirectConnection);
    QObject::connect(
        &window, &QQuickWindow::frameSwapped, &window,
        [&sinceMain] {
            if (!framed.exchange(true)) markStartupPhase("first-frame");
            int synced = 2;
            if (!stage.compare_exchange_strong(synced, 3)) return;
            std::printf("tavo: first frame with devices after %lld ms\n",
                        static_cast<long long>(sinceMain.elapsed()));
            std::fflush(stdout);
            QMetaObject::invokeMethod(QCoreApplication::instance(), &QCoreApplication::quit,
                                      Qt::QueuedConnection);
        },
        Qt::DirectConnection);
}

} // namespace

void markStartupPhase(const char* name) {
    if (!firstFrameWanted()) return;
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    std::printf("tavo: phase %s at %lld\n", name,
                static_cast<long long>(now.tv_sec) * 1'000'000'000LL + now.tv_nsec);
    std::fflush(stdout);
}

void installDevelopmentHooks(QQuickWindow& window, const TavoStore& store, const QElapsedTimer& sinceMain) {
    QString shot;
    int delayMs = 1500;
    bool firstFrame = false;
    for (const QString& word : qEnvironmentVariable("TAVO_DEVELOPMENT").split(u',', Qt::SkipEmptyParts)) {
        const QString key = word.section(u'=', 0, 0).trimmed(), value = word.section(u'=', 1);
        if (key == u"screenshot")
            shot = value;
        else if (key == u"delay")
            delayMs = std::max(0, value.toInt());
        else if (key == u"first-frame")
            firstFrame = true;
        else
            std::fprintf(stderr, "tavo: TAVO_DEVELOPMENT: unknown hook %s\n", qPrintable(key));
    }
    if (!shot.isEmpty()) quitAfterScreenshot(window, shot, delayMs);
    if (firstFrame) quitAfterFirstFrameWithDevices(window, store, sinceMain);
}

} // namespace tavo
