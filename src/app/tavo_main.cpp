// The window application: one store for the process, the screens, the tray, and the
// single-instance channel that brings the window back when `tavo` is launched again.

#include "cloud/Tls.h"
#include "core/TavoStore.h"
#include "platform/linux/RealClock.h"
#include "platform/linux/SettingsPreferences.h"
#include "platform/linux/XdgAutostart.h"
#include "shell/LoginItem.h"
#include "shell/SingleInstance.h"
#include "shell/TrayController.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QLoggingCategory>
#include <QNetworkAccessManager>
#include <QPointer>
#include <QQmlApplicationEngine>
#include <QQmlEngine>
#include <QQuickItem>
#include <QQuickStyle>
#include <QQuickWindow>
#include <QTimer>
#include <QtQml/QQmlExtensionPlugin>
#include <algorithm>
#include <atomic>
#include <cstdio>
#include <functional>
#include <string_view>

Q_IMPORT_QML_PLUGIN(TavoPlugin)
Q_LOGGING_CATEGORY(lcApp, "tavo.shell")

namespace {

// The root window made from Main.qml; made again if it was ever destroyed.
class QuickWindowHost : public tavo::WindowHost {
public:
    explicit QuickWindowHost(QQmlApplicationEngine& engine) : m_engine(engine) {}

    QQuickWindow* window() {
        if (!m_window) {
            m_engine.load(QUrl(QStringLiteral("qrc:/qt/qml/Tavo/Main.qml")));
            const QList<QObject*> roots = m_engine.rootObjects();
            m_window = roots.isEmpty() ? nullptr : qobject_cast<QQuickWindow*>(roots.last());
        }
        return m_window;
    }
    void showWindow() override {
        QQuickWindow* w = window();
        if (!w) return;
        w->show();
        w->raise();
        w->requestActivate();
        qCDebug(lcApp) << "window shown";
    }
    void hideWindow() override {
        if (m_window) m_window->hide();
    }

private:
    QQmlApplicationEngine& m_engine;
    QPointer<QQuickWindow> m_window;
};

// A "tavo:" link given on the command line (the desktop entry passes it as %u).
QUrl linkArgument(const QStringList& args) {
    for (const QString& a : args.mid(1))
        if (a.startsWith(QLatin1String("tavo:"), Qt::CaseInsensitive)) return QUrl(a, QUrl::StrictMode);
    return {};
}

// Answered before the application object, which would need a display.
std::optional<int> helpOrVersion(int argc, char* argv[]) {
    for (int i = 1; i < argc; ++i) {
        const std::string_view a = argv[i];
        if (a == "--help" || a == "-h") {
            std::printf("usage: tavo [tavo:LINK]\n"
                        "       tavo --help | --version\n"
                        "Opens the window, or shows the running one and hands it LINK.\n");
            return 0;
        }
        if (a == "--version") {
            std::printf("tavo %s\n", TAVO_VERSION);
            return 0;
        }
    }
    return std::nullopt;
}

} // namespace

