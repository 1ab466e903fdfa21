import QtQuick
import Tavo.Kit

// Three dots that rise one after another while the microphone is open.
Row {
    id: dots
    property color accent: Theme.online
    property int phase: 0
    spacing: 8
    Timer { interval: 220; running: dots.visible; repeat: true; onTriggered: dots.phase = (dots.phase + 1) % 3 }
    Repeater {
        model: 3
        Rectangle {
            width: 9; height: 9; radius: 4.5
            color: dots.accent
            opacity: index === dots.phase ? 1 : 0.3
            y: index === dots.phase ? -4 : 0
            Behavior on y { NumberAnimation { duration: 180; easing.type: Easing.OutQuad } }
        }
    }
}
