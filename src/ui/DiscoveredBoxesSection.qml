import QtQuick
import Tavo

// Boxes already on the home network, from the screen's scanner.
AddCard {
    id: section
    objectName: "discoveredSection"
    property BoxDiscovery scanner
    readonly property int found: scanner ? scanner.rows.length : 0
    readonly property bool scanning: scanner ? scanner.scanning : false

    Item {
        width: parent.width
        height: 32
        Row {
            anchors.verticalCenter: parent.verticalCenter
            spacing: Theme.s2
            TavoStatusDot {
                objectName: "discoveryDot"
                anchors.verticalCenter: parent.verticalCenter
                state_: Rules.discoveryDot(section.scanning, section.found)
            }
            Text {
                objectName: "discoveryTitle"
                text: Rules.discoveryTitle(section.scanning, section.found)
                color: Theme.text
                font.pixelSize: Theme.fontBody
                font.weight: Font.DemiBold
            }
        }
        TavoGhostButton {
            objectName: "rescan"
            anchors.right: parent.right
            anchors.verticalCenter: parent.verticalCenter
            small: true
            glyph: "arrow.clockwise"
            text: "Rescan"
            Accessible.name: "Rescan"
            onClicked: section.scanner.rescan()
        }
    }
    Text {
        objectName: "mdnsNote"
        visible: Rules.discoveryNote(section.scanning, section.found)
        width: parent.width
        wrapMode: Text.Wrap
        text: "If your other boxes aren't here, check they're on this same WiFi and powered on. mDNS takes ~30 s after boot."
        color: Theme.textFaint
        font.pixelSize: Theme.fontSmall
    }
    Column {
        width: parent.width
        visible: section.found > 0
        Repeater {
            model: section.scanner ? section.scanner.rows : []
            DiscoveredBoxRow { box: modelData }
        }
    }
}
