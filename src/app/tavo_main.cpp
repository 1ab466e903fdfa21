// The window application: wires the store and its services, then shows the screens.

#include "core/TavoStore.h"
#include "platform/linux/RealClock.h"
#include "platform/linux/SettingsPreferences.h"

#include <QApplication>
#include <QNetworkAccessManager>
#include <QQmlApplicationEngine>
#include <QQmlEngine>
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
    return app.exec();
}
