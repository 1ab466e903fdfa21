import QtQuick
import QtQuick.Controls
import Tavo.Kit

// The app's on/off switch: an accent track when on, a quiet inset one when off.
Switch {
    id: control
    padding: 0
    implicitWidth: 44
    implicitHeight: 26
    indicator: Rectangle {
        implicitWidth: 44
        implicitHeight: 26
        x: control.leftPadding
        anchors.verticalCenter: parent.verticalCenter
        radius: height / 2
        color: control.checked ? Theme.accent : Theme.inset
        border.color: control.checked ? Theme.accent : Theme.strokeStrong
        Behavior on color { ColorAnimation { duration: 120 } }
        Rectangle {
            width: 20
            height: 20
            radius: 10
            anchors.verticalCenter: parent.verticalCenter
            x: control.checked ? parent.width - width - 3 : 3
            color: control.checked ? Theme.accentText : Theme.textDim
            Behavior on x { NumberAnimation { duration: 120; easing.type: Easing.OutCubic } }
        }
        FocusRing { shown: control.visualFocus; baseRadius: parent.radius }
    }
    contentItem: Item {}
}
