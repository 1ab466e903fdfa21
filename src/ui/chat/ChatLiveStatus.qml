import QtQuick
import Tavo.Kit

// What the assistant is doing right now, beside a dot that pulses while the row is shown.
Row {
    id: row
    property string text: ""
    spacing: Theme.s2
    height: 28
    Rectangle {
        id: dot
        anchors.verticalCenter: parent.verticalCenter
        width: 8; height: 8; radius: 4
        color: Theme.accent
        SequentialAnimation on opacity {
            running: row.visible
            loops: Animation.Infinite
            NumberAnimation { from: 1; to: 0.25; duration: 650; easing.type: Easing.InOutSine }
            NumberAnimation { from: 0.25; to: 1; duration: 650; easing.type: Easing.InOutSine }
        }
    }
    Text {
        objectName: "liveStatusText"
        anchors.verticalCenter: parent.verticalCenter
        text: row.text
        color: Theme.textDim
        font.pixelSize: Theme.fontSmall
        font.italic: true
    }
}
