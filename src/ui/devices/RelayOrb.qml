import QtQuick
import Tavo.Kit

// A round switch face that glows when on.
Item {
    id: orb
    property bool on: false
    property int size: 52
    implicitWidth: size
    implicitHeight: size

    Rectangle {
        anchors.centerIn: parent
        width: orb.size * 1.5
        height: width
        radius: width / 2
        color: Theme.accent
        opacity: orb.on ? 0.16 : 0
        Behavior on opacity { NumberAnimation { duration: 220 } }
    }
    Rectangle {
        anchors.fill: parent
        radius: width / 2
        gradient: Gradient {
            GradientStop { position: 0; color: orb.on ? "#ffe08a" : Theme.surfaceHigh }
            GradientStop { position: 1; color: orb.on ? Theme.accent : Theme.inset }
        }
        border.width: 1
        border.color: orb.on ? "#ffe9a8" : Theme.strokeStrong
    }
    PowerGlyphItem {
        anchors.centerIn: parent
        width: orb.size * 0.42
        height: width
        color: orb.on ? Theme.accentText : Theme.textDim
    }
}
