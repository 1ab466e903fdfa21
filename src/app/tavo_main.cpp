// The window application: one store for the process, the screens, the tray, and the
// single-instance channel that brings the window back when `tavo` is launched again.

#include "app/DevelopmentHooks.h"
#include "cloud/Tls.h"
#include "core/Logging.h"
#include "core/TavoStore.h"
#include "platform/linux/XdgAutostart.h"
#include "shell/DesktopNotifier.h"
#include "shell/DesktopServices.h"
#include "shell/LoginItem.h"
#include "shell/SingleInstance.h"
#include "shell/TrayController.h"
#include "ui/store/App.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QElapsedTimer>
#include <QLoggingCategory>
#include <QPointer>
#include <QQmlApplicationEngine>
#include <QQmlEngine>
#include <QQuickWindow>
#include <QTimer>
#include <QtQml/QQmlExtensionPlugin>
#include <cstdio>

Q_IMPORT_QML_PLUGIN(TavoPlugin)

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
        qCDebug(lcShell) << "window shown";
    }
    void hideWindow() override {
        if (m_window) m_window->hide();
    }

private:
    QQmlApplicationEngine& m_engine;
    QPointer<QQuickWindow> m_window;
};

// What the command line asks for: a "tavo:" link to hand over (the desktop entry passes one
// as %u), or an answer printed before the application object, which would need a display.
struct Launch {
    QUrl link;
    std::optional<int> exitCode; // answered already
};

Launch parseArguments(int argc, char* argv[]) {
    QStringList args{QStringLiteral("tavo")};
    for (int i = 1; i < argc; ++i)
        args << QString::fromLocal8Bit(argv[i]);
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Opens the Tavo window, or shows the running one and hands it LINK."));
    const QCommandLineOption help({QStringLiteral("h"), QStringLiteral("help")},
                                  QStringLiteral("Show this help and exit."));
    const QCommandLineOption version(QStringLiteral("version"), QStringLiteral("Show the version and exit."));
    parser.addOption(help);
    parser.addOption(version);
    parser.addPositionalArgument(QStringLiteral("LINK"),
                                 QStringLiteral("A tavo: link, as a skill sign-in returns to the app."),
                                 QStringLiteral("[tavo:LINK]"));
    // The help text names the program from the application's arguments.
    const auto helpText = [&] {
        int one = 1;
        char name[] = "tavo";
        char* names[] = {name, nullptr};
        const QCoreApplication app(one, names);
        return parser.helpText().toLocal8Bit();
    };
    const bool parsed = parser.parse(args);
    const QStringList links = parser.positionalArguments();
    QString error = parsed ? QString() : parser.errorText();
    if (error.isEmpty() && links.size() > 1) error = QStringLiteral("one link at most");
    if (error.isEmpty() && links.size() == 1 &&
        !links.first().startsWith(QLatin1String("tavo:"), Qt::CaseInsensitive))
        error = QStringLiteral("not a tavo: link: ") + links.first();
    if (!error.isEmpty()) {
        std::fprintf(stderr, "tavo: %s\n%s", qPrintable(error), helpText().constData());
        return {{}, 2};
    }
    if (parser.isSet(help)) {
        std::fputs(helpText().constData(), stdout);
        return {{}, 0};
    }
    if (parser.isSet(version)) {
        std::printf("tavo %s\n", TAVO_VERSION);
        return {{}, 0};
    }
    return {links.isEmpty() ? QUrl() : QUrl(links.first(), QUrl::StrictMode), std::nullopt};
}

} // namespace

int main(int argc, char* argv[]) {
    const Launch launch = parseArguments(argc, argv);
    if (launch.exitCode) return *launch.exitCode;
    QElapsedTimer sinceMain;
    sinceMain.start();
    tavo::markStartupPhase("main");
    QApplication app(argc, argv);
    const tavo::TlsWarmUp tlsWarmUp;
    tavo::markStartupPhase("application");
    QApplication::setOrganizationName(QStringLiteral("Tavo"));
    QApplication::setApplicationName(QStringLiteral("Tavo"));
    QApplication::setDesktopFileName(tavo::applicationID());

    tavo::SingleInstance instance;
    if (instance.forwardToRunning(launch.link)) return 0;
    if (!instance.listen())
        qCWarning(lcShell) << "another launch will open a second window: cannot listen on" << instance.path();

    if (const std::optional<QString> error = tavo::trustCloudCAs())
        std::fprintf(stderr, "tavo: %s\n", qPrintable(*error));
    tavo::DesktopServices services;
    tavo::TavoStore store(services.forStore());
    store.resumeChatThread(); // the chat shows the thread it continues, or starts afresh
    tavo::markStartupPhase("store");

    // One launch-at-login state for the account tab and the tray alike.
    tavo::XdgAutostart autostart(QCoreApplication::applicationFilePath());
    tavo::LoginItem loginItem(autostart);

    // What happens to a box while no window of ours has the focus reaches the desktop instead.
    tavo::DesktopNotifier notifier(store, services.preferences, QDBusConnection::sessionBus(),
                                   [] { return QGuiApplication::focusWindow() != nullptr; });

    const tavo::App screens(store, loginItem, notifier); // what the screens read, built once
    QQmlApplicationEngine engine;
    engine.addImportPath(QStringLiteral("qrc:/qt/qml")); // the screens' modules (not a default in Qt 6.4)
    QObject::connect(
        &engine, &QQmlApplicationEngine::objectCreationFailed, &app, [] { QCoreApplication::exit(1); },
        Qt::QueuedConnection);
    QuickWindowHost windows(engine);
    tavo::TrayController tray(loginItem, windows);

    QObject::connect(&instance, &tavo::SingleInstance::showRequested, &app, [&] { windows.showWindow(); });
    QObject::connect(&notifier, &tavo::DesktopNotifier::activated, &app, [&] { windows.showWindow(); });
    // A skill sign-in's return from the browser; nothing else uses the scheme yet.
    QObject::connect(&instance, &tavo::SingleInstance::linkReceived, &store,
                     [&store](const QUrl& link) { store.skillsAuth().deliver(link); });

    QQuickWindow* window = windows.window();
    if (!window) return 1;
    tavo::markStartupPhase("qml");
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

    tavo::installDevelopmentHooks(*window, store, sinceMain);
    return app.exec();
}
