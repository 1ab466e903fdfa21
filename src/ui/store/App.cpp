#include "ui/store/App.h"

#include "ui/store/ActivityFeed.h"
#include "ui/store/BoxDiscovery.h"
#include "ui/store/ChatModel.h"
#include "ui/store/CountryModel.h"
#include "ui/store/DeviceModel.h"
#include "ui/store/StoreView.h"

#include <QJSEngine>

namespace tavo {

namespace {
// The engine creates singletons lazily, long after main has built this.
App* built = nullptr;
} // namespace

App::App(TavoStore& store, LoginItem& loginItem, DesktopNotifier& notifier, QObject* parent)
    : QObject(parent), m_store(store), m_loginItem(loginItem), m_notifier(notifier),
      m_devices(new DeviceModel(this)), m_chat(new ChatModel(this)), m_history(new ActivityFeed(this)),
      m_boxActivity(new ActivityFeed(this)), m_discovery(new BoxDiscovery(this)),
      m_countries(new CountryModel(this)), m_view(new StoreView(this)) {
    Q_ASSERT_X(!built, "App", "one per process");
    built = this;
    m_devices->setStore(&store);
    m_chat->setStore(&store);
    m_history->setStore(&store);
    m_boxActivity->setStore(&store);
    m_discovery->setStore(&store);
    m_view->setStore(&store);
}

App::~App() {
    built = nullptr;
}

int App::startTab() {
    static const QStringList tabs{"devices", "chat", "history", "account"};
    return std::max<int>(0, int(tabs.indexOf(qEnvironmentVariable("TAVO_START_TAB"))));
}

App* App::create(QQmlEngine*, QJSEngine*) {
    Q_ASSERT_X(built, "App", "main builds the App before it loads a screen");
    QJSEngine::setObjectOwnership(built, QJSEngine::CppOwnership);
    return built;
}

} // namespace tavo
