import QtQuick
import QtQuick.Window
import Tavo.Store
import Tavo.Kit
import Tavo

// The one window.
Window {
    id: window
    width: 900
    height: 640
    minimumWidth: 380
    minimumHeight: 520
    visible: true
    title: "Tavo"
    color: Theme.bg

    RootView { anchors.fill: parent }

    // The desktop's standard keys: quit, and close the window as its close button does (with a
    // tray the app stays there).
    Shortcut { objectName: "quitShortcut"; sequences: [StandardKey.Quit]; context: Qt.ApplicationShortcut; onActivated: Qt.quit() }
    Shortcut { objectName: "closeShortcut"; sequences: [StandardKey.Close]; onActivated: window.close() }
    // Built for each skill sign-in, and loaded by URL, so a start-up never even compiles it.
    Loader { active: Store.skillsAuth.waiting; source: "Chat/SkillSignInWindow.qml" }
}
