import QtQuick
import QtQuick.Window
import Tavo

// The one window: background, dot grid, the screen the store is on, and the toast on top.
Window {
    id: root
    width: 900
    height: 640
    minimumWidth: 380
    minimumHeight: 520
    visible: true
    title: "Tavo"
    color: Theme.bg

    DotGridBackground { anchors.fill: parent }

    Loader {
        id: screen
        objectName: "rootScreen"
        anchors.fill: parent
        sourceComponent: {
            switch (Store.screenName) {
            case "auth": return authScreen
            case "otp": return otpScreen
            case "home": return homeScreen
            case "add": return addScreen
            default: return membersScreen
            }
        }
    }
    Component { id: authScreen; AuthView {} }
    Component { id: otpScreen; OTPView {} }
    Component { id: homeScreen; HomeView {} }
    Component { id: addScreen; PlaceholderScreen { title: "Add a box" } }
    Component { id: membersScreen; PlaceholderScreen { title: "Members" } }

    Toast {}
}
