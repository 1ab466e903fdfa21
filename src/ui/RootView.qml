import QtQuick
import Tavo

// The window's content: background, dot grid, the screen the store is on, the toast on top.
Rectangle {
    color: Theme.bg

    DotGridBackground { anchors.fill: parent }

    Loader {
        objectName: "rootScreen"
        anchors.fill: parent
        sourceComponent: {
            switch (Store.screenKind) {
            case 1: return authScreen
            case 2: return otpScreen
            case 3: return homeScreen
            case 4: return addScreen
            default: return membersScreen
            }
        }
    }
    Component { id: authScreen; AuthView {} }
    Component { id: otpScreen; OTPView {} }
    Component { id: homeScreen; HomeView {} }
    Component { id: addScreen; AddView {} }
    Component { id: membersScreen; MembersView {} }

    Toast {}
}
