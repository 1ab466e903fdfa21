// The window application: wires the store and its services, then shows the screens.

#include "core/TavoStore.h"
#include "platform/linux/RealClock.h"
#include "platform/linux/SettingsPreferences.h"

#include <QApplication>
#include <QNetworkAccessManager>
#include <QQmlApplicationEngine>
#include <QQmlEngine>
#include <QQuickWindow>
#include <QTimer>
#include <QtQml/QQmlExtensionPlugin>

Q_IMPORT_QML_PLUGIN(TavoPlugin)

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QApplication::setOrganizationName(QStringLiteral("Tavo"));
    QApplication::setApplicationName(QStringLiteral("Tavo"));
    QApplication::setDesktopFileName(tavo::applicationID());

    QNetworkAccessManager network;
    tavo::SettingsPreferences preferences;
    tavo::RealClock clock;
    tavo::TavoStore store({&network, &preferences, &clock, tavo::CloudConfig::fromBuild()});

    qmlRegisterSingletonInstance("Tavo", 1, 0, "Store", &store);
    QQmlApplicationEngine engine;
    QObject::connect(
        &engine, &QQmlApplicationEngine::objectCreationFailed, &app, [] { QCoreApplication::exit(1); },
        Qt::QueuedConnection);
    engine.load(QUrl(QStringLiteral("qrc:/qt/qml/Tavo/Main.qml")));

    // For looking at screens headless: TAVO_SCREENSHOT=file.png saves the window and quits.
    if (const QString shot = qEnvironmentVariable("TAVO_SCREENSHOT"); !shot.isEmpty()) {
        const int delay = qEnvironmentVariableIsSet("TAVO_SCREENSHOT_DELAY_MS") ? qEnvironmentVariableIntValue("TAVO_SCREENSHOT_DELAY_MS") : 1500;
        QTimer::singleShot(delay, &app, [&engine, shot] {
            if (auto* window = qobject_cast<QQuickWindow*>(engine.rootObjects().value(0))) window->grabWindow().save(shot);
            QCoreApplication::quit();
        });
    }
    return app.exec();
}
