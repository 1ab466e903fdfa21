import QtQuick
import Tavo.Kit

// A coloured dot: "connected", "connecting" (pulses) or "offline".
Item {
    id: dot
    property string state_: "offline"
    property int size: 8
    implicitWidth: size
    implicitHeight: size
    readonly property color tint: state_ === "connected" ? Theme.online : state_ === "connecting" ? Theme.connecting : Theme.offline

    Rectangle {
        id: halo
        anchors.centerIn: parent
        width: dot.size * 2.4
        height: width
        radius: width / 2
        color: dot.tint
        visible: dot.state_ === "connecting" // and pulsing then
        SequentialAnimation on opacity {
            running: dot.state_ === "connecting"
            loops: Animation.Infinite
            NumberAnimation { from: 0.45; to: 0; duration: 1100; easing.type: Easing.OutQuad }
        }
    }
    Rectangle {
        anchors.centerIn: parent
        width: dot.size
        height: width
        radius: width / 2
        color: dot.tint
    }
}