int main(int argc, char* argv[]) {
    if (const std::optional<int> done = helpOrVersion(argc, argv)) return *done;
    QElapsedTimer sinceMain;
    sinceMain.start();
    QApplication app(argc, argv);
    const tavo::TlsWarmUp tlsWarmUp;
    QApplication::setOrganizationName(QStringLiteral("Tavo"));
    QApplication::setApplicationName(QStringLiteral("Tavo"));
    QApplication::setDesktopFileName(tavo::applicationID());

    const QUrl link = linkArgument(app.arguments());
    tavo::SingleInstance instance;
    if (instance.forwardToRunning(link)) return 0;
    if (!instance.listen())
        qCWarning(lcApp) << "another launch will open a second window: cannot listen on" << instance.path();

    if (const std::optional<QString> error = tavo::trustCloudCAs())
        std::fprintf(stderr, "tavo: %s\n", qPrintable(*error));
    QNetworkAccessManager network;
    tavo::SettingsPreferences preferences;
    tavo::RealClock clock;
    tavo::TavoStore store({&network, &preferences, &clock, tavo::CloudConfig::fromEnvironment()});
    store.resumeChatThread(); // the chat shows the thread it continues, or starts afresh

    // One launch-at-login state for the account tab and the tray alike.
    tavo::XdgAutostart autostart(QCoreApplication::applicationFilePath());
    tavo::LoginItem loginItem(autostart);

    QQuickStyle::setStyle(QStringLiteral("Basic")); // the screens draw their own look on it
    qmlRegisterSingletonInstance("Tavo", 1, 0, "Store", &store);
    qmlRegisterSingletonInstance("Tavo", 1, 0, "LoginItem", &loginItem);
    QQmlApplicationEngine engine;
    QObject::connect(
        &engine, &QQmlApplicationEngine::objectCreationFailed, &app, [] { QCoreApplication::exit(1); },
        Qt::QueuedConnection);
    QuickWindowHost windows(engine);
    tavo::TrayController tray(loginItem, windows);

    QObject::connect(&instance, &tavo::SingleInstance::showRequested, &app, [&] { windows.showWindow(); });
    // A skill sign-in's return from the browser; nothing else uses the scheme yet.
    QObject::connect(&instance, &tavo::SingleInstance::linkReceived, &store,
                     [&store](const QUrl& link) { store.skillsAuth().deliver(link); });

    QQuickWindow* window = windows.window();
    if (!window) return 1;
    // The tray comes with the first showing of the window. Without a tray on this desktop,
    // closing the last window quits: nothing would be left to bring it back from.
    auto installTray = [&] {
        tray.install(&store);
        QApplication::setQuitOnLastWindowClosed(!tray.isVisible());
    };
    if (window->isVisible())
        QTimer::singleShot(0, &app, installTray);
    else
        QObject::connect(window, &QWindow::visibleChanged, &app, installTray, Qt::SingleShotConnection);

    // Each activation checks the socket once.
    QObject::connect(&app, &QGuiApplication::applicationStateChanged, &store,
                     [&store, last = Qt::ApplicationInactive](Qt::ApplicationState s) mutable {
                         if (s == Qt::ApplicationActive && last != Qt::ApplicationActive)
                             store.reconnectIfStale();
                         last = s;
                     });

    // For looking at screens headless: TAVO_SCREENSHOT=file.png saves the window and quits.
    if (const QString shot = qEnvironmentVariable("TAVO_SCREENSHOT"); !shot.isEmpty()) {
        const int delay = qEnvironmentVariableIsSet("TAVO_SCREENSHOT_DELAY_MS")
                              ? qEnvironmentVariableIntValue("TAVO_SCREENSHOT_DELAY_MS")
                              : 1500;
        QTimer::singleShot(delay, &app, [&windows, shot] {
            if (QQuickWindow* w = windows.window()) w->grabWindow().save(shot);
            QCoreApplication::quit();
        });
    }
    // For the start-up benchmark (bench/cold-start): TAVO_EXIT_AFTER_FIRST_FRAME=1 prints
    // "tavo: first frame with devices after N ms" (N since main) and quits once a frame that was
    // laid out with the device grid showing has been swapped. Frame signals may come from the
    // render thread, hence the atomic: 1 grid laid out, 2 in the scene graph, 3 presented.
    if (qEnvironmentVariableIntValue("TAVO_EXIT_AFTER_FIRST_FRAME") == 1) {
        static std::atomic<int> stage{0};
        // Screens made by Loaders are items of the tree but not QObject children: walk the items.
        static const std::function<bool(QQuickItem*)> gridShown = [](QQuickItem* item) {
            if (item->objectName() == QLatin1String("deviceGrid")) return item->isVisible();
            const QList<QQuickItem*> children = item->childItems();
            return std::any_of(children.begin(), children.end(), gridShown);
        };
        QObject::connect(window, &QQuickWindow::afterAnimating, window, [window, &store] {
            int none = 0;
            if (stage.load() == 0 && !store.devices().isEmpty() && gridShown(window->contentItem()))
                stage.compare_exchange_strong(none, 1);
        });
        QObject::connect(
            window, &QQuickWindow::beforeSynchronizing, window,
            [] {
                int laidOut = 1;
                stage.compare_exchange_strong(laidOut, 2);
            },
            Qt::DirectConnection);
        QObject::connect(
            window, &QQuickWindow::frameSwapped, window,
            [&app, ms = &sinceMain] {
                int synced = 2;
                if (!stage.compare_exchange_strong(synced, 3)) return;
                std::printf("tavo: first frame with devices after %lld ms\n",
                            static_cast<long long>(ms->elapsed()));
                std::fflush(stdout);
                QMetaObject::invokeMethod(&app, &QCoreApplication::quit, Qt::QueuedConnection);
            },
            Qt::DirectConnection);
    }
    return app.exec();
}
