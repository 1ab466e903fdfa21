import QtQuick
import Tavo.Store
import Tavo.Kit

// The window's content: background, dot grid, the screen the store is on, the toast on top.
Rectangle {
    color: Theme.bg

    DotGridBackground { anchors.fill: parent }

    // Loaded by URL: only the screen on show is compiled and built. The first one is built a
    // piece at a time between events, so that the device socket opens while the home screen is
    // being made, not after; later ones replace the screen on show at once, with no empty frame.
    Loader {
        objectName: "rootScreen"
        property bool first: true
        asynchronous: first
        onLoaded: first = false
        anchors.fill: parent
        source: {
            switch (Store.screenKind) {
            case ScreenKind.Auth: return "SignIn/AuthView.qml"
            case ScreenKind.Otp: return "SignIn/OTPView.qml"
            case ScreenKind.Home: return "HomeView.qml"
            case ScreenKind.Add: return "Setup/AddView.qml"
            case ScreenKind.Members: return "Devices/MembersView.qml"
            }
        }
    }

    Toast {}
}
