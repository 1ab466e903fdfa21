#pragma once

// The core's types as the screens see them. The core does not link Qt Quick, so they are
// registered here, declaratively, so that the QML compiler and linter know every type: the
// store and the desktop switches as singletons (the ones main built, reached through App),
// and every enum a screen reads, so that QML compares names (ScreenKind.Home, Store.Connected),
// not numbers.

#include "core/Screen.h"
#include "core/TavoStore.h"
#include "shell/DesktopNotifier.h"
#include "shell/LoginItem.h"
#include "ui/store/App.h"
#include "voice/VoiceService.h"

#include <QJSEngine>
#include <QtQml/qqml.h>

namespace tavo::foreign {

// main's objects stay main's: the engine must not delete them with itself.
template <typename T> T* kept(T* object) {
    QJSEngine::setObjectOwnership(object, QJSEngine::CppOwnership);
    return object;
}

struct StoreForeign {
    Q_GADGET
    QML_FOREIGN(tavo::TavoStore)
    QML_NAMED_ELEMENT(Store)
    QML_SINGLETON
public:
    static TavoStore* create(QQmlEngine* qml, QJSEngine* js) { return kept(&App::create(qml, js)->store()); }
};

struct LoginItemForeign {
    Q_GADGET
    QML_FOREIGN(tavo::LoginItem)
    QML_NAMED_ELEMENT(LoginItem)
    QML_SINGLETON
public:
    static LoginItem* create(QQmlEngine* qml, QJSEngine* js) {
        return kept(&App::create(qml, js)->loginItem());
    }
};

struct NotificationsForeign {
    Q_GADGET
    QML_FOREIGN(tavo::DesktopNotifier)
    QML_NAMED_ELEMENT(Notifications)
    QML_SINGLETON
public:
    static DesktopNotifier* create(QQmlEngine* qml, QJSEngine* js) {
        return kept(&App::create(qml, js)->notifier());
    }
};

// Not "Screen": Qt Quick has an attached type of that name.
namespace ScreenKindForeign {
Q_NAMESPACE
QML_FOREIGN_NAMESPACE(tavo::Screen)
QML_NAMED_ELEMENT(ScreenKind)
} // namespace ScreenKindForeign

struct SkillsAuthForeign {
    Q_GADGET
    QML_FOREIGN(tavo::SkillsAuth)
    QML_NAMED_ELEMENT(SkillsAuth)
    QML_UNCREATABLE("The store's skill sign-in is Store.skillsAuth.")
};

struct VoiceServiceForeign {
    Q_GADGET
    QML_FOREIGN(tavo::VoiceService)
    QML_NAMED_ELEMENT(VoiceService)
    QML_UNCREATABLE("The screens reach voice through VoiceSession.")
};

} // namespace tavo::foreign
