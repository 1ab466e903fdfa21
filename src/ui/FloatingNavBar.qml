import QtQuick
import Tavo.Kit

// A capsule of four pills, two each side of the voice orb floating above the middle.
Item {
    id: bar
    property int selection: 0
    property bool voiceActive: false
    // The width it may take; below its full size the pills narrow, so that at the window's
    // minimum width every one of them is on screen.
    property real available: 100000
    readonly property bool compact: available < 4 * 78 + 72 + 6 * Theme.s1 + 2 * Theme.s2
    signal chosen(int tab)
    signal voiceTap()
    readonly property var items: [
        { symbol: "square.grid.2x2", label: "Devices" },
        { symbol: "bubble.left", label: "Chat" },
        { symbol: "clock.arrow.circlepath", label: "History" },
        { symbol: "person", label: "Account" }
    ]
    implicitWidth: capsule.width
    implicitHeight: capsule.height + 18

    Rectangle {
        id: capsule
        anchors.bottom: parent.bottom
        width: pills.width + 2 * Theme.s2
        height: 60
        radius: height / 2
        color: Qt.rgba(0.09, 0.11, 0.13, 0.96)
        border.color: Theme.stroke

        Row {
            id: pills
            anchors.centerIn: parent
            spacing: Theme.s1
            Repeater {
                model: 5
                delegate: Item {
                    id: slot
                    required property int index
                    readonly property int tab: index < 2 ? index : index - 1
                    readonly property bool gap: index === 2
                    width: gap ? (bar.compact ? 66 : 72) : (bar.compact ? 62 : 78)
                    height: 48
                    Rectangle {
                        visible: !slot.gap
                        anchors.fill: parent
                        radius: height / 2
                        color: bar.selection === slot.tab ? Theme.surfaceHigh : (pillArea.hovered ? "#151a20" : "transparent")
                        border.color: bar.selection === slot.tab ? Theme.strokeStrong : "transparent"
                        Column {
                            anchors.centerIn: parent
                            spacing: 1
                            Glyph {
                                anchors.horizontalCenter: parent.horizontalCenter
                                name: slot.gap ? "" : bar.items[slot.tab].symbol
                                size: 18
                                color: bar.selection === slot.tab ? Theme.accent : Theme.textDim
                            }
                            Text {
                                anchors.horizontalCenter: parent.horizontalCenter
                                text: slot.gap ? "" : bar.items[slot.tab].label
                                font.pixelSize: Theme.fontCaption
                                font.weight: bar.selection === slot.tab ? Font.DemiBold : Font.Normal
                                color: bar.selection === slot.tab ? Theme.text : Theme.textDim
                            }
                        }
                        TapTarget {
                            id: pillArea
                            objectName: "pill_" + (slot.gap ? "" : bar.items[slot.tab].label)
                            enabled: !slot.gap
                            ringRadius: height / 2
                            accessibleName: slot.gap ? "" : bar.items[slot.tab].label
                            onActivated: bar.chosen(slot.tab)
                        }
                    }
                }
            }
        }
    }
    // The voice orb above the gap.
    Item {
        id: orb
        objectName: "voiceOrb"
        width: 64
        height: 64
        anchors.horizontalCenter: capsule.horizontalCenter
        anchors.bottom: capsule.bottom
        anchors.bottomMargin: 10
        Rectangle {
            anchors.centerIn: parent
            width: 84; height: 84; radius: 42
            color: Theme.accent
            opacity: bar.voiceActive ? 0.28 : 0.12
        }
        Rectangle {
            anchors.fill: parent
            radius: width / 2
            gradient: Gradient {
                GradientStop { position: 0; color: "#ffe08a" }
                GradientStop { position: 1; color: "#f08c24" }
            }
            border.color: "#ffe9a8"
            SequentialAnimation on scale {
                running: bar.voiceActive
                loops: Animation.Infinite
                NumberAnimation { to: 1.06; duration: 700; easing.type: Easing.InOutSine }
                NumberAnimation { to: 1.0; duration: 700; easing.type: Easing.InOutSine }
            }
        }
        Glyph { anchors.centerIn: parent; name: "mic.fill"; color: Theme.accentText; size: 26 }
        TapTarget { ringRadius: width / 2; accessibleName: "Talk to the assistant"; onActivated: bar.voiceTap() }
    }
}
