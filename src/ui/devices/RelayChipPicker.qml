import QtQuick
import Tavo.Kit

// Which relays an invite covers: an All/None chip, then one chip per relay.
Flow {
    id: picker
    property int relayCount: 0
    property var relayNames: ({})
    property var selected: []
    signal picked(var selected)
    spacing: Theme.s2

    component Chip: Rectangle {
        id: chip
        property string label
        property bool on
        signal tapped()
        width: chipText.implicitWidth + 2 * Theme.s3
        height: 32
        radius: 16
        color: on ? Theme.accent : "transparent"
        border.width: 1
        border.color: on ? Theme.accent : Theme.strokeStrong
        Text { id: chipText; anchors.centerIn: parent; text: chip.label; color: chip.on ? Theme.accentText : Theme.textDim; font.pixelSize: Theme.fontSmall; font.weight: Font.Medium }
        TapTarget { accessibleName: chip.label; ringRadius: 16; onActivated: chip.tapped() }
    }

    Chip {
        objectName: "chipAll"
        label: Input.allChipLabel(picker.selected, picker.relayCount)
        on: picker.selected.length === picker.relayCount
        onTapped: picker.picked(Input.tapAllChip(picker.selected, picker.relayCount))
    }
    Repeater {
        model: picker.relayCount
        Chip {
            objectName: "chipRelay" + (index + 1)
            label: picker.relayNames[String(index + 1)] ? picker.relayNames[String(index + 1)] : "Relay " + (index + 1)
            on: picker.selected.indexOf(index + 1) >= 0
            onTapped: picker.picked(Input.tapRelayChip(picker.selected, index + 1))
        }
    }
}
