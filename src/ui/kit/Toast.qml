import QtQuick
import Tavo.Store
import Tavo.Kit

// The toast above every screen: slides up from the bottom edge with a fade.
Item {
    id: layer
    anchors.fill: parent
    property bool shown: Store.hasToast
    property string text: ""
    property bool error: false
    Connections {
        target: Store
        function onToastChanged() { if (Store.hasToast) { layer.text = Store.toast; layer.error = Store.toastIsError } }
    }

    Rectangle {
        id: pill
        anchors.horizontalCenter: parent.horizontalCenter
        y: layer.shown ? parent.height - height - 104 : parent.height + 8
        opacity: layer.shown ? 1 : 0
        width: Math.min(parent.width - 48, label.implicitWidth + 40)
        height: label.implicitHeight + 22
        radius: 16
        color: Qt.rgba(0.11, 0.13, 0.16, 0.94)
        border.width: 1
        border.color: layer.error ? Theme.danger : Theme.strokeStrong
        Behavior on y { NumberAnimation { duration: 280; easing.type: Easing.OutCubic } }
        Behavior on opacity { NumberAnimation { duration: 220 } }

        Rectangle { // soft shadow
            z: -1
            anchors.fill: parent
            anchors.margins: -6
            anchors.topMargin: 0
            radius: parent.radius + 6
            color: "#000000"
            opacity: 0.28
        }
        Text {
            id: label
            objectName: "toastText"
            anchors.centerIn: parent
            width: Math.min(implicitWidth, layer.width - 88)
            horizontalAlignment: Text.AlignHCenter
            wrapMode: Text.Wrap
            text: layer.text
            color: Theme.text
            font.pixelSize: Theme.fontSmall + 1
        }
    }
}
