import QtQuick
import QtQuick.Window
import Tavo

// The one window.
Window {
    width: 900
    height: 640
    minimumWidth: 380
    minimumHeight: 520
    visible: true
    title: "Tavo"
    color: Theme.bg

    RootView { anchors.fill: parent }
    SkillSignInWindow {}
}
