import QtQuick
import Tavo.Store
import Tavo.Kit

// The voice orb: it breathes slowly when ready, quickly while listening, swirls while the
// assistant works and speaks, and turns red after a failure.
Item {
    id: orb
    property int state_: 0 // VoiceService::State: idle, listening, thinking, speaking, error
    property color accent: state_ === VoiceService.Error ? Theme.danger : state_ === VoiceService.Listening ? Theme.online : Theme.accent
    property real breath // both driven by the animations below
    property real swirl
    signal tapped()
    implicitWidth: 220
    implicitHeight: 220

    readonly property int breathMs: state_ === VoiceService.Listening ? 700 : state_ === VoiceService.Speaking ? 500 : 1800
    SequentialAnimation on breath {
        loops: Animation.Infinite
        NumberAnimation { from: 0.95; to: 1.06; duration: orb.breathMs; easing.type: Easing.InOutSine }
        NumberAnimation { to: 0.95; duration: orb.breathMs; easing.type: Easing.InOutSine }
    }
    NumberAnimation on swirl {
        from: 0; to: 360
        loops: Animation.Infinite
        duration: orb.state_ === VoiceService.Thinking || orb.state_ === VoiceService.Speaking ? 1600 : 9000
    }

    Repeater {
        model: 3
        Rectangle {
            anchors.centerIn: parent
            width: orb.width * (0.62 + index * 0.17) * orb.breath
            height: width
            radius: width / 2
            color: "transparent"
            border.width: 2
            border.color: orb.accent
            opacity: 0.42 - index * 0.12
        }
    }
    Rectangle {
        id: core
        anchors.centerIn: parent
        width: orb.width * 0.56 * orb.breath
        height: width
        radius: width / 2
        rotation: orb.swirl
        gradient: Gradient {
            GradientStop { position: 0.0; color: Qt.lighter(orb.accent, 1.35) }
            GradientStop { position: 0.55; color: orb.accent }
            GradientStop { position: 1.0; color: Qt.darker(orb.accent, 2.2) }
        }
    }
    Rectangle {
        anchors.centerIn: core
        width: core.width * 0.34
        height: width
        radius: width / 2
        color: "#ffffff"
        opacity: 0.18 + 0.1 * (orb.breath - 0.95) * 10
        x: core.width * 0.1
    }
    TapTarget {
        objectName: "voiceOrbTap"
        ringRadius: width / 2
        accessibleName: orb.state_ === VoiceService.Listening ? "Stop listening" : "Speak"
        onActivated: orb.tapped()
    }
}
