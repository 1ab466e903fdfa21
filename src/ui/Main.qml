import QtQuick
import QtQuick.Window
import Tavo

// Placeholder root: shows which screen the store is on and the current toast, so the window
// app runs against the cloud for real until the screens arrive.
Window {
    id: root
    width: 420
    height: 640
    minimumWidth: 360
    minimumHeight: 480
    visible: true
    title: "Tavo"
    color: "#0d0f12"

    Column {
        anchors.centerIn: parent
        spacing: 12
        Text {
            anchors.horizontalCenter: parent.horizontalCenter
            text: "Tavo"
            color: "#f2f4f7"
            font.pixelSize: 34
            font.weight: Font.DemiBold
        }
        Text {
            anchors.horizontalCenter: parent.horizontalCenter
            text: "screen: " + Store.screenName
            color: "#9aa3ad"
            font.pixelSize: 16
        }
        Text {
            anchors.horizontalCenter: parent.horizontalCenter
            text: ["offline", "connecting", "connected"][Store.conn]
            color: "#9aa3ad"
            font.pixelSize: 14
        }
    }

    Rectangle {
        visible: Store.hasToast
        anchors.bottom: parent.bottom
        anchors.horizontalCenter: parent.horizontalCenter
        anchors.bottomMargin: 32
        width: Math.min(parent.width - 48, toastText.implicitWidth + 32)
        height: toastText.implicitHeight + 20
        radius: height / 2
        color: "#1b1f24"
        border.color: Store.toastIsError ? "#ff5c5c" : "#2e343b"
        Text {
            id: toastText
            anchors.centerIn: parent
            width: parent.width - 32
            horizontalAlignment: Text.AlignHCenter
            wrapMode: Text.Wrap
            text: Store.toast
            color: "#f2f4f7"
            font.pixelSize: 14
        }
    }
}
