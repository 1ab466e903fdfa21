#pragma once

#include <QObject>
#include <QtQml/qqmlregistration.h>

class QJSEngine;
class QQmlEngine;

namespace tavo {

class ActivityFeed;
class BoxDiscovery;
class ChatModel;
class CountryModel;
class DesktopNotifier;
class DeviceModel;
class LoginItem;
class StoreView;
class TavoStore;

// What the screens read, built once by main over the services it wired: the models over the
// store, one of each, shared by every screen that shows them. QML sees this as the App
// singleton, and its parts as the Store, LoginItem and Notifications singletons.
class App : public QObject {
    Q_OBJECT
    Q_MOC_INCLUDE("ui/store/ActivityFeed.h")
    Q_MOC_INCLUDE("ui/store/BoxDiscovery.h")
    Q_MOC_INCLUDE("ui/store/ChatModel.h")
    Q_MOC_INCLUDE("ui/store/CountryModel.h")
    Q_MOC_INCLUDE("ui/store/DeviceModel.h")
    Q_MOC_INCLUDE("ui/store/StoreView.h")
    QML_ELEMENT
    QML_SINGLETON
    Q_PROPERTY(tavo::DeviceModel* devices READ devices CONSTANT)
    Q_PROPERTY(tavo::ChatModel* chat READ chat CONSTANT)
    Q_PROPERTY(tavo::ActivityFeed* history READ history CONSTANT)         // every box
    Q_PROPERTY(tavo::ActivityFeed* boxActivity READ boxActivity CONSTANT) // the open sheet's box
    Q_PROPERTY(tavo::BoxDiscovery* discovery READ discovery CONSTANT)
    Q_PROPERTY(tavo::CountryModel* countries READ countries CONSTANT)
    Q_PROPERTY(tavo::StoreView* view READ view CONSTANT)
    // The tab the home screen opens on: 0, or TAVO_START_TAB (devices|chat|history|account),
    // which the screenshot script uses.
    Q_PROPERTY(int startTab READ startTab CONSTANT)
public:
    App(TavoStore& store, LoginItem& loginItem, DesktopNotifier& notifier, QObject* parent = nullptr);
    ~App() override;

    // The engine asks for the singleton: the one main built, which stays main's.
    static App* create(QQmlEngine*, QJSEngine*);

    TavoStore& store() const { return m_store; }
    LoginItem& loginItem() const { return m_loginItem; }
    DesktopNotifier& notifier() const { return m_notifier; }
    DeviceModel* devices() const { return m_devices; }
    ChatModel* chat() const { return m_chat; }
    ActivityFeed* history() const { return m_history; }
    ActivityFeed* boxActivity() const { return m_boxActivity; }
    BoxDiscovery* discovery() const { return m_discovery; }
    CountryModel* countries() const { return m_countries; }
    StoreView* view() const { return m_view; }
    static int startTab();

private:
    TavoStore& m_store;
    LoginItem& m_loginItem;
    DesktopNotifier& m_notifier;
    DeviceModel* m_devices;
    ChatModel* m_chat;
    ActivityFeed* m_history;
    ActivityFeed* m_boxActivity;
    BoxDiscovery* m_discovery;
    CountryModel* m_countries;
    StoreView* m_view;
};

} // namespace tavo
